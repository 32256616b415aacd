#include "dsp.hpp"
#include "music.hpp"
#include "test_util.hpp"

using namespace velm::datagen;

namespace {

double rms(const std::vector<float>& s, double from, double to) {
    const auto a = static_cast<std::size_t>(from * kMusicRate), b = static_cast<std::size_t>(to * kMusicRate);
    double sum = 0.0;
    for (std::size_t i = 2 * a; i < 2 * b; ++i) sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(2 * (b - a)));
}

}  // namespace

TEST(Music, RendersTheSameSamplesEveryTime) {
    const RenderedTrack a = renderTrack(12.0);
    const RenderedTrack b = renderTrack(12.0);
    ASSERT_EQ(a.interleaved.size(), 2u * 12u * kMusicRate);
    EXPECT_TRUE(a.interleaved == b.interleaved);
}

// The whole track takes several seconds to render; its first 52 s hold the
// intro swelling out of silence and the groove under the first captions.
TEST(Music, StaysUnderTheCeilingAndBuildsFromTheIntroIntoTheGroove) {
    const RenderedTrack t = renderTrack(52.0);
    double peak = 0.0;
    bool finite = true;
    for (float v : t.interleaved) {
        finite &= std::isfinite(v);
        peak = std::max(peak, static_cast<double>(std::abs(v)));
    }
    EXPECT_TRUE(finite);
    EXPECT_LE(peak, kMasterPeak + 1e-6);
    EXPECT_GT(peak, 0.5 * kMasterPeak);
    EXPECT_LT(std::abs(t.interleaved[0]), 1e-4f);  // starts from silence
    const double opening = rms(t.interleaved, 0.0, 8.0), groove = rms(t.interleaved, 42.0, 50.0);
    EXPECT_GT(opening, 0.0);
    EXPECT_GT(groove, 4.0 * opening);  // at least 12 dB of build-up
}

TEST(Limiter, KeepsEverySampleUnderTheCeilingAndLeavesQuietPassagesAlone) {
    // 1 s of a quiet tone, 0.5 s of a tone far too loud, 1.5 s quiet again.
    const std::size_t n = 3 * kMusicRate;
    std::vector<float> left(n), right(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kMusicRate;
        const double level = (t >= 1.0 && t < 1.5) ? 2.0 : 0.3;
        left[i] = static_cast<float>(level * std::sin(2.0 * std::numbers::pi * 220.0 * t));
        right[i] = static_cast<float>(level * std::sin(2.0 * std::numbers::pi * 330.0 * t));
    }
    const std::vector<float> originalLeft = left;
    const dsp::LimiterResult r = dsp::limit(left, right, 0.8, 0.004, 0.08);
    double peak = 0.0;
    for (std::size_t i = 0; i < n; ++i) peak = std::max({peak, std::abs(1.0 * left[i]), std::abs(1.0 * right[i])});
    EXPECT_LE(peak, 0.8 + 1e-6);
    EXPECT_NEAR(r.deepestGain, 0.4, 0.01);
    EXPECT_GE(r.deepestAt, kMusicRate - 200);
    EXPECT_LT(r.deepestAt, kMusicRate * 3 / 2);
    // Before the loud part (beyond the look-ahead) nothing changes; a second
    // after it the gain has recovered.
    for (std::size_t i = 0; i < kMusicRate - 400; ++i) ASSERT_EQ(left[i], originalLeft[i]) << i;
    for (std::size_t i = 5 * kMusicRate / 2; i < n; ++i) ASSERT_NEAR(left[i], originalLeft[i], 0.003) << i;
}
