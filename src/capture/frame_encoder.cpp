#include "capture/frame_encoder.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <future>

namespace {

// Niceness added to the encoder's thread, and so to x264's, which it starts. The drawing is one
// chain that only llvmpipe's rasterizer threads share out; the encoder works from a queue and
// can fill any gap in it. Given way to, the drawing runs at the pace of both cores, the encoder
// takes every cycle it leaves, and once the queue is full the drawing waits and the encoder has
// both cores. (Linux keeps niceness per thread, and weighs it only within the process's own
// group of the scheduler: other programs see the capture as before.)
const int ENCODER_NICENESS = 10;

}  // namespace

FrameEncoder::~FrameEncoder() {
    abandon();
}

bool FrameEncoder::open(const VideoOptions& options, std::string& error) {
    VideoOptions rgba = options;
    rgba.bytesPerPixel = 4;
    rowBytes_ = rgba.width * 4;
    std::promise<bool> opened;
    std::future<bool> result = opened.get_future();
    // The video is opened on the encoder's thread, after it gave way: x264's threads, started
    // there, take its niceness over.
    thread_ = std::thread([this, rgba, &opened, &error] {
        errno = 0;
        const int niceness = getpriority(PRIO_PROCESS, 0);
        if (errno == 0) setpriority(PRIO_PROCESS, 0, niceness + ENCODER_NICENESS);
        writer_ = openVideo(rgba, error);
        if (writer_ != nullptr) {
            for (std::vector<uint8_t>& buffer : buffers_)
                buffer.assign(size_t(rowBytes_) * size_t(rgba.height), 0);
        }
        opened.set_value(writer_ != nullptr);
        if (writer_ != nullptr) run();
    });
    if (result.get()) return true;
    thread_.join();
    return false;
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
