// Cubic sub-drivers. Each destination row blends four intermediate rows,
// the horizontally filtered source rows k - 1 ... k + 2 around its base row
// k; the four are kept while the base row stays and only the rows new to
// them are filtered when it moves down.
#pragma once

#include <cstdint>
#include <utility>

#include "primitives/resize/ResizeBuilds.h"

namespace primitives {

// The four-row cache. filter(sourceRow, out) fills an intermediate row;
// blend(dstRow, t, rows) writes a destination row from the rows of
// k - 1 ... k + 2.
//
// rowOffsets never decrease and their rows k - 1 ... k + 2 lie in the image
// (the driver moves the base inward at its edges).
template <typename T, typename Filter, typename Blend>
void runCubicRows(const T* src, T* dst, int32_t srcStep, int32_t dstStep, int32_t dstHeight,
                  const int64_t* rowOffsets, const float* rowFractions, float* rowBuf0, float* rowBuf1,
                  float* rowBuf2, float* rowBuf3, Filter filter, Blend blend) {
    // role[0 ... 3] holds the rows k - 1 ... k + 2 of the current base. They
    // start as the rows of an imaginary base one row above the first, whose
    // move down by one row then fills the fourth.
    float* role[4] = {rowBuf0, rowBuf1, rowBuf2, rowBuf3};
    const int64_t first = rowOffsets[0];
    filter(src + first - srcStep, role[1]);
    filter(src + first, role[2]);
    filter(src + first + srcStep, role[3]);
    int64_t last = first - 1;
    for (int32_t i = 0; i < dstHeight; ++i, dst += dstStep) {
        const int64_t offset = rowOffsets[i];
        if (offset > last) {
            // Every row that the new base still shares with the old one is
            // kept; the others are filtered, the lowest first.
            float* leaving = role[0];
            role[0] = role[1], role[1] = role[2], role[2] = role[3], role[3] = leaving;
            filter(src + offset + 2 * int64_t{srcStep}, role[3]);
            if (offset >= last + 2 * int64_t{srcStep}) {
                std::swap(role[0], role[2]);  // rows k and k + 1 shift up, k + 1 is filtered
                std::swap(role[0], role[1]);
                filter(src + offset + srcStep, role[2]);
            }
            if (offset >= last + 3 * int64_t{srcStep}) {
                std::swap(role[0], role[1]);
                filter(src + offset, role[1]);
            }
            if (offset >= last + 4 * int64_t{srcStep}) filter(src + offset - srcStep, role[0]);
            last = offset;
        }
        blend(dst, rowFractions[i], role[0], role[1], role[2], role[3]);
    }
}

// Entries 6-8: three or four processed channels (`layout`) of pixels
// `channels` elements apart. Intermediate rows hold 3 values per pixel for
// layout 3 and 4 otherwise; when channels differs from layout (four-element
// pixels, three processed) the vertical pass leaves element 3 alone.
template <typename T, typename Build>
void resizeCubicMultiCh(const void* src, void* dst, int32_t srcStep, int32_t dstStep, int32_t dstWidth,
                        int32_t dstHeight, const int64_t* rowOffsets, const int64_t* colIndexes,
                        const float* rowFractions, const float* colFractions, void* rowBuf0, void* rowBuf1,
                        void* rowBuf2, void* rowBuf3, int32_t channels, int32_t layout) {
    using Passes = typename Build::Cubic;
    const bool threeValues = layout == 3;
    const bool contiguous = channels == layout;
    const int32_t rowValues = dstWidth * (threeValues ? 3 : 4);
    runCubicRows(
        static_cast<const T*>(src), static_cast<T*>(dst), srcStep, dstStep, dstHeight, rowOffsets, rowFractions,
        static_cast<float*>(rowBuf0), static_cast<float*>(rowBuf1), static_cast<float*>(rowBuf2),
        static_cast<float*>(rowBuf3),
        [&](const T* row, float* out) {
            if (threeValues) {
                Passes::horizontal3Ch(row, dstWidth, channels, colIndexes, colFractions, out);
            } else {
                Passes::horizontal4Ch(row, dstWidth, colIndexes, colFractions, out);
            }
        },
        [&](T* out, float t, const float* r0, const float* r1, const float* r2, const float* r3) {
            if (contiguous) {
                Passes::vertical(out, rowValues, t, r0, r1, r2, r3);
            } else {
                Passes::verticalSkipAlpha(out, dstWidth, t, r0, r1, r2, r3);
            }
        });
}

// Entries 9-11: one channel, or one plane of a planar image. `channels` and
// `layout` are ignored.
template <typename T, typename Build>
void resizeCubic1Ch(const void* src, void* dst, int32_t srcStep, int32_t dstStep, int32_t dstWidth,
                    int32_t dstHeight, const int64_t* rowOffsets, const int64_t* colIndexes, const float* rowFractions,
                    const float* colFractions, void* rowBuf0, void* rowBuf1, void* rowBuf2, void* rowBuf3, int32_t,
                    int32_t) {
    using Passes = typename Build::Cubic;
    runCubicRows(
        static_cast<const T*>(src), static_cast<T*>(dst), srcStep, dstStep, dstHeight, rowOffsets, rowFractions,
        static_cast<float*>(rowBuf0), static_cast<float*>(rowBuf1), static_cast<float*>(rowBuf2),
        static_cast<float*>(rowBuf3),
        [&](const T* row, float* out) { Passes::horizontal1Ch(row, dstWidth, colIndexes, colFractions, out); },
        [&](T* out, float t, const float* r0, const float* r1, const float* r2, const float* r3) {
            Passes::vertical(out, dstWidth, t, r0, r1, r2, r3);
        });
}

}  // namespace primitives
