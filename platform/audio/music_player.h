// The production's soundtrack: an MP3 decoded whole into memory (gapless, the
// file's own rate, 16-bit stereo) and played once through an SDL2 audio device;
// positionMs() is what the listener hears now. It does not stream, seek, loop
// or mix. Without a usable audio device, or with a track it cannot decode, it
// says so once on standard error and runs silent on a clock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/music.h"
#include "platform/audio/playback_cursor.h"

namespace platform {

struct MusicPlayerOptions {
  // False: decode only, never touch an audio device (tests, tools).
  bool audio = true;
  // The clock the silent fallback follows; null uses the monotonic clock.
  Clock* clock = nullptr;
};

class MusicPlayer final : public Music {
 public:
  // Never fails: a track that cannot be played leaves a silent player.
  static std::unique_ptr<MusicPlayer> open(const std::string& path, const MusicPlayerOptions& options = {});
  ~MusicPlayer() override;
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // Starts playback (or the silent clock); later calls do nothing.
  void play() override;
  uint32_t positionMs() override;

  bool decoded() const { return !pcm_.empty(); }  // the track is in memory
  bool audible() const { return device_ != 0; }   // an audio device plays it
  const std::string& error() const { return error_; }  // why not, when not
  uint32_t sampleRate() const { return rate_; }
  uint32_t channels() const { return decoded() ? 2 : 0; }
  size_t frameCount() const { return pcm_.size() / 2; }
  uint32_t lengthMs() const;
  const std::vector<int16_t>& pcm() const { return pcm_; }  // interleaved stereo

 private:
  explicit MusicPlayer(const MusicPlayerOptions& options);
  bool decode(const std::string& path);
  bool openDevice();
  static void audioCallback(void* self, uint8_t* stream, int bytes);

  std::vector<int16_t> pcm_;
  uint32_t rate_ = 0;
  std::string error_;

  std::unique_ptr<Clock> ownClock_;
  ClockMusic silent_;

  uint32_t device_ = 0;
  std::unique_ptr<PlaybackCursor> cursor_;
  bool playing_ = false;
};

}  // namespace platform
