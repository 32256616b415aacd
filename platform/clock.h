// The millisecond timer the frame loop reads (the multimedia timer of the
// original design): real time for the production, a settable virtual time for
// capture and tests. Values wrap like any 32-bit millisecond counter.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t nowMs() = 0;
};

// Monotonic milliseconds (CLOCK_MONOTONIC); never jumps with the wall clock.
class MonotonicClock final : public Clock {
 public:
  uint32_t nowMs() override;
};

class VirtualClock final : public Clock {
 public:
  uint32_t nowMs() override { return now_; }
  void set(uint32_t ms) { now_ = ms; }
  void advance(uint32_t ms) { now_ += ms; }

 private:
  uint32_t now_ = 0;
};

}  // namespace platform
