#include "primitives/image/ImageCopyFill.h"

#include <emmintrin.h>

#include <bit>
#include <cstddef>
#include <cstring>

#include "primitives/image/ImageRegion.h"

namespace primitives {
namespace {

template <typename T>
T load(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <typename T>
void store(uint8_t* p, T value) {
    std::memcpy(p, &value, sizeof value);
}

// movnti: a non-temporal 8-byte store; any address will do.
inline void streamStore8(uint8_t* p, uint64_t value) {
    _mm_stream_si64(reinterpret_cast<long long*>(p), static_cast<long long>(value));
}

inline std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

PrimitiveStatus checkCopy(const uint8_t* src, int32_t srcStep, const uint8_t* dst, int32_t dstStep, ImageSize size) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (!regionSizeValid(size)) return primitiveStatusBadSize;
    if (srcStep <= 0 || dstStep <= 0) return primitiveStatusBadRowStep;
    return primitiveStatusOk;
}

PrimitiveStatus checkFill(const uint8_t* value, const uint8_t* dst, int32_t dstStep, ImageSize size) {
    if (value == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (!regionSizeValid(size)) return primitiveStatusBadSize;
    if (dstStep <= 0) return primitiveStatusBadRowStep;
    return primitiveStatusOk;
}

// The SIMD builds copy a region whose rows are contiguous in both images as
// one block, so that alignment and tail are handled once; otherwise row by
// row.
template <typename RowCopy>
void copyRegion(const uint8_t* src, int32_t srcStep, uint8_t* dst, int32_t dstStep, ImageSize size,
                RowCopy copyRow) {
    const int64_t rowBytes = kPixelBytes * size.width;
    if (srcStep == rowBytes && dstStep == rowBytes) {
        copyRow(src, dst, static_cast<int32_t>(regionBytes(size)));
        return;
    }
    for (int32_t y = 0; y < size.height; ++y) {
        copyRow(rowAt(src, srcStep, y), rowAt(dst, dstStep, y), static_cast<int32_t>(rowBytes));
    }
}

// Channels 0-2 of every pixel, byte by byte; the alpha byte is never touched.
// The same in every build.
PrimitiveStatus setColourChannels(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size) {
    const PrimitiveStatus status = checkFill(value, dst, dstStep, size);
    if (status != primitiveStatusOk) return status;
    const uint8_t c0 = value[0], c1 = value[1], c2 = value[2];
    for (int32_t y = 0; y < size.height; ++y) {
        uint8_t* pixel = rowAt(dst, dstStep, y);
        for (int32_t x = 0; x < size.width; ++x, pixel += kPixelBytes) {
            pixel[0] = c0;
            pixel[1] = c1;
            pixel[2] = c2;
        }
    }
    return primitiveStatusOk;
}

// ---- SSE2-class kernels (one routine for the SSE2 and SSE3-class builds) ----

// The last bytes of a copy, fewer than 64.
[[gnu::always_inline]] inline void copyTail(const uint8_t* s, uint8_t* d, std::size_t n) {
    for (; n >= 8; s += 8, d += 8, n -= 8) store(d, load<uint64_t>(s));
    if (n >= 4) {
        store(d, load<uint32_t>(s));
        s += 4, d += 4, n -= 4;
    }
    if (n >= 2) {
        store(d, load<uint16_t>(s));
        s += 2, d += 2, n -= 2;
    }
    if (n != 0) *d = *s;
}

// How the block loops read the source: whole aligned 16 bytes, or in pieces
// that never straddle the source's own alignment.
enum class SourceReads { aligned16, pieces8, pieces4 };

template <SourceReads Reads>
[[gnu::always_inline]] inline __m128i loadSource(const uint8_t* s) {
    if constexpr (Reads == SourceReads::aligned16) {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(s));
    } else if constexpr (Reads == SourceReads::pieces8) {
        return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s)),
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + 8)));
    } else {
        return _mm_setr_epi32(load<int32_t>(s), load<int32_t>(s + 4), load<int32_t>(s + 8), load<int32_t>(s + 12));
    }
}

