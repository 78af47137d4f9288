// Lanczos sub-drivers. A window of six horizontally filtered source rows,
// y - 2 ... y + 3 around the current source row y, moves down the image as
// the destination rows advance; each destination row is one vertical pass
// over the window. Rows above the image's first row stand for that row and
// rows below its last row for the last row, so every tap reads the image
// (rows outside the region but inside the image are real data).
#pragma once

#include <cstdint>

#include "primitives/resize/ResizeBuilds.h"

namespace primitives {

// The window. filter(sourceRow, out) fills a row buffer, copy(from, to)
// duplicates one, blend(dstRow, tapWeights, window) writes a destination row.
// Rows are counted from the region's top row; lastRow = srcHeightFromRoi - 1
// is the image's last row and -roiY its first.
//
// The window starts as the rows -2 ... 2 of a current row -1, rows beyond the
// image made by copying. Moving down by one row with rowUpscale set filters
// (or, past the last row, copies) the one entering row; any other move
// filters each entering row from its clamped source row, so the window holds
// the right rows whatever the first destination row's source row is.
template <typename T, typename Filter, typename Copy, typename Blend>
void runLanczosRows(const T* src, T* dst, int32_t srcStep, int32_t dstStep, int32_t dstHeight,
                    const int64_t* rowOffsets, const float* rowTapWeights, float* const buffers[6], int32_t roiY,
                    int32_t srcHeightFromRoi, int32_t rowUpscale, Filter filter, Copy copy, Blend blend) {
    const int64_t firstRow = -int64_t{roiY};
    const int64_t lastRow = int64_t{srcHeightFromRoi} - 1;
    const auto filterRow = [&](int64_t row, float* out) {
        row = row < firstRow ? firstRow : row > lastRow ? lastRow : row;
        filter(src + row * srcStep, out);
    };

    float* window[6] = {buffers[0], buffers[1], buffers[2], buffers[3], buffers[4], buffers[5]};
    filterRow(0, window[3]);
    if (srcHeightFromRoi == 1) {
        copy(window[3], window[4]);
        copy(window[3], window[5]);
    } else {
        filterRow(1, window[4]);
        if (srcHeightFromRoi == 2) {
            copy(window[4], window[5]);
        } else {
            filterRow(2, window[5]);
        }
    }
    if (roiY == 0) {
        copy(window[3], window[2]);
        copy(window[3], window[1]);
    } else {
        filterRow(-1, window[2]);
        if (roiY == 1) {
            copy(window[2], window[1]);
        } else {
            filterRow(-2, window[1]);
        }
    }
    // window[0] is free, in the place of row -3.
    int64_t current = -1;

    for (int32_t i = 0; i < dstHeight; ++i, dst += dstStep) {
        const int64_t y = srcStep > 0 ? rowOffsets[i] / srcStep : 0;
        if (y > current) {
            const int64_t move = y - current;
            if (rowUpscale != 0 && move == 1) {
                float* entering = window[0];
                for (int k = 0; k < 5; ++k) window[k] = window[k + 1];
                window[5] = entering;
                if (y + 3 <= lastRow) {
                    filterRow(y + 3, entering);
                } else {
                    copy(window[4], entering);  // row y + 2 is already the last row
                }
            } else {
                // Rows y - 2 ... current + 3 stay and move up; the buffers of
                // the rows that left take the rows that enter.
                const int kept = move < 6 ? 6 - static_cast<int>(move) : 0;
                float* freed[6];
                for (int k = 0; k < 6 - kept; ++k) freed[k] = window[k];
                for (int k = 0; k < kept; ++k) window[k] = window[k + 6 - kept];
                for (int k = kept; k < 6; ++k) {
                    window[k] = freed[k - kept];
                    filterRow(y - 2 + k, window[k]);
                }
            }
            current = y;
        }
        blend(dst, rowTapWeights + 6 * int64_t{i}, window);
    }
}

// Entries 0-2: three or four processed channels (`layout`) of pixels
// `channels` elements apart. Filtered rows hold 3 floats per pixel for
// layout 3 and 4 otherwise; when channels differs from layout (four-element
// pixels, three processed) the vertical pass leaves element 3 alone.
template <typename T, typename Build>
void resizeLanczosMultiCh(const void* src, void* dst, int32_t srcStep, int32_t dstStep, int32_t dstWidth,
                          int32_t dstHeight, const int64_t* rowOffsets, const int64_t* colIndexes,
                          const float* rowTapWeights, const float* colTapWeights, void* rowBuf0, void* rowBuf1,
                          void* rowBuf2, void* rowBuf3, void* rowBuf4, void* rowBuf5, int32_t roiX, int32_t roiY,
                          int32_t srcWidthFromRoi, int32_t srcHeightFromRoi, int32_t rowUpscale, int32_t channels,
                          int32_t layout) {
    using Passes = typename Build::Lanczos;
    const bool threeValues = layout == 3;
    const bool contiguous = channels == layout;
    const int32_t rowValues = dstWidth * (threeValues ? 3 : 4);
    float* const buffers[6] = {static_cast<float*>(rowBuf0), static_cast<float*>(rowBuf1),
                               static_cast<float*>(rowBuf2), static_cast<float*>(rowBuf3),
                               static_cast<float*>(rowBuf4), static_cast<float*>(rowBuf5)};
    runLanczosRows(
        static_cast<const T*>(src), static_cast<T*>(dst), srcStep, dstStep, dstHeight, rowOffsets, rowTapWeights,
        buffers, roiY, srcHeightFromRoi, rowUpscale,
        [&](const T* row, float* out) {
            if (threeValues) {
                Passes::horizontal3Ch(row, channels, colIndexes, colTapWeights, out, dstWidth, roiX, srcWidthFromRoi);
            } else {
                Passes::horizontal4Ch(row, colIndexes, colTapWeights, out, dstWidth, roiX, srcWidthFromRoi);
            }
        },
        [&](const float* from, float* to) { Build::copyRow(from, to, rowValues); },
        [&](T* out, const float* weights, const float* const window[6]) {
            if (contiguous) {
                Passes::vertical(out, rowValues, weights, window);
            } else {
                Passes::verticalSkipAlpha(out, dstWidth, weights, window);
            }
        });
}

// Entries 3-5: one channel, or one plane of a planar image. `channels` and
// `layout` are ignored.
template <typename T, typename Build>
void resizeLanczos1Ch(const void* src, void* dst, int32_t srcStep, int32_t dstStep, int32_t dstWidth,
                      int32_t dstHeight, const int64_t* rowOffsets, const int64_t* colIndexes,
                      const float* rowTapWeights, const float* colTapWeights, void* rowBuf0, void* rowBuf1,
                      void* rowBuf2, void* rowBuf3, void* rowBuf4, void* rowBuf5, int32_t roiX, int32_t roiY,
                      int32_t srcWidthFromRoi, int32_t srcHeightFromRoi, int32_t rowUpscale, int32_t, int32_t) {
    using Passes = typename Build::Lanczos;
    float* const buffers[6] = {static_cast<float*>(rowBuf0), static_cast<float*>(rowBuf1),
                               static_cast<float*>(rowBuf2), static_cast<float*>(rowBuf3),
                               static_cast<float*>(rowBuf4), static_cast<float*>(rowBuf5)};
    runLanczosRows(
        static_cast<const T*>(src), static_cast<T*>(dst), srcStep, dstStep, dstHeight, rowOffsets, rowTapWeights,
        buffers, roiY, srcHeightFromRoi, rowUpscale,
        [&](const T* row, float* out) {
            Passes::horizontal1Ch(row, colIndexes, colTapWeights, out, dstWidth, roiX, srcWidthFromRoi);
        },
        [&](const float* from, float* to) { Build::copyRow(from, to, dstWidth); },
        [&](T* out, const float* weights, const float* const window[6]) {
            Passes::vertical(out, dstWidth, weights, window);
        });
}

}  // namespace primitives
