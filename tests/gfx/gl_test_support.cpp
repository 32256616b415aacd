#include "tests/gfx/gl_test_support.h"

#include <cstring>
#include <iostream>

#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_device.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace gfx::testing {

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
  return out << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a) << ")";
}

void GlDeviceTest::SetUp() {
  std::string error;
  auto context = createSurfacelessContext({.debug = true}, &error);
  ASSERT_TRUE(context) << "no headless OpenGL context: " << error;
  device = createGlDevice(std::move(context), kWidth, kHeight,
                          [this](const std::string& m) { glErrors.push_back(m); }, &error);
  ASSERT_TRUE(device) << error;
  static bool printed = false;
  if (!printed) {
    std::cout << "GL renderer: " << device->rendererName() << std::endl;
    printed = true;
  }
}

void GlDeviceTest::TearDown() {
  for (Resource* r : owned_) r->release();
  owned_.clear();
  if (device) {
    EXPECT_EQ(device->liveObjectCount(), 0u) << "objects left alive";
  }
  device.reset();
  for (const std::string& e : glErrors) ADD_FAILURE() << "OpenGL error: " << e;
}

Surface* GlDeviceTest::makeTarget(uint32_t width, uint32_t height, Format format) {
  Texture* texture = nullptr;
  EXPECT_EQ(device->createTexture(width, height, 1, Usage::RenderTarget, format, Pool::Default, &texture), Result::Ok);
  owned_.push_back(texture);
  Surface* surface = nullptr;
  texture->surfaceLevel(0, &surface);
  return surface;
}

Surface* GlDeviceTest::makeDepth(uint32_t width, uint32_t height) {
  Surface* surface = nullptr;
  EXPECT_EQ(device->createDepthStencilSurface(width, height, Format::D24S8, &surface), Result::Ok);
  owned_.push_back(surface);
  return surface;
}

Readback GlDeviceTest::read(Surface* surface) {
  Readback r;
  EXPECT_EQ(device->readSurface(surface, &r), Result::Ok);
  return r;
}

Rgba GlDeviceTest::pixel(const Readback& r, uint32_t x, uint32_t y) {
  const uint8_t* p = &r.bytes[(static_cast<size_t>(y) * r.width + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

float GlDeviceTest::floatPixel(const Readback& r, uint32_t x, uint32_t y) {
  float f = 0;
  std::memcpy(&f, &r.bytes[(static_cast<size_t>(y) * r.width + x) * 4], 4);
  return f;
}

void GlDeviceTest::drawRect(float x0, float y0, float x1, float y1, float z) {
  // Two triangles, clockwise on screen: top-left, top-right, bottom-right, ...
  const float v[] = {x0, y1, z, 0, 0, x1, y1, z, 1, 0, x1, y0, z, 1, 1,
                     x1, y0, z, 1, 1, x0, y0, z, 0, 1, x0, y1, z, 0, 0};
  device->setFVF(fvf::ScreenQuad);
  EXPECT_EQ(device->drawPrimitiveUP(PrimitiveType::TriangleList, 2, v, 20), Result::Ok);
}

std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> out;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        auto* bytes = static_cast<std::vector<uint8_t>*>(context);
        bytes->insert(bytes->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
      },
      &out, static_cast<int>(width), static_cast<int>(height), 4, rgba.data(), static_cast<int>(width * 4));
  return out;
}

}  // namespace gfx::testing
