// An authoring session of many frames on the demo show, driven by a seeded random stream of
// keys and drags: every control of the table, Shift with them, drags with either button, slot
// changes and resets in the middle of a drag, and playback switched on part way through. After
// every frame the meshes must still be whole and finite and the console must say exactly what
// the frame did; over the run, resident memory must stay level.
//
// The demo show comes from the build (the show_content target). The frame count is 2,000, or
// what the test's own environment variable KELVARO_SOAK_FRAMES asks for a long run.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "console.h"
#include "driver/frame_loop.h"
#include "driver/load_scene.h"
#include "fake_platform.h"
#include "gl_context.h"
#include "random_hand.h"
#include "scene/show_facts.h"
#include "script_rows.h"
#include "show_folder.h"

namespace {

constexpr int defaultFrames = 2000;
constexpr int settleFrames = 1000;  // resident memory is compared with its level here
// The show clock runs through the authoring timeline up to here over the whole run, whatever
// the frame count: every slot comes up by time, and the end of the show (87 s, which only
// playback acts on) is never reached.
constexpr double runShowSeconds = 85.0;

int soakFrames() {
    const char* asked = std::getenv("KELVARO_SOAK_FRAMES");
    if (asked == nullptr || *asked == '\0') return defaultFrames;
    return std::atoi(asked);
}

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

long residentKiB() {
    long pages = 0;
    long resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return -1;
    const int read = std::fscanf(statm, "%ld %ld", &pages, &resident);
    std::fclose(statm);
    if (read != 2) return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

bool parseCameraLine(const std::string& line) {
    float v[9];
    char extra;
    const int n = std::sscanf(
        line.c_str(), "fov=%f; dx=%f; dy=%f; dz=%f; ox=%f; oy=%f; oz=%f; ra=%f; rb=%f; %c", &v[0],
        &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &extra);
    if (n != 9) return false;
    for (float f : v) {
        if (!std::isfinite(f)) return false;
    }
    return v[4] == 20.0f && v[5] == 20.0f && v[6] == 20.0f;
}

// What the random stream did, so that the test can tell that it did exercise the controls.
struct Exercised {
    int leftDrags = 0;
    int rightDrags = 0;
    int slotChangesInDrag = 0;
    int resetsInDrag = 0;
    int keyPresses[256] = {};
    int shiftedPresses = 0;
};

// The seeded random user. Keys go down and come up at random; the camera keys lean back
// towards the start values, as a user who keeps the figure in view does, so that picks and
// drags keep finding the mesh over a long run.
class RandomUser {
public:
    RandomUser(unsigned seed, int frames) : hand_(seed), frames_(frames) {}

    void next(int frame, const DriverState& state, InputTable& input, Exercised& done) {
        const bool shift = input.keys[VK_SHIFT] != 0;
        // Keys held in the last frame mostly come up again.
        for (int key : heldKeys) {
            if (input.keys[key] != 0 && chance(0.25)) input.keys[key] = 0;
        }
        for (int key = VK_F1; key <= VK_F6; ++key) input.keys[key] = 0;
        input.keys[VK_SPACE] = 0;
        input.keys[VK_R] = 0;
        if (chance(0.03)) input.keys[VK_SHIFT] = shift ? 0 : 1;

        for (int key : heldKeys) {
            if (key == VK_SHIFT || input.keys[key] != 0) continue;
            if (chance(pressChance(key, state))) press(input, key, done);
        }
        const bool dragging = input.mouseLeft != 0 || input.mouseRight != 0;
        if (chance(dragging ? 0.02 : 0.004)) {
            press(input, VK_F1 + int(hand_.below(6)), done);
            if (dragging) ++done.slotChangesInDrag;
        }
        if (chance(dragging ? 0.01 : 0.004)) {
            press(input, VK_R, done);
            if (dragging) ++done.resetsInDrag;
        }
        if (frame == frames_ * 7 / 10) press(input, VK_SPACE, done);

        moveMouse(input, done);
    }

private:
    static constexpr int heldKeys[] = {VK_RETURN, VK_LEFT, VK_RIGHT,    VK_UP,  VK_DOWN,
                                       VK_F,      VK_V,    VK_A,        VK_D,   VK_S,
                                       VK_W,      VK_ADD,  VK_SUBTRACT, VK_TAB, VK_SHIFT};

    bool chance(double p) { return hand_.chance(p); }

    void press(InputTable& input, int key, Exercised& done) {
        input.keys[key] = 1;
        ++done.keyPresses[key];
        if (input.keys[VK_SHIFT] != 0) ++done.shiftedPresses;
    }

    // A key that would move a camera value further from its start is pressed less often.
    static double lean(float value, float start, float spread, bool increases) {
        const float away = (value - start) / spread;
        const bool further = increases ? away > 0.0f : away < 0.0f;
        const float distance = std::fabs(away);
        if (!further) return 1.0;
        return distance > 1.0f ? 0.1 : 1.0 - 0.9 * double(distance);
    }

    // The camera keys and the way each moves its value.
    struct CameraKey {
        int key;
        float DriverState::*value;
        float start;
        float spread;
        bool increases;
    };
    static constexpr CameraKey cameraKeys[] = {
        {VK_ADD, &DriverState::fov, startFov, 8.0f, true},
        {VK_SUBTRACT, &DriverState::fov, startFov, 8.0f, false},
        {VK_A, &DriverState::ra, startRa, 60.0f, true},
        {VK_D, &DriverState::ra, startRa, 60.0f, false},
        {VK_S, &DriverState::rb, startRb, 40.0f, true},
        {VK_W, &DriverState::rb, startRb, 40.0f, false},
        {VK_LEFT, &DriverState::dx, startDx, 200.0f, true},
        {VK_RIGHT, &DriverState::dx, startDx, 200.0f, false},
        {VK_F, &DriverState::dy, startDy, 200.0f, true},
        {VK_V, &DriverState::dy, startDy, 200.0f, false},
        {VK_UP, &DriverState::dz, startDz, 200.0f, false},
        {VK_DOWN, &DriverState::dz, startDz, 200.0f, true},
    };

    double pressChance(int key, const DriverState& s) const {
        constexpr double base = 0.015;
        if (key == VK_TAB) return 0.005;
        for (const CameraKey& c : cameraKeys) {
            if (c.key == key) return base * lean(s.*c.value, c.start, c.spread, c.increases);
        }
        return base;
    }

    void moveMouse(InputTable& input, Exercised& done) {
        const bool dragging = input.mouseLeft != 0 || input.mouseRight != 0;
        if (dragging) {
            if (!hand_.dragGoesOn(input)) return;
            // The button held in the last frame decides about pinning: switch now and then.
            if (chance(0.05)) {
                input.mouseLeft = input.mouseLeft != 0 ? 0 : 1;
                input.mouseRight = input.mouseLeft != 0 ? 0 : 1;
            }
            if (chance(0.7)) hand_.wander(input);
            return;
        }
        if (!chance(0.04)) return;
        // A drag starts with either button, now and then both.
        const uint32_t button = hand_.below(5);
        input.mouseLeft = button != 1 ? 1 : 0;
        input.mouseRight = button == 1 || button == 4 ? 1 : 0;
        if (input.mouseRight != 0) ++done.rightDrags;
        if (input.mouseLeft != 0) ++done.leftDrags;
        hand_.startDrag(input, 60);
    }

    RandomHand hand_;
    int frames_;
};

struct SlotShape {
    size_t vertices;
    size_t faces;
    std::vector<size_t> members;
};

SlotShape shapeOf(const Scene& scene) {
    SlotShape shape{scene.mesh.vertices.size(), scene.mesh.faces.size(), {}};
    for (const std::vector<int32_t>& list : scene.boneVertices)
        shape.members.push_back(list.size());
    return shape;
}

// Index of the first vertex of any slot whose position is not a finite number, or -1.
long firstNonFinite(const Scene& scene) {
    const std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    for (size_t i = 0; i < vertices.size(); ++i) {
        const Vec3f& p = vertices[i].pos;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return long(i);
    }
    return -1;
}

}  // namespace

TEST(AuthoringSoak, LongSessionKeepsMeshesWholeFiniteAndMemoryLevel) {
    const std::string show = std::string(KELVARO_BINARY_DIR) + "/show";
    ASSERT_TRUE(fileExists(show + "/.complete"))
        << "The demo show is missing: build the show_content target first (it writes " << show
        << ").";
    const int frames = soakFrames();
    ASSERT_GE(frames, settleFrames) << "KELVARO_SOAK_FRAMES must be at least " << settleFrames;

    ensureGlContext();
    FakePlatform platform;
    int32_t textures = 0;
    static DriverState state;
    initDriverState(state, false);
    {
        WorkingDirectory here(show);
        for (int slot = 0; slot < sceneSlotCount; ++slot) {
            const SceneSlotConfig& config = sceneSlots[slot];
            loadScene(state.scenes[slot], config.directory, config.boneCount, config.appendMirror,
                      textures);
        }
    }
    std::vector<SlotShape> shapes;
    for (const Scene& scene : state.scenes) shapes.push_back(shapeOf(scene));
    for (int slot = 1; slot <= 4; ++slot) {
        ASSERT_GT(shapes[slot].vertices, 0u) << "slot " << slot << " of the demo show has no mesh";
    }

    platform.setClock(0.0);
    // runFrame reads the clock twice a frame.
    platform.setClockStep(runShowSeconds / (2.0 * frames));
    state.clock = ShowClock{0, 1e6, 0.0};

    InputTable input;
    std::memset(&input, 0, sizeof input);
    MatrixStore matrices{};
    RandomUser user(20240611u, frames);
    Exercised done;
    int rowsPrinted = 0;
    int cameraLines = 0;
    int framesWithMesh = 0;
    bool slotSeen[sceneSlotCount] = {};
    long settledKiB = 0;
    const auto start = std::chrono::steady_clock::now();
    double settledSeconds = 0.0;

    CapturedConsole console;
    state.console = console.file();
    for (int frame = 0; frame < frames; ++frame) {
        user.next(frame, state, input, done);
        const bool wasDragging = state.dragging;
        ASSERT_EQ(runFrame(platform, state, input, matrices), FrameOutcome::Continue)
            << "frame " << frame;

        ASSERT_GE(state.currentScene, 0);
        ASSERT_LT(state.currentScene, sceneSlotCount);
        slotSeen[state.currentScene] = true;
        if (state.scenes[state.currentScene].boneCount != 0) ++framesWithMesh;
        for (int slot = 0; slot < sceneSlotCount; ++slot) {
            const Scene& scene = state.scenes[slot];
            const SlotShape now = shapeOf(scene);
            ASSERT_EQ(now.vertices, shapes[slot].vertices) << "slot " << slot << " frame " << frame;
            ASSERT_EQ(now.faces, shapes[slot].faces) << "slot " << slot << " frame " << frame;
            ASSERT_EQ(now.members, shapes[slot].members) << "slot " << slot << " frame " << frame;
            const long bad = firstNonFinite(scene);
            ASSERT_EQ(bad, -1) << "slot " << slot << " vertex " << bad << " frame " << frame;
        }

        // The console says what the frame did: one row for each frame of a drag, one camera
        // line for each frame with Tab down, nothing else.
        int rows = 0;
        int cameras = 0;
        for (const std::string& line : linesOf(console.take())) {
            PrintedRow row;
            if (parsePrintedRow(line, row)) {
                ++rows;
                ASSERT_GE(row.slot, 0) << line;
                ASSERT_LT(row.slot, sceneSlotCount) << line;
                ASSERT_GE(row.vertex, 0) << line;
                ASSERT_TRUE(std::isfinite(row.x) && std::isfinite(row.y) && std::isfinite(row.z))
                    << line;
                // A new pick names a vertex of the slot it was made in.
                if (!wasDragging) {
                    ASSERT_LT(size_t(row.vertex), shapes[row.slot].vertices) << line;
                }
            } else {
                ASSERT_TRUE(parseCameraLine(line)) << "frame " << frame << ": " << line;
                ++cameras;
            }
        }
        ASSERT_EQ(rows, !state.playback && state.dragging ? 1 : 0) << "frame " << frame;
        ASSERT_EQ(cameras, input.keys[VK_TAB] != 0 ? 1 : 0) << "frame " << frame;
        rowsPrinted += rows;
        cameraLines += cameras;
        if (state.dragging && !state.playback) {
            ASSERT_GE(state.selectedVertex, 0);
        }

        if (frame + 1 == settleFrames) {
            settledKiB = residentKiB();
            settledSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    const long endKiB = residentKiB();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::fprintf(stderr,
                 "soak: %d frames in %.1f s (%.2f ms a frame); resident %ld KiB after %d frames "
                 "(%.1f s), %ld KiB at the end; %d keyframe rows, %d camera lines, %d frames "
                 "with a mesh\n",
                 frames, seconds, 1000.0 * seconds / frames, settledKiB, settleFrames,
                 settledSeconds, endKiB, rowsPrinted, cameraLines, framesWithMesh);

    ASSERT_GT(settledKiB, 0);
    EXPECT_LE(double(endKiB), 1.05 * double(settledKiB))
        << "resident memory grew from " << settledKiB << " KiB to " << endKiB << " KiB";

    // The stream did what it is meant to do.
    EXPECT_TRUE(state.playback);
    EXPECT_GT(done.leftDrags, 0);
    EXPECT_GT(done.rightDrags, 0);
    EXPECT_GT(done.slotChangesInDrag, 0);
    EXPECT_GT(done.resetsInDrag, 0);
    EXPECT_GT(done.shiftedPresses, 0);
    for (int key : {VK_RETURN, VK_R, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_F, VK_V, VK_A, VK_D,
                    VK_S, VK_W, VK_ADD, VK_SUBTRACT, VK_TAB, VK_SPACE}) {
        EXPECT_GT(done.keyPresses[key], 0) << "key " << key << " was never pressed";
    }
    for (int key = VK_F1; key <= VK_F6; ++key) {
        EXPECT_GT(done.keyPresses[key], 0) << "F" << key - VK_F1 + 1 << " was never pressed";
    }
    for (int slot = 0; slot < sceneSlotCount; ++slot) EXPECT_TRUE(slotSeen[slot]) << slot;
    EXPECT_GT(rowsPrinted, 0);
    EXPECT_GT(cameraLines, 0);
}
