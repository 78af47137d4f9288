// The entries of the real DFT of any length: set-up, buffer size, release
// and the forward transform to Perm order, in four builds. The path of a
// length is chosen once, at set-up: kernels for 1 to 4 points, the real FFT
// for powers of two, a mixed-radix plan when the (half) length factors into
// radices up to 150, else direct sums for short lengths and chirp-z for long
// ones.
#include <cmath>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/DftRoutines.h"
#include "primitives/fft/FftRoads.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives {
namespace {

// Direct sums serve odd lengths up to this, and even lengths whose half is
// up to kDirectEvenLimit; longer ones without a plan take chirp-z.
constexpr int64_t kDirectOddLimit = 180;
constexpr int64_t kDirectEvenLimit = 150;

struct DftBuild {
    int32_t build;
    PrimitiveStatus (*zeroBytes)(void*, int64_t);
    const SmallLengthKernelTable& kernels;
    PrimitiveStatus (*fftInitAlloc)(RealFftSpec_32f**, int32_t, int32_t, int32_t);
    PrimitiveStatus (*fftGetBufSize)(const RealFftSpec_32f*, int32_t*);
    PrimitiveStatus (*fftFree)(RealFftSpec_32f*);
    PrimitiveStatus (*fftForward)(const float*, float*, const RealFftSpec_32f*, uint8_t*);
    float* (*twiddleTable)(int64_t);
    float* (*splitWeights)(int64_t, const float*);
    float* (*splitTwiddles)(int64_t, const float*);
    float* (*directTwiddles)(int64_t, const float*, int64_t);
    PrimitiveStatus (*chirpTables)(RealDftSpec*, int64_t, const float*, int64_t);
    PrimitiveStatus (*factorPlan)(RealDftSpec*, int64_t, const float*, int64_t);
    void (*release)(RealDftSpec*);
    void (*complexDirect)(const float*, float*, int64_t, int32_t, const float*, float*);
    void (*realDirectOdd)(const float*, float*, int64_t, const float*, float*);
    void (*recombine)(float*, int64_t, const float*);
    PrimitiveStatus (*complexBluestein)(const RealDftSpec*, const float*, float*, int64_t, int32_t, float*);
    PrimitiveStatus (*realBluestein)(const RealDftSpec*, const float*, float*, float*);
    void (*complexMixedRadix)(const RealDftSpec*, const float*, float*, float*);
    void (*realMixedRadix)(const RealDftSpec*, const float*, float*, float*);
    void (*scale)(float, float*, int64_t);
};

#define VELKARN_DFT_BUILD(suffix, index)                                                                        \
    constexpr DftBuild suffix##Dft = {                                                                          \
        index,                            zeroBytes_##suffix,                                                   \
        smallLengthKernels_##suffix,      suffix::zaviFFTInitAlloc_R_32f,                                      \
        index >= buildSse2 ? sse2::zaviFFTGetBufSize_R_32f : generic::zaviFFTGetBufSize_R_32f,                \
        suffix::zaviFFTFree_R_32f,        suffix::zaviFFTFwd_RToPerm_32f,                                      \
        buildDftTwiddleTable_##suffix,    buildDftRealSplitWeights_##suffix,                                   \
        buildDftRealSplitTwiddles_##suffix, buildDftDirectTwiddles_##suffix,                                   \
        buildDftChirpTables_##suffix,     buildDftFactorPlan_##suffix,                                         \
        releaseRealDftSpec_##suffix,      complexDftDirect_##suffix,                                           \
        realDftDirectOdd_##suffix,        dftRecombineRealSpectrum_##suffix,                                   \
        complexDftBluestein_##suffix,     realDftBluestein_##suffix,                                           \
        complexDftMixedRadix_##suffix,    realDftMixedRadix_##suffix,                                          \
        scaleFloatsInPlace_##suffix,                                                                            \
    };
VELKARN_DFT_BUILD(generic, buildGeneric)
VELKARN_DFT_BUILD(sse, buildSse)
VELKARN_DFT_BUILD(sse2, buildSse2)
VELKARN_DFT_BUILD(sse3, buildSse3)
#undef VELKARN_DFT_BUILD

