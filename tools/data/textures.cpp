#include "textures.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "rng.hpp"
#include "stroke_font.hpp"

namespace velm::datagen {

namespace {

using Rgb = std::array<double, 3>;

double smoothstep(double e0, double e1, double x) {
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

int wrapIndex(int i, int n) {
    i %= n;
    return i < 0 ? i + n : i;
}

// Gradient noise on a lattice that repeats every `period` cells.
double gradientNoise(double x, double y, int period, unsigned seed) {
    const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
    const double fx = x - xi, fy = y - yi;
    const auto corner = [&](int dx, int dy) {
        const double a = 2.0 * std::numbers::pi *
                         hashUnit(static_cast<std::uint32_t>(wrapIndex(xi + dx, period)),
                                  static_cast<std::uint32_t>(wrapIndex(yi + dy, period)), seed);
        return std::cos(a) * (fx - dx) + std::sin(a) * (fy - dy);
    };
    const auto fade = [](double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); };
    const double sx = fade(fx), sy = fade(fy);
    const double top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * sx;
    const double bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * sx;
    return (top + (bottom - top) * sy) * 1.41;
}

std::uint8_t toByte(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

void putRgb(Image& img, int x, int y, const Rgb& c) {
    std::uint8_t* p = img.at(x, y);
    for (int i = 0; i < 3; ++i) p[i] = toByte(c[static_cast<std::size_t>(i)]);
}

Rgb mix(const Rgb& a, const Rgb& b, double t) {
    return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

Rgb scale(const Rgb& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }

// Unit surface normal of a height field at (x, y), image axes (x right,
// y down, z out), with wrap-around central differences.
std::array<double, 3> surfaceNormal(const FloatImage& h, int x, int y, double strength) {
    const double dx = 0.5 * (h.wrapped(x + 1, y) - h.wrapped(x - 1, y)) * strength;
    const double dy = 0.5 * (h.wrapped(x, y + 1) - h.wrapped(x, y - 1)) * strength;
    const double len = std::sqrt(dx * dx + dy * dy + 1.0);
    return {-dx / len, -dy / len, 1.0 / len};
}

// Lambert shading with the light from the upper left, scaled so that a flat
// surface keeps its colour.
double shade(const std::array<double, 3>& n, double ambient) {
    static const std::array<double, 3> kLight = [] {
        const double x = -0.55, y = -0.65, z = 0.55;
        const double len = std::sqrt(x * x + y * y + z * z);
        return std::array<double, 3>{x / len, y / len, z / len};
    }();
    const double d = std::max(0.0, n[0] * kLight[0] + n[1] * kLight[1] + n[2] * kLight[2]);
    return ambient + (1.0 - ambient) * d / kLight[2];
}

// Separable box blur, three passes approximate a Gaussian (edges clamp).
FloatImage blur(const FloatImage& src, int radius) {
    FloatImage a = src, b = src;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < a.height; ++y) {
            for (int x = 0; x < a.width; ++x) {
                double sum = 0.0;
                for (int k = -radius; k <= radius; ++k) sum += a.at(std::clamp(x + k, 0, a.width - 1), y);
                b.at(x, y) = static_cast<float>(sum / (2 * radius + 1));
            }
        }
        for (int y = 0; y < a.height; ++y) {
            for (int x = 0; x < a.width; ++x) {
                double sum = 0.0;
                for (int k = -radius; k <= radius; ++k) sum += b.at(x, std::clamp(y + k, 0, a.height - 1));
                a.at(x, y) = static_cast<float>(sum / (2 * radius + 1));
            }
        }
    }
    return a;
}

}  // namespace

double tilingNoise(double x, double y, int period, int octaves, unsigned seed) {
    double sum = 0.0, amp = 1.0, norm = 0.0;
    for (int o = 0; o < octaves; ++o) {
        const int p = period << o;
        sum += amp * gradientNoise(x * p, y * p, p, seed + static_cast<unsigned>(o) * 7919u);
        norm += amp;
        amp *= 0.5;
    }
    return sum / norm;
}

Image normalMapFromHeight(const FloatImage& height, double strength) {
    Image out(height.width, height.height, 3);
    for (int y = 0; y < height.height; ++y) {
        for (int x = 0; x < height.width; ++x) {
            const auto n = surfaceNormal(height, x, y, strength);
            std::uint8_t* p = out.at(x, y);
            for (int i = 0; i < 3; ++i)
                p[i] = static_cast<std::uint8_t>(std::lround(127.5 + 127.5 * n[static_cast<std::size_t>(i)]));
        }
    }
    return out;
}

FloatImage moonHeight(int size) {
    FloatImage h(size, size);
    // Rolling ground under everything.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            h.at(x, y) = static_cast<float>(size * 0.012 * tilingNoise((x + 0.5) / size, (y + 0.5) / size, 4, 6, 11));

    // Craters: many small, few large (a power law), each a bowl with a raised
    // rim whose ejecta fade outwards; the large ones get a central peak.
    Rng rng(0x6d6f6f6eULL);
    const int count = static_cast<int>(520.0 * size / 1024.0 * size / 1024.0) + 40;
    const double rMin = size * 0.005, rMax = size * 0.12;
    for (int c = 0; c < count; ++c) {
        const double cx = rng.uniform() * size, cy = rng.uniform() * size;
        const double r = std::min(rMax, rMin * std::pow(1.0 - rng.uniform(), -1.0 / 1.5));
        const double depth = 0.22 * r, rim = 0.07 * r;
        const bool peak = r > size * 0.045;
        const int ext = static_cast<int>(std::ceil(1.8 * r));
        for (int dy = -ext; dy <= ext; ++dy) {
            for (int dx = -ext; dx <= ext; ++dx) {
                const double px = std::floor(cx) + dx + 0.5 - cx, py = std::floor(cy) + dy + 0.5 - cy;
                const double d = std::sqrt(px * px + py * py) / r;
                if (d > 1.8) continue;
                double v = d < 1.0 ? depth * (std::max(d * d, peak ? 0.2 : 0.0) - 1.0) : 0.0;
                v += rim * std::exp(-((d - 1.0) / 0.22) * ((d - 1.0) / 0.22));
                if (peak) v += 0.35 * depth * std::exp(-(d / 0.13) * (d / 0.13));
                v *= smoothstep(1.8, 1.4, d);
                const int x = wrapIndex(static_cast<int>(std::floor(cx)) + dx, size);
                const int y = wrapIndex(static_cast<int>(std::floor(cy)) + dy, size);
                // A young crater partly wipes out the relief it lands on.
                const float old = h.at(x, y);
                h.at(x, y) = static_cast<float>(old * (1.0 - 0.5 * smoothstep(1.1, 0.7, d)) + v);
            }
        }
    }
    // Fine grit.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            h.at(x, y) += static_cast<float>(0.9 * tilingNoise((x + 0.5) / size, (y + 0.5) / size, 128, 2, 23));
    return h;
}

Image moonColour(const FloatImage& height) {
    const int size = height.width;
    Image out(size, height.height, 3);
    for (int y = 0; y < height.height; ++y) {
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size, v = (y + 0.5) / height.height;
            // Dark "seas" in broad patches, lighter highlands between them.
            const double sea = smoothstep(0.05, -0.3, tilingNoise(u, v, 3, 4, 31));
            const double albedo = 0.6 - 0.2 * sea + 0.07 * tilingNoise(u, v, 24, 4, 37);
            const double light = shade(surfaceNormal(height, x, y, 1.0), 0.3);
            putRgb(out, x, y, scale(Rgb{1.02, 1.0, 0.95}, albedo * light));
        }
    }
    return out;
}

