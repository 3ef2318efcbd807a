// kelvaro-capture run as a user runs it, its videos read back through the video layer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "show_folder.h"
#include "video_probe.h"

namespace {

// A square of 400 units, big on screen, and rows that drag its first corner out of the picture
// between 2 and 4 s. The rows fall between frames: a row plays only strictly between its own
// time and the next row's.
const char* const squareMesh =
    "v 0 0 0\nv 400 0 0\nv 400 400 0\nv 0 400 0\nv 200 200 0\nf 1 2 5\nf 2 3 5\nf 3 4 5\nf 4 1 5\n";

std::string dragRows() {
    std::string rows;
    for (int step = 0; step <= 20; ++step) {
        char row[96];
        std::snprintf(row, sizeof row, "%.6f 1 0 %.6f %.6f 0.000000\n", 2.05 + 0.1 * step,
                      -60.0 * step, -90.0 * step);
        rows += row;
    }
    return rows;
}

void writeShow(const TempFolder& folder) {
    writeShowFolder(folder.path(), squareMesh);
    writeTextFile(folder.file("anim.txt"), dragRows());
    writeToneMp3(folder.file("tavel.mp3"), 8.0);
}

CommandResult capture(const TempFolder& folder, const std::string& options, int seconds = 120) {
    return runCommand(folder.path(), std::string(KELVARO_CAPTURE_BIN) + " " + options, seconds);
}

std::vector<uint8_t> frame(const std::string& path, int index) {
    std::vector<uint8_t> rgb;
    std::string error;
    EXPECT_TRUE(decodeVideoFrame(path, index, rgb, error)) << error;
    return rgb;
}

// Where the mesh lies in a picture, in fractions of its size: the bright texture over the
// black background of the first seconds.
struct Footprint {
    double x = 0, y = 0, width = 0, height = 0, share = 0;
};

Footprint footprint(const std::vector<uint8_t>& rgb, int width, int height) {
    double sx = 0, sy = 0, count = 0;
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (rgb[(size_t(y) * size_t(width) + size_t(x)) * 3 + 1] < 100) continue;
            sx += x + 0.5;
            sy += y + 0.5;
            ++count;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    Footprint f;
    if (count == 0) return f;
    f.x = sx / count / width;
    f.y = sy / count / height;
    f.width = double(right + 1 - left) / width;
    f.height = double(bottom + 1 - top) / height;
    f.share = count / (double(width) * height);
    return f;
}

}  // namespace

TEST(CaptureProgram, APartialCaptureHoldsItsSpanOfPicturesAndMusic) {
    TempFolder folder;
    writeShow(folder);
    const CommandResult run = capture(folder, "--fps 30 --size 320x180 --from 1 --to 5 out.mp4");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "21\n");  // the show's row count, and nothing else
    EXPECT_NE(run.err.find("120 frames"), std::string::npos) << run.err;

    VideoProbe probe;
    std::string error;
    ASSERT_TRUE(probeVideo(folder.file("out.mp4"), probe, error)) << error;
    EXPECT_EQ(probe.videoStreams, 1);
    EXPECT_EQ(probe.audioStreams, 1);
    EXPECT_EQ(probe.videoCodec, "h264");
    EXPECT_EQ(probe.audioCodec, "aac");
    EXPECT_EQ(probe.width, 320);
    EXPECT_EQ(probe.height, 180);
    EXPECT_DOUBLE_EQ(probe.framesPerSecond, 30.0);
    EXPECT_EQ(probe.frameCount, 120);
    EXPECT_NEAR(probe.videoDuration, 4.0, 1e-6);
    EXPECT_NEAR(probe.audioDuration, 4.0, 0.03);
    EXPECT_GT(probe.audioRms, 0.05);
    EXPECT_TRUE(probe.indexAtFront);
}

