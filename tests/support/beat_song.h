// Songs of a known beat for the beat analysis's tests and benchmark: a kick on beats 1 and 3,
// a snare on 2 and 4, hi-hats on the eighths and a bass line, at a given tempo from a given
// first beat (silence before it).
#pragma once

#include <cstdint>
#include <vector>

struct BeatSong {
    double tempo = 120.0;    // beats a minute
    double firstBeat = 0.0;  // seconds
    double seconds = 30.0;   // the song's length
    int beatsPerBar = 4;     // the kick on 1 (and 3 in four), the snare on the others' evens
};

// Interleaved 16-bit stereo at 44.1 kHz; the same song gives the same samples.
std::vector<int16_t> makeBeatSong(const BeatSong& song);

// The song's beats in seconds, rising, from its first beat to its end.
std::vector<double> beatTimesOf(const BeatSong& song);
