// The workshop scene (music 52 to 128.5 s). Not built yet: its entry points
// exist so the timeline can dispatch to them, and they show nothing.
#include "demo/scenes.h"

namespace velm {

void setupWorkshopScene() {}
void tickWorkshopScene(float) {}
void renderWorkshopScene(float) {}
void teardownWorkshopScene() {}

}  // namespace velm
