#include <gtest/gtest.h>

#include "tools/fxc/fx_source.h"

namespace fxc {
namespace {

constexpr const char* kSource = R"(Header comment: anything before the first section.
@effect Demo
@sampler tex MinFilter=Linear AddressU=Clamp
@common
uniform float alpha;
@vertex v
void main() { gl_Position = vec4(inPosition, alpha); }
@fragment f
layout(location = 0) out vec4 c;
void main() { c = vec4(alpha); }
@technique A
@pass p0 vertex=v fragment=f ZWriteEnable=False SrcBlend=SrcAlpha DestBlend=One CullMode=None ColorWriteEnable=0x7
@technique B
@pass p0 vertex=v fragment=f
)";

TEST(FxSource, ParsesSectionsStatesAndPrograms) {
  gfx::EffectDesc e;
  std::string error;
  ASSERT_TRUE(parseFxSource(kSource, "demo.fx", &e, &error)) << error;
  EXPECT_EQ(e.name, "Demo");
  ASSERT_EQ(e.samplers.size(), 1u);
  EXPECT_EQ(e.samplers[0].states.size(), 2u);
  ASSERT_EQ(e.techniques.size(), 2u);
  const gfx::PassDesc& p = e.techniques[0].passes[0];
  using S = gfx::RenderState;
  const std::vector<std::pair<S, uint32_t>> expected = {
      {S::ZWriteEnable, 0}, {S::SrcBlend, 5}, {S::DestBlend, 2}, {S::CullMode, 1}, {S::ColorWriteEnable, 7}};
  EXPECT_EQ(p.states, expected);
  EXPECT_EQ(p.vertexSource.rfind("#version 450 core\n", 0), 0u);
  EXPECT_NE(p.vertexSource.find("in vec3 inPosition"), std::string::npos);
  EXPECT_NE(p.vertexSource.find("uniform float alpha"), std::string::npos);
  EXPECT_EQ(p.fragmentSource.find("inPosition"), std::string::npos);
  // Error lines in the programs point back at the .fx file.
  EXPECT_NE(p.fragmentSource.find("#line 9\n"), std::string::npos);
}

TEST(FxSource, ReportsMistakesWithTheirLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"@vertex v\n@fragment f\n@technique T\n@pass p vertex=v\n", ":4: pass 'p' needs vertex= and fragment="},
      {"@vertex v\n@fragment f\n@technique T\n@pass p vertex=v fragment=g\n", ":4: no fragment program 'g'"},
      {"@technique T\n@pass p vertex=v fragment=f ZWriteEnable=Maybe\n", ":2: bad value in 'ZWriteEnable=Maybe'"},
      {"@technique T\n@pass p vertex=v fragment=f Fog=True\n", ":2: unknown render state 'Fog'"},
      {"@pass p vertex=v fragment=f\n", ":1: @pass outside a technique"},
      {"@vertex v\n@vertex v\n", ":2: program 'v' defined twice"},
      {"@sampler s Filter=Linear\n", ":1: unknown sampler state 'Filter=Linear'"},
      {"@bogus\n", ":1: unknown directive @bogus"},
      {"just a comment\n", "no technique"},
      {"@technique T\n", "technique 'T' has no pass"},
  };
  for (const auto& c : cases) {
    gfx::EffectDesc e;
    std::string error;
    EXPECT_FALSE(parseFxSource(c.text, "x.fx", &e, &error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
  }
}

}  // namespace
}  // namespace fxc