// The tables of a length that is neither 1 to 4 nor a power of two, sampled
// from the N-point twiddle table.
template <const DftBuild& B>
PrimitiveStatus buildPathTables(RealDftSpec* spec, int64_t length, const float* twiddles) {
    if (length % 2 != 0) {
        if (buildFactorPlan(spec, static_cast<int32_t>(length)) != 0) {
            spec->hasFactorPlan = 1;
            spec->realInputPlan = 1;
            return B.factorPlan(spec, length, twiddles, length);
        }
        if (length <= kDirectOddLimit) {
            spec->directRoots = B.directTwiddles(length, twiddles, length);
            if (spec->directRoots == nullptr) return primitiveStatusAllocationFailed;
            spec->workBufferBytes = static_cast<int32_t>(4 * length + 16);
            return primitiveStatusOk;
        }
        return B.chirpTables(spec, length, twiddles, length);
    }
    spec->forwardSplitWeights = B.splitWeights(length, twiddles);
    if (spec->forwardSplitWeights == nullptr) return primitiveStatusAllocationFailed;
    spec->splitTwiddles = B.splitTwiddles(length, twiddles);
    if (spec->splitTwiddles == nullptr) return primitiveStatusAllocationFailed;
    const int64_t n = length / 2;
    if (buildFactorPlan(spec, static_cast<int32_t>(n)) != 0) {
        spec->hasFactorPlan = 1;
        return B.factorPlan(spec, n, twiddles, length);
    }
    if (n <= kDirectEvenLimit) {
        spec->directRoots = B.directTwiddles(n, twiddles, length);
        if (spec->directRoots == nullptr) return primitiveStatusAllocationFailed;
        spec->workBufferBytes = static_cast<int32_t>(8 * n + 16);
        return primitiveStatusOk;
    }
    return B.chirpTables(spec, n, twiddles, length);
}

template <const DftBuild& B>
PrimitiveStatus initAlloc(RealDftSpec_32f** ppSpec, int32_t length, int32_t flag, int32_t hint) {
    if (ppSpec == nullptr) return primitiveStatusNullPointer;
    if (length <= 0) return primitiveStatusBadSize;
    // Every block and the work buffer must fit the allocator: refused before
    // anything is allocated.
    if (!dftPlan(B.build, length).fitsAllocator()) return primitiveStatusAllocationFailed;
    auto* spec = reinterpret_cast<RealDftSpec*>(generic::vaduRivuro_8v(sizeof(RealDftSpec)));
    if (spec == nullptr) return primitiveStatusAllocationFailed;
    B.zeroBytes(spec, sizeof(RealDftSpec));
    spec->kindTag = kRealDftKindTag;
    spec->length = length;
    spec->hint = hint;
    const double n = static_cast<double>(length);
    float* twiddles = nullptr;
    // Every exit after the record was made: the temporary table goes, and on
    // failure everything the record holds.
    auto fail = [&](PrimitiveStatus status) {
        generic::zoveZiva(twiddles);
        if (spec->innerRealFft != nullptr) B.fftFree(spec->innerRealFft);
        B.release(spec);
        return status;
    };
    switch (flag) {
    case 1: spec->scaleForward = 1; spec->scaleFactor = static_cast<float>(1.0 / n); break;
    case 2: spec->scaleInverse = 1; spec->scaleFactor = static_cast<float>(1.0 / n); break;
    case 4:
        spec->scaleForward = spec->scaleInverse = 1;
        spec->scaleFactor = static_cast<float>(1.0 / std::sqrt(n));
        break;
    case 8: spec->scaleFactor = 0.0f; break;
    default: return fail(primitiveStatusBadFftFlag);
    }
    if (length > 4) {
        if ((length & (length - 1)) == 0) {
            spec->powerOfTwo = 1;
            int32_t order = 0;
            while ((int32_t{1} << order) < length) ++order;
            if (const PrimitiveStatus status = B.fftInitAlloc(&spec->innerRealFft, order, flag, hint); status != 0)
                return fail(status);
            B.fftGetBufSize(spec->innerRealFft, &spec->workBufferBytes);
        } else {
            twiddles = B.twiddleTable(length);
            if (twiddles == nullptr) return fail(primitiveStatusAllocationFailed);
            if (const PrimitiveStatus status = buildPathTables<B>(spec, length, twiddles); status != 0)
                return fail(status);
            generic::zoveZiva(twiddles);
        }
    }
    *ppSpec = reinterpret_cast<RealDftSpec_32f*>(spec);
    return primitiveStatusOk;
}

PrimitiveStatus getBufSize(const RealDftSpec_32f* pSpec, int32_t* pSize) {
    if (pSize == nullptr || pSpec == nullptr) return primitiveStatusNullPointer;
    const RealDftSpec* spec = dftRecord(pSpec);
    if (spec->kindTag != kRealDftKindTag) return primitiveStatusWrongContext;
    *pSize = spec->workBufferBytes;
    return primitiveStatusOk;
}

