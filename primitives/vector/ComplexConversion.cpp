#include "primitives/vector/ComplexConversion.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace primitives {
namespace {

inline std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// No pointer of these entries needs any alignment, not even that of a
// float: single values move by byte copies, blocks by unaligned loads and
// stores unless the addresses allow aligned ones.
inline float loadFloat(const float* p) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void storeFloat(float* p, float v) { std::memcpy(p, &v, sizeof v); }
inline Complex32f loadComplex(const Complex32f* p) {
    Complex32f v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void storeComplex(Complex32f* p, Complex32f v) { std::memcpy(p, &v, sizeof v); }
inline const float* parts(const Complex32f* p) { return reinterpret_cast<const float*>(p); }
inline float* parts(Complex32f* p) { return reinterpret_cast<float*>(p); }

PrimitiveStatus checkVector(const void* a, const void* b, int32_t len) {
    if (a == nullptr || b == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    return primitiveStatusOk;
}

// ---- Magnitude ----

// Generic build: the square root of the double sum, rounded once to float.
// Every square of a float is exact in double and no sum overflows, so the
// result is within its final rounding.
inline float magnitudeExact(float re, float im) {
    const double r = re, i = im;
    return static_cast<float>(std::sqrt(r * r + i * i));
}

// SIMD builds: one Newton step on the reciprocal-square-root estimate of the
// single-precision sum, ((3 - r*x) * 0.5) * x with x = s*r. A zero sum gives
// +0. The estimate fails on a subnormal sum (it is +inf) and on an infinite
// one; such lanes take the exact result instead of -inf or NaN.
[[gnu::always_inline]] inline __m128 magnitudeLanes(__m128 re, __m128 im) {
    const __m128 s = _mm_add_ps(_mm_mul_ps(re, re), _mm_mul_ps(im, im));
    const __m128 zero = _mm_cmpeq_ps(s, _mm_setzero_ps());
    const __m128 estimated = _mm_or_ps(_mm_and_ps(zero, _mm_set1_ps(3.0f)), _mm_andnot_ps(zero, s));
    const __m128 r = _mm_rsqrt_ps(estimated);
    const __m128 x = _mm_mul_ps(s, r);
    __m128 result = _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(_mm_set1_ps(3.0f), _mm_mul_ps(r, x)), _mm_set1_ps(0.5f)), x);

    const __m128 subnormal = _mm_and_ps(_mm_cmpgt_ps(s, _mm_setzero_ps()), _mm_cmplt_ps(s, _mm_set1_ps(FLT_MIN)));
    const __m128 infinite = _mm_cmpeq_ps(s, _mm_set1_ps(INFINITY));
    if (const int lanes = _mm_movemask_ps(_mm_or_ps(subnormal, infinite)); lanes != 0) {
        alignas(16) float res[4], ims[4], out[4];
        _mm_store_ps(res, re);
        _mm_store_ps(ims, im);
        _mm_store_ps(out, result);
        for (int lane = 0; lane < 4; ++lane) {
            if (lanes & (1 << lane)) out[lane] = magnitudeExact(res[lane], ims[lane]);
        }
        result = _mm_load_ps(out);
    }
    return result;
}

// Four elements (two registers of interleaved parts) to four magnitudes.
[[gnu::always_inline]] inline __m128 magnitudeOf(__m128 c01, __m128 c23) {
    return magnitudeLanes(_mm_shuffle_ps(c01, c23, _MM_SHUFFLE(2, 0, 2, 0)),
                          _mm_shuffle_ps(c01, c23, _MM_SHUFFLE(3, 1, 3, 1)));
}

template <bool Aligned>
[[gnu::always_inline]] inline __m128 loadFloats(const float* p) {
    return Aligned ? _mm_load_ps(p) : _mm_loadu_ps(p);
}

template <bool Aligned>
[[gnu::always_inline]] inline void storeFloats(float* p, __m128 v) {
    if constexpr (Aligned) {
        _mm_store_ps(p, v);
    } else {
        _mm_storeu_ps(p, v);
    }
}

// One element alone, by the same lane arithmetic.
[[gnu::always_inline]] inline float magnitudeSingle(const Complex32f* s) {
    const __m128 c = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s)));
    return _mm_cvtss_f32(magnitudeOf(c, c));
}

