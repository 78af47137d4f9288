// zaviAutoCorr_32f: the unnormalised autocorrelation of the first lags,
// summed directly below each build's lag limit and otherwise through a real
// FFT of the signal zero-padded to at least twice its length (so that the
// circular correlation equals the linear one), squared and transformed back.
#include <xmmintrin.h>

#include <algorithm>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/DftRoutines.h"
#include "primitives/fft/RealFftSpec.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

// ---- Direct sums ----------------------------------------------------------

// Four lags at a time, one pass over the signal each, summed in double and
// rounded once; then the remaining lags one by one.
void directGeneric(const float* src, int64_t srcLen, float* dst, int64_t lags) {
    const int64_t grouped = lags / 4 * 4;
    for (int64_t k = 0; k < grouped; k += 4) {
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        const int64_t full = srcLen - k - 3;  // i below this has all four partners
        for (int64_t i = 0; i < full; ++i) {
            const double x = src[i];
            s0 += x * src[i + k];
            s1 += x * src[i + k + 1];
            s2 += x * src[i + k + 2];
            s3 += x * src[i + k + 3];
        }
        for (int64_t i = full; i < full + 3; ++i) s0 += static_cast<double>(src[i]) * src[i + k];
        for (int64_t i = full; i < full + 2; ++i) s1 += static_cast<double>(src[i]) * src[i + k + 1];
        s2 += static_cast<double>(src[full]) * src[full + k + 2];
        dst[k] = static_cast<float>(s0);
        dst[k + 1] = static_cast<float>(s1);
        dst[k + 2] = static_cast<float>(s2);
        dst[k + 3] = static_cast<float>(s3);
    }
    for (int64_t k = grouped; k < lags; ++k) {
        double s = 0;
        for (int64_t i = 0; i + k < srcLen; ++i) s += static_cast<double>(src[i]) * src[i + k];
        dst[k] = static_cast<float>(s);
    }
}

// Single precision, accumulated in dst. The signal is walked in blocks of
// four samples; each block adds its four products to every lag, four lags per
// register step where all of them exist, one by one near the end.
template <int Build>
void directSimd(const float* src, int64_t srcLen, float* dst, int64_t lags) {
    for (int64_t k = 0; k < lags; ++k) dst[k] = 0.0f;
    if (srcLen < 7 || lags < 6) {
        for (int64_t k = 0; k < lags; ++k) {
            float s = 0.0f;
            for (int64_t i = 0; i + k < srcLen; ++i) s += src[i + k] * src[i];
            dst[k] = s;
        }
        return;
    }
    const int64_t grouped = lags / 4 * 4;
    for (int64_t j = 0; j < srcLen; j += 4) {
        // Lag groups k with j + k + 6 < srcLen have every product of the block.
        const int64_t vectorEnd = std::clamp<int64_t>((srcLen - j - 6 + 3) / 4 * 4, 0, grouped);
        if (j + 3 < srcLen) {
            const __m128 x0 = _mm_set1_ps(src[j]), x1 = _mm_set1_ps(src[j + 1]);
            const __m128 x2 = _mm_set1_ps(src[j + 2]), x3 = _mm_set1_ps(src[j + 3]);
            const float* p = src + j;
            for (int64_t k = 0; k < vectorEnd; k += 4) {
                const __m128 a = _mm_mul_ps(x0, _mm_loadu_ps(p + k));
                const __m128 b = _mm_mul_ps(x1, _mm_loadu_ps(p + k + 1));
                const __m128 c = _mm_mul_ps(x2, _mm_loadu_ps(p + k + 2));
                const __m128 d = _mm_mul_ps(x3, _mm_loadu_ps(p + k + 3));
                const __m128 sum = _mm_add_ps(_mm_add_ps(_mm_add_ps(a, b), c), d);
                _mm_storeu_ps(dst + k, _mm_add_ps(_mm_loadu_ps(dst + k), sum));
            }
        }
        const int64_t scalarFrom = j + 3 < srcLen ? vectorEnd : 0;
        for (int64_t k = scalarFrom; k < lags; ++k) {
            // The products of this block that exist for lag k, in the same order.
            float sum = 0.0f;
            bool any = false;
            for (int64_t q = 0; q < 4 && j + q + k < srcLen; ++q) {
                const float product = src[j + q] * src[j + q + k];
                sum = any ? sum + product : product;
                any = true;
            }
            if (any) dst[k] += sum;
        }
    }
}

// ---- The entry ------------------------------------------------------------

struct AutoCorrBuild {
    int32_t build;
    PrimitiveStatus (*zero)(float*, int32_t);
    PrimitiveStatus (*copy)(const float*, float*, int32_t);
    float* (*allocFloats)(int32_t);
    PrimitiveStatus (*fftInitAlloc)(RealFftSpec_32f**, int32_t, int32_t, int32_t);
    PrimitiveStatus (*fftGetBufSize)(const RealFftSpec_32f*, int32_t*);
    PrimitiveStatus (*fftFree)(RealFftSpec_32f*);
    PrimitiveStatus (*forwardToPack)(const float*, float*, const RealFftSpec_32f*, uint8_t*);
    PrimitiveStatus (*product)(const float*, float*, int32_t);
    PrimitiveStatus (*inverseFromPack)(const float*, float*, const RealFftSpec_32f*, uint8_t*);
    void (*direct)(const float*, int32_t, float*, int32_t);
};

