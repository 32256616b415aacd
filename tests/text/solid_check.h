// Checks on a text character's solid: closed (after merging vertices at the
// same position, every edge is run along as often in one direction as in the
// other, so no hole and no flipped face), manifold (no edge shared by more
// than two triangles, as where two pieces touch at a point of the outline),
// facing outwards (positive enclosed volume, and each triangle's winding
// agrees with its vertex normals), and its bounding box.
#pragma once

#include <cstddef>
#include <string>

#include "platform/glyph_mesh.h"

namespace velm::testing {

struct SolidReport {
  size_t triangles = 0;
  size_t openEdges = 0;        // run along more often one way than the other
  size_t pinchedEdges = 0;     // closed, but shared by more than two triangles
  size_t inwardTriangles = 0;  // winding against the vertex normals
  double volume = 0.0;         // positive when the winding faces outwards
  float minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
  bool closedAndOutward() const {
    return triangles > 0 && openEdges == 0 && inwardTriangles == 0 && volume > 0.0;
  }
  std::string describe() const;
};

SolidReport inspectSolid(const platform::GlyphMesh& mesh);

}  // namespace velm::testing
