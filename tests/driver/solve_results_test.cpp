// The solve's results pinned bit for bit: the tests' own scenes played by their script, and the
// benchmark's grids. Any change to how the solve computes must leave these pins alone.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../../bench/painted_scene.h"
#include "../../bench/reference_solve.h"
#include "driver/frame_loop.h"
#include "driver/solve.h"
#include "fake_platform.h"
#include "gl_context.h"
#include "pinned_scenes.h"
#include "render/camera.h"
#include "scene/show_facts.h"

namespace {

struct Hashes {
    uint64_t positions;  // pos of every vertex
    uint64_t records;    // every field the solve writes, of every vertex
};

void mix(uint64_t& hash, const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
}

Hashes hashOf(const Scene& scene) {
    Hashes h{0xcbf29ce484222325ull, 0xcbf29ce484222325ull};
    for (const MeshVertex& v : scene.mesh.vertices) {
        mix(h.positions, &v.pos, sizeof v.pos);
        mix(h.records, &v.weightSum, sizeof v.weightSum);
        mix(h.records, &v.weight, sizeof v.weight);
        mix(h.records, &v.pos, sizeof v.pos);
        mix(h.records, &v.restOffset, sizeof v.restOffset);
        mix(h.records, &v.goalSum, sizeof v.goalSum);
        mix(h.records, &v.curOffset, sizeof v.curOffset);
    }
    return h;
}

std::string text(const Hashes& h) {
    char line[64];
    std::snprintf(line, sizeof line, "{0x%016" PRIx64 "ull, 0x%016" PRIx64 "ull}", h.positions,
                  h.records);
    return line;
}

constexpr int FRAMES = 100;

// The pinned scenes in slots 1 to 4, each played for 100 frames from its first row, frame by
// frame as the show runs them. Nobody looks at the pictures: they are drawn into a one-pixel
// scissor box. `turned` and `slid` tell whether the last fit of a frame was a rotation for any
// bone, and whether it was not for any.
std::unique_ptr<DriverState> playPinnedScenes(int threads, VectorUnit unit, bool& turned,
                                              bool& slid) {
    FakePlatform platform;
    auto state = std::make_unique<DriverState>();
    initDriverState(*state, true);
    state->solveWorkers.threads = threads;
    state->solveWorkers.widest = unit;
    loadPinnedScenes(*state);
    state->clock = ShowClock{0, 1e6, 0.0};
    InputTable input{};
    MatrixStore matrices{};
    turned = slid = false;
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    for (int slot = pinnedSlotFirst; slot <= pinnedSlotLast; ++slot) {
        const double start = pinnedSlotStart(*state, slot);
        EXPECT_GE(start, 0.0) << "the script never plays slot " << slot;
        for (int frame = 0; frame < FRAMES; ++frame) {
            platform.setClock(start + 0.01 + 0.02 * frame);
            EXPECT_EQ(runFrame(platform, *state, input, matrices), FrameOutcome::Continue);
            for (const BoneMotion& motion : state->solveWorkers.motions) {
                turned = turned || motion.usable != 0;
                slid = slid || motion.usable == 0;
            }
        }
        EXPECT_EQ(state->currentScene, slot);
        const std::vector<MeshVertex>& vertices = state->scenes[slot].mesh.vertices;
        size_t moved = 0;
        for (const MeshVertex& v : vertices) {
            moved += std::memcmp(&v.pos, &v.restPos, sizeof v.pos) != 0;
        }
        EXPECT_GT(moved, vertices.size() / 2)
            << "slot " << slot << " hardly moved: the pins would pin little";
    }
    glDisable(GL_SCISSOR_TEST);
    return state;
}

// The benchmark's grids under the show's start camera, frames as the benchmark runs them; the
// largest one for fewer frames.
std::vector<Hashes> solveGrids(int threads, VectorUnit unit) {
    std::vector<Hashes> hashes;
    SolveWorkers workers;
    workers.threads = threads;
    workers.widest = unit;
    for (const int count : {1000, 10000, 100000}) {
        std::unique_ptr<Scene> scene = paintedScene(count);
        setupCamera(scene->mesh, startFov, startDx, startDy, startDz, eyeOffset, eyeOffset,
                    eyeOffset, startRa, startRb, windowWidth, windowHeight);
        MatrixStore store{};
        readMatrixStore(store);
        Vec3f drift{0.0f, 0.0f, 0.0f};
        const int frames = count > 10000 ? 10 : FRAMES;
        for (int frame = 0; frame < frames; ++frame) {
            solveDeformation(*scene, drift, false, store, workers);
            recentreDepth(*scene, drift);
        }
        hashes.push_back(hashOf(*scene));
    }
    return hashes;
}

void expectHashes(const std::vector<Hashes>& got, const std::vector<Hashes>& pinned,
                  const char* what) {
    ASSERT_EQ(got.size(), pinned.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].positions, pinned[i].positions)
            << what << " " << i << ": " << text(got[i]);
        EXPECT_EQ(got[i].records, pinned[i].records) << what << " " << i << ": " << text(got[i]);
    }
}

