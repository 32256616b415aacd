#include "platform/gfx/recording_device.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/gfx/effect_format.h"
#include "platform/image.h"

namespace gfx {
namespace {

std::map<const void*, std::string>& names() {
  static std::map<const void*, std::string> table;
  return table;
}

std::string num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
  return buffer;
}

std::string hex(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08x", v);
  return buffer;
}

std::string u(uint32_t v) { return std::to_string(v); }

std::string matrix(const float* m) {
  std::string s = "[";
  for (int i = 0; i < 16; ++i) s += (i ? " " : "") + num(m[i]);
  return s + "]";
}

class RecordingSurface final : public Surface {
 public:
  RecordingSurface(RecordingDevice* device, const SurfaceDesc& desc, bool owned, std::string name)
      : device_(device), desc_(desc), owned_(owned) {
    names()[this] = std::move(name);
    if (!owned_) device_->objectCreated();
  }
  ~RecordingSurface() override {
    device_->objectDestroyed(this, !owned_);
    names().erase(this);
  }
  void release() override {
    if (!owned_) {
      device_->record("release(" + RecordingDevice::nameOf(this) + ")");
      delete this;
    }
  }
  SurfaceDesc desc() const override { return desc_; }

 private:
  RecordingDevice* device_;
  SurfaceDesc desc_;
  bool owned_;  // a level of a texture
};

class RecordingTexture final : public Texture {
 public:
  RecordingTexture(RecordingDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                   Format format, Usage usage)
      : device_(device) {
    const std::string name = device->newName("texture");
    names()[this] = name;
    device_->objectCreated();
    for (uint32_t l = 0; l < levels; ++l)
      levels_.push_back(new RecordingSurface(
          device, {std::max(1u, width >> l), std::max(1u, height >> l), format, usage}, true,
          name + ".level" + std::to_string(l)));
  }
  ~RecordingTexture() override {
    for (Surface* s : levels_) delete s;
    device_->objectDestroyed(this);
    names().erase(this);
  }
  void release() override {
    device_->record("release(" + RecordingDevice::nameOf(this) + ")");
    delete this;
  }
  uint32_t levelCount() const override { return static_cast<uint32_t>(levels_.size()); }
  Result levelDesc(uint32_t level, SurfaceDesc* out) const override {
    if (level >= levels_.size() || !out) return Result::InvalidCall;
    *out = levels_[level]->desc();
    return Result::Ok;
  }
  Result surfaceLevel(uint32_t level, Surface** out) override {
    if (level >= levels_.size() || !out) return Result::InvalidCall;
    *out = levels_[level];
    return Result::Ok;
  }

 private:
  RecordingDevice* device_;
  std::vector<Surface*> levels_;
};

// Host memory behind a vertex or index buffer; every lock and unlock is logged.
template <typename Base>
class RecordingBuffer : public Base {
 public:
  RecordingBuffer(RecordingDevice* device, const char* kind, uint32_t length) : device_(device), bytes_(length) {
    names()[this] = device->newName(kind);
    device_->objectCreated();
  }
  ~RecordingBuffer() override {
    device_->objectDestroyed(this);
    names().erase(this);
  }
  void release() override {
    device_->record("release(" + RecordingDevice::nameOf(this) + ")");
    delete this;
  }
  uint32_t length() const override { return static_cast<uint32_t>(bytes_.size()); }
  Result lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) override {
    device_->record("lock(" + RecordingDevice::nameOf(this) + ", " + u(offset) + ", " + u(size) + ", " +
                    hex(flags) + ")");
    if (!data || locked_ || offset > bytes_.size()) return Result::InvalidCall;
    if (size == 0) size = static_cast<uint32_t>(bytes_.size()) - offset;
    if (size > bytes_.size() - offset) return Result::InvalidCall;
    locked_ = true;
    *data = bytes_.data() + offset;
    return Result::Ok;
  }
  Result unlock() override {
    device_->record("unlock(" + RecordingDevice::nameOf(this) + ")");
    if (!locked_) return Result::InvalidCall;
    locked_ = false;
    return Result::Ok;
  }

 private:
  RecordingDevice* device_;
  std::vector<uint8_t> bytes_;
  bool locked_ = false;
};

class RecordingVertexBuffer final : public RecordingBuffer<VertexBuffer> {
 public:
  RecordingVertexBuffer(RecordingDevice* device, uint32_t length, uint32_t fvf)
      : RecordingBuffer(device, "vertexbuffer", length), fvf_(fvf) {}
  uint32_t fvfCode() const override { return fvf_; }

 private:
  uint32_t fvf_;
};

class RecordingIndexBuffer final : public RecordingBuffer<IndexBuffer> {
 public:
  RecordingIndexBuffer(RecordingDevice* device, uint32_t length, Format format)
      : RecordingBuffer(device, "indexbuffer", length), format_(format) {}
  Format format() const override { return format_; }

