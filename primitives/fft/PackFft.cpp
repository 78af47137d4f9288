// The real FFT in Pack order (X0, Re X1, Im X1, ..., X(N/2) last) and the
// product of two Pack spectra, one conjugated: the autocorrelation's FFT
// path. The transforms run the real FFT's roads and move R(N/2) between the
// Perm and the Pack place.
#include <emmintrin.h>

#include "primitives/core/Dispatcher.h"
#include "primitives/fft/DftRoutines.h"
#include "primitives/fft/FftRoads.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives {
namespace {

PrimitiveStatus checkTransform(const float* src, float* dst, const RealFftSpec_32f* pSpec) {
    if (pSpec == nullptr) return primitiveStatusNullPointer;
    if (specRecord(pSpec)->kindTag != kRealFftKindTag) return primitiveStatusWrongContext;
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    return primitiveStatusOk;
}

template <const BuildRoutines& R>
PrimitiveStatus forwardToPack(const float* src, float* dst, const RealFftSpec_32f* pSpec, uint8_t* buffer) {
    if (const PrimitiveStatus status = checkTransform(src, dst, pSpec); status != primitiveStatusOk) return status;
    const RealFftSpec* spec = specRecord(pSpec);
    const int32_t order = spec->order;
    if (order <= 3) {
        if (spec->scaleForward != 0)
            R.kernels.realForwardScaled[order](src, dst, spec->scaleFactor);
        else
            R.kernels.realForward[order](src, dst);
    } else {
        const WorkBuffer work(spec->workBufferBytes, buffer);
        if (work.failed()) return primitiveStatusAllocationFailed;
        forwardToPerm<R>(src, dst, spec, work.get());
    }
    permToPack(dst, int64_t{1} << order);
    return primitiveStatusOk;
}

template <const BuildRoutines& R>
PrimitiveStatus inverseFromPack(const float* src, float* dst, const RealFftSpec_32f* pSpec, uint8_t* buffer) {
    if (const PrimitiveStatus status = checkTransform(src, dst, pSpec); status != primitiveStatusOk) return status;
    const RealFftSpec* spec = specRecord(pSpec);
    const int32_t order = spec->order;
    const int64_t n = int64_t{1} << order;
    if (order <= 3) {
        packToPerm(src, dst, n);
        if (spec->scaleInverse != 0)
            R.kernels.realInverseScaled[order](dst, dst, spec->scaleFactor);
        else
            R.kernels.realInverse[order](dst, dst);
        return primitiveStatusOk;
    }
    const WorkBuffer work(spec->workBufferBytes, buffer);
    if (work.failed()) return primitiveStatusAllocationFailed;
    packToPerm(src, dst, n);
    inverseFromBins<R>(dst, dst[0], dst[1], dst, spec, work.get());
    return primitiveStatusOk;
}

PrimitiveStatus checkProduct(const float* src, float* srcDst, int32_t len) {
    if (src == nullptr || srcDst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    return primitiveStatusOk;
}

// src * conj(srcDst) into srcDst. The generic build forms each part in double
// and rounds it once.
PrimitiveStatus productGeneric(const float* src, float* srcDst, int32_t len) {
    if (const PrimitiveStatus status = checkProduct(src, srcDst, len); status != primitiveStatusOk) return status;
    srcDst[0] = static_cast<float>(static_cast<double>(src[0]) * srcDst[0]);
    if (len % 2 == 0) srcDst[len - 1] = static_cast<float>(static_cast<double>(src[len - 1]) * srcDst[len - 1]);
    const int32_t pairs = (len - 1) / 2;
    for (int32_t p = 0; p < pairs; ++p) {
        const double a = src[2 * p + 1], b = src[2 * p + 2], c = srcDst[2 * p + 1], d = srcDst[2 * p + 2];
        srcDst[2 * p + 1] = static_cast<float>(a * c + b * d);
        srcDst[2 * p + 2] = static_cast<float>(b * c - a * d);
    }
    return primitiveStatusOk;
}

// Two pairs per register: re = a c + b d, im = b c - a d.
template <int Build>
PrimitiveStatus productSimd(const float* src, float* srcDst, int32_t len) {
    if (const PrimitiveStatus status = checkProduct(src, srcDst, len); status != primitiveStatusOk) return status;
    srcDst[0] = src[0] * srcDst[0];
    if (len % 2 == 0) srcDst[len - 1] = src[len - 1] * srcDst[len - 1];
    const int32_t pairs = (len - 1) / 2;
    const float* s = src + 1;
    float* x = srcDst + 1;
    int32_t p = 0;
    for (; p + 2 <= pairs; p += 2) {
        const __m128 ab = _mm_loadu_ps(s + 2 * p), cd = _mm_loadu_ps(x + 2 * p);
        const __m128 ba = _mm_shuffle_ps(ab, ab, _MM_SHUFFLE(2, 3, 0, 1));
        const __m128 cc = _mm_shuffle_ps(cd, cd, _MM_SHUFFLE(2, 2, 0, 0));
        const __m128 dd = _mm_shuffle_ps(cd, cd, _MM_SHUFFLE(3, 3, 1, 1));
        // (a c, b c) + (b d, -a d)
        const __m128 sign = _mm_castsi128_ps(_mm_set_epi32(static_cast<int32_t>(0x80000000u), 0,
                                                           static_cast<int32_t>(0x80000000u), 0));
        const __m128 first = _mm_mul_ps(ab, cc);
        const __m128 second = _mm_xor_ps(_mm_mul_ps(ba, dd), sign);
        _mm_storeu_ps(x + 2 * p, _mm_add_ps(first, second));
    }
    for (; p < pairs; ++p) {
        const float a = s[2 * p], b = s[2 * p + 1], c = x[2 * p], d = x[2 * p + 1];
        x[2 * p] = a * c + b * d;
        x[2 * p + 1] = b * c - a * d;
    }
    return primitiveStatusOk;
}

}  // namespace

#define VELKARN_DEFINE_PACK_FFT(suffix)                                                                          \
    PrimitiveStatus realFftForwardToPack_##suffix(const float* src, float* dst, const RealFftSpec_32f* spec,     \
                                                  uint8_t* buffer) {                                             \
        return forwardToPack<suffix##Routines>(src, dst, spec, buffer);                                          \
    }                                                                                                            \
    PrimitiveStatus realFftInverseFromPack_##suffix(const float* src, float* dst, const RealFftSpec_32f* spec,   \
                                                    uint8_t* buffer) {                                           \
        return inverseFromPack<suffix##Routines>(src, dst, spec, buffer);                                        \
    }
VELKARN_DEFINE_PACK_FFT(generic)
VELKARN_DEFINE_PACK_FFT(sse)
VELKARN_DEFINE_PACK_FFT(sse2)
VELKARN_DEFINE_PACK_FFT(sse3)
#undef VELKARN_DEFINE_PACK_FFT

PrimitiveStatus packConjugateProduct_generic(const float* src, float* srcDst, int32_t len) {
    return productGeneric(src, srcDst, len);
}

PrimitiveStatus packConjugateProduct_sse(const float* src, float* srcDst, int32_t len) {
    return productSimd<buildSse>(src, srcDst, len);
}

// One routine serves the SSE2 and SSE3-class builds.
PrimitiveStatus packConjugateProduct_sse2(const float* src, float* srcDst, int32_t len) {
    return productSimd<buildSse2>(src, srcDst, len);
}

PrimitiveStatus packConjugateProduct_sse3(const float* src, float* srcDst, int32_t len) {
    return packConjugateProduct_sse2(src, srcDst, len);
}

}  // namespace primitives