Image loadingPicture() {
    const int w = 1024, h = 512;
    // Shown stretched to 16:9; everything is drawn wider by this factor so it
    // looks round on screen.
    const double stretch = (static_cast<double>(w) / h) / (16.0 / 9.0);
    TextStyle style;
    style.pixelsPerUnit = 56.0;
    style.stretchX = stretch;
    style.strokeWidth = 0.17;
    const double baseline = h / 2.0 + 0.72 * style.pixelsPerUnit;
    FloatImage title(w, h);
    drawText(title, "velm 08", w / 2.0, baseline, style);
    const FloatImage glow = blur(title, 9);
    const FloatImage haze = blur(title, 30);
    const double titleHalf = 0.5 * textWidth("velm 08", style) * style.pixelsPerUnit;

    Image out(w, h, 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double dx = (x + 0.5 - w / 2.0) / stretch, dy = y + 0.5 - h / 2.0;
            const double r = std::sqrt(dx * dx + dy * dy) / (h / 2.0);
            const double angle = std::atan2(dy, dx);
            Rgb c = mix(Rgb{0.10, 0.07, 0.20}, Rgb{0.0, 0.0, 0.01}, smoothstep(0.0, 1.7, r));
            // Rings spreading from the title like sound from a speaker; each is
            // broken into arcs by its own slow angular wave.
            for (int k = 0; k < 10; ++k) {
                const double ring = 0.42 + 0.15 * k;
                const double d = (r - ring) * (h / 2.0);
                const double line = std::exp(-d * d / 2.2);
                const double arcs = smoothstep(-0.2, 0.6, std::sin(angle * (2 + k % 3) + 1.7 * k));
                c = mix(c, Rgb{0.30, 0.62, 0.85}, 0.5 * line * arcs * std::exp(-0.22 * k));
            }
            // A faint line under the title, fading at its ends.
            const double lineY = baseline + 26.0;
            const double along = std::abs(dx) / (titleHalf * 1.15);
            c = mix(c, Rgb{0.85, 0.6, 0.35},
                    0.55 * std::exp(-(y + 0.5 - lineY) * (y + 0.5 - lineY) / 0.8) * smoothstep(1.0, 0.3, along));
            // Warm glow, then the letters.
            const double g = glow.at(x, y), hz = haze.at(x, y);
            c = {c[0] + 0.95 * g + 0.35 * hz, c[1] + 0.5 * g + 0.15 * hz, c[2] + 0.18 * g + 0.1 * hz};
            c = mix(c, Rgb{0.98, 0.95, 0.9}, title.at(x, y));
            // Film grain and a vignette.
            const double grain =
                (hashUnit(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 99) - 0.5) * 0.035;
            const double vignette = 1.0 - 0.45 * smoothstep(0.7, 2.1, r);
            putRgb(out, x, y, {(c[0] + grain) * vignette, (c[1] + grain) * vignette, (c[2] + grain) * vignette});
        }
    }
    return out;
}

