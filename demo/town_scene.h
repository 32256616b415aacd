// The town scene's objects and the small formulas its tick and frame are made
// of, for the code that inspects the scene (tests, tools). The entry points
// are in demo/scenes.h. Everything here is built by setupTownScene() and lives
// until teardownTownScene(); only the particles, the scene and the two paths
// are freed then.
#pragma once

#include "engine/math3d.h"

class ParticleSystem2;

namespace velm {

class CatmullRomPath;
class DummyNode;
class INode;
class NodePointlight;
class PerspectiveCamera;
class Scene;
class Texture;
class TShader;

extern Scene* townScene;
extern PerspectiveCamera* townCamera;
extern INode* skyModel;     // "data/SkyTeaPot.x"
extern INode* ostrelModel;  // "data/ostrel2.x", holds "Text01"
extern DummyNode* yearText;  // "2008" in the block font
extern INode* mobileModel;  // "data/brisamobile2.x", holds "Dummy01", "object2", "object3"
extern INode* townModel;    // "data/town.x"
extern INode* lampsModel;   // "data/valot.x"
extern NodePointlight* townLights[2];
extern TShader* twirlShader;  // the twisting technique of "Text01", fed with the scene
extern CatmullRomPath* cameraPath;
extern CatmullRomPath* targetPath;
extern Texture* smogTexture;
extern ParticleSystem2* townParticles;

// The smog the mobile trails: capacity, particles per tick and their spread
// about "Dummy01" (each axis within +-kSmogSpread).
inline constexpr int kSmogCapacity = 4000;
inline constexpr int kSmogPerTick = 5;
inline constexpr float kSmogSpread = 2.5f;

// Size and opacity of a new smog particle for the lowest spectrum band.
struct SmogLook {
  float size;
  float opacity;
};
SmogLook smogLook(float lowBand);

// The camera for music time t: its position from the camera path (angle
// parameter, radius, height) and the look-at point, whose height follows the
// target path while it circles slowly near the axis.
struct TownCameraPose {
  Vector3 position;
  Vector3 target;
};
TownCameraPose townCameraPose(const CatmullRomPath& cameraCurve, const CatmullRomPath& targetCurve, float t);

// The twirl strength's time term: falls from 48/26 at 0 s towards 0 and holds
// 0.1 from just before 48 s on.
float twirlFalloff(float t);

// The fade-in of the HSV value: 0 at 0 s, 0.9 from 10 s on.
float townFadeValue(float t);

// The factors of the two distortions: `wave` displaces the blurred picture by
// itself, `warp` by the scene's distortion map. `bands` is the 64-band spectrum.
struct TownDistortion {
  float wave;
  float warp;
};
TownDistortion townDistortion(float t, const float* bands);

}  // namespace velm
