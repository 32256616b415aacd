#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/music_spectrum.h"
#include "demo/scenes.h"
#include "demo/shared_assets.h"
#include "demo/town_scene.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "geometry/model_importer.h"
#include "particles/scene_particles.h"
#include "scene/camera.h"
#include "scene/catmull_rom_path.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/demo/demo_test_checks.h"
#include "tests/scene/scene_test_support.h"
#include "text/glyph_font.h"

namespace velm {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::expectMatrixNear;
using testing::expectNear;
using testing::uniformScale;

constexpr float kEps = 1e-4f;

MeshInstance* instance(INode* model, const std::string& name) {
  return model ? dynamic_cast<MeshInstance*>(model->find(name)) : nullptr;
}

// A town built on the recording device with a fresh importer and block font,
// a silent spectrum, and everything put back afterwards.
class TownSceneTest : public testing::SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    savedImporter_ = sharedImporter;
    savedFont_ = blockFont;
    savedSpectrum_ = spectrum;
    sharedImporter = new ModelImporter();
    blockFont = new GlyphFont(kBlockFontFace, 0.1f);
    blockFont->create();
    spectrum = bands.data();
    setupTownScene();
    device->clearCalls();
  }

  void TearDown() override {
    teardownTownScene();
    delete sharedImporter;
    delete blockFont;
    sharedImporter = savedImporter_;
    blockFont = savedFont_;
    spectrum = savedSpectrum_;
    SceneTest::TearDown();
  }

  // (parameter, texture name) of every effect texture binding since the last clear.
  std::vector<std::pair<std::string, std::string>> effectTextures() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const std::string& c : calls()) {
      const size_t at = c.find(".setTexture(");
      if (c.rfind("effect#", 0) != 0 || at == std::string::npos) continue;
      const size_t open = at + 12, comma = c.find(", ", open);
      out.emplace_back(c.substr(open, comma - open), c.substr(comma + 2, c.size() - comma - 3));
    }
    return out;
  }

  std::array<float, kSpectrumBands> bands{};

 private:
  ModelImporter* savedImporter_ = nullptr;
  GlyphFont* savedFont_ = nullptr;
  float* savedSpectrum_ = nullptr;
};

TEST_F(TownSceneTest, SetUpBuildsTheTreeLightsAndMaterials) {
  const std::vector<INode*> expected{skyModel,   ostrelModel,   yearText,      mobileModel,  townModel,
                                     lampsModel, townLights[0], townLights[1], townParticles};
  for (INode* node : expected) ASSERT_NE(node, nullptr);
  EXPECT_THAT(townScene->graph->root.children, ElementsAreArray(expected));
  EXPECT_THAT(townScene->graph->registeredLights, ElementsAre(townLights[0], townLights[1]));
  EXPECT_EQ(yearText->name, "2008");

  ASSERT_EQ(townScene->graph->camera, townCamera);
  EXPECT_EQ(townCamera->fieldOfView, 1.3f);
  EXPECT_EQ(townCamera->nearPlane, 1.0f);
  EXPECT_EQ(townCamera->farPlane, 200.0f);
  ASSERT_NE(townScene->velocityTarget(), nullptr);
  EXPECT_EQ(townScene->velocityTarget()->format, gfx::Format::A8R8G8B8);
  EXPECT_EQ(townScene->lighting.velocityScale, 0.3f);
  EXPECT_EQ(townParticles->capacity, 4000);
  EXPECT_EQ(townParticles->texture, smogTexture);
  EXPECT_EQ(townParticles->count, 0);

  // The sky's transform is replaced outright.
  expectMatrixNear(skyModel->transform,
                   rotationX(1.57f) * rotationY(1.57f) * uniformScale(50.1f) * translationMatrix(0, -60, 0), "sky");
  skyModel->firstChild();
  auto* sky = dynamic_cast<MeshInstance*>(skyModel->nextChild());
  ASSERT_NE(sky, nullptr);
  EXPECT_EQ(sky->material.technique, "skybox");
  EXPECT_EQ(sky->material.ambient.a, 0.25f);
  EXPECT_EQ(sky->material.diffuse.g, 10.0f);
  EXPECT_EQ(sky->material.specular.b, 10.0f);

  // Both lights sit 30 above and 10 behind the twisting text, 40 to each side.
  const Vector3 text = translationOf(ostrelModel->transform);
  expectNear(translationOf(townLights[0]->transform), text + Vector3{40, 30, 10}, kEps, "light 0");
  expectNear(translationOf(townLights[1]->transform), text + Vector3{-40, 30, 10}, kEps, "light 1");
  for (NodePointlight* light : townLights) {
    EXPECT_EQ(light->intensity, 7.0f);
    EXPECT_EQ(light->power, 1.0f);
    EXPECT_EQ(light->range, 250.0f);
  }

  // "Text01" keeps 20 times the file's diffuse and 10 times its specular.
  ModelImporter reference;
  reference.bumpFromDiffuse = true;
  MeshInstance* original = instance(reference.import("data/ostrel2.x"), "Text01");
  MeshInstance* text01 = instance(ostrelModel, "Text01");
  ASSERT_NE(original, nullptr);
  ASSERT_NE(text01, nullptr);
  EXPECT_EQ(text01->material.technique, "TwirlObject");
  EXPECT_STREQ(twirlShader->technique, "TwirlObject");
  EXPECT_FLOAT_EQ(text01->material.diffuse.r, 20 * original->material.diffuse.r);
  EXPECT_FLOAT_EQ(text01->material.diffuse.a, 20 * original->material.diffuse.a);
  EXPECT_FLOAT_EQ(text01->material.specular.g, 10 * original->material.specular.g);
  EXPECT_EQ(text01->material.specularPower, 8.0f);

  int planes = 0;
  for (int i = 1; i <= 9; ++i) {
    if (MeshInstance* plane = instance(townModel, "Plane0" + std::to_string(i))) {
      ++planes;
      EXPECT_EQ(plane->material.technique, "AlphaObject") << i;
      EXPECT_EQ(plane->material.ambient.r, 1.0f) << i;
      EXPECT_EQ(plane->material.specular.a, 1.0f) << i;
    }
  }
  EXPECT_GT(planes, 0);
  expectMatrixNear(lampsModel->transform, townModel->transform, "lamps");
  int lamps = 0;
  for (int i = 1; i <= 3; ++i) {
    if (MeshInstance* lamp = instance(lampsModel, "valo0" + std::to_string(i))) {
      ++lamps;
      EXPECT_EQ(lamp->material.technique, "AdditiveObject") << i;
      EXPECT_EQ(lamp->material.ambient.g, 1.0f) << i;
      EXPECT_EQ(lamp->material.diffuse.r, 0.0f) << i;
      EXPECT_EQ(lamp->material.specular.a, 0.0f) << i;
    }
  }
  EXPECT_EQ(lamps, 3);
}

