#include "driver/controls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <string>

#include "gl_context.h"
#include "render/camera.h"
#include "window_point.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

InputTable held(std::initializer_list<int> keys) {
    InputTable input{};
    for (int key : keys) input.keys[key] = 1;
    return input;
}

// Slots 1 to 4 get meshes of different sizes; frames last a quarter second, so a held key moves
// its value by exactly 25.
DriverState authoringState() {
    DriverState state;
    initDriverState(state, false);
    const int sizes[sceneSlotCount] = {0, 25, 9, 4, 2, 0};
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        std::vector<MeshVertex>& vertices = state.scenes[slot].mesh.vertices;
        vertices.resize(size_t(sizes[slot]));
        for (int i = 0; i < sizes[slot]; ++i) {
            // A 5 x 5 grid, 50 units apart, about the rest centre (100, 100, 0).
            vertices[i].restPos = {float(i % 5) * 50.0f, float(i / 5) * 50.0f, 0.0f};
            vertices[i].pos = vertices[i].restPos;
        }
        state.scenes[slot].mesh.centre.restPos = {100.0f, 100.0f, 0.0f};
    }
    state.frameTime = 0.25f;
    return state;
}

void expectDrift(const DriverState& state, float x, float y, float z) {
    EXPECT_EQ(state.drift.x, x);
    EXPECT_EQ(state.drift.y, y);
    EXPECT_EQ(state.drift.z, z);
}

void expectCamera(const DriverState& state, float dx, float dy, float dz) {
    EXPECT_EQ(state.dx, dx);
    EXPECT_EQ(state.dy, dy);
    EXPECT_EQ(state.dz, dz);
}

TEST(Keys, TheHighestSlotKeyHeldWins) {
    DriverState state = authoringState();
    handleKeys(state, held({VK_F1 + 1, VK_F1 + 4}));
    EXPECT_EQ(state.currentScene, 4);
    handleKeys(state, held({VK_F6, VK_F1}));
    EXPECT_EQ(state.currentScene, 5);
    handleKeys(state, held({VK_F1}));
    EXPECT_EQ(state.currentScene, 0);
    state.currentScene = 3;
    handleKeys(state, held({}));
    EXPECT_EQ(state.currentScene, 3);
}

TEST(Keys, WithoutShiftEachDriftKeyReplacesTheWholeDrift) {
    DriverState state = authoringState();
    const struct {
        int key;
        float x, y, z;
    } cases[] = {
        {VK_LEFT, 25, 0, 0}, {VK_RIGHT, -25, 0, 0}, {VK_F, 0, 0, 25},
        {VK_V, 0, 0, -25},   {VK_UP, 0, -25, 0},    {VK_DOWN, 0, 25, 0},
    };
    for (const auto& c : cases) {
        state.drift = {7.0f, 7.0f, 7.0f};
        handleKeys(state, held({c.key}));
        SCOPED_TRACE(c.key);
        expectDrift(state, c.x, c.y, c.z);
    }
    expectCamera(state, 2163.0f, 2000.0f, 2200.0f);

    handleKeys(state, held({VK_LEFT, VK_UP}));
    expectDrift(state, 0.0f, -25.0f, 0.0f);
    handleKeys(state, held({VK_DOWN, VK_V, VK_UP, VK_F, VK_RIGHT, VK_LEFT}));
    expectDrift(state, 0.0f, 25.0f, 0.0f);
    // The drift outlives the key.
    handleKeys(state, held({}));
    expectDrift(state, 0.0f, 25.0f, 0.0f);
}

TEST(Keys, WithShiftTheDriftKeysMoveTheCameraAndOppositesCancel) {
    DriverState state = authoringState();
    state.drift = {1.0f, 2.0f, 3.0f};
    handleKeys(state, held({VK_SHIFT, VK_LEFT}));
    expectCamera(state, 2188.0f, 2000.0f, 2200.0f);
    handleKeys(state, held({VK_SHIFT, VK_F}));
    expectCamera(state, 2188.0f, 2025.0f, 2200.0f);
    handleKeys(state, held({VK_SHIFT, VK_UP}));
    expectCamera(state, 2188.0f, 2025.0f, 2175.0f);
    handleKeys(state, held({VK_SHIFT, VK_RIGHT, VK_V, VK_DOWN}));
    expectCamera(state, 2163.0f, 2000.0f, 2200.0f);
    handleKeys(state, held({VK_SHIFT, VK_LEFT, VK_RIGHT, VK_F, VK_V, VK_UP, VK_DOWN}));
    expectCamera(state, 2163.0f, 2000.0f, 2200.0f);
    expectDrift(state, 1.0f, 2.0f, 3.0f);

    // One reading of Shift serves Enter and the drift keys alike.
    handleKeys(state, held({VK_SHIFT, VK_RETURN, VK_DOWN}));
    EXPECT_TRUE(state.rawAverage);
    EXPECT_EQ(state.dz, 2225.0f);
    expectDrift(state, 1.0f, 2.0f, 3.0f);
}

