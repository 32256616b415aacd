#include "platform/image.h"

#include <climits>
#include <cstring>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wshadow"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace platform {

bool decodeImage(const void* bytes, size_t size, DecodedImage* out, std::string* error) {
  if (bytes == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) {
    if (error) *error = "no image data";
    return false;
  }
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(static_cast<const stbi_uc*>(bytes), static_cast<int>(size),
                                          &width, &height, &channels, 4);
  if (!pixels) {
    if (error) *error = stbi_failure_reason() ? stbi_failure_reason() : "undecodable image";
    return false;
  }
  out->width = static_cast<uint32_t>(width);
  out->height = static_cast<uint32_t>(height);
  out->rgba.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  stbi_image_free(pixels);
  return true;
}

}  // namespace platform
