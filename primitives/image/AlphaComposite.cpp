#include "primitives/image/AlphaComposite.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstddef>
#include <cstring>

#include "primitives/image/ImageRegion.h"

namespace primitives {
namespace {

// Notation: A, B a colour byte of the first and second source, a, b their
// alpha bytes, F(x, y) = floor(x * y / 255).
enum class AlphaOp { over, in, out, atop, exclusiveOr, plus };

inline constexpr uint32_t kLastAlphaType = alphaTypePlusPremultiplied;

inline std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// F exactly, for every product of two bytes, without a division.
[[gnu::always_inline]] inline uint32_t divide255(uint32_t x, uint32_t y) {
    const uint32_t t = x * y;
    return (t + (t >> 8) + 1) >> 8;
}

[[gnu::always_inline]] inline uint32_t saturate(uint32_t v) { return v > 255 ? 255 : v; }

// ---- Generic build: one pixel at a time, the table's formulas ----

template <AlphaOp Op, bool Premultiplied>
[[gnu::always_inline]] inline void compositePixel(const uint8_t* p1, const uint8_t* p2, uint8_t* d) {
    const uint32_t a = p1[3], b = p2[3];
    const uint32_t na = 255 - a, nb = 255 - b;
    uint8_t out[4];
    for (int c = 0; c < 3; ++c) {
        // Plain forms premultiply the source colours first.
        const uint32_t A = Premultiplied ? p1[c] : divide255(p1[c], a);
        const uint32_t B = Premultiplied ? p2[c] : divide255(p2[c], b);
        uint32_t colour = 0;
        if constexpr (Op == AlphaOp::over) colour = A + divide255(B, na);
        if constexpr (Op == AlphaOp::in) colour = divide255(A, b);
        if constexpr (Op == AlphaOp::out) colour = divide255(A, nb);
        if constexpr (Op == AlphaOp::atop) colour = divide255(A, b) + divide255(B, na);
        if constexpr (Op == AlphaOp::exclusiveOr) colour = divide255(A, nb) + divide255(B, na);
        if constexpr (Op == AlphaOp::plus) colour = A + B;
        out[c] = static_cast<uint8_t>(saturate(colour));
    }
    uint32_t alpha = 0;
    if constexpr (Op == AlphaOp::over) alpha = a + divide255(b, na);
    if constexpr (Op == AlphaOp::in) alpha = divide255(a, b);
    if constexpr (Op == AlphaOp::out) alpha = divide255(a, nb);
    if constexpr (Op == AlphaOp::atop) alpha = b;
    if constexpr (Op == AlphaOp::exclusiveOr) alpha = divide255(a, nb) + divide255(b, na);
    if constexpr (Op == AlphaOp::plus) alpha = saturate(a + b);
    out[3] = static_cast<uint8_t>(alpha);
    // Both sources are read before the destination is written, so it may be
    // either of them.
    std::memcpy(d, out, 4);
}

template <AlphaOp Op, bool Premultiplied>
[[gnu::always_inline]] inline void rowGeneric(const uint8_t* s1, const uint8_t* s2, uint8_t* d, int32_t n) {
    for (int32_t i = 0; i < n; ++i, s1 += 4, s2 += 4, d += 4) compositePixel<Op, Premultiplied>(s1, s2, d);
}

// ---- SIMD builds: all four channels of a pixel at once in 16-bit lanes ----

// Pixels split into 16-bit lanes: `even` holds channels 0 and 2 of each
// pixel, `odd` channels 1 and 3 (alpha in every second lane). All arithmetic
// stays in this form until the result is merged back into bytes.
struct Lanes {
    __m128i even, odd;
};

[[gnu::always_inline]] inline Lanes split(__m128i pixels) {
    return {_mm_and_si128(pixels, _mm_set1_epi16(0x00FF)), _mm_srli_epi16(pixels, 8)};
}

[[gnu::always_inline]] inline __m128i merge(Lanes v) { return _mm_or_si128(v.even, _mm_slli_epi16(v.odd, 8)); }

// F per lane: x * m fits 16 bits, and floor(t / 255) = (t * 0x8081) >> 23
// for every 16-bit t.
[[gnu::always_inline]] inline __m128i divide255Lanes(__m128i x, __m128i m) {
    return _mm_srli_epi16(_mm_mulhi_epu16(_mm_mullo_epi16(x, m), _mm_set1_epi16(static_cast<int16_t>(0x8081))), 7);
}

// F of every channel by a multiplier per lane: `colour` for channels 0-2 and
// `alpha` for channel 3 (which shares its lane pattern with channel 1).
[[gnu::always_inline]] inline Lanes multiply(Lanes v, __m128i colour, __m128i alpha) {
    return {divide255Lanes(v.even, colour), divide255Lanes(v.odd, alpha)};
}

[[gnu::always_inline]] inline Lanes addSaturated(Lanes a, Lanes b) {
    const __m128i top = _mm_set1_epi16(255);
    return {_mm_min_epi16(_mm_add_epi16(a.even, b.even), top), _mm_min_epi16(_mm_add_epi16(a.odd, b.odd), top)};
}

// A pixel's alpha in both of its 16-bit lanes, from the odd lanes.
[[gnu::always_inline]] inline __m128i alphaLanes(Lanes v) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v.odd, _MM_SHUFFLE(3, 3, 1, 1)), _MM_SHUFFLE(3, 3, 1, 1));
}