TEST(Keys, TurnAndZoomKeysMoveAHundredUnitsPerSecond) {
    DriverState state = authoringState();
    handleKeys(state, held({VK_A}));
    EXPECT_EQ(state.ra, -19.0f);
    handleKeys(state, held({VK_D, VK_D}));
    EXPECT_EQ(state.ra, -44.0f);
    handleKeys(state, held({VK_S}));
    EXPECT_EQ(state.rb, -33.0f);
    handleKeys(state, held({VK_W}));
    handleKeys(state, held({VK_W}));
    EXPECT_EQ(state.rb, -83.0f);
    handleKeys(state, held({VK_ADD}));
    EXPECT_EQ(state.fov, 40.0f);
    handleKeys(state, held({VK_SUBTRACT, VK_A, VK_D}));
    EXPECT_EQ(state.fov, 15.0f);
    EXPECT_EQ(state.ra, -44.0f);
    EXPECT_EQ(state.ox, 20.0f);

    // The amount is formed in float: 100 times 1/60 of a second.
    state.frameTime = 1.0f / 60.0f;
    handleKeys(state, held({VK_ADD}));
    EXPECT_EQ(state.fov, 15.0f + 100.0f * (1.0f / 60.0f));

    // The first frame has no duration: held keys move nothing, drift keys give a zero drift.
    DriverState first = authoringState();
    first.frameTime = 0.0f;
    first.drift = {5.0f, 5.0f, 5.0f};
    handleKeys(first, held({VK_A, VK_S, VK_ADD, VK_LEFT, VK_SHIFT, VK_UP}));
    EXPECT_EQ(first.ra, -44.0f);
    EXPECT_EQ(first.rb, -58.0f);
    EXPECT_EQ(first.fov, 15.0f);
    expectCamera(first, 2163.0f, 2000.0f, 2200.0f);
    handleKeys(first, held({VK_LEFT}));
    expectDrift(first, 0.0f, 0.0f, 0.0f);
}

TEST(Keys, SwitchesActOnEveryFrameTheKeyIsDown) {
    DriverState state = authoringState();
    handleKeys(state, held({VK_RETURN, VK_SHIFT}));
    EXPECT_TRUE(state.rawAverage);
    handleKeys(state, held({}));
    EXPECT_TRUE(state.rawAverage);
    handleKeys(state, held({VK_RETURN}));
    EXPECT_FALSE(state.rawAverage);

    EXPECT_FALSE(state.playback);
    handleKeys(state, held({VK_SPACE}));
    EXPECT_TRUE(state.playback);
    for (int frame = 0; frame < 3; ++frame) handleKeys(state, held({VK_RETURN, VK_R, VK_F1}));
    EXPECT_TRUE(state.playback);

    EXPECT_TRUE(state.running);
    handleKeys(state, held({VK_ESCAPE}));
    EXPECT_FALSE(state.running);

    // Keys outside the table do nothing.
    DriverState other = authoringState();
    InputTable input{};
    for (int key = 0; key < 256; ++key) input.keys[key] = 1;
    for (int key : {VK_TAB, VK_RETURN, VK_SHIFT, VK_ESCAPE, VK_SPACE, VK_LEFT, VK_UP, VK_RIGHT,
                    VK_DOWN, VK_A, VK_D, VK_F, VK_R, VK_S, VK_V, VK_W, VK_ADD, VK_SUBTRACT}) {
        input.keys[key] = 0;
    }
    for (int key = VK_F1; key <= VK_F6; ++key) input.keys[key] = 0;
    other.scenes[2].mesh.vertices[1].pos.x = 99.0f;
    handleKeys(other, input);
    EXPECT_EQ(other.currentScene, 0);
    EXPECT_FALSE(other.playback);
    EXPECT_FALSE(other.rawAverage);
    EXPECT_TRUE(other.running);
    expectDrift(other, 0.0f, 0.0f, 0.0f);
    expectCamera(other, 2163.0f, 2000.0f, 2200.0f);
    EXPECT_EQ(other.ra, -44.0f);
    EXPECT_EQ(other.rb, -58.0f);
    EXPECT_EQ(other.fov, 15.0f);
    EXPECT_EQ(other.scenes[2].mesh.vertices[1].pos.x, 99.0f);
}

