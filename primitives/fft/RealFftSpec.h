// The prepared FFT of power-of-two length and the internal routines around it.
//
// A RealFftSpec holds the real FFT of N = 2^order points, computed as a
// complex FFT of N/2 points (complex order m = order - 1) followed by a
// recombination step. The complex FFT spec of the complex engine (kind tag 4)
// uses the same record and the same plan set-up with its own full order.
//
// Tables are laid out for the build that made them: a spec is only ever read
// by the routines of that build. Every table is a block of vaduRivuro_8v owned
// by the record; freeFftSpec releases them.
//
// Layouts (all complex values are interleaved float pairs, real part first):
//   bitReverseTable       2^(m-2) + 1 int32: entry k = 2 * rev(k) over m - 2
//                         bits, last entry 0 (one word for m < 2). Point
//                         4k + t goes to rev2(t) * 2^m / 4 + rev(k).
//   radixTwiddles         radix table of order a (see radixTableFloats): for
//                         each stage length L = 16, 32, ..., 2^a, the L/4
//                         butterflies j in groups of four: cos(w^j) x4,
//                         -sin(w^j) x4, then the same for w^2j and w^3j,
//                         w = exp(-2 pi i / L). A table of order a serves any
//                         transform of order <= a.
//   largeOrderTwiddles    two-level plan: 2^k / 4 pairs (cos, -sin) of
//                         2 pi j / 2^k, read with a stride by every combining
//                         stage.
//   levelTwiddles[d]      generic and SSE builds: radix table of the column
//                         order L of the level at depth d.
//   levelBlockTwiddles[d] block twiddle matrix of the level of order k at
//                         depth d: 2^k complex values, column by column,
//                         entry [col * 2^L + r] = w^(rev_L(r) * col),
//                         w = exp(-2 pi i / 2^k).
//   forwardSplitWeights   generic: pairs (0.5 cos t, 0.5 - 0.5 sin t) for
//                         k = 0 .. N/4 - 1; SIMD builds: k = 1 .. N/4 in groups
//                         of four (four first components, four second ones).
//   inverseSplitTwiddles  the same arrangement of (cos t, -sin t);
//                         t = 2 pi k / N.
#pragma once

#include <cstddef>
#include <cstdint>

#include "primitives.h"
#include "primitives/core/Dispatcher.h"