Image bumpPattern(int size) {
    // Rounded cells (distance to the nearest of jittered points on a grid
    // that wraps), shaded as copper bumps.
    const int cells = 8;
    const double cell = static_cast<double>(size) / cells;
    FloatImage h(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int cx = static_cast<int>(x / cell), cy = static_cast<int>(y / cell);
            double best = 1e9;
            for (int j = -1; j <= 1; ++j) {
                for (int i = -1; i <= 1; ++i) {
                    const auto gx = static_cast<std::uint32_t>(wrapIndex(cx + i, cells));
                    const auto gy = static_cast<std::uint32_t>(wrapIndex(cy + j, cells));
                    const double fx = (cx + i + 0.15 + 0.7 * hashUnit(gx, gy, 5)) * cell;
                    const double fy = (cy + j + 0.15 + 0.7 * hashUnit(gx, gy, 6)) * cell;
                    const double ddx = x + 0.5 - fx, ddy = y + 0.5 - fy;
                    best = std::min(best, std::sqrt(ddx * ddx + ddy * ddy));
                }
            }
            const double t = std::clamp(best / (0.75 * cell), 0.0, 1.0);
            h.at(x, y) = static_cast<float>(0.45 * cell * std::sqrt(1.0 - t * t) +
                                            1.5 * tilingNoise((x + 0.5) / size, (y + 0.5) / size, 16, 3, 41));
        }
    }
    Image out(size, size, 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double top = std::clamp(h.at(x, y) / (0.45 * cell), 0.0, 1.0);
            const Rgb base = mix(Rgb{0.16, 0.07, 0.04}, Rgb{0.85, 0.5, 0.28}, top);
            putRgb(out, x, y, scale(base, shade(surfaceNormal(h, x, y, 0.6), 0.35)));
        }
    }
    return out;
}

Image particleSprite(int size) {
    Image out(size, size, 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = (x + 0.5) / size * 2.0 - 1.0, dy = (y + 0.5) / size * 2.0 - 1.0;
            const double r = std::sqrt(dx * dx + dy * dy);
            // A Gaussian core that reaches exactly zero before the square's edge.
            const double alpha = std::exp(-4.0 * r * r) * smoothstep(1.0, 0.75, r);
            const Rgb c = mix(Rgb{0.78, 0.86, 1.0}, Rgb{1.0, 1.0, 1.0}, std::exp(-6.0 * r * r));
            std::uint8_t* p = out.at(x, y);
            for (int i = 0; i < 3; ++i) p[i] = toByte(c[static_cast<std::size_t>(i)]);
            p[3] = toByte(alpha);
        }
    }
    return out;
}

Image smokePuff(int size) {
    Image out(size, size, 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size, v = (y + 0.5) / size;
            const double dx = u * 2.0 - 1.0, dy = v * 2.0 - 1.0;
            // A lumpy outline and billowing inside.
            const double wobble = 0.22 * tilingNoise(u, v, 3, 3, 51);
            const double r = std::sqrt(dx * dx + dy * dy) * (1.0 + wobble);
            double billow = 0.0, amp = 1.0, norm = 0.0;
            for (int o = 0; o < 5; ++o) {
                billow += amp * (1.0 - std::abs(tilingNoise(u, v, 4 << o, 1, 53 + static_cast<unsigned>(o))));
                norm += amp;
                amp *= 0.55;
            }
            billow /= norm;
            const double density = smoothstep(0.95, 0.15, r) * (0.35 + 0.65 * billow * billow);
            const double value = std::min(1.0, 1.35 * std::pow(density, 1.2));
            putRgb(out, x, y, scale(Rgb{0.9, 0.88, 0.86}, value));
        }
    }
    return out;
}

