// The caption overlay is not built yet: the timeline's caption call shows nothing.
#include "demo/timeline.h"

namespace velm {

void drawCaption(int, int) {}

}  // namespace velm
