// The three post effects against the recording device: the hue wrap, the
// parameters each pass sets (names, order, values and textures), the effect
// files they load, a source that has not rendered, one target used as both
// picture and map, and the redraw and pool rules they inherit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/surfaces.h"
#include "post/hsv_effect.h"
#include "post/mapped_distortion_effect.h"
#include "post/motionblur_effect.h"
#include "tests/scene/scene_test_support.h"

namespace velm::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

// A renderable with an output of its own and nothing drawn into it.
class Blank final : public BufferRenderable {};

class PostEffectTest : public SceneTest {
 protected:
  RenderTarget* target(gfx::Format format = gfx::Format::A8R8G8B8) {
    return EngineContext::get().acquireRenderTarget(format);
  }
  static std::string textureName(RenderTarget* t) { return gfx::RecordingDevice::nameOf(t ? t->texture : nullptr); }
  // The effect calls of the pass, without the effect's name, as
  // "setFloat(radius, 0.25)", "setTexture(tex, texture#3)" or "begin(0)";
  // matrices are shortened to "setMatrix(name)".
  std::vector<std::string> effectCalls() const {
    std::vector<std::string> out;
    for (const std::string& c : calls()) {
      if (c.rfind("effect#", 0) != 0) continue;
      std::string call = c.substr(c.find('.') + 1);
      if (call.rfind("setMatrix(", 0) == 0) call = call.substr(0, call.find(',')) + ")";
      out.push_back(call);
    }
    return out;
  }
  // The start of a logged render-state call, "setRenderState(<state>, ".
  static std::string state(gfx::RenderState s) { return "setRenderState(" + number(s) + ", "; }
  template <typename E>
  static std::string number(E e) { return std::to_string(static_cast<uint32_t>(e)); }
  // The matrix logged for "worldViewProjection".
  std::vector<float> projection() const {
    for (const std::string& c : calls())
      if (c.find("setMatrix(worldViewProjection") != std::string::npos) return loggedFloats(c);
    return {};
  }
};

TEST(HueWrap, BringsTheHueIntoTheOpenRangeOfOneTurnEitherWay) {
  struct Case {
    float hue, wrapped;
  };
  const Case cases[] = {
      {370.0f, 10.0f},  {-370.0f, -10.0f}, {360.0f, 0.0f},   {-360.0f, 0.0f},  {359.5f, 359.5f},
      {-359.5f, -359.5f}, {0.0f, 0.0f},    {720.0f, 0.0f},   {1000.0f, 280.0f}, {-725.0f, -5.0f},
      {45.25f, 45.25f},
  };
  for (const Case& c : cases) EXPECT_FLOAT_EQ(wrapHue(c.hue), c.wrapped) << c.hue;
  // The turn count is made with the single-precision 1/360: just below a
  // whole turn it is still 0, so the value stays as it is.
  EXPECT_FLOAT_EQ(wrapHue(359.99997f), 359.99997f);
}

TEST_F(PostEffectTest, HsvPassSendsItsParametersInOrderAndKeepsTheWrappedHue) {
  Blank source;
  source.render(1.0f);
  struct Case {
    float hue, kept;
    const char* sent;
  };
  for (const Case c : {Case{370.0f, 10.0f, "10"}, Case{-370.0f, -10.0f, "-10"}, Case{360.0f, 0.0f, "0"},
                       Case{359.5f, 359.5f, "359.5"}}) {
    HSVEffect hsv(&source, c.hue, 2.0f, 1.5f);
    device->clearCalls();
    hsv.render(1.0f);
    EXPECT_THAT(effectCalls(),
                ElementsAre("setMatrix(worldViewProjection)", "setTexture(tex, " + textureName(source.output()) + ")",
                            std::string("setFloat(hue, ") + c.sent + ")",
                            "setFloat(saturation, 2)", "setFloat(value, 1.5)", "setTechnique(HSVEffect)", "begin(0)",
                            "beginPass(0)", "endPass()", "end()"))
        << c.hue;
    EXPECT_FLOAT_EQ(hsv.hue, c.kept) << "the wrapped hue is kept";
  }
}

TEST_F(PostEffectTest, MotionblurPassSendsRadiusDepthMapAndPictureInOrder) {
  RenderTarget* picture = target();
  RenderTarget* velocity = target();
  RenderTarget* depth = target(gfx::Format::R32F);
  MotionblurEffect blur(picture, velocity, depth, 0.015f);
  device->clearCalls();
  blur.render(2.0f);
  EXPECT_THAT(effectCalls(),
              ElementsAre("setMatrix(worldViewProjection)", "setFloat(radius, 0.015)",
                          "setTexture(depthTex, " + textureName(depth) + ")",
                          "setTexture(blurMap, " + textureName(velocity) + ")",
                          "setTexture(tex, " + textureName(picture) + ")", "setTechnique(MappedBlur)", "begin(0)",
                          "beginPass(0)", "endPass()", "end()"));
  EXPECT_EQ(blur.source, picture);
  EXPECT_EQ(blur.blurMap, velocity);
  EXPECT_EQ(blur.depth, depth);
  EXPECT_FLOAT_EQ(blur.radius, 0.015f);
}

