#include "Mp3FrameWriter.h"

namespace primitives::test {

namespace {

uint32_t field(int32_t value) { return static_cast<uint32_t>(value); }

void writeBlockFields(BitWriter& out, const MP3SideInfo& r) {
    if (r.window_switching_flag == 0) {
        for (int32_t t = 0; t < 3; ++t) out.put(field(r.table_select[t]), 5);
        out.put(field(r.region0_count), 4);
        out.put(field(r.region1_count), 3);
    } else {
        out.put(field(r.block_type), 2);
        out.put(field(r.mixed_block_flag), 1);
        for (int32_t t = 0; t < 2; ++t) out.put(field(r.table_select[t]), 5);
        for (int32_t g = 0; g < 3; ++g) out.put(field(r.subblock_gain[g]), 3);
    }
}

}  // namespace

void writeFrameHeader(BitWriter& out, const MP3FrameHeader& h) {
    out.put(0x7FF, 11);
    out.put(0x2 | field(h.id), 2);  // MPEG-1 or MPEG-2 (the bit MPEG-2.5 clears is 1)
    out.put(field(h.layer), 2);
    out.put(field(h.protection_bit), 1);
    out.put(field(h.bitrate_index), 4);
    out.put(field(h.sampling_frequency), 2);
    out.put(field(h.padding_bit), 1);
    out.put(field(h.private_bit), 1);
    out.put(field(h.mode), 2);
    out.put(field(h.mode_extension), 2);
    out.put(field(h.copyright), 1);
    out.put(field(h.original_copy), 1);
    out.put(field(h.emphasis), 2);
    if (h.protection_bit == 0) {
        out.put(field(h.crc_check) & 0xFF, 8);
        out.put(field(h.crc_check) >> 8 & 0xFF, 8);
    }
}

int32_t sideInfoBytes(const MP3FrameHeader& header) {
    const bool mono = header.mode == 3;
    if (header.id == 1) return mono ? 17 : 32;
    return mono ? 9 : 17;
}

void writeSideInfo(BitWriter& out, const MP3FrameHeader& header, const MP3SideInfo* records, int32_t mainDataBegin,
                   int32_t privateBits, const int32_t* scfsi) {
    const int32_t channels = header.mode == 3 ? 1 : 2;
    if (header.id == 1) {
        out.put(field(mainDataBegin), 9);
        out.put(field(privateBits), channels == 1 ? 5 : 3);
        for (int32_t i = 0; i < 4 * channels; ++i) out.put(field(scfsi[i]), 1);
        for (int32_t i = 0; i < 2 * channels; ++i) {
            const MP3SideInfo& r = records[i];
            out.put(field(r.part2_3_length), 12);
            out.put(field(r.big_values), 9);
            out.put(field(r.global_gain), 8);
            out.put(field(r.scalefac_compress), 4);
            out.put(field(r.window_switching_flag), 1);
            writeBlockFields(out, r);
            out.put(field(r.preflag), 1);
            out.put(field(r.scalefac_scale), 1);
            out.put(field(r.count1table_select), 1);
        }
    } else {
        out.put(field(mainDataBegin), 8);
        out.put(field(privateBits), channels == 1 ? 1 : 2);
        for (int32_t i = 0; i < channels; ++i) {
            const MP3SideInfo& r = records[i];
            out.put(field(r.part2_3_length), 12);
            out.put(field(r.big_values), 9);
            out.put(field(r.global_gain), 8);
            out.put(field(r.scalefac_compress), 9);
            out.put(field(r.window_switching_flag), 1);
            writeBlockFields(out, r);
            out.put(field(r.scalefac_scale), 1);
            out.put(field(r.count1table_select), 1);
        }
    }
}

}  // namespace primitives::test
