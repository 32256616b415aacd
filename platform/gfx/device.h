// gfx::Device: the graphics operations the engine draws with — frames,
// clears, viewports, render targets, textures, buffers, states, transforms,
// draws and effects — behind one interface with an OpenGL backend and a
// recording backend. It does not own windows, decide frame pacing or know
// about scenes; engine code never sees OpenGL.
//
// Ownership: create* hands out an object the caller owns and frees with
// release(). Pointers returned by getters (a texture's surface, the current
// render target) are borrowed and stay valid while their owner lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/types.h"

namespace gfx {

class Device;

// Base of every object a device creates.
class Resource {
 public:
  virtual ~Resource() = default;
  // Destroys the object and its GPU storage. Objects owned by another (a
  // texture's level surfaces) ignore it.
  virtual void release() { delete this; }

 protected:
  Resource() = default;
  Resource(const Resource&) = delete;
  Resource& operator=(const Resource&) = delete;
};

struct SurfaceDesc {
  uint32_t width = 0;
  uint32_t height = 0;
  Format format = Format::Unknown;
  Usage usage = Usage::None;
};

// A 2D picture that can be a render target or a depth-stencil buffer: either
// one level of a texture, or a free-standing depth-stencil surface.
class Surface : public Resource {
 public:
  virtual SurfaceDesc desc() const = 0;
};

class Texture : public Resource {
 public:
  virtual uint32_t levelCount() const = 0;
  virtual Result levelDesc(uint32_t level, SurfaceDesc* out) const = 0;
  // The surface of one mip level, owned by the texture.
  virtual Result surfaceLevel(uint32_t level, Surface** out) = 0;
};

// Host-visible vertex or index storage. lock() hands out a pointer into it;
// unlock() makes written bytes visible to the GPU. A size of 0 locks to the end.
class Buffer : public Resource {
 public:
  virtual uint32_t length() const = 0;
  virtual Result lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) = 0;
  virtual Result unlock() = 0;
};

class VertexBuffer : public Buffer {
 public:
  virtual uint32_t fvfCode() const = 0;
};

class IndexBuffer : public Buffer {
 public:
  virtual Format format() const = 0;
};

// A compiled effect: techniques of passes, each pass a set of render states
// and a shader program, and named parameters whose values the effect keeps
// and applies at beginPass and commitChanges. Unknown names return NotFound
// and change nothing. begin() saves the device states its passes set and the
// samplers it uses; end() restores them.
class Effect : public Resource {
 public:
  virtual Result setTechnique(const char* name) = 0;
  virtual Result begin(uint32_t* passCount, uint32_t flags) = 0;
  virtual Result beginPass(uint32_t pass) = 0;
  virtual Result commitChanges() = 0;
  virtual Result endPass() = 0;
  virtual Result end() = 0;

  virtual Result setFloat(const char* name, float value) = 0;
  virtual Result setFloatArray(const char* name, const float* values, uint32_t count) = 0;
  virtual Result setVector(const char* name, const float value[4]) = 0;
  virtual Result setMatrix(const char* name, const Matrix4& value) = 0;
  virtual Result setTexture(const char* name, Texture* texture) = 0;
  virtual Result setInt(const char* name, int32_t value) = 0;
  virtual Result setBool(const char* name, bool value) = 0;
};

struct ImageInfo {
  uint32_t width = 0;
  uint32_t height = 0;
};

// Pixels read back from a surface: top row first, 4 bytes (R, G, B, A) per
// pixel for colour formats, one float per pixel for R32F.
struct Readback {
  uint32_t width = 0;
  uint32_t height = 0;
  Format format = Format::Unknown;
  std::vector<uint8_t> bytes;
};

class Device {
 public:
  virtual ~Device() = default;

  // Frames.
  virtual Result beginScene() = 0;
  virtual Result endScene() = 0;
  virtual Result present() = 0;
  virtual Result clear(uint32_t flags, uint32_t argbColor, float z, uint32_t stencil) = 0;
  virtual Result setViewport(const Viewport& viewport) = 0;
  virtual Result getViewport(Viewport* out) = 0;

  // Resources.
  virtual Result createTexture(uint32_t width, uint32_t height, uint32_t levels, Usage usage,
                               Format format, Pool pool, Texture** out) = 0;
  // Decodes JPEG or PNG bytes into a texture with a full mip chain.
  virtual Result createTextureFromImage(const void* bytes, size_t size, Texture** out,
                                        ImageInfo* info) = 0;
  virtual Result createDepthStencilSurface(uint32_t width, uint32_t height, Format format,
                                           Surface** out) = 0;
  virtual Result createVertexBuffer(uint32_t length, Usage usage, uint32_t fvfCode, Pool pool,
                                    VertexBuffer** out) = 0;
  virtual Result createIndexBuffer(uint32_t length, Usage usage, Format format, Pool pool,
                                   IndexBuffer** out) = 0;
  // Builds an effect from the bytes of a compiled effect file.
  virtual Result createEffect(const void* bytes, size_t size, Effect** out) = 0;

  // Render targets (slots 0 to 3) and the depth-stencil surface. Slot 0
  // starts on the back buffer, whose depth surface starts bound.
  virtual Result setRenderTarget(uint32_t slot, Surface* surface) = 0;
  virtual Result getRenderTarget(uint32_t slot, Surface** out) = 0;
  virtual Result setDepthStencilSurface(Surface* surface) = 0;
  virtual Result getDepthStencilSurface(Surface** out) = 0;

  // States.
  virtual Result setRenderState(RenderState state, uint32_t value) = 0;
  virtual Result getRenderState(RenderState state, uint32_t* value) = 0;
  virtual Result setSamplerState(uint32_t sampler, SamplerState state, uint32_t value) = 0;
  virtual Result getSamplerState(uint32_t sampler, SamplerState state, uint32_t* value) = 0;
  virtual Result setTextureStageState(uint32_t stage, TextureStageState state, uint32_t value) = 0;
  virtual Result setTexture(uint32_t stage, Texture* texture) = 0;
  virtual Result getTexture(uint32_t stage, Texture** out) = 0;
  virtual Result setTransform(TransformType type, const Matrix4& matrix) = 0;

  // Geometry.
  virtual Result setFVF(uint32_t fvfCode) = 0;
  virtual Result setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset,
                                 uint32_t stride) = 0;
  virtual Result setIndices(IndexBuffer* buffer) = 0;
  virtual Result drawPrimitive(PrimitiveType type, uint32_t startVertex,
                               uint32_t primitiveCount) = 0;
  virtual Result drawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                      uint32_t vertexCount, uint32_t startIndex,
                                      uint32_t primitiveCount) = 0;
  // Draws from caller memory; afterwards stream 0 is unset.
  virtual Result drawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                                 uint32_t stride) = 0;

  // Not part of the drawing API: reads a colour surface back (tests, capture).
  virtual Result readSurface(Surface* surface, Readback* out) = 0;
  // The back buffer's colour surface and size.
  virtual Surface* backBuffer() = 0;
  // A line naming the renderer (for logs and test output).
  virtual std::string rendererName() const = 0;
  // GPU objects currently alive (textures, surfaces, buffers, effects).
  virtual size_t liveObjectCount() const = 0;
};

// Number of vertices a draw of `primitiveCount` primitives of `type` uses.
uint32_t vertexCountFor(PrimitiveType type, uint32_t primitiveCount);

}  // namespace gfx
