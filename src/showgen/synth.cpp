#include "showgen/synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double pi = 3.14159265358979323846;

void place(StereoBuffer& out, size_t i, float value, float pan) {
    if (i >= out.frames()) return;
    // Equal-power panning.
    const float angle = float((pan + 1.0f) * 0.25f * pi);
    out.left[i] += value * std::cos(angle);
    out.right[i] += value * std::sin(angle);
}

// Attack-decay-sustain-release envelope at time t of a note held for `length` seconds.
float adsr(double t, double length, double attack, double decay, double sustain, double release) {
    if (t < 0.0) return 0.0f;
    double level;
    if (t < attack) {
        level = t / attack;
    } else if (t < attack + decay) {
        level = 1.0 - (1.0 - sustain) * (t - attack) / decay;
    } else {
        level = sustain;
    }
    if (t > length) {
        const double r = (t - length) / release;
        if (r >= 1.0) return 0.0f;
        level *= 1.0 - r;
    }
    return float(level);
}

double saw(double phase) {
    return 2.0 * (phase - std::floor(phase)) - 1.0;
}

size_t frameOf(double seconds) {
    return size_t(std::max(0.0, seconds) * sampleRate);
}

}  // namespace

double noteFrequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

void padVoice(StereoBuffer& out, const Voice& v) {
    const double release = 1.2;
    const size_t n = frameOf(v.length + release);
    const size_t s = frameOf(v.start);
    const double f = noteFrequency(v.note);
    const double detune[3] = {-0.006, 0.0, 0.007};
    double phase[3] = {0.0, 0.31, 0.67};
    float lowL = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        double x = 0.0;
        for (int k = 0; k < 3; ++k) {
            phase[k] += f * (1.0 + detune[k]) / sampleRate;
            x += saw(phase[k]);
        }
        // A gentle low-pass keeps the saws soft.
        lowL += 0.06f * (float(x / 3.0) - lowL);
        const float e = adsr(t, v.length, 0.6, 0.4, 0.8, release);
        const float value = lowL * e * v.gain;
        place(out, s + i, value, v.pan + 0.3f * float(std::sin(t * 0.9)));
    }
}

void bassVoice(StereoBuffer& out, const Voice& v) {
    const double release = 0.08;
    const size_t n = frameOf(v.length + release);
    const size_t s = frameOf(v.start);
    const double f = noteFrequency(v.note);
    double phase = 0.0;
    float low = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        phase += f / sampleRate;
        const double body = std::sin(2.0 * pi * phase);
        const double edge = saw(phase);
        const float cutoff = 0.05f + 0.25f * float(std::exp(-t * 18.0));
        low += cutoff * (float(0.7 * body + 0.5 * edge) - low);
        const float e = adsr(t, v.length, 0.005, 0.15, 0.7, release);
        place(out, s + i, low * e * v.gain, v.pan);
    }
}

// A struck bar or bell: three decaying partials over a short attack, ringing for at least
// `ring` seconds whatever the note's length.
struct Partial {
    double amplitude;
    double ratio;
    double decay;
};

void struckVoice(StereoBuffer& out, const Voice& v, double ring, double attackTime,
                 const Partial (&partials)[3]) {
    const size_t n = frameOf(std::max(v.length, ring));
    const size_t s = frameOf(v.start);
    const double f = noteFrequency(v.note);
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        double x = 0.0;
        for (const Partial& p : partials) {
            x += p.amplitude * std::sin(2.0 * pi * f * p.ratio * t) * std::exp(-t * p.decay);
        }
        const double attack = std::min(1.0, t / attackTime);
        place(out, s + i, float(x * attack) * v.gain, v.pan);
    }
}

void marimbaVoice(StereoBuffer& out, const Voice& v) {
    struckVoice(out, v, 0.6, 0.002, {{1.0, 1.0, 7.0}, {0.35, 4.0, 30.0}, {0.15, 10.0, 60.0}});
}

void bellVoice(StereoBuffer& out, const Voice& v) {
    struckVoice(out, v, 1.6, 0.003, {{1.0, 1.0, 2.5}, {0.5, 2.76, 5.0}, {0.25, 5.4, 9.0}});
}

void leadVoice(StereoBuffer& out, const Voice& v) {
    const double release = 0.15;
    const size_t n = frameOf(v.length + release);
    const size_t s = frameOf(v.start);
    const double f = noteFrequency(v.note);
    double p1 = 0.0, p2 = 0.5;
    float low = 0.0f, low2 = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        const double vibrato = 1.0 + 0.004 * std::sin(2.0 * pi * 5.5 * t) * std::min(1.0, t / 0.3);
        p1 += f * vibrato / sampleRate;
        p2 += f * vibrato * 1.004 / sampleRate;
        const float x = float(0.5 * (saw(p1) + saw(p2)));
        const float cutoff = 0.08f + 0.22f * float(std::exp(-t * 6.0));
        low += cutoff * (x - low);
        low2 += cutoff * (low - low2);
        const float e = adsr(t, v.length, 0.01, 0.2, 0.75, release);
        place(out, s + i, low2 * e * v.gain, v.pan);
    }
}

void pluckVoice(StereoBuffer& out, const Voice& v) {
    const double ring = std::max(v.length, 0.4);
    const size_t n = frameOf(ring);
    const size_t s = frameOf(v.start);
    const double f = noteFrequency(v.note);
    double phase = 0.0;
    float low = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        phase += f / sampleRate;
        const float square = (phase - std::floor(phase)) < 0.5 ? 1.0f : -1.0f;
        const float cutoff = 0.03f + 0.4f * float(std::exp(-t * 25.0));
        low += cutoff * (square - low);
        const float e = float(std::exp(-t * 6.0) * std::min(1.0, t / 0.002));
        place(out, s + i, low * e * v.gain, v.pan);
    }
}

