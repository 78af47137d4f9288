// The real FFT entries: spec set-up, buffer size and release, the forward
// transforms to Perm and CCS order and the inverse from CCS order, in four
// builds. Each build's bodies call only that build's routines.
#include <cmath>
#include <cstring>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/FftRoads.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives {
namespace {

template <const BuildRoutines& R>
PrimitiveStatus initAlloc(RealFftSpec_32f** ppSpec, int32_t order, int32_t flag, int32_t hint) {
    if (ppSpec == nullptr) return primitiveStatusNullPointer;
    if (order < 0 || order > kMaxFftOrder) return primitiveStatusBadFftOrder;
    auto* spec = reinterpret_cast<RealFftSpec*>(generic::vaduRivuro_8v(sizeof(RealFftSpec)));
    if (spec == nullptr) return primitiveStatusAllocationFailed;
    R.zeroBytes(spec, sizeof(RealFftSpec));  // cannot fail on a fresh block
    spec->kindTag = kRealFftKindTag;
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
    if (order <= 3) {
        spec->workBufferBytes = 0;
        *ppSpec = reinterpret_cast<RealFftSpec_32f*>(spec);
        return primitiveStatusOk;
    }
    // Every table must fit the allocator; orders 29 and 30 do not.
    if (realFftPlanSizes(R.build, order).largestTableBytes > kMaxBlockBytes) {
        freeFftSpec(spec);
        return primitiveStatusAllocationFailed;
    }
    float* sine = R.quarterSineTable(order);
    if (sine == nullptr) {
        freeFftSpec(spec);
        return primitiveStatusAllocationFailed;
    }
    const int32_t status = R.initFftTables(spec, order - 1, sine, order);
    if (status != primitiveStatusOk) {
        generic::zoveZiva(sine);
        freeFftSpec(spec);
        return status;
    }
    spec->forwardSplitWeights = R.forwardSplitWeights(order, sine);
    if (spec->forwardSplitWeights != nullptr) spec->inverseSplitTwiddles = R.inverseSplitTwiddles(order, sine);
    generic::zoveZiva(sine);
    if (spec->inverseSplitTwiddles == nullptr) {
        freeFftSpec(spec);
        return primitiveStatusAllocationFailed;
    }
    *ppSpec = reinterpret_cast<RealFftSpec_32f*>(spec);
    return primitiveStatusOk;
}

PrimitiveStatus getBufSize(const RealFftSpec_32f* pSpec, int32_t* pSize) {
    if (pSpec == nullptr || pSize == nullptr) return primitiveStatusNullPointer;
    const RealFftSpec* spec = specRecord(pSpec);
    if (spec->kindTag != kRealFftKindTag) return primitiveStatusWrongContext;
    *pSize = spec->workBufferBytes;
    return primitiveStatusOk;
}

template <const BuildRoutines&>
PrimitiveStatus freeSpec(RealFftSpec_32f* pSpec) {
    if (pSpec == nullptr) return primitiveStatusNullPointer;
    RealFftSpec* spec = specRecord(pSpec);
    if (spec->kindTag != kRealFftKindTag) return primitiveStatusWrongContext;
    freeFftSpec(spec);
    return primitiveStatusOk;
}

// The tests every transform runs first, in this order.
inline PrimitiveStatus checkTransform(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec) {
    if (pSpec == nullptr) return primitiveStatusNullPointer;
    if (specRecord(pSpec)->kindTag != kRealFftKindTag) return primitiveStatusWrongContext;
    if (pSrc == nullptr || pDst == nullptr) return primitiveStatusNullPointer;
    return primitiveStatusOk;
}

template <const BuildRoutines& R, bool Ccs>
PrimitiveStatus forward(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec, uint8_t* pBuffer) {
    if (const PrimitiveStatus status = checkTransform(pSrc, pDst, pSpec); status != primitiveStatusOk) return status;
    const RealFftSpec* spec = specRecord(pSpec);
    if (spec->order <= 3) {
        if (spec->scaleForward != 0)
            R.kernels.realForwardScaled[spec->order](pSrc, pDst, spec->scaleFactor);
        else
            R.kernels.realForward[spec->order](pSrc, pDst);
    } else {
        const WorkBuffer work(spec->workBufferBytes, pBuffer);
        if (work.failed()) return primitiveStatusAllocationFailed;
        forwardToPerm<R>(pSrc, pDst, spec, work.get());
    }
    if (Ccs) permToCcs(pDst, int64_t{1} << spec->order);
    return primitiveStatusOk;
}

template <const BuildRoutines& R>
PrimitiveStatus inverse(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec, uint8_t* pBuffer) {
    if (const PrimitiveStatus status = checkTransform(pSrc, pDst, pSpec); status != primitiveStatusOk) return status;
    const RealFftSpec* spec = specRecord(pSpec);
    const int32_t order = spec->order;
    if (order <= 3) {
        ccsToPerm(pSrc, pDst, int64_t{1} << order);
        if (spec->scaleInverse != 0)
            R.kernels.realInverseScaled[order](pDst, pDst, spec->scaleFactor);
        else
            R.kernels.realInverse[order](pDst, pDst);
        return primitiveStatusOk;
    }
    const WorkBuffer work(spec->workBufferBytes, pBuffer);
    if (work.failed()) return primitiveStatusAllocationFailed;
    const int64_t n = int64_t{1} << order;
    inverseFromBins<R>(pSrc, pSrc[0], pSrc[n], pDst, spec, work.get());
    return primitiveStatusOk;
}

}  // namespace

