// duroCopy_8u_C4R, duroSet_8u_C4R and duroSet_8u_AC4R against plain byte
// models, on every build, at every alignment, with guard bytes all round.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "BuildTest.h"
#include "ImageCanvas.h"
#include "primitives.h"

namespace primitives {
namespace {

using test::bytesFor;
using test::CanvasRegion;
using test::ImageCanvas;

class ImageCopyFill : public test::PerBuildTest {};
INSTANTIATE_PER_BUILD_TEST_SUITE(ImageCopyFill);

// ---- Plain models: row after row, byte after byte ----

void modelCopy(const ImageCanvas& from, CanvasRegion src, ImageCanvas& to, CanvasRegion dst, ImageSize size) {
    for (int32_t y = 0; y < size.height; ++y) {
        for (int32_t i = 0; i < 4 * size.width; ++i) {
            *to.at(dst.offset + static_cast<std::size_t>(y) * dst.step + i) =
                *from.at(src.offset + static_cast<std::size_t>(y) * src.step + i);
        }
    }
}

// Writes the first `channels` bytes of `value` into every pixel.
void modelFill(ImageCanvas& canvas, CanvasRegion dst, ImageSize size, const uint8_t* value, int channels) {
    for (int32_t y = 0; y < size.height; ++y) {
        for (int32_t x = 0; x < size.width; ++x) {
            for (int c = 0; c < channels; ++c) {
                *canvas.at(dst.offset + static_cast<std::size_t>(y) * dst.step + 4 * x + c) = value[c];
            }
        }
    }
}

// The two fill entries side by side: how many channels each writes.
struct FillEntry {
    const char* name;
    PrimitiveStatus (*fill)(const uint8_t*, uint8_t*, int32_t, ImageSize);
    int channels;
};
const FillEntry kFillEntries[] = {
    {"duroSet_8u_C4R", duroSet_8u_C4R, 4},
    {"duroSet_8u_AC4R", duroSet_8u_AC4R, 3},
};

constexpr uint8_t kValue[4] = {0x11, 0x82, 0x33, 0xC4};

std::string describe(ImageSize size, CanvasRegion a, CanvasRegion b) {
    return std::to_string(size.width) + "x" + std::to_string(size.height) + " offsets " + std::to_string(a.offset) +
           "/" + std::to_string(b.offset) + " steps " + std::to_string(a.step) + "/" + std::to_string(b.step);
}

// ---- Checks ----

TEST_P(ImageCopyFill, CopyChecksDecideInOrderAndFailuresWriteNothing) {
    struct Case {
        const char* what;
        bool srcNull, dstNull;
        int32_t width, height, srcStep, dstStep;
        PrimitiveStatus expected;
    };
    const Case cases[] = {
        {"null source", true, false, 4, 2, 16, 16, -8},
        {"null destination", false, true, 4, 2, 16, 16, -8},
        {"null with zero width", true, false, 0, 2, 16, 16, -8},
        {"null with zero steps", false, true, 4, 2, 0, 0, -8},
        {"zero width", false, false, 0, 2, 16, 16, -6},
        {"zero height", false, false, 4, 0, 16, 16, -6},
        {"negative width", false, false, -4, 2, 16, 16, -6},
        {"zero width with zero step", false, false, 0, 2, 0, 16, -6},
        {"region of 2^31 bytes", false, false, 65536, 8192, 16, 16, -6},
        {"region of 2^31 bytes with zero steps", false, false, 65536, 8192, 0, 0, -6},
        {"one pixel row more than 2^31 - 4 bytes", false, false, 256999, 2090, 16, 16, -6},
        {"largest width and height", false, false, INT32_MAX, INT32_MAX, 16, 16, -6},
        // 2^31 - 4 bytes fits: the step check is reached.
        {"region of 2^31 - 4 bytes, zero step", false, false, 256999, 2089, 0, 16, -14},
        {"zero source step", false, false, 4, 2, 0, 16, -14},
        {"negative destination step", false, false, 4, 2, 16, -16, -14},
        {"valid", false, false, 4, 2, 16, 16, 0},
    };
    const ImageCanvas source(64, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImageCanvas dst(64, 2);
        ImageCanvas expected(dst);
        if (c.expected == 0) modelCopy(source, {0, c.srcStep}, expected, {0, c.dstStep}, {c.width, c.height});
        EXPECT_EQ(duroCopy_8u_C4R(c.srcNull ? nullptr : source.at(0), c.srcStep, c.dstNull ? nullptr : dst.at(0),
                                  c.dstStep, {c.width, c.height}),
                  c.expected);
        EXPECT_TRUE(dst.equals(expected));
    }
}

TEST_P(ImageCopyFill, FillChecksDecideInOrderAndFailuresWriteNothing) {
    struct Case {
        const char* what;
        bool valueNull, dstNull;
        int32_t width, height, step;
        PrimitiveStatus expected;
    };
    const Case cases[] = {
        {"null value", true, false, 4, 2, 16, -8},
        {"null destination", false, true, 4, 2, 16, -8},
        {"null with zero height and step", true, false, 4, 0, 0, -8},
        {"zero width", false, false, 0, 2, 16, -6},
        {"negative height", false, false, 4, -1, 16, -6},
        {"zero height with negative step", false, false, 4, 0, -16, -6},
        {"region of 2^31 bytes", false, false, 65536, 8192, 16, -6},
        {"largest width and height", false, false, INT32_MAX, INT32_MAX, 16, -6},
        {"region of 2^31 - 4 bytes, zero step", false, false, 256999, 2089, 0, -14},
        {"zero step", false, false, 4, 2, 0, -14},
        {"negative step", false, false, 4, 2, -16, -14},
        {"valid", false, false, 4, 2, 16, 0},
    };
    for (const FillEntry& entry : kFillEntries) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(entry.name) + ": " + c.what);
            ImageCanvas dst(64, 3);
            ImageCanvas expected(dst);
            if (c.expected == 0) modelFill(expected, {0, c.step}, {c.width, c.height}, kValue, entry.channels);
            EXPECT_EQ(entry.fill(c.valueNull ? nullptr : kValue, c.dstNull ? nullptr : dst.at(0), c.step,
                                 {c.width, c.height}),
                      c.expected);
            EXPECT_TRUE(dst.equals(expected));
        }
    }
}

