// The vector bodies that each build's IIR code calls: the same build's copy
// (dezoRide_32d), zero fill (zaviZero_32f) and multiply by a constant
// (zaviMulC_32f), with their checks, statuses and constant rules (a
// constant that compares equal to 1, which NaN does, copies; one equal to
// 0, of either sign, writes +0.0).
#pragma once

#include <cstdint>

#include "primitives.h"
#include "primitives/vector/VectorBuilds.h"

// What each build's IIR code calls; unqualified names resolve to the
// build's own bodies.
#define VELKARN_IIR_VECTOR_CALLS                                                               \
    inline PrimitiveStatus iirCopy(const float* src, float* dst, int32_t len) {                \
        return dezoRide_32d(src, dst, len);                                                    \
    }                                                                                          \
    inline PrimitiveStatus iirZero(float* dst, int32_t len) { return zaviZero_32f(dst, len); } \
    inline PrimitiveStatus iirMulConst(const float* src, float value, float* dst, int32_t len) { \
        return zaviMulC_32f(src, value, dst, len);                                             \
    }

namespace primitives::generic {
VELKARN_IIR_VECTOR_CALLS
}
namespace primitives::sse {
VELKARN_IIR_VECTOR_CALLS
}
namespace primitives::sse2 {
VELKARN_IIR_VECTOR_CALLS
}
namespace primitives::sse3 {
VELKARN_IIR_VECTOR_CALLS
}

#undef VELKARN_IIR_VECTOR_CALLS