#define VELKARN_DEFINE_FFT_ENTRIES(ns)                                                                           \
    namespace ns {                                                                                               \
    PrimitiveStatus zaviFFTInitAlloc_R_32f(RealFftSpec_32f** ppSpec, int32_t order, int32_t flag, int32_t hint) { \
        return initAlloc<ns##Routines>(ppSpec, order, flag, hint);                                               \
    }                                                                                                            \
    PrimitiveStatus zaviFFTFree_R_32f(RealFftSpec_32f* spec) { return freeSpec<ns##Routines>(spec); }           \
    PrimitiveStatus zaviFFTFwd_RToPerm_32f(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec,         \
                                           uint8_t* pBuffer) {                                                   \
        return forward<ns##Routines, false>(pSrc, pDst, pSpec, pBuffer);                                        \
    }                                                                                                            \
    PrimitiveStatus zaviFFTFwd_RToCCS_32f(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec,          \
                                          uint8_t* pBuffer) {                                                    \
        return forward<ns##Routines, true>(pSrc, pDst, pSpec, pBuffer);                                          \
    }                                                                                                            \
    PrimitiveStatus zaviFFTInv_CCSToR_32f(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec,          \
                                          uint8_t* pBuffer) {                                                    \
        return inverse<ns##Routines>(pSrc, pDst, pSpec, pBuffer);                                                \
    }                                                                                                            \
    }
VELKARN_DEFINE_FFT_ENTRIES(generic)
VELKARN_DEFINE_FFT_ENTRIES(sse)
VELKARN_DEFINE_FFT_ENTRIES(sse2)
VELKARN_DEFINE_FFT_ENTRIES(sse3)
#undef VELKARN_DEFINE_FFT_ENTRIES

// One body for the generic and SSE builds, one for the SSE2 and SSE3-class
// builds; they behave alike.
namespace generic {
PrimitiveStatus zaviFFTGetBufSize_R_32f(const RealFftSpec_32f* spec, int32_t* pSize) { return getBufSize(spec, pSize); }
}  // namespace generic
namespace sse2 {
PrimitiveStatus zaviFFTGetBufSize_R_32f(const RealFftSpec_32f* spec, int32_t* pSize) { return getBufSize(spec, pSize); }
}  // namespace sse2

}  // namespace primitives
