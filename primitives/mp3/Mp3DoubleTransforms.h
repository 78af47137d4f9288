// The transform kernels of the SSE2 and SSE3-class builds: 32-bit values
// converted to double precision, multiplied and summed there in pairs, and
// converted back with rounding to nearest (cvtpd2dq, which gives 0x80000000
// for a value outside the 32-bit range instead of undefined behaviour).
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "primitives/mp3/Mp3SignalTables.h"
#include "primitives/mp3/Mp3TransformLayout.h"

namespace primitives::mp3 {

namespace doublekernels {

inline double horizontalSum(__m128d v) { return _mm_cvtsd_f64(_mm_add_sd(v, _mm_unpackhi_pd(v, v))); }

// Sum of a[i] b[i] over an even count.
inline double dot(const double* a, const double* b, int32_t count) {
    __m128d sum = _mm_setzero_pd();
    for (int32_t i = 0; i < count; i += 2) sum = _mm_add_pd(sum, _mm_mul_pd(_mm_loadu_pd(a + i), _mm_loadu_pd(b + i)));
    return horizontalSum(sum);
}

// Rounds an even count of doubles to 32-bit integers.
inline void roundToInt32(const double* values, int32_t* out, int32_t count) {
    for (int32_t i = 0; i < count; i += 2) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_cvtpd_epi32(_mm_loadu_pd(values + i)));
    }
}

struct AliasFactors {
    double cs[8];
    double ca[8];
    constexpr AliasFactors() : cs{}, ca{} {
        for (int32_t i = 0; i < 8; ++i) {
            cs[i] = kAliasCs[i] / 2147483648.0;
            ca[i] = kAliasCa[i] / 2147483648.0;
        }
    }
};
inline constexpr AliasFactors kAliasFactors{};

}  // namespace doublekernels

struct DoubleImdct {
    static void aliasReduce(int32_t* x, int32_t boundaries) {
        using namespace doublekernels;
        for (int32_t b = 1; b < boundaries; ++b) {
            for (int32_t i = 0; i < 8; i += 2) {
                int32_t* lo = x + 18 * b - 1 - i;  // lo[0] pairs with up[0], lo[-1] with up[1]
                int32_t* up = x + 18 * b + i;
                const __m128d l = _mm_set_pd(lo[-1], lo[0]);
                const __m128d u = _mm_set_pd(up[1], up[0]);
                const __m128d cs = _mm_loadu_pd(kAliasFactors.cs + i);
                const __m128d ca = _mm_loadu_pd(kAliasFactors.ca + i);
                const __m128i newLo = _mm_cvtpd_epi32(_mm_sub_pd(_mm_mul_pd(l, cs), _mm_mul_pd(u, ca)));
                const __m128i newUp = _mm_cvtpd_epi32(_mm_add_pd(_mm_mul_pd(u, cs), _mm_mul_pd(l, ca)));
                lo[0] = _mm_cvtsi128_si32(newLo);
                lo[-1] = _mm_cvtsi128_si32(_mm_shuffle_epi32(newLo, 1));
                up[0] = _mm_cvtsi128_si32(newUp);
                up[1] = _mm_cvtsi128_si32(_mm_shuffle_epi32(newUp, 1));
            }
        }
    }

    static void longTransform(const int32_t* lines, int32_t* y, int32_t windowRow) {
        using namespace doublekernels;
        alignas(16) double x[18];
        for (int32_t k = 0; k < 18; ++k) x[k] = lines[k] * kImdctPrescale[k];
        alignas(16) double sums[10];
        alignas(16) double differences[10];
        for (int32_t k = 0; k < 9; ++k) {
            sums[k] = x[k] + x[17 - k];
            differences[k] = x[k] - x[17 - k];
        }
        sums[9] = differences[9] = 0;  // pads the 9-term rows to whole pairs
        double c[18];
        double previous = 0;
        for (int32_t m = 0; m < 9; ++m) {
            const double even = dot9(sums, kImdctEven + 9 * m);
            const double odd = dot9(differences, kImdctOdd + 9 * m);
            previous = m == 0 ? even : 2 * even - previous;
            c[2 * m] = previous;
            previous = 2 * odd - previous;
            c[2 * m + 1] = previous;
        }
        const double* window = kLongWindowQuarter + 36 * windowRow;
        alignas(16) double out[36];
        for (int32_t i = 0; i < 36; i += 2) {
            const __m128d values = _mm_set_pd(c[longImdctSource(i + 1).index], c[longImdctSource(i).index]);
            _mm_store_pd(out + i, _mm_mul_pd(values, _mm_loadu_pd(window + i)));
        }
        roundToInt32(out, y, 36);
    }

    // a . b over nine terms (a padded with a zero tenth).
    static double dot9(const double* a, const double* b) {
        __m128d sum = _mm_setzero_pd();
        for (int32_t i = 0; i < 8; i += 2) sum = _mm_add_pd(sum, _mm_mul_pd(_mm_load_pd(a + i), _mm_loadu_pd(b + i)));
        return doublekernels::horizontalSum(sum) + a[8] * b[8];
    }

    static void shortTransform(const int32_t* lines, int32_t* y) {
        using namespace doublekernels;
        alignas(16) double out[36] = {};
        for (int32_t w = 0; w < 3; ++w) {
            alignas(16) double z[6];
            for (int32_t k = 0; k < 6; ++k) z[k] = lines[6 * w + k];
            double* target = out + 6 + 6 * w;
            for (int32_t i = 0; i < 12; ++i) target[i] += dot(z, kShortImdct + 6 * i, 6) * kShortWindowQuarter[i];
        }
        roundToInt32(out, y, 36);
    }
};

// The matrixing of the SSE2 and SSE3-class builds: the same even/odd split
// as the integer builds, in double precision, rounded once at the end.
struct DoubleSynthesis {
    template <int32_t N>
    static void dct(const double* s, double* x) {
        if constexpr (N == 1) {
            x[0] = s[0];
        } else {
            alignas(16) double even[N / 2];
            alignas(16) double odd[N / 2];
            for (int32_t k = 0; k < N / 2; ++k) {
                even[k] = s[k] + s[N - 1 - k];
                odd[k] = s[k] - s[N - 1 - k];
            }
            double evenOut[N / 2];
            dct<N / 2>(even, evenOut);
            for (int32_t m = 0; m < N / 2; ++m) {
                x[2 * m] = evenOut[m];
                if constexpr (N == 2) {
                    x[1] = odd[0] * kDctOddRows_2[0];
                } else {
                    x[2 * m + 1] = doublekernels::dot(odd, oddRows<N>() + (N / 2) * m, N / 2);
                }
            }
        }
    }

    template <int32_t N>
    static const double* oddRows() {
        if constexpr (N == 32) return kDctOddRows_32;
        if constexpr (N == 16) return kDctOddRows_16;
        if constexpr (N == 8) return kDctOddRows_8;
        if constexpr (N == 4) return kDctOddRows_4;
        if constexpr (N == 2) return kDctOddRows_2;
    }

    static void matrix(const int32_t* samples, int32_t* x) {
        alignas(16) double s[32];
        for (int32_t k = 0; k < 32; ++k) s[k] = samples[k];
        alignas(16) double out[32];
        dct<32>(s, out);
        doublekernels::roundToInt32(out, x, 32);
    }
};

}  // namespace primitives::mp3
