// Songs decoded for kelvaro-new: every format a user may bring gives its sound at the show's rate
// and its length, an MP3 is told by its content, and a file that holds no sound is refused.
#include "video/song_decoder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "show_folder.h"
#include "song_files.h"

namespace {

TEST(SongDecoder, EachFormatGivesItsLengthAndItsSoundAtTheShowsRate) {
    const struct {
        SongFormat format;
        const char* name;
        int sampleRate;
    } cases[] = {
        {SongFormat::Wav, "a.wav", 44100},       {SongFormat::Flac, "a.flac", 48000},
        {SongFormat::OggVorbis, "a.ogg", 22050}, {SongFormat::M4aAac, "a.m4a", 44100},
        {SongFormat::Mp3, "a.sound", 44100},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        std::string error;
        ASSERT_TRUE(writeSong(folder.file(c.name), c.format, 3.0, error, c.sampleRate)) << error;
        Song song;
        ASSERT_TRUE(decodeSong(folder.file(c.name), song, error)) << c.name << ": " << error;
        EXPECT_NEAR(song.seconds, 3.0, 0.06) << c.name;
        EXPECT_EQ(song.samples.size(), size_t(std::lround(song.seconds * songSampleRate)) * 2);
        EXPECT_EQ(song.mp3, c.format == SongFormat::Mp3) << c.name;
        // The sound is there: the tones' level, not silence, in both channels.
        double left = 0.0, right = 0.0;
        for (size_t i = 0; i + 1 < song.samples.size(); i += 2) {
            left += double(song.samples[i]) * song.samples[i];
            right += double(song.samples[i + 1]) * song.samples[i + 1];
        }
        const double frames = double(song.samples.size() / 2);
        EXPECT_GT(std::sqrt(left / frames), 3000.0) << c.name;
        EXPECT_GT(std::sqrt(right / frames), 3000.0) << c.name;
    }
}

TEST(SongDecoder, AFileWithoutSoundIsRefusedWithItsName) {
    TempFolder folder;
    writeTextFile(folder.file("words.mp3"), "no sound here\n");
    writePng(folder.file("picture.png"), 2, 2, 3, std::vector<unsigned char>(12, 200));
    for (const char* name : {"words.mp3", "picture.png", "missing.ogg"}) {
        Song song;
        std::string error;
        EXPECT_FALSE(decodeSong(folder.file(name), song, error)) << name;
        EXPECT_NE(error.find("can't read the song " + folder.file(name)), std::string::npos)
            << error;
        EXPECT_TRUE(song.samples.empty());
    }
}

}  // namespace
