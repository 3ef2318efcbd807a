// How strongly new sound starts, moment by moment: the rise of a log-band spectrogram summed
// over its bands, the raw material of the tempo and the beats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int beatSampleRate = 44100;

// The spectrogram's frames: 1024 samples (23 ms) every 256 (5.8 ms, 172 frames a second).
constexpr size_t onsetFrameSize = 1024;
constexpr size_t onsetHop = 256;
constexpr double onsetFrameRate = double(beatSampleRate) / double(onsetHop);

struct OnsetEnvelope {
    std::vector<float> strength;  // one value a hop, never below 0
    std::vector<float> low;       // the same below 250 Hz alone: kicks and bass, the bar's accents
    double firstTime = 0.0;       // the show time of strength[0]
    double soundStart = 0.0;      // the first moment anything is heard
    double soundEnd = 0.0;        // and the last
};

// The envelope of `frames` frames of interleaved 16-bit samples in `channels` channels at
// 44.1 kHz. strength[k] belongs to the moment firstTime + k / onsetFrameRate.
OnsetEnvelope onsetEnvelope(const int16_t* samples, size_t frames, int channels);
