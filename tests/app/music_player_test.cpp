#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "platform/audio/music_player.h"
#include "platform/audio/playback_cursor.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr double kTone = 441.0;
constexpr double kAmplitude = 16000.0;

void writeWav(const fs::path& path, uint32_t rate, uint16_t channels, const std::vector<int16_t>& samples) {
  std::ofstream out(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const auto bytes = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(channels);
  u32(rate);
  u32(rate * channels * 2);
  u16(static_cast<uint16_t>(channels * 2));
  u16(16);
  out.write("data", 4);
  u32(bytes);
  out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

// kTone from sample 0 at full amplitude on the left (or the only) channel and
// at half amplitude on the right, so a swap or a mix shows.
std::vector<int16_t> toneSamples(uint32_t rate, uint16_t channels, uint32_t frames) {
  std::vector<int16_t> s;
  for (uint32_t i = 0; i < frames; ++i) {
    const double v = std::sin(2 * std::numbers::pi * kTone * i / rate);
    s.push_back(static_cast<int16_t>(std::lround(kAmplitude * v)));
    if (channels == 2) s.push_back(static_cast<int16_t>(std::lround(kAmplitude / 2 * v)));
  }
  return s;
}

bool haveLame() { return std::system("lame --version >/dev/null 2>&1") == 0; }

// A temporary folder with MP3s made by lame from generated tones.
class MusicFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!haveLame()) GTEST_SKIP() << "lame (Debian package lame) is not installed; cannot make MP3 fixtures";
    std::string tmpl = (fs::temp_directory_path() / "velm-music-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  fs::path makeMp3(const std::string& name, uint32_t rate, uint16_t channels, uint32_t frames) {
    const fs::path wav = dir_ / (name + ".wav");
    const fs::path mp3 = dir_ / (name + ".mp3");
    writeWav(wav, rate, channels, toneSamples(rate, channels, frames));
    const std::string command = std::string("lame --quiet -b 192 --cbr ") + (channels == 1 ? "-m m " : "-m j ") +
                                "'" + wav.string() + "' '" + mp3.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return mp3;
  }

  fs::path writeBytes(const std::string& name, const std::vector<char>& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  static std::vector<char> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
};

// Amplitude and phase of kTone in one channel over the first `frames` frames.
struct ToneFit {
  double amplitude;
  double phase;
};
ToneFit fitTone(const std::vector<int16_t>& pcm, int channel, uint32_t rate, uint32_t frames) {
  double s = 0, c = 0;
  for (uint32_t i = 0; i < frames; ++i) {
    const double w = 2 * std::numbers::pi * kTone * i / rate;
    s += pcm[2 * i + channel] * std::sin(w);
    c += pcm[2 * i + channel] * std::cos(w);
  }
  return {2 * std::hypot(s, c) / frames, std::atan2(c, s)};
}

struct DecodeCase {
  const char* name;
  uint32_t rate;
  uint16_t channels;
  uint32_t frames;
};

TEST_F(MusicFixture, DecodesWholeTrackGaplessAtItsOwnRateAsStereo) {
  const DecodeCase cases[] = {
      {"stereo44", 44100, 2, 44100},
      {"mono44", 44100, 1, 44100},
      {"stereo48", 48000, 2, 24000},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path mp3 = makeMp3(c.name, c.rate, c.channels, c.frames);
    const auto player = MusicPlayer::open(mp3.string(), {.audio = false});
    ASSERT_TRUE(player->decoded()) << player->error();
    EXPECT_FALSE(player->audible());
    EXPECT_EQ(player->sampleRate(), c.rate);
    EXPECT_EQ(player->channels(), 2u);
    // Gapless: neither the encoder delay nor the end padding is left.
    EXPECT_NEAR(static_cast<double>(player->frameCount()), c.frames, 2.0);
    EXPECT_NEAR(player->lengthMs(), uint64_t{c.frames} * 1000 / c.rate, 1.0);
    ASSERT_EQ(player->pcm().size(), player->frameCount() * 2);

    // The tone starts at frame 0 with phase 0: a leftover delay would show as
    // silence at the start and a shifted phase (one frame is 0.06 rad).
    const std::vector<int16_t>& pcm = player->pcm();
    EXPECT_LT(std::abs(pcm[0]), 0.05 * kAmplitude);
    const uint32_t window = c.rate / 10;
    const ToneFit left = fitTone(pcm, 0, c.rate, window);
    const ToneFit right = fitTone(pcm, 1, c.rate, window);
    EXPECT_NEAR(left.amplitude, kAmplitude, 0.05 * kAmplitude);
    EXPECT_NEAR(left.phase, 0.0, 0.03);
    double early = 0;
    for (uint32_t i = 0; i < c.rate / 100; ++i) early += std::abs(pcm[2 * i]);
    EXPECT_GT(early / (c.rate / 100), 0.5 * kAmplitude) << "the first 10 ms are not the tone";
    if (c.channels == 1) {
      for (size_t i = 0; i < player->frameCount(); ++i) ASSERT_EQ(pcm[2 * i], pcm[2 * i + 1]) << "frame " << i;
    } else {
      EXPECT_NEAR(right.amplitude, kAmplitude / 2, 0.05 * kAmplitude);
      EXPECT_NEAR(right.phase, 0.0, 0.03);
    }
  }
}

TEST_F(MusicFixture, CutOffTrackPlaysWhatItHas) {
  const std::vector<char> whole = readBytes(makeMp3("whole", 44100, 2, 44100));
  const fs::path half = writeBytes("half.mp3", {whole.begin(), whole.begin() + whole.size() / 2});
  const auto player = MusicPlayer::open(half.string(), {.audio = false});
  ASSERT_TRUE(player->decoded()) << player->error();
  EXPECT_GT(player->frameCount(), 44100u * 3 / 10);
  EXPECT_LT(player->frameCount(), 44100u * 7 / 10);
}

// Silent players, whether the track decoded or not, follow the given clock
// from the first play(); a second play() does not restart it.
void expectFollowsClockFromFirstPlay(Music& music, VirtualClock& clock) {
  clock.set(5000);
  EXPECT_EQ(music.positionMs(), 0u);
  clock.advance(300);
  EXPECT_EQ(music.positionMs(), 0u) << "moved before play()";
  music.play();
  EXPECT_EQ(music.positionMs(), 0u);
  clock.advance(1234);
  EXPECT_EQ(music.positionMs(), 1234u);
  music.play();
  clock.advance(16);
  EXPECT_EQ(music.positionMs(), 1250u);
}

TEST_F(MusicFixture, UnplayableFilesSayWhyAndRunSilentOnTheClock) {
  const std::vector<char> mp3 = readBytes(makeMp3("good", 44100, 2, 44100));
  std::vector<char> noise(64 * 1024);
  std::mt19937 random(1234);
  for (char& b : noise) b = static_cast<char>(random());
  struct Case {
    const char* name;
    fs::path path;
  };
  const Case cases[] = {
      {"missing", dir_ / "no such track.mp3"},
      {"empty", writeBytes("empty.mp3", {})},
      {"random bytes", writeBytes("noise.mp3", noise)},
      {"first 100 bytes", writeBytes("stub.mp3", {mp3.begin(), mp3.begin() + 100})},
      {"a folder", dir_},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock clock;
    ::testing::internal::CaptureStderr();
    const auto player = MusicPlayer::open(c.path.string(), {.audio = true, .clock = &clock});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(player->decoded());
    EXPECT_FALSE(player->audible());
    EXPECT_EQ(player->frameCount(), 0u);
    EXPECT_EQ(player->sampleRate(), 0u);
    EXPECT_EQ(player->lengthMs(), 0u);
    EXPECT_FALSE(player->error().empty());
    EXPECT_EQ(said, "velm: cannot play " + c.path.string() + ": " + player->error() + "; the production runs silent\n");
    expectFollowsClockFromFirstPlay(*player, clock);
  }
}

TEST_F(MusicFixture, DecodedTrackWithoutAudioFollowsTheClock) {
  const fs::path mp3 = makeMp3("tone", 44100, 2, 4410);
  VirtualClock clock;
  ::testing::internal::CaptureStderr();
  const auto player = MusicPlayer::open(mp3.string(), {.audio = false, .clock = &clock});
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "decode-only is not a failure";
  ASSERT_TRUE(player->decoded());
  expectFollowsClockFromFirstPlay(*player, clock);
}

// The dummy and disk drivers take audio without pacing it like a sound card.
TEST_F(MusicFixture, DummyAndDiskAudioDriversCountAsNoDevice) {
  const fs::path mp3 = makeMp3("tone", 44100, 2, 4410);
  const char* saved = std::getenv("SDL_AUDIODRIVER");
  const std::string restore = saved ? saved : "";
  for (const char* driver : {"dummy", "disk"}) {
    SCOPED_TRACE(driver);
    setenv("SDL_AUDIODRIVER", driver, 1);
    VirtualClock clock;
    ::testing::internal::CaptureStderr();
    const auto player = MusicPlayer::open(mp3.string(), {.audio = true, .clock = &clock});
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(player->decoded());
    EXPECT_FALSE(player->audible());
    EXPECT_NE(said.find("velm: no audio device"), std::string::npos) << said;
    EXPECT_NE(said.find(driver), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << "said more than once: " << said;
    expectFollowsClockFromFirstPlay(*player, clock);
  }
  if (saved)
    setenv("SDL_AUDIODRIVER", restore.c_str(), 1);
  else
    unsetenv("SDL_AUDIODRIVER");
}

TEST(PlaybackCursor, HandsOverTheTrackThenSilence) {
  std::vector<int16_t> pcm;
  for (int16_t i = 0; i < 250; ++i) pcm.insert(pcm.end(), {i, static_cast<int16_t>(-i)});
  PlaybackCursor cursor(pcm.data(), 250, 1000, 100, 1000);
  for (int chunk = 0; chunk < 4; ++chunk) {
    std::vector<int16_t> out(200, 0x7777);
    cursor.fill(out.data(), 100, 0);
    for (int f = 0; f < 100; ++f) {
      const int frame = chunk * 100 + f;
      const int16_t want = frame < 250 ? static_cast<int16_t>(frame) : 0;
      ASSERT_EQ(out[2 * f], want) << "frame " << frame;
      ASSERT_EQ(out[2 * f + 1], -want) << "frame " << frame;
    }
  }
}

// Scripts of callbacks and readings at counter values: 1000 frames and
// 1'000'000 ticks a second, buffers of 100 frames (100 ms).
struct CursorStep {
  bool fill;  // a callback at `counter`, or a reading at `counter`
  uint64_t counter;
  uint32_t wantMs;
};

void runCursorScript(const std::vector<CursorStep>& script) {
  const std::vector<int16_t> pcm(2 * 1000, 0);
  PlaybackCursor cursor(pcm.data(), 1000, 1000, 100, 1'000'000);
  std::vector<int16_t> out(2 * 100);
  for (size_t i = 0; i < script.size(); ++i) {
    const CursorStep& s = script[i];
    if (s.fill)
      cursor.fill(out.data(), 100, s.counter);
    else
      EXPECT_EQ(cursor.positionMs(s.counter), s.wantMs) << "step " << i << " at counter " << s.counter;
  }
}

TEST(PlaybackCursor, PositionIsWhatIsHeardAndNeverGoesBack) {
  runCursorScript({
      {false, 500'000, 0},      // nothing handed over yet
      {true, 1'000'000, 0},     // first buffer: heard from now on
      {false, 1'000'000, 0},
      {false, 1'050'000, 50},   // moves with the counter
      {false, 1'100'000, 100},  // up to the next buffer boundary
      {false, 1'500'000, 100},  // and no further while no callback comes
      {false, 1'020'000, 100},  // an earlier counter does not move it back
      {true, 1'600'000, 0},     // a late callback: continues from the boundary
      {false, 1'600'000, 100},
      {false, 1'630'000, 130},
      {true, 1'640'000, 0},     // an early callback: jumps to the boundary
      {false, 1'639'000, 200},  // counter read just before the callback stamped
      {false, 1'700'000, 260},
  });
}

TEST(PlaybackCursor, LongStallHoldsAtTheBufferBoundary) {
  // 2^64 / 1000 ticks: scaling these to frames without care overflows to ~0.
  runCursorScript({
      {true, 1'000'000, 0},
      {false, 1'000'000 + 18'446'744'073'709'552ull, 100},
  });
}

}  // namespace
}  // namespace platform
