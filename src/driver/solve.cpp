#include "driver/solve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "deform/bone_layout.h"
#include "deform/shape_matching.h"
#include "render/window_projection.h"

namespace {

// Vertices that one claim of the averaging hands a thread.
constexpr int32_t VERTEX_CHUNK = 256;

// The matrix store's entries and viewport, widened once.
// Each entry is in every lane, so that four vertices take it straight from memory.
struct WindowTest {
    Double4 modelView[16];
    Double4 projection[16];
    Double4 left, bottom, width, height;
};

void prepareWindowTest(const MatrixStore& store, WindowTest& test) {
    const auto all = [](double x, Double4& lanes) { lanes = Double4{x, x, x, x}; };
    for (int k = 0; k < 16; ++k) {
        all(store.modelView[k], test.modelView[k]);
        all(store.projection[k], test.projection[k]);
    }
    all(store.viewport[0], test.left);
    all(store.viewport[1], test.bottom);
    all(store.viewport[2], test.width);
    all(store.viewport[3], test.height);
}

// What the threads of one sweep share.
struct Sweep {
    BoneLayout* layout;
    BoneMotion* motions;
    Float4* positions;  // padded with zeros to a multiple of 4 vertices
    Float4* sums;       // goalSum and weightSum per vertex, padded alike
    MeshVertex* vertices;
    int32_t count;
    WindowTest window;
    Float4 shift;
    bool rawAverage;
    bool last;
};

void fitBones(const Sweep& s, int32_t from, int32_t to) {
    for (int32_t k = from; k < to; ++k) {
        const int32_t bone = s.layout->largestFirst[size_t(k)];
        fitBone(*s.layout, bone, s.positions, s.last, s.motions[bone]);
    }
}

// Adds the goals of layer k's vertices listed from `it` to `end`.
inline void sumLayer(const Sweep& s, int32_t k, const int32_t* it, const int32_t* end) {
    const BoneLayout& layout = *s.layout;
    const int32_t* const slotBegin = layout.slotBegin.data();
    const int32_t* const slotBone = layout.slotBone.data();
    const Float4* const slotRest = layout.slotRest.data();
    for (; it != end; ++it) {
        const int32_t v = *it;
        const int32_t slot = slotBegin[v] + k;
        addGoal(s.motions[slotBone[slot]], slotRest[slot], s.sums[v]);
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define AVX2_GOALS 1

// addGoal in 256-bit registers, where the CPU has AVX2: the same operations, lane by lane.
__attribute__((target("avx2"))) void sumLayerAvx2(const Sweep& s, int32_t k, const int32_t* it,
                                                  const int32_t* end) {
    const BoneLayout& layout = *s.layout;
    const int32_t* const slotBegin = layout.slotBegin.data();
    const int32_t* const slotBone = layout.slotBone.data();
    const Float4* const slotRest = layout.slotRest.data();
    for (; it != end; ++it) {
        const int32_t v = *it;
        const int32_t slot = slotBegin[v] + k;
        const BoneMotion& motion = s.motions[slotBone[slot]];
        if (motion.usable == 0) {
            addGoal(motion, slotRest[slot], s.sums[v]);
            continue;
        }
        const __m256d q = _mm256_cvtps_pd(__m128(slotRest[slot]));
        __m256d goal = _mm256_mul_pd(__m256d(motion.column[0]), _mm256_permute4x64_pd(q, 0x00));
        goal = _mm256_add_pd(
            goal, _mm256_mul_pd(__m256d(motion.column[1]), _mm256_permute4x64_pd(q, 0x55)));
        goal = _mm256_add_pd(
            goal, _mm256_mul_pd(__m256d(motion.column[2]), _mm256_permute4x64_pd(q, 0xaa)));
        goal = _mm256_add_pd(goal, __m256d(motion.centre));
        const __m256d w = _mm256_permute4x64_pd(q, 0xff);
        goal = _mm256_blend_pd(_mm256_mul_pd(goal, w), w, 0x8);
        const __m256d total = _mm256_add_pd(goal, _mm256_cvtps_pd(__m128(s.sums[v])));
        s.sums[v] = Float4(_mm256_cvtpd_ps(total));
    }
}
#endif

// The goal sums of vertices from .. to - 1, layer after layer so that each vertex adds its
// bones' goals in bone order.
void sumGoals(const Sweep& s, int32_t from, int32_t to) {
    const BoneLayout& layout = *s.layout;
    for (int32_t v = from; v < to; ++v) s.sums[v] = Float4{0.0f, 0.0f, 0.0f, 0.0f};
#if defined(AVX2_GOALS)
    const bool avx2 = __builtin_cpu_supports("avx2");
#endif
    const int32_t layers = int32_t(layout.layerBegin.size()) - 1;
    for (int32_t k = 0; k < layers; ++k) {
        const int32_t* const first = layout.layerVertex.data() + layout.layerBegin[size_t(k)];
        const int32_t* const last = layout.layerVertex.data() + layout.layerBegin[size_t(k) + 1];
        const int32_t* const begin = std::lower_bound(first, last, from);
        const int32_t* const end = std::lower_bound(begin, last, to);
#if defined(AVX2_GOALS)
        if (avx2) {
            sumLayerAvx2(s, k, begin, end);
            continue;
        }
#endif
        sumLayer(s, k, begin, end);
    }
}

// Four vertices at a time move to the weighted mean of their goals, shifted by the drift, where
// that stays in view (gluProject's arithmetic, divided by the window depth); handles and
// vertices without goals stay. Each lane is one vertex's scalar rule.
VECTOR_CLONES
void moveVertices(const Sweep& s, int32_t from, int32_t to) {
    const WindowTest& t = s.window;
    const int32_t* const handle = s.layout->handle.data();
    const Double4 margin{SOLVE_BOTTOM_MARGIN, SOLVE_BOTTOM_MARGIN, SOLVE_BOTTOM_MARGIN,
                         SOLVE_BOTTOM_MARGIN};
    for (int32_t v = from; v < to; v += 4) {
        Float4 x, y, z, weight;
        transpose(s.sums[v], s.sums[v + 1], s.sums[v + 2], s.sums[v + 3], x, y, z, weight);
        const Int4 free = Int4{handle[v], handle[v + 1], handle[v + 2], handle[v + 3]} == 0;
        Int4 move = (weight != 0.0f) & free;
        if ((move[0] | move[1] | move[2] | move[3]) == 0) continue;
        const Float4 r = 1.0f / weight;
        x = x * r;
        y = y * r;
        z = z * r;
        if (!s.rawAverage) {
            x = x + s.shift[0];
            y = y + s.shift[1];
            z = z + s.shift[2];
        }
        move &= finiteLanes(x) & finiteLanes(y) & finiteLanes(z);
        // Back to one vertex a lane. A vertex whose new place has the bits of its old one ends
        // up the same whether it moves or not, so the window need not decide: once a mesh has
        // settled that is nearly every vertex, and the projection and its divisions are most of
        // this loop.
        const Float4 zero{0.0f, 0.0f, 0.0f, 0.0f};
        Float4 q[4];
        transpose(x, y, z, zero, q[0], q[1], q[2], q[3]);
        for (int j = 0; j < 4; ++j) {
            const Int4 same = Int4(q[j]) == Int4(s.positions[v + j]);
            if (same[0] & same[1] & same[2]) move[j] = 0;
        }
        if ((move[0] | move[1] | move[2] | move[3]) == 0) continue;
        if (!s.rawAverage) {
            Double4 dx, dy, dz;
            widen(x, dx);
            widen(y, dy);
            widen(z, dz);
            const Double4* m = t.modelView;
            const Double4* p = t.projection;
            // Unrolled, so that the rows stay in registers instead of going through the stack.
            Double4 e[4];
#pragma GCC unroll 4
            for (int i = 0; i < 4; ++i) {
                e[i] = dx * m[i] + dy * m[4 + i] + dz * m[8 + i] + 1.0 * m[12 + i];
            }
            Double4 c[4];
#pragma GCC unroll 4
            for (int i = 0; i < 4; ++i) {
                c[i] = e[0] * p[i] + e[1] * p[4 + i] + e[2] * p[8 + i] + e[3] * p[12 + i];
            }
            Double4 nx = c[0] / c[3];
            Double4 ny = c[1] / c[3];
            Double4 nz = c[2] / c[3];
            nx = nx * 0.5 + 0.5;
            ny = ny * 0.5 + 0.5;
            nz = nz * 0.5 + 0.5;
            const Double4 wx = nx * t.width + t.left;
            const Double4 wy = ny * t.height + t.bottom;
            const Double4 sx = wx / nz;
            const Double4 sy = wy / nz;
            const Long4 inView =
                (c[3] != 0.0) & (sx > 0.0) & (sy > margin) & (sx < t.width) & (sy < t.height);
            move &= __builtin_convertvector(inView, Int4);
        }
        // Those that stay keep their place.
        for (int j = 0; j < 4; ++j) {
            const Int4 keep = Int4{move[j], move[j], move[j], move[j]} == 0;
            s.positions[v + j] = keep ? s.positions[v + j] : q[j];
        }
    }
}

// What the last sweep leaves in the vertices besides their places.
void keepSums(const Sweep& s, int32_t from, int32_t to) {
    const BoneLayout& layout = *s.layout;
    if (to > s.count) to = s.count;
    for (int32_t v = from; v < to; ++v) {
        MeshVertex& vertex = s.vertices[v];
        const Float4& sum = s.sums[v];
        vertex.goalSum = Vec3f{sum[0], sum[1], sum[2]};
        vertex.weightSum = sum[3];
        const int32_t end = layout.slotBegin[size_t(v) + 1];
        if (end > layout.slotBegin[size_t(v)]) {
            const Float4& p = layout.memberCurrent[size_t(layout.slotMember[size_t(end - 1)])];
            vertex.curOffset = Vec3f{p[0], p[1], p[2]};
        }
    }
}

void averageGoals(const Sweep& s, int32_t from, int32_t to) {
    sumGoals(s, from, to);
    if (s.last) keepSums(s, from, to);
    moveVertices(s, from, to);
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
    BoneLayout& layout = workers.layout;
    layBones(scene, layout);
    const int32_t bones = int32_t(layout.scale.size());
    workers.motions.resize(size_t(bones));
    const int32_t padded = (count + 3) / 4 * 4;
    workers.positions.assign(size_t(padded), Float4{0.0f, 0.0f, 0.0f, 0.0f});
    workers.sums.resize(size_t(padded));
    for (int32_t v = 0; v < count; ++v) {
        const Vec3f& p = vertices[size_t(v)].pos;
        workers.positions[size_t(v)] = Float4{p.x, p.y, p.z, 0.0f};
    }

    Sweep s{};
    s.layout = &layout;
    s.motions = workers.motions.data();
    s.positions = workers.positions.data();
    s.sums = workers.sums.data();
    s.count = count;
    s.vertices = vertices.data();
    prepareWindowTest(matrices, s.window);
    s.shift = Float4{drift.x, drift.y, drift.z, 0.0f};
    s.rawAverage = rawAverage;

    const int32_t threads = threadsFor(workers, vertices.size());
    if (threads > 1 && (!workers.pool || workers.pool->threads != threads)) {
        workers.pool.reset();
        workers.pool = std::make_unique<WorkerPool>(threads);
    }
    WorkerPool* pool = threads > 1 ? workers.pool.get() : nullptr;
    // Bones are claimed one at a time, the largest first; vertices a chunk at a time. Either
    // way every bone and every vertex comes out the same whoever does it.
    auto fitTask = [&s](int32_t unit) { fitBones(s, unit, unit + 1); };
    auto moveTask = [&s, padded](int32_t unit) {
        const int32_t from = unit * VERTEX_CHUNK;
        averageGoals(s, from, std::min(padded, from + VERTEX_CHUNK));
    };
    const int32_t chunks = (padded + VERTEX_CHUNK - 1) / VERTEX_CHUNK;
    for (int sweep = 0; sweep < SOLVE_SWEEPS; ++sweep) {
        s.last = sweep + 1 == SOLVE_SWEEPS;
        if (pool == nullptr) {
            fitBones(s, 0, bones);
            averageGoals(s, 0, padded);
        } else {
            runOnWorkers(*pool, bones, fitTask);
            runOnWorkers(*pool, chunks, moveTask);
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
