// The render window: the display settings, the SDL window and the graphics
// device created from them, the quit flag, and the viewport stack with the
// letterboxed 16:9 default viewport that every render target is sized from.
// There is one, reachable through the global `renderWindow`. It does not run
// the frame loop or own the device (the engine context does).
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "platform/gfx/types.h"

struct SDL_Window;

namespace velm {

struct DisplaySettings {
  uint32_t width = 640;
  uint32_t height = 480;
  uint32_t bitsPerPixel = 32;
  bool fullscreen = false;
  std::string title = "velm 08";
  float aspect = 1.7777778f;  // 16:9, float bits 0x3fe38e39
};

class RenderWindow {
 public:
  RenderWindow();
  ~RenderWindow();
  RenderWindow(const RenderWindow&) = delete;
  RenderWindow& operator=(const RenderWindow&) = delete;

  // Creates the window (switching the display mode for fullscreen, falling
  // back to windowed with a warning) and then the device, which goes into the
  // engine context. On success `quit` is cleared.
  void createWindowAndDevice();
  // Creates no window: a device on a headless context of the settings' size,
  // for capture. `quit` is cleared on success.
  void createHeadlessDevice();

  gfx::Viewport defaultViewport() const;
  void pushViewport(const gfx::Viewport& viewport);
  // Removes the last viewport and sets the new last one, or the default.
  void popViewport();

  // Minimises the window (Escape, closing, the end of the production).
  void minimise();
  // Handles pending window events: Escape and closing minimise and set
  // `quit`; a posted quit request sets `quit` too.
  void drainMessages();

  SDL_Window* window = nullptr;
  DisplaySettings settings;
  std::deque<gfx::Viewport> viewports;
  bool quit = true;

 private:
  bool videoStarted_ = false;
};

// The one render window, set by its constructor and cleared by its destructor.
extern RenderWindow* renderWindow;

}  // namespace velm