// 64-byte blocks to a 16-byte-aligned destination while 64 bytes remain.
template <SourceReads Reads, bool NonTemporal>
[[gnu::always_inline]] inline void copyBlocks(const uint8_t*& s, uint8_t*& d, std::size_t& n) {
    for (; n >= 64; s += 64, d += 64, n -= 64) {
        for (int i = 0; i < 64; i += 16) {
            auto* target = reinterpret_cast<__m128i*>(d + i);
            if constexpr (NonTemporal) {
                _mm_stream_si128(target, loadSource<Reads>(s + i));
            } else {
                _mm_store_si128(target, loadSource<Reads>(s + i));
            }
        }
    }
    if constexpr (NonTemporal) _mm_sfence();
}

[[gnu::always_inline]] inline void copyRowSse2Class(const uint8_t* s, uint8_t* d, int32_t count, bool nonTemporal) {
    std::size_t n = static_cast<std::size_t>(count);
    if (n >= 64) {
        if (const std::size_t misalign = address(d) & 15; misalign != 0) {
            // One unaligned 16-byte move; bytes k..15 are written again below.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)));
            const std::size_t k = 16 - misalign;
            s += k, d += k, n -= k;
        }
        if (n >= 64) {
            // Non-temporal stores that land 16 to 320 bytes (mod 64 KiB) behind
            // the loads would alias them in the store buffer; such copies take
            // ordinary stores.
            const uint32_t distance = static_cast<uint32_t>(address(s) - address(d)) & 0xFFFF;
            const bool storesJustBehindLoads = distance >= 0xFEC0 && distance <= 0xFFF0;
            if (nonTemporal && !storesJustBehindLoads) {
                copyBlocks<SourceReads::pieces8, true>(s, d, n);
            } else if ((address(s) & 3) != 0 || (address(s) & 15) == 8) {
                copyBlocks<SourceReads::pieces8, false>(s, d, n);
            } else if ((address(s) & 15) == 0) {
                copyBlocks<SourceReads::aligned16, false>(s, d, n);
            } else {
                copyBlocks<SourceReads::pieces4, false>(s, d, n);
            }
        }
    }
    copyTail(s, d, n);
}

[[gnu::always_inline]] inline void fillRowPatternSse2Class(const uint8_t* pattern, uint8_t* d, int32_t count,
                                                           bool nonTemporal) {
    std::size_t n = static_cast<std::size_t>(count);
    const uint8_t* p = pattern;
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (n >= 64) {
        if (const std::size_t misalign = address(d) & 15; misalign != 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), bytes);
            // Moving the pattern by as much as the destination keeps each
            // byte in its channel.
            const std::size_t k = 16 - misalign;
            d += k, p += k, n -= k;
            bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        }
        if (nonTemporal) {
            for (; n >= 64; d += 64, n -= 64) {
                for (int i = 0; i < 64; i += 16) _mm_stream_si128(reinterpret_cast<__m128i*>(d + i), bytes);
            }
            _mm_sfence();
        } else {
            for (; n >= 64; d += 64, n -= 64) {
                for (int i = 0; i < 64; i += 16) _mm_store_si128(reinterpret_cast<__m128i*>(d + i), bytes);
            }
        }
    }
    // Up to three 16-byte stores leave at most 16 bytes; those get whole
    // pixels placed back from the row's end, which is pixel-aligned, so the
    // first of them may rewrite bytes already holding the same values.
    if (n >= 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), bytes);
        d += 16, n -= 16;
    }
    for (int extra = 0; extra < 2 && n > 16; ++extra) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), bytes);
        d += 16, n -= 16;
    }
    const uint32_t pixel = load<uint32_t>(pattern);
    uint8_t* back = d + n;
    for (std::ptrdiff_t left = static_cast<std::ptrdiff_t>(n); left > 0; left -= 4) {
        back -= 4;
        store(back, pixel);
    }
}

template <typename RowFill>
PrimitiveStatus setPixelsSse2Class(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size,
                                   RowFill fillRow) {
    const PrimitiveStatus status = checkFill(value, dst, dstStep, size);
    if (status != primitiveStatusOk) return status;
    alignas(16) uint8_t pattern[32];
    for (int i = 0; i < 32; i += 4) std::memcpy(pattern + i, value, 4);
    const bool nonTemporal = regionBytes(size) > kFillNonTemporalBytes;
    const auto rowBytes = static_cast<int32_t>(kPixelBytes * size.width);
    for (int32_t y = 0; y < size.height; ++y) fillRow(pattern, rowAt(dst, dstStep, y), rowBytes, nonTemporal);
    return primitiveStatusOk;
}

