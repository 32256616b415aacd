#include <gtest/gtest.h>

#include <bit>

#include "app/render_window.h"
#include "engine/engine_context.h"
#include "platform/gfx/recording_device.h"

namespace velm {
namespace {

TEST(RenderWindow, DefaultViewportIsTheLetterboxedPicture) {
  RenderWindow window;
  EXPECT_EQ(std::bit_cast<uint32_t>(window.settings.aspect), 0x3fe38e39u);
  const struct {
    uint32_t width, height, x, y, vw, vh;
  } cases[] = {
      {640, 480, 0, 60, 640, 359},      {800, 600, 0, 75, 800, 449},     {1024, 768, 0, 96, 1024, 575},
      {1280, 1024, 0, 152, 1280, 719},  {1920, 1080, 0, 0, 1920, 1079},
      // Wider than 16:9: the picture keeps its shape inside the back buffer.
      {2560, 1080, 320, 0, 1920, 1080},
  };
  for (const auto& c : cases) {
    window.settings.width = c.width;
    window.settings.height = c.height;
    const gfx::Viewport v = window.defaultViewport();
    EXPECT_EQ(v.x, c.x) << c.width << "x" << c.height;
    EXPECT_EQ(v.y, c.y) << c.width << "x" << c.height;
    EXPECT_EQ(v.width, c.vw) << c.width << "x" << c.height;
    EXPECT_EQ(v.height, c.vh) << c.width << "x" << c.height;
    EXPECT_EQ(v.minZ, 0.0f);
    EXPECT_EQ(v.maxZ, 10.0f);
  }
}

TEST(RenderWindow, PoppingTheStackSetsThePreviousViewportThenTheDefault) {
  RenderWindow window;
  EXPECT_TRUE(window.quit);  // no window yet
  EXPECT_EQ(renderWindow, &window);
  gfx::RecordingDevice device;
  EngineContext::get().device = &device;
  window.pushViewport({0, 0, 100, 50, 0.0f, 10.0f});
  window.pushViewport({0, 0, 30, 20, 0.0f, 10.0f});
  EXPECT_TRUE(device.calls().empty());  // pushing does not set the viewport
  window.popViewport();
  window.popViewport();
  window.popViewport();  // empty: only the default again
  EngineContext::get().device = nullptr;
  const std::vector<std::string> expected = {"setViewport(0, 0, 100, 50, 0, 10)", "setViewport(0, 60, 640, 359, 0, 10)",
                                             "setViewport(0, 60, 640, 359, 0, 10)"};
  EXPECT_EQ(device.calls(), expected);
  EXPECT_TRUE(window.viewports.empty());
}

}  // namespace
}  // namespace velm
