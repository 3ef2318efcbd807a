// The authoring studio wired into the frames: transport keys, heads-up line and script preview.
#include "driver/studio.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "beat_song.h"
#include "console.h"
#include "driver/frame_loop.h"
#include "driver/keyframes.h"
#include "driver/load_scene.h"
#include "fake_platform.h"
#include "gl_context.h"
#include "platform/sdl_platform.h"
#include "render/timeline_strip.h"
#include "show_folder.h"
#include "window_point.h"

namespace {

const int PGUP = VK_PRIOR, PGDN = VK_NEXT, HOME = VK_HOME, P = VK_P, L = VK_L, H = VK_H,
          F12 = VK_F12;

constexpr int32_t centreVertex = 12;  // the middle of each slot's 5 x 5 grid

// One frame of a table: the counter's seconds, the keys held, and what must hold after it.
struct Step {
    double wall;
    std::initializer_list<int> keys;
    double time;   // the show clock
    double music;  // where the platform was told the music is
    int slot;
};

class StudioFrames : public testing::Test {
protected:
    void SetUp() override {
        ensureGlContext();
        here = std::make_unique<WorkingDirectory>(folder.path());
        // Light backgrounds, so the heads-up band shows up dark against them.
        for (int slot = 0; slot < sceneSlotCount; ++slot) {
            const std::string dir = sceneSlots[slot].directory;
            makeFolder(dir);
            // The closing picture is a darker grey, to tell it from the others.
            const unsigned char grey = slot == closingSlot ? 160 : 220;
            writePng(dir + "/bkg.png", 8, 8, 3, std::vector<unsigned char>(8 * 8 * 3, grey));
            Scene scene{};
            loadScene(scene, dir.c_str(), 0, false, textures);
            backgrounds[slot] = scene.backgroundTexture;
        }
        start(false);
    }

    void start(bool showMode) {
        initDriverState(state, showMode);
        state.console = console.file();
        for (int slot = 0; slot < sceneSlotCount; ++slot) {
            state.scenes[slot].backgroundTexture = backgrounds[slot];
            if (slot == 0 || slot == closingSlot) continue;
            // A 5 x 5 grid, 50 units apart, about the rest centre (100, 100, 0).
            std::vector<MeshVertex>& vertices = state.scenes[slot].mesh.vertices;
            vertices.resize(25);
            for (int i = 0; i < 25; ++i) {
                vertices[i].restPos = {float(i % 5) * 50.0f, float(i / 5) * 50.0f, 0.0f};
                vertices[i].pos = vertices[i].restPos;
            }
            state.scenes[slot].mesh.centre.restPos = {100.0f, 100.0f, 0.0f};
        }
        state.clock = ShowClock{0, platform.frequency, 0.0};
        platform.musicAt = 0.0;
        platform.musicPaused = false;
        input = InputTable{};
    }

    FrameOutcome frame(double wall, std::initializer_list<int> keys = {}) {
        platform.setClock(wall);
        for (int32_t& key : input.keys) key = 0;
        for (int key : keys) input.keys[key] = 1;
        return runFrame(platform, state, input, matrices);
    }

    void runSteps(std::initializer_list<Step> steps) {
        for (const Step& step : steps) {
            SCOPED_TRACE(testing::Message() << "frame at " << step.wall << " s on the counter");
            EXPECT_EQ(frame(step.wall, step.keys), FrameOutcome::Continue);
            EXPECT_NEAR(state.showTime, step.time, 1e-5);
            EXPECT_NEAR(platform.musicPosition(), step.music, 1e-9);
            EXPECT_EQ(state.currentScene, step.slot);
        }
    }

    void pointAt(int32_t vertex) {
        const Vec3f& p = state.scenes[state.currentScene].mesh.vertices[vertex].pos;
        pointCursorAt(input, windowPointOf(p, matrices), matrices);
    }

