// Backend-independent helpers: result texts, vertex format decoding and
// primitive counts.
#include "platform/gfx/device.h"
#include "platform/gfx/types.h"

namespace gfx {

const char* resultText(Result r) {
  switch (r) {
    case Result::Ok: return "no error";
    case Result::InvalidCall: return "invalid call";
    case Result::NotFound: return "not found";
    case Result::OutOfMemory: return "out of memory";
    case Result::InvalidData: return "invalid data";
    case Result::NotAvailable: return "not available";
    case Result::CompileFailed: return "effect program failed to compile";
  }
  return "unknown error";
}

VertexLayout decodeVertexFormat(uint32_t code) {
  VertexLayout layout;
  const uint32_t known = fvf::XYZ | fvf::Normal | fvf::Diffuse | fvf::TexCountMask | 0xFFFF0000u;
  if ((code & ~known) != 0 || (code & 0x00E) != (code & fvf::XYZ)) return layout;
  const uint32_t texSets = (code & fvf::TexCountMask) >> fvf::TexCountShift;
  if (texSets > 8) return layout;

  uint32_t offset = 0;
  auto add = [&](uint32_t location, uint32_t components, uint32_t bytes) {
    if (location < 8) layout.attributes[layout.count++] = {location, components, offset};
    offset += bytes;
  };
  if (code & fvf::XYZ) add(0, 3, 12);
  if (code & fvf::Normal) add(1, 3, 12);
  // Packed colour: the shaders do not read it, but it occupies 4 bytes.
  if (code & fvf::Diffuse) offset += 4;
  for (uint32_t set = 0; set < texSets; ++set) {
    static constexpr uint32_t kComponents[4] = {2, 3, 4, 1};
    const uint32_t components = kComponents[(code >> (set * 2 + 16)) & 3];
    // Sets beyond the fourth have no shader location; they still take space.
    if (set < 4) add(2 + set, components, components * 4);
    else offset += components * 4;
  }
  layout.stride = offset;
  layout.valid = true;
  return layout;
}

uint32_t vertexCountFor(PrimitiveType type, uint32_t n) {
  switch (type) {
    case PrimitiveType::PointList: return n;
    case PrimitiveType::LineList: return n * 2;
    case PrimitiveType::LineStrip: return n == 0 ? 0 : n + 1;
    case PrimitiveType::TriangleList: return n * 3;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan: return n == 0 ? 0 : n + 2;
  }
  return 0;
}

}  // namespace gfx
