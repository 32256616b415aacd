// The real settings dialog, driven like a user would. These tests need a
// display (run them under `xvfb-run -a`); without one they skip, and the
// no-display path is tested instead.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <functional>
#include <ostream>

#include "app/render_window.h"
#include "app/settings_window.h"

namespace velm {
namespace {

using Controls = SettingsDialogControls;
using Rect = SettingsDialogControls::Rect;

}  // namespace

void PrintTo(const SettingsDialogControls::Rect& r, std::ostream* out) {
  *out << "(" << r.x << ", " << r.y << ") " << r.width << "x" << r.height;
}

namespace {

#define SKIP_WITHOUT_DISPLAY()                                                                    \
  if (!settingsDialogCanOpen()) GTEST_SKIP() << "GTK cannot open a display (run under xvfb-run -a)"

const std::vector<DisplayMode> kModes = {{1920, 1080, 60}, {1920, 1080, 50}, {720, 480, 60}, {640, 480, 75}};

// Settings unlike any mode and unlike the defaults, so every write shows.
DisplaySettings startingSettings() {
  DisplaySettings s;
  s.width = 1024;
  s.height = 768;
  s.fullscreen = false;
  return s;
}

TEST(SettingsWindow, WithoutDisplayItIsSkippedAndTheProductionGoesOn) {
  if (settingsDialogCanOpen()) GTEST_SKIP() << "a display is present; run with DISPLAY unset to cover this";
  const Uint32 videoBefore = SDL_WasInit(SDL_INIT_VIDEO);
  RenderWindow window;
  window.settings = startingSettings();
  testing::internal::CaptureStderr();
  EXPECT_TRUE(runSettingsWindow(window));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("settings dialog skipped"), std::string::npos) << said;
  EXPECT_EQ(window.settings.width, 1024u);
  EXPECT_EQ(window.settings.height, 768u);
  EXPECT_FALSE(window.settings.fullscreen);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), videoBefore);
}

TEST(SettingsWindow, OpensWithItsControlsInPlaceAndStartReady) {
  SKIP_WITHOUT_DISPLAY();
  DisplaySettings settings = startingSettings();
  bool drove = false;
  const bool accepted = runSettingsDialog(settings, kModes, [&](Controls& c) {
    drove = true;
    EXPECT_EQ(c.title(), "zun");
    EXPECT_EQ(c.lines(), displayModeLines(kModes));
    EXPECT_EQ(c.lines().at(2), "720x480  [6:4] 60hz");
    EXPECT_EQ(c.selectedLine(), 0);
    EXPECT_TRUE(c.fullscreenTicked());
    EXPECT_EQ(c.focusedControl(), "start");
    EXPECT_EQ(c.defaultControl(), "start");
    EXPECT_EQ(c.controlText("start"), "start");
    EXPECT_EQ(c.controlText("quit"), "quit");
    EXPECT_EQ(c.controlText("fullscreen"), "fullscreen");
    EXPECT_EQ(c.controlText("fullScreenSelection"), "fullScreenSelection");
    const struct {
      const char* control;
      Rect rect;
    } places[] = {
        {"start", {0, 0, 50, 20}},
        {"quit", {0, 20, 50, 20}},
        {"fullScreenSelection", {52, 22, 10, 10}},
        {"fullscreen", {62, 18, 130, 20}},
        {"tuvak", {0, 40, 194, 200}},
    };
    for (const auto& p : places) {
      const Rect r = c.controlRect(p.control);
      EXPECT_EQ(r, p.rect) << p.control;
    }
    const Rect frame = c.frameRect();
    EXPECT_EQ(frame.x, 100);
    EXPECT_EQ(frame.y, 100);
    const Rect content = c.contentRect();
    EXPECT_EQ(content.width, 200);
    EXPECT_EQ(content.height, 380);
    if (const char* path = std::getenv("VELM_SETTINGS_SCREENSHOT")) {
      EXPECT_TRUE(c.saveScreenshot(std::string(path) + ".table.png"));
    }
    c.requestClose();
  });
  EXPECT_TRUE(drove);
  EXPECT_FALSE(accepted);
  EXPECT_TRUE(settingsDialogGone());
}

