#include "post/mapped_distortion_effect.h"

#include "engine/data_files.h"
#include "engine/surfaces.h"

namespace velm {

MappedDistortionEffect::MappedDistortionEffect(RenderTarget* sourceTarget, RenderTarget* mapTarget, float strength,
                                               float timeStep)
    : source(sourceTarget),
      distortionMap(mapTarget),
      factor(strength),
      shader(dataFileName("MappedDistortion.fxo"), "MappedDistortion"),
      timedelta(timeStep) {}

void MappedDistortionEffect::draw(float) {
  fullScreenEffectPass(shader, [this] {
    setFloat(shader, "factor", factor);
    setFloat(shader, "timedelta", timedelta);
    setTexture(shader, "distortionMap", distortionMap);
    setTexture(shader, "tex", source);
  });
}

}  // namespace velm
