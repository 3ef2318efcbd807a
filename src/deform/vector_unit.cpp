#include "deform/vector_unit.h"

VectorUnit widestVectorUnit() {
#if defined(HAVE_VECTOR_UNITS)
    static const VectorUnit widest = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
            __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("bmi2") &&
            __builtin_cpu_supports("popcnt")) {
            return VectorUnit::Avx512;
        }
        return __builtin_cpu_supports("avx2") ? VectorUnit::Avx2 : VectorUnit::Plain;
    }();
    return widest;
#else
    return VectorUnit::Plain;
#endif
}

const char* vectorUnitName(VectorUnit unit) {
    switch (unit) {
        case VectorUnit::Plain:
            return "Portable";
        case VectorUnit::Avx2:
            return "Avx2";
        case VectorUnit::Avx512:
            return "Avx512";
    }
    return "Unknown";
}
