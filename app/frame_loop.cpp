#include "app/frame_loop.h"

#include "demo/timeline.h"

namespace velm {

namespace {

// Device results are looked up and otherwise ignored: a failed clear or
// present must not stop the production.
void ignore(gfx::Result r) { (void)gfx::resultText(r); }

}  // namespace

FrameLoop::FrameLoop(RenderWindow& window, gfx::Device* device, platform::Clock& timer, platform::Music& music,
                     const SpectrumFrames& frames, float* spectrumOut)
    : tick(timelineTick),
      render(timelineRender),
      window_(window),
      device_(device),
      timer_(timer),
      music_(music),
      frames_(frames),
      spectrum_(spectrumOut) {}

void FrameLoop::start() {
  startTime = lastTime = timer_.nowMs();
  tickAccumulator = 0;
}

void FrameLoop::runIteration() {
  const DisplaySettings& s = window_.settings;
  if (device_) {
    // Black letterbox bars: clear the whole back buffer, then draw inside the picture.
    ignore(device_->setViewport({0, 0, s.width, s.height, 0.0f, 10.0f}));
    ignore(device_->clear(gfx::ClearTarget | gfx::ClearStencil, 0x00000000, 0.0f, 0));
    ignore(device_->setViewport(window_.defaultViewport()));
  }

  const uint32_t now = timer_.nowMs();
  const uint32_t delta = now - lastTime;
  const uint32_t elapsed = now - startTime;
  lastTime = now;

  const uint32_t p = music_.positionMs();
  lastPositionMs = p;
  // The weight inside a spectrum frame comes from the timer, not the music.
  const float w = static_cast<float>((timer_.nowMs() - startTime) % kTickMs) * 0.02f;
  if (spectrum_) frames_.interpolate(p, w, spectrum_);

  tickAccumulator += delta;
  if (elapsed >= kEndMs) {
    window_.minimise();
    window_.quit = true;
  }
  if (device_) ignore(device_->clear(gfx::ClearTarget | gfx::ClearZBuffer, 0x00000000, 1.0f, 0));

  const float t = static_cast<float>(p * 0.001);
  if (tickAccumulator >= kTickMs) {
    for (uint32_t n = tickAccumulator / kTickMs; n > 0; --n) {
      tick(t);
      tickAccumulator -= kTickMs;
    }
  }
  render(t);
  if (device_) ignore(device_->present());
  window_.drainMessages();
}

void FrameLoop::run(const std::function<void()>& beforeFrame, const std::function<bool()>& afterFrame) {
  while (!window_.quit) {
    if (beforeFrame) beforeFrame();
    runIteration();
    if (afterFrame && !afterFrame()) break;
  }
}

}  // namespace velm
