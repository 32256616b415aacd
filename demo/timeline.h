// The timeline: which scene owns each stretch of the music, and which caption
// line shows. The frame loop calls timelineTick a whole number of times per
// frame (one per 50 ms of accumulated wall time) and timelineRender once per
// frame, all with the music time in seconds. Scenes read the published values.
#pragma once

namespace velm {

void timelineTick(float t);
void timelineRender(float t);

// Published for the scenes and the caption overlay.
extern float renderTime;       // the t of the current frame
extern bool workshopIntense;   // the workshop's loud sections
extern float harmoniumPhase;   // 0 at 128.5 s, about 2.617 at 155 s

// Shown before the scene's frame: a line of the caption table in style 0 or 1.
void drawCaption(int line, int style);

// The caption line and style the timeline shows at music time t; line -1: none.
struct CaptionChoice {
  int line;
  int style;
};
CaptionChoice captionAt(float t);

}  // namespace velm
