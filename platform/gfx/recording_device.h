// A device that draws nothing and records every call as one line of text, so
// engine code can be tested anywhere for the exact calls it makes. Resources
// are real host objects (buffers keep their bytes, images are decoded for
// their size); objects are named by kind and creation number: "texture#1".
#pragma once

#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace gfx {

class RecordingDevice final : public Device {
 public:
  RecordingDevice(uint32_t width = 640, uint32_t height = 480);
  ~RecordingDevice() override;

  const std::vector<std::string>& calls() const { return calls_; }
  void clearCalls() { calls_.clear(); }
  // Appends a line to the log (resources and effects record through this).
  void record(const std::string& line) { calls_.push_back(line); }
  // The name an object was given in the log, or "null".
  static std::string nameOf(const void* object);

  Result beginScene() override;
  Result endScene() override;
  Result present() override;
  Result clear(uint32_t flags, uint32_t argbColor, float z, uint32_t stencil) override;
  Result setViewport(const Viewport& viewport) override;
  Result getViewport(Viewport* out) override;

  Result createTexture(uint32_t width, uint32_t height, uint32_t levels, Usage usage, Format format,
                       Pool pool, Texture** out) override;
  Result createTextureFromImage(const void* bytes, size_t size, Texture** out,
                                ImageInfo* info) override;
  Result createDepthStencilSurface(uint32_t width, uint32_t height, Format format,
                                   Surface** out) override;
  Result createVertexBuffer(uint32_t length, Usage usage, uint32_t fvfCode, Pool pool,
                            VertexBuffer** out) override;
  Result createIndexBuffer(uint32_t length, Usage usage, Format format, Pool pool,
                           IndexBuffer** out) override;
  Result createEffect(const void* bytes, size_t size, Effect** out) override;

  Result setRenderTarget(uint32_t slot, Surface* surface) override;
  Result getRenderTarget(uint32_t slot, Surface** out) override;
  Result setDepthStencilSurface(Surface* surface) override;
  Result getDepthStencilSurface(Surface** out) override;

  Result setRenderState(RenderState state, uint32_t value) override;
  Result getRenderState(RenderState state, uint32_t* value) override;
  Result setSamplerState(uint32_t sampler, SamplerState state, uint32_t value) override;
  Result getSamplerState(uint32_t sampler, SamplerState state, uint32_t* value) override;
  Result setTextureStageState(uint32_t stage, TextureStageState state, uint32_t value) override;
  Result setTexture(uint32_t stage, Texture* texture) override;
  Result getTexture(uint32_t stage, Texture** out) override;
  Result setTransform(TransformType type, const Matrix4& matrix) override;

  Result setFVF(uint32_t fvfCode) override;
  Result setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset,
                         uint32_t stride) override;
  Result setIndices(IndexBuffer* buffer) override;
  Result drawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override;
  Result drawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                              uint32_t vertexCount, uint32_t startIndex,
                              uint32_t primitiveCount) override;
  Result drawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                         uint32_t stride) override;

  Result readSurface(Surface* surface, Readback* out) override;
  Surface* backBuffer() override { return backColor_; }
  std::string rendererName() const override { return "recording device (no GPU)"; }
  size_t liveObjectCount() const override { return liveObjects_; }

  void objectCreated() { ++liveObjects_; }
  // Forgets every binding of a destroyed object; counted objects (not a
  // texture's own levels) also leave the live count.
  void objectDestroyed(const void* object, bool counted = true);
  std::string newName(const char* kind) { return std::string(kind) + "#" + std::to_string(++serial_); }

 private:
  std::vector<std::string> calls_;
  size_t liveObjects_ = 0;
  uint32_t serial_ = 0;
  Surface* backColor_ = nullptr;
  Surface* backDepth_ = nullptr;
  Surface* targets_[kMaxRenderTargets] = {};
  Surface* depth_ = nullptr;
  Texture* textures_[kMaxSamplers] = {};
  uint32_t render_[256] = {};
  uint32_t sampler_[kMaxSamplers][8] = {};
  Viewport viewport_;
};

}  // namespace gfx
