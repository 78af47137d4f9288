// The integer linear passes in SSE2. Every group computes exactly the
// formulas of ScalarLinearPasses, which also does the tails.
//
// 8-bit samples (0..255), 8-bit intermediates (0..16320) and Q14 weights
// (0..16384) all fit signed 16-bit lanes, so those products go through the
// signed multiply-add. 16-bit samples and intermediates reach 65535 and use
// unsigned 16 x 16 -> 32 products (low and high halves) instead.
#include <emmintrin.h>

#include <cstring>

#include "primitives/resize/LinearPasses.h"

namespace primitives {
namespace {

using Scalar = ScalarLinearPasses;

// Two adjacent bytes as one 16-bit lane: low byte the left sample.
int16_t loadBytePair(const uint8_t* p) {
    int16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// Elements 0 to 2 of a pixel; element 3 is never read.
uint32_t loadThreeBytes(const uint8_t* p) {
    uint16_t low;
    std::memcpy(&low, p, 2);
    return low | static_cast<uint32_t>(p[2]) << 16;
}

uint32_t loadFourBytes(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

int64_t loadThreeWords(const uint16_t* p) {
    uint32_t low;
    std::memcpy(&low, p, 4);
    return static_cast<int64_t>(low | static_cast<uint64_t>(p[2]) << 32);
}

// A weight pair as one 32-bit lane (w0 low), the order that the multiply-add
// pairs it with (left, right) samples.
int32_t weightWord(LinearWeightPairQ14 w) {
    int32_t v;
    std::memcpy(&v, &w, 4);
    return v;
}

// Bytes 0 to 2 of a destination pixel from the low three bytes of v.
void storeThreeBytes(uint8_t* p, uint64_t v) {
    const auto low = static_cast<uint16_t>(v);
    std::memcpy(p, &low, 2);
    p[2] = static_cast<uint8_t>(v >> 16);
}

// (left, right) byte samples of one pixel pair, interleaved into 16-bit lanes:
// l0 r0 l1 r1 l2 r2 l3 r3.
__m128i interleavePixels(uint32_t left, uint32_t right) {
    const __m128i bytes = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(left)),
                                            _mm_cvtsi32_si128(static_cast<int>(right)));
    return _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
}

// 8-bit horizontal value of four lane pairs: (l * w0 + r * w1 + 128) >> 8.
__m128i horizontal8(__m128i pairs, __m128i weights) {
    return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, weights), _mm_set1_epi32(128)), 8);
}

// Unsigned products of eight 16-bit lanes, as two vectors of four 32-bit lanes.
void multiplyWide(__m128i a, __m128i b, __m128i& low, __m128i& high) {
    const __m128i lo = _mm_mullo_epi16(a, b);
    const __m128i hi = _mm_mulhi_epu16(a, b);
    low = _mm_unpacklo_epi16(lo, hi);
    high = _mm_unpackhi_epi16(lo, hi);
}

// (a * wa + b * wb + 8192) >> 14 for eight unsigned 16-bit lanes; the sums
// stay below 2^31 and the results within 0..65535.
__m128i blend16(__m128i a, __m128i wa, __m128i b, __m128i wb) {
    __m128i aLow, aHigh, bLow, bHigh;
    multiplyWide(a, wa, aLow, aHigh);
    multiplyWide(b, wb, bLow, bHigh);
    const __m128i round = _mm_set1_epi32(8192);
    const __m128i low = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(aLow, bLow), round), 14);
    const __m128i high = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(aHigh, bHigh), round), 14);
    // Unsigned narrowing without SSE4.1: shift into the signed range, pack
    // (exact there), shift back.
    const __m128i bias = _mm_set1_epi32(32768);
    const __m128i packed = _mm_packs_epi32(_mm_sub_epi32(low, bias), _mm_sub_epi32(high, bias));
    return _mm_xor_si128(packed, _mm_set1_epi16(static_cast<int16_t>(0x8000)));
}