TEST(CaptureProgram, AFrameIsTheSameWhereverTheSpanStarts) {
    // The demo show: its choreography bends the octopus through the solve, so a
    // frame depends on every frame before it.
    const std::string show = std::string(KELVARO_BINARY_DIR) + "/show";
    TempFolder out;
    const std::string options = std::string(KELVARO_CAPTURE_BIN) + " --fps 24 --size 320x180";
    const CommandResult early =
        runCommand(show, options + " --from 24 --to 27 " + out.file("early.mp4"), 120);
    ASSERT_EQ(early.exitCode, 0) << early.err;
    const CommandResult late =
        runCommand(show, options + " --from 26 --to 27 " + out.file("late.mp4"), 120);
    ASSERT_EQ(late.exitCode, 0) << late.err;

    // 26.5 s: the same picture but for the encoding, while the octopus moved since 24.25 s.
    // (At 24 frames a second most frames fall between the script's rows, 50 a second.)
    const std::vector<uint8_t> a = frame(out.file("early.mp4"), 60);
    const std::vector<uint8_t> b = frame(out.file("late.mp4"), 12);
    const std::vector<uint8_t> before = frame(out.file("early.mp4"), 6);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_EQ(a.size(), before.size());
    auto differing = [](const std::vector<uint8_t>& x, const std::vector<uint8_t>& y) {
        size_t count = 0;
        for (size_t i = 0; i < x.size(); ++i) count += std::abs(int(x[i]) - int(y[i])) > 40;
        return count;
    };
    EXPECT_GT(differing(a, before), a.size() / 50);
    EXPECT_LT(differing(a, b), a.size() / 2000);
}

TEST(CaptureProgram, TheMeshKeepsItsPlaceInThePictureAtEverySize) {
    TempFolder folder;
    writeShow(folder);
    // 3.5 s: halfway through the drag.
    struct Run {
        const char* options;
        int width, height;
    };
    const Run runs[] = {
        {"--size 640x360", 640, 360},
        {"--size 1920x1080", 1920, 1080},
        {"--size 640x360 --supersample 3", 640, 360},
    };
    std::vector<Footprint> footprints;
    for (const Run& run : runs) {
        SCOPED_TRACE(run.options);
        const CommandResult result =
            capture(folder, std::string("--fps 10 --from 3 --to 4 ") + run.options + " out.mp4");
        ASSERT_EQ(result.exitCode, 0) << result.err;
        footprints.push_back(footprint(frame(folder.file("out.mp4"), 5), run.width, run.height));
        ASSERT_GT(footprints.back().share, 0.01);
    }
    for (size_t i = 1; i < footprints.size(); ++i) {
        SCOPED_TRACE(runs[i].options);
        EXPECT_NEAR(footprints[i].x, footprints[0].x, 0.004);
        EXPECT_NEAR(footprints[i].y, footprints[0].y, 0.004);
        EXPECT_NEAR(footprints[i].width, footprints[0].width, 0.006);
        EXPECT_NEAR(footprints[i].height, footprints[0].height, 0.006);
        EXPECT_NEAR(footprints[i].share, footprints[0].share, 0.004);
    }
}

TEST(CaptureProgram, RowsOnTheFramesGridPlayAtEveryFrameRate) {
    // Rows every 0.02 s from 2 s on, as the authoring tool prints them at 50 frames a second:
    // at 10 fps every frame falls exactly on a row's time, where no row is active.
    TempFolder folder;
    writeShowFolder(folder.path(), squareMesh);
    std::string rows;
    for (int k = 0; k <= 100; ++k) {
        char row[96];
        std::snprintf(row, sizeof row, "%.6f 1 0 %.6f %.6f 0.000000\n", 2.0 + 0.02 * k, -12.0 * k,
                      -18.0 * k);
        rows += row;
    }
    writeTextFile(folder.file("anim.txt"), rows);
    writeToneMp3(folder.file("tavel.mp3"), 8.0);
    const CommandResult run = capture(folder, "--fps 10 --size 320x180 --from 2 --to 4 out.mp4");
    ASSERT_EQ(run.exitCode, 0) << run.err;

    // The slot's mesh, not the title picture, from the first frame on; the dragged corner
    // pulls it away.
    const Footprint first = footprint(frame(folder.file("out.mp4"), 0), 320, 180);
    const Footprint later = footprint(frame(folder.file("out.mp4"), 15), 320, 180);
    EXPECT_GT(first.share, 0.01);
    EXPECT_GT(later.share, 0.01);
    EXPECT_GT(std::hypot(later.x - first.x, later.y - first.y), 0.05)
        << first.x << ", " << first.y << " to " << later.x << ", " << later.y;
}

TEST(CaptureProgram, TheClosingPictureIsHeldToTheEnd) {
    TempFolder folder;
    writeShow(folder);
    // From 88 s every frame is the closing hold: the closing picture was drawn before the span.
    const CommandResult run = capture(folder, "--fps 10 --size 320x180 --from 88 out.mp4");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    VideoProbe probe;
    std::string error;
    ASSERT_TRUE(probeVideo(folder.file("out.mp4"), probe, error)) << error;
    ASSERT_EQ(probe.frameCount, 11);
    for (int index = 0; index < probe.frameCount; ++index) {
        SCOPED_TRACE(index);
        const std::vector<uint8_t> rgb = frame(folder.file("out.mp4"), index);
        ASSERT_EQ(rgb.size(), size_t(320 * 180 * 3));
        // The closing slot's background, plain grey 90, all over.
        for (size_t i : {size_t(0), rgb.size() / 2, rgb.size() - 1}) EXPECT_NEAR(rgb[i], 90, 3);
    }
}

