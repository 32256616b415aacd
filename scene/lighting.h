// Light sources of a scene: the lighting block every scene carries (ambient,
// diffuse and specular tints, the optional directional light, the velocity
// gain) and the point-light node. Lights draw nothing; the solid-object draw
// reads them from the scene each frame.
#pragma once

#include "engine/math3d.h"
#include "scene/node.h"

namespace velm {

struct SceneLighting {
  bool directionalEnabled = false;
  Vector3 direction{1, 1, 0};
  Colour directionalColour{1, 1, 1, 1};
  float directionalIntensity = 1.0f;
  Colour ambient{1, 1, 1, 1};
  Colour diffuse{1, 1, 1, 1};
  Colour specular{1, 1, 1, 1};
  float velocityScale = 1.0f;  // gain of the motion written to the velocity target
};

// A point light placed by the translation of its local transform.
class NodePointlight final : public INode {
 public:
  NodePointlight(float x, float y, float z, float intensity, float power, float range, float r, float g,
                 float b, float a);
  ~NodePointlight() = default;

  Colour colour;
  float intensity;
  float power;  // the exponent of the distance falloff
  float range;  // kept, read by nothing
};

}  // namespace velm
