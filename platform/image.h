// Decoding of JPEG and PNG file bytes into RGBA8 pixels (top row first).
// Nothing here touches the GPU; the graphics device uploads the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct DecodedImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 bytes, row 0 is the top
};

// False, with the decoder's reason, for bytes that are not a readable image.
bool decodeImage(const void* bytes, size_t size, DecodedImage* out, std::string* error);

}  // namespace platform
