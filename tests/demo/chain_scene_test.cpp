#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <list>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/music_spectrum.h"
#include "demo/chain_scene.h"
#include "demo/scenes.h"
#include "engine/engine_context.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "geometry/mesh.h"
#include "geometry/model_importer.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/demo/demo_test_checks.h"
#include "tests/scene/scene_test_support.h"

namespace velm {
namespace {

using ::testing::ElementsAre;
using testing::expectNear;

Vector3 row(const Matrix& m, int r) { return {m.m[r][0], m.m[r][1], m.m[r][2]}; }

bool finite(Vector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The scene's process-wide state as a fresh program has it. The chain scene
// is never torn down by the production, so the tests drop it themselves.
void resetChainState() {
  delete chainScene;  // gives its targets back to the pool
  chainScene = nullptr;
  chainCamera = nullptr;
  chainModel = nullptr;
  linkRoot = nullptr;
  roomInstance = nullptr;
  roomMesh = nullptr;
  statueModel = nullptr;
  cameraLight = nullptr;
  headLight = nullptr;
  chainParticles.clear();
  chainLinks.clear();
  repeller = {};
  chainTickTime = 0.0f;
  chainStepTime = 0.0f;
  chainStepping = false;
}

class ChainSimulationTest : public ::testing::Test {
 protected:
  void SetUp() override { resetChainState(); }
  void TearDown() override { resetChainState(); }

  // A lone particle at `at`, moving from `previous`.
  static ChainParticle particle(Vector3 at, Vector3 previous, Vector3 drift = {}, bool pinned = false) {
    ChainParticle p;
    p.position = at;
    p.previous = previous;
    p.drift = drift;
    p.pinned = pinned;
    return p;
  }

  DummyNode parent;
  DummyNode model;
};

TEST_F(ChainSimulationTest, BuildChainLaysOutAStraightChainWithItsHeadPinned) {
  buildChain({10, 0, 0}, {5, 0, 0}, &parent, &model);
  buildChain({0, -10, 0}, {0, -5, 0}, &parent, &model);
  ASSERT_EQ(chainParticles.size(), 40u);
  ASSERT_EQ(chainLinks.size(), 38u);
  for (int i = 0; i < 20; ++i) {
    const ChainParticle& p = chainParticles[i];
    EXPECT_EQ(p.position, (Vector3{10.0f + 5.0f * i, 0, 0})) << i;
    EXPECT_EQ(p.previous, p.position) << i;
    EXPECT_EQ(p.drift, (Vector3{0.01f, 0, 0})) << i;
    EXPECT_EQ(p.pinned, i == 0) << i;
    EXPECT_EQ(chainParticles[20 + i].pinned, i == 0) << i;
  }
  EXPECT_EQ(chainParticles[39].position, (Vector3{0, -105, 0}));
  EXPECT_EQ(chainParticles[20].drift, (Vector3{0, -0.01f, 0}));

  // Links join neighbours within a chain only, in order, each with its own
  // node that holds the shared model and hangs under the parent.
  ASSERT_EQ(parent.children.size(), 38u);
  auto node = parent.children.begin();
  for (size_t j = 0; j < chainLinks.size(); ++j, ++node) {
    const ChainLink& link = chainLinks[j];
    const uint32_t chain = static_cast<uint32_t>(j / 19), k = static_cast<uint32_t>(j % 19);
    EXPECT_EQ(link.restLength, 2.5f);
    EXPECT_EQ(link.first, chain * 20 + k) << j;
    EXPECT_EQ(link.second, chain * 20 + k + 1) << j;
    EXPECT_EQ(*node, link.node) << j;
    EXPECT_THAT(link.node->children, ElementsAre(&model)) << j;
  }
}

TEST_F(ChainSimulationTest, IntegrationMovesDriftsRepelsAndClamps) {
  repeller = {0, 0, 0};
  const struct {
    const char* what;
    ChainParticle before;
    Vector3 after;
  } cases[] = {
      // v = (1, 0.01, 0); at (21, 0.01, 0) the push is 10 / 441.0001 outwards.
      {"verlet with drift and push", particle({20, 0, 0}, {19, 0, 0}, {0, 0.01f, 0}),
       {21.0226757f, 0.0100108f, 0}},
      {"past the bound", particle({105, 0, 0}, {105, 0, 0}, {0.01f, 0, 0}), {100, 0, 0}},
      {"at the bound, pushed out", particle({100, 0, 0}, {100, 0, 0}, {0.01f, 0, 0}), {100, 0, 0}},
      {"below the lower bound", particle({-99, 50, -99}, {-97, 50, -97}), {-100, 50.0001443f, -100}},
      {"pinned: not moved, only clamped", particle({150, -150, 1}, {0, 0, 0}, {1, 1, 1}, true), {100, -100, 1}},
      {"exactly at the repeller", particle({0, 0, 0}, {0, 0, 0}), {0, 0, 0}},
      {"moving onto the repeller", particle({1, 0, 0}, {2, 0, 0}), {0, 0, 0}},
  };
  for (const auto& c : cases) {
    chainParticles = {c.before};
    stepChains();
    const ChainParticle& p = chainParticles[0];
    ASSERT_TRUE(finite(p.position)) << c.what;
    expectNear(p.position, c.after, 2e-5f, c.what);
    EXPECT_EQ(p.previous, c.before.position) << c.what;
  }
}

TEST_F(ChainSimulationTest, FirstStepFoldsTheOuterParticlesBackIntoTheCube) {
  buildChain({10, 0, 0}, {5, 0, 0}, &parent, &model);
  chainLinks.clear();  // the integration pass alone
  stepChains();
  EXPECT_EQ(chainParticles[19].position.x, 100.0f);  // from 105
  EXPECT_EQ(chainParticles[18].position.x, 100.0f);  // from 100, pushed past it
  EXPECT_GT(chainParticles[17].position.x, 95.0f);
  EXPECT_LT(chainParticles[17].position.x, 96.0f);
  EXPECT_EQ(chainParticles[0].position.x, 10.0f);  // the head
}

TEST_F(ChainSimulationTest, LinkCorrectionsMoveEachFreeEndByTheClampedAmount) {
  const Vector3 far{-1e6f, 0, 0};  // the repeller's push is negligible
  const struct {
    const char* what;
    float restLength, length;
    bool firstPinned, secondPinned;
    float firstX, secondX;
  } cases[] = {
      {"too long: K = -2.5, M = -0.1875", 2.5f, 5.0f, false, false, 0.1875f, 4.8125f},
      {"stretched: M = -12 becomes -0.5", 2.5f, 22.5f, false, false, 0.5f, 22.0f},
      {"too short pushes apart", 2.5f, 1.0f, false, false, -0.0675f, 1.0675f},
      {"far too short: M = +0.5", 40.0f, 2.0f, false, false, -0.5f, 2.5f},
      {"at rest", 2.5f, 2.5f, false, false, 0.0f, 2.5f},
      {"first pinned", 2.5f, 5.0f, true, false, 0.0f, 4.8125f},
      {"second pinned", 2.5f, 5.0f, false, true, 0.1875f, 5.0f},
      {"both pinned", 2.5f, 22.5f, true, true, 0.0f, 22.5f},
  };
  for (const auto& c : cases) {
    repeller = far;
    chainParticles = {particle({0, 0, 0}, {0, 0, 0}, {}, c.firstPinned),
                      particle({c.length, 0, 0}, {c.length, 0, 0}, {}, c.secondPinned)};
    chainLinks = {ChainLink{c.restLength, 0, 1, nullptr}};
    stepChains();
    EXPECT_NEAR(chainParticles[0].position.x, c.firstX, 1e-5f) << c.what;
    EXPECT_NEAR(chainParticles[1].position.x, c.secondX, 1e-5f) << c.what;
    EXPECT_EQ(chainParticles[0].position.y, 0.0f) << c.what;
  }

  // Each link sees the corrections of the links before it.
  chainParticles = {particle({0, 0, 0}, {0, 0, 0}), particle({5, 0, 0}, {5, 0, 0}),
                    particle({10, 0, 0}, {10, 0, 0})};
  chainLinks = {ChainLink{2.5f, 0, 1, nullptr}, ChainLink{2.5f, 1, 2, nullptr}};
  stepChains();
  const float m = 0.03f * 2.6875f * 2.6875f;  // the second link is 5.1875 long by then
  EXPECT_NEAR(chainParticles[0].position.x, 0.1875f, 1e-5f);
  EXPECT_NEAR(chainParticles[1].position.x, 4.8125f + m, 1e-5f);
  EXPECT_NEAR(chainParticles[2].position.x, 10.0f - m, 1e-5f);
}

TEST_F(ChainSimulationTest, LinkNodesRunAlongTheLinkAndAlternateTheirTurn) {
  buildChain({0, 10, 0}, {0, 2.5f, 0}, &parent, &model);
  buildChain({0, 10, 0}, {0, 2.5f, 0}, &parent, &model);
  orientChainLinks();
  // Even links take (0, 0, -1) as reference, odd ones (1, 0, 0); the second
  // chain's first link (index 19) is odd.
  const struct {
    size_t link;
    Vector3 x, z;
  } cases[] = {
      {0, {-1, 0, 0}, {0, 0, 1}},
      {1, {0, 0, -1}, {-1, 0, 0}},
      {18, {-1, 0, 0}, {0, 0, 1}},
      {19, {0, 0, -1}, {-1, 0, 0}},
      {20, {-1, 0, 0}, {0, 0, 1}},
  };
  for (const auto& c : cases) {
    const ChainLink& link = chainLinks[c.link];
    const Matrix& m = link.node->transform;
    const std::string what = "link " + std::to_string(c.link);
    expectNear(row(m, 0), c.x, 1e-6f, what + " x");
    expectNear(row(m, 1), {0, 1, 0}, 1e-6f, what + " y");
    expectNear(row(m, 2), c.z, 1e-6f, what + " z");
    const Vector3 middle = (chainParticles[link.first].position + chainParticles[link.second].position) * 0.5f;
    expectNear(row(m, 3), middle, 1e-5f, what + " centre");
    EXPECT_EQ(m.m[3][3], 1.0f) << what;
  }

  // A slanted link gets an orthonormal frame; a link of no length no NaN.
  chainParticles[1].position = {3, 14, -2};
  chainParticles[3].position = chainParticles[2].position;
  orientChainLinks();
  const Matrix& slanted = chainLinks[0].node->transform;
  expectNear(row(slanted, 1), normalize(Vector3{3, 4, -2}), 1e-6f, "slanted y");
  EXPECT_NEAR(dot(row(slanted, 0), row(slanted, 1)), 0.0f, 1e-6f);
  EXPECT_NEAR(dot(row(slanted, 0), row(slanted, 2)), 0.0f, 1e-6f);
  EXPECT_NEAR(length(row(slanted, 2)), 1.0f, 1e-6f);
  for (int r = 0; r < 4; ++r) EXPECT_TRUE(finite(row(chainLinks[2].node->transform, r))) << r;
}

TEST_F(ChainSimulationTest, HeadsHoldForTenSecondsOfTicksThenDrift) {
  DummyNode statue;
  NodePointlight light(0, 0, 0, 1, 1, 1, 1, 1, 1, 1);
  statueModel = &statue;
  headLight = &light;
  const Vector3 directions[3] = {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}};
  for (const Vector3& n : directions) buildChain(n * 10.0f, n * 5.0f, &parent, &model);
  const std::vector<ChainParticle> initial = chainParticles;
  const Vector3 centroid{10.0f / 3, 10.0f / 3, 10.0f / 3};

  float t = 160.0f;
  for (int tick = 1; tick <= 199; ++tick, t += 0.05f) tickChainScene(0.05f, t);
  for (size_t i = 0; i < initial.size(); ++i) EXPECT_EQ(chainParticles[i].position, initial[i].position) << i;
  // Before the drift: D = (0, 1, 0), S1 = (1, 0, -1), S2 = (1, 0, 1).
  const float r = std::sqrt(0.5f);
  expectNear(row(statue.transform, 0), {r, 0, r}, 1e-6f, "statue x");
  expectNear(row(statue.transform, 1), {0, 1, 0}, 1e-6f, "statue y");
  expectNear(row(statue.transform, 2), {r, 0, -r}, 1e-6f, "statue z");
  expectNear(row(statue.transform, 3), centroid, 1e-5f, "statue at the heads");
  expectNear(row(light.transform, 3), {10, 0, 0}, 0, "head light on the first head");

  // The 200th tick moves every head by the same W and nothing else.
  tickChainScene(0.05f, t);
  const Vector3 w = chainParticles[0].position - initial[0].position;
  EXPECT_GT(length(w), 0.01f);
  for (size_t i = 0; i < initial.size(); ++i) {
    const Vector3 expected = i % 20 == 0 ? initial[i].position + w : initial[i].position;
    expectNear(chainParticles[i].position, expected, 1e-5f, "particle " + std::to_string(i));
  }
  expectNear(row(statue.transform, 1), normalize(w), 1e-5f, "statue turned into the drift");
  expectNear(row(statue.transform, 3), centroid + w, 1e-5f, "statue follows the heads");
  expectNear(row(light.transform, 3), chainParticles[0].position, 0, "head light follows");
}

TEST_F(ChainSimulationTest, LookAtIsWeightedTowardsTheNearestParticles) {
  chainParticles = {particle({1, 0, 0}, {}), particle({0, 2, 0}, {})};
  // Weights 1 and 1/4.
  expectNear(chainLookAt({0, 0, 0}), {0.8f, 0.4f, 0}, 1e-6f, "weighted");
  // On a particle the weighting has no finite value; that particle wins.
  expectNear(chainLookAt({0, 2, 0}), {0, 2, 0}, 0, "on a particle");

  // 40 x (sin h, sin 0.7h + cos 0.9h + cos 0.2h, sin 0.4h + cos h + sin 0.8h) with h = t / 2.
  expectNear(chainCameraPath(0.0f), {0, 80, 40}, 1e-4f, "path at 0");
  expectNear(chainCameraPath(2.0f * 3.14159265f), {0, 26.6791f, 21.5537f}, 1e-3f, "path at h = pi");
}

TEST(ChainPost, SpectrumLevelAndDistortionStrength) {
  std::array<float, kSpectrumBands> bands{};
  for (int i = 0; i < kSpectrumBands; ++i) bands[i] = i < 32 ? 5.0f : 0.125f;
  EXPECT_EQ(chainSpectrumLevel(bands.data()), 2.0f);  // only the upper 32 bands
  EXPECT_EQ(chainSpectrumLevel(nullptr), 0.0f);
  const struct {
    float t, s, factor;
  } cases[] = {{155.0f, 2.0f, 0.06f}, {204.99f, 1.0f, 0.03f}, {205.0f, 2.0f, 0.01f}, {216.0f, 0.0f, 0.01f}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(chainDistortionFactor(c.t, c.s), c.factor) << c.t;
}

// The whole scene on the recording device, with the data files of data/.
class ChainSceneTest : public testing::SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    resetChainState();
    savedSpectrum_ = spectrum;
    spectrum = bands.data();
    seedRandom(1234);
    setupChainScene();
    device->clearCalls();
  }
  void TearDown() override {
    spectrum = savedSpectrum_;
    resetChainState();
    SceneTest::TearDown();
  }

