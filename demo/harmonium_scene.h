// The harmonium scene's insides, for the scene file and its tests: the objects
// the set-up builds, the state its tick and frame carry, and the steps of the
// frame as separate functions. The three entry points in demo/scenes.h are
// what the loader and the timeline call; nothing else should drive these.
// The layout is random but fixed: the frame reseeds the generator before it
// places anything, so every motion comes from the time and the pulse.
#pragma once

#include <array>
#include <string>

#include "engine/math3d.h"

namespace Ef2 {
class SPSystem;
}
class SavuParticleSpawner;

namespace velm {

class DummyNode;
class INode;
class MeshInstance;
class NodePointlight;
class PerspectiveCamera;
class Scene;

namespace harmonium {

inline constexpr int kLoloCount = 20;
inline constexpr int kPipeCount = 16;
inline constexpr int kChainCount = 6;
inline constexpr int kLinksPerChain = 13;
inline constexpr int kCaptionCount = 4;
inline constexpr uint32_t kLayoutSeed = 8383;
inline constexpr int kSmokeCapacity = 150000;

// The caption lines, in the order they are shown; the fourth is never reached.
inline constexpr std::array<const char*, kCaptionCount> kCaptionTexts = {
    "exhibitions of art and machines", "workshops and presentations", "parties and competitions",
    "special guests and events"};

struct Objects {
  Scene* harmoniumScene = nullptr;
  PerspectiveCamera* harmoniumCamera = nullptr;
  std::array<DummyNode*, kCaptionCount> captionNodes{};
  INode* harmoniumModel = nullptr;           // the imported harmonium, scaled by 14
  MeshInstance* strings = nullptr;  // "langat"
  MeshInstance* ball = nullptr;     // "pallo"
  Ef2::SPSystem* smoke = nullptr;
  DummyNode* structureRoot = nullptr;
  std::array<DummyNode*, kLoloCount> loloCarriers{};
  std::array<DummyNode*, kPipeCount> pipeCarriers{};
  std::array<SavuParticleSpawner*, kPipeCount> spawners{};
  std::array<DummyNode*, kChainCount> chains{};       // the chain heads
  std::array<DummyNode*, kChainCount> chainStarts{};  // link 0 of each chain
  NodePointlight* light1 = nullptr;  // rides with the camera
  NodePointlight* light2 = nullptr;

  // Carried from call to call.
  bool ticked = false;  // lastTickTime holds a tick's time
  float lastTickTime = 0.0f;
  float pulse = 0.0f;
  int strobe = 0;
};

// The scene's objects and state; empty until setupHarmoniumScene().
Objects& objects();

// Sum over the 25 lowest bands of (25 - k) x band k; 0 without a spectrum.
float bassSum(const float* bands);
// The pulse after one tick: a bass hit (bass >= 30) adds 0.5; then the pulse
// relaxes by 1.2 while above 0.5 and is held at 0.5 otherwise.
float nextPulse(float pulse, float bass);
// Where the camera stands at time t for a strobe of 0 (far) or 1 (near).
Vector3 orbitPosition(float t, int strobe);
// One draw of the layout: (randomInt() mod 20000) / 10000, in [0, 2).
float layoutDraw();

// Frame steps, in the order the frame runs them.
// Flips the strobe on a loud frame (bass > 20) and returns the camera's place.
Vector3 orbitCamera(float t, float bass);
void lightScene();
void placeLens(float t, float aspect);  // the ball and the strings
void placeStructure(float t);           // reseeds, then carriers, pipes and chains
void showCaption(float phase);          // the caption switch and the overlay camera
// Bends a chain from `start` (link index 0): each link turns by up to `pulse`.
void animateChain(INode* start, float r, float x, float pulse);

}  // namespace harmonium
}  // namespace velm