// Blocks of eight elements: 64 bytes read, 32 written.
template <bool AlignedLoads, bool AlignedStores, bool Prefetch>
[[gnu::always_inline]] inline void magnitudeBlocks(const Complex32f*& s, float*& d, std::size_t& n) {
    for (; n >= 8; s += 8, d += 8, n -= 8) {
        const float* f = parts(s);
        if constexpr (Prefetch) {
            _mm_prefetch(reinterpret_cast<const char*>(address(f) + 64), _MM_HINT_NTA);
            _mm_prefetch(reinterpret_cast<const char*>(address(f) + 96), _MM_HINT_NTA);
        }
        storeFloats<AlignedStores>(d, magnitudeOf(loadFloats<AlignedLoads>(f), loadFloats<AlignedLoads>(f + 4)));
        storeFloats<AlignedStores>(d + 4,
                                   magnitudeOf(loadFloats<AlignedLoads>(f + 8), loadFloats<AlignedLoads>(f + 12)));
    }
}

// The last 0..7 elements as 4, 2 and 1, reading and writing only them.
[[gnu::always_inline]] inline void magnitudeRemainder(const Complex32f* s, float* d, std::size_t n) {
    if (n >= 4) {
        _mm_storeu_ps(d, magnitudeOf(_mm_loadu_ps(parts(s)), _mm_loadu_ps(parts(s) + 4)));
        s += 4, d += 4, n -= 4;
    }
    if (n >= 2) {
        const __m128 c = _mm_loadu_ps(parts(s));
        _mm_storel_pi(reinterpret_cast<__m64*>(d), magnitudeOf(c, c));
        s += 2, d += 2, n -= 2;
    }
    if (n != 0) storeFloat(d, magnitudeSingle(s));
}

[[gnu::always_inline]] inline void magnitudeKernelSse2Class(const Complex32f* s, float* d, std::size_t n) {
    // Single elements until the stores can be 16-byte aligned (bits 2 and 3
    // of the destination clear).
    for (; n != 0 && (address(d) & 0xC) != 0; ++s, ++d, --n) storeFloat(d, magnitudeSingle(s));
    const bool alignedLoads = (address(s) & 15) == 0;
    const bool alignedStores = (address(d) & 15) == 0;
    if (alignedLoads && alignedStores) {
        magnitudeBlocks<true, true, false>(s, d, n);
    } else if (alignedLoads) {
        magnitudeBlocks<true, false, false>(s, d, n);
    } else if (alignedStores) {
        magnitudeBlocks<false, true, false>(s, d, n);
    } else {
        magnitudeBlocks<false, false, false>(s, d, n);
    }
    magnitudeRemainder(s, d, n);
}

void magnitudeKernel_sse(const Complex32f* s, float* d, std::size_t n) {
    // One element when the source is 8 but not 16-byte aligned.
    if (n != 0 && (address(s) & 8) != 0) {
        storeFloat(d, magnitudeSingle(s));
        ++s, ++d, --n;
    }
    if ((address(s) & 15) != 0) {
        magnitudeBlocks<false, false, true>(s, d, n);
    } else if ((address(d) & 15) == 0) {
        magnitudeBlocks<true, true, true>(s, d, n);
    } else {
        magnitudeBlocks<true, false, true>(s, d, n);
    }
    magnitudeRemainder(s, d, n);
}

void magnitudeKernel_sse2(const Complex32f* s, float* d, std::size_t n) { magnitudeKernelSse2Class(s, d, n); }

__attribute__((target("sse3"))) void magnitudeKernel_sse3(const Complex32f* s, float* d, std::size_t n) {
    magnitudeKernelSse2Class(s, d, n);
}

template <void (*Kernel)(const Complex32f*, float*, std::size_t)>
PrimitiveStatus magnitude(const Complex32f* src, float* dst, int32_t len) {
    const PrimitiveStatus status = checkVector(src, dst, len);
    if (status != primitiveStatusOk) return status;
    Kernel(src, dst, static_cast<std::size_t>(len));
    return primitiveStatusOk;
}

// ---- Phase ----

constexpr float kPiFloat = 3.14159274f;
constexpr float kHalfPiFloat = 1.57079637f;
constexpr float kQuarterPiFloat = 0.785398185f;
constexpr float kThreeQuarterPiFloat = 2.3561945f;
constexpr float kSignBit = -0.0f;

