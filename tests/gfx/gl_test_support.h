// Fixture for tests on the real OpenGL backend, headless through EGL. Any GL
// error the driver reports during a test fails it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace gfx::testing {

struct Rgba {
  uint8_t r, g, b, a;
  bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgba& c);

class GlDeviceTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kWidth = 64, kHeight = 48;

  void SetUp() override;
  void TearDown() override;

  // A render target texture and its level-0 surface; released at teardown.
  Surface* makeTarget(uint32_t width, uint32_t height, Format format);
  Surface* makeDepth(uint32_t width, uint32_t height);
  Readback read(Surface* surface);
  static Rgba pixel(const Readback& r, uint32_t x, uint32_t y);
  static float floatPixel(const Readback& r, uint32_t x, uint32_t y);

  // Draws the rectangle (x0, y0)-(x1, y1) in clip units (+y up) with the
  // screen-quad vertex format; v = 0 is the top edge.
  void drawRect(float x0, float y0, float x1, float y1, float z = 0.0f);

  std::unique_ptr<Device> device;
  std::vector<std::string> glErrors;

 private:
  std::vector<Resource*> owned_;
};

// PNG bytes of an RGBA picture (row 0 first).
std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba);

}  // namespace gfx::testing