TEST(Keys, ResetPutsTheCurrentSlotBackAtRest) {
    DriverState state = authoringState();
    for (int slot : {2, 3}) {
        for (MeshVertex& vertex : state.scenes[slot].mesh.vertices) {
            vertex.pos = {-1.0f, -2.0f, -3.0f};
            vertex.isHandle = 1;
        }
    }
    state.drift = {1.0f, 2.0f, 3.0f};
    state.currentScene = 3;
    // F3 comes first in the frame, so the reset works on the slot it chose.
    handleKeys(state, held({VK_R, VK_F1 + 2}));
    expectDrift(state, 0.0f, 0.0f, 0.0f);
    for (const MeshVertex& vertex : state.scenes[2].mesh.vertices) {
        EXPECT_EQ(vertex.pos.x, vertex.restPos.x);
        EXPECT_EQ(vertex.pos.y, vertex.restPos.y);
        EXPECT_EQ(vertex.pos.z, vertex.restPos.z);
        EXPECT_EQ(vertex.isHandle, 0);
    }
    for (const MeshVertex& vertex : state.scenes[3].mesh.vertices) {
        EXPECT_EQ(vertex.pos.x, -1.0f);
        EXPECT_EQ(vertex.isHandle, 1);
    }
    // A drift key later in the table wins over the reset.
    handleKeys(state, held({VK_R, VK_V}));
    expectDrift(state, 0.0f, 0.0f, -25.0f);
}

TEST(Keys, TabPrintsTheCameraLineEveryFrameItIsHeld) {
    DriverState state = authoringState();
    CaptureStdout();
    for (int frame = 0; frame < 3; ++frame) handleKeys(state, held({VK_TAB, VK_A, VK_SHIFT}));
    handleKeys(state, held({VK_A}));
    state.frameTime = 0.125f;
    handleKeys(state, held({VK_TAB, VK_ADD, VK_SHIFT, VK_LEFT}));
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(out,
              "fov=15.000000; dx=2163.000000; dy=2000.000000; dz=2200.000000; ox=20.000000; "
              "oy=20.000000; oz=20.000000; ra=-19.000000; rb=-58.000000;\n"
              "fov=15.000000; dx=2163.000000; dy=2000.000000; dz=2200.000000; ox=20.000000; "
              "oy=20.000000; oz=20.000000; ra=6.000000; rb=-58.000000;\n"
              "fov=15.000000; dx=2163.000000; dy=2000.000000; dz=2200.000000; ox=20.000000; "
              "oy=20.000000; oz=20.000000; ra=31.000000; rb=-58.000000;\n"
              "fov=27.500000; dx=2175.500000; dy=2000.000000; dz=2200.000000; ox=20.000000; "
              "oy=20.000000; oz=20.000000; ra=56.000000; rb=-58.000000;\n");
}

// The mouse works on a real GL context, seen through the start camera.
class Mouse : public testing::Test {
protected:
    void SetUp() override {
        ensureGlContext();
        state = authoringState();
        state.currentScene = 1;
        state.showTime = 21.25f;
        setupCamera(state.scenes[1].mesh, startFov, startDx, startDy, startDz, eyeOffset, eyeOffset,
                    eyeOffset, startRa, startRb);
        readMatrixStore(camera);
    }

    WindowPoint pointOf(int32_t vertex) {
        return windowPointOf(state.scenes[state.currentScene].mesh.vertices[vertex].pos, camera);
    }

    InputTable buttonsAt(const WindowPoint& point, bool left, bool right) {
        InputTable input{};
        pointCursorAt(input, point, camera);
        input.mouseLeft = left ? 1 : 0;
        input.mouseRight = right ? 1 : 0;
        return input;
    }

