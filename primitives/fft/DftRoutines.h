// Each build's routines of the complex FFT engine, the DFT of any length and
// the autocorrelation, and the bodies of their entries. A build calls only
// its own; records and plans are in RealFftSpec.h.
#pragma once

#include <cstdint>

#include "primitives.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives {

#define VELKARN_DFT_BUILD_ROUTINES(suffix)                                                                      \
    /* The complex engine (kind tag 4): 2^order interleaved complex values. */                                 \
    PrimitiveStatus complexFftInitAlloc_##suffix(ComplexFftSpec** spec, int32_t order, int32_t flag,           \
                                                 int32_t hint);                                                \
    PrimitiveStatus freeComplexFftSpec_##suffix(ComplexFftSpec* spec);                                         \
    PrimitiveStatus complexFftForward_##suffix(const float* src, float* dst, const ComplexFftSpec* spec,       \
                                               uint8_t* buffer);                                               \
    PrimitiveStatus complexFftInverse_##suffix(const float* src, float* dst, const ComplexFftSpec* spec,       \
                                               uint8_t* buffer);                                               \
    void complexConjugateCopy_##suffix(const float* src, float* dst, int64_t n);                               \
    void complexZero_##suffix(float* dst, int64_t n);                                                          \
    void complexMultiply_##suffix(const float* a, const float* b, float* dst, int64_t n);                      \
    /* Set-up of the DFT record. Tables are aligned blocks, null when the allocation fails. */                 \
    float* buildDftTwiddleTable_##suffix(int64_t n);                                                           \
    float* buildDftRealSplitWeights_##suffix(int64_t length, const float* twiddles);                           \
    float* buildDftRealSplitTwiddles_##suffix(int64_t length, const float* twiddles);                          \
    float* buildDftDirectTwiddles_##suffix(int64_t count, const float* twiddles, int64_t tableLength);         \
    PrimitiveStatus buildDftChirpTables_##suffix(RealDftSpec* spec, int64_t n, const float* twiddles,          \
                                                 int64_t tableLength);                                         \
    PrimitiveStatus buildDftFactorPlan_##suffix(RealDftSpec* spec, int64_t n, const float* twiddles,           \
                                                int64_t tableLength);                                          \
    void releaseRealDftSpec_##suffix(RealDftSpec* spec);                                                       \
    /* The DFT paths; work is the aligned work buffer. */                                                      \
    void complexDftDirect_##suffix(const float* src, float* dst, int64_t n, int32_t direction,                 \
                                   const float* roots, float* work);                                           \
    void realDftDirectOdd_##suffix(const float* src, float* dst, int64_t length, const float* roots,           \
                                   float* work);                                                               \
    void dftRecombineRealSpectrum_##suffix(float* data, int64_t n, const float* weights);                      \
    PrimitiveStatus complexDftBluestein_##suffix(const RealDftSpec* spec, const float* src, float* dst,        \
                                                 int64_t n, int32_t direction, float* work);                   \
    PrimitiveStatus realDftBluestein_##suffix(const RealDftSpec* spec, const float* src, float* dst,           \
                                              float* work);                                                    \
    void complexDftMixedRadix_##suffix(const RealDftSpec* spec, const float* src, float* dst, float* work);    \
    void realDftMixedRadix_##suffix(const RealDftSpec* spec, const float* src, float* dst, float* work);       \
    /* The autocorrelation's transforms of a real FFT spec (tag 6) in Pack order, and its sums. */            \
    PrimitiveStatus realFftForwardToPack_##suffix(const float* src, float* dst, const RealFftSpec_32f* spec,   \
                                                  uint8_t* buffer);                                            \
    PrimitiveStatus realFftInverseFromPack_##suffix(const float* src, float* dst, const RealFftSpec_32f* spec, \
                                                    uint8_t* buffer);                                          \
    PrimitiveStatus packConjugateProduct_##suffix(const float* src, float* srcDst, int32_t len);               \
    void autoCorrDirect_##suffix(const float* src, int32_t srcLen, float* dst, int32_t lags);

VELKARN_DFT_BUILD_ROUTINES(generic)
VELKARN_DFT_BUILD_ROUTINES(sse)
VELKARN_DFT_BUILD_ROUTINES(sse2)
VELKARN_DFT_BUILD_ROUTINES(sse3)
#undef VELKARN_DFT_BUILD_ROUTINES

// The engine's buffer size: one body for the generic and SSE builds, one for
// the SSE2 and SSE3-class builds.
PrimitiveStatus complexFftGetBufferSize_generic(const ComplexFftSpec* spec, int32_t* size);
PrimitiveStatus complexFftGetBufferSize_sse2(const ComplexFftSpec* spec, int32_t* size);

// Lags below this take the direct sums; from it on the FFT path.
inline constexpr int32_t kAutoCorrDirectLimit[5] = {600, 600, 700, 856, 856};

#define VELKARN_DFT_ENTRY_BODIES(ns)                                                                           \
    namespace ns {                                                                                             \
    PrimitiveStatus zaviDFTInitAlloc_R_32f(RealDftSpec_32f** ppSpec, int32_t length, int32_t flag,            \
                                           int32_t hint);                                                      \
    PrimitiveStatus zaviDFTFree_R_32f(RealDftSpec_32f* pSpec);                                                 \
    PrimitiveStatus zaviDFTFwd_RToPerm_32f(const float* pSrc, float* pDst, const RealDftSpec_32f* pSpec,       \
                                           uint8_t* pBuffer);                                                  \
    PrimitiveStatus zaviAutoCorr_32f(const float* pSrc, int32_t srcLen, float* pDst, int32_t dstLen);         \
    }
VELKARN_DFT_ENTRY_BODIES(generic)
VELKARN_DFT_ENTRY_BODIES(sse)
VELKARN_DFT_ENTRY_BODIES(sse2)
VELKARN_DFT_ENTRY_BODIES(sse3)
#undef VELKARN_DFT_ENTRY_BODIES

namespace generic {
PrimitiveStatus zaviDFTGetBufSize_R_32f(const RealDftSpec_32f* pSpec, int32_t* pSize);
}
namespace sse2 {
PrimitiveStatus zaviDFTGetBufSize_R_32f(const RealDftSpec_32f* pSpec, int32_t* pSize);
}

inline RealDftSpec* dftRecord(RealDftSpec_32f* spec) { return reinterpret_cast<RealDftSpec*>(spec); }
inline const RealDftSpec* dftRecord(const RealDftSpec_32f* spec) {
    return reinterpret_cast<const RealDftSpec*>(spec);
}

}  // namespace primitives
