#include "text/captions.h"

#include <cmath>
#include <string>

#include "app/music_spectrum.h"
#include "demo/timeline.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "post/hsv_effect.h"
#include "post/motionblur_effect.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "text/glyph_font.h"

namespace velm {

Scene* captionScene = nullptr;
PerspectiveCamera* captionCamera = nullptr;
NodePointlight* captionLight = nullptr;
DummyNode* captionLineNodes[kCaptionLineCount] = {};

Vector3 captionEye{0.0f, 50.0f, 100.0f};
Vector3 captionLookAt{0.0f, 0.0f, 0.0f};
float captionRoll = 0.0f;

namespace {

GlyphFont* captionFont = nullptr;  // the font the lines were made with, for their widths

// A fresh signed unit value from the shared generator, worked out in double
// precision: (rand() mod 20000) / 10000 - 1, in [-1, 1).
float signedRandom() { return static_cast<float>(static_cast<double>(randomInt() % 20000) / 10000.0 - 1.0); }

// The bass level: bands 0 to 24 added in order.
float bassLevel() {
  float level = 0.0f;
  if (spectrum)
    for (int k = 0; k <= 24; ++k) level += spectrum[k];
  return level;
}

}  // namespace

void setupCaptions(GlyphFont& font, const Material* material) {
  captionFont = &font;
  captionScene = new Scene();
  captionCamera = new PerspectiveCamera(2.0f, 1.0f, 5000.0f);
  captionLight = new NodePointlight(0.0f, 0.0f, 0.0f, 100000.0f, 2.0f, 1000.0f, 1.0f, 1.0f, 1.0f, 1.0f);

  for (int i = 0; i < kCaptionLineCount; ++i) {
    DummyNode* node = createTextNode(font, captionLines[i], {32.0f, 0.0f, 0.0f}, material);
    const float w = textWidth(captionLines[i], font);
    // Flattened to a hundredth of its depth, then moved left by half its
    // measured width at 35 units per width unit.
    Matrix m = Matrix::identity();
    m.m[2][2] = 0.01f;
    m.m[3][0] = w * 0.5f * -35.0f;
    node->transform = m;
    captionLineNodes[i] = node;
    captionScene->graph->root.addChild(node);
    captionScene->registerLights(node);
  }

  captionScene->graph->velocityTarget = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  captionScene->lighting.velocityScale = 0.1f;
  captionScene->graph->camera = captionCamera;

  captionScene->graph->root.addChild(captionLight);
  captionScene->registerLights(captionLight);
}

void drawCaption(int line, int style) {
  if (!captionScene || !captionFont) return;
  const float time = renderTime;
  const float bass = bassLevel();

  captionScene->lighting.ambient = {100.0f, 100.0f, 100.0f, 100.0f};
  captionScene->lighting.diffuse = {0.87f, 0.6f, 0.39f, 1.0f};

  if (line > kCaptionLineCount - 1) line = kCaptionLineCount - 1;
  if (line < 0) line = 0;

  // Show every glyph of the requested line and hide all others. The walk of
  // a line stops at its first child that is not a glyph instance.
  for (int i = 0; i < kCaptionLineCount; ++i) {
    DummyNode* node = captionLineNodes[i];
    node->firstChild();
    while (INode* child = node->nextChild()) {
      auto* glyph = dynamic_cast<MeshInstance*>(child);
      if (!glyph) break;
      glyph->visible = i == line;
    }
  }

  const float halfWidth = textWidth(captionLines[line], *captionFont) * 0.5f * 35.0f;

  // A beat: a new viewpoint somewhere along the line, in front of it.
  const bool workshopStyle = style == 1;
  if (bass > (workshopStyle ? 1.5f : 0.75f)) {
    const float x = signedRandom() * halfWidth;
    const float b = std::fabs(signedRandom());
    captionEye = {x, 0.0f, (b + 0.5f) * -150.0f};
    captionLookAt = {x, 0.0f, 0.0f};
    captionRoll = workshopStyle ? signedRandom() * 0.2f : 0.0f;
  }
  captionCamera->roll = captionRoll;

  // The light jitters on every call.
  const float lx = signedRandom() * halfWidth;
  const float ly = signedRandom() * 100.0f;
  const float lz = signedRandom() * 100.0f;
  captionLight->transform = translationMatrix(lx, ly, lz);

  // Louder bass pulls the camera back along its line of sight.
  const float pull = bass * 0.2f;
  captionCamera->position = captionEye + pull * (captionEye - captionLookAt);
  captionCamera->target = captionLookAt;
  captionCamera->up = {0.0f, 1.0f, 0.0f};

  captionScene->render(time);
  MotionblurEffect blur(captionScene->output(), captionScene->velocityTarget(), captionScene->depthTarget(), 0.4f);
  blur.render(time);
  HSVEffect hsv(&blur, 0.0f, 5.0f, 5.0f);
  hsv.render(time);
  if (workshopStyle)
    drawScreenQuad(hsv.output(), 1.0f, 0.0f, gfx::Blend::InvSrcAlpha, gfx::Blend::SrcColor);
  else
    drawScreenQuad(hsv.output(), 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
}

}  // namespace velm
