// zaviFIR_Direct_32f on every build against a plain convolution in double.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "FloatBits.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives {
namespace {

using test::sameBits;

class FirDirect : public test::PerBuildTest {};
INSTANTIATE_PER_BUILD_TEST_SUITE(FirDirect);

// The reference: out[i] = sum over k of taps[k] * x[i - k] (zero before the
// signal), added oldest first in double and rounded once. Products are exact
// in double; the SSE build rounds each to float first.
std::vector<float> convolve(const std::vector<float>& x, const std::vector<float>& taps, bool roundProducts) {
    std::vector<float> out(x.size());
    const auto length = static_cast<std::ptrdiff_t>(taps.size());
    for (std::ptrdiff_t i = 0; i < static_cast<std::ptrdiff_t>(x.size()); ++i) {
        double sum = 0.0;
        for (std::ptrdiff_t k = length - 1; k >= 0; --k) {
            const double sample = i - k >= 0 ? x[i - k] : 0.0f;
            const double product = static_cast<double>(taps[k]) * sample;
            sum += roundProducts ? static_cast<float>(product) : product;
        }
        out[i] = static_cast<float>(sum);
    }
    return out;
}

std::vector<float> randomSignal(std::size_t n, uint32_t seed, float scale = 1.0f) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-scale, scale);
    std::vector<float> x(n);
    for (float& v : x) v = value(random);
    return x;
}

// A signal filtered from a zeroed delay line and index 0, in blocks of the
// given sizes (cycled) through the stub.
std::vector<float> filterInBlocks(const std::vector<float>& x, const std::vector<float>& taps,
                                  std::vector<int32_t> blocks) {
    std::vector<float> line(2 * taps.size(), 0.0f), out(x.size());
    int32_t index = 0;
    std::size_t done = 0;
    for (std::size_t b = 0; done < x.size(); ++b) {
        const auto n = static_cast<int32_t>(std::min<std::size_t>(blocks[b % blocks.size()], x.size() - done));
        EXPECT_EQ(zaviFIR_Direct_32f(x.data() + done, out.data() + done, n, taps.data(),
                                     static_cast<int32_t>(taps.size()), line.data(), &index),
                  0);
        done += n;
    }
    return out;
}

TEST_P(FirDirect, ChecksDecideInOrderAndFailuresWriteNothing) {
    enum : unsigned { src = 1, dst = 2, taps = 4, line = 8, index = 16 };
    struct Case {
        const char* what;
        unsigned nulls;
        int32_t numIters, tapsLen, startIndex;
        PrimitiveStatus expected;
    };
    const Case cases[] = {
        {"null source", src, 4, 3, 0, -8},
        {"null destination", dst, 4, 3, 0, -8},
        {"null source with no samples", src, 0, 3, 0, -8},
        {"no samples", 0, 0, 3, 0, -6},
        {"no samples and null taps", taps, 0, 3, 0, -6},
        {"negative sample count", 0, -1, 3, 0, -6},
        {"null taps", taps, 4, 3, 0, -8},
        {"null taps with no taps", taps, 4, 0, 0, -8},
        {"no taps", 0, 4, 0, 0, -26},
        {"no taps and null delay line", line, 4, 0, 0, -26},
        {"negative tap count", 0, 4, -2, 0, -26},
        {"null delay line", line, 4, 3, 0, -8},
        {"null index", index, 4, 3, 0, -8},
        {"index -1", 0, 4, 3, -1, -24},
        {"index equal to the tap count", 0, 4, 3, 3, -24},
        {"index far out", 0, 4, 3, 1 << 30, -24},
        {"last valid index", 0, 4, 3, 2, 0},
    };
    const std::vector<float> input = {1.0f, 2.0f, 3.0f, 4.0f};
    const std::vector<float> coefficients = {0.5f, 0.25f, 0.125f};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<float> out(4, 99.0f), history(6, 7.0f);
        int32_t position = c.startIndex;
        const PrimitiveStatus status = zaviFIR_Direct_32f(
            (c.nulls & src) ? nullptr : input.data(), (c.nulls & dst) ? nullptr : out.data(), c.numIters,
            (c.nulls & taps) ? nullptr : coefficients.data(), c.tapsLen, (c.nulls & line) ? nullptr : history.data(),
            (c.nulls & index) ? nullptr : &position);
        EXPECT_EQ(status, c.expected);
        if (c.expected != 0) {
            EXPECT_EQ(out, std::vector<float>(4, 99.0f));
            EXPECT_EQ(history, std::vector<float>(6, 7.0f));
            EXPECT_EQ(position, c.startIndex);
        } else {
            EXPECT_EQ(position, (c.startIndex + 4) % 3);
        }
    }
}