inline bool isSpecialPhase(float x, float y) {
    return x == 0.0f || !std::isfinite(x) || !std::isfinite(y);
}

// The SIMD builds' fixed results for zero, infinite and NaN parts.
float specialPhase(float x, float y) {
    if (std::isnan(x) || std::isnan(y)) return x + y;
    if (x == 0.0f) return y == 0.0f ? 0.0f : std::copysign(kHalfPiFloat, y);
    if (std::isinf(x)) {
        if (std::isinf(y)) return std::copysign(x > 0.0f ? kQuarterPiFloat : kThreeQuarterPiFloat, y);
        return x > 0.0f ? 0.0f : std::copysign(kPiFloat, y);
    }
    return std::copysign(kHalfPiFloat, y);  // finite x, infinite y
}

inline float orSign(float magnitude, float signSource) {
    uint32_t bits, sign;
    std::memcpy(&bits, &magnitude, 4);
    std::memcpy(&sign, &signSource, 4);
    bits |= sign & 0x80000000u;
    std::memcpy(&magnitude, &bits, 4);
    return magnitude;
}

// The SIMD builds' double-precision phase: the len mod 4 tail, and block
// lanes whose single-precision ratio is not finite.
float phaseDouble(float xf, float yf) {
    if (isSpecialPhase(xf, yf)) return specialPhase(xf, yf);
    const double ax = std::fabs(static_cast<double>(xf));
    const double ay = std::fabs(static_cast<double>(yf));
    double t = ay / ax;
    const bool inverted = static_cast<float>(t) > 1.0f;
    if (inverted) t = 1.0 / t;
    const double s = t * t;
    const double numerator =
        ((0.020972123400173 * s + 0.14563069811407553) * s + 0.16929808076717057) * s + 1.1139321843993106e-09;
    const double denominator =
        ((0.025449373192319054 * s + 0.2902606865063184) * s + 0.7416239113090943) * s + 0.5078944990310164;
    double a = t - t * numerator / denominator;
    if (inverted) a = 1.5707963267948966 - a;
    if (xf < 0.0f) a = static_cast<double>(kPiFloat) - a;
    return orSign(static_cast<float>(a), yf);
}

[[gnu::always_inline]] inline __m128 reciprocal(__m128 v) {
    const __m128 e = _mm_rcp_ps(v);
    return _mm_mul_ps(e, _mm_sub_ps(_mm_set1_ps(2.0f), _mm_mul_ps(v, e)));
}

// atan(u) for 0 <= u <= 1: u * P(u^2) / Q(u^2) in single precision.
[[gnu::always_inline]] inline __m128 arctanUnit(__m128 u) {
    const __m128 s = _mm_mul_ps(u, u);
    const __m128 one = _mm_set1_ps(1.0f);
    __m128 p = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(0.00856118929f), s), _mm_set1_ps(0.280504555f));
    p = _mm_add_ps(_mm_mul_ps(p, s), _mm_set1_ps(1.12023401f));
    p = _mm_add_ps(_mm_mul_ps(p, s), one);
    __m128 q = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(0.0490175895f), s), _mm_set1_ps(0.565030992f));
    q = _mm_add_ps(_mm_mul_ps(q, s), _mm_set1_ps(1.45356715f));
    q = _mm_add_ps(_mm_mul_ps(q, s), one);
    return _mm_mul_ps(_mm_mul_ps(u, p), reciprocal(q));
}

[[gnu::always_inline]] inline __m128 select(__m128 mask, __m128 ifSet, __m128 otherwise) {
    return _mm_or_ps(_mm_and_ps(mask, ifSet), _mm_andnot_ps(mask, otherwise));
}

// Lanes whose value is infinite or NaN (given a value without its sign).
[[gnu::always_inline]] inline __m128 nonFinite(__m128 absolute) {
    return _mm_castsi128_ps(_mm_cmpgt_epi32(_mm_castps_si128(absolute), _mm_set1_epi32(0x7F7FFFFF)));
}

