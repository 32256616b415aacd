#include "demo/timeline.h"

#include "demo/scenes.h"

namespace velm {

float renderTime = 0.0f;
bool workshopIntense = false;
float harmoniumPhase = 0.0f;

namespace {

// Scene boundaries in seconds of music; each stretch includes its start.
constexpr float kWorkshopStart = 52.0f;
constexpr float kHarmoniumStart = 128.5f;
constexpr float kChainStart = 155.0f;
constexpr float kTickLength = 0.05f;

// One caption line every four seconds from `start`; double precision, truncated.
int captionLine(int first, float t, double start) {
  return first + static_cast<int>((static_cast<double>(t) - start) / 4.0);
}

}  // namespace

CaptionChoice captionAt(float t) {
  if (t < kWorkshopStart) {
    if (t > 42.0f) return {t > 48.0f ? 1 : 0, 0};
    return {-1, 0};
  }
  if (t < kHarmoniumStart) return {captionLine(2, t, 52.0), 1};
  if (t < kChainStart) return {-1, 0};
  return {captionLine(24, t, 155.0), 1};
}

void timelineTick(float t) {
  if (t < kWorkshopStart) {
    tickTownScene(kTickLength, t);
  } else if (t < kHarmoniumStart) {
    workshopIntense = (t >= 76.5f && t < 102.5f) || t >= 114.0f;
    tickWorkshopScene(t);
  } else if (t < kChainStart) {
    const float sinceStart = t - 128.5f;  // rounded to a float before scaling
    harmoniumPhase = static_cast<float>(static_cast<double>(sinceStart) * 4.0 / 40.5);
    tickHarmoniumScene(t);
  } else {
    tickChainScene(kTickLength, t);
  }
}

void timelineRender(float t) {
  renderTime = t;
  // The caption is drawn first; the scene's frame is blended over it.
  if (const CaptionChoice caption = captionAt(t); caption.line >= 0) drawCaption(caption.line, caption.style);
  if (t < kWorkshopStart) renderTownScene(t);
  else if (t < kHarmoniumStart) renderWorkshopScene(t);
  else if (t < kChainStart) renderHarmoniumScene(t);
  else renderChainScene(t);
}

}  // namespace velm
