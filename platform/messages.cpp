#include "platform/messages.h"

#include <SDL.h>

#include <cstdio>

namespace platform {
namespace {

MessageBoxMode mode = MessageBoxMode::StderrOnly;
MessageBoxHook hook;
bool quitPosted = false;

}  // namespace

void showMessageBox(const std::string& title, const std::string& text) {
  if (hook) {
    hook(title, text);
    return;
  }
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
  if (mode == MessageBoxMode::Dialog) {
    const Uint32 kind = title == "warning" ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_ERROR;
    SDL_ShowSimpleMessageBox(kind, title.c_str(), text.c_str(), nullptr);
  }
}

void setMessageBoxMode(MessageBoxMode m) { mode = m; }
void setMessageBoxHook(MessageBoxHook h) { hook = std::move(h); }

void postQuitMessage() { quitPosted = true; }

bool takeQuitMessage() {
  const bool posted = quitPosted;
  quitPosted = false;
  return posted;
}

}  // namespace platform
