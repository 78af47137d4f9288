// Worked examples: tables, intermediate rows and results that can be
// followed by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "BuildTest.h"
#include "ResizeModel.h"
#include "primitives/resize/LanczosKernelTable.h"
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


// ---- Cubic ---------------------------------------------------------------------

// Rows of `count` floats holding p0, p1, p2, p3.
struct CubicRows {
    std::vector<float> r[4];
    CubicRows(std::size_t count, const float (&p)[4]) {
        for (int k = 0; k < 4; ++k) r[k].assign(count, p[k]);
    }
};

TEST_P(ResizeExamples, CubicRampEnlargedThroughEveryFraction) {
    // A 4 x 4 ramp 0, 10, 20, 30 doubled: every destination column uses
    // source columns 0 to 3 at t = -1, -4/7, -1/7, 2/7, 5/7, 8/7, 11/7, 2. The
    // cubic reproduces the ramp; the generic build truncates it, the SIMD
    // builds round the (all grouped) values of these rows.
    const std::vector<uint8_t> generic = {0, 4, 8, 12, 17, 21, 25, 30};
    const std::vector<uint8_t> simd = {0, 4, 9, 13, 17, 21, 26, 30};
    const std::vector<uint8_t>& expected = build() == buildGeneric ? generic : simd;

    const ResizeCase c = oneChannelCase(4, 4, 2.0, 2.0, 8, 8, resizeInterpolationCubic);
    const std::vector<uint8_t> dst = runOneChannel(build(), c, std::vector<uint8_t>{0, 10, 20, 30, 0, 10, 20, 30,
                                                                                    0, 10, 20, 30, 0, 10, 20, 30});
    for (int row = 0; row < 8; ++row) {
        EXPECT_EQ(std::vector<uint8_t>(dst.begin() + 8 * row, dst.begin() + 8 * row + 8), expected) << row;
    }
    // The entry's pixel format: 24 values a row, all in groups too.
    std::vector<uint8_t> bgra(4 * 4 * 4);
    for (std::size_t i = 0; i < bgra.size(); ++i) bgra[i] = i % 4 == 3 ? 99 : static_cast<uint8_t>(10 * (i / 4 % 4));
    std::vector<uint8_t> out(8 * 8 * 4, 0x5C);
    ASSERT_EQ(zuzuZivere_8d_OZ4O(bgra.data(), {4, 4}, 16, {0, 0, 4, 4}, out.data(), 32, {8, 8}, 2.0, 2.0,
                                 resizeInterpolationCubic),
              primitiveStatusOk);
    for (int p = 0; p < 64; ++p) {
        for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(out[4 * p + ch], expected[p % 8]) << "pixel " << p;
        EXPECT_EQ(out[4 * p + 3], 0x5C) << "pixel " << p;
    }
}

TEST_P(ResizeExamples, CubicVerticalValuesOfKnownTaps) {
    // Five values: the first four form a group in the SIMD builds, the fifth
    // is their scalar tail; the generic build truncates all five.
    const bool generic = build() == buildGeneric;
    struct Row {
        float p[4];
        uint8_t group, tail;
    };
    const Row rows[] = {
        {{0, 0, 255, 255}, 128, 127},  // 127.5: rounded in a group, truncated in a tail
        {{255, 0, 0, 255}, 0, 0},      // -31.875
        {{0, 255, 255, 255}, 255, 255},
    };
    withBuildPolicy(build(), [&]<typename Build>() {
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.p[0] << " " << row.p[1] << " " << row.p[2] << " " << row.p[3]);
            const CubicRows in(5, row.p);
            uint8_t out[5];
            Build::Cubic::vertical(out, 5, 0.5f, in.r[0].data(), in.r[1].data(), in.r[2].data(), in.r[3].data());
            for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], generic || i == 4 ? row.tail : row.group) << i;
        }
        if (generic) {
            // The overshoot of 0, 255, 255, 255 at 0.5 (270.9375) in the three types.
            const CubicRows in(1, {0, 255, 255, 255});
            uint8_t u8;
            uint16_t u16;
            float f32;
            Build::Cubic::vertical(&u8, 1, 0.5f, in.r[0].data(), in.r[1].data(), in.r[2].data(), in.r[3].data());
            Build::Cubic::vertical(&u16, 1, 0.5f, in.r[0].data(), in.r[1].data(), in.r[2].data(), in.r[3].data());
            Build::Cubic::vertical(&f32, 1, 0.5f, in.r[0].data(), in.r[1].data(), in.r[2].data(), in.r[3].data());
            EXPECT_EQ(u8, 255);
            EXPECT_EQ(u16, 270);
            EXPECT_EQ(f32, 270.9375f);
        }
    });
}

