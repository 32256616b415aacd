#include "platform/audio/playback_cursor.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace platform {

PlaybackCursor::PlaybackCursor(const int16_t* pcm, size_t frames, uint32_t sampleRate, uint32_t bufferFrames,
                               uint64_t counterFrequency)
    : pcm_(pcm),
      frames_(frames),
      rate_(std::max<uint32_t>(sampleRate, 1)),
      bufferFrames_(bufferFrames),
      frequency_(std::max<uint64_t>(counterFrequency, 1)) {}

void PlaybackCursor::fill(int16_t* out, size_t frames, uint64_t counterNow) {
  const size_t take = next_ < frames_ ? std::min(frames, frames_ - next_) : 0;
  if (take > 0) std::memcpy(out, pcm_ + next_ * 2, take * 2 * sizeof(int16_t));
  std::memset(out + take * 2, 0, (frames - take) * 2 * sizeof(int16_t));
  next_ += take;

  // Silence after the end counts as played time too, so the position keeps
  // running like a clock once the track is over. Every access is sequentially
  // consistent: a reader that sees the same even count before and after its
  // loads has read one consistent pair.
  const uint64_t handed = handed_.load() + frames;
  const uint32_t seq = sequence_.load();
  sequence_.store(seq + 1);
  handed_.store(handed);
  stamp_.store(counterNow);
  sequence_.store(seq + 2);
}

uint32_t PlaybackCursor::positionMs(uint64_t counterNow) {
  uint64_t handed = 0;
  uint64_t stamp = 0;
  for (;;) {
    const uint32_t before = sequence_.load();
    if (before & 1u) {
      std::this_thread::yield();  // the callback is between its two stores
      continue;
    }
    handed = handed_.load();
    stamp = stamp_.load();
    if (sequence_.load() == before) break;
  }
  if (handed == 0) return lastMs_;

  // What the listener hears trails what was handed over by one device buffer.
  // Between callbacks the counter moves it on, never past what was handed over.
  const uint64_t heardAtStamp = handed > bufferFrames_ ? handed - bufferFrames_ : 0;
  // The counter may be read just before a callback stamps a later value. Ticks
  // beyond one buffer change nothing, and capping them keeps the product small.
  const uint64_t maxTicks = uint64_t{bufferFrames_} * frequency_ / rate_ + 1;
  const uint64_t ticks = std::min(counterNow > stamp ? counterNow - stamp : 0, maxTicks);
  const uint64_t frames = std::min(heardAtStamp + ticks * rate_ / frequency_, handed);
  const auto ms = static_cast<uint32_t>(frames * 1000 / rate_);
  lastMs_ = std::max(lastMs_, ms);
  return lastMs_;
}

}  // namespace platform
