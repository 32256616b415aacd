// The workshop scene's state (music 52 to 128.5 s): seven arms of four
// blocks on joints, all sharing one joint chain, above a room; random small
// turns of the joints spread over eleven ticks, a rig that keeps its lowest
// joint at one height, and a camera circling the room with a light riding
// along. The entry points are in demo/scenes.h; this header exposes the
// scene's objects and the pieces of its tick for the tests. Nothing here
// draws outside the scene's frame.
#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <vector>

#include "engine/math3d.h"

namespace velm {

class DummyNode;
class INode;
class MeshInstance;
class NodePointlight;
class PerspectiveCamera;
class Scene;
class Texture;

namespace workshop {

// The name every joint and arm root carries; the joint collection and the
// height walk look for it.
inline constexpr const char* kJointName = "kilinvittu";
// Where the lowest joint frame of the arm is held after every tick.
inline constexpr float kRestHeight = -8.0f;

// A small turn of one joint, applied once per tick while ticksLeft counts
// down through 0 (eleven ticks for ticksLeft 10).
struct Jolt {
  INode* joint = nullptr;
  float angleX = 0.0f;  // radians per tick
  float angleY = 0.0f;
  float angleZ = 0.0f;
  int32_t ticksLeft = 0;
};

struct ArmRig {
  float lowestY = 0.0f;
  INode* root = nullptr;            // the first arm's root
  std::list<Jolt*> jolts;           // creation order; owned
  std::vector<INode*> joints;       // what a turn may pick: armBase, joint1..3, armTip
};

extern ArmRig armRig;

extern Scene* workshopScene;               // null before the set-up and after the teardown
extern PerspectiveCamera* workshopCamera;
extern NodePointlight* workshopLight;
extern INode* workshopModel;               // "data/talo.x"
extern INode* blockModel;                  // "data/block1.x", under every joint but the tip
extern DummyNode* armBase;
extern DummyNode* joint1;
extern DummyNode* joint2;
extern DummyNode* joint3;
extern DummyNode* armTip;
extern DummyNode* armRoots[7];
extern MeshInstance* chamferCylinder;      // the room's "ChamferCyl01", null if the room lacks it
extern Texture* chamferTextures[2];        // its imported texture, then "data/sali2.jpg"
extern float viewAngleBase;                // 9.0 at first, then 10 or 7
extern float cameraLift;
extern std::optional<float> workshopTickTime;  // unset until the first tick

// n of the calm sections' spawning test: 10 / e truncated toward zero to a
// 32-bit integer. A quotient that does not fit (e = 0 gives infinity, a NaN
// band gives NaN) reads as the integer-indefinite value INT32_MIN, which
// shares no bit with a rand() value, so it never spawns.
int32_t spawnMask(float e);

// Puts the camera on its circle for time t, angle base and lift, and the
// light at the camera.
void placeCamera(float t, float angleBase, float lift);

// Turns every listed joint by its jolt, dropping jolts that have run out
// (after their last turn).
void applyJolts();

// The height walk from `node` with the frame `frame`: lowers armRig.lowestY
// to the lowest joint-frame height below it.
void heightWalk(INode* node, Matrix frame);

// Lifts or lowers the whole arm so that its lowest joint frame is at kRestHeight.
void restArm();

}  // namespace workshop
}  // namespace velm
