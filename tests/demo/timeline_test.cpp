#include <gtest/gtest.h>

#include "demo/timeline.h"

namespace velm {
namespace {

TEST(Timeline, CaptionLineAndStyleAtTheBoundaries) {
  const struct {
    float t;
    int line, style;
  } cases[] = {
      {0.0f, -1, 0},    {42.0f, -1, 0},   {42.001f, 0, 0},  {48.0f, 0, 0},    {48.001f, 1, 0},
      {52.0f, 2, 1},    {55.999f, 2, 1},  {56.0f, 3, 1},    {128.49f, 21, 1}, {128.5f, -1, 0},
      {154.99f, -1, 0}, {155.0f, 24, 1},  {158.99f, 24, 1}, {159.0f, 25, 1},  {217.0f, 39, 1},
  };
  for (const auto& c : cases) {
    const CaptionChoice choice = captionAt(c.t);
    EXPECT_EQ(choice.line, c.line) << "t = " << c.t;
    if (c.line >= 0) {
      EXPECT_EQ(choice.style, c.style) << "t = " << c.t;
    }
  }
}

TEST(Timeline, TicksPublishTheWorkshopSectionsAndTheHarmoniumPhase) {
  const struct {
    float t;
    bool intense;
  } cases[] = {{52.0f, false},  {76.49f, false}, {76.5f, true},  {102.49f, true},
               {102.5f, false}, {113.99f, false}, {114.0f, true}, {128.49f, true}};
  for (const auto& c : cases) {
    timelineTick(c.t);
    EXPECT_EQ(workshopIntense, c.intense) << "t = " << c.t;
  }
  timelineTick(128.5f);
  EXPECT_EQ(harmoniumPhase, 0.0f);
  timelineTick(154.999f);
  EXPECT_NEAR(harmoniumPhase, 2.617f, 0.001f);
  timelineRender(77.25f);
  EXPECT_EQ(renderTime, 77.25f);
}

}  // namespace
}  // namespace velm