  // The texture names bound to the parameter `name` of the three post
  // effects (not the solid-object draws), in order.
  std::vector<std::string> texturesSet(const std::string& name) const {
    std::vector<std::string> post;
    for (const std::string& c : calls())
      for (const char* own : {".setFloat(radius,", ".setFloat(saturation,", ".setFloat(timedelta,"})
        if (c.find(own) != std::string::npos) post.push_back(c.substr(0, c.find('.')));
    std::vector<std::string> out;
    const std::string key = ".setTexture(" + name + ", ";
    for (const std::string& c : calls()) {
      const size_t at = c.find(key);
      if (at == std::string::npos || std::find(post.begin(), post.end(), c.substr(0, c.find('.'))) == post.end())
        continue;
      out.push_back(c.substr(at + key.size(), c.size() - at - key.size() - 1));
    }
    return out;
  }

  std::array<float, kSpectrumBands> bands{};

 private:
  float* savedSpectrum_ = nullptr;
};

TEST_F(ChainSceneTest, SetUpBuildsChainsRoomStatueAndLights) {
  for (INode* node : std::vector<INode*>{chainModel, linkRoot, roomInstance, roomMesh, statueModel}) {
    ASSERT_NE(node, nullptr);
  }
  EXPECT_THAT(chainScene->graph->root.children,
              ElementsAre(linkRoot, roomInstance, statueModel, cameraLight, headLight));
  EXPECT_THAT(chainScene->graph->registeredLights, ElementsAre(cameraLight, headLight));
  ASSERT_EQ(chainScene->graph->camera, chainCamera);
  EXPECT_EQ(chainCamera->fieldOfView, 1.3f);
  EXPECT_EQ(chainCamera->nearPlane, 1.0f);
  EXPECT_EQ(chainCamera->farPlane, 200.0f);
  ASSERT_NE(chainScene->velocityTarget(), nullptr);
  EXPECT_EQ(chainScene->velocityTarget()->format, gfx::Format::A8R8G8B8);
  EXPECT_EQ(chainScene->lighting.velocityScale, 0.1f);

  // 20 chains, three draws each in the order x, y, z; one shared link model.
  ASSERT_EQ(chainParticles.size(), 400u);
  ASSERT_EQ(chainLinks.size(), 380u);
  const int nextDraw = randomInt();
  seedRandom(1234);
  for (int k = 0; k < 20; ++k) {
    const float x = randomSigned(), y = randomSigned(), z = randomSigned();
    const Vector3 n = normalize({x, y, z});
    expectNear(chainParticles[20 * k].position, n * 10.0f, 1e-5f, "head " + std::to_string(k));
    expectNear(chainParticles[20 * k + 19].position, n * 105.0f, 1e-4f, "tail " + std::to_string(k));
  }
  EXPECT_EQ(randomInt(), nextDraw) << "the set-up draws exactly 60 values";
  EXPECT_EQ(linkRoot->children.size(), 380u);
  for (const ChainLink& link : chainLinks) EXPECT_THAT(link.node->children, ElementsAre(chainModel));
  ModelImporter reference;
  INode* plain = reference.import("data/chain.x");
  ASSERT_NE(plain, nullptr);
  Matrix scaled = Matrix::identity();
  scaled.m[0][0] = scaled.m[1][1] = scaled.m[2][2] = 0.3f;
  scaled = plain->transform * scaled;
  for (int r = 0; r < 4; ++r) expectNear(row(chainModel->transform, r), row(scaled, r), 1e-6f, "link model scale");
  chainModel->firstChild();
  auto* link = dynamic_cast<MeshInstance*>(chainModel->nextChild());
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->material.diffuse.g, 1.0f);
  EXPECT_EQ(link->material.ambient.a, 1.0f);

