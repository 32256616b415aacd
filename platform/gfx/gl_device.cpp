#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gfx/gl_device_impl.h"
#include "platform/image.h"

namespace gfx {

// ---------------------------------------------------------------------------
// Enum translation

GLenum glBlendFactor(uint32_t blend) {
  switch (static_cast<Blend>(blend)) {
    case Blend::Zero: return GL_ZERO;
    case Blend::One: return GL_ONE;
    case Blend::SrcColor: return GL_SRC_COLOR;
    case Blend::InvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case Blend::SrcAlpha: return GL_SRC_ALPHA;
    case Blend::InvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case Blend::DestAlpha: return GL_DST_ALPHA;
    case Blend::InvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case Blend::DestColor: return GL_DST_COLOR;
    case Blend::InvDestColor: return GL_ONE_MINUS_DST_COLOR;
  }
  return GL_ONE;
}

GLenum glCompare(uint32_t compare) {
  switch (static_cast<Compare>(compare)) {
    case Compare::Never: return GL_NEVER;
    case Compare::Less: return GL_LESS;
    case Compare::Equal: return GL_EQUAL;
    case Compare::LessEqual: return GL_LEQUAL;
    case Compare::Greater: return GL_GREATER;
    case Compare::NotEqual: return GL_NOTEQUAL;
    case Compare::GreaterEqual: return GL_GEQUAL;
    case Compare::Always: return GL_ALWAYS;
  }
  return GL_LEQUAL;
}

namespace {

GLenum glBlendEquation(uint32_t op) {
  switch (static_cast<BlendOp>(op)) {
    case BlendOp::Add: return GL_FUNC_ADD;
    case BlendOp::Subtract: return GL_FUNC_SUBTRACT;
    case BlendOp::RevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case BlendOp::Min: return GL_MIN;
    case BlendOp::Max: return GL_MAX;
  }
  return GL_FUNC_ADD;
}

GLenum glAddress(uint32_t address) {
  switch (static_cast<TextureAddress>(address)) {
    case TextureAddress::Wrap: return GL_REPEAT;
    case TextureAddress::Mirror: return GL_MIRRORED_REPEAT;
    case TextureAddress::Clamp: return GL_CLAMP_TO_EDGE;
    case TextureAddress::Border: return GL_CLAMP_TO_BORDER;
  }
  return GL_REPEAT;
}

GLenum glMinFilter(uint32_t minFilter, uint32_t mipFilter) {
  const bool linear = minFilter >= static_cast<uint32_t>(TextureFilter::Linear);
  switch (static_cast<TextureFilter>(mipFilter)) {
    case TextureFilter::None: return linear ? GL_LINEAR : GL_NEAREST;
    case TextureFilter::Point: return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    default: return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  }
}

GLenum glPrimitive(PrimitiveType type) {
  switch (type) {
    case PrimitiveType::PointList: return GL_POINTS;
    case PrimitiveType::LineList: return GL_LINES;
    case PrimitiveType::LineStrip: return GL_LINE_STRIP;
    case PrimitiveType::TriangleList: return GL_TRIANGLES;
    case PrimitiveType::TriangleStrip: return GL_TRIANGLE_STRIP;
    case PrimitiveType::TriangleFan: return GL_TRIANGLE_FAN;
  }
  return GL_TRIANGLES;
}

bool colorFormatSupported(Format f) { return f == Format::A8R8G8B8 || f == Format::X8R8G8B8 || f == Format::R32F; }

GLenum glInternalFormat(Format f) { return f == Format::R32F ? GL_R32F : GL_RGBA8; }

uint32_t fullMipCount(uint32_t width, uint32_t height) {
  uint32_t levels = 1;
  for (uint32_t size = std::max(width, height); size > 1; size >>= 1) ++levels;
  return levels;
}

// Errors of the API and high-severity notes reach the device's error callback.
// Shader compiler messages do not: a failed compile is reported with its log.
void GLAPIENTRY debugMessage(GLenum source, GLenum type, GLuint, GLenum severity, GLsizei,
                             const GLchar* message, const void* user) {
  if (source == GL_DEBUG_SOURCE_SHADER_COMPILER) return;
  if (type == GL_DEBUG_TYPE_ERROR || severity == GL_DEBUG_SEVERITY_HIGH)
    static_cast<GlDevice*>(const_cast<void*>(user))->reportGlError(message);
}

// The built-in pipeline for draws outside an effect pass: world/view/projection
// transforms and texture stage 0 (colour and alpha ops over the texture, the
// texture factor and the white vertex colour).
constexpr const char* kFixedVertex = R"(#version 450 core
layout(location = 0) in vec3 inPosition;
layout(location = 2) in vec4 inTexCoord0;
uniform mat4 uWorld;
uniform mat4 uView;
uniform mat4 uProjection;
out vec2 vTexCoord;
void main() {
  gl_Position = uProjection * (uView * (uWorld * vec4(inPosition, 1.0)));
  vTexCoord = inTexCoord0.xy;
}
)";

constexpr const char* kFixedFragment = R"(#version 450 core
in vec2 vTexCoord;
layout(location = 0) out vec4 outColor;
layout(binding = 0) uniform sampler2D uTexture;
uniform int uHasTexture;
uniform vec4 uTextureFactor;
uniform ivec3 uColorOps;  // op, arg1, arg2
uniform ivec3 uAlphaOps;
// Argument codes: 0 diffuse, 1 current (the diffuse colour at stage 0), 2 texture, 3 factor.
vec4 argument(int code, vec4 texel) {
  if (code == 2) return texel;
  if (code == 3) return uTextureFactor;
  return vec4(1.0);
}
// Op codes: 1 disable, 2 select arg1, 3 select arg2, 4 modulate.
vec4 combine(ivec3 ops, vec4 texel) {
  vec4 a = argument(ops.y, texel), b = argument(ops.z, texel);
  if (ops.x == 2) return a;
  if (ops.x == 3) return b;
  if (ops.x == 4) return a * b;
  return vec4(1.0);
}
void main() {
  // A stage without a texture samples opaque black.
  vec4 texel = uHasTexture != 0 ? texture(uTexture, vTexCoord) : vec4(0.0, 0.0, 0.0, 1.0);
  outColor = vec4(combine(uColorOps, texel).rgb, combine(uAlphaOps, texel).a);
}
)";

