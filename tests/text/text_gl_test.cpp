// 3D text on the real OpenGL backend (headless; llvmpipe where there is no
// GPU): the block font's "2008" laid out as the town lays it out, and a
// caption line in both styles through the whole overlay chain onto the back
// buffer. The pictures are read back and checked for what a viewer sees;
// with VELM_TEXT_STILLS set to a folder they are also written there as PNGs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/music_spectrum.h"
#include "demo/timeline.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/random.h"
#include "engine/surfaces.h"
#include "geometry/mesh.h"
#include "geometry/modifiers.h"
#include "scene/camera.h"
#include "scene/lighting.h"
#include "scene/mesh_instance.h"
#include "scene/scene.h"
#include "tests/support/gl_pictures.h"
#include "tests/support/headless_gl.h"
#include "tests/text/text_test_support.h"
#include "text/captions.h"
#include "text/glyph_font.h"

namespace velm::testing {
namespace {

class TextOnOpenGl : public TextTest {
 protected:
  void SetUp() override {
    TextTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(gl.install(window->settings.width, window->settings.height));
    device = nullptr;
  }
  void TearDown() override {
    delete scene;
    delete camera;
    delete light;
    TextTest::TearDown();
    gl.expectNoErrors();
  }

  // What the shared assets do to a font's glyphs: scale, then both texture pairs.
  static void prepareGlyphs(GlyphFont& font, float scale) {
    Matrix s = Matrix::identity();
    s.m[0][0] = s.m[1][1] = s.m[2][2] = scale;
    for (const auto& [c, mesh] : font.glyphs) {
      mesh->transform(s);
      meshmodify::Texgen(0, 0.1f).apply(*mesh);
      meshmodify::Texgen(1, 0.1f).apply(*mesh);
    }
  }

  gfx::Readback read(gfx::Surface* surface) { return readPicture(surface).pixels; }
  static int brightness(const gfx::Readback& p, uint32_t x, uint32_t y) {
    const uint8_t* c = &p.bytes[(static_cast<size_t>(y) * p.width + x) * 4];
    return std::max({c[0], c[1], c[2]});
  }
  // Runs of picture columns holding a pixel brighter than `threshold`: [first, last].
  static std::vector<std::pair<int, int>> inkColumns(const gfx::Readback& p, int threshold) {
    std::vector<std::pair<int, int>> runs;
    for (uint32_t x = 0; x < p.width; ++x) {
      bool ink = false;
      for (uint32_t y = 0; y < p.height && !ink; ++y) ink = brightness(p, x, y) > threshold;
      if (!ink) continue;
      if (!runs.empty() && runs.back().second == static_cast<int>(x) - 1)
        runs.back().second = static_cast<int>(x);
      else
        runs.emplace_back(x, x);
    }
    return runs;
  }
  static void saveStill(const std::string& name, const gfx::Readback& p) {
    saveStillOverBlack("VELM_TEXT_STILLS", name, p);
  }

