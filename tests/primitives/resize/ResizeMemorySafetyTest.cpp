// Calls whose every access must stay inside the caller's images: images that
// end where an inaccessible page begins, sources above 2 GiB, extreme
// factors and sizes. A stray access faults and ends the test program.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "ResizeHelpers.h"
#include "ResizeModel.h"
#include "TestHeap.h"

namespace primitives::test {
namespace {

class ResizeMemorySafety : public PerBuildTest {};

TEST_P(ResizeMemorySafety, StretchTouchesNoByteAfterEitherImage) {
    // The second call of the stretch works one byte on: the fourth element of
    // its last pixel is the byte after the image. Both images end at an
    // inaccessible page.
    struct Row {
        int32_t srcWidth, srcHeight, dstWidth, dstHeight;
    };
    const Row rows[] = {{13, 7, 29, 15}, {40, 22, 17, 9}, {9, 9, 9, 9}, {1, 6, 11, 4}, {7, 1, 3, 5}};
    std::mt19937_64 random(12);
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.srcWidth << "x" << r.srcHeight << " -> " << r.dstWidth << "x"
                                          << r.dstHeight);
        PageEndBuffer src(static_cast<std::size_t>(r.srcWidth) * r.srcHeight * 4);
        PageEndBuffer dst(static_cast<std::size_t>(r.dstWidth) * r.dstHeight * 4);
        ASSERT_TRUE(src.valid() && dst.valid());
        for (std::size_t i = 0; i < src.size(); ++i) src.data()[i] = static_cast<uint8_t>(random());
        ASSERT_EQ(stretchTwice(zuzuZivere_8d_OZ4O, src.data(), r.srcWidth * 4, r.srcWidth, r.srcHeight, dst.data(),
                               r.dstWidth * 4, r.dstWidth, r.dstHeight),
                  primitiveStatusOk);

        const ResizeCase c = packedResizeCase(resizeData8u, 4, 4, resizeInterpolationLinear, r.srcWidth, r.srcHeight,
                                              r.dstWidth, r.dstHeight);
        ResizeBuffers buffers(c, random);
        std::memcpy(buffers.src[0].data(), src.data(), src.size());
        const auto expected = modelResize(c, buffers, ModelArithmetic::sse2Class);
        EXPECT_EQ(std::memcmp(expected[0].data(), dst.data(), dst.size()), 0);
    }
}

TEST_P(ResizeMemorySafety, CubicAndLanczosStretchTouchesNoByteAfterEitherImage) {
    // The stretch's two calls with codes 4 and 16. The three-channel passes
    // work at a stride of 4 and must not read element 3 of a source pixel:
    // in the second call that element of the last pixel is the byte after
    // the image. Sizes give group tails of every length.
    struct Row {
        int32_t srcWidth, srcHeight, dstWidth, dstHeight;
    };
    const Row rows[] = {{13, 9, 29, 15}, {40, 22, 17, 9}, {9, 9, 9, 9}, {8, 11, 6, 23}, {21, 8, 2, 3}, {11, 10, 1, 1}};
    std::mt19937_64 random(16);
    for (const int32_t method : {resizeInterpolationCubic, resizeInterpolationLanczos}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(::testing::Message() << "method " << method << " " << r.srcWidth << "x" << r.srcHeight
                                              << " -> " << r.dstWidth << "x" << r.dstHeight);
            std::vector<uint8_t> image(static_cast<std::size_t>(r.srcWidth) * r.srcHeight * 4);
            std::vector<uint8_t> before(static_cast<std::size_t>(r.dstWidth) * r.dstHeight * 4);
            for (auto& byte : image) byte = static_cast<uint8_t>(random());
            for (auto& byte : before) byte = static_cast<uint8_t>(random());
            PageEndBuffer src(image.size());
            PageEndBuffer dst(before.size());
            ASSERT_TRUE(src.valid() && dst.valid());
            std::memcpy(src.data(), image.data(), image.size());
            std::memcpy(dst.data(), before.data(), before.size());
            ASSERT_EQ(stretchTwice(zuzuZivere_8d_OZ4O, src.data(), r.srcWidth * 4, r.srcWidth, r.srcHeight,
                                   dst.data(), r.dstWidth * 4, r.dstWidth, r.dstHeight, method),
                      primitiveStatusOk);
            const std::vector<uint8_t> expected = modelStretchTwice(image, r.srcWidth, r.srcHeight, before,
                                                                    r.dstWidth, r.dstHeight, method,
                                                                    arithmeticOf(build()));
            EXPECT_EQ(std::memcmp(expected.data(), dst.data(), dst.size()), 0);
        }
    }
}

