// The memory movers of the SSE2 and SSE3-class builds: 16-byte SSE2 words
// with aligned stores after one unaligned head store, overlapping tail
// stores, and non-temporal stores for large blocks only, so that small and
// medium results stay in the cache for their consumer.
#include <immintrin.h>

#include "primitives/core/BuildSupport.h"
#include "primitives/vector/MoverEntries.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

constexpr int64_t kZeroStreamAbove = 0x80000;      // bytes
constexpr int64_t kFillStreamAbove = 0x20000;      // words
constexpr int64_t kSse2CopyLargeAbove = 0x40000;   // bytes
constexpr int64_t kSse3CopyLargeFrom = 0x80000;    // bytes
constexpr int64_t kTouchAheadChunk = 0x40000;      // bytes read ahead before streaming them out

inline std::uintptr_t misalignment(const void* p, std::uintptr_t alignment) {
    return addressOf(p) & (alignment - 1);
}

// Distance to the next 16-byte boundary above p: 16 when p is aligned.
inline int64_t stepToNext16(const void* p) { return 16 - static_cast<int64_t>(misalignment(p, 16)); }

inline __m128i loadUnaligned(const uint8_t* s) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)); }
inline __m128i loadAligned(const uint8_t* s) { return _mm_load_si128(reinterpret_cast<const __m128i*>(s)); }
inline void storeUnaligned(uint8_t* d, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(d), v); }
inline void storeAligned(uint8_t* d, __m128i v) { _mm_store_si128(reinterpret_cast<__m128i*>(d), v); }
inline void streamAligned(uint8_t* d, __m128i v) { _mm_stream_si128(reinterpret_cast<__m128i*>(d), v); }

// 16 bytes read as two 8-byte halves.
inline __m128i loadHalves(const uint8_t* s) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + 8)));
}

// 16 bytes read as four 4-byte pieces, for a source 4 bytes off an 8-byte
// boundary.
inline __m128i loadQuarters(const uint8_t* s) {
    const __m128i a = _mm_cvtsi32_si128(static_cast<int>(loadWord32(s)));
    const __m128i b = _mm_cvtsi32_si128(static_cast<int>(loadWord32(s + 4)));
    const __m128i c = _mm_cvtsi32_si128(static_cast<int>(loadWord32(s + 8)));
    const __m128i d = _mm_cvtsi32_si128(static_cast<int>(loadWord32(s + 12)));
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(a, b), _mm_unpacklo_epi32(c, d));
}

// ---- zero and fill ----

// r < 16 bytes of a repeating 8-byte pattern (whose phase matches p): two
// overlapping 8-byte stores, two 4-byte stores, or single bytes.
inline void storeTail16(uint8_t* p, int64_t r, uint64_t pattern) {
    if (r >= 8) {
        if (r != 8) storeWord64(p, pattern);
        storeWord64(p + r - 8, pattern);
    } else if (r >= 4) {
        if (r != 4) storeWord32(p, static_cast<uint32_t>(pattern));
        storeWord32(p + r - 4, static_cast<uint32_t>(pattern));
    } else {
        for (int64_t i = 0; i < r; ++i) p[i] = static_cast<uint8_t>(pattern >> (8 * i));
    }
}

inline void zeroSse2Class(void* dst, int64_t n) {
    if (n <= 0) return;
    uint8_t* p = bytePointer(dst);
    if (n >= 16) {
        storeWord64(p, 0);
        storeWord64(p + 8, 0);
        const int64_t step = stepToNext16(p);
        p += step;
        n -= step;
        if (n == 0) return;
        const __m128i zero = _mm_setzero_si128();
        if (n >= 64) {
            if (n > kZeroStreamAbove) {
                for (; n >= 16; n -= 16, p += 16) streamAligned(p, zero);
                _mm_sfence();
            } else {
                for (; n >= 64; n -= 64, p += 64) {
                    storeAligned(p, zero);
                    storeAligned(p + 16, zero);
                    storeAligned(p + 32, zero);
                    storeAligned(p + 48, zero);
                }
            }
        }
        for (int k = 0; k < 3 && n >= 16; ++k, n -= 16, p += 16) storeAligned(p, zero);
    }
    storeTail16(p, n, 0);
}

