#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/surfaces.h"
#include "platform/gfx/effect_format.h"
#include "tests/engine/engine_test_support.h"

namespace velm::testing {
namespace {

using Calls = std::vector<std::string>;

class Effects : public EngineTest {
 protected:
  // Writes a one-technique effect container to data/<fileName> and registers it.
  static std::string makeEffect(const std::string& fileName, const std::string& technique) {
    const gfx::EffectDesc desc{fileName, {}, {{technique, {{"p0", {}, "vertex", "fragment"}}}}};
    const std::vector<uint8_t> bytes = gfx::serializeEffect(desc);
    writeFile("data/" + fileName, std::string(bytes.begin(), bytes.end()));
    return dataFileName(fileName);
  }
  long countCalls(const std::string& call) const { return std::count(calls().begin(), calls().end(), call); }
};

TEST_F(Effects, ShadersOfOneFileShareOneEffectReleasedOnce) {
  const std::string quad = makeEffect("Quad.fxo", "Quad");
  const std::string blur = makeEffect("MappedBlur.fxo", "MappedBlur");
  {
    TShader a(quad, "Quad");
    TShader b(quad, "Quad");
    TShader c(blur, "MappedBlur");
    ASSERT_NE(a.effect, nullptr);
    EXPECT_EQ(a.effect, b.effect);
    EXPECT_NE(a.effect, c.effect);
    EXPECT_FALSE(a.begun);
    EXPECT_STREQ(a.technique, "Quad");
  }
  EffectRegistry& registry = EffectRegistry::get();
  EXPECT_EQ(registry.createdCount, 2);
  ASSERT_EQ(registry.entries.size(), 2u);
  EXPECT_EQ(registry.entries[0].name, "Quad.fxo");
  EXPECT_EQ(registry.entries[1].name, "MappedBlur.fxo");

  device->clearCalls();
  EffectRegistry::destroy();
  EXPECT_EQ(countCalls("effect#1.release()"), 1);
  EXPECT_EQ(countCalls("effect#2.release()"), 1);
  EXPECT_EQ(calls().size(), 2u);
  EXPECT_EQ(device->liveObjectCount(), 0u);
  EXPECT_TRUE(EffectRegistry::get().entries.empty()) << "a fresh registry after destroy";
  EXPECT_EQ(EffectRegistry::get().createdCount, 0);
}

TEST_F(Effects, AFailedCreationIsTriedAgainOnTheNextRequest) {
  writeFile("data/Bad.fxo", "not an effect");
  EXPECT_EQ(EffectRegistry::load(dataFileName("Bad.fxo")), nullptr);
  EXPECT_EQ(EffectRegistry::load("Later.fxo"), nullptr);  // not registered yet
  EXPECT_EQ(EffectRegistry::get().createdCount, 2);

  makeEffect("Later.fxo", "Later");
  gfx::Effect* effect = EffectRegistry::load("Later.fxo");
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(EffectRegistry::load("Later.fxo"), effect);
  EffectRegistry& registry = EffectRegistry::get();
  EXPECT_EQ(registry.createdCount, 3);
  ASSERT_EQ(registry.entries.size(), 2u) << "the retry fills the existing entry";
  EXPECT_EQ(registry.entries[1].name, "Later.fxo");
  EXPECT_EQ(registry.entries[1].effect, effect);
  EXPECT_EQ(registry.entries[0].effect, nullptr);
}

TEST_F(Effects, BeginRunsOnceUntilEndAndTheCallOrderReachesTheEffect) {
  TShader shader(makeEffect("Quad.fxo", "Quad"), "Quad");
  device->clearCalls();
  shader.begin();
  shader.begin();
  shader.beginPass(0);
  shader.endPass();
  shader.end();
  shader.end();
  EXPECT_EQ(calls(), (Calls{"effect#1.setTechnique(Quad)", "effect#1.begin(0)", "effect#1.beginPass(0)",
                            "effect#1.endPass()", "effect#1.end()"}));
  EXPECT_FALSE(shader.begun);
}

TEST_F(Effects, DestroyingABegunShaderEndsTheEffect) {
  const std::string quad = makeEffect("Quad.fxo", "Quad");
  EffectRegistry::load(quad);
  device->clearCalls();
  {
    TShader idle(quad, "Quad");
  }
  EXPECT_TRUE(calls().empty()) << "a shader that never began ends nothing";
  {
    TShader shader(quad, "Quad");
    shader.begin();
    shader.beginPass(0);
  }
  EXPECT_EQ(calls().back(), "effect#1.end()");
  EXPECT_EQ(countCalls("effect#1.end()"), 1);
  EXPECT_EQ(countCalls("effect#1.release()"), 0) << "the effect stays with the registry";
}

TEST_F(Effects, ParametersGoToTheEffectByName) {
  TShader shader(makeEffect("Quad.fxo", "Quad"), "Quad");
  RenderTarget* target = EngineContext::get().acquireRenderTarget(gfx::Format::A8R8G8B8);
  device->clearCalls();
  gfx::Matrix4 m = gfx::Matrix4::identity();
  m.m[3][0] = 5;
  const float colour[3] = {0.25f, 0.5f, 1};
  setMatrix(shader, "world", m);
  setTexture(shader, "tex", target);
  setTexture(shader, "tex", nullptr);
  setFloat(shader, "alpha", 0.1f);
  setFloat3(shader, "colour", colour);
  EXPECT_EQ(calls(), (Calls{"effect#1.setMatrix(world, [1 0 0 0 0 1 0 0 0 0 1 0 5 0 0 1])",
                            "effect#1.setTexture(tex, " + gfx::RecordingDevice::nameOf(target->texture) + ")",
                            "effect#1.setTexture(tex, null)", "effect#1.setFloat(alpha, 0.1)",
                            "effect#1.setFloatArray(colour, [0.25 0.5 1])"}));
}

TEST_F(Effects, AShaderWithoutAnEffectSkipsEveryCall) {
  TShader shader("Missing.fxo", "Quad");
  EXPECT_EQ(shader.effect, nullptr);
  device->clearCalls();
  const float v[3] = {1, 2, 3};
  setMatrix(shader, "m", gfx::Matrix4::identity());
  setTexture(shader, "t", nullptr);
  setFloat(shader, "f", 1);
  setFloat3(shader, "v", v);
  shader.begin();
  shader.beginPass(0);
  shader.endPass();
  EXPECT_FALSE(shader.begun);
  shader.end();
  EXPECT_TRUE(calls().empty());
}

}  // namespace
}  // namespace velm::testing
