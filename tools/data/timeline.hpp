// The production's timeline as the music and its calibration see it: where
// each section of the track starts and ends, and which scene plays over it.
// The music is arranged to these boundaries; the calibration report groups
// the spectrum by them.
#pragma once

#include <array>

namespace velm::datagen {

enum class SceneKind { Town, Workshop, Harmonium, Chain, AfterEnd };

struct Section {
    const char* name;
    double start;          // seconds of music time, inclusive
    double end;            // seconds, exclusive
    SceneKind scene;
    int captionStyle;      // -1: no caption overlay, else the style drawn (0 or 1)
    bool workshopIntense;  // the workshop's intense flag during this section
};

inline constexpr double kBeatSeconds = 0.5;  // 120 beats per minute, 4 beats a bar
inline constexpr double kProductionEnd = 217.0;

// The sections in time order. "tail" is the part of the track after the
// production has stopped at 217 s; it only lets the music ring out.
inline constexpr std::array<Section, 9> kSections{{
    {"intro", 0.0, 42.0, SceneKind::Town, -1, false},
    {"town captions", 42.0, 52.0, SceneKind::Town, 0, false},
    {"calm", 52.0, 76.5, SceneKind::Workshop, 1, false},
    {"intense 1", 76.5, 102.5, SceneKind::Workshop, 1, true},
    {"bridge", 102.5, 114.0, SceneKind::Workshop, 1, false},
    {"intense 2", 114.0, 128.5, SceneKind::Workshop, 1, true},
    {"bass hits", 128.5, 155.0, SceneKind::Harmonium, -1, false},
    {"finale", 155.0, 217.0, SceneKind::Chain, 1, false},
    {"tail", 217.0, 1.0e9, SceneKind::AfterEnd, -1, false},
}};

}  // namespace velm::datagen
