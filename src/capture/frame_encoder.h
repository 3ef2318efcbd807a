// Encodes captured frames on a thread of its own, so that drawing the next frame overlaps with
// the colour conversion and encoding of the last ones.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "video/video_writer.h"

class FrameEncoder {
public:
    FrameEncoder() = default;
    ~FrameEncoder();
    FrameEncoder(const FrameEncoder&) = delete;
    FrameEncoder& operator=(const FrameEncoder&) = delete;

    // Opens the video (RGBA frames) and starts the thread. False with the video layer's message.
    bool open(const VideoOptions& options, std::string& error);

    // The buffer for the next frame, width * height * 4 bytes, bottom row first; waits while
    // every buffer is still queued.
    uint8_t* nextBuffer();
    // Queues the frame filled in nextBuffer().
    void submit();
    // Queues the last submitted picture once more.
    void repeat();

    // True once a frame could not be written; the frames after it are dropped.
    bool failed() const { return failed_.load(); }
    int framesWritten() const { return written_.load(); }

    // Waits for the queue, then completes the file and puts it in place. False with the reason
    // when that or any frame failed; no output is left then.
    bool finish(std::string& error);
    // Stops at once without output.
    void abandon();

    VideoStats stats() const { return stats_; }  // after finish or abandon

private:
    static constexpr int BUFFERS = 3;
    void run();
    void stop();

    VideoWriterPtr writer_;
    size_t frameBytes_ = 0;
    int rowBytes_ = 0;
    std::vector<uint8_t> buffers_[BUFFERS];
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int head_ = 0;    // next buffer to fill
    int queued_ = 0;  // buffers waiting for the encoder, oldest at head_ - queued_
    bool closing_ = false;
    bool abandoning_ = false;
    std::atomic<bool> failed_{false};
    std::atomic<int> written_{0};
    std::string failure_;
    VideoStats stats_;
};
