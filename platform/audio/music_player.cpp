#include "platform/audio/music_player.h"

#include <SDL.h>
#include <mpg123.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace platform {
namespace {

// Frames per device buffer: about 23 ms at 44.1 kHz.
constexpr uint16_t kBufferFrames = 1024;

bool initDecoderLibrary() {
  static const int result = mpg123_init();
  return result == MPG123_OK;
}

struct HandleCloser {
  void operator()(mpg123_handle* h) const {
    mpg123_close(h);
    mpg123_delete(h);
  }
};

std::string mpg123Says(const char* what, mpg123_handle* mh) {
  return std::string(what) + ", mpg123 says \"" + mpg123_plain_strerror(mpg123_errcode(mh)) + "\"";
}

}  // namespace

std::unique_ptr<MusicPlayer> MusicPlayer::open(const std::string& path, const MusicPlayerOptions& options) {
  std::unique_ptr<MusicPlayer> player(new MusicPlayer(options));
  if (!player->decode(path)) {
    player->pcm_.clear();
    player->pcm_.shrink_to_fit();
    player->rate_ = 0;
    std::fprintf(stderr, "velm: cannot play %s: %s; the production runs silent\n", path.c_str(),
                 player->error_.c_str());
    return player;
  }
  if (options.audio && !player->openDevice())
    std::fprintf(stderr, "velm: no audio device (%s), the production runs silent\n", player->error_.c_str());
  return player;
}

MusicPlayer::MusicPlayer(const MusicPlayerOptions& options)
    : ownClock_(options.clock ? nullptr : std::make_unique<MonotonicClock>()),
      silent_(options.clock ? *options.clock : *ownClock_) {}

MusicPlayer::~MusicPlayer() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);  // waits for a running callback
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

bool MusicPlayer::decode(const std::string& path) {
  // mpg123 names no system error when a file cannot be opened; this does.
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fclose(f);
  } else {
    error_ = std::strerror(errno);
    return false;
  }
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error_ = std::strerror(EISDIR);
    return false;
  }
  if (!initDecoderLibrary()) {
    error_ = "the MP3 decoder library does not start";
    return false;
  }
  int err = MPG123_OK;
  std::unique_ptr<mpg123_handle, HandleCloser> handle(mpg123_new(nullptr, &err));
  if (!handle) {
    error_ = mpg123_plain_strerror(err);
    return false;
  }
  mpg123_handle* mh = handle.get();
  // Gapless drops the encoder delay and padding, so frame 0 is the track's
  // first real frame; mono comes out as two equal channels.
  mpg123_param2(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_FORCE_STEREO | MPG123_QUIET, 0.0);
  // Any rate the file has, always 16-bit stereo.
  if (mpg123_open_fixed(mh, path.c_str(), MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK) {
    error_ = mpg123Says("no MPEG audio found", mh);
    return false;
  }

  // The first call finds the first frame; later ones see the format change
  // only in a file that mixes rates.
  auto takeFormat = [&]() {
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
      error_ = mpg123Says("no MPEG audio found", mh);
      return false;
    }
    if (channels != 2 || encoding != MPG123_ENC_SIGNED_16 || rate <= 0) {
      error_ = "the decoder gives an unexpected sample format";
      return false;
    }
    if (rate_ != 0 && rate_ != static_cast<uint32_t>(rate)) {
      error_ = "the sample rate changes inside the file";
      return false;
    }
    rate_ = static_cast<uint32_t>(rate);
    return true;
  };
  if (!takeFormat()) return false;
  const off_t expected = mpg123_length(mh);
  if (expected > 0 && expected < static_cast<off_t>(rate_) * 3600) pcm_.reserve(static_cast<size_t>(expected) * 2);

  std::vector<unsigned char> chunk(64 * 1024);
  int stalls = 0;
  for (;;) {
    size_t done = 0;
    const int result = mpg123_read(mh, chunk.data(), chunk.size(), &done);
    // The last samples come together with MPG123_DONE.
    const auto* samples = reinterpret_cast<const int16_t*>(chunk.data());
    pcm_.insert(pcm_.end(), samples, samples + done / sizeof(int16_t));
    if (result == MPG123_DONE) break;
    if (result == MPG123_NEW_FORMAT) {
      if (!takeFormat()) return false;
    } else if (result != MPG123_OK) {
      error_ = mpg123Says("decoding failed", mh);
      return false;
    }
    // A reader that keeps answering without data or an end would never finish.
    stalls = done == 0 && result == MPG123_OK ? stalls + 1 : 0;
    if (stalls > 1000) {
      error_ = "the decoder makes no progress";
      return false;
    }
  }
  if (pcm_.size() % 2 != 0) pcm_.pop_back();
  if (pcm_.empty() || rate_ == 0) {
    error_ = "no MPEG audio in the file";
    return false;
  }
  return true;
}

bool MusicPlayer::openDevice() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error_ = SDL_GetError();
    return false;
  }
  // The dummy and disk drivers accept audio without pacing it like a sound
  // card, so the position would run at the wrong speed.
  const char* driver = SDL_GetCurrentAudioDriver();
  if (driver == nullptr || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0) {
    error_ = std::string("the SDL audio driver \"") + (driver ? driver : "") + "\" plays no sound";
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(rate_);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kBufferFrames;
  want.callback = &MusicPlayer::audioCallback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No allowed changes: SDL converts to whatever the hardware wants.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device == 0) {
    error_ = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  cursor_ = std::make_unique<PlaybackCursor>(pcm_.data(), frameCount(), rate_, have.samples,
                                             SDL_GetPerformanceFrequency());
  device_ = device;  // opened paused: the callback does not run before play()
  return true;
}

void MusicPlayer::audioCallback(void* self, uint8_t* stream, int bytes) {
  auto* player = static_cast<MusicPlayer*>(self);
  const size_t frames = static_cast<size_t>(bytes) / (2 * sizeof(int16_t));
  player->cursor_->fill(reinterpret_cast<int16_t*>(stream), frames, SDL_GetPerformanceCounter());
}

void MusicPlayer::play() {
  if (playing_) return;
  playing_ = true;
  if (device_ != 0)
    SDL_PauseAudioDevice(device_, 0);
  else
    silent_.play();
}

uint32_t MusicPlayer::positionMs() {
  if (device_ != 0) return cursor_->positionMs(SDL_GetPerformanceCounter());
  return silent_.positionMs();
}

uint32_t MusicPlayer::lengthMs() const {
  return rate_ == 0 ? 0 : static_cast<uint32_t>(uint64_t{frameCount()} * 1000 / rate_);
}

}  // namespace platform
