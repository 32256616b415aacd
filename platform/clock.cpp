#include "platform/clock.h"

#include <chrono>

namespace platform {

uint32_t MonotonicClock::nowMs() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace platform
