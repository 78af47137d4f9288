#include "HuffmanEncoder.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace primitives::test {

namespace {
bool hasNoCodes(int32_t table) { return table == 0 || table == 4 || table == 14; }
}  // namespace

HuffmanEncoder::HuffmanEncoder(const std::string& dataDirectory)
    : huffman_(mp3gen::readHuffmanData(dataDirectory + "/huffman.txt")),
      bands_(mp3gen::readBandData(dataDirectory + "/sfb_bands.txt")) {}

int32_t HuffmanEncoder::largestValue(int32_t table) const {
    const mp3gen::PairTable& t = huffman_.pairTables.at(static_cast<std::size_t>(table));
    if (t.dimension == 0) return 0;
    return t.linbits == 0 ? t.dimension - 1 : 15 + (1 << t.linbits) - 1;
}

int32_t HuffmanEncoder::writePair(BitWriter& out, int32_t table, int32_t x, int32_t y) const {
    if (table < 1 || table > 31 || hasNoCodes(table)) throw std::invalid_argument("table without codes");
    const mp3gen::PairTable& t = huffman_.pairTables[static_cast<std::size_t>(table)];
    const mp3gen::PairTable& codes = huffman_.pairTables[static_cast<std::size_t>(t.codesOf)];
    const int32_t ax = std::abs(x);
    const int32_t ay = std::abs(y);
    if (ax > largestValue(table) || ay > largestValue(table)) throw std::invalid_argument("value out of range");
    const int32_t cx = std::min(ax, 15);
    const int32_t cy = std::min(ay, 15);
    const mp3gen::PairCode& code = codes.codes[static_cast<std::size_t>(cx * codes.dimension + cy)];
    const int64_t before = out.bitCount();
    out.put(code.bits, code.length);
    const auto tail = [&](int32_t value, int32_t clipped, int32_t magnitude) {
        if (t.linbits != 0 && clipped == 15) out.put(static_cast<uint32_t>(magnitude - 15), t.linbits);
        if (value != 0) out.put(value < 0 ? 1 : 0, 1);
    };
    tail(x, cx, ax);
    tail(y, cy, ay);
    return static_cast<int32_t>(out.bitCount() - before);
}

int32_t HuffmanEncoder::writeQuad(BitWriter& out, int32_t count1Table, int32_t v, int32_t w, int32_t x,
                                  int32_t y) const {
    const int32_t values[4] = {v, w, x, y};
    int32_t index = 0;
    for (int32_t value : values) {
        if (value < -1 || value > 1) throw std::invalid_argument("count1 values are -1..1");
        index = index << 1 | (value != 0);
    }
    const auto& table = count1Table == 0 ? huffman_.count1A : huffman_.count1B;
    const mp3gen::QuadCode& code = table[static_cast<std::size_t>(index)];
    const int64_t before = out.bitCount();
    out.put(code.bits, code.length);
    for (int32_t value : values) {
        if (value != 0) out.put(value < 0 ? 1 : 0, 1);
    }
    return static_cast<int32_t>(out.bitCount() - before);
}

std::array<int32_t, 3> HuffmanEncoder::regionEnds(const MP3SideInfo& si, const MP3FrameHeader& header) const {
    const int32_t n = 2 * si.big_values;
    if (si.window_switching_flag != 0) {
        const int32_t first = header.id == 1 || si.block_type == 2 ? 36 : 54;
        return {std::min(first, n), n, n};
    }
    const auto& bounds = bands_.longRows.at(static_cast<std::size_t>(header.id * 3 + header.sampling_frequency)).bounds;
    return {std::min(bounds.at(static_cast<std::size_t>(si.region0_count + 1)), n),
            std::min(bounds.at(static_cast<std::size_t>(si.region0_count + si.region1_count + 2)), n), n};
}

int32_t HuffmanEncoder::writeSpectrum(BitWriter& out, const MP3SideInfo& si, const MP3FrameHeader& header,
                                      const int32_t* values, int32_t count1End) const {
    const int64_t before = out.bitCount();
    const auto ends = regionEnds(si, header);
    const int32_t regions = si.window_switching_flag != 0 ? 2 : 3;
    int32_t i = 0;
    for (int32_t region = 0; region < regions; ++region) {
        const int32_t table = si.table_select[region];
        for (; i < ends[static_cast<std::size_t>(region)]; i += 2) {
            if (hasNoCodes(table)) {
                if (values[i] != 0 || values[i + 1] != 0) throw std::invalid_argument("nonzero value in a zero region");
            } else {
                writePair(out, table, values[i], values[i + 1]);
            }
        }
    }
    if ((count1End - i) % 4 != 0 || count1End > 576) throw std::invalid_argument("count1 area is not whole quadruples");
    for (; i < count1End; i += 4) {
        writeQuad(out, si.count1table_select, values[i], values[i + 1], values[i + 2], values[i + 3]);
    }
    return static_cast<int32_t>(out.bitCount() - before);
}

}  // namespace primitives::test