template <typename RowCopy>
PrimitiveStatus copySse2Class(const uint8_t* src, int32_t srcStep, uint8_t* dst, int32_t dstStep, ImageSize size,
                              RowCopy copyRow) {
    const PrimitiveStatus status = checkCopy(src, srcStep, dst, dstStep, size);
    if (status != primitiveStatusOk) return status;
    const bool nonTemporal = regionBytes(size) > kCopyNonTemporalBytes;
    copyRegion(src, srcStep, dst, dstStep, size,
               [&](const uint8_t* s, uint8_t* d, int32_t n) { copyRow(s, d, n, nonTemporal); });
    return primitiveStatusOk;
}

}  // namespace

// ---- SSE build kernels: 8-byte moves, always non-temporal ----

void copyRowKernel_sse(const uint8_t* s, uint8_t* d, int32_t count) {
    std::size_t n = static_cast<std::size_t>(count);
    if (n < 8) {
        for (; n != 0; --n) *d++ = *s++;
        _mm_sfence();
        return;
    }
    if (const std::size_t misalign = address(d) & 7; misalign != 0) {
        store(d, load<uint64_t>(s));
        const std::size_t k = 8 - misalign;
        s += k, d += k, n -= k;
    }
    for (; n >= 64; s += 64, d += 64, n -= 64) {
        for (int i = 0; i < 64; i += 8) streamStore8(d + i, load<uint64_t>(s + i));
    }
    for (std::size_t piece = 32; piece >= 8; piece /= 2) {
        if (n < piece) continue;
        for (std::size_t i = 0; i < piece; i += 8) streamStore8(d + i, load<uint64_t>(s + i));
        s += piece, d += piece, n -= piece;
    }
    if (n >= 4) {
        store(d, load<uint32_t>(s));
        s += 4, d += 4, n -= 4;
    }
    for (; n != 0; --n) *d++ = *s++;
    _mm_sfence();
}

void fillRowPixels32_sse(uint32_t value, uint8_t* d, int32_t pixels) {
    std::size_t n = kPixelBytes * static_cast<std::size_t>(pixels);
    uint64_t pattern = value | (uint64_t{value} << 32);
    if (const std::size_t misalign = address(d) & 3; misalign != 0) {
        if (n == 0) return;
        // First and last pixel by plain stores; the aligned run below then
        // stops inside the last pixel, which already holds the value.
        store(d, value);
        store(d + n - 4, value);
        if (n == 4) return;
        const std::size_t k = 4 - misalign;
        d += k, n -= 4;
        pattern = std::rotr(pattern, static_cast<int>(8 * k));
    }
    if (n >= 8) {
        if ((address(d) & 7) != 0) {
            store(d, pattern);
            d += 4, n -= 4;  // the pattern repeats every 4 bytes
        }
        for (; n >= 64; d += 64, n -= 64) {
            for (int i = 0; i < 64; i += 8) streamStore8(d + i, pattern);
        }
    }
    for (std::size_t piece = 32; piece >= 8; piece /= 2) {
        if (n < piece) continue;
        for (std::size_t i = 0; i < piece; i += 8) streamStore8(d + i, pattern);
        d += piece, n -= piece;
    }
    if (n >= 4) store(d, static_cast<uint32_t>(pattern));
    _mm_sfence();
}

void copyRowKernel_sse2(const uint8_t* src, uint8_t* dst, int32_t n, bool nonTemporal) {
    copyRowSse2Class(src, dst, n, nonTemporal);
}

__attribute__((target("sse3"))) void copyRowKernel_sse3(const uint8_t* src, uint8_t* dst, int32_t n,
                                                        bool nonTemporal) {
    copyRowSse2Class(src, dst, n, nonTemporal);
}

void fillRowPattern16_sse2(const uint8_t* pattern, uint8_t* dst, int32_t n, bool nonTemporal) {
    fillRowPatternSse2Class(pattern, dst, n, nonTemporal);
}

__attribute__((target("sse3"))) void fillRowPattern16_sse3(const uint8_t* pattern, uint8_t* dst, int32_t n,
                                                           bool nonTemporal) {
    fillRowPatternSse2Class(pattern, dst, n, nonTemporal);
}

