// The complex FFT engine: its spec (kind tag 4, the real FFT's record with
// the tables of its own full order), the forward and inverse drivers on each
// build's roads, and the small vector helpers of the chirp-z path.
#include <cmath>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/DftRoutines.h"
#include "primitives/fft/FftRoads.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives {
namespace {

template <const BuildRoutines& R>
PrimitiveStatus initAlloc(ComplexFftSpec** out, int32_t order, int32_t flag, int32_t hint) {
    if (out == nullptr) return primitiveStatusNullPointer;
    if (order < 0 || order > kMaxFftOrder) return primitiveStatusBadFftOrder;
    auto* spec = reinterpret_cast<ComplexFftSpec*>(generic::vaduRivuro_8v(sizeof(ComplexFftSpec)));
    if (spec == nullptr) return primitiveStatusAllocationFailed;
    R.zeroBytes(spec, sizeof(ComplexFftSpec));
    spec->kindTag = kComplexFftKindTag;
    spec->order = order;
    spec->hint = hint;
    const double n = std::ldexp(1.0, order);
    switch (flag) {
    case 1: spec->scaleForward = 1; spec->scaleFactor = static_cast<float>(1.0 / n); break;
    case 2: spec->scaleInverse = 1; spec->scaleFactor = static_cast<float>(1.0 / n); break;
    case 4:
        spec->scaleForward = spec->scaleInverse = 1;
        spec->scaleFactor = static_cast<float>(1.0 / std::sqrt(n));
        break;
    case 8: spec->scaleFactor = 0.0f; break;
    default: freeFftSpec(spec); return primitiveStatusBadFftFlag;
    }
    if (order > 3) {
        // Complex orders 28 to 30 need a block above the allocator's limit.
        if (complexFftPlanSizes(R.build, order).largestTableBytes > kMaxBlockBytes) {
            freeFftSpec(spec);
            return primitiveStatusAllocationFailed;
        }
        if (const int32_t status = R.initFftTables(spec, order, nullptr, 0); status != primitiveStatusOk) {
            freeFftSpec(spec);
            return status;
        }
    }
    *out = spec;
    return primitiveStatusOk;
}

PrimitiveStatus freeSpec(ComplexFftSpec* spec) {
    if (spec == nullptr) return primitiveStatusNullPointer;
    if (spec->kindTag != kComplexFftKindTag) return primitiveStatusWrongContext;
    freeFftSpec(spec);
    return primitiveStatusOk;
}

PrimitiveStatus bufferSize(const ComplexFftSpec* spec, int32_t* size) {
    if (spec == nullptr || size == nullptr) return primitiveStatusNullPointer;
    if (spec->kindTag != kComplexFftKindTag) return primitiveStatusWrongContext;
    *size = spec->workBufferBytes;
    return primitiveStatusOk;
}

template <const BuildRoutines& R, bool Inverse>
PrimitiveStatus transform(const float* src, float* dst, const ComplexFftSpec* spec, uint8_t* buffer) {
    if (spec == nullptr) return primitiveStatusNullPointer;
    if (spec->kindTag != kComplexFftKindTag) return primitiveStatusWrongContext;
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    const int32_t order = spec->order;
    if (order <= 3) {
        const int32_t divide = Inverse ? spec->scaleInverse : spec->scaleForward;
        if (divide != 0)
            (Inverse ? R.kernels.complexInverseScaled : R.kernels.complexForwardScaled)[order](src, dst,
                                                                                              spec->scaleFactor);
        else
            (Inverse ? R.kernels.complexInverse : R.kernels.complexForward)[order](src, dst);
        return primitiveStatusOk;
    }
    const WorkBuffer work(spec->workBufferBytes, buffer);
    if (work.failed()) return primitiveStatusAllocationFailed;
    complexTransform<R, Inverse>(src, dst, spec, order, work.get());
    return primitiveStatusOk;
}

// The helpers run over pairs; n >= 1.
void conjugateCopy(const float* src, float* dst, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        dst[2 * i] = src[2 * i];
        dst[2 * i + 1] = -src[2 * i + 1];
    }
}

void zeroPairs(float* dst, int64_t n) {
    for (int64_t i = 0; i < 2 * n; ++i) dst[i] = 0.0f;
}

void multiply(const float* a, const float* b, float* dst, int64_t n) {
    for (int64_t i = 0; i < n; ++i) {
        const float ar = a[2 * i], ai = a[2 * i + 1], br = b[2 * i], bi = b[2 * i + 1];
        dst[2 * i] = ar * br - ai * bi;
        dst[2 * i + 1] = ar * bi + ai * br;
    }
}

}  // namespace

#define VELKARN_DEFINE_COMPLEX_ENGINE(suffix)                                                                 \
    PrimitiveStatus complexFftInitAlloc_##suffix(ComplexFftSpec** spec, int32_t order, int32_t flag,         \
                                                 int32_t hint) {                                              \
        return initAlloc<suffix##Routines>(spec, order, flag, hint);                                          \
    }                                                                                                         \
    PrimitiveStatus freeComplexFftSpec_##suffix(ComplexFftSpec* spec) { return freeSpec(spec); }             \
    PrimitiveStatus complexFftForward_##suffix(const float* src, float* dst, const ComplexFftSpec* spec,     \
                                               uint8_t* buffer) {                                             \
        return transform<suffix##Routines, false>(src, dst, spec, buffer);                                    \
    }                                                                                                         \
    PrimitiveStatus complexFftInverse_##suffix(const float* src, float* dst, const ComplexFftSpec* spec,     \
                                               uint8_t* buffer) {                                             \
        return transform<suffix##Routines, true>(src, dst, spec, buffer);                                     \
    }                                                                                                         \
    void complexConjugateCopy_##suffix(const float* src, float* dst, int64_t n) { conjugateCopy(src, dst, n); } \
    void complexZero_##suffix(float* dst, int64_t n) { zeroPairs(dst, n); }                                   \
    void complexMultiply_##suffix(const float* a, const float* b, float* dst, int64_t n) {                   \
        multiply(a, b, dst, n);                                                                               \
    }
VELKARN_DEFINE_COMPLEX_ENGINE(generic)
VELKARN_DEFINE_COMPLEX_ENGINE(sse)
VELKARN_DEFINE_COMPLEX_ENGINE(sse2)
VELKARN_DEFINE_COMPLEX_ENGINE(sse3)
#undef VELKARN_DEFINE_COMPLEX_ENGINE

PrimitiveStatus complexFftGetBufferSize_generic(const ComplexFftSpec* spec, int32_t* size) {
    return bufferSize(spec, size);
}

PrimitiveStatus complexFftGetBufferSize_sse2(const ComplexFftSpec* spec, int32_t* size) {
    return bufferSize(spec, size);
}

}  // namespace primitives
