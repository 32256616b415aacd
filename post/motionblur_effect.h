// Motion blur: one full-screen pass of "MappedBlur.fxo" that smears a colour
// picture along a per-pixel map (a scene's velocity target, mid-grey meaning
// no motion), kept apart at depth edges by the scene's depth target. Built,
// rendered and destroyed inside one frame; its three pictures are borrowed
// and must outlive its render.
#pragma once

#include "engine/effects.h"
#include "post/buffer_renderable.h"

namespace velm {

class RenderTarget;

class MotionblurEffect final : public BufferRenderable {
 public:
  MotionblurEffect(RenderTarget* source, RenderTarget* blurMap, RenderTarget* depth, float radius);

  // The pass: "radius", "depthTex", "blurMap", "tex", in that order after
  // "worldViewProjection". The time is not used.
  void draw(float time) override;

  RenderTarget* source;   // "tex": the picture blurred
  RenderTarget* blurMap;  // "blurMap": the per-pixel blur map
  RenderTarget* depth;    // "depthTex": the scene's view-space depth
  float radius;           // "radius": blur length in texture units for a full-scale map
  TShader shader;         // "MappedBlur.fxo", technique "MappedBlur"
};

}  // namespace velm
