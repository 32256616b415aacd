// A tiny built-in stroke font for titles drawn into textures: each glyph is a
// few polylines (straight strokes and sampled arcs), rendered as round-capped
// strokes with analytic antialiasing. It holds only the glyphs our pictures
// need (v, e, l, m, the digits and space); other characters are an error.
#pragma once

#include <string>
#include <vector>

#include "image.hpp"

namespace velm::datagen {

struct TextStyle {
    double pixelsPerUnit = 60.0;  // one unit is the height of a lower-case letter
    double stretchX = 1.0;        // horizontal pre-stretch for pictures shown squeezed
    double strokeWidth = 0.16;    // in units
    double letterSpacing = 0.32;  // extra space between glyphs, in units
};

// Width of `text` in units (before stretchX). Throws std::invalid_argument on
// a character the font lacks.
double textWidth(const std::string& text, const TextStyle& style);

// Adds the coverage (0..1) of `text` to `target` (clamped at 1), centred
// horizontally on centreX with its baseline at row baselineY.
void drawText(FloatImage& target, const std::string& text, double centreX, double baselineY, const TextStyle& style);

}  // namespace velm::datagen
