// The cubic passes of the SIMD builds. The group parts run four lanes at a
// time through the Float4 instances of the forms in CubicLaneForms.h; the
// tails run the scalar forms. Source rows and destinations need no
// alignment; all loads and stores of caller memory are unaligned and never
// touch more elements than the pass reads or writes.
#include <emmintrin.h>

#include <cstring>
#include <type_traits>

#include "primitives/resize/CubicLaneForms.h"
#include "primitives/resize/CubicPasses.h"
#include "primitives/resize/PixelLoads.h"

namespace primitives {
namespace {

template <typename T>
float sample(const T* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return static_cast<float>(v);
}

template <typename T>
void storeElement(T* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// ---- Horizontal passes -------------------------------------------------------

// One channel: groups of four columns, each column's four consecutive
// samples loaded as one vector and the four transposed into p0 ... p3.
template <typename T>
void horizontalOneChannel(const T* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                          float* out) {
    const int32_t groups = width - width % 4;
    int32_t j = 0;
    for (; j < groups; j += 4) {
        __m128 p0 = loadFour(row + colIndexes[j] - 1);
        __m128 p1 = loadFour(row + colIndexes[j + 1] - 1);
        __m128 p2 = loadFour(row + colIndexes[j + 2] - 1);
        __m128 p3 = loadFour(row + colIndexes[j + 3] - 1);
        _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
        const Float4 value = cubicGroupHorizontal<Float4>(p0, p1, p2, p3, _mm_loadu_ps(colFractions + j));
        _mm_storeu_ps(out + j, value.v);
    }
    for (; j < width; ++j) {
        const T* at = row + colIndexes[j];
        out[j] = cubicScalarHorizontal(sample(at - 1), sample(at), sample(at + 1), sample(at + 2), colFractions[j]);
    }
}

// Several channels, groups of four pixels: channel by channel, one pixel
// per lane; the last width mod 4 pixels in the scalar form.
template <typename T>
void horizontalGroupsOfFour(const T* row, int32_t width, int64_t stride, int32_t values, const int64_t* colIndexes,
                            const float* colFractions, float* out) {
    const int32_t groups = width - width % 4;
    for (int32_t c = 0; c < values; ++c) {
        for (int32_t j = 0; j < groups; j += 4) {
            const T* at[4];
            for (int lane = 0; lane < 4; ++lane) at[lane] = row + colIndexes[j + lane] + c;
            const auto tap = [&](int64_t offset) {
                return Float4(_mm_setr_ps(sample(at[0] + offset), sample(at[1] + offset), sample(at[2] + offset),
                                          sample(at[3] + offset)));
            };
            const Float4 value = cubicGroupHorizontal<Float4>(tap(-stride), tap(0), tap(stride), tap(2 * stride),
                                                              _mm_loadu_ps(colFractions + j));
            float lanes[4];
            _mm_storeu_ps(lanes, value.v);
            for (int lane = 0; lane < 4; ++lane) out[(j + lane) * values + c] = lanes[lane];
        }
    }
    for (int32_t j = groups; j < width; ++j) {
        for (int32_t c = 0; c < values; ++c) {
            const T* at = row + colIndexes[j] + c;
            out[j * values + c] = cubicScalarHorizontal(sample(at - stride), sample(at), sample(at + stride),
                                                        sample(at + 2 * stride), colFractions[j]);
        }
    }
}

// Several channels, one pixel per step with its channels in the lanes. Three
// channels load three elements per sample and store three floats per pixel.
template <typename T>
void horizontalPixelPerStep(const T* row, int32_t width, int64_t stride, int32_t values, const int64_t* colIndexes,
                            const float* colFractions, float* out) {
    for (int32_t j = 0; j < width; ++j) {
        const T* at = row + colIndexes[j];
        const auto load = [values](const T* p) { return values == 4 ? loadFour(p) : loadThree(p); };
        const Float4 value = cubicPixelPerStepHorizontal<Float4>(load(at - stride), load(at), load(at + stride),
                                                                 load(at + 2 * stride), Float4(colFractions[j]));
        float lanes[4];
        _mm_storeu_ps(lanes, value.v);
        std::memcpy(out + j * values, lanes, values * sizeof(float));
    }
}

template <typename Grouping, typename T>
void horizontalMultiChannel(const T* row, int32_t width, int64_t stride, int32_t values, const int64_t* colIndexes,
                            const float* colFractions, float* out) {
    if constexpr (std::is_same_v<Grouping, PixelPerStep>) {
        horizontalPixelPerStep(row, width, stride, values, colIndexes, colFractions, out);
    } else {
        horizontalGroupsOfFour(row, width, stride, values, colIndexes, colFractions, out);
    }
}

// ---- Vertical passes ---------------------------------------------------------

// The group values of a vertical pass, four at a time.
struct GroupVertical {
    CubicGroupRow<Float4> a;
    const float* r0;
    const float* r1;
    const float* r2;
    const float* r3;

    Float4 at(int32_t i) const {
        return cubicGroupVertical<Float4>(_mm_loadu_ps(r0 + i), _mm_loadu_ps(r1 + i), _mm_loadu_ps(r2 + i),
                                          _mm_loadu_ps(r3 + i), a);
    }
};

// Four group values as integers, rounded as cubicGroupToInteger does, then
// clamped to the element's range.
template <int32_t Max>
void groupIntegers(Float4 value, int32_t out[4]) {
    const __m128i n = _mm_cvtps_epi32((value + Float4(kCubicGroupBias)).v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), n);
    for (int lane = 0; lane < 4; ++lane) out[lane] = clampToRange<Max>(out[lane]);
}

template <typename T>
constexpr int32_t kElementMax = sizeof(T) == 1 ? 255 : 65535;

template <typename T>
T tailElement(float value) {
    if constexpr (sizeof(T) == 4) {
        return value;
    } else {
        return static_cast<T>(clampToRange<kElementMax<T>>(cubicTailToInteger(value)));
    }
}

template <typename T>
void verticalRun(T* dst, int32_t count, float t, const float* r0, const float* r1, const float* r2, const float* r3) {
    const int32_t groups = count - count % 4;
    const GroupVertical group{cubicGroupVerticalRow<Float4>(t), r0, r1, r2, r3};
    int32_t i = 0;
    for (; i < groups; i += 4) {
        const Float4 value = group.at(i);
        if constexpr (sizeof(T) == 4) {
            float lanes[4];
            _mm_storeu_ps(lanes, value.v);  // floats take no bias
            std::memcpy(dst + i, lanes, sizeof lanes);
        } else if constexpr (sizeof(T) == 1) {
            // Signed then unsigned saturation: the clamp to 0 ... 255.
            const __m128i n = _mm_cvtps_epi32((value + Float4(kCubicGroupBias)).v);
            const __m128i words = _mm_packs_epi32(n, n);
            const auto bytes = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
            std::memcpy(dst + i, &bytes, 4);
        } else {
            int32_t n[4];
            groupIntegers<65535>(value, n);
            for (int lane = 0; lane < 4; ++lane) storeElement(dst + i + lane, static_cast<T>(n[lane]));
        }
    }
    const CubicScalarRow a = cubicScalarRow(t);
    for (; i < count; ++i) storeElement(dst + i, tailElement<T>(cubicScalarVertical(r0[i], r1[i], r2[i], r3[i], a)));
}

// Value i of the packed three-value rows goes to element
// 4 (i div 3) + (i mod 3); element 3 of every pixel is never touched.
template <typename T>
void verticalSkipAlphaRun(T* dst, int32_t width, float t, const float* r0, const float* r1, const float* r2,
                          const float* r3) {
    const int32_t count = 3 * width;
    const auto element = [dst](int32_t i) { return dst + 4 * (i / 3) + i % 3; };
    const CubicScalarRow a = cubicScalarRow(t);
    if constexpr (sizeof(T) == 4) {
        for (int32_t i = 0; i < count; ++i) storeElement(element(i), cubicSkipAlphaVertical(r0[i], r1[i], r2[i], r3[i], a));
    } else {
        const int32_t groups = count - count % 4;
        const GroupVertical group{cubicGroupVerticalRow<Float4>(t), r0, r1, r2, r3};
        int32_t i = 0;
        T* pixel = dst;
        int32_t channel = 0;
        for (; i < groups; i += 4) {
            int32_t n[4];
            groupIntegers<kElementMax<T>>(group.at(i), n);
            for (int lane = 0; lane < 4; ++lane) {
                storeElement(pixel + channel, static_cast<T>(n[lane]));
                if (++channel == 3) channel = 0, pixel += 4;
            }
        }
        for (; i < count; ++i) {
            storeElement(element(i), tailElement<T>(cubicScalarVertical(r0[i], r1[i], r2[i], r3[i], a)));
        }
    }
}

}  // namespace

#define VELKARN_CUBIC_SINGLE_PASSES(T)                                                                            \
    template <typename Grouping>                                                                                  \
    void CubicSingle<Grouping>::horizontal1Ch(const T* row, int32_t width, const int64_t* colIndexes,             \
                                              const float* colFractions, float* out) {                            \
        horizontalOneChannel(row, width, colIndexes, colFractions, out);                                          \
    }                                                                                                             \
    template <typename Grouping>                                                                                  \
    void CubicSingle<Grouping>::horizontal3Ch(const T* row, int32_t width, int32_t pixelStride,                   \
                                              const int64_t* colIndexes, const float* colFractions, float* out) { \
        horizontalMultiChannel<Grouping>(row, width, pixelStride, 3, colIndexes, colFractions, out);              \
    }                                                                                                             \
    template <typename Grouping>                                                                                  \
    void CubicSingle<Grouping>::horizontal4Ch(const T* row, int32_t width, const int64_t* colIndexes,             \
                                              const float* colFractions, float* out) {                            \
        horizontalMultiChannel<Grouping>(row, width, 4, 4, colIndexes, colFractions, out);                        \
    }                                                                                                             \
    template <typename Grouping>                                                                                  \
    void CubicSingle<Grouping>::vertical(T* dst, int32_t count, float t, const float* r0, const float* r1,        \
                                         const float* r2, const float* r3) {                                      \
        verticalRun(dst, count, t, r0, r1, r2, r3);                                                               \
    }                                                                                                             \
    template <typename Grouping>                                                                                  \
    void CubicSingle<Grouping>::verticalSkipAlpha(T* dst, int32_t width, float t, const float* r0,                \
                                                  const float* r1, const float* r2, const float* r3) {            \
        verticalSkipAlphaRun(dst, width, t, r0, r1, r2, r3);                                                      \
    }

VELKARN_CUBIC_SINGLE_PASSES(uint8_t)
VELKARN_CUBIC_SINGLE_PASSES(uint16_t)
VELKARN_CUBIC_SINGLE_PASSES(float)
#undef VELKARN_CUBIC_SINGLE_PASSES

template struct CubicSingle<GroupsOfFourPixels>;
template struct CubicSingle<PixelPerStep>;

}  // namespace primitives
