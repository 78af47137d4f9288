// The SSE build's memory movers: 8-byte words (general-register and SSE2
// 8-byte moves in place of MMX registers, so no MMX state is left behind),
// 16-byte SSE moves where a source allows them, and non-temporal 8-byte
// stores for large blocks.
#include <immintrin.h>

#include "primitives/core/BuildSupport.h"
#include "primitives/vector/MoverEntries.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

constexpr int64_t kZeroStreamFrom = 20480;   // bytes
constexpr int64_t kFillStreamFrom = 5120;    // words
constexpr int64_t kCopyStreamFrom = 8192;    // bytes
constexpr int64_t kCopyPagedFrom = 16384;    // bytes
constexpr int64_t kPagedMinimum = 20480;     // bytes left after the head for paging to pay
constexpr int64_t kPage = 4096;

inline std::uintptr_t misalignment(const void* p, std::uintptr_t alignment) {
    return addressOf(p) & (alignment - 1);
}

inline void store8(uint8_t* p, uint64_t pattern, bool stream) {
    if (stream) {
        streamWord64(p, pattern);
    } else {
        storeWord64(p, pattern);
    }
}

// Up to 63 bytes of an 8-byte pattern in phase with p: one 32-, 16-, 8- and
// 4-byte step as far as n allows, then single bytes. The 4-byte and byte
// steps are ordinary stores in either form.
void storeCascade(uint8_t* p, int64_t n, uint64_t pattern, bool stream) {
    if (n >= 32) {
        for (int k = 0; k < 32; k += 8) store8(p + k, pattern, stream);
        p += 32;
        n -= 32;
    }
    if (n >= 16) {
        store8(p, pattern, stream);
        store8(p + 8, pattern, stream);
        p += 16;
        n -= 16;
    }
    if (n >= 8) {
        store8(p, pattern, stream);
        p += 8;
        n -= 8;
    }
    if (n >= 4) {
        storeWord32(p, static_cast<uint32_t>(pattern));
        p += 4;
        n -= 4;
        pattern = (pattern >> 32) | (pattern << 32);
    }
    for (int64_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(pattern >> (8 * i));
}

void zeroSse(void* dst, int64_t n, bool stream) {
    if (n <= 0) return;
    uint8_t* p = bytePointer(dst);
    if (stream && n < 8) {
        for (; n > 0; --n) *p++ = 0;
        return;
    }
    if (n >= 64) {
        if (misalignment(p, 8) != 0) {
            storeWord64(p, 0);
            const int64_t step = 8 - static_cast<int64_t>(misalignment(p, 8));
            p += step;
            n -= step;
        }
        for (; n >= 64; n -= 64, p += 64) {
            for (int k = 0; k < 64; k += 8) store8(p + k, 0, stream);
        }
    }
    storeCascade(p, n, 0, stream);
    if (stream) _mm_sfence();
}

void fillSse(uint32_t value, void* dst, int64_t n, bool stream) {
    if (n <= 0) return;
    uint8_t* p = bytePointer(dst);
    int64_t bytes = 4 * n;
    uint64_t pattern = (uint64_t{value} << 32) | value;
    if (misalignment(p, 4) != 0) {
        // First and last word in place; from the next 4-byte boundary on the
        // pattern continues rotated, and the last word already covers the
        // bytes past the shortened count.
        storeWord32(p, value);
        storeWord32(p + bytes - 4, value);
        if (n == 1) return;
        const auto k = static_cast<int>(4 - misalignment(p, 4));
        pattern = (pattern >> (8 * k)) | (pattern << (64 - 8 * k));
        p += k;
        bytes -= 4;
    }
    if (bytes >= 64) {
        if (misalignment(p, 8) != 0) {
            // The pattern repeats every 4 bytes, so a 4-byte step keeps it in
            // phase; the streaming form writes a whole ordinary 8-byte head.
            if (stream) {
                storeWord64(p, pattern);
            } else {
                storeWord32(p, static_cast<uint32_t>(pattern));
            }
            p += 4;
            bytes -= 4;
        }
        for (; bytes >= 64; bytes -= 64, p += 64) {
            for (int k = 0; k < 64; k += 8) store8(p + k, pattern, stream);
        }
    }
    storeCascade(p, bytes, pattern, stream);
    if (stream) _mm_sfence();
}

// Fewer than 64 bytes: 16-byte steps of two 8-byte moves, then 8, 4, 2 and 1
// bytes by the bits of what is left.
void copySmall(const uint8_t* s, uint8_t* d, int64_t n) {
    for (; n >= 16; n -= 16, s += 16, d += 16) {
        const uint64_t a = loadWord64(s);
        const uint64_t b = loadWord64(s + 8);
        storeWord64(d, a);
        storeWord64(d + 8, b);
    }
    if (n & 8) {
        storeWord64(d, loadWord64(s));
        s += 8;
        d += 8;
    }
    if (n & 4) {
        storeWord32(d, loadWord32(s));
        s += 4;
        d += 4;
    }
    if (n & 2) {
        std::memcpy(d, s, 2);
        s += 2;
        d += 2;
    }
    if (n & 1) *d = *s;
}

inline void move16Unaligned(const uint8_t* s, uint8_t* d) {
    _mm_storeu_ps(reinterpret_cast<float*>(d), _mm_loadu_ps(reinterpret_cast<const float*>(s)));
}

// Where a copy stands: source, destination and bytes left. The block loops
// take it and give it back by value, so that the compiler keeps it in
// registers instead of reloading it after every store.
struct Cursor {
    const uint8_t* s;
    uint8_t* d;
    int64_t n;
};

inline Cursor advance(Cursor c, int64_t step) { return {c.s + step, c.d + step, c.n - step}; }

// Brings d to a 16-byte boundary with one unaligned 16-byte move (n >= 64).
inline Cursor alignDestination16(Cursor c) {
    if (misalignment(c.d, 16) == 0) return c;
    move16Unaligned(c.s, c.d);
    return advance(c, 16 - static_cast<int64_t>(misalignment(c.d, 16)));
}

template <bool kStream>
Cursor copyBlocks8(Cursor c) {
    auto [s, d, n] = c;
    for (; n >= 64; n -= 64, s += 64, d += 64) {
        uint64_t v[8];
        for (int k = 0; k < 8; ++k) v[k] = loadWord64(s + 8 * k);
        for (int k = 0; k < 8; ++k) store8(d + 8 * k, v[k], kStream);
    }
    return {s, d, n};
}

Cursor copyBlocks16(Cursor c) {
    auto [s, d, n] = c;
    for (; n >= 64; n -= 64, s += 64, d += 64) {
        for (int k = 0; k < 64; k += 16) {
            _mm_store_ps(reinterpret_cast<float*>(d + k), _mm_load_ps(reinterpret_cast<const float*>(s + k)));
        }
    }
    return {s, d, n};
}

// 4, 8 and 4 bytes per 16, so that the 8-byte loads fall on 8-byte source
// boundaries.
Cursor copyBlocks4To8(Cursor c) {
    auto [s, d, n] = c;
    for (; n >= 64; n -= 64, s += 64, d += 64) {
        for (int k = 0; k < 64; k += 16) {
            const uint32_t a = loadWord32(s + k);
            const uint64_t b = loadWord64(s + k + 4);
            const uint32_t e = loadWord32(s + k + 12);
            storeWord32(d + k, a);
            storeWord64(d + k + 4, b);
            storeWord32(d + k + 12, e);
        }
    }
    return {s, d, n};
}

void touchBytes(const uint8_t* first, const uint8_t* last) {
    const uint32_t sum = *first + *last;
    asm volatile("" : : "r"(sum));
}

}  // namespace

