// Worked examples: tables, intermediate rows and results that can be
// followed by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "BuildTest.h"
#include "ResizeModel.h"
#include "primitives/resize/ResizeBuilds.h"
#include "primitives/resize/ResizeTables.h"

namespace primitives::test {
namespace {

// Runs fn.template operator()<Policy>() with the policy of a build, to reach
// that build's row passes.
template <typename Fn>
void withBuildPolicy(int32_t build, Fn fn) {
    switch (build) {
    case buildGeneric: fn.template operator()<GenericBuild>(); break;
    case buildSse: fn.template operator()<SseBuild>(); break;
    case buildSse2: fn.template operator()<Sse2Build>(); break;
    default: fn.template operator()<Sse3Build>(); break;
    }
}

// An 8-bit image of one element per pixel.
ResizeCase oneChannelCase(int32_t width, int32_t height, double xFactor, double yFactor, int32_t dstWidth,
                          int32_t dstHeight, int32_t interpolation) {
    ResizeCase c = packedResizeCase(resizeData8u, 1, 1, interpolation, width, height, dstWidth, dstHeight);
    c.xFactor = xFactor;
    c.yFactor = yFactor;
    return c;
}

std::vector<uint8_t> runOneChannel(int32_t build, const ResizeCase& c, const std::vector<uint8_t>& src,
                                   uint8_t fill = 0xEE) {
    std::vector<uint8_t> dst(static_cast<std::size_t>(c.dstStep) * c.dstHeight, fill);
    EXPECT_EQ(generalDriverOf(build)(c.parameters(src.data(), dst.data())), primitiveStatusOk) << c.describe();
    return dst;
}

class ResizeExamples : public PerBuildTest {};

TEST_P(ResizeExamples, TwoByTwoDoubledThroughPairsAndIntermediateRows) {
    // Positions 0, 1/3, 2/3, 1 on columns 0 and 1; the last is the image's
    // last column, so it steps back with the whole weight on the right.
    const ResizeAxis cols = mapResizeAxis(2, 2.0, 4, 0.0, false, 1);
    ASSERT_EQ(cols.count, 4);
    int64_t indexes[4];
    LinearWeightPairQ14 pairs[4];
    buildLinearTable(cols, {2, 0, 2}, 1, indexes, pairs);
    const LinearWeightPairQ14 expectedPairs[] = {{16384, 0}, {10923, 5461}, {5462, 10922}, {0, 16384}};
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(indexes[j], 0);
        EXPECT_EQ(pairs[j].w0, expectedPairs[j].w0) << j;
        EXPECT_EQ(pairs[j].w1, expectedPairs[j].w1) << j;
    }

    const uint8_t top[] = {10, 20};
    const uint8_t bottom[] = {30, 40};
    uint16_t upper[8], lower[8];
    withBuildPolicy(build(), [&]<typename Build>() {
        Build::IntPasses::horizontal1Ch(top, 4, indexes, pairs, upper);
        Build::IntPasses::horizontal1Ch(bottom, 4, indexes, pairs, lower);
    });
    EXPECT_EQ(std::vector<uint16_t>(upper, upper + 4), (std::vector<uint16_t>{640, 853, 1067, 1280}));
    EXPECT_EQ(std::vector<uint16_t>(lower, lower + 4), (std::vector<uint16_t>{1920, 2133, 2347, 2560}));

    const std::vector<uint8_t> expected = {10, 13, 17, 20, 17, 20, 23, 27, 23, 27, 30, 33, 30, 33, 37, 40};
    EXPECT_EQ(runOneChannel(build(), oneChannelCase(2, 2, 2.0, 2.0, 4, 4, resizeInterpolationLinear),
                            {10, 20, 30, 40}),
              expected);