GLuint compileProgram(const char* vertex, const char* fragment, std::string* log) {
  auto compile = [&](GLenum kind, const char* source) -> GLuint {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
      char text[4096] = {};
      glGetShaderInfoLog(shader, sizeof text, nullptr, text);
      if (log) *log += text;
      glDeleteShader(shader);
      return 0;
    }
    return shader;
  };
  GLuint vs = compile(GL_VERTEX_SHADER, vertex);
  GLuint fs = vs ? compile(GL_FRAGMENT_SHADER, fragment) : 0;
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    return 0;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    char text[4096] = {};
    glGetProgramInfoLog(program, sizeof text, nullptr, text);
    if (log) *log += text;
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

}  // namespace

GLuint compileGlProgram(const char* vertex, const char* fragment, std::string* log) {
  return compileProgram(vertex, fragment, log);
}

// ---------------------------------------------------------------------------
// Resources

GlSurface::GlSurface(GlDevice* device, GlTexture* owner, GLuint name, GLint level,
                     const SurfaceDesc& desc)
    : device_(device), owner_(owner), name_(name), level_(level), desc_(desc) {
  if (!owner_) device_->objectCreated();
}

GlSurface::~GlSurface() {
  device_->forgetSurface(this);
  if (!owner_) {
    glDeleteRenderbuffers(1, &name_);
    device_->objectDestroyed();
  }
}

void GlSurface::release() {
  if (!owner_) delete this;  // level surfaces live and die with their texture
}

GlTexture::GlTexture(GlDevice* device, GLuint name, uint32_t width, uint32_t height,
                     uint32_t levels, Format format, Usage usage)
    : device_(device), name_(name), format_(format) {
  device_->objectCreated();
  for (uint32_t level = 0; level < levels; ++level) {
    SurfaceDesc desc{std::max(1u, width >> level), std::max(1u, height >> level), format, usage};
    levels_.push_back(std::make_unique<GlSurface>(device, this, name, static_cast<GLint>(level), desc));
  }
}

GlTexture::~GlTexture() {
  device_->forgetTexture(this);
  levels_.clear();
  glDeleteTextures(1, &name_);
  device_->objectDestroyed();
}

Result GlTexture::levelDesc(uint32_t level, SurfaceDesc* out) const {
  if (level >= levels_.size() || !out) return Result::InvalidCall;
  *out = levels_[level]->desc();
  return Result::Ok;
}

Result GlTexture::surfaceLevel(uint32_t level, Surface** out) {
  if (level >= levels_.size() || !out) return Result::InvalidCall;
  *out = levels_[level].get();
  return Result::Ok;
}

GlBufferStorage::GlBufferStorage(uint32_t length) : bytes_(length) {
  glCreateBuffers(1, &name_);
  glNamedBufferStorage(name_, length, nullptr, GL_DYNAMIC_STORAGE_BIT);
}

GlBufferStorage::~GlBufferStorage() { glDeleteBuffers(1, &name_); }

Result GlBufferStorage::lock(uint32_t offset, uint32_t size, void** data, uint32_t flags) {
  if (!data || locked_ || offset > bytes_.size()) return Result::InvalidCall;
  if (size == 0) size = static_cast<uint32_t>(bytes_.size()) - offset;
  if (size > bytes_.size() - offset) return Result::InvalidCall;
  locked_ = true;
  lockOffset_ = offset;
  lockSize_ = size;
  lockFlags_ = flags;
  *data = bytes_.data() + offset;
  return Result::Ok;
}

Result GlBufferStorage::unlock() {
  if (!locked_) return Result::InvalidCall;
  locked_ = false;
  if (!(lockFlags_ & LockReadOnly) && lockSize_ > 0) {
    if (lockFlags_ & LockDiscard) glInvalidateBufferData(name_);
    glNamedBufferSubData(name_, lockOffset_, lockSize_, bytes_.data() + lockOffset_);
  }
  return Result::Ok;
}

GlVertexBuffer::GlVertexBuffer(GlDevice* device, uint32_t length, uint32_t fvfCode)
    : device_(device), storage_(length), fvf_(fvfCode) {
  device_->objectCreated();
}

GlVertexBuffer::~GlVertexBuffer() {
  device_->forgetVertexBuffer(this);
  device_->objectDestroyed();
}

GlIndexBuffer::GlIndexBuffer(GlDevice* device, uint32_t length, Format format)
    : device_(device), storage_(length), format_(format) {
  device_->objectCreated();
}

GlIndexBuffer::~GlIndexBuffer() {
  device_->forgetIndexBuffer(this);
  device_->objectDestroyed();
}

// ---------------------------------------------------------------------------
// Device set-up and teardown

std::unique_ptr<Device> createGlDevice(std::unique_ptr<GlContext> context, uint32_t width,
                                       uint32_t height, GlErrorCallback onGlError,
                                       std::string* error) {
  if (!context || width == 0 || height == 0) {
    if (error) *error = "no context or an empty back buffer";
    return nullptr;
  }
  if (!context->makeCurrent()) {
    if (error) *error = "the OpenGL context could not be made current";
    return nullptr;
  }
  if (epoxy_gl_version() < 45) {
    if (error) *error = "OpenGL 4.5 is required, the driver offers " +
                        std::to_string(epoxy_gl_version() / 10) + "." +
                        std::to_string(epoxy_gl_version() % 10);
    return nullptr;
  }
  auto device = std::make_unique<GlDevice>(std::move(context), width, height, std::move(onGlError));
  if (!device->init(error)) return nullptr;
  return device;
}

