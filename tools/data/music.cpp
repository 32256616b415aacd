#include "music.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

#include "dsp.hpp"
#include "rng.hpp"
#include "timeline.hpp"

namespace velm::datagen {

namespace {

using namespace dsp;

struct Bus {
    std::vector<float> l, r;
    explicit Bus(std::size_t n) : l(n, 0.0f), r(n, 0.0f) {}
};

// Constant-gain balance: the centre keeps full level on both sides.
inline double panLeft(double pan) { return pan > 0.0 ? 1.0 - pan : 1.0; }
inline double panRight(double pan) { return pan < 0.0 ? 1.0 + pan : 1.0; }

struct Chord {
    int root;                 // bass note (MIDI)
    std::array<int, 4> notes; // pad voicing (MIDI)
};

// A minor and its neighbours, voiced around middle C.
constexpr Chord kAm{45, {57, 60, 64, 69}};
constexpr Chord kF{41, {57, 60, 65, 69}};
constexpr Chord kC{36, {55, 60, 64, 67}};
constexpr Chord kG{43, {55, 59, 62, 67}};
constexpr Chord kEm{40, {55, 59, 64, 67}};
constexpr Chord kDm{38, {57, 62, 65, 69}};
constexpr Chord kE{40, {56, 59, 64, 68}};

struct Note {
    double beat;  // from the start of the phrase
    double len;   // beats
    int midi;
};

// Instrument levels, balanced against each other and against what the
// scenes read from the spectrum (the calibration report).
constexpr double kKickLevel = 0.65;
constexpr double kSnareLevel = 0.8;
constexpr double kClapLevel = 1.0;
constexpr double kHatLevel = 0.2;
constexpr double kHatAir = 1.5;
constexpr double kShakerLevel = 0.11;
constexpr double kCrashLevel = 0.16;
constexpr double kRiserLevel = 0.16;
constexpr double kBassLevel = 0.45;
constexpr double kHitLevel = 0.6;
constexpr double kPadLevel = 0.16;
constexpr double kReedLevel = 0.08;
constexpr double kStabLevel = 0.2;
constexpr double kLeadLevel = 0.3;
constexpr double kBellLevel = 0.11;
constexpr double kPluckLevel = 0.18;
// The drum bus's soft clipper.
constexpr double kDrumKnee = 0.4;
constexpr double kDrumCeiling = 0.8;
// The master's soft clipper in front of the limiter.
constexpr double kMasterKnee = 0.5;
constexpr double kMasterCeiling = 1.0;
// Gain from the mix into the master limiter.
constexpr double kDrive = 0.9;

// Everything that sounds: one stereo bus per group, effect sends, and the
// times of the kick-like hits that the basses and pads duck under.
class Song {
public:
    explicit Song(std::size_t frames)
        : n_(frames), drums_(frames), bass_(frames), pads_(frames), lead_(frames), fx_(frames),
          reverbSend_(frames), delaySend_(frames) {}

    void kick(double t0, double vel);
    void snare(double t0, double vel);
    void clap(double t0, double vel);
    void hat(double t0, double vel, bool open);
    void shaker(double t0, double vel, double pan);
    void crash(double t0, double vel);
    void riser(double t0, double dur, double vel);
    void bassNote(double t0, double dur, int note, double vel, double bright);
    void hitBass(double t0, int note, double vel);
    void padChord(double t0, double dur, const Chord& chord, double vel, double attack, double release);
    void reedChord(double t0, double dur, const Chord& chord, double vel);
    void stab(double t0, const Chord& chord, double vel, int octave = -1, double drive = 0.0);
    void leadNote(double t0, double dur, int note, double vel, double bright);
    void bell(double t0, int note, double vel, double pan);
    void pluck(double t0, int note, double vel, double bright, double pan);

    // Mixes the buses through ducking, filters and effects into stereo.
    RenderedTrack mix(void (*onProgress)(double));

private:
    struct Span {
        std::size_t first = 0, count = 0;
        explicit operator bool() const { return count > 0; }
    };
    Span span(double t0, double len) const {
        Span s;
        const long long first = std::llround(t0 * kRate);
        if (first < 0 || static_cast<std::size_t>(first) >= n_) return s;
        s.first = static_cast<std::size_t>(first);
        s.count = std::min(n_ - s.first, static_cast<std::size_t>(len * kRate));
        return s;
    }
    // Each voice gets its own noise stream, seeded by where it starts, so a
    // voice sounds the same whatever else is rendered before it.
    static Rng noiseFor(std::size_t first, std::uint64_t salt) {
        return Rng(0x9d2c5680a3b1ULL ^ (static_cast<std::uint64_t>(first) * 0x100000001b3ULL) ^ (salt << 48));
    }
    static void add(Bus& bus, std::size_t i, double l, double r) {
        bus.l[i] += static_cast<float>(l);
        bus.r[i] += static_cast<float>(r);
    }
    void applyDucking();
    void filterPads();

    std::size_t n_;
    Bus drums_, bass_, pads_, lead_, fx_, reverbSend_, delaySend_;
    std::vector<std::pair<double, double>> ducks_;  // time, strength
};

void Song::kick(double t0, double vel) {
    // A sine that drops from a click to 45 Hz in a few tens of milliseconds,
    // a short noise tick on top, gently saturated.
    const double len = 0.45;
    const Span s = span(t0, len);
    ducks_.emplace_back(t0, vel);
    if (!s) return;
    Rng noise = noiseFor(s.first, 1);
    Osc body;
    Svf click;
    click.set(2500.0, 0.7);
    const double norm = 1.0 / std::tanh(1.6);
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        const double hz = 45.0 + 120.0 * std::exp(-t / 0.022) + 300.0 * std::exp(-t / 0.0025);
        click.process(noise.bipolar());
        double x = body.sine(hz) * std::exp(-t / 0.16) + click.high * std::exp(-t / 0.0025) * 0.4;
        x *= gateEnvelope(t, 0.0006, len - 0.07, 0.07);
        const double y = std::tanh(1.6 * x) * norm * vel * kKickLevel;
        add(drums_, s.first + k, y, y);
    }
}

void Song::snare(double t0, double vel) {
    // A pitched drum body and a broad band of noise for the wires.
    const double len = 0.4;
    const Span s = span(t0, len);
    if (!s) return;
    Rng noise = noiseFor(s.first, 2);
    Osc tone;
    Svf hp, lp;
    hp.set(500.0, 0.7);
    lp.set(10000.0, 0.7);
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        const double body = tone.sine(185.0 * (1.0 + 0.5 * std::exp(-t / 0.008))) * std::exp(-t / 0.06) * 0.6;
        hp.process(noise.bipolar());
        lp.process(hp.high);
        const double rattle = lp.low * std::exp(-t / 0.13) * 1.1;
        const double y = (body + rattle) * gateEnvelope(t, 0.0008, len - 0.05, 0.05) * vel * kSnareLevel;
        add(drums_, s.first + k, y, y);
        add(reverbSend_, s.first + k, 0.2 * y, 0.2 * y);
    }
}

