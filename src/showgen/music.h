// The show's music: about 92 seconds at 120 beats a minute, in sections that change with the
// slots (title, kiv, vastel, doranek, pilou) and a gentle ending after 87 seconds.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/show_facts.h"

constexpr double musicTempo = 120.0;  // beats per minute
constexpr double beatSeconds = 60.0 / musicTempo;

// Seconds at which the sections start: the title, the four figures, and the ending.
constexpr double sectionStarts[6] = {0.0,
                                     double(builtInTimeline.sections[0]),
                                     double(builtInTimeline.sections[1]),
                                     double(builtInTimeline.sections[2]),
                                     double(builtInTimeline.sections[3]),
                                     double(builtInTimeline.end)};
constexpr double musicSeconds = 92.0;

// Interleaved 16-bit stereo at 44.1 kHz, peaking about 1 dB below full scale.
std::vector<int16_t> composeMusic();
