#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "platform/messages.h"
#include "tests/engine/engine_test_support.h"

namespace velm::testing {
namespace {

using Calls = std::vector<std::string>;
using LoadingScreen = EngineTest;

// The states and geometry of a textured quad; `texture` is the bound
// texture's log name, `vertices` the logged vertex list.
Calls texturedQuad(const std::string& texture, uint32_t factor, const std::string& vertices) {
  return {
      "setRenderState(14, 0)",   // z writes off
      "setRenderState(19, 5)",   // source blend
      "setRenderState(20, 2)",   // destination blend
      "setRenderState(171, 1)",  // add
      "setRenderState(27, 1)",   // blending on
      "setSamplerState(0, 1, 3)",
      "setSamplerState(0, 2, 3)",
      "setTextureStageState(0, 4, 2)",
      "setTextureStageState(0, 5, 3)",
      "setRenderState(60, " + std::to_string(factor) + ")",
      "setTextureStageState(0, 1, 2)",
      "setTextureStageState(0, 2, 2)",
      "setTextureStageState(0, 4, 4)",
      "setTextureStageState(0, 5, 3)",
      "setTextureStageState(0, 6, 2)",
      "setTexture(0, " + texture + ")",
      "setTransform(3, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",  // orthographic 2 x 2, z 0..1
      "setTransform(2, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",
      "setTransform(256, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])",
      "setSamplerState(0, 5, 2)",
      "setSamplerState(0, 6, 2)",
      "setRenderState(14, 1)",
      "setRenderState(22, 1)",  // no culling
      "setFVF(0x00000102)",
      "drawPrimitiveUP(4, 2, [" + vertices + "], 20)",
  };
}

// The six vertices (x, y, z, u, v) of a quad of half-extents hx, hy, as logged.
std::string quadVertices(float hx, float hy) {
  const float v[30] = {-hx, -hy, 0, 0, 1, -hx, hy, 0, 0, 0, hx, hy,  0, 1, 0,
                       hx,  hy,  0, 1, 0, hx,  -hy, 0, 1, 1, -hx, -hy, 0, 0, 1};
  std::string text;
  char number[32];
  for (float f : v) {
    std::snprintf(number, sizeof number, "%g", static_cast<double>(f));
    text += (text.empty() ? "" : " ") + std::string(number);
  }
  return text;
}

TEST_F(LoadingScreen, ATexturedQuadSetsItsStatesAndCoversTheViewport) {
  RenderTarget* target = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  device->clearCalls();
  drawScreenQuad(target, 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
  EXPECT_EQ(calls(), texturedQuad("texture#1", 0xFF000000u, quadVertices(1.0f, 1.0f)));
}

TEST_F(LoadingScreen, WithoutASurfaceTheQuadBindsNoTextureAndSetsNoTransform) {
  drawScreenQuad(nullptr, 0.5f, 0.0f, gfx::Blend::InvSrcAlpha, gfx::Blend::SrcColor);
  EXPECT_EQ(calls(), (Calls{
                         "setRenderState(14, 0)",
                         "setRenderState(19, 3)",
                         "setRenderState(20, 6)",
                         "setRenderState(171, 1)",
                         "setRenderState(27, 1)",
                         "setSamplerState(0, 1, 3)",
                         "setSamplerState(0, 2, 3)",
                         "setTextureStageState(0, 4, 2)",
                         "setTextureStageState(0, 5, 3)",
                         "setRenderState(60, " + std::to_string(127u << 24) + ")",
                         "setRenderState(22, 1)",
                         "setFVF(0x00000102)",
                         "drawPrimitiveUP(4, 2, [" + quadVertices(1.0f, 1.0f) + "], 20)",
                     }));
}

TEST_F(LoadingScreen, TheTextureFactorCarriesTheClampedOpacity) {
  const struct {
    float alpha;
    uint32_t factor;
  } cases[] = {
      {1.7f, 0xFF000000u}, {1.0f, 0xFF000000u}, {0.5f, 0x7F000000u},
      {0.0f, 0u},          {-0.2f, 0u},         {0.999f, 0xFE000000u},
  };
  for (const auto& c : cases) {
    device->clearCalls();
    drawScreenQuad(nullptr, c.alpha, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
    EXPECT_EQ(calls()[9], "setRenderState(60, " + std::to_string(c.factor) + ")") << "alpha " << c.alpha;
  }
}

TEST_F(LoadingScreen, ZoomEnlargesTheQuadByThePictureAspect) {
  const struct {
    uint32_t width, height;
    float zoom, hx, hy;
  } cases[] = {
      {640, 480, 0.5f, 1.5f, 1.28046875f},  // picture 640 x 359
      {640, 480, 0.0f, 1.0f, 1.0f},
      {640, 480, 0.05f, 1.05f, 1.0280469f},
      {1280, 720, 0.5f, 1.5f, 1.2808594f},  // picture 1280 x 719 (the float aspect)
  };
  for (const auto& c : cases) {
    window->settings.width = c.width;
    window->settings.height = c.height;
    device->clearCalls();
    drawScreenQuad(nullptr, 1.0f, c.zoom, gfx::Blend::One, gfx::Blend::SrcAlpha);
    const std::vector<float> v = loggedFloatsToFirstClose(calls().back());
    ASSERT_EQ(v.size(), 30u);
    const float expected[30] = {-c.hx, -c.hy, 0, 0, 1, -c.hx, c.hy, 0, 0, 0, c.hx, c.hy,  0, 1, 0,
                                c.hx,  c.hy,  0, 1, 0, c.hx,  -c.hy, 0, 1, 1, -c.hx, -c.hy, 0, 0, 1};
    for (int i = 0; i < 30; ++i)
      EXPECT_NEAR(v[i], expected[i], 1e-5f) << c.width << "x" << c.height << " zoom " << c.zoom << " value " << i;
  }
}

TEST_F(LoadingScreen, ClearTakesEachChannelModulo256) {
  clearScreen(0, 0, 0, 0);
  clearScreen(257, 2, 3, -1);
  clearScreen(0x12, 0x134, 0x56, 0x78);
  EXPECT_EQ(calls(), (Calls{"clear(0x00000003, 0x00000000, 1, 0)", "clear(0x00000003, 0x010203ff, 1, 0)",
                            "clear(0x00000003, 0x12345678, 1, 0)"}));
}

TEST_F(LoadingScreen, EveryFiftiethReportRedrawsWithAGrowingZoom) {
  writeFile("data/loading.jpg", fixtureBytes("loading.jpg"));
  loadLoadingPicture();
  ASSERT_NE(loadingTexture, nullptr);
  ASSERT_NE(loadingTexture->getTexture(), nullptr);
  EXPECT_EQ(EngineContext::get().textures.count(loadingTexture), 1u);
  device->clearCalls();

  // progressCounter starts at 50: the first report draws at once, zoom 0.05.
  reportProgress();
  EXPECT_FLOAT_EQ(loadingProgress, 0.05f);
  EXPECT_EQ(progressCounter, 1);
  Calls expected{"beginScene()", "clear(0x00000003, 0x00000000, 1, 0)"};
  for (const std::string& call : texturedQuad("texture#1", 0xFF000000u, quadVertices(1.05f, 1.0280469f)))
    expected.push_back(call);
  expected.push_back("endScene()");
  expected.push_back("present()");
  EXPECT_EQ(calls(), expected);

  // The next redraw comes 50 reports later, zoom 0.10.
  device->clearCalls();
  for (int i = 0; i < 48; ++i) reportProgress();
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(progressCounter, 49);
  reportProgress();
  EXPECT_EQ(progressCounter, 0);
  EXPECT_FLOAT_EQ(loadingProgress, 0.1f);
  ASSERT_EQ(calls().size(), expected.size());
  EXPECT_EQ(calls()[26], "drawPrimitiveUP(4, 2, [" + quadVertices(1.1f, 1.0560938f) + "], 20)");
}

TEST_F(LoadingScreen, ReportsWithoutPictureWindowOrLoadingFlagChangeNothing) {
  writeFile("data/loading.jpg", fixtureBytes("loading.jpg"));
  Texture* picture = EngineContext::get().createTexture(dataFileName("loading.jpg"));
  const struct {
    const char* what;
    bool inProgress, withPicture, withWindow;
  } cases[] = {
      {"before the picture exists", true, false, true},
      {"after loading ended", false, true, true},
      {"without a render window", true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    loadingInProgress = c.inProgress;
    loadingTexture = c.withPicture ? picture : nullptr;
    RenderWindow* saved = renderWindow;
    if (!c.withWindow) renderWindow = nullptr;
    progressCounter = 50;
    loadingProgress = 0.0f;
    device->clearCalls();
    for (int i = 0; i < 120; ++i) reportProgress();
    renderWindow = saved;
    EXPECT_EQ(progressCounter, 50);
    EXPECT_EQ(loadingProgress, 0.0f);
    EXPECT_TRUE(calls().empty());
  }
}

TEST_F(LoadingScreen, AMissingLoadingPictureIsReportedAndDrawnWithoutTexture) {
  loadLoadingPicture();
  EXPECT_EQ(takeMessages(), (std::vector<Message>{{"error", "Couldn't open file!"}}));
  EXPECT_TRUE(platform::takeQuitMessage());
  ASSERT_NE(loadingTexture, nullptr);
  EXPECT_EQ(loadingTexture->getTexture(), nullptr);
  device->clearCalls();
  reportProgress();
  EXPECT_EQ(calls()[17], "setTexture(0, null)");
}

// Creating render targets and effects are progress points.
TEST_F(LoadingScreen, CreatingRenderTargetsAndEffectsReportsProgress) {
  writeFile("data/loading.jpg", fixtureBytes("loading.jpg"));
  loadLoadingPicture();
  progressCounter = 0;
  EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  EXPECT_EQ(progressCounter, 1);
  EngineContext::get().releaseRenderTarget(EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8));
  EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);  // from the pool: no report
  EXPECT_EQ(progressCounter, 2);
  EffectRegistry::load("none.fxo");  // the registry is made, then an effect
  EXPECT_EQ(progressCounter, 4);
  EffectRegistry::load("none.fxo");
  EXPECT_EQ(progressCounter, 5);
}

}  // namespace
}  // namespace velm::testing
