#include "primitives/resize/LanczosPasses.h"

#include <emmintrin.h>

#include <cstring>
#include <type_traits>

#include "primitives/resize/PixelLoads.h"

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

// The passes of the single-precision (SIMD) builds run four lanes at a
// time: the channels of a pixel, or consecutive values of a row, each lane
// with the operations of the one-value code in the same order. The generic
// build's double-precision passes take one value at a time.
template <typename Acc>
constexpr bool kFourLanes = std::is_same_v<Acc, float>;

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
        if constexpr (kFourLanes<Acc>) {
            if (values > 1) {
                // The channels in the lanes.
                const auto load = [&](int32_t k) { return values == 4 ? loadFour(row + tap[k]) : loadThree(row + tap[k]); };
                __m128 sum = _mm_mul_ps(load(0), _mm_set1_ps(weights[0]));
                for (int32_t k = 1; k < 6; ++k) sum = _mm_add_ps(sum, _mm_mul_ps(load(k), _mm_set1_ps(weights[k])));
                float lanes[4];
                _mm_storeu_ps(lanes, sum);
                std::memcpy(out, lanes, values * sizeof(float));
                out += values;
                continue;
            }
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

// Integer results of `count` consecutive values from element `first`:
// sum + 1e-7 in double, truncated, clamped to 0 ... max. Double sums take two
// lanes, single-precision sums four.
template <typename Acc>
void integerRun(const float* const rows[6], int64_t first, int32_t count, const float* weights, int32_t max,
                int32_t* out) {
    const __m128d bias = _mm_set1_pd(1e-7);
    int32_t j = 0;
    if constexpr (std::is_same_v<Acc, double>) {
        for (; j + 2 <= count; j += 2) {
            const auto term = [&](int k) {
                uint64_t pair;
                std::memcpy(&pair, rows[k] + first + j, sizeof pair);
                const __m128 two = _mm_castsi128_ps(_mm_cvtsi64_si128(static_cast<long long>(pair)));
                return _mm_mul_pd(_mm_cvtps_pd(two), _mm_set1_pd(weights[k]));
            };
            __m128d sum = term(0);
            for (int k = 1; k < 6; ++k) sum = _mm_add_pd(sum, term(k));
            const __m128i n = _mm_cvttpd_epi32(_mm_add_pd(sum, bias));
            out[j] = _mm_cvtsi128_si32(n);
            out[j + 1] = _mm_cvtsi128_si32(_mm_srli_si128(n, 4));
        }
    } else {
        for (; j + 4 <= count; j += 4) {
            __m128 sum = _mm_mul_ps(_mm_loadu_ps(rows[0] + first + j), _mm_set1_ps(weights[0]));
            for (int k = 1; k < 6; ++k) {
                sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(rows[k] + first + j), _mm_set1_ps(weights[k])));
            }
            const __m128i low = _mm_cvttpd_epi32(_mm_add_pd(_mm_cvtps_pd(sum), bias));
            const __m128i high = _mm_cvttpd_epi32(_mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(sum, sum)), bias));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_unpacklo_epi64(low, high));
        }
    }
    for (; j < count; ++j) {
        out[j] = static_cast<int32_t>(static_cast<double>(verticalSum<Acc>(rows, first + j, weights)) + 1e-7);
    }
    for (j = 0; j < count; ++j) out[j] = out[j] <= 0 ? 0 : out[j] >= max ? max : out[j];
}

// Float results of `count` consecutive values, single-precision sums four
// lanes at a time.
void singleRun(const float* const rows[6], int64_t first, int32_t count, const float* weights, float* out) {
    int32_t j = 0;
    for (; j + 4 <= count; j += 4) {
        __m128 sum = _mm_mul_ps(_mm_loadu_ps(rows[0] + first + j), _mm_set1_ps(weights[0]));
        for (int k = 1; k < 6; ++k) {
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(rows[k] + first + j), _mm_set1_ps(weights[k])));
        }
        _mm_storeu_ps(out + j, sum);
    }
    for (; j < count; ++j) out[j] = verticalSum<float>(rows, first + j, weights);
}

// A vertical pass over `count` consecutive values from element `first`, in
// runs of at most 64, each handed to place(j, results) as integers or floats.
template <typename T, typename IntegerAcc, typename FloatAcc, typename Place>
void verticalRuns(const float* const rows[6], int64_t first, int64_t count, const float* weights, Place place) {
    constexpr int32_t kRun = 64;
    for (int64_t done = 0; done < count; done += kRun) {
        const auto n = static_cast<int32_t>(count - done < kRun ? count - done : kRun);
        if constexpr (sizeof(T) == 4) {
            float results[kRun];
            singleRun(rows, first + done, n, weights, results);
            place(done, n, results);
        } else {
            int32_t results[kRun];
            integerRun<IntegerAcc>(rows, first + done, n, weights, sizeof(T) == 1 ? 255 : 65535, results);
            place(done, n, results);
        }
    }
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

template <typename T, typename H, typename I, typename F>
void verticalPass(T* dst, int32_t count, const float* weights, const float* const rows[6]) {
    if constexpr (kFourLanes<H>) {
        verticalRuns<T, I, F>(rows, 0, count, weights, [dst](int64_t j, int32_t n, const auto* results) {
            for (int32_t e = 0; e < n; ++e) store(dst + j + e, static_cast<T>(results[e]));
        });
    } else {
        for (int32_t j = 0; j < count; ++j) store(dst + j, verticalValue<T, I, F>(rows, j, weights));
    }
}

// Value c of pixel i of the packed rows (index 3i + c) goes to element
// 4i + c; element 4i + 3 is neither read nor written.
template <typename T, typename H, typename I, typename F>
void verticalSkipAlphaPass(T* dst, int32_t width, const float* weights, const float* const rows[6]) {
    if constexpr (kFourLanes<H>) {
        verticalRuns<T, I, F>(rows, 0, 3 * int64_t{width}, weights, [dst](int64_t j, int32_t n, const auto* results) {
            T* pixel = dst + 4 * (j / 3);
            int64_t channel = j % 3;
            for (int32_t e = 0; e < n; ++e) {
                store(pixel + channel, static_cast<T>(results[e]));
                if (++channel == 3) channel = 0, pixel += 4;
            }
        });
    } else {
        for (int32_t i = 0; i < width; ++i, dst += 4) {
            for (int32_t c = 0; c < 3; ++c) store(dst + c, verticalValue<T, I, F>(rows, 3 * i + c, weights));
        }
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
        verticalPass<T, H, I, F>(dst, count, tapWeights, rows);                                                \
    }                                                                                                          \
    template <typename H, typename I, typename F>                                                              \
    void LanczosPasses<H, I, F>::verticalSkipAlpha(T* dst, int32_t width, const float* tapWeights,             \
                                                   const float* const rows[6]) {                               \
        verticalSkipAlphaPass<T, H, I, F>(dst, width, tapWeights, rows);                                       \
    }

VELKARN_LANCZOS_PASSES(uint8_t)
VELKARN_LANCZOS_PASSES(uint16_t)
VELKARN_LANCZOS_PASSES(float)
#undef VELKARN_LANCZOS_PASSES

template struct LanczosPasses<double, double, double>;
template struct LanczosPasses<float, float, float>;
template struct LanczosPasses<float, double, float>;

}  // namespace primitives
