#include "Mp3StreamPacker.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "BitWriter.h"
#include "Mp3FrameWalker.h"
#include "Mp3FrameWriter.h"

namespace primitives::test {
namespace {

constexpr int32_t kSlen1[16] = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
constexpr int32_t kSlen2[16] = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};
constexpr int32_t kPartition[6][3][4] = {
    {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},     {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
    {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}}, {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
    {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},   {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}},
};
// Tables in order of the largest value they code.
constexpr int32_t kTableLadder[] = {1, 2, 5, 7, 13, 16, 17, 18, 19, 24, 20, 25, 26, 27, 21, 28, 29, 22, 30, 23};

bool intensityChannel(const MP3FrameHeader& header, int32_t channel) {
    return channel == 1 && header.mode == 1 && (header.mode_extension & 1) != 0;
}

}  // namespace

std::array<int32_t, 4> Mp3StreamPacker::mpeg2Slen(int32_t s, bool intensity, int32_t* category) {
    if (!intensity) {
        if (s < 400) {
            *category = 0;
            return {(s >> 4) / 5, (s >> 4) % 5, (s >> 2) & 3, s & 3};
        }
        if (s < 500) {
            *category = 1;
            const int32_t t = (s - 400) >> 2;
            return {t / 5, t % 5, (s - 400) & 3, 0};
        }
        *category = 2;
        return {(s - 500) / 3, (s - 500) % 3, 0, 0};
    }
    const int32_t h = s >> 1;
    if (h < 180) {
        *category = 3;
        return {h / 36, (h % 36) / 6, (h % 36) % 6, 0};
    }
    if (h < 244) {
        *category = 4;
        const int32_t t = h - 180;
        return {t >> 4, (t & 15) >> 2, t & 3, 0};
    }
    *category = 5;
    return {(h - 244) / 3, (h - 244) % 3, 0, 0};
}

std::vector<int32_t> Mp3StreamPacker::scaleFactorWidths(const MP3FrameHeader& header, const MP3SideInfo& side,
                                                        int32_t granule, int32_t channel, const int32_t* scfsi) {
    std::vector<int32_t> widths;
    const auto add = [&](int32_t count, int32_t width) { widths.insert(widths.end(), count, width); };
    if (header.id == 1) {
        const int32_t slen1 = kSlen1[side.scalefac_compress];
        const int32_t slen2 = kSlen2[side.scalefac_compress];
        if (side.block_type == 2 && side.mixed_block_flag != 0) {
            add(17, slen1);
            add(18, slen2);
        } else if (side.block_type == 2) {
            add(18, slen1);
            add(18, slen2);
        } else {
            const int32_t groups[4][2] = {{6, slen1}, {5, slen1}, {5, slen2}, {5, slen2}};
            for (int32_t g = 0; g < 4; ++g) {
                if (granule == 0 || scfsi[g] == 0) add(groups[g][0], groups[g][1]);
            }
        }
        return widths;
    }
    int32_t category = 0;
    const auto slen = mpeg2Slen(side.scalefac_compress, intensityChannel(header, channel), &category);
    const int32_t kind = side.block_type != 2 ? 0 : ((side.mixed_block_flag & 1) != 0 ? 2 : 1);
    for (int32_t k = 0; k < 4; ++k) add(kPartition[category][kind][k], slen[k]);
    return widths;
}

void Mp3StreamPacker::chooseTables(PackedChannel& c, const MP3FrameHeader& header) const {
    const auto ends = encoder_.regionEnds(c.side, header);
    int32_t begin = 0;
    for (int32_t region = 0; region < 3; ++region) {
        int32_t largest = 0;
        for (int32_t i = begin; i < ends[region]; ++i) largest = std::max(largest, std::abs(c.values[i]));
        begin = ends[region];
        int32_t table = 0;
        if (largest > 0) {
            table = -1;
            for (int32_t candidate : kTableLadder) {
                if (encoder_.largestValue(candidate) >= largest) {
                    table = candidate;
                    break;
                }
            }
            if (table < 0) throw std::invalid_argument("value too large for any table");
        }
        c.side.table_select[region] = table;
    }
}

std::vector<uint8_t> Mp3StreamPacker::pack(std::vector<PackedFrame>& frames) const {
    std::vector<uint8_t> stream;
    for (PackedFrame& frame : frames) {
        MP3FrameHeader& header = frame.header;
        header.layer = 1;
        header.protection_bit = 1;
        const int32_t granules = header.id == 1 ? 2 : 1;
        const int32_t channels = header.mode == 3 ? 1 : 2;

        BitWriter mainData;
        MP3SideInfo records[4];
        for (int32_t gr = 0; gr < granules; ++gr) {
            for (int32_t ch = 0; ch < channels; ++ch) {
                PackedChannel& c = frame.channel[gr][ch];
                int32_t last = 576;
                while (last > 0 && c.values[last - 1] == 0) --last;
                if (c.count1End < 0) c.side.big_values = (last + 1) / 2;
                if (c.side.big_values > 288) throw std::invalid_argument("big_values above 288");
                if (c.chooseTables) chooseTables(c, header);

                BitWriter part;
                const auto widths = scaleFactorWidths(header, c.side, gr, ch, frame.scfsi[ch]);
                if (widths.size() != c.scaleFactors.size()) {
                    throw std::invalid_argument("expected " + std::to_string(widths.size()) + " scale factors, got " +
                                                std::to_string(c.scaleFactors.size()));
                }
                for (std::size_t i = 0; i < widths.size(); ++i) {
                    if (c.scaleFactors[i] < 0 || c.scaleFactors[i] >= (1 << widths[i])) {
                        throw std::invalid_argument("scale factor " + std::to_string(i) + " does not fit its width");
                    }
                    part.put(static_cast<uint32_t>(c.scaleFactors[i]), widths[i]);
                }
                const int32_t count1End = c.count1End < 0 ? 2 * c.side.big_values : c.count1End;
                encoder_.writeSpectrum(part, c.side, header, c.values.data(), count1End);
                c.side.part2_3_length = static_cast<int32_t>(part.bitCount());
                records[gr * channels + ch] = c.side;
                const auto& bytes = part.bytes();
                const int64_t bits = part.bitCount();
                for (int64_t b = 0; b < bits; ++b) {
                    mainData.put((bytes[static_cast<std::size_t>(b / 8)] >> (7 - b % 8)) & 1u, 1);
                }
            }
        }

        BitWriter out;
        writeFrameHeader(out, header);
        int32_t scfsi[8];
        for (int32_t i = 0; i < 8; ++i) scfsi[i] = frame.scfsi[i / 4][i % 4];
        writeSideInfo(out, header, records, 0, 0, scfsi);
        const int32_t frameBytes = Mp3FrameWalker::frameLength(header);
        const auto room = frameBytes - static_cast<int32_t>(out.bytes().size());
        mainData.alignToByte();
        if (static_cast<int32_t>(mainData.bytes().size()) > room) throw std::invalid_argument("main data too long");
        stream.insert(stream.end(), out.bytes().begin(), out.bytes().end());
        stream.insert(stream.end(), mainData.bytes().begin(), mainData.bytes().end());
        stream.resize(stream.size() + static_cast<std::size_t>(room) - mainData.bytes().size(), 0);
    }
    return stream;
}

}  // namespace primitives::test