void Song::clap(double t0, double vel) {
    // Band-limited noise shaped like a few hands clapping almost together.
    const double len = 0.5;
    const Span s = span(t0, len);
    if (!s) return;
    Rng noise = noiseFor(s.first, 3);
    Svf hp, lp;
    hp.set(700.0, 0.8);
    lp.set(9500.0, 0.7);
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        // Three quick claps and the room behind them.
        double env = 0.0;
        for (int b = 0; b < 3; ++b) {
            const double tb = t - 0.0105 * b;
            if (tb >= 0.0) env += std::exp(-tb / 0.0045);
        }
        if (t >= 0.021) env += 0.9 * (t < 0.11 ? 1.0 : std::exp(-(t - 0.11) / 0.09));
        env = std::min(env, 1.2);
        hp.process(noise.bipolar());
        lp.process(hp.high);
        const double y = lp.low * env * gateEnvelope(t, 0.0005, len - 0.06, 0.06) * vel * kClapLevel;
        add(drums_, s.first + k, y * 0.95, y);
        add(reverbSend_, s.first + k, 0.3 * y, 0.3 * y);
    }
}

void Song::hat(double t0, double vel, bool open) {
    // Filtered noise with a metallic ring, plus a thin layer of "air" at the
    // very top of the spectrum that gives the hats their sheen.
    const double len = open ? 0.5 : 0.12;
    const double decay = open ? 0.15 : 0.026;
    const Span s = span(t0, len);
    if (!s) return;
    Rng noise = noiseFor(s.first, open ? 5 : 4);
    Svf hp, ring, lp, air1, air2;
    hp.set(7000.0, 0.8);
    ring.set(9800.0, 3.0);
    lp.set(16000.0, 0.7);
    air1.set(15500.0, 0.7);
    air2.set(15500.0, 0.7);
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        const double n = noise.bipolar();
        hp.process(n);
        ring.process(hp.high);
        lp.process(hp.high + 0.8 * ring.band);
        air1.process(n);
        air2.process(air1.high);
        const double y = (lp.low + kHatAir * air2.high) * std::exp(-t / decay) *
                         gateEnvelope(t, 0.0004, len - 0.04, 0.04) * vel * kHatLevel;
        add(drums_, s.first + k, 0.8 * y, y);
    }
}

void Song::shaker(double t0, double vel, double pan) {
    // A soft band of noise with a slow attack.
    const double len = 0.15;
    const Span s = span(t0, len);
    if (!s) return;
    Rng noise = noiseFor(s.first, 6);
    Svf bp;
    bp.set(5500.0, 1.4);
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        bp.process(noise.bipolar());
        const double env = gateEnvelope(t, 0.006, len - 0.03, 0.03) * std::exp(-t / 0.045);
        const double y = bp.band * env * vel * kShakerLevel * 1.6;
        add(drums_, s.first + k, y * panLeft(pan), y * panRight(pan));
    }
}

void Song::crash(double t0, double vel) {
    // Independent noise on each side, high-passed, with a long decay.
    const double len = 3.0;
    const Span s = span(t0, len);
    if (!s) return;
    Rng noise = noiseFor(s.first, 7);
    Svf hpL, hpR, lpL, lpR, lp2L, lp2R;
    for (Svf* f : {&hpL, &hpR}) f->set(3000.0, 0.7);
    for (Svf* f : {&lpL, &lpR, &lp2L, &lp2R}) f->set(10000.0, 0.7);
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        hpL.process(noise.bipolar());
        hpR.process(noise.bipolar());
        lpL.process(hpL.high);
        lpR.process(hpR.high);
        lp2L.process(lpL.low);
        lp2R.process(lpR.low);
        const double env = std::exp(-t / 0.85) * gateEnvelope(t, 0.002, len - 0.4, 0.4) * vel * kCrashLevel;
        add(drums_, s.first + k, lp2L.low * env, lp2R.low * env);
        add(reverbSend_, s.first + k, 0.25 * lp2L.low * env, 0.25 * lp2R.low * env);
    }
}

void Song::riser(double t0, double dur, double vel) {
    // Noise through a band-pass that sweeps up over `dur` while it swells.
    const Span s = span(t0, dur);
    if (!s) return;
    Rng noise = noiseFor(s.first, 8);
    Svf bpL, bpR;
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        const double u = t / dur;
        if (k % 16 == 0) {
            const double hz = 250.0 * std::pow(9000.0 / 250.0, u);
            bpL.set(hz, 2.2);
            bpR.set(hz * 1.04, 2.2);
        }
        bpL.process(noise.bipolar());
        bpR.process(noise.bipolar());
        const double env = u * u * gateEnvelope(t, 0.05, dur - 0.04, 0.04) * vel * kRiserLevel * 2.0;
        add(lead_, s.first + k, bpL.band * env, bpR.band * env);
        add(reverbSend_, s.first + k, 0.3 * bpL.band * env, 0.3 * bpR.band * env);
    }
}

void Song::bassNote(double t0, double dur, int note, double vel, double bright) {
    // A saw and a sine through a low-pass whose envelope `bright` opens.
    const double release = 0.03;
    const Span s = span(t0, dur + release);
    if (!s) return;
    const double f = midiHz(note);
    Osc saw{0.5}, sub;
    Svf lp;
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        if (k % 8 == 0) lp.set(200.0 + 3.0 * f + bright * 2200.0 * std::exp(-t / 0.08), 1.1);
        lp.process(0.6 * saw.saw(f) + 0.25 * sub.sine(f));
        const double y = lp.low * gateEnvelope(t, 0.003, dur, release) * vel * kBassLevel;
        add(bass_, s.first + k, y, y);
    }
}