GlDevice::GlDevice(std::unique_ptr<GlContext> context, uint32_t width, uint32_t height,
                   GlErrorCallback onGlError)
    : context_(std::move(context)), width_(width), height_(height), onGlError_(std::move(onGlError)) {}

bool GlDevice::init(std::string* error) {
  renderer_ = std::string(reinterpret_cast<const char*>(glGetString(GL_RENDERER))) + " (OpenGL " +
              reinterpret_cast<const char*>(glGetString(GL_VERSION)) + ")";
  if (epoxy_has_gl_extension("GL_KHR_debug") || epoxy_gl_version() >= 43) {
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageCallback(debugMessage, this);
  }
  // Direct3D's conventions: depth 0..1 and row 0 at the top of every target.
  // With the upper-left origin the screen winding that Direct3D calls
  // clockwise is GL's clockwise too.
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  glFrontFace(GL_CW);
  glDisable(GL_DITHER);
  glDisable(GL_FRAMEBUFFER_SRGB);
  glDisable(GL_SCISSOR_TEST);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

  glCreateVertexArrays(1, &vertexArray_);
  glBindVertexArray(vertexArray_);
  glCreateBuffers(1, &userBuffer_);
  glCreateSamplers(kMaxSamplers, samplerObjects_.data());
  for (uint32_t unit = 0; unit < kMaxSamplers; ++unit) glBindSampler(unit, samplerObjects_[unit]);

  if (!createFixedFunctionProgram(error)) return false;
  if (!createBackBuffer()) {
    if (error) *error = "the back buffer could not be created";
    return false;
  }
  setDefaultStates();
  return true;
}

GlDevice::~GlDevice() {
  context_->makeCurrent();
  glDeleteProgram(fixed_.program);
  for (auto& [key, fbo] : framebuffers_) glDeleteFramebuffers(1, &fbo);
  framebuffers_.clear();
  state_.targets = {};
  state_.depth = nullptr;
  liveObjects_ += 2;  // the back buffer's two objects, uncounted since creation
  if (backColor_) backColor_->release();
  if (backDepth_) backDepth_->release();
  glDeleteSamplers(kMaxSamplers, samplerObjects_.data());
  glDeleteBuffers(1, &userBuffer_);
  glDeleteVertexArrays(1, &vertexArray_);
  glDisable(GL_DEBUG_OUTPUT);
}

bool GlDevice::createFixedFunctionProgram(std::string* error) {
  std::string log;
  fixed_.program = compileProgram(kFixedVertex, kFixedFragment, &log);
  if (!fixed_.program) {
    if (error) *error = "the built-in pipeline failed to compile: " + log;
    return false;
  }
  fixed_.world = glGetUniformLocation(fixed_.program, "uWorld");
  fixed_.view = glGetUniformLocation(fixed_.program, "uView");
  fixed_.projection = glGetUniformLocation(fixed_.program, "uProjection");
  fixed_.textureFactor = glGetUniformLocation(fixed_.program, "uTextureFactor");
  fixed_.colorOps = glGetUniformLocation(fixed_.program, "uColorOps");
  fixed_.alphaOps = glGetUniformLocation(fixed_.program, "uAlphaOps");
  fixed_.hasTexture = glGetUniformLocation(fixed_.program, "uHasTexture");
  return true;
}

bool GlDevice::createBackBuffer() {
  Texture* color = nullptr;
  Surface* depth = nullptr;
  if (failed(createTexture(width_, height_, 1, Usage::RenderTarget, Format::A8R8G8B8, Pool::Default, &color)) ||
      failed(createDepthStencilSurface(width_, height_, Format::D24S8, &depth)))
    return false;
  backColor_ = static_cast<GlTexture*>(color);
  Surface* level0 = nullptr;
  backColor_->surfaceLevel(0, &level0);
  backColorSurface_ = static_cast<GlSurface*>(level0);
  backDepth_ = static_cast<GlSurface*>(depth);
  // The back buffer is the device's own, not the caller's.
  liveObjects_ -= 2;
  state_.targets[0] = backColorSurface_;
  state_.depth = backDepth_;
  return true;
}

