// The production's textures, made procedurally: the loading picture, the
// cratered moon surface with its normal map, a bump pattern, the particle
// sprite, a smoke puff and the workshop's hall wall. All tiling textures
// tile seamlessly; sizes are powers of two.
#pragma once

#include <string>
#include <vector>

#include "image.hpp"

namespace velm::datagen {

// Tangent-space normal map of a height field (heights in pixel units):
// red is +u (to the right), green +v (down the rows, as texture v runs),
// blue out of the surface. Slopes are taken with wrap-around central
// differences and multiplied by `strength`. A flat field gives (128, 128, 255).
Image normalMapFromHeight(const FloatImage& height, double strength);

// Seamlessly tiling fractal value noise at (x, y) in [0, 1)^2: `period`
// lattice cells across at the lowest octave, `octaves` octaves, each half
// as strong as the last. Roughly in [-1, 1].
double tilingNoise(double x, double y, int period, int octaves, unsigned seed);

FloatImage moonHeight(int size);
Image moonColour(const FloatImage& height);
Image loadingPicture();
Image bumpPattern(int size);
Image particleSprite(int size);
Image smokePuff(int size);
Image hallWall(int size);

// File names (relative to the data directory) of every texture writeTextures
// makes, in the order it makes them.
std::vector<std::string> textureFileNames();

// Makes every texture into `directory`, reporting each file through `onFile`.
void writeTextures(const std::string& directory, void (*onFile)(const std::string& path) = nullptr);

}  // namespace velm::datagen
