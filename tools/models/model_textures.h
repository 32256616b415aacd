// The textures that only the models use, made procedurally: the sky inside
// the teapot, house walls and roof tiles, the town's ground with soft
// transparent edges, worn metal, wood and the statue's green copper. Every
// one tiles in u; all but the sky and the ground tile in v as well. The
// textures the scenes share (moon, particle, hall wall) come from the data tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velm::models {

struct TextureImage {
  std::string fileName;  // "seina.jpg", "maa.png", ...
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> pixels;  // rows top first
};

std::vector<TextureImage> makeModelTextures();

// Encodes a texture as the bytes of its file (JPEG or PNG by its extension).
std::string encodeTexture(const TextureImage& image);

}  // namespace velm::models