  // The room: 386 vertices and 384 quads, every face turned to the inside.
  EXPECT_EQ(roomInstance->material.diffuse.r, 0.002f);
  EXPECT_EQ(roomInstance->material.specular.b, 0.25f);
  EXPECT_EQ(roomInstance->material.ambient.r, Material{}.ambient.r);
  EXPECT_THAT(roomInstance->children, ElementsAre(roomMesh));
  EXPECT_EQ(roomMesh->vertices().size(), 386u);
  ASSERT_EQ(roomMesh->faces().size(), 384u);
  for (FaceBase* face : roomMesh->faces()) {
    ASSERT_EQ(face->edgeCount(), 4);
    const std::vector<VertexBase*> c = cornerList(*face);
    const Vector3 p0 = *c[0]->position(), p1 = *c[1]->position(), p2 = *c[2]->position();
    EXPECT_LT(dot(cross(p1 - p0, p2 - p1), p0), 0.0f);
  }
  // Rounded: the middles of the walls stay at 130, the corners come in.
  float nearest = 1e9f, farthest = 0.0f;
  for (VertexBase* v : roomMesh->vertices()) {
    const Vector3 p = *v->position();
    const float reach = std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    nearest = std::min(nearest, reach);
    farthest = std::max(farthest, reach);
    // Both texture pairs come from the same projection, at scales 0.002 and 0.06.
    EXPECT_NEAR(v->texcoord1()->u, 30.0f * v->texcoord0()->u, 1e-4f);
    EXPECT_NEAR(v->texcoord1()->v, 30.0f * v->texcoord0()->v, 1e-4f);
  }
  EXPECT_NEAR(farthest, 130.0f, 1e-3f);
  EXPECT_LT(nearest, 120.0f);

