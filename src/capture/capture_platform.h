// The machine as a capture sees it: a GL context without a display drawing into an offscreen
// framebuffer, a clock that steps one frame at a time, no sound device, and every presented
// frame of the span read back and encoded.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/capture_options.h"
#include "capture/capture_progress.h"
#include "capture/capture_span.h"
#include "capture/frame_encoder.h"
#include "platform/platform.h"
#include "platform/window.h"
#include "render/offscreen_target.h"

// Where a capture's wall-clock time went, in seconds.
struct CaptureTimes {
    double before = 0.0;  // start-up, and the frames before the span worked out
    double readBack = 0.0;
    double filter = 0.0;       // supersampled pictures averaged down
    double encoderWait = 0.0;  // the drawing side waiting for a free buffer
    double finish = 0.0;       // the encoder's queue drained and the file completed
};

class CapturePlatform : public Platform {
public:
    // `stop` is set by the signal handlers.
    CapturePlatform(const CaptureOptions& options, const CaptureSpan& span,
                    const volatile std::sig_atomic_t& stop, CaptureProgress& progress);

    bool createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                        bool fullscreen) override;
    void killGlWindow() override;
    // False once the span is done, on a stop request or after the encoder failed. A frame that
    // presented nothing (only simulated) still takes its step of the clock here.
    bool pumpMessages() override;
    void closeWindowAndDrain() override {}
    const InputTable& input() const override { return input_; }
    // Reads the frame back and queues it for encoding when it is in the span, then steps the
    // clock.
    void swapBuffers() override;
    // No one to answer a box: the text goes to stderr alone.
    void showErrorBox(const char* text) override;
    // Frames before the span are only worked out; every frame's solve sees the show's window.
    FramePlan planFrame() override { return FramePlan{frame_ >= span_.firstFrame, true}; }

    // Counts frames (see frameTicks). Start-up reads the start before the first frame: time 0,
    // where the video's sound begins.
    int64_t readPerformanceCounter() override {
        return frameAtPump_ < 0 ? 0 : frameTicks(frame_, options_.framesPerSecond, span_.lateness);
    }
    double readPerformanceFrequency() override {
        return double(options_.framesPerSecond) * double(FRAME_TICKS);
    }
    // Only the closing hold waits: each wait is one more frame of the held picture.
    void sleepMilliseconds(int milliseconds) override;

    // No sound device: the music file only goes into the video.
    bool musicInit() override { return true; }
    bool musicLoad(const char* file) override;
    bool musicPlay(bool loop) override;
    bool musicFree() override { return true; }
    bool musicSeek(double) override { return false; }
    void musicPause() override {}
    void musicResume() override {}
    double musicPosition() override { return double(frame_) / options_.framesPerSecond; }

    // After the run: completes the video, or gives it up when the run was stopped, failed or
    // never started. False with the reason when no video was written.
    bool finishCapture(std::string& error);

    const std::string& failure() const { return failure_; }
    int framesEncoded() const { return encoder_.framesWritten(); }
    VideoStats videoStatistics() const { return encoder_.stats(); }
    const CaptureTimes& times() const { return times_; }

private:
    bool inSpan() const { return frame_ >= span_.firstFrame && frame_ < span_.endFrame; }
    bool stopping() const { return stop_ != 0 || encoder_.failed(); }
    void captureFrame();

    CaptureOptions options_;
    CaptureSpan span_;
    const volatile std::sig_atomic_t& stop_;
    CaptureProgress& progress_;
    WindowState window_;
    OffscreenTarget target_;
    std::vector<uint8_t> large_;  // the supersampled picture
    FrameEncoder encoder_;
    InputTable input_{};
    std::string musicPath_;
    std::string failure_;
    bool opened_ = false;  // the video was started
    int64_t frame_ = 0;
    int64_t frameAtPump_ = -1;
    bool heldReadBack_ = false;  // the last presented frame is the encoder's last picture
    std::chrono::steady_clock::time_point created_ = std::chrono::steady_clock::now();
    bool spanReached_ = false;
    CaptureTimes times_;
};
