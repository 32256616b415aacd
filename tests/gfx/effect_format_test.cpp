#include <gtest/gtest.h>

#include "platform/gfx/effect_format.h"

namespace gfx {
namespace {

EffectDesc sampleEffect() {
  EffectDesc e;
  e.name = "Sample";
  e.samplers.push_back({"tex", {{SamplerState::AddressU, 3}, {SamplerState::MinFilter, 2}}});
  TechniqueDesc t{"Tech", {}};
  t.passes.push_back({"p0", {{RenderState::ZWriteEnable, 0}, {RenderState::SrcBlend, 5}}, "vs text", "fs text"});
  t.passes.push_back({"p1", {}, "vs2", "fs2"});
  e.techniques.push_back(t);
  e.techniques.push_back({"Other", {{"only", {}, "a", "b"}}});
  return e;
}

TEST(EffectFormat, RoundTripKeepsEverything) {
  const EffectDesc in = sampleEffect();
  const std::vector<uint8_t> bytes = serializeEffect(in);
  EffectDesc out;
  std::string error;
  ASSERT_TRUE(parseEffect(bytes.data(), bytes.size(), &out, &error)) << error;
  EXPECT_EQ(out.name, "Sample");
  ASSERT_EQ(out.samplers.size(), 1u);
  EXPECT_EQ(out.samplers[0].name, "tex");
  EXPECT_EQ(out.samplers[0].states, in.samplers[0].states);
  ASSERT_EQ(out.techniques.size(), 2u);
  ASSERT_EQ(out.techniques[0].passes.size(), 2u);
  EXPECT_EQ(out.techniques[0].passes[0].states, in.techniques[0].passes[0].states);
  EXPECT_EQ(out.techniques[0].passes[0].vertexSource, "vs text");
  EXPECT_EQ(out.techniques[0].passes[1].fragmentSource, "fs2");
  EXPECT_EQ(out.techniques[1].name, "Other");
}

TEST(EffectFormat, RejectsEveryTruncationAndGarbage) {
  const std::vector<uint8_t> bytes = serializeEffect(sampleEffect());
  EffectDesc out;
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_FALSE(parseEffect(bytes.data(), n, &out, nullptr)) << "accepted a prefix of " << n << " bytes";
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(parseEffect(longer.data(), longer.size(), &out, nullptr));
  EXPECT_FALSE(parseEffect(nullptr, 100, &out, nullptr));
  // A huge count must not make the parser allocate or read past the end.
  std::vector<uint8_t> hostile = {'V', 'F', 'X', 'O', 1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_FALSE(parseEffect(hostile.data(), hostile.size(), &out, nullptr));
}

}  // namespace
}  // namespace gfx