TEST_P(ResizeExamples, CubicGroupAndTailConversions) {
    // Four equal rows give their value exactly in every form; the group
    // positions then add 1e-5 and round to nearest (ties to even), the tail
    // positions truncate. The generic build truncates everywhere.
    struct Row {
        float value;
        bool sixteenBit;
        int32_t group, tail;
    };
    const Row rows[] = {
        {100.6f, false, 101, 100}, {200.5f, false, 201, 200}, {2.5f, false, 3, 2},   {254.7f, false, 255, 254},
        {-0.4f, false, 0, 0},      {300.5f, true, 300, 300},   {70000.0f, true, 65535, 65535},
        {65535.4f, true, 65535, 65535},
        {0x1.fffffep-1f, false, 1, 1},  // within 1e-7 below 1: the tails' lift makes it 1
    };
    const bool generic = build() == buildGeneric;
    withBuildPolicy(build(), [&]<typename Build>() {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.value);
            const float p[4] = {row.value, row.value, row.value, row.value};
            const CubicRows in(6, p);
            const auto expected = [&](int i) { return generic || i >= 4 ? row.tail : row.group; };
            // Contiguous: five values; skipping element 3: two pixels, six values.
            if (row.sixteenBit) {
                uint16_t out[5];
                Build::Cubic::vertical(out, 5, 0.3f, in.r[0].data(), in.r[1].data(), in.r[2].data(), in.r[3].data());
                for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], expected(i)) << i;
                uint16_t pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
                Build::Cubic::verticalSkipAlpha(pixels, 2, 0.3f, in.r[0].data(), in.r[1].data(), in.r[2].data(),
                                                in.r[3].data());
                for (int i = 0; i < 6; ++i) EXPECT_EQ(pixels[4 * (i / 3) + i % 3], expected(i)) << "skip " << i;
                EXPECT_EQ(pixels[3], 4);
                EXPECT_EQ(pixels[7], 8);
            } else {
                uint8_t out[5];
                Build::Cubic::vertical(out, 5, 0.3f, in.r[0].data(), in.r[1].data(), in.r[2].data(), in.r[3].data());
                for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], expected(i)) << i;
            }
        }
    });
}

TEST_P(ResizeExamples, CubicGroupsAndTailsByPosition) {
    // Which values of a vertical pass are grouped (rounded) and which are
    // tails (truncated), shown with rows of 100.6: 101 or 100.
    struct Row {
        const char* what;
        int32_t channels, layout, dstWidth;
        std::vector<int> expected;  // per destination element; -1 untouched
    };
    const Row rows[] = {
        {"layout 3 of 4, two pixels", 4, 3, 2, {101, 101, 101, -1, 101, 100, 100, -1}},
        {"layout 3 of 3, two pixels", 3, 3, 2, {101, 101, 101, 101, 100, 100}},
        {"one channel, four columns", 1, 1, 4, {101, 101, 101, 101}},
        {"one channel, five columns", 1, 1, 5, {101, 101, 101, 101, 100}},
        {"one channel, three columns", 1, 1, 3, {100, 100, 100}},
    };
    const float p[4] = {100.6f, 100.6f, 100.6f, 100.6f};
    const CubicRows in(20, p);
    withBuildPolicy(build(), [&]<typename Build>() {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.what);
            std::vector<uint8_t> dst(row.expected.size(), 7);
            if (row.channels == row.layout) {
                Build::Cubic::vertical(dst.data(), row.dstWidth * row.layout, 0.0f, in.r[0].data(), in.r[1].data(),
                                       in.r[2].data(), in.r[3].data());
            } else {
                Build::Cubic::verticalSkipAlpha(dst.data(), row.dstWidth, 0.0f, in.r[0].data(), in.r[1].data(),
                                                in.r[2].data(), in.r[3].data());
            }
            for (std::size_t e = 0; e < dst.size(); ++e) {
                const int want = row.expected[e] < 0 ? 7 : build() == buildGeneric ? 100 : row.expected[e];
                EXPECT_EQ(dst[e], want) << "element " << e;
            }
        }
    });
}

