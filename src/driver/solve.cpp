#include "driver/solve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "deform/bone_layout.h"

namespace {

// The matrix store's entries and viewport, as doubles.
struct WindowTest {
    double modelView[16];
    double projection[16];
    double left, bottom, width, height;
    // The model-view's bottom row is (0, 0, 0, 1) and the projection has the zeros of a
    // perspective, every entry finite and moderate: then every product with a zero entry is a
    // zero of either sign, and leaving those out changes no bit of the window test (a zero
    // clip coordinate becomes 0.5 whatever its sign, and a zero w fails either way).
    bool perspective;
};

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
    const double* m = test.modelView;
    const double* p = test.projection;
    bool zeros = m[3] == 0.0 && m[7] == 0.0 && m[11] == 0.0 && m[15] == 1.0;
    for (const int k : {1, 2, 3, 4, 6, 7, 12, 13, 15}) zeros = zeros && p[k] == 0.0;
    test.perspective = moderate && zeros;
}

// The places (x, y, z), a lane each, through gluProject's arithmetic: the clip-space w, and the
// window position divided by the window depth. The places are finite.
template <typename D>
inline __attribute__((always_inline)) void windowPlaces(const WindowTest& t, const D& x, const D& y,
                                                        const D& z, D& w, D& sx, D& sy) {
    const double* m = t.modelView;
    const double* p = t.projection;
    // 1.0 * m[12 + i] is m[12 + i].
    const D e0 = x * m[0] + y * m[4] + z * m[8] + m[12];
    const D e1 = x * m[1] + y * m[5] + z * m[9] + m[13];
    const D e2 = x * m[2] + y * m[6] + z * m[10] + m[14];
    D c0, c1, c2;
    if (t.perspective) {
        c0 = e0 * p[0] + e2 * p[8];
        c1 = e1 * p[5] + e2 * p[9];
        c2 = e2 * p[10] + p[14];
        w = e2 * p[11];
    } else {
        const D e3 = x * m[3] + y * m[7] + z * m[11] + m[15];
        c0 = e0 * p[0] + e1 * p[4] + e2 * p[8] + e3 * p[12];
        c1 = e0 * p[1] + e1 * p[5] + e2 * p[9] + e3 * p[13];
        c2 = e0 * p[2] + e1 * p[6] + e2 * p[10] + e3 * p[14];
        w = e0 * p[3] + e1 * p[7] + e2 * p[11] + e3 * p[15];
    }
    const D nx = c0 / w * 0.5 + 0.5;
    const D ny = c1 / w * 0.5 + 0.5;
    const D nz = c2 / w * 0.5 + 0.5;
    sx = (nx * t.width + t.left) / nz;
    sy = (ny * t.height + t.bottom) / nz;
}

// What the threads of one sweep share.
struct Sweep {
    BoneLayout* layout;
    BoneMotion* motions;
    Float4* positions;
    Float4* sums;  // goalSum and weightSum per vertex: a vertex's first goal replaces its sum
    MeshVertex* vertices;
    WindowTest window;
    Float4 shift;
    VectorUnit unit;
    bool rawAverage;
    bool last;
};

// Fits the bones of unit `unit` of the lay-out's fit units.
void fitUnit(const Sweep& s, int32_t unit) {
    const BoneLayout& layout = *s.layout;
    fitBones(*s.layout, layout.fitOrder.data() + layout.fitUnits[size_t(2 * unit)],
             layout.fitUnits[size_t(2 * unit) + 1], s.positions, s.last, s.motions, s.unit);
}

