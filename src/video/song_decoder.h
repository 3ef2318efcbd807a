// A song in any format the FFmpeg libraries read, decoded whole to the show's sound format, for
// show folders made from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int songSampleRate = 44100;

struct Song {
    std::vector<int16_t> samples;  // interleaved left/right at songSampleRate
    double seconds = 0.0;          // its length
    bool mp3 = false;              // the demuxer took the file for MP3, whatever its name
};

// Decodes the first sound stream of `path`, resampled to stereo 16-bit at songSampleRate; a
// damaged stretch is skipped. False with a message naming the file when it can't be opened,
// holds no sound or none can be decoded from it.
bool decodeSong(const std::string& path, Song& song, std::string& error);
