// The AVX2 and AVX-512 kernels: hand-written intrinsics where they beat the compiler, and the
// portable loops compiled for the unit elsewhere. Each kernel carries its unit's target
// attribute, so this file builds for the baseline target and its code runs only where
// solveKernels hands it out.
#include "deform/solve_loops.h"

#if defined(HAVE_VECTOR_UNITS)

#include <immintrin.h>

namespace {

// One member's products added into a bone's rows.
template <bool keepOffsets>
AVX2_LOOP inline void addCovarianceAvx2(const Float4& position, const __m128& centre,
                                        const Float4& wq, Float4& current, __m256d* row) {
    const __m128 p = _mm_sub_ps(__m128(position), centre);
    if (keepOffsets) current = Float4(p);
    const __m128 w = __m128(wq);
    row[0] = _mm256_add_pd(row[0], _mm256_cvtps_pd(_mm_mul_ps(p, _mm_shuffle_ps(w, w, 0x00))));
    row[1] = _mm256_add_pd(row[1], _mm256_cvtps_pd(_mm_mul_ps(p, _mm_shuffle_ps(w, w, 0x55))));
    row[2] = _mm256_add_pd(row[2], _mm256_cvtps_pd(_mm_mul_ps(p, _mm_shuffle_ps(w, w, 0xaa))));
}

// The covariance rows of `count` (1 or 2) bones, each row in one 256-bit register; two bones in
// one loop, as their centroids.
template <bool keepOffsets>
AVX2_LOOP void covariancesAvx2(const MemberLists& lists, const MemberRange* range, int count,
                               const Float4* positions, const Float4* m, Covariance* a) {
    const int32_t* const vertex = lists.vertex;
    const Float4* const weightedRest = lists.weightedRest;
    Float4* const current = lists.current;
    __m256d rows[2][3];
    for (auto& bone : rows) {
        for (__m256d& row : bone) row = _mm256_setzero_pd();
    }
    const __m128 centre0 = __m128(m[0]);
    const __m128 centre1 = count > 1 ? __m128(m[1]) : centre0;
    int32_t e0 = range[0].begin;
    int32_t e1 = count > 1 ? range[1].begin : 0;
    if (count > 1) {
        const int32_t both = std::min(range[0].end - e0, range[1].end - e1);
        for (int32_t k = 0; k < both; ++k, ++e0, ++e1) {
            addCovarianceAvx2<keepOffsets>(positions[vertex[e0]], centre0, weightedRest[e0],
                                           current[e0], rows[0]);
            addCovarianceAvx2<keepOffsets>(positions[vertex[e1]], centre1, weightedRest[e1],
                                           current[e1], rows[1]);
        }
        for (; e1 < range[1].end; ++e1) {
            addCovarianceAvx2<keepOffsets>(positions[vertex[e1]], centre1, weightedRest[e1],
                                           current[e1], rows[1]);
        }
    }
    for (; e0 < range[0].end; ++e0) {
        addCovarianceAvx2<keepOffsets>(positions[vertex[e0]], centre0, weightedRest[e0],
                                       current[e0], rows[0]);
    }
    for (int j = 0; j < count; ++j) {
        for (int i = 0; i < 3; ++i) {
            a[j].row[i][0] = Double2(_mm256_castpd256_pd128(rows[j][i]));
            a[j].row[i][1] = Double2(_mm256_extractf128_pd(rows[j][i], 1));
        }
    }
}

// The motion in 256-bit registers: columns 0 to 2 and the centre.
struct MotionAvx2 {
    __m256d c0, c1, c2, centre;
};

// addGoal for one member: the same operations, lane by lane. A fresh sum starts from zero
// rather than from what it held.
template <bool fresh>
AVX2_LOOP inline void addGoalAvx2(const MotionAvx2& m, const Float4& rest, Float4& sum) {
    const __m256d q = _mm256_cvtps_pd(__m128(rest));
    __m256d goal = _mm256_mul_pd(m.c0, _mm256_permute4x64_pd(q, 0x00));
    goal = _mm256_add_pd(goal, _mm256_mul_pd(m.c1, _mm256_permute4x64_pd(q, 0x55)));
    goal = _mm256_add_pd(goal, _mm256_mul_pd(m.c2, _mm256_permute4x64_pd(q, 0xaa)));
    goal = _mm256_add_pd(goal, m.centre);
    const __m256d w = _mm256_permute4x64_pd(q, 0xff);
    goal = _mm256_blend_pd(_mm256_mul_pd(goal, w), w, 0x8);
    const __m256d before = fresh ? _mm256_setzero_pd() : _mm256_cvtps_pd(__m128(sum));
    sum = Float4(_mm256_cvtpd_ps(_mm256_add_pd(goal, before)));
}

// A bone with a rotation; a bone that only translates adds its goals in float, which the
// portable loop does as well as any.
template <bool fresh>
AVX2_LOOP void goalsAvx2(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                         int32_t count, Float4* sums) {
    if (motion.usable == 0) {
        solve_loops::goals<fresh>(motion, vertex, rest, count, sums);
        return;
    }
    const MotionAvx2 m{__m256d(motion.column[0]), __m256d(motion.column[1]),
                       __m256d(motion.column[2]), __m256d(motion.centre)};
    for (int32_t i = 0; i < count; ++i) addGoalAvx2<fresh>(m, rest[i], sums[vertex[i]]);
}

}  // namespace

