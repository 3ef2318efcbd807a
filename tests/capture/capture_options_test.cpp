// The capture's command line and the frames it keeps.
#include "capture/capture_options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "capture/capture_span.h"

namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> list;
    for (std::string word; in >> word;) list.push_back(word);
    return list;
}

}  // namespace

TEST(CaptureOptions, CommandLinesGiveTheirOptionsOrAReason) {
    struct Case {
        const char* line;
        CaptureCommand command;
        int fps, width, height, supersample;
        double from, to;
        const char* output;  // or a word of the reason for a bad line
    };
    const Case cases[] = {
        {"out.mp4", CaptureCommand::Capture, 60, 1280, 720, 1, 0.0, -1.0, "out.mp4"},
        {"--fps 25 --size 1920x1080 --supersample 3 --from 1.5 --to 9 a.mp4",
         CaptureCommand::Capture, 25, 1920, 1080, 3, 1.5, 9.0, "a.mp4"},
        {"--fps=30 --size=3840x2160 -- -x.mp4", CaptureCommand::Capture, 30, 3840, 2160, 1, 0.0,
         -1.0, "-x.mp4"},
        {"out.mp4 --help", CaptureCommand::Help, 0, 0, 0, 0, 0, 0, ""},
        {"", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "no output"},
        {"a.mp4 b.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "only one"},
        {"--fps 0 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "--fps"},
        {"--fps 241 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "--fps"},
        {"--fps 29.97 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "--fps"},
        {"--size 1280x800 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "16:9"},
        {"--size 7680x4320 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "3840x2160"},
        {"--size 16x9 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "even"},
        {"--size 1280 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "--size"},
        {"--supersample 5 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "--supersample"},
        {"--from -1 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "--from"},
        {"--to nan a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "--to"},
        {"--from 5 --to 5 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "after --from"},
        {"a.mp4 --to", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "needs a value"},
        {"--speed 2 a.mp4", CaptureCommand::Bad, 0, 0, 0, 0, 0, 0, "unknown option --speed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CaptureOptions options;
        std::string error;
        const CaptureCommand command = parseCaptureOptions(words(c.line), options, error);
        ASSERT_EQ(command, c.command) << error;
        if (command == CaptureCommand::Bad) {
            EXPECT_NE(error.find(c.output), std::string::npos) << error;
        } else if (command == CaptureCommand::Capture) {
            EXPECT_EQ(options.framesPerSecond, c.fps);
            EXPECT_EQ(options.width, c.width);
            EXPECT_EQ(options.height, c.height);
            EXPECT_EQ(options.supersample, c.supersample);
            EXPECT_EQ(options.fromSeconds, c.from);
            EXPECT_EQ(options.toSeconds, c.to);
            EXPECT_EQ(options.outputPath, c.output);
        }
    }
}

TEST(CaptureOptions, QualityVerbosityAndTheOutputsName) {
    struct Case {
        const char* line;
        bool ok;
        int crf;
        const char* preset;  // or a word of the reason for a bad line
        bool verbose;
    };
    const Case cases[] = {
        {"out.mp4", true, 18, "veryfast", false},
        {"--crf 0 --preset placebo --verbose out.MKV", true, 0, "placebo", true},
        {"--crf=51 --preset=ultrafast a.m4v", true, 51, "ultrafast", false},
        {"--preset slow a.mov", true, 18, "slow", false},
        {"--crf 52 a.mp4", false, 0, "--crf", false},
        {"--crf -1 a.mp4", false, 0, "--crf", false},
        {"--crf 18.5 a.mp4", false, 0, "--crf", false},
        {"--preset fastest a.mp4", false, 0, "veryslow", false},
        {"--preset Slow a.mp4", false, 0, "--preset", false},
        {"--verbose=yes a.mp4", false, 0, "no value", false},
        {"out.avi", false, 0, ".mp4, .m4v, .mov or .mkv", false},
        {"out", false, 0, "'out'", false},
        {"a.mp4 --preset", false, 0, "needs a value", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CaptureOptions options;
        std::string error;
        const CaptureCommand command = parseCaptureOptions(words(c.line), options, error);
        ASSERT_EQ(command, c.ok ? CaptureCommand::Capture : CaptureCommand::Bad) << error;
        if (!c.ok) {
            EXPECT_NE(error.find(c.preset), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(options.crf, c.crf);
        EXPECT_EQ(options.preset, c.preset);
        EXPECT_EQ(options.verbose, c.verbose);
    }
}

TEST(CaptureOptions, KeyframeDistanceFromHalfASecondToTen) {
    struct Case {
        const char* line;
        double seconds;  // 0: refused
    };
    const Case cases[] = {
        {"out.mp4", 2.0},
        {"--keyint-seconds 0.5 a.mp4", 0.5},
        {"--keyint-seconds=10 a.mkv", 10.0},
        {"--keyint-seconds 0.4 a.mp4", 0.0},
        {"--keyint-seconds 10.5 a.mp4", 0.0},
        {"--keyint-seconds inf a.mp4", 0.0},
        {"--keyint-seconds two a.mp4", 0.0},
        {"a.mp4 --keyint-seconds", 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CaptureOptions options;
        std::string error;
        const CaptureCommand command = parseCaptureOptions(words(c.line), options, error);
        ASSERT_EQ(command, c.seconds > 0.0 ? CaptureCommand::Capture : CaptureCommand::Bad);
        if (c.seconds > 0.0)
            EXPECT_EQ(options.keyintSeconds, c.seconds);
        else
            EXPECT_NE(error.find("--keyint-seconds"), std::string::npos) << error;
    }
}

TEST(CaptureSpan, SpansCountFramesOfTheRunAndEndWithTheClosingHold) {
    // A whole run: the first frame past 87 s presents the closing picture, then two seconds of
    // clock steps hold it. A frame samples its time and a tenth of a millisecond, so the frame
    // of 87.0 s is already past the end.
    EXPECT_EQ(wholeRunFrames(10, builtInTimeline), 870 + 1 + 20);
    // the hold's start, a float, lies a hair late
    EXPECT_EQ(wholeRunFrames(60, builtInTimeline), 5220 + 1 + 121);
    EXPECT_EQ(wholeRunFrames(30, builtInTimeline), 2610 + 1 + 60);

    struct Case {
        int fps;
        double from, to;
        bool ok;
        int64_t first, end;
    };
    const Case cases[] = {
        {60, 0.0, -1.0, true, 0, 5342},
        {60, 20.0, 23.0, true, 1200, 1380},
        {30, 0.1, 0.2, true, 3, 6},          // decimal seconds a hair off a frame
        {25, 1.01, 1.05, true, 26, 27},      // between frames: the next one
        {10, 80.0, 1000.0, true, 800, 891},  // cut at the end of the run
        {10, 89.0, -1.0, true, 890, 891},    // the last held frame alone
        {10, 89.1, -1.0, false, 0, 0},
        {60, 1.001, 1.01, false, 0, 0},  // no frame starts in the span
        {3, 2e85, -1.0, false, 0, 0},    // beyond any frame count
        {3, 1.0, 2e85, true, 3, 269},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fps << " fps " << c.from << " to " << c.to);
        CaptureOptions options;
        options.framesPerSecond = c.fps;
        options.fromSeconds = c.from;
        options.toSeconds = c.to;
        CaptureSpan span;
        std::string error;
        ASSERT_EQ(captureSpan(options, builtInTimeline, span, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_NE(error.find("no frame"), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(span.firstFrame, c.first);
        EXPECT_EQ(span.endFrame, c.end);
    }
}

TEST(CaptureSpan, ARunLastsUntilTheClosingHoldAfterTheTimelinesEnd) {
    struct Case {
        const char* timeline;
        int fps;
        double from, to;
        bool ok;
        int64_t first, end;
    };
    const Case cases[] = {
        {"fade 0 1\nsections 1 2 3 4\nend 10", 10, 0.0, -1.0, true, 0, 100 + 1 + 20},
        {"fade 0 1\nsections 1 2 3 4\nend 10", 60, 0.0, -1.0, true, 0, 600 + 1 + 120},
        {"fade 0 1\nsections 1 2 3 4\nend 10", 10, 5.0, 50.0, true, 50, 121},  // --to past the run
        {"fade 0 1\nsections 1 2 3 4\nend 10", 10, 12.0, -1.0, true, 120, 121},
        {"fade 0 1\nsections 1 2 3 4\nend 10", 10, 12.2, -1.0, false, 0, 0},
        // An hour: the frames sample half a millisecond late, where a float still tells it, so the
        // first frame past the end is the one of 3600 s; the hold's float start lies late.
        {"end 3600", 10, 3000.0, -1.0, true, 30000, 36000 + 1 + 21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.timeline << ", " << c.fps << " fps " << c.from << " to " << c.to);
        Timeline timeline = builtInTimeline;
        std::string error;
        ASSERT_TRUE(parseTimeline(c.timeline, "t", timeline, error)) << error;
        CaptureOptions options;
        options.framesPerSecond = c.fps;
        options.fromSeconds = c.from;
        options.toSeconds = c.to;
        CaptureSpan span;
        ASSERT_EQ(captureSpan(options, timeline, span, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_EQ(error, "the span holds no frame: the run ends at 12.100 s of show time");
            continue;
        }
        EXPECT_EQ(span.lateness, timeline.end > 3000.0f ? 5 : 1);
        if (c.from == 0.0) {
            EXPECT_EQ(wholeRunFrames(c.fps, timeline), c.end);
        }
        EXPECT_EQ(span.firstFrame, c.first);
        EXPECT_EQ(span.endFrame, c.end);
    }
}
