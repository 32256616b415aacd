// Internals of the OpenGL backend shared by the device and its effects. The
// device mirrors the requested state in plain arrays and applies what changed
// to GL in one place (flush) just before a draw or clear.
#pragma once

#include <epoxy/gl.h>

#include <array>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/effect_format.h"
#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_device.h"

namespace gfx {

class GlDevice;
class GlTexture;

// A colour level of a texture or a free-standing depth-stencil renderbuffer.
class GlSurface final : public Surface {
 public:
  GlSurface(GlDevice* device, GlTexture* owner, GLuint name, GLint level, const SurfaceDesc& desc);
  ~GlSurface() override;
  void release() override;
  SurfaceDesc desc() const override { return desc_; }

  bool isDepth() const { return desc_.format == Format::D24S8; }
  GLuint glName() const { return name_; }  // texture or renderbuffer name
  GLint level() const { return level_; }
  GlTexture* owner() const { return owner_; }

 private:
  GlDevice* device_;
  GlTexture* owner_;  // null for a depth-stencil surface, which owns its renderbuffer
  GLuint name_;
  GLint level_;
  SurfaceDesc desc_;
};

class GlTexture final : public Texture {
 public:
  GlTexture(GlDevice* device, GLuint name, uint32_t width, uint32_t height, uint32_t levels,
            Format format, Usage usage);
  ~GlTexture() override;
  uint32_t levelCount() const override { return static_cast<uint32_t>(levels_.size()); }
  Result levelDesc(uint32_t level, SurfaceDesc* out) const override;
  Result surfaceLevel(uint32_t level, Surface** out) override;
  GLuint glName() const { return name_; }
  Format format() const { return format_; }

 private:
  GlDevice* device_;
  GLuint name_;
  Format format_;
  std::vector<std::unique_ptr<GlSurface>> levels_;
};

// Vertex or index storage: a host copy the caller locks, mirrored to a GL
// buffer on unlock.
class GlBufferStorage {
 public:
  GlBufferStorage(uint32_t length);
  ~GlBufferStorage();
  Result lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
  Result unlock();
  GLuint glName() const { return name_; }
  uint32_t length() const { return static_cast<uint32_t>(bytes_.size()); }

 private:
  GLuint name_ = 0;
  std::vector<uint8_t> bytes_;
  bool locked_ = false;
  uint32_t lockOffset_ = 0, lockSize_ = 0, lockFlags_ = 0;
};

class GlVertexBuffer final : public VertexBuffer {
 public:
  GlVertexBuffer(GlDevice* device, uint32_t length, uint32_t fvfCode);
  ~GlVertexBuffer() override;
  uint32_t length() const override { return storage_.length(); }
  Result lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override {
    return storage_.lock(offset, size, data, flags);
  }
  Result unlock() override { return storage_.unlock(); }
  uint32_t fvfCode() const override { return fvf_; }
  GLuint glName() const { return storage_.glName(); }

 private:
  GlDevice* device_;
  GlBufferStorage storage_;
  uint32_t fvf_;
};

class GlIndexBuffer final : public IndexBuffer {
 public:
  GlIndexBuffer(GlDevice* device, uint32_t length, Format format);
  ~GlIndexBuffer() override;
  uint32_t length() const override { return storage_.length(); }
  Result lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override {
    return storage_.lock(offset, size, data, flags);
  }
  Result unlock() override { return storage_.unlock(); }
  Format format() const override { return format_; }
  GLuint glName() const { return storage_.glName(); }

 private:
  GlDevice* device_;
  GlBufferStorage storage_;
  Format format_;
};

// Creates an effect from container bytes; null (and the reason in *result) on
// failure. Programs are compiled and linked here.
class GlEffect;
Effect* createGlEffect(GlDevice* device, const void* bytes, size_t size, Result* result);
GLuint compileGlProgram(const char* vertex, const char* fragment, std::string* log);
void effectForgetTexture(GlEffect* effect, GlTexture* texture);

class GlDevice final : public Device {
 public:
  GlDevice(std::unique_ptr<GlContext> context, uint32_t width, uint32_t height,
           GlErrorCallback onGlError);
  ~GlDevice() override;
  bool init(std::string* error);

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
  Surface* backBuffer() override { return backColorSurface_; }
  std::string rendererName() const override { return renderer_; }
  size_t liveObjectCount() const override { return liveObjects_; }

