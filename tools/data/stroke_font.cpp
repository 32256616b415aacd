#include "stroke_font.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace velm::datagen {

namespace {

struct Point {
    double x, y;  // units; y up from the baseline
};
using Stroke = std::vector<Point>;

struct Glyph {
    char c;
    double advance;
    std::vector<Stroke> strokes;
};

// An elliptical arc from angle a0 to a1 (degrees, counter-clockwise positive).
Stroke arc(double cx, double cy, double rx, double ry, double a0, double a1) {
    Stroke s;
    const int steps = std::max(8, static_cast<int>(std::abs(a1 - a0) / 6.0));
    for (int i = 0; i <= steps; ++i) {
        const double a = (a0 + (a1 - a0) * i / steps) * std::numbers::pi / 180.0;
        s.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return s;
}

Stroke join(Stroke a, const Stroke& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<Glyph>& glyphs() {
    static const std::vector<Glyph> kGlyphs = [] {
        std::vector<Glyph> g;
        g.push_back({' ', 0.55, {}});
        g.push_back({'v', 0.84, {{{0, 1}, {0.42, 0}, {0.84, 1}}}});
        g.push_back({'e', 0.9, {join({{0.02, 0.5}, {0.9, 0.5}}, arc(0.46, 0.5, 0.44, 0.5, 0, 318))}});
        g.push_back({'l', 0.0, {{{0, 0}, {0, 1.45}}}});
        g.push_back({'m', 0.9,
                     {{{0, 0}, {0, 1}},
                      join(arc(0.225, 0.68, 0.225, 0.32, 180, 0), {{0.45, 0.68}, {0.45, 0}}),
                      join(arc(0.675, 0.68, 0.225, 0.32, 180, 0), {{0.9, 0.68}, {0.9, 0}})}});
        g.push_back({'0', 0.8, {arc(0.4, 0.7, 0.4, 0.7, 0, 360)}});
        g.push_back({'1', 0.5, {{{0.05, 1.12}, {0.45, 1.4}, {0.45, 0}}}});
        g.push_back({'2', 0.8, {join(arc(0.4, 1.02, 0.38, 0.38, 160, -35), {{0.0, 0.0}, {0.8, 0.0}})}});
        g.push_back({'3', 0.8, {join(arc(0.4, 1.06, 0.34, 0.34, 150, -90), arc(0.4, 0.37, 0.4, 0.37, 90, -150))}});
        g.push_back({'4', 0.8, {{{0.62, 0}, {0.62, 1.4}, {0.0, 0.42}, {0.8, 0.42}}}});
        g.push_back({'5', 0.8, {join({{0.75, 1.4}, {0.12, 1.4}, {0.06, 0.78}}, arc(0.4, 0.44, 0.42, 0.44, 130, -150))}});
        g.push_back({'6', 0.8, {join({{0.66, 1.4}}, arc(0.4, 0.44, 0.4, 0.44, 150, -210))}});
        g.push_back({'7', 0.8, {{{0, 1.4}, {0.8, 1.4}, {0.25, 0}}}});
        g.push_back({'8', 0.8, {arc(0.4, 1.07, 0.32, 0.33, 0, 360), arc(0.4, 0.39, 0.4, 0.39, 0, 360)}});
        g.push_back({'9', 0.8, {join(arc(0.4, 0.96, 0.4, 0.44, -30, 330), {{0.14, 0}})}});
        return g;
    }();
    return kGlyphs;
}

const Glyph& glyphFor(char c) {
    for (const Glyph& g : glyphs())
        if (g.c == c) return g;
    throw std::invalid_argument(std::string("the stroke font has no glyph for '") + c + "'");
}

struct Segment {
    Point a, b;
};

double distanceToSegment(Point p, const Segment& s) {
    const double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = p.x - (s.a.x + t * dx), ey = p.y - (s.a.y + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

double textWidth(const std::string& text, const TextStyle& style) {
    double w = 0.0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        w += glyphFor(text[i]).advance;
        if (i + 1 < text.size()) w += style.letterSpacing;
    }
    return w;
}

void drawText(FloatImage& target, const std::string& text, double centreX, double baselineY, const TextStyle& style) {
    // Lay the strokes out in units, the text starting at x = 0.
    std::vector<Segment> segments;
    double pen = 0.0;
    for (char c : text) {
        const Glyph& g = glyphFor(c);
        for (const Stroke& s : g.strokes)
            for (std::size_t i = 0; i + 1 < s.size(); ++i)
                segments.push_back({{s[i].x + pen, s[i].y}, {s[i + 1].x + pen, s[i + 1].y}});
        pen += g.advance + style.letterSpacing;
    }
    const double width = textWidth(text, style);
    const double scale = style.pixelsPerUnit;
    const double originX = centreX - 0.5 * width * scale * style.stretchX;
    const double half = 0.5 * style.strokeWidth * scale;  // stroke half-width in pixels

    // Only rows and columns the text can touch are visited.
    const int x0 = std::max(0, static_cast<int>(originX - half - 2));
    const int x1 = std::min(target.width, static_cast<int>(originX + width * scale * style.stretchX + half + 3));
    const int y0 = std::max(0, static_cast<int>(baselineY - 1.5 * scale - half - 2));
    const int y1 = std::min(target.height, static_cast<int>(baselineY + half + 3));
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            // The pixel centre in units; distances come out in units and are
            // measured as the picture will be seen (after the squeeze).
            const Point p{(x + 0.5 - originX) / (scale * style.stretchX), (baselineY - (y + 0.5)) / scale};
            double d = 1e9;
            for (const Segment& s : segments) d = std::min(d, distanceToSegment(p, s));
            const double coverage = std::clamp(half - d * scale + 0.5, 0.0, 1.0);
            if (coverage > 0.0) target.at(x, y) = std::min(1.0f, target.at(x, y) + static_cast<float>(coverage));
        }
    }
}

}  // namespace velm::datagen