    InputTable buttonsAtVertex(int32_t vertex, bool left, bool right) {
        return buttonsAt(pointOf(vertex), left, right);
    }

    // One frame of the mouse step; returns what it printed.
    std::string mouseFrame(const InputTable& input) {
        CaptureStdout();
        handleMouse(state, input, matrices);
        return GetCapturedStdout();
    }

    const MeshVertex& vertex(int32_t slot, int32_t index) {
        return state.scenes[slot].mesh.vertices[index];
    }

    int handleCount(int32_t slot) {
        int count = 0;
        for (const MeshVertex& v : state.scenes[slot].mesh.vertices) count += v.isHandle;
        return count;
    }

    // The cursor of `input`, as picking measures it.
    void expectUnderCursor(const Vec3f& pos, const InputTable& input) {
        const WindowPoint point = windowPointOf(pos, camera);
        EXPECT_NEAR(point.x, double(input.mouseX), 0.01);
        EXPECT_NEAR(point.y, double(camera.viewport[3] - input.mouseY), 0.01);
    }

    DriverState state;
    MatrixStore camera{};
    MatrixStore matrices{};
};

TEST_F(Mouse, ThePickTakesTheNearestVertexAndTiesGoToTheEarlierOne) {
    ASSERT_EQ(camera.viewport[2], windowWidth);
    ASSERT_EQ(camera.viewport[3], windowHeight);
    std::vector<MeshVertex>& vertices = state.scenes[1].mesh.vertices;
    for (int32_t target : {0, 7, 13, 24}) {
        InputTable input = buttonsAtVertex(target, true, false);
        double depth = -1.0;
        const int32_t picked =
            pickNearestVertex(vertices, float(input.mouseX), float(input.mouseY), camera, depth);
        EXPECT_EQ(picked, target);
        EXPECT_EQ(depth, pointOf(target).depth);
        EXPECT_EQ(vertices[target].isHandle, 1);
        EXPECT_EQ(handleCount(1), 1);
        vertices[target].isHandle = 0;
    }

    // Between two neighbours the nearer one wins.
    const WindowPoint a = pointOf(11);
    const WindowPoint b = pointOf(12);
    ASSERT_GT(std::hypot(b.x - a.x, b.y - a.y), 20.0);
    for (double t : {0.3, 0.7}) {
        const WindowPoint between{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), 0.0};
        InputTable input = buttonsAt(between, true, false);
        double depth = 0.0;
        EXPECT_EQ(
            pickNearestVertex(vertices, float(input.mouseX), float(input.mouseY), camera, depth),
            t < 0.5 ? 11 : 12);
    }

    // Two vertices in one place: the earlier one.
    vertices[17].pos = vertices[20].pos;
    InputTable input = buttonsAtVertex(20, true, false);
    double depth = 0.0;
    EXPECT_EQ(pickNearestVertex(vertices, float(input.mouseX), float(input.mouseY), camera, depth),
              17);
}

TEST_F(Mouse, APickThatFindsNothingLeavesTheDepthAlone) {
    std::vector<MeshVertex> none;
    double depth = 0.5;
    EXPECT_EQ(pickNearestVertex(none, 640.0f, 360.0f, camera, depth), -1);
    EXPECT_EQ(depth, 0.5);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<MeshVertex> lost(3);
    for (MeshVertex& v : lost) v.pos = {nan, nan, nan};
    EXPECT_EQ(pickNearestVertex(lost, 640.0f, 360.0f, camera, depth), -1);
    EXPECT_EQ(depth, 0.5);
    for (const MeshVertex& v : lost) EXPECT_EQ(v.isHandle, 0);

    // A click in a slot without a mesh starts no drag and prints nothing; no stale target is
    // written into the slot that has one.
    state.selectedVertex = 3;
    state.dragTarget = {1.0, 2.0, 3.0};
    state.scenes[1].mesh.vertices = lost;
    for (int32_t slot : {0, 5, 1}) {
        state.currentScene = slot;
        EXPECT_EQ(mouseFrame(buttonsAt(WindowPoint{640.0, 360.0, 0.0}, true, true)), "") << slot;
        EXPECT_FALSE(state.dragging);
        EXPECT_EQ(state.selectedVertex, 3);
        EXPECT_TRUE(std::isnan(vertex(1, 0).pos.x));
    }
    EXPECT_EQ(mouseFrame(InputTable{}), "");
    EXPECT_FALSE(state.dragging);
}

