// The production from the moment its window (or headless device) exists to
// its shutdown: music, loading, spectrum, parameters, the frame loop and the
// teardown, in that order. Shared by `velm` (real clock, real music, a window)
// and `velm-capture` (virtual clock, headless). It does not run the settings
// dialog or create the window.
#pragma once

#include <functional>
#include <memory>

#include "app/frame_loop.h"
#include "app/render_window.h"
#include "platform/audio/music.h"
#include "platform/clock.h"

namespace velm {

inline constexpr const char* kMusicPath = "data/torvane (short version) 192kbps.mp3";
inline constexpr const char* kSpectrumPath = "data/tuvak.zun";

struct ProductionSetup {
  platform::Clock* timer = nullptr;
  // Opens the music stream (called once, after the window exists).
  std::function<std::unique_ptr<platform::Music>()> openMusic;
  // Optional: runs before each frame-loop iteration.
  std::function<void()> beforeFrame;
  // Optional: runs after each iteration; returning false ends the production.
  std::function<bool(const FrameLoop&)> afterFrame;
};

// Runs the production on `window`, whose device must exist; without one it
// only shuts down what exists. Returns the program's exit code, 0.
int runProduction(RenderWindow& window, const ProductionSetup& setup);

}  // namespace velm
