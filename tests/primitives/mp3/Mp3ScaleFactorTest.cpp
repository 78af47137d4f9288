// Scale-factor unpacking on every build: the MPEG-1 layouts and scfsi reuse,
// the MPEG-2 categories with the intensity-stereo channel, and the checks.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "BitWriter.h"
#include "BuildTest.h"
#include "GuardedBuffer.h"

namespace primitives::test {
namespace {

constexpr uint8_t kUntouched = 0x55;  // fill of the scale-factor buffers

// One run of scale factors as the stream holds them: `count` values of
// `width` bits, stored from buffer place `place` on.
struct ValueRun {
    int32_t place;
    int32_t count;
    int32_t width;
};

// What a call should leave: the buffer and the bits taken.
struct Expected {
    std::vector<int32_t> buffer = std::vector<int32_t>(40, static_cast<int8_t>(kUntouched));
    int64_t bits = 0;
};

// Writes random values for the runs after `startOffset` filler bits, and
// records them (through `store`, which may change a value) in `expected`.
template <typename Store>
std::vector<uint8_t> writeRuns(std::mt19937& random, int32_t startOffset, const std::vector<ValueRun>& runs,
                               Expected& expected, Store store) {
    BitWriter out;
    out.put(0x7F, startOffset);
    for (const ValueRun& run : runs) {
        for (int32_t i = 0; i < run.count; ++i) {
            const int32_t largest = (1 << run.width) - 1;
            // Favour the largest value, which the intensity channel marks.
            const int32_t value = random() % 4 == 0 ? largest : static_cast<int32_t>(random() % (largest + 1));
            out.put(static_cast<uint32_t>(value), run.width);
            expected.buffer[static_cast<std::size_t>(run.place + i)] = store(value, run.width);
            expected.bits += run.width;
        }
    }
    out.put(random(), 32);  // what follows the scale factors
    return out.bytesWithSlack(4);
}

std::vector<uint8_t> writeRuns(std::mt19937& random, int32_t startOffset, const std::vector<ValueRun>& runs,
                               Expected& expected) {
    return writeRuns(random, startOffset, runs, expected, [](int32_t value, int32_t) { return value; });
}

MP3FrameHeader header(int32_t id, int32_t mode = 1, int32_t modeExtension = 0) {
    MP3FrameHeader h = {};
    h.id = id;
    h.layer = 1;
    h.mode = mode;
    h.mode_extension = modeExtension;
    return h;
}

MP3SideInfo sideInfo(int32_t compress, int32_t blockType, int32_t mixed) {
    MP3SideInfo si = {};
    si.scalefac_compress = compress;
    si.block_type = blockType;
    si.window_switching_flag = blockType != 0;
    si.mixed_block_flag = mixed;
    si.preflag = 7;
    return si;
}

class Mp3ScaleFactors : public PerBuildTest {
protected:
    // Runs the entry from `startOffset` and checks buffer, bits and status 0.
    void unpackAndCheck(const std::vector<uint8_t>& bytes, int32_t startOffset, GuardedBuffer<int8_t>& buffer,
                        MP3SideInfo& si, const int32_t* scfsi, const MP3FrameHeader& h, int32_t granule,
                        int32_t channel, const Expected& expected) {
        const uint8_t* cursor = bytes.data();
        int32_t offset = startOffset;
        ASSERT_EQ(zaviUnpackScaleFactors_MP3_1u8s(&cursor, &offset, buffer.data(), &si, scfsi, &h, granule, channel),
                  0);
        EXPECT_EQ((cursor - bytes.data()) * 8 + offset - startOffset, expected.bits);
        for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(buffer[i], expected.buffer[i]) << "place " << i;
        EXPECT_TRUE(buffer.guardsIntact());
    }
};

TEST_P(Mp3ScaleFactors, Mpeg1LayoutsForEveryCompressValue) {
    static constexpr int32_t kSlen1[16] = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
    static constexpr int32_t kSlen2[16] = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};
    std::mt19937 random(21);
    const int32_t scfsi[4] = {1, 1, 1, 1};  // granule 0 ignores it; short blocks never use it
    for (int32_t compress = 0; compress < 16; ++compress) {
        const int32_t s1 = kSlen1[compress];
        const int32_t s2 = kSlen2[compress];
        struct Layout {
            int32_t blockType;
            int32_t mixed;
            int32_t granule;
            std::vector<ValueRun> runs;
            std::vector<int32_t> zeros;
        };
        const Layout layouts[] = {
            {0, 0, 0, {{0, 11, s1}, {11, 10, s2}}, {21}},
            {1, 0, 0, {{0, 11, s1}, {11, 10, s2}}, {21}},
            {3, 1, 0, {{0, 11, s1}, {11, 10, s2}}, {21}},  // mixing only matters for short blocks
            {2, 0, 0, {{0, 18, s1}, {18, 18, s2}}, {36, 37, 38}},
            {2, 0, 1, {{0, 18, s1}, {18, 18, s2}}, {36, 37, 38}},
            {2, 1, 0, {{0, 17, s1}, {17, 18, s2}}, {35, 36, 37}},
        };
        for (const Layout& layout : layouts) {
            SCOPED_TRACE("compress " + std::to_string(compress) + " block type " + std::to_string(layout.blockType) +
                         " mixed " + std::to_string(layout.mixed) + " granule " + std::to_string(layout.granule));
            Expected expected;
            for (int32_t place : layout.zeros) expected.buffer[static_cast<std::size_t>(place)] = 0;
            const int32_t startOffset = static_cast<int32_t>(random() % 8);
            const auto bytes = writeRuns(random, startOffset, layout.runs, expected);
            GuardedBuffer<int8_t> buffer(40, kUntouched);
            MP3SideInfo si = sideInfo(compress, layout.blockType, layout.mixed);
            const MP3SideInfo before = si;
            unpackAndCheck(bytes, startOffset, buffer, si, scfsi, header(1), layout.granule, 0, expected);
            EXPECT_EQ(std::memcmp(&si, &before, sizeof si), 0) << "MPEG-1 leaves the record alone";
        }
    }
}

TEST_P(Mp3ScaleFactors, Mpeg1GranuleOneReusesTheBandsThatScfsiFlags) {
    std::mt19937 random(22);
    const int32_t compress = 15;  // slen 4 and 3
    struct Case {
        int32_t scfsi[4];
        std::vector<ValueRun> runs;
    };
    const Case cases[] = {
        {{1, 0, 1, 0}, {{6, 5, 4}, {16, 5, 3}}},
        {{0, 1, 0, 1}, {{0, 6, 4}, {11, 5, 3}}},
        {{1, 1, 1, 1}, {}},
        {{0, 0, 0, 0}, {{0, 6, 4}, {6, 5, 4}, {11, 5, 3}, {16, 5, 3}}},
    };
    for (const Case& c : cases) {
        Expected expected;
        // Granule 0's values stand in the buffer.
        GuardedBuffer<int8_t> buffer(40, kUntouched);
        for (int32_t i = 0; i < 21; ++i) buffer[static_cast<std::size_t>(i)] = static_cast<int8_t>(100 + i);
        for (int32_t i = 0; i < 21; ++i) expected.buffer[static_cast<std::size_t>(i)] = 100 + i;
        expected.buffer[21] = 0;
        const auto bytes = writeRuns(random, 3, c.runs, expected);
        MP3SideInfo si = sideInfo(compress, 0, 0);
        unpackAndCheck(bytes, 3, buffer, si, c.scfsi, header(1), 1, 1, expected);
    }
}

TEST_P(Mp3ScaleFactors, Mpeg2CategoriesBlockKindsAndTheIntensityChannel) {
    // Numbers of values per slen part by category and block kind (long,
    // short, mixed).
    static constexpr int32_t kPartition[6][3][4] = {
        {{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},      {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
        {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}}, {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
        {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},     {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}},
    };
    // scalefac_compress, intensity channel, and what it gives.
    struct Compress {
        int32_t compress;
        bool intensity;
        int32_t category;
        int32_t slen[4];
        int32_t preflag;
    };
    const Compress compresses[] = {
        {0, false, 0, {0, 0, 0, 0}, 0},     {123, false, 0, {1, 2, 2, 3}, 0}, {399, false, 0, {4, 4, 3, 3}, 0},
        {400, false, 1, {0, 0, 0, 0}, 0},   {437, false, 1, {1, 4, 1, 0}, 0}, {499, false, 1, {4, 4, 3, 0}, 0},
        {500, false, 2, {0, 0, 0, 0}, 1},   {505, false, 2, {1, 2, 0, 0}, 1}, {511, false, 2, {3, 2, 0, 0}, 1},
        {1, true, 3, {0, 0, 0, 0}, 0},      {100, true, 3, {1, 2, 2, 0}, 0},  {359, true, 3, {4, 5, 5, 0}, 0},
        {360, true, 4, {0, 0, 0, 0}, 0},    {401, true, 4, {1, 1, 0, 0}, 0},  {487, true, 4, {3, 3, 3, 0}, 0},
        {488, true, 5, {0, 0, 0, 0}, 0},    {511, true, 5, {3, 2, 0, 0}, 0},
    };
    // Block kind: block_type and mixed_block_flag as stored, the kind, and
    // the flag the entry leaves.
    struct Kind {
        int32_t blockType;
        int32_t mixedIn;
        int32_t kind;
        int32_t mixedOut;
    };
    const Kind kinds[] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {3, 3, 0, 3}, {2, 0, 1, 0}, {2, 2, 1, 0}, {2, 1, 2, 1},
                          {2, 3, 2, 1}};
    std::mt19937 random(23);
    for (const Compress& c : compresses) {
        for (const Kind& k : kinds) {
            SCOPED_TRACE("compress " + std::to_string(c.compress) + (c.intensity ? " intensity" : "") +
                         " block type " + std::to_string(k.blockType) + " mixed " + std::to_string(k.mixedIn));
            std::vector<ValueRun> runs;
            int32_t place = 0;
            for (int32_t part = 0; part < 4; ++part) {
                runs.push_back({place, kPartition[c.category][k.kind][part], c.slen[part]});
                place += kPartition[c.category][k.kind][part];
            }
            Expected expected;
            for (int32_t i = place; i < place + 3; ++i) expected.buffer[static_cast<std::size_t>(i)] = 0;
            const int32_t startOffset = static_cast<int32_t>(random() % 8);
            const auto bytes = writeRuns(random, startOffset, runs, expected, [&](int32_t value, int32_t width) {
                return c.intensity && width > 0 && value == (1 << width) - 1 ? -value : value;
            });
            GuardedBuffer<int8_t> buffer(40, kUntouched);
            MP3SideInfo si = sideInfo(c.compress, k.blockType, k.mixedIn);
            const int32_t scfsi[4] = {};
            // Joint stereo with intensity on; channel 1 is the intensity channel.
            unpackAndCheck(bytes, startOffset, buffer, si, scfsi, header(0, 1, 3), 0, c.intensity ? 1 : 0, expected);
            EXPECT_EQ(si.preflag, c.preflag);
            EXPECT_EQ(si.mixed_block_flag, k.mixedOut);
        }
    }
}

TEST_P(Mp3ScaleFactors, Mpeg2IntensitySyntaxOnlyForChannelOneOfJointStereoWithIntensity) {
    // scalefac_compress 511 reads slen parts (3, 2) of 11 and 10 values
    // ordinarily, but parts (3, 2, 0) of 8, 8 and 5 on the intensity channel.
    struct Case {
        int32_t mode;
        int32_t modeExtension;
        int32_t channel;
        bool intensity;
    };
    const Case cases[] = {
        {1, 1, 1, true}, {1, 3, 1, true}, {1, 2, 1, false}, {1, 0, 1, false}, {1, 1, 0, false},
        {0, 1, 1, false}, {0, 3, 1, false}, {2, 1, 1, false},  // stereo and dual channel carry no intensity
    };
    std::mt19937 random(24);
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " extension " + std::to_string(c.modeExtension) +
                     " channel " + std::to_string(c.channel));
        Expected expected;
        const std::vector<ValueRun> runs = c.intensity ? std::vector<ValueRun>{{0, 8, 3}, {8, 8, 2}, {16, 5, 0}}
                                                  : std::vector<ValueRun>{{0, 11, 3}, {11, 10, 2}};
        for (int32_t i = 21; i < 24; ++i) expected.buffer[static_cast<std::size_t>(i)] = 0;
        const auto bytes = writeRuns(random, 0, runs, expected, [&](int32_t value, int32_t width) {
            return c.intensity && width > 0 && value == (1 << width) - 1 ? -value : value;
        });
        GuardedBuffer<int8_t> buffer(40, kUntouched);
        MP3SideInfo si = sideInfo(511, 0, 0);
        const int32_t scfsi[4] = {};
        unpackAndCheck(bytes, 0, buffer, si, scfsi, header(0, c.mode, c.modeExtension), 0, c.channel, expected);
        EXPECT_EQ(si.preflag, c.intensity ? 0 : 1);
    }
}

