#include "capture/frame_encoder.h"

#include <cstring>

FrameEncoder::~FrameEncoder() {
    abandon();
}

bool FrameEncoder::open(const VideoOptions& options, std::string& error) {
    VideoOptions rgba = options;
    rgba.bytesPerPixel = 4;
    writer_ = openVideo(rgba, error);
    if (writer_ == nullptr) return false;
    rowBytes_ = rgba.width * 4;
    frameBytes_ = size_t(rowBytes_) * size_t(rgba.height);
    for (std::vector<uint8_t>& buffer : buffers_) buffer.assign(frameBytes_, 0);
    thread_ = std::thread(&FrameEncoder::run, this);
    return true;
}

uint8_t* FrameEncoder::nextBuffer() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queued_ < BUFFERS; });
    return buffers_[head_].data();
}

void FrameEncoder::submit() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        head_ = (head_ + 1) % BUFFERS;
        ++queued_;
    }
    changed_.notify_all();
}

void FrameEncoder::repeat() {
    const int last = (head_ + BUFFERS - 1) % BUFFERS;
    // Only this thread fills buffers, and never the one submitted last: reading it here while
    // the encoder reads it too is safe.
    std::memcpy(nextBuffer(), buffers_[last].data(), frameBytes_);
    submit();
}

void FrameEncoder::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return queued_ > 0 || closing_; });
        if (queued_ == 0 || abandoning_) return;
        const uint8_t* frame = buffers_[(head_ + BUFFERS - queued_) % BUFFERS].data();
        lock.unlock();
        // After a failure the frames are only drained, so the drawing side never blocks.
        if (!failed_.load()) {
            std::string error;
            if (writeVideoFrame(*writer_, frame, rowBytes_, error)) {
                written_.fetch_add(1);
            } else {
                failure_ = error;
                failed_.store(true);
            }
        }
        lock.lock();
        --queued_;
        changed_.notify_all();
    }
}

void FrameEncoder::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool FrameEncoder::finish(std::string& error) {
    if (writer_ == nullptr) {
        error = "the video was never opened";
        return false;
    }
    stop();
    bool done = false;
    if (failed_.load()) {
        error = failure_;
        abandonVideo(*writer_);
    } else {
        done = finishVideo(*writer_, error);
    }
    stats_ = videoStats(*writer_);
    writer_.reset();
    return done;
}

void FrameEncoder::abandon() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        abandoning_ = true;
    }
    stop();
    if (writer_ == nullptr) return;
    abandonVideo(*writer_);
    stats_ = videoStats(*writer_);
    writer_.reset();
}
