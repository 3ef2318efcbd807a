#include "scene/timeline.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "show_folder.h"

namespace {

std::vector<float> timesOf(const Timeline& t) {
    return {t.fadeStart,   t.fadeEnd,     t.fadeRate, t.sections[0], t.sections[1],
            t.sections[2], t.sections[3], t.end,      float(t.hold)};
}

// A timeline no file gives, to see that a failed read leaves it alone.
constexpr Timeline untouched = {1.0f, 2.0f, 3.0f, {4.0f, 5.0f, 6.0f, 7.0f}, 8.0f, 9.0};

}  // namespace

TEST(Timeline, EachSettingOverridesTheBuiltInOneAndTheRestStay) {
    const Timeline b = builtInTimeline;
    const struct {
        const char* name;
        const char* text;
        Timeline expected;
    } cases[] = {
        {"no setting", "", b},
        {"comments and blank lines", "# my show\n\n   \t\n# end 30\n", b},
        {"fade alone", "fade 0.5 3\n", {0.5f, 3.0f, 0.4f, {20, 40, 59, 78.5f}, 87, 2.0}},
        {"sections alone", "sections 1 2 3 4", {11, 14, 0.33333334f, {1, 2, 3, 4}, 87, 2.0}},
        {"end alone", "end 212.6", {11, 14, 0.33333334f, {20, 40, 59, 78.5f}, 212.6f, 2.0}},
        {"the built-in fade keeps the built-in rate", "fade 11 14", b},
        {"all three, commented, Windows lines and a byte order mark",
         "\xEF\xBB\xBF"
         "fade 0.5 3        # fades in\r\nsections 8 52.5 101 150\r\n\tend   212.6\r\n",
         {0.5f, 3.0f, 0.4f, {8, 52.5f, 101, 150}, 212.6f, 2.0}},
        {"the shortest show",
         "sections 0 1 2 3\nfade 0 4\nend 5",
         {0, 4, 0.25f, {0, 1, 2, 3}, 5, 2.0}},
        {"the longest show", "end 3600", {11, 14, 0.33333334f, {20, 40, 59, 78.5f}, 3600, 2.0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Timeline timeline = untouched;
        std::string error;
        ASSERT_TRUE(parseTimeline(c.text, "timeline.txt", timeline, error)) << error;
        EXPECT_EQ(timesOf(timeline), timesOf(c.expected));
    }
}

TEST(Timeline, AWrongLineIsNamedWithWhatIsWrongAndTheTimelineStaysAsItWas) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"fade 1 2\nstart 3\n",
         "timeline.txt:2: unknown setting \"start\" (the settings are fade, sections and end)"},
        {"end 8x", "timeline.txt:1: \"8x\" is not a time in seconds"},
        {"end nan", "timeline.txt:1: \"nan\" is not a time in seconds"},
        {"end 1e40", "timeline.txt:1: \"1e40\" is not a time in seconds"},
        {"fade 1", "timeline.txt:1: fade takes 2 times in seconds, not 1"},
        {"\nend", "timeline.txt:2: end takes 1 time in seconds, not 0"},
        {"end 90\n# more\nend 91", "timeline.txt:3: end is set twice (first on line 1)"},
        {"fade -1 3", "timeline.txt:1: the fade can't start before 0 s"},
        {"fade 3 3", "timeline.txt:1: the fade must end after it starts (3 s, then 3 s)"},
        {"sections -1 2 3 4", "timeline.txt:1: a section can't start before 0 s"},
        {"sections 10 30 20 40",
         "timeline.txt:1: section 3 (20 s) must start after section 2 (30 s)"},
        {"end 4.5", "timeline.txt:1: the end (4.5 s) must lie between 5 s and 3600 s"},
        {"end 3600.5", "timeline.txt:1: the end (3600.5 s) must lie between 5 s and 3600 s"},
        {"end 50",
         "timeline.txt:1: the last section (78.5 s, built in) must start before the end (50 s, "
         "line 1)"},
        {"sections 1 2 3 4\nend 4.9",
         "timeline.txt:2: the end (4.9 s) must lie between 5 s and "
         "3600 s"},
        {"end 30\nsections 1 2 3 4\nfade 20 40",
         "timeline.txt:3: the fade (to 40 s, line 3) must end by the end (30 s, line 1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Timeline timeline = untouched;
        std::string error;
        EXPECT_FALSE(parseTimeline(c.text, "timeline.txt", timeline, error));
        EXPECT_EQ(error, c.message);
        EXPECT_EQ(timesOf(timeline), timesOf(untouched));
    }
}

