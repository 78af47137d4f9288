// The float linear passes: double precision for the generic build, single
// precision for the SSE-class builds.
#include <xmmintrin.h>

#include "primitives/resize/LinearPasses.h"

namespace primitives {
namespace {

// `values` processed channels of pixels `stride` elements apart; `value`
// interpolates one channel.
template <typename Value>
void horizontalRow(const float* row, int32_t width, int32_t stride, int32_t values, const int64_t* colIndexes,
                   const float* colFractions, float* out, Value value) {
    for (int32_t j = 0; j < width; ++j) {
        const float* left = row + colIndexes[j];
        const float* right = left + stride;
        for (int32_t c = 0; c < values; ++c) *out++ = value(left[c], right[c], colFractions[j]);
    }
}

float doubleHorizontal(float s0, float s1, float f) {
    const double left = s0;
    return static_cast<float>(left + (static_cast<double>(s1) - left) * f);
}

float doubleVertical(float upper, float lower, float weight) {
    const double w = weight;
    return static_cast<float>(w * lower + (1.0 - w) * upper);
}

float singleHorizontal(float s0, float s1, float f) { return s0 + (s1 - s0) * f; }

}  // namespace

void DoubleLinearPasses::horizontal1Ch(const float* row, int32_t width, const int64_t* colIndexes,
                                       const float* colFractions, float* out) {
    horizontalRow(row, width, 1, 1, colIndexes, colFractions, out, doubleHorizontal);
}
void DoubleLinearPasses::horizontal3Ch(const float* row, int32_t width, int32_t pixelStride,
                                       const int64_t* colIndexes, const float* colFractions, float* out) {
    horizontalRow(row, width, pixelStride, 3, colIndexes, colFractions, out, doubleHorizontal);
}
void DoubleLinearPasses::horizontal4Ch(const float* row, int32_t width, const int64_t* colIndexes,
                                       const float* colFractions, float* out) {
    horizontalRow(row, width, 4, 4, colIndexes, colFractions, out, doubleHorizontal);
}
void DoubleLinearPasses::vertical(float* dst, int32_t count, float weight, const float* upper, const float* lower) {
    for (int32_t i = 0; i < count; ++i) dst[i] = doubleVertical(upper[i], lower[i], weight);
}
void DoubleLinearPasses::verticalSkipAlpha(float* dst, int32_t width, float weight, const float* upper,
                                           const float* lower) {
    for (int32_t i = 0; i < width; ++i, dst += 4, upper += 3, lower += 3) {
        for (int32_t c = 0; c < 3; ++c) dst[c] = doubleVertical(upper[c], lower[c], weight);
    }
}

void SingleLinearPasses::horizontal1Ch(const float* row, int32_t width, const int64_t* colIndexes,
                                       const float* colFractions, float* out) {
    int32_t j = 0;
    for (; j + 4 <= width; j += 4) {
        const int64_t* x = colIndexes + j;
        const __m128 s0 = _mm_setr_ps(row[x[0]], row[x[1]], row[x[2]], row[x[3]]);
        const __m128 s1 = _mm_setr_ps(row[x[0] + 1], row[x[1] + 1], row[x[2] + 1], row[x[3] + 1]);
        const __m128 f = _mm_loadu_ps(colFractions + j);
        _mm_storeu_ps(out + j, _mm_add_ps(s0, _mm_mul_ps(_mm_sub_ps(s1, s0), f)));
    }
    horizontalRow(row, width - j, 1, 1, colIndexes + j, colFractions + j, out + j, singleHorizontal);
}
void SingleLinearPasses::horizontal3Ch(const float* row, int32_t width, int32_t pixelStride,
                                       const int64_t* colIndexes, const float* colFractions, float* out) {
    horizontalRow(row, width, pixelStride, 3, colIndexes, colFractions, out, singleHorizontal);
}
void SingleLinearPasses::horizontal4Ch(const float* row, int32_t width, const int64_t* colIndexes,
                                       const float* colFractions, float* out) {
    horizontalRow(row, width, 4, 4, colIndexes, colFractions, out, singleHorizontal);
}
void SingleLinearPasses::vertical(float* dst, int32_t count, float weight, const float* upper, const float* lower) {
    const float rest = 1.0f - weight;
    const __m128 w = _mm_set1_ps(weight);
    const __m128 r = _mm_set1_ps(rest);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128 u = _mm_loadu_ps(upper + i);
        const __m128 l = _mm_loadu_ps(lower + i);
        _mm_storeu_ps(dst + i, _mm_add_ps(_mm_mul_ps(u, r), _mm_mul_ps(l, w)));
    }
    for (; i < count; ++i) dst[i] = upper[i] * rest + lower[i] * weight;
}
void SingleLinearPasses::verticalSkipAlpha(float* dst, int32_t width, float weight, const float* upper,
                                           const float* lower) {
    const float rest = 1.0f - weight;
    for (int32_t i = 0; i < width; ++i, dst += 4, upper += 3, lower += 3) {
        for (int32_t c = 0; c < 3; ++c) dst[c] = upper[c] * rest + lower[c] * weight;
    }
}

}  // namespace primitives
