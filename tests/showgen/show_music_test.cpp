// The generated music as a player decodes it: long enough for the show, never silent, never
// clipped, and louder once the beat is in than in the title's first seconds.
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "generated_show.h"

TEST(GeneratedMusic, DecodesToAtLeastNinetySecondsOfUnclippedSoundWithItsSections) {
    const std::string& root = generatedShow();
    ASSERT_FALSE(root.empty()) << "the generator failed";
    // Decoded through SDL_mixer into 16-bit stereo.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 2048), 0) << Mix_GetError();
    int rate = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &channels);
    Mix_Chunk* chunk = Mix_LoadWAV((root + "/tavel.mp3").c_str());
    ASSERT_NE(chunk, nullptr) << Mix_GetError();
    ASSERT_TRUE(format == AUDIO_S16SYS && channels == 2 && rate > 0);
    const auto* begin = reinterpret_cast<const int16_t*>(chunk->abuf);
    const std::vector<int16_t> samples(begin, begin + chunk->alen / 2);
    Mix_FreeChunk(chunk);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);

    EXPECT_GE(double(samples.size() / 2) / rate, 90.0);
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(int(s)));
    EXPECT_LT(peak, 0.99 * 32768) << "the music reaches full scale";
    EXPECT_GT(peak, 0.5 * 32768);

    // The level of both channels from one time to another, 1 for full scale.
    const auto rms = [&](double from, double to) {
        const size_t a = size_t(from * rate) * 2,
                     b = std::min(samples.size(), size_t(to * rate) * 2);
        double sum = 0.0;
        for (size_t i = a; i < b; ++i) sum += double(samples[i]) * samples[i];
        return b > a ? std::sqrt(sum / double(b - a)) / 32768.0 : 0.0;
    };
    // Every section plays; the title starts softly and the end fades away.
    const double starts[6] = {0.0, 20.0, 40.0, 59.0, 78.5, 87.0};
    for (int s = 0; s < 5; ++s)
        EXPECT_GT(rms(starts[s] + 1.0, starts[s + 1] - 1.0), 0.1) << "section " << s;
    EXPECT_LT(rms(0.0, 4.0), rms(22.0, 38.0) * 0.5);
    EXPECT_LT(rms(91.0, 92.0), 0.01);
    // Left and right differ: the mix is stereo, not one tone in both ears.
    double difference = 0.0;
    for (size_t i = size_t(20 * rate) * 2; i < size_t(40 * rate) * 2; i += 2)
        difference += std::abs(samples[i] - samples[i + 1]) / 32768.0;
    EXPECT_GT(difference / (20.0 * rate), 0.01);
}
