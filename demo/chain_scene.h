// The chain scene's insides: twenty hanging chains of particles joined by
// links, stepped with position (Verlet) integration at 60 steps per second
// of music time, the rounded room they hang in, the statue, the two lights
// and the camera that pushes the chains away from itself. The entry points
// the loader and the timeline call are in scenes.h; this header exposes the
// state and the pieces of the simulation so they can be exercised alone.
// Everything here is built once and never freed.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/math3d.h"

namespace velm {

class DummyNode;
class INode;
class Mesh;
class MeshInstance;
class NodePointlight;
class PerspectiveCamera;
class Scene;

struct ChainParticle {
  Vector3 position;
  bool pinned = false;  // a chain's head: the step never moves it, only the tick
  Vector3 drift;        // added to the velocity every step
  Vector3 previous;     // the position before the last step
};

struct ChainLink {
  float restLength = 0.0f;
  uint32_t first = 0;   // particle indexes
  uint32_t second = 0;
  DummyNode* node = nullptr;  // shows the link; the scene graph holds it
};

constexpr int kChainCount = 20;
constexpr int kChainLength = 20;          // particles per chain; 19 links join them
constexpr float kChainBound = 100.0f;     // every coordinate stays in [-100, 100]
constexpr float kChainStep = 1.0f / 60.0f;

extern std::vector<ChainParticle> chainParticles;  // chain k owns 20k .. 20k + 19, 20k its head
extern std::vector<ChainLink> chainLinks;          // chain k owns 19k .. 19k + 18
extern Vector3 repeller;                           // the camera position of the previous frame
extern float chainTickTime;                        // seconds of ticks so far
extern float chainStepTime;                        // time of the last step, once stepping started
extern bool chainStepping;                         // false until the first frame

extern Scene* chainScene;
extern PerspectiveCamera* chainCamera;
extern INode* chainModel;  // the chain-link model, shared by every link node
extern DummyNode* linkRoot;
extern MeshInstance* roomInstance;
extern Mesh* roomMesh;
extern INode* statueModel;
extern NodePointlight* cameraLight;
extern NodePointlight* headLight;

// Appends one straight chain: particle i at base + i x direction, the first
// pinned, and one link node per pair of neighbours (each holding `model`)
// added to `parent`.
void buildChain(Vector3 base, Vector3 direction, INode* parent, INode* model);

// One 1/60 s step: integration with drift and the repeller's push, the clamp,
// the link corrections in list order, then every link node placed and turned.
void stepChains();

// Places every link node between its two particles, its y axis along the
// link, every second link turned a quarter turn about that axis.
void orientChainLinks();

// Gives `mesh` the room: a box of half-size 130 seen from inside, made round
// by two linear and one smoothing subdivision pass, with both texture pairs.
void buildChainRoom(Mesh& mesh);

// The look-at point: the particles' centroid weighted by 1 / distance² from
// `from`. A particle exactly at `from` is the look-at point itself.
Vector3 chainLookAt(Vector3 from);

// The camera's (and repeller's) closed path at music time t.
Vector3 chainCameraPath(float t);

// The level that drives the post chain: half the sum of the upper 32 bands
// of `bands` (64 floats; null reads as silence).
float chainSpectrumLevel(const float* bands);

// The mapped distortion's strength at music time t for spectrum level s.
float chainDistortionFactor(float t, float s);

}  // namespace velm