TEST(Timeline, AFolderWithoutTheFileHasTheBuiltInTimelineAndOneThatCantBeReadIsAnError) {
    const struct {
        const char* name;
        void (*make)(const std::string& path);
        const char* message;  // the error after the file's path; empty: read as built in
    } cases[] = {
        {"no file", [](const std::string&) {}, ""},
        {"a wrong setting", [](const std::string& p) { writeTextFile(p, "end 30\n"); },
         ":1: the last section (78.5 s, built in) must start before the end (30 s, line 1)"},
        {"a folder of that name", [](const std::string& p) { makeFolder(p); },
         ": can't be read: Is a directory"},
        {"not text", [](const std::string& p) { writeTextFile(p, std::string("end 9\0", 6)); },
         ": is not a text file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string path = folder.file(timelineFileName);
        c.make(path);
        Timeline timeline = untouched;
        std::string error;
        const bool read = readTimeline(folder.path(), timeline, error);
        EXPECT_EQ(read, *c.message == '\0');
        EXPECT_EQ(error, read ? std::string() : path + c.message);
        EXPECT_EQ(timesOf(timeline), timesOf(read ? builtInTimeline : untouched));
    }
}

TEST(Timeline, TheFormattedFileReadsBackTheSameTimes) {
    Timeline odd = builtInTimeline;
    std::string error;
    ASSERT_TRUE(
        parseTimeline("fade 0.1 0.30000001\nsections 1e-3 7.77 100.125 3599.99\nend "
                      "3600",
                      "odd", odd, error))
        << error;
    for (const Timeline& timeline : {builtInTimeline, odd}) {
        Timeline read = untouched;
        ASSERT_TRUE(
            parseTimeline(formatTimeline(timeline, "# a comment\n"), "formatted", read, error))
            << error;
        EXPECT_EQ(timesOf(read), timesOf(timeline));
        EXPECT_EQ(isBuiltInTimeline(read), isBuiltInTimeline(timeline));
    }
    EXPECT_TRUE(isBuiltInTimeline(builtInTimeline));
    EXPECT_FALSE(isBuiltInTimeline(odd));
    EXPECT_EQ(runLength(builtInTimeline), 89.0);
}

TEST(Timeline, TheBuiltInFadeIsBitForBitTheOneTheShowHasAlwaysComputed) {
    for (float t : {0.0f, 10.99f, 11.0f, 12.345678f, 13.999999f, 14.0f, 55.5f, 88.9f}) {
        volatile float time = t;  // computed at run time, as the frame loop does
        const float expected = (time - 11.0f) * 0.33333334f;
        const float got = fadeBrightness(builtInTimeline, time);
        EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << t;
    }
}

TEST(Timeline, ATempoLineGivesTheBeatGridAndAWrongOneSaysWhatIsWrong) {
    const struct {
        const char* text;
        double tempo, firstBeat;  // tempo 0: no grid
        int beatsPerBar;
        const char* message;  // empty: read
    } cases[] = {
        {"", 0, 0, 4, ""},
        {"tempo 120 0", 120, 0, 4, ""},
        {"tempo 128.25 0.37 3  # a waltz", 128.25, 0.37, 3, ""},
        {"tempo 20 86.9 2", 20, 86.9, 2, ""},
        {"sections 1 2 3 4\nend 30\ntempo 400 29.99 12", 400, 29.99, 12, ""},
        {"tempo 120", 0, 0, 0,
         "timeline.txt:1: tempo takes the beats a minute, the first beat in seconds and "
         "optionally the beats a bar, not 1 value"},
        {"tempo 120 0 4 1", 0, 0, 0,
         "timeline.txt:1: tempo takes the beats a minute, the first beat in seconds and "
         "optionally the beats a bar, not 4 values"},
        {"tempo fast 0", 0, 0, 0, "timeline.txt:1: \"fast\" is not a tempo in beats a minute"},
        {"tempo 120 0s", 0, 0, 0, "timeline.txt:1: \"0s\" is not a time in seconds"},
        {"tempo 120 0 3.5", 0, 0, 0,
         "timeline.txt:1: \"3.5\" is not a whole number of beats a bar"},
        {"tempo 19.9 0", 0, 0, 0,
         "timeline.txt:1: the tempo (19.9 beats a minute) must lie between 20 and 400"},
        {"tempo 401 0", 0, 0, 0,
         "timeline.txt:1: the tempo (401 beats a minute) must lie between 20 and 400"},
        {"tempo 120 -0.1", 0, 0, 0, "timeline.txt:1: the first beat can't lie before 0 s"},
        {"tempo 120 0 1", 0, 0, 0, "timeline.txt:1: the beats a bar (1) must lie between 2 and 12"},
        {"tempo 120 0 13", 0, 0, 0,
         "timeline.txt:1: the beats a bar (13) must lie between 2 and 12"},
        {"tempo 120 87", 0, 0, 0,
         "timeline.txt:1: the first beat (87 s, line 1) must come before the end (87 s, built "
         "in)"},
        {"tempo 120 40\nend 30\nsections 1 2 3 4", 0, 0, 0,
         "timeline.txt:2: the first beat (40 s, line 1) must come before the end (30 s, line 2)"},
        {"tempo 120 0\ntempo 90 0", 0, 0, 0,
         "timeline.txt:2: tempo is set twice (first on line 1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Timeline timeline = untouched;
        std::string error;
        const bool read = parseTimeline(c.text, "timeline.txt", timeline, error);
        EXPECT_EQ(read, *c.message == '\0');
        EXPECT_EQ(error, read ? std::string() : c.message);
        if (!read) {
            EXPECT_EQ(timesOf(timeline), timesOf(untouched));
            EXPECT_FALSE(timeline.hasTempo);
            continue;
        }
        EXPECT_EQ(timeline.hasTempo, c.tempo != 0);
        if (!timeline.hasTempo) continue;
        EXPECT_EQ(timeline.tempo, c.tempo);
        EXPECT_EQ(timeline.firstBeat, c.firstBeat);
        EXPECT_EQ(timeline.beatsPerBar, c.beatsPerBar);
        // Written back and read again, the grid is the same; without it, no tempo line.
        Timeline again = untouched;
        ASSERT_TRUE(parseTimeline(formatTimeline(timeline, ""), "formatted", again, error))
            << error;
        EXPECT_EQ(again.tempo, timeline.tempo);
        EXPECT_EQ(again.firstBeat, timeline.firstBeat);
        EXPECT_EQ(again.beatsPerBar, timeline.beatsPerBar);
    }
    EXPECT_EQ(formatTimeline(builtInTimeline, ""), "fade 11 14\nsections 20 40 59 78.5\nend 87\n");
}
