// The caption overlay on the recording device: the table, the overlay scene,
// which glyphs show, the beat test and its random draws, the camera and
// light, and the picture chain with each style's blend pair.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "app/music_spectrum.h"
#include "demo/timeline.h"
#include "engine/engine_context.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/text/text_test_support.h"
#include "text/captions.h"
#include "text/glyph_font.h"

namespace velm::testing {
namespace {

class CaptionTest : public TextTest {
 protected:
  void SetUp() override {
    TextTest::SetUp();
    savedSpectrum = spectrum;
    bands.fill(0.0f);
    spectrum = bands.data();
    renderTime = 60.0f;
    captionEye = {0, 50, 100};
    captionLookAt = {0, 0, 0};
    captionRoll = 0.0f;
    font = std::make_unique<GlyphFont>(kScriptFontFace, 10.1f);
    font->create();
    material.ambient = {0, 0, 0, 0};
    material.diffuse = {1, 1, 1, 1};
    material.specular = {1, 1, 1, 1};
    setupCaptions(*font, &material);
  }
  void TearDown() override {
    // The overlay lives for the whole program; a test hands its scene's
    // targets back before the engine context goes (nodes are never deleted).
    delete captionScene;
    delete captionCamera;
    delete captionLight;
    captionScene = nullptr;
    captionCamera = nullptr;
    captionLight = nullptr;
    spectrum = savedSpectrum;
    renderTime = 0.0f;
    TextTest::TearDown();
  }

  // Which lines have at least one glyph showing; every glyph of a line must agree.
  std::set<int> shownLines() {
    std::set<int> shown;
    for (int i = 0; i < kCaptionLineCount; ++i) {
      int visible = 0, hidden = 0;
      for (INode* child : captionLineNodes[i]->children) (static_cast<MeshInstance*>(child)->visible ? visible : hidden)++;
      EXPECT_TRUE(visible == 0 || hidden == 0) << "line " << i << " is partly shown";
      if (visible > 0) shown.insert(i);
    }
    return shown;
  }
  // The next `n` signed values of the generator from state `seed`, computed
  // as the overlay must: in double precision, stored as floats.
  static std::vector<float> draws(uint32_t seed, int n) {
    seedRandom(seed);
    std::vector<float> values;
    for (int i = 0; i < n; ++i) values.push_back(static_cast<float>((randomInt() % 20000) / 10000.0 - 1.0));
    return values;
  }
  // How many values drawCaption took from the generator seeded with `seed`.
  static int drawsTaken(uint32_t seed) {
    const int next = randomInt();
    seedRandom(seed);
    for (int n = 0; n < 20; ++n)
      if (randomInt() == next) return n;
    return -1;
  }
  static float halfWidthOf(int line, const GlyphFont& f) { return textWidth(captionLines[line], f) * 0.5f * 35.0f; }
  // The blend pair of the last screen quad: (destination, source).
  std::pair<uint32_t, uint32_t> lastBlendPair() {
    uint32_t dest = 0, src = 0;
    for (const std::string& c : device->calls()) {
      if (c.rfind("setRenderState(20, ", 0) == 0) dest = static_cast<uint32_t>(std::stoul(c.substr(19)));
      if (c.rfind("setRenderState(19, ", 0) == 0) src = static_cast<uint32_t>(std::stoul(c.substr(19)));
    }
    return {dest, src};
  }

