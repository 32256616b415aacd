// MP3 encoding of the synthesised track (through libmp3lame) and decoding of
// the finished file (through libmpg123, gapless, as the production plays it).
// Both work on interleaved stereo float samples in -1..1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velm::datagen {

struct Mp3Settings {
    int sampleRate = 44100;
    int bitrateKbps = 192;  // constant bit rate
    int quality = 2;        // LAME's algorithm quality, 0 (best) to 9; 2 is "-h"
};

using ProgressFn = void (*)(double fraction);

// Encodes stereo audio into a complete MP3 file image in memory: CBR frames
// with a leading Info/LAME tag frame that records encoder delay and padding,
// so gapless decoders return exactly the input samples. No ID3 tags and no
// time stamps: the same samples always give the same bytes.
// Throws std::runtime_error when the encoder refuses the settings or fails.
std::vector<unsigned char> encodeMp3(const std::vector<float>& interleaved, const Mp3Settings& settings,
                                     ProgressFn onProgress = nullptr);

struct DecodedAudio {
    int sampleRate = 0;
    std::vector<float> interleaved;  // stereo
    std::size_t frames() const { return interleaved.size() / 2; }
    // Length in milliseconds, rounded up.
    std::uint64_t lengthMs() const;
};

// Decodes an MP3 file to stereo float with gapless decoding on (encoder delay
// and padding removed). Uses mpg123's portable "generic" decoder, whose
// output does not depend on the CPU's vector units, so the spectrum made from
// it is the same on every machine. Throws std::runtime_error naming the file
// and mpg123's reason on failure.
DecodedAudio decodeMp3(const std::string& path);

}  // namespace velm::datagen