inline void fillSse2Class(uint32_t value, void* dst, int64_t n) {
    if (n <= 0) return;
    uint8_t* p = bytePointer(dst);
    if (misalignment(p, 2) != 0) {
        for (; n > 0; --n, p += 4) storeWord32(p, value);
        return;
    }
    if (misalignment(p, 4) == 2) {
        // The first and the last word go in place; two bytes on, the same
        // bytes continue as the value with its 16-bit halves swapped, and the
        // last two bytes are already written.
        storeWord32(p, value);
        storeWord32(p + 4 * n - 4, value);
        if (n == 1) return;
        value = (value >> 16) | (value << 16);
        p += 2;
        n -= 1;
    }
    const uint64_t pattern = (uint64_t{value} << 32) | value;
    const __m128i four = _mm_set1_epi32(static_cast<int>(value));
    if (n > kFillStreamAbove) {
        for (; n > 0 && misalignment(p, 16) != 0; --n, p += 4) storeWord32(p, value);
        for (; n >= 4; n -= 4, p += 16) streamAligned(p, four);
        _mm_sfence();
        storeTail16(p, 4 * n, pattern);
        return;
    }
    int64_t bytes = 4 * n;
    if (bytes >= 16) {
        storeWord64(p, pattern);
        storeWord64(p + 8, pattern);
        const int64_t step = stepToNext16(p);
        p += step;
        bytes -= step;
        for (; bytes >= 64; bytes -= 64, p += 64) {
            storeAligned(p, four);
            storeAligned(p + 16, four);
            storeAligned(p + 32, four);
            storeAligned(p + 48, four);
        }
        for (int k = 0; k < 3 && bytes >= 16; ++k, bytes -= 16, p += 16) storeAligned(p, four);
    }
    storeTail16(p, bytes, pattern);
}

// ---- copy ----

// Fewer than 64 (or, after a 128-byte block loop, 128) bytes: 8-byte moves
// forward, the rest by overlapping 4-byte moves or single bytes backwards.
void copySmall(const uint8_t* s, uint8_t* d, int64_t n) {
    if (n >= 4) {
        for (; n >= 8; n -= 8, s += 8, d += 8) storeWord64(d, loadWord64(s));
        if (n == 0) return;
        if (n >= 4) {
            const uint32_t first = loadWord32(s);
            const uint32_t last = loadWord32(s + n - 4);
            if (n != 4) storeWord32(d, first);
            storeWord32(d + n - 4, last);
            return;
        }
    }
    for (int64_t i = n - 1; i >= 0; --i) d[i] = s[i];
}

// Where a copy stands: source, destination and bytes left. The block loops
// take it and give it back by value, so that the compiler keeps it in
// registers instead of reloading it after every store.
struct Cursor {
    const uint8_t* s;
    uint8_t* d;
    int64_t n;
};

// The block loops below take d 16-byte aligned and leave the last bytes
// (under the block size) to copySmall.
Cursor copyAligned128(Cursor c) {
    auto [s, d, n] = c;
    for (; n >= 128; n -= 128, s += 128, d += 128) {
        const __m128i v0 = loadAligned(s), v1 = loadAligned(s + 16), v2 = loadAligned(s + 32);
        const __m128i v3 = loadAligned(s + 48), v4 = loadAligned(s + 64), v5 = loadAligned(s + 80);
        const __m128i v6 = loadAligned(s + 96), v7 = loadAligned(s + 112);
        storeAligned(d, v0);
        storeAligned(d + 16, v1);
        storeAligned(d + 32, v2);
        storeAligned(d + 48, v3);
        storeAligned(d + 64, v4);
        storeAligned(d + 80, v5);
        storeAligned(d + 96, v6);
        storeAligned(d + 112, v7);
    }
    return {s, d, n};
}

Cursor copyAligned64(Cursor c) {
    auto [s, d, n] = c;
    for (; n >= 64; n -= 64, s += 64, d += 64) {
        for (int k = 0; k < 64; k += 16) storeAligned(d + k, loadAligned(s + k));
    }
    return {s, d, n};
}

