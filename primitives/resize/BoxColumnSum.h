// The case-BothWhole column sums of the super-sampling workers, one template
// for every build, element type, sum type and pixel shape (1 value; slots 0-2
// of pixels pixelStride apart; 4 values).
//
// Integer sums are exact whatever the order, and float sums are single-
// precision adds from the top row down, so every loop order gives the same
// sums. The builds differ only where their results could:
// - Build::columnSumsStore: the SSE2-class kernels write each sum over its
//   entry instead of adding it to what the entry holds;
// - Build::floatColumnTailInDouble: their one-channel float kernel sums the
//   last count mod 16 columns in double precision from 0 and rounds once.
// A running sum starts at +0, so a -0 sample adds up to +0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace primitives {

template <typename T, typename Sum, int Shape, typename Build>
void boxColumnSum(const T* src, int32_t srcStep, int32_t count, int32_t rows, Sum* acc, int32_t pixelStride) {
    static_assert(Shape == 1 || Shape == 3 || Shape == 4);
    if (rows <= 0 || count <= 0) return;
    constexpr bool doubleTail = Build::floatColumnTailInDouble && Shape == 1 && std::is_same_v<T, float>;
    const int64_t stride = Shape == 3 ? pixelStride : Shape;
    const int64_t blockColumns = doubleTail ? count - count % 16 : count;
    const auto rowAt = [&](int32_t r) {
        return reinterpret_cast<const T*>(reinterpret_cast<const std::byte*>(src) + int64_t{r} * srcStep);
    };
    // The source rows and the accumulator never overlap.
    Sum* __restrict sums = acc;

    int32_t r = 0;
    if constexpr (Build::columnSumsStore) {
        const T* __restrict row = rowAt(0);
        for (int64_t j = 0; j < blockColumns; ++j) {
#pragma GCC unroll 4
            for (int s = 0; s < Shape; ++s) sums[j * stride + s] = Sum{0} + static_cast<Sum>(row[j * stride + s]);
        }
        r = 1;
    }
    for (; r < rows; ++r) {
        const T* __restrict row = rowAt(r);
        for (int64_t j = 0; j < blockColumns; ++j) {
#pragma GCC unroll 4
            for (int s = 0; s < Shape; ++s) sums[j * stride + s] += static_cast<Sum>(row[j * stride + s]);
        }
    }
    if constexpr (doubleTail) {
        for (int64_t j = blockColumns; j < count; ++j) {
            double sum = 0.0;
            for (int32_t k = 0; k < rows; ++k) sum += static_cast<double>(rowAt(k)[j]);
            sums[j] = static_cast<float>(sum);
        }
    }
}

}  // namespace primitives
