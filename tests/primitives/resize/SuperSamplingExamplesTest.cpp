// Worked examples of the area averaging that can be followed by hand, the
// box geometry, the column-sum kernels, and the decided faults with their
// numbers.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "ResizeHelpers.h"
#include "SuperSamplingTestImage.h"
#include "TestHeap.h"
#include "primitives/resize/SuperSampling.h"

namespace primitives::test {
namespace {

class SuperSamplingExamples : public PerBuildTest {
protected:
    // The entry on a BGRA image (all of it the region), with code 8.
    PrimitiveStatus entry(const TestImage<uint8_t>& src, TestImage<uint8_t>& dst, double xFactor, double yFactor) {
        return zuzuZivere_8d_OZ4O(src.data.data(), {src.width, src.height}, src.step(), {0, 0, src.width, src.height},
                                  dst.data.data(), dst.step(), {dst.width, dst.height}, xFactor, yFactor,
                                  resizeInterpolationSuperSampling);
    }
};

SuperSamplingParameters geometryCall(int32_t roiWidth, int32_t roiHeight, int32_t dstWidth, int32_t dstHeight,
                                     double xFactor, double yFactor) {
    static const uint8_t image[1] = {};
    static uint8_t out[1];
    return {image, roiWidth, roiHeight, roiWidth, 0, 0, roiWidth, roiHeight, out, dstWidth, dstWidth, dstHeight,
            xFactor, yFactor, 1, 1, resizeData8u, 0};
}

float floatBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

uint32_t bitsOf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

TEST_P(SuperSamplingExamples, FactorOneCopiesTheRegionInEveryTypeAndLayout) {
    // A 5 x 4 region inside an 8 x 7 image; elements that are not processed
    // keep the destination's fill; a negative zero comes out positive.
    std::mt19937_64 random(31);
    const auto check = [&]<typename T>(T fill) {
        for (const auto& [stride, layout] : {std::pair{1, 1}, std::pair{3, 3}, std::pair{4, 3}, std::pair{4, 4}}) {
            SCOPED_TRACE(::testing::Message() << "type " << dataTypeOf<T>() << " layout " << layout << " stride " << stride);
            TestImage<T> src(8, 7, stride);
            for (auto& v : src.data) {
                v = std::is_same_v<T, float> ? static_cast<T>(static_cast<int32_t>(random() % 2001) - 1000) / T(8)
                                             : static_cast<T>(random());
            }
            if constexpr (std::is_same_v<T, float>) src.at(2, 3, 0) = -0.0f;
            TestImage<T> dst(5, 4, stride, fill);
            ASSERT_EQ(reduceImage(build(), src, dst, 1.0, 1.0, layout, {1, 2, 5, 4}), primitiveStatusOk);
            const int32_t processed = layout == 1 ? 1 : layout;
            for (int32_t y = 0; y < 4; ++y) {
                for (int32_t x = 0; x < 5; ++x) {
                    for (int32_t e = 0; e < stride; ++e) {
                        const T expected = e < processed ? src.at(x + 1, y + 2, e) : fill;
                        ASSERT_EQ(dst.at(x, y, e), expected) << x << "," << y << " element " << e;
                    }
                }
            }
            if constexpr (std::is_same_v<T, float>) {
                EXPECT_EQ(bitsOf(dst.at(1, 1, 0)), 0u) << "-0 becomes +0";
            }
        }
    };
    check(uint8_t{0x77});
    check(uint16_t{0x7777});
    check(floatBits(0x7F7F7F7F));
}

TEST_P(SuperSamplingExamples, HalvingRoundsHalvesUp) {
    // Through the entry: dst pixel j averages source pixels 2j, 2j + 1 of
    // both rows; the boxes hold 0,0,0,1 / 1,1,0,0 / 1,1,1,0 / 255 x 4.
    const uint8_t boxes[4][4] = {{0, 0, 0, 1}, {1, 1, 0, 0}, {1, 1, 1, 0}, {255, 255, 255, 255}};
    TestImage<uint8_t> bgra(8, 2, 4);
    for (int32_t j = 0; j < 4; ++j) {
        for (int32_t c = 0; c < 4; ++c) {
            bgra.at(2 * j, 0, c) = boxes[j][0];
            bgra.at(2 * j + 1, 0, c) = boxes[j][1];
            bgra.at(2 * j, 1, c) = boxes[j][2];
            bgra.at(2 * j + 1, 1, c) = boxes[j][3];
        }
    }
    TestImage<uint8_t> out(4, 1, 4, 0x77);
    ASSERT_EQ(entry(bgra, out, 0.5, 0.5), primitiveStatusOk);
    const uint8_t expected[4] = {0, 1, 1, 255};
    for (int32_t j = 0; j < 4; ++j) {
        for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(out.at(j, 0, c), expected[j]) << j;
        EXPECT_EQ(out.at(j, 0, 3), 0x77) << "element 3 is left alone";
    }

    const uint16_t boxes16[4][4] = {{1, 2, 3, 4}, {1, 2, 1, 2}, {0, 0, 0, 1}, {65535, 65535, 65535, 65535}};
    TestImage<uint16_t> words(8, 2, 1);
    for (int32_t j = 0; j < 4; ++j) {
        words.at(2 * j, 0) = boxes16[j][0];
        words.at(2 * j + 1, 0) = boxes16[j][1];
        words.at(2 * j, 1) = boxes16[j][2];
        words.at(2 * j + 1, 1) = boxes16[j][3];
    }
    TestImage<uint16_t> halved(4, 1, 1);
    ASSERT_EQ(reduceImage(build(), words, halved, 0.5, 0.5, 1), primitiveStatusOk);
    EXPECT_EQ(halved.data, (std::vector<uint16_t>{3, 2, 0, 65535}));

    TestImage<float> floats(4, 2, 1);
    floats.data = {1, 2, 3, 4, 5, 6, 7, 8};
    TestImage<float> means(2, 1, 1);
    ASSERT_EQ(reduceImage(build(), floats, means, 0.5, 0.5, 1), primitiveStatusOk);
    EXPECT_EQ(means.data, (std::vector<float>{3.5f, 5.5f}));
}

TEST_P(SuperSamplingExamples, FullScaleBoxesStayFullScale) {
    // 1/256 on full-scale 16-bit: each box sums to 4294901760 and gives
    // 65535; 0.4 x 0.4 (every box cut on both axes) likewise; float ones
    // at 0.4 x 0.4 give exactly 1.
    TestImage<uint16_t> big(256, 256, 1, 65535);
    TestImage<uint16_t> one(1, 1, 1);
    ASSERT_EQ(reduceImage(build(), big, one, 1.0 / 256, 1.0 / 256, 1), primitiveStatusOk);
    EXPECT_EQ(one.data[0], 65535);

    TestImage<uint16_t> five(5, 5, 1, 65535);
    TestImage<uint16_t> two(2, 2, 1);
    ASSERT_EQ(reduceImage(build(), five, two, 0.4, 0.4, 1), primitiveStatusOk);
    EXPECT_EQ(two.data, (std::vector<uint16_t>(4, 65535)));

    TestImage<float> ones(5, 5, 1, 1.0f);
    TestImage<float> twoFloats(2, 2, 1);
    ASSERT_EQ(reduceImage(build(), ones, twoFloats, 0.4, 0.4, 1), primitiveStatusOk);
    EXPECT_EQ(twoFloats.data, (std::vector<float>(4, 1.0f)));
}

TEST_P(SuperSamplingExamples, TwoAndAHalfColumnsPerBox) {
    // xFactor 0.4, yFactor 1 through the entry: column 0 is source columns
    // 0, 1 and half of 2; column 1 the other half of 2, then 3 and 4; the
    // pattern repeats from column 5.
    std::mt19937_64 random(32);
    TestImage<uint8_t> bgra(10, 3, 4);
    for (auto& v : bgra.data) v = static_cast<uint8_t>(random());
    TestImage<uint8_t> out(4, 3, 4, 0x55);
    ASSERT_EQ(entry(bgra, out, 0.4, 1.0), primitiveStatusOk);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t c = 0; c < 3; ++c) {
            const auto s = [&](int32_t x) { return static_cast<double>(bgra.at(x, y, c)); };
            const double boxes[4] = {s(0) + s(1) + 0.5 * s(2), 0.5 * s(2) + s(3) + s(4), s(5) + s(6) + 0.5 * s(7),
                                     0.5 * s(7) + s(8) + s(9)};
            for (int32_t j = 0; j < 4; ++j) {
                EXPECT_EQ(out.at(j, y, c), static_cast<int>(0.4 * boxes[j] + 0.5)) << j << "," << y << " channel " << c;
            }
        }
        for (int32_t j = 0; j < 4; ++j) EXPECT_EQ(out.at(j, y, 3), 0x55);
    }
}