void GlDevice::setDefaultStates() {
  auto& rs = state_.render;
  rs[static_cast<uint32_t>(RenderState::ZEnable)] = 1;
  rs[static_cast<uint32_t>(RenderState::ZWriteEnable)] = 1;
  rs[static_cast<uint32_t>(RenderState::ZFunc)] = static_cast<uint32_t>(Compare::LessEqual);
  rs[static_cast<uint32_t>(RenderState::AlphaBlendEnable)] = 0;
  rs[static_cast<uint32_t>(RenderState::SrcBlend)] = static_cast<uint32_t>(Blend::One);
  rs[static_cast<uint32_t>(RenderState::DestBlend)] = static_cast<uint32_t>(Blend::Zero);
  rs[static_cast<uint32_t>(RenderState::BlendOp)] = static_cast<uint32_t>(BlendOp::Add);
  rs[static_cast<uint32_t>(RenderState::CullMode)] = static_cast<uint32_t>(Cull::CCW);
  rs[static_cast<uint32_t>(RenderState::TextureFactor)] = 0xFFFFFFFFu;
  rs[static_cast<uint32_t>(RenderState::ColorWriteEnable)] = 0xF;
  rs[static_cast<uint32_t>(RenderState::AlphaFunc)] = static_cast<uint32_t>(Compare::Always);
  rs[static_cast<uint32_t>(RenderState::FillMode)] = 3;
  for (auto& sampler : state_.sampler) {
    sampler[static_cast<uint32_t>(SamplerState::AddressU)] = static_cast<uint32_t>(TextureAddress::Wrap);
    sampler[static_cast<uint32_t>(SamplerState::AddressV)] = static_cast<uint32_t>(TextureAddress::Wrap);
    sampler[static_cast<uint32_t>(SamplerState::MagFilter)] = static_cast<uint32_t>(TextureFilter::Point);
    sampler[static_cast<uint32_t>(SamplerState::MinFilter)] = static_cast<uint32_t>(TextureFilter::Point);
    sampler[static_cast<uint32_t>(SamplerState::MipFilter)] = static_cast<uint32_t>(TextureFilter::None);
  }
  auto& ts = state_.stage0;
  ts[static_cast<uint32_t>(TextureStageState::ColorOp)] = static_cast<uint32_t>(TextureOp::Modulate);
  ts[static_cast<uint32_t>(TextureStageState::ColorArg1)] = static_cast<uint32_t>(TextureArg::Texture);
  ts[static_cast<uint32_t>(TextureStageState::ColorArg2)] = static_cast<uint32_t>(TextureArg::Current);
  ts[static_cast<uint32_t>(TextureStageState::AlphaOp)] = static_cast<uint32_t>(TextureOp::SelectArg1);
  ts[static_cast<uint32_t>(TextureStageState::AlphaArg1)] = static_cast<uint32_t>(TextureArg::Texture);
  ts[static_cast<uint32_t>(TextureStageState::AlphaArg2)] = static_cast<uint32_t>(TextureArg::Current);
  state_.viewport = {0, 0, width_, height_, 0.0f, 1.0f};
}

void GlDevice::reportGlError(const std::string& message) {
  if (onGlError_) onGlError_(message);
}

// ---------------------------------------------------------------------------
// Frames, clears, viewports

Result GlDevice::beginScene() {
  if (inScene_) return Result::InvalidCall;
  inScene_ = true;
  return Result::Ok;
}

Result GlDevice::endScene() {
  if (!inScene_) return Result::InvalidCall;
  inScene_ = false;
  return Result::Ok;
}

Result GlDevice::present() {
  if (!context_->hasWindow()) {
    glFlush();
    return Result::Ok;
  }
  int windowWidth = 0, windowHeight = 0;
  context_->drawableSize(&windowWidth, &windowHeight);
  const GLuint source = framebufferFor({backColorSurface_, nullptr, nullptr, nullptr}, nullptr);
  // Our row 0 is the top; the window's is the bottom, so the blit flips.
  glBlitNamedFramebuffer(source, 0, 0, 0, static_cast<GLint>(width_), static_cast<GLint>(height_), 0,
                         windowHeight, windowWidth, 0, GL_COLOR_BUFFER_BIT, GL_LINEAR);
  context_->swapBuffers();
  return Result::Ok;
}

Result GlDevice::clear(uint32_t flags, uint32_t argbColor, float z, uint32_t stencil) {
  if ((flags & (ClearZBuffer | ClearStencil)) && !state_.depth) return Result::InvalidCall;
  applyFramebuffer();
  const GLuint fbo = applied_.framebuffer;
  // Direct3D clears only the viewport rectangle; GL clears ignore the viewport.
  const Viewport& vp = state_.viewport;
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(vp.x), static_cast<GLint>(vp.y), static_cast<GLsizei>(vp.width),
            static_cast<GLsizei>(vp.height));
  if (flags & ClearTarget) {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const float color[4] = {((argbColor >> 16) & 0xFF) / 255.0f, ((argbColor >> 8) & 0xFF) / 255.0f,
                            (argbColor & 0xFF) / 255.0f, ((argbColor >> 24) & 0xFF) / 255.0f};
    for (int slot = 0; slot < kMaxRenderTargets; ++slot)
      if (state_.targets[slot]) glClearNamedFramebufferfv(fbo, GL_COLOR, slot, color);
    applied_.colorWrite = ~0u;
  }
  if (flags & (ClearZBuffer | ClearStencil)) {
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    const float depth = std::clamp(z, 0.0f, 1.0f);
    const GLint stencilValue = static_cast<GLint>(stencil & 0xFF);
    if ((flags & ClearZBuffer) && (flags & ClearStencil))
      glClearNamedFramebufferfi(fbo, GL_DEPTH_STENCIL, 0, depth, stencilValue);
    else if (flags & ClearZBuffer)
      glClearNamedFramebufferfv(fbo, GL_DEPTH, 0, &depth);
    else
      glClearNamedFramebufferiv(fbo, GL_STENCIL, 0, &stencilValue);
    applied_.depthWrite = -1;
  }
  glDisable(GL_SCISSOR_TEST);
  return Result::Ok;
}

Result GlDevice::setViewport(const Viewport& viewport) {
  if (viewport.width == 0 || viewport.height == 0) return Result::InvalidCall;
  state_.viewport = viewport;
  return Result::Ok;
}

Result GlDevice::getViewport(Viewport* out) {
  if (!out) return Result::InvalidCall;
  *out = state_.viewport;
  return Result::Ok;
}

// ---------------------------------------------------------------------------
// Resource creation

