#include <cstring>
#include <fstream>

#include "fileio.hpp"
#include "band_levels.hpp"
#include "test_util.hpp"

using namespace velm::datagen;
using namespace velm::datagen::test;

TEST(SpectrumAnalyser, FullScaleSineReadsOneInItsBandAndNothingElsewhere) {
    struct Case {
        double hz;
        int band;
    };
    // Band centres fall on an FFT bin; the last two lie between bins, one of
    // them near a band edge, where the window spreads the sine the most.
    const Case cases[] = {
        {bandCentre(0), 0},   {bandCentre(1), 1},   {bandCentre(10), 10}, {bandCentre(40), 40},
        {bandCentre(62), 62}, {bandCentre(5) + 0.37 * kBinHz, 5},   {bandCentre(23) - 3.4 * kBinHz, 23},
    };
    SpectrumAnalyser analyser;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        const std::vector<float> audio = stereoSine(c.hz, 4096, 1.0, 1.0);
        const BandFrame f = analyser.analyse(audio.data(), 4096, 4096);
        EXPECT_NEAR(f[static_cast<std::size_t>(c.band)], 1.0, 0.01);
        for (int k = 0; k < kBands; ++k) {
            if (k != c.band) {
                EXPECT_LT(f[static_cast<std::size_t>(k)], 0.01) << "band " << k;
            }
        }
    }
}

TEST(SpectrumAnalyser, AmplitudeIsTheMeanOfTheChannelsAndSilenceIsZero) {
    SpectrumAnalyser analyser;
    const std::vector<float> leftOnly = stereoSine(bandCentre(7), 4096, 0.5, 0.0);
    EXPECT_NEAR(analyser.analyse(leftOnly.data(), 4096, 4096)[7], 0.25, 0.003);
    const std::vector<float> halfAndFull = stereoSine(bandCentre(7), 4096, 0.5, 1.0);
    EXPECT_NEAR(analyser.analyse(halfAndFull.data(), 4096, 4096)[7], 0.75, 0.008);

    const std::vector<float> silence(2 * 4096, 0.0f);
    for (float v : analyser.analyse(silence.data(), 4096, 4096)) EXPECT_EQ(v, 0.0f);
}

TEST(SpectrumFile, FrameCountCoversTheTrackPlusOneFrame) {
    const std::pair<std::uint64_t, std::size_t> cases[] = {
        {0, 1}, {1, 2}, {49, 2}, {50, 2}, {51, 3}, {1000, 21}, {221500, 4431},
    };
    for (const auto& [ms, frames] : cases) EXPECT_EQ(spectrumFrameCount(ms), frames) << ms << " ms";
    // One second of audio gives 20 frames and the extra one.
    EXPECT_EQ(computeSpectrum(std::vector<float>(2 * 44100, 0.0f), 44100).size(), 21u);
}

TEST(SpectrumFile, FrameIDescribesOnlyItsOwnFiftyMilliseconds) {
    // A tone only inside frame 3's interval [150, 200) ms, silence elsewhere.
    std::vector<float> audio(2 * 13230, 0.0f);
    const std::vector<float> tone = stereoSine(bandCentre(12), 13230, 0.8, 0.8);
    std::memcpy(audio.data() + 2 * 6615, tone.data() + 2 * 6615, 2 * 2205 * sizeof(float));
    const std::vector<BandFrame> frames = computeSpectrum(audio, 44100);
    ASSERT_EQ(frames.size(), 7u);
    EXPECT_NEAR(frames[3][12], 0.8, 0.05);
    for (std::size_t i : {0u, 1u, 2u, 4u, 5u, 6u})
        for (float v : frames[i]) EXPECT_EQ(v, 0.0f) << "frame " << i;
}

TEST(SpectrumFile, WritesLittleEndianFloatsAndReadsThemBack) {
    TempDir dir;
    std::vector<BandFrame> frames(3);
    frames[0][0] = 1.0f;
    frames[1][1] = 0.25f;
    frames[2][63] = 0.5f;
    const std::string path = dir.file("test.zun");
    writeSpectrumFile(path, frames);

    const std::vector<unsigned char> bytes = readWholeFile(path);
    ASSERT_EQ(bytes.size(), 3u * 64u * 4u);
    const std::vector<unsigned char> one{0x00, 0x00, 0x80, 0x3f}, half{0x00, 0x00, 0x00, 0x3f};
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 4), one);
    EXPECT_EQ(std::vector<unsigned char>(bytes.end() - 4, bytes.end()), half);

    // A trailing partial float is ignored when reading.
    std::ofstream(path, std::ios::binary | std::ios::app).write("\x01\x02\x03", 3);
    const std::vector<BandFrame> back = readSpectrumFile(path);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back, frames);
    EXPECT_THROW(readSpectrumFile(dir.file("missing.zun")), std::runtime_error);
}