TEST_P(ResizeExamples, CubicKeepsAConstantImageConstant) {
    // Every difference is 0, so every form returns the sample: in every
    // type, layout, position and build, floats included (no bias on floats).
    struct Row {
        int32_t dataType;
        double value;
    };
    const Row rows[] = {{resizeData8u, 0},       {resizeData8u, 77},     {resizeData8u, 255},
                        {resizeData16u, 40000},  {resizeData16u, 65535}, {resizeData32f, 1.0},
                        {resizeData32f, -7.25},  {resizeData32f, 1e30}};
    std::mt19937_64 random(17);
    for (const Row& row : rows) {
        for (int n = 0; n < 12; ++n) {
            ResizeCase c = randomInterpolatingCase(random);
            const int32_t drawnSize = c.elementSize();
            c.dataType = row.dataType;
            c.interpolation = resizeInterpolationCubic;
            c.srcStep = c.srcStep / drawnSize * c.elementSize();
            c.dstStep = c.dstStep / drawnSize * c.elementSize();
            if (modelMethod(c) != resizeInterpolationCubic) continue;
            SCOPED_TRACE(c.describe());
            ResizeBuffers buffers(c, random);
            for (auto& plane : buffers.src) {
                for (std::size_t at = 0; at < plane.size(); at += c.elementSize()) {
                    if (row.dataType == resizeData8u) plane[at] = static_cast<uint8_t>(row.value);
                    if (row.dataType == resizeData16u) {
                        const auto v = static_cast<uint16_t>(row.value);
                        std::memcpy(&plane[at], &v, 2);
                    }
                    if (row.dataType == resizeData32f) {
                        const auto v = static_cast<float>(row.value);
                        std::memcpy(&plane[at], &v, 4);
                    }
                }
            }
            // The constant everywhere the call writes: the model with the
            // same constant source in any arithmetic shows where that is.
            const auto expected = modelResize(c, buffers, ModelArithmetic::doublePrecision);
            ASSERT_EQ(generalDriverOf(build())(c.parameters(buffers.srcArgument(), buffers.dstArgument())),
                      primitiveStatusOk);
            EXPECT_TRUE(sameDestination(c, expected, buffers.dst));
        }
    }
}

// ---- Lanczos -------------------------------------------------------------------

TEST_P(ResizeExamples, LanczosKernelTableAndWeights) {
    // Telling entries of the kernel table, to seven decimals; its zeros.
    const std::pair<int, double> entries[] = {{0, 1.0},          {1, 0.9998172},   {50, 0.6079271},
                                              {99, 0.0083850},   {101, -0.0081542}, {150, -0.1350949},
                                              {250, 0.0243171},  {299, 0.0000112}};
    for (const auto& [i, value] : entries) EXPECT_NEAR(LanczosKernelTable[i], value, 6e-8) << i;
    EXPECT_TRUE(std::signbit(LanczosKernelTable[100]) && LanczosKernelTable[100] == 0.0f);
    for (const int i : {200, 300, 301}) EXPECT_TRUE(!std::signbit(LanczosKernelTable[i]) && LanczosKernelTable[i] == 0.0f) << i;

    // The weights of a few fractions, in the build's own builder.
    struct Row {
        float fraction;
        double weights[6];
    };
    const Row rows[] = {
        {0.25f, {0.030021, -0.132871, 0.890067, 0.270190, -0.067791, 0.007356}},
        {0.5f, {0.024317, -0.135095, 0.607927, 0.607927, -0.135095, 0.024317}},
        {0.75f, {0.007356, -0.067791, 0.270190, 0.890067, -0.132871, 0.030021}},
    };
    withBuildPolicy(build(), [&]<typename Build>() {
        for (const Row& row : rows) {
            float w[6];
            Build::LanczosWeights::build(&row.fraction, 1, w);
            for (int k = 0; k < 6; ++k) EXPECT_NEAR(w[k], row.weights[k], 1e-6) << row.fraction << " tap " << k;
        }
        // At a whole position exactly (0, -0, 1, -0, 0, 0), signs included.
        const float zero = 0.0f;
        float w[6];
        Build::LanczosWeights::build(&zero, 1, w);
        const float expected[6] = {0.0f, -0.0f, 1.0f, -0.0f, 0.0f, 0.0f};
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(w[k], expected[k]) << k;
            EXPECT_EQ(std::signbit(w[k]), std::signbit(expected[k])) << k;
        }
        // Fraction -1: the taps 3 and 4 away weigh 0; the one on the position 1.
        const float minusOne = -1.0f;
        Build::LanczosWeights::build(&minusOne, 1, w);
        EXPECT_EQ(w[1], 1.0f);
        EXPECT_EQ(w[4], 0.0f);
        EXPECT_EQ(w[5], 0.0f);
        // Three fractions write 18 floats and nothing after them.
        const float three[3] = {0.1f, 0.6f, 0.95f};
        std::vector<float> out(24, 123.0f);
        Build::LanczosWeights::build(three, 3, out.data());
        for (int k = 18; k < 24; ++k) EXPECT_EQ(out[k], 123.0f) << k;
        for (int k = 0; k < 18; ++k) EXPECT_NE(out[k], 123.0f) << k;
    });
}

