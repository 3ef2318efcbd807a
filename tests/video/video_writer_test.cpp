#include "video/video_writer.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sched.h>

#include <cmath>
#include <cstdlib>
#include <set>

#include "show_folder.h"
#include "small_disk.h"
#include "video_probe.h"

namespace {

const int BACKGROUND[3] = {30, 60, 110};
const int SQUARE[3] = {230, 170, 40};

// Frame n of a clip: a horizontal grey ramp over a blue background, and a square that moves
// right along the top of the picture, laid out as glReadPixels gives it (bottom row first).
std::vector<uint8_t> clipFrame(int width, int height, int bytesPerPixel, int stride, int n) {
    std::vector<uint8_t> pixels(size_t(stride) * size_t(height), 0);
    const int side = height / 3;
    const int left = (n * 2) % (width - side);
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;  // from the top
        for (int x = 0; x < width; ++x) {
            const bool inSquare = x >= left && x < left + side && y >= 2 && y < 2 + side;
            uint8_t* pixel = &pixels[size_t(row) * size_t(stride) + size_t(x * bytesPerPixel)];
            for (int c = 0; c < 3; ++c)
                pixel[c] = uint8_t(inSquare ? SQUARE[c] : BACKGROUND[c] + (x * 40) / width);
            if (bytesPerPixel == 4) pixel[3] = 255;
        }
    }
    return pixels;
}

VideoOptions clipOptions(const std::string& output, const std::string& music, int width,
                         int height) {
    VideoOptions options;
    options.outputPath = output;
    options.musicPath = music;
    options.width = width;
    options.height = height;
    options.framesPerSecond = 30;
    options.bytesPerPixel = 4;
    options.fromSeconds = 0.0;
    options.toSeconds = 1.0;
    return options;
}

int rowStride(const VideoOptions& options) {
    return (options.width * options.bytesPerPixel + 3) / 4 * 4;  // GL_PACK_ALIGNMENT 4
}

// Writes every frame of the span and finishes.
bool encodeClip(const VideoOptions& options, std::string& error) {
    VideoWriterPtr writer = openVideo(options, error);
    if (writer == nullptr) return false;
    const int stride = rowStride(options);
    for (int n = 0; n < videoFrameCount(options); ++n) {
        const std::vector<uint8_t> frame =
            clipFrame(options.width, options.height, options.bytesPerPixel, stride, n);
        if (!writeVideoFrame(*writer, frame.data(), stride, error)) return false;
    }
    return finishVideo(*writer, error);
}

std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

void expectColour(const std::vector<uint8_t>& rgb, int width, int x, int y, const int* colour) {
    const uint8_t* pixel = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(pixel[c], colour[c], 12) << "channel " << c << " at " << x << ", " << y;
}

struct ClipCase {
    int width, height, bytesPerPixel;
};

class VideoClip : public testing::TestWithParam<ClipCase> {};

