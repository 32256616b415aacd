// A small seeded random generator for the data tools (splitmix64 seeding,
// xoshiro128-style mixing kept to 64-bit state). Every generated file draws
// its randomness from here with a fixed seed, so the same sources always give
// the same bytes. Not for cryptography, not shared with the production.
#pragma once

#include <cstdint>

namespace velm::datagen {

class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    // Next 64 random bits (splitmix64: fast, passes BigCrush, any seed is fine).
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

    // Uniform in [lo, hi).
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }

    // Uniform integer in [0, n); n must be positive.
    std::uint32_t below(std::uint32_t n) {
        return static_cast<std::uint32_t>((next() >> 32) % n);
    }

    // Uniform in [-1, 1), single precision; the audio noise source.
    float bipolar() {
        return static_cast<float>(static_cast<double>(next() >> 40) * (2.0 / 16777216.0) - 1.0);
    }

private:
    std::uint64_t state_;
};

// Stateless hash of integer coordinates into [0, 1); used for lattice noise.
inline double hashUnit(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint64_t h = (static_cast<std::uint64_t>(x) * 0x8da6b343ULL) ^
                      (static_cast<std::uint64_t>(y) * 0xd8163841ULL) ^
                      (static_cast<std::uint64_t>(seed) * 0xcb1ab31fULL);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

}  // namespace velm::datagen