TEST(SettingsWindow, EveryWayOutGivesItsOutcome) {
  SKIP_WITHOUT_DISPLAY();
  struct Case {
    const char* name;
    std::vector<DisplayMode> modes;
    std::function<void(Controls&)> act;
    bool accepted;
    uint32_t width, height;
    bool fullscreen;
  };
  const Case cases[] = {
      {"start untouched: first line, fullscreen", kModes, [](Controls& c) { c.click("start"); }, true, 1920, 1080,
       true},
      {"Return presses start", kModes, [](Controls& c) { c.pressKey(Controls::Key::Return); }, true, 1920, 1080, true},
      {"box cleared, 720x480 chosen: windowed at its size", kModes,
       [](Controls& c) {
         c.selectLine(2);
         c.clickFullscreen();
         c.click("start");
       },
       true, 720, 480, false},
      {"no selection keeps the size", kModes,
       [](Controls& c) {
         c.selectLine(-1);
         c.click("start");
       },
       true, 1024, 768, true},
      {"no mode listed keeps the size", {}, [](Controls& c) { c.click("start"); }, true, 1024, 768, true},
      {"quit", kModes, [](Controls& c) { c.click("quit"); }, false, 1024, 768, false},
      {"Return with quit focused", kModes,
       [](Controls& c) {
         c.focus("quit");
         c.pressKey(Controls::Key::Return);
       },
       false, 1024, 768, false},
      {"Escape", kModes, [](Controls& c) { c.pressKey(Controls::Key::Escape); }, false, 1024, 768, false},
      {"closing the window", kModes, [](Controls& c) { c.requestClose(); }, false, 1024, 768, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    DisplaySettings settings = startingSettings();
    settings.bitsPerPixel = 16;
    EXPECT_EQ(runSettingsDialog(settings, k.modes, k.act), k.accepted);
    EXPECT_EQ(settings.width, k.width);
    EXPECT_EQ(settings.height, k.height);
    EXPECT_EQ(settings.fullscreen, k.fullscreen);
    EXPECT_EQ(settings.bitsPerPixel, 16u);
    EXPECT_EQ(settings.title, "velm 08");
    EXPECT_EQ(settings.aspect, 1.7777778f);
    EXPECT_TRUE(settingsDialogGone());
  }
}

// The entry's own call: the modes of display 0 as SDL lists them.
// With VELM_SETTINGS_SCREENSHOT=<file.png> this test and the layout test
// save pictures of the screen (the layout test's gets ".table.png" added).
TEST(SettingsWindow, ListsTheModesOfDisplayZeroAndReleasesVideo) {
  SKIP_WITHOUT_DISPLAY();
  const std::vector<DisplayMode> modes = listDisplayModes();
  if (modes.empty()) GTEST_SKIP() << "SDL lists no display mode here";
  const Uint32 videoBefore = SDL_WasInit(SDL_INIT_VIDEO);
  RenderWindow window;
  const bool accepted = runSettingsWindow(window, [&](Controls& c) {
    EXPECT_EQ(c.lines(), displayModeLines(modes));
    if (const char* path = std::getenv("VELM_SETTINGS_SCREENSHOT")) {
      EXPECT_TRUE(c.saveScreenshot(path)) << path;
    }
    c.click("start");
  });
  EXPECT_TRUE(accepted);
  EXPECT_EQ(window.settings.width, modes[0].width);
  EXPECT_EQ(window.settings.height, modes[0].height);
  EXPECT_TRUE(window.settings.fullscreen);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), videoBefore);
  EXPECT_TRUE(settingsDialogGone());
}

}  // namespace
}  // namespace velm
