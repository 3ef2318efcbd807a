// Encodes captured frames on a thread of its own, so that drawing the next frame overlaps with
// the colour conversion and encoding of the last ones.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
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
    // Queues the last submitted picture once more, without copying or converting it again.
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
    // One being drawn into while the encoder works on another: the third absorbs the frames
    // that take longer on either side. At 3840 x 2160 each holds 33 MB.
    static constexpr int BUFFERS = 3;
    void run();
    void stop();
    bool bufferFree(int buffer) const;

    struct Entry {
        int buffer;
        bool again;  // the picture of the entry before, already converted
    };

    VideoWriterPtr writer_;
    int rowBytes_ = 0;
    std::vector<uint8_t> buffers_[BUFFERS];
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int head_ = 0;             // next buffer to fill
    int last_ = -1;            // the buffer submitted last
    std::deque<Entry> queue_;  // waiting for the encoder, oldest first
    bool closing_ = false;
    bool abandoning_ = false;
    std::atomic<bool> failed_{false};
    std::atomic<int> written_{0};
    std::string failure_;
    VideoStats stats_;
};
