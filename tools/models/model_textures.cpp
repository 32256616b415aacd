#include "model_textures.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "kit_math.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace velm::models {

namespace {

// Integer hash noise: the same inputs give the same value on every machine.
double hashUnit(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFFFF) / double(0xFFFFFF);
}

// Value noise on a grid of `period` cells that wraps, so the result tiles.
double tiledNoise(double u, double v, int period, uint32_t seed) {
  const double x = u * period, y = v * period;
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const double fx = x - x0, fy = y - y0;
  auto at = [&](int i, int j) {
    return hashUnit(((i % period) + period) % period, ((j % period) + period) % period, seed);
  };
  auto smooth = [](double t) { return t * t * (3 - 2 * t); };
  const double sx = smooth(fx), sy = smooth(fy);
  const double a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
  const double b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
  return a + (b - a) * sy;
}

double fractal(double u, double v, int period, int octaves, uint32_t seed) {
  double sum = 0, weight = 0.5, total = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += weight * tiledNoise(u, v, period << o, seed + static_cast<uint32_t>(o) * 17u);
    total += weight;
    weight *= 0.5;
  }
  return sum / total;
}

struct Rgb {
  double r, g, b;
};
Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

template <typename Shade>
TextureImage paint(const std::string& name, int size, int channels, Shade shade) {
  TextureImage image{name, size, size, channels, {}};
  image.pixels.resize(static_cast<size_t>(size) * size * channels);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double rgba[4] = {0, 0, 0, 1};
      shade((x + 0.5) / size, (y + 0.5) / size, rgba);
      for (int c = 0; c < channels; ++c)
        image.pixels[(static_cast<size_t>(y) * size + x) * channels + c] =
            static_cast<uint8_t>(std::clamp(std::lround(rgba[c] * 255.0), 0L, 255L));
    }
  return image;
}

void put(double* out, Rgb c) {
  out[0] = c.r;
  out[1] = c.g;
  out[2] = c.b;
}

// Sky seen from inside the teapot: deep blue at the top of the picture (the
// lid), paler towards the bottom, with soft clouds.
TextureImage sky() {
  return paint("teepannu.jpg", 512, 3, [](double u, double v, double* out) {
    const Rgb zenith{0.10, 0.22, 0.55}, horizon{0.62, 0.74, 0.90}, low{0.85, 0.80, 0.72};
    Rgb c = v < 0.75 ? mix(zenith, horizon, std::pow(v / 0.75, 1.3)) : mix(horizon, low, (v - 0.75) / 0.25);
    const double band = std::clamp(1.0 - std::fabs(v - 0.55) * 2.5, 0.0, 1.0);
    const double cloud = std::clamp((fractal(u, v * 0.5, 6, 5, 11) - 0.52) * 4.0, 0.0, 1.0) * band;
    put(out, mix(c, {0.97, 0.97, 1.0}, cloud * 0.85));
  });
}

// Plastered house wall with a two-by-two grid of windows per tile.
TextureImage wall() {
  return paint("seina.jpg", 256, 3, [](double u, double v, double* out) {
    const double grain = fractal(u, v, 8, 4, 21);
    Rgb c = mix({0.80, 0.72, 0.58}, {0.92, 0.86, 0.74}, grain);
    const double cu = std::fmod(u * 2, 1.0), cv = std::fmod(v * 2, 1.0);
    const bool inWindow = cu > 0.30 && cu < 0.70 && cv > 0.22 && cv < 0.72;
    const bool inFrame = cu > 0.26 && cu < 0.74 && cv > 0.18 && cv < 0.76;
    if (inFrame) c = {0.95, 0.95, 0.92};
    if (inWindow) {
      const bool bar = std::fabs(cu - 0.5) < 0.02 || std::fabs(cv - 0.47) < 0.02;
      c = bar ? Rgb{0.9, 0.9, 0.88} : mix({0.95, 0.78, 0.38}, {0.55, 0.40, 0.20}, (cv - 0.22) / 0.5);
    }
    put(out, c);
  });
}

// Rows of red clay roof tiles.
TextureImage roof() {
  return paint("katto.jpg", 256, 3, [](double u, double v, double* out) {
    const double rows = 8, cols = 8;
    const double rv = v * rows, row = std::floor(rv), fv = rv - row;
    const double shift = std::fmod(row, 2.0) * 0.5;
    const double cu = u * cols + shift, fu = cu - std::floor(cu);
    const double tile = hashUnit(static_cast<int>(std::floor(cu)) % 8, static_cast<int>(row), 31);
    Rgb c = mix({0.55, 0.16, 0.10}, {0.72, 0.30, 0.16}, tile);
    c = mix(c, {0.25, 0.08, 0.05}, std::pow(fv, 6.0));                    // shadow under the next row
    c = mix(c, {0.35, 0.10, 0.06}, std::clamp(1.0 - fu * 12.0, 0.0, 1.0));  // gap between tiles
    c = mix(c, {0.3, 0.28, 0.25}, fractal(u, v, 16, 3, 37) * 0.25);
    put(out, c);
  });
}

