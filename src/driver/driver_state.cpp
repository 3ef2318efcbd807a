#include "driver/driver_state.h"

void initDriverState(DriverState& state, bool showMode) {
    for (Scene& scene : state.scenes) scene = Scene{};
    state.keyframes.clear();
    state.keyframeCount = 0;
    state.playback = showMode;
    state.running = true;
    state.currentScene = 0;
    state.selectedVertex = 0;
    state.dragging = false;
    state.pinOnRelease = false;
    state.rawAverage = false;
    state.drift = {0.0f, 0.0f, 0.0f};
    state.dragTarget = {0.0, 0.0, 0.0};
    setCameraStartValues(state);
    state.showTime = 0.0f;
    state.frameTime = 0.0f;
    state.clock = ShowClock{0, 1.0, 0.0};
    state.pickDepth = 0.0;
    state.studio = Studio{};
    state.timeline = builtInTimeline;
    state.platformStarted = false;
    state.musicFailed = false;
    // The heads-up display starts off: until a studio key is pressed the authoring tool draws
    // exactly the plain tool's frames.
    state.studio.mode = showMode ? StudioMode::Show : StudioMode::Starting;
}

void setCameraStartValues(DriverState& state) {
    state.fov = startFov;
    state.dx = startDx;
    state.dy = startDy;
    state.dz = startDz;
    state.ox = eyeOffset;
    state.oy = eyeOffset;
    state.oz = eyeOffset;
    state.ra = startRa;
    state.rb = startRb;
}
