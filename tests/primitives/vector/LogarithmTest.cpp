// zaviLn_32f_I: special values and warnings in every build, the status over
// 256-element chunks, and the values against the double-precision log.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "VectorTestSupport.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives::test {
namespace {

class Logarithm : public PerBuildTest {
protected:
    PrimitiveStatus ln(float* v, int64_t n) { return body(zaviLn_32f_I_dispatch)(v, int32_t(n)); }
};

float reference(float x) { return static_cast<float>(std::log(static_cast<double>(x))); }

struct SpecialCase {
    uint32_t argument;
    uint32_t result;
    PrimitiveStatus warning;
};

// Results that every build gives bit for bit. Positive NaNs of any kind give
// the quiet NaN 0x7FC00000, and denormals their true logarithm, silently.
const SpecialCase kSpecials[] = {
    {0x00000000, 0xFF800000, 7},                     // +0: -inf
    {0x80000000, 0xFFC00000, 8},                     // -0
    {0xBF800000, 0xFFC00000, 8},                     // -1
    {0xFF800000, 0xFFC00000, 8},                     // -inf
    {0xFFC00001, 0xFFC00000, 8},                     // negative quiet NaN
    {0xFF800001, 0xFFC00000, 8},                     // negative signalling NaN
    {0x80000001, 0xFFC00000, 8},                     // negative denormal
    {0x7F800000, 0x7F800000, 0},                     // +inf
    {0x7FC00000, 0x7FC00000, 0},                     // quiet NaN
    {0x7FC12345, 0x7FC00000, 0},                     // quiet NaN with payload
    {0x7F800001, 0x7FC00000, 0},                     // signalling NaN
    {0x7FA00000, 0x7FC00000, 0},                     // signalling NaN
    {0x00000001, bitsOf(reference(floatOf(1))), 0},  // smallest denormal, about -103.28
    {0x00400000, bitsOf(reference(floatOf(0x00400000))), 0},
    {0x007FFFFF, bitsOf(reference(floatOf(0x007FFFFF))), 0},
};

// Each special value at each position of chunks that take every path: the
// short path (under 32, or off 4-byte alignment), the single elements up to
// a 16-byte boundary, the 8-element groups and the last 0 to 7.
TEST_P(Logarithm, SpecialValuesAtEveryPositionAndPath) {
    for (const SpecialCase& special : kSpecials) {
        for (int64_t n : {1, 5, 31, 45, 256, 300}) {
            for (int offset : {0, 4, 8, 12, 2}) {
                for (int64_t at : {int64_t{0}, int64_t{1}, int64_t{2}, int64_t{3}, n / 2, n - 1, int64_t{270}}) {
                    if (at >= n) continue;
                    SCOPED_TRACE("argument " + describeFloat(floatOf(special.argument)) + " at " + std::to_string(at) +
                                 " of " + std::to_string(n) + ", offset " + std::to_string(offset));
                    ByteArena arena(static_cast<std::size_t>(n) * 4 + 16);
                    std::vector<float> data(static_cast<std::size_t>(n), 2.0f);
                    data[static_cast<std::size_t>(at)] = floatOf(special.argument);
                    writeFloats(arena.at(offset), data);
                    ASSERT_EQ(ln(arena.floatsAt(offset), n), special.warning);
                    const std::vector<float> out = readFloats(arena.at(offset), static_cast<std::size_t>(n));
                    EXPECT_EQ(bitsOf(out[static_cast<std::size_t>(at)]), special.result);
                    if (at > 0) {
                        EXPECT_NEAR(out[0], std::log(2.0f), 1e-6f);
                    }
                }
            }
        }
    }
}

TEST_P(Logarithm, SmallFixtures) {
    float a[] = {1.0f, static_cast<float>(M_E), 0.0f, -1.0f};
    EXPECT_EQ(ln(a, 4), 7);
    EXPECT_EQ(a[0], 0.0f);
    EXPECT_NEAR(a[1], 1.0f, 1e-6f);
    EXPECT_EQ(bitsOf(a[2]), 0xFF800000u);
    EXPECT_TRUE(std::isnan(a[3]));
    float b[] = {-1.0f, 0.0f};
    EXPECT_EQ(ln(b, 2), 8);
    float c[] = {1e-45f};  // denormal: about -103.28, not the polynomial's -88
    EXPECT_EQ(ln(c, 1), 0);
    EXPECT_NEAR(c[0], -103.2789f, 1e-3f);
}

// The status names the first element in index order that raised a warning,
// across chunks of 256 (and the SSE build walks each chunk backwards).
TEST_P(Logarithm, StatusOfTheFirstWarningAcrossChunks) {
    struct Case {
        const char* what;
        int64_t n;
        std::vector<std::pair<int64_t, float>> values;
        PrimitiveStatus expected;
    };
    const Case cases[] = {
        {"zero at 10, negative at 300", 600, {{10, 0.0f}, {300, -1.0f}}, 7},
        {"negative at 3, zero at 5", 600, {{3, -1.0f}, {5, 0.0f}}, 8},
        {"zero at 10 of 300 and nothing after", 300, {{10, 0.0f}}, 7},
        {"negative at 300, zero at 301", 600, {{300, -1.0f}, {301, 0.0f}}, 8},
        {"zero at 254, negative at 255", 600, {{254, 0.0f}, {255, -2.0f}}, 7},
        {"only in the last chunk: zero", 1000, {{990, 0.0f}}, 7},
        {"only in the last chunk: negative then zero", 1000, {{998, -0.0f}, {999, 0.0f}}, 8},
        {"none", 1000, {}, 0},
    };
    for (const Case& c : cases) {
        for (int offset : {0, 4, 8, 1}) {
            SCOPED_TRACE(std::string(c.what) + ", offset " + std::to_string(offset));
            ByteArena arena(static_cast<std::size_t>(c.n) * 4 + 16);
            std::vector<float> data = randomFloats(static_cast<std::size_t>(c.n), 4, 0.5f, 100.0f);
            for (const auto& [i, v] : c.values) data[static_cast<std::size_t>(i)] = v;
            writeFloats(arena.at(offset), data);
            EXPECT_EQ(ln(arena.floatsAt(offset), c.n), c.expected);
            const std::vector<float> out = readFloats(arena.at(offset), static_cast<std::size_t>(c.n));
            for (const auto& [i, v] : c.values) {
                EXPECT_EQ(bitsOf(out[static_cast<std::size_t>(i)]), v == 0.0f && !std::signbit(v) ? 0xFF800000u : 0xFFC00000u);
            }
        }
    }
}

// Positive normal floats of every magnitude: exponents from -126 to 127 and
// random mantissas, also just around 1 and sqrt(2), where the reduction
// switches.
std::vector<float> logArguments(std::size_t n, uint32_t seed) {
    uint64_t state = seed;
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        const uint64_t r = nextRandom(state);
        uint32_t bits = 0;
        switch (r % 4) {
        case 0: bits = static_cast<uint32_t>((1 + (r >> 8) % 254) << 23 | ((r >> 20) & 0x7FFFFF)); break;
        case 1: bits = 0x3F800000 + static_cast<uint32_t>((r >> 8) % 64) - 32; break;                  // near 1
        case 2: bits = 0x3FB504F3 + static_cast<uint32_t>((r >> 8) % 64) - 32; break;                  // near sqrt 2
        default: bits = 0x3F000000 + static_cast<uint32_t>((r >> 8) % 0x1000000); break;               // [0.5, 2)
        }
        v[i] = floatOf(bits);
    }
    return v;
}

