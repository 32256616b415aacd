// Effects on the OpenGL backend: parameters by name, commit semantics, state
// save and restore, four outputs, the matrix convention and failure paths.
#include <fstream>
#include <iterator>

#include "platform/gfx/effect_format.h"
#include "tests/gfx/gl_test_support.h"

namespace gfx::testing {
namespace {

class GlEffect : public GlDeviceTest {
 protected:
  void SetUp() override {
    GlDeviceTest::SetUp();
    if (HasFatalFailure()) return;
    std::ifstream in(VELM_GFX_TEST_EFFECT, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(bytes.empty()) << "missing " << VELM_GFX_TEST_EFFECT;
    ASSERT_EQ(device->createEffect(bytes.data(), bytes.size(), &effect), Result::Ok);
    effect->setMatrix("worldViewProjection", Matrix4::identity());
    device->clear(ClearTarget | ClearZBuffer, 0xff000000, 1.0f, 0);
  }
  void TearDown() override {
    if (effect) effect->release();
    GlDeviceTest::TearDown();
  }
  void drawWithEffect(const char* technique, float x0 = -1, float x1 = 1) {
    ASSERT_EQ(effect->setTechnique(technique), Result::Ok);
    uint32_t passes = 0;
    ASSERT_EQ(effect->begin(&passes, 0), Result::Ok);
    EXPECT_EQ(passes, 1u);
    ASSERT_EQ(effect->beginPass(0), Result::Ok);
    drawRect(x0, -1, x1, 1);
    effect->endPass();
    effect->end();
  }
  Effect* effect = nullptr;
};

TEST_F(GlEffect, ParametersByNameReachTheProgram) {
  const float ambient[4] = {1.0f, 0.5f, 0.0f, 1.0f};
  const float light1[4] = {0.0f, 1.0f, 0.0f, 1.0f};
  const float light0Position[3] = {0.0f, 0.0f, 1.0f};
  const float diffuse[4] = {1.0f, 0.0f, 0.0f, 1.0f};
  const float weights[3] = {0.0f, 1.0f, 1.0f};
  ASSERT_EQ(effect->setVector("material.ambient", ambient), Result::Ok);
  ASSERT_EQ(effect->setVector("pointLight[1].color", light1), Result::Ok);
  ASSERT_EQ(effect->setFloatArray("pointLight[0].position", light0Position, 3), Result::Ok);
  ASSERT_EQ(effect->setVector("material.diffuse", diffuse), Result::Ok);
  ASSERT_EQ(effect->setFloatArray("weights", weights, 3), Result::Ok);
  ASSERT_EQ(effect->setFloat("material.power", 1.0f), Result::Ok);

  const struct {
    int mode;
    Rgba expected;
  } cases[] = {{0, {255, 128, 0, 255}}, {1, {0, 255, 0, 255}}, {2, {0, 255, 255, 255}}, {3, {255, 0, 255, 255}}};
  for (const auto& c : cases) {
    ASSERT_EQ(effect->setInt("mode", c.mode), Result::Ok);
    drawWithEffect("Parameters");
    const Rgba got = pixel(read(device->backBuffer()), 10, 10);
    EXPECT_NEAR(got.r, c.expected.r, 1) << "mode " << c.mode << ": " << got;
    EXPECT_EQ(got.g, c.expected.g) << "mode " << c.mode;
    EXPECT_EQ(got.b, c.expected.b) << "mode " << c.mode;
  }
}

TEST_F(GlEffect, UnknownNamesAreRefusedAndChangeNothing) {
  const float v[4] = {1, 1, 1, 1};
  EXPECT_EQ(effect->setVector("material.shininess", v), Result::NotFound);
  EXPECT_EQ(effect->setFloat("nothing", 1.0f), Result::NotFound);
  EXPECT_EQ(effect->setMatrix("pointLight[7].position", Matrix4::identity()), Result::NotFound);
  EXPECT_EQ(effect->setFloat(nullptr, 1.0f), Result::NotFound);
  EXPECT_EQ(effect->setTechnique("NoSuchTechnique"), Result::NotFound);
  // Technique selection is unchanged by the failed call.
  const float ambient[4] = {0, 0, 1, 1};
  effect->setVector("material.ambient", ambient);
  effect->setInt("mode", 0);
  drawWithEffect("Parameters");
  EXPECT_EQ(pixel(read(device->backBuffer()), 1, 1), (Rgba{0, 0, 255, 255}));
}

TEST_F(GlEffect, ValuesSetInsideAPassApplyAtCommit) {
  const float red[4] = {1, 0, 0, 1}, green[4] = {0, 1, 0, 1};
  effect->setInt("mode", 0);
  effect->setVector("material.ambient", red);
  effect->setTechnique("Parameters");
  effect->begin(nullptr, 0);
  effect->beginPass(0);
  drawRect(-1, -1, 0, 1);
  effect->setVector("material.ambient", green);
  ASSERT_EQ(effect->commitChanges(), Result::Ok);
  drawRect(0, -1, 1, 1);
  effect->endPass();
  effect->end();
  const Readback r = read(device->backBuffer());
  EXPECT_EQ(pixel(r, 5, 5), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pixel(r, 50, 5), (Rgba{0, 255, 0, 255}));
}

TEST_F(GlEffect, EndRestoresWhatThePassesSetAndKeepsTheCallersOtherChanges) {
  device->setSamplerState(0, SamplerState::AddressU, static_cast<uint32_t>(TextureAddress::Wrap));
  effect->setTechnique("Parameters");
  effect->begin(nullptr, 0);
  effect->beginPass(0);
  uint32_t value = 0;
  device->getRenderState(RenderState::ZWriteEnable, &value);
  EXPECT_EQ(value, 0u);  // set by the pass
  device->getSamplerState(0, SamplerState::AddressU, &value);
  EXPECT_EQ(value, static_cast<uint32_t>(TextureAddress::Clamp));  // the effect's sampler
  device->setRenderState(RenderState::ZFunc, static_cast<uint32_t>(Compare::Always));
  effect->endPass();
  effect->end();

  const struct {
    RenderState state;
    uint32_t expected;
  } cases[] = {{RenderState::ZWriteEnable, 1},
               {RenderState::AlphaBlendEnable, 0},
               {RenderState::SrcBlend, static_cast<uint32_t>(Blend::One)},
               {RenderState::CullMode, static_cast<uint32_t>(Cull::CCW)},
               {RenderState::ZFunc, static_cast<uint32_t>(Compare::Always)}};
  for (const auto& c : cases) {
    device->getRenderState(c.state, &value);
    EXPECT_EQ(value, c.expected) << "render state " << static_cast<int>(c.state);
  }
  device->getSamplerState(0, SamplerState::AddressU, &value);
  EXPECT_EQ(value, static_cast<uint32_t>(TextureAddress::Wrap));
}

TEST_F(GlEffect, OnePassWritesFourOutputs) {
  Surface* outputs[4] = {makeTarget(16, 16, Format::A8R8G8B8), makeTarget(16, 16, Format::A8R8G8B8),
                         makeTarget(16, 16, Format::R32F), makeTarget(16, 16, Format::A8R8G8B8)};
  for (uint32_t slot = 0; slot < 4; ++slot) ASSERT_EQ(device->setRenderTarget(slot, outputs[slot]), Result::Ok);
  device->setDepthStencilSurface(nullptr);
  device->clear(ClearTarget, 0xff808080, 1.0f, 0);
  drawWithEffect("FourOutputs");
  EXPECT_EQ(pixel(read(outputs[0]), 8, 8), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pixel(read(outputs[1]), 8, 8), (Rgba{0, 255, 0, 255}));
  EXPECT_FLOAT_EQ(floatPixel(read(outputs[2]), 8, 8), 0.25f);
  EXPECT_EQ(pixel(read(outputs[3]), 8, 8), (Rgba{0, 0, 255, 255}));
}

TEST_F(GlEffect, RowVectorMatricesTranslateByTheirFourthRow) {
  Matrix4 shift = Matrix4::identity();
  shift.m[3][0] = 0.5f;  // x += 0.5 in clip units = 16 pixels of 64
  effect->setMatrix("worldViewProjection", shift);
  const float white[4] = {1, 1, 1, 1};
  effect->setVector("material.ambient", white);
  effect->setInt("mode", 0);
  drawWithEffect("Parameters", -1, 0);
  const Readback r = read(device->backBuffer());
  // Clip x -1..0 moved to -0.5..0.5: columns 16 to 47.
  EXPECT_EQ(pixel(r, 15, 10).r, 0);
  EXPECT_EQ(pixel(r, 16, 10).r, 255);
  EXPECT_EQ(pixel(r, 47, 10).r, 255);
  EXPECT_EQ(pixel(r, 48, 10).r, 0);
}

TEST_F(GlEffect, CopyPassReproducesTheSourceExactly) {
  std::vector<uint8_t> rgba(kWidth * kHeight * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>((i * 37 + i / 7) & 0xFF);
  for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  const std::vector<uint8_t> png = encodePng(kWidth, kHeight, rgba);
  Texture* source = nullptr;
  ASSERT_EQ(device->createTextureFromImage(png.data(), png.size(), &source, nullptr), Result::Ok);
  effect->setTexture("tex", source);
  effect->setInt("mode", 4);
  drawWithEffect("Parameters");
  EXPECT_EQ(read(device->backBuffer()).bytes, rgba);
  source->release();
}

TEST_F(GlEffect, BrokenEffectsFailCreationWithoutACrash) {
  Effect* broken = reinterpret_cast<Effect*>(1);
  const uint8_t junk[] = {'V', 'F', 'X', 'O', 9, 9};
  EXPECT_EQ(device->createEffect(junk, sizeof junk, &broken), Result::InvalidData);
  EXPECT_EQ(broken, nullptr);
  EXPECT_EQ(device->createEffect(nullptr, 0, &broken), Result::InvalidData);

  EffectDesc desc{"Bad", {}, {{"T", {{"p", {}, "#version 450 core\nvoid main() { gl_Position = vec4(0.0); }\n",
                                       "#version 450 core\nvoid main() { this is not glsl }\n"}}}}};
  const std::vector<uint8_t> bytes = serializeEffect(desc);
  EXPECT_EQ(device->createEffect(bytes.data(), bytes.size(), &broken), Result::CompileFailed);
  EXPECT_EQ(broken, nullptr);
  EXPECT_EQ(device->liveObjectCount(), 1u);  // only the fixture's effect
}

}  // namespace
}  // namespace gfx::testing
