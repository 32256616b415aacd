// The one process-wide pseudo-random generator: the classic linear
// congruential rand() (state x 214013 + 2531011, value = bits 16..30), so
// layouts and particle jitter are the same on every machine and every run.
#pragma once

#include <cstdint>

namespace velm {

void seedRandom(uint32_t seed);
// 0 to 32767.
int randomInt();
// (randomInt() mod 20000) / 10000 - 1: in [-1, 1).
float randomSigned();

}  // namespace velm
