// The compiled effect container (.fxo): techniques of passes, each pass with
// its render states and GLSL 450 vertex and fragment programs, plus sampler
// states per texture parameter. Only the byte layout lives here; compiling
// the programs is the backend's job, writing .fxo files the effect compiler's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/gfx/types.h"

namespace gfx {

struct PassDesc {
  std::string name;
  std::vector<std::pair<RenderState, uint32_t>> states;
  std::string vertexSource;
  std::string fragmentSource;
};

struct TechniqueDesc {
  std::string name;
  std::vector<PassDesc> passes;
};

// Sampler states applied to the texture unit of the sampler uniform `name`.
struct SamplerDesc {
  std::string name;
  std::vector<std::pair<SamplerState, uint32_t>> states;
};

struct EffectDesc {
  std::string name;
  std::vector<SamplerDesc> samplers;
  std::vector<TechniqueDesc> techniques;
};

std::vector<uint8_t> serializeEffect(const EffectDesc& effect);
// False (with a reason) for anything that is not a well-formed container.
bool parseEffect(const void* bytes, size_t size, EffectDesc* out, std::string* error);

}  // namespace gfx
