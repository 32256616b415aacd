// Values and records shared by every graphics device: result codes, formats,
// render/sampler/texture-stage states, vertex format codes and matrices.
// Plain data only; no GPU calls live here.
#pragma once

#include <cstdint>

namespace gfx {

// Every device, resource and effect call returns one of these. Callers look the
// code up with resultText() and carry on; nothing here throws.
enum class Result : int32_t {
  Ok = 0,
  InvalidCall = -1,     // bad arguments or a call in the wrong state
  NotFound = -2,        // a named technique or parameter the effect lacks
  OutOfMemory = -3,     // the GPU or the host refused an allocation
  InvalidData = -4,     // bytes that are not an image or a compiled effect
  NotAvailable = -5,    // the device has no such capability or no context
  CompileFailed = -6,   // an effect program failed to compile or link
};

inline bool succeeded(Result r) { return r == Result::Ok; }
inline bool failed(Result r) { return r != Result::Ok; }

// The text of a result code (the error-string table). Callers discard it.
const char* resultText(Result r);

// Surface formats. The numbers are those the engine and its files use.
enum class Format : uint32_t {
  Unknown = 0,
  A8R8G8B8 = 21,
  X8R8G8B8 = 22,
  D24S8 = 75,
  Index16 = 101,
  Index32 = 102,
  R32F = 114,
};

enum class Usage : uint32_t {
  None = 0,
  RenderTarget = 0x1,
  DepthStencil = 0x2,
  Dynamic = 0x200,
};

enum class Pool : uint32_t { Default = 0, Managed = 1, SystemMem = 2 };

enum LockFlags : uint32_t {
  LockNone = 0,
  LockReadOnly = 0x10,
  LockDiscard = 0x2000,
  LockNoOverwrite = 0x1000,
};

enum ClearFlags : uint32_t {
  ClearTarget = 0x1,
  ClearZBuffer = 0x2,
  ClearStencil = 0x4,
};

enum class PrimitiveType : uint32_t {
  PointList = 1,
  LineList = 2,
  LineStrip = 3,
  TriangleList = 4,
  TriangleStrip = 5,
  TriangleFan = 6,
};

enum class Blend : uint32_t {
  Zero = 1,
  One = 2,
  SrcColor = 3,
  InvSrcColor = 4,
  SrcAlpha = 5,
  InvSrcAlpha = 6,
  DestAlpha = 7,
  InvDestAlpha = 8,
  DestColor = 9,
  InvDestColor = 10,
};

enum class BlendOp : uint32_t { Add = 1, Subtract = 2, RevSubtract = 3, Min = 4, Max = 5 };

enum class Cull : uint32_t { None = 1, CW = 2, CCW = 3 };

enum class Compare : uint32_t {
  Never = 1,
  Less = 2,
  Equal = 3,
  LessEqual = 4,
  Greater = 5,
  NotEqual = 6,
  GreaterEqual = 7,
  Always = 8,
};

enum class TextureAddress : uint32_t { Wrap = 1, Mirror = 2, Clamp = 3, Border = 4 };

enum class TextureFilter : uint32_t { None = 0, Point = 1, Linear = 2, Anisotropic = 3 };

enum class TextureOp : uint32_t { Disable = 1, SelectArg1 = 2, SelectArg2 = 3, Modulate = 4 };

enum class TextureArg : uint32_t { Diffuse = 0, Current = 1, Texture = 2, TFactor = 3 };

// Render states the engine and the effects set. Values of each state are the
// enums above (booleans as 0/1; the texture factor is an ARGB colour).
enum class RenderState : uint32_t {
  ZEnable = 7,
  FillMode = 8,
  ZWriteEnable = 14,
  AlphaTestEnable = 15,
  SrcBlend = 19,
  DestBlend = 20,
  CullMode = 22,
  ZFunc = 23,
  AlphaRef = 24,
  AlphaFunc = 25,
  AlphaBlendEnable = 27,
  TextureFactor = 60,
  ColorWriteEnable = 168,
  BlendOp = 171,
};

enum class SamplerState : uint32_t {
  AddressU = 1,
  AddressV = 2,
  MagFilter = 5,
  MinFilter = 6,
  MipFilter = 7,
};

enum class TextureStageState : uint32_t {
  ColorOp = 1,
  ColorArg1 = 2,
  ColorArg2 = 3,
  AlphaOp = 4,
  AlphaArg1 = 5,
  AlphaArg2 = 6,
};

enum class TransformType : uint32_t { View = 2, Projection = 3, World = 256 };

// Flexible vertex format bits: position, normal, then up to eight texture
// coordinate sets whose sizes (2 by default) are coded two bits per set.
namespace fvf {
constexpr uint32_t XYZ = 0x002;
constexpr uint32_t Normal = 0x010;
constexpr uint32_t Diffuse = 0x040;
constexpr uint32_t TexCountShift = 8;
constexpr uint32_t TexCountMask = 0xF00;
constexpr uint32_t Tex1 = 0x100;
constexpr uint32_t Tex2 = 0x200;
constexpr uint32_t Tex4 = 0x400;
// Size code per set: 0 = two floats, 1 = three, 2 = four, 3 = one.
constexpr uint32_t texCoordSize3(uint32_t set) { return 1u << (set * 2 + 16); }
constexpr uint32_t texCoordSize4(uint32_t set) { return 2u << (set * 2 + 16); }
constexpr uint32_t texCoordSize1(uint32_t set) { return 3u << (set * 2 + 16); }

// The three formats the engine draws with.
constexpr uint32_t ScreenQuad = XYZ | Tex1;                                      // 0x102, 20 bytes
constexpr uint32_t MeshVertex = XYZ | Normal | Tex4 | texCoordSize3(2) | texCoordSize3(3);  // 0x500412, 64 bytes
constexpr uint32_t Particle = XYZ | Tex2;                                        // 28 bytes
}  // namespace fvf

// One attribute of a decoded vertex format: shader location, float count and
// byte offset inside the vertex.
struct VertexAttribute {
  uint32_t location = 0;
  uint32_t components = 0;
  uint32_t offset = 0;
};

struct VertexLayout {
  VertexAttribute attributes[8] = {};
  uint32_t count = 0;
  uint32_t stride = 0;
  bool valid = false;
};

// Decodes a vertex format code into attributes at the fixed shader locations:
// 0 position, 1 normal, 2 to 5 texture-coordinate sets 0 to 3.
VertexLayout decodeVertexFormat(uint32_t fvfCode);

struct Viewport {
  uint32_t x = 0;
  uint32_t y = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  float minZ = 0.0f;
  float maxZ = 1.0f;
};

// 4x4 row-vector matrix, row-major in memory: a point is the row (x, y, z, 1)
// times the matrix, translation sits in the fourth row.
struct Matrix4 {
  float m[4][4];
  static Matrix4 identity() {
    return Matrix4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  }
};

// ARGB colour packing (alpha in the top byte) as clears and the texture
// factor take it.
inline constexpr uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}

constexpr int kMaxRenderTargets = 4;
constexpr int kMaxSamplers = 16;

}  // namespace gfx
