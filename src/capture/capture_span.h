// Which frames of a run at a fixed frame rate a capture keeps.
#pragma once

#include <cstdint>
#include <string>

#include "capture/capture_options.h"
#include "scene/timeline.h"

// Frame n of a run stands for show time n / fps, where it starts in the file and the sound, but
// samples the show a little later, at n / fps + `lateness` tenths of a millisecond: a row of the
// script plays only strictly between its own time and the next row's, so frames that fell
// exactly on a grid of rows (every frame at 10 or 25 fps on rows 0.02 s apart) would never see
// one. The offset is far below a frame and at least two of a float's steps at the end of the
// run, where the frame loop's float clock is coarsest: 0.1 ms for a run under 512 s (the
// built-in one among them), up to 0.5 ms for an hour. The capture keeps [firstFrame, endFrame).
struct CaptureSpan {
    int64_t firstFrame = 0;
    int64_t endFrame = 0;
    int lateness = 1;
};

// The lateness of the frames of a run of `timeline`, in tenths of a millisecond.
int sampleLateness(const Timeline& timeline);

// The capture's clock counts FRAME_TICKS a frame, fps * FRAME_TICKS a second.
constexpr int64_t FRAME_TICKS = 10000;

// The clock's reading while frame `frame` is worked out; 0 is the start of the music.
int64_t frameTicks(int64_t frame, int fps, int lateness);

// The show time that frame `frame` samples, as the frame loop computes it from the clock.
double frameShowSeconds(int64_t frame, int fps, int lateness);

// Frames of a whole run of `timeline` at `fps`: up to the first frame past the end of the show,
// whose closing picture is then held for the closing time, one frame per step of the clock.
int64_t wholeRunFrames(int fps, const Timeline& timeline);

// The span of the options' --from and --to, cut at the end of the run. False with the reason
// when no frame is left.
bool captureSpan(const CaptureOptions& options, const Timeline& timeline, CaptureSpan& span,
                 std::string& error);
