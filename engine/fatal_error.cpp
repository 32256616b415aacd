#include "engine/fatal_error.h"

#include <cstdio>

#include "platform/messages.h"

namespace velm {

char fatalErrorText[64] = {};

void fatalError(int number) {
  std::snprintf(fatalErrorText, sizeof fatalErrorText, "Unexpected fatal error(#%d).", number);
  platform::showMessageBox("Velm error", fatalErrorText);
}

}  // namespace velm
