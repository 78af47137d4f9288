// Area-averaging calls whose every access must stay inside the caller's
// images and the row accumulator: images that end where an inaccessible page
// begins (a stray access ends the test program), an accumulator placed so
// that it ends one byte before the heap block does (the sanitizer build
// reports any access past it), extreme factors and sizes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "ResizeHelpers.h"
#include "SuperSamplingModel.h"
#include "TestHeap.h"

namespace primitives::test {
namespace {

// Heap offset at which an aligned block ends one byte before its heap block.
constexpr int32_t kTightAccumulator = 25;

class ScopedPlacement {
public:
    explicit ScopedPlacement(int32_t offset) { TestHeap::placeAtOffset(offset); }
    ~ScopedPlacement() { TestHeap::placeAtOffset(-1); }
    ScopedPlacement(const ScopedPlacement&) = delete;
    ScopedPlacement& operator=(const ScopedPlacement&) = delete;
};

class SuperSamplingMemorySafety : public PerBuildTest {
protected:
    // Runs a BGRA case through the entry with both images ending at a page:
    // the source after element 2 of the region's last pixel (when that is
    // the image's last pixel), the destination after element 2 of its last
    // written pixel. Compares with the scheme model.
    void runAtPageEnds(ResizeCase c, uint64_t seed) {
        SCOPED_TRACE(c.describe());
        std::mt19937_64 random(seed);
        const SuperSamplingShape shape = superSamplingShapeOf(c);
        c.dstWidth = shape.x.count;  // nothing past the written pixels
        c.dstHeight = shape.y.count;
        c.dstStep = c.dstWidth * 4;
        ResizeBuffers buffers(c, random);
        const auto expected = modelSuperSampling(c, buffers, doubleTailOf(build()));

        PageEndBuffer src(buffers.src[0].size() - 1);
        PageEndBuffer dst(buffers.dst[0].size() - 1);
        ASSERT_TRUE(src.valid() && dst.valid());
        std::memcpy(src.data(), buffers.src[0].data(), src.size());
        std::memcpy(dst.data(), buffers.dst[0].data(), dst.size());
        ScopedPlacement tight(kTightAccumulator);
        ASSERT_EQ(zuzuZivere_8d_OZ4O(src.data(), {c.srcWidth, c.srcHeight}, c.srcStep,
                                     {c.roiX, c.roiY, c.roiWidth, c.roiHeight}, dst.data(), c.dstStep,
                                     {c.dstWidth, c.dstHeight}, c.xFactor, c.yFactor,
                                     resizeInterpolationSuperSampling),
                  primitiveStatusOk);
        EXPECT_EQ(std::memcmp(dst.data(), expected[0].data(), dst.size()), 0);
    }
};

ResizeCase bgraCase(int32_t srcWidth, int32_t srcHeight, ImageRect roi, double xFactor, double yFactor) {
    ResizeCase c;
    c.interpolation = resizeInterpolationSuperSampling;
    c.srcWidth = srcWidth;
    c.srcHeight = srcHeight;
    c.srcStep = srcWidth * 4;
    c.roiX = roi.x;
    c.roiY = roi.y;
    c.roiWidth = roi.width;
    c.roiHeight = roi.height;
    c.xFactor = xFactor;
    c.yFactor = yFactor;
    c.dstWidth = c.dstHeight = 1 << 20;  // what the region fills, at most
    return c;
}

TEST_P(SuperSamplingMemorySafety, NearWholeBoxesAtTheBottomRightCorner) {
    // 1/49: the first box's slivers fall on row 49, below the image, and on
    // accumulator column 49, past its end.
    runAtPageEnds(bgraCase(60, 55, {11, 6, 49, 49}, 1.0 / 49, 1.0 / 49), 1);
    // 0.33333333 on 12 x 12: the 1e-7 allowance makes 4 x 4 boxes of
    // 3.00000003, and the last ones reach 1.2e-7 into row and column 12.
    runAtPageEnds(bgraCase(15, 14, {3, 2, 12, 12}, 0.33333333, 0.33333333), 9);
    // 10 columns at the right edge, 10 rows at the bottom, at 0.09999999:
    // one box each, just wider than the region.
    runAtPageEnds(bgraCase(13, 20, {3, 0, 10, 20}, 0.09999999, 0.5), 2);
    runAtPageEnds(bgraCase(12, 14, {0, 4, 12, 10}, 1.0 / 3, 0.09999999), 3);
}

TEST_P(SuperSamplingMemorySafety, SecondCallOneByteOnStaysInsideBothImages) {
    // The program's two-call pattern with code 8: the second call works one
    // byte on, so element 3 of its last pixel is the byte after each image.
    // Together the calls average all four bytes, as a four-channel call.
    std::mt19937_64 random(4);
    const double factors[][2] = {{0.5, 0.5}, {1.0 / 3, 0.25}, {0.4, 0.4}, {0.3, 0.7}, {1.0, 1.0}};
    for (const auto& [xFactor, yFactor] : factors) {
        ResizeCase four = bgraCase(23, 17, {0, 0, 23, 17}, xFactor, yFactor);
        four.layout = 4;
        const SuperSamplingShape shape = superSamplingShapeOf(four);
        four.dstWidth = shape.x.count;
        four.dstHeight = shape.y.count;
        four.dstStep = four.dstWidth * 4;
        SCOPED_TRACE(four.describe());
        ResizeBuffers buffers(four, random);
        const auto expected = modelSuperSampling(four, buffers, doubleTailOf(build()));

        PageEndBuffer src(buffers.src[0].size());
        PageEndBuffer dst(buffers.dst[0].size());
        ASSERT_TRUE(src.valid() && dst.valid());
        std::memcpy(src.data(), buffers.src[0].data(), src.size());
        std::memcpy(dst.data(), buffers.dst[0].data(), dst.size());
        ScopedPlacement tight(kTightAccumulator);
        for (int byte = 0; byte < 2; ++byte) {
            ASSERT_EQ(zuzuZivere_8d_OZ4O(src.data() + byte, {23, 17}, four.srcStep, {0, 0, 23, 17}, dst.data() + byte,
                                         four.dstStep, {four.dstWidth, four.dstHeight}, xFactor, yFactor,
                                         resizeInterpolationSuperSampling),
                      primitiveStatusOk);
        }
        EXPECT_EQ(std::memcmp(dst.data(), expected[0].data(), dst.size()), 0);
    }
}

TEST_P(SuperSamplingMemorySafety, FactorsWhoseReciprocalsDoNotFit) {
    // 5e-324 (1/x is infinite) and 1e-300 on both axes: one pixel, the mean
    // of the whole region, which reaches the image's last pixel.
    for (const double factor : {5e-324, 1e-300}) {
        runAtPageEnds(bgraCase(9, 8, {2, 3, 7, 5}, factor, factor), 5);
        runAtPageEnds(bgraCase(9, 8, {2, 3, 7, 5}, factor, 0.5), 6);
    }
}

TEST_P(SuperSamplingMemorySafety, RegionSizeOfInt32MaxIsClipped) {
    runAtPageEnds(bgraCase(9, 7, {2, 1, INT32_MAX, INT32_MAX}, 0.5, 0.4), 7);
    runAtPageEnds(bgraCase(9, 7, {2, 1, INT32_MAX, 3}, 0.3, 1.0), 8);
}

TEST_P(SuperSamplingMemorySafety, AccumulatorBeyondTheAllocatorsRangeFailsBeforeAnyAllocation) {
    // Only touched pages of these rows are backed.
    // - One BGRA row of 2^29 + 1 pixels at 0.5, through the entry: as many
    //   columns of 4 slots need 2^33 + 16 bytes, which a 32-bit count would
    //   see as 16.
    // - One 8-bit row of INT32_MAX pixels at 0.5: 2^31 + 1 source columns
    //   before the cap to the region's width.
    // Both give -9 with nothing allocated and nothing written.
    const int32_t width = (1 << 29) + 1;
    PageEndBuffer bgra(std::size_t{4} * width, true);
    PageEndBuffer bytes(INT32_MAX, true);
    ASSERT_TRUE(bgra.valid() && bytes.valid());
    GuardedBuffer<uint8_t> dst(256);
    const int64_t requests = TestHeap::requests();
    EXPECT_EQ(zuzuZivere_8d_OZ4O(bgra.data(), {width, 1}, INT32_MAX, {0, 0, width, 1}, dst.data(), 1 << 30,
                                 {width / 2, 1}, 0.5, 0.5, resizeInterpolationSuperSampling),
              primitiveStatusAllocationFailed);
    const SuperSamplingParameters p{bytes.data(), INT32_MAX, 1, INT32_MAX, 0, 0, INT32_MAX, 1, dst.data(), INT32_MAX,
                                    INT32_MAX, 1, 0.5, 0.5, 1, 1, resizeData8u, 0};
    EXPECT_EQ(superSamplingDriverOf(build())(p), primitiveStatusAllocationFailed);
    EXPECT_EQ(TestHeap::requests(), requests);
    EXPECT_TRUE(dst.untouched());
}

INSTANTIATE_PER_BUILD_TEST_SUITE(SuperSamplingMemorySafety);

}  // namespace
}  // namespace primitives::test