void Song::hitBass(double t0, int note, double vel) {
    // A sine bass drum driven hard into saturation: nearly square while it is
    // loud, which gives it its growl and its weight in the low and middle
    // bands, then a cleaner tail.
    const double len = 1.3;
    const Span s = span(t0, len);
    ducks_.emplace_back(t0, vel);
    if (!s) return;
    Rng noise = noiseFor(s.first, 9);
    const double f = midiHz(note);
    Osc body;
    Svf click;
    click.set(2500.0, 0.7);
    const double drive = 5.0;
    const double norm = 1.0 / std::tanh(drive);
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        click.process(noise.bipolar());
        const double env = 0.85 * std::exp(-t / 0.12) + 0.15 * std::exp(-t / 0.6);
        double x = body.sine(f * (1.0 + 1.2 * std::exp(-t / 0.035))) * env +
                   click.high * std::exp(-t / 0.003) * 0.5;
        x *= gateEnvelope(t, 0.0008, len - 0.15, 0.15);
        const double y = std::tanh(drive * vel * x) * norm * kHitLevel;
        add(drums_, s.first + k, y, y);
        add(reverbSend_, s.first + k, 0.06 * y, 0.06 * y);
    }
}

void Song::padChord(double t0, double dur, const Chord& chord, double vel, double attack, double release) {
    // Three detuned saws per note, spread left, centre and right.
    const Span s = span(t0, dur + release);
    if (!s) return;
    Rng phases = noiseFor(s.first, 10);
    constexpr double kDetune[3] = {-0.08, 0.0, 0.075};  // semitones
    constexpr double kPan[3] = {-0.7, 0.0, 0.7};
    constexpr std::size_t kVoices = 12;
    std::array<Osc, kVoices> oscs;
    std::array<double, kVoices> hz{}, gl{}, gr{};
    for (std::size_t i = 0; i < kVoices; ++i) {
        const std::size_t v = i % 3;
        hz[i] = midiHz(chord.notes[i / 3] + kDetune[v]);
        oscs[i].phase = phases.uniform();
        gl[i] = panLeft(kPan[v]) * vel * kPadLevel;
        gr[i] = panRight(kPan[v]) * vel * kPadLevel;
    }
    for (std::size_t k = 0; k < s.count; ++k) {
        const double env = gateEnvelope(static_cast<double>(k) / kRate, attack, dur, release);
        double l = 0.0, r = 0.0;
        for (std::size_t i = 0; i < kVoices; ++i) {
            const double y = oscs[i].saw(hz[i]);
            l += y * gl[i];
            r += y * gr[i];
        }
        add(pads_, s.first + k, l * env, r * env);
    }
}

void Song::reedChord(double t0, double dur, const Chord& chord, double vel) {
    // Per note a narrow pulse, a slightly sharp second reed beating against
    // it and a softer octave, under a shared bellows tremolo.
    const double release = 0.25;
    const Span s = span(t0, dur + release);
    if (!s) return;
    Rng phases = noiseFor(s.first, 11);
    std::array<Osc, 12> oscs;
    std::array<double, 4> hz{}, pan{};
    for (std::size_t i = 0; i < 4; ++i) {
        hz[i] = midiHz(chord.notes[i]);
        pan[i] = -0.45 + 0.3 * static_cast<double>(i);
        for (std::size_t j = 0; j < 3; ++j) oscs[3 * i + j].phase = phases.uniform();
    }
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        const double env = gateEnvelope(t, 0.06, dur, release) * vel * kReedLevel;
        double l = 0.0, r = 0.0;
        for (std::size_t i = 0; i < 4; ++i) {
            const double tremolo = 1.0 + 0.15 * std::sin(kTwoPi * 5.3 * t + static_cast<double>(i));
            const double x = 0.6 * oscs[3 * i].pulse(hz[i], 0.28) + 0.22 * oscs[3 * i + 1].pulse(2.0 * hz[i], 0.5) +
                             0.3 * oscs[3 * i + 2].pulse(hz[i] * 1.0025, 0.3);
            l += x * tremolo * panLeft(pan[i]);
            r += x * tremolo * panRight(pan[i]);
        }
        add(pads_, s.first + k, l * env, r * env);
    }
}

void Song::stab(double t0, const Chord& chord, double vel, int octave, double drive) {
    // A chord of detuned saws with a closing filter. With `drive` the chord
    // is overdriven into a growl that holds for a moment before it fades.
    const bool driven = drive > 0.0;
    const double len = driven ? 0.6 : 0.5;
    const Span s = span(t0, len);
    if (!s) return;
    Rng phases = noiseFor(s.first, 12);
    std::vector<Osc> left, right;
    for (std::size_t i = 0; i < chord.notes.size(); ++i) {
        left.push_back(Osc{phases.uniform()});
        right.push_back(Osc{phases.uniform()});
    }
    const double voices = static_cast<double>(chord.notes.size());
    Svf lpL, lpR;
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        if (k % 8 == 0) {
            const double cutoff = driven ? 700.0 + 3500.0 * std::exp(-t / 0.15) : 500.0 + 4000.0 * std::exp(-t / 0.06);
            lpL.set(cutoff, 1.0);
            lpR.set(cutoff, 1.0);
        }
        double xl = 0.0, xr = 0.0;
        for (std::size_t i = 0; i < chord.notes.size(); ++i) {
            const double f = midiHz(chord.notes[i] + 12 * octave);
            xl += left[i].saw(f * 0.996);
            xr += right[i].saw(f * 1.004);
        }
        const double fade = driven ? (t < 0.12 ? 1.0 : std::exp(-(t - 0.12) / 0.1)) : std::exp(-t / 0.16);
        if (driven) {
            const double gain = drive * fade / voices;
            xl = std::tanh(gain * xl) / std::tanh(drive) * voices;
            xr = std::tanh(gain * xr) / std::tanh(drive) * voices;
        }
        lpL.process(xl);
        lpR.process(xr);
        const double env = gateEnvelope(t, 0.003, len - 0.1, 0.1) * fade * vel * kStabLevel;
        add(lead_, s.first + k, lpL.low * env, lpR.low * env);
    }
}