Result GlDevice::createTexture(uint32_t width, uint32_t height, uint32_t levels, Usage usage,
                               Format format, Pool, Texture** out) {
  if (!out || width == 0 || height == 0 || !colorFormatSupported(format)) return Result::InvalidCall;
  const uint32_t maxLevels = fullMipCount(width, height);
  if (usage == Usage::RenderTarget) levels = 1;
  if (levels == 0 || levels > maxLevels) levels = maxLevels;
  GLuint name = 0;
  glCreateTextures(GL_TEXTURE_2D, 1, &name);
  glTextureStorage2D(name, static_cast<GLsizei>(levels), glInternalFormat(format),
                     static_cast<GLsizei>(width), static_cast<GLsizei>(height));
  glTextureParameteri(name, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
  if (format == Format::R32F) {
    // Sampling a one-channel float target gives (r, 1, 1, 1).
    glTextureParameteri(name, GL_TEXTURE_SWIZZLE_G, GL_ONE);
    glTextureParameteri(name, GL_TEXTURE_SWIZZLE_B, GL_ONE);
    glTextureParameteri(name, GL_TEXTURE_SWIZZLE_A, GL_ONE);
  } else if (format == Format::X8R8G8B8) {
    glTextureParameteri(name, GL_TEXTURE_SWIZZLE_A, GL_ONE);
  }
  *out = new GlTexture(this, name, width, height, levels, format, usage);
  return Result::Ok;
}

Result GlDevice::createTextureFromImage(const void* bytes, size_t size, Texture** out,
                                        ImageInfo* info) {
  if (!out) return Result::InvalidCall;
  *out = nullptr;
  platform::DecodedImage image;
  if (!platform::decodeImage(bytes, size, &image, nullptr)) return Result::InvalidData;
  Texture* texture = nullptr;
  const Result r = createTexture(image.width, image.height, 0, Usage::None, Format::A8R8G8B8,
                                 Pool::Default, &texture);
  if (failed(r)) return r;
  const GLuint name = static_cast<GlTexture*>(texture)->glName();
  glTextureSubImage2D(name, 0, 0, 0, static_cast<GLsizei>(image.width),
                      static_cast<GLsizei>(image.height), GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
  glGenerateTextureMipmap(name);
  if (info) *info = {image.width, image.height};
  *out = texture;
  return Result::Ok;
}

Result GlDevice::createDepthStencilSurface(uint32_t width, uint32_t height, Format format,
                                           Surface** out) {
  if (!out || width == 0 || height == 0 || format != Format::D24S8) return Result::InvalidCall;
  GLuint name = 0;
  glCreateRenderbuffers(1, &name);
  glNamedRenderbufferStorage(name, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width),
                             static_cast<GLsizei>(height));
  *out = new GlSurface(this, nullptr, name, 0, {width, height, format, Usage::DepthStencil});
  return Result::Ok;
}

Result GlDevice::createVertexBuffer(uint32_t length, Usage, uint32_t fvfCode, Pool,
                                    VertexBuffer** out) {
  if (!out || length == 0) return Result::InvalidCall;
  *out = new GlVertexBuffer(this, length, fvfCode);
  return Result::Ok;
}

Result GlDevice::createIndexBuffer(uint32_t length, Usage, Format format, Pool, IndexBuffer** out) {
  if (!out || length == 0 || (format != Format::Index16 && format != Format::Index32))
    return Result::InvalidCall;
  *out = new GlIndexBuffer(this, length, format);
  return Result::Ok;
}

Result GlDevice::createEffect(const void* bytes, size_t size, Effect** out) {
  if (!out) return Result::InvalidCall;
  Result result = Result::Ok;
  *out = createGlEffect(this, bytes, size, &result);
  return result;
}

// ---------------------------------------------------------------------------
// Forgetting destroyed objects: nothing may point at them afterwards.

void GlDevice::forgetSurface(GlSurface* surface) {
  for (int slot = 0; slot < kMaxRenderTargets; ++slot)
    if (state_.targets[slot] == surface) state_.targets[slot] = slot == 0 ? backColorSurface_ : nullptr;
  if (state_.depth == surface) state_.depth = nullptr;
  if (surface == backColorSurface_) state_.targets[0] = nullptr;
  for (auto it = framebuffers_.begin(); it != framebuffers_.end();) {
    const auto& key = it->first;
    const bool uses = surface->isDepth() ? key[kMaxRenderTargets] == surface->glName()
                                         : std::find(key.begin(), key.end() - 1, surface->glName()) != key.end() - 1;
    if (uses) {
      if (applied_.framebuffer == it->second) applied_.framebuffer = ~0u;
      glDeleteFramebuffers(1, &it->second);
      it = framebuffers_.erase(it);
    } else {
      ++it;
    }
  }
}

void GlDevice::forgetTexture(GlTexture* texture) {
  for (GlTexture*& bound : state_.textures)
    if (bound == texture) bound = nullptr;
  for (GLuint& name : applied_.textures)
    if (name == texture->glName()) name = ~0u;
  for (GlEffect* effect : effects_) effectForgetTexture(effect, texture);
}

void GlDevice::forgetVertexBuffer(GlVertexBuffer* buffer) {
  if (state_.stream == buffer) state_.stream = nullptr;
  if (applied_.vertexBuffer == buffer->glName()) applied_.vertexBuffer = ~0u;
}

void GlDevice::forgetIndexBuffer(GlIndexBuffer* buffer) {
  if (state_.indices == buffer) state_.indices = nullptr;
  if (applied_.indexBuffer == buffer->glName()) applied_.indexBuffer = ~0u;
}

// ---------------------------------------------------------------------------
// Targets and states

Result GlDevice::setRenderTarget(uint32_t slot, Surface* surface) {
  auto* s = static_cast<GlSurface*>(surface);
  if (slot >= kMaxRenderTargets || (slot == 0 && !s) || (s && s->isDepth())) return Result::InvalidCall;
  state_.targets[slot] = s;
  if (slot == 0) {
    // A new main target resets the viewport to its full size.
    const SurfaceDesc d = s->desc();
    state_.viewport = {0, 0, d.width, d.height, 0.0f, 1.0f};
  }
  return Result::Ok;
}

Result GlDevice::getRenderTarget(uint32_t slot, Surface** out) {
  if (slot >= kMaxRenderTargets || !out) return Result::InvalidCall;
  *out = state_.targets[slot];
  return *out ? Result::Ok : Result::NotFound;
}

Result GlDevice::setDepthStencilSurface(Surface* surface) {
  auto* s = static_cast<GlSurface*>(surface);
  if (s && !s->isDepth()) return Result::InvalidCall;
  state_.depth = s;
  return Result::Ok;
}

Result GlDevice::getDepthStencilSurface(Surface** out) {
  if (!out) return Result::InvalidCall;
  *out = state_.depth;
  return *out ? Result::Ok : Result::NotFound;
}

Result GlDevice::setRenderState(RenderState state, uint32_t value) {
  const auto index = static_cast<uint32_t>(state);
  if (index >= state_.render.size()) return Result::InvalidCall;
  state_.render[index] = value;
  if (state == RenderState::TextureFactor) fixedFunctionDirty_ = true;
  return Result::Ok;
}

Result GlDevice::getRenderState(RenderState state, uint32_t* value) {
  const auto index = static_cast<uint32_t>(state);
  if (index >= state_.render.size() || !value) return Result::InvalidCall;
  *value = state_.render[index];
  return Result::Ok;
}

Result GlDevice::setSamplerState(uint32_t sampler, SamplerState state, uint32_t value) {
  const auto index = static_cast<uint32_t>(state);
  if (sampler >= kMaxSamplers || index >= 8) return Result::InvalidCall;
  state_.sampler[sampler][index] = value;
  return Result::Ok;
}

Result GlDevice::getSamplerState(uint32_t sampler, SamplerState state, uint32_t* value) {
  const auto index = static_cast<uint32_t>(state);
  if (sampler >= kMaxSamplers || index >= 8 || !value) return Result::InvalidCall;
  *value = state_.sampler[sampler][index];
  return Result::Ok;
}

Result GlDevice::setTextureStageState(uint32_t stage, TextureStageState state, uint32_t value) {
  const auto index = static_cast<uint32_t>(state);
  if (stage >= 8 || index >= 8) return Result::InvalidCall;
  // The built-in pipeline has one stage; later stages are accepted and unused.
  if (stage == 0) {
    state_.stage0[index] = value;
    fixedFunctionDirty_ = true;
  }
  return Result::Ok;
}

Result GlDevice::setTexture(uint32_t stage, Texture* texture) {
  if (stage >= kMaxSamplers) return Result::InvalidCall;
  state_.textures[stage] = static_cast<GlTexture*>(texture);
  if (stage == 0) fixedFunctionDirty_ = true;
  return Result::Ok;
}

Result GlDevice::getTexture(uint32_t stage, Texture** out) {
  if (stage >= kMaxSamplers || !out) return Result::InvalidCall;
  *out = state_.textures[stage];
  return Result::Ok;
}

Result GlDevice::setTransform(TransformType type, const Matrix4& matrix) {
  switch (type) {
    case TransformType::World: state_.world = matrix; break;
    case TransformType::View: state_.view = matrix; break;
    case TransformType::Projection: state_.projection = matrix; break;
    default: return Result::InvalidCall;
  }
  fixedFunctionDirty_ = true;
  return Result::Ok;
}

Result GlDevice::setFVF(uint32_t fvfCode) {
  if (!decodeVertexFormat(fvfCode).valid) return Result::InvalidCall;
  state_.fvf = fvfCode;
  return Result::Ok;
}

Result GlDevice::setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t offset,
                                 uint32_t stride) {
  if (stream != 0) return Result::InvalidCall;
  state_.stream = static_cast<GlVertexBuffer*>(buffer);
  state_.streamOffset = offset;
  state_.streamStride = stride;
  return Result::Ok;
}

