// OpenGL context on an SDL2 window; presents with SDL_GL_SwapWindow.
#include <SDL.h>

#include "platform/gfx/gl_context.h"

namespace gfx {
namespace {

class SdlContext final : public GlContext {
 public:
  SdlContext(SDL_Window* window, SDL_GLContext context, bool debug)
      : window_(window), context_(context), debug_(debug) {}
  ~SdlContext() override { SDL_GL_DeleteContext(context_); }
  bool makeCurrent() override { return SDL_GL_MakeCurrent(window_, context_) == 0; }
  void swapBuffers() override { SDL_GL_SwapWindow(window_); }
  void drawableSize(int* width, int* height) const override {
    SDL_GL_GetDrawableSize(window_, width, height);
  }
  bool hasWindow() const override { return true; }
  bool isDebug() const override { return debug_; }

 private:
  SDL_Window* window_;
  SDL_GLContext context_;
  bool debug_;
};

}  // namespace

std::unique_ptr<GlContext> createSdlContext(SDL_Window* window, const ContextOptions& options,
                                            std::string* error) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, options.debug ? SDL_GL_CONTEXT_DEBUG_FLAG : 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    if (error) *error = std::string("SDL could not create an OpenGL 4.5 core context: ") + SDL_GetError();
    return nullptr;
  }
  // Presentation waits for the display like a default presentation interval.
  SDL_GL_SetSwapInterval(1);
  return std::make_unique<SdlContext>(window, context, options.debug);
}

}  // namespace gfx