namespace primitives {

inline constexpr int32_t kRealFftKindTag = 6;
inline constexpr int32_t kComplexFftKindTag = 4;
inline constexpr int32_t kRealDftKindTag = 15;
inline constexpr int32_t kMaxFftOrder = 30;
// Largest block the aligned allocator can hand out.
inline constexpr int64_t kMaxBlockBytes = INT32_MAX;

struct RealFftSpec {
    int32_t kindTag;          // 6 real FFT, 4 complex FFT; 0 once released
    int32_t order;            // log2 N, 0..30
    int32_t scaleForward;     // 1: forward results are multiplied by scaleFactor
    int32_t scaleInverse;     // 1: inverse results are multiplied by scaleFactor
    float scaleFactor;        // 1/N, 1/sqrt(N) for flag 4, 0 for flag 8
    int32_t hint;             // stored, never read
    int32_t workBufferBytes;  // bytes a transform needs, 16 for alignment included
    int32_t* bitReverseTable;
    float* radixTwiddles;
    float* largeOrderTwiddles;
    void* reservedTable;      // never filled; released if set
    float* forwardSplitWeights;
    float* inverseSplitTwiddles;
    float* levelTwiddles[3];
    float* levelBlockTwiddles[3];
};

// The complex FFT engine's spec (kind tag 4): the same record, its plan
// fields filled for its own full complex order, released by freeFftSpec.
using ComplexFftSpec = RealFftSpec;

// One stage of a DFT factor plan. Stages 0 .. lastTwiddledStage carry every
// field; the stage after them holds the residual factor in `radix` and, for a
// residual above 5, its roots.
struct DftStage {
    int32_t radix;
    int32_t remaining;     // plan length / the radices of this and every earlier stage
    int32_t stride;        // product of the radices of the earlier stages
    int32_t groupProduct;  // the same over the earlier stages of this group
    float* radixRoots;     // radix above 5: (cos, -sin) of 2 pi q / radix; may be shared
    float* stageTwiddles;  // remaining rows of twiddles (radix - 1 pairs, or radix pairs above 5)
};

inline constexpr int32_t kMaxDftStages = 20;

// The prepared real DFT of any length (kind tag 15). Exactly one path's
// tables are present; every other field stays 0.
//   directRoots          n pairs (cos, -sin) of 2 pi k / n; the SIMD builds
//                        follow them with two arrays of n int32 holding 2k.
//   forwardSplitWeights  ceil(N/4) pairs (0.5 cos t, 0.5 - 0.5 sin t),
//   splitTwiddles        ceil(N/4) pairs (cos t, -sin t), t = 2 pi k / N:
//                        k = 0 .. on the generic and SSE builds, k = 1 .. on
//                        the SSE2 and SSE3-class builds.
//   chirp                n pairs exp(-i pi k^2 / n).
//   chirpFilter          M pairs: the transformed, 1/M-scaled chirp filter.
//   reorderIndex         n int32: entry i is the input index of the i-th value
//                        in the plan's digit-reversed order; block b of the
//                        first stage starts at entry b * (last radix * residual).
struct RealDftSpec {
    int32_t kindTag;          // 15; 0 once released
    int32_t length;           // N >= 1
    int32_t scaleForward;
    int32_t scaleInverse;
    float scaleFactor;
    int32_t hint;             // stored; handed to the inner real FFT only
    int32_t workBufferBytes;  // 16 bytes for alignment included; 0 for N <= 4
    int32_t powerOfTwo;       // 1: the real FFT path (N >= 8)
    int32_t realInputPlan;    // 1: odd N with a factor plan
    int32_t chirpLength;      // chirp-z path: M
    float* directRoots;
    float* forwardSplitWeights;
    float* splitTwiddles;
    float* chirp;
    float* chirpFilter;
    RealFftSpec_32f* innerRealFft;
    ComplexFftSpec* innerComplexFft;
    int32_t hasFactorPlan;
    int32_t lastTwiddledStage;
    int32_t* reorderIndex;
    DftStage stages[kMaxDftStages];
};

// The build's plan of a large complex order k (above its base order).
//   levelOrder[k]  column order L of the upper level (the data are 2^L rows
//                  of 2^(k-L) points); 0 selects the two-level plan (generic
//                  and SSE builds only).
//   blockOrder[k]  SSE2 and SSE3-class builds: the level's block buffer holds
//                  2^blockOrder[k] complex values; null for the other builds.
//   leafLimit      largest row order transformed by the radix passes.
//   bufferAddend   added to the largest level's buffer in workBufferBytes.
struct LargeOrderPlan {
    const int32_t* levelOrder;
    const int32_t* blockOrder;
    int32_t leafLimit;
    int32_t bufferAddend;
};

// Indexed by complex order 0..30; only entries above the base order are read.
extern const int32_t planLevelOrder[4][31];
extern const int32_t planBlockOrder[4][31];

// The plan of build 1..4.
const LargeOrderPlan& largeOrderPlan(int32_t build);

// Sizes of one real FFT spec, known before anything is allocated.
struct RealFftPlanSizes {
    int64_t workBufferBytes;
    int64_t largestTableBytes;  // the record and every table, the sine table included
};

// workBufferBytes of a real FFT of `order` (0..30) on build 1..4. Pure.
int64_t workBufferBytes(int32_t build, int32_t order);
RealFftPlanSizes realFftPlanSizes(int32_t build, int32_t order);
// The same for a test-given plan.
RealFftPlanSizes realFftPlanSizes(int32_t build, int32_t order, const LargeOrderPlan& plan);

// Floats of a radix table of order a.
int64_t radixTableFloats(int32_t a);

// Releases every table of the record, clears the tag, releases the record.
// Null is ignored.
void freeFftSpec(RealFftSpec* spec);

// Small-order kernels: rows of four, entry k transforms 2^k points.
using SmallOrderKernel = void (*)(const float* src, float* dst);
using SmallOrderKernelScaled = void (*)(const float* src, float* dst, float factor);

// Rows 0-3 (interleaved complex) and 8-11 (real, Perm spectrum). The split
// complex rows 4-7 are left out: no driver selects them.
struct SmallOrderKernelTable {
    SmallOrderKernel complexForward[4];
    SmallOrderKernelScaled complexForwardScaled[4];
    SmallOrderKernel complexInverse[4];
    SmallOrderKernelScaled complexInverseScaled[4];
    SmallOrderKernel realForward[4];
    SmallOrderKernelScaled realForwardScaled[4];
    SmallOrderKernel realInverse[4];
    SmallOrderKernelScaled realInverseScaled[4];
};

extern const SmallOrderKernelTable smallOrderKernels_generic;
extern const SmallOrderKernelTable smallOrderKernels_sse;
extern const SmallOrderKernelTable smallOrderKernels_sse2;
extern const SmallOrderKernelTable smallOrderKernels_sse3;

// Straight-line DFT kernels of lengths 1 to 4: slot j transforms j + 1
// points. Lengths 1, 2 and 4 are the small-order kernels; the split rows are
// left out, as nothing reads them.
struct SmallLengthKernelTable {
    SmallOrderKernel complexForward[4];
    SmallOrderKernelScaled complexForwardScaled[4];
    SmallOrderKernel complexInverse[4];
    SmallOrderKernelScaled complexInverseScaled[4];
    SmallOrderKernel realForward[4];
    SmallOrderKernelScaled realForwardScaled[4];
    SmallOrderKernel realInverse[4];
    SmallOrderKernelScaled realInverseScaled[4];
};

extern const SmallLengthKernelTable smallLengthKernels_generic;
extern const SmallLengthKernelTable smallLengthKernels_sse;
extern const SmallLengthKernelTable smallLengthKernels_sse2;
extern const SmallLengthKernelTable smallLengthKernels_sse3;

// Spectrum order conversions in the destination array of N floats (N + 2
// for CCS).
void permToCcs(float* data, int64_t n);
void ccsToPerm(const float* ccs, float* perm, int64_t n);
// Pack to Perm; works in place.
void packToPerm(const float* pack, float* perm, int64_t n);
// Perm to Pack in place: R(N/2) moves from element 1 to the end.
void permToPack(float* data, int64_t n);

// ---- Plans and sizes of the DFT of any length -----------------------------

// The blocks a set-up allocates, in the order it allocates them.
struct BlockList {
    static constexpr int32_t kCapacity = 96;
    int32_t count = 0;
    int64_t bytes[kCapacity] = {};
    void add(int64_t size) {
        if (count < kCapacity) bytes[count] = size;
        ++count;
    }
    int64_t largest() const;
};

// Appends the blocks of a real FFT spec's set-up of `order` (record first),
// or of the complex engine's spec of complex order `order`.
void listRealFftBlocks(BlockList& list, int32_t build, int32_t order);
void listComplexFftBlocks(BlockList& list, int32_t build, int32_t order);
// Sizes of the complex engine's spec of complex order k on build 1..4.
RealFftPlanSizes complexFftPlanSizes(int32_t build, int32_t k);

enum class DftPath : int32_t {
    smallKernel,        // N = 1 .. 4
    realFft,            // powers of two from 8
    mixedRadixReal,     // odd N with a plan
    mixedRadixComplex,  // even N with a plan for N/2
    directOdd,          // odd N up to 180 without a plan
    directEven,         // even N without a plan, N/2 up to 150
    chirpOdd,           // odd N above 180 without a plan
    chirpEven,          // even N without a plan, N/2 above 150
};

// Everything the DFT set-up of a length will do, computed before anything is
// allocated. Sizes in 64 bits, so that every int32 length can be planned.
struct DftPlan {
    DftPath path;
    int64_t n;                       // points of the inner transform: N odd, N/2 even
    int32_t radixCount;              // with a plan: the radices, the residual last
    int32_t radices[kMaxDftStages];  // after the build's reorder
    int32_t lastTwiddledStage;       // radixCount - 2; -1 without a plan
    int64_t chirpLength;             // chirp-z paths: M; else 0
    int64_t workBufferBytes;
    BlockList blocks;                // the record, every table, the temporaries
    // Every block and the work buffer are within the allocator's limit.
    bool fitsAllocator() const;
};

// The plan of `length` (>= 1) on build 1..4. Pure.
DftPlan dftPlan(int32_t build, int64_t length);

// The factor plan of n (radices in their chosen order, the residual last):
// the number of radices, or 0 when n has no plan.
int32_t factorPlan(int64_t n, int32_t radices[kMaxDftStages]);
// The same into the record's stages and lastTwiddledStage; 1 with a plan,
// 0 without (the record is then unchanged).
int32_t buildFactorPlan(RealDftSpec* spec, int32_t n);
// The SSE2 and SSE3-class builds' reorder: a leading 4 (or the 4 of stage 1,
// or a leading 2) trades places with the residual.
void reorderPlanForFourWide(int32_t* radices, int32_t count);

// One build's routines. n is the number of complex points of the plan.
#define VELKARN_FFT_BUILD_ROUTINES(suffix)                                                              \
    int32_t* buildBitReverseIndexTable_##suffix(int32_t m);                                             \
    float* buildQuarterSineTable_##suffix(int32_t order);                                               \
    float* buildRadixTwiddleTable_##suffix(int32_t a, const float* sine, int32_t sineOrder);            \
    float* buildRealForwardSplitWeights_##suffix(int32_t order, const float* sine);                     \
    float* buildRealInverseSplitTwiddles_##suffix(int32_t order, const float* sine);                    \
    int32_t initFftTables_##suffix(RealFftSpec* spec, int32_t m, const float* sine, int32_t sineOrder);  \
    int32_t initFftTablesWithPlan_##suffix(RealFftSpec* spec, int32_t m, const float* sine,            \
                                           int32_t sineOrder, const LargeOrderPlan& plan);              \
    void fftBitReverseCopy_##suffix(const float* src, float* dst, int32_t n, const int32_t* table);     \
    void fftBitReverseInPlace_##suffix(float* data, int32_t n, const int32_t* table);                   \
    void fftLargeOrder_##suffix(const RealFftSpec* spec, float* data, int32_t h, uint8_t* buffer);      \
    void ifftLargeOrder_##suffix(const RealFftSpec* spec, float* data, int32_t h, uint8_t* buffer);     \
    void fftLargeOrderWithPlan_##suffix(const RealFftSpec* spec, float* data, int32_t h,                \
                                        uint8_t* buffer, const LargeOrderPlan& plan, bool inverse);     \
    void scaleFloatsInPlace_##suffix(float factor, float* data, int64_t count);                         \
    void realFftRecombineForward_##suffix(float* data, int32_t n, const float* weights);                \
    void realFftRecombineInverse_##suffix(const float* src, float* dst, int32_t n,                     \
                                          const float* twiddles);