void* zeroBytesKernel_sse(void* dst, int64_t n) {
    zeroSse(dst, n, false);
    return dst;
}

void* zeroBytesStreamKernel_sse(void* dst, int64_t n) {
    zeroSse(dst, n, true);
    return dst;
}

void* fillWords32Kernel_sse(uint32_t value, void* dst, int64_t n) {
    fillSse(value, dst, n, false);
    return dst;
}

void* fillWords32StreamKernel_sse(uint32_t value, void* dst, int64_t n) {
    fillSse(value, dst, n, true);
    return dst;
}

void* copyBytesKernel_sse(const void* src, void* dst, int64_t n) {
    if (n <= 0) return dst;
    movers::assertDisjoint(src, dst, n);
    Cursor c{bytePointer(src), bytePointer(dst), n};
    if (c.n >= 64) {
        c = alignDestination16(c);
        switch (misalignment(c.s, 16)) {
        case 0: c = copyBlocks16(c); break;
        case 8: c = copyBlocks8<false>(c); break;
        case 4:
        case 12: c = copyBlocks4To8(c); break;
        default:
            // One 8-byte move brings the source to an 8-byte boundary.
            storeWord64(c.d, loadWord64(c.s));
            c = copyBlocks8<false>(advance(c, 8 - static_cast<int64_t>(misalignment(c.s, 8))));
            break;
        }
    }
    copySmall(c.s, c.d, c.n);
    return dst;
}