// The eight w0 and the eight w1 of eight consecutive weight pairs.
void splitWeights(const LinearWeightPairQ14* w, __m128i& w0, __m128i& w1) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 4));
    const __m128i mask = _mm_set1_epi32(0xFFFF);
    w0 = _mm_packs_epi32(_mm_and_si128(a, mask), _mm_and_si128(b, mask));  // <= 16384: exact
    w1 = _mm_packs_epi32(_mm_srli_epi32(a, 16), _mm_srli_epi32(b, 16));
}

// Stores lanes 0-2 and 4-6 of eight 16-bit values as six packed values; the
// spare lanes land on out[3] (overwritten) and out[6] (spare space).
void storeTwoPackedPixels(uint16_t* out, __m128i values) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), values);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 3), _mm_srli_si128(values, 8));
}

// Vertical 8-bit blend of eight values: (u * (16384 - w) + l * w + 524288) >> 20.
__m128i vertical8(__m128i upper, __m128i lower, __m128i weights) {
    const __m128i round = _mm_set1_epi32(524288);
    const __m128i low =
        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(upper, lower), weights), round), 20);
    const __m128i high =
        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(upper, lower), weights), round), 20);
    return _mm_packs_epi32(low, high);  // 0..255 in 16-bit lanes
}

__m128i verticalWeights8(uint16_t weight) {
    return _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(weight) << 16 | (16384u - weight)));
}

__m128i load8(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

}  // namespace

void Sse2LinearPasses::horizontal1Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes,
                                     const LinearWeightPairQ14* colWeights, uint16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    int32_t j = 0;
    for (; j + 8 <= width; j += 8) {
        const int64_t* x = colIndexes + j;
        const __m128i pairs =
            _mm_setr_epi16(loadBytePair(row + x[0]), loadBytePair(row + x[1]), loadBytePair(row + x[2]),
                           loadBytePair(row + x[3]), loadBytePair(row + x[4]), loadBytePair(row + x[5]),
                           loadBytePair(row + x[6]), loadBytePair(row + x[7]));
        const __m128i* w = reinterpret_cast<const __m128i*>(colWeights + j);
        const __m128i low = horizontal8(_mm_unpacklo_epi8(pairs, zero), _mm_loadu_si128(w));
        const __m128i high = horizontal8(_mm_unpackhi_epi8(pairs, zero), _mm_loadu_si128(w + 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_packs_epi32(low, high));
    }
    Scalar::horizontal1Ch(row, width - j, colIndexes + j, colWeights + j, out + j);
}

void Sse2LinearPasses::horizontal3Ch(const uint8_t* row, int32_t width, int32_t pixelStride,
                                     const int64_t* colIndexes, const LinearWeightPairQ14* colWeights,
                                     uint16_t* out) {
    int32_t j = 0;
    for (; j + 2 <= width; j += 2) {
        const uint8_t* a = row + colIndexes[j];
        const uint8_t* b = row + colIndexes[j + 1];
        const __m128i first = horizontal8(interleavePixels(loadThreeBytes(a), loadThreeBytes(a + pixelStride)),
                                          _mm_set1_epi32(weightWord(colWeights[j])));
        const __m128i second = horizontal8(interleavePixels(loadThreeBytes(b), loadThreeBytes(b + pixelStride)),
                                           _mm_set1_epi32(weightWord(colWeights[j + 1])));
        storeTwoPackedPixels(out + 3 * j, _mm_packs_epi32(first, second));
    }
    Scalar::horizontal3Ch(row, width - j, pixelStride, colIndexes + j, colWeights + j, out + 3 * j);
}

void Sse2LinearPasses::horizontal4Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes,
                                     const LinearWeightPairQ14* colWeights, uint16_t* out) {
    int32_t j = 0;
    for (; j + 2 <= width; j += 2) {
        const uint8_t* a = row + colIndexes[j];
        const uint8_t* b = row + colIndexes[j + 1];
        const __m128i first = horizontal8(interleavePixels(loadFourBytes(a), loadFourBytes(a + 4)),
                                          _mm_set1_epi32(weightWord(colWeights[j])));
        const __m128i second = horizontal8(interleavePixels(loadFourBytes(b), loadFourBytes(b + 4)),
                                           _mm_set1_epi32(weightWord(colWeights[j + 1])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * j), _mm_packs_epi32(first, second));
    }
    Scalar::horizontal4Ch(row, width - j, colIndexes + j, colWeights + j, out + 4 * j);
}