TEST_P(VideoClip, ReadsBackAsH264AndAacWithTheIndexFirst) {
    const ClipCase& clip = GetParam();
    TempFolder folder;
    writeToneMp3(folder.file("tone.mp3"), 2.0);
    writeTextFile(folder.file("out.mp4"), "an older capture");
    VideoOptions options =
        clipOptions(folder.file("out.mp4"), folder.file("tone.mp3"), clip.width, clip.height);
    options.bytesPerPixel = clip.bytesPerPixel;
    std::string error;
    ASSERT_TRUE(encodeClip(options, error)) << error;
    EXPECT_EQ(filesIn(folder.path()), (std::set<std::string>{"out.mp4", "tone.mp3"}));

    VideoProbe probe;
    ASSERT_TRUE(probeVideo(options.outputPath, probe, error)) << error;
    EXPECT_EQ(probe.videoStreams, 1);
    EXPECT_EQ(probe.audioStreams, 1);
    EXPECT_EQ(probe.videoCodec, "h264");
    EXPECT_EQ(probe.pixelFormat, "yuv420p");
    EXPECT_EQ(probe.width, clip.width);
    EXPECT_EQ(probe.height, clip.height);
    EXPECT_DOUBLE_EQ(probe.framesPerSecond, 30.0);
    EXPECT_EQ(probe.frameCount, 30);
    EXPECT_NEAR(probe.videoDuration, 1.0, 1e-3);
    EXPECT_EQ(probe.audioCodec, "aac");
    EXPECT_EQ(probe.sampleRate, 44100);
    EXPECT_EQ(probe.channels, 2);
    EXPECT_NEAR(probe.audioDuration, 1.0, 1e-3);
    EXPECT_GT(probe.audioRms, 0.1);  // the tone's is 0.17
    EXPECT_TRUE(probe.indexAtFront);

    // Upright, in its colours, where frame 10 put it.
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(decodeVideoFrame(options.outputPath, 10, rgb, error)) << error;
    ASSERT_EQ(rgb.size(), size_t(clip.width * clip.height * 3));
    const int side = clip.height / 3;
    expectColour(rgb, clip.width, 20 + side / 2, 2 + side / 2, SQUARE);
    const int x = 20 + side / 2, ramp = x * 40 / clip.width;
    const int below[3] = {BACKGROUND[0] + ramp, BACKGROUND[1] + ramp, BACKGROUND[2] + ramp};
    expectColour(rgb, clip.width, x, clip.height - 1 - side / 2, below);
}

INSTANTIATE_TEST_SUITE_P(Sizes, VideoClip,
                         testing::Values(ClipCase{66, 36, 3}, ClipCase{320, 180, 4}));

TEST(VideoWriter, SpanStartingLaterTakesTheMusicFromThereAndEndsWithThePictures) {
    TempFolder folder;
    writeToneMp3(folder.file("tone.mp3"), 1.0);
    // Half a second of the tone is left after 0.5 s, then silence up to the end at 1.5 s.
    VideoOptions options = clipOptions(folder.file("out.mp4"), folder.file("tone.mp3"), 64, 36);
    options.fromSeconds = 0.5;
    options.toSeconds = 1.5;
    std::string error;
    ASSERT_TRUE(encodeClip(options, error)) << error;

    // The music's own decoding is the reference: it leads in with the MP3 encoder's delay, as
    // the show hears it.
    std::vector<float> music, sound;
    ASSERT_TRUE(decodeVideoAudio(options.musicPath, music, error)) << error;
    ASSERT_TRUE(decodeVideoAudio(options.outputPath, sound, error)) << error;
    EXPECT_NEAR(double(sound.size()), 44100.0, 1024.0);
    const auto lastLoud = [](const std::vector<float>& samples) {
        size_t last = 0;
        for (size_t i = 0; i < samples.size(); ++i)
            if (std::fabs(samples[i]) > 0.05f) last = i;
        return double(last);
    };
    EXPECT_NEAR(lastLoud(sound), lastLoud(music) - 22050.0, 64.0);
    double squares = 0.0;
    for (size_t i = 0; i < 20000; ++i) squares += double(sound[i]) * sound[i];
    EXPECT_GT(std::sqrt(squares / 20000), 0.1);
}

