#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/music_spectrum.h"
#include "demo/harmonium_scene.h"
#include "demo/scenes.h"
#include "demo/shared_assets.h"
#include "demo/timeline.h"
#include "engine/engine_context.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "geometry/model_importer.h"
#include "particles/scene_particles.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/demo/demo_test_checks.h"
#include "tests/scene/scene_test_support.h"
#include "text/glyph_font.h"

namespace velm {
namespace {

using ::testing::ElementsAre;
using testing::expectMatrixNear;
using testing::uniformScale;

TEST(HarmoniumPulse, JumpsOnBassHitsRelaxesByOnePointTwoAndFloorsAtAHalf) {
  const struct {
    float pulse, bass, expected;
  } cases[] = {
      {0.0f, 0.0f, 0.5f},             // the first tick lifts the start value to the floor
      {0.0f, 30.0f, 0.5f},            // 0 + 0.5 is not above the floor
      {0.5f, 29.99f, 0.5f},           // just below a hit
      {0.5f, 30.0f, 1.0f / 1.2f},     // a hit counts from 30 on
      {1.0f, 100.0f, 1.5f / 1.2f},    // hits add up
      {0.6f, 0.0f, 0.6f / 1.2f},      // relaxation may dip below the floor for one tick...
      {0.6f / 1.2f, 0.0f, 0.5f},      // ...and the next quiet tick puts it back
      {0.5f, 0.0f, 0.5f},
  };
  for (const auto& c : cases)
    EXPECT_FLOAT_EQ(harmonium::nextPulse(c.pulse, c.bass), c.expected) << c.pulse << " with bass " << c.bass;

  // One hit from the floor, then quiet ticks: 1/1.2, /1.2, /1.2, below the floor, floor.
  float pulse = harmonium::nextPulse(0.5f, 30.0f);
  std::vector<float> trail;
  for (int i = 0; i < 5; ++i) trail.push_back(pulse = harmonium::nextPulse(pulse, 0.0f));
  const float hit = 1.0f / 1.2f;
  EXPECT_THAT(trail, ElementsAre(::testing::FloatEq(hit / 1.2f), ::testing::FloatEq(hit / 1.44f),
                                 ::testing::FloatEq(hit / 1.728f), ::testing::FloatEq(0.5f), ::testing::FloatEq(0.5f)));
}

TEST(HarmoniumPulse, BassWeighsTheLowestTwentyFiveBandsDownwards) {
  std::array<float, kSpectrumBands> bands{};
  const struct {
    int band;
    float expected;
  } cases[] = {{0, 25.0f}, {1, 24.0f}, {24, 1.0f}, {25, 0.0f}, {63, 0.0f}};
  for (const auto& c : cases) {
    bands.fill(0.0f);
    bands[static_cast<size_t>(c.band)] = 1.0f;
    EXPECT_EQ(harmonium::bassSum(bands.data()), c.expected) << "band " << c.band;
  }
  bands.fill(1.0f);
  EXPECT_EQ(harmonium::bassSum(bands.data()), 325.0f);
  EXPECT_EQ(harmonium::bassSum(nullptr), 0.0f);
}

TEST(HarmoniumLens, PerspectiveKeepsItsLastDiagonalEntryAtOne) {
  const Matrix lens = perspectiveMatrix(0.04f, 2.0f, 0.0f, 100.0f);
  const float yScale = 1.0f / std::tan(0.02f);
  Matrix expected = Matrix::identity();
  expected.m[0][0] = yScale / 2.0f;
  expected.m[1][1] = yScale;
  expected.m[2][3] = 1.0f;  // (2,2) = 100 / 100 and (3,2) = 0 with the near plane at 0
  expectMatrixNear(lens, expected, "near 0");
  const Matrix usual = perspectiveMatrix(1.3f, 1.0f, 1.0f, 200.0f);
  EXPECT_FLOAT_EQ(usual.m[2][2], 200.0f / 199.0f);
  EXPECT_FLOAT_EQ(usual.m[3][2], -200.0f / 199.0f);
  EXPECT_EQ(usual.m[3][3], 1.0f);
}

using HarmoniumWithoutSharedAssetsTest = testing::SceneTest;

TEST_F(HarmoniumWithoutSharedAssetsTest, StaysEmptyAndItsTickAndFrameDoNothing) {
  ModelImporter* const importer = sharedImporter;
  sharedImporter = nullptr;
  setupHarmoniumScene();
  EXPECT_EQ(harmonium::objects().harmoniumScene, nullptr);
  tickHarmoniumScene(130.0f);
  renderHarmoniumScene(130.0f);
  EXPECT_TRUE(calls().empty());
  sharedImporter = importer;
}

// The shared assets and the harmonium built on the recording device, with a
// spectrum the test controls; the shared objects are put back afterwards.
class HarmoniumSceneTest : public testing::SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    saved_ = {sharedImporter, scriptFont, blockFont, captionMaterial, overlayScene, overlayCamera, overlayLight};
    savedModels_ = {sharedBlockModel, pipeModel, loloModel};
    savedSpectrum_ = spectrum;
    savedPhase_ = harmoniumPhase;
    spectrum = bands.data();
    Ef2::SPSystem::ages().clear();
    setupSharedAssets();
    setupHarmoniumScene();
    device->clearCalls();
  }

