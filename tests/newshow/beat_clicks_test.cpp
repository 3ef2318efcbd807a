// The clicks kelvaro-new lays over a song: on the beats of the grid it finds, stronger on bars,
// and nothing else changed.
#include "newshow/beat_clicks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "beat_song.h"
#include "files/atomic_file.h"
#include "show_folder.h"
#include "video/song_decoder.h"

namespace {

TEST(BeatClicks, LandOnTheBeatsOfASongOfKnownTempoStrongerOnBars) {
    const struct {
        const char* name;
        BeatSong song;
    } cases[] = {
        {"120 BPM in four", {120.0, 0.5, 20.0, 4}},
        {"a waltz at 150 BPM", {150.0, 0.37, 20.0, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder work;
        const std::vector<int16_t> samples = makeBeatSong(c.song);
        std::string error, summary;
        ASSERT_TRUE(replaceFileAtomically(work.file("song.wav"), wavFile(samples, 2, 44100), error))
            << error;
        ASSERT_TRUE(writeClickTrack(work.file("song.wav"), work.file("clicks.wav"), summary, error))
            << error;
        EXPECT_NE(summary.find(c.song.beatsPerBar == 3 ? "3 a bar" : "4 a bar"), std::string::npos)
            << summary;
        Song clicked;
        ASSERT_TRUE(decodeSong(work.file("clicks.wav"), clicked, error)) << error;
        ASSERT_EQ(clicked.samples.size(), samples.size());

        // The difference's loudest moment in each 20 ms around a true beat lies within 3 ms of
        // it, and away from the beats nothing changed; bars' clicks stand out.
        const size_t frames = samples.size() / 2;
        std::vector<double> difference(frames);
        for (size_t i = 0; i < frames; ++i)
            difference[i] = std::fabs(double(clicked.samples[2 * i]) - samples[2 * i]);
        const std::vector<double> beats = beatTimesOf(c.song);
        std::vector<bool> nearBeat(frames, false);
        double quietestBar = 1e9, loudestBeat = 0.0;
        for (size_t b = 0; b < beats.size(); ++b) {
            const size_t at = size_t(beats[b] * 44100.0);
            const size_t from = at > 882 ? at - 882 : 0, to = std::min(frames, at + 1764);
            for (size_t i = from; i < to; ++i) nearBeat[i] = true;
            if (at + 441 >= frames) continue;
            const size_t peak = size_t(std::max_element(difference.begin() + long(from),
                                                        difference.begin() + long(at + 441)) -
                                       difference.begin());
            EXPECT_NEAR(double(peak) / 44100.0, beats[b], 0.003) << "beat " << b;
            if (b % size_t(c.song.beatsPerBar) == 0)
                quietestBar = std::min(quietestBar, difference[peak]);
            else
                loudestBeat = std::max(loudestBeat, difference[peak]);
        }
        EXPECT_GT(quietestBar, loudestBeat * 1.5);
        size_t changedAway = 0;
        for (size_t i = 0; i < frames; ++i) changedAway += !nearBeat[i] && difference[i] != 0.0;
        EXPECT_EQ(changedAway, 0u);
    }
}

TEST(BeatClicks, ASongWithoutBeatOrThatCantBeReadWritesNothing) {
    TempFolder work;
    std::string error, summary;
    ASSERT_TRUE(replaceFileAtomically(work.file("silence.wav"),
                                      wavFile(std::vector<int16_t>(20 * 44100 * 2, 0), 2, 44100),
                                      error))
        << error;
    const struct {
        const char* song;
        const char* error;  // a part of it
    } cases[] = {
        {"silence.wav", "no beat found in"},
        {"missing.ogg", "can't read the song"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(writeClickTrack(work.file(c.song), work.file("clicks.wav"), summary, error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(namesIn(work.path()), std::set<std::string>{"silence.wav"}) << c.song;
    }
}

}  // namespace