// A one-channel image of `height` rows of `width` copies of `value`.
std::vector<uint8_t> constantImage(int32_t width, int32_t height, uint8_t value) {
    return std::vector<uint8_t>(static_cast<std::size_t>(width) * height, value);
}

TEST_P(ResizeExamples, LanczosOnConstantAreas) {
    // The weights are not normalised. 255 enlarged 8 -> 15 (positions 0, 0.5,
    // 1, ... 7): 255 on whole positions, 253 with one half, 252 with two.
    {
        const ResizeCase c = oneChannelCase(8, 8, 1.875, 1.875, 15, 15, resizeInterpolationLanczos);
        const std::vector<uint8_t> dst = runOneChannel(build(), c, constantImage(8, 8, 255));
        for (int i = 0; i < 15; ++i) {
            for (int j = 0; j < 15; ++j) {
                const int halves = i % 2 + j % 2;
                EXPECT_EQ(dst[i * 15 + j], halves == 0 ? 255 : halves == 1 ? 253 : 252) << i << "," << j;
            }
        }
    }
    // 200 enlarged 8 -> 29 (positions step 0.25): 197 at fractions 0.5 in both
    // directions, 198 at 0.25 in both.
    {
        const ResizeCase c = oneChannelCase(8, 8, 29.0 / 8, 29.0 / 8, 29, 29, resizeInterpolationLanczos);
        const std::vector<uint8_t> dst = runOneChannel(build(), c, constantImage(8, 8, 200));
        for (int i = 0; i < 28; i += 4) {
            for (int j = 0; j < 28; j += 4) {
                EXPECT_EQ(dst[(i + 2) * 29 + j + 2], 197) << i << "," << j;
                EXPECT_EQ(dst[(i + 1) * 29 + j + 1], 198) << i << "," << j;
                EXPECT_EQ(dst[i * 29 + j], 200) << i << "," << j;
            }
        }
    }
}

TEST_P(ResizeExamples, LanczosRoundingOfSumsNearAnInteger) {
    // Six samples 0, 1, 128, 128, 255, 0 under the taps at fraction 65/256,
    // the other direction at fraction 0 (so the result is that one sum).
    // Along a row: single precision filters exactly 131, double precision
    // 131 - 2^-16, truncated to 130. Down a column: the SSE build sums in
    // single precision (131), the others in double (about 130.999988).
    const uint16_t samples[6] = {0, 1, 128, 128, 255, 0};
    const double shift = 2.0 + 65.0 / 256.0;  // position 2.25390625: base 2
    const bool simd = build() != buildGeneric;
    for (const int32_t dataType : {resizeData8u, resizeData16u}) {
        for (const bool alongRow : {true, false}) {
            SCOPED_TRACE(::testing::Message() << "type " << dataType << (alongRow ? " along a row" : " down a column"));
            ResizeCase c = packedResizeCase(dataType, 1, 1, resizeInterpolationLanczos, 8, 8, 1, 1);
            c.factorMode = 0;  // factors are steps
            c.xFactor = c.yFactor = 1.0;
            (alongRow ? c.xShift : c.yShift) = shift;
            std::vector<uint16_t> image(64, 0);
            for (int k = 0; k < 6; ++k) image[alongRow ? k : 8 * k] = samples[k];
            std::vector<uint8_t> src(64 * c.elementSize());
            for (int e = 0; e < 64; ++e) {
                if (dataType == resizeData8u) src[e] = static_cast<uint8_t>(image[e]);
                else std::memcpy(&src[2 * e], &image[e], 2);
            }
            uint16_t out = 0;
            ASSERT_EQ(generalDriverOf(build())(c.parameters(src.data(), &out)), primitiveStatusOk);
            const int value = dataType == resizeData8u ? out & 0xFF : out;
            const bool gives131 = alongRow ? simd : build() == buildSse;
            EXPECT_EQ(value, gives131 ? 131 : 130);
        }
    }
}

