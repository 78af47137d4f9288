// Huffman decoding on every build, against an encoder built from the
// standard's code lists. Encoded data sits in buffers that end four bytes
// after the last bit, so the sanitizer run also checks the look-ahead bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "BitWriter.h"
#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "HuffmanEncoder.h"

namespace primitives::test {
namespace {

constexpr int32_t kPattern = static_cast<int32_t>(0xA5A5A5A5);
constexpr std::size_t kLookAhead = 4;

const HuffmanEncoder& encoder() {
    static const HuffmanEncoder instance(VELKARN_MP3_DATA_DIR);
    return instance;
}

MP3FrameHeader header(int32_t id, int32_t samplingFrequency) {
    MP3FrameHeader h = {};
    h.id = id;
    h.layer = 1;
    h.sampling_frequency = samplingFrequency;
    return h;
}

// Long-block side information with all three regions on `table`.
MP3SideInfo longBlocks(int32_t bigValues, int32_t table, int32_t count1Table = 0) {
    MP3SideInfo si = {};
    si.part2_3_length = 1 << 20;  // only an upper bound for hufSize here
    si.big_values = bigValues;
    si.table_select[0] = si.table_select[1] = si.table_select[2] = table;
    si.region0_count = 7;
    si.region1_count = 7;
    si.count1table_select = count1Table;
    return si;
}

// Granule data as the stream holds it, between `startOffset` filler bits
// and `trailingBits` more.
struct Encoded {
    std::vector<uint8_t> bytes;
    int32_t startOffset = 0;
    int32_t bits = 0;
};

Encoded encode(const MP3SideInfo& si, const MP3FrameHeader& h, const std::vector<int32_t>& values,
               int32_t count1End, int32_t startOffset, int32_t trailingBits = 0) {
    BitWriter out;
    out.put(0x55, startOffset);
    Encoded e;
    e.startOffset = startOffset;
    e.bits = encoder().writeSpectrum(out, si, h, values.data(), count1End);
    for (int32_t i = 0; i < trailingBits; ++i) out.put(static_cast<uint32_t>(i * 7 % 3 == 0), 1);
    e.bytes = out.bytesWithSlack(kLookAhead);
    return e;
}

// One decode, with the output between guard bytes.
struct Decoded {
    PrimitiveStatus status = 0;
    GuardedBuffer<int32_t> out = GuardedBuffer<int32_t>(576, 0xA5);
    int32_t bound = kPattern;
    int64_t endBit = 0;  // bits from the first byte to the cursor after the call
};

void decode(Decoded& d, const Encoded& e, const MP3SideInfo& si, const MP3FrameHeader& h, int32_t hufSize) {
    const uint8_t* cursor = e.bytes.data();
    int32_t offset = e.startOffset;
    d.status = zaviHuffmanDecode_MP3_1u32s(&cursor, &offset, d.out.data(), &d.bound, &si, &h, hufSize);
    d.endBit = (cursor - e.bytes.data()) * 8 + offset;
}

int32_t boundOf(const std::vector<int32_t>& values) {
    int32_t bound = static_cast<int32_t>(values.size());
    while (bound > 0 && values[static_cast<std::size_t>(bound - 1)] == 0) --bound;
    return bound;
}

// A value that `table` can code, often small, sometimes escaped.
int32_t randomValue(std::mt19937& random, int32_t table) {
    const int32_t largest = encoder().largestValue(table);
    if (largest == 0) return 0;
    int32_t magnitude = static_cast<int32_t>(random() % static_cast<uint32_t>(std::min(largest, 15) + 1));
    if (magnitude == 15 && largest > 15) magnitude += static_cast<int32_t>(random() % static_cast<uint32_t>(largest - 14));
    return random() % 2 != 0 ? -magnitude : magnitude;
}

void expectDecodedAs(const Decoded& d, const std::vector<int32_t>& expected) {
    for (std::size_t i = 0; i < 576; ++i) {
        if (d.out.data()[i] != expected[i]) {
            ADD_FAILURE() << "value " << i << " is " << d.out.data()[i] << ", expected " << expected[i];
            break;
        }
    }
    EXPECT_TRUE(d.out.guardsIntact());
}

// Encodes the values, decodes them with exactly their bits and expects them
// back, with their bound and the cursor at the end of the data.
void expectRoundTrip(const MP3SideInfo& si, const MP3FrameHeader& h, const std::vector<int32_t>& values,
                     int32_t count1End, int32_t startOffset) {
    const Encoded e = encode(si, h, values, count1End, startOffset);
    Decoded d;
    decode(d, e, si, h, e.bits);
    ASSERT_EQ(d.status, 0);
    expectDecodedAs(d, values);
    EXPECT_EQ(d.bound, boundOf(values));
    EXPECT_EQ(d.endBit, e.startOffset + e.bits);
}

class Mp3HuffmanDecode : public PerBuildTest {};

TEST_P(Mp3HuffmanDecode, EveryCodeOfEveryBigValueTableRoundTrips) {
    std::mt19937 random(31);
    for (int32_t table = 1; table < 32; ++table) {
        if (table == 4 || table == 14) continue;
        SCOPED_TRACE("table " + std::to_string(table));
        const int32_t dimension = encoder().codes().pairTables[static_cast<std::size_t>(table)].dimension;
        const int32_t largest = encoder().largestValue(table);
        // Every code word with each of its sign patterns; escapes with a
        // random, the smallest and the largest escape value.
        std::vector<std::pair<int32_t, int32_t>> pairs;
        for (int32_t x = 0; x < dimension; ++x) {
            for (int32_t y = 0; y < dimension; ++y) {
                for (int32_t signs = 0; signs < 4; ++signs) {
                    if ((x == 0 && (signs & 2)) || (y == 0 && (signs & 1))) continue;
                    const auto escaped = [&](int32_t v) {
                        if (v != 15 || largest == 15) return v;
                        const int32_t pick = static_cast<int32_t>(random() % 3);
                        return pick == 0 ? 15 : pick == 1 ? largest : 15 + static_cast<int32_t>(random() % (largest - 14));
                    };
                    pairs.emplace_back((signs & 2) ? -escaped(x) : escaped(x), (signs & 1) ? -escaped(y) : escaped(y));
                }
            }
        }
        std::shuffle(pairs.begin(), pairs.end(), random);
        for (std::size_t first = 0; first < pairs.size(); first += 288) {
            const auto count = static_cast<int32_t>(std::min<std::size_t>(288, pairs.size() - first));
            std::vector<int32_t> values(576, 0);
            for (int32_t p = 0; p < count; ++p) {
                values[static_cast<std::size_t>(2 * p)] = pairs[first + static_cast<std::size_t>(p)].first;
                values[static_cast<std::size_t>(2 * p + 1)] = pairs[first + static_cast<std::size_t>(p)].second;
            }
            const MP3SideInfo si = longBlocks(count, table);
            const MP3FrameHeader h = header(1, 0);
            expectRoundTrip(si, h, values, 2 * count, static_cast<int32_t>(first / 288 % 8));
        }
    }
}

TEST_P(Mp3HuffmanDecode, EveryCount1QuadrupleRoundTrips) {
    for (int32_t count1Table : {0, 1}) {
        SCOPED_TRACE(count1Table == 0 ? "table A" : "table B");
        // All 81 quadruples of -1, 0 and 1, after 10 big values.
        std::vector<int32_t> values(576, 0);
        std::mt19937 random(32);
        for (int32_t i = 0; i < 10; ++i) values[static_cast<std::size_t>(i)] = randomValue(random, 5);
        for (int32_t q = 0; q < 81; ++q) {
            int32_t code = q;
            for (int32_t k = 0; k < 4; ++k, code /= 3) values[static_cast<std::size_t>(10 + 4 * q + k)] = code % 3 - 1;
        }
        const MP3SideInfo si = longBlocks(5, 5, count1Table);
        const MP3FrameHeader h = header(0, 1);
        expectRoundTrip(si, h, values, 10 + 4 * 81, 5);
    }
}

// Each region on its own table, with values that only that table can code:
// a region end in the wrong place derails the decoding.
TEST_P(Mp3HuffmanDecode, RegionsEndWhereTheBandTablesSay) {
    std::mt19937 random(33);
    struct Regions {
        int32_t region0;
        int32_t region1;
    };
    const Regions regionCounts[] = {{0, 0}, {2, 1}, {5, 3}, {10, 7}, {15, 5}, {13, 7}};
    for (int32_t id = 0; id < 2; ++id) {
        for (int32_t sf = 0; sf < 3; ++sf) {
            for (const Regions& r : regionCounts) {
                for (int32_t bigValues : {288, 150, 37}) {
                    SCOPED_TRACE("id " + std::to_string(id) + " sf " + std::to_string(sf) + " regions " +
                                 std::to_string(r.region0) + "/" + std::to_string(r.region1) + " big values " +
                                 std::to_string(bigValues));
                    MP3SideInfo si = longBlocks(bigValues, 0);
                    si.region0_count = r.region0;
                    si.region1_count = r.region1;
                    si.table_select[0] = 24;
                    si.table_select[1] = 1;
                    si.table_select[2] = 13;
                    const MP3FrameHeader h = header(id, sf);
                    const auto ends = encoder().regionEnds(si, h);
                    std::vector<int32_t> values(576, 0);
                    for (int32_t i = 0; i < 2 * bigValues; ++i) {
                        const int32_t region = i < ends[0] ? 0 : i < ends[1] ? 1 : 2;
                        values[static_cast<std::size_t>(i)] = randomValue(random, si.table_select[region]);
                    }
                    expectRoundTrip(si, h, values, 2 * bigValues, 2);
                }
            }
        }
    }
}

TEST_P(Mp3HuffmanDecode, SwitchedGranulesSplitAt36Or54) {
    std::mt19937 random(34);
    for (int32_t id = 0; id < 2; ++id) {
        for (int32_t blockType = 1; blockType <= 3; ++blockType) {
            const int32_t split = id == 1 || blockType == 2 ? 36 : 54;
            for (int32_t bigValues : {288, split / 2 + 1, split / 2, 10}) {
                SCOPED_TRACE("id " + std::to_string(id) + " block type " + std::to_string(blockType) + " big values " +
                             std::to_string(bigValues));
                MP3SideInfo si = longBlocks(bigValues, 0);
                si.window_switching_flag = 1;
                si.block_type = blockType;
                si.table_select[0] = 1;
                si.table_select[1] = 24;
                si.table_select[2] = 99;  // not read for a switched granule
                si.region0_count = si.region1_count = 99;
                const MP3FrameHeader h = header(id, 2);
                ASSERT_EQ(encoder().regionEnds(si, h)[0], std::min(split, 2 * bigValues));
                std::vector<int32_t> values(576, 0);
                for (int32_t i = 0; i < 2 * bigValues; ++i) {
                    values[static_cast<std::size_t>(i)] = randomValue(random, i < split ? 1 : 24);
                }
                expectRoundTrip(si, h, values, 2 * bigValues, 7);
            }
        }
    }
}

TEST_P(Mp3HuffmanDecode, RegionCountsUpTo22DecodeAnd23IsRefused) {
    std::mt19937 random(35);
    for (int32_t hufSize : {0, 1}) {
        MP3SideInfo si = longBlocks(100, 7);
        si.region0_count = 15;
        si.region1_count = 5;  // 15 + 5 + 2 = 22
        const MP3FrameHeader h = header(1, 1);
        std::vector<int32_t> values(576, 0);
        for (int32_t i = 0; i < 200; ++i) values[static_cast<std::size_t>(i)] = randomValue(random, 7);
        const Encoded e = encode(si, h, values, 200, 0);
        Decoded d;
        decode(d, e, si, h, hufSize == 0 ? 0 : e.bits);
        EXPECT_EQ(d.status, 0);
        si.region1_count = 6;  // 23
        Decoded refused;
        decode(refused, e, si, h, hufSize == 0 ? 0 : e.bits);
        EXPECT_EQ(refused.status, -170) << "hufSize " << hufSize;
        EXPECT_TRUE(refused.out.untouched());
        EXPECT_EQ(refused.endBit, 0);
    }
}

TEST_P(Mp3HuffmanDecode, TablesWithoutCodesGiveZerosAndTakeNoBits) {
    std::mt19937 random(36);
    const int32_t tableSets[][3] = {{0, 4, 14}, {14, 9, 0}, {4, 0, 24}, {11, 14, 4}};
    for (const auto& tables : tableSets) {
        MP3SideInfo si = longBlocks(200, 0, 1);
        si.region0_count = 4;
        si.region1_count = 6;
        std::copy(tables, tables + 3, si.table_select);
        const MP3FrameHeader h = header(1, 2);
        const auto ends = encoder().regionEnds(si, h);
        std::vector<int32_t> values(576, 0);
        for (int32_t i = 0; i < 400; ++i) {
            const int32_t region = i < ends[0] ? 0 : i < ends[1] ? 1 : 2;
            values[static_cast<std::size_t>(i)] = randomValue(random, tables[region]);
        }
        for (int32_t i = 400; i < 440; ++i) values[static_cast<std::size_t>(i)] = static_cast<int32_t>(random() % 3) - 1;
        expectRoundTrip(si, h, values, 440, 3);
    }
}

TEST_P(Mp3HuffmanDecode, BadRegionTableStopsAfterTheEarlierRegions) {
    std::mt19937 random(37);
    const MP3FrameHeader h = header(1, 0);
    for (int32_t badTable : {32, -1}) {
        MP3SideInfo si = longBlocks(0, 5);
        si.region0_count = 3;  // region 0 ends at 16
        si.big_values = 8;     // region 1 is empty
        si.table_select[1] = badTable;
        std::vector<int32_t> values(576, 0);
        for (int32_t i = 0; i < 16; ++i) values[static_cast<std::size_t>(i)] = randomValue(random, 5);
        MP3SideInfo encodable = si;
        encodable.table_select[1] = encodable.table_select[2] = 0;
        const Encoded e = encode(encodable, h, values, 16, 4, 40);
        Decoded d;
        decode(d, e, si, h, e.bits + 40);
        EXPECT_EQ(d.status, -170);
        for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(d.out.data()[i], values[static_cast<std::size_t>(i)]);
        for (int32_t i = 16; i < 576; ++i) EXPECT_EQ(d.out.data()[i], kPattern) << i;
        EXPECT_EQ(d.bound, kPattern);
        EXPECT_EQ(d.endBit, e.startOffset + e.bits);
    }
}

TEST_P(Mp3HuffmanDecode, BigValuesOverTheBudgetStopWithPartialOutput) {
    std::mt19937 random(38);
    const MP3FrameHeader h = header(0, 0);
    const MP3SideInfo si = longBlocks(100, 15);
    std::vector<int32_t> values(576, 0);
    for (int32_t i = 0; i < 200; ++i) values[static_cast<std::size_t>(i)] = randomValue(random, 15);
    const Encoded e = encode(si, h, values, 200, 6);
    for (int32_t shortBy : {1, 17, e.bits - 1}) {
        Decoded d;
        decode(d, e, si, h, e.bits - shortBy);
        EXPECT_EQ(d.status, -2);
        for (int32_t i = 0; i < 200; ++i) EXPECT_EQ(d.out.data()[i], values[static_cast<std::size_t>(i)]);
        for (int32_t i = 200; i < 576; ++i) EXPECT_EQ(d.out.data()[i], kPattern) << i;
        EXPECT_EQ(d.bound, kPattern);
        EXPECT_EQ(d.endBit, e.startOffset + e.bits);  // after the big values
    }
}

// Corrupt side information can declare 288 big values for a few bits: the
// budget is checked only after them. Callers keep 2 KiB of zeros behind the
// declared main data (the frame walker does); no table reads past that.
TEST_P(Mp3HuffmanDecode, RunawayBigValuesStayWithinTheZeroSlack) {
    std::mt19937 random(40);
    constexpr std::size_t kSlack = 2048;
    const MP3FrameHeader h = header(1, 0);
    int64_t furthest = 0;
    for (int32_t table = 1; table < 32; ++table) {
        if (table == 4 || table == 14) continue;
        for (int32_t pattern : {0x00, 0xFF, 0x55, -1}) {
            SCOPED_TRACE("table " + std::to_string(table) + " pattern " + std::to_string(pattern));
            // Two declared bytes, then the zeros; the vector ends there.
            std::vector<uint8_t> bytes(2 + kSlack, 0);
            for (std::size_t i = 0; i < 2; ++i) bytes[i] = static_cast<uint8_t>(pattern >= 0 ? pattern : random());
            MP3SideInfo si = longBlocks(288, table);
            si.part2_3_length = 16;
            Decoded d;
            const uint8_t* cursor = bytes.data();
            int32_t offset = 0;
            d.status = zaviHuffmanDecode_MP3_1u32s(&cursor, &offset, d.out.data(), &d.bound, &si, &h, 16);
            EXPECT_EQ(d.status, -2);
            const int64_t endBit = (cursor - bytes.data()) * 8 + offset;
            // The cursor stops after the big values; the accumulator has
            // looked at most four bytes further.
            EXPECT_LE(endBit + 32, static_cast<int64_t>(bytes.size()) * 8);
            furthest = std::max(furthest, endBit);
        }
    }
    RecordProperty("furthestBit", std::to_string(furthest));
}

TEST_P(Mp3HuffmanDecode, Count1AreaEndsAtTheBudgetAndTheLastLine) {
    std::mt19937 random(39);
    const MP3FrameHeader h = header(1, 0);
    struct Case {
        const char* what;
        int32_t bigValues;
        int32_t quads;      // written to the stream
        int32_t extraBits;  // budget beyond them (negative: short of them)
        int32_t quadsKept;
    };
    const Case cases[] = {
        {"exact budget", 100, 20, 0, 20},
        {"last quadruple one bit short", 100, 20, -1, 19},
        {"last quadruple several bits short", 50, 30, -3, 29},
        {"n = 572 with bits left", 286, 1, 9, 1},
        {"n = 576 with bits left", 288, 0, 13, 0},
        {"n = 574 leaves no room for a quadruple", 287, 0, 10, 0},
        {"only quadruples, all", 0, 143, 0, 143},
        {"quadruples up to line 575", 2, 143, 0, 143},
    };
    for (int32_t count1Table : {0, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (count1Table == 0 ? ", table A" : ", table B"));
            const MP3SideInfo si = longBlocks(c.bigValues, 9, count1Table);
            std::vector<int32_t> values(576, 0);
            const int32_t n = 2 * c.bigValues;
            for (int32_t i = 0; i < n; ++i) values[static_cast<std::size_t>(i)] = randomValue(random, 9);
            for (int32_t i = n; i < n + 4 * c.quads; ++i) {
                // Nonzero last values, so that a wrong bound shows.
                values[static_cast<std::size_t>(i)] = i % 4 == 3 ? 1 : static_cast<int32_t>(random() % 3) - 1;
            }
            const Encoded e = encode(si, h, values, n + 4 * c.quads, 1, std::max(c.extraBits, 0) + 16);
            const int32_t hufSize = e.bits + c.extraBits;
            Decoded d;
            decode(d, e, si, h, hufSize);
            ASSERT_EQ(d.status, 0);
            std::vector<int32_t> expected = values;
            std::fill(expected.begin() + n + 4 * c.quadsKept, expected.end(), 0);
            expectDecodedAs(d, expected);
            EXPECT_EQ(d.bound, boundOf(expected));
            EXPECT_EQ(d.endBit, e.startOffset + hufSize);
        }
    }
}

TEST_P(Mp3HuffmanDecode, NonzeroBoundMarksTheLastNonzeroValue) {
    const MP3FrameHeader h = header(1, 0);
    struct Case {
        int32_t index;  // of the one nonzero value, -1 for none
        int32_t value;
        int32_t bigValues;
        int32_t count1End;
    };
    const Case cases[] = {{-1, 0, 100, 200}, {0, 1, 100, 200},  {1, -3, 100, 200}, {199, 2, 100, 200},
                          {200, 1, 100, 204}, {203, -1, 100, 204}, {575, 1, 288, 576}};
    for (const Case& c : cases) {
        SCOPED_TRACE("nonzero at " + std::to_string(c.index));
        const MP3SideInfo si = longBlocks(c.bigValues, 13);
        std::vector<int32_t> values(576, 0);
        if (c.index >= 0) values[static_cast<std::size_t>(c.index)] = c.value;
        const Encoded e = encode(si, h, values, c.count1End, 0);
        Decoded d;
        decode(d, e, si, h, e.bits);
        ASSERT_EQ(d.status, 0);
        EXPECT_EQ(d.bound, c.index + 1);
    }
}

TEST_P(Mp3HuffmanDecode, ZeroBitsGiveZerosWithoutMovingTheCursor) {
    const std::vector<uint8_t> bytes(8, 0xFF);
    for (int32_t offset = 0; offset < 8; ++offset) {
        GuardedBuffer<int32_t> out(576, 0xA5);
        int32_t bound = kPattern;
        const MP3SideInfo si = longBlocks(288, 24);
        const MP3FrameHeader h = header(1, 0);
        const uint8_t* cursor = bytes.data() + 1;
        int32_t at = offset;
        ASSERT_EQ(zaviHuffmanDecode_MP3_1u32s(&cursor, &at, out.data(), &bound, &si, &h, 0), 0);
        EXPECT_TRUE(std::all_of(out.data(), out.data() + 576, [](int32_t v) { return v == 0; }));
        EXPECT_TRUE(out.guardsIntact());
        EXPECT_EQ(bound, 0);
        EXPECT_EQ(cursor, bytes.data() + 1);
        EXPECT_EQ(at, offset);
    }
}

TEST_P(Mp3HuffmanDecode, ArgumentChecksWriteNothingAndTheFirstFailureWins) {
    const std::vector<uint8_t> bytes(64, 0x3C);
    struct Case {
        const char* what;
        PrimitiveStatus status;
        void (*change)(MP3SideInfo&, MP3FrameHeader&, int32_t& offset, int32_t& hufSize, bool& nullBound);
    };
    const Case cases[] = {
        {"null bound", -8, [](MP3SideInfo&, MP3FrameHeader&, int32_t&, int32_t&, bool& n) { n = true; }},
        {"null before offset", -8, [](MP3SideInfo&, MP3FrameHeader&, int32_t& o, int32_t&, bool& n) { n = true; o = 8; }},
        {"offset 8", -5, [](MP3SideInfo&, MP3FrameHeader&, int32_t& o, int32_t&, bool&) { o = 8; }},
        {"offset -1", -5, [](MP3SideInfo&, MP3FrameHeader&, int32_t& o, int32_t&, bool&) { o = -1; }},
        {"hufSize -1", -5, [](MP3SideInfo&, MP3FrameHeader&, int32_t&, int32_t& s, bool&) { s = -1; }},
        {"hufSize over part2_3_length", -5,
         [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t& s, bool&) { si.part2_3_length = s - 1; }},
        {"offset before side info", -5,
         [](MP3SideInfo& si, MP3FrameHeader&, int32_t& o, int32_t&, bool&) { o = 9; si.big_values = 300; }},
        {"big_values 289", -170, [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t&, bool&) { si.big_values = 289; }},
        {"big_values -1", -170, [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t&, bool&) { si.big_values = -1; }},
        {"block_type 4", -170, [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t&, bool&) { si.block_type = 4; }},
        {"window switching 2", -170,
         [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t&, bool&) { si.window_switching_flag = 2; }},
        {"count1 table 2", -170,
         [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t&, bool&) { si.count1table_select = 2; }},
        {"side info before header", -170,
         [](MP3SideInfo& si, MP3FrameHeader& h, int32_t&, int32_t&, bool&) { si.block_type = -1; h.layer = 2; }},
        {"id 2", -171, [](MP3SideInfo&, MP3FrameHeader& h, int32_t&, int32_t&, bool&) { h.id = 2; }},
        {"layer 3", -171, [](MP3SideInfo&, MP3FrameHeader& h, int32_t&, int32_t&, bool&) { h.layer = 3; }},
        {"sampling_frequency 3", -171,
         [](MP3SideInfo&, MP3FrameHeader& h, int32_t&, int32_t&, bool&) { h.sampling_frequency = 3; }},
        {"switched block_type 0", -170, [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t&, bool&) {
             si.window_switching_flag = 1;
             si.block_type = 0;
         }},
        {"region0_count -1", -170,
         [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t&, bool&) { si.region0_count = -1; }},
        {"region1_count -1", -170,
         [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t&, bool&) { si.region1_count = -1; }},
        {"first table 32", -170,
         [](MP3SideInfo& si, MP3FrameHeader&, int32_t&, int32_t&, bool&) { si.table_select[0] = 32; }},
    };
    for (const Case& c : cases) {
        for (int32_t hufSize : {0, 40}) {
            SCOPED_TRACE(std::string(c.what) + ", hufSize " + std::to_string(hufSize));
            MP3SideInfo si = longBlocks(20, 1);
            MP3FrameHeader h = header(1, 0);
            int32_t offset = 3;
            int32_t size = hufSize;
            bool nullBound = false;
            c.change(si, h, offset, size, nullBound);
            GuardedBuffer<int32_t> out(576, 0xA5);
            GuardedBuffer<int32_t> bound(1, 0xA5);
            const uint8_t* cursor = bytes.data();
            const int32_t offsetBefore = offset;
            EXPECT_EQ(zaviHuffmanDecode_MP3_1u32s(&cursor, &offset, out.data(), nullBound ? nullptr : bound.data(), &si,
                                                  &h, size),
                      c.status);
            EXPECT_TRUE(out.untouched());
            EXPECT_TRUE(bound.untouched());
            EXPECT_EQ(cursor, bytes.data());
            EXPECT_EQ(offset, offsetBefore);
        }
    }
    // The remaining null pointers.
    MP3SideInfo si = longBlocks(20, 1);
    MP3FrameHeader h = header(1, 0);
    GuardedBuffer<int32_t> out(576, 0xA5);
    int32_t bound = 0;
    int32_t offset = 0;
    const uint8_t* cursor = bytes.data();
    const uint8_t* nullCursor = nullptr;
    EXPECT_EQ(zaviHuffmanDecode_MP3_1u32s(nullptr, &offset, out.data(), &bound, &si, &h, 8), -8);
    EXPECT_EQ(zaviHuffmanDecode_MP3_1u32s(&nullCursor, &offset, out.data(), &bound, &si, &h, 8), -8);
    EXPECT_EQ(zaviHuffmanDecode_MP3_1u32s(&cursor, nullptr, out.data(), &bound, &si, &h, 8), -8);
    EXPECT_EQ(zaviHuffmanDecode_MP3_1u32s(&cursor, &offset, nullptr, &bound, &si, &h, 8), -8);
    EXPECT_EQ(zaviHuffmanDecode_MP3_1u32s(&cursor, &offset, out.data(), &bound, nullptr, &h, 8), -8);
    EXPECT_EQ(zaviHuffmanDecode_MP3_1u32s(&cursor, &offset, out.data(), &bound, &si, nullptr, 8), -8);
    EXPECT_TRUE(out.untouched());
}

INSTANTIATE_PER_BUILD_TEST_SUITE(Mp3HuffmanDecode);

}  // namespace
}  // namespace primitives::test
