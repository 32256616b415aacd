// The platform layer's form of one extruded text character: an indexed
// triangle list with a position and a normal per vertex. The glyph font code
// fills it from a FreeType outline (tessellated and extruded); the mesh code
// copies it into GPU buffers. Plain data only: nothing here draws or loads.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

struct GlyphMesh {
  std::vector<float> positions;   // x, y, z per vertex
  std::vector<float> normals;     // nx, ny, nz per vertex (same vertex count as positions)
  std::vector<uint32_t> indices;  // three per triangle, into the vertex arrays
};

}  // namespace platform