TEST_P(ResizeExamples, LanczosVerticalSumsAreTruncatedAndClamped) {
    // Two rows weighted 1 give the sum a + b: in double in the generic
    // build and, for 8-bit output, in the SSE2-class builds; in single
    // precision in the SSE build. Then + 1e-7 and truncation.
    struct Row {
        float a, b;
        int doubleSum, singleSum;  // 8-bit results
    };
    const Row rows[] = {
        {255.0f, -5e-8f, 255, 255},             // 254.99999995
        {255.0f, -2e-7f, 254, 255},             // 254.9999998; the float sum is 255
        {255.0f, -0x1p-16f, 254, 254},          // the largest float below 255
        {1.0f, -0x1p-24f, 1, 1},                // the largest float below 1 is within 1e-7 of it
        {255.0f, 0.0f, 255, 255},
        {-3.7f, 0.0f, 0, 0},
        {300.2f, 0.0f, 255, 255},
    };
    const float weights[6] = {0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f};
    withBuildPolicy(build(), [&]<typename Build>() {
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.a << " + " << row.b);
            // Seven values: whole vector steps and a scalar rest in every build.
            const std::vector<float> zero(9, 0.0f), a(9, row.a), b(9, row.b);
            const float* const window[6] = {zero.data(), zero.data(), a.data(), b.data(), zero.data(), zero.data()};
            uint8_t u8[7];
            Build::Lanczos::vertical(u8, 7, weights, window);
            for (int i = 0; i < 7; ++i) EXPECT_EQ(u8[i], build() == buildSse ? row.singleSum : row.doubleSum) << i;
            float f32[12];
            std::fill(f32, f32 + 12, 9.0f);
            Build::Lanczos::verticalSkipAlpha(f32, 3, weights, window);
            for (int i = 0; i < 12; ++i) {
                if (i % 4 == 3) {
                    EXPECT_EQ(f32[i], 9.0f) << i;
                } else if (row.b == 0.0f) {
                    EXPECT_EQ(f32[i], row.a) << i;  // floats keep their value
                }
            }
        }
    });
}

TEST_P(ResizeExamples, LanczosReductionReadsTheRowsOfItsPositions) {
    // 20 rows to 5 at 0.25: positions 0, 4.75, 9.5, 14.25, 19, so the rows
    // 0, 4, 9, 14 and 19, moving down by 4, 5, 5 and 5 rows at once.
    const ResizeAxis rows = mapResizeAxis(20, 0.25, 5, 0.0, false, 1);
    ASSERT_EQ(rows.count, 5);
    int64_t offsets[5];
    float fractions[5];
    buildLanczosTable(rows, {20, 0, 20}, 7, offsets, fractions);
    const int64_t expected[] = {0, 4, 9, 14, 19};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(offsets[i], 7 * expected[i]) << i;

    std::mt19937_64 random(19);
    for (const int32_t dataType : {resizeData8u, resizeData16u, resizeData32f}) {
        ResizeCase c = packedResizeCase(dataType, 1, 1, resizeInterpolationLanczos, 9, 20, 9, 5);
        c.yFactor = 0.25;
        SCOPED_TRACE(c.describe());
        ResizeBuffers buffers(c, random);
        const auto model = modelResize(c, buffers, arithmeticOf(build()));
        ASSERT_EQ(generalDriverOf(build())(c.parameters(buffers.srcArgument(), buffers.dstArgument())),
                  primitiveStatusOk);
        EXPECT_TRUE(sameDestination(c, model, buffers.dst));
    }
}

