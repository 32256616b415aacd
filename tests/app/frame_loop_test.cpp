#include <gtest/gtest.h>

#include "app/frame_loop.h"
#include "engine/engine_context.h"
#include "platform/gfx/recording_device.h"
#include "platform/messages.h"

namespace velm {
namespace {

class FrameLoopTest : public ::testing::Test {
 protected:
  FrameLoopTest() : music(clock), loop(window, &device, clock, music, frames, bands) {
    loop.tick = [this](float t) { ticks.push_back(t); };
    loop.render = [this](float t) {
      renders.push_back(t);
      if (postQuitDuringRender) platform::postQuitMessage();
    };
    window.quit = false;
    music.play();
    loop.start();
  }
  // One frame ending `ms` after the previous one.
  void frame(uint32_t ms) {
    clock.advance(ms);
    loop.runIteration();
  }

  RenderWindow window;
  gfx::RecordingDevice device{640, 480};
  platform::VirtualClock clock;
  platform::ClockMusic music;
  SpectrumFrames frames;
  float bands[kSpectrumBands] = {};
  FrameLoop loop;
  std::vector<float> ticks, renders;
  bool postQuitDuringRender = false;
};

TEST_F(FrameLoopTest, SlowFramesCatchUpWithSeveralTicksAtTheSameTime) {
  frame(170);
  ASSERT_EQ(ticks.size(), 3u);
  EXPECT_EQ(ticks[0], 0.17f);
  EXPECT_EQ(ticks[2], 0.17f);
  EXPECT_EQ(loop.tickAccumulator, 20u);
  EXPECT_EQ(renders.size(), 1u);
}

TEST_F(FrameLoopTest, FastFramesRenderWithoutTicksUntil50MsAccumulate) {
  frame(20);
  frame(20);
  EXPECT_TRUE(ticks.empty());
  EXPECT_EQ(renders.size(), 2u);
  frame(20);
  EXPECT_EQ(ticks.size(), 1u);
  EXPECT_EQ(loop.tickAccumulator, 10u);
}

TEST_F(FrameLoopTest, EndsAfterTheFrameThatReaches217Seconds) {
  frame(216999);
  EXPECT_FALSE(window.quit);
  frame(1);
  EXPECT_TRUE(window.quit);
  EXPECT_EQ(renders.size(), 2u);  // the last frame is still drawn
  loop.run();
  EXPECT_EQ(renders.size(), 2u);  // and nothing after it
}

TEST_F(FrameLoopTest, AQuitRequestEndsTheLoopAfterTheCurrentIteration) {
  postQuitDuringRender = true;
  loop.run();
  EXPECT_TRUE(window.quit);
  EXPECT_EQ(renders.size(), 1u);
}

TEST_F(FrameLoopTest, OneIterationClearsTheBarsThenThePictureAndPresents) {
  device.clearCalls();
  frame(16);
  const std::vector<std::string> expected = {
      "setViewport(0, 0, 640, 480, 0, 10)", "clear(0x00000005, 0x00000000, 0, 0)",
      "setViewport(0, 60, 640, 359, 0, 10)", "clear(0x00000003, 0x00000000, 1, 0)", "present()"};
  EXPECT_EQ(device.calls(), expected);
}

TEST_F(FrameLoopTest, SpectrumFollowsTheMusicAndTheTimerWeight) {
  std::vector<float> floats(30 * kSpectrumBands);
  for (int f = 0; f < 30; ++f) floats[static_cast<size_t>(f) * kSpectrumBands] = static_cast<float>(f);
  frames.assign(floats);
  frame(1237);  // music at 1237 ms: frame 24; timer 37 ms past a multiple of 50
  EXPECT_FLOAT_EQ(bands[0], 0.26f * 24 + 0.74f * 25);
}

}  // namespace
}  // namespace velm
