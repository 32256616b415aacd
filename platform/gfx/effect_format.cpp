// Byte layout, little-endian: "VFXO", version, effect name, samplers, then
// techniques with their passes. Strings are a 32-bit length and the bytes.
#include "platform/gfx/effect_format.h"

#include <cstring>

namespace gfx {
namespace {

constexpr char kMagic[4] = {'V', 'F', 'X', 'O'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxCount = 1u << 16;

class Writer {
 public:
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void str(const std::string& s) {
    u32(static_cast<uint32_t>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
  }
  template <typename State>
  void states(const std::vector<std::pair<State, uint32_t>>& list) {
    u32(static_cast<uint32_t>(list.size()));
    for (const auto& [state, value] : list) {
      u32(static_cast<uint32_t>(state));
      u32(value);
    }
  }
  std::vector<uint8_t> bytes;
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool u32(uint32_t* v) {
    if (size_ - pos_ < 4) return false;
    *v = 0;
    for (int i = 0; i < 4; ++i) *v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return true;
  }
  bool count(uint32_t* n) { return u32(n) && *n <= kMaxCount; }
  bool str(std::string* s) {
    uint32_t n = 0;
    if (!u32(&n) || n > size_ - pos_) return false;
    s->assign(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return true;
  }
  template <typename State>
  bool states(std::vector<std::pair<State, uint32_t>>* list) {
    uint32_t n = 0;
    if (!count(&n)) return false;
    list->resize(n);
    for (auto& [state, value] : *list) {
      uint32_t s = 0;
      if (!u32(&s) || !u32(&value)) return false;
      state = static_cast<State>(s);
    }
    return true;
  }
  bool atEnd() const { return pos_ == size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<uint8_t> serializeEffect(const EffectDesc& effect) {
  Writer w;
  w.bytes.insert(w.bytes.end(), kMagic, kMagic + 4);
  w.u32(kVersion);
  w.str(effect.name);
  w.u32(static_cast<uint32_t>(effect.samplers.size()));
  for (const SamplerDesc& s : effect.samplers) {
    w.str(s.name);
    w.states(s.states);
  }
  w.u32(static_cast<uint32_t>(effect.techniques.size()));
  for (const TechniqueDesc& t : effect.techniques) {
    w.str(t.name);
    w.u32(static_cast<uint32_t>(t.passes.size()));
    for (const PassDesc& p : t.passes) {
      w.str(p.name);
      w.states(p.states);
      w.str(p.vertexSource);
      w.str(p.fragmentSource);
    }
  }
  return std::move(w.bytes);
}

bool parseEffect(const void* bytes, size_t size, EffectDesc* out, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = why;
    return false;
  };
  if (bytes == nullptr || size < 8 || std::memcmp(bytes, kMagic, 4) != 0)
    return fail("not a compiled effect (bad magic)");
  Reader r(static_cast<const uint8_t*>(bytes) + 4, size - 4);
  uint32_t version = 0;
  if (!r.u32(&version) || version != kVersion) return fail("unsupported effect version");

  EffectDesc effect;
  uint32_t samplerCount = 0, techniqueCount = 0;
  if (!r.str(&effect.name) || !r.count(&samplerCount)) return fail("truncated effect header");
  effect.samplers.resize(samplerCount);
  for (SamplerDesc& s : effect.samplers)
    if (!r.str(&s.name) || !r.states(&s.states)) return fail("truncated sampler table");
  if (!r.count(&techniqueCount)) return fail("truncated technique table");
  effect.techniques.resize(techniqueCount);
  for (TechniqueDesc& t : effect.techniques) {
    uint32_t passCount = 0;
    if (!r.str(&t.name) || !r.count(&passCount)) return fail("truncated technique");
    t.passes.resize(passCount);
    for (PassDesc& p : t.passes) {
      if (!r.str(&p.name) || !r.states(&p.states) || !r.str(&p.vertexSource) ||
          !r.str(&p.fragmentSource))
        return fail("truncated pass");
    }
  }
  if (!r.atEnd()) return fail("trailing bytes after the effect");
  *out = std::move(effect);
  return true;
}

}  // namespace gfx
