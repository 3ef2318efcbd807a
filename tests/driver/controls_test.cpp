#include "driver/controls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <string>

#include "console.h"
#include "gl_context.h"
#include "render/camera.h"
#include "scene/show_facts.h"
#include "window_point.h"

namespace {

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

// What the keys have moved away from the start values, e.g. "slot=4 raw drift=0,25,0 dx=2188".
std::string changed(const DriverState& s) {
    std::ostringstream out;
    out.precision(9);
    const auto value = [&out](const char* name, float now, float start) {
        if (now != start) out << ' ' << name << '=' << now;
    };
    if (s.currentScene != 0) out << " slot=" << s.currentScene;
    if (s.playback) out << " playback";
    if (s.rawAverage) out << " raw";
    if (!s.running) out << " stopped";
    if (s.drift.x != 0 || s.drift.y != 0 || s.drift.z != 0) {
        out << " drift=" << s.drift.x << ',' << s.drift.y << ',' << s.drift.z;
    }
    value("fov", s.fov, startFov);
    value("dx", s.dx, startDx);
    value("dy", s.dy, startDy);
    value("dz", s.dz, startDz);
    value("ra", s.ra, startRa);
    value("rb", s.rb, startRb);
    return out.str().empty() ? "" : out.str().substr(1);
}

TEST(Keys, EachFrameOfHeldKeysMovesTheControlsByAHundredTimesTheFrameTime) {
    DriverState state = authoringState();
    // Frames in order, each with the keys held and how the controls stand after it.
    const struct {
        std::initializer_list<int> keys;
        const char* after;
        float frameTime = 0.25f;
    } frames[] = {
        // The highest slot key held wins; the slot outlives the key.
        {{VK_F1 + 1, VK_F1 + 4}, "slot=4"},
        {{}, "slot=4"},
        {{VK_F6, VK_F1}, "slot=5"},
        {{VK_F1}, ""},
        // Without Shift each drift key replaces the whole drift, and the last one tested wins.
        {{VK_DOWN}, "drift=0,25,0"},
        {{VK_LEFT, VK_UP}, "drift=0,-25,0"},
        {{VK_LEFT}, "drift=25,0,0"},
        {{VK_F}, "drift=0,0,25"},
        {{VK_RIGHT}, "drift=-25,0,0"},
        {{VK_V}, "drift=0,0,-25"},
        {{VK_UP}, "drift=0,-25,0"},
        {{VK_DOWN, VK_V, VK_UP, VK_F, VK_RIGHT, VK_LEFT}, "drift=0,25,0"},
        {{}, "drift=0,25,0"},
        // With Shift they move the camera instead, and opposites cancel.
        {{VK_SHIFT, VK_LEFT}, "drift=0,25,0 dx=2188"},
        {{VK_SHIFT, VK_F}, "drift=0,25,0 dx=2188 dy=2025"},
        {{VK_SHIFT, VK_UP}, "drift=0,25,0 dx=2188 dy=2025 dz=2175"},
        {{VK_SHIFT, VK_RIGHT, VK_V, VK_DOWN}, "drift=0,25,0"},
        {{VK_SHIFT, VK_LEFT, VK_RIGHT, VK_F, VK_V, VK_UP, VK_DOWN}, "drift=0,25,0"},
        // One reading of Shift serves Enter and the drift keys alike; Enter sets, not toggles.
        {{VK_SHIFT, VK_RETURN, VK_DOWN}, "raw drift=0,25,0 dz=2225"},
        {{VK_SHIFT, VK_RETURN}, "raw drift=0,25,0 dz=2225"},
        {{}, "raw drift=0,25,0 dz=2225"},
        {{VK_RETURN}, "drift=0,25,0 dz=2225"},
        // Keys next to the table's do nothing.
        {{VK_F1 - 1, VK_F6 + 1, VK_F6 + 2, VK_ADD + 1, VK_SUBTRACT + 1, 'E', 'Q'},
         "drift=0,25,0 dz=2225"},
        {{VK_A}, "drift=0,25,0 dz=2225 ra=-19"},
        {{VK_D}, "drift=0,25,0 dz=2225"},
        {{VK_S}, "drift=0,25,0 dz=2225 rb=-33"},
        {{VK_W}, "drift=0,25,0 dz=2225"},
        {{VK_ADD}, "drift=0,25,0 fov=40 dz=2225"},
        {{VK_SUBTRACT, VK_A, VK_D}, "drift=0,25,0 dz=2225"},
        // The first frame has no duration: held keys move nothing, drift keys give a zero drift.
        {{VK_A, VK_S, VK_ADD, VK_SHIFT, VK_LEFT, VK_UP}, "drift=0,25,0 dz=2225", 0.0f},
        {{VK_LEFT}, "dz=2225", 0.0f},
        // The amount is formed in float: 100 times 1/60 of a second.
        {{VK_ADD}, "fov=16.666666 dz=2225", 1.0f / 60.0f},
        // Space switches playback on for good; Escape stops the run.
        {{VK_SPACE}, "playback fov=16.666666 dz=2225"},
        {{VK_RETURN, VK_R, VK_F1 + 2}, "slot=2 playback fov=16.666666 dz=2225"},
        {{VK_SPACE}, "slot=2 playback fov=16.666666 dz=2225"},
        {{VK_ESCAPE}, "slot=2 playback stopped fov=16.666666 dz=2225"},
    };
    int frame = 0;
    for (const auto& f : frames) {
        state.frameTime = f.frameTime;
        handleKeys(state, held(f.keys));
        EXPECT_EQ(changed(state), f.after) << "frame " << frame++;
    }
}

TEST(Keys, ResetPutsTheCurrentSlotBackAtRest) {
    DriverState state = authoringState();
    for (int slot : {2, 3}) {
        for (MeshVertex& v : state.scenes[slot].mesh.vertices) {
            v.pos = {-1.0f, -2.0f, -3.0f};
            v.isHandle = 1;
        }
    }
    state.drift = {1.0f, 2.0f, 3.0f};
    state.currentScene = 3;
    // F3 comes first in the frame, so the reset works on the slot it chose; the slot left
    // behind keeps its shape and handles.
    handleKeys(state, held({VK_R, VK_F1 + 2}));
    EXPECT_EQ(changed(state), "slot=2");
    for (int slot : {2, 3}) {
        for (const MeshVertex& v : state.scenes[slot].mesh.vertices) {
            const bool atRest =
                v.pos.x == v.restPos.x && v.pos.y == v.restPos.y && v.pos.z == v.restPos.z;
            EXPECT_EQ(atRest, slot == 2);
            EXPECT_EQ(v.isHandle, slot == 2 ? 0 : 1);
        }
    }
    // A drift key later in the table wins over the reset.
    handleKeys(state, held({VK_R, VK_V}));
    EXPECT_EQ(state.drift.z, -25.0f);
}

TEST(Keys, TabPrintsTheCameraLineEveryFrameItIsHeld) {
    DriverState state = authoringState();
    CapturedConsole console;
    state.console = console.file();
    for (int frame = 0; frame < 3; ++frame) handleKeys(state, held({VK_TAB, VK_A}));
    handleKeys(state, held({VK_A}));
    std::string expected;
    for (const char* ra : {"-19", "6", "31"}) {
        expected += std::string("fov=15.000000; dx=2163.000000; dy=2000.000000; dz=2200.000000; ") +
                    "ox=20.000000; oy=20.000000; oz=20.000000; ra=" + ra +
                    ".000000; rb=-58.000000;\n";
    }
    EXPECT_EQ(console.take(), expected);
}

// The mouse works on a real GL context, seen through the start camera.
class Mouse : public testing::Test {
protected:
    void SetUp() override {
        ensureGlContext();
        state = authoringState();
        state.console = console.file();
        state.currentScene = 1;
        state.showTime = 21.25f;
        setupCamera(state.scenes[1].mesh, startFov, startDx, startDy, startDz, eyeOffset, eyeOffset,
                    eyeOffset, startRa, startRb, windowWidth, windowHeight);
        readMatrixStore(camera);
    }

