#include "demo/workshop_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "demo/shared_assets.h"
#include "engine/surfaces.h"
#include "geometry/model_importer.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "tests/demo/workshop_test_support.h"

namespace velm {
namespace {

using namespace workshop;

Matrix scaling(float s) {
  Matrix m = Matrix::identity();
  m.m[0][0] = m.m[1][1] = m.m[2][2] = s;
  return m;
}

void expectMatrixNear(const Matrix& got, const Matrix& want, float tolerance, const std::string& what) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(got.m[r][c], want.m[r][c], tolerance) << what << " [" << r << "][" << c << "]";
}

void expectVectorNear(Vector3 got, Vector3 want, float tolerance, const std::string& what) {
  EXPECT_NEAR(got.x, want.x, tolerance) << what;
  EXPECT_NEAR(got.y, want.y, tolerance) << what;
  EXPECT_NEAR(got.z, want.z, tolerance) << what;
}

// The height of the lowest joint frame of the arm, from the joints' own
// transforms (not through the scene's walk).
float lowestJointHeight() {
  Matrix frame = armBase->transform;
  float lowest = frame.m[3][1];
  for (INode* joint : {static_cast<INode*>(joint1), static_cast<INode*>(joint2), static_cast<INode*>(joint3),
                       static_cast<INode*>(armTip)}) {
    frame = joint->transform * frame;
    lowest = std::min(lowest, frame.m[3][1]);
  }
  return lowest;
}

// Records the time every update walk hands it.
class TimeProbe final : public INode {
 public:
  void update(const Matrix&, float time) override { times.push_back(time); }
  std::vector<float> times;
};

class WorkshopTest : public workshop_testing::DemoTest {
 protected:
  void SetUp() override {
    DemoTest::SetUp();
    setupWorkshopScene();
    ASSERT_NE(workshopScene, nullptr);
  }
  // Jolts spawned by the tick just run: they acted once, so 9 ticks are left.
  static int freshJolts() {
    return static_cast<int>(std::count_if(armRig.jolts.begin(), armRig.jolts.end(),
                                          [](const Jolt* j) { return j->ticksLeft == kJoltFresh; }));
  }
  static constexpr int32_t kJoltFresh = 9;
};

TEST_F(WorkshopTest, SetUpBuildsTheRoomAndSevenArmsOnOneJointChain) {
  SceneGraph& graph = *workshopScene->graph;
  EXPECT_EQ(graph.camera, workshopCamera);
  EXPECT_FLOAT_EQ(workshopCamera->fieldOfView, 1.3f);
  EXPECT_FLOAT_EQ(workshopCamera->nearPlane, 1.0f);
  EXPECT_FLOAT_EQ(workshopCamera->farPlane, 200.0f);
  ASSERT_NE(workshopModel, nullptr);
  ASSERT_NE(blockModel, nullptr);

  std::list<INode*> expectedRoot{workshopModel};
  for (DummyNode* arm : armRoots) expectedRoot.push_back(arm);
  expectedRoot.push_back(workshopLight);
  EXPECT_EQ(graph.root.children, expectedRoot);

  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(armRoots[i]->name, "kilinvittu");
    EXPECT_EQ(armRoots[i]->children, std::list<INode*>{armBase});
    expectMatrixNear(armRoots[i]->transform, rotationY(static_cast<float>(i) * 0.89757144f), 0.0f, "arm root");
  }
  EXPECT_EQ(armRig.root, armRoots[0]);
  EXPECT_EQ(armRig.joints, (std::vector<INode*>{armBase, joint1, joint2, joint3, armTip}));
  EXPECT_TRUE(armRig.jolts.empty());

  const Matrix step = translationMatrix(6.8f, 0, 0) * scaling(1.2f);
  const struct {
    DummyNode* joint;
    INode* next;
    Matrix transform;
  } chain[] = {{armBase, joint1, rotationY(3.1415f) * scaling(1.2f)},
               {joint1, joint2, step},
               {joint2, joint3, step},
               {joint3, armTip, step}};
  for (const auto& link : chain) {
    EXPECT_EQ(link.joint->name, "kilinvittu");
    EXPECT_EQ(link.joint->children, (std::list<INode*>{blockModel, link.next}));
    expectMatrixNear(link.joint->transform, link.transform, 1e-6f, "joint");
  }
  EXPECT_TRUE(armTip->children.empty());
  expectMatrixNear(armTip->transform, step, 1e-6f, "tip");
  EXPECT_EQ(armTip->name, "kilinvittu");

