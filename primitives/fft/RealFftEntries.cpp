// The real FFT entries: spec set-up, buffer size and release, the forward
// transforms to Perm and CCS order and the inverse from CCS order, in four
// builds. Each build's bodies call only that build's routines.
#include <cmath>
#include <cstring>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/RealFftSpec.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

using RadixPasses = void (*)(float*, int32_t, const float*, uint8_t*, int32_t);
using OnePiece = void (*)(const float*, float*, int32_t, const float*, const int32_t*, uint8_t*);
using LargeOrder = void (*)(const RealFftSpec*, float*, int32_t, uint8_t*);

// One build's routines and the complex orders of its roads: the one-piece
// transform up to mediumLimit (none when -1), then bit reversal and the radix
// passes up to radixLimit, then bit reversal and the large-order routine.
struct BuildRoutines {
    int32_t build;
    PrimitiveStatus (*zeroBytes)(void*, int64_t);
    int32_t mediumLimit;
    int32_t radixLimit;
    const SmallOrderKernelTable& kernels;
    float* (*quarterSineTable)(int32_t);
    int32_t (*initFftTables)(RealFftSpec*, int32_t, const float*, int32_t);
    float* (*forwardSplitWeights)(int32_t, const float*);
    float* (*inverseSplitTwiddles)(int32_t, const float*);
    void (*bitReverseCopy)(const float*, float*, int32_t, const int32_t*);
    void (*bitReverseInPlace)(float*, int32_t, const int32_t*);
    OnePiece mediumOrder;
    OnePiece inverseMediumOrder;
    RadixPasses radixPasses;
    RadixPasses inverseRadixPasses;
    LargeOrder largeOrder;
    LargeOrder inverseLargeOrder;
    void (*scale)(float, float*, int64_t);
    void (*recombineForward)(float*, int32_t, const float*);
    void (*recombineInverse)(const float*, float*, int32_t, const float*);
};

constexpr BuildRoutines genericRoutines = {
    buildGeneric, zeroBytes_generic, -1, 10, smallOrderKernels_generic, buildQuarterSineTable_generic,
    initFftTables_generic,
    buildRealForwardSplitWeights_generic, buildRealInverseSplitTwiddles_generic, fftBitReverseCopy_generic,
    fftBitReverseInPlace_generic, nullptr, nullptr,
    [](float* data, int32_t n, const float* tw, uint8_t*, int32_t) { fftRadixPasses_generic(data, n, tw); },
    [](float* data, int32_t n, const float* tw, uint8_t*, int32_t) { ifftRadixPasses_generic(data, n, tw); },
    fftLargeOrder_generic, ifftLargeOrder_generic, scaleFloatsInPlace_generic, realFftRecombineForward_generic,
    realFftRecombineInverse_generic,
};

#define VELKARN_SIMD_ROUTINES(suffix, index, medium, radix)                                                     \
    constexpr BuildRoutines suffix##Routines = {                                                                \
        index, zeroBytes_##suffix, medium, radix, smallOrderKernels_##suffix,                                    \
        buildQuarterSineTable_##suffix, initFftTables_##suffix, buildRealForwardSplitWeights_##suffix,          \
        buildRealInverseSplitTwiddles_##suffix,                                                                 \
        fftBitReverseCopy_##suffix, fftBitReverseInPlace_##suffix, fftMediumOrder_##suffix,                     \
        ifftMediumOrder_##suffix, fftRadixPasses_##suffix, ifftRadixPasses_##suffix, fftLargeOrder_##suffix,    \
        ifftLargeOrder_##suffix, scaleFloatsInPlace_##suffix, realFftRecombineForward_##suffix,                 \
        realFftRecombineInverse_##suffix,                                                                       \
    };
VELKARN_SIMD_ROUTINES(sse, buildSse, 9, 10)
VELKARN_SIMD_ROUTINES(sse2, buildSse2, 14, 15)
VELKARN_SIMD_ROUTINES(sse3, buildSse3, 15, 16)
#undef VELKARN_SIMD_ROUTINES

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

// The caller's buffer from its first 16-byte boundary, or a block for this
// call (released by the destructor), or none when the spec needs none.
class WorkBuffer {
public:
    WorkBuffer(const RealFftSpec* spec, uint8_t* callers) {
        if (spec->workBufferBytes <= 0) return;
        if (callers != nullptr) {
            work_ = callers + ((0 - reinterpret_cast<uintptr_t>(callers)) & 15);
        } else {
            owned_ = generic::vaduRivuro_8v(spec->workBufferBytes);
            work_ = owned_;
            failed_ = owned_ == nullptr;
        }
    }
    ~WorkBuffer() { generic::zoveZiva(owned_); }
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;

    bool failed() const { return failed_; }
    uint8_t* get() const { return work_; }

private:
    uint8_t* work_ = nullptr;
    uint8_t* owned_ = nullptr;
    bool failed_ = false;
};

// Forward transform of order >= 4 into Perm order in dst.
template <const BuildRoutines& R>
void forwardToPerm(const float* src, float* dst, const RealFftSpec* spec, uint8_t* work) {
    const int32_t h = spec->order - 1;
    const int32_t n = int32_t{1} << h;
    bool scaled = false;
    if (h <= R.mediumLimit) {
        R.mediumOrder(src, dst, n, spec->radixTwiddles, spec->bitReverseTable, work);
    } else {
        if (src != dst)
            R.bitReverseCopy(src, dst, n, spec->bitReverseTable);
        else
            R.bitReverseInPlace(dst, n, spec->bitReverseTable);
        if (h <= R.radixLimit) {
            R.radixPasses(dst, n, spec->radixTwiddles, work, 1);
        } else {
            R.largeOrder(spec, dst, h, work);
            scaled = true;  // the large-order routine scales its blocks itself
        }
    }
    if (spec->scaleForward != 0 && !scaled) R.scale(spec->scaleFactor, dst, 2 * static_cast<int64_t>(n));
    const float t0 = dst[0], t1 = dst[1];
    dst[0] = t0 + t1;
    dst[1] = t0 - t1;
    R.recombineForward(dst, n, spec->forwardSplitWeights);
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
        const WorkBuffer work(spec, pBuffer);
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
    const WorkBuffer work(spec, pBuffer);
    if (work.failed()) return primitiveStatusAllocationFailed;
    const int32_t h = order - 1;
    const int32_t n = int32_t{1} << h;
    const float a = pSrc[0], b = pSrc[2 * static_cast<int64_t>(n)];
    pDst[0] = a + b;
    pDst[1] = a - b;
    R.recombineInverse(pSrc, pDst, n, spec->inverseSplitTwiddles);
    bool scaled = false;
    if (h <= R.mediumLimit) {
        R.inverseMediumOrder(pDst, pDst, n, spec->radixTwiddles, spec->bitReverseTable, work.get());
    } else {
        R.bitReverseInPlace(pDst, n, spec->bitReverseTable);
        if (h <= R.radixLimit) {
            R.inverseRadixPasses(pDst, n, spec->radixTwiddles, work.get(), 1);
        } else {
            R.inverseLargeOrder(spec, pDst, h, work.get());
            scaled = true;
        }
    }
    if (spec->scaleInverse != 0 && !scaled) R.scale(spec->scaleFactor, pDst, 2 * static_cast<int64_t>(n));
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
