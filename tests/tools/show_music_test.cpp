// The generated music as a player decodes it: long enough for the show, never silent, never
// clipped, and louder once the beat is in than in the title's first seconds.
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "generated_show.h"

namespace {

struct Decoded {
    std::vector<float> left, right;  // -1..1
    int rate = 0;
};

// Decodes through SDL_mixer into 16-bit stereo at the file's rate.
Decoded decode(const std::string& path) {
    Decoded out;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return out;
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return out;
    }
    int rate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (chunk != nullptr && format == AUDIO_S16SYS && channels == 2) {
        const auto* samples = reinterpret_cast<const int16_t*>(chunk->abuf);
        const size_t frames = chunk->alen / 4;
        out.rate = rate;
        out.left.resize(frames);
        out.right.resize(frames);
        for (size_t i = 0; i < frames; ++i) {
            out.left[i] = samples[2 * i] / 32768.0f;
            out.right[i] = samples[2 * i + 1] / 32768.0f;
        }
    }
    if (chunk != nullptr) Mix_FreeChunk(chunk);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return out;
}

double rms(const Decoded& d, double from, double to) {
    const size_t a = size_t(from * d.rate), b = std::min(d.left.size(), size_t(to * d.rate));
    double sum = 0.0;
    for (size_t i = a; i < b; ++i) sum += d.left[i] * d.left[i] + d.right[i] * d.right[i];
    return b > a ? std::sqrt(sum / double(2 * (b - a))) : 0.0;
}

}  // namespace

TEST(GeneratedMusic, DecodesToAtLeastNinetySecondsOfUnclippedSoundWithItsSections) {
    const std::string& root = generatedShow();
    ASSERT_FALSE(root.empty()) << "the generator failed";
    const Decoded music = decode(root + "/tavel.mp3");
    ASSERT_GT(music.rate, 0) << Mix_GetError();
    const double seconds = double(music.left.size()) / music.rate;
    EXPECT_GE(seconds, 90.0);

    float peak = 0.0f;
    for (size_t i = 0; i < music.left.size(); ++i)
        peak = std::max({peak, std::fabs(music.left[i]), std::fabs(music.right[i])});
    EXPECT_LT(peak, 0.99f) << "the music reaches full scale";
    EXPECT_GT(peak, 0.5f);

    // Every section plays; the title starts softly and the end fades away.
    const double starts[6] = {0.0, 20.0, 40.0, 59.0, 78.5, 87.0};
    for (int s = 0; s < 5; ++s)
        EXPECT_GT(rms(music, starts[s] + 1.0, starts[s + 1] - 1.0), 0.1) << "section " << s;
    EXPECT_LT(rms(music, 0.0, 4.0), rms(music, 22.0, 38.0) * 0.5);
    EXPECT_LT(rms(music, 91.0, 92.0), 0.01);
    // Left and right differ: the mix is stereo, not one tone in both ears.
    double difference = 0.0;
    for (size_t i = size_t(20 * music.rate); i < size_t(40 * music.rate); ++i)
        difference += std::fabs(music.left[i] - music.right[i]);
    EXPECT_GT(difference / (20.0 * music.rate), 0.01);
}
