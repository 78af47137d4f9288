// zaviLn_32f_I in the SSE, SSE2 and SSE3-class builds: x = m * 2^k with m in
// [sqrt(2)/2, sqrt(2)), s = (m - 1) / (m + 1) and
//   ln x = s * ((((c4 z + c3) z + c2) z + c1) z + 2) + k ln2,  z = s * s,
// all in single precision. The vector is processed in chunks of 256
// elements; the arguments the polynomial cannot take (sign bit set, zero,
// infinity, NaN, denormal) get the results of LnSpecialValues.h.
#include <immintrin.h>

#include <bit>
#include <cmath>

#include "primitives/core/BuildSupport.h"
#include "primitives/vector/LnSpecialValues.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

constexpr int64_t kChunk = 256;

inline __m128 ones() { return _mm_set1_ps(1.0f); }

struct Reduced {
    __m128i k;  // exponent, so that x = m * 2^k
    __m128 m;
};

inline Reduced reduce(__m128i c) {
    const __m128i k = _mm_srai_epi32(
        _mm_sub_epi32(_mm_and_si128(c, _mm_set1_epi32(static_cast<int>(0xFF800000u))), _mm_set1_epi32(0x3F000000)),
        23);
    const __m128i mantissa = _mm_and_si128(c, _mm_set1_epi32(0x007FFFFF));
    // Below sqrt(2) the mantissa keeps exponent 0 (m in [1, sqrt 2)) and k
    // drops by one; else m = mantissa / 2 in [sqrt(2)/2, 1).
    const __m128i low = _mm_cmplt_epi32(mantissa, _mm_set1_epi32(0x003504F2));
    const __m128i exponent = _mm_add_epi32(_mm_set1_epi32(0x3F000000), _mm_and_si128(low, _mm_set1_epi32(0x00800000)));
    return {_mm_add_epi32(k, low), _mm_castsi128_ps(_mm_or_si128(mantissa, exponent))};
}

inline __m128 polynomial(__m128 s, __m128i k) {
    const __m128 z = _mm_mul_ps(s, s);
    __m128 p = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(std::bit_cast<float>(0x3E7353DAu)), z),
                          _mm_set1_ps(std::bit_cast<float>(0x3E920CCAu)));
    p = _mm_add_ps(_mm_mul_ps(p, z), _mm_set1_ps(std::bit_cast<float>(0x3ECCCD95u)));
    p = _mm_add_ps(_mm_mul_ps(p, z), _mm_set1_ps(std::bit_cast<float>(0x3F2AAAAAu)));
    p = _mm_add_ps(_mm_mul_ps(p, z), _mm_set1_ps(2.0f));
    const __m128 kLn2 = _mm_mul_ps(_mm_cvtepi32_ps(k), _mm_set1_ps(std::bit_cast<float>(0x3F317218u)));
    return _mm_add_ps(_mm_mul_ps(s, p), kLn2);
}

// Lanes whose exponent lies outside -62..63 (as a 16-bit value, which every
// k here fits). Every special argument lands there, together with very
// large and very small normal ones, whose computed value stands.
inline int outOfRangeLanes(__m128i k) {
    const __m128i below = _mm_cmplt_epi32(k, _mm_set1_epi32(-62));
    const __m128i above = _mm_cmpgt_epi32(k, _mm_set1_epi32(63));
    return _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(below, above)));
}

// ---- SSE2 and SSE3-class ----

// 1 to 4 elements with one division per vector; unused lanes compute ln 1.
void lnSingleDivision(float* p, int count, int64_t index, ln::FirstWarning& first) {
    alignas(16) uint32_t bits[4] = {0x3F800000, 0x3F800000, 0x3F800000, 0x3F800000};
    std::memcpy(bits, p, static_cast<std::size_t>(count) * 4);
    const __m128i c = _mm_load_si128(reinterpret_cast<const __m128i*>(bits));
    const Reduced r = reduce(c);
    const __m128 s = _mm_div_ps(_mm_sub_ps(r.m, ones()), _mm_add_ps(r.m, ones()));
    alignas(16) float out[4];
    _mm_store_ps(out, polynomial(s, r.k));
    const int lanes = outOfRangeLanes(r.k);
    for (int j = 0; j < count; ++j) {
        PrimitiveStatus warning = primitiveStatusOk;
        if ((lanes & (1 << j)) != 0) {
            ln::specialResult(bits[j], out[j], warning);  // leaves out[j] for an ordinary argument
            first.offer(index + j, warning);
        }
    }
    std::memcpy(p, out, static_cast<std::size_t>(count) * 4);
}

