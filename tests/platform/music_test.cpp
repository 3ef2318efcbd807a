#include "platform/music.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>

#include "show_folder.h"

TEST(Music, AShortMp3IsAudiblyPlayed) {
    TempFolder folder;
    writeToneMp3(folder.file("tune.mp3"), 2.0);
    const std::string output = folder.file("played.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    ASSERT_TRUE(musicInit());
    ASSERT_TRUE(musicLoad(folder.file("tune.mp3").c_str()));
    ASSERT_TRUE(musicPlay(false));
    SDL_Delay(1200);
    ASSERT_TRUE(musicFree());
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    const std::string raw = readTextFile(output);
    ASSERT_GT(raw.size(), 44100u);  // at least a quarter second of 16-bit stereo
    const auto* samples = reinterpret_cast<const int16_t*>(raw.data());
    double energy = 0.0;
    for (size_t i = 0; i < raw.size() / 2; ++i) energy += double(samples[i]) * samples[i];
    EXPECT_GT(std::sqrt(energy / double(raw.size() / 2)), 1000.0) << "played (nearly) silent";
}

TEST(Music, AMissingFileOrAnUnusableDeviceEndsTheProgramWithItsMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder folder;
    WorkingDirectory here(folder.path());
    EXPECT_EXIT(
        {
            musicInit();
            musicLoad("tavel.mp3");
        },
        testing::ExitedWithCode(1), "Can't play tavel.mp3!");
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
            musicInit();
        },
        testing::ExitedWithCode(1), "Can't initialize sound device!");
}
