// The music's spectrum: the frames of the spectrum file (64 bands per 50 ms
// of music) and the 64-float array `spectrum` that the frame loop rewrites
// each frame by interpolating between two frames. Reading the bands is the
// scenes' business.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velm {

constexpr int kSpectrumBands = 64;
constexpr uint32_t kSpectrumFrameMs = 50;

// The interpolated bands for the current instant; allocated by the entry
// before the scenes are built, rewritten at the start of every frame.
extern float* spectrum;

class SpectrumFrames {
 public:
  // Reads the file whole: size / 4 little-endian floats, a trailing partial
  // float ignored. A missing file shows an error and leaves no frames, so
  // every band then reads as zero.
  bool load(const std::string& path);
  void assign(std::vector<float> floats) { floats_ = std::move(floats); }

  size_t floatCount() const { return floats_.size(); }
  size_t frameCount() const { return floats_.size() / kSpectrumBands; }
  // Band k of frame i; frames beyond the end of the file read as zero.
  float band(size_t frame, int k) const;
  // out[k] = (1 - w) x frame[p / 50][k] + w x frame[p / 50 + 1][k].
  void interpolate(uint32_t positionMs, float w, float* out) const;

 private:
  std::vector<float> floats_;
};

}  // namespace velm