void lnShort(float* p, int64_t n, int64_t index, ln::FirstWarning& first) {
    for (int64_t i = 0; i < n; i += 4) {
        lnSingleDivision(p + i, static_cast<int>(n - i < 4 ? n - i : 4), index + i, first);
    }
}

// One chunk of at most 256 elements.
void lnChunkSse2Class(float* p, int64_t n, int64_t index, ln::FirstWarning& first) {
    if (n < 32 || addressOf(p) % 4 != 0) {
        lnShort(p, n, index, first);
        return;
    }
    int64_t i = 0;
    for (; addressOf(p + i) % 16 != 0; ++i) lnSingleDivision(p + i, 1, index + i, first);
    const int64_t groups = (n - i) / 8;

    // First pass: exponents and s for every 8-element group, two vectors
    // sharing one division; a group with a lane out of range is noted.
    alignas(16) int32_t exponents[kChunk];
    alignas(16) float ratios[kChunk];
    uint32_t slowGroups[kChunk / 8 / 32 + 1] = {};
    for (int64_t g = 0; g < groups; ++g) {
        const float* x = p + i + 8 * g;
        const Reduced r1 = reduce(_mm_castps_si128(_mm_load_ps(x)));
        const Reduced r2 = reduce(_mm_castps_si128(_mm_load_ps(x + 4)));
        const __m128 a1 = _mm_add_ps(r1.m, ones());
        const __m128 a2 = _mm_add_ps(r2.m, ones());
        const __m128 r = _mm_div_ps(ones(), _mm_mul_ps(a1, a2));
        _mm_store_ps(ratios + 8 * g, _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(r1.m, ones()), a2), r));
        _mm_store_ps(ratios + 8 * g + 4, _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(r2.m, ones()), a1), r));
        _mm_store_si128(reinterpret_cast<__m128i*>(exponents + 8 * g), r1.k);
        _mm_store_si128(reinterpret_cast<__m128i*>(exponents + 8 * g + 4), r2.k);
        // One 16-bit range test for the group's eight exponents.
        const __m128i k16 = _mm_packs_epi32(r1.k, r2.k);
        const __m128i outside = _mm_or_si128(_mm_cmplt_epi16(k16, _mm_set1_epi16(-62)),
                                             _mm_cmpgt_epi16(k16, _mm_set1_epi16(63)));
        if (_mm_movemask_epi8(outside) != 0) slowGroups[g / 32] |= 1u << (g % 32);
    }

    // Second pass: the polynomial, then the noted groups lane by lane. The
    // arguments are still in place until their group is written.
    for (int64_t g = 0; g < groups; ++g) {
        float* x = p + i + 8 * g;
        const __m128i k1 = _mm_load_si128(reinterpret_cast<const __m128i*>(exponents + 8 * g));
        const __m128i k2 = _mm_load_si128(reinterpret_cast<const __m128i*>(exponents + 8 * g + 4));
        const __m128 v1 = polynomial(_mm_load_ps(ratios + 8 * g), k1);
        const __m128 v2 = polynomial(_mm_load_ps(ratios + 8 * g + 4), k2);
        if ((slowGroups[g / 32] & (1u << (g % 32))) != 0) {
            alignas(16) uint32_t arguments[8];
            std::memcpy(arguments, x, sizeof arguments);
            _mm_store_ps(x, v1);
            _mm_store_ps(x + 4, v2);
            const int lanes = outOfRangeLanes(k1) | (outOfRangeLanes(k2) << 4);
            for (int j = 0; j < 8; ++j) {
                if ((lanes & (1 << j)) == 0) continue;
                float result;
                PrimitiveStatus warning;
                if (ln::specialResult(arguments[j], result, warning)) {
                    storeFloat(x + j, result);
                    first.offer(index + i + 8 * g + j, warning);
                }
            }
        } else {
            _mm_store_ps(x, v1);
            _mm_store_ps(x + 4, v2);
        }
    }
    i += 8 * groups;
    lnShort(p + i, n - i, index + i, first);
}