TEST_F(PostEffectTest, DistortionPassSendsFactorTimeMapAndPictureInOrder) {
  RenderTarget* picture = target();
  RenderTarget* map = target();
  MappedDistortionEffect warp(picture, map, -0.25f, 0.03f);
  device->clearCalls();
  warp.render(2.0f);
  EXPECT_THAT(effectCalls(),
              ElementsAre("setMatrix(worldViewProjection)", "setFloat(factor, -0.25)", "setFloat(timedelta, 0.03)",
                          "setTexture(distortionMap, " + textureName(map) + ")",
                          "setTexture(tex, " + textureName(picture) + ")", "setTechnique(MappedDistortion)",
                          "begin(0)", "beginPass(0)", "endPass()", "end()"));
}

TEST_F(PostEffectTest, EveryPassIsOneQuadBlendedOntoItsClearedOutputWithTheIdentityProjection) {
  Blank scene;
  scene.render(1.0f);
  MotionblurEffect blur(scene.output(), scene.output(), nullptr, 0.01f);
  HSVEffect hsv(&blur, 0.0f, 1.0f, 1.0f);
  MappedDistortionEffect warp(scene.output(), scene.output(), 0.1f, 0.03f);
  for (BufferRenderable* effect : std::initializer_list<BufferRenderable*>{&blur, &hsv, &warp}) {
    device->clearCalls();
    effect->render(3.0f);
    ASSERT_NE(effect->output(), nullptr);
    const std::string out = gfx::RecordingDevice::nameOf(effect->output()->surface);
    // Bound and cleared to transparent black, one two-triangle quad blended
    // ONE / SRCALPHA, then the previous target back.
    EXPECT_THAT(callsWith("setRenderTarget(0"), ElementsAre("setRenderTarget(0, " + out + ")",
                                                            "setRenderTarget(0, backbuffer)"));
    EXPECT_THAT(callsWith("clear("), ElementsAre(HasSubstr("0x00000000")));
    EXPECT_THAT(callsWith("drawPrimitiveUP("), ElementsAre(HasSubstr(", 2, [")));
    EXPECT_THAT(callsWith(state(gfx::RenderState::SrcBlend)), ElementsAre(state(gfx::RenderState::SrcBlend) + number(gfx::Blend::SrcAlpha) + ")"));
    EXPECT_THAT(callsWith(state(gfx::RenderState::DestBlend)), ElementsAre(state(gfx::RenderState::DestBlend) + number(gfx::Blend::One) + ")"));
    const std::vector<float> m = projection();
    EXPECT_THAT(m, ElementsAreArray({1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f,
                                     0.0f, 1.0f}));
  }
}

TEST_F(PostEffectTest, HsvOfASourceThatHasNotRenderedSendsNoPicture) {
  Blank source;
  HSVEffect hsv(&source, 0.0f, 1.0f, 1.0f);
  device->clearCalls();
  hsv.render(1.0f);
  EXPECT_THAT(effectCalls(), ::testing::Contains("setTexture(tex, null)"));
  // Fetched when it draws: once the source has a picture, a new frame sends it.
  source.render(2.0f);
  device->clearCalls();
  hsv.render(2.0f);
  EXPECT_THAT(effectCalls(), ::testing::Contains("setTexture(tex, " + textureName(source.output()) + ")"));
}

TEST_F(PostEffectTest, NullInputsSendNullTextures) {
  MotionblurEffect blur(nullptr, nullptr, nullptr, 0.5f);
  MappedDistortionEffect warp(nullptr, nullptr, 0.5f, 0.5f);
  HSVEffect hsv(nullptr, 0.0f, 1.0f, 1.0f);
  device->clearCalls();
  blur.render(1.0f);
  warp.render(1.0f);
  hsv.render(1.0f);
  EXPECT_THAT(effectSetters(), ElementsAre("setMatrix(worldViewProjection)", "setFloat(radius)", "setTexture(depthTex)",
                                           "setTexture(blurMap)", "setTexture(tex)", "setMatrix(worldViewProjection)",
                                           "setFloat(factor)", "setFloat(timedelta)", "setTexture(distortionMap)",
                                           "setTexture(tex)", "setMatrix(worldViewProjection)", "setTexture(tex)",
                                           "setFloat(hue)", "setFloat(saturation)", "setFloat(value)"));
  EXPECT_THAT(callsWith("setTexture("), ::testing::Each(HasSubstr(", null)")));
}