TEST_P(Logarithm, ValuesAgainstTheDoublePrecisionLog) {
    const int64_t lengths[] = {1, 3, 7, 8, 31, 32, 33, 40, 255, 256, 257, 1000};
    int64_t worst = 0;
    for (int64_t n : lengths) {
        for (int offset : {0, 4, 8, 12, 2}) {
            SCOPED_TRACE("length " + std::to_string(n) + " offset " + std::to_string(offset));
            const std::vector<float> data = logArguments(static_cast<std::size_t>(n), static_cast<uint32_t>(n * 16 + offset));
            ByteArena arena(static_cast<std::size_t>(n) * 4 + 16);
            writeFloats(arena.at(offset), data);
            ASSERT_EQ(ln(arena.floatsAt(offset), n), 0);
            const std::vector<float> out = readFloats(arena.at(offset), static_cast<std::size_t>(n));
            for (std::size_t i = 0; i < data.size(); ++i) {
                const float want = reference(data[i]);
                if (build() == buildGeneric) {
                    ASSERT_EQ(bitsOf(out[i]), bitsOf(want)) << describeFloat(data[i]);
                    continue;
                }
                // Both sides are normal floats here, except ln 1 = 0, which
                // every path gives exactly.
                if (want == 0.0f) {
                    ASSERT_EQ(out[i], 0.0f) << describeFloat(data[i]);
                    continue;
                }
                const int64_t ulps = ulpDistance(out[i], want);
                worst = std::max(worst, ulps);
                ASSERT_LE(ulps, 8) << describeFloat(data[i]) << " gives " << describeFloat(out[i]) << ", want "
                                   << describeFloat(want);
            }
        }
    }
    RecordProperty("worst_ulps", static_cast<int>(worst));
    std::printf("worst distance from the double-precision log: %d ulp\n", static_cast<int>(worst));
}

// The SSE2 and SSE3-class builds run one algorithm: the same bits on the
// same buffer, whatever path each element takes.
TEST(LogarithmAcrossBuilds, Sse2AndSse3ClassAgree) {
    if (!hostRunsBuild(buildSse3)) GTEST_SKIP() << "this processor cannot run the sse3 build";
    for (int64_t n : {5, 40, 256, 1000}) {
        for (int offset : {0, 4, 2}) {
            const std::vector<float> data = logArguments(static_cast<std::size_t>(n), static_cast<uint32_t>(n + offset));
            ByteArena a(static_cast<std::size_t>(n) * 4 + 16), b(static_cast<std::size_t>(n) * 4 + 16);
            writeFloats(a.at(offset), data);
            writeFloats(b.at(offset), data);
            ASSERT_EQ(zaviLn_32f_I_dispatch.table[buildSse2](a.floatsAt(offset), int32_t(n)), 0);
            ASSERT_EQ(zaviLn_32f_I_dispatch.table[buildSse3](b.floatsAt(offset), int32_t(n)), 0);
            EXPECT_EQ(firstBitDifference(readFloats(a.at(offset), static_cast<std::size_t>(n)),
                                         readFloats(b.at(offset), static_cast<std::size_t>(n))),
                      -1)
                << "length " << n << " offset " << offset;
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(Logarithm);

}  // namespace
}  // namespace primitives::test