    MeshVertex& vertex(int32_t slot, int32_t index) {
        return state.scenes[slot].mesh.vertices[index];
    }

    WindowPoint pointOf(int32_t index) { return windowPointOf(vertex(1, index).pos, camera); }

    InputTable buttonsAt(const WindowPoint& point, const std::string& buttons) {
        InputTable input{};
        pointCursorAt(input, point, camera);
        input.mouseLeft = buttons.find('L') != std::string::npos;
        input.mouseRight = buttons.find('R') != std::string::npos;
        return input;
    }

    // One frame of the mouse step; returns what it printed.
    std::string mouseFrame(const InputTable& input) {
        handleMouse(state, input, matrices);
        return console.take();
    }

    // The row a drag prints for this frame.
    std::string row() {
        char text[256];
        std::snprintf(text, sizeof text, "%f %d %d %f %f %f\n", double(state.showTime),
                      state.currentScene, state.selectedVertex, state.dragTarget.x,
                      state.dragTarget.y, state.dragTarget.z);
        return text;
    }

    // "selected vertex [drag [pin]] | handles of the slot shown".
    std::string summary() {
        std::string text = std::to_string(state.selectedVertex);
        if (state.dragging) text += state.pinOnRelease ? " drag pin" : " drag";
        text += " | handles";
        const std::vector<MeshVertex>& shown = state.scenes[state.currentScene].mesh.vertices;
        for (size_t i = 0; i < shown.size(); ++i) {
            if (shown[i].isHandle) text += " " + std::to_string(i);
        }
        return text;
    }

