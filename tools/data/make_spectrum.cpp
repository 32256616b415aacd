// velm-spectrum: decodes the production's MP3 the way the player does
// (gapless) and writes its spectrum file: 64 bands per 50 ms frame.
// Usage: velm-spectrum INPUT.mp3 OUTPUT.zun
#include <cmath>
#include <cstdio>
#include <exception>

#include "mp3.hpp"
#include "progress.hpp"
#include "band_levels.hpp"

using namespace velm::datagen;

namespace {
Progress* gProgress = nullptr;
void report(double f) { gProgress->update(f); }
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: velm-spectrum INPUT.mp3 OUTPUT.zun\n");
        return 2;
    }
    try {
        const DecodedAudio audio = decodeMp3(argv[1]);
        double peak = 0.0;
        for (float v : audio.interleaved) peak = std::fmax(peak, std::fabs(v));
        Progress progress("velm-spectrum: analysing");
        gProgress = &progress;
        const std::vector<BandFrame> frames = computeSpectrum(audio.interleaved, audio.sampleRate, report);
        writeSpectrumFile(argv[2], frames);
        std::fprintf(stderr,
                     "velm-spectrum: %s: %zu samples per channel, %llu ms, decoded peak %.4f (%.2f dBFS); "
                     "wrote %zu frames to %s\n",
                     argv[1], audio.frames(), static_cast<unsigned long long>(audio.lengthMs()), peak,
                     20.0 * std::log10(std::fmax(peak, 1e-9)), frames.size(), argv[2]);
        if (peak >= 1.0) std::fprintf(stderr, "velm-spectrum: warning: the decoded track clips\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velm-spectrum: %s\n", e.what());
        return 1;
    }
    return 0;
}
