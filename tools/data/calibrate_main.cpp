// velm-calibrate: reports how the spectrum file drives the scenes, section by
// section, and optionally draws a spectrogram.
// Usage: velm-calibrate SPECTRUM.zun [--png OUT.png] [--from S] [--to S]
//                       [--width PIXELS] [--check]
// With --check the exit status is 1 when a value lies outside its target.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "calibrate.hpp"

using namespace velm::datagen;

int main(int argc, char** argv) {
    std::string input, png;
    double from = 0.0, to = 1.0e9;
    int width = 1600;
    bool check = false;
    const auto usage = [] {
        std::fprintf(stderr,
                     "usage: velm-calibrate SPECTRUM.zun [--png OUT.png] [--from S] [--to S] [--width PIXELS] [--check]\n");
        return 2;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--png" && hasValue) png = argv[++i];
        else if (a == "--from" && hasValue) from = std::atof(argv[++i]);
        else if (a == "--to" && hasValue) to = std::atof(argv[++i]);
        else if (a == "--width" && hasValue) width = std::atoi(argv[++i]);
        else if (a == "--check") check = true;
        else if (a[0] != '-' && input.empty()) input = a;
        else return usage();
    }
    if (input.empty()) return usage();
    try {
        const std::vector<BandFrame> frames = readSpectrumFile(input);
        if (frames.empty()) {
            std::fprintf(stderr, "velm-calibrate: %s holds no complete frame\n", input.c_str());
            return 1;
        }
        std::printf("%s: %zu frames of %d bands (%.2f s)\n\n", input.c_str(), frames.size(), kBands,
                    frames.size() * kFrameMs / 1000.0);
        const std::vector<SectionStats> stats = analyseSections(frames);
        const std::vector<Check> checks = checkTargets(stats);
        std::fputs(formatReport(stats, checks).c_str(), stdout);
        if (!png.empty()) {
            const auto first = static_cast<std::size_t>(std::max(0.0, from) * 1000.0 / kFrameMs);
            const auto last = static_cast<std::size_t>(std::max(0.0, to) * 1000.0 / kFrameMs);
            writeImage(png, drawSpectrogram(frames, first, last, width));
            std::printf("\nspectrogram written to %s\n", png.c_str());
        }
        bool ok = true;
        for (const Check& c : checks) ok &= c.ok;
        if (check && !ok) {
            std::fprintf(stderr, "velm-calibrate: some values lie outside their targets\n");
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velm-calibrate: %s\n", e.what());
        return 1;
    }
    return 0;
}