// Four phases from four elements; any source alignment.
[[gnu::always_inline]] inline void phaseBlock(const Complex32f* src, float* out) {
    const __m128 c01 = _mm_loadu_ps(parts(src));
    const __m128 c23 = _mm_loadu_ps(parts(src) + 4);
    const __m128 x = _mm_shuffle_ps(c01, c23, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 y = _mm_shuffle_ps(c01, c23, _MM_SHUFFLE(3, 1, 3, 1));
    const __m128 signBit = _mm_set1_ps(kSignBit);
    const __m128 one = _mm_set1_ps(1.0f);

    const __m128 xNegative = _mm_cmplt_ps(x, _mm_setzero_ps());
    const __m128 ySign = _mm_and_ps(y, signBit);
    __m128 ax = _mm_andnot_ps(signBit, x);
    __m128 ay = _mm_andnot_ps(signBit, y);

    // Special lanes compute on harmless stand-ins (a zero ax becomes 1.0;
    // OR-ing 1.0 into an infinity or NaN leaves it one) and are overwritten
    // at the end.
    const __m128 axZero = _mm_cmpeq_ps(ax, _mm_setzero_ps());
    const __m128 axNonFinite = nonFinite(ax);
    const __m128 ayNonFinite = nonFinite(ay);
    const __m128 special = _mm_or_ps(_mm_or_ps(axZero, axNonFinite), ayNonFinite);
    ax = _mm_or_ps(ax, _mm_and_ps(_mm_or_ps(axZero, axNonFinite), one));
    ay = _mm_or_ps(ay, _mm_and_ps(ayNonFinite, one));

    // Ratio by refined reciprocal, unless a real part is so large that its
    // reciprocal would underflow.
    const bool divide = _mm_movemask_ps(_mm_cmplt_ps(ax, _mm_set1_ps(1.0e36f))) != 0xF;
    const __m128 t = divide ? _mm_div_ps(ay, ax) : _mm_mul_ps(ay, reciprocal(ax));

    __m128 a;
    const __m128 above = _mm_cmpgt_ps(t, one);
    if (_mm_movemask_ps(above) == 0) {
        a = arctanUnit(t);
    } else {
        // atan(t) = pi/2 - atan(1/t) for t > 1.
        const __m128 w = reciprocal(select(_mm_cmpeq_ps(t, _mm_setzero_ps()), one, t));
        a = arctanUnit(select(above, w, t));
        a = select(above, _mm_sub_ps(_mm_set1_ps(kHalfPiFloat), a), a);
    }
    a = select(xNegative, _mm_sub_ps(_mm_set1_ps(kPiFloat), a), a);
    _mm_storeu_ps(out, _mm_or_ps(a, ySign));

    // A subnormal real part has an infinite reciprocal estimate and a huge
    // ratio overflows; such lanes take the double formula.
    const __m128 ratioLost = _mm_andnot_ps(special, nonFinite(_mm_andnot_ps(signBit, t)));
    if (const int lanes = _mm_movemask_ps(_mm_or_ps(special, ratioLost)); lanes != 0) {
        for (int lane = 0; lane < 4; ++lane) {
            if (lanes & (1 << lane)) {
                const Complex32f c = loadComplex(src + lane);
                storeFloat(out + lane, phaseDouble(c.re, c.im));
            }
        }
    }
}

[[gnu::always_inline]] inline void complexPhaseKernel(const Complex32f* src, float* phase, std::size_t n) {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) phaseBlock(src + i, phase + i);
    for (; i < n; ++i) {
        const Complex32f c = loadComplex(src + i);
        storeFloat(phase + i, phaseDouble(c.re, c.im));
    }
}

// The phase step of the three SIMD builds: one routine.
[[gnu::always_inline]] inline PrimitiveStatus phaseSimd(const Complex32f* src, float* phase, int32_t len) {
    const PrimitiveStatus status = checkVector(src, phase, len);
    if (status != primitiveStatusOk) return status;
    complexPhaseKernel(src, phase, static_cast<std::size_t>(len));
    return primitiveStatusOk;
}

// ---- Polar to complex ----

// Generic build's sine polynomial on [-pi/2, pi/2], in double.
inline double sinePolynomial(double v) {
    const double v2 = v * v;
    return v + v * v2 *
                   (v2 * (v2 * (v2 * 2.630033909762885e-06 + -0.00019820663968799938) + 0.008333215738643764) +
                    -0.16666665094466732);
}

// Truncation toward zero with the instruction's result for out-of-range and
// NaN inputs (0x80000000), never a C++ conversion of such a value.
inline int32_t truncateToInt32(double v) { return _mm_cvttsd_si32(_mm_set_sd(v)); }