Image hallWall(int size) {
    // Riveted steel panels, four across and two down, that tile in both
    // directions: painted teal-grey above, darker steel below, an orange
    // stripe just above the middle seam, grime running down the panels and
    // patches of rust.
    const int cols = 4, rows = 2;
    const double pw = static_cast<double>(size) / cols, ph = static_cast<double>(size) / rows;
    FloatImage h(size, size);
    FloatImage grime(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size, v = (y + 0.5) / size;
            const double lx = std::fmod(x + 0.5, pw), ly = std::fmod(y + 0.5, ph);
            const double seam = std::min({lx, pw - lx, ly, ph - ly});
            double height = 4.0 * smoothstep(0.0, 7.0, seam) - 1.5 * std::exp(-seam * seam / 2.0);
            // Rivets in a line 9 px inside each vertical and horizontal edge.
            const double rivetStep = 32.0;
            for (double edge : {9.0, pw - 9.0}) {
                const double ry = std::fmod(ly, rivetStep) - rivetStep / 2.0;
                const double d2 = (lx - edge) * (lx - edge) + ry * ry;
                if (d2 < 16.0) height += 2.2 * std::sqrt(1.0 - d2 / 16.0);
            }
            for (double edge : {9.0, ph - 9.0}) {
                const double rx = std::fmod(lx, rivetStep) - rivetStep / 2.0;
                const double d2 = (ly - edge) * (ly - edge) + rx * rx;
                if (d2 < 16.0) height += 2.2 * std::sqrt(1.0 - d2 / 16.0);
            }
            height += 0.6 * tilingNoise(u, v, 64, 3, 61);
            h.at(x, y) = static_cast<float>(height);
            // Grime: fine noise, heavier towards a panel's foot (smeared
            // downwards below).
            const double streak = tilingNoise(u, v, 2, 1, 67) * 0.3 + tilingNoise(u, v, 48, 1, 71);
            const double foot = ly / ph;
            grime.at(x, y) = static_cast<float>(std::clamp(0.5 + 0.6 * streak, 0.0, 1.0) * (0.3 + 0.7 * foot));
        }
    }
    // Smear the grime downwards into streaks.
    FloatImage streaks(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double sum = 0.0;
            for (int k = 0; k < 24; ++k) sum += grime.wrapped(x, y - 3 * k);
            streaks.at(x, y) = static_cast<float>(sum / 24.0);
        }
    Image out(size, size, 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double u = (x + 0.5) / size, v = (y + 0.5) / size;
            Rgb paint = y < size / rows ? Rgb{0.42, 0.52, 0.52} : Rgb{0.3, 0.31, 0.33};
            paint = scale(paint, 0.92 + 0.16 * tilingNoise(u, v, 8, 4, 73));
            // The orange stripe just above the middle seam.
            if (std::abs(y + 0.5 - (ph - 22.0)) < 5.0) paint = Rgb{0.78, 0.42, 0.12};
            // Rust where the streaks gather and in scattered patches.
            const double rustPatch = smoothstep(0.35, 0.6, tilingNoise(u, v, 6, 5, 79));
            const double rust = std::clamp(0.9 * smoothstep(0.45, 0.8, streaks.at(x, y)) + rustPatch, 0.0, 1.0);
            paint = mix(paint, Rgb{0.36, 0.17, 0.08}, 0.75 * rust);
            const double light = shade(surfaceNormal(h, x, y, 0.5), 0.45);
            putRgb(out, x, y, scale(paint, light * (1.0 - 0.25 * streaks.at(x, y))));
        }
    }
    return out;
}

std::vector<std::string> textureFileNames() {
    return {"loading.jpg", "moon.jpg", "moon_normal.jpg", "pum.jpg", "partikle.png", "smog.jpg", "sali2.jpg"};
}

void writeTextures(const std::string& directory, void (*onFile)(const std::string& path)) {
    const auto write = [&](const std::string& name, const Image& image) {
        const std::string path = directory + "/" + name;
        writeImage(path, image);
        if (onFile) onFile(path);
    };
    write("loading.jpg", loadingPicture());
    const FloatImage moon = moonHeight(1024);
    write("moon.jpg", moonColour(moon));
    write("moon_normal.jpg", normalMapFromHeight(moon, 1.0));
    write("pum.jpg", bumpPattern(256));
    write("partikle.png", particleSprite(256));
    write("smog.jpg", smokePuff(256));
    write("sali2.jpg", hallWall(512));
}

}  // namespace velm::datagen
