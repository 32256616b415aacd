#include "calibrate.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace velm::datagen {

namespace {

constexpr double kFrameSeconds = kFrameMs / 1000.0;

std::string percent(double f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f %%", 100.0 * f);
    return buf;
}

std::string number(double v, int digits = 3) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

std::string timeRange(const Section& s) {
    char buf[48];
    if (s.end > 1.0e8)
        std::snprintf(buf, sizeof buf, "%g s - end", s.start);
    else
        std::snprintf(buf, sizeof buf, "%g - %g s", s.start, s.end);
    return buf;
}

}  // namespace

SceneSignals signalsOf(const BandFrame& f) {
    SceneSignals s{};
    // Sums in index order and single precision, as the scenes add them.
    float level = 0.0f, bass = 0.0f;
    for (int k = 0; k <= 24; ++k) {
        level += f[static_cast<std::size_t>(k)];
        bass += static_cast<float>(25 - k) * f[static_cast<std::size_t>(k)];
    }
    float upper = 0.0f;
    for (int k = 52; k <= 63; ++k) upper += f[static_cast<std::size_t>(k)];
    float half = 0.0f;
    for (int k = 32; k <= 63; ++k) half += f[static_cast<std::size_t>(k)];
    s.captionLevel = level;
    s.harmoniumBass = bass;
    s.workshopUpper = upper;
    s.chainLevel = 0.5f * half;
    s.townBass = f[0] * f[0];
    return s;
}

double workshopTurnChance(float upperSum) {
    if (!(upperSum > 0.0f)) return 0.0;
    const double n = std::trunc(10.0 / upperSum);
    if (n >= 2147483648.0) return 0.0;  // does not fit an int: no spawn
    const auto bits = static_cast<std::uint32_t>(n);
    if ((bits & 1u) == 0) return 0.0;
    // Bit 0 of q must be set and every other bit that n has below 2^15 clear.
    return std::ldexp(1.0, -std::popcount(bits & 0x7fffu));
}

std::vector<SectionStats> analyseSections(const std::vector<BandFrame>& frames) {
    std::vector<SectionStats> out;
    for (const Section& sec : kSections) {
        SectionStats st;
        st.section = &sec;
        std::vector<float> upper;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const double t = static_cast<double>(i) * kFrameSeconds;
            if (t < sec.start || t >= sec.end) continue;
            const SceneSignals s = signalsOf(frames[i]);
            ++st.frames;
            st.captionBeat0 += s.captionLevel > 0.75f;
            st.captionBeat1 += s.captionLevel > 1.5f;
            st.harmoniumHit += s.harmoniumBass >= 30.0f;
            st.harmoniumStrobe += s.harmoniumBass > 20.0f;
            st.workshopVisible += 1.0f - 10.0f * s.workshopUpper > 0.3f;
            st.upperMean += s.workshopUpper;
            st.upperMax = std::max(st.upperMax, static_cast<double>(s.workshopUpper));
            st.chainMean += s.chainLevel;
            st.chainMax = std::max(st.chainMax, static_cast<double>(s.chainLevel));
            st.townMean += s.townBass;
            st.townMax = std::max(st.townMax, static_cast<double>(s.townBass));
            st.townActive += s.townBass > 0.25f;
            st.calmTurnsPerMinute += workshopTurnChance(s.workshopUpper);
            upper.push_back(s.workshopUpper);
        }
        if (st.frames > 0) {
            const double n = st.frames;
            for (double* v : {&st.captionBeat0, &st.captionBeat1, &st.harmoniumHit, &st.harmoniumStrobe,
                              &st.workshopVisible, &st.upperMean, &st.chainMean, &st.townMean, &st.townActive,
                              &st.calmTurnsPerMinute})
                *v /= n;
            st.calmTurnsPerMinute *= 20.0 * 60.0;  // ticks per minute
            // What the workshop camera lift gains between two of its random
            // resets, which come about once a second: e summed over 20 ticks.
            std::vector<double> windows;
            double sum = 0.0;
            for (std::size_t i = 0; i < upper.size(); ++i) {
                sum += upper[i];
                if (i >= 20) sum -= upper[i - 20];
                if (i >= 19) windows.push_back(sum);
            }
            if (!windows.empty()) {
                std::sort(windows.begin(), windows.end());
                st.liftPerSecondP95 = windows[windows.size() * 95 / 100];
            }
        }
        out.push_back(st);
    }
    return out;
}

