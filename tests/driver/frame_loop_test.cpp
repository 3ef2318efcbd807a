#include "driver/frame_loop.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "driver/load_scene.h"
#include "fake_platform.h"
#include "gl_context.h"
#include "show_folder.h"

namespace {

// Slot backgrounds of their own colours, so that a frame tells which one it drew.
const unsigned char slotColour[sceneSlotCount][3] = {
    {200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {200, 200, 40}, {40, 200, 200}, {240, 240, 240},
};

class FrameLoop : public testing::Test {
protected:
    void SetUp() override {
        ensureGlContext();
        initDriverState(state, false);
        WorkingDirectory here(folder.path());
        // Background-only slots: the frames test the timeline, not the meshes.
        for (int slot = 0; slot < sceneSlotCount; ++slot) {
            const std::string dir = sceneSlots[slot].directory;
            makeFolder(dir);
            std::vector<unsigned char> pixels(8 * 8 * 3);
            for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = slotColour[slot][i % 3];
            writePng(dir + "/bkg.png", 8, 8, 3, pixels);
            loadScene(state.scenes[slot], dir.c_str(), 0, false, textures);
        }
        platform.setClock(0.0);
        state.clock = ShowClock{0, 1e6, 0.0};
    }

    // The middle of the window shows the background of `slot` at `brightness`.
    void expectCentre(int slot, double brightness = 1.0) {
        const Pixel p = readPixel(640, 360);
        EXPECT_NEAR(p.r, slotColour[slot][0] * brightness, 2);
        EXPECT_NEAR(p.g, slotColour[slot][1] * brightness, 2);
        EXPECT_NEAR(p.b, slotColour[slot][2] * brightness, 2);
    }

    FrameOutcome frameAt(double seconds) {
        platform.setClock(seconds);
        return runFrame(platform, state, input, matrices);
    }

    TempFolder folder;
    FakePlatform platform;
    int32_t textures = 0;
    DriverState state;
    InputTable input{};
    MatrixStore matrices{};
};

}  // namespace

TEST_F(FrameLoop, AuthoringFollowsTheSectionsOfTheMusic) {
    const struct {
        double time;
        int slot;
    } steps[] = {{0.0, 0},  {20.0, 0},  {20.001, 1}, {40.0, 1},  {40.01, 2},
                 {59.0, 2}, {59.01, 3}, {78.5, 3},   {78.51, 4}, {300.0, 4}};
    for (const auto& step : steps) {
        EXPECT_EQ(frameAt(step.time), FrameOutcome::Continue);
        EXPECT_EQ(state.currentScene, step.slot) << "at " << step.time << " s";
    }
}

TEST_F(FrameLoop, OneLateFrameAdvancesSeveralSlotsAndAHandChosenSlotIsLeftAlone) {
    frameAt(45.0);
    EXPECT_EQ(state.currentScene, 2);
    frameAt(80.0);
    EXPECT_EQ(state.currentScene, 4);

    initDriverState(state, false);
    state.clock = ShowClock{0, 1e6, 0.0};
    input.keys[VK_F6] = 1;  // slot 5: no test expects it
    frameAt(50.0);
    EXPECT_EQ(state.currentScene, 5);
    input.keys[VK_F6] = 0;
    frameAt(90.0);
    EXPECT_EQ(state.currentScene, 5);
}

TEST_F(FrameLoop, PlaybackEndsOnTheFirstFrameAfter87SecondsNotAtIt) {
    state.playback = true;
    EXPECT_EQ(frameAt(86.9), FrameOutcome::Continue);
    EXPECT_EQ(frameAt(87.0), FrameOutcome::Continue);
    EXPECT_EQ(frameAt(87.00001), FrameOutcome::ShowEnded);
    // The time tests of the authoring set-up play no part in playback.
    EXPECT_EQ(state.currentScene, 0);
}

TEST_F(FrameLoop, FrameTimeIsTheClockBetweenTheStartAndTheEndOfTheFrame) {
    platform.setClock(10.0);
    platform.setClockStep(0.25);  // every reading moves the clock on
    runFrame(platform, state, input, matrices);
    EXPECT_EQ(state.showTime, 10.0f);
    EXPECT_GT(state.frameTime, 0.0f);
    EXPECT_EQ(state.frameTime, float(state.clock.seconds - double(state.showTime)));
}

TEST_F(FrameLoop, TheClosingPictureIsSlotFiveAtFullBrightnessHeldForTwoSecondsOnTheClock) {
    state.playback = true;
    platform.setClock(87.5);
    platform.setClockStep(0.01);
    runClosingSequence(platform, state);
    // The hold started at the first reading after the picture went up.
    EXPECT_GE(state.clock.seconds - 87.5, 2.0);
    EXPECT_LT(state.clock.seconds - 87.5, 2.05);
    expectCentre(5);
}

TEST_F(FrameLoop, EscapeDrawsNothingInItsFrame) {
    glClearColor(0.5f, 0.25f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    input.keys[VK_ESCAPE] = 1;
    EXPECT_EQ(frameAt(30.0), FrameOutcome::Escaped);
    EXPECT_FALSE(state.running);
    const Pixel p = readPixel(640, 360);
    EXPECT_NEAR(p.r, 128, 1);
    EXPECT_NEAR(p.g, 64, 1);
    EXPECT_NEAR(p.b, 191, 1);
}

TEST_F(FrameLoop, TheLoopEndsWithCodeZeroOnAQuitEventAndAfterEscape) {
    platform.quitPending = true;
    EXPECT_EQ(runFrameLoop(platform, state), LoopEnd::Closed);

    platform.table.keys[VK_ESCAPE] = 1;
    platform.recordCalls = true;
    EXPECT_EQ(runFrameLoop(platform, state), LoopEnd::Closed);
    EXPECT_FALSE(state.running);
    EXPECT_EQ(platform.calls.back(), "closeWindowAndDrain");
}

TEST_F(FrameLoop, TheBackgroundFadesInBetween11And14Seconds) {
    const struct {
        double time;
        double brightness;
    } steps[] = {{5.0, 0.0}, {10.99, 0.0}, {12.5, 0.5}, {14.0, 1.0}, {19.0, 1.0}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.time);
        frameAt(step.time);
        expectCentre(0, step.brightness);
    }
}

TEST_F(FrameLoop, AShowsOwnTimelineSetsTheFadeTheSectionsAndTheEndOfPlayback) {
    std::string error;
    ASSERT_TRUE(parseTimeline("fade 0.5 3\nsections 8 52.5 101 150\nend 212.6\n", "t",
                              state.timeline, error))
        << error;
    const Timeline timeline = state.timeline;
    const struct {
        bool playback;
        double time;
        FrameOutcome outcome;
        int slot;
        double brightness;  // of slot 0's background; negative: not looked at
    } steps[] = {
        {false, 0.4, FrameOutcome::Continue, 0, 0.0},
        {false, 1.75, FrameOutcome::Continue, 0, 0.5},
        {false, 3.0, FrameOutcome::Continue, 0, 1.0},
        {false, 8.0, FrameOutcome::Continue, 0, -1},
        {false, 8.001, FrameOutcome::Continue, 1, -1},
        {false, 52.5, FrameOutcome::Continue, 1, -1},
        {false, 52.51, FrameOutcome::Continue, 2, -1},
        {false, 101.01, FrameOutcome::Continue, 3, -1},
        {false, 150.01, FrameOutcome::Continue, 4, -1},
        {false, 300.0, FrameOutcome::Continue, 4, -1},
        {true, 87.5, FrameOutcome::Continue, 0, -1},
        {true, 212.6, FrameOutcome::Continue, 0, -1},
        {true, 212.61, FrameOutcome::ShowEnded, 0, -1},
    };
    bool playback = false;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.time);
        if (step.playback != playback) {
            initDriverState(state, true);
            state.clock = ShowClock{0, 1e6, 0.0};
            state.timeline = timeline;
            playback = true;
        }
        EXPECT_EQ(frameAt(step.time), step.outcome);
        EXPECT_EQ(state.currentScene, step.slot);
        if (step.brightness >= 0.0) expectCentre(0, step.brightness);
    }
}