    // The top-left corner is darkened by the heads-up line's band and the bottom-left one by
    // the strip's, the picture's light grey otherwise.
    static bool bandShows() {
        const bool line = readPixel(1, windowHeight - 2).r < 120;
        const bool strip = readPixel(1, 1).r < 120;
        EXPECT_EQ(line, strip);
        return line;
    }

    TempFolder folder;
    std::unique_ptr<WorkingDirectory> here;
    int32_t textures = 0;
    int32_t backgrounds[sceneSlotCount] = {};
    FakePlatform platform;
    CapturedConsole console;
    DriverState state;
    InputTable input{};
    MatrixStore matrices{};
};

}  // namespace

TEST_F(StudioFrames, SeeksMoveTheClockTheMusicAndTheSlotTogether) {
    const struct {
        const char* name;
        std::initializer_list<Step> steps;
    } cases[] = {
        {"page down into the next section",
         {{37.0, {}, 37.0, 0.0, 1}, {37.5, {PGDN}, 42.5, 42.5, 2}, {38.0, {}, 43.0, 42.5, 2}}},
        {"page up back into the section before",
         {{42.0, {}, 42.0, 0.0, 2}, {42.5, {PGUP}, 37.5, 37.5, 1}, {43.0, {}, 38.0, 37.5, 1}}},
        {"home to the section's start, twice",
         {{63.0, {HOME}, 59.0, 59.0, 2}, {63.5, {}, 59.5, 59.0, 3}, {64.0, {HOME}, 59.0, 59.0, 2}}},
        {"a slot chosen by hand follows the time again after a seek",
         {{50.0, {VK_F6}, 50.0, 0.0, 5}, {50.5, {}, 50.5, 0.0, 5}, {51.0, {PGUP}, 46.0, 46.0, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(false);
        runSteps(c.steps);
    }
}

TEST_F(StudioFrames, ASeekKeepsTheRealMixerWhereTheClockIs) {
    SdlPlatform& sdl = testWindowPlatform();
    writeToneMp3(folder.file("tone.mp3"), 12.0);
    ASSERT_TRUE(sdl.musicInit());
    ASSERT_TRUE(sdl.musicLoad(folder.file("tone.mp3").c_str()));
    ASSERT_TRUE(sdl.musicPlay(false));
    state.clock = ShowClock{sdl.readPerformanceCounter(), sdl.readPerformanceFrequency(), 0.0};
    const auto frameWith = [&](std::initializer_list<int> keys) {
        for (int32_t& key : input.keys) key = 0;
        for (int key : keys) input.keys[key] = 1;
        runFrame(sdl, state, input, matrices);
    };
    // The mixer hands the device a buffer or two ahead of what is heard.
    const double slack = 0.15;
    const struct {
        int key;
        double after;  // seconds of frames after the seek
    } seeks[] = {{PGDN, 0.0}, {PGDN, 0.6}, {PGUP, 0.3}, {HOME, 0.3}};
    for (const auto& seek : seeks) {
        SCOPED_TRACE(testing::Message() << "key " << seek.key << ", " << seek.after << " s later");
        frameWith({});
        const double before = state.clock.seconds;
        frameWith({seek.key});
        EXPECT_GT(std::fabs(double(state.showTime) - before), 1.0) << "no seek";
        const uint32_t until = SDL_GetTicks() + uint32_t(seek.after * 1000.0);
        while (SDL_GetTicks() < until) frameWith({});
        EXPECT_NEAR(sdl.musicPosition(), state.clock.seconds, slack);
        EXPECT_EQ(state.currentScene, 0);
    }
    sdl.musicFree();
}

TEST_F(StudioFrames, PauseHoldsTheTimeWhileKeysAndDragsGoOnButPrintsNoRows) {
    platform.setClockStep(0.01);  // every frame lasts a hundredth on the counter
    frame(30.0);
    frame(30.25, {P});
    EXPECT_TRUE(platform.musicPaused);
    pointAt(centreVertex);
    input.mouseLeft = 1;
    frame(31.0, {VK_A});
    input.mouseX += 30;
    frame(31.5, {VK_A});
    EXPECT_EQ(state.showTime, 30.25f);
    EXPECT_EQ(state.selectedVertex, centreVertex);
    // Posed: the dragged vertex is under the cursor.
    const WindowPoint posed =
        windowPointOf(state.scenes[1].mesh.vertices[centreVertex].pos, matrices);
    EXPECT_NEAR(posed.x, double(input.mouseX), 0.05);
    EXPECT_NEAR(state.ra, startRa + 2.0f, 1e-3) << "the camera keys froze";
    EXPECT_EQ(console.take(), "");
    EXPECT_EQ(state.studio.rowsPrinted, 0);

    input.mouseLeft = 0;
    frame(32.0, {P});
    EXPECT_FALSE(platform.musicPaused);
    input.mouseLeft = 1;
    frame(32.5);
    EXPECT_EQ(console.take().rfind("30.750000 1 12 ", 0), 0u);
    EXPECT_EQ(state.studio.rowsPrinted, 1);
}

TEST_F(StudioFrames, ALoopJumpsBackToItsStartWithTheMusicAndTheSlot) {
    runSteps({
        {57.0, {L}, 57.0, 0.0, 2},
        {60.0, {}, 60.0, 0.0, 3},
        {61.0, {L}, 61.0, 0.0, 3},
        {61.5, {}, 57.0, 57.0, 2},  // past the end: back to the start
        {65.0, {}, 60.5, 57.0, 3},
        {65.5, {L}, 61.0, 57.0, 3},  // cleared at its very end
        {66.0, {}, 61.5, 57.0, 3},
    });
}

TEST_F(StudioFrames, TheHeadsUpDisplayStartsOffAndShowsInTheAuthoringToolOnlyWhileHHasItOn) {
    const struct {
        bool showMode;
        std::initializer_list<int> keys;
        bool band;
    } frames[] = {
        {false, {}, false},  {false, {H}, true}, {false, {H}, true}, {false, {}, true},
        {false, {H}, false}, {true, {}, false},  {true, {H}, false},
    };
    bool showMode = false;
    double wall = 20.0;
    for (const auto& f : frames) {
        SCOPED_TRACE(testing::Message()
                     << "frame at " << wall << (f.showMode ? " in the show" : ""));
        if (f.showMode != showMode) start(showMode = f.showMode);
        frame(wall += 0.25, f.keys);
        EXPECT_EQ(bandShows(), f.band);
    }
}

TEST_F(StudioFrames, APickFindsTheSameVertexWithTheHeadsUpLineOnAndOff) {
    double depth[2] = {};
    for (bool headsUp : {true, false}) {
        SCOPED_TRACE(headsUp ? "on" : "off");
        start(false);
        frame(25.0, headsUp ? std::initializer_list<int>{H} : std::initializer_list<int>{});
        ASSERT_EQ(bandShows(), headsUp);
        pointAt(centreVertex);
        input.mouseLeft = 1;
        frame(25.25);
        EXPECT_TRUE(state.dragging);
        EXPECT_EQ(state.selectedVertex, centreVertex);
        depth[headsUp] = state.pickDepth;
    }
    EXPECT_EQ(depth[0], depth[1]);
}

TEST_F(StudioFrames, PreviewPlaysTheScriptFromWhereverTheTimeIsAndLeavingItFreesTheHandle) {
    writeTextFile("anim.txt",
                  "20.0 1 3 1 2 3\n"
                  "60.0 2 7 10 20 30\n"
                  "61.0 2 7 11 21 31\n"
                  "62.0 1 0 0 0 0\n");
    const auto pos = [this](int slot, int vertex) {
        const Vec3f& p = state.scenes[slot].mesh.vertices[vertex].pos;
        return std::to_string(int(p.x)) + "," + std::to_string(int(p.y)) + "," +
               std::to_string(int(p.z));
    };
    input.mouseLeft = 1;  // the mouse records nothing in the preview
    runSteps({{55.0, {F12}, 55.0, 0.0, 1}, {55.5, {PGDN}, 60.5, 60.5, 2}});
    EXPECT_EQ(pos(2, 7), "10,20,30");
    EXPECT_EQ(state.scenes[2].mesh.vertices[7].isHandle, 1);
    runSteps({{56.0, {}, 61.0, 60.5, 2}, {56.25, {}, 61.25, 60.5, 2}});
    EXPECT_EQ(pos(2, 7), "11,21,31");
    runSteps({{56.5, {PGUP}, 56.5, 56.5, 1}});  // back before the figure's rows
    EXPECT_EQ(pos(1, 3), "1,2,3");
    EXPECT_EQ(console.take(), "");

    // The script is read afresh at each press: an edit shows at once.
    input.mouseLeft = 0;
    writeTextFile("anim.txt", "50.0 1 4 5 6 7\n70.0 1 0 0 0 0\n");
    runSteps(
        {{57.0, {F12}, 57.0, 56.5, 2}, {57.25, {}, 57.25, 56.5, 2}, {57.5, {F12}, 57.5, 56.5, 1}});
    EXPECT_EQ(pos(1, 4), "5,6,7");
    runSteps({{88.0, {}, 88.0, 56.5, 1}});  // the preview goes on past the show's end
    EXPECT_EQ(readPixel(640, 360).r, 160) << "not the closing picture";

    // Back to recording: the handle is free, the slot follows the time, and the mouse records.
    runSteps({{88.5, {F12, PGUP}, 83.5, 83.5, 4}});
    EXPECT_FALSE(state.playback);
    EXPECT_EQ(state.scenes[1].mesh.vertices[4].isHandle, 0);
    EXPECT_EQ(state.keyframeCount, 0);
    input.mouseLeft = 1;
    frame(89.0);
    EXPECT_EQ(console.take().rfind("84.000000 4 ", 0), 0u);

    // Space's playback is for good: leaving a preview keeps it on.
    frame(89.5, {VK_SPACE, F12});
    frame(89.75);
    frame(90.0, {F12});
    EXPECT_TRUE(state.playback);
    EXPECT_FALSE(previewing(state.studio.mode));
}

TEST_F(StudioFrames, ADragInThePreviewStartsFromTheScriptsPoseAndBecomesATake) {
    // The script holds the grid's centre away from its rest place from 20 s to 30 s.
    writeTextFile("anim.txt", "20.0 1 12 130 140 0\n30.0 1 0 0 0 0\n");
    frame(24.0, {F12});
    frame(24.25);
    const Vec3f held = state.scenes[1].mesh.vertices[centreVertex].pos;
    ASSERT_EQ(held.x, 130.0f);
    const WindowPoint heldOnScreen = windowPointOf(held, matrices);
    pointAt(centreVertex);
    input.mouseLeft = 1;
    frame(24.5);
    Keyframe first{};
    ASSERT_TRUE(parseKeyframeRow(console.take(), first));
    EXPECT_EQ(first.time, 24.5f);
    EXPECT_EQ(first.vertex, centreVertex);
    const WindowPoint firstOnScreen = windowPointOf({first.x, first.y, first.z}, matrices);
    EXPECT_LT(std::hypot(firstOnScreen.x - heldOnScreen.x, firstOnScreen.y - heldOnScreen.y), 2.0);

    // The drag's rows take over from the script's: the vertex follows the cursor.
    input.mouseX += 40;
    frame(24.75);
    const WindowPoint dragged =
        windowPointOf(state.scenes[1].mesh.vertices[centreVertex].pos, matrices);
    EXPECT_NEAR(dragged.x, double(input.mouseX), 0.5);
    EXPECT_EQ(state.currentScene, 1);

    // Released, the take joins the script being played.
    input.mouseLeft = 0;
    frame(25.0);
    EXPECT_TRUE(state.playback);
    EXPECT_FALSE(state.dragging);
    EXPECT_EQ(state.studio.takes.takes.size(), 1u);
    EXPECT_EQ(state.keyframeCount, 4);
}

TEST_F(StudioFrames, ADragHeldOverTheLoopsJumpGoesOnAsANewTakeOnTheNextPass) {
    for (const bool preview : {false, true}) {
        SCOPED_TRACE(preview ? "punch-in in the preview" : "recording");
        start(false);
        state.studio.takes = StudioTakes{};
        writeTextFile("anim.txt", "20.0 1 12 130 140 0\n30.0 1 0 0 0 0\n");
        frame(21.0, {L});
        frame(21.2);
        frame(23.0, {L});
        frame(23.2);  // past the loop's end: back to 21 s
        if (preview) {
            frame(23.4, {F12});
        } else {
            frame(23.4);
        }
        pointAt(centreVertex);
        input.mouseLeft = 1;
        testing::internal::CaptureStderr();
        // Frames 0.2 s apart: a late frame would cut a take of its own.
        for (double wall = 23.6; wall < 25.7; wall += 0.2) frame(wall);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_NEAR(state.showTime, 21.2f, 1e-5);
        // Still dragging the same vertex, and recording what it does.
        EXPECT_TRUE(state.dragging);
        EXPECT_FALSE(state.playback);
        EXPECT_EQ(state.selectedVertex, centreVertex);
        EXPECT_EQ(state.studio.takes.takes.size(), 2u);
        EXPECT_EQ(state.studio.takes.takes.back().rows.front().row.time, 21.0f);
        size_t tellings = 0;
        for (size_t at = told.find("over the loop's jump"); at != std::string::npos;
             at = told.find("over the loop's jump", at + 1)) {
            ++tellings;
        }
        EXPECT_EQ(tellings, 1u) << told;
        input.mouseLeft = 0;
        frame(25.8);
        EXPECT_EQ(state.studio.takes.takes.size(), 2u);
        if (preview) frame(26.0, {F12});
        console.take();
    }
}

TEST_F(StudioFrames, AClickOnTheStripSeeksWhileTheHeadsUpDisplayIsOn) {
    const StripBox box = stripBox(windowWidth, windowHeight);
    for (bool headsUp : {true, false}) {
        SCOPED_TRACE(headsUp ? "on" : "off");
        start(false);
        frame(30.0, headsUp ? std::initializer_list<int>{H} : std::initializer_list<int>{});
        input.mouseX =
            int(std::lround(box.timeLeft + (box.timeRight - box.timeLeft) * 50.0 / 89.0));
        input.mouseY = windowHeight - 10;
        input.mouseLeft = 1;
        frame(30.25);
        frame(30.5);
        EXPECT_EQ(state.dragging, !headsUp);
        EXPECT_NEAR(state.showTime, headsUp ? 50.25 : 30.5, 0.1);
        EXPECT_NEAR(platform.musicPosition(), headsUp ? 50.0 : 0.0, 0.1);
    }
}

TEST_F(StudioFrames, HomeSeeksLoopMarksAndStripClicksKeepToTheShowsOwnTimeline) {
    const struct {
        const char* name;
        const char* timeline;
        std::initializer_list<Step> steps;
    } cases[] = {
        {"home to the file's section start",
         "sections 5 10 15 20\nend 30",
         {{12.0, {HOME}, 10.0, 10.0, 1}, {12.5, {}, 10.5, 10.0, 2}}},
        {"page down stops two seconds after the file's end",
         "sections 5 10 15 20\nend 30",
         {{29.0, {PGDN}, 32.0, 32.0, 4}}},
        {"an hour-long show", "end 3600", {{3599.0, {PGDN}, 3602.0, 3602.0, 4}}},
    };
    const StripBox box = stripBox(windowWidth, windowHeight);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(false);
        std::string error;
        ASSERT_TRUE(parseTimeline(c.timeline, "t", state.timeline, error)) << error;
        const double latest = runLength(state.timeline);
        runSteps(c.steps);
        // Recording runs on past the show; a loop mark there stands at the run's end.
        frame(latest + 8.0, {L});
        EXPECT_EQ(state.studio.transport.loopStart, latest);
        // The strip's right end is the run's end too.
        frame(latest + 8.25, {H});
        input.mouseX = int(box.timeRight) + 4;
        input.mouseY = windowHeight - 10;
        input.mouseLeft = 1;
        frame(latest + 8.5);
        EXPECT_NEAR(state.showTime, latest, 1e-3);
        input.mouseLeft = 0;
    }
}

TEST_F(StudioFrames, CtrlZUndoesATakeOncePerPressEvenWhenBothKeysAreUpByTheNextFrame) {
    const struct {
        const char* name;
        std::initializer_list<int> held;  // over two frames
        int zPresses, controlPresses;     // key-down events before the first
        size_t takesLeft;
    } cases[] = {
        {"held over the frames", {VK_CONTROL, VK_Z}, 1, 1, 1},
        {"pressed and released between two frames", {}, 1, 1, 1},
        {"Z alone", {VK_Z}, 1, 0, 2},
        {"Ctrl alone", {VK_CONTROL}, 0, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(false);
        frame(30.0);
        pointAt(centreVertex);
        for (double drag : {30.25, 31.0}) {  // two takes, a gap apart
            input.mouseLeft = 1;
            frame(drag);
            input.mouseLeft = 0;
            frame(drag + 0.25);
        }
        ASSERT_EQ(state.studio.takes.takes.size(), 2u);
        input.presses[VK_Z] += uint32_t(c.zPresses);
        input.controlPresses[VK_Z] += uint32_t(c.controlPresses);
        frame(31.5, c.held);
        frame(31.75, c.held);
        EXPECT_EQ(state.studio.takes.takes.size(), c.takesLeft);
    }
}

TEST_F(StudioFrames, TheShowIgnoresTheStudioKeys) {
    start(true);
    state.keyframes.push_back(Keyframe{20.0f, 1, 3, 1.0f, 2.0f, 3.0f});
    state.keyframes.push_back(Keyframe{40.0f, 1, 3, 1.0f, 2.0f, 3.0f});
    state.keyframeCount = 2;
    double wall = 30.0;
    for (int key : {PGUP, PGDN, HOME, P, L, L, H, F12}) {
        SCOPED_TRACE(key);
        runSteps({{wall, {key}, wall, 0.0, 1}, {wall + 0.25, {}, wall + 0.25, 0.0, 1}});
        wall += 0.5;
        EXPECT_FALSE(platform.musicPaused);
        EXPECT_FALSE(bandShows());
        EXPECT_EQ(state.keyframeCount, 2);
    }
    EXPECT_EQ(frame(87.5), FrameOutcome::ShowEnded);
}

TEST_F(StudioFrames, WithoutATempoLineTheFirstHFindsTheBeatInTheMusicAndTheBarKeysFollowIt) {
    const struct {
        const char* name;
        bool showMode;
        bool music;        // the platform decodes the music
        double afterBar;   // where ] goes from 20.75 s; 20.75: nowhere
        const char* told;  // on stderr once the search is over
    } cases[] = {
        {"a song at 120 from 0.25 s", false, true, 22.25,
         "studio: beat: 120.00 beats a minute from 0.25 s, 4 a bar (found in tavel.mp3)\n"},
        {"a platform that decodes nothing", false, false, 20.75, ""},
        {"the show", true, true, 20.75, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(c.showMode);
        platform.musicSamplesGiven =
            c.music ? makeBeatSong({120.0, 0.25, 30.0, 4}) : std::vector<int16_t>();
        frame(20.0);
        testing::internal::CaptureStderr();
        frame(20.25, {H});
        for (int wait = 0;
             wait < 3000 && state.studio.beatSearch && !state.studio.beatSearch->done.load();
             ++wait)
            SDL_Delay(5);
        frame(20.5);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_EQ(
            told.substr(told.find("studio: beat") == std::string::npos ? told.size()
                                                                       : told.find("studio: beat")),
            c.told);
        frame(20.75, {VK_OEM_6});
        EXPECT_NEAR(state.showTime, c.afterBar, 0.005);
    }
}
