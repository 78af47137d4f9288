// The bit cursor, the frame header and the side information, on every build.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "BitWriter.h"
#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "Mp3FrameWriter.h"
#include "primitives/core/DispatchRecords.h"
#include "primitives/mp3/Mp3Bodies.h"

namespace primitives::test {
namespace {

using ReadBitsFunction = uint32_t(const uint8_t**, int32_t*, int32_t);
ReadBitsFunction* const kReadBits[] = {nullptr, generic::mp3ReadBits, sse::mp3ReadBits, sse2::mp3ReadBits,
                                       sse3::mp3ReadBits};

constexpr int32_t kSentinel = 0x5A5A5A5A;

MP3SideInfo sentinelRecord() {
    MP3SideInfo record;
    std::fill_n(reinterpret_cast<int32_t*>(&record), sizeof record / sizeof(int32_t), kSentinel);
    return record;
}

bool sameRecord(const MP3SideInfo& a, const MP3SideInfo& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class Mp3BitCursor : public PerBuildTest {};
class Mp3FrameHeaderUnpack : public PerBuildTest {};
class Mp3SideInfoUnpack : public PerBuildTest {};

TEST_P(Mp3BitCursor, ReadsBigEndianWindowsAndAdvances) {
    const std::vector<uint8_t> bytes = {0xA5, 0x3C, 0xF0, 0x0F, 0x81, 0x00, 0x00, 0x00};
    struct Case {
        int32_t startByte;
        int32_t offset;
        int32_t n;
        uint32_t value;
        int32_t endByte;
        int32_t endOffset;
    };
    const Case cases[] = {
        {0, 0, 1, 1, 0, 1},
        {0, 0, 8, 0xA5, 1, 0},
        {0, 3, 5, 0x05, 1, 0},
        {0, 4, 8, 0x53, 1, 4},
        {1, 6, 2, 0x0, 2, 0},
        {0, 0, 25, 0xA53CF00F >> 7, 3, 1},
        {0, 7, 25, 0xA53CF00F & 0x1FFFFFF, 4, 0},  // ends on the fourth byte boundary
        {4, 0, 9, 0x102, 5, 1},
        {2, 5, 12, 0x01F, 4, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("byte " + std::to_string(c.startByte) + " offset " + std::to_string(c.offset) + " n " +
                     std::to_string(c.n));
        const uint8_t* cursor = bytes.data() + c.startByte;
        int32_t offset = c.offset;
        EXPECT_EQ(kReadBits[build()](&cursor, &offset, c.n), c.value);
        EXPECT_EQ(cursor - bytes.data(), c.endByte);
        EXPECT_EQ(offset, c.endOffset);
    }
}

TEST_P(Mp3BitCursor, ReadOfZeroBitsTouchesNothing) {
    // The cursor stands at the end of its buffer: reading there would be
    // out of bounds (the sanitizer run sees it).
    std::vector<uint8_t> bytes(3, 0xFF);
    for (int32_t startOffset = 0; startOffset < 8; ++startOffset) {
        const uint8_t* cursor = bytes.data() + bytes.size();
        int32_t offset = startOffset;
        EXPECT_EQ(kReadBits[build()](&cursor, &offset, 0), 0u);
        EXPECT_EQ(cursor, bytes.data() + bytes.size());
        EXPECT_EQ(offset, startOffset);
    }
}

TEST_P(Mp3FrameHeaderUnpack, SplitsTheExampleHeaders) {
    const uint8_t plain[] = {0xFF, 0xFB, 0x90, 0x64, 0xEE, 0xEE};
    MP3FrameHeader h;
    std::memset(&h, 0x77, sizeof h);
    const uint8_t* cursor = plain;
    ASSERT_EQ(zaviUnpackFrameHeader_MP3(&cursor, &h), 0);
    EXPECT_EQ(cursor, plain + 4);
    const int32_t expected[13] = {1, 1, 1, 9, 0, 0, 0, 1, 2, 0, 1, 0, 0x77777777};
    EXPECT_EQ(std::memcmp(&h, expected, sizeof expected), 0) << "crc_check is left as it was";

    const uint8_t protectedHeader[] = {0xFF, 0xFA, 0x90, 0x64, 0x12, 0x34};
    cursor = protectedHeader;
    ASSERT_EQ(zaviUnpackFrameHeader_MP3(&cursor, &h), 0);
    EXPECT_EQ(cursor, protectedHeader + 6);
    EXPECT_EQ(h.protection_bit, 0);
    EXPECT_EQ(h.crc_check, 13330);
}

TEST_P(Mp3FrameHeaderUnpack, ReturnsEveryFieldUnvalidated) {
    std::mt19937 random(7);
    for (int32_t trial = 0; trial < 200; ++trial) {
        // Any four bytes, sync or not; byte 0 is never read.
        uint8_t bytes[6];
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
        MP3FrameHeader h;
        const uint8_t* cursor = bytes;
        ASSERT_EQ(zaviUnpackFrameHeader_MP3(&cursor, &h), 0);
        MP3FrameHeader expected = h;
        expected.id = bytes[1] >> 3 & 1;
        expected.layer = bytes[1] >> 1 & 3;
        expected.protection_bit = bytes[1] & 1;
        expected.bitrate_index = bytes[2] >> 4;
        expected.sampling_frequency = bytes[2] >> 2 & 3;
        expected.padding_bit = bytes[2] >> 1 & 1;
        expected.private_bit = bytes[2] & 1;
        expected.mode = bytes[3] >> 6;
        expected.mode_extension = bytes[3] >> 4 & 3;
        expected.copyright = bytes[3] >> 3 & 1;
        expected.original_copy = bytes[3] >> 2 & 1;
        expected.emphasis = bytes[3] & 3;
        if (expected.protection_bit == 0) expected.crc_check = bytes[4] | bytes[5] << 8;
        EXPECT_EQ(std::memcmp(&h, &expected, sizeof h), 0);
        EXPECT_EQ(cursor, bytes + (expected.protection_bit == 0 ? 6 : 4));
    }
}

TEST_P(Mp3FrameHeaderUnpack, NullPointersWriteNothing) {
    const uint8_t bytes[] = {0xFF, 0xFB, 0x90, 0x64};
    const uint8_t* cursor = bytes;
    const uint8_t* nullCursor = nullptr;
    GuardedBuffer<MP3FrameHeader> header(1);
    EXPECT_EQ(zaviUnpackFrameHeader_MP3(nullptr, header.data()), -8);
    EXPECT_EQ(zaviUnpackFrameHeader_MP3(&nullCursor, header.data()), -8);
    EXPECT_EQ(zaviUnpackFrameHeader_MP3(&cursor, nullptr), -8);
    EXPECT_TRUE(header.untouched());
    EXPECT_EQ(cursor, bytes);
}

// Random side information within the field widths.
MP3SideInfo randomRecord(std::mt19937& random, int32_t id, bool switched) {
    const auto bits = [&](int32_t width) { return static_cast<int32_t>(random() & ((1u << width) - 1)); };
    MP3SideInfo r = sentinelRecord();
    r.part2_3_length = bits(12);
    r.big_values = bits(9);
    r.global_gain = bits(8);
    r.scalefac_compress = bits(id == 1 ? 4 : 9);
    r.window_switching_flag = switched ? 1 : 0;
    if (switched) {
        r.block_type = 1 + static_cast<int32_t>(random() % 3);
        r.mixed_block_flag = bits(1);
        r.table_select[0] = bits(5);
        r.table_select[1] = bits(5);
        for (int32_t& gain : r.subblock_gain) gain = bits(3);
        r.region0_count = r.block_type == 2 && r.mixed_block_flag == 0 ? 8 : 7;
        r.region1_count = 20 - r.region0_count;
    } else {
        r.block_type = 0;
        r.mixed_block_flag = 0;
        for (int32_t& table : r.table_select) table = bits(5);
        r.region0_count = bits(4);
        r.region1_count = bits(3);
    }
    if (id == 1) r.preflag = bits(1);
    r.scalefac_scale = bits(1);
    r.count1table_select = bits(1);
    return r;
}

MP3FrameHeader layer3Header(int32_t id, int32_t mode) {
    MP3FrameHeader h = {};
    h.id = id;
    h.layer = 1;
    h.protection_bit = 1;
    h.bitrate_index = 9;
    h.mode = mode;
    return h;
}

TEST_P(Mp3SideInfoUnpack, RandomRecordsComeBackWithTheExactSize) {
    std::mt19937 random(11);
    struct Layout {
        int32_t id;
        int32_t mode;
        int32_t bytes;
    };
    const Layout layouts[] = {{1, 3, 17}, {1, 0, 32}, {1, 1, 32}, {0, 3, 9}, {0, 2, 17}};
    for (const Layout& layout : layouts) {
        for (int32_t switching = 0; switching < 3; ++switching) {  // none, all, random
            SCOPED_TRACE("id " + std::to_string(layout.id) + " mode " + std::to_string(layout.mode) + " switching " +
                         std::to_string(switching));
            const MP3FrameHeader h = layer3Header(layout.id, layout.mode);
            const int32_t channels = layout.mode == 3 ? 1 : 2;
            const int32_t records = channels * (layout.id == 1 ? 2 : 1);
            MP3SideInfo written[4];
            for (int32_t i = 0; i < records; ++i) {
                const bool switched = switching == 1 || (switching == 2 && random() % 2 == 0);
                written[i] = randomRecord(random, layout.id, switched);
            }
            const int32_t mainDataBegin = static_cast<int32_t>(random() & (layout.id == 1 ? 511 : 255));
            const int32_t privateBits = static_cast<int32_t>(random() & 1);
            int32_t scfsi[8];
            for (int32_t& flag : scfsi) flag = static_cast<int32_t>(random() & 1);
            BitWriter out;
            writeSideInfo(out, h, written, mainDataBegin, privateBits, scfsi);
            ASSERT_EQ(out.bitCount(), layout.bytes * 8);
            const auto bytes = out.bytesWithSlack(4);

            GuardedBuffer<MP3SideInfo> unpacked(4);
            for (int32_t i = 0; i < 4; ++i) unpacked[i] = sentinelRecord();
            int32_t gotBegin = -1;
            int32_t gotPrivate = -1;
            int32_t gotScfsi[8];
            std::fill_n(gotScfsi, 8, kSentinel);
            const uint8_t* cursor = bytes.data();
            ASSERT_EQ(zaviUnpackSideInfo_MP3(&cursor, unpacked.data(), &gotBegin, &gotPrivate, gotScfsi, &h), 0);
            EXPECT_EQ(cursor - bytes.data(), layout.bytes);
            EXPECT_EQ(gotBegin, mainDataBegin);
            EXPECT_EQ(gotPrivate, privateBits);
            for (int32_t i = 0; i < 8; ++i) {
                EXPECT_EQ(gotScfsi[i], layout.id == 1 && i < 4 * channels ? scfsi[i] : kSentinel) << "scfsi " << i;
            }
            for (int32_t i = 0; i < 4; ++i) {
                // Fields the stream does not carry keep the sentinels: the
                // records were built that way.
                EXPECT_TRUE(sameRecord(unpacked[i], i < records ? written[i] : sentinelRecord())) << "record " << i;
            }
            EXPECT_TRUE(unpacked.guardsIntact());
        }
    }
}

TEST_P(Mp3SideInfoUnpack, SwitchedGranulesGetTheirRegionCounts) {
    struct Case {
        int32_t blockType;
        int32_t mixed;
        int32_t region0;
    };
    const Case cases[] = {{2, 0, 8}, {2, 1, 7}, {1, 0, 7}, {3, 0, 7}, {1, 1, 7}};
    for (int32_t id : {0, 1}) {
        for (const Case& c : cases) {
            const MP3FrameHeader h = layer3Header(id, 3);
            std::mt19937 random(3);
            MP3SideInfo written[2] = {randomRecord(random, id, true), randomRecord(random, id, true)};
            for (MP3SideInfo& r : written) {
                r.block_type = c.blockType;
                r.mixed_block_flag = c.mixed;
                r.region0_count = r.region1_count = 0;  // not in the stream
            }
            BitWriter out;
            const int32_t scfsi[4] = {};
            writeSideInfo(out, h, written, 0, 0, scfsi);
            const auto bytes = out.bytesWithSlack(4);
            MP3SideInfo unpacked[2];
            int32_t begin, privateBits, gotScfsi[4];
            const uint8_t* cursor = bytes.data();
            ASSERT_EQ(zaviUnpackSideInfo_MP3(&cursor, unpacked, &begin, &privateBits, gotScfsi, &h), 0);
            EXPECT_EQ(unpacked[0].region0_count, c.region0);
            EXPECT_EQ(unpacked[0].region1_count, 20 - c.region0);
        }
    }
}

TEST_P(Mp3SideInfoUnpack, BadHeaderFieldsAndNullPointersStopBeforeReading) {
    const std::vector<uint8_t> bytes(40, 0xFF);
    MP3FrameHeader bad[4] = {layer3Header(1, 0), layer3Header(1, 0), layer3Header(0, 0), layer3Header(1, 0)};
    bad[0].id = 2;
    bad[1].layer = 2;
    bad[2].mode = 4;
    bad[3].mode = -1;
    GuardedBuffer<MP3SideInfo> records(4);
    GuardedBuffer<int32_t> scalars(10);  // main_data_begin, private bits, scfsi
    for (const MP3FrameHeader& h : bad) {
        const uint8_t* cursor = bytes.data();
        EXPECT_EQ(zaviUnpackSideInfo_MP3(&cursor, records.data(), &scalars[0], &scalars[1], &scalars[2], &h), -171);
        EXPECT_EQ(cursor, bytes.data());
    }
    const MP3FrameHeader good = layer3Header(1, 0);
    const uint8_t* cursor = bytes.data();
    const uint8_t* nullCursor = nullptr;
    EXPECT_EQ(zaviUnpackSideInfo_MP3(nullptr, records.data(), &scalars[0], &scalars[1], &scalars[2], &good), -8);
    EXPECT_EQ(zaviUnpackSideInfo_MP3(&nullCursor, records.data(), &scalars[0], &scalars[1], &scalars[2], &good), -8);
    EXPECT_EQ(zaviUnpackSideInfo_MP3(&cursor, nullptr, &scalars[0], &scalars[1], &scalars[2], &good), -8);
    EXPECT_EQ(zaviUnpackSideInfo_MP3(&cursor, records.data(), nullptr, &scalars[1], &scalars[2], &good), -8);
    EXPECT_EQ(zaviUnpackSideInfo_MP3(&cursor, records.data(), &scalars[0], nullptr, &scalars[2], &good), -8);
    EXPECT_EQ(zaviUnpackSideInfo_MP3(&cursor, records.data(), &scalars[0], &scalars[1], nullptr, &good), -8);
    EXPECT_EQ(zaviUnpackSideInfo_MP3(&cursor, records.data(), &scalars[0], &scalars[1], &scalars[2], nullptr), -8);
    EXPECT_EQ(cursor, bytes.data());
    EXPECT_TRUE(records.untouched());
    EXPECT_TRUE(scalars.untouched());
}

TEST_P(Mp3SideInfoUnpack, SwitchedBlockTypeZeroStopsAfterTheEarlierRecords) {
    std::mt19937 random(5);
    for (int32_t id : {1, 0}) {
        // Stereo: record 0 is good, record 1 is switched with block_type 0.
        const MP3FrameHeader h = layer3Header(id, 1);
        MP3SideInfo written[4];
        for (MP3SideInfo& r : written) r = randomRecord(random, id, false);
        written[1] = randomRecord(random, id, true);
        written[1].block_type = 0;
        BitWriter out;
        const int32_t scfsi[8] = {};
        writeSideInfo(out, h, written, 0, 0, scfsi);
        // The bits read up to the end of record 1's block fields.
        const int64_t headBits = id == 1 ? 9 + 3 + 8 : 8 + 2;
        const int64_t recordBits = id == 1 ? 12 + 22 + 22 + 3 : 12 + 9 + 18 + 22 + 2;
        const int64_t bitsRead = headBits + recordBits + (recordBits - (id == 1 ? 3 : 2));
        const auto bytes = out.bytesWithSlack(4);

        MP3SideInfo unpacked[4];
        for (MP3SideInfo& r : unpacked) r = sentinelRecord();
        int32_t begin, privateBits, gotScfsi[8];
        const uint8_t* cursor = bytes.data();
        EXPECT_EQ(zaviUnpackSideInfo_MP3(&cursor, unpacked, &begin, &privateBits, gotScfsi, &h), -170);
        EXPECT_EQ(cursor - bytes.data(), bitsRead / 8);
        EXPECT_TRUE(sameRecord(unpacked[0], written[0]));
        EXPECT_EQ(unpacked[1].part2_3_length, written[1].part2_3_length);
        EXPECT_EQ(unpacked[1].window_switching_flag, 1);
        EXPECT_EQ(unpacked[1].block_type, 0);
        EXPECT_TRUE(sameRecord(unpacked[2], sentinelRecord()));
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(Mp3BitCursor);
INSTANTIATE_PER_BUILD_TEST_SUITE(Mp3FrameHeaderUnpack);
INSTANTIATE_PER_BUILD_TEST_SUITE(Mp3SideInfoUnpack);

}  // namespace
}  // namespace primitives::test
