#include "engine/random.h"

namespace velm {
namespace {
uint32_t state = 1;
}

void seedRandom(uint32_t seed) { state = seed; }

int randomInt() {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFF);
}

float randomSigned() { return static_cast<float>(randomInt() % 20000) / 10000.0f - 1.0f; }

}  // namespace velm
