// Huffman decoding of one granule and channel: one algorithm, compiled into
// each build by Mp3Builds.cpp. `Build` supplies the build's byte zero kernel
// as Build::zeroBytes(dst, byte count >= 1).
#pragma once

#include <cstdint>

#include "primitives.h"
#include "primitives/mp3/HuffmanTableFormat.h"
#include "primitives/mp3/Mp3BitCursor.h"
#include "primitives/mp3/Mp3Tables.h"

namespace primitives::mp3 {

inline constexpr int32_t kGranuleLines = 576;

// The stream seen through a 32-bit accumulator that is refilled with whole
// bytes. The refill points below keep enough bits for the longest thing each
// step reads, so no step checks for an empty accumulator; in exchange the
// decoder reads up to four bytes past the last bit it consumes.
class BitAccumulator {
public:
    BitAccumulator(const uint8_t* bytes, int32_t offset) : start_(bytes), startOffset_(offset), next_(bytes) {
        fetch<1>();
        skip(offset);
    }

    // Bits consumed since the start.
    int64_t consumed() const { return (next_ - start_) * 8 - startOffset_ - held_; }

    int32_t held() const { return held_; }

    // Takes `Bytes` more bytes; the caller makes sure they fit.
    template <int32_t Bytes>
    [[gnu::always_inline]] void fetch() {
        for (int32_t i = 0; i < Bytes; ++i) {
            bits_ |= uint32_t{*next_++} << (24 - held_);
            held_ += 8;
        }
    }

    // The next n bits (1..32) without consuming them.
    [[gnu::always_inline]] uint32_t peek(int32_t n) const { return bits_ >> (32 - n); }

    // n is 0..31: no step consumes a whole accumulator at once.
    [[gnu::always_inline]] void skip(int32_t n) {
        bits_ <<= n;
        held_ -= n;
    }

    [[gnu::always_inline]] uint32_t take(int32_t n) {
        const uint32_t value = peek(n);
        skip(n);
        return value;
    }