// Every layout and data type, both methods: the source ends right after the
// last processed element of its last pixel and the destination right after
// the last element written, so neither the fourth element of a
// three-channel pixel nor anything past the image is touched.
TEST_P(ResizeMemorySafety, EveryLayoutStopsAtItsLastElement) {
    std::mt19937_64 random(13);
    for (int32_t dataType = 0; dataType < 3; ++dataType) {
        for (const auto& [channels, layout] : {std::pair{1, 1}, std::pair{3, 3}, std::pair{4, 3}, std::pair{4, 4}}) {
            for (const int32_t method : {resizeInterpolationNearest, resizeInterpolationLinear}) {
                for (const double factor : {2.3, 0.6, 0.04}) {
                    ResizeCase c = packedResizeCase(dataType, channels, layout, method, 10, 10, 23, 23);
                    c.xFactor = c.yFactor = factor;
                    const int32_t es = c.elementSize();
                    const int32_t dstStride = layout == 1 ? 1 : layout == 3 ? channels : 4;
                    SCOPED_TRACE(c.describe());
                    ResizeBuffers buffers(c, random);
                    const auto expected = modelResize(c, buffers, arithmeticOf(build()));

                    const int32_t unreadTail = (channels - (layout == 1 ? 1 : layout)) * es;  // element 3 when 3 of 4
                    const std::size_t srcBytes = buffers.src[0].size() - unreadTail;
                    PageEndBuffer src(srcBytes);
                    ASSERT_TRUE(src.valid());
                    std::memcpy(src.data(), buffers.src[0].data(), srcBytes);
                    // Destination: only as far as the last written element.
                    const int32_t written = factor < 0.1 ? 1 : static_cast<int32_t>(10 * factor + 1e-7);
                    const std::size_t dstBytes =
                        static_cast<std::size_t>(written - 1) * c.dstStep +
                        ((written - 1) * dstStride + (layout == 1 ? 1 : layout == 3 ? 3 : 4)) * es;
                    PageEndBuffer dst(dstBytes);
                    ASSERT_TRUE(dst.valid());
                    std::memcpy(dst.data(), buffers.dst[0].data(), dstBytes);
                    c.dstWidth = c.dstHeight = written;  // the rest would lie past the page

                    ASSERT_EQ(generalDriverOf(build())(c.parameters(src.data(), dst.data())), primitiveStatusOk);
                    EXPECT_EQ(std::memcmp(dst.data(), expected[0].data(), dstBytes), 0);
                }
            }
        }
    }
}

TEST_P(ResizeMemorySafety, TinyNearestFactorsKeepPositionsOnTheRegion) {
    // A 10-pixel region at 0.04 writes one pixel, whose centre 12.5 lies past
    // the region; it is taken from the region's last pixel. The region is the
    // whole image and ends at the page.
    const int32_t step = 10 * 4;
    PageEndBuffer src(static_cast<std::size_t>(step) * 10 - 1);  // element 3 of the last pixel is never read
    ASSERT_TRUE(src.valid());
    for (std::size_t i = 0; i < src.size(); ++i) src.data()[i] = static_cast<uint8_t>(i);
    for (const double factor : {0.04, 5e-324}) {
        uint8_t dst[8] = {0, 0, 0, 0x77, 0, 0, 0, 0x77};
        ASSERT_EQ(zuzuZivere_8d_OZ4O(src.data(), {10, 10}, step, {0, 0, 10, 10}, dst, 8, {2, 1}, factor, factor,
                                     resizeInterpolationNearest),
                  primitiveStatusOk);
        const uint8_t* last = src.data() + 9 * step + 9 * 4;
        EXPECT_EQ(std::memcmp(dst, last, 3), 0) << factor;
        EXPECT_EQ(dst[3], 0x77);
        EXPECT_EQ(dst[4], 0) << "only one column is written";
    }
}

