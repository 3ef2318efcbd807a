#include "beat/onset_envelope.h"

#include <algorithm>
#include <cmath>

#include "beat/fft.h"

namespace {

constexpr int bandCount = 40;
constexpr double lowestHz = 30.0, highestHz = 16000.0, lowBandsTop = 250.0;

double melOf(double hz) {
    return 2595.0 * std::log10(1.0 + hz / 700.0);
}
double hzOf(double mel) {
    return 700.0 * (std::pow(10.0, mel / 2595.0) - 1.0);
}

// The first bin of each band, bands spaced evenly in mel: the ear's spacing, so that a kick
// and a hi-hat count alike.
std::vector<size_t> bandEdges() {
    std::vector<size_t> edges(bandCount + 1);
    const double binHz = double(beatSampleRate) / double(onsetFrameSize);
    for (int b = 0; b <= bandCount; ++b) {
        const double mel = melOf(lowestHz) + (melOf(highestHz) - melOf(lowestHz)) * b / bandCount;
        edges[size_t(b)] = size_t(std::lround(hzOf(mel) / binHz));
    }
    for (int b = 1; b <= bandCount; ++b)
        edges[size_t(b)] = std::max(edges[size_t(b)], edges[size_t(b - 1)] + 1);
    return edges;
}

}  // namespace

OnsetEnvelope onsetEnvelope(const int16_t* samples, size_t frames, int channels) {
    OnsetEnvelope envelope;
    if (frames == 0 || channels < 1) return envelope;
    std::vector<float> mono(frames);
    float loudest = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        int sum = 0;
        for (int c = 0; c < channels; ++c) sum += samples[i * size_t(channels) + size_t(c)];
        mono[i] = float(sum) / (32768.0f * float(channels));
        loudest = std::max(loudest, std::fabs(mono[i]));
    }
    // Heard: above -50 dB of the loudest sample.
    const float audible = loudest * 0.00316f;
    size_t first = 0, last = frames - 1;
    while (first < frames && std::fabs(mono[first]) <= audible) ++first;
    while (last > first && std::fabs(mono[last]) <= audible) --last;
    envelope.soundStart = double(first) / beatSampleRate;
    envelope.soundEnd = double(last) / beatSampleRate;

    const RealFft fft = makeRealFft(onsetFrameSize);
    const std::vector<size_t> edges = bandEdges();
    std::vector<float> window(onsetFrameSize);
    const double pi = 3.14159265358979323846;
    for (size_t i = 0; i < onsetFrameSize; ++i)
        window[i] = float(0.5 - 0.5 * std::cos(2.0 * pi * double(i) / double(onsetFrameSize)));

    // Frame k is centred on sample k·hop, the samples before the start and past the end silent.
    const size_t count = frames / onsetHop + 1;
    envelope.strength.assign(count, 0.0f);
    envelope.low.assign(count, 0.0f);
    const double binHz = double(beatSampleRate) / double(onsetFrameSize);
    int lowBands = 1;
    while (lowBands < bandCount && double(edges[size_t(lowBands) + 1]) * binHz <= lowBandsTop)
        ++lowBands;
    envelope.firstTime = 0.0;
    std::vector<float> frame(onsetFrameSize), power(onsetFrameSize / 2 + 1);
    std::vector<float> work;
    std::vector<float> bands(bandCount), previous(bandCount, 0.0f);
    // A floor 80 dB below full scale, so that silence and dither don't count as onsets.
    const float floor = 1e-8f * float(onsetFrameSize) * float(onsetFrameSize);
    for (size_t k = 0; k < count; ++k) {
        const long long start = (long long)(k * onsetHop) - (long long)(onsetFrameSize / 2);
        for (size_t i = 0; i < onsetFrameSize; ++i) {
            const long long at = start + (long long)i;
            frame[i] = at >= 0 && at < (long long)frames ? mono[size_t(at)] * window[i] : 0.0f;
        }
        powerSpectrum(fft, frame.data(), work, power.data());
        float rise = 0.0f, lowRise = 0.0f;
        for (int b = 0; b < bandCount; ++b) {
            float sum = 0.0f;
            for (size_t bin = edges[size_t(b)]; bin < edges[size_t(b) + 1]; ++bin)
                sum += power[bin];
            bands[size_t(b)] = 10.0f * std::log10(std::max(sum, floor));
            if (k == 0) continue;
            const float up = std::max(0.0f, bands[size_t(b)] - previous[size_t(b)]);
            rise += up;
            if (b < lowBands) lowRise += up;
        }
        envelope.strength[k] = rise / float(bandCount);
        envelope.low[k] = lowRise / float(lowBands);
        std::swap(bands, previous);
    }
    return envelope;
}
