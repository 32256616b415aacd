#include "geometry/generators.h"

#include "geometry/mesh.h"

namespace velm::meshgen {

void Cube::generate(Mesh& mesh) {
  std::vector<VertexBase*>* vertices = nullptr;
  std::vector<Edge*>* edges = nullptr;
  std::vector<FaceBase*>* faces = nullptr;
  mesh.editLists(&vertices, nullptr, nullptr);
  mesh.editLists(nullptr, &edges, nullptr);
  mesh.editLists(nullptr, nullptr, &faces);
  for (VertexBase* v : *vertices) delete v;
  for (Edge* e : *edges) delete e;
  for (FaceBase* f : *faces) delete f;
  vertices->clear();
  edges->clear();
  faces->clear();

  const float x = halfSize.x, y = halfSize.y, z = halfSize.z;
  Vertex* v[8] = {
      new Vertex(-x, -y, -z), new Vertex(-x, -y, +z), new Vertex(+x, -y, +z), new Vertex(+x, -y, -z),
      new Vertex(-x, +y, -z), new Vertex(-x, +y, +z), new Vertex(+x, +y, +z), new Vertex(+x, +y, -z),
  };
  vertices->assign(v, v + 8);

  static constexpr int kEdgeEnds[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {0, 4}, {1, 5},
                                           {2, 6}, {3, 7}, {7, 4}, {6, 7}, {5, 6}, {4, 5}};
  Edge* e[12];
  for (int i = 0; i < 12; ++i) {
    e[i] = new Edge{v[kEdgeEnds[i][0]], v[kEdgeEnds[i][1]], 0, 0};
    edges->push_back(e[i]);
  }

  // Edges going round each face; the winding faces away from the centre.
  static constexpr int kFaceEdges[6][4] = {
      {3, 2, 1, 0},    // -y
      {11, 10, 9, 8},  // +y
      {0, 5, 11, 4},   // -x
      {4, 8, 7, 3},    // -z
      {7, 9, 6, 2},    // +x
      {6, 10, 5, 1},   // +z
  };
  for (const auto& f : kFaceEdges) faces->push_back(new QuadFace(e[f[0]], e[f[1]], e[f[2]], e[f[3]]));
}

}  // namespace velm::meshgen
