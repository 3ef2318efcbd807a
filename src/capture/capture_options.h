// The command line of kelvaro-capture.
#pragma once

#include <string>
#include <vector>

#include "scene/show_facts.h"

struct CaptureOptions {
    int framesPerSecond = 60;
    int width = windowWidth;  // the show's own window by default
    int height = windowHeight;
    int supersample = 1;              // drawn this many times larger each way, then filtered down
    double fromSeconds = 0.0;         // show time of the first captured frame
    double toSeconds = -1.0;          // end of the span; negative: the end of the show
    int crf = 18;                     // x264's constant quality: 0 lossless, 51 worst
    std::string preset = "veryfast";  // x264's speed against size
    double keyintSeconds = 2.0;       // the longest stretch between keyframes
    bool verbose = false;             // the summary tells where the time went
    std::string outputPath;           // its ending picks the container
};

enum class CaptureCommand {
    Capture,  // the options are complete
    Help,     // print the usage and stop
    Bad,      // the reason is in the error text; exit code 2
};

constexpr int MAX_CAPTURE_WIDTH = 3840;
constexpr int MAX_CAPTURE_HEIGHT = 2160;
constexpr int MAX_CAPTURE_FPS = 240;
constexpr int MAX_SUPERSAMPLE = 4;
constexpr int MAX_CRF = 51;

// `arguments` leaves out the program name.
CaptureCommand parseCaptureOptions(const std::vector<std::string>& arguments,
                                   CaptureOptions& options, std::string& error);

const char* captureUsage();
