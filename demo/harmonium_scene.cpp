// The harmonium scene (music 128.5 to 155 s). Not built yet: its entry points
// exist so the timeline can dispatch to them, and they show nothing.
#include "demo/scenes.h"

namespace velm {

void setupHarmoniumScene() {}
void tickHarmoniumScene(float) {}
void renderHarmoniumScene(float) {}

}  // namespace velm