VELKARN_FFT_BUILD_ROUTINES(generic)
VELKARN_FFT_BUILD_ROUTINES(sse)
VELKARN_FFT_BUILD_ROUTINES(sse2)
VELKARN_FFT_BUILD_ROUTINES(sse3)
#undef VELKARN_FFT_BUILD_ROUTINES

// Radix passes: bit-reversed data in place to the natural-order DFT.
void fftRadixPasses_generic(float* data, int32_t n, const float* twiddles);
void ifftRadixPasses_generic(float* data, int32_t n, const float* twiddles);
#define VELKARN_FFT_SIMD_ROUTINES(suffix)                                                                \
    void fftRadixPasses_##suffix(float* data, int32_t n, const float* twiddles, uint8_t* buffer,         \
                                 int32_t flag);                                                          \
    void ifftRadixPasses_##suffix(float* data, int32_t n, const float* twiddles, uint8_t* buffer,        \
                                  int32_t flag);                                                         \
    void fftMediumOrder_##suffix(const float* src, float* dst, int32_t n, const float* twiddles,         \
                                 const int32_t* bitReverse, uint8_t* buffer);                            \
    void ifftMediumOrder_##suffix(const float* src, float* dst, int32_t n, const float* twiddles,        \
                                  const int32_t* bitReverse, uint8_t* buffer);