TEST_F(TownSceneTest, CameraFliesBothPathsForThirtyTwoSecondsThenHolds) {
  const struct {
    float t;
    float angle, radius, height, lookHeight;
  } cases[] = {
      {0.0f, 8.055f, 96.5f, 73.0f, 130.0f},  // the second path points
      {16.0f, 9.86f, 33.5f, 21.0f, 30.5f},   // half way: the third
      {32.0f, 8.45f, 96.5f, 6.5f, 33.5f},    // the last, where it stays
      {40.0f, 8.45f, 96.5f, 6.5f, 33.5f},
      {51.95f, 8.45f, 96.5f, 6.5f, 33.5f},
  };
  for (const auto& c : cases) {
    tickTownScene(0.05f, c.t);
    const std::string at = "t = " + std::to_string(c.t);
    expectNear(townCamera->position,
               {c.radius * std::sin(0.4f * c.angle), c.height, c.radius * std::cos(0.4f * c.angle)}, 1e-3f, at);
    expectNear(townCamera->target, {2.4f * std::cos(0.01f * c.t), c.lookHeight, 1.4f * std::sin(0.014f * c.t)}, 1e-3f,
               at);
    expectNear(townCamera->up, {0, 1, 0}, 0.0f, at);
  }
}

TEST_F(TownSceneTest, TwirlStrengthFallsWithTimeAndRisesWithTheBass) {
  const struct {
    float t, lowBand, disM;
  } cases[] = {
      {0.0f, 0.0f, 48.0f / 26.0f}, {26.0f, 0.0f, 22.0f / 26.0f},  {47.85f, 0.0f, 0.15f / 26.0f},
      {47.95f, 0.0f, 0.1f},        {50.0f, 0.0f, 0.1f},           {50.5f, 0.5f, 0.35f},
      {20.0f, 2.0f, 4.0f + 28.0f / 26.0f},
  };
  for (const auto& c : cases) {
    bands[0] = c.lowBand;
    device->clearCalls();
    tickTownScene(0.05f, c.t);
    const std::vector<float> disM = floatsSet("disM");
    ASSERT_EQ(disM.size(), 1u) << "t = " << c.t;
    EXPECT_NEAR(disM[0], c.disM, 1e-5f * (1 + c.disM)) << "t = " << c.t;
    const std::vector<std::string> axis = callsWith("setFloatArray(axis");
    ASSERT_EQ(axis.size(), 1u);
    EXPECT_THAT(testing::loggedFloats(axis[0]),
                ElementsAre(::testing::FloatNear(std::cos(0.79f * c.t), 1e-5f),
                            ::testing::FloatNear(std::sin(c.t), 1e-5f), 0.5f));
  }
  // The text's own colour follows the same curve; its alpha is the file's.
  MeshInstance* text01 = instance(ostrelModel, "Text01");
  ASSERT_NE(text01, nullptr);
  ModelImporter reference;
  const float importedAlpha = instance(reference.import("data/ostrel2.x"), "Text01")->material.ambient.a;
  const Material& m = text01->material;
  EXPECT_FLOAT_EQ(m.ambient.r, std::cos(0.79f * 20.0f));
  EXPECT_FLOAT_EQ(m.ambient.g, std::sin(20.0f));
  EXPECT_EQ(m.ambient.b, 0.5f);
  EXPECT_EQ(m.ambient.a, importedAlpha);
  EXPECT_EQ(m.diffuse.r, 0.75f);
  EXPECT_EQ(m.specular.a, 0.75f);
  EXPECT_EQ(m.specularPower, 10.0f);
  EXPECT_EQ(m.bumpiness, 2.0f);
  EXPECT_EQ(m.technique, "TwirlObject");
}