TEST_P(SuperSamplingExamples, FractionalRowsCarryTheSharedRow) {
    // 0.5 x 0.4 on a 2 x 5 region: destination row 0 takes rows 0, 1 and
    // half of row 2, row 1 the other half and rows 3, 4.
    TestImage<uint16_t> words(2, 5, 1);
    TestImage<float> floats(2, 5, 1);
    for (int32_t y = 0; y < 5; ++y) {
        for (int32_t x = 0; x < 2; ++x) {
            words.at(x, y) = static_cast<uint16_t>(100 * (y + 1));
            floats.at(x, y) = static_cast<float>(y + 1);
        }
    }
    TestImage<uint16_t> wordMeans(1, 2, 1);
    TestImage<float> floatMeans(1, 2, 1);
    ASSERT_EQ(reduceImage(build(), words, wordMeans, 0.5, 0.4, 1), primitiveStatusOk);
    ASSERT_EQ(reduceImage(build(), floats, floatMeans, 0.5, 0.4, 1), primitiveStatusOk);
    EXPECT_EQ(wordMeans.data, (std::vector<uint16_t>{180, 420}));
    EXPECT_EQ(floatMeans.data, (std::vector<float>{1.8f, 4.2f}));
}

TEST_P(SuperSamplingExamples, CaseFollowsWholeReciprocalsExactly) {
    struct Row {
        double factor;
        bool whole;
    };
    const Row rows[] = {{1.0 / 3, true},      {1.0 / 7, true}, {0.1, true},       {0.5, true},
                        {0.3333333, false},   {0.3, false},    {1.0 / 49, false}, {0.3333333432674408, false}};
    for (const Row& x : rows) {
        for (const Row& y : rows) {
            const SuperSamplingGeometry g = superSamplingGeometry(geometryCall(500, 500, 500, 500, x.factor, y.factor));
            const int32_t expected = (y.whole ? 0 : 1) | (x.whole ? 0 : 2);
            EXPECT_EQ(g.samplingCase, expected) << x.factor << " x " << y.factor;
        }
    }
}

