#include "tests/support/gl_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/data_files.h"
#include "engine/engine_context.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace velm::testing {

std::ostream& operator<<(std::ostream& out, const Rgba& c) {
  return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

float luminance(const Rgba& c) { return 0.3f * c.r + 0.59f * c.g + 0.11f * c.b; }

Rgba Picture::at(int x, int y) const {
  const uint8_t* p = &pixels.bytes[(static_cast<size_t>(y) * pixels.width + static_cast<size_t>(x)) * 4];
  return {p[0], p[1], p[2], p[3]};
}

float Picture::depthAt(int x, int y) const {
  float f = 0;
  std::memcpy(&f, &pixels.bytes[(static_cast<size_t>(y) * pixels.width + static_cast<size_t>(x)) * 4], 4);
  return f;
}

int Picture::differences(const Picture& other, int tolerance) const {
  int n = 0;
  for (int y = 0; y < height(); ++y)
    for (int x = 0; x < width(); ++x) {
      const Rgba a = at(x, y), b = other.at(x, y);
      if (std::abs(a.r - b.r) > tolerance || std::abs(a.g - b.g) > tolerance || std::abs(a.b - b.b) > tolerance) ++n;
    }
  return n;
}

double Picture::meanRed(int x0, int x1, int y0, int y1) const {
  double sum = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) sum += at(x, y).r;
  return sum / ((x1 - x0 + 1) * (y1 - y0 + 1));
}

int Picture::maxRed(int x0, int x1, int y0, int y1) const {
  int m = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) m = std::max<int>(m, at(x, y).r);
  return m;
}

bool Picture::opaque() const {
  for (size_t i = 3; i < pixels.bytes.size(); i += 4)
    if (pixels.bytes[i] != 255) return false;
  return true;
}

Picture readPicture(gfx::Surface* surface) {
  Picture p;
  EXPECT_EQ(EngineContext::get().device->readSurface(surface, &p.pixels), gfx::Result::Ok);
  return p;
}

std::vector<uint8_t> overBlack(const std::vector<uint8_t>& rgba) {
  std::vector<uint8_t> opaque = rgba;
  for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;
  return opaque;
}

void writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
  ASSERT_NE(stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4), 0) << path;
}

void writePng(const std::string& path, const Picture& picture) {
  writePng(path, picture.width(), picture.height(), picture.pixels.bytes);
}

const char* stillsFolder(const char* variable) {
  const char* folder = std::getenv(variable);
  if (folder) std::filesystem::create_directories(folder);
  return folder;
}

void saveStillOverBlack(const char* variable, const std::string& name, const gfx::Readback& pixels) {
  const char* folder = stillsFolder(variable);
  if (!folder) return;
  writePng(std::string(folder) + "/" + name, static_cast<int>(pixels.width), static_cast<int>(pixels.height),
           overBlack(pixels.bytes));
}

Texture* pngTexture(const std::string& folder, const std::string& name, int size, const PixelFunction& pixel) {
  std::vector<uint8_t> rgba(static_cast<size_t>(size * size * 4));
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) pixel(x, y, &rgba[static_cast<size_t>((y * size + x) * 4)]);
  const std::string path = folder + "/" + name;
  writePng(path, size, size, rgba);
  return EngineContext::get().createTexture(dataFileName(path));
}

void warmChecker(int x, int y, uint8_t* p) {
  const bool dark = ((x / 8) + (y / 8)) % 2 == 0;
  p[0] = dark ? 200 : 245;
  p[1] = dark ? 110 : 235;
  p[2] = dark ? 50 : 215;
  p[3] = 255;
}

PicturePoint projectToPicture(const Matrix& viewProjection, Vector3 world, int width, int height) {
  const Matrix& vp = viewProjection;
  float c[4];
  for (int j = 0; j < 4; ++j) c[j] = world.x * vp.m[0][j] + world.y * vp.m[1][j] + world.z * vp.m[2][j] + vp.m[3][j];
  return {(c[0] / c[3] * 0.5f + 0.5f) * static_cast<float>(width),
          (0.5f - c[1] / c[3] * 0.5f) * static_cast<float>(height), c[3]};
}

}  // namespace velm::testing