  void TearDown() override {
    harmonium::objects() = harmonium::Objects{};
    sharedImporter = static_cast<ModelImporter*>(saved_[0]);
    scriptFont = static_cast<GlyphFont*>(saved_[1]);
    blockFont = static_cast<GlyphFont*>(saved_[2]);
    captionMaterial = static_cast<Material*>(saved_[3]);
    overlayScene = static_cast<Scene*>(saved_[4]);
    overlayCamera = static_cast<PerspectiveCamera*>(saved_[5]);
    overlayLight = static_cast<NodePointlight*>(saved_[6]);
    sharedBlockModel = savedModels_[0];
    pipeModel = savedModels_[1];
    loloModel = savedModels_[2];
    spectrum = savedSpectrum_;
    harmoniumPhase = savedPhase_;
    Ef2::SPSystem::ages().clear();
    SceneTest::TearDown();
  }

  harmonium::Objects& h() { return harmonium::objects(); }

  // Which of the four caption nodes hang under the overlay root.
  std::vector<int> captionsShown() {
    std::vector<int> shown;
    const auto& children = overlayScene->graph->root.children;
    for (int i = 0; i < harmonium::kCaptionCount; ++i)
      if (std::find(children.begin(), children.end(), h().captionNodes[static_cast<size_t>(i)]) != children.end())
        shown.push_back(i);
    return shown;
  }

  std::array<float, kSpectrumBands> bands{};

 private:
  std::array<void*, 7> saved_{};
  std::array<INode*, 3> savedModels_{};
  float* savedSpectrum_ = nullptr;
  float savedPhase_ = 0.0f;
};