Result GlDevice::setIndices(IndexBuffer* buffer) {
  state_.indices = static_cast<GlIndexBuffer*>(buffer);
  return Result::Ok;
}

// ---------------------------------------------------------------------------
// The flush: apply what changed, then draw

GLuint GlDevice::framebufferFor(const std::array<GlSurface*, kMaxRenderTargets>& targets,
                                GlSurface* depth) {
  std::array<GLuint, kMaxRenderTargets + 1> key{};
  for (int i = 0; i < kMaxRenderTargets; ++i) key[i] = targets[i] ? targets[i]->glName() : 0;
  key[kMaxRenderTargets] = depth ? depth->glName() : 0;
  if (auto it = framebuffers_.find(key); it != framebuffers_.end()) return it->second;

  GLuint fbo = 0;
  glCreateFramebuffers(1, &fbo);
  GLenum drawBuffers[kMaxRenderTargets];
  for (int i = 0; i < kMaxRenderTargets; ++i) {
    drawBuffers[i] = GL_NONE;
    if (!targets[i]) continue;
    glNamedFramebufferTexture(fbo, GL_COLOR_ATTACHMENT0 + i, targets[i]->glName(), targets[i]->level());
    drawBuffers[i] = GL_COLOR_ATTACHMENT0 + i;
  }
  glNamedFramebufferDrawBuffers(fbo, kMaxRenderTargets, drawBuffers);
  if (depth)
    glNamedFramebufferRenderbuffer(fbo, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth->glName());
  framebuffers_[key] = fbo;
  return fbo;
}

void GlDevice::applyFramebuffer() {
  const GLuint fbo = framebufferFor(state_.targets, state_.depth);
  if (fbo != applied_.framebuffer) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
    applied_.framebuffer = fbo;
  }
  // Blending on one-channel float targets is off: those hold data, not colour.
  uint32_t floatMask = 0;
  for (int i = 0; i < kMaxRenderTargets; ++i)
    if (state_.targets[i] && state_.targets[i]->desc().format == Format::R32F) floatMask |= 1u << i;
  if (floatMask != applied_.floatTargetMask) {
    applied_.floatTargetMask = floatMask;
    applied_.blend = -1;
  }
}

