// The production's music: an original 120 BPM track in A minor, synthesised
// here from its score (drums, basses, pads, reed organ, leads, bells) and
// mixed to stereo float at 44.1 kHz. Its sections follow the production's
// timeline (timeline.hpp). Encoding to MP3 lives in mp3.hpp.
#pragma once

#include <cstddef>
#include <vector>

namespace velm::datagen {

inline constexpr int kMusicRate = 44100;
inline constexpr double kTrackSeconds = 221.5;  // the last chord rings out after the production's 217 s
// Limiter ceiling, -2.4 dBFS: the MP3 codec adds overshoot of its own on top,
// and the decoded track must still stay below full scale.
inline constexpr double kMasterPeak = 0.76;

struct RenderedTrack {
    std::vector<float> interleaved;  // stereo, kMusicRate
    double mixPeak = 0.0;            // peak of the mix going into the master limiter
    double limiterGain = 1.0;        // the deepest gain the limiter applied
    double limiterGainAt = 0.0;      // and where, in seconds
    std::size_t frames() const { return interleaved.size() / 2; }
};

// Renders the track, or only its first `seconds` when that is positive and
// shorter. No sample exceeds kMasterPeak. The same call always gives the
// same samples. `onProgress` gets the fraction done.
RenderedTrack renderTrack(double seconds = 0.0, void (*onProgress)(double) = nullptr);

}  // namespace velm::datagen