void lnKernel_sse2(float* p, int64_t n, int64_t index, ln::FirstWarning& first) {
    lnChunkSse2Class(p, n, index, first);
}

PRIMITIVES_SSE3_TARGET void lnKernel_sse3(float* p, int64_t n, int64_t index, ln::FirstWarning& first) {
    lnChunkSse2Class(p, n, index, first);
}

// ---- SSE ----

// Classified with integer tests before the vector step: sign bit, zero,
// exponent field all ones or all zeros.
inline bool isSpecialSse(uint32_t c) {
    const uint32_t exponent = (c >> 23) & 0xFF;
    return (c & 0x80000000u) != 0 || c == 0 || exponent == 0xFF || exponent == 0;
}

// The chunk from its last element backwards, four per step, with a refined
// approximate reciprocal in place of the division; special lanes get their
// results at once and compute a harmless stand-in. The 0 to 3 elements left
// at the front are done in double precision.
void lnKernel_sse(float* p, int64_t n, int64_t index, ln::FirstWarning& first) {
    int64_t end = n;
    for (; end >= 4; end -= 4) {
        float* x = p + end - 4;
        alignas(16) uint32_t bits[4];
        std::memcpy(bits, x, sizeof bits);
        float special[4];
        int specialLanes = 0;
        for (int j = 0; j < 4; ++j) {
            if (!isSpecialSse(bits[j])) continue;
            PrimitiveStatus warning;
            ln::specialResult(bits[j], special[j], warning);
            first.offer(index + end - 4 + j, warning);
            bits[j] = 0x3FEFFFFF;
            specialLanes |= 1 << j;
        }
        const Reduced r = reduce(_mm_load_si128(reinterpret_cast<const __m128i*>(bits)));
        const __m128 a = _mm_add_ps(r.m, ones());
        const __m128 r0 = _mm_rcp_ps(a);
        const __m128 reciprocal = _mm_mul_ps(r0, _mm_sub_ps(_mm_set1_ps(2.0f), _mm_mul_ps(a, r0)));
        const __m128 s = _mm_mul_ps(_mm_sub_ps(r.m, ones()), reciprocal);
        alignas(16) float out[4];
        _mm_store_ps(out, polynomial(s, r.k));
        for (int j = 0; j < 4; ++j) {
            if ((specialLanes & (1 << j)) != 0) out[j] = special[j];
        }
        std::memcpy(x, out, sizeof out);
    }
    for (int64_t j = end - 1; j >= 0; --j) {
        float result;
        PrimitiveStatus warning;
        if (!ln::specialResult(loadWord32(p + j), result, warning)) {
            constexpr double kLn2 = 0.69314718055994530942;
            result = static_cast<float>(kLn2 * std::log2(static_cast<double>(loadFloat(p + j))));
        }
        first.offer(index + j, warning);
        storeFloat(p + j, result);
    }
}

// One kernel call per chunk of 256; the status is that of the first
// element, in index order, that raised a warning.
template <auto kernel>
PrimitiveStatus lnInChunks(float* srcDst, int32_t len) {
    if (srcDst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    ln::FirstWarning first;
    for (int64_t i = 0; i < len; i += kChunk) kernel(srcDst + i, len - i < kChunk ? len - i : kChunk, i, first);
    return first.status();
}

}  // namespace

namespace sse {
PrimitiveStatus zaviLn_32f_I(float* srcDst, int32_t len) { return lnInChunks<lnKernel_sse>(srcDst, len); }
}  // namespace sse

namespace sse2 {
PrimitiveStatus zaviLn_32f_I(float* srcDst, int32_t len) { return lnInChunks<lnKernel_sse2>(srcDst, len); }
}  // namespace sse2

namespace sse3 {
PrimitiveStatus zaviLn_32f_I(float* srcDst, int32_t len) { return lnInChunks<lnKernel_sse3>(srcDst, len); }
}  // namespace sse3

}  // namespace primitives