TEST_P(ResizeExamples, LanczosRowsAtTheImageEdges) {
    // Regions starting on the image's first rows (the rows above are copies
    // of the first row, or real rows), regions starting on its last rows (the
    // rows below repeat the last row), one destination row, and a first
    // destination row below the region's top (a positive row shift).
    struct Row {
        const char* what;
        int32_t roiY, roiHeight, dstHeight;
        double yFactor, yShift;
    };
    const Row rows[] = {
        {"region at row 0", 0, 10, 17, 1.7, 0.0},
        {"region at row 1", 1, 9, 17, 1.7, 0.0},
        {"region at row 2", 2, 8, 13, 1.7, 0.0},
        {"region on the last row", 9, 1, 3, 3.0, 0.0},
        {"region on the last two rows", 8, 2, 4, 2.0, 0.0},
        {"one destination row", 3, 5, 1, 0.2, 0.0},
        {"enlarging from row 2.5 on", 0, 10, 12, 1.5, 2.5},
        {"enlarging from row 7.2 on", 1, 9, 12, 1.5, 6.2},
    };
    std::mt19937_64 random(20);
    for (const Row& row : rows) {
        for (const int32_t dataType : {resizeData8u, resizeData32f}) {
            ResizeCase c = packedResizeCase(dataType, 4, 3, resizeInterpolationLanczos, 9, 10, 11, row.dstHeight);
            c.roiY = row.roiY;
            c.roiHeight = row.roiHeight;
            c.yFactor = row.yFactor;
            c.yShift = row.yShift;
            SCOPED_TRACE(::testing::Message() << row.what << ": " << c.describe());
            ResizeBuffers buffers(c, random);
            const auto model = modelResize(c, buffers, arithmeticOf(build()));
            ASSERT_EQ(generalDriverOf(build())(c.parameters(buffers.srcArgument(), buffers.dstArgument())),
                      primitiveStatusOk);
            EXPECT_TRUE(sameDestination(c, model, buffers.dst));
        }
    }
}

TEST_P(ResizeExamples, WholePositionsReproduceTheSource) {
    // Factor 1. Lanczos: every fraction is 0, which weighs the pixel itself
    // by 1 and its neighbours by +-0, in every type. Cubic, 8-bit and 16-bit
    // data: t is 0 away from the edges, -1 on the first pixel and 1 on the
    // last but one, and all reproduce the sample; on the last pixel t is 2,
    // where the single-precision forms with the float third come within
    // rounding of the sample only (a truncated tail value can lose 1), so
    // the SIMD builds' last column is left out.
    std::mt19937_64 random(21);
    struct Row {
        int32_t method, dataType;
    };
    const Row rows[] = {{resizeInterpolationLanczos, resizeData8u}, {resizeInterpolationLanczos, resizeData16u},
                        {resizeInterpolationLanczos, resizeData32f}, {resizeInterpolationCubic, resizeData8u},
                        {resizeInterpolationCubic, resizeData16u}};
    for (const Row& row : rows) {
        for (const auto& [channels, layout] : {std::pair{1, 1}, std::pair{4, 3}, std::pair{4, 4}}) {
            const ResizeCase c = packedResizeCase(row.dataType, channels, layout, row.method, 13, 9, 13, 9);
            SCOPED_TRACE(c.describe());
            ResizeBuffers buffers(c, random);
            ASSERT_EQ(generalDriverOf(build())(c.parameters(buffers.srcArgument(), buffers.dstArgument())),
                      primitiveStatusOk);
            const std::size_t es = c.elementSize();
            const bool lastColumnApproximate = row.method == resizeInterpolationCubic && build() != buildGeneric;
            const std::size_t rowElements = 13 * channels;
            for (std::size_t e = 0; e * es < buffers.dst[0].size(); ++e) {
                if (layout == 3 && e % 4 == 3) continue;
                if (lastColumnApproximate && e % rowElements >= rowElements - channels) continue;
                ASSERT_EQ(std::memcmp(&buffers.dst[0][e * es], &buffers.src[0][e * es], es), 0) << "element " << e;
            }
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeExamples);

}  // namespace
}  // namespace primitives::test
