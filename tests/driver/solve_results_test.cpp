// The solve's results pinned bit for bit: the demo show played by its own script, and the
// benchmark's grids. Any change to how the solve computes must leave these hashes alone.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../../bench/painted_scene.h"
#include "driver/frame_loop.h"
#include "driver/keyframes.h"
#include "driver/load_scene.h"
#include "driver/solve.h"
#include "fake_platform.h"
#include "gl_context.h"
#include "render/camera.h"
#include "scene/show_facts.h"
#include "show_folder.h"

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

// Every slot with a mesh, loaded as the show loads it and played for 100 frames from its
// script's first row, frame by frame as the show runs them. Nobody looks at the pictures: they
// are drawn into a one-pixel scissor box.
std::vector<Hashes> playDemoShow(const std::string& show, int threads, VectorUnit unit) {
    FakePlatform platform;
    int32_t textures = 0;
    auto state = std::make_unique<DriverState>();
    initDriverState(*state, true);
    state->solveWorkers.threads = threads;
    state->solveWorkers.widest = unit;
    {
        WorkingDirectory here(show);
        state->keyframeCount = readKeyframes(keyframeFileName, state->keyframes);
        for (int slot = 0; slot < sceneSlotCount; ++slot) {
            const SceneSlotConfig& config = sceneSlots[slot];
            loadScene(state->scenes[slot], config.directory, config.boneCount, config.appendMirror,
                      textures);
        }
    }
    state->clock = ShowClock{0, 1e6, 0.0};
    InputTable input{};
    MatrixStore matrices{};
    std::vector<Hashes> hashes;
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        if (state->scenes[slot].boneCount == 0) continue;
        double start = -1.0;
        for (const Keyframe& row : state->keyframes) {
            if (row.scene == slot) {
                start = row.time;
                break;
            }
        }
        EXPECT_GE(start, 0.0) << "the script never plays slot " << slot;
        for (int frame = 0; frame < FRAMES; ++frame) {
            platform.setClock(start + 0.01 + 0.02 * frame);
            EXPECT_EQ(runFrame(platform, *state, input, matrices), FrameOutcome::Continue);
        }
        EXPECT_EQ(state->currentScene, slot);
        int moved = 0;
        for (const MeshVertex& v : state->scenes[slot].mesh.vertices) {
            moved += std::memcmp(&v.pos, &v.restPos, sizeof v.pos) != 0;
        }
        EXPECT_GT(moved, 100) << "slot " << slot << " hardly moved: the hash would pin little";
        hashes.push_back(hashOf(state->scenes[slot]));
    }
    glDisable(GL_SCISSOR_TEST);
    return hashes;
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

}  // namespace

TEST(SolveResults, DemoShowAndBenchmarkGridsKeepTheirBits) {
    const std::string show = std::string(KELVARO_BINARY_DIR) + "/show";
    ASSERT_TRUE(std::ifstream(show + "/.complete").good())
        << "The demo show is missing: build the show_content target first (it writes " << show
        << ").";
    ensureGlContext();
    // Slots 1 to 4 of the demo show.
    const std::vector<Hashes> demo = {
        {0xceb3b13e77518c0aull, 0x089859c3c8bdf4afull},
        {0x8e5ca147c5b7270bull, 0x8b0157da49a0aea8ull},
        {0x9d4029cd988b431bull, 0x5fd2abe3a0d97343ull},
        {0x1a69a05630d9c091ull, 0x57614084ee512db2ull},
    };
    // Grids of 1000, 10000 and 100000 vertices.
    const std::vector<Hashes> grids = {
        {0xefff7783cbe149a6ull, 0x911ad2906418a9f2ull},
        {0xff930782cecedf9full, 0x76b24fe501fd573aull},
        {0x89b1d5510d7ee97eull, 0xa1e09b395fb34d31ull},
    };
    // The pinned bits hold however many threads share the work, and whatever vector unit the
    // loops use (each unit this CPU has).
    const struct {
        int threads;
        VectorUnit unit;
    } runs[] = {{1, VectorUnit::Avx512},
                {3, VectorUnit::Avx512},
                {3, VectorUnit::Avx2},
                {1, VectorUnit::Plain}};
    for (const auto& run : runs) {
        if (run.unit > widestVectorUnit()) continue;
        SCOPED_TRACE(testing::Message() << run.threads << " threads, unit " << int(run.unit));
        expectHashes(playDemoShow(show, run.threads, run.unit), demo, "demo slot");
        expectHashes(solveGrids(run.threads, run.unit), grids, "grid");
    }
}
