#include "driver/startup.h"

#include <cstdio>

#include "driver/frame_loop.h"
#include "driver/keyframes.h"
#include "platform/clock.h"
#include "platform/music.h"
#include "platform/window.h"
#include "scene/scene_loader.h"

StartupSteps realStartupSteps() {
    return StartupSteps{&readKeyframes,
                        &createGlWindow,
                        &loadScene,
                        &musicInit,
                        &musicLoad,
                        &musicPlay,
                        &readPerformanceCounter,
                        &readPerformanceFrequency};
}

bool startUp(DriverState& state, bool showMode, const StartupSteps& steps) {
    initDriverState(state, showMode);
    if (showMode) {
        state.keyframeCount = steps.readKeyframes(keyframeFileName, state.keyframes);
        std::printf("%d\n", state.keyframeCount);
        std::fflush(stdout);
    }
    // The loader uploads textures, so the window and its GL context come first.
    if (!steps.createGlWindow(windowTitle, windowWidth, windowHeight, colorBits, showMode)) {
        for (int32_t slot = sceneSlotCount - 1; slot >= 0; --slot) state.scenes[slot] = Scene{};
        return false;
    }
    for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
        const SceneSlotConfig& config = sceneSlots[slot];
        steps.loadScene(state.scenes[slot], config.directory, config.boneCount,
                        config.appendMirror);
    }
    setCameraStartValues(state);
    steps.musicInit();
    steps.musicLoad(musicFileName);
    steps.musicPlay(false);
    // Time 0 is the moment just after the music started: seconds on the clock are seconds
    // into the track.
    state.clock.frequency = steps.readFrequency();
    state.clock.start = steps.readCounter();
    state.clock.seconds = 0.0;
    state.drift = {0.0f, 0.0f, 0.0f};
    state.frameTime = 0.0f;
    return true;
}

void shutDown(DriverState& state) {
    musicFree();
    killGlWindow();
    for (int32_t slot = sceneSlotCount - 1; slot >= 0; --slot) state.scenes[slot] = Scene{};
}

int runProgram(bool showMode) {
    DriverState state;
    if (!startUp(state, showMode, realStartupSteps())) return 1;
    const int exitCode = runFrameLoop(state);
    shutDown(state);
    std::fflush(stdout);
    return exitCode;
}