namespace avx2_kernels {

AVX2_LOOP void centroids(const MemberLists& lists, const MemberRange* range, int count,
                         const Float4* positions, Float4* u) {
    solve_loops::centroids(lists, range, count, positions, u);
}

AVX2_LOOP void covariances(const MemberLists& lists, const MemberRange* range, int count,
                           const Float4* positions, const Float4* m, Covariance* a) {
    covariancesAvx2<false>(lists, range, count, positions, m, a);
}

AVX2_LOOP void covariancesKeepingOffsets(const MemberLists& lists, const MemberRange* range,
                                         int count, const Float4* positions, const Float4* m,
                                         Covariance* a) {
    covariancesAvx2<true>(lists, range, count, positions, m, a);
}

AVX2_LOOP void goals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                     int32_t count, Float4* sums) {
    goalsAvx2<false>(motion, vertex, rest, count, sums);
}

AVX2_LOOP void freshGoals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                          int32_t count, Float4* sums) {
    goalsAvx2<true>(motion, vertex, rest, count, sums);
}

AVX2_LOOP void moveVertices(const VertexMove& move, int32_t from, int32_t to) {
    solve_loops::moveVertices<Double4>(move, from, to);
}

}  // namespace avx2_kernels

BEGIN_AVX512_LOOPS

