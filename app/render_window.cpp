#include "app/render_window.h"

#include <SDL.h>

#include <cstdio>

#include "engine/engine_context.h"
#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_device.h"
#include "platform/messages.h"

namespace velm {

RenderWindow* renderWindow = nullptr;

namespace {

void reportGlError(const std::string& message) { std::fprintf(stderr, "OpenGL error: %s\n", message.c_str()); }

}  // namespace

RenderWindow::RenderWindow() { renderWindow = this; }

RenderWindow::~RenderWindow() {
  minimise();
  quit = true;
  viewports.clear();
  if (window) SDL_DestroyWindow(window);
  window = nullptr;
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (renderWindow == this) renderWindow = nullptr;
}

void RenderWindow::createWindowAndDevice() {
  auto windowFailed = [] {
    platform::showMessageBox("error", "Creating window failed.");
    platform::postQuitMessage();
  };
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
    windowFailed();
    return;
  }
  videoStarted_ = true;
  // With a display, messages are also shown as dialogs.
  platform::setMessageBoxMode(platform::MessageBoxMode::Dialog);
  // The screen saver and monitor power-off must not start during the production.
  SDL_DisableScreenSaver();

  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN;
  if (settings.fullscreen) {
    // A real display-mode change: the mode must exist with exactly this size.
    SDL_DisplayMode wanted{};
    wanted.w = static_cast<int>(settings.width);
    wanted.h = static_cast<int>(settings.height);
    SDL_DisplayMode closest{};
    if (SDL_GetClosestDisplayMode(0, &wanted, &closest) && closest.w == wanted.w && closest.h == wanted.h) {
      flags |= SDL_WINDOW_FULLSCREEN;
    } else {
      platform::showMessageBox("warning", "Couldn't change display-settings, fallback to windowed.");
      settings.fullscreen = false;
    }
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  window = SDL_CreateWindow(settings.title.c_str(), 0, 0, static_cast<int>(settings.width),
                            static_cast<int>(settings.height), flags);
  if (!window) {
    std::fprintf(stderr, "SDL window: %s\n", SDL_GetError());
    windowFailed();
    return;
  }
  SDL_ShowCursor(SDL_DISABLE);
  SDL_RaiseWindow(window);
  quit = false;

  std::string error;
  auto context = gfx::createSdlContext(window, {}, &error);
  auto device = context ? gfx::createGlDevice(std::move(context), settings.width, settings.height, reportGlError, &error)
                        : nullptr;
  // Without a device the production cannot draw; the loader and loop see a null device.
  if (!device) std::fprintf(stderr, "graphics device: %s\n", error.c_str());
  EngineContext::get().device = device.release();
}

void RenderWindow::createHeadlessDevice() {
  std::string error;
  auto context = gfx::createSurfacelessContext({}, &error);
  auto device = context ? gfx::createGlDevice(std::move(context), settings.width, settings.height, reportGlError, &error)
                        : nullptr;
  if (!device) {
    platform::showMessageBox("error", "No headless OpenGL 4.5 device: " + error);
    return;
  }
  EngineContext::get().device = device.release();
  quit = false;
}

gfx::Viewport RenderWindow::defaultViewport() const {
  const uint32_t w = settings.width, h = settings.height;
  const double aspect = settings.aspect;  // the float widened to double, as the sizes rely on
  uint32_t vw = 0, vh = 0;
  if (aspect > 1.0) {
    vw = w;
    vh = static_cast<uint32_t>(static_cast<double>(w) / aspect);
  } else {
    vh = h;
    vw = static_cast<uint32_t>(aspect * static_cast<double>(h));
  }
  // Modes wider than 16:9 would need a picture taller than the back buffer:
  // fit it to the height instead (pillarbox).
  if (vh > h) {
    vh = h;
    vw = static_cast<uint32_t>(aspect * static_cast<double>(h));
  }
  gfx::Viewport v;
  v.width = vw;
  v.height = vh;
  v.minZ = 0.0f;
  v.maxZ = 10.0f;
  if (vw == w) {
    v.x = 0;
    v.y = (h - vh) / 2;
  } else {
    v.x = (w - vw) / 2;
    v.y = 0;
  }
  return v;
}

void RenderWindow::pushViewport(const gfx::Viewport& viewport) { viewports.push_back(viewport); }

void RenderWindow::popViewport() {
  if (!viewports.empty()) viewports.pop_back();
  const gfx::Viewport v = viewports.empty() ? defaultViewport() : viewports.back();
  if (gfx::Device* device = EngineContext::get().device) device->setViewport(v);
}

void RenderWindow::minimise() {
  if (window) SDL_MinimizeWindow(window);
}

void RenderWindow::drainMessages() {
  if (videoStarted_) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      const bool escape = event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE;
      const bool closed = event.type == SDL_QUIT ||
                          (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
      if (escape || closed) {
        minimise();
        quit = true;
      }
    }
  }
  if (platform::takeQuitMessage()) quit = true;
}

}  // namespace velm
