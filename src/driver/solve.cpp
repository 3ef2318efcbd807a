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
    Float4* positions;
    Float4* sums;  // goalSum and weightSum per vertex; zero at the start of a sweep
    MeshVertex* vertices;
    Candidates* candidates;  // one per part
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

// The goal sums of part `part`'s vertices: bone after bone, so that each vertex adds its bones'
// goals in bone order.
void sumGoals(const Sweep& s, int32_t part) {
    const BoneLayout& layout = *s.layout;
    const int32_t bones = int32_t(layout.scale.size());
    if (layout.parts == 1) {
        const int32_t* const begin = layout.memberBegin.data();
        for (int32_t j = 0; j < bones; ++j) {
            addBoneGoals(s.motions[j], layout.memberVertex.data() + begin[j],
                         layout.memberRest.data() + begin[j], begin[j + 1] - begin[j], s.sums);
        }
        return;
    }
    const int32_t* const begin = layout.partMemberBegin.data() + size_t(part) * size_t(bones + 1);
    for (int32_t j = 0; j < bones; ++j) {
        addBoneGoals(s.motions[j], layout.partVertex.data() + begin[j],
                     layout.partRest.data() + begin[j], begin[j + 1] - begin[j], s.sums);
    }
}

// The lanes of a comparison as bits, lane i in bit i.
inline int laneBits(const Int4& lanes) {
#if defined(__SSE2__)
    return _mm_movemask_ps(_mm_castsi128_ps(__m128i(lanes)));
#else
    return (lanes[0] & 1) | (lanes[1] & 2) | (lanes[2] & 4) | (lanes[3] & 8);
#endif
}

// Which of four places, given as x, y and z lanes, lie in view: gluProject's arithmetic,
// divided by the window depth, inside the viewport and above the bottom margin. A place that
// cannot be projected is out of view.
VECTOR_CLONES
int inViewLanes(const WindowTest& t, const Float4& x, const Float4& y, const Float4& z) {
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
    const Double4 margin{SOLVE_BOTTOM_MARGIN, SOLVE_BOTTOM_MARGIN, SOLVE_BOTTOM_MARGIN,
                         SOLVE_BOTTOM_MARGIN};
    const Long4 inView =
        (c[3] != 0.0) & (sx > 0.0) & (sy > margin) & (sx < t.width) & (sy < t.height);
    return laneBits(__builtin_convertvector(inView, Int4));
}

// Part `part`'s vertices move to the weighted mean of their goals, shifted by the drift, where
// that stays in view; handles and vertices without goals stay. The sums are cleared for the
// next sweep, and the last sweep leaves them in the vertices.
void moveVertices(const Sweep& s, int32_t part) {
    const BoneLayout& layout = *s.layout;
    const int32_t from = layout.partVertexBegin[size_t(part)];
    const int32_t to = layout.partVertexBegin[size_t(part) + 1];
    const int32_t* const handle = layout.handle.data();
    Float4* const positions = s.positions;
    Float4* const sums = s.sums;
    const Int4 xyz{-1, -1, -1, 0};
    const Float4 shift = s.shift;
    Candidates& list = s.candidates[part];
    int32_t* const candidate = list.vertex.data();
    Float4* const place = list.place.data();
    int32_t n = 0;
    for (int32_t v = from; v < to; ++v) {
        const Float4 sum = sums[v];
        sums[v] = Float4{0.0f, 0.0f, 0.0f, 0.0f};
        if (s.last) {
            MeshVertex& vertex = s.vertices[v];
            vertex.goalSum = Vec3f{sum[0], sum[1], sum[2]};
            vertex.weightSum = sum[3];
            const int32_t member = layout.lastMember[size_t(v)];
            if (member >= 0) {
                const Float4& p = layout.memberCurrent[size_t(member)];
                vertex.curOffset = Vec3f{p[0], p[1], p[2]};
            }
        }
        const float weight = sum[3];
        const float r = 1.0f / weight;
        Float4 q = sum * r;
        // The raw mean is not shifted at all: adding 0 would turn a -0 into +0.
        if (!s.rawAverage) q = q + shift;
        q = Float4(Int4(q) & xyz);
        const Float4 old = positions[v];
        // A vertex whose new place has the bits of its old one ends up the same whether it
        // moves or not, so the window need not decide: once a mesh has settled that is nearly
        // every vertex.
        const bool move = (handle[v] | (weight == 0.0f)) == 0 && laneBits(finiteLanes(q)) == 15 &&
                          laneBits(Int4(q) == Int4(old)) != 15;
        if (s.rawAverage) {
            positions[v] = move ? q : old;
        } else {
            candidate[n] = v;
            place[n] = q;
            n += move ? 1 : 0;
        }
    }
    if (s.rawAverage) return;
    for (int32_t i = 0; i < n; i += 4) {
        Float4 x, y, z, unused;
        transpose(place[i], place[i + 1], place[i + 2], place[i + 3], x, y, z, unused);
        const int inView = inViewLanes(s.window, x, y, z);
        const int lanes = n - i < 4 ? n - i : 4;
        for (int j = 0; j < lanes; ++j) {
            if ((inView >> j) & 1) positions[candidate[i + j]] = place[i + j];
        }
    }
}

void averageGoals(const Sweep& s, int32_t part) {
    sumGoals(s, part);
    moveVertices(s, part);
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
    workers.positions.resize(size_t(count));
    workers.sums.assign(size_t(count), Float4{0.0f, 0.0f, 0.0f, 0.0f});
    for (int32_t v = 0; v < count; ++v) {
        const Vec3f& p = vertices[size_t(v)].pos;
        workers.positions[size_t(v)] = Float4{p.x, p.y, p.z, 0.0f};
    }
    // Room for every vertex of the part, and three more read past the last by the window test.
    workers.candidates.resize(size_t(threads));
    for (int32_t t = 0; t < threads; ++t) {
        const size_t room =
            size_t(layout.partVertexBegin[size_t(t) + 1] - layout.partVertexBegin[size_t(t)]) + 3;
        Candidates& list = workers.candidates[size_t(t)];
        if (list.vertex.size() < room) {
            list.vertex.resize(room);
            list.place.resize(room);
        }
    }

    Sweep s{};
    s.layout = &layout;
    s.motions = workers.motions.data();
    s.positions = workers.positions.data();
    s.sums = workers.sums.data();
    s.vertices = vertices.data();
    s.candidates = workers.candidates.data();
    prepareWindowTest(matrices, s.window);
    s.shift = Float4{drift.x, drift.y, drift.z, 0.0f};
    s.rawAverage = rawAverage;

    if (threads > 1 && (!workers.pool || workers.pool->threads != threads)) {
        workers.pool.reset();
        workers.pool = std::make_unique<WorkerPool>(threads);
    }
    WorkerPool* pool = threads > 1 ? workers.pool.get() : nullptr;
    // Bones are claimed one at a time, the largest first; parts whole. Either way every bone
    // and every vertex comes out the same whoever does it.
    auto fitTask = [&s](int32_t unit) { fitBones(s, unit, unit + 1); };
    auto moveTask = [&s](int32_t unit) { averageGoals(s, unit); };
    for (int sweep = 0; sweep < SOLVE_SWEEPS; ++sweep) {
        s.last = sweep + 1 == SOLVE_SWEEPS;
        if (pool == nullptr) {
            fitBones(s, 0, bones);
            averageGoals(s, 0);
        } else {
            runOnWorkers(*pool, bones, fitTask);
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
