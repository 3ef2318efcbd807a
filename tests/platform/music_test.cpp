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
    MusicState music;
    ASSERT_TRUE(musicInit(music));
    ASSERT_TRUE(musicLoad(music, folder.file("tune.mp3").c_str()));
    ASSERT_TRUE(musicPlay(music, false));
    SDL_Delay(1200);
    ASSERT_TRUE(musicFree(music));
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    const std::string raw = readTextFile(output);
    ASSERT_GT(raw.size(), 44100u);  // at least a quarter second of 16-bit stereo
    const auto* samples = reinterpret_cast<const int16_t*>(raw.data());
    double energy = 0.0;
    for (size_t i = 0; i < raw.size() / 2; ++i) energy += double(samples[i]) * samples[i];
    EXPECT_GT(std::sqrt(energy / double(raw.size() / 2)), 1000.0) << "played (nearly) silent";
}

TEST(Music, AMissingFileOrAnUnusableDeviceFailsWithItsMessageAndReleasesTheAudio) {
    TempFolder folder;
    WorkingDirectory here(folder.path());
    const auto failure = [](const char* driver, bool load) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        MusicState music;
        testing::internal::CaptureStderr();
        const bool ok = musicInit(music) && (!load || musicLoad(music, "tavel.mp3"));
        const std::string err = testing::internal::GetCapturedStderr();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        EXPECT_FALSE(ok);
        EXPECT_FALSE(music.audioOpen || music.decoderReady || music.stream != nullptr);
        return err;
    };
    EXPECT_NE(failure("dummy", true).find("Error: Can't play tavel.mp3!"), std::string::npos);
    const std::string noDevice = failure("no-such-driver", false);
    EXPECT_NE(noDevice.find("Error: Can't initialize sound device!"), std::string::npos);
    // One line below the box's own tells how to go on without sound.
    EXPECT_NE(noDevice.find("Error: Can't initialize sound device!\nmusic: the sound device could "
                            "not be opened; with SDL_AUDIODRIVER=dummy the program runs without "
                            "sound\n"),
              std::string::npos)
        << noDevice;
}
