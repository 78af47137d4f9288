// The integer linear passes, one value at a time: the reference that the
// SIMD passes match bit for bit.
#include "primitives/resize/LinearPasses.h"

namespace primitives {
namespace {

// Horizontal rounding: 8-bit rows keep six fraction bits (value * 64), so the
// vertical pass needs only one rounding shift.
template <typename T>
struct LinearScale;
template <>
struct LinearScale<uint8_t> {
    static constexpr uint32_t horizontalRound = 128;
    static constexpr int horizontalShift = 8;
    static constexpr uint32_t verticalRound = 524288;
    static constexpr int verticalShift = 20;
};
template <>
struct LinearScale<uint16_t> {
    static constexpr uint32_t horizontalRound = 8192;
    static constexpr int horizontalShift = 14;
    static constexpr uint32_t verticalRound = 8192;
    static constexpr int verticalShift = 14;
};

template <typename T>
uint16_t horizontalValue(T left, T right, LinearWeightPairQ14 w) {
    using S = LinearScale<T>;
    return static_cast<uint16_t>((uint32_t{left} * w.w0 + uint32_t{right} * w.w1 + S::horizontalRound) >>
                                 S::horizontalShift);
}

template <typename T>
T verticalValue(uint16_t upper, uint16_t lower, uint32_t weight) {
    using S = LinearScale<T>;
    return static_cast<T>((uint32_t{upper} * (16384 - weight) + uint32_t{lower} * weight + S::verticalRound) >>
                          S::verticalShift);
}

// `values` processed channels of pixels `stride` elements apart.
template <typename T>
void horizontalRow(const T* row, int32_t width, int32_t stride, int32_t values, const int64_t* colIndexes,
                const LinearWeightPairQ14* colWeights, uint16_t* out) {
    for (int32_t j = 0; j < width; ++j) {
        const T* left = row + colIndexes[j];
        const T* right = left + stride;
        for (int32_t c = 0; c < values; ++c) *out++ = horizontalValue(left[c], right[c], colWeights[j]);
    }
}

template <typename T>
void verticalRow(T* dst, int32_t count, uint16_t weight, const uint16_t* upper, const uint16_t* lower) {
    for (int32_t i = 0; i < count; ++i) dst[i] = verticalValue<T>(upper[i], lower[i], weight);
}

template <typename T>
void verticalRowSkipAlpha(T* dst, int32_t width, uint16_t weight, const uint16_t* upper, const uint16_t* lower) {
    for (int32_t i = 0; i < width; ++i, dst += 4, upper += 3, lower += 3) {
        for (int32_t c = 0; c < 3; ++c) dst[c] = verticalValue<T>(upper[c], lower[c], weight);
    }
}

}  // namespace

void ScalarLinearPasses::horizontal1Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes,
                                       const LinearWeightPairQ14* colWeights, uint16_t* out) {
    horizontalRow(row, width, 1, 1, colIndexes, colWeights, out);
}
void ScalarLinearPasses::horizontal1Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                                       const LinearWeightPairQ14* colWeights, uint16_t* out) {
    horizontalRow(row, width, 1, 1, colIndexes, colWeights, out);
}
void ScalarLinearPasses::horizontal3Ch(const uint8_t* row, int32_t width, int32_t pixelStride,
                                       const int64_t* colIndexes, const LinearWeightPairQ14* colWeights,
                                       uint16_t* out) {
    horizontalRow(row, width, pixelStride, 3, colIndexes, colWeights, out);
}
void ScalarLinearPasses::horizontal3Ch(const uint16_t* row, int32_t width, int32_t pixelStride,
                                       const int64_t* colIndexes, const LinearWeightPairQ14* colWeights,
                                       uint16_t* out) {
    horizontalRow(row, width, pixelStride, 3, colIndexes, colWeights, out);
}
void ScalarLinearPasses::horizontal4Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes,
                                       const LinearWeightPairQ14* colWeights, uint16_t* out) {
    horizontalRow(row, width, 4, 4, colIndexes, colWeights, out);
}
void ScalarLinearPasses::horizontal4Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                                       const LinearWeightPairQ14* colWeights, uint16_t* out) {
    horizontalRow(row, width, 4, 4, colIndexes, colWeights, out);
}
void ScalarLinearPasses::vertical(uint8_t* dst, int32_t count, uint16_t weight, const uint16_t* upper,
                                  const uint16_t* lower) {
    verticalRow(dst, count, weight, upper, lower);
}
void ScalarLinearPasses::vertical(uint16_t* dst, int32_t count, uint16_t weight, const uint16_t* upper,
                                  const uint16_t* lower) {
    verticalRow(dst, count, weight, upper, lower);
}
void ScalarLinearPasses::verticalSkipAlpha(uint8_t* dst, int32_t width, uint16_t weight, const uint16_t* upper,
                                           const uint16_t* lower) {
    verticalRowSkipAlpha(dst, width, weight, upper, lower);
}
void ScalarLinearPasses::verticalSkipAlpha(uint16_t* dst, int32_t width, uint16_t weight, const uint16_t* upper,
                                           const uint16_t* lower) {
    verticalRowSkipAlpha(dst, width, weight, upper, lower);
}

}  // namespace primitives