 private:
  Format format_;
};

// Records effect calls as "<effect>.<call>(args)". It knows the techniques of
// its container; it accepts every parameter name, having no shader compiler
// to tell it which ones the programs use.
class RecordingEffect final : public Effect {
 public:
  RecordingEffect(RecordingDevice* device, EffectDesc desc) : device_(device), desc_(std::move(desc)) {
    names()[this] = device->newName("effect");
    device_->objectCreated();
  }
  ~RecordingEffect() override {
    device_->objectDestroyed(this);
    names().erase(this);
  }
  void release() override {
    log("release()");
    delete this;
  }
  Result setTechnique(const char* name) override {
    log(std::string("setTechnique(") + (name ? name : "null") + ")");
    for (const auto& t : desc_.techniques)
      if (name && t.name == name) return Result::Ok;
    return Result::NotFound;
  }
  Result begin(uint32_t* passCount, uint32_t flags) override {
    log("begin(" + u(flags) + ")");
    if (passCount) *passCount = 1;
    return Result::Ok;
  }
  Result beginPass(uint32_t pass) override { return log("beginPass(" + u(pass) + ")"); }
  Result commitChanges() override { return log("commitChanges()"); }
  Result endPass() override { return log("endPass()"); }
  Result end() override { return log("end()"); }
  Result setFloat(const char* name, float v) override { return log("setFloat(" + str(name) + ", " + num(v) + ")"); }
  Result setFloatArray(const char* name, const float* v, uint32_t n) override {
    std::string s = "setFloatArray(" + str(name) + ", [";
    for (uint32_t i = 0; v && i < n; ++i) s += (i ? " " : "") + num(v[i]);
    return log(s + "])");
  }
  Result setVector(const char* name, const float v[4]) override {
    return log("setVector(" + str(name) + ", [" + num(v[0]) + " " + num(v[1]) + " " + num(v[2]) + " " +
               num(v[3]) + "])");
  }
  Result setMatrix(const char* name, const Matrix4& m) override {
    return log("setMatrix(" + str(name) + ", " + matrix(&m.m[0][0]) + ")");
  }
  Result setTexture(const char* name, Texture* t) override {
    return log("setTexture(" + str(name) + ", " + RecordingDevice::nameOf(t) + ")");
  }
  Result setInt(const char* name, int32_t v) override {
    return log("setInt(" + str(name) + ", " + std::to_string(v) + ")");
  }
  Result setBool(const char* name, bool v) override {
    return log("setBool(" + str(name) + ", " + (v ? "true" : "false") + ")");
  }

 private:
  static std::string str(const char* s) { return s ? s : "null"; }
  Result log(const std::string& call) {
    device_->record(RecordingDevice::nameOf(this) + "." + call);
    return Result::Ok;
  }
  RecordingDevice* device_;
  EffectDesc desc_;
};

}  // namespace

std::string RecordingDevice::nameOf(const void* object) {
  if (!object) return "null";
  auto it = names().find(object);
  return it == names().end() ? "unknown" : it->second;
}

RecordingDevice::RecordingDevice(uint32_t width, uint32_t height) {
  backColor_ = new RecordingSurface(this, {width, height, Format::A8R8G8B8, Usage::RenderTarget}, true, "backbuffer");
  backDepth_ = new RecordingSurface(this, {width, height, Format::D24S8, Usage::DepthStencil}, true, "backbuffer.depth");
  targets_[0] = backColor_;
  depth_ = backDepth_;
  viewport_ = {0, 0, width, height, 0.0f, 1.0f};
}

RecordingDevice::~RecordingDevice() {
  Surface* back[] = {backColor_, backDepth_};
  backColor_ = backDepth_ = nullptr;
  for (Surface* s : back) delete s;
}

void RecordingDevice::objectDestroyed(const void* object, bool counted) {
  if (counted) --liveObjects_;
  for (auto& t : targets_)
    if (t == object) t = nullptr;
  if (depth_ == object) depth_ = nullptr;
  for (auto& t : textures_)
    if (t == object) t = nullptr;
}

Result RecordingDevice::beginScene() { record("beginScene()"); return Result::Ok; }
Result RecordingDevice::endScene() { record("endScene()"); return Result::Ok; }
Result RecordingDevice::present() { record("present()"); return Result::Ok; }

Result RecordingDevice::clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) {
  record("clear(" + hex(flags) + ", " + hex(color) + ", " + num(z) + ", " + u(stencil) + ")");
  return Result::Ok;
}

Result RecordingDevice::setViewport(const Viewport& v) {
  record("setViewport(" + u(v.x) + ", " + u(v.y) + ", " + u(v.width) + ", " + u(v.height) + ", " +
         num(v.minZ) + ", " + num(v.maxZ) + ")");
  viewport_ = v;
  return Result::Ok;
}

