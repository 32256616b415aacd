#include "image.hpp"

#include <stdexcept>

#include "fileio.hpp"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wpedantic"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace velm::datagen {

namespace {

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    const auto* bytes = static_cast<const unsigned char*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

void checkImage(const Image& image) {
    if (image.width <= 0 || image.height <= 0 || (image.channels != 3 && image.channels != 4) ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * image.channels)
        throw std::runtime_error("cannot encode an empty or inconsistent picture");
}

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::vector<unsigned char> encodeJpeg(const Image& image, int quality) {
    checkImage(image);
    std::vector<unsigned char> out;
    if (!stbi_write_jpg_to_func(appendBytes, &out, image.width, image.height, image.channels, image.pixels.data(),
                                quality))
        throw std::runtime_error("JPEG encoding failed");
    return out;
}

std::vector<unsigned char> encodePng(const Image& image) {
    checkImage(image);
    std::vector<unsigned char> out;
    if (!stbi_write_png_to_func(appendBytes, &out, image.width, image.height, image.channels, image.pixels.data(),
                                image.width * image.channels))
        throw std::runtime_error("PNG encoding failed");
    return out;
}

void writeImage(const std::string& path, const Image& image) {
    if (endsWith(path, ".jpg") || endsWith(path, ".jpeg"))
        writeFileAtomically(path, encodeJpeg(image));
    else if (endsWith(path, ".png"))
        writeFileAtomically(path, encodePng(image));
    else
        throw std::runtime_error("cannot tell the picture format of " + path + " (use .jpg or .png)");
}

}  // namespace velm::datagen