  // The room is convex, so the flying camera stays inside it when it stays
  // on the inner side of every face, further than the near plane.
  float closest = 1e9f;
  for (float t = 155.0f; t <= 217.0f; t += 0.05f) {
    const Vector3 eye = chainCameraPath(t);
    for (FaceBase* face : roomMesh->faces()) {
      const std::vector<VertexBase*> c = cornerList(*face);
      const Vector3 p0 = *c[0]->position();
      const Vector3 inward = normalize(cross(*c[1]->position() - p0, *c[2]->position() - p0));
      closest = std::min(closest, dot(eye - p0, inward));
    }
  }
  EXPECT_GT(closest, chainCamera->nearPlane);

  // The statue's mesh carries its scale; both lights sit beside the statue.
  ModelImporter statueReference;
  statueReference.bumpFromDiffuse = true;
  INode* statueSource = statueReference.import("data/liberty.x");
  ASSERT_NE(statueSource, nullptr);
  statueSource->firstChild();
  INode* sourceInstance = statueSource->nextChild();
  sourceInstance->firstChild();
  auto* sourceMesh = dynamic_cast<Mesh*>(sourceInstance->nextChild());
  statueModel->firstChild();
  auto* statue = dynamic_cast<MeshInstance*>(statueModel->nextChild());
  ASSERT_NE(statue, nullptr);
  statue->firstChild();
  auto* statueMesh = dynamic_cast<Mesh*>(statue->nextChild());
  ASSERT_NE(sourceMesh, nullptr);
  ASSERT_NE(statueMesh, nullptr);
  expectNear(*statueMesh->vertices()[7]->position(), *sourceMesh->vertices()[7]->position() * 0.25f, 1e-4f,
             "baked scale");
  EXPECT_EQ(statue->material.specular.r, 1.0f);
  const Vector3 at = translationOf(statueModel->transform);
  expectNear(translationOf(cameraLight->transform), at + Vector3{40, 30, 10}, 1e-5f, "camera light");
  expectNear(translationOf(headLight->transform), at + Vector3{-40, 30, 10}, 1e-5f, "head light");
  EXPECT_EQ(cameraLight->intensity, 6.0f);
  EXPECT_EQ(headLight->intensity, 7.0f);
  EXPECT_EQ(headLight->colour.g, 0.1f);
  EXPECT_EQ(cameraLight->range, 250.0f);
}