TEST_P(SuperSamplingExamples, ClippingAndSourceColumns) {
    struct Row {
        int32_t roiWidth, dstWidth;
        double xFactor;
        int32_t clipped, srcColumns;
    };
    const Row rows[] = {
        {5, 4, 0.5, 2, 5},           // trunc(2.5 + 1e-7) columns; min(trunc(2 * 3) + 1, 5) source columns
        {10, 100, 0.5, 5, 10},
        {3, 9, 0.33333333, 1, 3},    // 0.99999999 + 1e-7 fills one column
        {12, 2, 0.5, 2, 7},          // a narrow destination needs few columns
        {7, 3, 1e-300, 1, 7},        // a region smaller than one box
    };
    for (const Row& r : rows) {
        const SuperSamplingGeometry g = superSamplingGeometry(geometryCall(r.roiWidth, 4, r.dstWidth, 4, r.xFactor, 1.0));
        EXPECT_EQ(g.dstWidth, r.clipped) << r.roiWidth << " at " << r.xFactor;
        EXPECT_EQ(g.srcColumns, r.srcColumns) << r.roiWidth << " at " << r.xFactor;
    }
    // Destination columns past the clipped width keep their contents.
    TestImage<uint8_t> src(5, 2, 1, 40);
    TestImage<uint8_t> dst(4, 1, 1, 9);
    ASSERT_EQ(reduceImage(build(), src, dst, 0.5, 0.5, 1), primitiveStatusOk);
    EXPECT_EQ(dst.data, (std::vector<uint8_t>{40, 40, 9, 9}));
}