// Five particles per tick round "Dummy01", drawn z, y, x from the generator
// that the smog's own update hands on, then moved once by the tick length.
TEST_F(TownSceneTest, EachTickEmitsFiveSmogParticlesAroundDummy01) {
  const struct {
    float lowBand, size, opacity;
  } cases[] = {{0.0f, 10.0f, 0.35f}, {1.0f, 13.0f, 0.8f}};
  for (const auto& c : cases) {
    teardownTownScene();
    setupTownScene();
    bands[0] = c.lowBand;
    const INode* dummy = mobileModel->find("Dummy01");
    ASSERT_NE(dummy, nullptr);
    const Vector3 origin = translationOf(dummy->transform * mobileModel->transform);

    // The scene's update walk reseeds from the chained seed before the draws.
    seedRandom(ParticleSystem2::chainedSeed);
    (void)randomInt();
    Vector3 spread[5];
    for (Vector3& d : spread) {
      d.z = randomSigned();
      d.y = randomSigned();
      d.x = randomSigned();
    }
    seedRandom(ParticleSystem2::kJitterSeed);
    Vector3 drift[5];
    for (Vector3& d : drift) {
      d.x = 0.5f * randomSigned() * 0.5f;
      d.y = 0.5f * randomSigned() * 0.5f;
      d.z = 0.5f;
    }

    tickTownScene(0.05f, 3.0f);
    ASSERT_EQ(townParticles->count, 5);
    for (int i = 0; i < 5; ++i) {
      const Particle* p = townParticles->slots[static_cast<size_t>(i)];
      EXPECT_NEAR(p->size, c.size + 0.05f * 0.07f, 1e-5f);
      EXPECT_NEAR(p->opacity, c.opacity - 0.05f * 0.065f, 1e-5f);
      expectNear(p->position, origin + 2.5f * spread[i] + drift[i], 1e-3f, "particle " + std::to_string(i));
    }
    tickTownScene(0.05f, 3.0f);
    tickTownScene(0.05f, 3.05f);
    EXPECT_EQ(townParticles->count, 15);
  }
}

// The mobile moves by the music time since the previous tick, so the second
// tick of a frame leaves it where it is; the year and the spinners follow.
TEST_F(TownSceneTest, MobileDriftsByTheMusicTimeBetweenTicks) {
  INode* spinner = mobileModel->find("object3");
  ASSERT_NE(spinner, nullptr);
  const Matrix spinnerStart = spinner->transform;
  const Matrix start = mobileModel->transform;

  tickTownScene(0.05f, 20.0f);
  tickTownScene(0.05f, 20.0f);
  expectMatrixNear(mobileModel->transform, start, "after two ticks at one time");
  tickTownScene(0.05f, 20.5f);
  Matrix moved = start;
  for (int c = 0; c < 3; ++c) moved.m[3][c] -= 0.5f * start.m[2][c];
  expectMatrixNear(mobileModel->transform, moved, "half a second later");

  expectMatrixNear(townScene->findNode("2008")->transform, uniformScale(100) * moved, "year");
  expectMatrixNear(spinner->transform, rotationX(0.15f) * spinnerStart, "spinner after three ticks");
}

