// The IIR filter record and the kernels behind the five IIR entries.
//
// A state is one block from vaduRivuro_8v: the IirState header, then its
// areas, each on a 16-byte boundary:
//
//   taps            normalised taps (arbitrary order: b'0..b'N, a'1..a'N;
//                   sections: b'0, b'1, b'2, a'1, a'2 per section)
//   delay line      z0..zN-1 and one element fixed at 0 (zN)
//   SIMD builds only:
//   section vectors sections only: per section (b'1, b'2, 0, 0) and
//                   (a'1, a'2, 0, 0), the per-sample delay update
//   numerator rows  4-float rows holding one numerator tap four times
//                   (N + 1 rows; three per section)
//   recursion matrix 4-float rows that advance the recursion by four outputs
//                   (N + 3 rows; five per section)
//   scratch         kIirStretch floats for the non-recursive part of a stretch
//
// A state serves only the build that made it: the generic build's state has
// no rows and no scratch. One state is used by one thread at a time.
#pragma once

#include <cstdint>

#include "primitives.h"
#include "primitives/core/Dispatcher.h"

struct IirState {
    uint32_t kindTag;
    float* taps;
    float* delayLine;
    int32_t order;  // delay-line length: N, or twice the section count
    float* numeratorRows;
    float* recursionMatrix;
    int32_t sectionCount;  // 0 in the arbitrary-order kind
    float* sectionVectors;
    float* scratch;
    float* secondScratch;  // always null: nothing uses a second scratch area
    int32_t owned;         // 1 when zaviIIRFree_32f is to release the block
};

namespace primitives {

inline constexpr uint32_t kIirArbitraryOrderTag = 0x49493031;  // "10II" in memory
inline constexpr uint32_t kIirSectionsTag = 0x49493032;        // "20II" in memory

// The SIMD builds filter in stretches of at most this many samples, which is
// also the size of the scratch area in floats.
inline constexpr int32_t kIirStretch = 1024;

inline constexpr int64_t kIirHeaderBytes = (sizeof(IirState) + 15) / 16 * 16;

inline constexpr int64_t iirRound16(int64_t bytes) { return (bytes + 15) / 16 * 16; }

// Bytes requested for an arbitrary-order state of order N >= 0 in a build
// (1 generic, 2..4 SIMD). Counted in 64 bits: every int32 order gives the true
// size, which the create entry refuses when it exceeds INT32_MAX.
inline constexpr int64_t iirStateBytes(int32_t build, int32_t order) {
    const int64_t n = order;
    int64_t bytes = kIirHeaderBytes + iirRound16(4 * (2 * n + 1)) + iirRound16(4 * (n + 1));
    if (build != buildGeneric) bytes += 16 * (n + 1) + 16 * (n + 3) + 4 * kIirStretch;
    return bytes;
}

// Bytes requested for a cascade of S >= 1 second-order sections.
inline constexpr int64_t iirSectionsStateBytes(int32_t build, int32_t sections) {
    const int64_t s = sections;
    int64_t bytes = kIirHeaderBytes + iirRound16(4 * 5 * s) + iirRound16(4 * (2 * s + 1));
    if (build != buildGeneric) bytes += 16 * (2 * s) + 16 * (3 * s) + 16 * (5 * s) + 4 * kIirStretch;
    return bytes;
}

inline constexpr int64_t kIirLargestRequest = INT32_MAX;

// ---- Generic build ---------------------------------------------------------
//
// Intermediate values are doubles; a value is rounded to float only where it
// is stored (a tap, a delay element, an output).

// Creation: checks nothing but the allocation and a0; the entry checks the
// pointers and the order first.
//
// iirCreateState_*: the request, the allocation, the layout, the owned flag;
// returns what the normalisation returned (the state is handed out on -10).
// iirLayOutState_*: header and area pointers of a new block, the address
// through `result`, the delay line, the normalisation.
// iirLoadDelayLine_*: the caller's N values, or N zeros for null; zN = 0.
// iirNormaliseTaps_*: the a0 check (-10), the taps times 1/a0 and, in the
// SIMD builds, the numerator rows and the recursion matrix.
PrimitiveStatus iirCreateState_generic(IirState** result, const float* taps, int32_t order,
                                       const float* delayLine);
PrimitiveStatus iirLayOutState_generic(void* block, IirState** result, const float* taps, int32_t order,
                                       const float* delayLine);
void iirLoadDelayLine_generic(IirState* state, const float* delayLine);
PrimitiveStatus iirNormaliseTaps_generic(IirState* state, const float* taps);

// A cascade of `sections` biquads from 6 taps each (b0, b1, b2, a0, a1, a2)
// and 2 delay values each (or null for zeros). -8 for a null result or taps,
// -25 for fewer than one section, -9 for a request above INT32_MAX bytes
// (before any tap is read), -10 when any a0 is zero or NaN (before anything
// is allocated), -9 when the block cannot be had.
PrimitiveStatus iirCreateSectionsState_generic(IirState** result, int32_t sections, const float* taps,
                                               const float* delayLine);

void iirArbitraryFilter_generic(IirState* state, const float* src, float* dst, int32_t len);
void iirSectionsFilter_generic(IirState* state, const float* src, float* dst, int32_t len);

// ---- SSE, SSE2 and SSE3-class builds ----------------------------------------
//
// One source (IirSimdKernels.inc) compiled once per build; the three give the
// same states and the same bits. Single precision throughout.

#define VELKARN_IIR_SIMD_KERNELS(suffix)                                                              \
    PrimitiveStatus iirCreateState##suffix(IirState** result, const float* taps, int32_t order,       \
                                           const float* delayLine);                                   \
    PrimitiveStatus iirLayOutState##suffix(void* block, IirState** result, const float* taps,         \
                                           int32_t order, const float* delayLine);                    \
    void iirLoadDelayLine##suffix(IirState* state, const float* delayLine);                           \
    PrimitiveStatus iirNormaliseTaps##suffix(IirState* state, const float* taps);                     \
    PrimitiveStatus iirCreateSectionsState##suffix(IirState** result, int32_t sections,               \
                                                   const float* taps, const float* delayLine);        \
    /* Arbitrary order: stretches, one stretch, one sample, the two block kernels. */                 \
    void iirArbitraryChunks##suffix(IirState* state, const float* src, float* dst, int32_t len);      \
    void iirArbitraryChunksInPlace##suffix(IirState* state, float* srcDst, int32_t len);              \
    void iirArbitraryBlock##suffix(IirState* state, const float* src, float* dst, int32_t len);       \
    void iirArbitraryBlockInPlace##suffix(IirState* state, float* srcDst, int32_t len);               \
    float iirArbitrarySampleKernel##suffix(const float* taps, float* delayLine, int32_t order,        \
                                           float x);                                                  \
    float iirArbitrarySample##suffix(IirState* state, float x);                                       \
    /* w[n] for n = N..len-1 into w[n - N]. */                                                        \
    void iirBlockFirKernel##suffix(const float* numeratorRows, int32_t order, const float* src,       \
                                   int32_t len, float* w);                                            \
    /* y[N..len-1] from w and y[0..N-1]. */                                                           \
    void iirBlockRecursionKernel##suffix(const float* matrix, int32_t order, const float* w, float* y, \
                                         int32_t len);                                                \
    /* Second-order sections. */                                                                      \
    void iirSectionsChunks##suffix(IirState* state, const float* src, float* dst, int32_t len);       \
    void iirSectionsChunksInPlace##suffix(IirState* state, float* srcDst, int32_t len);               \
    void iirSectionsBlock##suffix(IirState* state, const float* src, float* dst, int32_t len);        \
    void iirSectionsBlockInPlace##suffix(IirState* state, float* srcDst, int32_t len);                \
    float iirSectionsSampleKernel##suffix(const float* taps, const float* sectionVectors,             \
                                          float* delayLine, int32_t sections, float x);               \
    float iirSectionsSample##suffix(IirState* state, float x);                                        \
    /* One section's w[n] for n = 2..len-1 into w[n - 2]. */                                          \
    void iirSectionFirKernel##suffix(const float* numeratorRows, const float* src, int32_t len,       \
                                     float* w);                                                       \
    /* One section's y[2..len-1] from w and y[0], y[1]. */                                            \
    void iirSectionRecursionKernel##suffix(const float* matrix, const float* w, float* y, int32_t len);

