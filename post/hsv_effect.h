// Colour adjustment: one full-screen pass of "data/HSVEffect.fxo" that turns
// the hue of another renderable's picture by `hue` degrees and scales its
// saturation and value. The source renderable is borrowed; its output is
// fetched when this effect draws, so the caller renders the source first.
#pragma once

#include "engine/effects.h"
#include "post/buffer_renderable.h"

namespace velm {

// `hue` brought into (-360, 360): the whole turns, counted as hue times the
// single-precision 1/360 truncated toward zero, are taken off.
float wrapHue(float hue);

class HSVEffect final : public BufferRenderable {
 public:
  HSVEffect(IRenderable* sourceRenderable, float hue, float saturation, float value);

  // The pass: "tex" (the source's current output, null while it has none),
  // "hue" (wrapped, and the wrapped value kept in `hue`), "saturation",
  // "value", in that order after "worldViewProjection". The time is not used.
  void draw(float time) override;

  IRenderable* sourceRenderable;  // not owned
  float hue;                      // degrees
  float saturation;               // 1 keeps the saturation, 0 gives grey
  float value;                    // 1 keeps the brightness, above 1 brightens
  TShader shader;                 // "data/HSVEffect.fxo", technique "HSVEffect"
};

}  // namespace velm
