#include <fstream>

#include "fileio.hpp"
#include "mp3.hpp"
#include "band_levels.hpp"
#include "test_util.hpp"

using namespace velm::datagen;
using namespace velm::datagen::test;

TEST(Mp3, EncodesTheSameBytesEveryTimeAtConstantBitRate) {
    const std::vector<float> pcm = stereoSine(bandCentre(8), 44100, 0.5, 0.4);
    const std::vector<unsigned char> a = encodeMp3(pcm, Mp3Settings{});
    const std::vector<unsigned char> b = encodeMp3(pcm, Mp3Settings{});
    EXPECT_EQ(a, b);
    // The first frame header: MPEG-1 layer III (0xFFFB), bit-rate index 11 = 192 kbps.
    ASSERT_GT(a.size(), 4u);
    EXPECT_EQ(a[0], 0xff);
    EXPECT_EQ(a[1], 0xfb);
    EXPECT_EQ(a[2] >> 4, 11);
    // 192 kbps for one second is 24000 bytes (38.3 frames of 627 bytes); the
    // encoder's delay and padding and the Info frame add at most four frames.
    EXPECT_GE(a.size(), 24000u);
    EXPECT_LE(a.size(), 24000u + 4u * 627u);
}

TEST(Mp3, DecodesGaplesslyToTheSameLengthAndLevel) {
    TempDir dir;
    const std::size_t frames = 66150;  // 1.5 s
    const std::vector<float> pcm = stereoSine(bandCentre(8), frames, 0.5, 0.5);
    const std::string path = dir.file("tone.mp3");
    writeFileAtomically(path, encodeMp3(pcm, Mp3Settings{}));

    const DecodedAudio audio = decodeMp3(path);
    EXPECT_EQ(audio.sampleRate, 44100);
    EXPECT_EQ(audio.frames(), frames);  // no encoder delay, no padding
    EXPECT_EQ(audio.lengthMs(), 1500u);
    const std::vector<BandFrame> spectrum = computeSpectrum(audio.interleaved, audio.sampleRate);
    EXPECT_EQ(spectrum.size(), 31u);
    EXPECT_NEAR(spectrum[15][8], 0.5, 0.02);
    // The decoded samples line up with the input: no shift in time.
    double error = 0.0;
    for (std::size_t i = 2 * 22050; i < 2 * 22150; ++i)
        error = std::max(error, std::abs(static_cast<double>(audio.interleaved[i]) - pcm[i]));
    EXPECT_LT(error, 0.02);
}

TEST(Mp3, DecodingAMissingOrBrokenFileNamesIt) {
    TempDir dir;
    const std::string missing = dir.file("missing.mp3");
    const std::string broken = dir.file("broken.mp3");
    std::ofstream(broken, std::ios::binary) << std::string(5000, 'x');
    for (const std::string& path : {missing, broken}) {
        try {
            decodeMp3(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
}