// Generic build, elements in pairs: reduction by the nearest lower multiple
// of pi, then the sine polynomial for both parts.
inline Complex32f polarPolynomial(float magnitude, float phase) {
    constexpr double kPi = 3.141592653589793;
    constexpr double kHalfPi = 1.5707963267948966;
    const double phi = phase;
    const double g = std::signbit(phase) ? -1.0 : 1.0;
    const int32_t k = truncateToInt32(phi * 0.3183098861837907);
    double r = phi - static_cast<double>(k) * kPi;
    double c = 1.0;
    if (std::fabs(r) > kHalfPi) {
        r = g * kPi - r;
        c = -1.0;
    }
    float sinePart = static_cast<float>(sinePolynomial(r));
    float cosinePart = static_cast<float>(sinePolynomial(std::fabs(g * kHalfPi - r)));
    if ((k & 1) != 0) {
        sinePart = -sinePart;
        cosinePart = -cosinePart;
    }
    const double m = magnitude;
    return {static_cast<float>(m * cosinePart * c), static_cast<float>(m * sinePart)};
}

inline Complex32f polarRuntime(float magnitude, float phase) {
    const double m = magnitude, phi = phase;
    return {static_cast<float>(std::cos(phi) * m), static_cast<float>(std::sin(phi) * m)};
}

// SIMD builds: subtract multiples of pi given as five floats, so that each
// product is exact enough in single precision.
[[gnu::always_inline]] inline __m128 reduceByPi(__m128 phi, __m128 multiple) {
    __m128 r = _mm_sub_ps(phi, _mm_mul_ps(multiple, _mm_set1_ps(3.140625f)));
    r = _mm_sub_ps(r, _mm_mul_ps(multiple, _mm_set1_ps(9.67502594e-4f)));
    r = _mm_sub_ps(r, _mm_mul_ps(multiple, _mm_set1_ps(1.50990672e-7f)));
    r = _mm_sub_ps(r, _mm_mul_ps(multiple, _mm_set1_ps(5.1159077e-12f)));
    return _mm_sub_ps(r, _mm_mul_ps(multiple, _mm_set1_ps(1.07806051e-14f)));
}

[[gnu::always_inline]] inline __m128 sineLanes(__m128 v) {
    const __m128 v2 = _mm_mul_ps(v, v);
    const __m128 v3 = _mm_mul_ps(v2, v);
    __m128 p = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(2.6300338e-6f), v2), _mm_set1_ps(-1.98206646e-4f));
    p = _mm_add_ps(_mm_mul_ps(p, v2), _mm_set1_ps(8.33321549e-3f));
    p = _mm_add_ps(_mm_mul_ps(p, v2), _mm_set1_ps(-0.166666657f));
    return _mm_add_ps(v, _mm_mul_ps(v3, p));
}

// Four elements: cosine and sine of the phases times the magnitudes. The
// integer conversions give 0x80000000 for phases out of their range, which
// yields meaningless but defined values.
[[gnu::always_inline]] inline void polarLanes(__m128 m, __m128 phi, __m128& re, __m128& im) {
    const __m128 signBit = _mm_set1_ps(kSignBit);
    const __m128 q = _mm_mul_ps(phi, _mm_set1_ps(0.318309873f));
    const __m128i n = _mm_cvtps_epi32(q);  // nearest, ties to even (default rounding)
    const __m128 truncated = _mm_cvtepi32_ps(_mm_cvttps_epi32(q));
    // Odd multiples of pi/2 nearest below |q|, with the sign of the phase.
    const __m128 h = _mm_or_ps(_mm_add_ps(_mm_andnot_ps(signBit, truncated), _mm_set1_ps(0.5f)),
                               _mm_and_ps(phi, signBit));
    const __m128 r = reduceByPi(phi, _mm_cvtepi32_ps(n));
    const __m128 u = _mm_andnot_ps(signBit, reduceByPi(phi, h));
    const __m128 odd = _mm_castsi128_ps(_mm_slli_epi32(n, 31));
    re = _mm_mul_ps(_mm_xor_ps(sineLanes(u), odd), m);
    im = _mm_mul_ps(_mm_xor_ps(sineLanes(r), odd), m);
}