TEST_P(ResizeMemorySafety, RowsMoreThanTwoGigabytesIn) {
    // Four rows 2^30 bytes apart: the third starts 2^31 bytes in, past any
    // 32-bit offset, and is both a nearest row and the upper row of a linear
    // pair. Only the touched pages are backed.
    const int32_t step = 1 << 30;
    const std::size_t bytes = 3 * std::size_t{1 << 30} + 6 * 4;
    PageEndBuffer src(bytes, true);
    ASSERT_TRUE(src.valid());
    for (int row = 0; row < 4; ++row) {
        for (int byte = 0; byte < 6 * 4; ++byte) src.data()[std::size_t(row) * step + byte] = uint8_t(40 * row + byte);
    }
    for (const int32_t method : {resizeInterpolationNearest, resizeInterpolationLinear}) {
        std::vector<uint8_t> dst(4 * 24, 0xEE);
        ASSERT_EQ(zuzuZivere_8d_OZ4O(src.data(), {6, 4}, step, {0, 0, 6, 4}, dst.data(), 24, {6, 4}, 1.0, 1.0, method),
                  primitiveStatusOk);
        for (int row = 0; row < 4; ++row) {
            for (int byte = 0; byte < 24; ++byte) {
                EXPECT_EQ(dst[row * 24 + byte], byte % 4 == 3 ? 0xEE : 40 * row + byte)
                    << "method " << method << " row " << row << " byte " << byte;
            }
        }
        // A region that starts 2^31 bytes in.
        std::vector<uint8_t> lower(2 * 24, 0xEE);
        ASSERT_EQ(zuzuZivere_8d_OZ4O(src.data(), {6, 4}, step, {0, 2, 6, 2}, lower.data(), 24, {6, 2}, 1.0, 1.0,
                                     method),
                  primitiveStatusOk);
        for (int byte = 0; byte < 2 * 24; ++byte) {
            EXPECT_EQ(lower[byte], byte % 4 == 3 ? 0xEE : 80 + byte % 24 + 40 * (byte / 24)) << "byte " << byte;
        }
    }
}

TEST_P(ResizeMemorySafety, LastColumnOfAVeryLongRowStaysInside) {
    // 30,000,000 pixels with xFactor * width = 1.99999995: two columns, the
    // second placed by its step at 30,000,000.5, past the last pixel. It is
    // kept on the last pixel, which the edge rule then reads as the right
    // pixel of the pair before it.
    const int32_t width = 30000000;
    const int32_t step = width * 4;
    PageEndBuffer src(std::size_t(step) * 2, true);
    ASSERT_TRUE(src.valid());
    const uint8_t first[2][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    const uint8_t last[2][4] = {{11, 12, 13, 14}, {15, 16, 17, 18}};
    for (int row = 0; row < 2; ++row) {
        std::memcpy(src.data() + std::size_t(row) * step, first[row], 4);
        std::memcpy(src.data() + std::size_t(row) * step + std::size_t(width - 1) * 4, last[row], 4);
    }
    uint8_t dst[2][8];
    std::memset(dst, 0xEE, sizeof dst);
    ASSERT_EQ(zuzuZivere_8d_OZ4O(src.data(), {width, 2}, step, {0, 0, width, 2}, &dst[0][0], 8, {2, 2},
                                 1.99999995 / width, 1.0, resizeInterpolationLinear),
              primitiveStatusOk);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(std::memcmp(dst[row], first[row], 3), 0) << row;
        EXPECT_EQ(std::memcmp(dst[row] + 4, last[row], 3), 0) << row;
        EXPECT_EQ(dst[row][3], 0xEE);
        EXPECT_EQ(dst[row][7], 0xEE);
    }
}

