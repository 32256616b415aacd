#include "post/hsv_effect.h"

#include <cmath>

#include "engine/data_files.h"
#include "engine/surfaces.h"

namespace velm {

float wrapHue(float hue) {
  // The turn count is made in single precision (360 x 0.0027777778f rounds
  // to exactly 1), the subtraction in double.
  const float turns = std::trunc(hue * 0.0027777778f);
  return static_cast<float>(static_cast<double>(hue) - static_cast<double>(turns) * 360.0);
}

HSVEffect::HSVEffect(IRenderable* source, float hueDegrees, float saturationScale, float valueScale)
    : sourceRenderable(source),
      hue(hueDegrees),
      saturation(saturationScale),
      value(valueScale),
      shader(dataFileName("data/HSVEffect.fxo"), "HSVEffect") {}

void HSVEffect::draw(float) {
  fullScreenEffectPass(shader, [this] {
    setTexture(shader, "tex", sourceRenderable ? sourceRenderable->output() : nullptr);
    hue = wrapHue(hue);
    setFloat(shader, "hue", hue);
    setFloat(shader, "saturation", saturation);
    setFloat(shader, "value", value);
  });
}

}  // namespace velm