void Song::leadNote(double t0, double dur, int note, double vel, double bright) {
    // Two detuned saws, one leaning to each side, through a low-pass that
    // closes after the attack; vibrato comes in on held notes.
    const double release = 0.14;
    const Span s = span(t0, dur + release);
    if (!s) return;
    const double f0 = midiHz(note);
    Osc a{0.5}, b{0.0};
    Svf lpA, lpB;
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        const double depth = t > 0.25 ? std::min(1.0, (t - 0.25) / 0.4) * 0.005 : 0.0;
        const double f = f0 * (1.0 + depth * std::sin(kTwoPi * 5.1 * t));
        if (k % 8 == 0) {
            const double cutoff = 600.0 + 2.0 * f0 + 2600.0 * bright * std::exp(-t / 0.25);
            lpA.set(cutoff, 1.0);
            lpB.set(cutoff, 1.0);
        }
        const double x1 = a.saw(f * 1.0035), x2 = b.saw(f * 0.9965);
        lpA.process(0.65 * x1 + 0.35 * x2);
        lpB.process(0.35 * x1 + 0.65 * x2);
        const double env = gateEnvelope(t, 0.012, dur, release) * vel * kLeadLevel;
        add(lead_, s.first + k, lpA.low * env, lpB.low * env);
    }
}

void Song::bell(double t0, int note, double vel, double pan) {
    // Two-operator FM: a modulator at twice the pitch whose depth fades, so
    // the tone starts bright and mellows as it rings.
    const double len = 3.0;
    const Span s = span(t0, len);
    if (!s) return;
    const double f = midiHz(note);
    Osc carrier, mod;
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        const double index = 2.2 * std::exp(-t / 0.18) + 0.25;
        const double m = mod.sine(2.0 * f) * index;
        const double y = std::sin(kTwoPi * carrier.phase + m) * std::exp(-t / 0.8) *
                         gateEnvelope(t, 0.002, len - 0.5, 0.5) * vel * kBellLevel;
        carrier.advance(f / kRate);
        const double l = y * panLeft(pan), r = y * panRight(pan);
        add(lead_, s.first + k, l, r);
        add(reverbSend_, s.first + k, 0.4 * l, 0.4 * r);
        add(delaySend_, s.first + k, 0.3 * l, 0.3 * r);
    }
}

void Song::pluck(double t0, int note, double vel, double bright, double pan) {
    // A saw with a fast-closing low-pass: the arpeggio's short notes.
    const double len = 0.4;
    const Span s = span(t0, len);
    if (!s) return;
    const double f = midiHz(note);
    Osc osc{0.5};
    Svf lp;
    for (std::size_t k = 0; k < s.count; ++k) {
        const double t = static_cast<double>(k) / kRate;
        if (k % 8 == 0) lp.set(200.0 + f + bright * 3500.0 * std::exp(-t / 0.06), 1.6);
        lp.process(osc.saw(f));
        const double y =
            lp.low * gateEnvelope(t, 0.002, 0.05, len - 0.05) * std::exp(-t / 0.14) * vel * kPluckLevel;
        add(fx_, s.first + k, y * panLeft(pan), y * panRight(pan));
    }
}

// The level of a duck event `dt` seconds after it: a 4 ms dip, then recovery.
double duckShape(double dt) {
    if (dt < 0.0) return 0.0;
    if (dt < 0.004) return 0.5 - 0.5 * std::cos(std::numbers::pi * dt / 0.004);
    return std::exp(-(dt - 0.004) / 0.11);
}

void Song::applyDucking() {
    // Each ducked bus dips by its own depth under the same envelope.
    std::sort(ducks_.begin(), ducks_.end());
    const std::pair<Bus*, float> targets[] = {{&bass_, 0.55f}, {&pads_, 0.2f}, {&fx_, 0.35f}};
    std::size_t next = 0;  // first event that has not started yet
    for (std::size_t i = 0; i < n_; ++i) {
        const double t = static_cast<double>(i) / kRate;
        while (next < ducks_.size() && ducks_[next].first <= t) ++next;
        // The two latest events overlap smoothly: the new dip starts from zero.
        double env = 0.0;
        for (std::size_t j = next >= 2 ? next - 2 : 0; j < next; ++j)
            env = std::max(env, std::min(1.0, ducks_[j].second) * duckShape(t - ducks_[j].first));
        if (env == 0.0) continue;
        for (const auto& [bus, depth] : targets) {
            const float g = static_cast<float>(1.0 - depth * env);
            bus->l[i] *= g;
            bus->r[i] *= g;
        }
    }
}

// Brightness of the pads over the track (seconds, Hz): the intro opens up,
// the calm parts are warm, the intense parts and the finale bright.
double padCutoff(double t) {
    static constexpr std::array<std::pair<double, double>, 16> kPoints{{
        {0.0, 300.0}, {32.0, 2200.0}, {41.0, 2400.0}, {42.5, 1400.0}, {51.5, 1600.0}, {52.5, 1500.0},
        {76.0, 1500.0}, {76.5, 3200.0}, {102.0, 3200.0}, {103.0, 1400.0}, {114.0, 3000.0},
        {128.3, 3400.0}, {128.6, 2200.0}, {154.8, 2200.0}, {155.2, 3600.0}, {1.0e9, 3600.0},
    }};
    for (std::size_t i = 1; i < kPoints.size(); ++i) {
        if (t < kPoints[i].first) {
            const auto [t0, h0] = kPoints[i - 1];
            const auto [t1, h1] = kPoints[i];
            const double u = (t - t0) / (t1 - t0);
            return h0 * std::pow(h1 / h0, u);
        }
    }
    return kPoints.back().second;
}

void Song::filterPads() {
    Svf l, r;
    for (std::size_t i = 0; i < n_; ++i) {
        if (i % 16 == 0) {
            const double hz = padCutoff(static_cast<double>(i) / kRate);
            l.set(hz, 0.9);
            r.set(hz, 0.9);
        }
        l.process(pads_.l[i]);
        r.process(pads_.r[i]);
        pads_.l[i] = static_cast<float>(l.low);
        pads_.r[i] = static_cast<float>(r.low);
    }
}

// Soft-knee clipper: straight below `knee`, bending smoothly towards
// `ceiling` above it. Rounds off drum transients so that the master limiter
// does not have to pull the whole mix down on every hit.
double softClip(double x, double knee, double ceiling) {
    const double a = std::abs(x);
    if (a <= knee) return x;
    const double y = knee + (ceiling - knee) * std::tanh((a - knee) / (ceiling - knee));
    return x < 0.0 ? -y : y;
}