    // The same through the entry: three processed bytes of four, the fourth
    // left alone.
    const uint8_t bgra[] = {10, 10, 10, 1, 20, 20, 20, 2, 30, 30, 30, 3, 40, 40, 40, 4};
    std::vector<uint8_t> dst(4 * 4 * 4, 0xA7);
    ASSERT_EQ(zuzuZivere_8d_OZ4O(bgra, {2, 2}, 8, {0, 0, 2, 2}, dst.data(), 16, {4, 4}, 2.0, 2.0,
                                 resizeInterpolationLinear),
              primitiveStatusOk);
    for (int p = 0; p < 16; ++p) {
        EXPECT_EQ(dst[4 * p + 0], expected[p]) << p;
        EXPECT_EQ(dst[4 * p + 1], expected[p]) << p;
        EXPECT_EQ(dst[4 * p + 2], expected[p]) << p;
        EXPECT_EQ(dst[4 * p + 3], 0xA7) << p;
    }
}

TEST_P(ResizeExamples, HalfWeightsOfZeroAnd255RoundHalfUp) {
    const uint8_t row[] = {0, 255};
    const int64_t index[] = {0};
    const LinearWeightPairQ14 half[] = {{8192, 8192}};
    uint16_t intermediate[8] = {};
    const uint16_t zeros[8] = {};
    uint8_t out[1] = {};
    withBuildPolicy(build(), [&]<typename Build>() {
        Build::IntPasses::horizontal1Ch(row, 1, index, half, intermediate);
        Build::IntPasses::vertical(out, 1, 0, intermediate, zeros);
    });
    EXPECT_EQ(intermediate[0], 8160);
    EXPECT_EQ(out[0], 128);  // 127.5 rounded up
}

TEST_P(ResizeExamples, NearestPicksPixelCentres) {
    struct Row {
        int32_t width;
        double factor;
        std::vector<uint8_t> expected;
    };
    const Row rows[] = {
        {1, 2.0, {1, 1}},
        {2, 2.0, {1, 1, 2, 2}},
        {3, 2.0, {1, 1, 2, 2, 3, 3}},
        {1, 0.5, {1}},  // one column at least; its centre 1.0 lies past the region and is kept on it
        {2, 0.5, {2}},
        {3, 0.5, {2}},
        {4, 0.5, {2, 4}},  // positions 1 and 3
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.width << " at " << row.factor);
        const ResizeCase c = oneChannelCase(row.width, 1, row.factor, 1.0, 8, 1, resizeInterpolationNearest);
        std::vector<uint8_t> src(row.width);
        for (int32_t i = 0; i < row.width; ++i) src[i] = static_cast<uint8_t>(i + 1);
        std::vector<uint8_t> expected = row.expected;
        expected.resize(8, 0xEE);
        EXPECT_EQ(runOneChannel(build(), c, src), expected);
    }
}

TEST_P(ResizeExamples, ThreeColumnsDoubledEndOnTheLastColumn) {
    // Step 2 / 5: positions 0, 0.4, 0.8, 1.2, 1.6, 2.0; the last lies on the
    // image's last column and becomes k = 1 with the pair (0, 16384).
    const ResizeAxis cols = mapResizeAxis(3, 2.0, 6, 0.0, false, 1);
    ASSERT_EQ(cols.count, 6);
    EXPECT_DOUBLE_EQ(cols.step, 0.4);
    int64_t indexes[6];
    LinearWeightPairQ14 pairs[6];
    buildLinearTable(cols, {3, 0, 3}, 1, indexes, pairs);
    EXPECT_EQ(indexes[5], 1);
    EXPECT_EQ(pairs[5].w0, 0);
    EXPECT_EQ(pairs[5].w1, 16384);

    const ResizeCase c = oneChannelCase(3, 2, 2.0, 1.0, 6, 2, resizeInterpolationLinear);
    const std::vector<uint8_t> row = {0, 100, 200, 0, 100, 200};
    const std::vector<uint8_t> expected = {0, 40, 80, 120, 160, 200, 0, 40, 80, 120, 160, 200};
    EXPECT_EQ(runOneChannel(build(), c, row), expected);
}

TEST_P(ResizeExamples, RegionOverhangingTheRowIsClippedFirst) {
    // Region 6..15 of a 10-pixel row: 4 columns remain, so a factor of 2
    // writes 8 of the 20 destination columns.
    EXPECT_EQ(mapResizeAxis(4, 2.0, 20, 0.0, false, 1).count, 8);
    ResizeCase c = oneChannelCase(10, 2, 2.0, 1.0, 20, 2, resizeInterpolationLinear);
    c.roiX = 6;
    c.roiWidth = 10;
    std::mt19937_64 random(6);
    ResizeBuffers buffers(c, random);
    const auto expected = modelResize(c, buffers, arithmeticOf(build()));
    const auto before = buffers.dst;
    ASSERT_EQ(generalDriverOf(build())(c.parameters(buffers.srcArgument(), buffers.dstArgument())),
              primitiveStatusOk);
    EXPECT_TRUE(sameDestination(c, expected, buffers.dst));
    for (int row = 0; row < 2; ++row) {
        for (int col = 8; col < 20; ++col) EXPECT_EQ(buffers.dst[0][row * 20 + col], before[0][row * 20 + col]);
    }
}