template <const DftBuild& B>
PrimitiveStatus freeSpec(RealDftSpec_32f* pSpec) {
    if (pSpec == nullptr) return primitiveStatusNullPointer;
    RealDftSpec* spec = dftRecord(pSpec);
    if (spec->kindTag != kRealDftKindTag) return primitiveStatusWrongContext;
    if (spec->innerRealFft != nullptr) B.fftFree(spec->innerRealFft);
    B.release(spec);
    return primitiveStatusOk;
}

template <const DftBuild& B>
PrimitiveStatus forward(const float* pSrc, float* pDst, const RealDftSpec_32f* pSpec, uint8_t* pBuffer) {
    if (pSpec == nullptr) return primitiveStatusNullPointer;
    const RealDftSpec* spec = dftRecord(pSpec);
    if (spec->kindTag != kRealDftKindTag) return primitiveStatusWrongContext;
    if (pSrc == nullptr || pDst == nullptr) return primitiveStatusNullPointer;
    const int64_t length = spec->length;
    if (length <= 4) {
        if (spec->scaleForward != 0)
            B.kernels.realForwardScaled[length - 1](pSrc, pDst, spec->scaleFactor);
        else
            B.kernels.realForward[length - 1](pSrc, pDst);
        return primitiveStatusOk;
    }
    const WorkBuffer buffer(spec->workBufferBytes, pBuffer);
    if (buffer.failed()) return primitiveStatusAllocationFailed;
    // The inner real FFT scales by itself.
    if (spec->powerOfTwo != 0) return B.fftForward(pSrc, pDst, spec->innerRealFft, buffer.get());
    auto* work = reinterpret_cast<float*>(buffer.get());
    if (length % 2 != 0) {
        if (spec->hasFactorPlan != 0) {
            B.realMixedRadix(spec, pSrc, pDst, work);
        } else if (length > kDirectOddLimit) {
            if (const PrimitiveStatus status = B.realBluestein(spec, pSrc, pDst, work); status != 0) return status;
        } else {
            B.realDirectOdd(pSrc, pDst, length, spec->directRoots, work);
        }
    } else {
        const int64_t n = length / 2;
        if (spec->hasFactorPlan != 0) {
            B.complexMixedRadix(spec, pSrc, pDst, work);
        } else if (n > kDirectEvenLimit) {
            if (const PrimitiveStatus status = B.complexBluestein(spec, pSrc, pDst, n, 1, work); status != 0)
                return status;
        } else {
            B.complexDirect(pSrc, pDst, n, 1, spec->directRoots, work);
        }
        B.recombine(pDst, n, spec->forwardSplitWeights);
    }
    if (spec->scaleForward != 0) B.scale(spec->scaleFactor, pDst, length);
    return primitiveStatusOk;
}

}  // namespace

#define VELKARN_DEFINE_DFT_ENTRIES(ns)                                                                         \
    namespace ns {                                                                                             \
    PrimitiveStatus zaviDFTInitAlloc_R_32f(RealDftSpec_32f** ppSpec, int32_t length, int32_t flag,            \
                                           int32_t hint) {                                                     \
        return initAlloc<ns##Dft>(ppSpec, length, flag, hint);                                                 \
    }                                                                                                          \
    PrimitiveStatus zaviDFTFree_R_32f(RealDftSpec_32f* pSpec) { return freeSpec<ns##Dft>(pSpec); }            \
    PrimitiveStatus zaviDFTFwd_RToPerm_32f(const float* pSrc, float* pDst, const RealDftSpec_32f* pSpec,       \
                                           uint8_t* pBuffer) {                                                 \
        return forward<ns##Dft>(pSrc, pDst, pSpec, pBuffer);                                                   \
    }                                                                                                          \
    }
VELKARN_DEFINE_DFT_ENTRIES(generic)
VELKARN_DEFINE_DFT_ENTRIES(sse)
VELKARN_DEFINE_DFT_ENTRIES(sse2)
VELKARN_DEFINE_DFT_ENTRIES(sse3)
#undef VELKARN_DEFINE_DFT_ENTRIES

// One body for the generic and SSE builds, one for the SSE2 and SSE3-class
// builds; they behave alike.
namespace generic {
PrimitiveStatus zaviDFTGetBufSize_R_32f(const RealDftSpec_32f* pSpec, int32_t* pSize) {
    return getBufSize(pSpec, pSize);
}
}  // namespace generic
namespace sse2 {
PrimitiveStatus zaviDFTGetBufSize_R_32f(const RealDftSpec_32f* pSpec, int32_t* pSize) {
    return getBufSize(pSpec, pSize);
}
}  // namespace sse2

}  // namespace primitives
