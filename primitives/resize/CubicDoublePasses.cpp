// The cubic passes of the generic build, in double precision.
#include <cstring>

#include "primitives/resize/CubicLaneForms.h"
#include "primitives/resize/CubicPasses.h"

namespace primitives {
namespace {

template <typename T>
double sample(const T* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return static_cast<double>(v);
}

// `values` channels of pixels `stride` elements apart, packed into `out`.
template <typename T>
void horizontalRow(const T* row, int32_t width, int64_t stride, int32_t values, const int64_t* colIndexes,
                   const float* colFractions, float* out) {
    for (int32_t j = 0; j < width; ++j) {
        const T* at = row + colIndexes[j];
        const CubicDoubleRow a = cubicDoubleRow(colFractions[j]);
        for (int32_t c = 0; c < values; ++c) {
            const double value = cubicDouble(sample(at + c - stride), sample(at + c), sample(at + c + stride),
                                             sample(at + c + 2 * stride), a);
            *out++ = static_cast<float>(value);
        }
    }
}

template <typename T>
T toElement(double value) {
    if constexpr (sizeof(T) == 4) {
        return static_cast<float>(value);
    } else {
        constexpr int32_t max = sizeof(T) == 1 ? 255 : 65535;
        return static_cast<T>(clampToRange<max>(static_cast<int32_t>(value + 1e-7)));
    }
}

template <typename T>
void store(T* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

template <typename T>
void verticalRun(T* dst, int32_t count, float t, const float* r0, const float* r1, const float* r2, const float* r3) {
    const CubicDoubleRow a = cubicDoubleVerticalRow(t, false);
    for (int32_t i = 0; i < count; ++i) store(dst + i, toElement<T>(cubicDouble(r0[i], r1[i], r2[i], r3[i], a)));
}

template <typename T>
void verticalSkipAlphaRun(T* dst, int32_t width, float t, const float* r0, const float* r1, const float* r2,
                          const float* r3) {
    const CubicDoubleRow a = cubicDoubleVerticalRow(t, sizeof(T) == 4);
    for (int32_t i = 0; i < width; ++i, dst += 4) {
        for (int32_t c = 0; c < 3; ++c) {
            const int32_t v = 3 * i + c;
            store(dst + c, toElement<T>(cubicDouble(r0[v], r1[v], r2[v], r3[v], a)));
        }
    }
}

}  // namespace

#define VELKARN_CUBIC_DOUBLE_PASSES(T)                                                                          \
    void CubicDouble::horizontal1Ch(const T* row, int32_t width, const int64_t* colIndexes,                     \
                                    const float* colFractions, float* out) {                                    \
        horizontalRow(row, width, 1, 1, colIndexes, colFractions, out);                                         \
    }                                                                                                           \
    void CubicDouble::horizontal3Ch(const T* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes, \
                                    const float* colFractions, float* out) {                                    \
        horizontalRow(row, width, pixelStride, 3, colIndexes, colFractions, out);                               \
    }                                                                                                           \
    void CubicDouble::horizontal4Ch(const T* row, int32_t width, const int64_t* colIndexes,                     \
                                    const float* colFractions, float* out) {                                    \
        horizontalRow(row, width, 4, 4, colIndexes, colFractions, out);                                         \
    }                                                                                                           \
    void CubicDouble::vertical(T* dst, int32_t count, float t, const float* r0, const float* r1, const float* r2, \
                               const float* r3) {                                                               \
        verticalRun(dst, count, t, r0, r1, r2, r3);                                                             \
    }                                                                                                           \
    void CubicDouble::verticalSkipAlpha(T* dst, int32_t width, float t, const float* r0, const float* r1,       \
                                        const float* r2, const float* r3) {                                     \
        verticalSkipAlphaRun(dst, width, t, r0, r1, r2, r3);                                                    \
    }

VELKARN_CUBIC_DOUBLE_PASSES(uint8_t)
VELKARN_CUBIC_DOUBLE_PASSES(uint16_t)
VELKARN_CUBIC_DOUBLE_PASSES(float)
#undef VELKARN_CUBIC_DOUBLE_PASSES

}  // namespace primitives
