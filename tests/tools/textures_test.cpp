#include <stdexcept>

#include "image.hpp"
#include "stroke_font.hpp"
#include "test_util.hpp"
#include "textures.hpp"

using namespace velm::datagen;

namespace {

FloatImage ramp(int size, double perColumn, double perRow) {
    FloatImage h(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) h.at(x, y) = static_cast<float>(perColumn * x + perRow * y);
    return h;
}

}  // namespace

TEST(NormalMap, FlatGroundPointsStraightOut) {
    FloatImage flat(8, 8);
    for (float& v : flat.values) v = 3.0f;
    const Image n = normalMapFromHeight(flat, 1.0);
    ASSERT_EQ(n.channels, 3);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::uint8_t* p = n.at(x, y);
            EXPECT_EQ(p[0], 128);
            EXPECT_EQ(p[1], 128);
            EXPECT_EQ(p[2], 255);
        }
}

TEST(NormalMap, SlopesTiltTheNormalAwayFromTheRise) {
    struct Case {
        double perColumn, perRow, strength;
        int red, green, blue;
    };
    // Rising to the right tilts the normal to the left (red below 128);
    // rising down the rows tilts it up (green below 128); strength scales.
    const Case cases[] = {
        {0.5, 0.0, 1.0, 71, 128, 242},  // n = (-0.447, 0, 0.894)
        {0.0, 0.5, 1.0, 128, 71, 242},
        {-0.5, 0.0, 1.0, 185, 128, 242},
        {0.5, 0.0, 2.0, 37, 128, 218},  // n = (-0.707, 0, 0.707)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.perColumn << " " << c.perRow << " x" << c.strength);
        const Image n = normalMapFromHeight(ramp(16, c.perColumn, c.perRow), c.strength);
        const std::uint8_t* p = n.at(8, 8);  // away from the wrapped edges
        EXPECT_NEAR(p[0], c.red, 1);
        EXPECT_NEAR(p[1], c.green, 1);
        EXPECT_NEAR(p[2], c.blue, 1);
    }
}

TEST(Textures, NoiseAndMoonTileSeamlessly) {
    for (const auto& [x, y] : {std::pair{0.1, 0.7}, std::pair{0.55, 0.05}, std::pair{0.93, 0.4}}) {
        EXPECT_NEAR(tilingNoise(x, y, 4, 5, 7), tilingNoise(x + 1.0, y, 4, 5, 7), 1e-9);
        EXPECT_NEAR(tilingNoise(x, y, 4, 5, 7), tilingNoise(x, y + 1.0, 4, 5, 7), 1e-9);
    }
    // Across the wrap the height field changes no more than between any two
    // neighbouring columns or rows inside it.
    const FloatImage h = moonHeight(256);
    double seamX = 0.0, seamY = 0.0, insideX = 0.0, insideY = 0.0;
    for (int i = 0; i < 256; ++i) {
        seamX += std::abs(h.at(0, i) - h.at(255, i));
        seamY += std::abs(h.at(i, 0) - h.at(i, 255));
        for (int j = 1; j < 256; ++j) {
            insideX += std::abs(h.at(j, i) - h.at(j - 1, i)) / 255.0;
            insideY += std::abs(h.at(i, j) - h.at(i, j - 1)) / 255.0;
        }
    }
    EXPECT_LT(seamX, 2.0 * insideX);
    EXPECT_LT(seamY, 2.0 * insideY);
}

TEST(Textures, ParticleIsRoundAndFadesToNothingBeforeItsEdge) {
    const Image p = particleSprite(256);
    ASSERT_EQ(p.channels, 4);
    EXPECT_GT(p.at(128, 128)[3], 240);
    for (int i = 0; i < 256; ++i)
        for (const auto& [x, y] : {std::pair{i, 0}, std::pair{i, 255}, std::pair{0, i}, std::pair{255, i}})
            EXPECT_EQ(p.at(x, y)[3], 0) << x << "," << y;
    for (int y = 0; y < 256; y += 17)
        for (int x = 0; x < 256; x += 13) {
            EXPECT_EQ(p.at(x, y)[3], p.at(255 - x, y)[3]);
            EXPECT_EQ(p.at(x, y)[3], p.at(y, x)[3]);
        }
}

TEST(Textures, SamePictureSameBytes) {
    EXPECT_EQ(encodeJpeg(bumpPattern(256)), encodeJpeg(bumpPattern(256)));
    EXPECT_EQ(encodePng(particleSprite(256)), encodePng(particleSprite(256)));
}

TEST(StrokeFont, TitleIsCentredWhereAskedAndUnknownLettersAreRefused) {
    TextStyle style;
    style.pixelsPerUnit = 40.0;
    FloatImage img(420, 120);
    drawText(img, "velm 08", 200.0, 90.0, style);
    double sum = 0.0, sumX = 0.0;
    int left = 420, right = -1, top = 120, bottom = -1;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const double c = img.at(x, y);
            EXPECT_LE(c, 1.0);
            if (c <= 0.0) continue;
            sum += c;
            sumX += c * x;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    ASSERT_GT(sum, 0.0);
    // Ink spreads evenly around the centre; the box spans the text's width
    // plus a stroke, and the tall glyphs reach 1.45 units above the baseline.
    EXPECT_NEAR(0.5 * (left + right), 200.0, 3.0);
    EXPECT_NEAR(right - left, textWidth("velm 08", style) * 40.0 + style.strokeWidth * 40.0, 4.0);
    EXPECT_NEAR(bottom - top, (1.45 + style.strokeWidth) * 40.0, 4.0);
    EXPECT_THROW(drawText(img, "VELM", 200.0, 90.0, style), std::invalid_argument);
}
