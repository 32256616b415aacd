#include "geometry/modifiers.h"

#include <cmath>

#include "geometry/mesh.h"

namespace velm::meshmodify {

void Texgen::apply(Mesh& mesh) {
  std::vector<VertexBase*>* vertices = nullptr;
  mesh.editLists(&vertices, nullptr, nullptr);
  if (vertices->empty() || !vertices->front()->texcoord(uvSet)) return;
  mesh.refreshNormals();

  const float s = scale;
  for (VertexBase* vertex : *vertices) {
    const Vector3 p = *vertex->position();
    const Vector3* n = vertex->normal();
    const float a = n ? std::fabs(n->x) : 0.0f;
    const float b = n ? std::fabs(n->y) : 0.0f;
    const float c = n ? std::fabs(n->z) : 0.0f;
    const float sum = a + b + c;
    const float x = p.x, y = p.y, z = p.z;
    TexCoord uv;
    if (sum > 0.0f) {
      const float k = 1.0f / sum;
      uv.u = k * (c * x * s + a * (x + y) * s + b * x * s);
      uv.v = k * (c * (z + y) * s + a * z * s + b * z * s);
    } else {
      // No direction to blend by: project as a floor.
      uv = {x * s, z * s};
    }
    vertex->setTexcoord(uvSet, uv);
  }
}

void InvertFaces::apply(Mesh& mesh) {
  std::vector<FaceBase*>* faces = nullptr;
  mesh.editLists(nullptr, nullptr, &faces);
  for (FaceBase*& face : *faces) {
    FaceBase* flipped = face->clone();
    const int32_t count = face->edgeCount();
    for (int32_t j = 0; j < count; ++j) flipped->setEdge(j, face->edge(count - 1 - j));
    delete face;
    face = flipped;
  }
}

}  // namespace velm::meshmodify
