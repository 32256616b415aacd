// The display modes the settings dialog offers: how a mode is listed (size,
// reduced aspect label, refresh rate), how the user's choice lands in the
// display settings, and the enumeration of display 0 through SDL.
// Nothing here draws a window; the dialog itself is in settings_window.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velm {

struct DisplaySettings;

struct DisplayMode {
  uint32_t width = 0;
  uint32_t height = 0;
  int refreshRate = 0;  // hertz; 0 when the display does not say
};

// The divisor that reduces (width, height) to the aspect label: the largest
// common divisor of both that is below height / 2 (integer halving), or 1.
// Not always the greatest common divisor: 720 x 480 reduces by 120, not 240.
uint32_t aspectDivisor(uint32_t width, uint32_t height);

// "%i:%i" of width and height divided by aspectDivisor, e.g. "16:9", "6:4".
std::string aspectLabel(uint32_t width, uint32_t height);

// One list line: "%ix%i  [%s] %ihz", e.g. "720x480  [6:4] 60hz".
std::string displayModeLine(const DisplayMode& mode);

// One line per mode, in the given order; nothing is sorted or merged.
std::vector<std::string> displayModeLines(const std::vector<DisplayMode>& modes);

// What "start" does with the choice: line `selected` of `modes` gives the
// width and height, the check box gives `fullscreen`. With no valid selection
// (an empty list, -1, out of range) width and height keep their values.
// Bits per pixel, aspect and title are never touched.
void applyModeChoice(DisplaySettings& settings, const std::vector<DisplayMode>& modes, int selected, bool fullscreen);

// Every mode of display 0, in the order SDL reports them (the same size at
// several refresh rates gives several entries); modes without a size are
// left out. Starts SDL's video subsystem
// for the query and shuts it down again; empty when video cannot start
// (no display).
std::vector<DisplayMode> listDisplayModes();

}  // namespace velm