void kick(StereoBuffer& out, double start, float gain) {
    const size_t n = frameOf(0.45);
    const size_t s = frameOf(start);
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        const double f = 48.0 + 110.0 * std::exp(-t * 30.0);
        phase += f / sampleRate;
        const double x = std::sin(2.0 * pi * phase) * std::exp(-t * 7.0) +
                         0.3 * std::exp(-t * 300.0) * std::sin(2.0 * pi * 1800.0 * t);
        place(out, s + i, float(x) * gain, 0.0f);
    }
}

void snare(StereoBuffer& out, double start, float gain, Random& noise) {
    const size_t n = frameOf(0.3);
    const size_t s = frameOf(start);
    float previous = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        const float white = float(noise.range(-1.0, 1.0));
        const float bright = white - previous * 0.6f;  // tilt towards the highs
        previous = white;
        const double x = 0.7 * bright * std::exp(-t * 16.0) +
                         0.5 * std::sin(2.0 * pi * 185.0 * t) * std::exp(-t * 25.0);
        place(out, s + i, float(x) * gain, 0.05f);
    }
}

void hat(StereoBuffer& out, double start, float gain, bool open, Random& noise) {
    const size_t n = frameOf(open ? 0.3 : 0.06);
    const size_t s = frameOf(start);
    float previous = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        const float white = float(noise.range(-1.0, 1.0));
        const float high = white - previous;  // first difference: only the top end is left
        previous = white;
        const double decay = std::exp(-t * (open ? 12.0 : 70.0));
        place(out, s + i, float(high * decay) * gain * 0.5f, 0.35f);
    }
}

void clap(StereoBuffer& out, double start, float gain, Random& noise) {
    const size_t n = frameOf(0.25);
    const size_t s = frameOf(start);
    float previous = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const double t = double(i) / sampleRate;
        const float white = float(noise.range(-1.0, 1.0));
        const float band = white - previous * 0.3f;
        previous = white;
        // Three quick slaps, then a short tail.
        const double slap = std::fmod(t, 0.011) < 0.004 && t < 0.033 ? 1.0 : 0.0;
        const double x = band * (slap * 0.8 + std::exp(-t * 20.0) * (t > 0.03 ? 0.7 : 0.0));
        place(out, s + i, float(x) * gain, -0.1f);
    }
}

void pingPongDelay(StereoBuffer& buffer, double delaySeconds, float feedback, float wet) {
    const size_t d = frameOf(delaySeconds);
    std::vector<float> lineL(d, 0.0f), lineR(d, 0.0f);
    size_t k = 0;
    for (size_t i = 0; i < buffer.frames(); ++i) {
        const float inL = buffer.left[i], inR = buffer.right[i];
        const float outL = lineL[k], outR = lineR[k];
        // Each echo crosses to the other side.
        lineL[k] = inR * 0.5f + inL * 0.5f + outR * feedback;
        lineR[k] = outL * feedback;
        buffer.left[i] += outL * wet;
        buffer.right[i] += outR * wet;
        k = (k + 1) % d;
    }
}

namespace {

struct Comb {
    std::vector<float> line;
    size_t index = 0;
    float store = 0.0f;
    float process(float in, float feedback, float damping) {
        const float out = line[index];
        store = out * (1.0f - damping) + store * damping;
        line[index] = in + store * feedback;
        index = (index + 1) % line.size();
        return out;
    }
};

struct AllPass {
    std::vector<float> line;
    size_t index = 0;
    float process(float in) {
        const float buffered = line[index];
        line[index] = in + buffered * 0.5f;
        index = (index + 1) % line.size();
        return buffered - in;
    }
};

}  // namespace

void reverb(StereoBuffer& buffer, float roomSize, float damping, float wet) {
    const size_t combLengths[4] = {1116, 1277, 1422, 1557};
    const size_t allPassLengths[2] = {556, 441};
    const size_t spread = 23;
    Comb combs[2][4];
    AllPass passes[2][2];
    for (int ch = 0; ch < 2; ++ch) {
        for (int k = 0; k < 4; ++k) combs[ch][k].line.assign(combLengths[k] + ch * spread, 0.0f);
        for (int k = 0; k < 2; ++k)
            passes[ch][k].line.assign(allPassLengths[k] + ch * spread, 0.0f);
    }
    const float feedback = 0.7f + 0.28f * roomSize;
    for (size_t i = 0; i < buffer.frames(); ++i) {
        const float in = (buffer.left[i] + buffer.right[i]) * 0.15f;
        float out[2];
        for (int ch = 0; ch < 2; ++ch) {
            float sum = 0.0f;
            for (auto& c : combs[ch]) sum += c.process(in, feedback, damping);
            for (auto& a : passes[ch]) sum = a.process(sum);
            out[ch] = sum;
        }
        buffer.left[i] += out[0] * wet;
        buffer.right[i] += out[1] * wet;
    }
}

void mixInto(StereoBuffer& target, const StereoBuffer& source, float gain) {
    const size_t n = std::min(target.frames(), source.frames());
    for (size_t i = 0; i < n; ++i) {
        target.left[i] += source.left[i] * gain;
        target.right[i] += source.right[i] * gain;
    }
}