  HeadlessGl gl;  // its errors fail the test
  Scene* scene = nullptr;
  PerspectiveCamera* camera = nullptr;
  NodePointlight* light = nullptr;
};

// The town's year: "2008" in the block font, advance (12.5, 0, 0), centred
// by its measured width, seen straight on from the front (-z).
TEST_F(TextOnOpenGl, TheBlockFontsYearReadsAsOneWordOfFourSeparateDigits) {
  GlyphFont block(kBlockFontFace, 0.1f);
  block.create();
  prepareGlyphs(block, 50.0f);
  Material material;
  material.ambient = {0.15f, 0.15f, 0.15f, 1.0f};
  material.diffuse = {0.9f, 0.85f, 0.8f, 1.0f};
  DummyNode* year = createTextNode(block, "2008", {12.5f, 0, 0}, &material);
  const float a = -6.25f * textWidth("2008", block);
  year->transform = translationMatrix(a, -30.0f, 0.0f);

  scene = new Scene();
  camera = new PerspectiveCamera(1.0f, 1.0f, 1000.0f);
  camera->position = {0, 0, -180};
  camera->target = {0, 0, 0};
  scene->graph->camera = camera;
  light = new NodePointlight(-80, 60, -200, 250.0f, 1.0f, 1000.0f, 1, 1, 1, 1);
  scene->graph->root.addChild(year);
  scene->graph->root.addChild(light);
  scene->registerLights(light);
  scene->render(1.0f);
  const gfx::Readback picture = read(scene->output()->surface);
  saveStill("year-2008.png", picture);

  // One word: the digits follow each other without a gap wider than a third
  // of a digit (tight display digits may touch), centred in the picture.
  const auto runs = inkColumns(picture, 40);
  ASSERT_GE(runs.size(), 1u);
  ASSERT_LE(runs.size(), 4u);
  const int span = runs.back().second - runs.front().first + 1;
  EXPECT_GT(span, static_cast<int>(picture.width) / 2) << "large enough to judge";
  for (size_t i = 1; i < runs.size(); ++i) EXPECT_LE(runs[i].first - runs[i - 1].second - 1, span / 12);
  const int left = runs.front().first, right = static_cast<int>(picture.width) - 1 - runs.back().second;
  EXPECT_LT(std::abs(left - right), span / 8);
  // Four digits: the ink of each column band of a quarter of the span.
  for (int q = 0; q < 4; ++q) {
    const int x = runs.front().first + span * (2 * q + 1) / 8;
    bool ink = false;
    for (uint32_t y = 0; y < picture.height && !ink; ++y) ink = brightness(picture, static_cast<uint32_t>(x), y) > 40;
    EXPECT_TRUE(ink) << "digit " << q;
  }
}

// A caption line laid out as the overlay lays it out (advance (32, 0, 0),
// glyphs scaled by 110, flattened), seen whole from the front: the script's
// letters join into words and the spaces part them.
TEST_F(TextOnOpenGl, ACaptionLineReadsAsWordsOfJoinedLetters) {
  GlyphFont script(kScriptFontFace, 10.1f);
  script.create();
  prepareGlyphs(script, 110.0f);
  Material material;
  material.ambient = {0.15f, 0.15f, 0.15f, 1.0f};
  material.diffuse = {0.9f, 0.85f, 0.8f, 1.0f};
  const std::string text = "the machines listen";
  DummyNode* line = createTextNode(script, text, {32.0f, 0, 0}, &material);
  Matrix m = Matrix::identity();
  m.m[2][2] = 0.01f;
  m.m[3][0] = textWidth(text, script) * 0.5f * -35.0f;
  m.m[3][1] = -60.0f;
  line->transform = m;

  scene = new Scene();
  camera = new PerspectiveCamera(1.0f, 1.0f, 5000.0f);
  camera->position = {0, 0, -1300};
  camera->target = {0, 0, 0};
  scene->graph->camera = camera;
  light = new NodePointlight(-300, 300, -1500, 2000.0f, 1.0f, 5000.0f, 1, 1, 1, 1);
  scene->graph->root.addChild(line);
  scene->graph->root.addChild(light);
  scene->registerLights(light);
  scene->render(1.0f);
  const gfx::Readback picture = read(scene->output()->surface);
  saveStill("caption-line.png", picture);

  // Three words: the two widest breaks in the ink are the spaces, and any
  // break inside a word is far narrower than either.
  const auto runs = inkColumns(picture, 40);
  ASSERT_GE(runs.size(), 3u);
  EXPECT_GT(runs.back().second - runs.front().first, static_cast<int>(picture.width) / 2) << "large enough to judge";
  std::vector<int> gaps;
  for (size_t i = 1; i < runs.size(); ++i) gaps.push_back(runs[i].first - runs[i - 1].second - 1);
  std::sort(gaps.rbegin(), gaps.rend());
  if (gaps.size() > 2) {
    EXPECT_LT(3 * gaps[2], gaps[1]) << "a word falls apart";
  }
}

// A workshop caption line after a beat, in both styles, on the back buffer.
TEST_F(TextOnOpenGl, ACaptionLineShowsInBothStylesOnTheBackBuffer) {
  GlyphFont script(kScriptFontFace, 10.1f);
  script.create();
  prepareGlyphs(script, 110.0f);
  Material material;
  material.ambient = {0, 0, 0, 0};
  material.diffuse = {1, 1, 1, 1};
  material.specular = {1, 1, 1, 1};
  setupCaptions(script, &material);

  std::array<float, 64> bands{};
  float* saved = spectrum;
  spectrum = bands.data();
  gfx::Device* gpu = EngineContext::get().device;
  // A beat picks the viewpoint; three quieter frames follow (bass at the
  // threshold: no new viewpoint, the same pull), so the motion blur sees the
  // small movement of running frames rather than a jump.
  struct Shot {
    int line, style;
    float threshold;
    uint32_t seed;
    const char* file;
  };
  // The seeds put the viewpoint near the middle of the line and the last
  // frame's light in front of the text; a light that jitters behind the
  // text leaves the glyph fronts dark, which the production shows now and then.
  for (const Shot& shot : {Shot{0, 0, 0.75f, 3051, "caption-style0.png"}, Shot{2, 1, 1.5f, 2897, "caption-style1.png"}}) {
    SCOPED_TRACE(shot.file);
    seedRandom(shot.seed);
    gfx::Readback picture;
    for (int frame = 0; frame < 4; ++frame) {
      bands.fill(0.0f);
      bands[0] = frame == 0 ? shot.threshold + 0.05f : shot.threshold;
      renderTime = 43.0f + 10.0f * shot.style + frame / 30.0f;
      EXPECT_EQ(gpu->clear(gfx::ClearTarget | gfx::ClearZBuffer, 0x00000000, 1.0f, 0), gfx::Result::Ok);
      drawCaption(shot.line, shot.style);
      picture = read(gpu->backBuffer());
    }
    saveStill(shot.file, picture);
    // The viewpoint is in front of the text, so the line shows: a good part
    // of the picture holds bright glyph pixels, spread across it.
    EXPECT_LT(captionEye.z, 0.0f);
    const auto runs = inkColumns(picture, 60);
    int inked = 0;
    for (const auto& [first, last] : runs) inked += last - first + 1;
    EXPECT_GT(inked, static_cast<int>(picture.width) / 4);
  }
  spectrum = saved;
  renderTime = 0.0f;
  delete captionScene;  // hands its targets back before the engine goes
  captionScene = nullptr;
}

}  // namespace
}  // namespace velm::testing
