#include "primitives/resize/LanczosPasses.h"

#include <cstring>

namespace primitives {
namespace {

template <typename T>
T load(const T* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void store(T* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// `values` channels of pixels `stride` elements apart. The six tap offsets
// of a column are resolved once: the column's own when all lie in the image,
// else each clamped to the image's first and last columns.
template <typename Acc, typename T>
void horizontalRow(const T* row, int64_t stride, int32_t values, const int64_t* colIndexes, const float* weights,
                   float* out, int32_t dstWidth, int32_t roiX, int32_t srcWidthFromRoi) {
    const int64_t firstColumn = -int64_t{roiX} * stride;
    const int64_t lastColumn = (int64_t{srcWidthFromRoi} - 1) * stride;
    for (int32_t i = 0; i < dstWidth; ++i, weights += 6) {
        const int64_t x = colIndexes[i];
        int64_t tap[6];
        for (int32_t k = 0; k < 6; ++k) tap[k] = x + (k - 2) * stride;
        if (tap[0] < firstColumn || tap[5] > lastColumn) {
            for (int64_t& t : tap) t = t < firstColumn ? firstColumn : t > lastColumn ? lastColumn : t;
        }
        for (int32_t c = 0; c < values; ++c) {
            Acc sum = static_cast<Acc>(load(row + tap[0] + c)) * static_cast<Acc>(weights[0]);
            for (int32_t k = 1; k < 6; ++k) {
                sum = sum + static_cast<Acc>(load(row + tap[k] + c)) * static_cast<Acc>(weights[k]);
            }
            *out++ = static_cast<float>(sum);
        }
    }
}

template <typename Acc>
Acc verticalSum(const float* const rows[6], int64_t j, const float* weights) {
    Acc sum = static_cast<Acc>(rows[0][j]) * static_cast<Acc>(weights[0]);
    for (int32_t k = 1; k < 6; ++k) sum = sum + static_cast<Acc>(rows[k][j]) * static_cast<Acc>(weights[k]);
    return sum;
}

template <typename T, typename IntegerAcc, typename FloatAcc>
T verticalValue(const float* const rows[6], int64_t j, const float* weights) {
    if constexpr (sizeof(T) == 4) {
        return static_cast<float>(verticalSum<FloatAcc>(rows, j, weights));
    } else {
        constexpr int32_t max = sizeof(T) == 1 ? 255 : 65535;
        const auto n =
            static_cast<int32_t>(static_cast<double>(verticalSum<IntegerAcc>(rows, j, weights)) + 1e-7);
        return static_cast<T>(n <= 0 ? 0 : n >= max ? max : n);
    }
}

}  // namespace

#define VELKARN_LANCZOS_PASSES(T)                                                                              \
    template <typename H, typename I, typename F>                                                              \
    void LanczosPasses<H, I, F>::horizontal1Ch(const T* row, const int64_t* colIndexes,                        \
                                               const float* colTapWeights, float* out, int32_t dstWidth,       \
                                               int32_t roiX, int32_t srcWidthFromRoi) {                        \
        horizontalRow<H>(row, 1, 1, colIndexes, colTapWeights, out, dstWidth, roiX, srcWidthFromRoi);          \
    }                                                                                                          \
    template <typename H, typename I, typename F>                                                              \
    void LanczosPasses<H, I, F>::horizontal4Ch(const T* row, const int64_t* colIndexes,                        \
                                               const float* colTapWeights, float* out, int32_t dstWidth,       \
                                               int32_t roiX, int32_t srcWidthFromRoi) {                        \
        horizontalRow<H>(row, 4, 4, colIndexes, colTapWeights, out, dstWidth, roiX, srcWidthFromRoi);          \
    }                                                                                                          \
    template <typename H, typename I, typename F>                                                              \
    void LanczosPasses<H, I, F>::horizontal3Ch(const T* row, int32_t channels, const int64_t* colIndexes,      \
                                               const float* colTapWeights, float* out, int32_t dstWidth,       \
                                               int32_t roiX, int32_t srcWidthFromRoi) {                        \
        horizontalRow<H>(row, channels, 3, colIndexes, colTapWeights, out, dstWidth, roiX, srcWidthFromRoi);   \
    }                                                                                                          \
    template <typename H, typename I, typename F>                                                              \
    void LanczosPasses<H, I, F>::vertical(T* dst, int32_t count, const float* tapWeights,                      \
                                          const float* const rows[6]) {                                        \
        for (int32_t j = 0; j < count; ++j) store(dst + j, verticalValue<T, I, F>(rows, j, tapWeights));       \
    }                                                                                                          \
    template <typename H, typename I, typename F>                                                              \
    void LanczosPasses<H, I, F>::verticalSkipAlpha(T* dst, int32_t width, const float* tapWeights,             \
                                                   const float* const rows[6]) {                               \
        for (int32_t i = 0; i < width; ++i, dst += 4) {                                                        \
            for (int32_t c = 0; c < 3; ++c) store(dst + c, verticalValue<T, I, F>(rows, 3 * i + c, tapWeights)); \
        }                                                                                                      \
    }

VELKARN_LANCZOS_PASSES(uint8_t)
VELKARN_LANCZOS_PASSES(uint16_t)
VELKARN_LANCZOS_PASSES(float)
#undef VELKARN_LANCZOS_PASSES

template struct LanczosPasses<double, double, double>;
template struct LanczosPasses<float, float, float>;
template struct LanczosPasses<float, double, float>;

}  // namespace primitives