template <bool Aligned>
[[gnu::always_inline]] inline void polarBlocks(const float* m, const float* phi, Complex32f* dst, std::size_t blocks) {
    for (std::size_t b = 0; b < blocks; ++b, m += 4, phi += 4, dst += 4) {
        __m128 re, im;
        polarLanes(loadFloats<Aligned>(m), loadFloats<Aligned>(phi), re, im);
        storeFloats<Aligned>(parts(dst), _mm_unpacklo_ps(re, im));
        storeFloats<Aligned>(parts(dst) + 4, _mm_unpackhi_ps(re, im));
    }
}

[[gnu::always_inline]] inline void polarToCartKernel(const float* m, const float* phi, Complex32f* dst,
                                                     std::size_t n) {
    const bool aligned = ((address(m) | address(phi) | address(dst)) & 15) == 0;
    if (aligned) {
        polarBlocks<true>(m, phi, dst, n / 4);
    } else {
        polarBlocks<false>(m, phi, dst, n / 4);
    }
    const std::size_t done = n & ~std::size_t{3};
    const std::size_t rest = n - done;
    if (rest == 0) return;
    // 1 to 3 elements: only they are read (the other lanes repeat them) and
    // only their results are stored.
    const float* mr = m + done;
    const float* pr = phi + done;
    const std::size_t last = rest - 1;
    __m128 re, im;
    const std::size_t second = 1 < rest ? 1 : 0, third = 2 < rest ? 2 : last;
    polarLanes(_mm_setr_ps(loadFloat(mr), loadFloat(mr + second), loadFloat(mr + third), loadFloat(mr)),
               _mm_setr_ps(loadFloat(pr), loadFloat(pr + second), loadFloat(pr + third), loadFloat(pr)), re, im);
    Complex32f* d = dst + done;
    const __m128 c01 = _mm_unpacklo_ps(re, im);
    if (rest >= 2) {
        _mm_storeu_ps(parts(d), c01);
        if (rest == 3) _mm_storel_pi(reinterpret_cast<__m64*>(parts(d) + 4), _mm_unpackhi_ps(re, im));
    } else {
        _mm_storel_pi(reinterpret_cast<__m64*>(parts(d)), c01);
    }
}

PrimitiveStatus checkPolar(const float* magnitude, const float* phase, const Complex32f* dst, int32_t len) {
    if (dst == nullptr || magnitude == nullptr || phase == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    return primitiveStatusOk;
}

template <void (*Kernel)(const float*, const float*, Complex32f*, std::size_t)>
PrimitiveStatus polarToCart(const float* magnitude, const float* phase, Complex32f* dst, int32_t len) {
    const PrimitiveStatus status = checkPolar(magnitude, phase, dst, len);
    if (status != primitiveStatusOk) return status;
    Kernel(magnitude, phase, dst, static_cast<std::size_t>(len));
    return primitiveStatusOk;
}

void polarToCartKernel_sse(const float* m, const float* phi, Complex32f* dst, std::size_t n) {
    polarToCartKernel(m, phi, dst, n);
}
void polarToCartKernel_sse2(const float* m, const float* phi, Complex32f* dst, std::size_t n) {
    polarToCartKernel(m, phi, dst, n);
}
__attribute__((target("sse3"))) void polarToCartKernel_sse3(const float* m, const float* phi, Complex32f* dst,
                                                            std::size_t n) {
    polarToCartKernel(m, phi, dst, n);
}

// Magnitude, then phase, each in the caller's build; a failure of one does
// not stop the other.
PrimitiveStatus cartToPolar(PrimitiveStatus magnitudeStatus, PrimitiveStatus phaseStatus) {
    return magnitudeStatus != primitiveStatusOk ? magnitudeStatus : phaseStatus;
}

}  // namespace

PrimitiveStatus complexPhase_generic(const Complex32f* src, float* phase, int32_t len) {
    const PrimitiveStatus status = checkVector(src, phase, len);
    if (status != primitiveStatusOk) return status;
    for (int32_t i = 0; i < len; ++i) {
        const Complex32f c = loadComplex(src + i);
        storeFloat(phase + i, static_cast<float>(std::atan2(static_cast<double>(c.im), static_cast<double>(c.re))));
    }
    return primitiveStatusOk;
}

PrimitiveStatus complexPhase_sse(const Complex32f* src, float* phase, int32_t len) {
    return phaseSimd(src, phase, len);
}

PrimitiveStatus complexPhase_sse2(const Complex32f* src, float* phase, int32_t len) {
    return phaseSimd(src, phase, len);
}