  // Used by resources and effects.
  void objectCreated() { ++liveObjects_; }
  void objectDestroyed() { --liveObjects_; }
  void forgetSurface(GlSurface* surface);
  void forgetTexture(GlTexture* texture);
  void forgetVertexBuffer(GlVertexBuffer* buffer);
  void forgetIndexBuffer(GlIndexBuffer* buffer);
  void effectCreated(GlEffect* effect) { effects_.insert(effect); }
  void effectDestroyed(GlEffect* effect) { effects_.erase(effect); }
  // The program of the active effect pass, or 0 for the built-in pipeline.
  void useEffectProgram(GLuint program) { effectProgram_ = program; }
  GLuint effectProgram() const { return effectProgram_; }
  void reportGlError(const std::string& message);

 private:
  // What the engine asked for. Indexed by the numeric values of the enums.
  struct RequestedState {
    std::array<uint32_t, 256> render{};
    std::array<std::array<uint32_t, 8>, kMaxSamplers> sampler{};
    std::array<uint32_t, 8> stage0{};
    std::array<GlTexture*, kMaxSamplers> textures{};
    Matrix4 world = Matrix4::identity(), view = Matrix4::identity(), projection = Matrix4::identity();
    uint32_t fvf = 0;
    GlVertexBuffer* stream = nullptr;
    uint32_t streamOffset = 0, streamStride = 0;
    GlIndexBuffer* indices = nullptr;
    Viewport viewport;
    std::array<GlSurface*, kMaxRenderTargets> targets{};
    GlSurface* depth = nullptr;
  };
  // What GL currently has (only what the flush manages).
  struct AppliedState {
    GLuint framebuffer = ~0u;
    GLuint program = ~0u;
    Viewport viewport{~0u, ~0u, ~0u, ~0u, -1.0f, -1.0f};
    int blend = -1;
    GLenum srcBlend = 0, dstBlend = 0, blendEquation = 0;
    int depthTest = -1, depthWrite = -1;
    GLenum depthFunc = 0;
    GLenum cullFace = ~0u;  // GL_FRONT, GL_BACK, or GL_NONE for no culling
    uint32_t colorWrite = ~0u;
    uint32_t floatTargetMask = ~0u;  // draw buffers with blending forced off
    std::array<GLuint, kMaxSamplers> textures{};
    std::array<std::array<uint32_t, 8>, kMaxSamplers> sampler{};
    uint32_t vertexFormat = ~0u;
    GLuint vertexBuffer = ~0u, indexBuffer = ~0u;
    uint32_t vertexOffset = ~0u, vertexStride = ~0u;
  };

  bool createBackBuffer();
  bool createFixedFunctionProgram(std::string* error);
  void setDefaultStates();
  Result flushForDraw();
  GLuint framebufferFor(const std::array<GlSurface*, kMaxRenderTargets>& targets, GlSurface* depth);
  void applyFramebuffer();
  void applyViewport();
  void applyFixedStates();
  void applyProgram();
  void applyTextures();
  void applyVertexInput(GLuint buffer, uint32_t offset, uint32_t stride);
  Result draw(PrimitiveType type, uint32_t vertexCount, bool indexed, int32_t baseVertex,
              uint32_t startVertexOrIndex);

  std::unique_ptr<GlContext> context_;
  uint32_t width_, height_;
  GlErrorCallback onGlError_;
  std::string renderer_;
  size_t liveObjects_ = 0;
  bool inScene_ = false;

  RequestedState state_;
  AppliedState applied_;
  GLuint effectProgram_ = 0;
  bool fixedFunctionDirty_ = true;

  GlTexture* backColor_ = nullptr;
  GlSurface* backColorSurface_ = nullptr;
  GlSurface* backDepth_ = nullptr;
  GLuint vertexArray_ = 0;
  GLuint userBuffer_ = 0;  // caller-memory draws
  uint32_t userBufferSize_ = 0;
  std::array<GLuint, kMaxSamplers> samplerObjects_{};
  std::map<std::array<GLuint, kMaxRenderTargets + 1>, GLuint> framebuffers_;

  struct FixedFunction {
    GLuint program = 0;
    GLint world = -1, view = -1, projection = -1, textureFactor = -1, colorOps = -1,
          alphaOps = -1, hasTexture = -1;
  } fixed_;

  std::set<GlEffect*> effects_;
};

GLenum glBlendFactor(uint32_t blend);
GLenum glCompare(uint32_t compare);

}  // namespace gfx
