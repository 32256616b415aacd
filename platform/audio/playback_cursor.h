// The hand-off between the audio callback and the main thread. The callback
// takes the next frames of a decoded track (silence after its end) and stamps
// when it did; the main thread turns the latest stamp into the position the
// listener is hearing. No locks: the callback never waits on the main thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

class PlaybackCursor {
 public:
  // `pcm` holds `frames` interleaved 16-bit stereo frames and must outlive the
  // cursor. `bufferFrames` is the device buffer: what the callback hands over
  // is heard one buffer later. `counterFrequency` is the tick rate of the
  // counter passed to fill() and positionMs().
  PlaybackCursor(const int16_t* pcm, size_t frames, uint32_t sampleRate, uint32_t bufferFrames,
                 uint64_t counterFrequency);

  // Audio thread only: writes `frames` stereo frames to `out` and records that
  // they were handed over at counter value `counterNow`.
  void fill(int16_t* out, size_t frames, uint64_t counterNow);

  // Main thread only: milliseconds being heard at counter value `counterNow`;
  // 0 before the first fill, never beyond the next buffer boundary, never less
  // than the previous result.
  uint32_t positionMs(uint64_t counterNow);

 private:
  const int16_t* pcm_;
  size_t frames_;
  uint32_t rate_;
  uint32_t bufferFrames_;
  uint64_t frequency_;

  // Audio thread: the next frame of the track to hand over.
  size_t next_ = 0;

  // Published by the audio thread under a sequence count (odd while writing):
  // frames handed over so far, and the counter when that happened.
  std::atomic<uint32_t> sequence_{0};
  std::atomic<uint64_t> handed_{0};
  std::atomic<uint64_t> stamp_{0};

  // Main thread: the last position returned.
  uint32_t lastMs_ = 0;
};

}  // namespace platform
