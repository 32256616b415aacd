// The mesh buffers on the real OpenGL backend (headless through EGL): the
// chain scene's room, refined, inverted and texture-mapped, seen from inside
// with a small shading effect. With VELM_TEST_PICTURES set to a folder, the
// frame is also written there as geometry_room.png for a person to look at.
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "engine/engine_context.h"
#include "geometry/modifiers.h"
#include "geometry/subdivide.h"
#include "platform/gfx/effect_format.h"
#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_device.h"
#include "tests/geometry/geometry_test_support.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace velm::testing {
namespace {

constexpr uint32_t kWidth = 320, kHeight = 180;

// Colour from the interpolated normal (0.5 + 0.5 n), darkened on alternate
// squares of texture-coordinate pair 1.
std::vector<uint8_t> roomEffect() {
  const gfx::EffectDesc desc{
      "Room",
      {},
      {{"Room",
        {{"p0",
          {},
          "#version 450 core\n"
          "layout(location = 0) in vec3 inPosition;\n"
          "layout(location = 1) in vec3 inNormal;\n"
          "layout(location = 3) in vec2 inUv1;\n"
          "uniform mat4 worldViewProjection;\n"
          "out vec3 normal;\nout vec2 uv1;\n"
          "void main() { gl_Position = worldViewProjection * vec4(inPosition, 1.0);\n"
          "  normal = inNormal; uv1 = inUv1; }\n",
          "#version 450 core\n"
          "in vec3 normal;\nin vec2 uv1;\n"
          "layout(location = 0) out vec4 outColor;\n"
          "void main() { float checker = mod(floor(uv1.x) + floor(uv1.y), 2.0) < 0.5 ? 1.0 : 0.75;\n"
          "  outColor = vec4((0.5 + 0.5 * normalize(normal)) * checker, 1.0); }\n"}}}}};
  return gfx::serializeEffect(desc);
}

// Left-handed perspective, row-vector convention.
Matrix perspective(float fovY, float aspect, float zn, float zf) {
  Matrix m{};
  const float ys = 1.0f / std::tan(fovY / 2), xs = ys / aspect;
  m.m[0][0] = xs;
  m.m[1][1] = ys;
  m.m[2][2] = zf / (zf - zn);
  m.m[2][3] = 1.0f;
  m.m[3][2] = -zn * zf / (zf - zn);
  return m;
}

struct Rgb {
  int r, g, b;
};
Rgb pixelAt(const gfx::Readback& frame, uint32_t x, uint32_t y) {
  const uint8_t* p = &frame.bytes[(static_cast<size_t>(y) * frame.width + x) * 4];
  return {p[0], p[1], p[2]};
}

using GeometryOnOpenGl = GeometryTest;

TEST_F(GeometryOnOpenGl, TheChainRoomIsDrawnClosedAroundTheViewer) {
  std::vector<std::string> glErrors;
  std::string error;
  auto glContext = gfx::createSurfacelessContext({.debug = true}, &error);
  ASSERT_TRUE(glContext) << "no headless OpenGL context: " << error;
  auto gl = gfx::createGlDevice(std::move(glContext), kWidth, kHeight,
                                [&](const std::string& message) { glErrors.push_back(message); }, &error);
  ASSERT_TRUE(gl) << error;
  EngineContext& context = EngineContext::get();
  delete context.device;
  device = nullptr;
  context.device = gl.release();
  gfx::Device& dev = *context.device;

  Mesh* room = box(130, 130, 130);  // made after the device swap: its buffers are GL buffers
  meshmodify::InvertFaces().apply(*room);
  meshmodify::Subdivide(2, 1).apply(*room);
  meshmodify::Subdivide(1, 0).apply(*room);
  meshmodify::Texgen(0, 0.002f).apply(*room);
  meshmodify::Texgen(1, 0.06f).apply(*room);

  const std::vector<uint8_t> effectBytes = roomEffect();
  gfx::Effect* effect = nullptr;
  ASSERT_EQ(dev.createEffect(effectBytes.data(), effectBytes.size(), &effect), gfx::Result::Ok);
  // From inside, 100 units back from the centre, looking along +z with a slight turn.
  const Matrix view = multiply(rotationY(0.35f), translationMatrix(0, 0, 100));
  const Matrix wvp = multiply(view, perspective(1.6f, float(kWidth) / kHeight, 1.0f, 1000.0f));
  ASSERT_EQ(dev.setViewport({0, 0, kWidth, kHeight, 0.0f, 1.0f}), gfx::Result::Ok);
  dev.beginScene();
  dev.clear(gfx::ClearTarget | gfx::ClearZBuffer, 0xFFFF00FFu, 1.0f, 0);
  uint32_t passes = 0;
  ASSERT_EQ(effect->setTechnique("Room"), gfx::Result::Ok);
  ASSERT_EQ(effect->begin(&passes, 0), gfx::Result::Ok);
  ASSERT_EQ(effect->beginPass(0), gfx::Result::Ok);
  ASSERT_EQ(effect->setMatrix("worldViewProjection", wvp), gfx::Result::Ok);
  effect->commitChanges();
  room->refreshNormals();
  room->draw();
  effect->endPass();
  effect->end();
  dev.endScene();
  effect->release();

  gfx::Readback frame;
  ASSERT_EQ(dev.readSurface(dev.backBuffer(), &frame), gfx::Result::Ok);
  ASSERT_EQ(frame.width, kWidth);
  if (const char* folder = std::getenv("VELM_TEST_PICTURES")) {
    const std::string path = std::string(folder) + "/geometry_room.png";
    EXPECT_NE(stbi_write_png(path.c_str(), int(kWidth), int(kHeight), 4, frame.bytes.data(), int(kWidth * 4)), 0)
        << path;
  }

  // The closed room covers every pixel: no clear colour shows through.
  int uncovered = 0;
  for (uint32_t y = 0; y < kHeight; ++y)
    for (uint32_t x = 0; x < kWidth; ++x) {
      const Rgb p = pixelAt(frame, x, y);
      uncovered += p.r == 255 && p.g == 0 && p.b == 255;
    }
  EXPECT_EQ(uncovered, 0);
  // Ahead, the far wall faces back along -z (blue channel near 0); the floor
  // below faces +y (green high), the ceiling above -y (green low).
  const Rgb ahead = pixelAt(frame, kWidth / 2, kHeight / 2);
  EXPECT_LT(ahead.b, 40);
  const Rgb floor = pixelAt(frame, kWidth / 2, kHeight - 2);
  const Rgb ceiling = pixelAt(frame, kWidth / 2, 1);
  EXPECT_GT(floor.g, 170);
  EXPECT_LT(ceiling.g, 90);
  for (const std::string& e : glErrors) ADD_FAILURE() << "OpenGL error: " << e;
}

}  // namespace
}  // namespace velm::testing
