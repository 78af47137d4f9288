// The first Layer III decoding steps on one frame's bytes: header, side
// information, then per granule and channel the scale factors and the
// Huffman data, the main data following the side information. With the
// first byte odd, the side information read is replaced by fields drawn
// from the input within each field's width, so that combinations a stream
// cannot carry reach the scale-factor and Huffman steps too.
//
// The main data buffer is sized as callers must size it: the bits the
// part2_3_length values declare (zero-filled past the input) plus 2 KiB of
// zero bytes, allocated exactly, so that reading further is caught.
#include "FuzzSupport.h"

#include "primitives.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

std::int32_t field(fuzz::Cursor& cursor, int bits) {
    return static_cast<std::int32_t>(cursor.u32() & ((1u << bits) - 1u));
}

void drawSideInfo(fuzz::Cursor& cursor, MP3SideInfo& info, bool mpeg1) {
    info.part2_3_length = field(cursor, 12);
    info.big_values = field(cursor, 9);
    info.global_gain = field(cursor, 8);
    info.scalefac_compress = field(cursor, mpeg1 ? 4 : 9);
    info.window_switching_flag = field(cursor, 1);
    info.block_type = field(cursor, 2);
    info.mixed_block_flag = field(cursor, 1);
    for (std::int32_t& table : info.table_select) table = field(cursor, 5);
    for (std::int32_t& gain : info.subblock_gain) gain = field(cursor, 3);
    info.region0_count = field(cursor, 4);
    info.region1_count = field(cursor, 3);
    info.preflag = field(cursor, 1);
    info.scalefac_scale = field(cursor, 1);
    info.count1table_select = field(cursor, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool randomSideInfo = (data[0] & 1) != 0;
    fuzz::Cursor cursor(data + 1, size - 1);

    // Header and side information from a copy of at most 6 + 32 bytes.
    const std::size_t frontBytes = std::min<std::size_t>(cursor.restSize(), 38);
    // The side information may look at up to four bytes past its last bit.
    std::unique_ptr<std::uint8_t[]> front(new std::uint8_t[38 + 4]());
    std::memcpy(front.get(), cursor.rest(), frontBytes);
    const std::uint8_t* at = front.get();
    MP3FrameHeader header{};
    if (zaviUnpackFrameHeader_MP3(&at, &header) != primitiveStatusOk) fuzz::fail("header unpacking refused a buffer");
    fuzz::check(at == front.get() + (header.protection_bit == 0 ? 6 : 4), "header unpacking moved wrongly");

    MP3SideInfo sideInfo[4] = {};
    std::int32_t mainDataBegin = 0, privateBits = 0;
    std::int32_t scfsi[8] = {};
    const PrimitiveStatus sideStatus =
        zaviUnpackSideInfo_MP3(&at, sideInfo, &mainDataBegin, &privateBits, scfsi, &header);
    fuzz::check(at <= front.get() + 38, "side information read past its longest size");
    if (sideStatus == primitiveStatusBadMp3FrameHeader) return 0;
    const bool mpeg1 = header.id == 1;
    const int granules = mpeg1 ? 2 : 1;
    const int channels = header.mode == 3 ? 1 : 2;
    for (std::size_t i = 0; i < frontBytes; ++i) cursor.byte();
    if (randomSideInfo) {
        for (int i = 0; i < granules * channels; ++i) drawSideInfo(cursor, sideInfo[i], mpeg1);
        for (std::int32_t& flag : scfsi) flag = field(cursor, 1);
    } else if (sideStatus != primitiveStatusOk) {
        return 0;
    }

    std::size_t declaredBits = 0;
    for (int i = 0; i < granules * channels; ++i) declaredBits += static_cast<std::size_t>(sideInfo[i].part2_3_length);
    const std::size_t mainBytes = std::max(cursor.restSize(), (declaredBits + 7) / 8) + 2048;
    std::unique_ptr<std::uint8_t[]> main(new std::uint8_t[mainBytes]());
    std::memcpy(main.get(), cursor.rest(), cursor.restSize());

    std::int8_t scaleFactors[2][40] = {};
    std::int32_t spectrum[576];
    std::size_t bitsBefore = 0;
    int decoded = 0;
    for (int granule = 0; granule < granules; ++granule) {
        for (int channel = 0; channel < channels; ++channel) {
            MP3SideInfo& info = sideInfo[granule * channels + channel];
            const std::uint8_t* position = main.get() + bitsBefore / 8;
            std::int32_t bitOffset = static_cast<std::int32_t>(bitsBefore % 8);
            const std::size_t start = bitsBefore;
            bitsBefore += static_cast<std::size_t>(info.part2_3_length);
            if (zaviUnpackScaleFactors_MP3_1u8s(&position, &bitOffset, scaleFactors[channel], &info, scfsi + 4 * channel,
                                                &header, granule, channel) != primitiveStatusOk)
                continue;
            const std::size_t afterScaleFactors = static_cast<std::size_t>(position - main.get()) * 8 +
                                                  static_cast<std::size_t>(bitOffset);
            fuzz::check(afterScaleFactors >= start && bitOffset >= 0 && bitOffset < 8, "scale factors moved wrongly");
            const std::int64_t hufSize = static_cast<std::int64_t>(start) + info.part2_3_length -
                                         static_cast<std::int64_t>(afterScaleFactors);
            if (hufSize < 0) continue;
            std::int32_t bound = -1;
            std::fill(std::begin(spectrum), std::end(spectrum), 0x7eadbeef);
            const PrimitiveStatus status = zaviHuffmanDecode_MP3_1u32s(&position, &bitOffset, spectrum, &bound, &info,
                                                                       &header, static_cast<std::int32_t>(hufSize));
            if (status != primitiveStatusOk) continue;
            const std::size_t after = static_cast<std::size_t>(position - main.get()) * 8 + static_cast<std::size_t>(bitOffset);
            fuzz::check(after == afterScaleFactors + static_cast<std::size_t>(hufSize),
                        "Huffman decoding did not end after its bits");
            fuzz::check(bound >= 0 && bound <= 576, "nonzero bound out of range");
            for (int i = bound; i < 576; ++i) fuzz::check(spectrum[i] == 0, "a value past the nonzero bound is not zero");
            ++decoded;
        }
    }
    if (decoded == granules * channels) fuzz::noteAccepted();
    return 0;
}
