// Linear sub-drivers. Every source row that the destination needs is
// filtered horizontally into an intermediate row once; each destination row
// is then a vertical blend of an upper and a lower intermediate row. The two
// rows are kept while consecutive destination rows fall between the same pair
// of source rows.
#pragma once

#include <cstdint>
#include <utility>

#include "primitives/resize/ResizeBuilds.h"

namespace primitives {

// The two-row cache. horizontal(sourceRow, out) fills an intermediate row;
// vertical(dstRow, weight, upper, lower) writes a destination row.
//
// rowOffsets[0] is 0, or -srcStep with the whole weight on the lower row
// when the region's first row is the image's last; offsets never decrease.
template <typename T, typename Intermediate, typename RowWeight, typename Horizontal, typename Vertical>
void runLinearRows(const T* src, T* dst, int32_t srcStep, int32_t dstStep, int32_t dstHeight,
                   const int64_t* rowOffsets, const RowWeight* rowWeights, Intermediate* rowBuf0,
                   Intermediate* rowBuf1, Horizontal horizontal, Vertical vertical) {
    // The first pair's upper row: the row of the first offset (row 0 would be
    // wrong for a region shifted down, and outside for the -srcStep case).
    Intermediate* upper = rowBuf0;
    Intermediate* lower = rowBuf1;
    horizontal(src + rowOffsets[0], lower);
    int64_t last = rowOffsets[0] - 1;
    for (int32_t i = 0; i < dstHeight; ++i, dst += dstStep) {
        const int64_t offset = rowOffsets[i];
        if (offset > last) {
            std::swap(upper, lower);  // the old lower row is the new upper row
            horizontal(src + offset + srcStep, lower);
            if (offset > last + srcStep) horizontal(src + offset, upper);  // moved by more than one row
            last = offset;
        }
        vertical(dst, rowWeights[i], upper, lower);
    }
}

// Entries 12-14: three or four processed channels (`layout`) of pixels
// `channels` elements apart. The intermediate rows hold 3 values per pixel for
// layout 3 and 4 otherwise; when channels differs from layout (four-element
// pixels, three processed) the vertical pass leaves element 3 alone.
template <typename T, typename Build>
void resizeLinearMultiCh(const void* src, void* dst, int32_t srcStep, int32_t dstStep, int32_t dstWidth,
                         int32_t dstHeight, const int64_t* rowOffsets, const int64_t* colIndexes,
                         const void* rowWeights, const void* colWeights, void* rowBuf0, void* rowBuf1,
                         int32_t channels, int32_t layout) {
    using Of = LinearPassesOf<T, Build>;
    using Passes = typename Of::Passes;
    using Intermediate = typename Of::Intermediate;
    using RowWeight = typename Of::RowWeight;
    const auto* columnWeights = static_cast<const typename Of::ColWeight*>(colWeights);
    const bool threeValues = layout == 3;
    const bool contiguous = channels == layout;
    const int32_t rowValues = dstWidth * (threeValues ? 3 : 4);

    runLinearRows(
        static_cast<const T*>(src), static_cast<T*>(dst), srcStep, dstStep, dstHeight, rowOffsets,
        static_cast<const RowWeight*>(rowWeights), static_cast<Intermediate*>(rowBuf0),
        static_cast<Intermediate*>(rowBuf1),
        [&](const T* row, Intermediate* out) {
            if (threeValues) {
                Passes::horizontal3Ch(row, dstWidth, channels, colIndexes, columnWeights, out);
            } else {
                Passes::horizontal4Ch(row, dstWidth, colIndexes, columnWeights, out);
            }
        },
        [&](T* out, RowWeight weight, const Intermediate* upper, const Intermediate* lower) {
            if (contiguous) {
                Passes::vertical(out, rowValues, weight, upper, lower);
            } else {
                Passes::verticalSkipAlpha(out, dstWidth, weight, upper, lower);
            }
        });
}

// Entries 15-17: one channel, or one plane of a planar image. `channels` and
// `layout` are ignored.
template <typename T, typename Build>
void resizeLinear1Ch(const void* src, void* dst, int32_t srcStep, int32_t dstStep, int32_t dstWidth,
                     int32_t dstHeight, const int64_t* rowOffsets, const int64_t* colIndexes,
                     const void* rowWeights, const void* colWeights, void* rowBuf0, void* rowBuf1, int32_t, int32_t) {
    using Of = LinearPassesOf<T, Build>;
    using Passes = typename Of::Passes;
    using Intermediate = typename Of::Intermediate;
    using RowWeight = typename Of::RowWeight;
    const auto* columnWeights = static_cast<const typename Of::ColWeight*>(colWeights);

    runLinearRows(
        static_cast<const T*>(src), static_cast<T*>(dst), srcStep, dstStep, dstHeight, rowOffsets,
        static_cast<const RowWeight*>(rowWeights), static_cast<Intermediate*>(rowBuf0),
        static_cast<Intermediate*>(rowBuf1),
        [&](const T* row, Intermediate* out) { Passes::horizontal1Ch(row, dstWidth, colIndexes, columnWeights, out); },
        [&](T* out, RowWeight weight, const Intermediate* upper, const Intermediate* lower) {
            Passes::vertical(out, dstWidth, weight, upper, lower);
        });
}

}  // namespace primitives
