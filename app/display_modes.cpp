#include "app/display_modes.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>

#include "app/render_window.h"

namespace velm {

uint32_t aspectDivisor(uint32_t width, uint32_t height) {
  uint32_t divisor = 1;
  const uint32_t half = height / 2;
  if (half > 1) {
    // Both quotients are tested for being whole in floating point; doubles
    // hold every quotient of display sizes exactly enough for this.
    for (uint32_t i = 1; i < half; ++i) {
      const double h = static_cast<double>(height) / i;
      const double w = static_cast<double>(width) / i;
      if (h == std::trunc(h) && w == std::trunc(w)) divisor = i;
    }
  }
  return divisor;
}

std::string aspectLabel(uint32_t width, uint32_t height) {
  const uint32_t d = aspectDivisor(width, height);
  char text[32];
  std::snprintf(text, sizeof text, "%i:%i", static_cast<int>(width / d), static_cast<int>(height / d));
  return text;
}

std::string displayModeLine(const DisplayMode& mode) {
  const std::string aspect = aspectLabel(mode.width, mode.height);
  char text[96];
  std::snprintf(text, sizeof text, "%ix%i  [%s] %ihz", static_cast<int>(mode.width), static_cast<int>(mode.height),
                aspect.c_str(), mode.refreshRate);
  return text;
}

std::vector<std::string> displayModeLines(const std::vector<DisplayMode>& modes) {
  std::vector<std::string> lines;
  lines.reserve(modes.size());
  for (const DisplayMode& mode : modes) lines.push_back(displayModeLine(mode));
  return lines;
}

void applyModeChoice(DisplaySettings& settings, const std::vector<DisplayMode>& modes, int selected, bool fullscreen) {
  if (selected >= 0 && static_cast<size_t>(selected) < modes.size()) {
    settings.width = modes[static_cast<size_t>(selected)].width;
    settings.height = modes[static_cast<size_t>(selected)].height;
  }
  settings.fullscreen = fullscreen;
}

std::vector<DisplayMode> listDisplayModes() {
  std::vector<DisplayMode> modes;
  // SDL counts subsystem starts, so this leaves video as it found it.
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return modes;
  // The count is asked again before every step, as the display may change it.
  for (int i = 0; i < SDL_GetNumDisplayModes(0); ++i) {
    SDL_DisplayMode mode{};
    // SDL's offscreen driver, used when no display opens, reports one 0 x 0
    // mode: nothing anyone could run at.
    if (SDL_GetDisplayMode(0, i, &mode) != 0 || mode.w <= 0 || mode.h <= 0) continue;
    modes.push_back({static_cast<uint32_t>(mode.w), static_cast<uint32_t>(mode.h), mode.refresh_rate});
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return modes;
}

}  // namespace velm