// For the odd lanes: multiplier 255 in the alpha lane passes a pixel's alpha
// through (F(x, 255) = x); 0 clears it.
[[gnu::always_inline]] inline __m128i alphaKept(__m128i m) {
    return _mm_or_si128(m, _mm_set1_epi32(0x00FF0000));
}
[[gnu::always_inline]] inline __m128i alphaCleared(__m128i m) { return _mm_and_si128(m, _mm_set1_epi32(0x0000FFFF)); }
[[gnu::always_inline]] inline __m128i complement(__m128i m) { return _mm_xor_si128(m, _mm_set1_epi16(0x00FF)); }

template <AlphaOp Op, bool Premultiplied>
[[gnu::always_inline]] inline __m128i composite(__m128i pixels1, __m128i pixels2) {
    const Lanes p1 = split(pixels1);
    const Lanes p2 = split(pixels2);
    const __m128i a = alphaLanes(p1);
    const __m128i b = alphaLanes(p2);
    // (A, a) and (B, b) in premultiplied form: the plain forms multiply the
    // colours by their own alpha and keep the alpha.
    const auto first = [&] { return Premultiplied ? p1 : multiply(p1, a, alphaKept(a)); };
    const auto second = [&] { return Premultiplied ? p2 : multiply(p2, b, alphaKept(b)); };
    if constexpr (Op == AlphaOp::over) {
        const __m128i na = complement(a);
        return merge(addSaturated(first(), multiply(second(), na, na)));
    }
    if constexpr (Op == AlphaOp::in) return merge(multiply(first(), b, b));
    if constexpr (Op == AlphaOp::out) {
        const __m128i nb = complement(b);
        return merge(multiply(first(), nb, nb));
    }
    if constexpr (Op == AlphaOp::atop) {
        const __m128i na = complement(a);
        return merge(addSaturated(multiply(first(), b, alphaCleared(b)), multiply(second(), na, alphaKept(na))));
    }
    if constexpr (Op == AlphaOp::exclusiveOr) {
        const __m128i na = complement(a);
        const __m128i nb = complement(b);
        return merge(addSaturated(multiply(first(), nb, nb), multiply(second(), na, na)));
    }
    if constexpr (Op == AlphaOp::plus) return merge(addSaturated(first(), second()));
}

template <AlphaOp Op, bool Premultiplied>
[[gnu::always_inline]] inline void compositeOnePixel(const uint8_t* s1, const uint8_t* s2, uint8_t* d) {
    int32_t p1, p2;
    std::memcpy(&p1, s1, 4);
    std::memcpy(&p2, s2, 4);
    const int32_t result = _mm_cvtsi128_si32(composite<Op, Premultiplied>(_mm_cvtsi32_si128(p1), _mm_cvtsi32_si128(p2)));
    std::memcpy(d, &result, 4);
}