TEST_P(SuperSamplingExamples, OneThirdInSinglePrecisionKeepsBoxesAligned) {
    // xFactor 0.3333333432674408: 1/x = 2.9999999105930355, fraction
    // 0.99999991. Column 0 takes 0.99999991 of column 2; column 1 leaves the
    // rest (9e-8, not above 1e-7) and is columns 3, 4 and 0.99999982 of 5.
    // One impulse at a time; rows the same way.
    const double f = 0.3333333432674408;
    const double a = 1.0 / f;
    struct Impulse {
        int32_t at;
        double weights[3];  // of destination pixels 0, 1, 2
    };
    const double q1 = a - 2;                   // 0.99999991
    const double q2 = (a - (1 - q1)) - 2;      // 0.99999982
    const Impulse impulses[] = {
        {2, {q1, 0, 0}},
        {3, {0, 1, 0}},
        {5, {0, q2, 1 - q2}},
    };
    for (const bool alongRows : {false, true}) {
        for (const Impulse& impulse : impulses) {
            SCOPED_TRACE(::testing::Message() << (alongRows ? "row " : "column ") << impulse.at);
            TestImage<float> src(alongRows ? 1 : 9, alongRows ? 9 : 1, 1, 0.0f);
            (alongRows ? src.at(0, impulse.at) : src.at(impulse.at, 0)) = 1.0f;
            TestImage<float> dst(alongRows ? 1 : 3, alongRows ? 3 : 1, 1, -1.0f);
            ASSERT_EQ(reduceImage(build(), src, dst, alongRows ? 1.0 : f, alongRows ? f : 1.0, 1), primitiveStatusOk);
            for (int32_t k = 0; k < 3; ++k) {
                const double expected = impulse.weights[k] * f;
                EXPECT_NEAR(dst.data[k], expected, 1e-7 * f) << "destination " << k;
                if (impulse.weights[k] == 0) {
                    EXPECT_EQ(dst.data[k], 0.0f) << "destination " << k;
                }
            }
        }
    }
}