    // A value that the next bit signs (1 negative).
    [[gnu::always_inline]] int32_t sign(int32_t magnitude) { return take(1) != 0 ? -magnitude : magnitude; }

private:
    const uint8_t* start_;
    int32_t startOffset_;
    const uint8_t* next_;
    uint32_t bits_ = 0;  // held bits, the next one in bit 31
    int32_t held_ = 0;
};

// Consumes the first-level bits and walks the tree from the node that the
// first-level pointer `entry` names; returns the leaf.
template <typename Node>
[[gnu::always_inline]] inline uint32_t walkTree(BitAccumulator& in, const Node* tree, uint32_t entry) {
    in.skip(kFirstLevelBits);
    int32_t node = namedNode(entry);
    uint32_t value = tree[node];
    while (!isLeafOrDecodingEntry(value)) {
        node = in.take(1) != 0 ? namedNode(value) : node + 1;
        value = tree[node];
    }
    return value;
}

// After a leaf, or a first-level kind 7 of the word format: the escape bits
// and sign of x, then of y.
[[gnu::always_inline]] inline void readEscapesAndSigns(BitAccumulator& in, int32_t linbits, int32_t& x, int32_t& y) {
    if (linbits != 0 && x == 15) {
        if (in.held() <= linbits + 1) in.fetch<2>();
        x += static_cast<int32_t>(in.take(linbits));
    }
    if (x != 0) x = in.sign(x);
    if (linbits != 0 && y == 15) {
        if (in.held() <= linbits) in.fetch<2>();
        y += static_cast<int32_t>(in.take(linbits));
    }
    if (y != 0) y = in.sign(y);
}

// Decodes `pairs` pairs of a byte-format table into out[0..2*pairs).
[[gnu::always_inline]] inline void decodeBytePairs(BitAccumulator& in, const uint8_t* table, int32_t* out,
                                                   int32_t pairs) {
    const uint8_t* tree = table + kFirstLevelEntries;
    for (int32_t p = 0; p < pairs; ++p) {
        if (in.held() <= 12) in.fetch<2>();
        const uint32_t entry = table[in.peek(kFirstLevelBits)];
        int32_t x;
        int32_t y;
        if (isLeafOrDecodingEntry(entry)) {
            switch (entryKind(entry)) {
            case 0:
            case 1:
                in.skip(entryKind(entry) == 0 ? 4 : 3);
                x = fromSignedField2(entry >> 6);
                y = fromSignedField2(entry >> 4 & 3);
                break;
            case 2:
            case 3:
                in.skip(entryKind(entry) == 2 ? 2 : 1);
                x = y = 0;
                break;
            case 4:
                x = (in.take(5) & 1) != 0 ? -2 : 2;
                y = 0;
                break;
            case 6:
                x = fromSignedField2(entry >> 6);
                y = (in.take(5) & 1) != 0 ? -1 : 1;
                break;
            default: {  // 5 and 7
                const uint32_t bits = in.take(6);
                x = static_cast<int32_t>(entry >> 6);
                y = static_cast<int32_t>(entry >> 4 & 3);
                if ((bits & 2) != 0) x = -x;
                if ((bits & 1) != 0) y = -y;
                break;
            }
            }
        } else {
            const uint32_t value = walkTree(in, tree, entry);
            x = byteLeafX(value);
            y = byteLeafY(value);
            if (x != 0) x = in.sign(x);
            if (y != 0) y = in.sign(y);
        }
        out[2 * p] = x;
        out[2 * p + 1] = y;
    }
}

// Decodes `pairs` pairs of a word-format table into out[0..2*pairs).
[[gnu::always_inline]] inline void decodeWordPairs(BitAccumulator& in, const uint16_t* table, int32_t linbits,
                                                   int32_t* out, int32_t pairs) {
    const uint16_t* tree = table + kFirstLevelEntries;
    for (int32_t p = 0; p < pairs; ++p) {
        const int32_t held = in.held();
        if (held <= 20) {
            if (held > 16) {
                in.fetch<1>();
            } else if (held > 8) {
                in.fetch<2>();
            } else {
                in.fetch<3>();
            }
        }
        const uint32_t entry = table[in.peek(kFirstLevelBits)];
        int32_t x;
        int32_t y;
        if (isLeafOrDecodingEntry(entry)) {
            switch (entryKind(entry)) {
            case 0:
                in.skip(4);
                x = fromSignedField4(entry >> 8);
                y = 0;
                break;
            case 1:
            case 3:
                in.skip(entryKind(entry) == 1 ? 3 : 1);
                x = y = 0;
                break;
            case 4:
                x = (in.take(5) & 1) != 0 ? -1 : 1;
                y = 0;
                break;
            case 5:
                x = 0;
                y = (in.take(5) & 1) != 0 ? -1 : 1;
                break;
            case 6:
                x = fromSignedField4(entry >> 8);
                y = (in.take(5) & 1) != 0 ? -1 : 1;
                break;
            default:  // 2 and 7
                in.skip(kFirstLevelBits);
                x = static_cast<int32_t>(entry >> 8 & 15);
                y = static_cast<int32_t>(entry >> 4 & 15);
                readEscapesAndSigns(in, linbits, x, y);
                break;
            }
        } else {
            const uint32_t value = walkTree(in, tree, entry);
            x = wordLeafX(value);
            y = wordLeafY(value);
            readEscapesAndSigns(in, linbits, x, y);
        }
        out[2 * p] = x;
        out[2 * p + 1] = y;
    }
}

// One quadruple of the count1 area into out[0..4); returns its bit count.
[[gnu::always_inline]] inline int32_t decodeQuad(BitAccumulator& in, bool tableB, int32_t* out) {
    const int64_t before = in.consumed();
    int32_t v;
    int32_t w;
    int32_t x;
    int32_t y;
    if (tableB) {
        if (in.held() <= 7) in.fetch<3>();
        const uint32_t bits = in.take(4);
        v = (bits & 8) == 0;
        w = (bits & 4) == 0;
        x = (bits & 2) == 0;
        y = (bits & 1) == 0;
        if (v != 0) v = in.sign(v);
        if (w != 0) w = in.sign(w);
        if (x != 0) x = in.sign(x);
        if (y != 0) y = in.sign(y);
    } else {
        if (in.held() <= 9) in.fetch<2>();
        const uint32_t index = in.peek(6);
        uint32_t fields = 0;
        if (index >= 32) {
            in.skip(1);
        } else if (index >= 16) {
            in.skip(5);
            fields = kCount1TableA[index];
        } else if (index >= 6) {
            const uint32_t seventh = in.take(7) & 1;
            fields = kCount1TableA[kCount1TableA[index] + seventh];
        } else {
            in.skip(6);
            const uint32_t shape = kCount1TableA[index];
            if ((shape & 7) == kQuadShapeTwoOnes) {
                out[0] = 0;
                out[1] = in.sign(1);
                out[2] = 0;
                out[3] = in.sign(1);
            } else if ((shape & 7) == kQuadShapeThreeOnes) {
                out[0] = (shape & 0x40) != 0 ? in.sign(1) : 0;
                out[1] = (shape & 0x20) != 0 ? in.sign(1) : 0;
                out[2] = (shape & 0x10) != 0 ? in.sign(1) : 0;
                out[3] = (shape & 0x08) != 0 ? in.sign(1) : 0;
            } else {
                for (int32_t k = 0; k < 4; ++k) out[k] = in.sign(1);
            }
            return static_cast<int32_t>(in.consumed() - before);
        }
        v = fromSignedField2(fields >> 6);
        w = fromSignedField2(fields >> 4 & 3);
        x = fromSignedField2(fields >> 2 & 3);
        y = fromSignedField2(fields & 3);
    }
    out[0] = v;
    out[1] = w;
    out[2] = x;
    out[3] = y;
    return static_cast<int32_t>(in.consumed() - before);
}

// The side-information tests that decoding makes before the regions (also
// made when there is nothing to decode).
[[gnu::always_inline]] inline bool regionFieldsValid(const MP3SideInfo& si) {
    const auto tableValid = [](int32_t table) { return table >= 0 && table <= 31; };
    if (si.window_switching_flag == 1) {
        return si.block_type != 0 && tableValid(si.table_select[0]) && tableValid(si.table_select[1]);
    }
    return si.region0_count >= 0 && si.region1_count >= 0 && si.region0_count + si.region1_count + 2 <= 22 &&
           tableValid(si.table_select[0]) && tableValid(si.table_select[1]) && tableValid(si.table_select[2]);
}

[[gnu::always_inline]] inline void storeZeros(int32_t* out, int32_t from, int32_t to) {
    for (int32_t i = from; i < to; ++i) out[i] = 0;
}

template <typename Build>
[[gnu::always_inline]] inline PrimitiveStatus huffmanDecode(const uint8_t** bitstream, int32_t* bitOffset,
                                                            int32_t* out, int32_t* nonzeroBound,
                                                            const MP3SideInfo* sideInfo,
                                                            const MP3FrameHeader* header, int32_t hufSize) {
    if (bitstream == nullptr || bitOffset == nullptr || out == nullptr || nonzeroBound == nullptr ||
        sideInfo == nullptr || header == nullptr || *bitstream == nullptr) {
        return primitiveStatusNullPointer;
    }
    const MP3SideInfo& si = *sideInfo;
    if (*bitOffset < 0 || *bitOffset > 7 || hufSize < 0 || hufSize > si.part2_3_length) {
        return primitiveStatusBadArgument;
    }
    // Twice big_values in 32-bit arithmetic, as the stream field is 9 bits.
    const auto n = static_cast<int32_t>(static_cast<uint32_t>(si.big_values) * 2u);
    if (n < 0 || n > kGranuleLines || si.block_type < 0 || si.block_type > 3 ||
        (si.window_switching_flag != 0 && si.window_switching_flag != 1) ||
        (si.count1table_select != 0 && si.count1table_select != 1)) {
        return primitiveStatusBadMp3SideInfo;
    }
    if ((header->id != 0 && header->id != 1) || header->layer != 1 || header->sampling_frequency < 0 ||
        header->sampling_frequency > 2) {
        return primitiveStatusBadMp3FrameHeader;
    }

    if (hufSize == 0) {
        if (!regionFieldsValid(si)) return primitiveStatusBadMp3SideInfo;
        storeZeros(out, 0, kGranuleLines);
        *nonzeroBound = 0;
        return primitiveStatusOk;
    }

    // Region ends of the big values.
    int32_t regionEnd[3];
    int32_t regionCount;
    if (si.window_switching_flag == 1) {
        if (si.block_type == 0) return primitiveStatusBadMp3SideInfo;
        const int32_t firstEnd = header->id == 1 || si.block_type == 2 ? 36 : 54;
        regionEnd[0] = firstEnd < n ? firstEnd : n;
        regionEnd[1] = n;
        regionCount = 2;
    } else {
        if (si.region0_count < 0 || si.region1_count < 0 || si.region0_count + si.region1_count + 2 > 22) {
            return primitiveStatusBadMp3SideInfo;
        }
        const int16_t* bounds = kLongBandBounds[header->id][header->sampling_frequency];
        const int32_t end0 = bounds[si.region0_count + 1];
        const int32_t end1 = bounds[si.region0_count + si.region1_count + 2];
        regionEnd[0] = end0 < n ? end0 : n;
        regionEnd[1] = end1 < n ? end1 : n;
        regionEnd[2] = n;
        regionCount = 3;
    }

    const uint8_t* const start = *bitstream;
    const int32_t startOffset = *bitOffset;
    BitAccumulator in(start, startOffset);
    const auto storePosition = [&](int64_t bits) {
        const uint8_t* bytes = start;
        int32_t offset = startOffset;
        advanceBits(bytes, offset, bits);
        *bitstream = bytes;
        *bitOffset = offset;
    };

    int32_t i = 0;
    for (int32_t region = 0; region < regionCount; ++region) {
        const int32_t table = si.table_select[region];
        if (table < 0 || table > 31) {
            storePosition(in.consumed());
            return primitiveStatusBadMp3SideInfo;
        }
        const int32_t end = regionEnd[region];
        if (end <= i) continue;
        if (table == 0 || table == 4 || table == 14) {
            // No code words: the region is zero and takes no bits.
            Build::zeroBytes(out + i, (end - i) * static_cast<int32_t>(sizeof(int32_t)));
        } else if (table <= 12) {
            decodeBytePairs(in, kHuffmanByteTables[table], out + i, (end - i) / 2);
        } else {
            decodeWordPairs(in, kHuffmanWordTables[table], kLinbits[table], out + i, (end - i) / 2);
        }
        i = end;
    }

    int64_t remaining = hufSize - in.consumed();
    if (remaining < 0) {
        storePosition(in.consumed());
        return primitiveStatusUnspecifiedError;
    }

    // The count1 area: quadruples while the budget lasts. A last quadruple
    // that needed more bits than were left is dropped.
    const bool tableB = si.count1table_select == 1;
    while (i < kGranuleLines - 2 && remaining > 0) {
        remaining -= decodeQuad(in, tableB, out + i);
        i += 4;
    }
    if (remaining < 0) i -= 4;
    storePosition(hufSize);

    storeZeros(out, i, kGranuleLines);
    int32_t bound = i;
    while (bound > 0 && out[bound - 1] == 0) --bound;
    *nonzeroBound = bound;
    return primitiveStatusOk;
}

}  // namespace primitives::mp3