// ---- Guard matrix ----

constexpr int32_t kMatrixWidths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 60};

TEST_P(ImageCopyFill, CopyMatchesTheModelAtEveryAlignmentWidthAndStep) {
    for (int32_t width : kMatrixWidths) {
        const int32_t row = 4 * width;
        // Contiguous in both (one kernel call), in one only, and in neither.
        const int32_t stepPairs[][2] = {{row, row}, {row, row + 13}, {row + 7, row + 13}};
        for (int32_t height = 1; height <= 3; ++height) {
            for (const auto& steps : stepPairs) {
                const ImageCanvas source(bytesFor({16, steps[0]}, {width, height}), 5);
                const ImageCanvas blank(bytesFor({16, steps[1]}, {width, height}), 6);
                for (std::size_t srcOffset = 0; srcOffset < 16; ++srcOffset) {
                    const CanvasRegion src{srcOffset, steps[0]};
                    for (std::size_t dstOffset = 0; dstOffset < 16; ++dstOffset) {
                        const CanvasRegion dst{dstOffset, steps[1]};
                        ImageCanvas actual(blank);
                        ImageCanvas expected(blank);
                        modelCopy(source, src, expected, dst, {width, height});
                        ASSERT_EQ(duroCopy_8u_C4R(source.at(src.offset), src.step, actual.at(dst.offset), dst.step,
                                                  {width, height}),
                                  0);
                        std::ptrdiff_t at = 0;
                        ASSERT_TRUE(actual.equals(expected, &at))
                            << describe({width, height}, src, dst) << ": first difference at " << at;
                    }
                }
            }
        }
    }
}

TEST_P(ImageCopyFill, FillsMatchTheModelAtEveryAlignmentWidthAndStep) {
    for (const FillEntry& entry : kFillEntries) {
        for (int32_t width : kMatrixWidths) {
            for (int32_t height = 1; height <= 3; ++height) {
                for (int32_t step : {4 * width, 4 * width + 13}) {
                    const ImageCanvas blank(bytesFor({16, step}, {width, height}), 7);
                    for (std::size_t offset = 0; offset < 16; ++offset) {
                        const CanvasRegion dst{offset, step};
                        ImageCanvas actual(blank);
                        ImageCanvas expected(blank);
                        // For the AC4R fill the model keeps every alpha byte
                        // of the canvas pattern: a canary in each pixel.
                        modelFill(expected, dst, {width, height}, kValue, entry.channels);
                        ASSERT_EQ(entry.fill(kValue, actual.at(offset), step, {width, height}), 0);
                        std::ptrdiff_t at = 0;
                        ASSERT_TRUE(actual.equals(expected, &at))
                            << entry.name << " " << describe({width, height}, dst, dst) << ": first difference at "
                            << at;
                    }
                }
            }
        }
    }
}

TEST_P(ImageCopyFill, StepSmallerThanTheRowLetsLaterRowsWin) {
    const ImageSize size{9, 4};
    for (int32_t step : {1, 2, 4, 6, 30, 35}) {
        for (std::size_t offset : {0u, 3u}) {
            SCOPED_TRACE("step " + std::to_string(step) + " offset " + std::to_string(offset));
            const CanvasRegion dst{offset, step};
            const CanvasRegion src{1, 40};
            const ImageCanvas source(bytesFor(src, size), 8);
            ImageCanvas copied(bytesFor(dst, size) + 8, 9);
            ImageCanvas expected(copied);
            modelCopy(source, src, expected, dst, size);
            ASSERT_EQ(duroCopy_8u_C4R(source.at(src.offset), src.step, copied.at(offset), step, size), 0);
            EXPECT_TRUE(copied.equals(expected)) << "copy";

            for (const FillEntry& entry : kFillEntries) {
                ImageCanvas filled(bytesFor(dst, size) + 8, 10);
                ImageCanvas expectedFill(filled);
                modelFill(expectedFill, dst, size, kValue, entry.channels);
                ASSERT_EQ(entry.fill(kValue, filled.at(offset), step, size), 0);
                EXPECT_TRUE(filled.equals(expectedFill)) << entry.name;
            }
        }
    }
}

