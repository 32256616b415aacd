#include "tests/text/solid_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <sstream>
#include <tuple>

namespace velm::testing {

std::string SolidReport::describe() const {
  std::ostringstream out;
  out << triangles << " triangles, " << openEdges << " open edges, " << pinchedEdges << " pinched edges, "
      << inwardTriangles << " inward triangles, volume " << volume;
  return out.str();
}

SolidReport inspectSolid(const platform::GlyphMesh& mesh) {
  SolidReport r;
  const size_t vertexCount = mesh.positions.size() / 3;
  // Weld by exact position: caps and walls share corner positions, not vertices.
  std::map<std::tuple<float, float, float>, size_t> ids;
  std::vector<size_t> welded(vertexCount);
  for (size_t i = 0; i < vertexCount; ++i) {
    const auto key = std::make_tuple(mesh.positions[3 * i], mesh.positions[3 * i + 1], mesh.positions[3 * i + 2]);
    welded[i] = ids.emplace(key, ids.size()).first->second;
  }
  if (vertexCount > 0) {
    r.minX = r.maxX = mesh.positions[0];
    r.minY = r.maxY = mesh.positions[1];
    r.minZ = r.maxZ = mesh.positions[2];
  }
  for (size_t i = 0; i < vertexCount; ++i) {
    r.minX = std::min(r.minX, mesh.positions[3 * i]), r.maxX = std::max(r.maxX, mesh.positions[3 * i]);
    r.minY = std::min(r.minY, mesh.positions[3 * i + 1]), r.maxY = std::max(r.maxY, mesh.positions[3 * i + 1]);
    r.minZ = std::min(r.minZ, mesh.positions[3 * i + 2]), r.maxZ = std::max(r.maxZ, mesh.positions[3 * i + 2]);
  }

  std::map<std::pair<size_t, size_t>, int> directed;
  r.triangles = mesh.indices.size() / 3;
  for (size_t t = 0; t < r.triangles; ++t) {
    std::array<size_t, 3> v{mesh.indices[3 * t], mesh.indices[3 * t + 1], mesh.indices[3 * t + 2]};
    std::array<std::array<double, 3>, 3> p{};
    for (int k = 0; k < 3; ++k)
      for (int j = 0; j < 3; ++j) p[k][j] = mesh.positions[3 * v[k] + j];
    const double a[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    const double b[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    r.volume += (p[0][0] * (p[1][1] * p[2][2] - p[1][2] * p[2][1]) - p[0][1] * (p[1][0] * p[2][2] - p[1][2] * p[2][0]) +
                 p[0][2] * (p[1][0] * p[2][1] - p[1][1] * p[2][0])) /
                6.0;
    // Triangles of no area (a wall of a flat text) have no facing to check.
    const double area2 = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (area2 > 1e-12) {
      double agreement = 0.0;
      for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j) agreement += n[j] * mesh.normals[3 * v[k] + j];
      if (agreement <= 0.0) ++r.inwardTriangles;
    }
    for (int k = 0; k < 3; ++k) ++directed[{welded[v[k]], welded[v[(k + 1) % 3]]}];
  }
  // Each undirected edge once, from its lower end.
  for (const auto& [edge, count] : directed) {
    const auto back = directed.find({edge.second, edge.first});
    const int reverse = back == directed.end() ? 0 : back->second;
    if (back != directed.end() && edge.first > edge.second) continue;
    if (count != reverse)
      ++r.openEdges;
    else if (count > 1)
      ++r.pinchedEdges;
  }
  return r;
}

}  // namespace velm::testing
