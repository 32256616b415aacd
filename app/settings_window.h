// The settings dialog shown before anything else is created: a small GTK
// window "zun" with "start", "quit", the "fullscreen" box and the list of
// display modes ("tuvak"). It writes the chosen mode into the display
// settings; it opens no render window and starts nothing else.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/display_modes.h"

namespace velm {

class RenderWindow;
class SettingsDialogControls;
struct DisplaySettings;

// Shows the dialog with the modes of display 0 and runs it until it is gone.
// "start" (or Return) writes width, height and fullscreen into
// `window.settings` and returns true; "quit", Escape and closing the window
// return false and change nothing. The dialog is destroyed, GTK's pending
// events are drained and SDL video is shut down again before it returns.
// Without a display the dialog is skipped (a line on standard error) and the
// result is true with the settings unchanged. `drive` is for tests and tools
// (see runSettingsDialog); the production passes none.
bool runSettingsWindow(RenderWindow& window, const std::function<void(SettingsDialogControls&)>& drive = {});

// True when GTK can open a display, so the dialog can be shown.
bool settingsDialogCanOpen();

// True when no GTK window is left and no GTK event is pending: nothing of
// the dialog stays on screen once the production's window opens.
bool settingsDialogGone();

// The dialog as a user sees it, for tests and tools that drive the real
// dialog. Controls are named "start", "quit", "fullScreenSelection" (the
// check box), "fullscreen" (its label) and "tuvak" (the mode list).
// Once the dialog is gone every action does nothing.
class SettingsDialogControls {
 public:
  struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
  };
  enum class Key { Return, Escape };

  virtual ~SettingsDialogControls() = default;

  virtual bool isOpen() const = 0;
  virtual std::string title() const = 0;
  virtual std::vector<std::string> lines() const = 0;
  virtual int selectedLine() const = 0;  // -1 when nothing is selected
  virtual bool fullscreenTicked() const = 0;
  virtual std::string focusedControl() const = 0;  // "" when none
  virtual std::string defaultControl() const = 0;
  virtual std::string controlText(const std::string& control) const = 0;
  // A control's place in the window's content area.
  virtual Rect controlRect(const std::string& control) const = 0;
  // The outer frame on the screen, and the size of the content area.
  virtual Rect frameRect() const = 0;
  virtual Rect contentRect() const = 0;

  virtual void selectLine(int index) = 0;  // -1 clears the selection
  virtual void clickFullscreen() = 0;
  virtual void click(const std::string& control) = 0;  // "start" or "quit"
  virtual void focus(const std::string& control) = 0;
  // Key and close requests travel through GTK's event queue like a user's.
  virtual void pressKey(Key key) = 0;
  virtual void requestClose() = 0;
  // Runs GTK until the queued events are handled and the dialog is drawn.
  virtual void settle() = 0;
  // Saves the screen area from (0, 0) to the dialog's bottom-right corner
  // (plus a margin) as a PNG; false on failure.
  virtual bool saveScreenshot(const std::string& path) = 0;
};

// The dialog with the given modes, writing into `settings`. `drive`, when
// set, is called once the dialog is on screen and drawn; GTK then runs until
// the dialog is gone. Returns as runSettingsWindow does (true without a
// display, settings unchanged).
bool runSettingsDialog(DisplaySettings& settings, const std::vector<DisplayMode>& modes,
                       const std::function<void(SettingsDialogControls&)>& drive = {});

}  // namespace velm
