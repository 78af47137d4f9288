// The build bodies of the Layer III entries, for the dispatch tables, the
// tests and the benchmarks. The frame-header entry has two bodies: one for
// the generic and SSE builds, one for the SSE2 and SSE3-class builds.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

#define VELKARN_MP3_BODIES                                                                                    \
    PrimitiveStatus zaviUnpackSideInfo_MP3(const uint8_t** bitstream, MP3SideInfo* sideInfo,                  \
                                           int32_t* mainDataBegin, int32_t* privateBits, int32_t* scfsi,     \
                                           const MP3FrameHeader* header);                                    \
    PrimitiveStatus zaviUnpackScaleFactors_MP3_1u8s(const uint8_t** bitstream, int32_t* bitOffset,           \
                                                    int8_t* scaleFactors, MP3SideInfo* sideInfo,             \
                                                    const int32_t* scfsi, const MP3FrameHeader* header,      \
                                                    int32_t granule, int32_t channel);                       \
    PrimitiveStatus zaviHuffmanDecode_MP3_1u32s(const uint8_t** bitstream, int32_t* bitOffset,               \
                                                int32_t* spectrum, int32_t* nonzeroBound,                    \
                                                const MP3SideInfo* sideInfo, const MP3FrameHeader* header,   \
                                                int32_t hufSize);                                            \
    /* The build's bit reader, for the tests. */                                                            \
    uint32_t mp3ReadBits(const uint8_t** bytes, int32_t* offset, int32_t n);

namespace generic {
PrimitiveStatus zaviUnpackFrameHeader_MP3(const uint8_t** bitstream, MP3FrameHeader* header);
VELKARN_MP3_BODIES
}  // namespace generic

namespace sse {
VELKARN_MP3_BODIES
}  // namespace sse

namespace sse2 {
PrimitiveStatus zaviUnpackFrameHeader_MP3(const uint8_t** bitstream, MP3FrameHeader* header);
VELKARN_MP3_BODIES
}  // namespace sse2

namespace sse3 {
VELKARN_MP3_BODIES
}  // namespace sse3

#undef VELKARN_MP3_BODIES

}  // namespace primitives