// Bars of the primaries, their mixes, white and black over a row of greys, in a still clip: at
// standard definition with BT.601's matrix, in HD with BT.709's, as the file says.
TEST(VideoWriter, ColourBarsDecodeToTheirColoursWithinThreeLevels) {
    const int bars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                            {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    struct Size {
        int width, height;
        const char* matrix;
    };
    for (const Size size : {Size{640, 360, "smpte170m"}, Size{1280, 720, "bt709"}})
        for (int bytesPerPixel : {3, 4}) {
            const int width = size.width, height = size.height, barWidth = width / 8;
            auto colourAt = [&](int x, int y, int c) {  // y from the top
                const int bar = x / barWidth;
                return y < height / 2 ? bars[bar][c] : bar * 255 / 7;
            };
            SCOPED_TRACE(testing::Message()
                         << width << " x " << height << ", " << bytesPerPixel << " bytes a pixel");
            TempFolder folder;
            VideoOptions options = clipOptions(folder.file("bars.mp4"), "", width, height);
            options.bytesPerPixel = bytesPerPixel;
            options.toSeconds = 0.2;
            const int stride = rowStride(options);
            std::vector<uint8_t> pixels(size_t(stride) * height, 255);
            for (int row = 0; row < height; ++row)
                for (int x = 0; x < width; ++x)
                    for (int c = 0; c < 3; ++c)
                        pixels[size_t(row) * stride + size_t(x * bytesPerPixel + c)] =
                            uint8_t(colourAt(x, height - 1 - row, c));
            std::string error;
            VideoWriterPtr writer = openVideo(options, error);
            ASSERT_NE(writer, nullptr) << error;
            for (int n = 0; n < videoFrameCount(options); ++n)
                ASSERT_TRUE(writeVideoFrame(*writer, pixels.data(), stride, error)) << error;
            ASSERT_TRUE(finishVideo(*writer, error)) << error;

            VideoProbe probe;
            ASSERT_TRUE(probeVideo(options.outputPath, probe, error)) << error;
            EXPECT_EQ(probe.colourMatrix, size.matrix);
            EXPECT_EQ(probe.colourPrimaries, "bt709");
            EXPECT_EQ(probe.colourTransfer, "bt709");
            std::vector<uint8_t> rgb;
            ASSERT_TRUE(decodeVideoFrame(options.outputPath, 3, rgb, error)) << error;
            for (int bar = 0; bar < 8; ++bar)
                for (int y : {height / 4, height * 3 / 4}) {
                    const int x = bar * barWidth + barWidth / 2;
                    for (int c = 0; c < 3; ++c)
                        EXPECT_NEAR(rgb[(size_t(y) * width + size_t(x)) * 3 + size_t(c)],
                                    colourAt(x, y, c), 3)
                            << "bar " << bar << " row " << y << " channel " << c;
                }
        }
}

TEST(VideoWriter, TheNameChoosesTheContainer) {
    struct Case {
        const char* name;
        const char* container;  // null: refused
    };
    const Case cases[] = {
        {"out.mp4", "mov,mp4,m4a,3gp,3g2,mj2"},
        {"OUT.M4V", "mov,mp4,m4a,3gp,3g2,mj2"},
        {"out.mov", "mov,mp4,m4a,3gp,3g2,mj2"},
        {"out.mkv", "matroska,webm"},
        {"out.avi", nullptr},
        {"out.mp4.part", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isVideoFileName(c.name), c.container != nullptr);
        TempFolder folder;
        writeToneMp3(folder.file("tone.mp3"), 1.0);
        std::string error;
        const bool written =
            encodeClip(clipOptions(folder.file(c.name), folder.file("tone.mp3"), 64, 36), error);
        if (c.container == nullptr) {
            EXPECT_FALSE(written);
            EXPECT_NE(error.find(".mp4, .m4v, .mov or .mkv"), std::string::npos) << error;
            EXPECT_EQ(filesIn(folder.path()), std::set<std::string>{"tone.mp3"});
            continue;
        }
        ASSERT_TRUE(written) << error;
        VideoProbe probe;
        ASSERT_TRUE(probeVideo(folder.file(c.name), probe, error)) << error;
        EXPECT_EQ(probe.container, c.container);
        EXPECT_EQ(probe.videoCodec, "h264");
        EXPECT_EQ(probe.audioCodec, "aac");
        EXPECT_EQ(probe.frameCount, 30);
    }
}

TEST(VideoWriter, SameFramesDecodeToSamePictures) {
    TempFolder folder;
    writeToneMp3(folder.file("tone.mp3"), 1.0);
    std::string error;
    for (const char* name : {"a.mp4", "b.mp4"})
        ASSERT_TRUE(
            encodeClip(clipOptions(folder.file(name), folder.file("tone.mp3"), 320, 180), error))
            << error;
    for (int index : {0, 1, 16, 29}) {
        std::vector<uint8_t> a, b;
        ASSERT_TRUE(decodeVideoFrame(folder.file("a.mp4"), index, a, error)) << error;
        ASSERT_TRUE(decodeVideoFrame(folder.file("b.mp4"), index, b, error)) << error;
        EXPECT_TRUE(a == b) << "frame " << index;
    }
}

// Frame n shows n in binary, its ten bits as columns, the highest on the left: white for 1.
const int NUMBER_BITS = 10;

std::vector<uint8_t> numberFrame(int width, int height, int n) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4, 255);
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const int bit = NUMBER_BITS - 1 - x * NUMBER_BITS / width;
            uint8_t* pixel = &pixels[(size_t(row) * size_t(width) + size_t(x)) * 4];
            pixel[0] = pixel[1] = pixel[2] = uint8_t((n >> bit) & 1 ? 255 : 0);
        }
    return pixels;
}

