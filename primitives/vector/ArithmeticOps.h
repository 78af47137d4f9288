// The element-wise operations of the arithmetic entries, with the operand
// order of each entry, and the constant short cuts they share.
#pragma once

#include <immintrin.h>

#include "primitives.h"

namespace primitives::arithmetic {

// Two-vector forms: a is the first vector argument, b the second (for the
// in-place forms b is srcDst).
struct Multiply {
    static float scalar(float a, float b) { return a * b; }
    static __m128 vector(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
};

struct Add {
    static float scalar(float a, float b) { return a + b; }
    static __m128 vector(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
};

// The first vector is subtracted from the second.
struct SubtractFirst {
    static float scalar(float a, float b) { return b - a; }
    static __m128 vector(__m128 a, __m128 b) { return _mm_sub_ps(b, a); }
};

// The constant tests use the processor's compare for its equal outcome
// only, which an unordered pair also gives: a NaN constant counts as equal,
// and -0 equals 0.
inline bool equalOrUnordered(float value, float constant) { return !(value < constant) && !(value > constant); }

// What a constant form does before it computes anything.
enum class ConstantCase { compute, copy, zero, nothing };

inline ConstantCase mulConstCase(float val) {
    if (equalOrUnordered(val, 1.0f)) return ConstantCase::copy;
    if (equalOrUnordered(val, 0.0f)) return ConstantCase::zero;
    return ConstantCase::compute;
}

inline ConstantCase addConstCase(float val) {
    return equalOrUnordered(val, 0.0f) ? ConstantCase::copy : ConstantCase::compute;
}

// The constant forms with their short cuts, given a build's copy and zero
// bodies and its computing kernels.
template <auto copy, auto zero, auto kernel>
PrimitiveStatus mulConstOutOfPlace(const float* src, float val, float* dst, int32_t len) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    switch (mulConstCase(val)) {
    case ConstantCase::copy: return copy(src, dst, len);
    case ConstantCase::zero: return zero(dst, len);
    default: kernel(src, val, dst, len); return primitiveStatusOk;
    }
}

template <auto zero, auto kernel>
PrimitiveStatus mulConstInPlace(float val, float* srcDst, int32_t len) {
    if (srcDst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    switch (mulConstCase(val)) {
    case ConstantCase::copy: return primitiveStatusOk;  // multiplying by 1 leaves every bit
    case ConstantCase::zero: return zero(srcDst, len);
    default: kernel(val, srcDst, len); return primitiveStatusOk;
    }
}

template <auto copy, auto kernel>
PrimitiveStatus addConstOutOfPlace(const float* src, float val, float* dst, int32_t len) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    if (addConstCase(val) == ConstantCase::copy) return copy(src, dst, len);
    kernel(src, val, dst, len);
    return primitiveStatusOk;
}

template <auto kernel>
PrimitiveStatus addConstInPlace(float val, float* srcDst, int32_t len) {
    if (srcDst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    if (addConstCase(val) == ConstantCase::copy) return primitiveStatusOk;
    kernel(val, srcDst, len);
    return primitiveStatusOk;
}

template <auto kernel>
PrimitiveStatus twoVectors(const float* src1, const float* src2, float* dst, int32_t len) {
    if (src1 == nullptr || src2 == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    kernel(src1, src2, dst, len);
    return primitiveStatusOk;
}

template <auto kernel>
PrimitiveStatus twoVectorsInPlace(const float* src, float* srcDst, int32_t len) {
    if (src == nullptr || srcDst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    kernel(src, srcDst, len);
    return primitiveStatusOk;
}

}  // namespace primitives::arithmetic
