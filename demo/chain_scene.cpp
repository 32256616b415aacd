// The chain scene (music 155 s to the end). Not built yet: its entry points
// exist so the timeline can dispatch to them, and they show nothing.
#include "demo/scenes.h"

namespace velm {

void setupChainScene() {}
void tickChainScene(float, float) {}
void renderChainScene(float) {}

}  // namespace velm