void Sse2LinearPasses::vertical(uint8_t* dst, int32_t count, uint16_t weight, const uint16_t* upper,
                                const uint16_t* lower) {
    const __m128i weights = verticalWeights8(weight);
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i first = vertical8(load8(upper + i), load8(lower + i), weights);
        const __m128i second = vertical8(load8(upper + i + 8), load8(lower + i + 8), weights);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(first, second));
    }
    for (; i + 8 <= count; i += 8) {
        const __m128i values = vertical8(load8(upper + i), load8(lower + i), weights);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(values, values));
    }
    Scalar::vertical(dst + i, count - i, weight, upper + i, lower + i);
}

void Sse2LinearPasses::verticalSkipAlpha(uint8_t* dst, int32_t width, uint16_t weight, const uint16_t* upper,
                                         const uint16_t* lower) {
    const __m128i weights = verticalWeights8(weight);
    int32_t i = 0;
    // Eight pixels (24 values) per step; each pixel gets a 16-bit and an 8-bit
    // store, so element 3 is never touched.
    for (; i + 8 <= width; i += 8) {
        const uint16_t* u = upper + 3 * i;
        const uint16_t* l = lower + 3 * i;
        const __m128i first = vertical8(load8(u), load8(l), weights);
        const __m128i second = vertical8(load8(u + 8), load8(l + 8), weights);
        const __m128i third = vertical8(load8(u + 16), load8(l + 16), weights);
        const __m128i bytes = _mm_packus_epi16(first, second);
        const auto q0 = static_cast<uint64_t>(_mm_cvtsi128_si64(bytes));
        const auto q1 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_srli_si128(bytes, 8)));
        const auto q2 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(third, third)));
        uint8_t* d = dst + 4 * i;
        storeThreeBytes(d, q0);
        storeThreeBytes(d + 4, q0 >> 24);
        storeThreeBytes(d + 8, q0 >> 48 | q1 << 16);
        storeThreeBytes(d + 12, q1 >> 8);
        storeThreeBytes(d + 16, q1 >> 32);
        storeThreeBytes(d + 20, q1 >> 56 | q2 << 8);
        storeThreeBytes(d + 24, q2 >> 16);
        storeThreeBytes(d + 28, q2 >> 40);
    }
    Scalar::verticalSkipAlpha(dst + 4 * i, width - i, weight, upper + 3 * i, lower + 3 * i);
}

void Sse2LinearPasses::horizontal1Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                                     const LinearWeightPairQ14* colWeights, uint16_t* out) {
    int32_t j = 0;
    for (; j + 8 <= width; j += 8) {
        const int64_t* x = colIndexes + j;
        const auto at = [row](int64_t index) { return static_cast<int16_t>(row[index]); };
        const __m128i left = _mm_setr_epi16(at(x[0]), at(x[1]), at(x[2]), at(x[3]), at(x[4]), at(x[5]), at(x[6]),
                                            at(x[7]));
        const __m128i right = _mm_setr_epi16(at(x[0] + 1), at(x[1] + 1), at(x[2] + 1), at(x[3] + 1),
                                             at(x[4] + 1), at(x[5] + 1), at(x[6] + 1), at(x[7] + 1));
        __m128i w0, w1;
        splitWeights(colWeights + j, w0, w1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), blend16(left, w0, right, w1));
    }
    Scalar::horizontal1Ch(row, width - j, colIndexes + j, colWeights + j, out + j);
}

