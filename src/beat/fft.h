// A plain radix-2 FFT of real frames, enough for the beat analysis's spectrogram: the layer
// stays free of FFmpeg, whose transforms belong to the video layer.
#pragma once

#include <cstddef>
#include <vector>

// The transform of real frames of one power-of-two length, its tables made once.
struct RealFft {
    size_t size = 0;                    // real samples a frame
    std::vector<size_t> bitReversed;    // of the half-length complex transform
    std::vector<float> cosines, sines;  // of -2πk/size, k < size/2
};

// The tables for frames of `size` samples, a power of two of at least 4.
RealFft makeRealFft(size_t size);

// The power |X_k|² of bins 0 .. size/2 of `frame` (size samples) into `power` (size/2 + 1);
// `work` is scratch space, kept by the caller between frames.
void powerSpectrum(const RealFft& fft, const float* frame, std::vector<float>& work, float* power);
