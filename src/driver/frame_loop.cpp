#include "driver/frame_loop.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

#include "driver/controls.h"
#include "driver/solve.h"
#include "platform/clock.h"
#include "platform/music.h"
#include "platform/window.h"
#include "render/camera.h"
#include "render/drawing.h"

double readShowClock(ShowClock& clock) {
    const int64_t now = readPerformanceCounter();
    clock.seconds = double(now - clock.start) / clock.frequency;
    return clock.seconds;
}

namespace {

// In the authoring set-up the slots follow the music's sections; each test sees the result of
// the one before, so one late frame can move on several slots.
void followTimeline(DriverState& state) {
    for (int32_t slot = 0; slot < 4; ++slot) {
        if (state.showTime > progressionTimes[slot] && state.currentScene == slot) {
            state.currentScene = slot + 1;
        }
    }
}

void presentFrame() {
    glFlush();
    glFinish();
    swapBuffers();
}

}  // namespace

FrameOutcome runFrame(DriverState& state, const InputTable& input, MatrixStore& matrices) {
    state.showTime = float(readShowClock(state.clock));

    handleKeys(state, input);
    handleMouse(state, input, matrices);

    FrameOutcome outcome = FrameOutcome::Continue;
    if (!state.running) {
        outcome = FrameOutcome::Escaped;
    } else {
        drawBackground(state.scenes[state.currentScene].backgroundTexture,
                       (state.showTime - fadeStart) * fadeRate);
        if (state.playback) {
            if (state.showTime > endOfShow) return FrameOutcome::ShowEnded;
        } else {
            followTimeline(state);
        }
        Scene& scene = state.scenes[state.currentScene];
        setupCamera(scene.mesh, state.fov, state.dx, state.dy, state.dz, state.ox, state.oy,
                    state.oz, state.ra, state.rb);
        readMatrixStore(matrices);
        if (scene.boneCount != 0) {
            solveDeformation(scene, state.drift, state.rawAverage, matrices, state.solveWorkers);
            recentreDepth(scene, state.drift);
            drawMesh(scene.mesh, scene.texWidth, scene.texHeight, scene.meshTexture);
        }
        presentFrame();
    }

    const double seconds = readShowClock(state.clock);
    state.frameTime = float(seconds - double(state.showTime));
    return outcome;
}

void runClosingSequence(DriverState& state) {
    musicFree();
    drawBackground(state.scenes[closingSlot].backgroundTexture, 1.0f);
    presentFrame();
    const float holdStart = float(readShowClock(state.clock));
    while (readShowClock(state.clock) - double(holdStart) < closingHold) sleepMilliseconds(1);
}

int runFrameLoop(DriverState& state) {
    MatrixStore matrices{};
    for (;;) {
        if (!pumpMessages()) return 0;
        const FrameOutcome outcome = runFrame(state, inputTable(), matrices);
        if (outcome == FrameOutcome::ShowEnded) {
            runClosingSequence(state);
            std::fflush(stdout);
            std::exit(0);
        }
        if (outcome == FrameOutcome::Escaped) {
            closeWindowAndDrain();
            return 0;
        }
    }
}
