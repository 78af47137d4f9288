// The build bodies of the Layer III signal steps (requantisation with
// stereo, inverse MDCT, synthesis), for the dispatch tables, the tests and
// the benchmarks. Each entry has four distinct bodies.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

#define VELKARN_MP3_SIGNAL_BODIES                                                                             \
    PrimitiveStatus zaviMDCTInv_MP3_32s(int32_t* spectrum, int32_t* subbandSamples, int32_t* overlap,          \
                                        int32_t nonzeroBound, int32_t* previousCount, int32_t blockType,       \
                                        int32_t mixedBlockFlag);                                               \
    PrimitiveStatus zaviSynthPQMF_MP3_32s16s(const int32_t* subbandSamples, int16_t* pcm, int32_t* history,    \
                                             int32_t* ringPosition, int32_t mode);                             \
    PrimitiveStatus zaviReQuantize_MP3_32s_I(int32_t* spectrum, int32_t* nonzeroBounds,                        \
                                             const int8_t* scaleFactors, const MP3SideInfo* sideInfo,          \
                                             const MP3FrameHeader* header, int32_t* workBuffer);               \
    /* The build's band routine, for the tests. */                                                           \
    PrimitiveStatus requantizeBand(const int32_t* src, int32_t* dst, int32_t count, int32_t exponent);

namespace generic {
VELKARN_MP3_SIGNAL_BODIES
}  // namespace generic
namespace sse {
VELKARN_MP3_SIGNAL_BODIES
}  // namespace sse
namespace sse2 {
VELKARN_MP3_SIGNAL_BODIES
}  // namespace sse2
namespace sse3 {
VELKARN_MP3_SIGNAL_BODIES
}  // namespace sse3

#undef VELKARN_MP3_SIGNAL_BODIES

}  // namespace primitives
