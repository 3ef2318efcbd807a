#include "driver/startup.h"

#include <cstdio>
#include <string>

#include "driver/frame_loop.h"
#include "driver/keyframes.h"
#include "driver/load_scene.h"

StartupSteps realStartupSteps() {
    return StartupSteps{&readKeyframes, &loadScene};
}

bool startUp(Platform& platform, DriverState& state, bool showMode, const StartupSteps& steps) {
    initDriverState(state, showMode);
    // Every time of the run depends on it, so a bad one stops the run before it starts.
    std::string error;
    if (!readTimeline(".", state.timeline, error)) {
        platform.showErrorBox(error.c_str());
        return false;
    }
    state.platformStarted = true;
    if (showMode) {
        state.keyframeCount = steps.readKeyframes(keyframeFileName, state.keyframes);
        std::fprintf(state.console, "%d\n", state.keyframeCount);
        std::fflush(state.console);
    }
    // The loader uploads textures, so the window and its GL context come first.
    // Nothing is loaded before the window exists, so a failure here leaves only empty slots.
    if (!platform.createGlWindow(windowTitle, windowWidth, windowHeight, colorBits, showMode)) {
        return false;
    }
    int32_t nextTexture = 0;
    for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
        const SceneSlotConfig& config = sceneSlots[slot];
        steps.loadScene(state.scenes[slot], config.directory, config.boneCount, config.appendMirror,
                        nextTexture);
    }
    setCameraStartValues(state);
    if (!platform.musicInit() || !platform.musicLoad(musicFileName) || !platform.musicPlay(false)) {
        state.musicFailed = true;
        return false;
    }
    // Time 0 is the moment just after the music started: seconds on the clock are seconds
    // into the track.
    state.clock.frequency = platform.readPerformanceFrequency();
    state.clock.start = platform.readPerformanceCounter();
    state.clock.seconds = 0.0;
    state.drift = {0.0f, 0.0f, 0.0f};
    state.frameTime = 0.0f;
    return true;
}

void shutDown(Platform& platform, DriverState& state) {
    if (!state.platformStarted) return;
    platform.musicFree();
    platform.killGlWindow();
    for (int32_t slot = sceneSlotCount - 1; slot >= 0; --slot) state.scenes[slot] = Scene{};
}

int runProgram(Platform& platform, bool showMode) {
    DriverState state;
    int exitCode = 1;
    if (startUp(platform, state, showMode, realStartupSteps())) {
        // The end of the show ends the process as it stands: the music was freed by the
        // closing sequence, and the window and the scenes go with the process.
        if (runFrameLoop(platform, state) == LoopEnd::ShowEnded) {
            std::fflush(stdout);
            return 0;
        }
        exitCode = 0;
    } else if (state.musicFailed) {
        // An audio failure ends the run where it happened: the platform has shown its box and
        // freed the library, and nothing else is torn down first (a failure's code, not 0).
        std::fflush(stdout);
        return 1;
    }
    shutDown(platform, state);
    std::fflush(stdout);
    return exitCode;
}