// ---- Large regions: one-call copies and the non-temporal thresholds ----

TEST_P(ImageCopyFill, ContiguousAndRowByRowCopiesGiveTheSameBytes) {
    for (const ImageSize size : {ImageSize{15, 1}, ImageSize{37, 9}, ImageSize{128, 257}}) {
        for (const auto& offsets : {std::pair<std::size_t, std::size_t>{0, 0}, {3, 5}, {8, 4}}) {
            SCOPED_TRACE(describe(size, {offsets.first, 0}, {offsets.second, 0}));
            const int32_t row = 4 * size.width;
            const CanvasRegion src{offsets.first, row};
            const ImageCanvas source(bytesFor(src, size), 11);
            const CanvasRegion contiguous{offsets.second, row};
            const CanvasRegion spaced{offsets.second, row + 20};
            ImageCanvas one(bytesFor(contiguous, size), 12);
            ImageCanvas rows(bytesFor(spaced, size), 12);
            ASSERT_EQ(duroCopy_8u_C4R(source.at(src.offset), row, one.at(contiguous.offset), row, size), 0);
            ASSERT_EQ(duroCopy_8u_C4R(source.at(src.offset), row, rows.at(spaced.offset), spaced.step, size), 0);
            for (int32_t y = 0; y < size.height; ++y) {
                ASSERT_EQ(0, std::memcmp(one.at(contiguous.offset + static_cast<std::size_t>(y) * row),
                                         rows.at(spaced.offset + static_cast<std::size_t>(y) * spaced.step), row))
                    << "row " << y;
            }
        }
    }
}

TEST_P(ImageCopyFill, RegionsEitherSideOfTheNonTemporalThresholdsMatchTheModel) {
    // 128 x 256 pixels are exactly the copy threshold, 256 x 256 the fill
    // threshold; one row more crosses each.
    for (const ImageSize size : {ImageSize{128, 256}, ImageSize{128, 257}, ImageSize{256, 256}, ImageSize{256, 257}}) {
        const int32_t row = 4 * size.width;
        for (const int32_t extra : {0, 16}) {
            for (const std::size_t offset : {0u, 3u}) {
                SCOPED_TRACE(describe(size, {offset, row + extra}, {offset, row + extra}));
                const CanvasRegion src{5, row + extra};
                const CanvasRegion dst{offset, row + extra};
                const ImageCanvas source(bytesFor(src, size), 13);
                ImageCanvas copied(bytesFor(dst, size), 14);
                ImageCanvas expected(copied);
                modelCopy(source, src, expected, dst, size);
                ASSERT_EQ(duroCopy_8u_C4R(source.at(src.offset), src.step, copied.at(dst.offset), dst.step, size), 0);
                EXPECT_TRUE(copied.equals(expected)) << "copy";

                for (const FillEntry& entry : kFillEntries) {
                    ImageCanvas filled(bytesFor(dst, size), 15);
                    ImageCanvas expectedFill(filled);
                    modelFill(expectedFill, dst, size, kValue, entry.channels);
                    ASSERT_EQ(entry.fill(kValue, filled.at(dst.offset), dst.step, size), 0);
                    EXPECT_TRUE(filled.equals(expectedFill)) << entry.name;
                }
            }
        }
    }
}

TEST_P(ImageCopyFill, LargeCopiesAtEveryDistanceBandEdgeMatchTheModel) {
    // Destinations 16 to 320 bytes (mod 64 KiB) behind the source take
    // ordinary stores even above the threshold; just outside they stream.
    const ImageSize size{35000, 1};
    const std::size_t regionBytes = 4 * 35000;
    for (const std::size_t behind : {0u, 8u, 16u, 20u, 64u, 320u, 336u}) {
        SCOPED_TRACE("destination " + std::to_string(behind) + " bytes behind (mod 64 KiB)");
        const std::size_t dstOffset = 3 * 65536 + behind;
        ImageCanvas actual(dstOffset + regionBytes, 16);
        ImageCanvas expected(actual);
        modelCopy(expected, {0, 0}, expected, {dstOffset, 0}, size);
        ASSERT_EQ(duroCopy_8u_C4R(actual.at(0), static_cast<int32_t>(regionBytes), actual.at(dstOffset),
                                  static_cast<int32_t>(regionBytes), size),
                  0);
        EXPECT_TRUE(actual.equals(expected));
    }
}

}  // namespace
}  // namespace primitives
