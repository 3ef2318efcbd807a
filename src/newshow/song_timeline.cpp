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

Timeline songTimeline(double songSeconds, const BeatGrid& grid, int (&bars)[4]) {
    Timeline timeline = songTimeline(songSeconds);
    const Timeline even = timeline;
    for (int& bar : bars) bar = 0;
    timeline.hasTempo = true;
    timeline.tempo = std::round(grid.tempo * 1000.0) / 1000.0;
    timeline.firstBeat = std::round(grid.firstBeat * 1000.0) / 1000.0;
    timeline.beatsPerBar = grid.beatsPerBar;
    // The bars of the grid as the tempo line gives it, which is the one the studio draws.
    const double bar = 60.0 / timeline.tempo * double(timeline.beatsPerBar);
    const double share = double(even.sections[1]) - double(even.sections[0]);
    if (!(bar <= share / 2.0)) return timeline;
    for (int i = 0; i < 4; ++i) {
        const float after = i == 0 ? timeline.fadeEnd : timeline.sections[i - 1];
        const float before = i == 3 ? timeline.end : even.sections[i + 1];
        const double nearest =
            std::max(0.0, std::round((double(even.sections[i]) - timeline.firstBeat) / bar));
        const double start = timeline.firstBeat + nearest * bar;
        const float rounded = milliseconds(start);
        if (std::fabs(start - double(even.sections[i])) <= bar / 2.0 + 0.001 && rounded > after &&
            rounded < before) {
            timeline.sections[i] = rounded;
            bars[i] = int(nearest) + 1;
        }
    }
    return timeline;
}

SongFit fitSongTimeline(const int16_t* samples, size_t frames, double songSeconds) {
    SongFit fit;
    fit.timeline = songTimeline(songSeconds);
    BeatGrid grid;
    std::string error;
    if (!analyseBeat(samples, frames, 2, grid, error)) {
        fit.noBeat = error;
    } else if (!(grid.tempo >= slowestTimelineTempo && grid.tempo <= fastestTimelineTempo)) {
        fit.noBeat = "the beat found lies outside the tempos a timeline takes";
    } else if (!(grid.firstBeat < double(fit.timeline.end))) {
        fit.noBeat = "the first beat comes after the closing card";
    } else {
        fit.timeline = songTimeline(songSeconds, grid, fit.bars);
        fit.onBeat = true;
    }
    return fit;
}
