#include "primitives/filter/FirDirect.h"

#include <emmintrin.h>

#include <cstring>

namespace primitives {
namespace {

// The checks of every build, in their order. The index check keeps a wrong
// index from writing outside the caller's delay line.
PrimitiveStatus checkFir(const float* src, const float* dst, int32_t numIters, const float* taps, int32_t tapsLen,
                         const float* pDlyLine, const int32_t* pDlyLineIndex) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (numIters < 1) return primitiveStatusBadSize;
    if (taps == nullptr) return primitiveStatusNullPointer;
    if (tapsLen < 1) return primitiveStatusBadFirLength;
    if (pDlyLine == nullptr || pDlyLineIndex == nullptr) return primitiveStatusNullPointer;
    if (*pDlyLineIndex < 0 || *pDlyLineIndex >= tapsLen) return primitiveStatusBadDelayLineIndex;
    return primitiveStatusOk;
}

// Sum of taps[L-1-j] * history[j], oldest sample first, in one double
// accumulator; each build forms the products its own way.
//   exact:   float x float in double, which is exact (48 significant bits)
//   rounded: the product rounded to float first (SSE build)
double dotExact(const float* taps, const float* history, int32_t length) {
    double sum = 0.0;
    for (int32_t j = 0; j < length; ++j) {
        sum += static_cast<double>(taps[length - 1 - j]) * static_cast<double>(history[j]);
    }
    return sum;
}

double dotRoundedProducts(const float* taps, const float* history, int32_t length) {
    double sum = 0.0;
    for (int32_t j = 0; j < length; ++j) sum += static_cast<double>(taps[length - 1 - j] * history[j]);
    return sum;
}

// SSE2-class: two exact double products per step, added to the one
// accumulator lane by lane so that the sum keeps the oldest-first order.
[[gnu::always_inline]] inline double dotExactPairs(const float* taps, const float* history, int32_t length) {
    double sum = 0.0;
    int32_t j = 0;
    for (; j + 2 <= length; j += 2) {
        // (taps[L-2-j], taps[L-1-j]) swapped to pair with (history[j], history[j+1]).
        const __m128 t = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(taps + length - 2 - j)));
        const __m128 h = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(history + j)));
        const __m128d products =
            _mm_mul_pd(_mm_cvtps_pd(_mm_shuffle_ps(t, t, _MM_SHUFFLE(0, 0, 0, 1))), _mm_cvtps_pd(h));
        sum += _mm_cvtsd_f64(products);
        sum += _mm_cvtsd_f64(_mm_unpackhi_pd(products, products));
    }
    if (j < length) sum += static_cast<double>(taps[length - 1 - j]) * static_cast<double>(history[j]);
    return sum;
}

template <typename Dot>
[[gnu::always_inline]] inline PrimitiveStatus filter(const float* src, float* dst, int32_t numIters, const float* taps,
                                                     int32_t tapsLen, float* pDlyLine, int32_t* pDlyLineIndex,
                                                     Dot dot) {
    const PrimitiveStatus status = checkFir(src, dst, numIters, taps, tapsLen, pDlyLine, pDlyLineIndex);
    if (status != primitiveStatusOk) return status;
    int32_t index = *pDlyLineIndex;
    for (int32_t i = 0; i < numIters; ++i) {
        // Each sample goes in twice, so the last tapsLen samples always lie
        // contiguously at index..index+tapsLen-1. Copied as bits: NaN
        // payloads pass into the line unchanged.
        std::memcpy(pDlyLine + index + tapsLen, src + i, sizeof(float));
        std::memcpy(pDlyLine + index, src + i, sizeof(float));
        if (++index >= tapsLen) index = 0;
        *pDlyLineIndex = index;
        dst[i] = static_cast<float>(dot(taps, pDlyLine + index, tapsLen));
    }
    return primitiveStatusOk;
}

}  // namespace

namespace generic {
PrimitiveStatus zaviFIR_Direct_32f(const float* src, float* dst, int32_t numIters, const float* taps, int32_t tapsLen,
                                   float* pDlyLine, int32_t* pDlyLineIndex) {
    return filter(src, dst, numIters, taps, tapsLen, pDlyLine, pDlyLineIndex, dotExact);
}
}  // namespace generic

namespace sse {
PrimitiveStatus zaviFIR_Direct_32f(const float* src, float* dst, int32_t numIters, const float* taps, int32_t tapsLen,
                                   float* pDlyLine, int32_t* pDlyLineIndex) {
    return filter(src, dst, numIters, taps, tapsLen, pDlyLine, pDlyLineIndex, dotRoundedProducts);
}
}  // namespace sse

namespace sse2 {
PrimitiveStatus zaviFIR_Direct_32f(const float* src, float* dst, int32_t numIters, const float* taps, int32_t tapsLen,
                                   float* pDlyLine, int32_t* pDlyLineIndex) {
    return filter(src, dst, numIters, taps, tapsLen, pDlyLine, pDlyLineIndex,
                  [](const float* t, const float* h, int32_t n) { return dotExactPairs(t, h, n); });
}
}  // namespace sse2

namespace sse3 {
__attribute__((target("sse3"))) PrimitiveStatus zaviFIR_Direct_32f(const float* src, float* dst, int32_t numIters,
                                                                   const float* taps, int32_t tapsLen, float* pDlyLine,
                                                                   int32_t* pDlyLineIndex) {
    return filter(src, dst, numIters, taps, tapsLen, pDlyLine, pDlyLineIndex,
                  [](const float* t, const float* h, int32_t n) { return dotExactPairs(t, h, n); });
}
}  // namespace sse3

}  // namespace primitives