template <const AutoCorrBuild& B>
PrimitiveStatus viaFft(const float* src, int32_t srcLen, float* dst, int32_t dstLen, int32_t lags) {
    // 2^c >= 2 srcLen, in 64 bits: from srcLen = 2^30 on, 2 srcLen overflows int32.
    int32_t c = 1;
    while ((int64_t{1} << c) < 2 * static_cast<int64_t>(srcLen)) ++c;
    if (c > kMaxFftOrder) return primitiveStatusBadFftOrder;
    const int64_t n = int64_t{1} << c;
    // Orders 29 and 30: the spec's tables and the scratch exceed the allocator.
    if (realFftPlanSizes(B.build, c).largestTableBytes > kMaxBlockBytes || 4 * n > kMaxBlockBytes)
        return primitiveStatusAllocationFailed;
    RealFftSpec_32f* spec = nullptr;
    if (const PrimitiveStatus status = B.fftInitAlloc(&spec, c, fftDivideInverseByN, 0); status != 0) return status;
    float* scratch = nullptr;
    uint8_t* work = nullptr;
    int32_t size = 0;
    PrimitiveStatus status = B.fftGetBufSize(spec, &size);
    if (status >= 0) {
        // Not checked: without it the transforms allocate their own.
        work = generic::vaduRivuro_8v(size);
        scratch = B.allocFloats(static_cast<int32_t>(n));
        if (scratch == nullptr) status = primitiveStatusAllocationFailed;
    }
    if (status >= 0) {
        B.copy(src, scratch, srcLen);
        B.zero(scratch + srcLen, static_cast<int32_t>(n - srcLen));
        status = B.forwardToPack(scratch, scratch, spec, work);
    }
    if (status >= 0) {
        B.product(scratch, scratch, static_cast<int32_t>(n));  // |X|^2, imaginary parts 0
        status = B.inverseFromPack(scratch, scratch, spec, work);
    }
    if (status >= 0) {
        B.copy(scratch, dst, lags);
        if (lags < dstLen) B.zero(dst + lags, dstLen - lags);
        status = primitiveStatusOk;
    }
    B.fftFree(spec);
    generic::zoveZiva(scratch);
    generic::zoveZiva(work);
    return status;
}

template <const AutoCorrBuild& B>
PrimitiveStatus autoCorr(const float* src, int32_t srcLen, float* dst, int32_t dstLen) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (srcLen <= 0 || dstLen <= 0) return primitiveStatusBadSize;
    const int32_t lags = std::min(srcLen, dstLen);
    if (lags >= kAutoCorrDirectLimit[B.build]) return viaFft<B>(src, srcLen, dst, dstLen, lags);
    if (lags < dstLen) B.zero(dst + lags, dstLen - lags);
    B.direct(src, srcLen, dst, lags);
    return primitiveStatusOk;
}

#define VELKARN_AUTOCORR_BUILD(suffix, index, allocator)                                                        \
    constexpr AutoCorrBuild suffix##AutoCorr = {                                                                \
        index,                                                                                                  \
        suffix::zaviZero_32f,                                                                                   \
        suffix::dezoRide_32d,                                                                                   \
        allocator::revoRovara_32z,                                                                              \
        suffix::zaviFFTInitAlloc_R_32f,                                                                         \
        index >= buildSse2 ? sse2::zaviFFTGetBufSize_R_32f : generic::zaviFFTGetBufSize_R_32f,                \
        suffix::zaviFFTFree_R_32f,                                                                              \
        realFftForwardToPack_##suffix,                                                                          \
        packConjugateProduct_##suffix,                                                                          \
        realFftInverseFromPack_##suffix,                                                                        \
        autoCorrDirect_##suffix,                                                                                \
    };
VELKARN_AUTOCORR_BUILD(generic, buildGeneric, generic)
VELKARN_AUTOCORR_BUILD(sse, buildSse, generic)
VELKARN_AUTOCORR_BUILD(sse2, buildSse2, generic)
VELKARN_AUTOCORR_BUILD(sse3, buildSse3, sse3)
#undef VELKARN_AUTOCORR_BUILD

}  // namespace

void autoCorrDirect_generic(const float* src, int32_t srcLen, float* dst, int32_t lags) {
    directGeneric(src, srcLen, dst, lags);
}

void autoCorrDirect_sse(const float* src, int32_t srcLen, float* dst, int32_t lags) {
    directSimd<buildSse>(src, srcLen, dst, lags);
}

__attribute__((target("sse2"))) void autoCorrDirect_sse2(const float* src, int32_t srcLen, float* dst,
                                                          int32_t lags) {
    directSimd<buildSse2>(src, srcLen, dst, lags);
}

__attribute__((target("sse3"))) void autoCorrDirect_sse3(const float* src, int32_t srcLen, float* dst,
                                                          int32_t lags) {
    directSimd<buildSse3>(src, srcLen, dst, lags);
}

#define VELKARN_DEFINE_AUTOCORR(ns)                                                                              \
    namespace ns {                                                                                               \
    PrimitiveStatus zaviAutoCorr_32f(const float* pSrc, int32_t srcLen, float* pDst, int32_t dstLen) {          \
        return autoCorr<ns##AutoCorr>(pSrc, srcLen, pDst, dstLen);                                               \
    }                                                                                                            \
    }
VELKARN_DEFINE_AUTOCORR(generic)
VELKARN_DEFINE_AUTOCORR(sse)
VELKARN_DEFINE_AUTOCORR(sse2)
VELKARN_DEFINE_AUTOCORR(sse3)
#undef VELKARN_DEFINE_AUTOCORR

}  // namespace primitives