VELKARN_IIR_SIMD_KERNELS(_sse)
VELKARN_IIR_SIMD_KERNELS(_sse2)
VELKARN_IIR_SIMD_KERNELS(_sse3)

// A section's first two outputs from its delay line (y[0], y[1] of a stretch
// of at least three samples). The SSE2 and SSE3-class builds share one.
void iirSectionStartPair_sse(const float* taps, const float* delayLine, const float* src, float* dst);
void iirSectionStartPair_sse2(const float* taps, const float* delayLine, const float* src, float* dst);

// ---- Entry bodies -------------------------------------------------------------

#define VELKARN_IIR_ENTRY_BODIES                                                                    \
    PrimitiveStatus zaviIIRInitAlloc_32f(IirState** result, const float* taps, int32_t order,       \
                                         const float* delayLine);                                   \
    PrimitiveStatus zaviIIRGetDlyLine_32f(const IirState* state, float* delayLine);                 \
    PrimitiveStatus zaviIIR_32f(const float* src, float* dst, int32_t len, IirState* state);       \
    PrimitiveStatus zaviIIR_32f_I(float* srcDst, int32_t len, IirState* state);

namespace generic {
VELKARN_IIR_ENTRY_BODIES
// Also the SSE build's body.
PrimitiveStatus zaviIIRFree_32f(IirState* state);
}  // namespace generic

namespace sse {
VELKARN_IIR_ENTRY_BODIES
}  // namespace sse

namespace sse2 {
VELKARN_IIR_ENTRY_BODIES
// Also the SSE3-class build's body.
PrimitiveStatus zaviIIRFree_32f(IirState* state);
}  // namespace sse2

namespace sse3 {
VELKARN_IIR_ENTRY_BODIES
}  // namespace sse3

#undef VELKARN_IIR_ENTRY_BODIES

}  // namespace primitives
