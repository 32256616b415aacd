// The town scene (music 0 to 52 s). Not built yet: its entry points exist so
// the timeline can dispatch to them, and they show nothing.
#include "demo/scenes.h"

namespace velm {

void setupTownScene() {}
void tickTownScene(float, float) {}
void renderTownScene(float) {}
void teardownTownScene() {}

}  // namespace velm
