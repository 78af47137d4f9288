// The program's stretch: two linear calls on a BGRA rectangle, the second
// with both pointers one byte on.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "BuildTest.h"
#include "ResizeHelpers.h"
#include "ResizeModel.h"
#include "primitives/resize/ResizeTables.h"

namespace primitives::test {
namespace {

// A rectangle inside a larger BGRA parent image, as a model case.
struct Rect {
    int32_t x, y, width, height;
};

class ResizeStretch : public PerBuildTest {
protected:
    // Stretches `from` (in a parent of srcParentWidth pixels per row) into
    // `to` (in a parent of dstParentWidth) and checks the rectangle against
    // the model in all four bytes and against one four-channel driver call,
    // and every byte outside the rectangle against its old value.
    void checkStretch(int32_t srcParentWidth, int32_t srcParentHeight, Rect from, int32_t dstParentWidth,
                      int32_t dstParentHeight, Rect to, uint64_t seed) {
        SCOPED_TRACE(::testing::Message() << from.width << "x" << from.height << " -> " << to.width << "x"
                                          << to.height);
        std::mt19937_64 random(seed);
        const int32_t srcStep = srcParentWidth * 4;
        const int32_t dstStep = dstParentWidth * 4;
        std::vector<uint8_t> src(static_cast<std::size_t>(srcStep) * srcParentHeight);
        std::vector<uint8_t> dst(static_cast<std::size_t>(dstStep) * dstParentHeight);
        for (auto& byte : src) byte = static_cast<uint8_t>(random());
        for (auto& byte : dst) byte = static_cast<uint8_t>(random());
        const std::vector<uint8_t> before = dst;
        const uint8_t* srcOrigin = src.data() + from.y * srcStep + from.x * 4;
        uint8_t* dstOrigin = dst.data() + to.y * dstStep + to.x * 4;

        ASSERT_EQ(stretchTwice(zuzuZivere_8d_OZ4O, srcOrigin, srcStep, from.width, from.height, dstOrigin, dstStep,
                               to.width, to.height),
                  primitiveStatusOk);

        // The same rectangle with all four elements processed in one call.
        ResizeCase c = packedResizeCase(resizeData8u, 4, 4, resizeInterpolationLinear, from.width, from.height,
                                        to.width, to.height);
        c.srcStep = srcStep;
        c.dstStep = dstStep;
        std::vector<uint8_t> fourChannel = before;
        ASSERT_EQ(generalDriverOf(build())(c.parameters(srcOrigin, fourChannel.data() + (dstOrigin - dst.data()))),
                  primitiveStatusOk);
        EXPECT_EQ(dst, fourChannel) << "differs from one call with all four channels";

        // The model over the rectangle as its own image.
        c.srcStep = from.width * 4;
        c.dstStep = to.width * 4;
        std::mt19937_64 unused(0);
        ResizeBuffers buffers(c, unused);
        for (int32_t row = 0; row < from.height; ++row) {
            std::memcpy(buffers.src[0].data() + row * c.srcStep, srcOrigin + row * srcStep, c.srcStep);
        }
        const auto expected = modelResize(c, buffers, ModelArithmetic::sse2Class);
        for (int32_t row = 0; row < to.height; ++row) {
            ASSERT_EQ(std::memcmp(expected[0].data() + row * c.dstStep, dstOrigin + row * dstStep, c.dstStep), 0)
                << "row " << row << " differs from the model";
        }

        // Outside the rectangle nothing changed.
        for (int32_t row = 0; row < dstParentHeight; ++row) {
            for (int32_t byte = 0; byte < dstStep; ++byte) {
                const bool inside = row >= to.y && row < to.y + to.height && byte >= to.x * 4 &&
                                    byte < (to.x + to.width) * 4;
                if (!inside) {
                    ASSERT_EQ(dst[row * dstStep + byte], before[row * dstStep + byte]) << row << "," << byte;
                }
            }
        }
    }
};

TEST_P(ResizeStretch, RectanglesInsideLargerImagesMatchModelAndFourChannelCall) {
    struct Row {
        int32_t srcParentWidth, srcParentHeight;
        Rect from;
        int32_t dstParentWidth, dstParentHeight;
        Rect to;
    };
    const Row rows[] = {
        {50, 30, {3, 2, 37, 23}, 100, 70, {5, 4, 80, 50}},      // enlarge
        {120, 70, {10, 5, 100, 60}, 60, 40, {7, 3, 45, 31}},    // reduce
        {20, 20, {0, 0, 8, 8}, 20, 20, {2, 2, 8, 8}},           // same size
        {40, 12, {1, 1, 16, 9}, 40, 3, {0, 1, 33, 1}},          // to one row
        {30, 30, {29, 0, 1, 30}, 30, 30, {4, 4, 17, 9}},        // one column: nearest
        {30, 30, {0, 29, 30, 1}, 40, 30, {0, 0, 39, 7}},        // one row: nearest
        {8, 8, {7, 7, 1, 1}, 10, 10, {1, 2, 9, 8}},             // one pixel
    };
    uint64_t seed = 1;
    for (const Row& r : rows) {
        checkStretch(r.srcParentWidth, r.srcParentHeight, r.from, r.dstParentWidth, r.dstParentHeight, r.to, seed++);
    }
}

TEST_P(ResizeStretch, EveryDestinationPixelIsWritten) {
    // The factor dstW / srcW must not lose a column to rounding: for all
    // widths 1 to 300 the clipped width is exactly dstW, for both methods.
    for (int32_t srcWidth = 1; srcWidth <= 300; ++srcWidth) {
        for (int32_t dstWidth = 1; dstWidth <= 300; ++dstWidth) {
            const double factor = static_cast<double>(dstWidth) / srcWidth;
            for (const bool nearest : {false, true}) {
                ASSERT_EQ(mapResizeAxis(srcWidth, factor, dstWidth, 0.0, nearest, 1).count, dstWidth)
                    << srcWidth << " -> " << dstWidth << (nearest ? " nearest" : " linear");
            }
        }
    }

    // Through the entry, on a plain source colour, which comes back exactly,
    // so every written pixel is recognisable; the widths cover each SIMD
    // tail and a spread of the rest.
    const uint8_t colour[4] = {10, 200, 77, 140};
    std::vector<uint8_t> src(300 * 2 * 4);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = colour[i % 4];
    const int32_t dstStep = 301 * 4;
    std::vector<uint8_t> dst(static_cast<std::size_t>(dstStep) * 2);
    const int32_t widthStep = 4 / sweepCases(4);    // every width, or every fourth in sanitizer builds
    const int32_t middleStep = 44 / sweepCases(4);  // 11, or 44 in sanitizer builds
    for (int32_t srcWidth = 1; srcWidth <= 300; srcWidth += widthStep) {
        for (int32_t dstWidth = 1; dstWidth <= 300; dstWidth += dstWidth < 24 || dstWidth > 290 ? 1 : middleStep) {
            std::memset(dst.data(), 0, dst.size());
            ASSERT_EQ(stretchTwice(zuzuZivere_8d_OZ4O, src.data(), srcWidth * 4, srcWidth, 2, dst.data(), dstStep,
                                   dstWidth, 2),
                      primitiveStatusOk);
            for (int32_t row = 0; row < 2; ++row) {
                const uint8_t* line = dst.data() + row * dstStep;
                for (int32_t j = 0; j < dstWidth; ++j) {
                    ASSERT_EQ(std::memcmp(line + 4 * j, colour, 4), 0)
                        << srcWidth << " -> " << dstWidth << ": pixel " << j << " of row " << row;
                }
                ASSERT_EQ(line[4 * dstWidth], 0) << srcWidth << " -> " << dstWidth << ": written past the row";
            }
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeStretch);

}  // namespace
}  // namespace primitives::test