TEST_P(SuperSamplingExamples, LayoutsChooseWorkersAndPlanes) {
    std::mt19937_64 random(33);
    // Layout 2 with three elements per pixel is the three-channel worker.
    TestImage<uint16_t> rgb(9, 6, 3);
    for (auto& v : rgb.data) v = static_cast<uint16_t>(random());
    TestImage<uint16_t> asThree(4, 3, 3);
    TestImage<uint16_t> asTwo(4, 3, 3);
    ASSERT_EQ(reduceImage(build(), rgb, asThree, 0.45, 0.5, 3), primitiveStatusOk);
    ASSERT_EQ(reduceImage(build(), rgb, asTwo, 0.45, 0.5, 2), primitiveStatusOk);
    EXPECT_EQ(asThree.data, asTwo.data);

    // Planar: layout 3 reads exactly three plane pointers (an array of
    // three), layouts 1 and 4 four; each plane is the one-channel result.
    std::vector<TestImage<float>> planes;
    std::vector<TestImage<float>> single;
    for (int32_t plane = 0; plane < 4; ++plane) {
        planes.emplace_back(7, 5, 1);
        for (auto& v : planes.back().data) v = static_cast<float>(random() % 1000);
        single.emplace_back(3, 2, 1, -1.0f);
        ASSERT_EQ(reduceImage(build(), planes[plane], single.back(), 0.4, 0.4, 1), primitiveStatusOk);
    }
    for (const int32_t layout : {3, 1, 4}) {
        SCOPED_TRACE(::testing::Message() << "planar layout " << layout);
        const int32_t count = layout == 3 ? 3 : 4;
        std::vector<TestImage<float>> out(4, TestImage<float>(3, 2, 1, -1.0f));
        auto srcPointers = std::make_unique<const void*[]>(count);
        auto dstPointers = std::make_unique<void*[]>(count);
        for (int32_t plane = 0; plane < count; ++plane) {
            srcPointers[plane] = planes[plane].data.data();
            dstPointers[plane] = out[plane].data.data();
        }
        const SuperSamplingParameters p{srcPointers.get(), 7, 5, 7 * 4, 0, 0, 7, 5, dstPointers.get(), 3 * 4, 3, 2,
                                        0.4,                0.4, 1, layout, resizeData32f, 1};
        ASSERT_EQ(superSamplingDriverOf(build())(p), primitiveStatusOk);
        for (int32_t plane = 0; plane < 4; ++plane) {
            EXPECT_EQ(out[plane].data, plane < count ? single[plane].data : std::vector<float>(6, -1.0f)) << plane;
        }
    }
}

TEST_P(SuperSamplingExamples, UnknownDataTypeWritesNothingAndAllocatesNothing) {
    std::vector<uint8_t> src(64, 1);
    GuardedBuffer<uint8_t> dst(64);
    const int64_t requests = TestHeap::requests();
    const SuperSamplingParameters p{src.data(), 8, 8, 8, 0, 0, 8, 8, dst.data(), 8, 4, 4, 0.5, 0.5, 1, 1, 3, 0};
    EXPECT_EQ(superSamplingDriverOf(build())(p), primitiveStatusOk);
    EXPECT_TRUE(dst.untouched());
    EXPECT_EQ(TestHeap::requests(), requests);
}

TEST_P(SuperSamplingExamples, NaNReachesOnlyTheBoxesThatHoldIt) {
    // A NaN at (2, 2) of a 10 x 10 float image at 0.4 x 0.4: column and row 2
    // are shared by destination columns and rows 0 and 1. A NaN in column 16
    // of an 18-wide image at 0.5 (a one-channel tail column of the SSE2-class
    // sums) reaches destination column 8 only.
    std::mt19937_64 random(34);
    struct Row {
        int32_t width, nanX, nanY;
        double factor;
        std::vector<std::pair<int32_t, int32_t>> reached;
    };
    const Row rows[] = {{10, 2, 2, 0.4, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}}, {18, 16, 0, 0.5, {{8, 0}}}};
    for (const Row& r : rows) {
        TestImage<float> src(r.width, 10, 1);
        for (auto& v : src.data) v = static_cast<float>(random() % 1000) / 7.0f;
        const int32_t dstWidth = static_cast<int32_t>(r.width * r.factor + 1e-7);
        const int32_t dstHeight = static_cast<int32_t>(10 * r.factor + 1e-7);
        TestImage<float> clean(dstWidth, dstHeight, 1);
        ASSERT_EQ(reduceImage(build(), src, clean, r.factor, r.factor, 1), primitiveStatusOk);
        src.at(r.nanX, r.nanY) = std::numeric_limits<float>::quiet_NaN();
        TestImage<float> dirty(dstWidth, dstHeight, 1);
        ASSERT_EQ(reduceImage(build(), src, dirty, r.factor, r.factor, 1), primitiveStatusOk);
        for (int32_t y = 0; y < dstHeight; ++y) {
            for (int32_t x = 0; x < dstWidth; ++x) {
                const bool reached = std::find(r.reached.begin(), r.reached.end(), std::pair{x, y}) != r.reached.end();
                if (reached) {
                    EXPECT_TRUE(std::isnan(dirty.at(x, y))) << x << "," << y;
                } else {
                    EXPECT_EQ(bitsOf(dirty.at(x, y)), bitsOf(clean.at(x, y))) << x << "," << y;
                }
            }
        }
    }
}

