// Four-lane float and double vectors for the solve's per-member and per-vertex work. Every lane
// is rounded exactly as the scalar operation on it would be (the build never fuses a multiply
// and an add), so vector code gives the bits of the scalar rules, lane by lane.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Compiler vector extensions rather than one instruction set's intrinsics: the same code runs on
// every target, and a wider unit simply takes a vector in one piece.
typedef float Float4 __attribute__((vector_size(16)));
typedef double Double4 __attribute__((vector_size(32)));
typedef float Float2 __attribute__((vector_size(8)));
typedef double Double2 __attribute__((vector_size(16)));
typedef int32_t Int4 __attribute__((vector_size(16)));
typedef int64_t Long2 __attribute__((vector_size(16)));
typedef int64_t Long4 __attribute__((vector_size(32)));

// Double4 is passed by reference throughout: a 32-byte vector by value would change the calling
// convention between builds with and without AVX.
inline void widen(const Float4& f, Double4& d) {
    d = __builtin_convertvector(f, Double4);
}

// Lanes 0, 1 and lanes 2, 3 of a Float4, widened. GCC builds these from single-lane conversions
// unless told the instruction: the test on __SSE2__ picks only how the primitive is spelled.
#if defined(__SSE2__)
inline Double2 widenLow(const Float4& f) {
    return Double2(_mm_cvtps_pd(__m128(f)));
}

inline Double2 widenHigh(const Float4& f) {
    return Double2(_mm_cvtps_pd(_mm_movehl_ps(__m128(f), __m128(f))));
}
#else
inline Double2 widenLow(const Float4& f) {
    return Double2{double(f[0]), double(f[1])};
}

inline Double2 widenHigh(const Float4& f) {
    return Double2{double(f[2]), double(f[3])};
}
#endif

inline void narrow(const Double4& d, Float4& f) {
    f = __builtin_convertvector(d, Float4);
}

// Lanes picked from a and b (0 to 3 from a, 4 to 7 from b).
#if defined(__clang__)
#define SHUFFLE4(a, b, i, j, k, l) __builtin_shufflevector(a, b, i, j, k, l)
#else
#define SHUFFLE4(a, b, i, j, k, l) __builtin_shuffle(a, b, Int4{i, j, k, l})
#endif

// Lanes 0 to 2 of a and lane 3 of b. A shuffle, not a store into lane 3: GCC builds that through
// memory when a Double4 takes two registers, and the reload waits for the store.
inline void withLane3Of(Double4& a, const Double4& b) {
#if defined(__clang__)
    a = __builtin_shufflevector(a, b, 0, 1, 2, 7);
#else
    a = __builtin_shuffle(a, b, Long4{0, 1, 2, 7});
#endif
}

// Rows r0 .. r3 turned into columns c0 .. c3.
inline void transpose(const Float4& r0, const Float4& r1, const Float4& r2, const Float4& r3,
                      Float4& c0, Float4& c1, Float4& c2, Float4& c3) {
    const Float4 t0 = SHUFFLE4(r0, r1, 0, 4, 1, 5);
    const Float4 t1 = SHUFFLE4(r2, r3, 0, 4, 1, 5);
    const Float4 t2 = SHUFFLE4(r0, r1, 2, 6, 3, 7);
    const Float4 t3 = SHUFFLE4(r2, r3, 2, 6, 3, 7);
    c0 = SHUFFLE4(t0, t1, 0, 1, 4, 5);
    c1 = SHUFFLE4(t0, t1, 2, 3, 6, 7);
    c2 = SHUFFLE4(t2, t3, 0, 1, 4, 5);
    c3 = SHUFFLE4(t2, t3, 2, 3, 6, 7);
}

// Lanes that hold a finite number (x - x is 0 exactly then, and not a number otherwise).
inline Int4 finiteLanes(const Float4& x) {
    return (x - x) == 0.0f;
}

// The lanes of a comparison as bits, lane i in bit i. As for widenLow: one instruction where there
// is one.
inline int laneBits(const Int4& lanes) {
#if defined(__SSE2__)
    return _mm_movemask_ps(_mm_castsi128_ps(__m128i(lanes)));
#else
    return (lanes[0] & 1) | (lanes[1] & 2) | (lanes[2] & 4) | (lanes[3] & 8);
#endif
}