TEST_F(FrameLoop, TheBackgroundOfAFrameIsTheSlotBeforeTheTimeTests) {
    frameAt(20.5);  // slot 0 becomes 1 after its background was drawn
    EXPECT_EQ(state.currentScene, 1);
    expectCentre(0);
    frameAt(20.6);
    expectCentre(1);
}

TEST_F(FrameLoop, ACaptureFrameSolvesOnTheShowsViewportAndASimulatedOneDrawsNothing) {
    state.playback = true;
    platform.plan.solveOnShowWindow = true;
    glViewport(0, 0, 640, 360);  // a capture drawing at another size
    EXPECT_EQ(frameAt(30.0), FrameOutcome::Continue);
    EXPECT_EQ(matrices.viewport[2], windowWidth);
    EXPECT_EQ(matrices.viewport[3], windowHeight);
    EXPECT_EQ(platform.swaps, 1);
    resetViewport();

    glClearColor(0.5f, 0.25f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    platform.plan.draw = false;
    EXPECT_EQ(frameAt(30.5), FrameOutcome::Continue);
    EXPECT_EQ(platform.swaps, 1);
    const Pixel p = readPixel(640, 360);
    EXPECT_NEAR(p.r, 128, 1);
    EXPECT_NEAR(p.b, 191, 1);
}