TEST_F(HarmoniumSceneTest, SetUpBuildsTheSceneTreeInItsOrder) {
  harmonium::Objects& o = h();
  ASSERT_NE(o.harmoniumScene, nullptr);
  ASSERT_NE(o.harmoniumModel, nullptr);
  ASSERT_NE(o.strings, nullptr);
  ASSERT_NE(o.ball, nullptr);
  EXPECT_THAT(o.harmoniumScene->graph->root.children,
              ElementsAre(o.harmoniumModel, o.light1, o.light2, o.structureRoot, o.smoke));
  EXPECT_THAT(o.harmoniumScene->graph->registeredLights, ElementsAre(o.light1, o.light2));
  EXPECT_EQ(o.light2->colour.g, 0.2f);
  EXPECT_EQ(translationOf(o.light2->transform), (Vector3{10, -4, 2}));

  ASSERT_EQ(o.harmoniumScene->graph->camera, o.harmoniumCamera);
  EXPECT_EQ(o.harmoniumCamera->fieldOfView, 1.3f);
  EXPECT_EQ(o.harmoniumCamera->farPlane, 200.0f);
  ASSERT_NE(o.harmoniumScene->velocityTarget(), nullptr);
  EXPECT_EQ(o.harmoniumScene->velocityTarget()->format, gfx::Format::A8R8G8B8);
  EXPECT_EQ(o.harmoniumScene->lighting.velocityScale, 0.1f);
  EXPECT_EQ(o.smoke->capacity, 150000);
  EXPECT_EQ(o.smoke->texture, particleTexture);
  EXPECT_TRUE(sharedImporter->bumpFromDiffuse);

  expectMatrixNear(o.harmoniumModel->transform, uniformScale(14.0f), "harmonium");
  const Material& strings = o.strings->material;
  EXPECT_EQ(strings.diffuse.a, 400.0f);
  EXPECT_EQ(strings.specularPower, 1000.0f);
  EXPECT_EQ(strings.lightBleed, 100.0f);
  EXPECT_EQ(strings.bumpiness, 1000.0f);
  EXPECT_NE(strings.texture, nullptr);
  EXPECT_EQ(strings.normalMap, strings.texture);

  for (size_t i = 0; i < o.captionNodes.size(); ++i) {
    ASSERT_NE(o.captionNodes[i], nullptr);
    EXPECT_EQ(o.captionNodes[i]->name, harmonium::kCaptionTexts[i]);
    EXPECT_FALSE(o.captionNodes[i]->children.empty()) << i;
  }
  EXPECT_TRUE(captionsShown().empty());

  // The structure: knots, then pipes with their spawners, then chain heads.
  std::vector<INode*> expected(o.loloCarriers.begin(), o.loloCarriers.end());
  expected.insert(expected.end(), o.pipeCarriers.begin(), o.pipeCarriers.end());
  expected.insert(expected.end(), o.chains.begin(), o.chains.end());
  EXPECT_THAT(o.structureRoot->children, ::testing::ElementsAreArray(expected));
  for (DummyNode* carrier : o.loloCarriers) EXPECT_THAT(carrier->children, ElementsAre(loloModel));
  for (size_t i = 0; i < o.pipeCarriers.size(); ++i) {
    EXPECT_THAT(o.pipeCarriers[i]->children, ElementsAre(pipeModel, o.spawners[i]));
    EXPECT_EQ(o.spawners[i]->targetSystem, o.smoke);
    expectMatrixNear(o.spawners[i]->transform, translationMatrix(0, 3.4f, 0), "spawner");
  }
  for (size_t c = 0; c < o.chains.size(); ++c) {
    EXPECT_THAT(o.chains[c]->children, ElementsAre(o.chainStarts[c]));
    int links = 1;
    for (INode* link = o.chainStarts[c]; !link->children.empty(); ++links) {
      ASSERT_EQ(link->children.size(), 2u);
      EXPECT_EQ(link->children.front(), sharedBlockModel);
      INode* joint = link->children.back();
      expectMatrixNear(joint->transform, translationMatrix(8.2f, 0, 0), "joint");
      ASSERT_EQ(joint->children.size(), 1u);
      link = joint->children.front();
    }
    EXPECT_EQ(links, harmonium::kLinksPerChain) << "chain " << c;
  }

  // The chain heads take draws 185 to 202 after seeding: 20 x 6 and 16 x 4 come first.
  seedRandom(harmonium::kLayoutSeed);
  for (int i = 0; i < 20 * 6 + 16 * 4; ++i) randomInt();
  for (size_t c = 0; c < o.chains.size(); ++c) {
    const float a = harmonium::layoutDraw() - 1.0f, b = harmonium::layoutDraw() / -3.0f,
                cc = harmonium::layoutDraw() - 1.0f;
    expectMatrixNear(o.chains[c]->transform,
                     rotationZ(-1.57f) * uniformScale(0.5f) * translationMatrix(4.5f * a, 4.5f * b, 4.5f * cc),
                     "chain head " + std::to_string(c));
  }
}

