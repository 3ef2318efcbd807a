// Encodes synthesised stereo sound as an MP3 file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// `samples` holds interleaved left/right 16-bit samples at `sampleRate`. Returns false (with a
// message on stderr) when encoding or writing fails.
bool writeMp3(const std::string& path, const std::vector<int16_t>& samples, int sampleRate,
              int kilobitsPerSecond = 160);

// The same, encoded a second at a time, telling `progress` the share done (0 to 1) after each.
bool writeMp3(const std::string& path, const std::vector<int16_t>& samples, int sampleRate,
              int kilobitsPerSecond, const std::function<void(double)>& progress);

// A plain test tone: a sine of `frequency` Hz at a moderate level, `seconds` long.
std::vector<int16_t> makeTone(double frequency, double seconds, int sampleRate);
