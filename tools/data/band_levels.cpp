#include "band_levels.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "fileio.hpp"

namespace velm::datagen {

namespace {

// A Hann window spreads a sine's energy so that the squared amplitudes of its
// bins add up to 1.5 times the squared amplitude of the sine (Parseval); the
// band level divides this back out, so a sine reads as its own amplitude.
constexpr double kHannEnergy = 1.5;

}  // namespace

SpectrumAnalyser::SpectrumAnalyser()
    : window_(kWindowSize), twiddles_(kWindowSize / 2), bitReverse_(kWindowSize), work_(kWindowSize) {
    // Periodic Hann window: its sum is exactly N / 2.
    for (int n = 0; n < kWindowSize; ++n) {
        window_[n] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kWindowSize);
        windowSum_ += window_[n];
    }
    for (int k = 0; k < kWindowSize / 2; ++k) {
        double a = -2.0 * std::numbers::pi * k / kWindowSize;
        twiddles_[k] = {std::cos(a), std::sin(a)};
    }
    const int bits = std::countr_zero(static_cast<unsigned>(kWindowSize));
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(kWindowSize); ++i) {
        std::uint32_t r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1u) << (bits - 1 - b);
        bitReverse_[i] = r;
    }
}

void SpectrumAnalyser::fft(std::vector<std::complex<double>>& data) const {
    const std::size_t n = data.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i < bitReverse_[i]) std::swap(data[i], data[bitReverse_[i]]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::size_t half = len / 2;
        const std::size_t step = n / len;
        for (std::size_t start = 0; start < n; start += len) {
            for (std::size_t j = 0; j < half; ++j) {
                std::complex<double> t = twiddles_[j * step] * data[start + j + half];
                data[start + j + half] = data[start + j] - t;
                data[start + j] += t;
            }
        }
    }
}

BandFrame SpectrumAnalyser::analyse(const float* interleaved, std::size_t frameCount, std::int64_t windowEnd) {
    // Both channels go through one complex FFT: left as the real part, right
    // as the imaginary part, separated afterwards by conjugate symmetry.
    const std::int64_t first = windowEnd - kWindowSize;
    for (int n = 0; n < kWindowSize; ++n) {
        const std::int64_t s = first + n;
        double l = 0.0, r = 0.0;
        if (s >= 0 && static_cast<std::uint64_t>(s) < frameCount) {
            l = interleaved[2 * s];
            r = interleaved[2 * s + 1];
        }
        work_[n] = {l * window_[n], r * window_[n]};
    }
    fft(work_);

    const double scale = 2.0 / windowSum_;
    BandFrame out{};
    for (int band = 0; band < kBands; ++band) {
        double sumL = 0.0, sumR = 0.0;
        for (int b = 0; b < kBinsPerBand; ++b) {
            const int k = band * kBinsPerBand + b;
            const std::complex<double> z = work_[k];
            const std::complex<double> zc = std::conj(work_[(kWindowSize - k) % kWindowSize]);
            const std::complex<double> left = 0.5 * (z + zc);
            const std::complex<double> right = std::complex<double>(0.0, -0.5) * (z - zc);
            const double al = scale * std::abs(left);
            const double ar = scale * std::abs(right);
            sumL += al * al;
            sumR += ar * ar;
        }
        const double level = 0.5 * (std::sqrt(sumL / kHannEnergy) + std::sqrt(sumR / kHannEnergy));
        out[band] = static_cast<float>(std::clamp(level, 0.0, 1.0));
    }
    return out;
}

std::size_t spectrumFrameCount(std::uint64_t lengthMs) {
    return static_cast<std::size_t>((lengthMs + kFrameMs - 1) / kFrameMs) + 1;
}

std::vector<BandFrame> computeSpectrum(const std::vector<float>& interleaved, int sampleRate,
                                       void (*onProgress)(double)) {
    const std::size_t frames = interleaved.size() / 2;
    const std::uint64_t lengthMs = (static_cast<std::uint64_t>(frames) * 1000 + sampleRate - 1) / sampleRate;
    const std::size_t count = spectrumFrameCount(lengthMs);
    std::vector<BandFrame> out(count);
    SpectrumAnalyser analyser;
    for (std::size_t i = 0; i < count; ++i) {
        // End of frame i's interval, in samples: (i + 1) * 50 ms.
        const std::int64_t end =
            static_cast<std::int64_t>((static_cast<std::uint64_t>(i + 1) * kFrameMs * sampleRate) / 1000);
        out[i] = analyser.analyse(interleaved.data(), frames, end);
        if (onProgress && (i % 512 == 0 || i + 1 == count)) onProgress(static_cast<double>(i + 1) / count);
    }
    return out;
}

void writeSpectrumFile(const std::string& path, const std::vector<BandFrame>& frames) {
    std::vector<unsigned char> bytes;
    bytes.reserve(frames.size() * kBands * 4);
    for (const BandFrame& f : frames) {
        for (float v : f) {
            const std::uint32_t u = std::bit_cast<std::uint32_t>(v);
            for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<unsigned char>(u >> shift));
        }
    }
    writeFileAtomically(path, bytes);
}

std::vector<BandFrame> readSpectrumFile(const std::string& path) {
    const std::vector<unsigned char> bytes = readWholeFile(path);
    const std::size_t frames = bytes.size() / (4 * kBands);
    std::vector<BandFrame> out(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        for (int k = 0; k < kBands; ++k) {
            const unsigned char* p = &bytes[(i * kBands + static_cast<std::size_t>(k)) * 4];
            const std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                    (static_cast<std::uint32_t>(p[2]) << 16) |
                                    (static_cast<std::uint32_t>(p[3]) << 24);
            out[i][static_cast<std::size_t>(k)] = std::bit_cast<float>(u);
        }
    }
    return out;
}

}  // namespace velm::datagen