TEST_F(HarmoniumSceneTest, FirstTickHasNoTimeStepSoNoSmokeAndNothingMoves) {
  harmonium::Objects& o = h();
  const int before = o.smoke->count;
  tickHarmoniumScene(131.0f);
  EXPECT_EQ(o.lastTickTime, 131.0f);
  EXPECT_EQ(o.smoke->count, before);
  for (SavuParticleSpawner* spawner : o.spawners) EXPECT_EQ(spawner->emitAccumulator, 0.0f);
  EXPECT_EQ(o.pulse, 0.5f);  // raised to its floor all the same

  // 50 ms later each of the 16 spawners emits two puffs and keeps 0.01.
  tickHarmoniumScene(131.05f);
  EXPECT_EQ(o.smoke->count, before + 32);
  for (SavuParticleSpawner* spawner : o.spawners) EXPECT_NEAR(spawner->emitAccumulator, 0.01f, 1e-4f);
}

TEST_F(HarmoniumSceneTest, CameraDistanceStrobesOnLoudFrames) {
  harmonium::Objects& o = h();
  // Band 5 weighs 20: bass exactly 20 does not flip; a hair more does.
  const struct {
    float band5;
    float k;  // 2 far, 1 near
  } frames[] = {{0.0f, 2.0f}, {1.01f, 1.0f}, {1.0f, 1.0f}, {1.01f, 2.0f}, {1.01f, 1.0f}, {0.0f, 1.0f}};
  float t = 140.0f;
  for (const auto& frame : frames) {
    bands[5] = frame.band5;
    renderHarmoniumScene(t);
    const Vector3 p = o.harmoniumCamera->position;
    const float r = 8.0f + 3.0f * std::sin(0.4f * 0.2f * t);
    EXPECT_NEAR(std::hypot(p.x, p.z), frame.k * r, 1e-3f) << "t = " << t;
    EXPECT_NEAR(p.y, 1.5f * p.x, 1e-3f) << "t = " << t;
    EXPECT_EQ(o.harmoniumCamera->target, (Vector3{0, 0, 0}));
    EXPECT_EQ(translationOf(o.light1->transform), p);
    t += 0.1f;
  }
}

TEST_F(HarmoniumSceneTest, BallAndStringsLensWidensWithThePulse) {
  harmonium::Objects& o = h();
  const struct {
    float pulse;
    float lens;  // 4 (pulse - 0.4)^2
  } cases[] = {{0.5f, 0.04f}, {1.3f, 3.24f}};
  float t = 145.0f;
  for (const auto& c : cases) {
    o.pulse = c.pulse;
    // The lens takes the aspect ratio of the viewport current when the frame starts.
    gfx::Viewport viewport{};
    device->getViewport(&viewport);
    const float aspect = static_cast<float>(viewport.width) / static_cast<float>(viewport.height);
    renderHarmoniumScene(t += 0.5f);
    // Undoing the camera's projection leaves scale, drop and lens.
    const Matrix projection = o.harmoniumCamera->projection();
    const Matrix ballLens = uniformScale(14.0f) * translationMatrix(0, -5.0f * c.lens, 0) *
                            perspectiveMatrix(c.lens, aspect, 0.0f, 100.0f);
    expectMatrixNear(o.ball->transform * projection, ballLens, "ball at pulse " + std::to_string(c.pulse));
    const Matrix stringsLens = c.lens > 2.5f ? ballLens
                                             : translationMatrix(0, -5.0f * c.lens, 0) * uniformScale(14.0f) *
                                                   perspectiveMatrix(2.5f, aspect, 0.0f, 100.0f);
    expectMatrixNear(o.strings->transform * projection, stringsLens, "strings at pulse " + std::to_string(c.pulse));
    EXPECT_FLOAT_EQ(o.strings->material.ambient.r, c.lens);
    const float q = c.lens / 4.0f;
    EXPECT_FLOAT_EQ(o.ball->material.ambient.a, 100.0f * q);
    EXPECT_FLOAT_EQ(o.ball->material.diffuse.g, 20.0f * (std::sin(q) + 1.0f) / 2.0f);
    EXPECT_FLOAT_EQ(o.ball->material.specular.b, 200.0f * (std::cos(t) + 1.0f) / 2.0f);
  }
}

