#include "scene/lighting.h"

namespace velm {

NodePointlight::NodePointlight(float x, float y, float z, float lightIntensity, float lightPower, float lightRange,
                               float r, float g, float b, float a)
    : colour{r, g, b, a}, intensity(lightIntensity), power(lightPower), range(lightRange) {
  transform = translationMatrix(x, y, z);
}

}  // namespace velm