  std::array<float, 64> bands{};
  float* savedSpectrum = nullptr;
  std::unique_ptr<GlyphFont> font;
  Material material;
};

TEST_F(CaptionTest, TheTableHoldsShortLinesOfTheGlyphSet) {
  const std::string allowed = std::string(kGlyphSet) + " ";
  for (int i = 0; i < kCaptionLineCount; ++i) {
    SCOPED_TRACE(i);
    const std::string line = captionLines[i];
    EXPECT_LE(line.size(), 55u);
    EXPECT_EQ(line.find_first_not_of(allowed), std::string::npos) << line;
    const bool shown = i <= 21 || (i >= 24 && i <= 39);
    if (shown) {
      EXPECT_GE(line.size(), 10u) << "a shown line says something";
    }
  }
  EXPECT_EQ(std::string(captionLines[23]).find_first_not_of(' '), std::string::npos);
}

TEST_F(CaptionTest, SetupBuildsOneFlattenedCentredNodePerLineThenTheLight) {
  ASSERT_NE(captionScene, nullptr);
  const std::list<INode*>& children = captionScene->graph->root.children;
  ASSERT_EQ(children.size(), 105u);
  auto it = children.begin();
  for (int i = 0; i < kCaptionLineCount; ++i, ++it) {
    SCOPED_TRACE(i);
    ASSERT_EQ(*it, captionLineNodes[i]);
    EXPECT_EQ(captionLineNodes[i]->name, captionLines[i]);
    const Matrix& m = captionLineNodes[i]->transform;
    const float w = textWidth(captionLines[i], *font);
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) {
        const float expected = r == 3 && c == 0 ? w * 0.5f * -35.0f : r == 2 && c == 2 ? 0.01f : r == c ? 1.0f : 0.0f;
        EXPECT_EQ(m.m[r][c], expected) << r << ", " << c;
      }
    // Glyph instances with the pen at 32 per width unit and the caption material.
    for (INode* child : captionLineNodes[i]->children) {
      auto* glyph = dynamic_cast<MeshInstance*>(child);
      ASSERT_NE(glyph, nullptr);
      EXPECT_EQ(glyph->material.diffuse.r, 1.0f);
      EXPECT_EQ(glyph->material.ambient.r, 0.0f);
    }
  }
  EXPECT_EQ(*it, captionLight);
  EXPECT_EQ(captionScene->graph->registeredLights, std::list<NodePointlight*>{captionLight});
  EXPECT_EQ(captionLight->intensity, 100000.0f);
  EXPECT_EQ(captionLight->power, 2.0f);
  EXPECT_EQ(captionLight->range, 1000.0f);
  EXPECT_EQ(captionLight->colour.g, 1.0f);
  EXPECT_EQ(translationOf(captionLight->transform), (Vector3{0, 0, 0}));

