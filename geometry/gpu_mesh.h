// The GPU side of a mesh: one dynamic vertex buffer of 64-byte records and one
// 32-bit index buffer holding a triangle list, and the conversions between
// that form and the editable model (upload, rebuild with optional welding,
// loading a text character). Buffers only grow and are freed with the mesh.
// It sets no effect, render state or texture: drawing is one indexed call.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gfx/device.h"

namespace platform {
struct GlyphMesh;
}

namespace velm {

class Mesh;
class VertexBase;

class GpuMesh {
 public:
  // Buffers are made later; their smallest capacities are `minVertices`
  // vertices and 3 x `minTriangles` indices. The device is the engine
  // context's at this moment.
  GpuMesh(int32_t minVertices, int32_t minTriangles);
  GpuMesh(const GpuMesh&) = delete;
  GpuMesh& operator=(const GpuMesh&) = delete;
  ~GpuMesh();

  // Grows a buffer whose capacity is below a non-zero request (to at least
  // the minimum); a replaced buffer's contents are lost. Never shrinks.
  void ensureCapacity(int32_t indices, int32_t vertices, int32_t stride);
  // Writes the vertices' attribute blocks and, with a list, the indices. A
  // null `indexList` leaves the index buffer and indexCount as they are.
  void fill(const std::vector<VertexBase*>& vertexList, const std::vector<uint32_t>* indexList);
  // Editable model -> buffers (faces triangulated in list order); the mesh
  // becomes GpuCurrent. A corner missing from the vertex list reports error
  // 320 and is drawn at vertex 0.
  void upload(Mesh& mesh);
  // One indexed triangle-list draw of everything in use; nothing without buffers.
  void draw();
  // Buffers -> the editable model of `mesh` as triangles; with `weld`,
  // vertices closer than 1e-3 to an earlier one are merged into it.
  void rebuildEditable(Mesh& mesh, bool weld);
  // A text character's triangles -> buffers (position and normal; every
  // other attribute zero); `mesh` becomes GpuCurrent.
  void loadFromD3DXMesh(Mesh& mesh, const platform::GlyphMesh& glyph);
  // Releases the index buffer, then the vertex buffer.
  void release();

  gfx::IndexBuffer* indexBuffer = nullptr;
  gfx::VertexBuffer* vertexBuffer = nullptr;
  int32_t indexCount = 0;
  int32_t vertexCount = 0;
  int32_t indexCapacity = 0;
  int32_t vertexCapacity = 0;
  int32_t stride = -1;
  gfx::Device* device = nullptr;
  int32_t minVertices = 0;
  int32_t minTriangles = 0;
};

}  // namespace velm
