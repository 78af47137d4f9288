// zaviVectorRamp_32f in the SIMD builds: every element is
// fl(fl(float(i) * slope) + offset), computed from its own index so that
// nothing drifts; vector and single-element paths give the same values.
#include <immintrin.h>

#include "primitives/core/BuildSupport.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

inline float rampValue(int32_t i, float offset, float slope) { return static_cast<float>(i) * slope + offset; }

PrimitiveStatus rampSse2Class(float* dst, int32_t len, float offset, float slope) {
    if (dst == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    int32_t i = 0;
    if (len >= 11 && addressOf(dst) % 4 == 0) {
        for (; i < len && addressOf(dst + i) % 16 != 0; ++i) storeFloat(dst + i, rampValue(i, offset, slope));
        // The lane indices stay integers and are converted for each block.
        __m128i low = _mm_setr_epi32(i, i + 1, i + 2, i + 3);
        __m128i high = _mm_add_epi32(low, _mm_set1_epi32(4));
        const __m128i eight = _mm_set1_epi32(8);
        const __m128 slopes = _mm_set1_ps(slope);
        const __m128 offsets = _mm_set1_ps(offset);
        for (; len - i >= 8; i += 8) {
            _mm_store_ps(dst + i, _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(low), slopes), offsets));
            _mm_store_ps(dst + i + 4, _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(high), slopes), offsets));
            low = _mm_add_epi32(low, eight);
            high = _mm_add_epi32(high, eight);
        }
    }
    for (; i < len; ++i) storeFloat(dst + i, rampValue(i, offset, slope));
    return primitiveStatusOk;
}

}  // namespace

namespace sse {

PrimitiveStatus zaviVectorRamp_32f(float* dst, int32_t len, float offset, float slope) {
    if (dst == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    int32_t i = 0;
    for (; len - i >= 2; i += 2) {
        const float a = rampValue(i, offset, slope);
        const float b = rampValue(i + 1, offset, slope);
        storeFloat(dst + i, a);
        storeFloat(dst + i + 1, b);
    }
    if (i < len) storeFloat(dst + i, rampValue(i, offset, slope));
    return primitiveStatusOk;
}

}  // namespace sse

namespace sse2 {

PrimitiveStatus zaviVectorRamp_32f(float* dst, int32_t len, float offset, float slope) {
    return rampSse2Class(dst, len, offset, slope);
}

}  // namespace sse2

namespace sse3 {

PRIMITIVES_SSE3_TARGET PrimitiveStatus zaviVectorRamp_32f(float* dst, int32_t len, float offset, float slope) {
    return rampSse2Class(dst, len, offset, slope);
}

}  // namespace sse3
}  // namespace primitives
