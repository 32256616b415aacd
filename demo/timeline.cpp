#include "demo/timeline.h"

namespace velm {

// The scene table is not built yet: until the scenes exist the timeline shows
// nothing and the frame loop presents the cleared, letterboxed picture.
void timelineTick(float) {}
void timelineRender(float) {}

}  // namespace velm