int numberShown(const std::vector<uint8_t>& rgb, int width, int height) {
    int n = 0;
    for (int bit = NUMBER_BITS - 1; bit >= 0; --bit) {
        const int x = (NUMBER_BITS - 1 - bit) * width / NUMBER_BITS + width / NUMBER_BITS / 2;
        n |= (rgb[(size_t(height / 2) * size_t(width) + size_t(x)) * 3 + 1] > 128) << bit;
    }
    return n;
}

TEST(VideoWriter, EveryContainerIsReproducibleStartsAtZeroAndSeeksToTheFrame) {
    struct Case {
        const char* ending;
        double keyintSeconds;
    };
    const Case cases[] = {{".mp4", 2.0}, {".mov", 0.5}, {".mkv", 2.0}};
    TempFolder folder;
    writeToneMp3(folder.file("tone.mp3"), 11.0);
    const int width = 320, height = 180, fps = 60;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ending);
        std::string paths[2];
        for (int copy = 0; copy < 2; ++copy) {
            paths[copy] = folder.file("take" + std::to_string(copy) + c.ending);
            VideoOptions options = clipOptions(paths[copy], folder.file("tone.mp3"), width, height);
            options.framesPerSecond = fps;
            options.toSeconds = 10.5;
            options.keyintSeconds = c.keyintSeconds;
            std::string error;
            VideoWriterPtr writer = openVideo(options, error);
            ASSERT_NE(writer, nullptr) << error;
            for (int n = 0; n < videoFrameCount(options); ++n)
                ASSERT_TRUE(writeVideoFrame(*writer, numberFrame(width, height, n).data(),
                                            width * 4, error))
                    << error;
            ASSERT_TRUE(finishVideo(*writer, error)) << error;
        }
        EXPECT_TRUE(readTextFile(paths[0]) == readTextFile(paths[1]));

        VideoProbe probe;
        std::string error;
        ASSERT_TRUE(probeVideo(paths[0], probe, error)) << error;
        EXPECT_EQ(probe.frameCount, 630);
        EXPECT_NEAR(probe.videoStart, 0.0, 1e-9);
        EXPECT_EQ(probe.defaultTracks, 2);
        EXPECT_LE(probe.longestKeyframeGap, int(c.keyintSeconds * fps));
        // The encoder's priming is skipped or lies before the pictures, so the sound ends with
        // them, but for the padding of its last AAC frame.
        const double soundEnd = probe.audioStart + double(probe.audioSamples) / 44100;
        EXPECT_GE(soundEnd, 10.5 - 1e-6) << probe.audioStart;
        EXPECT_LT(soundEnd, 10.5 + 1024.0 / 44100) << probe.audioStart;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(decodeVideoFrameAt(paths[0], 10.0, rgb, error)) << error;
        ASSERT_EQ(rgb.size(), size_t(width * height * 3));
        EXPECT_EQ(numberShown(rgb, width, height), 600);
    }
}

