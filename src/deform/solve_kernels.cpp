// The one place where a loop is picked for a vector unit: the tables below.
#include "deform/solve_kernels.h"

#include "deform/solve_loops.h"

namespace {

// The portable kernels: the loops of solve_loops.h, built for the build's own target.
namespace portable_kernels {

void centroids(const MemberLists& lists, const MemberRange* range, int count,
               const Float4* positions, Float4* u) {
    solve_loops::centroids(lists, range, count, positions, u);
}

void covariances(const MemberLists& lists, const MemberRange* range, int count,
                 const Float4* positions, const Float4* m, Covariance* a) {
    solve_loops::covariances<false>(lists, range, count, positions, m, a);
}

void covariancesKeepingOffsets(const MemberLists& lists, const MemberRange* range, int count,
                               const Float4* positions, const Float4* m, Covariance* a) {
    solve_loops::covariances<true>(lists, range, count, positions, m, a);
}

void goals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest, int32_t count,
           Float4* sums) {
    solve_loops::goals<false>(motion, vertex, rest, count, sums);
}

void freshGoals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest, int32_t count,
                Float4* sums) {
    solve_loops::goals<true>(motion, vertex, rest, count, sums);
}

void moveVertices(const VertexMove& move, int32_t from, int32_t to) {
    solve_loops::moveVertices<Double2>(move, from, to);
}

}  // namespace portable_kernels

// One entry a line, in the order of SolveKernels' fields.
// clang-format off
const SolveKernels portable = {
    portable_kernels::centroids,
    portable_kernels::covariances,
    portable_kernels::covariancesKeepingOffsets,
    portable_kernels::goals,
    portable_kernels::freshGoals,
    portable_kernels::moveVertices,
};

#if defined(HAVE_VECTOR_UNITS)
const SolveKernels avx2 = {
    avx2_kernels::centroids,      // the portable loop, compiled for AVX2
    avx2_kernels::covariances,
    avx2_kernels::covariancesKeepingOffsets,
    avx2_kernels::goals,
    avx2_kernels::freshGoals,
    avx2_kernels::moveVertices,   // the portable loop, compiled for AVX2
};

// Where AVX-512 has no loop of its own, AVX2's: the centroids' sums have four lanes, and each
// bone's covariance rows wait on their own adds (a loop with rows 0 and 1 in one 512-bit register
// was measured no faster).
const SolveKernels avx512 = {
    avx2_kernels::centroids,
    avx2_kernels::covariances,
    avx2_kernels::covariancesKeepingOffsets,
    avx512_kernels::goals,
    avx512_kernels::freshGoals,
    avx512_kernels::moveVertices,
};
#endif
// clang-format on

}  // namespace

const SolveKernels& solveKernels(VectorUnit unit) {
#if defined(HAVE_VECTOR_UNITS)
    const VectorUnit widest = widestVectorUnit();
    if (unit > widest) unit = widest;
    if (unit == VectorUnit::Avx512) return avx512;
    if (unit == VectorUnit::Avx2) return avx2;
#else
    (void)unit;
#endif
    return portable;
}