// Every test runs once per vector unit, the solve's loops held to that unit, and is skipped where
// the CPU lacks it.
class SolveResults : public testing::TestWithParam<VectorUnit> {
protected:
    void SetUp() override {
        if (GetParam() > widestVectorUnit()) {
            GTEST_SKIP() << "this CPU lacks the " << vectorUnitName(GetParam()) << " unit";
        }
    }
};

}  // namespace

// The pinned bits hold however many threads share the work. With KELVARO_WRITE_PINS=FILE the
// plain unit writes the pinned scenes' results to FILE instead, for tests/support's
// pinned_results.inc (through clang-format), after a change that is meant to change them.
TEST_P(SolveResults, PinnedScenesAndBenchmarkGridsKeepTheirBits) {
    ensureGlContext();
    const char* write = std::getenv("KELVARO_WRITE_PINS");
    if (write != nullptr && *write != '\0') {
        if (GetParam() != VectorUnit::Plain) GTEST_SKIP() << "the plain unit writes the pins";
        bool turned = false, slid = false;
        const std::unique_ptr<DriverState> state =
            playPinnedScenes(1, VectorUnit::Plain, turned, slid);
        std::ofstream out(write);
        out << pinnedResultsText(*state);
        ASSERT_TRUE(out.good()) << "can't write " << write;
        GTEST_SKIP() << "the pins were written to " << write;
    }
    const std::vector<PinnedResult>& pinned = pinnedResults();
    ASSERT_EQ(pinned.size(), size_t(pinnedSlotLast - pinnedSlotFirst + 1));
    // Grids of 1000, 10000 and 100000 vertices.
    const std::vector<Hashes> grids = {
        {0xefff7783cbe149a6ull, 0x911ad2906418a9f2ull},
        {0xff930782cecedf9full, 0x76b24fe501fd573aull},
        {0x89b1d5510d7ee97eull, 0xa1e09b395fb34d31ull},
    };
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        bool turned = false, slid = false;
        const std::unique_ptr<DriverState> state =
            playPinnedScenes(threads, GetParam(), turned, slid);
        // What the scenes are there for: a grid that the threads share, and fits of either kind.
        EXPECT_GE(state->scenes[pinnedSlotFirst].mesh.vertices.size(), SOLVE_SHARED_FROM_VERTICES);
        EXPECT_TRUE(turned);
        EXPECT_TRUE(slid);
        for (const PinnedResult& result : pinned) {
            const std::string difference = firstPinDifference(state->scenes[result.slot], result);
            EXPECT_TRUE(difference.empty()) << difference;
        }
        expectHashes(solveGrids(threads, GetParam()), grids, "grid");
    }
}

namespace {

// Every field the solve writes, of every vertex, bit for bit.
void expectSameRecords(const Scene& got, const Scene& want, const char* what) {
    ASSERT_EQ(got.mesh.vertices.size(), want.mesh.vertices.size()) << what;
    int differ = 0;
    for (size_t i = 0; i < got.mesh.vertices.size(); ++i) {
        const MeshVertex& a = got.mesh.vertices[i];
        const MeshVertex& b = want.mesh.vertices[i];
        const bool same = std::memcmp(&a.pos, &b.pos, sizeof a.pos) == 0 &&
                          std::memcmp(&a.goalSum, &b.goalSum, sizeof a.goalSum) == 0 &&
                          std::memcmp(&a.weightSum, &b.weightSum, sizeof a.weightSum) == 0 &&
                          std::memcmp(&a.weight, &b.weight, sizeof a.weight) == 0 &&
                          std::memcmp(&a.restOffset, &b.restOffset, sizeof a.restOffset) == 0 &&
                          std::memcmp(&a.curOffset, &b.curOffset, sizeof a.curOffset) == 0;
        if (!same && differ++ < 3) ADD_FAILURE() << what << ": vertex " << i << " differs";
    }
    EXPECT_EQ(differ, 0) << what;
}

// The benchmark's 2000-vertex grid solved for `frames` frames by the solve before its shortcuts
// and by today's (kept workers, loops held to `unit`, one thread and two), with `change` made to
// both scenes after the first frame: every record the same bits.
void expectTheBitsOfTheSolveBefore(VectorUnit unit, const char* name, const MatrixStore& store,
                                   const Vec3f& drift, int frames,
                                   void (*change)(Scene&) = nullptr) {
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(testing::Message() << name << ", " << threads << " threads");
        std::unique_ptr<Scene> want = paintedScene(2000);
        std::unique_ptr<Scene> got = paintedScene(2000);
        SolveWorkers workers;
        workers.threads = threads;
        workers.widest = unit;
        for (int frame = 0; frame < frames; ++frame) {
            if (frame == 1 && change != nullptr) {
                change(*want);
                change(*got);
            }
            reference::solveDeformation(*want, drift, false, store);
            solveDeformation(*got, drift, false, store, workers);
        }
        expectSameRecords(*got, *want, name);
    }
}

}  // namespace

