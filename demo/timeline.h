// The timeline: what the production shows at each music time. The frame loop
// calls timelineTick a whole number of times per frame (one per 50 ms of
// accumulated wall time) and timelineRender once per frame, both with the
// music time in seconds.
#pragma once

namespace velm {

void timelineTick(float t);
void timelineRender(float t);

}  // namespace velm