TEST_F(ChainSceneTest, FrameStepsOnTheMusicClockAndRunsThePostChain) {
  for (int i = 32; i < 64; ++i) bands[i] = 0.0625f;  // s = 1
  const std::vector<ChainParticle> initial = chainParticles;
  const Vector3 firstLook = chainLookAt({0, 0, 0});

  renderChainScene(160.0f);
  for (size_t i = 0; i < initial.size(); ++i) ASSERT_EQ(chainParticles[i].position, initial[i].position) << i;
  EXPECT_EQ(repeller, chainCameraPath(160.0f));
  EXPECT_EQ(chainCamera->position, repeller);
  expectNear(chainCamera->target, firstLook, 1e-4f, "look-at from the old repeller");
  EXPECT_EQ(translationOf(cameraLight->transform), repeller);
  EXPECT_EQ(chainScene->lighting.diffuse.r, 4.5f);
  EXPECT_EQ(chainScene->lighting.specular.g, 3.0f);
  EXPECT_EQ(chainScene->lighting.ambient.b, 0.1f);
  EXPECT_THAT(floatsSet("radius"), ElementsAre(0.01f));
  EXPECT_THAT(floatsSet("hue"), ElementsAre(0.0f));
  EXPECT_THAT(floatsSet("saturation"), ElementsAre(7.0f));
  EXPECT_THAT(floatsSet("value"), ElementsAre(3.0f));
  EXPECT_THAT(floatsSet("factor"), ElementsAre(0.03f));
  EXPECT_THAT(floatsSet("timedelta"), ElementsAre(0.03f));

  // The picture travels scene -> blur -> colour -> distortion -> screen,
  // and the effects give their targets back distortion first.
  const std::vector<std::string> pictures = texturesSet("tex");
  ASSERT_EQ(pictures.size(), 3u);
  EXPECT_EQ(pictures[0], nameOf(chainScene->output()));
  EXPECT_THAT(texturesSet("blurMap"), ElementsAre(nameOf(chainScene->velocityTarget())));
  EXPECT_THAT(texturesSet("depthTex"), ElementsAre(nameOf(chainScene->depthTarget())));
  EXPECT_THAT(texturesSet("distortionMap"), ElementsAre(nameOf(chainScene->distortionTarget())));
  const std::list<RenderTarget*>& pool = EngineContext::get().renderTargetPool;
  ASSERT_GE(pool.size(), 3u);
  auto last = pool.end();
  const std::string blurTarget = nameOf(*--last), colourTarget = nameOf(*--last), distortionTarget = nameOf(*--last);
  EXPECT_EQ(pictures[1], blurTarget);
  EXPECT_EQ(pictures[2], colourTarget);
  EXPECT_FALSE(callsWith("setTexture(0, " + distortionTarget + ")").empty());

  // 0.05 s later: three steps; the heads stay, the rest moves.
  device->clearCalls();
  renderChainScene(160.05f);
  EXPECT_EQ(chainStepTime, 160.0f + kChainStep + kChainStep + kChainStep);
  EXPECT_EQ(chainParticles[0].position, initial[0].position);
  EXPECT_NE(chainParticles[5].position, initial[5].position);
  EXPECT_NE(chainParticles[5].previous, initial[5].position);

  // The distortion eases to a fixed 0.01 from 205 s on.
  for (const float t : {204.9f, 205.0f}) {
    device->clearCalls();
    renderChainScene(t);
    EXPECT_THAT(floatsSet("factor"), ElementsAre(t < 205.0f ? 0.03f : 0.01f)) << t;
  }
  for (const ChainParticle& p : chainParticles) {
    ASSERT_TRUE(finite(p.position));
    EXPECT_LE(std::fabs(p.position.x), 100.0f);
  }
}

}  // namespace
}  // namespace velm