TEST_P(FirDirect, ShortFiltersPassDelayAndScale) {
    const std::vector<float> x = {1.5f, -2.0f, 3.25f, 0.5f, -7.0f};
    struct Case {
        const char* what;
        std::vector<float> taps;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"one tap scales", {3.0f}, {4.5f, -6.0f, 9.75f, 1.5f, -21.0f}},
        {"identity", {1.0f, 0.0f, 0.0f}, x},
        {"delay by two", {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 1.5f, -2.0f, 3.25f}},
        {"first difference", {1.0f, -1.0f}, {1.5f, -3.5f, 5.25f, -2.75f, -7.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(filterInBlocks(x, c.taps, {5}), c.expected);
    }

    // One tap: the index stays 0 and both slots hold the last sample.
    std::vector<float> line(2, 0.0f), out(5);
    int32_t index = 0;
    const float tap = 3.0f;
    ASSERT_EQ(zaviFIR_Direct_32f(x.data(), out.data(), 5, &tap, 1, line.data(), &index), 0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(line, std::vector<float>(2, -7.0f));
}

TEST_P(FirDirect, InPlaceEqualsSeparateDestination) {
    const std::vector<float> x = randomSignal(300, 1);
    const std::vector<float> taps = randomSignal(17, 2);
    std::vector<float> separate = filterInBlocks(x, taps, {300});
    std::vector<float> inPlace = x, line(34, 0.0f);
    int32_t index = 0;
    ASSERT_EQ(zaviFIR_Direct_32f(inPlace.data(), inPlace.data(), 300, taps.data(), 17, line.data(), &index), 0);
    EXPECT_TRUE(sameBits(inPlace, separate));
}

TEST_P(FirDirect, BlocksOfAnySizeContinueOneSignal) {
    const std::vector<float> x = randomSignal(6000, 3);
    const std::vector<float> taps = randomSignal(33, 4);
    const std::vector<float> whole = filterInBlocks(x, taps, {6000});
    for (int32_t block : {1, 7, 1000}) {
        EXPECT_TRUE(sameBits(filterInBlocks(x, taps, {block}), whole)) << "blocks of " << block;
    }
    EXPECT_TRUE(sameBits(filterInBlocks(x, taps, {1, 7, 1000}), whole)) << "mixed blocks";
}

TEST_P(FirDirect, MatchesTheConvolutionOfItsBuild) {
    // Builds 1, 3 and 4 form exact products; build 2 rounds them to float.
    const bool roundsProducts = build() == buildSse;
    for (const std::size_t tapCount : {1u, 2u, 3u, 16u, 33u}) {
        const std::vector<float> x = randomSignal(500, 5 + static_cast<uint32_t>(tapCount), 1000.0f);
        const std::vector<float> taps = randomSignal(tapCount, 6);
        const std::vector<float> expected = convolve(x, taps, roundsProducts);
        EXPECT_TRUE(sameBits(filterInBlocks(x, taps, {500}), expected)) << tapCount << " taps";
    }

    // Products that need more than 24 bits tell the two kinds apart:
    // (1 + 2^-20)^2 loses its 2^-40 when rounded to float.
    const float near1 = 1.0f + 0x1p-20f;
    const std::vector<float> x = {near1, near1, -1.0f, near1};
    const std::vector<float> taps = {near1, -1.0f, near1};
    const std::vector<float> exact = convolve(x, taps, false);
    const std::vector<float> rounded = convolve(x, taps, true);
    ASSERT_FALSE(sameBits(exact, rounded));
    EXPECT_TRUE(sameBits(filterInBlocks(x, taps, {4}), roundsProducts ? rounded : exact));
}

TEST_P(FirDirect, BuildsWithExactProductsAgreeBitForBit) {
    if (build() == buildSse) GTEST_SKIP() << "the SSE build rounds its products";
    const std::vector<float> x = randomSignal(2000, 7, 1e6f);
    const std::vector<float> taps = randomSignal(31, 8);
    std::vector<float> mine(2000), generic(2000), lineA(62, 0.0f), lineB(62, 0.0f);
    int32_t a = 0, b = 0;
    ASSERT_EQ(body(zaviFIR_Direct_32f_dispatch)(x.data(), mine.data(), 2000, taps.data(), 31, lineA.data(), &a), 0);
    ASSERT_EQ(zaviFIR_Direct_32f_dispatch.table[buildGeneric](x.data(), generic.data(), 2000, taps.data(), 31,
                                                              lineB.data(), &b),
              0);
    EXPECT_TRUE(sameBits(mine, generic));
    EXPECT_EQ(lineA, lineB);
    EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace primitives