TEST_P(ResizeMemorySafety, LastCubicAndLanczosColumnOfAVeryLongRowStaysInside) {
    // The long row above with codes 4 (4 rows) and 16 (8 rows). The second
    // column's position, 30,000,000.5, is kept on the last pixel before the
    // edge rules: cubic then takes the taps of the last four pixels at t = 2,
    // Lanczos the last pixel at fraction 0. The first and last four pixels of
    // every row are ramps in x and y, which every cubic form reproduces
    // exactly, so both columns copy the row's first and last pixel.
    const int32_t width = 30000000;
    const int32_t step = width * 4;
    const auto first = [](int row, int pixel, int channel) { return uint8_t(20 + 3 * pixel + 7 * row + 50 * channel); };
    const auto last = [](int row, int pixel, int channel) { return uint8_t(100 + 3 * pixel + 7 * row + 40 * channel); };
    for (const auto& [method, height] : {std::pair{resizeInterpolationCubic, 4}, std::pair{resizeInterpolationLanczos, 8}}) {
        SCOPED_TRACE(::testing::Message() << "method " << method);
        PageEndBuffer src(std::size_t(step) * height, true);
        ASSERT_TRUE(src.valid());
        for (int row = 0; row < height; ++row) {
            uint8_t* begin = src.data() + std::size_t(row) * step;
            uint8_t* end = begin + std::size_t(width - 4) * 4;
            for (int pixel = 0; pixel < 4; ++pixel) {
                for (int channel = 0; channel < 4; ++channel) {
                    begin[4 * pixel + channel] = first(row, pixel, channel);
                    end[4 * pixel + channel] = last(row, pixel, channel);
                }
            }
        }
        std::vector<uint8_t> dst(std::size_t(height) * 8, 0xEE);
        ASSERT_EQ(zuzuZivere_8d_OZ4O(src.data(), {width, height}, step, {0, 0, width, height}, dst.data(), 8,
                                     {2, height}, 1.99999995 / width, 1.0, method),
                  primitiveStatusOk);
        for (int row = 0; row < height; ++row) {
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_EQ(dst[row * 8 + channel], first(row, 0, channel)) << "row " << row;
                EXPECT_EQ(dst[row * 8 + 4 + channel], last(row, 3, channel)) << "row " << row;
            }
            EXPECT_EQ(dst[row * 8 + 3], 0xEE);
            EXPECT_EQ(dst[row * 8 + 7], 0xEE);
        }
    }
}

TEST_P(ResizeMemorySafety, HugeInfiniteAndTinyFactors) {
    // Factors whose products do not fit an integer leave the destination size
    // alone; the model shows where every pixel comes from.
    const double factors[] = {1e300, std::numeric_limits<double>::infinity(), 5e-324};
    std::mt19937_64 random(14);
    for (const double factor : factors) {
        for (const int32_t method : {resizeInterpolationNearest, resizeInterpolationLinear, resizeInterpolationCubic,
                                     resizeInterpolationLanczos}) {
            ResizeCase c = packedResizeCase(resizeData8u, 4, 3, method, 8, 8, 10, 9);  // the entry's format
            c.xFactor = c.yFactor = factor;
            SCOPED_TRACE(c.describe());
            ResizeBuffers buffers(c, random);
            const auto expected = modelResize(c, buffers, arithmeticOf(build()));
            ASSERT_EQ(zuzuZivere_8d_OZ4O(buffers.src[0].data(), {8, 8}, 32, {0, 0, 8, 8}, buffers.dst[0].data(), 40,
                                         {10, 9}, factor, factor, method),
                      primitiveStatusOk);
            EXPECT_TRUE(sameDestination(c, expected, buffers.dst));
        }
    }
    // A huge factor writes the whole destination.
    std::vector<uint8_t> src(16 * 4, 9);
    std::vector<uint8_t> dst(24 * 5, 0);
    ASSERT_EQ(zuzuZivere_8d_OZ4O(src.data(), {4, 4}, 16, {0, 0, 4, 4}, dst.data(), 24, {6, 5}, 1e300, 1e300,
                                 resizeInterpolationLinear),
              primitiveStatusOk);
    for (std::size_t i = 0; i < dst.size(); ++i) EXPECT_EQ(dst[i], i % 4 == 3 ? 0 : 9) << i;
}

