// Signal-processing building blocks of the music synthesiser: band-limited
// oscillators, a state-variable filter, a plate-like reverb and a ping-pong
// delay. Everything is deterministic double-precision code with no global
// state, so a render depends only on the score.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace velm::datagen::dsp {

inline constexpr int kRate = 44100;
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;

inline double midiHz(double note) { return 440.0 * std::exp2((note - 69.0) / 12.0); }

// Correction for the step of a naive sawtooth or square (PolyBLEP); removes
// most of the aliasing that would otherwise sound as a digital hiss.
inline double polyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// Phase accumulator with band-limited waveforms; phase in [0, 1).
struct Osc {
    double phase = 0.0;

    // Advances by one sample at `hz` and returns the waveform before the step.
    double saw(double hz) {
        const double dt = hz / kRate;
        const double v = 2.0 * phase - 1.0 - polyBlep(phase, dt);
        advance(dt);
        return v;
    }
    double pulse(double hz, double width) {
        const double dt = hz / kRate;
        double v = phase < width ? 1.0 : -1.0;
        v += polyBlep(phase, dt);
        double shifted = phase + (1.0 - width);
        shifted -= std::floor(shifted);
        v -= polyBlep(shifted, dt);
        advance(dt);
        return v;
    }
    double sine(double hz) {
        const double v = std::sin(kTwoPi * phase);
        advance(hz / kRate);
        return v;
    }
    void advance(double dt) {
        phase += dt;
        phase -= std::floor(phase);
    }
};

// Topology-preserving state-variable filter (trapezoidal integration): stays
// stable while its cutoff moves every sample.
struct Svf {
    double ic1 = 0.0, ic2 = 0.0;
    double a1 = 0.0, a2 = 0.0, a3 = 0.0, k = 1.0;
    double low = 0.0, band = 0.0, high = 0.0;

    void set(double cutoffHz, double q) {
        cutoffHz = std::clamp(cutoffHz, 10.0, 0.49 * kRate);
        const double g = std::tan(std::numbers::pi * cutoffHz / kRate);
        k = 1.0 / q;
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    void process(double v0) {
        const double v3 = v0 - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        low = v2;
        band = v1;
        high = v0 - k * v1 - v2;
    }
};

// Attack, then full level until the release starts, then a release to zero;
// both ramps are raised-cosine so no edge clicks.
inline double gateEnvelope(double t, double attack, double holdUntil, double release) {
    if (t < 0.0) return 0.0;
    double g = 1.0;
    if (t < attack) g = 0.5 - 0.5 * std::cos(std::numbers::pi * t / attack);
    if (t > holdUntil) {
        const double r = (t - holdUntil) / release;
        g *= r >= 1.0 ? 0.0 : 0.5 + 0.5 * std::cos(std::numbers::pi * r);
    }
    return g;
}

// A Schroeder-Moorer reverb: eight damped comb filters in parallel and four
// all-pass diffusers in series per channel, the right channel's delays a few
// samples longer for width.
class Reverb {
public:
    Reverb(double roomSize, double damping);
    // Replaces the signal in `left` and `right` by the reverb's output.
    void process(std::vector<float>& left, std::vector<float>& right);

private:
    struct Comb {
        std::vector<float> buf;
        std::size_t pos = 0;
        float store = 0.0f;
    };
    struct AllPass {
        std::vector<float> buf;
        std::size_t pos = 0;
    };
    float feedback_;
    float damp_;
    std::vector<Comb> combs_[2];
    std::vector<AllPass> allPasses_[2];
};

// Stereo ping-pong delay with a low-passed feedback path.
void pingPongDelay(const std::vector<float>& inL, const std::vector<float>& inR, std::vector<float>& outL,
                   std::vector<float>& outR, double delaySeconds, double feedback, double toneHz);

// Brick-wall limiter for a finished stereo mix (offline, so it can look
// ahead): the gain falls smoothly over `lookahead` seconds before any sample
// that would exceed `ceiling` and recovers over about `release` seconds.
// No output sample exceeds the ceiling.
struct LimiterResult {
    double deepestGain = 1.0;   // the smallest gain applied
    std::size_t deepestAt = 0;  // the sample where it was applied
};
LimiterResult limit(std::vector<float>& left, std::vector<float>& right, double ceiling, double lookahead,
                    double release);

}  // namespace velm::datagen::dsp
