// The engine on the real OpenGL backend (headless through EGL): render
// targets, the screen quad inside and outside an effect pass, and shutdown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/data_files.h"
#include "engine/effects.h"
#include "engine/engine_context.h"
#include "engine/loading_screen.h"
#include "engine/surfaces.h"
#include "platform/gfx/effect_format.h"
#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_device.h"
#include "tests/engine/engine_test_support.h"

namespace velm::testing {
namespace {

using EngineOnOpenGl = EngineTest;

struct Pixel {
  int r, g, b;
  bool operator==(const Pixel&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Pixel& p) {
  return out << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}
Pixel pixelAt(const gfx::Readback& r, uint32_t x, uint32_t y) {
  const uint8_t* p = &r.bytes[(static_cast<size_t>(y) * r.width + x) * 4];
  return {p[0], p[1], p[2]};
}

// One technique drawing its vertices untransformed in the colour `tint`.
std::string tintEffect() {
  const gfx::EffectDesc desc{
      "Tint",
      {},
      {{"Tint",
        {{"p0",
          {},
          "#version 450 core\nlayout(location = 0) in vec3 inPosition;\n"
          "void main() { gl_Position = vec4(inPosition, 1.0); }\n",
          "#version 450 core\nuniform vec3 tint;\nlayout(location = 0) out vec4 outColor;\n"
          "void main() { outColor = vec4(tint, 1.0); }\n"}}}}};
  const std::vector<uint8_t> bytes = gfx::serializeEffect(desc);
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(EngineOnOpenGl, DrawsTheFrameOfAPostPassAndShutdownLeavesNoLiveObject) {
  window->settings.width = 64;  // picture 64 x 35, rows 6 to 40
  window->settings.height = 48;
  std::vector<std::string> glErrors;
  std::string error;
  auto glContext = gfx::createSurfacelessContext({.debug = true}, &error);
  ASSERT_TRUE(glContext) << "no headless OpenGL context: " << error;
  auto gl = gfx::createGlDevice(std::move(glContext), 64, 48,
                                [&](const std::string& message) { glErrors.push_back(message); }, &error);
  ASSERT_TRUE(gl) << error;
  EngineContext& context = EngineContext::get();
  delete context.device;
  device = nullptr;
  bool released = false;
  size_t liveAtRelease = 0;
  context.device = new ForwardingDevice(std::move(gl), [&](gfx::Device& inner) {
    released = true;
    liveAtRelease = inner.liveObjectCount();
  });
  gfx::Device& dev = *context.device;

  writeFile("data/loading.jpg", fixtureBytes("loading.jpg"));
  writeFile("data/Tint.fxo", tintEffect());
  loadLoadingPicture();
  ASSERT_NE(loadingTexture->getTexture(), nullptr);
  reportProgress();  // draws the loading screen once
  EXPECT_EQ(progressCounter, 1);

  // A post pass: clear its target to green, add blue through an effect pass.
  RenderTarget* colour = context.acquireRenderTarget(gfx::Format::A8R8G8B8);
  RenderTarget* depth = context.acquireRenderTarget(gfx::Format::R32F);
  colour->bind(0);
  depth->bind(1);
  clearScreen(255, 0, 255, 0);
  {
    TShader shader(dataFileName("Tint.fxo"), "Tint");
    ASSERT_NE(shader.effect, nullptr);
    const float blue[3] = {0, 0, 1};
    setFloat3(shader, "tint", blue);
    shader.begin();
    shader.beginPass(0);
    drawScreenQuad(nullptr, 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
    shader.endPass();
    shader.end();
  }
  depth->unbind();
  colour->unbind();

  // Onto the back buffer: dark red everywhere, the target added in the picture.
  dev.setViewport({0, 0, 64, 48, 0.0f, 10.0f});
  dev.clear(gfx::ClearTarget | gfx::ClearZBuffer, 0xFF800000u, 1.0f, 0);
  dev.setViewport(window->defaultViewport());
  drawScreenQuad(colour, 1.0f, 0.0f, gfx::Blend::One, gfx::Blend::SrcAlpha);
  context.releaseRenderTarget(colour);
  context.releaseRenderTarget(depth);

  gfx::Readback frame;
  ASSERT_EQ(dev.readSurface(dev.backBuffer(), &frame), gfx::Result::Ok);
  EXPECT_EQ(pixelAt(frame, 32, 5), (Pixel{128, 0, 0})) << "letterbox bar";
  EXPECT_EQ(pixelAt(frame, 32, 41), (Pixel{128, 0, 0})) << "letterbox bar";
  EXPECT_EQ(pixelAt(frame, 0, 6), (Pixel{128, 255, 255})) << "picture";
  EXPECT_EQ(pixelAt(frame, 63, 40), (Pixel{128, 255, 255})) << "picture";

  EffectRegistry::destroy();
  context.shutdown();
  EXPECT_TRUE(released);
  EXPECT_EQ(liveAtRelease, 0u) << "objects alive when the device was released";
  EXPECT_EQ(context.device, nullptr);
  for (const std::string& e : glErrors) ADD_FAILURE() << "OpenGL error: " << e;
}

}  // namespace
}  // namespace velm::testing
