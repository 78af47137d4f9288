// The cubic through four samples p0, p1, p2, p3 at -1, 0, 1 and 2, evaluated
// at t, in Newton forward-difference form:
//   d1 = p1 - p0, d2 = p2 - 2 p1 + p0, d3 = p3 - 3 p2 + 3 p1 - p0
//   a1 = t + 1, a2 = t (t + 1) / 2, a3 = a2 (t - 1) / 3
//   value = p0 + a1 d1 + a2 d2 + a3 d3
// At t = -1, 0, 1, 2 it returns p0, p1, p2, p3.
//
// Every build evaluates it in a fixed order of rounded operations, and the
// orders differ between code paths, so each path's order is written here
// once. The single-precision forms are templates over the value type: float
// for one value at a time, Float4 for four lanes at once, so that a vector
// kernel performs exactly the operations of its scalar form in every lane.
#pragma once

#include <emmintrin.h>

#include <bit>
#include <cstdint>

namespace primitives {

// The third of the group forms is a multiplication by the float one unit
// below the nearest float to 1/3; the scalar forms divide by 3.
inline constexpr float kCubicGroupThird = 0x1.555554p-2f;
static_assert(std::bit_cast<uint32_t>(kCubicGroupThird) == 0x3EAAAAAAu);

// Added to a group result before it is rounded to an 8-bit or 16-bit value,
// so that a result of exactly n + 0.5 rounds up where the float can show it.
inline constexpr float kCubicGroupBias = 1e-5f;
static_assert(std::bit_cast<uint32_t>(kCubicGroupBias) == 0x3727C5ACu);

// Four single-precision lanes; each operator is one IEEE operation per lane.
struct Float4 {
    __m128 v;
    Float4(__m128 value) : v(value) {}
    explicit Float4(float value) : v(_mm_set1_ps(value)) {}
};
inline Float4 operator+(Float4 a, Float4 b) { return _mm_add_ps(a.v, b.v); }
inline Float4 operator-(Float4 a, Float4 b) { return _mm_sub_ps(a.v, b.v); }
inline Float4 operator*(Float4 a, Float4 b) { return _mm_mul_ps(a.v, b.v); }

// ---- Single precision ------------------------------------------------------

// Group kernels, horizontal: one column per lane, coefficients per column.
template <typename V>
V cubicGroupHorizontal(V p0, V p1, V p2, V p3, V t) {
    const V d1 = p1 - p0;
    const V d2 = (p2 - p1) - d1;
    const V d3 = ((p3 - p2) - p2) + (p1 - d2);
    const V a1 = t + V(1.0f);
    const V a2 = (t * V(0.5f)) * a1;
    const V a3 = (t - V(1.0f)) * (a2 * V(kCubicGroupThird));
    return (p0 + d1 * a1) + (d2 * a2 + d3 * a3);
}

// Coefficients of a vertical group kernel, formed once per destination row.
template <typename V>
struct CubicGroupRow {
    V a1, a2, a3;
};

template <typename V>
CubicGroupRow<V> cubicGroupVerticalRow(float t) {
    const V tv(t);
    const V a1 = tv + V(1.0f);
    const V a2 = (tv * V(0.5f)) * a1;
    const V a3 = ((tv - V(1.0f)) * V(kCubicGroupThird)) * a2;
    return {a1, a2, a3};
}

// Group kernels, vertical: one value per lane.
template <typename V>
V cubicGroupVertical(V p0, V p1, V p2, V p3, const CubicGroupRow<V>& a) {
    const V d1 = p1 - p0;
    const V d2 = (p2 - p1) - d1;
    const V d3 = (p3 - d2) + ((p1 - p2) - p2);
    return (p0 + d1 * a.a1) + (d2 * a.a2 + d3 * a.a3);
}

// Multi-channel horizontal passes of the SSE2-class builds: one pixel per
// step, its channels in the lanes.
template <typename V>
V cubicPixelPerStepHorizontal(V p0, V p1, V p2, V p3, V t) {
    const V d1 = p1 - p0;
    const V d2 = (p2 - p1) - d1;
    const V d3 = ((p3 - p2) - p2) + (p1 - d2);
    const V a1 = t + V(1.0f);
    const V a2 = (t * V(0.5f)) * a1;
    const V a3 = ((t - V(1.0f)) * V(kCubicGroupThird)) * a2;
    return (p0 + a1 * d1) + (a2 * d2 + a3 * d3);
}

// The scalar tails: coefficients with a true division by 3.
struct CubicScalarRow {
    float a1, a2, a3;
};

inline CubicScalarRow cubicScalarRow(float t) {
    const float a1 = 1.0f + t;
    const float a2 = (t * a1) * 0.5f;
    const float a3 = ((t - 1.0f) * a2) / 3.0f;
    return {a1, a2, a3};
}

// Horizontal tail: the last width mod 4 columns of a grouped pass.
inline float cubicScalarHorizontal(float p0, float p1, float p2, float p3, float t) {
    const CubicScalarRow a = cubicScalarRow(t);
    const float d1 = p1 - p0;
    const float d2 = (p2 - p1) - d1;
    const float d3 = ((p1 - (p2 + p2)) + p3) - d2;
    return ((p0 + a.a3 * d3) + a.a2 * d2) + a.a1 * d1;
}

// Vertical tail: the last count mod 4 values of a vertical pass.
inline float cubicScalarVertical(float p0, float p1, float p2, float p3, const CubicScalarRow& a) {
    const float d1 = p1 - p0;
    const float d2 = (p2 - p1) - d1;
    const float d3 = (((p3 - p2) - p2) + p1) - d2;
    return ((p0 + a.a3 * d3) + a.a2 * d2) + a.a1 * d1;
}

// The float vertical pass that skips element 3: every value, no groups.
inline float cubicSkipAlphaVertical(float p0, float p1, float p2, float p3, const CubicScalarRow& a) {
    const float d1 = p1 - p0;
    const float d2 = (p2 - d1) - p1;
    const float d3 = (((p3 - d2) - p2) - p2) + p1;
    return ((a.a3 * d3 + a.a2 * d2) + a.a1 * d1) + p0;
}

// Integer results. A group value gets the bias and is rounded to nearest,
// ties to even (the default rounding mode), as the vector conversion does; a
// tail value is widened to double, lifted by 1e-7 and truncated.
inline int32_t cubicGroupToInteger(float value) { return _mm_cvtss_si32(_mm_set_ss(value + kCubicGroupBias)); }
inline int32_t cubicTailToInteger(float value) { return static_cast<int32_t>(static_cast<double>(value) + 1e-7); }

template <int32_t Max>
int32_t clampToRange(int32_t value) {
    return value < 0 ? 0 : value > Max ? Max : value;
}

// ---- Double precision (the generic build) ---------------------------------

struct CubicDoubleRow {
    double a1, a2, a3;
};

inline CubicDoubleRow cubicDoubleRow(double t) {
    const double a1 = t + 1.0;
    const double a2 = (t * a1) * 0.5;
    const double a3 = (a2 * (t + -1.0)) / 3.0;
    return {a1, a2, a3};
}

inline double cubicDouble(double p0, double p1, double p2, double p3, const CubicDoubleRow& a) {
    const double d1 = p1 - p0;
    const double d2 = (p2 - p1) - d1;
    const double d3 = ((p1 - 2.0 * p2) + p3) - d2;
    return a.a1 * d1 + (a.a2 * d2 + (p0 + a.a3 * d3));
}

// The vertical passes hold a3 in single precision; the float pass that skips
// element 3 holds all three coefficients so.
inline CubicDoubleRow cubicDoubleVerticalRow(double t, bool allSingle) {
    CubicDoubleRow a = cubicDoubleRow(t);
    a.a3 = static_cast<float>(a.a3);
    if (allSingle) {
        a.a1 = static_cast<float>(a.a1);
        a.a2 = static_cast<float>(a.a2);
    }
    return a;
}

}  // namespace primitives