TEST_P(Mp3ScaleFactors, FailedChecksChangeNothing) {
    const std::vector<uint8_t> bytes(64, 0xA7);
    const int32_t scfsi[4] = {};
    struct Case {
        const char* what;
        int32_t id;
        int32_t compress;
        int32_t modeExtension;
        int32_t offset;
        int32_t granule;
        int32_t channel;
        PrimitiveStatus status;
    };
    const Case cases[] = {
        {"offset 8", 1, 3, 0, 8, 0, 0, -5},           {"offset -1", 1, 3, 0, -1, 0, 0, -5},
        {"granule 2", 1, 3, 0, 0, 2, 0, -5},          {"granule -1", 0, 3, 0, 0, -1, 0, -5},
        {"channel 2", 1, 3, 0, 0, 0, 2, -5},          {"channel -1", 0, 3, 0, 0, 0, -1, -5},
        {"MPEG-1 compress 16", 1, 16, 0, 0, 0, 0, -170}, {"MPEG-1 compress -1", 1, -1, 0, 0, 0, 0, -170},
        {"MPEG-2 compress 512", 0, 512, 0, 0, 0, 0, -170}, {"MPEG-2 compress -1", 0, -1, 0, 0, 0, 0, -170},
        {"MPEG-2 extension 4", 0, 3, 4, 0, 0, 0, -171}, {"MPEG-2 extension -1", 0, 3, -1, 0, 0, 1, -171},
        {"offset before compress", 1, 16, 0, 9, 0, 0, -5},
        {"compress before extension", 0, 600, 7, 0, 0, 0, -170},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GuardedBuffer<int8_t> buffer(40, kUntouched);
        MP3SideInfo si = sideInfo(c.compress, 2, 3);
        const MP3SideInfo before = si;
        const MP3FrameHeader h = header(c.id, 1, c.modeExtension);
        const uint8_t* cursor = bytes.data();
        int32_t offset = c.offset;
        EXPECT_EQ(zaviUnpackScaleFactors_MP3_1u8s(&cursor, &offset, buffer.data(), &si, scfsi, &h, c.granule,
                                                  c.channel),
                  c.status);
        EXPECT_EQ(cursor, bytes.data());
        EXPECT_EQ(offset, c.offset);
        EXPECT_TRUE(buffer.untouched());
        EXPECT_EQ(std::memcmp(&si, &before, sizeof si), 0);
    }

    // Null pointers: -8 before any other check.
    GuardedBuffer<int8_t> buffer(40, kUntouched);
    MP3SideInfo si = sideInfo(99, 0, 0);
    const MP3FrameHeader h = header(1);
    const uint8_t* cursor = bytes.data();
    const uint8_t* nullCursor = nullptr;
    int32_t offset = 9;
    EXPECT_EQ(zaviUnpackScaleFactors_MP3_1u8s(nullptr, &offset, buffer.data(), &si, scfsi, &h, 0, 0), -8);
    EXPECT_EQ(zaviUnpackScaleFactors_MP3_1u8s(&nullCursor, &offset, buffer.data(), &si, scfsi, &h, 0, 0), -8);
    EXPECT_EQ(zaviUnpackScaleFactors_MP3_1u8s(&cursor, nullptr, buffer.data(), &si, scfsi, &h, 0, 0), -8);
    EXPECT_EQ(zaviUnpackScaleFactors_MP3_1u8s(&cursor, &offset, nullptr, &si, scfsi, &h, 0, 0), -8);
    EXPECT_EQ(zaviUnpackScaleFactors_MP3_1u8s(&cursor, &offset, buffer.data(), nullptr, scfsi, &h, 0, 0), -8);
    EXPECT_EQ(zaviUnpackScaleFactors_MP3_1u8s(&cursor, &offset, buffer.data(), &si, nullptr, &h, 0, 0), -8);
    EXPECT_EQ(zaviUnpackScaleFactors_MP3_1u8s(&cursor, &offset, buffer.data(), &si, scfsi, nullptr, 0, 0), -8);
    EXPECT_TRUE(buffer.untouched());
    EXPECT_EQ(cursor, bytes.data());
}

INSTANTIATE_PER_BUILD_TEST_SUITE(Mp3ScaleFactors);

}  // namespace
}  // namespace primitives::test