// SSE build: pixel pairs in 8 bytes, written with non-temporal stores.
template <AlphaOp Op, bool Premultiplied>
[[gnu::always_inline]] inline void rowSse(const uint8_t* s1, const uint8_t* s2, uint8_t* d, int32_t count) {
    std::size_t n = static_cast<std::size_t>(count);
    if (n != 0 && (address(d) & 7) >= 4) {
        compositeOnePixel<Op, Premultiplied>(s1, s2, d);
        s1 += 4, s2 += 4, d += 4, --n;
    }
    for (; n >= 2; s1 += 8, s2 += 8, d += 8, n -= 2) {
        // Prefetch is a hint and never faults, also past the row's end.
        _mm_prefetch(reinterpret_cast<const char*>(address(s1) + 64), _MM_HINT_NTA);
        _mm_prefetch(reinterpret_cast<const char*>(address(s2) + 64), _MM_HINT_NTA);
        const __m128i p1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s1));
        const __m128i p2 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s2));
        _mm_stream_si64(reinterpret_cast<long long*>(d), _mm_cvtsi128_si64(composite<Op, Premultiplied>(p1, p2)));
    }
    _mm_sfence();
    if (n != 0) compositeOnePixel<Op, Premultiplied>(s1, s2, d);
}

template <bool AlignedLoads, bool AlignedStores, AlphaOp Op, bool Premultiplied>
[[gnu::always_inline]] inline void compositeGroupsOfFour(const uint8_t*& s1, const uint8_t*& s2, uint8_t*& d,
                                                         std::size_t& n) {
    for (; n >= 4; s1 += 16, s2 += 16, d += 16, n -= 4) {
        const __m128i p1 = AlignedLoads ? _mm_load_si128(reinterpret_cast<const __m128i*>(s1))
                                        : _mm_loadu_si128(reinterpret_cast<const __m128i*>(s1));
        const __m128i p2 = AlignedLoads ? _mm_load_si128(reinterpret_cast<const __m128i*>(s2))
                                        : _mm_loadu_si128(reinterpret_cast<const __m128i*>(s2));
        const __m128i result = composite<Op, Premultiplied>(p1, p2);
        if constexpr (AlignedStores) {
            _mm_store_si128(reinterpret_cast<__m128i*>(d), result);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), result);
        }
    }
}

// SSE2 and SSE3-class builds: groups of four pixels, stores aligned whenever
// the destination holds whole pixels.
template <AlphaOp Op, bool Premultiplied>
[[gnu::always_inline]] inline void rowSse2Class(const uint8_t* s1, const uint8_t* s2, uint8_t* d, int32_t count) {
    std::size_t n = static_cast<std::size_t>(count);
    if ((address(d) & 3) != 0) {
        compositeGroupsOfFour<false, false, Op, Premultiplied>(s1, s2, d, n);
    } else {
        for (; n != 0 && (address(d) & 15) != 0; s1 += 4, s2 += 4, d += 4, --n) {
            compositeOnePixel<Op, Premultiplied>(s1, s2, d);
        }
        if (((address(s1) | address(s2)) & 15) == 0) {
            compositeGroupsOfFour<true, true, Op, Premultiplied>(s1, s2, d, n);
        } else {
            compositeGroupsOfFour<false, true, Op, Premultiplied>(s1, s2, d, n);
        }
    }
    for (; n != 0; s1 += 4, s2 += 4, d += 4, --n) compositeOnePixel<Op, Premultiplied>(s1, s2, d);
}

