// One frame of the deformation solve (16 sweeps), beside the solve as it stood before its data
// were laid out for vector units and threads (reference_solve.cpp), in the same run: on painted
// grids of growing size under the start camera of the show with one handle pulled away from its
// rest place, and on the demo show's meshes under their scripts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench_gl.h"
#include "driver/driver_state.h"
#include "driver/keyframes.h"
#include "driver/load_scene.h"
#include "driver/solve.h"
#include "painted_scene.h"
#include "platform/sdl_platform.h"
#include "reference_solve.h"
#include "render/camera.h"
#include "render/matrix_store.h"
#include "scene/show_facts.h"

namespace {

// The show's matrices for this mesh: a real GL context, the camera, read back as the frame loop
// does.
MatrixStore cameraMatrices(const Mesh& mesh, float fov, float dx, float dy, float dz, float ra,
                           float rb) {
    openGl();
    setupCamera(mesh, fov, dx, dy, dz, eyeOffset, eyeOffset, eyeOffset, ra, rb, windowWidth,
                windowHeight);
    MatrixStore store{};
    readMatrixStore(store);
    return store;
}

// threads 0 runs the reference solve; otherwise the solve on that many threads (at most the
// cores) with loops no wider than `unit`.
void runFrames(benchmark::State& state, Scene& scene, const MatrixStore& store, int threads,
               VectorUnit unit = VectorUnit::Avx512) {
    SolveWorkers workers;
    workers.threads = threads;
    workers.widest = unit;
    Vec3f drift{0.0f, 0.0f, 0.0f};
    auto frame = [&] {
        if (threads == 0) {
            reference::solveDeformation(scene, drift, false, store);
        } else {
            solveDeformation(scene, drift, false, store, workers);
        }
        recentreDepth(scene, drift);
    };
    // A few frames first, so that the measured ones see a mesh that is already following.
    for (int k = 0; k < 3; ++k) frame();
    for (auto _ : state) {
        frame();
        benchmark::DoNotOptimize(scene.mesh.vertices.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(scene.mesh.vertices.size()));
}

// range(2) = 0 drops the loader's cached mask values, so that the masks are searched; range(3)
// is the widest vector unit (0 plain, 1 AVX2, 2 AVX-512).
void BM_SolveFrame(benchmark::State& state) {
    const int count = int(state.range(0));
    std::unique_ptr<Scene> scene = paintedScene(count);
    if (state.range(2) == 0) scene->boneMemberValues.clear();
    const MatrixStore store =
        cameraMatrices(scene->mesh, startFov, startDx, startDy, startDz, startRa, startRb);
    if (VectorUnit(state.range(3)) > widestVectorUnit()) {
        state.SkipWithError("this CPU lacks the vector unit");
        return;
    }
    runFrames(state, *scene, store, int(state.range(1)), VectorUnit(state.range(3)));
    size_t members = 0;
    for (const auto& list : scene->boneVertices) members += list.size();
    state.counters["members"] = double(members);
}

// The demo show, loaded once; each slot with its script's first handle in place.
struct DemoShow {
    DriverState state;
    std::vector<MeshVertex> start[sceneSlotCount];
    MatrixStore matrices[sceneSlotCount];
};

DemoShow* demoShow() {
    static std::unique_ptr<DemoShow> show;
    static bool tried = false;
    if (tried) return show.get();
    tried = true;
    const std::string folder = KELVARO_SHOW_DIR;
    if (!std::ifstream(folder + "/.complete").good()) return nullptr;
    openGl();
    show = std::make_unique<DemoShow>();
    DriverState& state = show->state;
    initDriverState(state, true);
    // The loader reads the slot folders from the working directory, as the show does.
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    std::filesystem::current_path(folder, error);
    if (error) return nullptr;
    state.keyframeCount = readKeyframes(keyframeFileName, state.keyframes);
    int32_t textures = 0;
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        const SceneSlotConfig& config = sceneSlots[slot];
        loadScene(state.scenes[slot], config.directory, config.boneCount, config.appendMirror,
                  textures);
    }
    std::filesystem::current_path(here, error);
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        for (const Keyframe& row : state.keyframes) {
            if (row.scene != slot) continue;
            state.showTime = row.time + 0.01f;
            applyKeyframesStepA(state);
            applyKeyframesStepB(state);
            break;
        }
        Scene& scene = state.scenes[slot];
        show->start[slot] = scene.mesh.vertices;
        show->matrices[slot] =
            cameraMatrices(scene.mesh, state.fov, state.dx, state.dy, state.dz, state.ra, state.rb);
    }
    return show.get();
}

void BM_DemoSlot(benchmark::State& state) {
    DemoShow* show = demoShow();
    if (show == nullptr) {
        state.SkipWithError("no demo show: build the show_content target first");
        return;
    }
    const int slot = int(state.range(0));
    Scene& scene = show->state.scenes[slot];
    scene.mesh.vertices = show->start[slot];
    runFrames(state, scene, show->matrices[slot], int(state.range(1)));
}

// With --benchmark_repetitions: the machine's cores are shared, and the fastest repetition is
// the one least disturbed by other work.
double fastest(const std::vector<double>& times) {
    return *std::min_element(times.begin(), times.end());
}

}  // namespace

BENCHMARK(BM_SolveFrame)
    ->ArgNames({"vertices", "threads", "cached", "unit"})
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1, 2}, {1}, {2}})
    ->Args({10000, 1, 0, 2})
    ->Args({10000, 1, 1, 1})
    ->Args({10000, 1, 1, 0})
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest)
    ->UseRealTime();

BENCHMARK(BM_DemoSlot)
    ->ArgNames({"slot", "threads"})
    ->ArgsProduct({{1, 2, 3, 4}, {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", fastest)
    ->UseRealTime();

BENCHMARK_MAIN();
