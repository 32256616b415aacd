// The workshop scene (music 52 to 128.5 s): seven arms over a room, turned
// by random jolts and rested on a fixed height, a circling camera with a
// riding light, and a frame through colour adjustment and a motion-mapped
// distortion.
#include "demo/workshop_scene.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/music_spectrum.h"
#include "demo/scenes.h"
#include "demo/shared_assets.h"
#include "demo/timeline.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "geometry/model_importer.h"
#include "post/hsv_effect.h"
#include "post/mapped_distortion_effect.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"

namespace velm {
namespace workshop {

ArmRig armRig;
Scene* workshopScene = nullptr;
PerspectiveCamera* workshopCamera = nullptr;
NodePointlight* workshopLight = nullptr;
INode* workshopModel = nullptr;
INode* blockModel = nullptr;
DummyNode* armBase = nullptr;
DummyNode* joint1 = nullptr;
DummyNode* joint2 = nullptr;
DummyNode* joint3 = nullptr;
DummyNode* armTip = nullptr;
DummyNode* armRoots[7] = {};
MeshInstance* chamferCylinder = nullptr;
Texture* chamferTextures[2] = {};
float viewAngleBase = 9.0f;
float cameraLift = 0.0f;
std::optional<float> workshopTickTime;

namespace {

// The arms' angular step: 6.283 / 7 rather than a seventh of a full turn.
constexpr float kArmStep = 0.89757144f;
constexpr double kJoltScale = 0.156;
constexpr int32_t kJoltTicks = 10;

Matrix scaling(float x, float y, float z) {
  Matrix m = Matrix::identity();
  m.m[0][0] = x;
  m.m[1][1] = y;
  m.m[2][2] = z;
  return m;
}

int coin() { return randomInt() & 1; }

// The loudest bands, 52 to 63; silence when no spectrum exists yet.
float upperSpectrum() {
  if (!spectrum) return 0.0f;
  float e = 0.0f;
  for (int k = 52; k < kSpectrumBands; ++k) e += spectrum[k];
  return e;
}

float band(int k) { return spectrum ? spectrum[k] : 0.0f; }

DummyNode* newJoint(const Matrix& transform) {
  auto* node = new DummyNode();
  node->setName(kJointName);
  node->transform = transform;
  return node;
}

// Each child is checked, then its own children are walked.
void collectJoints(INode* node, std::vector<INode*>& out) {
  for (INode* child : node->children) {
    if (child->name == kJointName) out.push_back(child);
    collectJoints(child, out);
  }
}

// ((rand() mod 20000) / 10000 - 1) x 0.156, worked in double as drawn.
float joltAngle() { return static_cast<float>(((randomInt() % 20000) / 10000.0 - 1.0) * kJoltScale); }

void spawnJolt() {
  if (armRig.joints.empty()) return;
  auto* jolt = new Jolt();
  jolt->joint = armRig.joints[static_cast<size_t>(randomInt()) % armRig.joints.size()];
  jolt->angleX = joltAngle();
  jolt->angleY = joltAngle();
  jolt->angleZ = joltAngle();
  jolt->ticksLeft = kJoltTicks;
  armRig.jolts.push_back(jolt);
}

void clearJolts() {
  for (Jolt* jolt : armRig.jolts) delete jolt;
  armRig.jolts.clear();
}

}  // namespace

int32_t spawnMask(float e) {
  const float n = 10.0f / e;
  // The range test is false for NaN as well.
  if (!(n > -2147483649.0f && n < 2147483648.0f)) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(n);
}

void placeCamera(float t, float angleBase, float lift) {
  const float theta = 0.4f * (0.5f * std::sin(t / 10.0f) + angleBase);
  const float x = 35.0f * std::sin(theta);
  const float z = 35.0f * std::cos(theta);
  const float k = 0.7f - 0.5f * lift;
  workshopCamera->position = {k * x, 0.7f * std::cos(t / 6.0f) + 2.9f + 18.0f * lift, k * z};
  workshopCamera->target = {0.0f, -2.0f * (lift + 1.0f), 0.0f};
  workshopCamera->up = lift == 0.0f ? Vector3{0.0f, 1.5f, 0.0f} : Vector3{0.5f, 0.5f, 0.0f};
  const Vector3 p = workshopCamera->position;
  workshopLight->transform = translationMatrix(p.x, p.y, p.z);
}

void applyJolts() {
  for (auto it = armRig.jolts.begin(); it != armRig.jolts.end();) {
    Jolt* jolt = *it;
    const bool last = jolt->ticksLeft <= 0;
    it = last ? armRig.jolts.erase(it) : std::next(it);
    jolt->joint->transform =
        rotationX(jolt->angleX) * rotationY(jolt->angleY) * rotationZ(jolt->angleZ) * jolt->joint->transform;
    jolt->ticksLeft -= 1;
    if (last) delete jolt;
  }
}

void heightWalk(INode* node, Matrix frame) {
  armRig.lowestY = std::min(armRig.lowestY, frame.m[3][1]);
  for (INode* child : node->children) {
    armRig.lowestY = std::min(armRig.lowestY, frame.m[3][1]);
    if (child->name == kJointName) frame = child->transform * frame;  // kept for the later children
    heightWalk(child, frame);
  }
}

void restArm() {
  if (!armRig.root || armRig.root->children.empty()) return;
  armRig.lowestY = 11000.0f;
  INode* base = armRig.root->children.front();
  heightWalk(base, base->transform);
  base->transform.m[3][1] -= armRig.lowestY - kRestHeight;
}

}  // namespace workshop

using namespace workshop;

void setupWorkshopScene() {
  clearJolts();
  armRig = ArmRig();
  viewAngleBase = 9.0f;
  cameraLift = 0.0f;
  workshopTickTime.reset();
  chamferCylinder = nullptr;
  chamferTextures[0] = chamferTextures[1] = nullptr;

  workshopScene = new Scene();
  workshopCamera = new PerspectiveCamera(1.3f, 1.0f, 200.0f);
  workshopScene->graph->camera = workshopCamera;
  SceneGraph& graph = *workshopScene->graph;

  // A model that could not be read has been reported by the importer; the
  // scene is built without it.
  if (!sharedImporter) sharedImporter = new ModelImporter();
  sharedImporter->flipNormals = true;
  sharedImporter->bumpFromDiffuse = true;
  blockModel = sharedImporter->import("data/block1.x");
  workshopModel = sharedImporter->import("data/talo.x");

  if (workshopModel) {
    workshopModel->transform =
        scaling(1, 1, 0.8f) * rotationX(1.5707964f) * translationMatrix(0, -15, 0) * workshopModel->transform;
    graph.root.addChild(workshopModel);
    workshopScene->registerLights(workshopModel);

    chamferCylinder = dynamic_cast<MeshInstance*>(workshopModel->find("ChamferCyl01"));
    if (chamferCylinder) {
      chamferTextures[0] = chamferCylinder->material.texture;
      chamferTextures[1] = EngineContext::get().createTexture("data/sali2.jpg");
      Material& m = chamferCylinder->material;
      m.ambient = {0.5f, 0.5f, 0.5f, 0.5f};
      m.diffuse = {5, 5, 5, 5};
      m.specular = {20, 20, 20, 20};
      m.specularPower = 8.0f;
    }
    std::vector<INode*> ancestors;
    workshopScene->dumpTree(workshopModel, 0, ancestors);
  }
  if (blockModel) {
    std::vector<INode*> ancestors;
    workshopScene->dumpTree(blockModel, 0, ancestors);
  }

  const Matrix size = scaling(1.2f, 1.2f, 1.2f);
  armBase = newJoint(size);
  joint1 = newJoint(size);
  joint2 = newJoint(size);
  joint3 = newJoint(size);
  for (DummyNode* joint : {armBase, joint1, joint2, joint3})
    if (blockModel) joint->addChild(blockModel);
  const Matrix step = translationMatrix(6.8f, 0, 0) * size;
  joint1->transform = step;
  joint2->transform = step;
  joint3->transform = step;
  armBase->transform = rotationY(3.1415f) * size;

  armTip = newJoint(joint3->transform);
  joint3->addChild(armTip);
  joint2->addChild(joint3);
  joint1->addChild(joint2);
  armBase->addChild(joint1);

  for (int i = 0; i < 7; ++i) {
    armRoots[i] = newJoint(rotationY(static_cast<float>(i) * kArmStep));
    armRoots[i]->addChild(armBase);
    graph.root.addChild(armRoots[i]);
    workshopScene->registerLights(armRoots[i]);
    if (i == 0) {
      armRig.root = armRoots[0];
      collectJoints(armRoots[0], armRig.joints);
    }
  }

  graph.velocityTarget = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);