void GlDevice::applyViewport() {
  const Viewport& v = state_.viewport;
  Viewport& a = applied_.viewport;
  if (v.x != a.x || v.y != a.y || v.width != a.width || v.height != a.height) {
    // With the upper-left origin, GL's window y counts rows from the top like ours.
    glViewport(static_cast<GLint>(v.x), static_cast<GLint>(v.y), static_cast<GLsizei>(v.width),
               static_cast<GLsizei>(v.height));
  }
  if (v.minZ != a.minZ || v.maxZ != a.maxZ)
    glDepthRangef(std::clamp(v.minZ, 0.0f, 1.0f), std::clamp(v.maxZ, 0.0f, 1.0f));
  a = v;
}

void GlDevice::applyFixedStates() {
  const auto rs = [&](RenderState s) { return state_.render[static_cast<uint32_t>(s)]; };
  const int blend = rs(RenderState::AlphaBlendEnable) ? 1 : 0;
  if (blend != applied_.blend) {
    for (int i = 0; i < kMaxRenderTargets; ++i) {
      if (blend && !(applied_.floatTargetMask & (1u << i))) glEnablei(GL_BLEND, i);
      else glDisablei(GL_BLEND, i);
    }
    applied_.blend = blend;
  }
  const GLenum src = glBlendFactor(rs(RenderState::SrcBlend));
  const GLenum dst = glBlendFactor(rs(RenderState::DestBlend));
  if (src != applied_.srcBlend || dst != applied_.dstBlend) {
    glBlendFunc(src, dst);
    applied_.srcBlend = src;
    applied_.dstBlend = dst;
  }
  const GLenum equation = glBlendEquation(rs(RenderState::BlendOp));
  if (equation != applied_.blendEquation) {
    glBlendEquation(equation);
    applied_.blendEquation = equation;
  }
  const int depthTest = rs(RenderState::ZEnable) ? 1 : 0;
  if (depthTest != applied_.depthTest) {
    if (depthTest) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);
    applied_.depthTest = depthTest;
  }
  const int depthWrite = rs(RenderState::ZWriteEnable) ? 1 : 0;
  if (depthWrite != applied_.depthWrite) {
    glDepthMask(depthWrite ? GL_TRUE : GL_FALSE);
    applied_.depthWrite = depthWrite;
  }
  const GLenum depthFunc = glCompare(rs(RenderState::ZFunc));
  if (depthFunc != applied_.depthFunc) {
    glDepthFunc(depthFunc);
    applied_.depthFunc = depthFunc;
  }
  // Front faces are clockwise on screen (glFrontFace(GL_CW) at start-up):
  // culling counter-clockwise faces culls GL's back faces.
  GLenum cull = GL_NONE;
  const auto cullMode = static_cast<Cull>(rs(RenderState::CullMode));
  if (cullMode == Cull::CCW) cull = GL_BACK;
  else if (cullMode == Cull::CW) cull = GL_FRONT;
  if (cull != applied_.cullFace) {
    if (cull == GL_NONE) {
      glDisable(GL_CULL_FACE);
    } else {
      glEnable(GL_CULL_FACE);
      glCullFace(cull);
    }
    applied_.cullFace = cull;
  }
  const uint32_t colorWrite = rs(RenderState::ColorWriteEnable) & 0xF;
  if (colorWrite != applied_.colorWrite) {
    // Bits: 1 red, 2 green, 4 blue, 8 alpha.
    glColorMask(colorWrite & 1 ? GL_TRUE : GL_FALSE, colorWrite & 2 ? GL_TRUE : GL_FALSE,
                colorWrite & 4 ? GL_TRUE : GL_FALSE, colorWrite & 8 ? GL_TRUE : GL_FALSE);
    applied_.colorWrite = colorWrite;
  }
}

void GlDevice::applyProgram() {
  const GLuint program = effectProgram_ ? effectProgram_ : fixed_.program;
  if (program != applied_.program) {
    glUseProgram(program);
    applied_.program = program;
  }
  if (effectProgram_ || !fixedFunctionDirty_) return;
  fixedFunctionDirty_ = false;
  glProgramUniformMatrix4fv(fixed_.program, fixed_.world, 1, GL_FALSE, &state_.world.m[0][0]);
  glProgramUniformMatrix4fv(fixed_.program, fixed_.view, 1, GL_FALSE, &state_.view.m[0][0]);
  glProgramUniformMatrix4fv(fixed_.program, fixed_.projection, 1, GL_FALSE, &state_.projection.m[0][0]);
  const uint32_t f = state_.render[static_cast<uint32_t>(RenderState::TextureFactor)];
  glProgramUniform4f(fixed_.program, fixed_.textureFactor, ((f >> 16) & 0xFF) / 255.0f,
                     ((f >> 8) & 0xFF) / 255.0f, (f & 0xFF) / 255.0f, ((f >> 24) & 0xFF) / 255.0f);
  const auto ts = [&](TextureStageState s) { return static_cast<GLint>(state_.stage0[static_cast<uint32_t>(s)]); };
  glProgramUniform3i(fixed_.program, fixed_.colorOps, ts(TextureStageState::ColorOp),
                     ts(TextureStageState::ColorArg1), ts(TextureStageState::ColorArg2));
  glProgramUniform3i(fixed_.program, fixed_.alphaOps, ts(TextureStageState::AlphaOp),
                     ts(TextureStageState::AlphaArg1), ts(TextureStageState::AlphaArg2));
  glProgramUniform1i(fixed_.program, fixed_.hasTexture, state_.textures[0] ? 1 : 0);
}

