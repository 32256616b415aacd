// Procedural geometry at load time: a generator replaces a mesh's editable
// geometry with a shape built from a few numbers. Generators are small value
// objects made on the stack; they keep no reference to the mesh afterwards.
#pragma once

#include "engine/math3d.h"

namespace velm {

class Mesh;

class MeshGenerator {
 public:
  MeshGenerator() = default;
  MeshGenerator(const MeshGenerator&) = default;
  MeshGenerator& operator=(const MeshGenerator&) = default;
  virtual void generate(Mesh& mesh) = 0;
  virtual ~MeshGenerator() = default;
};

namespace meshgen {

// The axis-aligned box spanning -halfSize..+halfSize around the origin:
// 8 vertices, 12 edges and 6 quads whose winding faces outwards. No
// texture coordinates (Texgen provides them).
class Cube : public MeshGenerator {
 public:
  Cube(float x, float y, float z) : halfSize{x, y, z} {}
  // Destroys the mesh's editable elements and puts the box in their place.
  void generate(Mesh& mesh) override;

  Vector3 halfSize;
};

}  // namespace meshgen
}  // namespace velm