void* copyBytesStreamKernel_sse(const void* src, void* dst, int64_t n) {
    if (n <= 0) return dst;
    movers::assertDisjoint(src, dst, n);
    Cursor c{bytePointer(src), bytePointer(dst), n};
    if (c.n >= 64) {
        c = alignDestination16(c);
        if (misalignment(c.s, 8) != 0) {
            // The 8-byte streaming stores need no alignment; the loads do
            // better on a 16-byte-aligned source.
            move16Unaligned(c.s, c.d);
            c = advance(c, 16 - static_cast<int64_t>(misalignment(c.s, 16)));
        }
        c = copyBlocks8<true>(c);
    }
    copySmall(c.s, c.d, c.n);
    _mm_sfence();
    return dst;
}

void* copyBytesPagedKernel_sse(const void* src, void* dst, int64_t n) {
    if (n <= 0) return dst;
    movers::assertDisjoint(src, dst, n);
    const uint8_t* s = bytePointer(src);
    uint8_t* d = bytePointer(dst);
    for (; n > 0 && misalignment(d, 8) != 0; --n) *d++ = *s++;
    if (n < kPagedMinimum) {
        copyBytesStreamKernel_sse(s, d, n);
        return dst;
    }
    // After this head the source lies just past a page boundary (by its
    // address modulo 8), so each page copy reads one page it has read ahead.
    const auto head = static_cast<int64_t>((kPage - (addressOf(s) & 0xFF8)) & 0xFFF);
    copyBytesStreamKernel_sse(s, d, head);
    s += head;
    d += head;
    n -= head;
    for (; n >= kPage; n -= kPage, s += kPage, d += kPage) {
        prefetchPages_sse(s, kPage);
        copyBytesStreamKernel_sse(s, d, kPage);
    }
    copyBytesStreamKernel_sse(s, d, n);
    return dst;
}

void prefetchPages_sse(const void* address, int64_t n) {
    if (n <= 0) return;
    const auto* p = bytePointer(address);
    for (; n > kPage; n -= kPage, p += kPage) {
        touchBytes(p, p + kPage - 1);
        for (int64_t k = 0; k < kPage; k += 32) _mm_prefetch(reinterpret_cast<const char*>(p + k), _MM_HINT_NTA);
    }
    touchBytes(p, p + n - 1);
    for (int64_t k = 0; k < n; k += 32) _mm_prefetch(reinterpret_cast<const char*>(p + k), _MM_HINT_NTA);
}

namespace {

void* zeroBytesAnySse(void* dst, int64_t n) {
    return n < kZeroStreamFrom ? zeroBytesKernel_sse(dst, n) : zeroBytesStreamKernel_sse(dst, n);
}

void* fillWords32AnySse(uint32_t value, void* dst, int64_t n) {
    return n < kFillStreamFrom ? fillWords32Kernel_sse(value, dst, n) : fillWords32StreamKernel_sse(value, dst, n);
}

void* copyBytesAnySse(const void* src, void* dst, int64_t n) {
    if (n < kCopyStreamFrom) return copyBytesKernel_sse(src, dst, n);
    if (n < kCopyPagedFrom) return copyBytesStreamKernel_sse(src, dst, n);
    return copyBytesPagedKernel_sse(src, dst, n);
}

}  // namespace

PrimitiveStatus zeroBytes_sse(void* dst, int64_t len) { return movers::zeroBytesChecked<zeroBytesAnySse>(dst, len); }

namespace sse {

PrimitiveStatus zaviZero_32f(float* dst, int32_t len) { return movers::zeroFloats<zeroBytesAnySse>(dst, len); }

PrimitiveStatus zaviSet_32f(float val, float* dst, int32_t len) {
    return movers::setFloats<fillWords32AnySse>(val, dst, len);
}

PrimitiveStatus dezoRide_32d(const float* src, float* dst, int32_t len) {
    return movers::copyFloats<copyBytesAnySse>(src, dst, len);
}

PrimitiveStatus zaviCopy_8u(const uint8_t* src, uint8_t* dst, int32_t len) {
    return movers::copyBytes<copyBytesAnySse>(src, dst, len);
}

}  // namespace sse
}  // namespace primitives
