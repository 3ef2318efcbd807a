// The capture's progress on stderr: a bar redrawn in place on a terminal, one summary line at
// the end either way.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

struct CaptureProgress {
    std::FILE* out = stderr;
    bool terminal = false;  // redraw a bar; otherwise stay quiet until the summary
    int64_t total = 0;      // frames to capture
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDrawn;
    std::chrono::steady_clock::time_point firstDone;  // speed and time left count from here
    int64_t doneAtFirst = 0;
    bool started = false;
    bool drawn = false;
};

void startProgress(CaptureProgress& progress, std::FILE* out, bool terminal, int64_t total);

// Redraws the bar, at most ten times a second. Before the span only the frames worked out on
// the way to it (`frame` of `firstFrame`) are shown.
void showProgress(CaptureProgress& progress, int64_t done, int64_t frame, int64_t firstFrame);

// Takes the bar off the line and prints `line` in its place.
void endProgress(CaptureProgress& progress, const std::string& line);

double progressSeconds(const CaptureProgress& progress);

// "1:05" or "1:02:03".
std::string clockText(double seconds);