void Sse2LinearPasses::horizontal3Ch(const uint16_t* row, int32_t width, int32_t pixelStride,
                                     const int64_t* colIndexes, const LinearWeightPairQ14* colWeights,
                                     uint16_t* out) {
    int32_t j = 0;
    for (; j + 2 <= width; j += 2) {
        const uint16_t* a = row + colIndexes[j];
        const uint16_t* b = row + colIndexes[j + 1];
        const __m128i left = _mm_set_epi64x(loadThreeWords(b), loadThreeWords(a));
        const __m128i right = _mm_set_epi64x(loadThreeWords(b + pixelStride), loadThreeWords(a + pixelStride));
        const LinearWeightPairQ14 wa = colWeights[j];
        const LinearWeightPairQ14 wb = colWeights[j + 1];
        const __m128i w0 = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<int16_t>(wa.w0)),
                                              _mm_set1_epi16(static_cast<int16_t>(wb.w0)));
        const __m128i w1 = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<int16_t>(wa.w1)),
                                              _mm_set1_epi16(static_cast<int16_t>(wb.w1)));
        storeTwoPackedPixels(out + 3 * j, blend16(left, w0, right, w1));
    }
    Scalar::horizontal3Ch(row, width - j, pixelStride, colIndexes + j, colWeights + j, out + 3 * j);
}

void Sse2LinearPasses::horizontal4Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                                     const LinearWeightPairQ14* colWeights, uint16_t* out) {
    int32_t j = 0;
    for (; j + 2 <= width; j += 2) {
        const uint16_t* a = row + colIndexes[j];
        const uint16_t* b = row + colIndexes[j + 1];
        const auto pixel = [](const uint16_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); };
        const __m128i left = _mm_unpacklo_epi64(pixel(a), pixel(b));
        const __m128i right = _mm_unpacklo_epi64(pixel(a + 4), pixel(b + 4));
        const LinearWeightPairQ14 wa = colWeights[j];
        const LinearWeightPairQ14 wb = colWeights[j + 1];
        const __m128i w0 = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<int16_t>(wa.w0)),
                                              _mm_set1_epi16(static_cast<int16_t>(wb.w0)));
        const __m128i w1 = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<int16_t>(wa.w1)),
                                              _mm_set1_epi16(static_cast<int16_t>(wb.w1)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * j), blend16(left, w0, right, w1));
    }
    Scalar::horizontal4Ch(row, width - j, colIndexes + j, colWeights + j, out + 4 * j);
}

void Sse2LinearPasses::vertical(uint16_t* dst, int32_t count, uint16_t weight, const uint16_t* upper,
                                const uint16_t* lower) {
    const __m128i lowerWeight = _mm_set1_epi16(static_cast<int16_t>(weight));
    const __m128i upperWeight = _mm_set1_epi16(static_cast<int16_t>(16384 - weight));
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         blend16(load8(upper + i), upperWeight, load8(lower + i), lowerWeight));
    }
    Scalar::vertical(dst + i, count - i, weight, upper + i, lower + i);
}

void Sse2LinearPasses::verticalSkipAlpha(uint16_t* dst, int32_t width, uint16_t weight, const uint16_t* upper,
                                         const uint16_t* lower) {
    const __m128i lowerWeight = _mm_set1_epi16(static_cast<int16_t>(weight));
    const __m128i upperWeight = _mm_set1_epi16(static_cast<int16_t>(16384 - weight));
    int32_t i = 0;
    // Eight pixels (24 values) per step, stored three elements per pixel.
    for (; i + 8 <= width; i += 8) {
        const uint16_t* u = upper + 3 * i;
        const uint16_t* l = lower + 3 * i;
        alignas(16) uint16_t values[24];
        for (int part = 0; part < 3; ++part) {
            _mm_store_si128(reinterpret_cast<__m128i*>(values + 8 * part),
                            blend16(load8(u + 8 * part), upperWeight, load8(l + 8 * part), lowerWeight));
        }
        for (int p = 0; p < 8; ++p) std::memcpy(dst + 4 * (i + p), values + 3 * p, 3 * sizeof(uint16_t));
    }
    Scalar::verticalSkipAlpha(dst + 4 * i, width - i, weight, upper + 3 * i, lower + 3 * i);
}

}  // namespace primitives
