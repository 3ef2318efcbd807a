// A song with a click on every beat of the grid found in it, a stronger one on each bar, for
// the ear to judge whether the grid sits on the music's beat.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `stereo` (interleaved 16-bit at 44.1 kHz) with a click added on beat i at firstBeat + i ·
// 60 / tempo up to its end: a short high burst on the first beat of each bar, a softer, lower
// one on the others. The sum is clipped to 16 bits; elsewhere the song is as it was.
std::vector<int16_t> withClicks(const std::vector<int16_t>& stereo, double tempo, double firstBeat,
                                int beatsPerBar);

// The bytes of a 16-bit PCM WAV file of interleaved `samples`.
std::string wavFile(const std::vector<int16_t>& samples, int channels, int sampleRate);

// Decodes `song`, finds its beat and writes the song with its clicks to `wav` as 16-bit stereo,
// in one atomic replacement. False with a message when the song can't be read, tells no beat or
// the file can't be written; nothing is written then. `summary` tells the grid clicked.
bool writeClickTrack(const std::string& song, const std::string& wav, std::string& summary,
                     std::string& error);
