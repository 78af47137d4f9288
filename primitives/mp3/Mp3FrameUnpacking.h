// Frame header, side information and scale factors: one algorithm, compiled
// into each build by Mp3Builds.cpp.
#pragma once

#include <cstdint>

#include "primitives.h"
#include "primitives/mp3/Mp3BitCursor.h"
#include "primitives/mp3/Mp3Tables.h"

namespace primitives::mp3 {

inline constexpr int32_t kScaleFactorCount = 40;

[[gnu::always_inline]] inline PrimitiveStatus unpackFrameHeader(const uint8_t** bitstream, MP3FrameHeader* header) {
    if (bitstream == nullptr || header == nullptr || *bitstream == nullptr) return primitiveStatusNullPointer;
    const uint8_t* b = *bitstream;
    header->id = b[1] >> 3 & 1;
    header->layer = b[1] >> 1 & 3;
    header->protection_bit = b[1] & 1;
    header->bitrate_index = b[2] >> 4;
    header->sampling_frequency = b[2] >> 2 & 3;
    header->padding_bit = b[2] >> 1 & 1;
    header->private_bit = b[2] & 1;
    header->mode = b[3] >> 6;
    header->mode_extension = b[3] >> 4 & 3;
    header->copyright = b[3] >> 3 & 1;
    header->original_copy = b[3] >> 2 & 1;
    header->emphasis = b[3] & 3;
    if (header->protection_bit == 0) {
        // The CRC word is kept with its first byte as the low byte; nothing
        // checks it.
        header->crc_check = b[4] + 256 * b[5];
        *bitstream = b + 6;
    } else {
        *bitstream = b + 4;
    }
    return primitiveStatusOk;
}

// The group of 22 bits after global_gain..window_switching_flag, with the
// region counts that a switched granule implies. Returns -170 for a switched
// granule with block_type 0, after storing the group's fields.
[[gnu::always_inline]] inline PrimitiveStatus unpackBlockFields(const uint8_t*& bytes, int32_t& offset,
                                                                MP3SideInfo& record) {
    const uint32_t group = readBits(bytes, offset, 22);
    if (record.window_switching_flag == 0) {
        record.table_select[0] = static_cast<int32_t>(group >> 17);
        record.table_select[1] = static_cast<int32_t>(group >> 12 & 31);
        record.table_select[2] = static_cast<int32_t>(group >> 7 & 31);
        record.region0_count = static_cast<int32_t>(group >> 3 & 15);
        record.region1_count = static_cast<int32_t>(group & 7);
        record.block_type = 0;
        record.mixed_block_flag = 0;
        return primitiveStatusOk;
    }
    record.block_type = static_cast<int32_t>(group >> 20);
    record.mixed_block_flag = static_cast<int32_t>(group >> 19 & 1);
    record.table_select[0] = static_cast<int32_t>(group >> 14 & 31);
    record.table_select[1] = static_cast<int32_t>(group >> 9 & 31);
    record.subblock_gain[0] = static_cast<int32_t>(group >> 6 & 7);
    record.subblock_gain[1] = static_cast<int32_t>(group >> 3 & 7);
    record.subblock_gain[2] = static_cast<int32_t>(group & 7);
    if (record.block_type == 0) return primitiveStatusBadMp3SideInfo;
    record.region0_count = record.block_type == 2 && record.mixed_block_flag == 0 ? 8 : 7;
    record.region1_count = 20 - record.region0_count;
    return primitiveStatusOk;
}

[[gnu::always_inline]] inline PrimitiveStatus unpackSideInfo(const uint8_t** bitstream, MP3SideInfo* sideInfo,
                                                             int32_t* mainDataBegin, int32_t* privateBits,
                                                             int32_t* scfsi, const MP3FrameHeader* header) {
    if (bitstream == nullptr || sideInfo == nullptr || mainDataBegin == nullptr || privateBits == nullptr ||
        scfsi == nullptr || header == nullptr || *bitstream == nullptr) {
        return primitiveStatusNullPointer;
    }
    if ((header->id != 0 && header->id != 1) || header->layer != 1 || header->mode < 0 || header->mode > 3) {
        return primitiveStatusBadMp3FrameHeader;
    }
    const int32_t channels = header->mode == 3 ? 1 : 2;
    const uint8_t* bytes = *bitstream;
    int32_t offset = 0;
    PrimitiveStatus status = primitiveStatusOk;

    if (header->id == 1) {
        *mainDataBegin = static_cast<int32_t>(readBits(bytes, offset, 9));
        *privateBits = static_cast<int32_t>(readBits(bytes, offset, channels == 1 ? 5 : 3));
        for (int32_t ch = 0; ch < channels; ++ch) {
            for (int32_t band = 0; band < 4; ++band) scfsi[ch * 4 + band] = static_cast<int32_t>(readBits(bytes, offset, 1));
        }
        for (int32_t gr = 0; gr < 2 && status == primitiveStatusOk; ++gr) {
            for (int32_t ch = 0; ch < channels; ++ch) {
                MP3SideInfo& record = sideInfo[gr * channels + ch];
                record.part2_3_length = static_cast<int32_t>(readBits(bytes, offset, 12));
                const uint32_t group = readBits(bytes, offset, 22);
                record.big_values = static_cast<int32_t>(group >> 13);
                record.global_gain = static_cast<int32_t>(group >> 5 & 255);
                record.scalefac_compress = static_cast<int32_t>(group >> 1 & 15);
                record.window_switching_flag = static_cast<int32_t>(group & 1);
                status = unpackBlockFields(bytes, offset, record);
                if (status != primitiveStatusOk) break;
                const uint32_t flags = readBits(bytes, offset, 3);
                record.preflag = static_cast<int32_t>(flags >> 2);
                record.scalefac_scale = static_cast<int32_t>(flags >> 1 & 1);
                record.count1table_select = static_cast<int32_t>(flags & 1);
            }
        }
    } else {
        *mainDataBegin = static_cast<int32_t>(readBits(bytes, offset, 8));
        *privateBits = static_cast<int32_t>(readBits(bytes, offset, channels == 1 ? 1 : 2));
        for (int32_t ch = 0; ch < channels; ++ch) {
            MP3SideInfo& record = sideInfo[ch];
            record.part2_3_length = static_cast<int32_t>(readBits(bytes, offset, 12));
            record.big_values = static_cast<int32_t>(readBits(bytes, offset, 9));
            const uint32_t group = readBits(bytes, offset, 18);
            record.global_gain = static_cast<int32_t>(group >> 10);
            record.scalefac_compress = static_cast<int32_t>(group >> 1 & 511);
            record.window_switching_flag = static_cast<int32_t>(group & 1);
            status = unpackBlockFields(bytes, offset, record);
            if (status != primitiveStatusOk) break;
            // preflag is set by the scale-factor step.
            const uint32_t flags = readBits(bytes, offset, 2);
            record.scalefac_scale = static_cast<int32_t>(flags >> 1);
            record.count1table_select = static_cast<int32_t>(flags & 1);
        }
    }
    *bitstream = bytes;
    return status;
}

// Reads `count` values of `width` bits into sf[0..count).
[[gnu::always_inline]] inline void readScaleFactors(const uint8_t*& bytes, int32_t& offset, int8_t* sf,
                                                    int32_t count, int32_t width) {
    for (int32_t i = 0; i < count; ++i) sf[i] = static_cast<int8_t>(readBits(bytes, offset, width));
}

[[gnu::always_inline]] inline PrimitiveStatus unpackScaleFactors(const uint8_t** bitstream, int32_t* bitOffset,
                                                                 int8_t* sf, MP3SideInfo* sideInfo,
                                                                 const int32_t* scfsi, const MP3FrameHeader* header,
                                                                 int32_t granule, int32_t channel) {
    if (bitstream == nullptr || bitOffset == nullptr || sf == nullptr || sideInfo == nullptr || scfsi == nullptr ||
        header == nullptr || *bitstream == nullptr) {
        return primitiveStatusNullPointer;
    }
    if (*bitOffset < 0 || *bitOffset > 7 || granule < 0 || granule > 1 || channel < 0 || channel > 1) {
        return primitiveStatusBadArgument;
    }
    const uint8_t* bytes = *bitstream;
    int32_t offset = *bitOffset;
    const int32_t blockType = sideInfo->block_type;
    const int32_t compress = sideInfo->scalefac_compress;

    if (header->id == 1) {
        if (compress < 0 || compress > 15) return primitiveStatusBadMp3SideInfo;
        const int32_t slen1 = kSlen[0][compress];
        const int32_t slen2 = kSlen[1][compress];
        sf[21] = 0;
        if (blockType == 2 && sideInfo->mixed_block_flag != 0) {
            readScaleFactors(bytes, offset, sf, 8 + 9, slen1);  // long bands 0-7, short bands 3-5
            readScaleFactors(bytes, offset, sf + 17, 18, slen2);  // short bands 6-11
            sf[35] = sf[36] = sf[37] = 0;
        } else if (blockType == 2) {
            readScaleFactors(bytes, offset, sf, 18, slen1);  // short bands 0-5
            readScaleFactors(bytes, offset, sf + 18, 18, slen2);  // short bands 6-11
            sf[36] = sf[37] = sf[38] = 0;
        } else {
            static constexpr int32_t kGroupStart[5] = {0, 6, 11, 16, 21};
            for (int32_t group = 0; group < 4; ++group) {
                if (granule != 0 && scfsi[group] != 0) continue;  // kept from granule 0
                readScaleFactors(bytes, offset, sf + kGroupStart[group], kGroupStart[group + 1] - kGroupStart[group],
                                 group < 2 ? slen1 : slen2);
            }
        }
    } else {
        if (compress < 0 || compress > 511) return primitiveStatusBadMp3SideInfo;
        if (header->mode_extension < 0 || header->mode_extension > 3) return primitiveStatusBadMp3FrameHeader;
        int32_t blockKind = 0;  // long
        if (blockType == 2) {
            sideInfo->mixed_block_flag &= 1;
            blockKind = sideInfo->mixed_block_flag == 0 ? 1 : 2;
        }
        // Intensity stereo only exists in joint stereo; in other modes
        // mode_extension carries no meaning and channel 1 has the ordinary
        // syntax.
        const bool intensityChannel = channel == 1 && header->mode == 1 && (header->mode_extension & 1) != 0;
        int32_t slen[4];
        int32_t category;
        int32_t preflag = 0;
        if (!intensityChannel) {
            if (compress < 400) {
                slen[0] = (compress >> 4) / 5;
                slen[1] = (compress >> 4) % 5;
                slen[2] = (compress >> 2) & 3;
                slen[3] = compress & 3;
                category = 0;
            } else if (compress < 500) {
                const int32_t t = (compress - 400) >> 2;
                slen[0] = t / 5;
                slen[1] = t % 5;
                slen[2] = (compress - 400) & 3;
                slen[3] = 0;
                category = 1;
            } else {
                const int32_t t = compress - 500;
                slen[0] = t / 3;
                slen[1] = t % 3;
                slen[2] = slen[3] = 0;
                preflag = 1;
                category = 2;
            }
        } else {
            const int32_t h = compress >> 1;
            if (h < 180) {
                slen[0] = h / 36;
                slen[1] = (h % 36) / 6;
                slen[2] = (h % 36) % 6;
                slen[3] = 0;
                category = 3;
            } else if (h < 244) {
                const int32_t t = h - 180;
                slen[0] = t >> 4;
                slen[1] = (t & 15) >> 2;
                slen[2] = t & 3;
                slen[3] = 0;
                category = 4;
            } else {
                const int32_t t = h - 244;
                slen[0] = t / 3;
                slen[1] = t % 3;
                slen[2] = slen[3] = 0;
                category = 5;
            }
        }
        sideInfo->preflag = preflag;
        int32_t place = 0;
        for (int32_t part = 0; part < 4; ++part) {
            const int32_t count = kScaleFactorPartition[category][blockKind][part];
            readScaleFactors(bytes, offset, sf + place, count, slen[part]);
            if (intensityChannel && slen[part] != 0) {
                // The largest value of a part marks an illegal intensity
                // position; it is kept as its negation.
                const int32_t largest = (1 << slen[part]) - 1;
                for (int32_t i = place; i < place + count; ++i) {
                    if (sf[i] == largest) sf[i] = static_cast<int8_t>(-largest);
                }
            }
            place += count;
        }
        sf[place] = sf[place + 1] = sf[place + 2] = 0;
    }
    *bitstream = bytes;
    *bitOffset = offset;
    return primitiveStatusOk;
}

}  // namespace primitives::mp3
