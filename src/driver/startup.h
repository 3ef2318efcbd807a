// Start-up and shut-down of a run, in their fixed order.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/driver_state.h"
#include "platform/platform.h"

// The loading operations that start-up calls besides the platform's, in one place so that a
// test can watch their order. The real ones are the defaults.
struct StartupSteps {
    int32_t (*readKeyframes)(const char* path, std::vector<Keyframe>& table);
    void (*loadScene)(Scene& scene, const char* directory, uint32_t boneCount, bool appendMirror,
                      int32_t& nextTexture);
};

StartupSteps realStartupSteps();

// Everything up to the first frame, the show folder's timeline.txt read before anything else.
// False when the timeline is bad (after an error box, with nothing else started), the window
// could not be made or the music can't play (then `musicFailed` is set); the run then ends with
// exit code 1.
bool startUp(Platform& platform, DriverState& state, bool showMode, const StartupSteps& steps);

// Frees the music, closes the window and destroys the scenes, last slot first; nothing when
// start-up stopped at the timeline, before any of them.
void shutDown(Platform& platform, DriverState& state);

// The whole run of one set-up on the given platform; returns the process exit code. After the
// end of the show, and after an audio failure, it returns at once, without shutting down.
int runProgram(Platform& platform, bool showMode);