PrimitiveStatus compositeRegion(const uint8_t* src1, int32_t src1Step, const uint8_t* src2, int32_t src2Step,
                                uint8_t* dst, int32_t dstStep, ImageSize size, AlphaType type,
                                AlphaRowKernel* const (&kernels)[6]) {
    if (src1 == nullptr || src2 == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (!regionSizeValid(size)) return primitiveStatusBadSize;
    if (src1Step <= 0 || src2Step <= 0 || dstStep <= 0) return primitiveStatusBadRowStep;
    if (type > kLastAlphaType) return primitiveStatusBadCompositingOperation;
    AlphaRowKernel* const kernel = kernels[type % 6];
    const int32_t premultiplied = type >= 6 ? 1 : 0;
    for (int32_t y = 0; y < size.height; ++y) {
        kernel(rowAt(src1, src1Step, y), rowAt(src2, src2Step, y), rowAt(dst, dstStep, y), size.width, premultiplied);
    }
    return primitiveStatusOk;
}

}  // namespace

// The premultiplied flag is tested once per row, the operation not at all.
#define VELKARN_ALPHA_ROW_KERNEL(name, op, suffix, row, attributes)                                         \
    attributes void name##_##suffix(const uint8_t* s1, const uint8_t* s2, uint8_t* d, int32_t n,           \
                                    int32_t premultiplied) {                                               \
        if (premultiplied != 0) {                                                                          \
            row<AlphaOp::op, true>(s1, s2, d, n);                                                          \
        } else {                                                                                           \
            row<AlphaOp::op, false>(s1, s2, d, n);                                                         \
        }                                                                                                  \
    }
#define VELKARN_ALPHA_ROW_KERNELS(suffix, row, attributes)                          \
    VELKARN_ALPHA_ROW_KERNEL(alphaOverRow, over, suffix, row, attributes)           \
    VELKARN_ALPHA_ROW_KERNEL(alphaInRow, in, suffix, row, attributes)               \
    VELKARN_ALPHA_ROW_KERNEL(alphaOutRow, out, suffix, row, attributes)             \
    VELKARN_ALPHA_ROW_KERNEL(alphaAtopRow, atop, suffix, row, attributes)           \
    VELKARN_ALPHA_ROW_KERNEL(alphaXorRow, exclusiveOr, suffix, row, attributes)     \
    VELKARN_ALPHA_ROW_KERNEL(alphaPlusRow, plus, suffix, row, attributes)

VELKARN_ALPHA_ROW_KERNELS(generic, rowGeneric, )
VELKARN_ALPHA_ROW_KERNELS(sse, rowSse, )
VELKARN_ALPHA_ROW_KERNELS(sse2, rowSse2Class, )
VELKARN_ALPHA_ROW_KERNELS(sse3, rowSse2Class, __attribute__((target("sse3"))))

#undef VELKARN_ALPHA_ROW_KERNELS
#undef VELKARN_ALPHA_ROW_KERNEL

#define VELKARN_ALPHA_COMP_BODY(suffix, attributes)                                                                 \
    namespace suffix {                                                                                              \
    attributes PrimitiveStatus duroAlphaComp_8u_AC4R(const uint8_t* src1, int32_t src1Step, const uint8_t* src2,    \
                                                     int32_t src2Step, uint8_t* dst, int32_t dstStep,               \
                                                     ImageSize size, AlphaType type) {                              \
        static constexpr AlphaRowKernel* kKernels[6] = {alphaOverRow_##suffix, alphaInRow_##suffix,                 \
                                                        alphaOutRow_##suffix,  alphaAtopRow_##suffix,               \
                                                        alphaXorRow_##suffix,  alphaPlusRow_##suffix};              \
        return compositeRegion(src1, src1Step, src2, src2Step, dst, dstStep, size, type, kKernels);                 \
    }                                                                                                               \
    }

VELKARN_ALPHA_COMP_BODY(generic, )
VELKARN_ALPHA_COMP_BODY(sse, )
VELKARN_ALPHA_COMP_BODY(sse2, )
VELKARN_ALPHA_COMP_BODY(sse3, __attribute__((target("sse3"))))

#undef VELKARN_ALPHA_COMP_BODY

}  // namespace primitives
