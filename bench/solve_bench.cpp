// One frame of the deformation solve (16 sweeps) on painted grids of growing size, under the
// start camera of the show, with one handle pulled away from its rest place.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "deform/shape_matching.h"
#include "driver/solve.h"
#include "platform/sdl_platform.h"
#include "render/camera.h"
#include "render/matrix_store.h"
#include "scene/show_facts.h"

namespace {

constexpr int32_t PICTURE_WIDTH = 640;
constexpr int32_t PICTURE_HEIGHT = 400;

// Columns and rows of a grid with about `count` vertices and the picture's proportions.
void gridShape(int count, int& columns, int& rows) {
    columns = int(std::lround(std::sqrt(double(count) * PICTURE_WIDTH / PICTURE_HEIGHT)));
    rows = (count + columns - 1) / columns;
}

// Eight bones in a 4 x 2 layout, each reaching a fifth of a cell into its neighbours, painted
// with a gradient so that members carry different weights.
ImagePtr paintBone(int bone) {
    ImagePtr mask(createImage(1, PICTURE_WIDTH, PICTURE_HEIGHT));
    const int cellW = PICTURE_WIDTH / 4;
    const int cellH = PICTURE_HEIGHT / 2;
    const int left = (bone % 4) * cellW - cellW / 5;
    const int right = (bone % 4 + 1) * cellW + cellW / 5;
    const int top = (bone / 4) * cellH - cellH / 5;
    const int bottom = (bone / 4 + 1) * cellH + cellH / 5;
    for (int y = 0; y < PICTURE_HEIGHT; ++y) {
        for (int x = 0; x < PICTURE_WIDTH; ++x) {
            if (x < left || x >= right || y < top || y >= bottom) continue;
            mask->rows[y][x] = static_cast<unsigned char>(60 + (x - left) * 195 / (right - left));
        }
    }
    return mask;
}

std::unique_ptr<Scene> paintedScene(int count) {
    auto scene = std::make_unique<Scene>();
    int columns = 0, rows = 0;
    gridShape(count, columns, rows);
    std::vector<MeshVertex>& vertices = scene->mesh.vertices;
    vertices.resize(size_t(count));
    const float stepX = float(PICTURE_WIDTH - 1) / float(columns - 1);
    const float stepY = float(PICTURE_HEIGHT - 1) / float(rows - 1);
    for (int i = 0; i < count; ++i) {
        MeshVertex& v = vertices[size_t(i)];
        v.restPos = Vec3f{float(i % columns) * stepX, float(i / columns) * stepY, 0.0f};
        v.pos = v.restPos;
    }
    Vec3f centre{0.0f, 0.0f, 0.0f};
    for (const MeshVertex& v : vertices) {
        centre.x += v.restPos.x;
        centre.y += v.restPos.y;
    }
    scene->mesh.centre.restPos = Vec3f{centre.x / float(count), centre.y / float(count), 0.0f};
    scene->boneCount = 8;
    for (int b = 0; b < 8; ++b) {
        scene->boneMasks.push_back(paintBone(b));
        scene->boneVertices.emplace_back();
        collectBoneVertices(vertices, *scene->boneMasks.back(), scene->boneVertices.back());
        scene->boneMemberValues.emplace_back();
        collectMemberMaskValues(vertices, scene->boneVertices.back(), *scene->boneMasks.back(),
                                scene->boneMemberValues.back());
    }
    // The handle: a corner dragged out and towards the viewer.
    vertices[0].isHandle = 1;
    vertices[0].pos = Vec3f{-40.0f, -25.0f, 30.0f};
    return scene;
}

// The show's matrices for this mesh: a real GL context, the start camera, read back as the
// frame loop does.
MatrixStore startCameraMatrices(const Mesh& mesh) {
    static bool open = false;
    static SdlPlatform platform(depthBits);
    if (!open) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (!platform.createGlWindow("kelvaro bench", windowWidth, windowHeight, colorBits,
                                     false)) {
            std::fprintf(stderr, "no GL context for the benchmark\n");
            std::exit(1);
        }
        open = true;
    }
    setupCamera(mesh, startFov, startDx, startDy, startDz, eyeOffset, eyeOffset, eyeOffset, startRa,
                startRb, windowWidth, windowHeight);
    MatrixStore store{};
    readMatrixStore(store);
    return store;
}

// range(1) = 0 drops the loader's cached mask values, so that every sweep searches the masks.
void BM_SolveFrame(benchmark::State& state) {
    const int count = int(state.range(0));
    std::unique_ptr<Scene> scene = paintedScene(count);
    if (state.range(1) == 0) scene->boneMemberValues.clear();
    const MatrixStore store = startCameraMatrices(scene->mesh);
    Vec3f drift{0.0f, 0.0f, 0.0f};
    // A few frames first, so that the measured ones see a mesh that is already following.
    for (int frame = 0; frame < 3; ++frame) {
        solveDeformation(*scene, drift, false, store);
        recentreDepth(*scene, drift);
    }
    for (auto _ : state) {
        solveDeformation(*scene, drift, false, store);
        recentreDepth(*scene, drift);
        benchmark::DoNotOptimize(scene->mesh.vertices.data());
        benchmark::ClobberMemory();
    }
    size_t members = 0;
    for (const auto& list : scene->boneVertices) members += list.size();
    state.counters["members"] = double(members);
    state.SetItemsProcessed(state.iterations() * int64_t(count));
}

}  // namespace

BENCHMARK(BM_SolveFrame)
    ->ArgNames({"vertices", "cached"})
    ->ArgsProduct({{1000, 10000, 100000}, {1}})
    ->Args({10000, 0})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