// A square of ground: cobbles round a green, fading out at the edges so the
// town's blocks float softly in the sky.
TextureImage ground() {
  return paint("maa.png", 256, 4, [](double u, double v, double* out) {
    const double cu = u * 24, cv = v * 24;
    const double fu = cu - std::floor(cu), fv = cv - std::floor(cv);
    const double stone = hashUnit(static_cast<int>(cu), static_cast<int>(cv), 41);
    const double edge = std::min({fu, 1 - fu, fv, 1 - fv});
    Rgb cobble = mix({0.42, 0.40, 0.38}, {0.62, 0.60, 0.56}, stone);
    cobble = mix({0.2, 0.19, 0.18}, cobble, std::clamp(edge * 8, 0.0, 1.0));
    const double du = u - 0.5, dv = v - 0.5;
    const double r = std::sqrt(du * du + dv * dv);
    const Rgb grass = mix({0.22, 0.42, 0.16}, {0.40, 0.58, 0.22}, fractal(u, v, 8, 4, 43));
    Rgb c = mix(grass, cobble, std::clamp((r - 0.28) * 12, 0.0, 1.0));
    put(out, c);
    const double border = std::min({u, 1 - u, v, 1 - v});
    out[3] = std::clamp(border * 14.0, 0.0, 1.0);
  });
}

// Worn, brushed steel.
TextureImage metal() {
  return paint("metalli.jpg", 256, 3, [](double u, double v, double* out) {
    const double brush = tiledNoise(u * 0.05, v, 64, 51) * 0.5 + tiledNoise(u, v, 4, 52) * 0.5;
    const double wear = std::clamp((fractal(u, v, 6, 4, 53) - 0.55) * 5, 0.0, 1.0);
    Rgb c = mix({0.50, 0.52, 0.55}, {0.70, 0.72, 0.75}, brush);
    c = mix(c, {0.38, 0.30, 0.24}, wear * 0.6);
    put(out, c);
  });
}

// Wood: long grain along u, planks across v.
TextureImage wood() {
  return paint("puu.jpg", 256, 3, [](double u, double v, double* out) {
    const double plank = std::floor(v * 4);
    const double fv = v * 4 - plank;
    const double rings = std::sin((v * 40 + fractal(u, v, 4, 3, 61) * 6 + plank * 3) * 2 * kPi) * 0.5 + 0.5;
    Rgb c = mix({0.36, 0.20, 0.10}, {0.55, 0.34, 0.18}, rings * 0.6 + hashUnit(int(plank), 0, 62) * 0.4);
    c = mix(c, {0.15, 0.08, 0.04}, std::clamp(1 - std::min(fv, 1 - fv) * 40, 0.0, 1.0));
    put(out, c);
  });
}

// Weathered copper: green patina with darker streaks.
TextureImage patina() {
  return paint("patina.jpg", 256, 3, [](double u, double v, double* out) {
    const double n = fractal(u, v, 6, 5, 71);
    const double streak = tiledNoise(u, v * 0.1, 32, 72);
    Rgb c = mix({0.30, 0.55, 0.48}, {0.52, 0.76, 0.66}, n);
    c = mix(c, {0.20, 0.36, 0.32}, std::clamp((streak - 0.6) * 3, 0.0, 1.0));
    put(out, c);
  });
}

}  // namespace

std::vector<TextureImage> makeModelTextures() {
  return {sky(), wall(), roof(), ground(), metal(), wood(), patina()};
}

std::string encodeTexture(const TextureImage& image) {
  std::string bytes;
  auto sink = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
  };
  const bool png = image.fileName.size() > 4 && image.fileName.substr(image.fileName.size() - 4) == ".png";
  const int ok = png ? stbi_write_png_to_func(sink, &bytes, image.width, image.height, image.channels,
                                              image.pixels.data(), image.width * image.channels)
                     : stbi_write_jpg_to_func(sink, &bytes, image.width, image.height, image.channels,
                                              image.pixels.data(), 92);
  if (!ok) throw std::runtime_error("could not encode " + image.fileName);
  return bytes;
}

}  // namespace velm::models
