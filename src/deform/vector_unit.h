// The widest vector unit that the solve's hand-written loops may use. Every unit gives the same
// bits: the wider loops do the same operations on more lanes at once.
#pragma once

#include <cstdint>

enum class VectorUnit : int32_t {
    Plain = 0,   // the portable loops alone
    Avx2 = 1,    // 256-bit registers
    Avx512 = 2,  // 512-bit registers and mask registers
};

// The widest unit this CPU has, found once.
VectorUnit widestVectorUnit();

// "Portable", "Avx2" or "Avx512", for test names and messages.
const char* vectorUnitName(VectorUnit unit);

// The target attributes of each unit's loops, for GCC and Clang on x86-64.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define HAVE_VECTOR_UNITS 1
#define AVX2_LOOP __attribute__((target("avx2")))
#define AVX512_LOOP __attribute__((target("avx512f,avx512vl,avx512dq,avx2,bmi2,popcnt")))
#endif

// GCC's 512-bit intrinsics start some results from a deliberately undefined register, which its
// own uninitialised-use warnings then report; only those warnings are silenced, and only around
// the 512-bit loops.
#if defined(__GNUC__) && !defined(__clang__)
#define BEGIN_AVX512_LOOPS                                                               \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wuninitialized\"") \
        _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")
#define END_AVX512_LOOPS _Pragma("GCC diagnostic pop")
#else
#define BEGIN_AVX512_LOOPS
#define END_AVX512_LOOPS
#endif