RenderedTrack Song::mix(void (*onProgress)(double)) {
    for (std::size_t i = 0; i < n_; ++i) {
        drums_.l[i] = static_cast<float>(softClip(drums_.l[i], kDrumKnee, kDrumCeiling));
        drums_.r[i] = static_cast<float>(softClip(drums_.r[i], kDrumKnee, kDrumCeiling));
    }
    applyDucking();
    filterPads();
    if (onProgress) onProgress(0.7);

    // Bus sends into the shared effects.
    for (std::size_t i = 0; i < n_; ++i) {
        reverbSend_.l[i] += 0.3f * pads_.l[i] + 0.22f * lead_.l[i] + 0.2f * fx_.l[i] + 0.03f * drums_.l[i];
        reverbSend_.r[i] += 0.3f * pads_.r[i] + 0.22f * lead_.r[i] + 0.2f * fx_.r[i] + 0.03f * drums_.r[i];
        delaySend_.l[i] += 0.2f * lead_.l[i] + 0.22f * fx_.l[i];
        delaySend_.r[i] += 0.2f * lead_.r[i] + 0.22f * fx_.r[i];
    }
    // The reverb replaces its send bus with its output; the delay adds to it.
    Bus& wet = reverbSend_;
    {
        // The comb bank sums eight echoes: scale its input down to match.
        for (std::size_t i = 0; i < n_; ++i) {
            wet.l[i] *= 0.02f;
            wet.r[i] *= 0.02f;
        }
        Reverb reverb(0.86, 0.3);
        reverb.process(wet.l, wet.r);
    }
    if (onProgress) onProgress(0.85);
    pingPongDelay(delaySend_.l, delaySend_.r, wet.l, wet.r, 0.375, 0.38, 3500.0);
    if (onProgress) onProgress(0.95);

    // Master, built in place of the drum bus: sum, take out the rumble below
    // 25 Hz, fade both ends, drive into the clipper and the limiter.
    Bus& master = drums_;
    Svf hpL, hpR;
    hpL.set(25.0, 0.7);
    hpR.set(25.0, 0.7);
    Svf topL1, topR1, topL2, topR2;
    for (Svf* f : {&topL1, &topR1}) f->set(18500.0, 0.54);
    for (Svf* f : {&topL2, &topR2}) f->set(18500.0, 1.31);
    const double fadeOut = 1.5;
    const double end = static_cast<double>(n_) / kRate;
    double peak = 0.0;
    for (std::size_t i = 0; i < n_; ++i) {
        const double t = static_cast<double>(i) / kRate;
        hpL.process(static_cast<double>(drums_.l[i]) + bass_.l[i] + pads_.l[i] + lead_.l[i] + fx_.l[i] + wet.l[i]);
        hpR.process(static_cast<double>(drums_.r[i]) + bass_.r[i] + pads_.r[i] + lead_.r[i] + fx_.r[i] + wet.r[i]);
        const double g = kDrive * gateEnvelope(t, 0.005, end - fadeOut, fadeOut);
        const double l = hpL.high * g, r = hpR.high * g;
        peak = std::max({peak, std::abs(l), std::abs(r)});
        // Round the loudest peaks off before the limiter sees them, so it
        // pumps less on every hit; then take away what lies above the MP3
        // encoder's own low-pass, which would otherwise come back as
        // overshoot when the file is decoded.
        topL1.process(softClip(l, kMasterKnee, kMasterCeiling));
        topR1.process(softClip(r, kMasterKnee, kMasterCeiling));
        topL2.process(topL1.low);
        topR2.process(topR1.low);
        master.l[i] = static_cast<float>(topL2.low);
        master.r[i] = static_cast<float>(topR2.low);
    }
    RenderedTrack out;
    out.mixPeak = peak;
    const LimiterResult limiter = limit(master.l, master.r, kMasterPeak, 0.004, 0.08);
    out.limiterGain = limiter.deepestGain;
    out.limiterGainAt = static_cast<double>(limiter.deepestAt) / kRate;
    out.interleaved.resize(2 * n_);
    for (std::size_t i = 0; i < n_; ++i) {
        out.interleaved[2 * i] = master.l[i];
        out.interleaved[2 * i + 1] = master.r[i];
    }
    if (onProgress) onProgress(1.0);
    return out;
}

// ---------------------------------------------------------------------------
// The score.

constexpr double at(double sectionStart, double beat) { return sectionStart + beat * kBeatSeconds; }

const std::vector<Chord> kMain{kAm, kF, kC, kG};    // i VI III VII
const std::vector<Chord> kCalm{kAm, kEm, kF, kC, kAm, kEm, kF, kG};
const std::vector<Chord> kTurn{kF, kG, kEm, kAm};

const Chord& chordAt(const std::vector<Chord>& progression, int bar) {
    return progression[static_cast<std::size_t>(bar) % progression.size()];
}

// Lead phrases, four bars over the main progression.
const std::vector<Note> kThemeA{
    {0, 1, 76}, {1, 0.5, 81}, {1.5, 0.5, 79}, {2, 1, 76}, {3, 0.5, 74}, {3.5, 0.5, 72},
    {4, 1.5, 72}, {5.5, 0.5, 69}, {6, 1, 72}, {7, 1, 77},
    {8, 1, 76}, {9, 1, 79}, {10, 0.5, 76}, {10.5, 0.5, 74}, {11, 1, 72},
    {12, 2, 74}, {14, 1, 71}, {15, 1, 74},
};
const std::vector<Note> kThemeAnswer{
    {0, 1, 76}, {1, 0.5, 81}, {1.5, 0.5, 83}, {2, 1, 84}, {3, 1, 83},
    {4, 1.5, 81}, {5.5, 0.5, 77}, {6, 2, 81},
    {8, 1, 79}, {9, 0.5, 76}, {9.5, 0.5, 79}, {10, 1, 84}, {11, 1, 83},
    {12, 2, 79}, {14, 2, 74},
};
// Eight slow bars over the calm progression.
const std::vector<Note> kCalmTheme{
    {0, 2, 72}, {2, 2, 76}, {4, 3, 79}, {7, 1, 76}, {8, 2, 77}, {10, 1, 76}, {11, 1, 72}, {12, 4, 76},
    {16, 2, 72}, {18, 1, 76}, {19, 1, 81}, {20, 3, 79}, {23, 1, 83}, {24, 2, 81}, {26, 1, 77}, {27, 1, 76},
    {28, 4, 74},
};
// Four bars over F G Em Am.
const std::vector<Note> kTurnTheme{
    {0, 0.5, 81}, {0.5, 0.5, 79}, {1, 1, 77}, {2, 1, 72}, {3, 1, 77},
    {4, 0.5, 83}, {4.5, 0.5, 81}, {5, 1, 79}, {6, 1, 74}, {7, 1, 79},
    {8, 1, 79}, {9, 1, 76}, {10, 1, 83}, {11, 1, 79},
    {12, 3, 81}, {15, 0.5, 79}, {15.5, 0.5, 76},
};
// The bridge: F F G G Am, then three beats of E.
const std::vector<Note> kBridgeTheme{
    {0, 3, 72}, {3, 1, 69}, {4, 4, 77}, {8, 3, 74}, {11, 1, 71}, {12, 4, 79}, {16, 4, 76}, {20, 1.5, 76},
    {21.5, 1.5, 80},
};

