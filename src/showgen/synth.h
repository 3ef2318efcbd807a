// The instruments and effects of the show's music: simple synthesised voices rendered into a
// stereo float buffer, a delay and a reverb.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "showgen/random.h"

constexpr int sampleRate = 44100;

struct StereoBuffer {
    std::vector<float> left, right;
    explicit StereoBuffer(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t frames() const { return left.size(); }
};

double noteFrequency(int midiNote);

// Every voice adds into `out` from `start` seconds for `length` seconds (plus its own release),
// at `gain`, placed at `pan` (-1 left .. 1 right).
struct Voice {
    double start;
    double length;
    int note;
    float gain;
    float pan;
};

void padVoice(StereoBuffer& out, const Voice& v);
void bassVoice(StereoBuffer& out, const Voice& v);
void marimbaVoice(StereoBuffer& out, const Voice& v);
void bellVoice(StereoBuffer& out, const Voice& v);
void leadVoice(StereoBuffer& out, const Voice& v);
void pluckVoice(StereoBuffer& out, const Voice& v);

void kick(StereoBuffer& out, double start, float gain);
void snare(StereoBuffer& out, double start, float gain, Random& noise);
void hat(StereoBuffer& out, double start, float gain, bool open, Random& noise);
void clap(StereoBuffer& out, double start, float gain, Random& noise);

// A ping-pong echo of `delaySeconds`, fed back by `feedback`, mixed in at `wet`.
void pingPongDelay(StereoBuffer& buffer, double delaySeconds, float feedback, float wet);

// A small room/hall reverb (parallel combs into all-passes), mixed in at `wet`.
void reverb(StereoBuffer& buffer, float roomSize, float damping, float wet);

// Adds `source` times `gain` into `target`.
void mixInto(StereoBuffer& target, const StereoBuffer& source, float gain);
