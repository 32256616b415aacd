// Mapped distortion: one full-screen pass of "MappedDistortion.fxo" that
// moves a picture by a per-pixel map (mid-grey meaning none) times `factor`,
// over `timedelta`. The picture and the map are borrowed and may be the same
// target.
#pragma once

#include "engine/effects.h"
#include "post/buffer_renderable.h"

namespace velm {

class RenderTarget;

class MappedDistortionEffect final : public BufferRenderable {
 public:
  MappedDistortionEffect(RenderTarget* source, RenderTarget* distortionMap, float factor, float timedelta);

  // The pass: "factor", "timedelta", "distortionMap", "tex", in that order
  // after "worldViewProjection". The time is not used.
  void draw(float time) override;

  RenderTarget* source;         // "tex": the picture moved
  RenderTarget* distortionMap;  // "distortionMap"
  float factor;                 // "factor": strength and sign of the move
  TShader shader;               // "MappedDistortion.fxo", technique "MappedDistortion"
  float timedelta;              // "timedelta": the move is factor / timedelta
};

}  // namespace velm
