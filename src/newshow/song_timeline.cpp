#include "newshow/song_timeline.h"

#include <algorithm>
#include <cmath>

namespace {

float milliseconds(double seconds) {
    return float(std::round(seconds * 1000.0) / 1000.0);
}

}  // namespace

Timeline songTimeline(double songSeconds) {
    Timeline timeline = builtInTimeline;
    const double end = songSeconds - 2.0;
    timeline.fadeStart = 0.0f;
    timeline.fadeEnd = 1.0f;
    timeline.fadeRate = 1.0f;
    timeline.end = milliseconds(end);
    const double first = 1.0 + std::min(8.0, (end - 1.0) / 5.0);
    const double share = (end - first) / 4.0;
    for (int i = 0; i < 4; ++i) timeline.sections[i] = milliseconds(first + share * i);
    timeline.hold = 2.0;
    return timeline;
}
