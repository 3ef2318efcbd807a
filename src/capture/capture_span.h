// Which frames of a run at a fixed frame rate a capture keeps.
#pragma once

#include <cstdint>
#include <string>

#include "capture/capture_options.h"

// Frame n of a run is drawn at show time n / fps; the capture keeps [firstFrame, endFrame).
struct CaptureSpan {
    int64_t firstFrame = 0;
    int64_t endFrame = 0;
};

// Frames of a whole run at `fps`: up to the first frame past the end of the show, whose closing
// picture is then held for the closing time, one frame per step of the clock.
int64_t wholeRunFrames(int fps);

// The span of the options' --from and --to, cut at the end of the run. False with the reason
// when no frame is left.
bool captureSpan(const CaptureOptions& options, CaptureSpan& span, std::string& error);
