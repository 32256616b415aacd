#include <algorithm>

#include "calibrate.hpp"
#include "test_util.hpp"

using namespace velm::datagen;

TEST(Calibration, SceneSignalsAddUpTheRightBands) {
    BandFrame f{};
    for (int k = 0; k < kBands; ++k) f[static_cast<std::size_t>(k)] = 0.01f * static_cast<float>(k + 1);
    const SceneSignals s = signalsOf(f);
    // Sums of 0.01 (k + 1) over each range.
    EXPECT_NEAR(s.captionLevel, 3.25, 1e-5);          // k = 0..24
    EXPECT_NEAR(s.harmoniumBass, 29.25, 1e-4);        // sum (25 - k)(k + 1) / 100
    EXPECT_NEAR(s.workshopUpper, 7.02, 1e-5);         // k = 52..63
    EXPECT_NEAR(s.chainLevel, 0.5 * 15.52, 1e-4);     // k = 32..63
    EXPECT_NEAR(s.townBass, 0.0001, 1e-7);            // band 0 squared
}

TEST(Calibration, WorkshopTurnChanceFollowsTheBitTest) {
    // n = 10 / e truncated; a turn needs n odd, q odd and q clear wherever
    // n has another bit (q has 15 bits).
    const std::pair<float, double> cases[] = {
        {0.0f, 0.0},             // e = 0 never spawns
        {10.0f, 0.5},            // n = 1
        {5.0f, 0.0},             // n = 2: even
        {2.0f, 0.25},            // n = 5 = 101b
        {0.5f, 0.0},             // n = 20: even
        {0.010009f, 1.0 / 256.0},  // n = 999 = 1111100111b
        {1e-12f, 0.0},           // n does not fit an int
    };
    for (const auto& [e, chance] : cases) EXPECT_DOUBLE_EQ(workshopTurnChance(e), chance) << "e = " << e;
}

TEST(Calibration, CountsCrossingsPerSectionAndChecksThemAgainstTheTargets) {
    // 220 s of quiet; in the calm section a loud frame every tenth frame.
    std::vector<BandFrame> frames(4400);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const double t = static_cast<double>(i) * 0.05;
        frames[i][0] = 0.1f;
        if (t >= 52.0 && t < 76.5 && i % 10 == 0) frames[i][0] = frames[i][1] = 1.0f;
    }
    const std::vector<SectionStats> stats = analyseSections(frames);
    const auto section = [&](const std::string& name) {
        return *std::find_if(stats.begin(), stats.end(), [&](const SectionStats& s) { return name == s.section->name; });
    };
    EXPECT_EQ(section("calm").frames, 490);
    EXPECT_NEAR(section("calm").captionBeat1, 0.1, 1e-9);
    EXPECT_NEAR(section("calm").harmoniumHit, 0.1, 1e-9);  // 25 + 24 = 49
    EXPECT_EQ(section("intense 1").captionBeat1, 0.0);
    EXPECT_NEAR(section("intro").townMean, 0.01, 1e-6);

    const std::vector<Check> checks = checkTargets(stats);
    const auto verdict = [&](const std::string& sectionName, const std::string& what) {
        for (const Check& c : checks)
            if (c.section == sectionName && c.what.find(what) != std::string::npos) return c.ok;
        ADD_FAILURE() << "no check " << what << " for " << sectionName;
        return false;
    };
    EXPECT_TRUE(verdict("calm", "caption beat"));
    EXPECT_FALSE(verdict("intense 1", "caption beat"));  // never crosses: stays off
    EXPECT_FALSE(verdict("bass hits", "harmonium hit"));
    EXPECT_NE(formatReport(stats, checks).find("| calm | 52 - 76.5 s | 490 |"), std::string::npos);
}
