// Songs for the tests of kelvaro-new: a few seconds of tones written in each format a user may
// bring, through FFmpeg's own encoders (and the MP3 layer for MP3).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class SongFormat { Wav, Flac, OggVorbis, M4aAac, Mp3 };

// The usual name ending of the format, with its dot.
const char* songExtension(SongFormat format);

// Stereo 16-bit samples at `sampleRate`: a chord whose notes change every second, so that a
// decoding that loses or repeats a stretch shows.
std::vector<int16_t> songSamples(double seconds, int sampleRate);

// Writes `seconds` of songSamples to `path` in `format`. False with a message on failure.
bool writeSong(const std::string& path, SongFormat format, double seconds, std::string& error,
               int sampleRate = 44100);
