// Calibration of the music against the production's scenes: per section of
// the timeline, how often each spectrum threshold that a scene reacts to is
// crossed, and whether that lies in the range the mix aims for. Also draws a
// spectrogram of the spectrum file for looking at the track's form.
#pragma once

#include <string>
#include <vector>

#include "image.hpp"
#include "band_levels.hpp"
#include "timeline.hpp"

namespace velm::datagen {

// The values the scenes derive from one spectrum frame.
struct SceneSignals {
    float captionLevel;   // sum of bands 0-24 (the caption beat)
    float harmoniumBass;  // sum over k = 0..24 of (25 - k) x band k
    float workshopUpper;  // e: sum of bands 52-63
    float chainLevel;     // s: 0.5 x sum of bands 32-63
    float townBass;       // band 0 squared
};
SceneSignals signalsOf(const BandFrame& frame);

// Outside its intense sections the workshop spawns an arm turn on a tick when
// (q AND n) = 1, with q a 15-bit random number and n = 10 / e truncated to an
// integer. The chance of that for one value of e (0 when e is 0 or n even).
double workshopTurnChance(float upperSum);

struct SectionStats {
    const Section* section = nullptr;
    int frames = 0;
    double captionBeat0 = 0, captionBeat1 = 0;  // fraction of frames above 0.75 / 1.5
    double harmoniumHit = 0;                     // fraction with bass sum >= 30
    double harmoniumStrobe = 0;                  // fraction with bass sum > 20
    double workshopVisible = 0;                  // fraction with 1 - 10 e > 0.3
    double upperMean = 0, upperMax = 0;          // e
    double liftPerSecondP95 = 0;                 // 95th percentile of e summed over 20 ticks
    double calmTurnsPerMinute = 0;               // arm turns the workshop spawns from e when not intense
    double chainMean = 0, chainMax = 0;          // s
    double townMean = 0, townMax = 0;            // band 0 squared
    double townActive = 0;                       // fraction with band 0 squared > 0.25
};

std::vector<SectionStats> analyseSections(const std::vector<BandFrame>& frames);

struct Check {
    std::string section, what, value, target;
    bool ok;
};
// The targets the mix aims for, in the sections where each scene plays.
std::vector<Check> checkTargets(const std::vector<SectionStats>& stats);

// Markdown tables of the statistics and the checks.
std::string formatReport(const std::vector<SectionStats>& stats, const std::vector<Check>& checks);

// A spectrogram of frames [first, last) about `width` pixels wide: time to
// the right, band 0 at the bottom, level in decibels; section boundaries as
// white lines, a tick every 10 s; below it the caption level (0 to 3) and
// the harmonium bass sum (0 to 60), with their thresholds in red. When there
// are more frames than columns, a column shows the loudest of its frames.
Image drawSpectrogram(const std::vector<BandFrame>& frames, std::size_t first, std::size_t last, int width);

}  // namespace velm::datagen