TEST_P(ResizeMemorySafety, RegionSizeOfInt32MaxIsClipped) {
    std::mt19937_64 random(15);
    ResizeCase c;
    c.srcWidth = 8;
    c.srcHeight = 6;
    c.srcStep = 32;
    c.roiX = 2;
    c.roiY = 1;
    c.roiWidth = INT32_MAX;
    c.roiHeight = INT32_MAX;
    c.dstWidth = 12;
    c.dstHeight = 10;
    c.dstStep = 48;
    c.xFactor = c.yFactor = 1.5;
    for (const int32_t method : {resizeInterpolationNearest, resizeInterpolationLinear}) {
        c.interpolation = method;
        SCOPED_TRACE(c.describe());
        ResizeBuffers buffers(c, random);
        const auto expected = modelResize(c, buffers, ModelArithmetic::sse2Class);
        ASSERT_EQ(zuzuZivere_8d_OZ4O(buffers.src[0].data(), {8, 6}, 32, {2, 1, INT32_MAX, INT32_MAX},
                                     buffers.dst[0].data(), 48, {12, 10}, 1.5, 1.5, method),
                  primitiveStatusOk);
        EXPECT_TRUE(sameDestination(c, expected, buffers.dst));
    }
}

TEST_P(ResizeMemorySafety, CountsBeyondTheAllocatorsFailBeforeAnyAllocation) {
    // Destination sizes whose tables or row buffers would need more than
    // 2^31 - 1 elements: -9, with nothing allocated and nothing written.
    struct Row {
        const char* what;
        int32_t method, channels, layout, dstWidth;
        double xFactor = 1e9;
    };
    const Row rows[] = {
        {"linear row buffers of four values per pixel", resizeInterpolationLinear, 4, 4, 600000000},
        {"linear row buffers of three values per pixel", resizeInterpolationLinear, 4, 3, 800000000},
        {"linear column indexes and weights", resizeInterpolationLinear, 1, 1, 1100000000},
        {"nearest column indexes", resizeInterpolationNearest, 4, 4, 1100000000},
        {"cubic row buffers of four values per pixel", resizeInterpolationCubic, 4, 4, 600000000},
        {"cubic column indexes", resizeInterpolationCubic, 1, 1, 1100000000},
        // Only the column tap weights, 6 per column, pass the range here.
        {"Lanczos column tap weights", resizeInterpolationLanczos, 4, 3, 400000000, 5e7},
    };
    std::vector<uint8_t> src(8 * 8 * 4, 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResizeCase c;
        c.interpolation = row.method;
        c.channels = row.channels;
        c.layout = row.layout;
        c.srcWidth = c.roiWidth = 8;
        c.srcHeight = c.roiHeight = 8;
        c.srcStep = 8 * 4;
        c.dstWidth = row.dstWidth;
        c.dstHeight = 2;
        c.dstStep = 64;
        c.xFactor = row.xFactor;
        GuardedBuffer<uint8_t> dst(128);
        const int64_t requests = TestHeap::requests();
        EXPECT_EQ(generalDriverOf(build())(c.parameters(src.data(), dst.data())), primitiveStatusAllocationFailed);
        EXPECT_EQ(TestHeap::requests(), requests);
        EXPECT_TRUE(dst.untouched());
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeMemorySafety);

}  // namespace
}  // namespace primitives::test