class Arranger {
public:
    explicit Arranger(Song& song) : s_(song) {}

    void all() {
        intro(kSections[0].start);
        townCaptions(kSections[1].start);
        calm(kSections[2].start);
        intense(kSections[3].start, 52, false);
        bridge(kSections[4].start);
        intense(kSections[5].start, 29, true);
        bassHits(kSections[6].start);
        finale(kSections[7].start);
    }

private:
    // Slight velocity variation, as a player would.
    double h(double v) { return v * (0.93 + 0.14 * human_.uniform()); }

    void fourOnFloor(double start, int fromBeat, int toBeat, double vel) {
        for (int b = fromBeat; b < toBeat; ++b) s_.kick(at(start, b), h(vel));
    }
    // Claps on beats two and four, with a snare and a chord stab when full.
    void backbeat(double start, int fromBeat, int toBeat, double vel, bool full,
                  const std::vector<Chord>* prog = nullptr) {
        for (int b = fromBeat; b < toBeat; ++b) {
            if (b % 2 != 1) continue;
            s_.clap(at(start, b), h(vel));
            if (full) s_.snare(at(start, b), h(0.7 * vel));
            if (prog) s_.stab(at(start, b), chordAt(*prog, b / 4), h(0.8 * vel));
        }
    }
    void hats(double start, int fromBeat, int toBeat, double vel, bool sixteenths, bool openOffbeats) {
        for (int b = fromBeat; b < toBeat; ++b) {
            s_.hat(at(start, b + 0.5), h(vel), openOffbeats);
            if (sixteenths) {
                s_.hat(at(start, b + 0.25), h(0.45 * vel), false);
                s_.hat(at(start, b + 0.75), h(0.55 * vel), false);
            }
        }
    }
    void snareRoll(double start, double fromBeat, double toBeat, double step, double v0, double v1) {
        for (double b = fromBeat; b < toBeat - 1e-9; b += step) {
            const double u = (b - fromBeat) / (toBeat - fromBeat);
            s_.snare(at(start, b), h(v0 + (v1 - v0) * u));
        }
    }
    // Bass lines. Style 0: a held note per bar; 1: off-beat eighths;
    // 2: rolling sixteenths with octave jumps; 3: two held notes after the kicks.
    void bassLine(double start, int bars, const std::vector<Chord>& prog, int firstBar, int style, double vel,
                  double bright, int beatsInLastBar = 4) {
        for (int bar = 0; bar < bars; ++bar) {
            const int root = chordAt(prog, firstBar + bar).root;
            const int beats = bar == bars - 1 ? beatsInLastBar : 4;
            const double b0 = bar * 4.0;
            switch (style) {
                case 0:
                    s_.bassNote(at(start, b0), beats * kBeatSeconds - 0.08, root, h(vel), bright);
                    break;
                case 1:
                    for (int b = 0; b < beats; ++b)
                        s_.bassNote(at(start, b0 + b + 0.5), 0.2, root, h(vel), bright);
                    break;
                case 2:
                    for (int b = 0; b < beats; ++b) {
                        constexpr int kOffsets[4] = {0, 0, 12, 0};
                        constexpr double kAccent[4] = {0.7, 0.85, 1.0, 0.8};
                        for (int q = 0; q < 4; ++q)
                            s_.bassNote(at(start, b0 + b + 0.25 * q), 0.11, root + kOffsets[q], h(vel * kAccent[q]),
                                        bright);
                    }
                    break;
                default:
                    s_.bassNote(at(start, b0), std::min(beats, 2) * kBeatSeconds + 0.15, root, h(vel), bright);
                    if (beats > 2) s_.bassNote(at(start, b0 + 2.5), 0.65, root, h(vel), bright);
                    break;
            }
        }
    }
    void padBars(double start, int bars, const std::vector<Chord>& prog, int firstBar, double vel, double attack,
                 double beatsInLastBar = 4) {
        for (int bar = 0; bar < bars; ++bar) {
            const double beats = bar == bars - 1 ? beatsInLastBar : 4.0;
            s_.padChord(at(start, bar * 4.0), beats * kBeatSeconds, chordAt(prog, firstBar + bar), vel, attack, 0.6);
        }
    }
    void arp(double start, int fromBar, int toBar, const std::vector<Chord>& prog, double vel0, double vel1,
             double bright0, double bright1) {
        constexpr int kOrder[8] = {0, 1, 2, 3, 4, 3, 2, 1};
        for (int bar = fromBar; bar < toBar; ++bar) {
            const Chord& c = chordAt(prog, bar);
            const double u = toBar - fromBar > 1 ? static_cast<double>(bar - fromBar) / (toBar - fromBar - 1) : 1.0;
            for (int q = 0; q < 16; ++q) {
                const int step = kOrder[q % 8];
                const int note = step == 4 ? c.notes[0] + 12 : c.notes[static_cast<std::size_t>(step)];
                s_.pluck(at(start, bar * 4.0 + 0.25 * q), note + 12, h(vel0 + (vel1 - vel0) * u),
                         bright0 + (bright1 - bright0) * u, q % 2 ? 0.35 : -0.35);
            }
        }
    }
    void melody(double start, const std::vector<Note>& notes, double vel, double bright, double limitBeat = 1e9) {
        for (const Note& n : notes) {
            if (n.beat >= limitBeat) continue;
            const double len = std::min(n.len, limitBeat - n.beat);
            s_.leadNote(at(start, n.beat), len * kBeatSeconds - 0.03, n.midi, h(vel), bright);
        }
    }