// A source that is not 16-byte aligned, read in pieces that respect its own
// alignment.
Cursor copySplitLoad64(Cursor c) {
    auto [s, d, n] = c;
    if (misalignment(s, 8) == 4) {
        for (; n >= 64; n -= 64, s += 64, d += 64) {
            for (int k = 0; k < 64; k += 16) storeAligned(d + k, loadQuarters(s + k));
        }
    } else {
        for (; n >= 64; n -= 64, s += 64, d += 64) {
            for (int k = 0; k < 64; k += 16) storeAligned(d + k, loadHalves(s + k));
        }
    }
    return {s, d, n};
}

Cursor copyLddqu64(Cursor c) {
    auto [s, d, n] = c;
    for (; n >= 64; n -= 64, s += 64, d += 64) {
        for (int k = 0; k < 64; k += 16) storeAligned(d + k, loadLddqu(s + k));
    }
    return {s, d, n};
}

// Streams the rest out in non-temporal 16-byte stores, fences, and leaves the
// last 0 to 15 bytes to copySmall.
Cursor streamRest(Cursor c) {
    auto [s, d, n] = c;
    for (; n >= 16; n -= 16, s += 16, d += 16) streamAligned(d, loadHalves(s));
    _mm_sfence();
    return {s, d, n};
}

// Reads one byte in every 128 over a 256 KiB chunk of the source, so that the
// streaming pass that follows finds it in the cache.
void touchAhead(const uint8_t* s) {
    uint32_t sum = 0;
    for (int64_t k = 0; k < kTouchAheadChunk; k += 256) sum += s[k] + s[k + 128];
    asm volatile("" : : "r"(sum));
}

Cursor copyTouchAhead(Cursor c) {
    auto [s, d, n] = c;
    for (; n >= kTouchAheadChunk; n -= kTouchAheadChunk, s += kTouchAheadChunk, d += kTouchAheadChunk) {
        touchAhead(s);
        for (int64_t k = 0; k < kTouchAheadChunk; k += 16) streamAligned(d + k, loadHalves(s + k));
    }
    return streamRest({s, d, n});
}

// Blocks of the cached loops, by source alignment.
Cursor copyCachedSse2(Cursor c) {
    if (misalignment(c.s, 16) != 0) return copySplitLoad64(c);
    return c.n > 1024 ? copyAligned128(c) : copyAligned64(c);
}

// More than 256 KiB to a 16-byte-aligned d. Streaming stores that lie a few
// hundred bytes below their loads modulo 64 KiB collide with them, so that
// band takes the cached loops, and the band just below it a plain streaming
// copy without read-ahead.
Cursor copyLargeSse2(Cursor c) {
    const auto distance = static_cast<uint16_t>(addressOf(c.s) - addressOf(c.d));
    const bool source8 = misalignment(c.s, 8) == 0;
    const uint16_t low = source8 ? 0xFE50 : 0xFE8C;
    const uint16_t middle = source8 ? 0xFEB0 : 0xFEFC;
    const uint16_t high = source8 ? 0xFF38 : 0xFFEE;
    if (distance < low || distance > high) return copyTouchAhead(c);
    if (distance < middle) return streamRest(c);
    return copyCachedSse2(c);
}

// Moves d to its next 16-byte boundary with one unaligned 16-byte move
// (16 bytes on when d is aligned already); n must be at least 16.
Cursor alignDestination(Cursor c) {
    storeUnaligned(c.d, loadUnaligned(c.s));
    const int64_t step = stepToNext16(c.d);
    return {c.s + step, c.d + step, c.n - step};
}

}  // namespace

// ---- SSE2 build ----

void* zeroBytesKernel_sse2(void* dst, int64_t n) {
    zeroSse2Class(dst, n);
    return dst;
}

void* fillWords32Kernel_sse2(uint32_t value, void* dst, int64_t n) {
    fillSse2Class(value, dst, n);
    return dst;
}

