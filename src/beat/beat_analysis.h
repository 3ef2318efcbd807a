// The beat of a song: its tempo, where its beats fall and how many make a bar, found from its
// samples alone (an onset envelope, its periodicity, and a beat track by dynamic programming
// over it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct BeatGrid {
    double tempo = 0.0;         // beats a minute
    double firstBeat = 0.0;     // seconds: the first beat once the music is heard
    int beatsPerBar = 4;        // 3 or 4
    std::vector<double> beats;  // seconds, every beat from firstBeat on, rising
};

// The grid of `frames` frames of interleaved 16-bit samples in `channels` channels at 44.1 kHz.
// False with `error` saying why when the sound tells no beat (silent, or too short); `grid` is
// then as it was.
bool analyseBeat(const int16_t* samples, size_t frames, int channels, BeatGrid& grid,
                 std::string& error);