TEST_F(Mouse, ADragPrintsARowEveryFrameAndKeepsTheVertexUnderTheCursor) {
    InputTable input = buttonsAtVertex(12, true, false);
    std::string rows;
    for (int frame = 0; frame < 3; ++frame) rows += mouseFrame(input);
    EXPECT_TRUE(state.dragging);
    EXPECT_EQ(state.selectedVertex, 12);
    EXPECT_EQ(vertex(1, 12).isHandle, 1);
    expectUnderCursor(vertex(1, 12).pos, input);

    char expected[256];
    std::snprintf(expected, sizeof expected, "21.250000 1 12 %f %f %f\n", state.dragTarget.x,
                  state.dragTarget.y, state.dragTarget.z);
    EXPECT_EQ(rows, std::string(expected) + expected + expected);
    // The vertex is the target, narrowed.
    EXPECT_EQ(vertex(1, 12).pos.x, float(state.dragTarget.x));
    EXPECT_EQ(vertex(1, 12).pos.y, float(state.dragTarget.y));
    EXPECT_EQ(vertex(1, 12).pos.z, float(state.dragTarget.z));
    // The drag keeps the depth of the pick.
    EXPECT_NEAR(windowPointOf(vertex(1, 12).pos, camera).depth, state.pickDepth, 1e-6);

    // Moving towards another vertex drags the same one: the pick happens once.
    const WindowPoint next = pointOf(13);
    for (int frame = 1; frame <= 4; ++frame) {
        state.showTime += 0.5f;
        input.mouseX += int32_t(std::lround((next.x - pointOf(12).x) / 2.0)) + 3;
        input.mouseY -= 7;
        const std::string row = mouseFrame(input);
        SCOPED_TRACE(frame);
        EXPECT_EQ(state.selectedVertex, 12);
        expectUnderCursor(vertex(1, 12).pos, input);
        float time = 0.0f;
        int slot = -1;
        int index = -1;
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;
        ASSERT_EQ(
            std::sscanf(row.c_str(), "%f %d %d %lf %lf %lf", &time, &slot, &index, &x, &y, &z), 6)
            << row;
        EXPECT_EQ(time, state.showTime);
        EXPECT_EQ(slot, 1);
        EXPECT_EQ(index, 12);
        EXPECT_NEAR(x, state.dragTarget.x, 1e-6);
        EXPECT_NEAR(y, state.dragTarget.y, 1e-6);
        EXPECT_NEAR(z, state.dragTarget.z, 1e-6);
        EXPECT_EQ(std::count(row.begin(), row.end(), '\n'), 1);
    }
    EXPECT_EQ(handleCount(1), 1);
}

TEST_F(Mouse, TheButtonOfTheLastFrameDecidesWhetherTheVertexStaysAHandle) {
    const struct {
        bool left1, right1, left2, right2, pinned;
    } cases[] = {
        {true, false, true, false, false},
        {false, true, false, true, true},
        {false, true, true, false, false},
        {true, false, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left1 << c.right1 << c.left2 << c.right2);
        for (MeshVertex& v : state.scenes[1].mesh.vertices) {
            v.pos = v.restPos;
            v.isHandle = 0;
        }
        mouseFrame(buttonsAtVertex(6, c.left1, c.right1));
        mouseFrame(buttonsAtVertex(7, c.left2, c.right2));
        ASSERT_EQ(state.selectedVertex, 6);
        const Vec3f dragged = vertex(1, 6).pos;
        EXPECT_EQ(mouseFrame(InputTable{}), "");
        EXPECT_FALSE(state.dragging);
        EXPECT_EQ(vertex(1, 6).isHandle, c.pinned ? 1 : 0);
        EXPECT_EQ(vertex(1, 6).pos.x, dragged.x);
        // A second idle frame changes nothing.
        mouseFrame(InputTable{});
        EXPECT_EQ(vertex(1, 6).isHandle, c.pinned ? 1 : 0);
    }
}