void* copyBytesKernel_sse2(const void* src, void* dst, int64_t n) {
    if (n <= 0) return dst;
    movers::assertDisjoint(src, dst, n);
    Cursor c{bytePointer(src), bytePointer(dst), n};
    if (c.n >= 64) {
        if (misalignment(c.d, 16) != 0) {
            c = alignDestination(c);
            if (c.n > kSse2CopyLargeAbove) {
                c = copyLargeSse2(c);
            } else if (c.n >= 64) {
                c = copySplitLoad64(c);
            }
        } else if (c.n > kSse2CopyLargeAbove) {
            c = copyLargeSse2(c);
        } else {
            c = copyCachedSse2(c);
        }
    }
    copySmall(c.s, c.d, c.n);
    return dst;
}

PrimitiveStatus zeroBytes_sse2(void* dst, int64_t len) {
    return movers::zeroBytesChecked<zeroBytesKernel_sse2>(dst, len);
}

namespace sse2 {

PrimitiveStatus zaviZero_32f(float* dst, int32_t len) {
    return movers::zeroFloats<zeroBytesKernel_sse2>(dst, len);
}

PrimitiveStatus zaviSet_32f(float val, float* dst, int32_t len) {
    return movers::setFloats<fillWords32Kernel_sse2>(val, dst, len);
}

PrimitiveStatus dezoRide_32d(const float* src, float* dst, int32_t len) {
    return movers::copyFloats<copyBytesKernel_sse2>(src, dst, len);
}

PrimitiveStatus zaviCopy_8u(const uint8_t* src, uint8_t* dst, int32_t len) {
    return movers::copyBytes<copyBytesKernel_sse2>(src, dst, len);
}

}  // namespace sse2

// ---- SSE3-class build ----

PRIMITIVES_SSE3_TARGET void* zeroBytesKernel_sse3(void* dst, int64_t n) {
    zeroSse2Class(dst, n);
    return dst;
}

PRIMITIVES_SSE3_TARGET void* fillWords32Kernel_sse3(uint32_t value, void* dst, int64_t n) {
    fillSse2Class(value, dst, n);
    return dst;
}

// The SSE2 copy with a 512 KiB large-copy limit, no distance test, and LDDQU
// for a misaligned source.
PRIMITIVES_SSE3_TARGET void* copyBytesKernel_sse3(const void* src, void* dst, int64_t n) {
    if (n <= 0) return dst;
    movers::assertDisjoint(src, dst, n);
    Cursor c{bytePointer(src), bytePointer(dst), n};
    if (c.n >= 64) {
        if (misalignment(c.d, 16) != 0) {
            c = alignDestination(c);
            if (c.n >= 64) {
                if (misalignment(c.s, 16) == 0) {
                    c = copyAligned64(c);
                } else if (c.n >= kSse3CopyLargeFrom) {
                    c = copyTouchAhead(c);
                } else {
                    c = copyLddqu64(c);
                }
            }
        } else if (c.n >= kSse3CopyLargeFrom) {
            c = copyTouchAhead(c);
        } else if (misalignment(c.s, 16) != 0) {
            c = copyLddqu64(c);
        } else {
            c = c.n > 1024 ? copyAligned128(c) : copyAligned64(c);
        }
    }
    copySmall(c.s, c.d, c.n);
    return dst;
}

PrimitiveStatus zeroBytes_sse3(void* dst, int64_t len) {
    return movers::zeroBytesChecked<zeroBytesKernel_sse3>(dst, len);
}

namespace sse3 {

PrimitiveStatus zaviZero_32f(float* dst, int32_t len) {
    return movers::zeroFloats<zeroBytesKernel_sse3>(dst, len);
}

PrimitiveStatus zaviSet_32f(float val, float* dst, int32_t len) {
    return movers::setFloats<fillWords32Kernel_sse3>(val, dst, len);
}

PrimitiveStatus dezoRide_32d(const float* src, float* dst, int32_t len) {
    return movers::copyFloats<copyBytesKernel_sse3>(src, dst, len);
}

PrimitiveStatus zaviCopy_8u(const uint8_t* src, uint8_t* dst, int32_t len) {
    return movers::copyBytes<copyBytesKernel_sse3>(src, dst, len);
}

}  // namespace sse3
}  // namespace primitives