  EXPECT_EQ(captionScene->graph->camera, captionCamera);
  EXPECT_EQ(captionCamera->fieldOfView, 2.0f);
  EXPECT_EQ(captionCamera->nearPlane, 1.0f);
  EXPECT_EQ(captionCamera->farPlane, 5000.0f);
  ASSERT_NE(captionScene->graph->velocityTarget, nullptr);
  EXPECT_EQ(captionScene->graph->velocityTarget->format, gfx::Format::A8R8G8B8);
  EXPECT_EQ(captionScene->lighting.velocityScale, 0.1f);
}

TEST_F(CaptionTest, OnlyTheRequestedLineShowsAndLinesAbove103Show103) {
  const std::vector<std::pair<int, int>> cases = {{0, 0}, {1, 1}, {21, 21}, {39, 39}, {103, 103}, {200, 103}, {7, 7}};
  for (const auto& [line, shown] : cases) {
    SCOPED_TRACE(line);
    drawCaption(line, 1);
    EXPECT_EQ(shownLines(), std::set<int>{shown});
  }
}

TEST_F(CaptionTest, ALineOfOnlySpacesHidesEveryGlyphAndStillRunsThePasses) {
  drawCaption(5, 1);
  device->clearCalls();
  drawCaption(23, 1);
  EXPECT_TRUE(shownLines().empty());
  EXPECT_EQ(callsWith("setTechnique(MappedBlur)").size(), 1u);
  EXPECT_EQ(callsWith("setTechnique(HSVEffect)").size(), 1u);
  EXPECT_EQ(lastBlendPair(), std::make_pair(6u, 3u));
}

TEST_F(CaptionTest, BeforeTheFirstBeatTheCameraPullsBackFromTheStartingViewpoint) {
  bands[0] = 0.25f;
  bands[24] = 0.25f;
  bands[25] = 50.0f;  // above the bass bands: not heard
  seedRandom(99);
  drawCaption(0, 0);
  EXPECT_EQ(drawsTaken(99), 3);
  EXPECT_FLOAT_EQ(captionCamera->position.x, 0.0f);
  EXPECT_FLOAT_EQ(captionCamera->position.y, 55.0f);
  EXPECT_FLOAT_EQ(captionCamera->position.z, 110.0f);
  EXPECT_EQ(captionCamera->target, (Vector3{0, 0, 0}));
  EXPECT_EQ(captionCamera->up, (Vector3{0, 1, 0}));
  EXPECT_EQ(captionCamera->roll, 0.0f);
}

TEST_F(CaptionTest, ABassLevelEqualToTheThresholdKeepsTheViewpoint) {
  for (const auto& [style, threshold] : {std::pair{0, 0.75f}, std::pair{1, 1.5f}}) {
    SCOPED_TRACE(style);
    captionEye = {3, 4, -5};
    captionLookAt = {3, 0, 0};
    captionRoll = 0.1f;
    bands.fill(0.0f);
    bands[0] = threshold;
    seedRandom(7);
    drawCaption(2, style);
    EXPECT_EQ(drawsTaken(7), 3);
    EXPECT_EQ(captionEye, (Vector3{3, 4, -5}));
    EXPECT_EQ(captionLookAt, (Vector3{3, 0, 0}));
    EXPECT_EQ(captionRoll, 0.1f);
    EXPECT_EQ(captionCamera->roll, 0.1f);
  }
}

TEST_F(CaptionTest, ABeatDrawsTwoNumbersInStyle0AndThreeInStyle1ThenThreeForTheLight) {
  struct Case {
    int style;
    float bass;
    int beatDraws;
  };
  for (const Case& test : {Case{0, 0.8f, 2}, Case{1, 1.6f, 3}}) {
    SCOPED_TRACE(test.style);
    const int line = 9;
    captionRoll = 0.3f;
    bands.fill(0.0f);
    bands[3] = test.bass;
    const uint32_t seed = 4242;
    const std::vector<float> r = draws(seed, 6);
    seedRandom(seed);
    drawCaption(line, test.style);
    EXPECT_EQ(drawsTaken(seed), test.beatDraws + 3);

    const float w = halfWidthOf(line, *font);
    const float x = r[0] * w, z = (std::fabs(r[1]) + 0.5f) * -150.0f;
    EXPECT_EQ(captionEye, (Vector3{x, 0, z}));
    EXPECT_EQ(captionLookAt, (Vector3{x, 0, 0}));
    const float roll = test.style == 1 ? r[2] * 0.2f : 0.0f;
    EXPECT_EQ(captionRoll, roll);
    EXPECT_EQ(captionCamera->roll, roll);
    EXPECT_GE(roll, -0.2f);
    EXPECT_LT(roll, 0.2f);
    const int l = test.beatDraws;
    EXPECT_EQ(translationOf(captionLight->transform), (Vector3{r[l] * w, r[l + 1] * 100.0f, r[l + 2] * 100.0f}));
    const float k = test.bass * 0.2f;
    EXPECT_FLOAT_EQ(captionCamera->position.x, x);
    EXPECT_FLOAT_EQ(captionCamera->position.y, 0.0f);
    EXPECT_FLOAT_EQ(captionCamera->position.z, z + k * z);
    EXPECT_EQ(captionCamera->target, captionLookAt);
  }
}

TEST_F(CaptionTest, FromTownToWorkshopTheViewpointStaysUntilTheNextBeat) {
  bands[0] = 1.0f;  // a beat for style 0, not for style 1
  drawCaption(1, 0);
  const Vector3 eye = captionEye;
  EXPECT_NE(eye, (Vector3{0, 50, 100}));
  drawCaption(2, 1);
  EXPECT_EQ(captionEye, eye);
  EXPECT_EQ(shownLines(), std::set<int>{2});
  bands[0] = 1.6f;
  drawCaption(2, 1);
  EXPECT_NE(captionEye, eye);
}

TEST_F(CaptionTest, EachCallLightsTheSceneAndRunsBlurHsvAndTheStylesBlend) {
  for (const auto& [style, pair] : {std::pair{0, std::make_pair(2u, 5u)}, std::pair{1, std::make_pair(6u, 3u)}}) {
    SCOPED_TRACE(style);
    captionScene->lighting.ambient = {};
    device->clearCalls();
    renderTime += 1.0f;
    drawCaption(3, style);
    EXPECT_EQ(captionScene->lighting.ambient.r, 100.0f);
    EXPECT_EQ(captionScene->lighting.ambient.a, 100.0f);
    EXPECT_EQ(captionScene->lighting.diffuse.r, 0.87f);
    EXPECT_EQ(captionScene->lighting.diffuse.g, 0.6f);
    EXPECT_EQ(captionScene->lighting.diffuse.b, 0.39f);
    EXPECT_EQ(captionScene->lighting.specular.r, 1.0f);
    EXPECT_EQ(callsWith("setFloat(radius, 0.4)").size(), 1u);
    EXPECT_EQ(callsWith("setFloat(hue, 0)").size(), 1u);
    EXPECT_EQ(callsWith("setFloat(saturation, 5)").size(), 1u);
    EXPECT_EQ(callsWith("setFloat(value, 5)").size(), 1u);
    // The glyphs of the line were drawn into the scene (one effect technique each).
    EXPECT_GE(callsWith("setTechnique(SolidObject)").size(), std::string(captionLines[3]).size() / 2);
    EXPECT_EQ(lastBlendPair(), pair);
    // Both effects handed their targets back: the pool holds them again.
    EXPECT_GE(EngineContext::get().renderTargetPool.size(), 2u);
  }
}

TEST_F(CaptionTest, NothingHappensBeforeTheOverlayIsBuilt) {
  Scene* built = captionScene;
  captionScene = nullptr;
  device->clearCalls();
  seedRandom(5);
  drawCaption(0, 0);
  EXPECT_TRUE(device->calls().empty());
  EXPECT_EQ(drawsTaken(5), 0);
  captionScene = built;
}

}  // namespace
}  // namespace velm::testing
