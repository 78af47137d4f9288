// The vector bodies that each build's IIR code calls: its copy
// (dezoRide_32d), zero fill (zaviZero_32f) and multiply by a constant
// (zaviMulC_32f), with their checks and statuses.
//
// Until the vector entries are in the library these are plain loops with
// the same results: the copy and the zero move bit patterns, and the
// multiply keeps the constant rules (a constant that compares equal to 1,
// which NaN does, copies; one equal to 0, either sign, writes +0.0).
#pragma once

#include <cstdint>
#include <cstring>

#include "primitives.h"

namespace primitives::iir_vector {

inline PrimitiveStatus copyFloats(const float* src, float* dst, int32_t len) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    std::memmove(dst, src, static_cast<std::size_t>(len) * sizeof(float));
    return primitiveStatusOk;
}

inline PrimitiveStatus zeroFloats(float* dst, int32_t len) {
    if (dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    std::memset(dst, 0, static_cast<std::size_t>(len) * sizeof(float));
    return primitiveStatusOk;
}

inline PrimitiveStatus multiplyByConstant(const float* src, float value, float* dst, int32_t len) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    if (!(value < 1.0f || value > 1.0f)) return copyFloats(src, dst, len);  // 1 or NaN
    if (value == 0.0f) return zeroFloats(dst, len);
    for (int32_t i = 0; i < len; ++i) {
        float x;
        std::memcpy(&x, src + i, sizeof x);
        const float y = x * value;
        std::memcpy(dst + i, &y, sizeof y);
    }
    return primitiveStatusOk;
}

}  // namespace primitives::iir_vector

// What each build's IIR code calls.
#define VELKARN_IIR_VECTOR_CALLS                                                               \
    inline PrimitiveStatus iirCopy(const float* src, float* dst, int32_t len) {                \
        return iir_vector::copyFloats(src, dst, len);                                          \
    }                                                                                          \
    inline PrimitiveStatus iirZero(float* dst, int32_t len) { return iir_vector::zeroFloats(dst, len); } \
    inline PrimitiveStatus iirMulConst(const float* src, float value, float* dst, int32_t len) { \
        return iir_vector::multiplyByConstant(src, value, dst, len);                           \
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