  // The room is stood up and lowered in front of its own transform.
  ModelImporter importer;
  importer.flipNormals = importer.bumpFromDiffuse = true;
  INode* fresh = importer.import("data/talo.x");
  ASSERT_NE(fresh, nullptr);
  Matrix squash = Matrix::identity();
  squash.m[2][2] = 0.8f;
  expectMatrixNear(workshopModel->transform,
                   squash * rotationX(1.5707964f) * translationMatrix(0, -15, 0) * fresh->transform, 1e-5f, "room");

  ASSERT_NE(chamferCylinder, nullptr);
  EXPECT_EQ(chamferCylinder, workshopModel->find("ChamferCyl01"));
  auto* freshCylinder = dynamic_cast<MeshInstance*>(fresh->find("ChamferCyl01"));
  ASSERT_NE(freshCylinder, nullptr);
  EXPECT_NE(chamferTextures[0], nullptr);
  EXPECT_EQ(chamferTextures[0], chamferCylinder->material.texture);
  EXPECT_NE(chamferTextures[1], nullptr);
  EXPECT_NE(chamferTextures[1], chamferTextures[0]);
  const Material& m = chamferCylinder->material;
  EXPECT_EQ(m.ambient.r, 0.5f);
  EXPECT_EQ(m.diffuse.g, 5.0f);
  EXPECT_EQ(m.specular.b, 20.0f);
  EXPECT_EQ(m.specular.a, 20.0f);
  EXPECT_EQ(m.specularPower, 8.0f);

  ASSERT_NE(graph.velocityTarget, nullptr);
  EXPECT_EQ(graph.velocityTarget->format, gfx::Format::A8R8G8B8);
  EXPECT_EQ(graph.registeredLights.back(), workshopLight);
  EXPECT_EQ(workshopLight->intensity, 5.0f);
  EXPECT_EQ(workshopLight->power, 1.0f);
  EXPECT_EQ(workshopLight->range, 50.0f);
  EXPECT_EQ(workshopScene->lighting.ambient.g, 0.6f);
  EXPECT_EQ(workshopScene->lighting.diffuse.b, 2.0f);
  EXPECT_EQ(workshopScene->lighting.velocityScale, 0.06f);
  EXPECT_EQ(viewAngleBase, 9.0f);
  EXPECT_EQ(cameraLift, 0.0f);
  EXPECT_FALSE(workshopTickTime.has_value());
}

TEST_F(WorkshopTest, CameraCirclesAtTheRadiusAndHeightOfTheLift) {
  const float t = 61.0f;
  const float theta = 0.4f * (0.5f * std::sin(t / 10.0f) + 9.0f);
  const float bob = 0.7f * std::cos(t / 6.0f);
  const struct {
    float lift, radius, height, targetY;
    Vector3 up;
  } cases[] = {
      {0.0f, 24.5f, 2.9f, -2.0f, {0, 1.5f, 0}},
      {1.0f, 7.0f, 20.9f, -4.0f, {0.5f, 0.5f, 0}},
      {2.0f, -10.5f, 38.9f, -6.0f, {0.5f, 0.5f, 0}},  // past 1.4 the camera crosses the axis
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lift);
    placeCamera(t, 9.0f, c.lift);
    const Vector3 expected{c.radius * std::sin(theta), c.height + bob, c.radius * std::cos(theta)};
    expectVectorNear(workshopCamera->position, expected, 1e-4f, "position");
    expectVectorNear(workshopCamera->target, {0, c.targetY, 0}, 0.0f, "target");
    expectVectorNear(workshopCamera->up, c.up, 0.0f, "up");
    expectVectorNear(translationOf(workshopLight->transform), expected, 1e-4f, "light");
  }
}