// ---- Decided faults ---------------------------------------------------

TEST_P(SuperSamplingExamples, NearWholeBoxesDropTheirSliversPastTheRegion) {
    // 1/49: 1/x = 49.00000000000001, so the first box has a sliver of 7e-15
    // of row 49 and of column 49. Both are dropped (not above 1e-7). A huge
    // value there would show through any weight at all.
    TestImage<float> src(50, 98, 1, 1.0f);
    for (int32_t x = 0; x < 50; ++x) src.at(x, 49) = 1e30f;
    for (int32_t y = 0; y < 98; ++y) src.at(49, y) = 1e30f;
    TestImage<float> dst(1, 2, 1);
    ASSERT_EQ(reduceImage(build(), src, dst, 1.0 / 49, 1.0 / 49, 1), primitiveStatusOk);
    EXPECT_EQ(dst.at(0, 0), 1.0f);
}

TEST_P(SuperSamplingExamples, EveryColumnIsComputedAndTheRowCursorAlwaysMoves) {
    // 6 x 3 pixels of 90 at 0.33333333 x 1/3: two columns, the second of
    // which starts at column 3 = srcColumns - A; it is still formed.
    TestImage<uint8_t> bgra(6, 3, 4, 90);
    TestImage<uint8_t> out(2, 1, 4, 0);
    ASSERT_EQ(entry(bgra, out, 0.33333333, 1.0 / 3), primitiveStatusOk);
    for (int32_t j = 0; j < 2; ++j) {
        for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(out.at(j, 0, c), 90) << j;
    }
    // The row cursor: OneThirdInSinglePrecisionKeepsBoxesAligned (row 2
    // leaves destination row 1 untouched).
}

TEST_P(SuperSamplingExamples, RegionSmallerThanOneBoxIsAveragedAsAWhole) {
    // 3 x 3 of 200 at 0.1 x 0.1: one pixel, the mean of the region (the box
    // reaching past it would give 18). Also 1e-300 and 5e-324 (1/x = inf).
    TestImage<uint8_t> src(3, 3, 1, 200);
    src.at(1, 1) = 2;  // mean (8 * 200 + 2) / 9 = 178
    for (const double factor : {0.1, 1e-300, 5e-324}) {
        TestImage<uint8_t> dst(2, 2, 1, 7);
        ASSERT_EQ(reduceImage(build(), src, dst, factor, factor, 1), primitiveStatusOk);
        EXPECT_EQ(dst.data, (std::vector<uint8_t>{178, 7, 7, 7})) << factor;
    }
    // Only along one axis: columns averaged as a whole, rows by 1/3.
    TestImage<uint16_t> wide(4, 6, 1);
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 4; ++x) wide.at(x, y) = static_cast<uint16_t>(1000 * y + x);
    }
    TestImage<uint16_t> column(1, 2, 1);
    ASSERT_EQ(reduceImage(build(), wide, column, 0.2, 1.0 / 3, 1), primitiveStatusOk);
    EXPECT_EQ(column.data, (std::vector<uint16_t>{1002, 4002}));  // (1000 * (0 + 1 + 2) * 4 + 3 * 6) / 12, rounded
}