// The goal sums of part `part`'s vertices: bone after bone, so that each vertex adds its bones'
// goals in bone order. A vertex's first goal replaces what its sum held.
void sumGoals(const Sweep& s, int32_t part) {
    const BoneLayout& layout = *s.layout;
    const int32_t runs = 2 * int32_t(layout.scale.size());
    const int32_t* const begin = layout.partMemberBegin.data() + size_t(part) * size_t(runs + 1);
    for (int32_t r = 0; r < runs; ++r) {
        addBoneGoals(s.motions[r / 2], layout.partVertex.data() + begin[r],
                     layout.partRest.data() + begin[r], begin[r + 1] - begin[r], s.sums, r % 2 == 0,
                     s.unit);
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

// The lanes of a comparison as bits, lane i in bit i.
inline int laneBits(const Int4& lanes) {
#if defined(__SSE2__)
    return _mm_movemask_ps(_mm_castsi128_ps(__m128i(lanes)));
#else
    return (lanes[0] & 1) | (lanes[1] & 2) | (lanes[2] & 4) | (lanes[3] & 8);
#endif
}

// Four vertices from v on: the weighted means of their goals, shifted by the drift unless the
// means are raw, their places now, and which may move (no handle, some goal, a finite place
// with other bits than the place now). Each lane is one vertex's scalar rule.
struct FourMeans {
    Float4 x, y, z;
    Float4 ox, oy, oz;
    Int4 move;
};

inline __attribute__((always_inline)) void meansOfGoals(const Sweep& s, int32_t v, FourMeans& f) {
    const Float4* const sums = s.sums;
    const Float4* const positions = s.positions;
    const int32_t* const handle = s.layout->handle.data();
    Float4 weight;
    transpose(sums[v], sums[v + 1], sums[v + 2], sums[v + 3], f.x, f.y, f.z, weight);
    const Float4 r = 1.0f / weight;
    f.x = f.x * r;
    f.y = f.y * r;
    f.z = f.z * r;
    // The raw mean is not shifted at all: adding 0 would turn a -0 into +0.
    if (!s.rawAverage) {
        f.x = f.x + s.shift[0];
        f.y = f.y + s.shift[1];
        f.z = f.z + s.shift[2];
    }
    Float4 unused;
    transpose(positions[v], positions[v + 1], positions[v + 2], positions[v + 3], f.ox, f.oy, f.oz,
              unused);
    // A vertex whose new place has the bits of its old one ends up the same whether it moves or
    // not, so the window need not decide: once a mesh has settled that is nearly every vertex.
    const Int4 same =
        (Int4(f.x) == Int4(f.ox)) & (Int4(f.y) == Int4(f.oy)) & (Int4(f.z) == Int4(f.oz));
    const Int4 held = Int4{handle[v], handle[v + 1], handle[v + 2], handle[v + 3]};
    f.move = (weight != 0.0f) & (held == 0) & finiteLanes(f.x) & finiteLanes(f.y) &
             finiteLanes(f.z) & ~same;
}

// The four vertices from v on that move take their new places.
inline __attribute__((always_inline)) void place(const Sweep& s, int32_t v, const FourMeans& f) {
    const Float4 x = f.move ? f.x : f.ox;
    const Float4 y = f.move ? f.y : f.oy;
    const Float4 z = f.move ? f.z : f.oz;
    Float4* const p = s.positions;
    transpose(x, y, z, Float4{0.0f, 0.0f, 0.0f, 0.0f}, p[v], p[v + 1], p[v + 2], p[v + 3]);
}

// Part `part`'s vertices, four at a time, move to the weighted mean of their goals where that
// stays in view; handles, vertices without goals and places that are not finite stay. The last
// sweep leaves the sums in the vertices.
VECTOR_CLONES
void moveVertices(const Sweep& s, int32_t part) {
    const BoneLayout& layout = *s.layout;
    const int32_t from = layout.partVertexBegin[size_t(part)];
    const int32_t to = layout.partVertexBegin[size_t(part) + 1];
    if (s.last) keepSums(s, from, to);
    // The lists are padded to whole steps with vertices that have no goals.
    for (int32_t v = from; v < to; v += 4) {
        FourMeans f;
        meansOfGoals(s, v, f);
        if (laneBits(f.move) == 0) continue;
        if (!s.rawAverage) {
            Double4 x, y, z;
            widen(f.x, x);
            widen(f.y, y);
            widen(f.z, z);
            Double4 w, sx, sy;
            windowPlaces(s.window, x, y, z, w, sx, sy);
            // In view: projected, inside the viewport and above the bottom margin.
            const Long4 in = (w != 0.0) & (sx > 0.0) & (sy > SOLVE_BOTTOM_MARGIN) &
                             (sx < s.window.width) & (sy < s.window.height);
            f.move &= __builtin_convertvector(in, Int4);
        }
        place(s, v, f);
    }
}

#if defined(HAVE_VECTOR_UNITS)
BEGIN_AVX512_LOOPS
typedef double Double8 __attribute__((vector_size(64)));

// Two fours of floats as eight doubles.
AVX512_LOOP inline void widenBoth(const Float4& low, const Float4& high, Double8& out) {
    out = Double8(_mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_cvtps_pd(__m128(low))),
                                     _mm256_cvtps_pd(__m128(high)), 1));
}