TEST_F(Mouse, InPlaybackTheMouseNeitherPicksNorDragsNorReleases) {
    state.playback = true;
    EXPECT_EQ(mouseFrame(buttonsAtVertex(8, true, false)), "");
    EXPECT_FALSE(state.dragging);
    EXPECT_EQ(handleCount(1), 0);

    // Playback switched on in the middle of a drag: the drag is frozen, not ended.
    state.playback = false;
    mouseFrame(buttonsAtVertex(8, false, true));
    ASSERT_TRUE(state.dragging);
    const Vec3d target = state.dragTarget;
    state.playback = true;
    state.scenes[1].mesh.vertices[8].pos = {0.0f, 0.0f, 0.0f};
    EXPECT_EQ(mouseFrame(InputTable{}), "");
    EXPECT_TRUE(state.dragging);
    EXPECT_FALSE(state.pinOnRelease);
    EXPECT_EQ(state.dragTarget.x, target.x);
    // Step B still holds the selected vertex at the target.
    EXPECT_EQ(vertex(1, 8).pos.x, float(target.x));

    // An active row takes over the selection.
    state.keyframes = {{21.0f, 2, 5, 3.0f, 4.0f, 5.0f}, {22.0f, 1, 0, 0.0f, 0.0f, 0.0f}};
    state.keyframeCount = 2;
    EXPECT_EQ(mouseFrame(buttonsAtVertex(8, true, false)), "");
    EXPECT_EQ(state.currentScene, 2);
    EXPECT_EQ(state.selectedVertex, 5);
    EXPECT_EQ(vertex(2, 5).isHandle, 1);
    EXPECT_EQ(vertex(2, 5).pos.x, 3.0f);
    EXPECT_EQ(vertex(2, 5).pos.z, 5.0f);
}

TEST_F(Mouse, ResetWhileDraggingFreesTheVertexButTheDragGoesOn) {
    InputTable input = buttonsAtVertex(12, true, false);
    mouseFrame(input);
    state.scenes[1].mesh.vertices[3].pos.x = 500.0f;
    state.scenes[1].mesh.vertices[3].isHandle = 1;
    handleKeys(state, held({VK_R}));
    EXPECT_EQ(handleCount(1), 0);
    EXPECT_EQ(vertex(1, 3).pos.x, vertex(1, 3).restPos.x);
    EXPECT_EQ(vertex(1, 12).pos.x, vertex(1, 12).restPos.x);

    pointCursorAt(input, pointOf(13), camera);
    const std::string row = mouseFrame(input);
    EXPECT_EQ(row.compare(0, 15, "21.250000 1 12 "), 0) << row;
    EXPECT_EQ(state.selectedVertex, 12);
    EXPECT_EQ(vertex(1, 12).isHandle, 0);
    expectUnderCursor(vertex(1, 12).pos, input);
}

TEST_F(Mouse, ResetInPlaybackGivesTheActiveRowItsHandleBackInTheSameFrame) {
    state.playback = true;
    state.keyframes = {{21.0f, 1, 6, 30.0f, 40.0f, 50.0f}, {22.0f, 1, 0, 0.0f, 0.0f, 0.0f}};
    state.keyframeCount = 2;
    handleKeys(state, held({}));
    mouseFrame(InputTable{});
    ASSERT_EQ(vertex(1, 6).isHandle, 1);

    handleKeys(state, held({VK_R}));
    EXPECT_EQ(vertex(1, 6).isHandle, 0);
    mouseFrame(InputTable{});
    EXPECT_EQ(vertex(1, 6).isHandle, 1);
    EXPECT_EQ(vertex(1, 6).pos.x, 30.0f);
    EXPECT_EQ(vertex(1, 6).pos.y, 40.0f);
    EXPECT_EQ(handleCount(1), 1);
}

TEST_F(Mouse, ASlotChangeDuringADragNeverReachesPastTheNewSlot) {
    InputTable input = buttonsAtVertex(20, true, false);
    mouseFrame(input);
    ASSERT_EQ(state.selectedVertex, 20);

    // Slot 3 has four vertices: the row still names vertex 20, which playback will skip.
    handleKeys(state, held({VK_F1 + 3}));
    const std::string row = mouseFrame(input);
    EXPECT_EQ(row.compare(0, 15, "21.250000 3 20 "), 0) << row;
    for (const MeshVertex& v : state.scenes[3].mesh.vertices) {
        EXPECT_EQ(v.pos.x, v.restPos.x);
        EXPECT_EQ(v.isHandle, 0);
    }
    mouseFrame(InputTable{});
    EXPECT_FALSE(state.dragging);
    EXPECT_EQ(vertex(1, 20).isHandle, 1);  // the release looks in the slot now shown
}

}  // namespace
