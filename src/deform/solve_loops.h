// The loops behind the kernel tables (solve_kernels.h). The portable ones are written once with
// the compiler's vector extensions and always inlined, so that each takes the instruction set of
// the kernel it lands in: the portable kernels compile them for the build's target, the AVX2 and
// AVX-512 kernels for theirs. Only solve_kernels.cpp and solve_loops_x86.cpp include this.
#pragma once

#include <algorithm>
#include <cstdint>

#include "deform/solve_kernels.h"
#include "deform/vector4.h"

#define SOLVE_LOOP inline __attribute__((always_inline))

namespace solve_loops {

// Two bones' sums are taken in one loop so that neither waits on its own last add.
SOLVE_LOOP void centroids(const MemberLists& lists, const MemberRange* range, int count,
                          const Float4* positions, Float4* u) {
    const int32_t* const vertex = lists.vertex;
    const float* const weight = lists.weight;
    Float4 u0{0.0f, 0.0f, 0.0f, 0.0f};
    Float4 u1 = u0;
    int32_t e0 = range[0].begin;
    int32_t e1 = count > 1 ? range[1].begin : 0;
    if (count > 1) {
        const int32_t both = std::min(range[0].end - e0, range[1].end - e1);
        for (int32_t k = 0; k < both; ++k, ++e0, ++e1) {
            u0 = u0 + positions[vertex[e0]] * weight[e0];
            u1 = u1 + positions[vertex[e1]] * weight[e1];
        }
        for (; e1 < range[1].end; ++e1) u1 = u1 + positions[vertex[e1]] * weight[e1];
        u[1] = u1;
    }
    for (; e0 < range[0].end; ++e0) u0 = u0 + positions[vertex[e0]] * weight[e0];
    u[0] = u0;
}

// One bone after the other, each row as two pairs of doubles, which SSE2 registers hold.
template <bool keepOffsets>
SOLVE_LOOP void covariances(const MemberLists& lists, const MemberRange* range, int count,
                            const Float4* positions, const Float4* m, Covariance* a) {
    const int32_t* const vertex = lists.vertex;
    const Float4* const weightedRest = lists.weightedRest;
    Float4* const current = lists.current;
    for (int j = 0; j < count; ++j) {
        const Float4 centre = m[j];
        const Double2 zero{0.0, 0.0};
        Double2 a00 = zero, a02 = zero, a10 = zero, a12 = zero, a20 = zero, a22 = zero;
        for (int32_t e = range[j].begin; e < range[j].end; ++e) {
            const Float4 p = positions[vertex[e]] - centre;
            if (keepOffsets) current[e] = p;
            const Float4 wq = weightedRest[e];
            const Float4 p0 = p * wq[0];
            const Float4 p1 = p * wq[1];
            const Float4 p2 = p * wq[2];
            a00 = a00 + widenLow(p0);
            a02 = a02 + widenHigh(p0);
            a10 = a10 + widenLow(p1);
            a12 = a12 + widenHigh(p1);
            a20 = a20 + widenLow(p2);
            a22 = a22 + widenHigh(p2);
        }
        a[j].row[0][0] = a00, a[j].row[0][1] = a02;
        a[j].row[1][0] = a10, a[j].row[1][1] = a12;
        a[j].row[2][0] = a20, a[j].row[2][1] = a22;
    }
}

// Adds the goal that `motion` gives a member with rest slot `rest` (qx, qy, qz, w) into `sum`
// (goalSum x, y, z and weightSum): the goal in double, times w, added to the sum in double and
// rounded to float; translation only without a rotation, in float. A float sum rounded through
// double is the float sum, so both cases add the same way.
SOLVE_LOOP void addGoal(const BoneMotion& motion, const Float4& rest, Float4& sum) {
    if (motion.usable != 0) {
        Double4 q;
        widen(rest, q);
        Double4 goal = motion.column[0] * q[0];
        goal = goal + motion.column[1] * q[1];
        goal = goal + motion.column[2] * q[2];
        goal = goal + motion.centre;
        goal = goal * q[3];
        withLane3Of(goal, q);
        Double4 total;
        widen(sum, total);
        total = goal + total;
        narrow(total, sum);
    } else {
        Float4 goal = (rest + motion.centref) * rest[3];
        goal[3] = rest[3];
        sum = sum + goal;
    }
}

template <bool fresh>
SOLVE_LOOP void goals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                      int32_t count, Float4* sums) {
    const BoneMotion m = motion;
    for (int32_t i = 0; i < count; ++i) {
        Float4& sum = sums[vertex[i]];
        if (fresh) sum = Float4{0.0f, 0.0f, 0.0f, 0.0f};
        addGoal(m, rest[i], sum);
    }
}

