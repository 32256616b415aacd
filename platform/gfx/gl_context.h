// An OpenGL 4.5 core context the GL device renders with. Two kinds sit behind
// this interface: an SDL2 window (the production) and EGL surfaceless (capture
// and tests, no display needed). The device never creates contexts itself.
#pragma once

#include <memory>
#include <string>

struct SDL_Window;

namespace gfx {

class GlContext {
 public:
  virtual ~GlContext() = default;
  virtual bool makeCurrent() = 0;
  // Shows the window's default framebuffer; a no-op without a window.
  virtual void swapBuffers() = 0;
  // Size of the default framebuffer in pixels (0 x 0 without a window).
  virtual void drawableSize(int* width, int* height) const = 0;
  virtual bool hasWindow() const = 0;
  virtual bool isDebug() const = 0;
};

struct ContextOptions {
  bool debug = false;  // a debug context, so the driver reports every GL error
};

// Headless context through EGL: the Mesa surfaceless platform first, then the
// first EGL device (vendor drivers), then the default display.
std::unique_ptr<GlContext> createSurfacelessContext(const ContextOptions& options,
                                                    std::string* error);

// A context on an SDL window created with SDL_WINDOW_OPENGL. The window stays
// the caller's.
std::unique_ptr<GlContext> createSdlContext(SDL_Window* window, const ContextOptions& options,
                                            std::string* error);

}  // namespace gfx
