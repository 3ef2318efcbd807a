// kelvaro-capture: the show in the current folder rendered at a fixed frame rate to an MP4 file,
// without a display or a sound card.
#include <stdlib.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/capture_options.h"
#include "capture/capture_platform.h"
#include "capture/capture_progress.h"
#include "capture/capture_span.h"
#include "driver/frame_loop.h"
#include "driver/startup.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

// Installed before the video starts, so that SDL, which only takes signals nobody else has,
// leaves them to us.
void catchStopSignals() {
    struct sigaction action {};
    action.sa_handler = &requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::string summary(const CapturePlatform& platform, const CaptureOptions& options,
                    double seconds) {
    const VideoStats video = platform.videoStatistics();
    const CaptureTimes& times = platform.times();
    const int frames = video.framesWritten;
    char text[512];
    std::snprintf(text, sizeof text,
                  "kelvaro-capture: %s: %d frames (%.2f s of video), %.1f MB in %.1f s, %.1f "
                  "frames/s",
                  options.outputPath.c_str(), frames, double(frames) / options.framesPerSecond,
                  double(video.bytesWritten) / 1e6, seconds,
                  seconds > 0.0 ? frames / seconds : 0.0);
    std::string line = text;
    if (!options.verbose) return line;
    // The drawing (and the solve) is what is left of the wall-clock time on the drawing side;
    // the conversion and the encoding run beside it on the encoder's thread.
    const double drawing =
        seconds - times.before - times.readBack - times.filter - times.encoderWait - times.finish;
    std::snprintf(text, sizeof text,
                  "; start-up and frames before the span %.1f s, drawing %.1f s, read-back %.1f s, "
                  "filter %.1f s, waiting for the encoder %.1f s, last frames and file %.1f s; "
                  "beside them colour conversion %.1f s, encoding %.1f s",
                  times.before, drawing, times.readBack, times.filter, times.encoderWait,
                  times.finish, video.convertSeconds, video.encodeSeconds);
    return line + text;
}

}  // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    std::string error;
    const CaptureCommand command =
        parseCaptureOptions(std::vector<std::string>(argv + 1, argv + argc), options, error);
    if (command == CaptureCommand::Help) {
        std::fputs(captureUsage(), stdout);
        return 0;
    }
    if (command == CaptureCommand::Bad) {
        std::fprintf(stderr, "kelvaro-capture: %s\nTry 'kelvaro-capture --help'.\n", error.c_str());
        return 2;
    }
    // The run's length is the timeline's, so the span can only be told once it is read; a bad
    // one ends the capture before anything is written.
    Timeline timeline = builtInTimeline;
    if (!readTimeline(".", timeline, error)) {
        std::fprintf(stderr, "kelvaro-capture: %s\n", error.c_str());
        return 1;
    }
    CaptureSpan span;
    if (!captureSpan(options, timeline, span, error)) {
        std::fprintf(stderr, "kelvaro-capture: %s\nTry 'kelvaro-capture --help'.\n", error.c_str());
        return 2;
    }

    catchStopSignals();
    // A GL context without a display, whatever the environment says; no sound device at all.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);

    CaptureProgress progress;
    startProgress(progress, stderr, isatty(STDERR_FILENO) != 0, span.endFrame - span.firstFrame);
    DriverState state;
    CapturePlatform platform(options, span, stopRequested, progress);
    if (startUp(platform, state, true, realStartupSteps())) runFrameLoop(platform, state);
    shutDown(platform, state);
    std::fflush(stdout);

    if (!platform.finishCapture(error)) {
        endProgress(progress, "kelvaro-capture: " + error + "; no video written");
        return 1;
    }
    endProgress(progress, summary(platform, options, progressSeconds(progress)));
    return 0;
}
