// The timeline that fits a show to its song.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "beat/beat_analysis.h"
#include "scene/timeline.h"

// A song shorter than this leaves the figures too little time; one longer than this ends past
// the longest show end the timeline allows.
constexpr double shortestSong = 30.0;
constexpr double longestSong = longestShowEnd + 2.0;

// The title fades in over the first second; the closing picture comes 2 s before the song ends,
// so that it is held inside the music; the first figure comes after a fifth of the time before
// the end (8 s at most), and the four figures share what is left evenly. Times are rounded to
// the millisecond. For a song of shortestSong to longestSong seconds.
Timeline songTimeline(double songSeconds);

// The same timeline on the song's beat: `grid` becomes its tempo line (the tempo to a
// thousandth, the first beat to the millisecond), and each section starts on the first beat of
// the bar nearest its even place. A section that no bar fits keeps its even place: one whose
// nearest bar lies more than half a bar away (before the music starts), not after the section
// before (the title's fade for the first) or not before the next even place (the end for the
// last). Bars longer than half the even share keep every section at its even place: moved by
// at most a quarter of the share, each section keeps at least half of its time. `bars` gets
// the bar of each section, counted from 1, or 0 for those at their even place.
Timeline songTimeline(double songSeconds, const BeatGrid& grid, int (&bars)[4]);

// The timeline of a song from its interleaved 16-bit stereo samples at 44.1 kHz: on its beat
// when one is found, else as songTimeline(songSeconds).
struct SongFit {
    Timeline timeline{};
    bool onBeat = false;  // the beat was found: the timeline has its tempo line
    int bars[4] = {};     // as songTimeline gives them
    std::string noBeat;   // else why not
};
SongFit fitSongTimeline(const int16_t* samples, size_t frames, double songSeconds);
