// velm-models: writes the production's model files and the textures only
// they use into a directory.
// Usage: velm-models DATA_DIRECTORY
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "model_textures.h"
#include "models.h"

namespace {

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("could not write " + path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velm-models DATA_DIRECTORY\n");
    return 2;
  }
  const std::string directory = argv[1];
  try {
    for (const velm::models::Model& model : velm::models::makeProductionModels())
      writeFile(directory + "/" + model.fileName, velm::models::encodeModel(model));
    for (const velm::models::TextureImage& texture : velm::models::makeModelTextures())
      writeFile(directory + "/" + texture.fileName, velm::models::encodeTexture(texture));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velm-models: %s\n", e.what());
    return 1;
  }
  return 0;
}