__attribute__((target("sse3"))) PrimitiveStatus complexPhase_sse3(const Complex32f* src, float* phase, int32_t len) {
    return phaseSimd(src, phase, len);
}

namespace generic {

PrimitiveStatus zaviMagnitude_32fc(const Complex32f* src, float* dst, int32_t len) {
    const PrimitiveStatus status = checkVector(src, dst, len);
    if (status != primitiveStatusOk) return status;
    for (int32_t i = 0; i < len; ++i) {
        const Complex32f c = loadComplex(src + i);
        storeFloat(dst + i, magnitudeExact(c.re, c.im));
    }
    return primitiveStatusOk;
}

PrimitiveStatus zaviCartToPolar_32fc(const Complex32f* src, float* magnitude, float* phase, int32_t len) {
    const PrimitiveStatus m = generic::zaviMagnitude_32fc(src, magnitude, len);
    return cartToPolar(m, complexPhase_generic(src, phase, len));
}

PrimitiveStatus zaviPolarToCart_32fc(const float* magnitude, const float* phase, Complex32f* dst, int32_t len) {
    const PrimitiveStatus status = checkPolar(magnitude, phase, dst, len);
    if (status != primitiveStatusOk) return status;
    // Pairs by the polynomial; a single element, and the last of an odd
    // length, by the runtime's cosine and sine.
    const int32_t paired = len == 1 ? 0 : len & ~1;
    for (int32_t i = 0; i < paired; ++i) {
        storeComplex(dst + i, polarPolynomial(loadFloat(magnitude + i), loadFloat(phase + i)));
    }
    for (int32_t i = paired; i < len; ++i) {
        storeComplex(dst + i, polarRuntime(loadFloat(magnitude + i), loadFloat(phase + i)));
    }
    return primitiveStatusOk;
}

}  // namespace generic

namespace sse {

PrimitiveStatus zaviMagnitude_32fc(const Complex32f* src, float* dst, int32_t len) {
    return magnitude<magnitudeKernel_sse>(src, dst, len);
}

PrimitiveStatus zaviCartToPolar_32fc(const Complex32f* src, float* magnitude, float* phase, int32_t len) {
    const PrimitiveStatus m = sse::zaviMagnitude_32fc(src, magnitude, len);
    return cartToPolar(m, complexPhase_sse(src, phase, len));
}

PrimitiveStatus zaviPolarToCart_32fc(const float* magnitude, const float* phase, Complex32f* dst, int32_t len) {
    return polarToCart<polarToCartKernel_sse>(magnitude, phase, dst, len);
}

}  // namespace sse

namespace sse2 {

PrimitiveStatus zaviMagnitude_32fc(const Complex32f* src, float* dst, int32_t len) {
    return magnitude<magnitudeKernel_sse2>(src, dst, len);
}

PrimitiveStatus zaviCartToPolar_32fc(const Complex32f* src, float* magnitude, float* phase, int32_t len) {
    const PrimitiveStatus m = sse2::zaviMagnitude_32fc(src, magnitude, len);
    return cartToPolar(m, complexPhase_sse2(src, phase, len));
}

PrimitiveStatus zaviPolarToCart_32fc(const float* magnitude, const float* phase, Complex32f* dst, int32_t len) {
    return polarToCart<polarToCartKernel_sse2>(magnitude, phase, dst, len);
}

}  // namespace sse2

namespace sse3 {

__attribute__((target("sse3"))) PrimitiveStatus zaviMagnitude_32fc(const Complex32f* src, float* dst, int32_t len) {
    return magnitude<magnitudeKernel_sse3>(src, dst, len);
}

__attribute__((target("sse3"))) PrimitiveStatus zaviCartToPolar_32fc(const Complex32f* src, float* magnitude,
                                                                     float* phase, int32_t len) {
    const PrimitiveStatus m = sse3::zaviMagnitude_32fc(src, magnitude, len);
    return cartToPolar(m, complexPhase_sse3(src, phase, len));
}

__attribute__((target("sse3"))) PrimitiveStatus zaviPolarToCart_32fc(const float* magnitude, const float* phase,
                                                                     Complex32f* dst, int32_t len) {
    return polarToCart<polarToCartKernel_sse3>(magnitude, phase, dst, len);
}

}  // namespace sse3
}  // namespace primitives