TEST_F(WorkshopTest, FirstTickStartsTheSceneClockAtZeroAndPlacesTheCamera) {
  // A seed whose first draws leave the view angle and the lift alone.
  uint32_t seed = 1;
  for (;; ++seed) {
    seedRandom(seed);
    const int angleDraw = randomInt();
    const int liftDraw = randomInt();
    if (angleDraw % 10 != 1 && liftDraw % 15 != 1) break;
  }
  seedRandom(seed);
  TimeProbe probe;
  workshopScene->graph->root.addChild(&probe);

  const float t = 60.0f;
  tickWorkshopScene(t);
  ASSERT_EQ(probe.times.size(), 1u);
  EXPECT_EQ(probe.times[0], 0.0f);
  EXPECT_EQ(workshopTickTime, t);
  EXPECT_EQ(viewAngleBase, 9.0f);
  EXPECT_EQ(cameraLift, 0.0f);
  const float theta = 3.6f + 0.2f * std::sin(t / 10.0f);
  const Vector3 expected{24.5f * std::sin(theta), 2.9f + 0.7f * std::cos(t / 6.0f), 24.5f * std::cos(theta)};
  expectVectorNear(workshopCamera->position, expected, 1e-4f, "camera");
  expectVectorNear(workshopCamera->target, {0, -2, 0}, 0.0f, "target");
  expectVectorNear(workshopCamera->up, {0, 1.5f, 0}, 0.0f, "up");
  EXPECT_NEAR(lowestJointHeight(), kRestHeight, 1e-4f);

  tickWorkshopScene(t + 0.05f);
  ASSERT_EQ(probe.times.size(), 2u);
  EXPECT_NEAR(probe.times[1], 0.05f, 1e-5f);
  workshopScene->graph->root.removeChild(&probe);
}

TEST_F(WorkshopTest, AJoltTurnsItsJointOnElevenTicks) {
  // A calm, silent section spawns nothing, so only this jolt acts.
  const Matrix start = joint2->transform;
  armRig.jolts.push_back(new Jolt{joint2, 0.01f, -0.02f, 0.03f, 10});
  const Matrix turn = rotationX(0.01f) * rotationY(-0.02f) * rotationZ(0.03f);
  Matrix expected = start;
  for (int tick = 1; tick <= 13; ++tick) {
    SCOPED_TRACE(tick);
    tickWorkshopScene(60.0f + 0.05f * static_cast<float>(tick));
    if (tick <= 11) expected = turn * expected;
    expectMatrixNear(joint2->transform, expected, 1e-5f, "joint2");
    EXPECT_EQ(armRig.jolts.size(), tick <= 10 ? 1u : 0u);
  }
}

TEST_F(WorkshopTest, TheLowestJointRestsAtMinusEightAfterEveryTick) {
  workshopIntense = true;  // turns on one tick in ten
  int jolts = 0;
  float lowestBase = 0.0f, highestBase = 0.0f;
  for (int tick = 0; tick < 400; ++tick) {
    tickWorkshopScene(80.0f + 0.05f * static_cast<float>(tick));
    jolts += freshJolts();
    ASSERT_NEAR(lowestJointHeight(), kRestHeight, 1e-3f) << "tick " << tick;
    const float baseY = armBase->transform.m[3][1];
    lowestBase = tick ? std::min(lowestBase, baseY) : baseY;
    highestBase = tick ? std::max(highestBase, baseY) : baseY;
  }
  EXPECT_GT(jolts, 10);
  EXPECT_GT(highestBase - lowestBase, 0.1f) << "the turns never moved the rest height";
}

