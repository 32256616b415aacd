// Checks the files that the build made in the data directory: the music
// outlasts the production without clipping, the spectrum file covers it
// frame for frame, and every texture has a size the production can use.
#include <filesystem>

#include "mp3.hpp"
#include "band_levels.hpp"
#include "test_util.hpp"
#include "textures.hpp"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

using namespace velm::datagen;

namespace {

const std::string kDataDir = VELM_TEST_DATA_DIR;
const std::string kMusic = kDataDir + "/torvane (short version) 192kbps.mp3";

class DataFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (std::filesystem::exists(kMusic)) audio_ = new DecodedAudio(decodeMp3(kMusic));
    }
    static void TearDownTestSuite() {
        delete audio_;
        audio_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(audio_, nullptr) << kMusic << " is missing: build the velm_data target"; }
    static DecodedAudio* audio_;
};
DecodedAudio* DataFiles::audio_ = nullptr;

bool powerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

}  // namespace

TEST_F(DataFiles, MusicOutlastsTheProductionWithoutClipping) {
    EXPECT_EQ(audio_->sampleRate, 44100);
    EXPECT_GE(audio_->lengthMs(), 217000u + 2000u);
    EXPECT_LE(audio_->lengthMs(), 230000u);
    float peak = 0.0f;
    for (float v : audio_->interleaved) peak = std::max(peak, std::abs(v));
    EXPECT_LT(peak, 1.0f);
    EXPECT_GT(peak, 0.5f);
}

TEST_F(DataFiles, SpectrumCoversTheWholeTrack) {
    const std::string path = kDataDir + "/tuvak.zun";
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path) % (4 * kBands), 0u);
    const std::vector<BandFrame> frames = readSpectrumFile(path);
    EXPECT_EQ(frames.size(), spectrumFrameCount(audio_->lengthMs()));
    for (const BandFrame& f : frames)
        for (float v : f) ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << v;
}

TEST_F(DataFiles, TexturesHaveUsableSizes) {
    for (const std::string& name : textureFileNames()) {
        SCOPED_TRACE(name);
        int w = 0, h = 0, channels = 0;
        ASSERT_TRUE(stbi_info((kDataDir + "/" + name).c_str(), &w, &h, &channels));
        EXPECT_TRUE(powerOfTwo(w) && powerOfTwo(h));
        EXPECT_GE(std::min(w, h), 256);
        EXPECT_LE(std::max(w, h), 1024);
        EXPECT_EQ(channels, name.ends_with(".png") ? 4 : 3);
    }
}