void GlDevice::applyTextures() {
  for (uint32_t unit = 0; unit < kMaxSamplers; ++unit) {
    const GLuint name = state_.textures[unit] ? state_.textures[unit]->glName() : 0;
    if (name != applied_.textures[unit]) {
      glBindTextureUnit(unit, name);
      applied_.textures[unit] = name;
    }
    const auto& want = state_.sampler[unit];
    auto& have = applied_.sampler[unit];
    if (want == have) continue;
    const GLuint sampler = samplerObjects_[unit];
    const auto s = [&](SamplerState st) { return want[static_cast<uint32_t>(st)]; };
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(glAddress(s(SamplerState::AddressU))));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(glAddress(s(SamplerState::AddressV))));
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                        s(SamplerState::MagFilter) >= static_cast<uint32_t>(TextureFilter::Linear) ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                        static_cast<GLint>(glMinFilter(s(SamplerState::MinFilter), s(SamplerState::MipFilter))));
    have = want;
  }
}

void GlDevice::applyVertexInput(GLuint buffer, uint32_t offset, uint32_t stride) {
  if (state_.fvf != applied_.vertexFormat) {
    const VertexLayout layout = decodeVertexFormat(state_.fvf);
    for (GLuint location = 0; location < 6; ++location) {
      const VertexAttribute* attribute = nullptr;
      for (uint32_t i = 0; i < layout.count; ++i)
        if (layout.attributes[i].location == location) attribute = &layout.attributes[i];
      if (attribute) {
        glEnableVertexArrayAttrib(vertexArray_, location);
        glVertexArrayAttribFormat(vertexArray_, location, static_cast<GLint>(attribute->components),
                                  GL_FLOAT, GL_FALSE, attribute->offset);
        glVertexArrayAttribBinding(vertexArray_, location, 0);
      } else {
        glDisableVertexArrayAttrib(vertexArray_, location);
      }
    }
    applied_.vertexFormat = state_.fvf;
  }
  if (stride == 0) stride = decodeVertexFormat(state_.fvf).stride;
  if (buffer != applied_.vertexBuffer || offset != applied_.vertexOffset || stride != applied_.vertexStride) {
    glVertexArrayVertexBuffer(vertexArray_, 0, buffer, offset, static_cast<GLsizei>(stride));
    applied_.vertexBuffer = buffer;
    applied_.vertexOffset = offset;
    applied_.vertexStride = stride;
  }
  const GLuint indices = state_.indices ? state_.indices->glName() : 0;
  if (indices != applied_.indexBuffer) {
    glVertexArrayElementBuffer(vertexArray_, indices);
    applied_.indexBuffer = indices;
  }
}

Result GlDevice::flushForDraw() {
  if (!state_.targets[0] || state_.fvf == 0) return Result::InvalidCall;
  applyFramebuffer();
  applyViewport();
  applyFixedStates();
  applyProgram();
  applyTextures();
  return Result::Ok;
}

Result GlDevice::draw(PrimitiveType type, uint32_t vertexCount, bool indexed, int32_t baseVertex,
                      uint32_t start) {
  if (vertexCount == 0) return Result::Ok;
  if (indexed) {
    const GLenum indexType = state_.indices->format() == Format::Index32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    const uintptr_t byteOffset = static_cast<uintptr_t>(start) * (indexType == GL_UNSIGNED_INT ? 4 : 2);
    glDrawElementsBaseVertex(glPrimitive(type), static_cast<GLsizei>(vertexCount), indexType,
                             reinterpret_cast<const void*>(byteOffset), baseVertex);
  } else {
    glDrawArrays(glPrimitive(type), static_cast<GLint>(start), static_cast<GLsizei>(vertexCount));
  }
  return Result::Ok;
}

Result GlDevice::drawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) {
  if (!state_.stream) return Result::InvalidCall;
  const Result r = flushForDraw();
  if (failed(r)) return r;
  applyVertexInput(state_.stream->glName(), state_.streamOffset, state_.streamStride);
  return draw(type, vertexCountFor(type, primitiveCount), false, 0, startVertex);
}

Result GlDevice::drawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t,
                                      uint32_t, uint32_t startIndex, uint32_t primitiveCount) {
  if (!state_.stream || !state_.indices) return Result::InvalidCall;
  const Result r = flushForDraw();
  if (failed(r)) return r;
  applyVertexInput(state_.stream->glName(), state_.streamOffset, state_.streamStride);
  return draw(type, vertexCountFor(type, primitiveCount), true, baseVertex, startIndex);
}

Result GlDevice::drawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                                 uint32_t stride) {
  const uint32_t count = vertexCountFor(type, primitiveCount);
  if (!vertices || stride == 0) return Result::InvalidCall;
  const Result r = flushForDraw();
  if (failed(r)) return r;
  const uint32_t bytes = count * stride;
  if (bytes > userBufferSize_) {
    userBufferSize_ = std::max(bytes, 64u * 1024u);
    glNamedBufferData(userBuffer_, userBufferSize_, nullptr, GL_STREAM_DRAW);
  } else {
    glInvalidateBufferData(userBuffer_);
  }
  glNamedBufferSubData(userBuffer_, 0, bytes, vertices);
  applyVertexInput(userBuffer_, 0, stride);
  const Result drawn = draw(type, count, false, 0, 0);
  state_.stream = nullptr;
  return drawn;
}

Result GlDevice::readSurface(Surface* surface, Readback* out) {
  auto* s = static_cast<GlSurface*>(surface);
  if (!s || !out || s->isDepth()) return Result::InvalidCall;
  const SurfaceDesc d = s->desc();
  const bool isFloat = d.format == Format::R32F;
  out->width = d.width;
  out->height = d.height;
  out->format = d.format;
  out->bytes.resize(static_cast<size_t>(d.width) * d.height * 4);
  glGetTextureImage(s->glName(), s->level(), isFloat ? GL_RED : GL_RGBA, isFloat ? GL_FLOAT : GL_UNSIGNED_BYTE,
                    static_cast<GLsizei>(out->bytes.size()), out->bytes.data());
  return Result::Ok;
}

}  // namespace gfx