TEST_F(PostEffectTest, OneTargetAsPictureAndMapIsValid) {
  Blank scene;
  scene.render(1.0f);
  MappedDistortionEffect wave(scene.output(), scene.output(), 0.01f, 0.03f);
  device->clearCalls();
  wave.render(1.0f);
  const std::string picture = textureName(scene.output());
  EXPECT_THAT(effectCalls(), ::testing::IsSupersetOf({"setTexture(distortionMap, " + picture + ")",
                                                      "setTexture(tex, " + picture + ")"}));
  ASSERT_NE(wave.output(), nullptr);
  EXPECT_NE(wave.output(), scene.output()) << "it draws into a target of its own";
  EXPECT_THAT(callsWith("drawPrimitiveUP"), ::testing::SizeIs(1));
}

TEST_F(PostEffectTest, EffectsLoadTheirFilesUnderTheNamesGiven) {
  {
    MotionblurEffect blur(nullptr, nullptr, nullptr, 0.0f);
    HSVEffect hsv(nullptr, 0.0f, 1.0f, 1.0f);
    MappedDistortionEffect warp(nullptr, nullptr, 0.0f, 0.03f);
    EXPECT_NE(blur.shader.effect, nullptr);
    EXPECT_NE(hsv.shader.effect, nullptr);
    EXPECT_NE(warp.shader.effect, nullptr);
    EXPECT_STREQ(blur.shader.technique, "MappedBlur");
    EXPECT_STREQ(hsv.shader.technique, "HSVEffect");
    EXPECT_STREQ(warp.shader.technique, "MappedDistortion");
  }
  std::vector<std::string> names;
  for (const EffectEntry& e : EffectRegistry::get().entries) names.push_back(e.name);
  EXPECT_THAT(names, ElementsAre("MappedBlur.fxo", "data/HSVEffect.fxo", "MappedDistortion.fxo"));
  // "data/HSVEffect.fxo" is looked for as "data/data/HSVEffect.fxo" first and
  // found under its own name: the build's data/HSVEffect.fxo.
  const DataFile* hsvFile = findDataFile("data/HSVEffect.fxo");
  ASSERT_NE(hsvFile, nullptr);
  EXPECT_GT(hsvFile->size, 0u);
  EXPECT_EQ(findDataFile("HSVEffect.fxo"), nullptr);
  // Built per frame, loaded once.
  { HSVEffect again(nullptr, 0.0f, 1.0f, 1.0f); }
  EXPECT_EQ(EffectRegistry::get().createdCount, 3);
}

TEST_F(PostEffectTest, ASecondRenderAtTheSameTimeRunsNoPass) {
  Blank scene;
  scene.render(1.0f);
  MotionblurEffect blur(scene.output(), scene.output(), nullptr, 0.4f);
  blur.render(5.0f);
  device->clearCalls();
  blur.render(5.0005f);
  EXPECT_TRUE(calls().empty());
}

TEST_F(PostEffectTest, AFrameOfEffectsHoldsDistinctTargetsAndGivesThemBack) {
  EngineContext& context = EngineContext::get();
  Blank scene;
  scene.render(1.0f);
  std::vector<RenderTarget*> held;
  {
    MotionblurEffect blur(scene.output(), scene.output(), nullptr, 0.01f);
    HSVEffect hsv(&blur, 0.0f, 2.0f, 1.0f);
    blur.render(1.0f);
    hsv.render(1.0f);
    MappedDistortionEffect warp(hsv.output(), scene.output(), 0.03f, 0.03f);
    warp.render(1.0f);
    held = {blur.output(), hsv.output(), warp.output()};
    EXPECT_NE(held[0], held[1]);
    EXPECT_NE(held[1], held[2]);
    EXPECT_NE(held[0], held[2]);
    EXPECT_TRUE(context.renderTargetPool.empty());
  }
  EXPECT_EQ(context.renderTargetPool.size(), 3u);
  // The next frame makes no new targets.
  const int32_t made = context.renderTargetCount;
  {
    MotionblurEffect blur(scene.output(), scene.output(), nullptr, 0.01f);
    HSVEffect hsv(&blur, 0.0f, 2.0f, 1.0f);
    MappedDistortionEffect warp(scene.output(), scene.output(), 0.03f, 0.03f);
    blur.render(2.0f);
    hsv.render(2.0f);
    warp.render(2.0f);
  }
  EXPECT_EQ(context.renderTargetCount, made);
}

}  // namespace
}  // namespace velm::testing