VELKARN_FFT_SIMD_ROUTINES(sse)
VELKARN_FFT_SIMD_ROUTINES(sse2)
VELKARN_FFT_SIMD_ROUTINES(sse3)
#undef VELKARN_FFT_SIMD_ROUTINES

// dst[j] = conj(src[n - 1 - j]) for j < n, complex pairs, sign bit inverted.
void conjugateReverseCopy_sse2(const float* src, float* dst, int32_t n);
void conjugateReverseCopy_sse3(const float* src, float* dst, int32_t n);

// The entry bodies.
#define VELKARN_FFT_ENTRY_BODIES(ns)                                                                      \
    namespace ns {                                                                                         \
    PrimitiveStatus zaviFFTInitAlloc_R_32f(RealFftSpec_32f** ppSpec, int32_t order, int32_t flag,          \
                                           int32_t hint);                                                  \
    PrimitiveStatus zaviFFTFree_R_32f(RealFftSpec_32f* spec);                                              \
    PrimitiveStatus zaviFFTFwd_RToPerm_32f(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec,   \
                                           uint8_t* pBuffer);                                              \
    PrimitiveStatus zaviFFTFwd_RToCCS_32f(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec,    \
                                          uint8_t* pBuffer);                                               \
    PrimitiveStatus zaviFFTInv_CCSToR_32f(const float* pSrc, float* pDst, const RealFftSpec_32f* pSpec,    \
                                          uint8_t* pBuffer);                                               \
    PrimitiveStatus zaviConjPerm_32fc(const float* pSrc, Complex32f* pDst, int32_t len);                   \
    }
VELKARN_FFT_ENTRY_BODIES(generic)
VELKARN_FFT_ENTRY_BODIES(sse)
VELKARN_FFT_ENTRY_BODIES(sse2)
VELKARN_FFT_ENTRY_BODIES(sse3)
#undef VELKARN_FFT_ENTRY_BODIES

namespace generic {
PrimitiveStatus zaviFFTGetBufSize_R_32f(const RealFftSpec_32f* spec, int32_t* pSize);
}
namespace sse2 {
PrimitiveStatus zaviFFTGetBufSize_R_32f(const RealFftSpec_32f* spec, int32_t* pSize);
}

inline RealFftSpec* specRecord(RealFftSpec_32f* spec) { return reinterpret_cast<RealFftSpec*>(spec); }
inline const RealFftSpec* specRecord(const RealFftSpec_32f* spec) {
    return reinterpret_cast<const RealFftSpec*>(spec);
}

}  // namespace primitives
