// In-memory pictures for the data tools and their JPEG/PNG encoding through
// stb_image_write. Encoding happens in memory with fixed settings, so the
// same pixels always give the same file bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velm::datagen {

struct Image {
    int width = 0, height = 0, channels = 0;  // 3: RGB, 4: RGBA
    std::vector<std::uint8_t> pixels;         // rows top first, channels interleaved

    Image() = default;
    Image(int w, int h, int c)
        : width(w), height(h), channels(c), pixels(static_cast<std::size_t>(w) * h * c, 0) {}

    std::uint8_t* at(int x, int y) {
        return &pixels[(static_cast<std::size_t>(y) * width + x) * channels];
    }
    const std::uint8_t* at(int x, int y) const {
        return &pixels[(static_cast<std::size_t>(y) * width + x) * channels];
    }
};

// A single-channel float picture (height fields, masks), rows top first.
struct FloatImage {
    int width = 0, height = 0;
    std::vector<float> values;

    FloatImage() = default;
    FloatImage(int w, int h) : width(w), height(h), values(static_cast<std::size_t>(w) * h, 0.0f) {}

    float& at(int x, int y) { return values[static_cast<std::size_t>(y) * width + x]; }
    float at(int x, int y) const { return values[static_cast<std::size_t>(y) * width + x]; }
    // Sample with wrap-around at the edges (for tiling pictures).
    float wrapped(int x, int y) const {
        x %= width;
        y %= height;
        if (x < 0) x += width;
        if (y < 0) y += height;
        return at(x, y);
    }
};

inline constexpr int kJpegQuality = 92;

std::vector<unsigned char> encodeJpeg(const Image& image, int quality = kJpegQuality);
std::vector<unsigned char> encodePng(const Image& image);

// Encodes by the file's extension (".jpg" or ".png") and writes atomically.
// Throws std::runtime_error on an unknown extension or a write failure.
void writeImage(const std::string& path, const Image& image);

}  // namespace velm::datagen