// The places (x, y, z), a lane each, through gluProject's arithmetic: the clip-space w, and the
// window position divided by the window depth. The places are finite.
template <typename D>
SOLVE_LOOP void windowPlaces(const WindowTest& t, const D& x, const D& y, const D& z, D& w, D& sx,
                             D& sy) {
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

// Four vertices from v on: the weighted means of their goals, shifted by the drift unless the
// means are raw, their places now, and which may move (no handle, some goal, a finite place
// with other bits than the place now). Each lane is one vertex's scalar rule.
struct FourMeans {
    Float4 x, y, z;
    Float4 ox, oy, oz;
    Int4 move;
};

SOLVE_LOOP void meansOfGoals(const VertexMove& s, int32_t v, FourMeans& f) {
    const Float4* const sums = s.sums;
    const Float4* const positions = s.positions;
    const int32_t* const handle = s.handle;
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
SOLVE_LOOP void place(const VertexMove& s, int32_t v, const FourMeans& f) {
    const Float4 x = f.move ? f.x : f.ox;
    const Float4 y = f.move ? f.y : f.oy;
    const Float4 z = f.move ? f.z : f.oz;
    Float4* const p = s.positions;
    transpose(x, y, z, Float4{0.0f, 0.0f, 0.0f, 0.0f}, p[v], p[v + 1], p[v + 2], p[v + 3]);
}

// Which of the places (x, y, z), a lane each, stay in view: projected, inside the viewport and
// above the bottom margin.
template <typename D, typename M>
SOLVE_LOOP void inView(const WindowTest& t, const D& x, const D& y, const D& z, M& in) {
    D w, sx, sy;
    windowPlaces(t, x, y, z, w, sx, sy);
    in = (w != 0.0) & (sx > 0.0) & (sy > t.bottomMargin) & (sx < t.width) & (sy < t.height);
}

// Four places' window tests in doubles D, of two lanes or four: two lanes where a register holds
// no more, as the compilers split a wider vector clumsily (through memory, and its comparisons
// lane by lane).
template <typename D>
SOLVE_LOOP Int4 inView(const WindowTest& t, const Float4& x, const Float4& y, const Float4& z) {
    if constexpr (sizeof(D) == sizeof(Double4)) {
        Double4 x4, y4, z4;
        widen(x, x4);
        widen(y, y4);
        widen(z, z4);
        Long4 in;
        inView(t, x4, y4, z4, in);
        return __builtin_convertvector(in, Int4);
    } else {
        Long2 low, high;
        inView(t, widenLow(x), widenLow(y), widenLow(z), low);
        inView(t, widenHigh(x), widenHigh(y), widenHigh(z), high);
        return SHUFFLE4(Int4(low), Int4(high), 0, 2, 4, 6);
    }
}

template <typename D>
SOLVE_LOOP void moveVertices(const VertexMove& s, int32_t from, int32_t to) {
    for (int32_t v = from; v < to; v += 4) {
        FourMeans f;
        meansOfGoals(s, v, f);
        if (laneBits(f.move) == 0) continue;
        if (!s.rawAverage) f.move &= inView<D>(s.window, f.x, f.y, f.z);
        place(s, v, f);
    }
}

}  // namespace solve_loops

// The wider units' kernels (solve_loops_x86.cpp), which solve_kernels.cpp puts into its tables.
#if defined(HAVE_VECTOR_UNITS)
namespace avx2_kernels {
void centroids(const MemberLists& lists, const MemberRange* range, int count,
               const Float4* positions, Float4* u);
void covariances(const MemberLists& lists, const MemberRange* range, int count,
                 const Float4* positions, const Float4* m, Covariance* a);
void covariancesKeepingOffsets(const MemberLists& lists, const MemberRange* range, int count,
                               const Float4* positions, const Float4* m, Covariance* a);
void goals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest, int32_t count,
           Float4* sums);
void freshGoals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest, int32_t count,
                Float4* sums);
void moveVertices(const VertexMove& move, int32_t from, int32_t to);
}  // namespace avx2_kernels

namespace avx512_kernels {
void goals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest, int32_t count,
           Float4* sums);
void freshGoals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest, int32_t count,
                Float4* sums);
void moveVertices(const VertexMove& move, int32_t from, int32_t to);
}  // namespace avx512_kernels
#endif
