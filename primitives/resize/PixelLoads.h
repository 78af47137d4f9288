// Loads of one pixel's elements into the four float lanes of an SSE
// vector, widened exactly (8-bit and 16-bit unsigned, or float), from any
// alignment. The three-element loads leave lane 3 zero and never touch
// element 3: in the program's second stretch call that element of the last
// pixel is the byte after the image.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace primitives {

// Elements 0 to 3 of p, widened to float exactly.
inline __m128 loadFour(const uint8_t* p) {
    uint32_t word;
    std::memcpy(&word, p, 4);
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(word));
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
}
inline __m128 loadFour(const uint16_t* p) {
    uint64_t words;
    std::memcpy(&words, p, 8);
    const __m128i v = _mm_cvtsi64_si128(static_cast<long long>(words));
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, _mm_setzero_si128()));
}
inline __m128 loadFour(const float* p) {
    float v[4];
    std::memcpy(v, p, sizeof v);
    return _mm_loadu_ps(v);
}

// Elements 0 to 2 of p (element 3 is never read), lane 3 zero.
inline __m128 loadThree(const uint8_t* p) {
    uint16_t low;
    std::memcpy(&low, p, 2);
    const uint32_t word = low | static_cast<uint32_t>(p[2]) << 16;
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(word));
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
}
inline __m128 loadThree(const uint16_t* p) {
    uint16_t w[4] = {};
    std::memcpy(w, p, 6);
    uint64_t words;
    std::memcpy(&words, w, 8);
    const __m128i v = _mm_cvtsi64_si128(static_cast<long long>(words));
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, _mm_setzero_si128()));
}
inline __m128 loadThree(const float* p) {
    float v[4] = {};
    std::memcpy(v, p, 12);
    return _mm_loadu_ps(v);
}

}  // namespace primitives