TEST_P(ResizeExamples, RegionOnTheLastRowRepeatsThatRow) {
    // Every destination row steps back one row and puts the whole weight on
    // the lower one, the image's last row.
    const ResizeAxis rows = mapResizeAxis(1, 3.0, 3, 0.0, false, 1);
    ASSERT_EQ(rows.count, 3);
    int64_t offsets[3];
    uint16_t weights[3];
    buildLinearTable(rows, {1, 3, 4}, 20, offsets, weights);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(offsets[i], -20);
        EXPECT_EQ(weights[i], 16384);
    }

    // The entry's format: 8-bit, four elements, three processed.
    ResizeCase c = packedResizeCase(resizeData8u, 4, 3, resizeInterpolationLinear, 5, 4, 10, 3);
    c.roiY = 3;
    c.roiHeight = 1;
    c.xFactor = 2.0;
    c.yFactor = 3.0;
    std::mt19937_64 random(4);
    ResizeBuffers buffers(c, random);
    const auto expected = modelResize(c, buffers, arithmeticOf(build()));
    ASSERT_EQ(zuzuZivere_8d_OZ4O(buffers.src[0].data(), {5, 4}, 20, {0, 3, 5, 1}, buffers.dst[0].data(), 40, {10, 3},
                                 2.0, 3.0, resizeInterpolationLinear),
              primitiveStatusOk);
    EXPECT_TRUE(sameDestination(c, expected, buffers.dst));
    for (int row = 1; row < 3; ++row) {
        for (int col = 0; col < 10; ++col) {
            EXPECT_EQ(std::memcmp(&buffers.dst[0][row * 40 + col * 4], &buffers.dst[0][col * 4], 3), 0)
                << "row " << row << " column " << col;
        }
    }
}

TEST_P(ResizeExamples, SmallSourcesLowerTheMethod) {
    struct Row {
        int32_t width, height, asked, equivalent;
    };
    const Row rows[] = {
        {3, 100, resizeInterpolationCubic, resizeInterpolationLinear},
        {3, 100, resizeInterpolationLanczos, resizeInterpolationLinear},
        {100, 3, resizeInterpolationLanczos, resizeInterpolationLinear},
        {1, 100, resizeInterpolationLinear, resizeInterpolationNearest},
        {1, 100, resizeInterpolationLanczos, resizeInterpolationNearest},
        {100, 1, resizeInterpolationCubic, resizeInterpolationNearest},
        {100, 1, resizeInterpolationLinear, resizeInterpolationNearest},
    };
    std::mt19937_64 random(3);
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.width << "x" << row.height << " asked " << row.asked);
        const int32_t step = row.width * 4;
        std::vector<uint8_t> src(static_cast<std::size_t>(step) * row.height);
        for (auto& byte : src) byte = static_cast<uint8_t>(random());
        const ImageSize dstSize{row.width * 3 / 2 + 1, row.height * 3 / 2 + 1};
        const int32_t dstStep = dstSize.width * 4;
        std::vector<uint8_t> asked(static_cast<std::size_t>(dstStep) * dstSize.height, 0x5A);
        std::vector<uint8_t> equivalent = asked;
        for (auto [dst, method] : {std::pair{asked.data(), row.asked}, std::pair{equivalent.data(), row.equivalent}}) {
            ASSERT_EQ(zuzuZivere_8d_OZ4O(src.data(), {row.width, row.height}, step, {0, 0, row.width, row.height},
                                         dst, dstStep, dstSize, 1.5, 1.5, method),
                      primitiveStatusOk);
        }
        EXPECT_EQ(asked, equivalent);
    }
}

