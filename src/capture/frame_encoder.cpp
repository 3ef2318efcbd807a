#include "capture/frame_encoder.h"

#include <algorithm>

FrameEncoder::~FrameEncoder() {
    abandon();
}

bool FrameEncoder::open(const VideoOptions& options, std::string& error) {
    VideoOptions rgba = options;
    rgba.bytesPerPixel = 4;
    writer_ = openVideo(rgba, error);
    if (writer_ == nullptr) return false;
    rowBytes_ = rgba.width * 4;
    for (std::vector<uint8_t>& buffer : buffers_)
        buffer.assign(size_t(rowBytes_) * size_t(rgba.height), 0);
    thread_ = std::thread(&FrameEncoder::run, this);
    return true;
}

bool FrameEncoder::bufferFree(int buffer) const {
    return std::none_of(queue_.begin(), queue_.end(),
                        [buffer](const Entry& entry) { return entry.buffer == buffer; });
}

uint8_t* FrameEncoder::nextBuffer() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return bufferFree(head_); });
    return buffers_[head_].data();
}

void FrameEncoder::submit() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(Entry{head_, false});
        last_ = head_;
        head_ = (head_ + 1) % BUFFERS;
    }
    changed_.notify_all();
}

void FrameEncoder::repeat() {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (last_ < 0) return;
        // The queue is kept as short as with fresh pictures, so the encoder never lags further.
        changed_.wait(lock, [this] { return int(queue_.size()) < BUFFERS; });
        queue_.push_back(Entry{last_, true});
    }
    changed_.notify_all();
}

void FrameEncoder::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
        if (queue_.empty() || abandoning_) return;
        // The buffer stays in the queue while it is read, so nothing draws into it meanwhile.
        const Entry entry = queue_.front();
        lock.unlock();
        // After a failure the frames are only drained, so the drawing side never blocks.
        if (!failed_.load()) {
            std::string error;
            const bool written =
                entry.again
                    ? repeatVideoFrame(*writer_, error)
                    : writeVideoFrame(*writer_, buffers_[entry.buffer].data(), rowBytes_, error);
            if (written) {
                written_.fetch_add(1);
            } else {
                failure_ = error;
                failed_.store(true);
            }
        }
        lock.lock();
        queue_.pop_front();
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
