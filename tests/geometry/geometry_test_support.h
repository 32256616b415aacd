// Helpers for the geometry tests: meshes made through the engine context,
// a box, position and vertex-number lookups, buffer read-back and the
// message a fatal error shows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "geometry/generators.h"
#include "geometry/mesh.h"
#include "platform/glyph_mesh.h"
#include "tests/engine/engine_test_support.h"

namespace velm::testing {

class GeometryTest : public EngineTest {
 protected:
  Mesh* newMesh() { return EngineContext::get().createMesh(); }
  Mesh* box(float x, float y, float z) {
    Mesh* mesh = newMesh();
    meshgen::Cube(x, y, z).generate(*mesh);
    return mesh;
  }
  // Takes the messages shown so far and checks they are exactly these fatal errors.
  void expectFatalErrors(const std::vector<int>& numbers) {
    std::vector<Message> expected;
    for (int n : numbers) expected.push_back({"Velm error", "Unexpected fatal error(#" + std::to_string(n) + ")."});
    EXPECT_EQ(takeMessages(), expected);
  }
};

// The unit square in the x-y plane as a text mesh: two triangles (0, 1, 2)
// and (0, 2, 3) over four shared vertices, normals along -z.
inline platform::GlyphMesh glyphSquare() {
  platform::GlyphMesh glyph;
  glyph.positions = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
  glyph.normals = {0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1};
  glyph.indices = {0, 1, 2, 0, 2, 3};
  return glyph;
}

inline MeshState stateOf(const Mesh& mesh) { return mesh.data->state; }
inline EditableModel& modelOf(const Mesh& mesh) { return *mesh.data->edit; }
inline GpuMesh& gpuOf(const Mesh& mesh) { return *mesh.data->gpu; }

template <typename T>
int indexIn(const std::vector<T*>& list, const T* element) {
  const auto it = std::find(list.begin(), list.end(), element);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

inline std::vector<Vector3> positionsOf(const std::vector<VertexBase*>& vertices) {
  std::vector<Vector3> out;
  for (VertexBase* v : vertices) out.push_back(*v->position());
  return out;
}

// Corner numbers of every face, by position in `vertices`.
inline std::vector<std::vector<int>> cornerNumbers(const EditableModel& model) {
  std::vector<std::vector<int>> out;
  for (const FaceBase* f : model.faces) {
    std::vector<int> face;
    for (const VertexBase* c : cornerList(*f)) face.push_back(indexIn(model.vertices, c));
    out.push_back(face);
  }
  return out;
}

// Fills `mesh` with faces given by their corners in order (3 or 4 numbers
// into `positions`); edges are shared by faces that meet along them. Edge k of
// a face runs from corner k - 1 to corner k, so cornerList() gives the
// corners back in the order written here.
inline void buildModel(Mesh& mesh, const std::vector<Vector3>& positions,
                       const std::vector<std::vector<int>>& faces) {
  std::vector<VertexBase*>* vertices = nullptr;
  std::vector<Edge*>* edges = nullptr;
  std::vector<FaceBase*>* faceList = nullptr;
  mesh.editLists(&vertices, &edges, &faceList);
  for (const Vector3& p : positions) vertices->push_back(new Vertex(p.x, p.y, p.z));
  auto edgeBetween = [&](int a, int b) {
    for (Edge* e : *edges)
      if ((e->first == (*vertices)[a] && e->second == (*vertices)[b]) ||
          (e->first == (*vertices)[b] && e->second == (*vertices)[a]))
        return e;
    edges->push_back(new Edge{(*vertices)[a], (*vertices)[b], 0, 0});
    return edges->back();
  };
  for (const std::vector<int>& c : faces) {
    const int n = static_cast<int>(c.size());
    std::vector<Edge*> e;
    for (int k = 0; k < n; ++k) e.push_back(edgeBetween(c[(k + n - 1) % n], c[k]));
    if (n == 3)
      faceList->push_back(new TriFace(e[0], e[1], e[2]));
    else
      faceList->push_back(new QuadFace(e[0], e[1], e[2], e[3]));
  }
}

// A copy of the first `count` items of type T stored in a buffer.
template <typename T>
std::vector<T> readBack(gfx::Buffer* buffer, size_t count) {
  std::vector<T> out(count);
  void* bytes = nullptr;
  EXPECT_EQ(buffer->lock(0, 0, &bytes, gfx::LockReadOnly), gfx::Result::Ok);
  std::memcpy(out.data(), bytes, count * sizeof(T));
  buffer->unlock();
  return out;
}

inline ::testing::AssertionResult near(const Vector3& a, const Vector3& b, float tolerance = 1e-5f) {
  if (std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") is not near (" << b.x
                                       << ", " << b.y << ", " << b.z << ")";
}

}  // namespace velm::testing