TEST_P(ResizeExamples, SixteenBitExtremesKeepTheirValues) {
    for (const uint16_t value : {uint16_t{40000}, uint16_t{65535}}) {
        for (const auto& [channels, layout] : {std::pair{1, 1}, std::pair{3, 3}, std::pair{4, 3}, std::pair{4, 4}}) {
            SCOPED_TRACE(::testing::Message() << value << " channels " << channels << " layout " << layout);
            const ResizeCase c =
                packedResizeCase(resizeData16u, channels, layout, resizeInterpolationLinear, 19, 7, 41, 9);
            std::vector<uint16_t> src(19 * 7 * channels, value);
            std::vector<uint16_t> dst(c.dstStep / 2 * 9, 7);
            ASSERT_EQ(generalDriverOf(build())(c.parameters(src.data(), dst.data())), primitiveStatusOk);
            for (std::size_t e = 0; e < dst.size(); ++e) {
                const bool processed = layout == 1 || layout == 4 || e % channels < 3;
                ASSERT_EQ(dst[e], processed ? value : 7) << "element " << e;
            }
        }
    }
}

TEST_P(ResizeExamples, FloatEndWeightsAreExact) {
    // A fraction of 0 gives the left sample, a row weight of 1 the lower row
    // and 0 the upper row, bit for bit.
    std::mt19937_64 random(11);
    std::vector<float> row(34), upper(16), lower(16);
    for (auto& v : row) v = static_cast<float>(randomDouble(random, -1e6, 1e6));
    for (auto& v : upper) v = static_cast<float>(randomDouble(random, -1e6, 1e6));
    for (auto& v : lower) v = static_cast<float>(randomDouble(random, -1e6, 1e6));
    std::vector<int64_t> indexes(16);
    for (int j = 0; j < 16; ++j) indexes[j] = 2 * j;
    const std::vector<float> zeros(16, 0.0f);
    std::vector<float> horizontal(16), toLower(16), toUpper(16);
    withBuildPolicy(build(), [&]<typename Build>() {
        using Passes = typename Build::FloatPasses;
        Passes::horizontal1Ch(row.data(), 16, indexes.data(), zeros.data(), horizontal.data());
        Passes::vertical(toLower.data(), 16, 1.0f, upper.data(), lower.data());
        Passes::vertical(toUpper.data(), 16, 0.0f, upper.data(), lower.data());
    });
    for (int j = 0; j < 16; ++j) {
        EXPECT_EQ(horizontal[j], row[2 * j]) << j;
        EXPECT_EQ(toLower[j], lower[j]) << j;
        EXPECT_EQ(toUpper[j], upper[j]) << j;
    }
}

TEST_P(ResizeExamples, FloatSpecialValues) {
    // Nearest moves floats as bit patterns; linear turns a NaN input into NaN
    // wherever it is used.
    const uint32_t patterns[] = {0x7FC00001u, 0xFFC12345u, 0x80000000u, 0x7F800000u, 0x00000001u, 0x3F800000u};
    for (const int32_t method : {resizeInterpolationNearest, resizeInterpolationLinear}) {
        for (const auto& [channels, layout] : {std::pair{1, 1}, std::pair{3, 3}, std::pair{4, 3}, std::pair{4, 4}}) {
            SCOPED_TRACE(::testing::Message() << "method " << method << " layout " << layout << "/" << channels);
            const ResizeCase c = packedResizeCase(resizeData32f, channels, layout, method, 6, 5, 13, 11);
            std::mt19937_64 random(5);
            ResizeBuffers buffers(c, random);
            auto& src = buffers.src[0];
            for (std::size_t e = 0; e * 4 < src.size(); e += 7) std::memcpy(&src[e * 4], &patterns[e % 6], 4);
            const auto expected = modelResize(c, buffers, arithmeticOf(build()));
            ASSERT_EQ(generalDriverOf(build())(c.parameters(buffers.srcArgument(), buffers.dstArgument())),
                      primitiveStatusOk);
            // Only bit patterns for nearest; for linear, NaN where the model
            // has NaN (payloads may differ).
            EXPECT_TRUE(sameDestination(c, expected, buffers.dst, method == resizeInterpolationNearest ? 0 : 1));
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeExamples);

}  // namespace
}  // namespace primitives::test
