#include "capture/capture_platform.h"

#include <chrono>
#include <cstdio>

#include "video/box_filter.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

CapturePlatform::CapturePlatform(const CaptureOptions& options, const CaptureSpan& span,
                                 const volatile std::sig_atomic_t& stop, CaptureProgress& progress)
    : options_(options), span_(span), stop_(stop), progress_(progress) {}

bool CapturePlatform::createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                                     bool) {
    // The window only carries the context; its size does not matter, the pictures are drawn
    // in the framebuffer.
    if (!::createGlWindow(window_, title, width, height, bits, false)) {
        failure_ = "no GL context could be made";
        return false;
    }
    const int k = options_.supersample;
    std::string error;
    if (!createOffscreenTarget(target_, options_.width * k, options_.height * k, error)) {
        failure_ = error;
        ::killGlWindow(window_);
        return false;
    }
    if (k > 1) large_.assign(size_t(target_.width) * size_t(target_.height) * 4, 0);
    return true;
}

void CapturePlatform::killGlWindow() {
    if (window_.contextCurrent) destroyOffscreenTarget(target_);
    ::killGlWindow(window_);
}

bool CapturePlatform::musicLoad(const char* file) {
    musicPath_ = file;
    return true;
}

bool CapturePlatform::musicPlay(bool) {
    const int fps = options_.framesPerSecond;
    VideoOptions video;
    video.outputPath = options_.outputPath;
    video.width = options_.width;
    video.height = options_.height;
    video.framesPerSecond = fps;
    video.musicPath = musicPath_;
    video.fromSeconds = double(span_.firstFrame) / fps;
    video.toSeconds = double(span_.endFrame) / fps;
    video.crf = options_.crf;
    video.preset = options_.preset;
    video.keyintSeconds = options_.keyintSeconds;
    opened_ = encoder_.open(video, failure_);
    return opened_;
}

bool CapturePlatform::pumpMessages() {
    if (frameAtPump_ == frame_) ++frame_;
    frameAtPump_ = frame_;
    if (!spanReached_ && frame_ >= span_.firstFrame) {
        spanReached_ = true;
        times_.before = secondsSince(created_);
    }
    showProgress(progress_, encoder_.framesWritten(), frame_, span_.firstFrame);
    if (stopping() || frame_ >= span_.endFrame) return false;
    return true;
}

void CapturePlatform::captureFrame() {
    auto start = std::chrono::steady_clock::now();
    uint8_t* buffer = encoder_.nextBuffer();
    times_.encoderWait += secondsSince(start);
    start = std::chrono::steady_clock::now();
    const int k = options_.supersample;
    readOffscreenPixels(target_, k > 1 ? large_.data() : buffer);
    times_.readBack += secondsSince(start);
    if (k > 1) {
        start = std::chrono::steady_clock::now();
        boxFilterDown(large_.data(), options_.width, options_.height, k, buffer);
        times_.filter += secondsSince(start);
    }
    encoder_.submit();
}

void CapturePlatform::showErrorBox(const char* text) {
    std::fprintf(stderr, "kelvaro-capture: %s\n", text);
}

void CapturePlatform::swapBuffers() {
    heldReadBack_ = false;
    if (opened_ && inSpan() && !stopping()) {
        captureFrame();
        heldReadBack_ = true;
    }
    ++frame_;
}

void CapturePlatform::sleepMilliseconds(int) {
    if (opened_ && inSpan() && !stopping()) {
        if (heldReadBack_) {
            encoder_.repeat();
        } else {
            // The closing picture was presented before the span began; it is still drawn.
            captureFrame();
            heldReadBack_ = true;
        }
        showProgress(progress_, encoder_.framesWritten(), frame_, span_.firstFrame);
    }
    ++frame_;
}

bool CapturePlatform::finishCapture(std::string& error) {
    if (!opened_) {
        error = failure_.empty() ? "the show could not start" : failure_;
        return false;
    }
    if (stop_ != 0) {
        encoder_.abandon();
        error = "interrupted";
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    const bool done = encoder_.finish(error);
    times_.finish = secondsSince(start);
    return done;
}
