// Numbered reports of internal inconsistencies: a "Velm error" message box
// with the text "Unexpected fatal error(#N).". It never stops the program;
// each caller decides how to carry on.
#pragma once

namespace velm {

// The text of the last report (the formatted message), kept program-wide.
extern char fatalErrorText[64];

void fatalError(int number);

}  // namespace velm
