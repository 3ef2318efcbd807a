#include "driver/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> calls;
bool windowWorks = true;

int32_t fakeReadKeyframes(const char* path, std::vector<Keyframe>& table) {
    calls.push_back(std::string("readKeyframes ") + path);
    table.assign(5, Keyframe{});
    return 5;
}
bool fakeCreateGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                        bool fullscreen) {
    calls.push_back(std::string("createGlWindow ") + title + " " + std::to_string(width) + "x" +
                    std::to_string(height) + "x" + std::to_string(bits) +
                    (fullscreen ? " fullscreen" : " windowed"));
    return windowWorks;
}
void fakeLoadScene(Scene& scene, const char* directory, uint32_t boneCount, bool appendMirror) {
    calls.push_back(std::string("loadScene ") + directory + " " + std::to_string(boneCount) +
                    (appendMirror ? " mirror" : ""));
    scene.boneCount = boneCount;
}
bool fakeMusicInit() {
    calls.push_back("musicInit");
    return true;
}
bool fakeMusicLoad(const char* file) {
    calls.push_back(std::string("musicLoad ") + file);
    return true;
}
bool fakeMusicPlay(bool loop) {
    calls.push_back(loop ? "musicPlay looped" : "musicPlay once");
    return true;
}
int64_t fakeCounter() {
    calls.push_back("readCounter");
    return 123456;
}
double fakeFrequency() {
    calls.push_back("readFrequency");
    return 1000.0;
}

StartupSteps fakeSteps() {
    return StartupSteps{&fakeReadKeyframes, &fakeCreateGlWindow, &fakeLoadScene, &fakeMusicInit,
                        &fakeMusicLoad,     &fakeMusicPlay,      &fakeCounter,   &fakeFrequency};
}

const std::vector<std::string> loadingAndMusic = {
    "loadScene quimet 0", "loadScene kiv 8",  "loadScene vastel 7", "loadScene doranek 8",
    "loadScene pilou 1",  "loadScene logo 0", "musicInit",          "musicLoad tavel.mp3",
    "musicPlay once",     "readFrequency",    "readCounter",
};

}  // namespace

TEST(StartUp, ShowReadsTheScriptFirstThenWindowScenesMusicAndClockInThatOrder) {
    calls.clear();
    windowWorks = true;
    DriverState state;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(startUp(state, true, fakeSteps()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "5\n");

    std::vector<std::string> expected = {"readKeyframes anim.txt",
                                         "createGlWindow KELVARO 1280x720x32 fullscreen"};
    expected.insert(expected.end(), loadingAndMusic.begin(), loadingAndMusic.end());
    EXPECT_EQ(calls, expected);

    EXPECT_EQ(state.keyframeCount, 5);
    EXPECT_TRUE(state.playback);
    EXPECT_EQ(state.clock.start, 123456);
    EXPECT_EQ(state.clock.frequency, 1000.0);
}

TEST(StartUp, AuthoringNeverTouchesTheScriptAndPrintsNothing) {
    calls.clear();
    windowWorks = true;
    DriverState state;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(startUp(state, false, fakeSteps()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    std::vector<std::string> expected = {"createGlWindow KELVARO 1280x720x32 windowed"};
    expected.insert(expected.end(), loadingAndMusic.begin(), loadingAndMusic.end());
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(state.keyframeCount, 0);
    EXPECT_FALSE(state.playback);
}

TEST(StartUp, StartValuesOfTheDriverState) {
    calls.clear();
    windowWorks = true;
    DriverState state;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(startUp(state, true, fakeSteps()));
    testing::internal::GetCapturedStdout();

    EXPECT_TRUE(state.running);
    EXPECT_FALSE(state.rawAverage);
    EXPECT_FALSE(state.dragging);
    EXPECT_FALSE(state.pinOnRelease);
    EXPECT_EQ(state.currentScene, 0);
    EXPECT_EQ(state.selectedVertex, 0);
    EXPECT_EQ(state.drift.x, 0.0f);
    EXPECT_EQ(state.drift.y, 0.0f);
    EXPECT_EQ(state.drift.z, 0.0f);
    EXPECT_EQ(state.dragTarget.x, 0.0);
    EXPECT_EQ(state.dragTarget.y, 0.0);
    EXPECT_EQ(state.dragTarget.z, 0.0);
    EXPECT_EQ(state.fov, 15.0f);
    EXPECT_EQ(state.dx, 2163.0f);
    EXPECT_EQ(state.dy, 2000.0f);
    EXPECT_EQ(state.dz, 2200.0f);
    EXPECT_EQ(state.ox, 20.0f);
    EXPECT_EQ(state.oy, 20.0f);
    EXPECT_EQ(state.oz, 20.0f);
    EXPECT_EQ(state.ra, -44.0f);
    EXPECT_EQ(state.rb, -58.0f);
    EXPECT_EQ(state.frameTime, 0.0f);
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        EXPECT_EQ(state.scenes[slot].boneCount, sceneSlots[slot].boneCount);
    }
}

TEST(StartUp, WithoutAWindowNothingElseStarts) {
    calls.clear();
    windowWorks = false;
    DriverState state;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(startUp(state, false, fakeSteps()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(calls, std::vector<std::string>{"createGlWindow KELVARO 1280x720x32 windowed"});
    for (const Scene& scene : state.scenes) EXPECT_EQ(scene.boneCount, 0u);
}