std::vector<Check> checkTargets(const std::vector<SectionStats>& stats) {
    std::vector<Check> checks;
    const auto add = [&](const SectionStats& st, const std::string& what, double value, double lo, double hi,
                         bool asPercent) {
        const std::string v = asPercent ? percent(value) : number(value);
        const std::string target = asPercent ? percent(lo) + " to " + percent(hi) : number(lo) + " to " + number(hi);
        checks.push_back({st.section->name, what, v, target, value >= lo && value <= hi});
    };
    for (const SectionStats& st : stats) {
        if (st.frames == 0) continue;
        const Section& sec = *st.section;
        if (sec.captionStyle == 0) add(st, "caption beat, style 0 (sum 0-24 > 0.75)", st.captionBeat0, 0.05, 0.40, true);
        if (sec.captionStyle == 1) add(st, "caption beat, style 1 (sum 0-24 > 1.5)", st.captionBeat1, 0.05, 0.40, true);
        switch (sec.scene) {
            case SceneKind::Town:
                // The intro only has a kick from 32 s on: it must react, not often.
                if (sec.captionStyle < 0)
                    add(st, "town bass: band 0 squared, max", st.townMax, 0.25, 1.0, false);
                else
                    add(st, "town bass: frames with band 0 squared > 0.25", st.townActive, 0.05, 0.6, true);
                break;
            case SceneKind::Workshop:
                add(st, "workshop value 1 - 10 e > 0.3", st.workshopVisible, 0.98, 1.0, true);
                if (sec.workshopIntense) {
                    add(st, "workshop e, mean (camera lift reacts)", st.upperMean, 0.002, 0.03, false);
                    add(st, "workshop lift gained in 20 ticks, 95th percentile", st.liftPerSecondP95, 0.02, 0.6, false);
                } else {
                    add(st, "workshop arm turns spawned from e, per minute", st.calmTurnsPerMinute, 1.0, 120.0, false);
                }
                break;
            case SceneKind::Harmonium:
                add(st, "harmonium hit ticks (bass sum >= 30)", st.harmoniumHit, 1.0 / 12.0, 0.25, true);
                add(st, "harmonium strobe frames (bass sum > 20)", st.harmoniumStrobe, 0.05, 0.6, true);
                break;
            case SceneKind::Chain:
                add(st, "chain level s, mean", st.chainMean, 0.02, 0.4, false);
                add(st, "chain level s, max", st.chainMax, 0.05, 1.0, false);
                break;
            case SceneKind::AfterEnd:
                break;
        }
    }
    return checks;
}

std::string formatReport(const std::vector<SectionStats>& stats, const std::vector<Check>& checks) {
    std::string out;
    out += "| section | time | frames | caption > 0.75 | caption > 1.5 | harmonium B >= 30 | B > 20 "
           "| 1 - 10e > 0.3 | e mean | e max | e in 20 ticks (p95) | turns/min from e | chain s mean | s max "
           "| town b0^2 mean | b0^2 max |\n";
    out += "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n";
    for (const SectionStats& st : stats) {
        if (st.frames == 0) continue;
        out += "| " + std::string(st.section->name) + " | " + timeRange(*st.section) + " | " +
               std::to_string(st.frames) + " | " + percent(st.captionBeat0) + " | " + percent(st.captionBeat1) +
               " | " + percent(st.harmoniumHit) + " | " + percent(st.harmoniumStrobe) + " | " +
               percent(st.workshopVisible) + " | " + number(st.upperMean, 4) + " | " + number(st.upperMax) + " | " +
               number(st.liftPerSecondP95) + " | " + number(st.calmTurnsPerMinute, 1) + " | " +
               number(st.chainMean) + " | " + number(st.chainMax) + " | " +
               number(st.townMean) + " | " + number(st.townMax) + " |\n";
    }
    out += "\n| section | scene value | measured | target | |\n|---|---|---:|---|---|\n";
    for (const Check& c : checks)
        out += "| " + c.section + " | " + c.what + " | " + c.value + " | " + c.target + " | " + (c.ok ? "ok" : "OUT") +
               " |\n";
    return out;
}

namespace {

// Dark blue through purple and orange to pale yellow.
void heatColour(double u, std::uint8_t* rgb) {
    static constexpr double kStops[6][3] = {
        {0, 0, 4}, {40, 11, 84}, {132, 32, 107}, {212, 72, 66}, {249, 142, 9}, {252, 255, 164}};
    u = std::clamp(u, 0.0, 1.0) * 5.0;
    const int i = std::min(4, static_cast<int>(u));
    const double f = u - i;
    for (int c = 0; c < 3; ++c)
        rgb[c] = static_cast<std::uint8_t>(std::lround(kStops[i][c] + (kStops[i + 1][c] - kStops[i][c]) * f));
}

}  // namespace