    // 0-42 s: a pad swells out of silence, bells, then the arpeggio, hats and
    // bass; the kick arrives at 32 s and a roll and a riser lead into 42 s.
    void intro(double t) {
        for (int bar = 0; bar < 21; ++bar) {
            const double swell = std::min(1.0, bar / 10.0);
            const double vel = 0.12 + 0.6 * swell * swell;
            s_.padChord(at(t, bar * 4.0), 2.0, chordAt(kMain, bar), vel, bar == 0 ? 4.0 : 0.4, 0.6);
        }
        for (int bar = 2; bar < 16; ++bar) {
            const Chord& c = chordAt(kMain, bar);
            const double vel = 0.25 + 0.4 * (bar - 2) / 13.0;
            s_.bell(at(t, bar * 4.0), c.notes[3] + 12, h(vel), -0.3);
            s_.bell(at(t, bar * 4.0 + 2.5), c.notes[1] + 12, h(0.8 * vel), 0.3);
            if (bar % 2) s_.bell(at(t, bar * 4.0 + 3.0), c.notes[2] + 12, h(0.7 * vel), 0.0);
        }
        arp(t, 8, 21, kMain, 0.25, 0.55, 0.15, 0.7);
        hats(t, 48, 64, 0.5, false, false);
        hats(t, 64, 84, 0.6, true, false);
        bassLine(at(t, 48), 4, kMain, 12, 0, 0.55, 0.2);
        bassLine(at(t, 64), 4, kMain, 16, 1, 0.8, 0.5);
        fourOnFloor(t, 64, 82, 0.9);
        s_.riser(at(t, 76), 4.0, 0.9);
        snareRoll(t, 80, 82, 0.5, 0.25, 0.45);
        snareRoll(t, 82, 84, 0.25, 0.45, 0.8);
    }

    // 42-52 s: the groove under the first captions.
    void townCaptions(double t) {
        s_.crash(t, 0.9);
        fourOnFloor(t, 0, 18, 1.0);
        hats(t, 0, 18, 0.6, true, false);
        for (int b = 1; b < 18; b += 2) s_.shaker(at(t, b), h(0.8), 0.2);
        bassLine(t, 5, kMain, 0, 1, 0.6, 0.25);
        padBars(t, 5, kMain, 0, 0.4, 0.1);
        arp(t, 0, 5, kMain, 0.4, 0.45, 0.5, 0.5);
        melody(t, kThemeA, 0.45, 0.4);
        snareRoll(t, 18, 20, 0.25, 0.4, 0.8);
    }

    // 52-76.5 s: twelve calm bars and a one-beat fill.
    void calm(double t) {
        s_.crash(t, 0.6);
        for (int bar = 0; bar < 12; ++bar) {
            const double b0 = bar * 4.0;
            s_.kick(at(t, b0), h(0.9));
            s_.kick(at(t, b0 + 2.5), h(0.75));
            s_.snare(at(t, b0 + 2), h(1.0));
            s_.clap(at(t, b0 + 2), h(1.0));
            s_.stab(at(t, b0 + 2), chordAt(kCalm, bar), h(0.9));
            s_.clap(at(t, b0 + 3.5), h(0.9));
            for (int b = 0; b < 4; ++b) s_.hat(at(t, b0 + b + 0.5), h(0.35), false);
        }
        bassLine(t, 12, kCalm, 0, 3, 0.8, 0.3);
        padBars(t, 13, kCalm, 0, 0.85, 0.3, 1);
        melody(at(t, 8), kCalmTheme, 0.55, 0.3);
        for (int bar : {0, 1, 10, 11}) {
            const Chord& c = chordAt(kCalm, bar);
            s_.bell(at(t, bar * 4.0 + 1.0), c.notes[2] + 12, h(0.45), 0.4);
            s_.bell(at(t, bar * 4.0 + 3.0), c.notes[3] + 12, h(0.35), -0.4);
        }
        s_.riser(at(t, 44), 2.5, 0.8);
        snareRoll(t, 48, 49, 0.25, 0.5, 0.8);
    }

    // The two intense workshop sections: 76.5-102.5 s (52 beats) and
    // 114-128.5 s (29 beats, the last a stop before the bass hits).
    void intense(double t, int beats, bool second) {
        const int bars = (beats + 3) / 4;
        const int lastBeats = beats - 4 * (bars - 1);
        const int grooveEnd = second ? beats - 1 : beats - 4;
        s_.crash(t, 1.0);
        if (bars > 8) s_.crash(at(t, 32), 0.8);
        fourOnFloor(t, 0, grooveEnd, 1.0);
        backbeat(t, 0, grooveEnd, 0.9, true, &kMain);
        hats(t, 0, grooveEnd, 0.7, true, true);
        bassLine(t, bars, kMain, 0, 2, 0.85, 0.9, lastBeats);
        padBars(t, bars, kMain, 0, 1.0, 0.05, lastBeats);
        arp(t, 0, bars - (second ? 1 : 0), kMain, 0.75, 0.8, 1.0, 1.0);
        if (!second) {
            melody(t, kThemeA, 0.8, 1.0);
            melody(at(t, 16), kThemeAnswer, 0.8, 1.0);
            melody(at(t, 32), kThemeA, 0.8, 1.0);
            // The last bar: a fill into the bridge.
            snareRoll(t, beats - 4, beats - 2, 0.5, 0.5, 0.7);
            snareRoll(t, beats - 2, beats, 0.25, 0.7, 0.95);
        } else {
            melody(t, kThemeAnswer, 0.85, 1.0);
            melody(at(t, 16), kThemeA, 0.85, 1.0, 12.0);
            for (const Note& n : kThemeAnswer)
                if (n.beat < 12) s_.bell(at(t, 16 + n.beat), n.midi + 12, h(0.35), 0.2);
            // Stop on the last beat while a riser pulls into the bass hits.
            s_.riser(at(t, beats - 5), 2.4, 0.9);
        }
    }

