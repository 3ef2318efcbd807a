// Writes a captured stretch of the show as a video file: H.264 pictures and the show's music as
// AAC, cut to the same span, in the container its name asks for. The only layer that knows
// FFmpeg; its headers stay out of this one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct VideoOptions {
    std::string outputPath;  // the finished video; nothing is written there before finishVideo
    int width = 1280;        // even, at most 3840
    int height = 720;        // even, at most 2160
    int framesPerSecond = 30;
    // Frames come as glReadPixels(GL_RGBA or GL_RGB, GL_UNSIGNED_BYTE) gives them: 4 or 3 bytes
    // a pixel in R, G, B order, bottom row first.
    int bytesPerPixel = 4;
    std::string musicPath;     // the show's MP3; empty gives a video without sound
    double fromSeconds = 0.0;  // show time of the first frame
    double toSeconds = 0.0;    // end of the span, not included
    // Encoder trade-offs; the defaults keep a 1280 x 720 capture faster than real time on two
    // cores at a quality fit for upload.
    std::string preset = "veryfast";
    int crf = 18;
    // The longest stretch between keyframes, where a player can start or seek to: upload sites
    // ask for 2 s at most. From MIN_KEYINT_SECONDS to MAX_KEYINT_SECONDS.
    double keyintSeconds = 2.0;
};

constexpr double MIN_KEYINT_SECONDS = 0.5;
constexpr double MAX_KEYINT_SECONDS = 10.0;

// From 1280 x 720 up pictures are converted with BT.709's matrix, as HD video is expected to
// be; smaller ones with BT.601's, as standard definition is. The file says which.
bool usesBt709(int width, int height);

// Cumulative cost of the frames so far, for progress lines and measurements.
struct VideoStats {
    int framesWritten = 0;
    double convertSeconds = 0.0;  // RGB to yuv420p
    double encodeSeconds = 0.0;   // H.264 and AAC encoding and writing, the flush included
    int64_t bytesWritten = 0;     // size of the file so far
};

struct VideoWriter;
// Dropping a writer that was not finished abandons it.
struct VideoWriterCloser {
    void operator()(VideoWriter* writer) const;
};
using VideoWriterPtr = std::unique_ptr<VideoWriter, VideoWriterCloser>;

// The endings of the names a video can have: the containers that take H.264 and AAC.
extern const char* const VIDEO_FILE_ENDINGS;  // ".mp4, .m4v, .mov or .mkv"

// True when `path` ends in one of VIDEO_FILE_ENDINGS, in either case.
bool isVideoFileName(const std::string& path);

// Frames in [fromSeconds, toSeconds): frame n shows show time fromSeconds + n / framesPerSecond.
int videoFrameCount(const VideoOptions& options);

// Every call below returns false with a message naming the file and the reason when it fails.
// After any failure the output is given up: its temporary file is gone, an existing output file
// is as it was, and later calls on the same writer fail with the same message. Nothing throws.

// Starts the video in a temporary file beside outputPath. Null on failure.
VideoWriterPtr openVideo(const VideoOptions& options, std::string& error);

// Adds the next frame; `rowStride` is the distance in bytes from one row to the next above it.
// The sound up to the end of this frame is added as well.
bool writeVideoFrame(VideoWriter& writer, const uint8_t* pixels, int rowStride, std::string& error);

// Adds the last frame once more, without converting it again. Fails when no frame came yet.
bool repeatVideoFrame(VideoWriter& writer, std::string& error);

// Ends the sound where the last frame written ends, completes the file with its index at the
// front and puts it in place of outputPath. The writer is closed either way; its statistics
// stay readable.
bool finishVideo(VideoWriter& writer, std::string& error);

// Stops without output and removes the temporary file. Safe at any time after openVideo
// succeeded, also after a failure or finishVideo (then it does nothing).
void abandonVideo(VideoWriter& writer);

VideoStats videoStats(const VideoWriter& writer);