// The window test takes shortcuts (products with the projection's zeros left out, places that
// did not change left untested); the solve as it stood before them decides every place alike,
// under cameras that put the mesh across the view's edges and drifts that push it out.
TEST_P(SolveResults, EveryCameraAndDriftGivesTheBitsOfTheSolveBeforeItsShortcuts) {
    ensureGlContext();
    const struct {
        const char* name;
        float fov, dx, dy, dz, ra, rb;
        Vec3f drift;
        bool ortho;
    } cases[] = {
        {"start view", startFov, startDx, startDy, startDz, startRa, startRb, {0, 0, 0}, false},
        {"across the left and bottom edges",
         40.0f,
         300.0f,
         200.0f,
         150.0f,
         20.0f,
         -15.0f,
         {-3.0f, -2.0f, 1.0f},
         false},
        {"close and turned",
         90.0f,
         -100.0f,
         50.0f,
         -300.0f,
         70.0f,
         40.0f,
         {2.5f, 4.0f, -6.0f},
         false},
        {"through the near plane",
         startFov,
         startDx,
         startDy,
         startDz + 900.0f,
         0.0f,
         0.0f,
         {0.0f, 0.0f, 40.0f},
         false},
        {"flat projection", 0, 0, 0, 0, 0, 0, {7.0f, -5.0f, 0.0f}, true},
    };
    for (const auto& c : cases) {
        std::unique_ptr<Scene> shape = paintedScene(2000);
        MatrixStore store{};
        if (c.ortho) {
            // Window position = model position: no perspective zeros to leave out.
            store.viewport[2] = windowWidth;
            store.viewport[3] = windowHeight;
            store.modelView[0] = store.modelView[5] = store.modelView[10] = 1.0;
            store.modelView[15] = 1.0;
            store.projection[0] = 2.0 / windowWidth;
            store.projection[5] = 2.0 / windowHeight;
            store.projection[12] = store.projection[13] = -1.0;
            store.projection[14] = store.projection[15] = 1.0;
        } else {
            setupCamera(shape->mesh, c.fov, c.dx, c.dy, c.dz, eyeOffset, eyeOffset, eyeOffset, c.ra,
                        c.rb, windowWidth, windowHeight);
            readMatrixStore(store);
        }
        expectTheBitsOfTheSolveBefore(GetParam(), c.name, store, c.drift, 4);
    }
}

// The lay-out is kept from frame to frame while its scene stays the same: any change to what
// it was made from is solved as a fresh solve would.
TEST_P(SolveResults, ALayOutKeptFromTheLastFrameFollowsEveryChangeOfItsScene) {
    ensureGlContext();
    std::unique_ptr<Scene> camera = paintedScene(2000);
    setupCamera(camera->mesh, startFov, startDx, startDy, startDz, eyeOffset, eyeOffset, eyeOffset,
                startRa, startRb, windowWidth, windowHeight);
    MatrixStore store{};
    readMatrixStore(store);
    const struct {
        const char* name;
        void (*change)(Scene&);
    } cases[] = {
        {"nothing", [](Scene&) {}},
        {"the handle moves to another vertex",
         [](Scene& s) {
             s.mesh.vertices[0].isHandle = 0;
             s.mesh.vertices[777].isHandle = 1;
             s.mesh.vertices[777].pos = Vec3f{500.0f, 300.0f, 20.0f};
         }},
        {"a mask value", [](Scene& s) { s.boneMemberValues[3][10] = 1; }},
        {"a rest position", [](Scene& s) { s.mesh.vertices[1500].restPos.z = 2.5f; }},
        {"a member leaves its bone",
         [](Scene& s) {
             s.boneVertices[5].pop_back();
             s.boneMemberValues[5].pop_back();
         }},
        {"a bone loses its mask", [](Scene& s) { s.boneMasks[2].reset(); }},
        {"the cached mask values go", [](Scene& s) { s.boneMemberValues.clear(); }},
        {"the mesh grows",
         [](Scene& s) {
             MeshVertex v{};
             v.restPos = v.pos = Vec3f{320.0f, 200.0f, 0.0f};
             s.mesh.vertices.push_back(v);
             s.boneVertices[1].push_back(int32_t(s.mesh.vertices.size()) - 1);
             s.boneMemberValues[1].push_back(200);
         }},
    };
    for (const auto& c : cases) {
        expectTheBitsOfTheSolveBefore(GetParam(), c.name, store, Vec3f{0.5f, -0.25f, 1.0f}, 2,
                                      c.change);
    }
}

INSTANTIATE_TEST_SUITE_P(, SolveResults,
                         testing::Values(VectorUnit::Plain, VectorUnit::Avx2, VectorUnit::Avx512),
                         [](const testing::TestParamInfo<VectorUnit>& info) {
                             return std::string(vectorUnitName(info.param));
                         });
