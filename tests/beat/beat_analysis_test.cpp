#include "beat/beat_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "beat_song.h"
#include "showgen/music.h"

namespace {

struct Accuracy {
    double tempoError = 0.0;  // relative, against the true tempo times `octave`
    double octave = 1.0;      // 1, or 0.5 / 2 when the half or double tempo was found
    double within = 0.0;      // share of the found beats within the tolerance of a true beat
    double worst = 0.0;       // seconds: the farthest found beat from its true one
};

// The found grid against the true beats; at half (or double) the tempo, each found beat is
// matched with the true beat (or the true beats' midpoints) nearest it.
Accuracy accuracyOf(const BeatGrid& grid, double tempo, std::vector<double> truth,
                    double tolerance) {
    Accuracy a;
    const double ratio = grid.tempo / tempo;
    a.octave = std::fabs(ratio - 0.5) < 0.01 ? 0.5 : std::fabs(ratio - 2.0) < 0.02 ? 2.0 : 1.0;
    a.tempoError = std::fabs(grid.tempo - a.octave * tempo) / (a.octave * tempo);
    if (a.octave == 2.0) {
        const size_t n = truth.size();
        for (size_t i = 0; i + 1 < n; ++i) truth.push_back(0.5 * (truth[i] + truth[i + 1]));
        std::sort(truth.begin(), truth.end());
    }
    size_t close = 0;
    for (double beat : grid.beats) {
        const auto next = std::lower_bound(truth.begin(), truth.end(), beat);
        double off = 1e9;
        if (next != truth.end()) off = *next - beat;
        if (next != truth.begin()) off = std::min(off, beat - *(next - 1));
        a.worst = std::max(a.worst, off);
        if (off <= tolerance) ++close;
    }
    a.within = grid.beats.empty() ? 0.0 : double(close) / double(grid.beats.size());
    return a;
}

void report(const char* name, const BeatGrid& grid, const Accuracy& a) {
    std::fprintf(stderr,
                 "%s: %.4f BPM (x%.1f, off by %.4f %%), first beat %.4f s, %d a bar, %zu beats, "
                 "%.1f %% within tolerance, worst %.1f ms\n",
                 name, grid.tempo, a.octave, 100.0 * a.tempoError, grid.firstBeat, grid.beatsPerBar,
                 grid.beats.size(), 100.0 * a.within, 1000.0 * a.worst);
}

}  // namespace

TEST(BeatAnalysis, TheDemoShowsMusicIsAt120BeatsAMinuteOnEveryHalfSecond) {
    const std::vector<int16_t> music = composeMusic();
    BeatGrid grid;
    std::string error;
    ASSERT_TRUE(analyseBeat(music.data(), music.size() / 2, 2, grid, error)) << error;
    std::vector<double> truth;
    for (double t = 0.0; t < musicSeconds; t += beatSeconds) truth.push_back(t);
    const Accuracy a = accuracyOf(grid, musicTempo, truth, 0.010);
    report("demo music", grid, a);
    EXPECT_EQ(a.octave, 1.0);
    EXPECT_LT(a.tempoError, 0.0005);
    EXPECT_EQ(a.within, 1.0) << "worst " << a.worst;
    EXPECT_NEAR(grid.firstBeat, 0.0, 0.010);
    EXPECT_EQ(grid.beatsPerBar, 4);
}

TEST(BeatAnalysis, SongsOfKnownTempoGiveTheirTempoAndBeats) {
    const struct {
        const char* name;
        BeatSong song;
    } cases[] = {
        {"90 BPM", {90.0, 0.37, 60.0, 4}},
        {"128 BPM", {128.0, 0.37, 60.0, 4}},
        {"140 BPM", {140.0, 0.37, 60.0, 4}},
        {"174 BPM", {174.0, 0.37, 60.0, 4}},
        {"a waltz at 150 BPM", {150.0, 0.37, 60.0, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<int16_t> samples = makeBeatSong(c.song);
        BeatGrid grid;
        std::string error;
        ASSERT_TRUE(analyseBeat(samples.data(), samples.size() / 2, 2, grid, error)) << error;
        const Accuracy a = accuracyOf(grid, c.song.tempo, beatTimesOf(c.song), 0.020);
        report(c.name, grid, a);
        EXPECT_LT(a.tempoError, 0.001);
        EXPECT_GE(a.within, 0.95);
        if (a.octave == 1.0) {
            EXPECT_NEAR(grid.firstBeat, c.song.firstBeat, 0.020);
        }
        EXPECT_EQ(grid.beatsPerBar, c.song.beatsPerBar);
    }
}

TEST(BeatAnalysis, SoundThatTellsNoBeatIsRefusedWithItsReason) {
    const std::vector<int16_t> silence(44100 * 2 * 10, 0);
    const std::vector<int16_t> shortSong = makeBeatSong({120.0, 0.0, 2.0, 4});
    const struct {
        const char* name;
        const int16_t* samples;
        size_t frames;
        int channels;
        const char* message;
    } cases[] = {
        {"no samples", nullptr, 0, 2, "no samples to find a beat in"},
        {"no channel", silence.data(), 10, 0, "no samples to find a beat in"},
        {"silence", silence.data(), silence.size() / 2, 2, "the music is silent: no beat to find"},
        {"two seconds", shortSong.data(), shortSong.size() / 2, 2,
         "the music is too short to tell a beat (less than 3 s)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BeatGrid grid;
        grid.tempo = 77.0;
        std::string error;
        EXPECT_FALSE(analyseBeat(c.samples, c.frames, c.channels, grid, error));
        EXPECT_EQ(error, c.message);
        EXPECT_EQ(grid.tempo, 77.0);
    }
}