    DriverState state;
    CapturedConsole console;
    MatrixStore camera{};
    MatrixStore matrices{};
};

TEST_F(Mouse, ThePickTakesTheNearestVertexAndTiesGoToTheEarlierOne) {
    std::vector<MeshVertex>& vertices = state.scenes[1].mesh.vertices;
    const auto pick = [&](const WindowPoint& point, double& depth) {
        const InputTable input = buttonsAt(point, "L");
        return pickNearestVertex(vertices, float(input.mouseX), float(input.mouseY), camera, depth);
    };
    double depth = -1.0;
    for (int32_t target : {0, 7, 13, 24}) {
        EXPECT_EQ(pick(pointOf(target), depth), target);
        EXPECT_EQ(depth, pointOf(target).depth);
        EXPECT_EQ(summary(), "0 | handles " + std::to_string(target));
        vertices[target].isHandle = 0;
    }

    // Two vertices in one place: the earlier one.
    vertices[17].pos = vertices[20].pos;
    EXPECT_EQ(pick(pointOf(20), depth), 17);
}

TEST_F(Mouse, APickThatFindsNothingStartsNoDragAndPrintsNothing) {
    // Clicks in slots without a mesh or with nothing on screen: no stale target is written
    // into the slot that has one.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (MeshVertex& v : state.scenes[1].mesh.vertices) v.pos = {nan, nan, nan};
    state.selectedVertex = 3;
    state.dragTarget = {1.0, 2.0, 3.0};
    for (int32_t slot : {0, 5, 1}) {
        state.currentScene = slot;
        EXPECT_EQ(mouseFrame(buttonsAt(WindowPoint{640.0, 360.0, 0.0}, "LR")), "") << slot;
        EXPECT_EQ(summary(), "3 | handles") << slot;
        EXPECT_TRUE(std::isnan(vertex(1, 3).pos.x));
    }
    EXPECT_EQ(mouseFrame(InputTable{}), "");
    EXPECT_EQ(summary(), "3 | handles");
}

TEST_F(Mouse, ADragPrintsARowEveryFrameAndTheButtonOfItsLastFrameDecidesTheRelease) {
    // Frames in order: keys, buttons, the vertex of slot 1 whose place the cursor is on (-1: an
    // idle frame), and the summary after it. Every frame that prints must print one row of its
    // target and leave the dragged vertex there, under the cursor at the depth of the pick.
    const struct {
        std::initializer_list<int> keys;
        const char* buttons;
        int32_t at;
        const char* after;
    } frames[] = {
        // The pick happens once: the row comes every frame, moving or not, for the same vertex.
        {{}, "L", 12, "12 drag | handles 12"},
        {{}, "L", 12, "12 drag | handles 12"},
        {{}, "L", 14, "12 drag | handles 12"},
        // Left frees on release, right pins; the button of the last frame decides.
        {{}, "", -1, "12 | handles"},
        {{}, "", -1, "12 | handles"},
        {{}, "R", 6, "6 drag pin | handles 6"},
        {{}, "R", 7, "6 drag pin | handles 6"},
        {{}, "", -1, "6 | handles 6"},
        {{}, "", -1, "6 | handles 6"},
        {{}, "R", 0, "0 drag pin | handles 0 6"},
        {{}, "L", 1, "0 drag | handles 0 6"},
        {{}, "", -1, "0 | handles 6"},
        {{}, "L", 24, "24 drag | handles 6 24"},
        {{}, "LR", 23, "24 drag pin | handles 6 24"},
        {{}, "", -1, "24 | handles 6 24"},
        // A slot change mid-drag: the row names slot 3 and a vertex it does not have; nothing
        // there is touched, and the release looks in slot 3.
        {{}, "L", 18, "18 drag | handles 6 18 24"},
        {{VK_F1 + 3}, "L", 19, "18 drag | handles"},
        {{}, "", -1, "18 | handles"},
        {{VK_F1 + 1}, "", -1, "18 | handles 6 18 24"},
        // R mid-drag puts the slot back at rest and frees every vertex; the drag goes on.
        {{}, "L", 16, "16 drag | handles 6 16 18 24"},
        {{VK_R}, "L", 17, "16 drag | handles"},
    };
    int n = 0;
    for (const auto& f : frames) {
        SCOPED_TRACE(testing::Message() << "frame " << n++);
        const InputTable input = f.at < 0 ? InputTable{} : buttonsAt(pointOf(f.at), f.buttons);
        handleKeys(state, held(f.keys));
        const std::string printed = mouseFrame(input);
        EXPECT_EQ(summary(), f.after);
        EXPECT_EQ(printed, state.dragging ? row() : "");
        const std::vector<MeshVertex>& shown = state.scenes[state.currentScene].mesh.vertices;
        if (!state.dragging || size_t(state.selectedVertex) >= shown.size()) continue;
        const MeshVertex& v = shown[size_t(state.selectedVertex)];
        EXPECT_TRUE(v.pos.x == float(state.dragTarget.x) && v.pos.y == float(state.dragTarget.y) &&
                    v.pos.z == float(state.dragTarget.z));
        const WindowPoint point = windowPointOf(v.pos, camera);
        EXPECT_NEAR(point.x, double(input.mouseX), 0.01);
        EXPECT_NEAR(point.y, double(camera.viewport[3] - input.mouseY), 0.01);
        EXPECT_NEAR(point.depth, state.pickDepth, 1e-6);
    }
    EXPECT_EQ(row().compare(0, 15, "21.250000 1 16 "), 0) << row();
    for (int32_t i = 0; i < 25; ++i)
        EXPECT_EQ(vertex(1, i).pos.x == vertex(1, i).restPos.x, i != 16);
    for (const MeshVertex& v : state.scenes[3].mesh.vertices) EXPECT_EQ(v.pos.x, v.restPos.x);
}

TEST_F(Mouse, InPlaybackTheMouseNeitherPicksNorDragsNorReleases) {
    state.playback = true;
    EXPECT_EQ(mouseFrame(buttonsAt(pointOf(8), "L")), "");
    EXPECT_EQ(summary(), "0 | handles");

    // Playback switched on in the middle of a drag: the drag is frozen, not ended, and step B
    // still holds the selected vertex at the target.
    state.playback = false;
    mouseFrame(buttonsAt(pointOf(8), "R"));
    const Vec3d target = state.dragTarget;
    state.playback = true;
    vertex(1, 8).pos = {0.0f, 0.0f, 0.0f};
    EXPECT_EQ(mouseFrame(InputTable{}), "");
    EXPECT_EQ(summary(), "8 drag | handles");
    EXPECT_EQ(state.dragTarget.x, target.x);
    EXPECT_EQ(vertex(1, 8).pos.x, float(target.x));

    // An active row takes over the selection.
    state.keyframes = {{21.0f, 2, 5, 3.0f, 4.0f, 5.0f}, {22.0f, 1, 0, 0.0f, 0.0f, 0.0f}};
    state.keyframeCount = 2;
    EXPECT_EQ(mouseFrame(buttonsAt(pointOf(8), "L")), "");
    EXPECT_EQ(summary(), "5 drag | handles 5");
    EXPECT_TRUE(vertex(2, 5).pos.x == 3.0f && vertex(2, 5).pos.z == 5.0f);

    // R takes the handle away; the same frame's mouse step gives it back.
    handleKeys(state, held({VK_R}));
    EXPECT_EQ(summary(), "5 drag | handles");
    mouseFrame(InputTable{});
    EXPECT_EQ(summary(), "5 drag | handles 5");
    EXPECT_EQ(vertex(2, 5).pos.y, 4.0f);
}

}  // namespace
