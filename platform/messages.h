// User-facing messages and the program-wide quit request. A message box is
// always written to standard error as "title: text"; with a display it is
// also shown as a (blocking) dialog. Tests install a hook instead.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Shows a message box with an OK button and no owner window. Titles the
// program uses: "error", "warning" and "Velm error".
void showMessageBox(const std::string& title, const std::string& text);

enum class MessageBoxMode {
  StderrOnly,  // headless programs (capture) and tests: never block on a dialog
  Dialog,      // the production with a display: also show a dialog
};
void setMessageBoxMode(MessageBoxMode mode);

// Replaces the output of showMessageBox (null restores it); tests record with it.
using MessageBoxHook = std::function<void(const std::string& title, const std::string& text)>;
void setMessageBoxHook(MessageBoxHook hook);

// Asks the program to end: the frame loop sees it at its next message drain.
void postQuitMessage();
// True once after postQuitMessage; clears the request.
bool takeQuitMessage();

}  // namespace platform
