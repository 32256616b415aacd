// velm-textures: makes the production's textures into a directory.
// Usage: velm-textures DATA_DIRECTORY
#include <cstdio>
#include <exception>
#include <string>

#include "textures.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velm-textures DATA_DIRECTORY\n");
        return 2;
    }
    try {
        velm::datagen::writeTextures(argv[1], [](const std::string& path) {
            std::fprintf(stderr, "velm-textures: wrote %s\n", path.c_str());
        });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velm-textures: %s\n", e.what());
        return 1;
    }
    return 0;
}
