// The authoring studio under a long seeded stream of everything an author does: every studio
// key (seeks, section starts, pause, loop marks, the heads-up display, the preview, undo, redo,
// keep), drags with either button, clicks on the timeline, slot keys and resets, at random
// frames. After every frame the time stays within the show, every printed row names a real
// slot and vertex, no vertex holds a non-finite value, and after every K the script on disk is
// whole, valid and sorted.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "console.h"
#include "driver/frame_loop.h"
#include "driver/keyframes.h"
#include "driver/load_scene.h"
#include "fake_platform.h"
#include "gl_context.h"
#include "random_hand.h"
#include "render/timeline_strip.h"
#include "script_rows.h"
#include "show_folder.h"

namespace {

constexpr int FRAMES = 20000;
// Drawing is what costs on a machine without a graphics card; every eighth frame is drawn,
// with the heads-up display and the strip when H has them on.
constexpr int DRAW_EVERY = 8;

// A 9 x 9 grid of 7 pixels a step over the 64 x 64 masks of the test show, so that every
// vertex lies in every bone.
std::string gridMesh() {
    std::string text;
    char line[64];
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            std::snprintf(line, sizeof line, "v %d %d 0\n", 4 + 7 * x, 4 + 7 * y);
            text += line;
        }
    }
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int a = 1 + y * 9 + x;
            std::snprintf(line, sizeof line, "f %d %d %d\nf %d %d %d\n", a, a + 1, a + 10, a,
                          a + 10, a + 9);
            text += line;
        }
    }
    return text;
}

const int STUDIO_KEYS[] = {VK_PRIOR, VK_NEXT, VK_HOME, VK_P, VK_L, VK_H, VK_F12, VK_K};

class RandomAuthor {
public:
    explicit RandomAuthor(unsigned seed) : hand_(seed) {}

    // Sets this frame's input; `keys` tells how often each studio key went down. Near the end
    // of the show the author goes back, as the plain authoring tool's clock runs on past it.
    void next(InputTable& input, int frame, float showTime, int* keys) {
        for (int key : STUDIO_KEYS) input.keys[key] = 0;
        for (int key = VK_F1; key <= VK_F6; ++key) input.keys[key] = 0;
        input.keys[VK_R] = 0;
        input.keys[VK_CONTROL] = 0;
        input.keys[VK_Z] = 0;
        input.keys[VK_Y] = 0;
        input.keys[VK_SPACE] = 0;
        for (int key : STUDIO_KEYS) {
            if (chance(key == VK_K ? 0.004 : 0.006)) press(input, key, keys);
        }
        if (showTime > 86.0f) press(input, chance(0.5) ? VK_HOME : VK_PRIOR, keys);
        if (chance(0.01)) pressWithControl(input, VK_Z, keys);
        if (chance(0.005)) pressWithControl(input, VK_Y, keys);
        if (chance(0.004)) press(input, VK_F1 + int(hand_.below(6)), keys);
        if (chance(0.002)) press(input, VK_R, keys);
        // Late in the run playback goes on for good, as Space does.
        if (frame == FRAMES * 9 / 10) press(input, VK_SPACE, keys);
        moveMouse(input, keys);
    }

private:
    bool chance(double p) { return hand_.chance(p); }

    void press(InputTable& input, int key, int* keys) {
        input.keys[key] = 1;
        ++input.presses[key];
        ++keys[key];
    }

    void pressWithControl(InputTable& input, int key, int* keys) {
        input.keys[VK_CONTROL] = 1;
        ++input.controlPresses[key];
        press(input, key, keys);
    }

    void moveMouse(InputTable& input, int* keys) {
        const bool dragging = input.mouseLeft != 0 || input.mouseRight != 0;
        if (dragging) {
            if (hand_.dragGoesOn(input)) hand_.wander(input);
            return;
        }
        if (chance(0.003)) {
            // A click on the timeline strip, over between two frames.
            const StripBox box = stripBox(windowWidth, windowHeight);
            input.mouseX = int32_t(box.timeLeft + (box.timeRight - box.timeLeft) *
                                                      float(hand_.below(1000)) / 1000.0f);
            input.mouseY = int32_t(box.top + 2.0f);
            ++input.mouseLeftPresses;
            ++keys[0];
            return;
        }
        if (!chance(0.05)) return;
        const bool right = chance(0.3);
        input.mouseLeft = right ? 0 : 1;
        input.mouseRight = right ? 1 : 0;
        if (!right) ++input.mouseLeftPresses;
        hand_.startDrag(input, 80);
    }

    RandomHand hand_;
};

