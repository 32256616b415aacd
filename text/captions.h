// The caption overlay: one line of 3D script text laid over the town,
// workshop and chain scenes. A small scene of its own (a text node per line
// of the caption table, one point light, one camera) is built once while
// loading; each frame shows exactly the requested line, moves the camera with
// the bass (a new random viewpoint on a beat), jitters the light, and puts the
// picture through motion blur and an HSV boost before blending it onto the
// back buffer. It keeps no per-scene state and is never torn down.
#pragma once

#include "engine/math3d.h"

namespace velm {

class DummyNode;
class GlyphFont;
class NodePointlight;
class PerspectiveCamera;
class Scene;
struct Material;

inline constexpr int kCaptionLineCount = 104;

// The caption table. The timeline shows lines 0-1 (town), 2-21 (workshop)
// and 24-39 (chain), about four seconds each; the others are built but never
// shown. At most 55 characters each, from the glyph set and spaces.
extern const char* const captionLines[kCaptionLineCount];

// Made by setupCaptions and never destroyed.
extern Scene* captionScene;
extern PerspectiveCamera* captionCamera;
extern NodePointlight* captionLight;
extern DummyNode* captionLineNodes[kCaptionLineCount];

// The viewpoint, kept from call to call: the camera's base position, the
// point it looks at and its roll (initially (0, 50, 100), the origin and 0).
extern Vector3 captionEye;
extern Vector3 captionLookAt;
extern float captionRoll;

// Builds the overlay with the shared assets' script font and caption
// material (demo/shared_assets.h). The loader's last set-up.
void setupCaptions();
// The same with a given font (created) and glyph material (or null): every
// line becomes a text node with advance (32, 0, 0), flattened to 1/100 of its
// depth and moved left by 17.5 x its measured width.
void setupCaptions(GlyphFont& font, const Material* material);

// Draws caption `line` (above 103 means 103) in `style` 0 (town: added onto
// the picture) or 1 (workshop and chain: blended by its colour) onto the
// back buffer, at the timeline's renderTime and with the current spectrum.
// Nothing happens before setupCaptions.
void drawCaption(int line, int style);

}  // namespace velm
