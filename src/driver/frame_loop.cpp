#include "driver/frame_loop.h"

#include <cstdio>

#include "driver/controls.h"
#include "driver/solve.h"
#include "driver/studio.h"
#include "render/camera.h"
#include "render/drawing.h"
#include "render/frame.h"

double readShowClock(Platform& platform, ShowClock& clock) {
    const int64_t now = platform.readPerformanceCounter();
    clock.seconds = double(now - clock.start) / clock.frequency;
    return clock.seconds;
}

namespace {

// In the authoring set-up the slots follow the timeline's sections; each test sees the result of
// the one before, so one late frame can move on several slots.
void followTimeline(DriverState& state) {
    for (int32_t slot = 0; slot < 4; ++slot) {
        if (state.showTime > state.timeline.sections[slot] && state.currentScene == slot) {
            state.currentScene = slot + 1;
        }
    }
}

void presentFrame(Platform& platform) {
    finishFrame();
    platform.swapBuffers();
}

}  // namespace

FrameOutcome runFrame(Platform& platform, DriverState& state, const InputTable& input,
                      MatrixStore& matrices) {
    const FramePlan plan = platform.planFrame();
    // In the authoring tool the studio's transport stands between the counter and the clock.
    state.showTime = float(studioRuns(state.studio) ? startStudioFrame(platform, state, input)
                                                    : readShowClock(platform, state.clock));

    handleKeys(state, input);
    handleMouse(state, studioRuns(state.studio) ? studioMouseInput(state, input) : input, matrices);

    FrameOutcome outcome = FrameOutcome::Continue;
    if (!state.running) {
        outcome = FrameOutcome::Escaped;
    } else {
        if (plan.draw) {
            drawBackground(state.scenes[state.currentScene].backgroundTexture,
                           fadeBrightness(state.timeline, state.showTime), windowWidth,
                           windowHeight);
        }
        bool closingPicture = false;
        if (state.playback) {
            // The studio's preview of the script shows the closing picture as the show does,
            // but never closes the tool.
            if (state.showTime > state.timeline.end) {
                if (!previewing(state.studio.mode)) return FrameOutcome::ShowEnded;
                closingPicture = true;
            }
        } else if (!previewing(state.studio.mode)) {
            // A drag begun in the preview keeps the slot the script gave it.
            followTimeline(state);
        }
        if (closingPicture) {
            if (plan.draw) {
                drawBackground(state.scenes[closingSlot].backgroundTexture, 1.0f, windowWidth,
                               windowHeight);
                drawStudioHeadsUp(state);
                presentFrame(platform);
            }
            finishStudioFrame(platform, state);
            return outcome;
        }
        Scene& scene = state.scenes[state.currentScene];
        setupCamera(scene.mesh, state.fov, state.dx, state.dy, state.dz, state.ox, state.oy,
                    state.oz, state.ra, state.rb, windowWidth, windowHeight);
        readMatrixStore(matrices);
        if (plan.solveOnShowWindow) {
            matrices.viewport[0] = 0;
            matrices.viewport[1] = 0;
            matrices.viewport[2] = windowWidth;
            matrices.viewport[3] = windowHeight;
        }
        if (scene.boneCount != 0) {
            solveDeformation(scene, state.drift, state.rawAverage, matrices, state.solveWorkers);
            recentreDepth(scene, state.drift);
            if (plan.draw) {
                drawMesh(scene.mesh, scene.texWidth, scene.texHeight, scene.meshTexture);
            }
        }
        if (plan.draw) {
            drawStudioHeadsUp(state);
            presentFrame(platform);
        }
    }

    if (studioRuns(state.studio)) {
        finishStudioFrame(platform, state);
        return outcome;
    }
    const double seconds = readShowClock(platform, state.clock);
    state.frameTime = float(seconds - double(state.showTime));
    return outcome;
}

void runClosingSequence(Platform& platform, DriverState& state) {
    platform.musicFree();
    drawBackground(state.scenes[closingSlot].backgroundTexture, 1.0f, windowWidth, windowHeight);
    presentFrame(platform);
    const float holdStart = float(readShowClock(platform, state.clock));
    while (readShowClock(platform, state.clock) - double(holdStart) < state.timeline.hold) {
        platform.sleepMilliseconds(1);
    }
}

LoopEnd runFrameLoop(Platform& platform, DriverState& state) {
    MatrixStore matrices{};
    for (;;) {
        if (!platform.pumpMessages()) {
            leaveStudio(state);
            return LoopEnd::Closed;
        }
        const FrameOutcome outcome = runFrame(platform, state, platform.input(), matrices);
        if (outcome == FrameOutcome::ShowEnded) {
            // The end of the show: nothing is drawn after the closing picture, and the run
            // ends as soon as the hold is over.
            runClosingSequence(platform, state);
            return LoopEnd::ShowEnded;
        }
        if (outcome == FrameOutcome::Escaped) {
            leaveStudio(state);
            platform.closeWindowAndDrain();
            return LoopEnd::Closed;
        }
    }
}
