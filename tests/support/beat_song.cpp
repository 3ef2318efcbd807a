#include "beat_song.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int rate = 44100;
constexpr double pi = 3.14159265358979323846;

struct Noise {
    uint32_t state = 12345;
    float next() {
        state = state * 1664525u + 1013904223u;
        return float(state >> 8) / float(1 << 23) - 1.0f;
    }
};

void kick(std::vector<float>& out, double at, float gain) {
    const size_t start = size_t(at * rate);
    double phase = 0.0;
    for (size_t i = 0; i < size_t(0.35 * rate) && start + i < out.size(); ++i) {
        const double t = double(i) / rate;
        phase += 2.0 * pi * (45.0 + 110.0 * std::exp(-t * 30.0)) / rate;
        out[start + i] += gain * float(std::sin(phase) * std::exp(-t * 9.0));
    }
}

void snare(std::vector<float>& out, double at, float gain, Noise& noise) {
    const size_t start = size_t(at * rate);
    for (size_t i = 0; i < size_t(0.2 * rate) && start + i < out.size(); ++i) {
        const double t = double(i) / rate;
        const double body = 0.5 * std::sin(2.0 * pi * 190.0 * t) * std::exp(-t * 25.0);
        out[start + i] += gain * float(body + noise.next() * std::exp(-t * 18.0));
    }
}

void hat(std::vector<float>& out, double at, float gain, Noise& noise) {
    const size_t start = size_t(at * rate);
    float last = 0.0f;
    for (size_t i = 0; i < size_t(0.05 * rate) && start + i < out.size(); ++i) {
        const float n = noise.next();
        out[start + i] += gain * (n - last) * float(std::exp(-double(i) / rate * 80.0));
        last = n;
    }
}

void bass(std::vector<float>& out, double at, double length, double hz, float gain) {
    const size_t start = size_t(at * rate);
    for (size_t i = 0; i < size_t(length * rate) && start + i < out.size(); ++i) {
        const double t = double(i) / rate;
        const double envelope = std::min(1.0, t * 200.0) * std::exp(-t * 3.0);
        const double tone = std::sin(2.0 * pi * hz * t) + 0.3 * std::sin(4.0 * pi * hz * t);
        out[start + i] += gain * float(tone * envelope);
    }
}

}  // namespace

std::vector<double> beatTimesOf(const BeatSong& song) {
    std::vector<double> beats;
    const double step = 60.0 / song.tempo;
    for (int i = 0; song.firstBeat + i * step < song.seconds; ++i)
        beats.push_back(song.firstBeat + i * step);
    return beats;
}

std::vector<int16_t> makeBeatSong(const BeatSong& song) {
    std::vector<float> mix(size_t(song.seconds * rate), 0.0f);
    Noise noise;
    const double step = 60.0 / song.tempo;
    const double roots[4] = {55.0, 43.65, 49.0, 41.2};  // A, F, G, E
    const std::vector<double> beats = beatTimesOf(song);
    for (size_t i = 0; i < beats.size(); ++i) {
        const int inBar = int(i % size_t(song.beatsPerBar));
        const bool strong = inBar == 0 || (song.beatsPerBar == 4 && inBar == 2);
        if (strong)
            kick(mix, beats[i], inBar == 0 ? 0.9f : 0.8f);
        else
            snare(mix, beats[i], 0.35f, noise);
        hat(mix, beats[i], 0.25f, noise);
        hat(mix, beats[i] + 0.5 * step, 0.18f, noise);
        const double root = roots[(i / size_t(2 * song.beatsPerBar)) % 4];
        bass(mix, beats[i], 0.9 * step, inBar == 3 ? root * 1.5 : root, 0.3f);
    }
    float peak = 0.0f;
    for (float v : mix) peak = std::max(peak, std::fabs(v));
    const float scale = peak > 0.0f ? 0.89f / peak : 1.0f;
    std::vector<int16_t> samples(mix.size() * 2);
    for (size_t i = 0; i < mix.size(); ++i)
        samples[2 * i] = samples[2 * i + 1] = int16_t(std::lround(mix[i] * scale * 32767.0f));
    return samples;
}