namespace {

// Two members a step, one in each half of a 512-bit register.
template <bool fresh>
AVX512_LOOP void goalsAvx512(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                             int32_t count, Float4* sums) {
    if (motion.usable == 0) {
        solve_loops::goals<fresh>(motion, vertex, rest, count, sums);
        return;
    }
    const MotionAvx2 m{__m256d(motion.column[0]), __m256d(motion.column[1]),
                       __m256d(motion.column[2]), __m256d(motion.centre)};
    const __m512d c0 = _mm512_broadcast_f64x4(m.c0);
    const __m512d c1 = _mm512_broadcast_f64x4(m.c1);
    const __m512d c2 = _mm512_broadcast_f64x4(m.c2);
    const __m512d centre = _mm512_broadcast_f64x4(m.centre);
    int32_t i = 0;
    for (; i + 1 < count; i += 2) {
        const int32_t v0 = vertex[i];
        const int32_t v1 = vertex[i + 1];
        if (v0 == v1) {
            // One vertex twice: one goal after the other, as the portable loop adds them.
            addGoalAvx2<fresh>(m, rest[i], sums[v0]);
            addGoalAvx2<fresh>(m, rest[i + 1], sums[v1]);
            continue;
        }
        const __m512d q =
            _mm512_cvtps_pd(_mm256_loadu_ps(reinterpret_cast<const float*>(rest + i)));
        __m512d goal = _mm512_mul_pd(c0, _mm512_permutex_pd(q, 0x00));
        goal = _mm512_add_pd(goal, _mm512_mul_pd(c1, _mm512_permutex_pd(q, 0x55)));
        goal = _mm512_add_pd(goal, _mm512_mul_pd(c2, _mm512_permutex_pd(q, 0xaa)));
        goal = _mm512_add_pd(goal, centre);
        const __m512d w = _mm512_permutex_pd(q, 0xff);
        goal = _mm512_mask_blend_pd(0x88, _mm512_mul_pd(goal, w), w);
        const __m512d before =
            fresh ? _mm512_setzero_pd()
                  : _mm512_cvtps_pd(_mm256_set_m128(__m128(sums[v1]), __m128(sums[v0])));
        const __m256 total = _mm512_cvtpd_ps(_mm512_add_pd(goal, before));
        sums[v0] = Float4(_mm256_castps256_ps128(total));
        sums[v1] = Float4(_mm256_extractf128_ps(total, 1));
    }
    if (i < count) addGoalAvx2<fresh>(m, rest[i], sums[vertex[i]]);
}

typedef double Double8 __attribute__((vector_size(64)));

// Two fours of floats as eight doubles.
AVX512_LOOP inline void widenBoth(const Float4& low, const Float4& high, Double8& out) {
    out = Double8(_mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_cvtps_pd(__m128(low))),
                                     _mm256_cvtps_pd(__m128(high)), 1));
}

// The vertices eight at a time, the window test of all eight in 512-bit registers: the
// divisions, which bound the test, take as long for eight lanes as for four.
AVX512_LOOP void moveVerticesAvx512(const VertexMove& s, int32_t from, int32_t to) {
    const __m512d zero = _mm512_setzero_pd();
    const __m512d margin = _mm512_set1_pd(s.window.bottomMargin);
    const __m512d width = _mm512_set1_pd(s.window.width);
    const __m512d height = _mm512_set1_pd(s.window.height);
    for (int32_t v = from; v < to; v += 8) {
        solve_loops::FourMeans f[2];
        solve_loops::meansOfGoals(s, v, f[0]);
        // Past the range's end there may be only padding, or the next thread's vertices.
        const bool two = v + 4 < to;
        if (two) {
            solve_loops::meansOfGoals(s, v + 4, f[1]);
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
            solve_loops::windowPlaces(s.window, x, y, z, w, sx, sy);
            const unsigned in = _mm512_cmp_pd_mask(__m512d(w), zero, _CMP_NEQ_OQ) &
                                _mm512_cmp_pd_mask(__m512d(sx), zero, _CMP_GT_OQ) &
                                _mm512_cmp_pd_mask(__m512d(sy), margin, _CMP_GT_OQ) &
                                _mm512_cmp_pd_mask(__m512d(sx), width, _CMP_LT_OQ) &
                                _mm512_cmp_pd_mask(__m512d(sy), height, _CMP_LT_OQ);
            f[0].move &= Int4(_mm_movm_epi32(__mmask8(in & 0xfu)));
            f[1].move &= Int4(_mm_movm_epi32(__mmask8(in >> 4)));
        }
        if (low != 0) solve_loops::place(s, v, f[0]);
        if (high != 0) solve_loops::place(s, v + 4, f[1]);
    }
}

}  // namespace

namespace avx512_kernels {

AVX512_LOOP void goals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                       int32_t count, Float4* sums) {
    goalsAvx512<false>(motion, vertex, rest, count, sums);
}

AVX512_LOOP void freshGoals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                            int32_t count, Float4* sums) {
    goalsAvx512<true>(motion, vertex, rest, count, sums);
}

AVX512_LOOP void moveVertices(const VertexMove& move, int32_t from, int32_t to) {
    moveVerticesAvx512(move, from, to);
}

}  // namespace avx512_kernels

END_AVX512_LOOPS

#endif
