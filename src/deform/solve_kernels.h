// The solve's inner loops, one table of them per vector unit. The solve takes a table once per
// frame and calls its loops only through it: nothing else decides which loop runs, so a solve
// held to a narrower unit (the tests' and the benchmark's) runs exactly that unit's loops, and
// the tests that pin the bits per unit cover each of them.
//
//   kernel                     portable                AVX2                    AVX-512
//   centroids                  4 floats a member       the portable loop,      = AVX2
//                                                      built for AVX2
//   covariances,               4 floats a member,      intrinsics, two bones   = AVX2 (*)
//   covariancesKeepingOffsets  rows as pairs of        in one loop, a row in
//                              doubles, one bone       a 256-bit register
//                              after the other
//   goals, freshGoals:         the goal in 2 x 2       intrinsics, the goal    intrinsics, two
//     a bone that turns        doubles                 in a 256-bit register   members a step
//   goals, freshGoals:         4 floats a member       the portable loop,      the portable loop,
//     a bone that slides                               built for AVX2          built for AVX-512
//   moveVertices, with its     four vertices a step,   the portable loop,      eight vertices a
//     window test              the test in 2 x 2       built for AVX2, the     step, the test in
//                              doubles                 test in 4 doubles       512-bit registers
//
// (*) Each bone's covariance rows wait on their own adds, not on instructions: a loop with rows
// 0 and 1 in one 512-bit register ran no faster, so AVX-512 keeps AVX2's.
//
// "Portable" is built for the build's own target: baseline x86-64 (SSE2) in the ordinary build,
// AVX2 where the build itself asks for it (-march=x86-64-v3). The wider units' loops are built
// for their units by function attributes, so every build holds all three tables and the CPU
// decides at run time; solveKernels never hands out a table wider than the CPU. Away from x86-64
// with GCC or Clang only the portable table is built, and every unit gets it. The compile-time
// tests left in vector4.h choose how a primitive is spelled (one SSE2 instruction, or its lanes
// one by one; GCC's shuffle or Clang's), never which loop runs.
//
// Every entry gives the bits of the portable loop: the wider loops do the same roundings, lane
// for lane and in the same order (the build never fuses a multiply and an add).
#pragma once

#include <cstdint>

#include "deform/vector4.h"
#include "deform/vector_unit.h"

// One bone's rigid motion in the current sweep.
struct alignas(64) BoneMotion {
    Double4 column[3];  // R's columns (R[0][j], R[1][j], R[2][j], 0)
    Double4 centre;     // the current centroid m, widened; lane 3 is 0
    Float4 centref;     // m; lane 3 is 0
    int32_t usable;     // 1: R is a rotation; 0: the bone only pulls its members along
};

// A fitted bone's members: entries begin up to end of the member lists.
struct MemberRange {
    int32_t begin;
    int32_t end;
};

// The per-member lists that a fit reads, and the offsets that it may keep.
struct MemberLists {
    const int32_t* vertex;
    const float* weight;
    const Float4* weightedRest;  // (qx w, qy w, qz w, 0), rounded in float
    Float4* current;             // p - m, where the offsets are kept
};

// A bone's covariance rows as pairs of doubles, so that the sums stay in registers on every
// target: row i holds lanes 0, 1 in [i][0] and lanes 2, 3 in [i][1].
struct Covariance {
    Double2 row[3][2];
};

// The matrix store's entries and viewport as doubles, and the bottom margin of the view.
struct WindowTest {
    double modelView[16];
    double projection[16];
    double left, bottom, width, height;
    double bottomMargin;
    // The model-view's bottom row is (0, 0, 0, 1) and the projection has the zeros of a
    // perspective, every entry finite and moderate: then every product with a zero entry is a
    // zero of either sign, and leaving those out changes no bit of the window test (a zero
    // clip coordinate becomes 0.5 whatever its sign, and a zero w fails either way).
    bool perspective;
};

// What one sweep's vertex move reads and writes. The lists are padded to whole fours with
// vertices that have no goals and are handles.
struct VertexMove {
    const Float4* sums;  // goalSum and weightSum per vertex
    Float4* positions;   // pos per vertex; lane 3 is 0
    const int32_t* handle;
    WindowTest window;
    Float4 shift;  // the drift; lane 3 is 0
    bool rawAverage;
};

struct SolveKernels {
    // The current centroids of `count` (1 or 2) bones, unscaled: float sums of position times
    // weight in member order, each lane its own sum.
    void (*centroids)(const MemberLists& lists, const MemberRange* range, int count,
                      const Float4* positions, Float4* u);
    // The covariance rows of `count` (1 or 2) bones about their centroids `m`: each product
    // rounded to float, then summed in double in member order. The second also keeps every
    // member's offset p - m in `current`.
    void (*covariances)(const MemberLists& lists, const MemberRange* range, int count,
                        const Float4* positions, const Float4* m, Covariance* a);
    void (*covariancesKeepingOffsets)(const MemberLists& lists, const MemberRange* range, int count,
                                      const Float4* positions, const Float4* m, Covariance* a);
    // Adds `motion`'s goals for `count` members, given by their vertices and rest slots (qx,
    // qy, qz, w), into `sums` in member order; fresh goals are their vertices' first and replace
    // whatever the sums held.
    void (*goals)(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                  int32_t count, Float4* sums);
    void (*freshGoals)(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                       int32_t count, Float4* sums);
    // Vertices `from` up to `to` (`from` a multiple of four) move to the weighted mean of their
    // goals where that stays in view; handles, vertices without goals and places that are not
    // finite stay.
    void (*moveVertices)(const VertexMove& move, int32_t from, int32_t to);
};

// The loops of `unit`, or of the widest unit this CPU has when that is narrower.
const SolveKernels& solveKernels(VectorUnit unit = VectorUnit::Avx512);