// moveVertices eight at a time, the window test of all eight in 512-bit registers: the
// divisions, which bound the test, take as long for eight lanes as for four.
AVX512_LOOP void moveVerticesAvx512(const Sweep& s, int32_t part) {
    const BoneLayout& layout = *s.layout;
    const int32_t from = layout.partVertexBegin[size_t(part)];
    const int32_t to = layout.partVertexBegin[size_t(part) + 1];
    if (s.last) keepSums(s, from, to);
    const __m512d zero = _mm512_setzero_pd();
    const __m512d margin = _mm512_set1_pd(SOLVE_BOTTOM_MARGIN);
    const __m512d width = _mm512_set1_pd(s.window.width);
    const __m512d height = _mm512_set1_pd(s.window.height);
    for (int32_t v = from; v < to; v += 8) {
        FourMeans f[2];
        meansOfGoals(s, v, f[0]);
        // Past the part's end there may be only padding, or the next part.
        const bool two = v + 4 < to;
        if (two) {
            meansOfGoals(s, v + 4, f[1]);
        } else {
            f[1] = f[0];
        }
        const int low = laneBits(f[0].move);
        const int high = two ? laneBits(f[1].move) : 0;
        if ((low | high) == 0) continue;
        if (!s.rawAverage) {
            Double8 x, y, z;
            widenBoth(f[0].x, f[1].x, x);
            widenBoth(f[0].y, f[1].y, y);
            widenBoth(f[0].z, f[1].z, z);
            Double8 w, sx, sy;
            windowPlaces(s.window, x, y, z, w, sx, sy);
            const unsigned in = _mm512_cmp_pd_mask(__m512d(w), zero, _CMP_NEQ_OQ) &
                                _mm512_cmp_pd_mask(__m512d(sx), zero, _CMP_GT_OQ) &
                                _mm512_cmp_pd_mask(__m512d(sy), margin, _CMP_GT_OQ) &
                                _mm512_cmp_pd_mask(__m512d(sx), width, _CMP_LT_OQ) &
                                _mm512_cmp_pd_mask(__m512d(sy), height, _CMP_LT_OQ);
            f[0].move &= Int4(_mm_movm_epi32(__mmask8(in & 0xfu)));
            f[1].move &= Int4(_mm_movm_epi32(__mmask8(in >> 4)));
        }
        if (low != 0) place(s, v, f[0]);
        if (high != 0) place(s, v + 4, f[1]);
    }
}
END_AVX512_LOOPS
#endif

void averageGoals(const Sweep& s, int32_t part) {
    sumGoals(s, part);
#if defined(HAVE_VECTOR_UNITS)
    if (s.unit == VectorUnit::Avx512) {
        moveVerticesAvx512(s, part);
        return;
    }
#endif
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
    // Padded to whole steps of four: the padding has no goals and never moves.
    const int32_t padded = (count + 3) / 4 * 4;
    workers.positions.assign(size_t(padded), Float4{0.0f, 0.0f, 0.0f, 0.0f});
    workers.sums.assign(size_t(padded), Float4{0.0f, 0.0f, 0.0f, 0.0f});
    for (int32_t v = 0; v < count; ++v) {
        const Vec3f& p = vertices[size_t(v)].pos;
        workers.positions[size_t(v)] = Float4{p.x, p.y, p.z, 0.0f};
    }
    Sweep s{};
    s.layout = &layout;
    s.motions = workers.motions.data();
    s.positions = workers.positions.data();
    s.sums = workers.sums.data();
    s.vertices = vertices.data();
    prepareWindowTest(matrices, s.window);
    s.shift = Float4{drift.x, drift.y, drift.z, 0.0f};
    s.rawAverage = rawAverage;
    s.unit = std::min(workers.widest, widestVectorUnit());

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
                     s.unit);
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
