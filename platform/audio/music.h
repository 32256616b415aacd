// The music the production plays and the position that drives its timeline.
// A Music starts when asked and then reports the play position in
// milliseconds; it never goes backwards.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace platform {

class Music {
 public:
  virtual ~Music() = default;
  virtual void play() = 0;
  // Milliseconds of the track the listener is hearing now; 0 before play().
  virtual uint32_t positionMs() = 0;
};

// Music that follows a clock from the moment play() is called: the silent
// fallback on the monotonic clock, and capture's virtual timeline.
class ClockMusic final : public Music {
 public:
  explicit ClockMusic(Clock& clock) : clock_(clock) {}
  void play() override {
    start_ = clock_.nowMs();
    playing_ = true;
  }
  uint32_t positionMs() override { return playing_ ? clock_.nowMs() - start_ : 0; }

 private:
  Clock& clock_;
  uint32_t start_ = 0;
  bool playing_ = false;
};

}  // namespace platform