    // 102.5-114 s: breakdown over F F G G Am and three beats of E.
    void bridge(double t) {
        const std::vector<Chord> prog{kF, kF, kG, kG, kAm, kE};
        for (int bar = 0; bar < 5; ++bar)
            s_.padChord(at(t, bar * 4.0), 2.0, prog[static_cast<std::size_t>(bar)], 0.95, 0.6, 0.6);
        s_.padChord(at(t, 20), 1.5, kE, 0.95, 0.3, 0.6);
        for (int bar = 0; bar < 4; ++bar) s_.kick(at(t, bar * 4.0), h(0.8));
        for (int bar = 4; bar < 6; ++bar)
            for (int b = 0; b < (bar == 5 ? 3 : 4); ++b) s_.kick(at(t, bar * 4.0 + b), h(0.85));
        hats(t, 8, 23, 0.45, false, false);
        for (int bar = 0; bar < 5; ++bar) {
            s_.clap(at(t, bar * 4.0 + 2.0), h(1.0));
            s_.stab(at(t, bar * 4.0 + 2.0), prog[static_cast<std::size_t>(bar)], h(0.8));
            if (bar >= 2 && bar < 4) s_.clap(at(t, bar * 4.0 + 3.5), h(0.9));
        }
        for (int bar = 0; bar < 5; ++bar)
            s_.bassNote(at(t, bar * 4.0), 1.9, prog[static_cast<std::size_t>(bar)].root, h(0.7), 0.2);
        s_.bassNote(at(t, 20), 1.4, kE.root, h(0.75), 0.3);
        melody(t, kBridgeTheme, 0.65, 0.5);
        s_.riser(at(t, 16), 3.5, 0.9);
        snareRoll(t, 19, 21, 0.5, 0.3, 0.5);
        snareRoll(t, 21, 23, 0.25, 0.5, 0.9);
    }

    // 128.5-155 s: a reed organ over strong, spaced bass hits.
    void bassHits(double t) {
        const std::vector<Chord> prog{kDm, kDm, kAm, kAm, kE, kE, kAm, kAm, kDm, kDm, kE, kE, kAm, kE};
        const auto hitNote = [](const Chord& c) { return c.root == kAm.root ? 33 : c.root; };
        for (int bar = 0; bar < 14; ++bar) {
            const Chord& c = prog[static_cast<std::size_t>(bar)];
            const double beats = bar == 13 ? 1.0 : 4.0;
            s_.reedChord(at(t, bar * 4.0), beats * kBeatSeconds, c, 0.85);
            if (bar == 13) break;
            // Each hit: the bass drum and an overdriven power chord (root,
            // fifth, octave, fifth), which distorts cleanly where the full
            // minor chord would turn to mud.
            const Chord power{c.root, {c.root + 12, c.root + 19, c.root + 24, c.root + 31}};
            for (const auto& [beat, vel] : {std::pair{0.0, 1.0}, std::pair{2.5, 0.95}}) {
                s_.hitBass(at(t, bar * 4.0 + beat), hitNote(c), h(vel));
                s_.stab(at(t, bar * 4.0 + beat), power, h(0.85 * vel), 0, 6.0);
            }
            for (int e = 0; e < 8; ++e) s_.shaker(at(t, bar * 4.0 + 0.5 * e), h(e % 2 ? 0.5 : 0.3), e % 2 ? 0.3 : -0.3);
            if (bar % 2 == 1) s_.bell(at(t, bar * 4.0 + 1.5), c.notes[3] + 12, h(0.35), 0.3);
        }
        s_.riser(at(t, 45), 8 * kBeatSeconds, 0.9);
        snareRoll(t, 52, 53, 0.25, 0.5, 0.9);
    }

    // 155 s to the end: the full band, the themes once more, a last chord.
    void finale(double t) {
        const int bars = 32;
        std::vector<Chord> prog;
        for (int bar = 0; bar < bars; ++bar) prog.push_back((bar / 8) % 2 ? chordAt(kTurn, bar) : chordAt(kMain, bar));
        for (int bar = 0; bar < bars; bar += 8) s_.crash(at(t, bar * 4.0), bar == 0 ? 1.0 : 0.8);
        fourOnFloor(t, 0, bars * 4, 1.0);
        backbeat(t, 0, bars * 4, 0.9, true, &prog);
        hats(t, 0, bars * 4, 0.7, true, true);
        for (int b = 32; b < bars * 4; ++b)
            for (int q = 0; q < 4; ++q) s_.shaker(at(t, b + 0.25 * q), h(q % 2 ? 0.7 : 0.45), q % 2 ? 0.4 : -0.4);
        bassLine(t, 16, prog, 0, 2, 0.85, 0.9);
        bassLine(at(t, 64), 16, prog, 16, 1, 0.95, 0.7);
        padBars(t, bars, prog, 0, 1.0, 0.05);
        arp(t, 8, bars, prog, 0.75, 0.8, 1.0, 1.0);
        melody(t, kThemeA, 0.85, 1.0);
        melody(at(t, 16), kThemeAnswer, 0.85, 1.0);
        melody(at(t, 32), kTurnTheme, 0.85, 1.0);
        melody(at(t, 48), kTurnTheme, 0.85, 1.0);
        melody(at(t, 64), kThemeA, 0.9, 1.0);
        melody(at(t, 80), kThemeAnswer, 0.9, 1.0);
        for (const Note& n : kThemeAnswer) s_.bell(at(t, 80 + n.beat), n.midi + 12, h(0.3), -0.2);
        melody(at(t, 96), kTurnTheme, 0.9, 1.0);
        melody(at(t, 112), kTurnTheme, 0.9, 1.0);
        // The closing chord on the downbeat after the last bar.
        const double end = at(t, bars * 4.0);
        s_.kick(end, 1.0);
        s_.hitBass(end, 33, 0.8);
        s_.crash(end, 1.0);
        s_.padChord(end, 0.8, kAm, 1.0, 0.01, 1.6);
        s_.bell(end, 81, 0.6, 0.0);
        s_.leadNote(end, 1.2, 69, 0.7, 0.8);
    }

    Song& s_;
    Rng human_{0x68756d616eULL};
};

}  // namespace

RenderedTrack renderTrack(double seconds, void (*onProgress)(double)) {
    if (seconds <= 0.0 || seconds > kTrackSeconds) seconds = kTrackSeconds;
    const auto frames = static_cast<std::size_t>(std::llround(seconds * kMusicRate));
    Song song(frames);
    if (onProgress) onProgress(0.0);
    Arranger(song).all();
    if (onProgress) onProgress(0.5);
    return song.mix(onProgress);
}

}  // namespace velm::datagen
