// Start-up and shut-down of a run, in their fixed order.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/driver_state.h"

// The platform and loading operations that start-up calls, in one place so that a test can
// watch their order. The real ones are the defaults.
struct StartupSteps {
    int32_t (*readKeyframes)(const char* path, std::vector<Keyframe>& table);
    bool (*createGlWindow)(const char* title, int32_t width, int32_t height, int32_t bits,
                           bool fullscreen);
    void (*loadScene)(Scene& scene, const char* directory, uint32_t boneCount, bool appendMirror);
    bool (*musicInit)();
    bool (*musicLoad)(const char* file);
    bool (*musicPlay)(bool loop);
    int64_t (*readCounter)();
    double (*readFrequency)();
};

StartupSteps realStartupSteps();

// Everything up to the first frame. False when the window could not be made.
bool startUp(DriverState& state, bool showMode, const StartupSteps& steps);

// Frees the music, closes the window and destroys the scenes, last slot first.
void shutDown(DriverState& state);

// The whole run of one set-up; returns the process exit code.
int runProgram(bool showMode);
