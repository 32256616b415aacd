// Modifiers rewrite a mesh's editable geometry in place at load time:
// texture coordinates from position and normal, and reversed face winding.
// (The subdivision modifier lives in subdivide.h.) Each call leaves the
// editable side current; the GPU buffers follow at the next draw.
#pragma once

#include <cstdint>

namespace velm {

class Mesh;

class IMeshModifier {
 public:
  IMeshModifier() = default;
  IMeshModifier(const IMeshModifier&) = default;
  IMeshModifier& operator=(const IMeshModifier&) = default;
  virtual ~IMeshModifier() = default;
  virtual void apply(Mesh& mesh) = 0;
};

namespace meshmodify {

// Writes texture-coordinate pair `uvSet` (0 or 1) of every vertex: the x-z
// plane, with y added to u in proportion to |nx| and to v in proportion to
// |nz|, times `scale`, so coordinates run on across the walls of a room.
// A vertex with a zero normal is treated as a floor: (x, z) x scale.
class Texgen : public IMeshModifier {
 public:
  Texgen(int32_t set, float factor) : scale(factor), uvSet(set) {}
  void apply(Mesh& mesh) override;

  float scale;
  int32_t uvSet;
};

// Reverses the edge order, and so the winding, of every face. Normals are
// recomputed from the new winding when next asked for.
class InvertFaces : public IMeshModifier {
 public:
  void apply(Mesh& mesh) override;
};

}  // namespace meshmodify
}  // namespace velm
