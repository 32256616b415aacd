// How the settings dialog lists display modes and what "start" writes.
// Pure logic, and the mode enumeration, which works with or without a display.
#include <gtest/gtest.h>

#include <SDL.h>

#include "app/display_modes.h"
#include "app/render_window.h"
#include "app/settings_window.h"

namespace velm {
namespace {

struct AspectCase {
  uint32_t width, height;
  uint32_t divisor;
  const char* label;
};

TEST(SettingsDisplayModes, AspectLabelUsesLargestCommonDivisorBelowHalfTheHeight) {
  const AspectCase cases[] = {
      {720, 480, 120, "6:4"},    // the gcd 240 is not below 480 / 2
      {640, 480, 160, "4:3"},
      {1920, 1080, 120, "16:9"},
      {1280, 1024, 256, "5:4"},
      {1366, 768, 2, "683:384"},
      {1280, 720, 80, "16:9"},
      {1680, 1050, 210, "8:5"},
      {800, 600, 200, "4:3"},
      {480, 480, 160, "3:3"},     // square: the gcd is the height itself
      {1080, 1920, 120, "9:16"},  // portrait
      {1001, 7, 1, "1001:7"},     // coprime
      {8, 3, 1, "8:3"},           // heights below 4 never reduce
      {8, 2, 1, "8:2"},
      {6, 4, 1, "6:4"},
      {5, 1, 1, "5:1"},
  };
  for (const AspectCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    EXPECT_EQ(aspectDivisor(c.width, c.height), c.divisor);
    EXPECT_EQ(aspectLabel(c.width, c.height), c.label);
  }
}

TEST(SettingsDisplayModes, LinesKeepTheDisplaysOrderAndEveryRefreshRate) {
  const std::vector<DisplayMode> modes = {
      {1920, 1080, 144}, {1920, 1080, 60}, {720, 480, 60}, {640, 480, 75},
      {1280, 1024, 60},  {1366, 768, 0},   {640, 480, 75},  // a repeated mode stays listed
  };
  const std::vector<std::string> expected = {
      "1920x1080  [16:9] 144hz", "1920x1080  [16:9] 60hz", "720x480  [6:4] 60hz",  "640x480  [4:3] 75hz",
      "1280x1024  [5:4] 60hz",   "1366x768  [683:384] 0hz", "640x480  [4:3] 75hz",
  };
  EXPECT_EQ(displayModeLines(modes), expected);
  EXPECT_EQ(displayModeLine({720, 480, 60}), "720x480  [6:4] 60hz");
  EXPECT_TRUE(displayModeLines({}).empty());
}

TEST(SettingsDisplayModes, StartWritesTheSelectedSizeAndTheBoxOnly) {
  const std::vector<DisplayMode> modes = {{1920, 1080, 60}, {1280, 720, 50}, {720, 480, 60}};
  struct Case {
    const char* name;
    std::vector<DisplayMode> modes;
    int selected;
    bool fullscreen;
    uint32_t width, height;
  };
  // Starting values differ from every mode and from the defaults, so any
  // stray write shows.
  const Case cases[] = {
      {"first line, box ticked", modes, 0, true, 1920, 1080},
      {"last line, box cleared", modes, 2, false, 720, 480},
      {"no selection keeps the size", modes, -1, true, 1024, 768},
      {"index past the list keeps the size", modes, 3, false, 1024, 768},
      {"empty list keeps the size", {}, 0, true, 1024, 768},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DisplaySettings settings;
    settings.width = 1024;
    settings.height = 768;
    settings.fullscreen = !c.fullscreen;
    settings.bitsPerPixel = 16;
    settings.title = "untouched";
    settings.aspect = 1.25f;
    applyModeChoice(settings, c.modes, c.selected, c.fullscreen);
    EXPECT_EQ(settings.width, c.width);
    EXPECT_EQ(settings.height, c.height);
    EXPECT_EQ(settings.fullscreen, c.fullscreen);
    EXPECT_EQ(settings.bitsPerPixel, 16u);
    EXPECT_EQ(settings.title, "untouched");
    EXPECT_EQ(settings.aspect, 1.25f);
  }
}

TEST(SettingsDisplayModes, EnumerationLeavesVideoAsItFoundIt) {
  // As in the production, the dialog's display connection is open while
  // modes are listed. Without it a bare Xvfb resets when SDL's connection
  // closes, and SDL's next start can miss it and fall back to offscreen.
  settingsDialogCanOpen();
  const Uint32 before = SDL_WasInit(SDL_INIT_VIDEO);
  const std::vector<DisplayMode> modes = listDisplayModes();
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), before);
  for (const DisplayMode& mode : modes) {
    EXPECT_GT(mode.width, 0u);
    EXPECT_GT(mode.height, 0u);
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    EXPECT_TRUE(modes.empty()) << "no video, yet modes were listed";
    return;
  }
  // SDL's own list in its order, less modes without a size (the offscreen
  // driver reports one 0 x 0 mode when no display opens).
  std::vector<DisplayMode> sized;
  for (int i = 0; i < SDL_GetNumDisplayModes(0); ++i) {
    SDL_DisplayMode mode{};
    ASSERT_EQ(SDL_GetDisplayMode(0, i, &mode), 0);
    if (mode.w > 0 && mode.h > 0) {
      sized.push_back({static_cast<uint32_t>(mode.w), static_cast<uint32_t>(mode.h), mode.refresh_rate});
    }
  }
  ASSERT_EQ(modes.size(), sized.size()) << "video driver " << SDL_GetCurrentVideoDriver();
  for (size_t i = 0; i < modes.size(); ++i) {
    EXPECT_EQ(modes[i].width, sized[i].width);
    EXPECT_EQ(modes[i].height, sized[i].height);
    EXPECT_EQ(modes[i].refreshRate, sized[i].refreshRate);
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
}  // namespace velm