TEST_F(WorkshopTest, TurnsSpawnWithTheOddsOfTheSection) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float e;
    int32_t mask;
  } masks[] = {{0.0f, INT32_MIN}, {nan, INT32_MIN}, {1e-9f, INT32_MIN}, {20.0f, 0},
               {7.0f, 1},         {5.0f, 2},        {3.0f, 3},          {-4.0f, -2}};
  for (const auto& m : masks) EXPECT_EQ(spawnMask(m.e), m.mask) << "e = " << m.e;

  const struct {
    bool intense;
    float e;
    double odds;
  } cases[] = {
      {false, 0.0f, 0.0},   // silence
      {false, 20.0f, 0.0},  // n = 0
      {false, 5.0f, 0.0},   // n = 2: even
      {false, 2.5f, 0.0},   // n = 4: even
      {false, 7.0f, 0.5},   // n = 1
      {false, 3.0f, 0.25},  // n = 3
      {true, 0.0f, 0.1},    // intense: one draw in ten
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "intense " << c.intense << ", e = " << c.e);
    workshopIntense = c.intense;
    bands.fill(0.0f);
    bands[52] = c.e;
    int spawned = 0;
    const int ticks = 2000;
    for (int tick = 0; tick < ticks; ++tick) {
      tickWorkshopScene(90.0f + 0.05f * static_cast<float>(tick));
      spawned += freshJolts();
    }
    EXPECT_NEAR(static_cast<double>(spawned) / ticks, c.odds, 0.035);
    if (c.odds == 0.0) {
      EXPECT_EQ(spawned, 0);
    }
    cameraLift = 0.0f;
  }
}

// The value a recorded effect call set, from "effect#n.setFloat(name, value)".
float effectFloat(const std::vector<std::string>& calls, const std::string& name) {
  const std::string key = ".setFloat(" + name + ", ";
  for (const std::string& call : calls)
    if (const size_t at = call.find(key); at != std::string::npos) return std::stof(call.substr(at + key.size()));
  ADD_FAILURE() << "no " << name << " was set";
  return std::numeric_limits<float>::quiet_NaN();
}

TEST_F(WorkshopTest, FrameAdjustsColourAndDistortsByTheSceneMotion) {
  bands[1] = 0.25f;   // a = (4 x 0.25)^2 = 1
  bands[52] = 0.01f;  // e
  const struct {
    bool intense;
    float saturation, value, timedelta;
  } cases[] = {{false, 1.0f, 1.0f, 0.5f}, {true, 1.5f, 0.9f, 1.5f}};
  float t = 60.0f;
  size_t poolAfterFrame = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.intense ? "intense" : "calm");
    workshopIntense = c.intense;
    tickWorkshopScene(t);
    device->clearCalls();
    renderWorkshopScene(t);
    const std::vector<std::string>& calls = device->calls();
    EXPECT_NEAR(effectFloat(calls, "saturation"), c.saturation, 1e-5f);
    EXPECT_NEAR(effectFloat(calls, "value"), c.value, 1e-5f);
    EXPECT_EQ(effectFloat(calls, "hue"), 0.0f);
    EXPECT_EQ(effectFloat(calls, "timedelta"), c.timedelta);
    EXPECT_NEAR(effectFloat(calls, "factor"), -10.0f * workshopScene->graph->deltaTime, 1e-3f);
    // The last blend states are the screen quad's: one times the screen, source alpha times the picture.
    std::string srcBlend, destBlend;
    for (const std::string& call : calls) {
      if (call.rfind("setRenderState(19, ", 0) == 0) srcBlend = call;
      if (call.rfind("setRenderState(20, ", 0) == 0) destBlend = call;
    }
    EXPECT_EQ(srcBlend, "setRenderState(19, 5)");
    EXPECT_EQ(destBlend, "setRenderState(20, 2)");
    // Both effects hand their targets back: the pool is as full after every frame.
    const size_t pool = EngineContext::get().renderTargetPool.size();
    if (poolAfterFrame) {
      EXPECT_EQ(pool, poolAfterFrame);
    }
    EXPECT_GE(pool, 2u);
    poolAfterFrame = pool;
    t += 0.1f;
  }
}

TEST(WorkshopWithoutSetUp, TicksFramesAndTeardownDoNothing) {
  ASSERT_EQ(workshopScene, nullptr);
  tickWorkshopScene(60.0f);
  renderWorkshopScene(60.0f);
  teardownWorkshopScene();
  EXPECT_EQ(workshopScene, nullptr);
}

}  // namespace
}  // namespace velm
