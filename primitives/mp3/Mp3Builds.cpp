// The four builds of the Layer III entries. Each algorithm is written once
// (Mp3FrameUnpacking.h, Mp3HuffmanDecoding.h) and inlined here into bodies
// compiled for each build's instruction set; they differ only in the
// instructions the compiler picks and in the byte zero kernel they call, so
// all four give the same results bit for bit.
#include "primitives/mp3/Mp3Bodies.h"

#include "primitives/mp3/Mp3FrameUnpacking.h"
#include "primitives/mp3/Mp3HuffmanDecoding.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {

#define VELKARN_MP3_BUILD(build, targetAttribute, zeroKernel)                                                  \
    namespace build {                                                                                          \
    struct Kernels {                                                                                           \
        static void zeroBytes(void* dst, int32_t bytes) { zeroKernel(dst, bytes); }                           \
    };                                                                                                         \
    targetAttribute PrimitiveStatus zaviUnpackSideInfo_MP3(const uint8_t** bitstream, MP3SideInfo* sideInfo,   \
                                                           int32_t* mainDataBegin, int32_t* privateBits,       \
                                                           int32_t* scfsi, const MP3FrameHeader* header) {     \
        return mp3::unpackSideInfo(bitstream, sideInfo, mainDataBegin, privateBits, scfsi, header);            \
    }                                                                                                          \
    targetAttribute PrimitiveStatus zaviUnpackScaleFactors_MP3_1u8s(                                           \
        const uint8_t** bitstream, int32_t* bitOffset, int8_t* scaleFactors, MP3SideInfo* sideInfo,            \
        const int32_t* scfsi, const MP3FrameHeader* header, int32_t granule, int32_t channel) {                \
        return mp3::unpackScaleFactors(bitstream, bitOffset, scaleFactors, sideInfo, scfsi, header, granule,   \
                                       channel);                                                               \
    }                                                                                                          \
    targetAttribute PrimitiveStatus zaviHuffmanDecode_MP3_1u32s(                                               \
        const uint8_t** bitstream, int32_t* bitOffset, int32_t* spectrum, int32_t* nonzeroBound,               \
        const MP3SideInfo* sideInfo, const MP3FrameHeader* header, int32_t hufSize) {                          \
        return mp3::huffmanDecode<Kernels>(bitstream, bitOffset, spectrum, nonzeroBound, sideInfo, header,     \
                                           hufSize);                                                           \
    }                                                                                                          \
    targetAttribute uint32_t mp3ReadBits(const uint8_t** bytes, int32_t* offset, int32_t n) {                  \
        return mp3::readBits(*bytes, *offset, n);                                                              \
    }                                                                                                          \
    }

VELKARN_MP3_BUILD(generic, , zeroBytesKernel_generic)
VELKARN_MP3_BUILD(sse, __attribute__((target("sse"))), zeroBytesKernel_sse)
VELKARN_MP3_BUILD(sse2, __attribute__((target("sse2"))), zeroBytesKernel_sse2)
VELKARN_MP3_BUILD(sse3, __attribute__((target("sse3"))), zeroBytesKernel_sse3)

#undef VELKARN_MP3_BUILD

// The header has one body for the two older builds and one for the two
// newer ones.
namespace generic {
PrimitiveStatus zaviUnpackFrameHeader_MP3(const uint8_t** bitstream, MP3FrameHeader* header) {
    return mp3::unpackFrameHeader(bitstream, header);
}
}  // namespace generic

namespace sse2 {
__attribute__((target("sse2"))) PrimitiveStatus zaviUnpackFrameHeader_MP3(const uint8_t** bitstream,
                                                                          MP3FrameHeader* header) {
    return mp3::unpackFrameHeader(bitstream, header);
}
}  // namespace sse2

}  // namespace primitives
