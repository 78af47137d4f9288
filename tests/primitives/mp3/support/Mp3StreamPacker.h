// Packs valid Layer III frames from chosen side information, scale factors
// and Huffman values, for the layouts a lame encoder never writes (intensity
// stereo, mixed blocks, chosen regions and tables, subblock gains, ...).
// Test support on the bit writer, the frame writer and the Huffman encoder.
//
// Every frame carries its own main data (main_data_begin 0) and no CRC; the
// bytes left in a frame are zero ancillary data.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "HuffmanEncoder.h"
#include "primitives.h"

namespace primitives::test {

struct PackedChannel {
    // Every field but part2_3_length and big_values, which the packer sets
    // (and table_select, when chooseTables is set). region0_count and
    // region1_count matter only without window switching.
    MP3SideInfo side{};
    // The scale factors in the order the syntax reads them, which is the
    // order of the decoder's buffer (MPEG-1 groups reused through scfsi are
    // left out).
    std::vector<int32_t> scaleFactors;
    // Huffman values in the stream's order (short blocks band by band, the
    // three windows of a band in turn).
    std::array<int32_t, 576> values{};
    // End of the quadruple area, or -1 for pairs only (big_values then covers
    // every nonzero value).
    int32_t count1End = -1;
    // Pick for each region the smallest table that codes its values.
    bool chooseTables = true;
};

struct PackedFrame {
    MP3FrameHeader header{};
    int32_t scfsi[2][4] = {};
    PackedChannel channel[2][2];  // [granule][channel]
};

class Mp3StreamPacker {
public:
    explicit Mp3StreamPacker(const HuffmanEncoder& encoder) : encoder_(encoder) {}

    // The frames' bytes. Sets part2_3_length, big_values and (when chosen)
    // table_select in the frames; throws std::invalid_argument for values the
    // syntax cannot carry or main data that does not fit its frame.
    std::vector<uint8_t> pack(std::vector<PackedFrame>& frames) const;

    // Bit widths of the scale factors the syntax reads for one granule and
    // channel, in order.
    static std::vector<int32_t> scaleFactorWidths(const MP3FrameHeader& header, const MP3SideInfo& side,
                                                  int32_t granule, int32_t channel, const int32_t* scfsi);

    // The slen values that MPEG-2's scalefac_compress gives; the intensity
    // channel (channel 1 in joint stereo with intensity) uses the other rule.
    static std::array<int32_t, 4> mpeg2Slen(int32_t scalefacCompress, bool intensityChannel, int32_t* category);

private:
    void chooseTables(PackedChannel& c, const MP3FrameHeader& header) const;

    const HuffmanEncoder& encoder_;
};

}  // namespace primitives::test
