#include "driver/solve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "deform/bone_layout.h"
#include "deform/solve_kernels.h"

namespace {

// The window test of the vertex move, from the matrix store.
void prepareWindowTest(const MatrixStore& store, WindowTest& test) {
    bool moderate = true;
    for (int k = 0; k < 16; ++k) {
        test.modelView[k] = store.modelView[k];
        test.projection[k] = store.projection[k];
        moderate = moderate && std::fabs(store.modelView[k]) < 0x1p100 &&
                   std::fabs(store.projection[k]) < 0x1p100;
    }
    test.left = store.viewport[0];
    test.bottom = store.viewport[1];
    test.width = store.viewport[2];
    test.height = store.viewport[3];
    test.bottomMargin = SOLVE_BOTTOM_MARGIN;
    const double* m = test.modelView;
    const double* p = test.projection;
    bool zeros = m[3] == 0.0 && m[7] == 0.0 && m[11] == 0.0 && m[15] == 1.0;
    for (const int k : {1, 2, 3, 4, 6, 7, 12, 13, 15}) zeros = zeros && p[k] == 0.0;
    test.perspective = moderate && zeros;
}

// What the threads of one sweep share.
struct Sweep {
    const SolveKernels* kernels;
    BoneLayout* layout;
    BoneMotion* motions;
    Float4* positions;
    Float4* sums;  // goalSum and weightSum per vertex: a vertex's first goal replaces its sum
    MeshVertex* vertices;
    VertexMove move;
    bool last;
};

// Fits the bones of unit `unit` of the lay-out's fit units.
void fitUnit(const Sweep& s, int32_t unit) {
    const BoneLayout& layout = *s.layout;
    fitBones(*s.layout, layout.fitOrder.data() + layout.fitUnits[size_t(2 * unit)],
             layout.fitUnits[size_t(2 * unit) + 1], s.positions, s.last, s.motions, *s.kernels);
}

// The goal sums of part `part`'s vertices: bone after bone, so that each vertex adds its bones'
// goals in bone order. A vertex's first goal replaces what its sum held.
void sumGoals(const Sweep& s, int32_t part) {
    const BoneLayout& layout = *s.layout;
    const int32_t runs = 2 * int32_t(layout.scale.size());
    const int32_t* const begin = layout.partMemberBegin.data() + size_t(part) * size_t(runs + 1);
    for (int32_t r = 0; r < runs; ++r) {
        (r % 2 == 0 ? s.kernels->freshGoals : s.kernels->goals)(
            s.motions[r / 2], layout.partVertex.data() + begin[r],
            layout.partRest.data() + begin[r], begin[r + 1] - begin[r], s.sums);
    }
}

// What the last sweep leaves in the vertices besides their places.
void keepSums(const Sweep& s, int32_t from, int32_t to) {
    const BoneLayout& layout = *s.layout;
    for (int32_t v = from; v < to; ++v) {
        MeshVertex& vertex = s.vertices[v];
        const Float4& sum = s.sums[v];
        vertex.goalSum = Vec3f{sum[0], sum[1], sum[2]};
        vertex.weightSum = sum[3];
        const int32_t member = layout.lastMember[size_t(v)];
        if (member >= 0) {
            const Float4& p = layout.memberCurrent[size_t(member)];
            vertex.curOffset = Vec3f{p[0], p[1], p[2]};
        }
    }
}

// Part `part`'s vertices move to the weighted mean of their goals where that stays in view. The
// last sweep leaves the sums in the vertices.
void averageGoals(const Sweep& s, int32_t part) {
    sumGoals(s, part);
    const int32_t from = s.layout->partVertexBegin[size_t(part)];
    const int32_t to = s.layout->partVertexBegin[size_t(part) + 1];
    if (s.last) keepSums(s, from, to);
    s.kernels->moveVertices(s.move, from, to);
}

// One per core unless told otherwise; a thread count asked for is kept even beyond the cores,
// which only tests do.
int32_t threadsFor(const SolveWorkers& workers, size_t vertices) {
    if (vertices < SOLVE_SHARED_FROM_VERTICES) return 1;
    return workers.threads > 0 ? std::min(workers.threads, SOLVE_MAX_THREADS) : coreCount();
}

}  // namespace

