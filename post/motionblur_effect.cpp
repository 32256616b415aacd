#include "post/motionblur_effect.h"

#include "engine/data_files.h"
#include "engine/surfaces.h"

namespace velm {

MotionblurEffect::MotionblurEffect(RenderTarget* sourceTarget, RenderTarget* blurMapTarget, RenderTarget* depthTarget,
                                   float blurRadius)
    : source(sourceTarget),
      blurMap(blurMapTarget),
      depth(depthTarget),
      radius(blurRadius),
      shader(dataFileName("MappedBlur.fxo"), "MappedBlur") {}

void MotionblurEffect::draw(float) {
  fullScreenEffectPass(shader, [this] {
    setFloat(shader, "radius", radius);
    setTexture(shader, "depthTex", depth);
    setTexture(shader, "blurMap", blurMap);
    setTexture(shader, "tex", source);
  });
}

}  // namespace velm