TEST_P(SuperSamplingExamples, WholeBoxSumsAreExact) {
    // 16-bit 512 x 256 of 65535 at 1/512 x 1/256: 8589803520 in one box,
    // past 32 bits. An 8-bit column of 2^25 rows of 255 at 2^-25: the column
    // sum itself passes 32 bits.
    TestImage<uint16_t> words(512, 256, 1, 65535);
    TestImage<uint16_t> word(1, 1, 1);
    ASSERT_EQ(reduceImage(build(), words, word, 1.0 / 512, 1.0 / 256, 1), primitiveStatusOk);
    EXPECT_EQ(word.data[0], 65535);

    // The 32 MiB column sits in huge pages where the system offers them:
    // touching it page by page would cost far more than summing it.
    const int32_t rows = 1 << 25;
    const std::size_t hugePage = std::size_t{1} << 21;
    std::unique_ptr<uint8_t, decltype(&std::free)> column(static_cast<uint8_t*>(std::aligned_alloc(hugePage, rows)),
                                                          &std::free);
    ASSERT_NE(column, nullptr);
    madvise(column.get(), rows, MADV_HUGEPAGE);
    std::memset(column.get(), 255, rows);
    uint8_t byte = 0;
    const SuperSamplingParameters p{column.get(), 1, rows, 1, 0, 0, 1, rows, &byte, 1, 1, 1,
                                    1.0,          1.0 / rows, 1, 1, resizeData8u, 0};
    ASSERT_EQ(superSamplingDriverOf(build())(p), primitiveStatusOk);
    EXPECT_EQ(byte, 255);
}

// ---- Column-sum kernels ---------------------------------------------------

template <typename T, typename Sum>
struct KernelSet {
    BoxColumnSumKernel<T, Sum> oneChannel, threeChannels, fourChannels;
};

KernelSet<uint8_t, uint32_t> bytesKernels(int32_t build) {
    switch (build) {
    case buildGeneric: return {boxColumnSum1ChU8_generic, boxColumnSum3ChU8_generic, boxColumnSum4ChU8_generic};
    case buildSse: return {boxColumnSum1ChU8_sse, boxColumnSum3ChU8_generic, boxColumnSum4ChU8_sse};
    case buildSse2: return {boxColumnSum1ChU8_sse2, boxColumnSum3ChU8_sse2, boxColumnSum4ChU8_sse2};
    default: return {boxColumnSum1ChU8_sse3, boxColumnSum3ChU8_sse3, boxColumnSum4ChU8_sse3};
    }
}

KernelSet<uint16_t, uint32_t> wordsKernels(int32_t build) {
    switch (build) {
    case buildGeneric: return {boxColumnSum1ChU16_generic, boxColumnSum3ChU16_generic, boxColumnSum4ChU16_generic};
    case buildSse: return {boxColumnSum1ChU16_sse, boxColumnSum3ChU16_generic, boxColumnSum4ChU16_sse};
    case buildSse2: return {boxColumnSum1ChU16_sse2, boxColumnSum3ChU16_sse2, boxColumnSum4ChU16_sse2};
    default: return {boxColumnSum1ChU16_sse3, boxColumnSum3ChU16_sse3, boxColumnSum4ChU16_sse3};
    }
}

KernelSet<float, float> floatKernels(int32_t build) {
    switch (build) {
    case buildGeneric: return {boxColumnSum1ChF32_generic, boxColumnSum3ChF32_generic, boxColumnSum4ChF32_generic};
    case buildSse: return {boxColumnSum1ChF32_sse, boxColumnSum3ChF32_sse, boxColumnSum4ChF32_sse};
    case buildSse2: return {boxColumnSum1ChF32_sse2, boxColumnSum3ChF32_sse2, boxColumnSum4ChF32_sse2};
    default: return {boxColumnSum1ChF32_sse3, boxColumnSum3ChF32_sse3, boxColumnSum4ChF32_sse3};
    }
}

