// velm-music: synthesises the production's track and writes it as a 192 kbps
// CBR MP3. Usage: velm-music OUTPUT.mp3 [--wav OUTPUT.wav]
// The optional WAV holds the same samples before encoding (16-bit), for
// listening and comparison.
#include <chrono>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>

#include "fileio.hpp"
#include "mp3.hpp"
#include "music.hpp"
#include "progress.hpp"

using namespace velm::datagen;

namespace {

Progress* gProgress = nullptr;
void report(double f) { gProgress->update(f); }

void writeWav(const std::string& path, const std::vector<float>& interleaved) {
    std::vector<unsigned char> bytes;
    const auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    const auto put16 = [&](std::uint16_t v) {
        bytes.push_back(static_cast<unsigned char>(v & 0xff));
        bytes.push_back(static_cast<unsigned char>(v >> 8));
    };
    const auto dataBytes = static_cast<std::uint32_t>(interleaved.size() * 2);
    for (char c : std::string("RIFF")) bytes.push_back(static_cast<unsigned char>(c));
    put32(36 + dataBytes);
    for (char c : std::string("WAVEfmt ")) bytes.push_back(static_cast<unsigned char>(c));
    put32(16);
    put16(1);
    put16(2);
    put32(kMusicRate);
    put32(kMusicRate * 4);
    put16(4);
    put16(16);
    for (char c : std::string("data")) bytes.push_back(static_cast<unsigned char>(c));
    put32(dataBytes);
    for (float v : interleaved) {
        const long s = std::lround(std::fmax(-1.0f, std::fmin(1.0f, v)) * 32767.0f);
        put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(s)));
    }
    writeFileAtomically(path, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    std::string output, wav;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wav") == 0 && i + 1 < argc) {
            wav = argv[++i];
        } else if (argv[i][0] != '-' && output.empty()) {
            output = argv[i];
        } else {
            std::fprintf(stderr, "usage: velm-music OUTPUT.mp3 [--wav OUTPUT.wav]\n");
            return 2;
        }
    }
    if (output.empty()) {
        std::fprintf(stderr, "usage: velm-music OUTPUT.mp3 [--wav OUTPUT.wav]\n");
        return 2;
    }
    try {
        const auto started = std::chrono::steady_clock::now();
        Progress synthProgress("velm-music: synthesising");
        gProgress = &synthProgress;
        const RenderedTrack track = renderTrack(0.0, report);
        if (!wav.empty()) writeWav(wav, track.interleaved);

        Progress encodeProgress("velm-music: encoding MP3");
        gProgress = &encodeProgress;
        const std::vector<unsigned char> mp3 = encodeMp3(track.interleaved, Mp3Settings{}, report);
        writeFileAtomically(output, mp3);

        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "velm-music: wrote %s (%.1f s of music, %zu bytes; limiter ceiling %.2f dBFS, "
                     "deepest gain reduction %.1f dB at %.2f s) in %.1f s\n",
                     output.c_str(), static_cast<double>(track.frames()) / kMusicRate, mp3.size(),
                     20.0 * std::log10(kMasterPeak), -20.0 * std::log10(track.limiterGain), track.limiterGainAt,
                     seconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velm-music: %s\n", e.what());
        return 1;
    }
    return 0;
}