TEST_F(HarmoniumSceneTest, CaptionSwitchesWhenThePhaseCrossesAnIntegerAndThePanRestarts) {
  const struct {
    float phase;
    int shown;
    float cameraX;  // 70 f - 10
  } frames[] = {{0.0f, 0, -10.0f}, {0.5f, 0, 25.0f},  {0.999f, 0, 59.93f}, {1.0f, 1, -10.0f},
                {1.5f, 1, 25.0f},  {2.0f, 2, -10.0f}, {2.61f, 2, 32.7f}};
  float t = 130.0f;
  for (const auto& frame : frames) {
    harmoniumPhase = frame.phase;
    renderHarmoniumScene(t += 0.1f);
    EXPECT_THAT(captionsShown(), ElementsAre(frame.shown)) << "phase " << frame.phase;
    EXPECT_NEAR(overlayCamera->position.x, frame.cameraX, 1e-3f) << "phase " << frame.phase;
    EXPECT_EQ(overlayCamera->target, (Vector3{overlayCamera->position.x, 0, 0}));
    EXPECT_EQ(overlayCamera->position.z, -5.0f);
    const float lift = 0.17f * (10.0f * static_cast<float>(frame.shown) - 15.0f);
    expectMatrixNear(h().captionNodes[static_cast<size_t>(frame.shown)]->transform,
                     Matrix{{{0.04f, 0, 0, 0}, {0, 0.04f, 0, 0}, {0, 0, 0.001f, 0}, {0, lift, 0, 1}}}, "caption");
  }
  // The overlay light swings with time and rises with the bass.
  bands[0] = 2.0f;
  renderHarmoniumScene(t += 0.1f);
  const Vector3 light = translationOf(overlayLight->transform);
  EXPECT_FLOAT_EQ(light.x, 9.0f * std::sin(9.0f * t));
  EXPECT_FLOAT_EQ(light.y, 50.0f);
  EXPECT_FLOAT_EQ(light.z, 56.0f * std::cos(7.4f * t));
}

TEST_F(HarmoniumSceneTest, TheTimelineShowsOnlyTheFirstThreeCaptions) {
  std::set<int> seen;
  for (float t = 128.5f; t < 155.0f; t += 0.5f) {
    timelineTick(t);
    timelineRender(t);
    for (int i : captionsShown()) seen.insert(i);
    EXPECT_EQ(captionsShown().size(), 1u) << "t = " << t;
    device->clearCalls();
  }
  timelineTick(154.999f);
  timelineRender(154.999f);
  EXPECT_THAT(captionsShown(), ElementsAre(2));
  EXPECT_EQ(seen, (std::set<int>{0, 1, 2}));
}

TEST_F(HarmoniumSceneTest, FrameEndsWithTheBlurredPictureThenTheOverlayBlendedOver) {
  renderHarmoniumScene(150.0f);
  const int targetsMade = EngineContext::get().renderTargetCount;
  device->clearCalls();
  renderHarmoniumScene(150.05f);
  // The blend states of the screen quads, in order: (source, destination).
  std::vector<std::pair<std::string, std::string>> blends;
  std::string source, lastTexture;
  for (const std::string& c : calls()) {
    if (c.rfind("setRenderState(19, ", 0) == 0) source = c.substr(19, c.size() - 20);
    if (c.rfind("setRenderState(20, ", 0) == 0) blends.emplace_back(source, c.substr(19, c.size() - 20));
    if (c.rfind("setTexture(0, ", 0) == 0) lastTexture = c.substr(14, c.size() - 15);
  }
  ASSERT_GE(blends.size(), 2u);
  EXPECT_EQ(blends[blends.size() - 2], (std::pair<std::string, std::string>{"5", "2"}));  // SrcAlpha, One
  EXPECT_EQ(blends.back(), (std::pair<std::string, std::string>{"5", "6"}));              // SrcAlpha, InvSrcAlpha
  ASSERT_NE(overlayScene->output(), nullptr);
  EXPECT_EQ(lastTexture, gfx::RecordingDevice::nameOf(overlayScene->output()->getTexture()));
  EXPECT_EQ(calls().back(), "endScene()");
  // The colour boost and the blur hand their targets back every frame.
  EXPECT_EQ(EngineContext::get().renderTargetCount, targetsMade);
}

}  // namespace
}  // namespace velm
