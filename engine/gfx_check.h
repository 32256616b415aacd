// One place for the engine's rule on failing device and effect calls: the
// result code is looked up in the error-string table, the text is dropped and
// work goes on. It never stops the program and never reports to the user.
#pragma once

#include "platform/gfx/types.h"

namespace velm {

// True when `result` is a success; a failure has its text looked up (and
// discarded) first, so callers write `if (!checked(device->...))` or ignore it.
inline bool checked(gfx::Result result) {
  if (gfx::succeeded(result)) return true;
  (void)gfx::resultText(result);
  return false;
}

}  // namespace velm