// ---- Entry bodies ----

namespace generic {

PrimitiveStatus duroCopy_8u_C4R(const uint8_t* src, int32_t srcStep, uint8_t* dst, int32_t dstStep, ImageSize size) {
    const PrimitiveStatus status = checkCopy(src, srcStep, dst, dstStep, size);
    if (status != primitiveStatusOk) return status;
    for (int32_t y = 0; y < size.height; ++y) {
        const uint8_t* s = rowAt(src, srcStep, y);
        uint8_t* d = rowAt(dst, dstStep, y);
        for (int32_t x = 0; x < size.width; ++x) store(d + kPixelBytes * x, load<uint32_t>(s + kPixelBytes * x));
    }
    return primitiveStatusOk;
}

PrimitiveStatus duroSet_8u_C4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size) {
    const PrimitiveStatus status = checkFill(value, dst, dstStep, size);
    if (status != primitiveStatusOk) return status;
    const uint8_t c0 = value[0], c1 = value[1], c2 = value[2], c3 = value[3];
    for (int32_t y = 0; y < size.height; ++y) {
        uint8_t* pixel = rowAt(dst, dstStep, y);
        for (int32_t x = 0; x < size.width; ++x, pixel += kPixelBytes) {
            pixel[0] = c0;
            pixel[1] = c1;
            pixel[2] = c2;
            pixel[3] = c3;
        }
    }
    return primitiveStatusOk;
}

PrimitiveStatus duroSet_8u_AC4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size) {
    return setColourChannels(value, dst, dstStep, size);
}

}  // namespace generic

namespace sse {

PrimitiveStatus duroCopy_8u_C4R(const uint8_t* src, int32_t srcStep, uint8_t* dst, int32_t dstStep, ImageSize size) {
    const PrimitiveStatus status = checkCopy(src, srcStep, dst, dstStep, size);
    if (status != primitiveStatusOk) return status;
    copyRegion(src, srcStep, dst, dstStep, size, copyRowKernel_sse);
    return primitiveStatusOk;
}

PrimitiveStatus duroSet_8u_C4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size) {
    const PrimitiveStatus status = checkFill(value, dst, dstStep, size);
    if (status != primitiveStatusOk) return status;
    const uint32_t word = load<uint32_t>(value);  // byte 0 lowest
    for (int32_t y = 0; y < size.height; ++y) fillRowPixels32_sse(word, rowAt(dst, dstStep, y), size.width);
    return primitiveStatusOk;
}

PrimitiveStatus duroSet_8u_AC4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size) {
    return setColourChannels(value, dst, dstStep, size);
}

}  // namespace sse

namespace sse2 {

PrimitiveStatus duroCopy_8u_C4R(const uint8_t* src, int32_t srcStep, uint8_t* dst, int32_t dstStep, ImageSize size) {
    return copySse2Class(src, srcStep, dst, dstStep, size, copyRowKernel_sse2);
}

PrimitiveStatus duroSet_8u_C4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size) {
    return setPixelsSse2Class(value, dst, dstStep, size, fillRowPattern16_sse2);
}

PrimitiveStatus duroSet_8u_AC4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size) {
    return setColourChannels(value, dst, dstStep, size);
}

}  // namespace sse2

namespace sse3 {

__attribute__((target("sse3"))) PrimitiveStatus duroCopy_8u_C4R(const uint8_t* src, int32_t srcStep, uint8_t* dst,
                                                                int32_t dstStep, ImageSize size) {
    return copySse2Class(src, srcStep, dst, dstStep, size, copyRowKernel_sse3);
}

__attribute__((target("sse3"))) PrimitiveStatus duroSet_8u_C4R(const uint8_t* value, uint8_t* dst, int32_t dstStep,
                                                               ImageSize size) {
    return setPixelsSse2Class(value, dst, dstStep, size, fillRowPattern16_sse3);
}

__attribute__((target("sse3"))) PrimitiveStatus duroSet_8u_AC4R(const uint8_t* value, uint8_t* dst, int32_t dstStep,
                                                                ImageSize size) {
    return setColourChannels(value, dst, dstStep, size);
}

}  // namespace sse3
}  // namespace primitives
