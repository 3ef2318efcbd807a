#include "newshow/beat_clicks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "beat/beat_analysis.h"
#include "files/atomic_file.h"
#include "video/song_decoder.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// A burst of a sine that dies away within a few milliseconds, so that it marks a moment and
// masks little of the music around it.
struct Click {
    double frequency;
    double amplitude;
};
constexpr Click barClick = {2000.0, 16000.0}, beatClick = {1200.0, 8000.0};
constexpr double clickDecay = 0.004;   // seconds to fall by e
constexpr double clickLength = 0.025;  // and it is cut off here

void addClick(std::vector<double>& mix, size_t frames, double at, const Click& click) {
    const size_t from = size_t(std::ceil(at * songSampleRate));
    const size_t to = std::min(frames, size_t((at + clickLength) * songSampleRate));
    for (size_t i = from; i < to; ++i) {
        const double t = double(i) / songSampleRate - at;
        const double value =
            click.amplitude * std::exp(-t / clickDecay) * std::sin(2.0 * pi * click.frequency * t);
        mix[2 * i] += value;
        mix[2 * i + 1] += value;
    }
}

void putLittleEndian(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += char((value >> (8 * i)) & 0xff);
}

}  // namespace

std::vector<int16_t> withClicks(const std::vector<int16_t>& stereo, double tempo, double firstBeat,
                                int beatsPerBar) {
    const size_t frames = stereo.size() / 2;
    std::vector<double> mix(stereo.begin(), stereo.end());
    const double step = 60.0 / tempo;
    const double seconds = double(frames) / songSampleRate;
    for (long long i = 0; firstBeat + double(i) * step < seconds; ++i)
        addClick(mix, frames, firstBeat + double(i) * step,
                 i % beatsPerBar == 0 ? barClick : beatClick);
    std::vector<int16_t> out(stereo.size());
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = int16_t(std::lround(std::min(32767.0, std::max(-32768.0, mix[i]))));
    return out;
}

std::string wavFile(const std::vector<int16_t>& samples, int channels, int sampleRate) {
    const uint32_t data = uint32_t(samples.size() * 2);
    std::string bytes = "RIFF";
    putLittleEndian(bytes, 36 + data, 4);
    bytes += "WAVEfmt ";
    putLittleEndian(bytes, 16, 4);
    putLittleEndian(bytes, 1, 2);  // PCM
    putLittleEndian(bytes, uint32_t(channels), 2);
    putLittleEndian(bytes, uint32_t(sampleRate), 4);
    putLittleEndian(bytes, uint32_t(sampleRate * channels * 2), 4);
    putLittleEndian(bytes, uint32_t(channels * 2), 2);
    putLittleEndian(bytes, 16, 2);
    bytes += "data";
    putLittleEndian(bytes, data, 4);
    for (int16_t sample : samples) putLittleEndian(bytes, uint16_t(sample), 2);
    return bytes;
}

bool writeClickTrack(const std::string& song, const std::string& wav, std::string& summary,
                     std::string& error) {
    Song decoded;
    if (!decodeSong(song, decoded, error)) return false;
    // A WAV file's sizes are 32-bit.
    if (decoded.samples.size() * 2 > 0xffffffffu - 36u) {
        error = "the song " + song + " is too long for a WAV file";
        return false;
    }
    BeatGrid grid;
    if (!analyseBeat(decoded.samples.data(), decoded.samples.size() / 2, 2, grid, error)) {
        error = "no beat found in " + song + ": " + error;
        return false;
    }
    // The grid as a timeline's tempo line gives it, which is what a show would be put on.
    const double tempo = std::round(grid.tempo * 1000.0) / 1000.0;
    const double firstBeat = std::round(grid.firstBeat * 1000.0) / 1000.0;
    const std::vector<int16_t> clicked =
        withClicks(decoded.samples, tempo, firstBeat, grid.beatsPerBar);
    if (!replaceFileAtomically(wav, wavFile(clicked, 2, songSampleRate), error)) return false;
    char text[200];
    std::snprintf(text, sizeof text,
                  "beat: %.2f beats a minute from %.3f s, %d a bar: a click on every beat, a "
                  "stronger one on each bar",
                  tempo, firstBeat, grid.beatsPerBar);
    summary = text;
    return true;
}