TEST_F(TownSceneTest, FrameFadesInBlursAndDistortsByTheTopBands) {
  const struct {
    float t, topBand, value, wave, warp;
  } cases[] = {
      {0.0f, 0.0f, 0.0f, 0.0f, 0.0f},     {5.0f, 0.0f, 0.45f, 0.0f, 0.0f},
      {10.0f, 0.0f, 0.9f, 0.0f, 0.0f},    {30.0f, 0.0f, 0.9f, 0.0f, 0.0f},
      {30.5f, 1.0f, 0.9f, 0.12f, -0.12f}, {49.0f, 0.0f, 0.9f, 0.004f, 0.002f},
      {49.5f, 1.0f, 0.9f, 0.125f, -0.1175f},  // the picture warps against the map while b < 2k
      {51.0f, 0.01f, 0.9f, 0.0092f, 0.0028f},
  };
  int32_t targetsAfterFirstFrame = -1;
  for (const auto& c : cases) {
    for (int i = 52; i < kSpectrumBands; ++i) bands[static_cast<size_t>(i)] = c.topBand;
    bands[10] = 5.0f;  // below the top twelve: no effect
    townScene->render(c.t);
    device->clearCalls();
    renderTownScene(c.t);
    const std::string at = "t = " + std::to_string(c.t);

    const std::vector<float> value = floatsSet("value");
    ASSERT_EQ(value.size(), 1u) << at;
    EXPECT_NEAR(value[0], c.value, 1e-6f) << at;
    EXPECT_THAT(floatsSet("hue"), ElementsAre(0.0f)) << at;
    EXPECT_THAT(floatsSet("saturation"), ElementsAre(1.0f)) << at;
    EXPECT_THAT(floatsSet("radius"), ElementsAre(0.015f)) << at;
    EXPECT_THAT(floatsSet("timedelta"), ElementsAre(0.03f, 0.03f)) << at;
    const std::vector<float> factor = floatsSet("factor");
    ASSERT_EQ(factor.size(), 2u) << at;
    EXPECT_NEAR(factor[0], c.wave, 1e-5f) << at;
    EXPECT_NEAR(factor[1], c.warp, 1e-5f) << at;

    // The chain: scene -> HSV -> blur (the scene's picture as map) -> wave
    // (its own map) -> warp (the scene's distortion map) -> back buffer.
    const auto textures = effectTextures();
    ASSERT_EQ(textures.size(), 8u) << at;
    const std::string scene = nameOf(townScene->output());
    const std::string hsv = textures[3].second, blur = textures[4].second, wave = textures[7].second;
    EXPECT_THAT(textures, ElementsAre(std::pair<std::string, std::string>("tex", scene),
                                      std::pair<std::string, std::string>("depthTex", nameOf(townScene->depthTarget())),
                                      std::pair<std::string, std::string>("blurMap", scene),
                                      std::pair<std::string, std::string>("tex", hsv),
                                      std::pair<std::string, std::string>("distortionMap", blur),
                                      std::pair<std::string, std::string>("tex", blur),
                                      std::pair<std::string, std::string>("distortionMap",
                                                                          nameOf(townScene->distortionTarget())),
                                      std::pair<std::string, std::string>("tex", wave)))
        << at;
    const std::vector<std::string> quad = callsWith("setTexture(0, ");
    ASSERT_FALSE(quad.empty());
    const std::string shown = quad.back().substr(quad.back().find(", ") + 2);
    for (const std::string& earlier : {scene, hsv, blur, wave}) EXPECT_NE(shown, earlier + ")") << at;
    EXPECT_NE(hsv, blur);
    EXPECT_NE(blur, wave);

    // After the first frame the effects only recycle pooled targets.
    const int32_t targets = EngineContext::get().renderTargetCount;
    if (targetsAfterFirstFrame < 0) targetsAfterFirstFrame = targets;
    EXPECT_EQ(targets, targetsAfterFirstFrame) << at;
  }
}

TEST(TownSceneFormulas, DistortionFactorsAndFade) {
  std::array<float, kSpectrumBands> bands{};
  for (int i = 52; i < kSpectrumBands; ++i) bands[static_cast<size_t>(i)] = 0.5f;  // s = 6, k = 0.06
  const struct {
    float t, wave, warp;
  } cases[] = {{0.0f, 0.06f, -0.06f}, {47.0f, 0.06f, -0.06f}, {52.0f, 0.07f, -0.055f}};
  for (const auto& c : cases) {
    const TownDistortion d = townDistortion(c.t, bands.data());
    EXPECT_NEAR(d.wave, c.wave, 1e-6f) << c.t;
    EXPECT_NEAR(d.warp, c.warp, 1e-6f) << c.t;
  }
  EXPECT_EQ(townFadeValue(0.0f), 0.0f);
  EXPECT_NEAR(townFadeValue(2.5f), 0.225f, 1e-6f);
  EXPECT_NEAR(townFadeValue(9.999f), 0.8999f, 1e-5f);
  EXPECT_EQ(townFadeValue(10.0f), 0.9f);
  EXPECT_NEAR(twirlFalloff(47.89f), 0.11f / 26.0f, 1e-5f);  // not yet the jump
  EXPECT_EQ(twirlFalloff(47.9f), 0.1f);  // 48 - 47.9f is just below 0.1
}

}  // namespace
}  // namespace velm
