// The spectrum file that the production reads beside its music: 64 band
// levels for every 50 ms of the track, as little-endian float32 with no
// header. This module computes those levels from decoded stereo samples and
// reads and writes the file. It does no decoding itself (see mp3.hpp).
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velm::datagen {

inline constexpr int kBands = 64;
inline constexpr int kFrameMs = 50;
inline constexpr int kWindowSize = 2048;            // samples per analysis window
inline constexpr int kBinsPerBand = kWindowSize / 2 / kBands;  // 16

using BandFrame = std::array<float, kBands>;

// Analyses windows of interleaved stereo audio into 64 linear bands from 0 Hz
// to the Nyquist frequency. Each band is the amplitude of what falls into it:
// a full-scale sine gives 1.0 in its band, wherever it sits inside the band.
// The value of a frame is the mean of the two channels, clamped to 0..1.
class SpectrumAnalyser {
public:
    SpectrumAnalyser();

    // Bands of the window of kWindowSize frames ending just before stereo frame
    // `windowEnd` (exclusive). Samples outside [0, frameCount) count as silence.
    BandFrame analyse(const float* interleaved, std::size_t frameCount, std::int64_t windowEnd);

private:
    void fft(std::vector<std::complex<double>>& data) const;

    std::vector<double> window_;
    double windowSum_ = 0.0;
    std::vector<std::complex<double>> twiddles_;
    std::vector<std::uint32_t> bitReverse_;
    std::vector<std::complex<double>> work_;
};

// Number of 50 ms frames written for a track of `lengthMs` milliseconds: every
// frame the music can be inside, plus one so that a player interpolating
// towards the next frame always finds one.
std::size_t spectrumFrameCount(std::uint64_t lengthMs);

// Spectrum of a whole track. Frame i describes music time [50 i, 50 i + 50) ms;
// its window is the kWindowSize samples that end at the end of that interval.
// `onProgress`, when given, is called with the fraction done now and then.
std::vector<BandFrame> computeSpectrum(const std::vector<float>& interleaved, int sampleRate,
                                       void (*onProgress)(double) = nullptr);

// Writes the frames as little-endian float32, 64 per frame, no header.
// Throws std::runtime_error naming the path when the file cannot be written.
void writeSpectrumFile(const std::string& path, const std::vector<BandFrame>& frames);

// Reads a spectrum file; a trailing partial frame is ignored. Throws
// std::runtime_error when the file cannot be read.
std::vector<BandFrame> readSpectrumFile(const std::string& path);

}  // namespace velm::datagen
