// Pictures read back from a device: RGBA pixels with per-pixel access and a
// few measures the OpenGL tests judge them by, PNG files written from RGBA
// bytes (stills for a person to look at, textures for a test to load), and
// where a world point lands in a camera's picture.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/math3d.h"
#include "platform/gfx/device.h"

namespace velm {
class Texture;
}

namespace velm::testing {

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rgba& c);

// Perceived brightness of a colour (alpha aside), 0..255.
float luminance(const Rgba& c);

// A read-back target with pixel access; row 0 is the picture's top.
struct Picture {
  gfx::Readback pixels;

  Rgba at(int x, int y) const;
  // The pixel as one float (a depth picture's R32F value).
  float depthAt(int x, int y) const;
  int width() const { return static_cast<int>(pixels.width); }
  int height() const { return static_cast<int>(pixels.height); }
  // Number of pixels whose colour (not alpha) differs from `other`'s by more
  // than `tolerance` in some channel.
  int differences(const Picture& other, int tolerance = 0) const;
  // Mean and largest red value over the box x0..x1, y0..y1 (inclusive): a
  // blur reads a few dithered points per pixel, so single pixels of a thin
  // smear may miss what their neighbours catch.
  double meanRed(int x0, int x1, int y0, int y1) const;
  int maxRed(int x0, int x1, int y0, int y1) const;
  // Every pixel's alpha is 255.
  bool opaque() const;
};

// Reads a surface from the engine context's device; reading must succeed.
Picture readPicture(gfx::Surface* surface);

// The RGBA bytes with every alpha at 255: the picture as shown over black.
std::vector<uint8_t> overBlack(const std::vector<uint8_t>& rgba);

// Writes RGBA bytes (row 0 first) as a PNG file; writing must succeed.
void writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);
void writePng(const std::string& path, const Picture& picture);

// The folder named by the environment variable `variable`, made if missing;
// null where the variable is not set (no stills wanted).
const char* stillsFolder(const char* variable);
// Writes the picture, shown over black, as `name` in the stills folder of
// `variable`; nothing where that is not set.
void saveStillOverBlack(const char* variable, const std::string& name, const gfx::Readback& pixels);

// The colour of pixel (x, y) of a texture, written to p[0..3] as RGBA.
using PixelFunction = std::function<void(int x, int y, uint8_t* p)>;
// A square texture made from a per-pixel function: written as the PNG file
// `name` in `folder`, then created through the data-file cache.
Texture* pngTexture(const std::string& folder, const std::string& name, int size, const PixelFunction& pixel);
// A warm checker of 8-pixel squares, orange-brown and cream, opaque.
void warmChecker(int x, int y, uint8_t* p);

// Where a world point lands in a picture of width x height drawn with the
// view-projection `viewProjection`, in pixels from the top left (not
// rounded), and its clip w.
struct PicturePoint {
  float x, y, w;
};
PicturePoint projectToPicture(const Matrix& viewProjection, Vector3 world, int width, int height);

}  // namespace velm::testing
