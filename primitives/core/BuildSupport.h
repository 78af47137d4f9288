// Small helpers shared by the build bodies: the SSE3-class target attribute
// and byte-exact loads and stores at any alignment.
//
// Callers may pass float pointers that are not 4-byte aligned, so element
// access goes through memcpy (one plain move after optimisation), never
// through a misaligned float* or uint32_t*. Floats that are only moved are
// handled as bit patterns so NaN payloads, infinities and -0 pass unchanged.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

// Code of the SSE3-class build that uses SSE3 instructions. The other builds
// need no attribute: SSE and SSE2 are part of every x86-64 target.
#define PRIMITIVES_SSE3_TARGET __attribute__((target("sse3")))

namespace primitives {

inline uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float floatOf(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline float loadFloat(const void* p) {
    float value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline void storeFloat(void* p, float value) { std::memcpy(p, &value, sizeof value); }

inline uint32_t loadWord32(const void* p) {
    uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline void storeWord32(void* p, uint32_t value) { std::memcpy(p, &value, sizeof value); }

inline uint64_t loadWord64(const void* p) {
    uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline void storeWord64(void* p, uint64_t value) { std::memcpy(p, &value, sizeof value); }

// An 8-byte store that bypasses the cache (movnti); needs no alignment.
inline void streamWord64(void* p, uint64_t value) {
    _mm_stream_si64(static_cast<long long*>(p), static_cast<long long>(value));
}

// The SSE3 unaligned load (LDDQU). Written as assembly so that code shared
// by the SSE2 and SSE3-class builds can use it on the SSE3-class paths only,
// without compiling the whole function for SSE3.
inline __m128i loadLddqu(const void* p) {
    __m128i v;
    asm("lddqu %1, %0" : "=x"(v) : "m"(*static_cast<const __m128i_u*>(p)));
    return v;
}

inline std::uintptr_t addressOf(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

inline uint8_t* bytePointer(void* p) { return static_cast<uint8_t*>(p); }
inline const uint8_t* bytePointer(const void* p) { return static_cast<const uint8_t*>(p); }

}  // namespace primitives