Result RecordingDevice::getViewport(Viewport* out) {
  if (!out) return Result::InvalidCall;
  *out = viewport_;
  return Result::Ok;
}

Result RecordingDevice::createTexture(uint32_t width, uint32_t height, uint32_t levels, Usage usage,
                                      Format format, Pool pool, Texture** out) {
  if (!out || width == 0 || height == 0) return Result::InvalidCall;
  if (levels == 0) {
    levels = 1;
    for (uint32_t s = std::max(width, height); s > 1; s >>= 1) ++levels;
  }
  *out = new RecordingTexture(this, width, height, levels, format, usage);
  record("createTexture(" + u(width) + ", " + u(height) + ", " + u(levels) + ", " +
         hex(static_cast<uint32_t>(usage)) + ", " + u(static_cast<uint32_t>(format)) + ", " +
         u(static_cast<uint32_t>(pool)) + ") -> " + nameOf(*out));
  return Result::Ok;
}

Result RecordingDevice::createTextureFromImage(const void* bytes, size_t size, Texture** out,
                                               ImageInfo* info) {
  if (!out) return Result::InvalidCall;
  *out = nullptr;
  platform::DecodedImage image;
  if (!platform::decodeImage(bytes, size, &image, nullptr)) {
    record("createTextureFromImage(" + std::to_string(size) + " bytes) -> failed");
    return Result::InvalidData;
  }
  uint32_t levels = 1;
  for (uint32_t s = std::max(image.width, image.height); s > 1; s >>= 1) ++levels;
  *out = new RecordingTexture(this, image.width, image.height, levels, Format::A8R8G8B8, Usage::None);
  if (info) *info = {image.width, image.height};
  record("createTextureFromImage(" + std::to_string(size) + " bytes) -> " + nameOf(*out));
  return Result::Ok;
}

Result RecordingDevice::createDepthStencilSurface(uint32_t width, uint32_t height, Format format,
                                                  Surface** out) {
  if (!out || width == 0 || height == 0) return Result::InvalidCall;
  *out = new RecordingSurface(this, {width, height, format, Usage::DepthStencil}, false, newName("depth"));
  record("createDepthStencilSurface(" + u(width) + ", " + u(height) + ", " + u(static_cast<uint32_t>(format)) +
         ") -> " + nameOf(*out));
  return Result::Ok;
}

Result RecordingDevice::createVertexBuffer(uint32_t length, Usage usage, uint32_t fvfCode, Pool pool,
                                           VertexBuffer** out) {
  if (!out || length == 0) return Result::InvalidCall;
  *out = new RecordingVertexBuffer(this, length, fvfCode);
  record("createVertexBuffer(" + u(length) + ", " + hex(static_cast<uint32_t>(usage)) + ", " + hex(fvfCode) +
         ", " + u(static_cast<uint32_t>(pool)) + ") -> " + nameOf(*out));
  return Result::Ok;
}

Result RecordingDevice::createIndexBuffer(uint32_t length, Usage usage, Format format, Pool pool,
                                          IndexBuffer** out) {
  if (!out || length == 0) return Result::InvalidCall;
  *out = new RecordingIndexBuffer(this, length, format);
  record("createIndexBuffer(" + u(length) + ", " + hex(static_cast<uint32_t>(usage)) + ", " +
         u(static_cast<uint32_t>(format)) + ", " + u(static_cast<uint32_t>(pool)) + ") -> " + nameOf(*out));
  return Result::Ok;
}

Result RecordingDevice::createEffect(const void* bytes, size_t size, Effect** out) {
  if (!out) return Result::InvalidCall;
  *out = nullptr;
  EffectDesc desc;
  if (!parseEffect(bytes, size, &desc, nullptr)) {
    record("createEffect(" + std::to_string(size) + " bytes) -> failed");
    return Result::InvalidData;
  }
  *out = new RecordingEffect(this, std::move(desc));
  record("createEffect(" + std::to_string(size) + " bytes) -> " + nameOf(*out));
  return Result::Ok;
}

Result RecordingDevice::setRenderTarget(uint32_t slot, Surface* surface) {
  record("setRenderTarget(" + u(slot) + ", " + nameOf(surface) + ")");
  if (slot >= kMaxRenderTargets || (slot == 0 && !surface)) return Result::InvalidCall;
  targets_[slot] = surface;
  if (slot == 0) viewport_ = {0, 0, surface->desc().width, surface->desc().height, 0.0f, 1.0f};
  return Result::Ok;
}

Result RecordingDevice::getRenderTarget(uint32_t slot, Surface** out) {
  if (slot >= kMaxRenderTargets || !out) return Result::InvalidCall;
  *out = targets_[slot];
  return *out ? Result::Ok : Result::NotFound;
}

