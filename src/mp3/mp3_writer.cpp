#include "mp3/mp3_writer.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// Encodes `chunk` frames a call (all of them in one call for a chunk of 0).
bool encodeMp3(const std::string& path, const std::vector<int16_t>& samples, int sampleRate,
               int kilobitsPerSecond, int chunk, const std::function<void(double)>& progress) {
    lame_global_flags* lame = lame_init();
    if (lame == nullptr) {
        std::fprintf(stderr, "mp3: can't start the encoder\n");
        return false;
    }
    lame_set_in_samplerate(lame, sampleRate);
    lame_set_out_samplerate(lame, sampleRate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, kilobitsPerSecond);
    lame_set_quality(lame, 5);
    // Without these the output carries an encoder tag and differs from build to build.
    lame_set_bWriteVbrTag(lame, 0);
    id3tag_init(lame);
    if (lame_init_params(lame) < 0) {
        std::fprintf(stderr, "mp3: bad encoder parameters\n");
        lame_close(lame);
        return false;
    }
    const int frames = int(samples.size() / 2);
    std::vector<unsigned char> out(size_t(1.25 * frames + 7200) + 16384);
    std::vector<short> pcm(samples.begin(), samples.end());
    if (chunk <= 0) chunk = std::max(frames, 1);
    int written = 0;
    for (int at = 0; at < frames || (at == 0 && frames == 0); at += chunk) {
        const int count = std::min(chunk, frames - at);
        const int wrote =
            lame_encode_buffer_interleaved(lame, pcm.data() + size_t(at) * 2, count,
                                           out.data() + written, int(out.size()) - written);
        if (wrote < 0) {
            std::fprintf(stderr, "mp3: encoding failed (%d)\n", wrote);
            lame_close(lame);
            return false;
        }
        written += wrote;
        if (progress) progress(frames == 0 ? 1.0 : double(at + count) / frames);
        if (frames == 0) break;
    }
    int flushed = lame_encode_flush(lame, out.data() + written, int(out.size()) - written);
    lame_close(lame);
    if (flushed < 0) {
        std::fprintf(stderr, "mp3: flushing failed (%d)\n", flushed);
        return false;
    }
    const size_t total = size_t(written) + size_t(flushed);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file || std::fwrite(out.data(), 1, total, file.get()) != total) {
        std::fprintf(stderr, "mp3: can't write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool writeMp3(const std::string& path, const std::vector<int16_t>& samples, int sampleRate,
              int kilobitsPerSecond) {
    return encodeMp3(path, samples, sampleRate, kilobitsPerSecond, 0, nullptr);
}

bool writeMp3(const std::string& path, const std::vector<int16_t>& samples, int sampleRate,
              int kilobitsPerSecond, const std::function<void(double)>& progress) {
    return encodeMp3(path, samples, sampleRate, kilobitsPerSecond, sampleRate, progress);
}

std::vector<int16_t> makeTone(double frequency, double seconds, int sampleRate) {
    const size_t frames = size_t(seconds * sampleRate);
    std::vector<int16_t> samples(frames * 2);
    const double pi = 3.14159265358979323846;
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
        const auto value = int16_t(std::lround(8000.0 * std::sin(2.0 * pi * frequency * t)));
        samples[2 * i] = value;
        samples[2 * i + 1] = value;
    }
    return samples;
}