bool finite(const Scene& scene) {
    for (const MeshVertex& v : scene.mesh.vertices) {
        if (!std::isfinite(v.pos.x) || !std::isfinite(v.pos.y) || !std::isfinite(v.pos.z))
            return false;
    }
    return true;
}

}  // namespace

TEST(StudioSoak, TimeRowsVerticesAndKeptScriptsStayValidThroughoutALongSession) {
    ensureGlContext();
    TempFolder show;
    writeShowFolder(show.path(), gridMesh());
    writeTextFile(show.file("anim.txt"), "");
    WorkingDirectory inShow(show.path());

    FakePlatform platform;
    static DriverState state;
    initDriverState(state, false);
    int32_t textures = 0;
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        const SceneSlotConfig& config = sceneSlots[slot];
        loadScene(state.scenes[slot], config.directory, config.boneCount, config.appendMirror,
                  textures);
    }
    platform.setClock(0.0);
    state.clock = ShowClock{0, 1e6, 0.0};
    std::mt19937 steps(7);
    std::uniform_int_distribution<int64_t> frameTicks(5000, 40000);  // 5 to 40 ms a frame

    InputTable input;
    std::memset(&input, 0, sizeof input);
    MatrixStore matrices{};
    RandomAuthor author(20261209u);
    int keys[256] = {};
    int rows = 0, keeps = 0;
    int32_t lastVertex = -1;  // the vertex of the last frame's row; -1 when it printed none
    CapturedConsole console;
    state.console = console.file();
    testing::internal::CaptureStderr();
    const auto begun = std::chrono::steady_clock::now();
    for (int frame = 0; frame < FRAMES; ++frame) {
        const int keptBefore = keys[VK_K];
        author.next(input, frame, state.showTime, keys);
        platform.plan.draw = frame % DRAW_EVERY == 0;
        platform.counter += frameTicks(steps);
        ASSERT_EQ(runFrame(platform, state, input, matrices), FrameOutcome::Continue)
            << "frame " << frame;

        ASSERT_TRUE(state.showTime >= 0.0f && state.showTime <= 89.0f)
            << "frame " << frame << ": " << state.showTime;
        for (const Scene& scene : state.scenes) ASSERT_TRUE(finite(scene)) << "frame " << frame;
        // A pick names a vertex of the slot it is made in. A drag goes on naming it when F1 to
        // F6 or the timeline change the slot under it, as the plain authoring tool does; a
        // studio seek that changes the slot ends the drag and picks afresh.
        const std::vector<std::string> printed = linesOf(console.take());
        ASSERT_LE(printed.size(), 1u) << "frame " << frame;
        for (const std::string& line : printed) {
            PrintedRow row;
            ASSERT_TRUE(parsePrintedRow(line, row)) << "frame " << frame << ": " << line;
            ASSERT_TRUE(row.slot >= 0 && row.slot < sceneSlotCount) << line;
            ASSERT_TRUE(std::isfinite(row.x) && std::isfinite(row.y) && std::isfinite(row.z))
                << line;
            const bool held =
                size_t(row.vertex) < state.scenes[size_t(row.slot)].mesh.vertices.size();
            ASSERT_TRUE(row.vertex >= 0 && (held || lastVertex == row.vertex))
                << "frame " << frame << ": " << line;
            ++rows;
        }
        lastVertex = printed.empty() ? -1 : state.selectedVertex;
        if (keys[VK_K] != keptBefore) {
            ++keeps;
            std::vector<Keyframe> script;
            const int32_t count = readKeyframes(keyframeFileName, script);
            const std::vector<std::string> lines = linesOf(readTextFile(keyframeFileName));
            ASSERT_EQ(size_t(count), lines.size()) << "frame " << frame;
            for (int32_t r = 0; r < count; ++r) {
                const Keyframe& k = script[size_t(r)];
                ASSERT_TRUE(k.scene >= 1 && k.scene <= 4 &&
                            size_t(k.vertex) < state.scenes[size_t(k.scene)].mesh.vertices.size())
                    << "frame " << frame << ": " << lines[size_t(r)];
                if (r > 0) {
                    ASSERT_LE(script[size_t(r) - 1].time, k.time) << "frame " << frame;
                }
            }
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
    testing::internal::GetCapturedStderr();
    std::fprintf(stderr, "studio soak: %d frames in %.1f s; %d rows printed, %d K presses\n",
                 FRAMES, seconds, rows, keeps);
    for (int key : STUDIO_KEYS) EXPECT_GT(keys[key], 0) << "key " << key << " never pressed";
    EXPECT_GT(keys[VK_Z] * keys[VK_Y] * keys[0], 0);
    EXPECT_GT(rows, 0);
    EXPECT_GT(readKeyframes(keyframeFileName, state.keyframes), 0) << "no take was ever kept";
}
