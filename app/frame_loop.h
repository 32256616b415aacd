// The production's frame loop: one iteration clears the screen, reads the
// timer and the music position, updates the spectrum, runs the timeline's
// fixed 50 ms ticks and its render, presents and drains window messages. It
// ends the production 217 s of timer time after start(). It does not load
// anything or own the device, window, clock or music.
#pragma once

#include <cstdint>
#include <functional>

#include "app/render_window.h"
#include "app/music_spectrum.h"
#include "platform/audio/music.h"
#include "platform/clock.h"
#include "platform/gfx/device.h"

namespace velm {

class FrameLoop {
 public:
  static constexpr uint32_t kTickMs = 50;
  static constexpr uint32_t kEndMs = 217000;

  // The timeline's two entry points by default; tests substitute their own.
  std::function<void(float)> tick;
  std::function<void(float)> render;

  FrameLoop(RenderWindow& window, gfx::Device* device, platform::Clock& timer, platform::Music& music,
            const SpectrumFrames& frames, float* spectrumOut);

  // Reads the timer once: start and last time, and an empty tick accumulator.
  void start();
  void runIteration();
  // Iterates until the render window's quit flag is set. `beforeFrame` runs
  // before each iteration; `afterFrame` after it, and returning false stops.
  void run(const std::function<void()>& beforeFrame = {}, const std::function<bool()>& afterFrame = {});

  uint32_t startTime = 0;
  uint32_t lastTime = 0;
  uint32_t tickAccumulator = 0;
  uint32_t lastPositionMs = 0;  // the music position of the latest iteration

 private:
  RenderWindow& window_;
  gfx::Device* device_;
  platform::Clock& timer_;
  platform::Music& music_;
  const SpectrumFrames& frames_;
  float* spectrum_;
};

}  // namespace velm
