// zaviAbs_32f, zaviSqr_32f, zaviFlip_32f_I and zaviThreshold_LT_32f_I against
// scalar references over lengths and alignments, in every build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "VectorTestSupport.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives::test {
namespace {

class ElementwiseFunctions : public PerBuildTest {};

// Data with NaN payloads (quiet and signalling, both signs) among the
// awkward values.
std::vector<float> dataWithNaNs(std::size_t n, uint32_t seed) {
    std::vector<float> v = awkwardFloats(n, seed);
    const uint32_t nans[] = {0x7FC00001, 0xFFC12345, 0x7F800002, 0xFF900000};
    for (std::size_t i = 3; i < n; i += 11) v[i] = floatOf(nans[(i / 11) % 4]);
    return v;
}

TEST_P(ElementwiseFunctions, ChecksPointersThenLength) {
    const int32_t b = build();
    using Call = std::function<PrimitiveStatus(const float*, float*, int32_t)>;
    const std::pair<const char*, Call> twoPointer[] = {
        {"zaviAbs_32f", [&](const float* s, float* d, int32_t n) { return zaviAbs_32f_dispatch.table[b](s, d, n); }},
        {"zaviSqr_32f", [&](const float* s, float* d, int32_t n) { return zaviSqr_32f_dispatch.table[b](s, d, n); }},
    };
    const std::pair<const char*, Call> onePointer[] = {
        {"zaviFlip_32f_I", [&](const float*, float* d, int32_t n) { return zaviFlip_32f_I_dispatch.table[b](d, n); }},
        {"zaviThreshold_LT_32f_I",
         [&](const float*, float* d, int32_t n) { return zaviThreshold_LT_32f_I_dispatch.table[b](d, n, 1.0f); }},
        {"zaviLn_32f_I", [&](const float*, float* d, int32_t n) { return zaviLn_32f_I_dispatch.table[b](d, n); }},
    };
    struct Case {
        bool nullSrc, nullDst;
        int32_t len;
        PrimitiveStatus expected;
    };
    const Case cases[] = {{false, true, 0, -8}, {false, true, -5, -8}, {false, true, 3, -8},
                          {false, false, 0, -6}, {false, false, -5, -6}, {false, false, INT32_MIN, -6}};
    auto run = [](const char* name, const Call& call, const Case& c) {
        SCOPED_TRACE(std::string(name) + " len " + std::to_string(c.len));
        GuardedBuffer<float> src(4, 0x3F), dst(4, 0x3F);
        EXPECT_EQ(call(c.nullSrc ? nullptr : src.data(), c.nullDst ? nullptr : dst.data(), c.len), c.expected);
        EXPECT_TRUE(src.untouched() && dst.untouched());
    };
    for (const auto& [name, call] : twoPointer) {
        for (const Case& c : cases) run(name, call, c);
        run(name, call, {true, false, 0, -8});
        run(name, call, {true, false, 3, -8});
    }
    for (const auto& [name, call] : onePointer) {
        for (const Case& c : cases) run(name, call, c);
    }
}

struct MapCase {
    const char* name;
    std::function<PrimitiveStatus(int32_t build, const float*, float*, int32_t)> call;
    std::function<uint32_t(uint32_t)> reference;  // on bit patterns
};

uint32_t absBits(uint32_t x) { return x & 0x7FFFFFFFu; }
uint32_t sqrBits(uint32_t x) {
    const float f = floatOf(x);
    return bitsOf(f * f);
}

TEST_P(ElementwiseFunctions, AbsAndSqrMatchTheScalarReference) {
    const MapCase cases[] = {
        {"zaviAbs_32f", [](int32_t b, const float* s, float* d, int32_t n) { return zaviAbs_32f_dispatch.table[b](s, d, n); },
         absBits},
        {"zaviSqr_32f", [](int32_t b, const float* s, float* d, int32_t n) { return zaviSqr_32f_dispatch.table[b](s, d, n); },
         sqrBits},
    };
    std::vector<int64_t> lengths;
    for (int64_t n = 1; n <= 70; ++n) lengths.push_back(n);
    for (int64_t n : {255, 1000, 1001}) lengths.push_back(n);
    const std::pair<int, int> offsets[] = {{0, 0}, {4, 0}, {8, 0}, {12, 0}, {8, 4}, {12, 8}, {0, 12},
                                          {4, 4}, {0, 8}, {1, 0}, {0, 2}, {3, 5}, {6, 6}};
    for (const MapCase& c : cases) {
        const bool withNaN = std::string(c.name) == "zaviAbs_32f";  // Sqr's NaN results are checked apart
        for (int64_t n : lengths) {
            const std::vector<float> data = withNaN ? dataWithNaNs(static_cast<std::size_t>(n), 31)
                                                    : awkwardFloats(static_cast<std::size_t>(n), 31);
            ByteArena src(static_cast<std::size_t>(n) * 4 + 16), dst(static_cast<std::size_t>(n) * 4 + 16);
            const std::vector<uint8_t> before = dst.snapshot();
            for (const auto& [offSrc, offDst] : offsets) {
                SCOPED_TRACE(std::string(c.name) + " length " + std::to_string(n) + " offsets " +
                             std::to_string(offSrc) + "/" + std::to_string(offDst));
                writeFloats(src.at(offSrc), data);
                std::vector<uint8_t> want = before;
                for (std::size_t i = 0; i < data.size(); ++i) {
                    const uint32_t bits = c.reference(bitsOf(data[i]));
                    std::memcpy(want.data() + dst.index(offDst + 4 * static_cast<std::ptrdiff_t>(i)), &bits, 4);
                }
                ASSERT_EQ(c.call(build(), src.floatsAt(offSrc), dst.floatsAt(offDst), int32_t(n)), 0);
                ASSERT_EQ(dst.firstDifference(want), -1);
                dst.restore(before);
            }
        }
    }
}

TEST_P(ElementwiseFunctions, AbsClearsOnlyTheSignBit) {
    const float in[] = {-0.0f, 0.0f, -INFINITY, floatOf(0xFFC0BEEF), floatOf(0xFF80DEAD), -1e-42f, -2.5f};
    const uint32_t want[] = {0, 0, 0x7F800000, 0x7FC0BEEF, 0x7F80DEAD, bitsOf(1e-42f), bitsOf(2.5f)};
    float out[7];
    ASSERT_EQ(body(zaviAbs_32f_dispatch)(in, out, 7), 0);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(bitsOf(out[i]), want[i]) << i;
}

TEST_P(ElementwiseFunctions, SqrOfNaNIsNaN) {
    std::vector<float> in = randomFloats(40, 2), out(40);
    for (std::size_t i : {0u, 7u, 13u, 39u}) in[i] = floatOf(0x7FC00000 | static_cast<uint32_t>(i));
    in[20] = floatOf(0xFF800001);
    ASSERT_EQ(body(zaviSqr_32f_dispatch)(in.data(), out.data(), 40), 0);
    for (std::size_t i = 0; i < in.size(); ++i) {
        EXPECT_EQ(std::isnan(out[i]), std::isnan(in[i])) << i;
        if (!std::isnan(in[i])) {
            EXPECT_EQ(bitsOf(out[i]), bitsOf(in[i] * in[i])) << i;
        }
    }
}

TEST_P(ElementwiseFunctions, FlipReversesBitPatterns) {
    for (int64_t n = 1; n <= 70; n += (n < 40 ? 1 : 7)) {
        for (int64_t extra : {int64_t{0}, int64_t{1000}}) {
            const int64_t len = n + extra;
            const std::vector<float> data = dataWithNaNs(static_cast<std::size_t>(len), static_cast<uint32_t>(len));
            std::vector<float> reversed = data;
            std::reverse(reversed.begin(), reversed.end());
            for (int offset : {0, 4, 8, 12, 1, 2, 6}) {
                SCOPED_TRACE("length " + std::to_string(len) + " offset " + std::to_string(offset));
                ByteArena arena(static_cast<std::size_t>(len) * 4 + 16);
                writeFloats(arena.at(offset), data);
                std::vector<uint8_t> want = arena.snapshot();
                std::memcpy(want.data() + arena.index(offset), reversed.data(), reversed.size() * 4);
                ASSERT_EQ(body(zaviFlip_32f_I_dispatch)(arena.floatsAt(offset), int32_t(len)), 0);
                ASSERT_EQ(arena.firstDifference(want), -1);
            }
        }
    }
}

TEST_P(ElementwiseFunctions, ThresholdKeepsOnlyElementsAboveTheLevel) {
    // The element keeps its bits only if it compares greater than level.
    const float levels[] = {0.0f, -0.0f, 1.5f, -INFINITY, 1e-42f, floatOf(0x7FC00042)};
    for (float level : levels) {
        for (int64_t n : {1, 2, 3, 7, 8, 9, 15, 16, 17, 33, 40, 1001}) {
            std::vector<float> data = dataWithNaNs(static_cast<std::size_t>(n), 5);
            for (std::size_t i = 1; i < data.size(); i += 5) data[i] = level;  // equal elements
            for (int offset : {0, 4, 8, 12, 16, 20, 24, 28, 1, 3}) {
                SCOPED_TRACE("level " + describeFloat(level) + " length " + std::to_string(n) + " offset " +
                             std::to_string(offset));
                ByteArena arena(static_cast<std::size_t>(n) * 4 + 32);
                writeFloats(arena.at(offset), data);
                std::vector<uint8_t> want = arena.snapshot();
                for (std::size_t i = 0; i < data.size(); ++i) {
                    const float v = data[i] > level ? data[i] : level;
                    std::memcpy(want.data() + arena.index(offset + 4 * static_cast<std::ptrdiff_t>(i)), &v, 4);
                }
                ASSERT_EQ(body(zaviThreshold_LT_32f_I_dispatch)(arena.floatsAt(offset), int32_t(n), level), 0);
                ASSERT_EQ(arena.firstDifference(want), -1);
            }
        }
    }
}

TEST_P(ElementwiseFunctions, SmallFixtures) {
    // Level 0: -1, both zeros and NaN become +0.
    float v[] = {-1.0f, -0.0f, 0.0f, floatOf(0x7FC00000), 2.0f};
    ASSERT_EQ(body(zaviThreshold_LT_32f_I_dispatch)(v, 5, 0.0f), 0);
    const uint32_t want[] = {0, 0, 0, 0, bitsOf(2.0f)};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(bitsOf(v[i]), want[i]) << i;
    // Level -0: the zeros become -0.
    float z[] = {0.0f, -0.0f, 3.0f};
    ASSERT_EQ(body(zaviThreshold_LT_32f_I_dispatch)(z, 3, -0.0f), 0);
    EXPECT_EQ(bitsOf(z[0]), 0x80000000u);
    EXPECT_EQ(bitsOf(z[1]), 0x80000000u);
    EXPECT_EQ(z[2], 3.0f);

    float one[] = {floatOf(0x7FA00001)};
    ASSERT_EQ(body(zaviFlip_32f_I_dispatch)(one, 1), 0);
    EXPECT_EQ(bitsOf(one[0]), 0x7FA00001u);
    float five[] = {1, 2, floatOf(0xFFC00077), 4, 5};
    ASSERT_EQ(body(zaviFlip_32f_I_dispatch)(five, 5), 0);
    EXPECT_EQ(five[0], 5.0f);
    EXPECT_EQ(bitsOf(five[2]), 0xFFC00077u);
    EXPECT_EQ(five[4], 1.0f);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ElementwiseFunctions);

}  // namespace
}  // namespace primitives::test