enum class Ending { Finish, Abandon, Drop };

struct FailureCase {
    const char* name;
    const char* output;  // in the test folder, where "file" is a regular file
    const char* music;   // "tone.mp3" is a real one, "text.mp3" is not sound
    int width;
    int frames;  // written before the ending
    Ending ending;
    const char* mentioned;  // in the message; null when no message is due
};

TEST(VideoWriter, FailuresLeaveNoFileAndExistingOutputAlone) {
    const FailureCase cases[] = {
        {"folder missing", "none/out.mp4", "tone.mp3", 64, 0, Ending::Finish, "none/out.mp4"},
        {"folder is a file", "file/out.mp4", "tone.mp3", 64, 0, Ending::Finish, "file/out.mp4"},
        {"no music", "out.mp4", "none.mp3", 64, 0, Ending::Finish, "none.mp3"},
        {"music not sound", "out.mp4", "text.mp3", 64, 0, Ending::Finish, "text.mp3"},
        {"odd width", "out.mp4", "tone.mp3", 63, 0, Ending::Finish, "out.mp4"},
        {"frame past the span", "out.mp4", "tone.mp3", 64, 31, Ending::Finish, "30 frames"},
        {"no frames", "out.mp4", "tone.mp3", 64, 0, Ending::Finish, "no frame"},
        {"abandoned", "out.mp4", "tone.mp3", 64, 5, Ending::Abandon, nullptr},
        {"dropped unfinished", "out.mp4", "tone.mp3", 64, 5, Ending::Drop, nullptr},
    };
    for (const FailureCase& test : cases) {
        SCOPED_TRACE(test.name);
        TempFolder folder;
        writeToneMp3(folder.file("tone.mp3"), 1.0);
        writeTextFile(folder.file("text.mp3"), "no sound in here\n");
        writeTextFile(folder.file("file"), "a plain file\n");
        writeTextFile(folder.file("out.mp4"), "an older capture");
        const std::set<std::string> before = filesIn(folder.path());
        VideoOptions options =
            clipOptions(folder.file(test.output), folder.file(test.music), test.width, 36);

        std::string error;
        VideoWriterPtr writer = openVideo(options, error);
        bool failed = writer == nullptr;
        for (int n = 0; n < test.frames && !failed; ++n) {
            const std::vector<uint8_t> frame = clipFrame(64, 36, 4, 64 * 4, n);
            failed = !writeVideoFrame(*writer, frame.data(), 64 * 4, error);
        }
        if (writer != nullptr) {
            if (test.ending == Ending::Finish && !failed) failed = !finishVideo(*writer, error);
            if (test.ending == Ending::Abandon) abandonVideo(*writer);
            // Abandoning twice, or after a failure, is harmless.
            abandonVideo(*writer);
            writer.reset();
        }

        if (test.mentioned != nullptr) {
            EXPECT_TRUE(failed);
            EXPECT_NE(error.find(test.mentioned), std::string::npos) << error;
        } else {
            EXPECT_FALSE(failed) << error;
        }
        EXPECT_EQ(filesIn(folder.path()), before);
        EXPECT_EQ(readTextFile(folder.file("out.mp4")), "an older capture");
    }
}

// A disk that fills up while the video grows.
TEST(VideoWriter, FullDiskFailsWithoutLeavingATemporaryFile) {
    TempFolder music;
    writeToneMp3(music.file("tone.mp3"), 1.0);
    SmallDisk disk;
    if (!disk.mounted()) GTEST_SKIP() << "no right to mount a small file system";
    writeTextFile(disk.file("out.mp4"), "an older capture");

    std::string error;
    EXPECT_FALSE(
        encodeClip(clipOptions(disk.file("out.mp4"), music.file("tone.mp3"), 320, 180), error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(filesIn(disk.path()), std::set<std::string>{"out.mp4"});
    EXPECT_EQ(readTextFile(disk.file("out.mp4")), "an older capture");
}

}  // namespace
