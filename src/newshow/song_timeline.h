// The timeline that fits a show to its song.
#pragma once

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