Image drawSpectrogram(const std::vector<BandFrame>& frames, std::size_t first, std::size_t last, int width) {
    last = std::min(last, frames.size());
    if (first >= last) first = last > 0 ? last - 1 : 0;
    const std::size_t count = std::max<std::size_t>(1, last - first);
    // Whole frames per column when squeezing, whole columns per frame when stretching.
    const auto wanted = static_cast<std::size_t>(std::max(1, width));
    const std::size_t perColumn = std::max<std::size_t>(1, (count + wanted - 1) / wanted);
    const int repeat = count >= static_cast<std::size_t>(std::max(1, width))
                           ? 1
                           : std::max(1, width / static_cast<int>(count));
    const int columns = static_cast<int>((count + perColumn - 1) / perColumn) * repeat;
    const int bandRows = 4;
    const int specHeight = kBands * bandRows;
    const int plotHeight = 80;
    const int height = specHeight + 6 + 2 * (plotHeight + 6);
    Image img(columns, height, 3);

    for (int col = 0; col < columns; ++col) {
        const std::size_t from = first + static_cast<std::size_t>(col / repeat) * perColumn;
        const std::size_t to = std::min(last, from + perColumn);
        BandFrame loudest{};
        double level = 0.0, bass = 0.0;
        bool boundary = false, tick = false;
        for (std::size_t i = from; i < to; ++i) {
            for (int k = 0; k < kBands; ++k)
                loudest[static_cast<std::size_t>(k)] =
                    std::max(loudest[static_cast<std::size_t>(k)], frames[i][static_cast<std::size_t>(k)]);
            const SceneSignals sig = signalsOf(frames[i]);
            level = std::max(level, static_cast<double>(sig.captionLevel));
            bass = std::max(bass, static_cast<double>(sig.harmoniumBass));
            if (col % repeat != 0) continue;
            const double t = static_cast<double>(i) * kFrameSeconds;
            const double tNext = t + kFrameSeconds;
            for (const Section& s : kSections) boundary |= s.start > t - 1e-9 && s.start < tNext - 1e-9;
            tick |= std::fmod(t + 1e-9, 10.0) < kFrameSeconds - 1e-6;
        }
        for (int band = 0; band < kBands; ++band) {
            const double v = loudest[static_cast<std::size_t>(band)];
            const double db = 20.0 * std::log10(std::max(v, 1e-6));
            std::uint8_t rgb[3];
            heatColour((db + 70.0) / 70.0, rgb);
            for (int r = 0; r < bandRows; ++r) {
                std::uint8_t* p = img.at(col, specHeight - 1 - (band * bandRows + r));
                p[0] = rgb[0];
                p[1] = rgb[1];
                p[2] = rgb[2];
            }
        }
        const double values[2] = {level / 3.0, bass / 60.0};
        const double marks[2][2] = {{0.75 / 3.0, 1.5 / 3.0}, {20.0 / 60.0, 30.0 / 60.0}};
        for (int p = 0; p < 2; ++p) {
            const int top = specHeight + 6 + p * (plotHeight + 6);
            const int filled = static_cast<int>(std::lround(std::clamp(values[p], 0.0, 1.0) * plotHeight));
            for (int y = 0; y < plotHeight; ++y) {
                std::uint8_t* px = img.at(col, top + plotHeight - 1 - y);
                const bool on = y < filled;
                px[0] = on ? 90 : 18;
                px[1] = on ? (p == 0 ? 200 : 140) : 18;
                px[2] = on ? (p == 0 ? 255 : 90) : 24;
            }
            for (double m : marks[p]) {
                std::uint8_t* px = img.at(col, top + plotHeight - 1 - static_cast<int>(std::lround(m * plotHeight)));
                px[0] = 255;
                px[1] = 60;
                px[2] = 60;
            }
        }
        if (boundary || tick) {
            for (int y = 0; y < img.height; ++y) {
                if (!boundary && y > 10 && y < img.height - 10) continue;
                std::uint8_t* px = img.at(col, y);
                px[0] = px[1] = px[2] = 255;
            }
        }
    }
    return img;
}

}  // namespace velm::datagen