  workshopLight = new NodePointlight(0, 0, 0, 5.0f, 1.0f, 50.0f, 1, 1, 1, 1);
  graph.root.addChild(workshopLight);
  workshopScene->registerLights(workshopLight);

  workshopScene->lighting.ambient = {0.6f, 0.6f, 0.6f, 0.6f};
  workshopScene->lighting.diffuse = {2, 2, 2, 2};
  workshopScene->lighting.velocityScale = 0.06f;
}

void tickWorkshopScene(float t) {
  if (!workshopScene) return;
  const float dt = workshopTickTime ? t - *workshopTickTime : 0.0f;
  workshopTickTime = t;

  if (randomInt() % 10 == 1) viewAngleBase = 10.0f - 3.0f * static_cast<float>(coin());

  if (workshopIntense && randomInt() % 3 == 1) {
    Texture* picked = chamferTextures[coin()];
    if (chamferCylinder) chamferCylinder->material.texture = picked;
  }

  const float e = upperSpectrum();
  if (workshopIntense) {
    if (randomInt() % 10 == 1) cameraLift = static_cast<float>(coin());
    cameraLift += e;
  } else if (randomInt() % 15 == 1) {
    cameraLift = static_cast<float>(coin());
  }

  placeCamera(t, viewAngleBase, cameraLift);

  const int r = randomInt() % 10;
  bool spawn = false;
  if (workshopIntense) {
    spawn = r == 1;
  } else {
    const int32_t q = randomInt();
    spawn = (q & spawnMask(e)) == 1;
  }
  if (spawn) spawnJolt();

  applyJolts();
  restArm();
  workshopScene->tick(dt);
}

void renderWorkshopScene(float t) {
  if (!workshopScene) return;
  workshopScene->render(t);

  float a = 4.0f * band(1);
  a *= a;
  float e = upperSpectrum();
  if (!workshopIntense) {
    a *= 0.5f;
    e = 0.0f;
  }
  auto* hsv = new HSVEffect(workshopScene, 0.0f, 0.5f + a, 1.0f - 10.0f * e);
  hsv->render(t);
  SceneGraph& graph = *workshopScene->graph;
  auto* distortion = new MappedDistortionEffect(hsv->output(), graph.velocityTarget, -10.0f * graph.deltaTime,
                                                workshopIntense ? 1.5f : 0.5f);
  distortion->render(t);
  drawScreenQuad(distortion->output(), 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
  delete distortion;
  delete hsv;
}

void teardownWorkshopScene() {
  delete workshopLight;
  workshopLight = nullptr;
  delete workshopScene;
  workshopScene = nullptr;
  delete workshopCamera;
  workshopCamera = nullptr;
}

}  // namespace velm
