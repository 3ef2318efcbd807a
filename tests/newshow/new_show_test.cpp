// The pieces of kelvaro-new: its command line, the timeline it fits to a song, the cards' lines,
// a picture scaled to cover the window, and the words laid over a card.
#include "newshow/new_show.h"

#include <gtest/gtest.h>

#include <cmath>

#include "beat_song.h"
#include "newshow/card_picture.h"
#include "newshow/cover_picture.h"
#include "newshow/new_show_options.h"
#include "newshow/song_timeline.h"
#include "song_files.h"

namespace {

bool parse(const std::vector<std::string>& words, NewShowOptions& options, std::string& error) {
    std::vector<const char*> argv{"kelvaro-new"};
    for (const std::string& word : words) argv.push_back(word.c_str());
    return parseNewShowOptions(int(argv.size()), argv.data(), options, error);
}

TEST(NewShowOptions, SlotsByNameOrNumberAndRepeatedLines) {
    NewShowOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--title", "One", "--title=Two", "--credits", "Me", "--figure", "kiv=a.png",
                       "--figure=3=b.png", "--background", "logo=c.png", "--background", "0=d.png",
                       "--replace", "song.ogg", "show/"},
                      options, error))
        << error;
    EXPECT_EQ(options.title, (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(options.credits, std::vector<std::string>{"Me"});
    EXPECT_EQ(options.figures[1], "a.png");
    EXPECT_EQ(options.figures[3], "b.png");
    EXPECT_EQ(options.backgrounds[5], "c.png");
    EXPECT_EQ(options.backgrounds[0], "d.png");
    EXPECT_TRUE(options.replace);
    EXPECT_EQ(options.song, "song.ogg");
    EXPECT_EQ(options.folder, "show");
    // --figure names only the figure slots.
    for (const char* slot : {"0", "5", "quimet", "logo", "Kiv"}) {
        NewShowOptions refused;
        EXPECT_FALSE(parse({"--figure", std::string(slot) + "=a.png", "s", "f"}, refused, error))
            << slot;
    }
    NewShowOptions refused;
    EXPECT_FALSE(parse({"s", "."}, refused, error));
    EXPECT_FALSE(parse({"--replace=yes", "s", "f"}, refused, error));
}

TEST(SongTimeline, FittedToTheSongsLength) {
    const struct {
        double song;
        float sections[4];
        float end;
    } cases[] = {
        {30.0, {6.4f, 11.8f, 17.2f, 22.6f}, 28.0f},  // (28 - 1) / 5 = 5.4 s before the first
        {40.0, {8.4f, 15.8f, 23.2f, 30.6f}, 38.0f},
        {180.0, {9.0f, 51.25f, 93.5f, 135.75f}, 178.0f},        // 8 s at most before the first
        {61.2341, {9.0f, 21.559f, 34.117f, 46.676f}, 59.234f},  // to the millisecond
    };
    for (const auto& c : cases) {
        const Timeline t = songTimeline(c.song);
        EXPECT_EQ(t.fadeStart, 0.0f);
        EXPECT_EQ(t.fadeEnd, 1.0f);
        EXPECT_EQ(t.fadeRate, 1.0f);
        EXPECT_EQ(t.hold, 2.0);
        EXPECT_FLOAT_EQ(t.end, c.end) << c.song;
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(t.sections[i], c.sections[i]) << c.song;
        // The file reads back as the same times.
        Timeline read = builtInTimeline;
        std::string error;
        ASSERT_TRUE(parseTimeline(formatTimeline(t, "# a song\n"), "t", read, error)) << error;
        EXPECT_EQ(read.end, t.end);
        EXPECT_EQ(read.fadeRate, t.fadeRate);
    }
}

TEST(SongTimeline, SectionsOnTheBarsOfTheSongsBeatOrAtEvenPlaces) {
    const struct {
        const char* name;
        std::vector<int16_t> samples;
        double tempo;  // 0: no beat to find
        int beatsPerBar;
        bool onBars;  // else at the even places
    } cases[] = {
        {"128 BPM in four", makeBeatSong({128.0, 0.37, 60.0, 4}), 128.0, 4, true},
        {"a waltz at 150 BPM", makeBeatSong({150.0, 1.1, 45.0, 3}), 150.0, 3, true},
        {"silence", std::vector<int16_t>(size_t(40 * 44100 * 2), 0), 0.0, 0, false},
        // Bars of 4 s against 5.6 s between the sections.
        {"a chord changing each second", songSamples(31.0, 44100), 60.0, 4, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const double seconds = double(c.samples.size() / 2) / 44100.0;
        const SongFit fit = fitSongTimeline(c.samples.data(), c.samples.size() / 2, seconds);
        const Timeline even = songTimeline(seconds);
        const Timeline& t = fit.timeline;
        EXPECT_EQ(t.fadeStart, even.fadeStart);
        EXPECT_EQ(t.fadeEnd, even.fadeEnd);
        EXPECT_EQ(t.end, even.end);
        EXPECT_EQ(t.hold, even.hold);
        EXPECT_EQ(fit.onBeat, c.tempo > 0.0) << fit.noBeat;
        EXPECT_EQ(t.hasTempo, c.tempo > 0.0);
        EXPECT_EQ(fit.noBeat.empty(), c.tempo > 0.0);
        if (t.hasTempo) {
            EXPECT_NEAR(t.tempo, c.tempo, c.tempo * 0.001);
            EXPECT_EQ(t.beatsPerBar, c.beatsPerBar);
            // The tempo line reads back as the same grid.
            Timeline read = builtInTimeline;
            std::string error;
            ASSERT_TRUE(parseTimeline(formatTimeline(t, ""), "t", read, error)) << error;
            EXPECT_EQ(read.tempo, t.tempo);
            EXPECT_EQ(read.firstBeat, t.firstBeat);
            EXPECT_EQ(read.beatsPerBar, t.beatsPerBar);
        }
        const double bar = 60.0 / t.tempo * t.beatsPerBar;
        for (int i = 0; i < 4; ++i) {
            if (!c.onBars) {
                EXPECT_EQ(t.sections[i], even.sections[i]) << i;
                EXPECT_EQ(fit.bars[i], 0) << i;
                continue;
            }
            // On the start of the bar it names, the one nearest the even place.
            ASSERT_GT(fit.bars[i], 0) << i;
            EXPECT_NEAR(t.sections[i], t.firstBeat + (fit.bars[i] - 1) * bar, 0.001) << i;
            EXPECT_LE(std::fabs(t.sections[i] - even.sections[i]), bar / 2.0 + 0.001) << i;
        }
    }
}

TEST(SongTimeline, ASectionNoBarFitsKeepsItsEvenPlace) {
    // Bars of 2 s from 15 s against even places 6.4, 11.8, 17.2 and 22.6 s: the first two come
    // before the music, the others go to the bars at 17 and 23 s.
    BeatGrid grid;
    grid.tempo = 120.0;
    grid.firstBeat = 15.0;
    grid.beatsPerBar = 4;
    int bars[4];
    const Timeline t = songTimeline(30.0, grid, bars);
    const Timeline even = songTimeline(30.0);
    const float expected[4] = {even.sections[0], even.sections[1], 17.0f, 23.0f};
    const int expectedBars[4] = {0, 0, 2, 5};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(t.sections[i], expected[i]) << i;
        EXPECT_EQ(bars[i], expectedBars[i]) << i;
    }
    EXPECT_TRUE(t.hasTempo);
    EXPECT_EQ(t.firstBeat, 15.0);
}

TEST(NewShowCards, LinesFromTheTitleAndCreditsOrTheFolder) {
    const auto texts = [](const std::vector<CardLine>& lines) {
        std::string all;
        for (const CardLine& line : lines)
            all +=
                line.text + (line.bold ? "*" : "") + "/" + std::to_string(int(line.height)) + " ";
        return all;
    };
    NewShowOptions options;
    options.folder = "shows/my-show";
    EXPECT_EQ(texts(cardLines(options, 0)), "my-show*/120 ");
    EXPECT_EQ(texts(cardLines(options, 5)), "my-show*/120 ");
    options.title = {"Dance", "by Ana"};
    EXPECT_EQ(texts(cardLines(options, 0)), "Dance*/120 by Ana/48 ");
    EXPECT_EQ(texts(cardLines(options, 5)), "Dance*/110 ");
    options.credits = {"Music: X", "Drawings: Y"};
    EXPECT_EQ(texts(cardLines(options, 5)), "Dance*/84 /20 Music: X/48 Drawings: Y/48 ");
    options.title.clear();
    EXPECT_EQ(texts(cardLines(options, 0)), "my-show*/120 ");
    EXPECT_EQ(texts(cardLines(options, 5)), "Music: X/48 Drawings: Y/48 ");
}

TEST(NewShowCards, APictureCoversTheWindowAndTheWordsShowOverIt) {
    // An 8 x 2 drawing: black, red, blue and white columns two wide each, the last pixel
    // transparent. Scaled to cover 2 x 1 it is cut to red and blue, each pixel the average of
    // four; to cover 8 x 2 it is the drawing itself.
    Drawing drawing;
    drawing.width = 8;
    drawing.height = 2;
    const uint8_t columns[4][4] = {
        {0, 0, 0, 255}, {255, 0, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            drawing.rgba.insert(drawing.rgba.end(), columns[x / 2], columns[x / 2] + 4);
    drawing.rgba.back() = 0;
    Picture cut = coverPicture(drawing, 2, 1);
    EXPECT_NEAR(at(cut, 0, 0).r, 1.0f, 1e-5f);
    EXPECT_NEAR(at(cut, 0, 0).b, 0.0f, 1e-5f);
    EXPECT_NEAR(at(cut, 1, 0).b, 1.0f, 1e-5f);
    Picture same = coverPicture(drawing, 8, 2);
    EXPECT_NEAR(at(same, 6, 1).g, 1.0f, 1e-5f);
    EXPECT_NEAR(at(same, 7, 1).g, 0.0f, 1e-5f);  // transparent lies on black

    Picture card = makePicture(64, 32, Colour{0.2f, 0.2f, 0.2f});
    TextCoverage text;
    text.width = 64;
    text.height = 32;
    text.alpha.assign(64 * 32, 0);
    for (int y = 12; y < 20; ++y)
        for (int x = 20; x < 44; ++x) text.alpha[size_t(y * 64 + x)] = 255;
    layCardText(card, text, titleCardStyle);
    EXPECT_NEAR(at(card, 30, 15).r, titleCardStyle.ink.r, 1e-5f);  // the ink itself
    EXPECT_GT(at(card, 30, 10).r, 0.2f);                           // glow just outside it
    EXPECT_NEAR(at(card, 2, 2).g, 0.2f, 0.01f);                    // far off: the card as it was
}

}  // namespace