// Every count around the blocks of 8 and 16, each pixel shape and stride, on
// an accumulator that holds 3 everywhere: the SSE2 class writes the sums over
// it (slots past the third of a pixel excepted), the older builds add them.
// The source's last row ends right after its last summed element, at an
// inaccessible page.
template <typename T, typename Sum>
void checkKernelCounts(int32_t build, const KernelSet<T, Sum>& kernels) {
    std::mt19937_64 random(35);
    const bool stores = build >= buildSse2;
    struct Shape {
        int32_t slots, stride;
        BoxColumnSumKernel<T, Sum> kernel;
    };
    const Shape shapes[] = {{1, 1, kernels.oneChannel},
                            {3, 3, kernels.threeChannels},
                            {3, 4, kernels.threeChannels},
                            {3, 5, kernels.threeChannels},
                            {4, 4, kernels.fourChannels}};
    for (const Shape& shape : shapes) {
        for (const int32_t count : {0, 1, 3, 5, 7, 8, 9, 15, 16, 17, 33}) {
            for (const int32_t rows : {1, 2, 5}) {
                SCOPED_TRACE(::testing::Message() << "slots " << shape.slots << " stride " << shape.stride << " count "
                                                  << count << " rows " << rows);
                const int32_t rowElements = std::max(count, 1) * shape.stride + 2;
                const int32_t step = rowElements * static_cast<int32_t>(sizeof(T));
                const int32_t lastRow = count == 0 ? 0 : ((count - 1) * shape.stride + shape.slots) * sizeof(T);
                PageEndBuffer src(static_cast<std::size_t>(rows - 1) * step + lastRow + (count == 0 ? sizeof(T) : 0));
                ASSERT_TRUE(src.valid());
                const auto element = [&](int32_t r, int64_t e) -> T* {
                    return reinterpret_cast<T*>(src.data() + int64_t{r} * step) + e;
                };
                for (int32_t r = 0; r < rows; ++r) {
                    const int64_t elements = r + 1 < rows ? rowElements : lastRow / int64_t{sizeof(T)};
                    for (int64_t e = 0; e < elements; ++e) *element(r, e) = static_cast<T>(random() % 200);
                }
                std::vector<Sum> acc(std::size_t(std::max(count, 1)) * shape.stride + 8, Sum{3});
                shape.kernel(element(0, 0), step, count, rows, acc.data(), shape.stride);
                for (std::size_t e = 0; e < acc.size(); ++e) {
                    const int64_t pixel = e / shape.stride;
                    const int64_t slot = e % shape.stride;
                    Sum expected = Sum{3};
                    if (pixel < count && slot < shape.slots) {
                        Sum sum = stores ? Sum{0} : Sum{3};
                        for (int32_t r = 0; r < rows; ++r) sum += static_cast<Sum>(*element(r, e));
                        expected = sum;
                    }
                    ASSERT_EQ(acc[e], expected) << "entry " << e;
                }
            }
        }
    }
}

TEST_P(SuperSamplingExamples, ColumnSumKernelsCoverEveryTailAndSlot) {
    checkKernelCounts(build(), bytesKernels(build()));
    checkKernelCounts(build(), wordsKernels(build()));
    checkKernelCounts(build(), floatKernels(build()));
}

TEST_P(SuperSamplingExamples, OneChannelFloatTailIsSummedInDoubleByTheSse2Class) {
    // 17 columns of 1, then two rows of 4e-8: row by row in single precision
    // the small terms vanish (1 + 4e-8 rounds to 1); summed in double and
    // rounded once they make 1.00000012. Only column 16 is a tail column.
    const float small = 4e-8f;
    std::vector<float> src(3 * 17);
    for (int32_t x = 0; x < 17; ++x) src[x] = 1.0f, src[17 + x] = small, src[34 + x] = small;
    std::vector<float> acc(17, 0.0f);
    floatKernels(build()).oneChannel(src.data(), 17 * 4, 17, 3, acc.data(), 1);
    const float tail = build() >= buildSse2 ? static_cast<float>(1.0 + 2.0 * small) : 1.0f;
    EXPECT_GT(static_cast<float>(1.0 + 2.0 * small), 1.0f);
    for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(acc[x], 1.0f) << x;
    EXPECT_EQ(acc[16], tail);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(SuperSamplingExamples);

}  // namespace
}  // namespace primitives::test
