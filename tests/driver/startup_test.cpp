#include "driver/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "console.h"
#include "fake_platform.h"
#include "gl_context.h"
#include "show_folder.h"

namespace {

// The platform and the loading steps write into one list, so the test sees their order.
FakePlatform platform;
std::vector<std::string>& calls = platform.calls;

int32_t fakeReadKeyframes(const char* path, std::vector<Keyframe>& table) {
    calls.push_back(std::string("readKeyframes ") + path);
    table.assign(5, Keyframe{});
    return 5;
}
void fakeLoadScene(Scene& scene, const char* directory, uint32_t boneCount, bool appendMirror,
                   int32_t&) {
    calls.push_back(std::string("loadScene ") + directory + " " + std::to_string(boneCount) +
                    (appendMirror ? " mirror" : ""));
    scene.boneCount = boneCount;
}

const std::vector<std::string> loadingAndMusic = {
    "loadScene quimet 0", "loadScene kiv 8",  "loadScene vastel 7", "loadScene doranek 8",
    "loadScene pilou 1",  "loadScene logo 0", "musicInit",          "musicLoad tavel.mp3",
    "musicPlay once",     "readFrequency",    "readCounter",
};

// Starts up with the fakes; returns whether it succeeded and what it printed.
std::pair<bool, std::string> start(DriverState& state, bool showMode, bool window) {
    calls.clear();
    platform.recordCalls = true;
    platform.windowWorks = window;
    platform.frequency = 1000.0;
    platform.counter = 123456;
    CapturedConsole console;
    state.console = console.file();
    const bool started =
        startUp(platform, state, showMode, StartupSteps{&fakeReadKeyframes, &fakeLoadScene});
    return {started, console.take()};
}

}  // namespace

TEST(StartUp, ShowReadsTheScriptFirstThenWindowScenesMusicAndClockInThatOrder) {
    DriverState state;
    EXPECT_EQ(start(state, true, true), std::make_pair(true, std::string("5\n")));

    std::vector<std::string> expected = {"readKeyframes anim.txt",
                                         "createGlWindow KELVARO 1280x720x32 fullscreen"};
    expected.insert(expected.end(), loadingAndMusic.begin(), loadingAndMusic.end());
    EXPECT_EQ(calls, expected);

    // The start values of the run.
    EXPECT_EQ(state.keyframeCount, 5);
    EXPECT_EQ(state.clock.start, 123456);
    EXPECT_EQ(state.clock.frequency, 1000.0);
    EXPECT_EQ(state.frameTime, 0.0f);
    EXPECT_EQ(std::vector<bool>({state.playback, state.running, state.rawAverage, state.dragging,
                                 state.pinOnRelease}),
              std::vector<bool>({true, true, false, false, false}));
    EXPECT_EQ(state.currentScene, 0);
    EXPECT_EQ(state.selectedVertex, 0);
    EXPECT_EQ(std::vector<double>({state.drift.x, state.drift.y, state.drift.z, state.dragTarget.x,
                                   state.dragTarget.y, state.dragTarget.z}),
              std::vector<double>(6, 0.0));
    EXPECT_EQ(std::vector<float>({state.fov, state.dx, state.dy, state.dz, state.ox, state.oy,
                                  state.oz, state.ra, state.rb}),
              std::vector<float>({15, 2163, 2000, 2200, 20, 20, 20, -44, -58}));
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        EXPECT_EQ(state.scenes[slot].boneCount, sceneSlots[slot].boneCount);
    }
}

TEST(StartUp, AuthoringNeverTouchesTheScriptAndPrintsNothing) {
    DriverState state;
    EXPECT_EQ(start(state, false, true), std::make_pair(true, std::string()));

    std::vector<std::string> expected = {"createGlWindow KELVARO 1280x720x32 windowed"};
    expected.insert(expected.end(), loadingAndMusic.begin(), loadingAndMusic.end());
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(state.keyframeCount, 0);
    EXPECT_FALSE(state.playback);
}

TEST(StartUp, WithoutAWindowNothingElseStarts) {
    DriverState state;
    EXPECT_EQ(start(state, false, false), std::make_pair(false, std::string()));
    EXPECT_EQ(calls, std::vector<std::string>{"createGlWindow KELVARO 1280x720x32 windowed"});
    for (const Scene& scene : state.scenes) EXPECT_EQ(scene.boneCount, 0u);
}

TEST(StartUp, MusicThatCantPlayEndsStartUpBeforeTheClockStartsAndTheRunEndsWithOne) {
    DriverState state;
    platform.musicWorks = false;
    const std::pair<bool, std::string> started = start(state, false, true);
    EXPECT_FALSE(started.first);
    EXPECT_EQ(calls.back(), "musicInit");

    // The whole run, with the same platform: shut down in order, and a failure's exit code.
    calls.clear();
    EXPECT_EQ(runProgram(platform, false), 1);
    platform.musicWorks = true;
    // It ends where the music failed: no second free, the window and the scenes left as they are.
    EXPECT_EQ(calls.back(), "musicInit");
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "musicFree"), 0);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "killGlWindow"), 0);
}

TEST(RunProgram, TheEndOfTheShowFreesTheMusicOnceAndLeavesTheWindowToTheProcess) {
    ensureGlContext();
    TempFolder folder;
    WorkingDirectory inFolder(folder.path());
    calls.clear();
    platform.recordCalls = true;
    platform.windowWorks = true;
    platform.musicWorks = true;
    platform.frequency = 1000.0;
    platform.counter = 0;
    platform.setClockStep(0.5);
    testing::internal::CaptureStdout();
    const int exitCode = runProgram(platform, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "0\n");
    platform.setClockStep(0.0);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "musicFree"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "killGlWindow"), 0);
    // Nothing after the hold: its last reading is the run's last call.
    EXPECT_EQ(calls.back(), "readCounter");
}

TEST(StartUp, TheFoldersTimelineComesFirstAndABadOneEndsTheRunWithABoxBeforeAnythingStarts) {
    const std::string badBox =
        "showErrorBox timeline.txt:1: the last section (78.5 s, built in) must start before the "
        "end (30 s, line 1)";
    const struct {
        const char* text;
        bool showMode;
        bool good;
    } cases[] = {
        {"end 30\nsections 1 2 3 4\n", true, true},
        {"end 30\n", true, false},
        {"end 30\n", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << (c.showMode ? "show" : "authoring"));
        TempFolder folder;
        WorkingDirectory inFolder(folder.path());
        writeTextFile(timelineFileName, c.text);
        DriverState state;
        const bool started = start(state, c.showMode, true).first;
        EXPECT_EQ(started, c.good);
        if (c.good) {
            EXPECT_EQ(state.timeline.end, 30.0f);
            EXPECT_EQ(state.timeline.sections[0], 1.0f);
            EXPECT_EQ(calls.front(), "readKeyframes anim.txt");
            continue;
        }
        EXPECT_EQ(calls, std::vector<std::string>{badBox});
        // The whole run: exit code 1, and nothing shut down that never started.
        calls.clear();
        EXPECT_EQ(runProgram(platform, c.showMode), 1);
        EXPECT_EQ(calls, std::vector<std::string>{badBox});
    }
}
