#include "capture/capture_span.h"

#include <cmath>
#include <cstdio>

namespace {

// Far past the end of any run, and far inside an int64_t.
constexpr double FAR_FRAME = 1e15;

// The first frame at or after `seconds`; a time given in decimals lands a hair off a frame. A
// time beyond every run (--from 1e300) is some frame past the end, not a number too large for
// the frame count.
int64_t frameAtOrAfter(double seconds, int fps) {
    const double frame = std::ceil(seconds * fps - 1e-6);
    return frame < FAR_FRAME ? int64_t(frame) : int64_t(FAR_FRAME);
}

}  // namespace

int sampleLateness(const Timeline& timeline) {
    // The frame loop rounds the clock to float: past the run's end a float's step is widest.
    const float last = float(runLength(timeline));
    const double step = double(std::nextafter(last, 2.0f * last)) - double(last);
    int lateness = 1;
    while (double(lateness) * 1e-4 < 2.0 * step) ++lateness;
    return lateness;
}

int64_t frameTicks(int64_t frame, int fps, int lateness) {
    // A tenth of a millisecond is fps ticks.
    return frame * FRAME_TICKS + int64_t(fps) * lateness;
}

double frameShowSeconds(int64_t frame, int fps, int lateness) {
    return double(frameTicks(frame, fps, lateness)) / (double(fps) * double(FRAME_TICKS));
}

int64_t wholeRunFrames(int fps, const Timeline& timeline) {
    // The same arithmetic as the frame loop's: the show time of a frame is rounded to float
    // before the test against the end, the hold is measured in doubles from a float start.
    const int lateness = sampleLateness(timeline);
    int64_t ended = 0;
    while (!(float(frameShowSeconds(ended, fps, lateness)) > timeline.end)) ++ended;
    // The closing picture is presented in frame `ended`; the hold starts on the next one.
    const int64_t holdStart = ended + 1;
    const double holdStartSeconds = double(float(frameShowSeconds(holdStart, fps, lateness)));
    int64_t frame = holdStart;
    while (frameShowSeconds(frame, fps, lateness) - holdStartSeconds < timeline.hold) ++frame;
    return frame;
}

bool captureSpan(const CaptureOptions& options, const Timeline& timeline, CaptureSpan& span,
                 std::string& error) {
    const int fps = options.framesPerSecond;
    const int64_t whole = wholeRunFrames(fps, timeline);
    span.lateness = sampleLateness(timeline);
    span.firstFrame = frameAtOrAfter(options.fromSeconds, fps);
    span.endFrame = whole;
    if (options.toSeconds >= 0.0 && frameAtOrAfter(options.toSeconds, fps) < whole)
        span.endFrame = frameAtOrAfter(options.toSeconds, fps);
    if (span.firstFrame >= span.endFrame) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "the span holds no frame: the run ends at %.3f s of show time",
                      double(whole) / fps);
        error = text;
        return false;
    }
    return true;
}