Result RecordingDevice::setDepthStencilSurface(Surface* surface) {
  record("setDepthStencilSurface(" + nameOf(surface) + ")");
  depth_ = surface;
  return Result::Ok;
}

Result RecordingDevice::getDepthStencilSurface(Surface** out) {
  if (!out) return Result::InvalidCall;
  *out = depth_;
  return *out ? Result::Ok : Result::NotFound;
}

Result RecordingDevice::setRenderState(RenderState state, uint32_t value) {
  record("setRenderState(" + u(static_cast<uint32_t>(state)) + ", " + u(value) + ")");
  const auto i = static_cast<uint32_t>(state);
  if (i >= 256) return Result::InvalidCall;
  render_[i] = value;
  return Result::Ok;
}

Result RecordingDevice::getRenderState(RenderState state, uint32_t* value) {
  const auto i = static_cast<uint32_t>(state);
  if (i >= 256 || !value) return Result::InvalidCall;
  *value = render_[i];
  return Result::Ok;
}

Result RecordingDevice::setSamplerState(uint32_t sampler, SamplerState state, uint32_t value) {
  record("setSamplerState(" + u(sampler) + ", " + u(static_cast<uint32_t>(state)) + ", " + u(value) + ")");
  const auto i = static_cast<uint32_t>(state);
  if (sampler >= kMaxSamplers || i >= 8) return Result::InvalidCall;
  sampler_[sampler][i] = value;
  return Result::Ok;
}

Result RecordingDevice::getSamplerState(uint32_t sampler, SamplerState state, uint32_t* value) {
  const auto i = static_cast<uint32_t>(state);
  if (sampler >= kMaxSamplers || i >= 8 || !value) return Result::InvalidCall;
  *value = sampler_[sampler][i];
  return Result::Ok;
}

Result RecordingDevice::setTextureStageState(uint32_t stage, TextureStageState state, uint32_t value) {
  record("setTextureStageState(" + u(stage) + ", " + u(static_cast<uint32_t>(state)) + ", " + u(value) + ")");
  return Result::Ok;
}

Result RecordingDevice::setTexture(uint32_t stage, Texture* texture) {
  record("setTexture(" + u(stage) + ", " + nameOf(texture) + ")");
  if (stage >= kMaxSamplers) return Result::InvalidCall;
  textures_[stage] = texture;
  return Result::Ok;
}

Result RecordingDevice::getTexture(uint32_t stage, Texture** out) {
  if (stage >= kMaxSamplers || !out) return Result::InvalidCall;
  *out = textures_[stage];
  return Result::Ok;
}

Result RecordingDevice::setTransform(TransformType type, const Matrix4& m) {
  record("setTransform(" + u(static_cast<uint32_t>(type)) + ", " + matrix(&m.m[0][0]) + ")");
  return Result::Ok;
}

Result RecordingDevice::setFVF(uint32_t fvfCode) {
  record("setFVF(" + hex(fvfCode) + ")");
  return Result::Ok;
}

Result RecordingDevice::setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset, uint32_t stride) {
  record("setStreamSource(" + u(stream) + ", " + nameOf(buffer) + ", " + u(offset) + ", " + u(stride) + ")");
  return Result::Ok;
}

Result RecordingDevice::setIndices(IndexBuffer* buffer) {
  record("setIndices(" + nameOf(buffer) + ")");
  return Result::Ok;
}

Result RecordingDevice::drawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  record("drawPrimitive(" + u(static_cast<uint32_t>(type)) + ", " + u(startVertex) + ", " + u(primitiveCount) + ")");
  return Result::Ok;
}

Result RecordingDevice::drawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minIndex,
                                             uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount) {
  record("drawIndexedPrimitive(" + u(static_cast<uint32_t>(type)) + ", " + std::to_string(baseVertex) + ", " +
         u(minIndex) + ", " + u(vertexCount) + ", " + u(startIndex) + ", " + u(primitiveCount) + ")");
  return Result::Ok;
}

Result RecordingDevice::drawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                                        uint32_t stride) {
  std::string s = "drawPrimitiveUP(" + u(static_cast<uint32_t>(type)) + ", " + u(primitiveCount) + ", [";
  // Vertices are logged as floats, so the geometry of user-memory draws can be checked.
  const uint32_t count = vertexCountFor(type, primitiveCount);
  const auto* f = static_cast<const float*>(vertices);
  for (uint32_t i = 0; f && i < count * stride / 4; ++i) s += (i ? " " : "") + num(f[i]);
  record(s + "], " + u(stride) + ")");
  return Result::Ok;
}

Result RecordingDevice::readSurface(Surface*, Readback*) { return Result::NotAvailable; }

}  // namespace gfx