void solveDeformation(Scene& scene, const Vec3f& drift, bool rawAverage,
                      const MatrixStore& matrices, SolveWorkers& workers) {
    std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    const int32_t count = int32_t(vertices.size());
    const int32_t threads = threadsFor(workers, vertices.size());
    BoneLayout& layout = workers.layout;
    layBones(scene, layout, threads);
    const int32_t bones = int32_t(layout.scale.size());
    workers.motions.resize(size_t(bones));
    // Padded to whole steps of four: the padding has no goals and never moves.
    const int32_t padded = (count + 3) / 4 * 4;
    workers.positions.assign(size_t(padded), Float4{0.0f, 0.0f, 0.0f, 0.0f});
    workers.sums.assign(size_t(padded), Float4{0.0f, 0.0f, 0.0f, 0.0f});
    for (int32_t v = 0; v < count; ++v) {
        const Vec3f& p = vertices[size_t(v)].pos;
        workers.positions[size_t(v)] = Float4{p.x, p.y, p.z, 0.0f};
    }
    Sweep s{};
    s.kernels = &solveKernels(workers.widest);
    s.layout = &layout;
    s.motions = workers.motions.data();
    s.positions = workers.positions.data();
    s.sums = workers.sums.data();
    s.vertices = vertices.data();
    s.move.sums = s.sums;
    s.move.positions = s.positions;
    s.move.handle = layout.handle.data();
    prepareWindowTest(matrices, s.move.window);
    s.move.shift = Float4{drift.x, drift.y, drift.z, 0.0f};
    s.move.rawAverage = rawAverage;

    if (threads > 1 && (!workers.pool || workers.pool->threads != threads)) {
        workers.pool.reset();
        workers.pool = std::make_unique<WorkerPool>(threads);
    }
    WorkerPool* pool = threads > 1 ? workers.pool.get() : nullptr;
    // Units are claimed in turn, so the caller and the first helper, which claim first, mostly
    // take parts 0 and 1 and the fits of their bones; whoever does a unit, every bone and every
    // vertex comes out the same.
    auto fitTask = [&s](int32_t unit) { fitUnit(s, unit); };
    auto moveTask = [&s](int32_t unit) { averageGoals(s, unit); };
    for (int sweep = 0; sweep < SOLVE_SWEEPS; ++sweep) {
        s.last = sweep + 1 == SOLVE_SWEEPS;
        if (pool == nullptr) {
            fitBones(layout, layout.largestFirst.data(), bones, s.positions, s.last, s.motions,
                     *s.kernels);
            averageGoals(s, 0);
        } else {
            runOnWorkers(*pool, int32_t(layout.fitUnits.size() / 2), fitTask);
            runOnWorkers(*pool, threads, moveTask);
        }
    }

    for (int32_t v = 0; v < count; ++v) {
        const Float4& p = workers.positions[size_t(v)];
        vertices[size_t(v)].pos = Vec3f{p[0], p[1], p[2]};
    }
}

void solveDeformation(Scene& scene, const Vec3f& drift, bool rawAverage,
                      const MatrixStore& matrices) {
    SolveWorkers alone;
    alone.threads = 1;
    solveDeformation(scene, drift, rawAverage, matrices, alone);
}

void recentreDepth(const Scene& scene, Vec3f& drift) {
    const std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    float sum = 0.0f;
    for (const MeshVertex& v : vertices) sum += v.pos.z;
    // An empty mesh has no depth to pull towards: no difference, so no correction.
    float difference = 0.0f;
    if (!vertices.empty()) {
        const float mean = sum / float(vertices.size());
        difference = scene.mesh.meanDepth - mean;
    }
    const float correction = float(double(difference) * RECENTRE_GAIN);
    // A depth sum that overflowed would otherwise freeze every free vertex from the next frame on.
    drift.z = std::isfinite(correction) ? correction : 0.0f;
}
