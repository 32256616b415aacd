#include "app/music_spectrum.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/messages.h"

namespace velm {

float* spectrum = nullptr;

bool SpectrumFrames::load(const std::string& path) {
  floats_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    platform::showMessageBox("error", "Couldn't open the spectrum file " + path + "; the production runs without it.");
    return false;
  }
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
  floats_.resize(bytes.size() / 4);
  for (size_t i = 0; i < floats_.size(); ++i) {
    uint32_t bits = 0;
    for (int b = 0; b < 4; ++b) bits |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i * 4 + b])) << (8 * b);
    floats_[i] = std::bit_cast<float>(bits);
  }
  return true;
}

float SpectrumFrames::band(size_t frame, int k) const {
  const size_t index = frame * kSpectrumBands + static_cast<size_t>(k);
  return frame < frameCount() ? floats_[index] : 0.0f;
}

void SpectrumFrames::interpolate(uint32_t positionMs, float w, float* out) const {
  const size_t frame = positionMs / kSpectrumFrameMs;
  for (int k = 0; k < kSpectrumBands; ++k) out[k] = (1 - w) * band(frame, k) + w * band(frame + 1, k);
}

}  // namespace velm
