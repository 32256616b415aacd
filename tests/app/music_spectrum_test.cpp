#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "app/music_spectrum.h"
#include "platform/messages.h"

namespace velm {
namespace {

std::string writeTemp(const std::string& name, const std::vector<char>& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

TEST(Spectrum, FileIsReadAsWholeLittleEndianFloats) {
  // 1027 bytes: 256 floats (4 frames) and 3 stray bytes.
  std::vector<char> bytes(1027, 0);
  const float first = 0.25f, last = 0.75f;
  std::memcpy(bytes.data(), &first, 4);
  std::memcpy(bytes.data() + 255 * 4, &last, 4);
  SpectrumFrames frames;
  ASSERT_TRUE(frames.load(writeTemp("spectrum1027.zun", bytes)));
  EXPECT_EQ(frames.floatCount(), 256u);
  EXPECT_EQ(frames.frameCount(), 4u);
  EXPECT_EQ(frames.band(0, 0), 0.25f);
  EXPECT_EQ(frames.band(3, 63), 0.75f);
  EXPECT_EQ(frames.band(4, 0), 0.0f);  // beyond the file
}

TEST(Spectrum, InterpolatesBetweenTheFrameAndTheNext) {
  std::vector<float> floats(30 * kSpectrumBands);
  for (size_t i = 0; i < floats.size(); ++i) floats[i] = static_cast<float>(i % 997) / 997.0f;
  SpectrumFrames frames;
  frames.assign(floats);
  float out[kSpectrumBands];
  // p = 1234 ms: frame 24; the timer 37 ms past a multiple of 50: w = 0.74.
  const float w = 37 * 0.02f;
  frames.interpolate(1234, w, out);
  for (int k = 0; k < kSpectrumBands; ++k)
    EXPECT_FLOAT_EQ(out[k], 0.26f * frames.band(24, k) + 0.74f * frames.band(25, k)) << k;
  // The last frame interpolates toward zeros instead of reading past the end.
  frames.interpolate(29 * 50, 0.5f, out);
  EXPECT_FLOAT_EQ(out[3], 0.5f * frames.band(29, 3));
}

TEST(Spectrum, MissingFileReportsAndLeavesSilence) {
  std::vector<std::string> messages;
  platform::setMessageBoxHook([&](const std::string& title, const std::string& text) { messages.push_back(title + ": " + text); });
  SpectrumFrames frames;
  EXPECT_FALSE(frames.load("no/such/tuvak.zun"));
  platform::setMessageBoxHook(nullptr);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("error: ", 0), 0u);
  float out[kSpectrumBands];
  std::fill(out, out + kSpectrumBands, 9.0f);
  frames.interpolate(5000, 0.3f, out);
  for (float v : out) EXPECT_EQ(v, 0.0f);
}

}  // namespace
}  // namespace velm
