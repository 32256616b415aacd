// The loading screen and the screen-space drawing it is made of: progress
// reports that redraw a slowly zooming picture every fiftieth call, the loader
// that runs every set-up in order, a clear and the full-screen textured quad
// that every post-processing pass also draws. There is no loading thread and
// the quad restores none of the states it sets.
#pragma once

#include <cstdint>

#include "platform/gfx/types.h"

namespace velm {

class ID3dSurface;
class Texture;

extern bool loadingInProgress;  // reports count only while set; the entry clears it
extern int32_t progressCounter;  // reports since the last redraw (starts at 50)
extern float loadingProgress;    // zoom of the loading picture, +0.05 per redraw
extern Texture* loadingTexture;  // "loading.jpg", owned by the engine context

// One progress point; every fiftieth counted report redraws and presents the
// loading screen.
void reportProgress();

// Loads the loading picture, then runs the shared assets, the workshop,
// harmonium, town and chain scenes and the captions, in that order.
void loadAll();
// The loader's first step: the loading picture "loading.jpg".
void loadLoadingPicture();

// Clears the colour target and depth buffer of the current viewport to
// (alpha, red, green, blue), each taken modulo 256; depth 1.0, stencil 0.
void clearScreen(int alpha, int red, int green, int blue);

// Draws a quad covering the default viewport, enlarged about its centre by
// `zoom`, with alpha blending (srcBlend, destBlend) and opacity `alpha`
// clamped to 0..1. A null `surface` only sets the blend states, the texture
// factor and the geometry, for use inside an effect pass.
void drawScreenQuad(ID3dSurface* surface, float alpha, float zoom, gfx::Blend destBlend, gfx::Blend srcBlend);

}  // namespace velm