TEST(CaptureProgram, TheSameOptionsGiveTheSameFileAndQualityTradesSize) {
    TempFolder folder;
    writeShow(folder);
    const std::string span = "--fps 10 --size 320x180 --from 2 --to 4 ";
    const CommandResult a = capture(folder, span + "a.mp4");
    const CommandResult b = capture(folder, span + "b.mp4");
    const CommandResult rough =
        capture(folder, span + "--crf 40 --preset ultrafast --verbose c.mkv");
    for (const CommandResult* run : {&a, &b, &rough}) ASSERT_EQ(run->exitCode, 0) << run->err;
    EXPECT_TRUE(readTextFile(folder.file("a.mp4")) == readTextFile(folder.file("b.mp4")));
    EXPECT_LT(readTextFile(folder.file("c.mkv")).size(), readTextFile(folder.file("a.mp4")).size());
    // Where the time went is told only when asked for.
    EXPECT_EQ(a.err.find("encoding"), std::string::npos) << a.err;
    EXPECT_NE(rough.err.find("drawing"), std::string::npos) << rough.err;
    EXPECT_NE(rough.err.find("encoding"), std::string::npos) << rough.err;
}

TEST(CaptureProgram, FailuresLeaveNoVideoAndSayWhy) {
    struct Case {
        const char* options;
        int exitCode;
        const char* message;
        bool interrupt;  // SIGINT after a second
    };
    const Case cases[] = {
        {"--fps 0 out.mp4", 2, "--fps", false},
        {"--size 1280x800 out.mp4", 2, "16:9", false},
        {"--from 95 out.mp4", 2, "no frame", false},
        {"--bogus out.mp4", 2, "unknown option", false},
        {"--crf 52 out.mp4", 2, "--crf", false},
        {"--preset fastest out.mp4", 2, "--preset", false},
        {"--keyint-seconds 11 out.mp4", 2, "--keyint-seconds", false},
        {"out.avi", 2, ".mp4, .m4v, .mov or .mkv", false},
        {"", 2, "no output file", false},
        {"missing/out.mp4", 1, "Cannot write the video missing/out.mp4", false},
        {"out.mp4", 1, "interrupted", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        TempFolder folder;
        writeShow(folder);
        // An existing output stays as it was.
        writeTextFile(folder.file("out.mp4"), "old");
        const CommandResult run = capture(folder, c.options, c.interrupt ? 2 : 60);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(readTextFile(folder.file("out.mp4")), "old");
        const CommandResult left = runCommand(folder.path(), "ls", 10);
        EXPECT_EQ(left.out.find(".part"), std::string::npos) << left.out;
        EXPECT_EQ(left.out.find(".avi"), std::string::npos) << left.out;
    }

    TempFolder folder;
    const CommandResult help =
        runCommand(folder.path(), std::string(KELVARO_CAPTURE_BIN) + " --help", 10);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: kelvaro-capture", 0), 0u) << help.out;
}

TEST(CaptureProgram, TheRunLastsAsTheFoldersTimelineSaysAndABadOneWritesNothing) {
    const struct {
        const char* timeline;
        int exitCode;
        int frames;
        const char* err;
    } cases[] = {
        // The first frame past 5 s presents the closing picture, then two seconds hold it (a
        // frame more: the hold's start, a float, lies a hair late).
        {"fade 0 1\nsections 1 2 3 4\nend 5\n", 0, 50 + 1 + 21, "72 frames"},
        {"end 30\n", 1, 0,
         "kelvaro-capture: timeline.txt:1: the last section (78.5 s, built in) must start before "
         "the end (30 s, line 1)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.timeline);
        TempFolder folder;
        writeShow(folder);
        writeTextFile(folder.file("timeline.txt"), c.timeline);
        writeTextFile(folder.file("out.mp4"), "old");
        const CommandResult run = capture(folder, "--fps 10 --size 320x180 out.mp4");
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        if (c.exitCode != 0) {
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(readTextFile(folder.file("out.mp4")), "old");
            continue;
        }
        VideoProbe probe;
        std::string error;
        ASSERT_TRUE(probeVideo(folder.file("out.mp4"), probe, error)) << error;
        EXPECT_EQ(probe.frameCount, c.frames);
        EXPECT_NEAR(probe.audioDuration, c.frames / 10.0, 0.03);
    }
}
