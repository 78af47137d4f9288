// zaviAbs_32f, zaviSqr_32f, zaviFlip_32f_I and zaviThreshold_LT_32f_I in the
// SSE, SSE2 and SSE3-class builds. Abs clears sign bits, Flip moves 32-bit
// patterns and Threshold takes max(element, level), which yields the level
// for equal and unordered pairs; all three give the generic build's bits.
#include <immintrin.h>

#include <type_traits>

#include "primitives/core/BuildSupport.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

inline bool aligned(const void* p, std::uintptr_t alignment) { return addressOf(p) % alignment == 0; }

template <bool kAligned>
inline __m128 load4(const float* p) {
    if constexpr (kAligned) {
        return _mm_load_ps(p);
    } else {
        return _mm_loadu_ps(p);
    }
}

enum class Source { aligned, unaligned, lddqu };

template <Source kSource>
inline __m128 loadSource(const float* p) {
    if constexpr (kSource == Source::aligned) {
        return _mm_load_ps(p);
    } else if constexpr (kSource == Source::unaligned) {
        return _mm_loadu_ps(p);
    } else {
        return _mm_castsi128_ps(loadLddqu(p));
    }
}

template <bool kAligned>
inline void store4(float* p, __m128 v) {
    if constexpr (kAligned) {
        _mm_store_ps(p, v);
    } else {
        _mm_storeu_ps(p, v);
    }
}

// ---- a map from src to dst, the scheme of the SSE2-class abs and square ----

struct AbsOp {
    static __m128 vector(__m128 x) { return _mm_and_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))); }
    static void scalar(const float* s, float* d) { storeWord32(d, loadWord32(s) & 0x7FFFFFFFu); }
};

struct SqrOp {
    static __m128 vector(__m128 x) { return _mm_mul_ps(x, x); }
    static void scalar(const float* s, float* d) {
        const float x = loadFloat(s);
        storeFloat(d, x * x);
    }
};

// The block loops work on local copies of the position: their vector stores
// may alias anything and would force a reload of it after every store.
template <typename Op, int kStep, Source kSource, bool kAlignedStores>
void mapBlocks(const float*& sRef, float*& dRef, int64_t& nRef) {
    const float* s = sRef;
    float* d = dRef;
    int64_t n = nRef;
    for (; n >= kStep; n -= kStep, s += kStep, d += kStep) {
        for (int k = 0; k < kStep; k += 4) store4<kAlignedStores>(d + k, Op::vector(loadSource<kSource>(s + k)));
    }
    sRef = s;
    dRef = d;
    nRef = n;
}

// Single elements until dst reaches a 16-byte boundary, then kStep elements
// per step (aligned stores; unaligned stores for a dst off 4-byte
// alignment), then groups of 4, 2 and 1. `sse3` picks the SSE3 unaligned
// load for a misaligned source.
template <typename Op, int kStep, bool kSse3>
void mapSse2Class(const float* s, float* d, int64_t n) {
    if (!aligned(d, 4)) {
        mapBlocks<Op, kStep, Source::unaligned, false>(s, d, n);
    } else {
        for (; n > 0 && !aligned(d, 16); --n) Op::scalar(s++, d++);
        if (aligned(s, 16)) {
            mapBlocks<Op, kStep, Source::aligned, true>(s, d, n);
        } else if (kSse3 && (!std::is_same_v<Op, SqrOp> || !aligned(s, 8))) {
            mapBlocks<Op, kStep, Source::lddqu, true>(s, d, n);
        } else {
            mapBlocks<Op, kStep, Source::unaligned, true>(s, d, n);
        }
    }
    mapBlocks<Op, 4, Source::unaligned, false>(s, d, n);
    for (; n > 0; --n) Op::scalar(s++, d++);
}

// ---- flip ----

inline void swapWords(float* a, float* b) {
    const uint32_t x = loadWord32(a);
    storeWord32(a, loadWord32(b));
    storeWord32(b, x);
}

// Swaps elements i and j (inclusive ends) pairwise, four pairs per step.
void swapPairs(float* p, int64_t i, int64_t j) {
    for (; j - i >= 7; i += 4, j -= 4) {
        for (int k = 0; k < 4; ++k) swapWords(p + i + k, p + j - k);
    }
    for (; i < j; ++i, --j) swapWords(p + i, p + j);
}

// Exchanges the element pairs at p + i and p + j - 2 (end exclusive), each
// reversed: one 64-bit word from each end, its halves swapped.
inline void swapDoubles(float* p, int64_t i, int64_t j) {
    const uint64_t front = loadWord64(p + i);
    const uint64_t back = loadWord64(p + j - 2);
    storeWord64(p + i, (back >> 32) | (back << 32));
    storeWord64(p + j - 2, (front >> 32) | (front << 32));
}

inline __m128 reversed(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }

void flipSse2Class(float* p, int64_t n) {
    if (n % 2 != 0 || !aligned(p, 4) || n < 16) {
        swapPairs(p, 0, n - 1);
        return;
    }
    int64_t i = 0;
    int64_t j = n;  // exclusive
    if (!aligned(p + i, 8)) {
        swapWords(p + i, p + j - 1);
        ++i;
        --j;
    }
    if (!aligned(p + i, 16)) {
        swapDoubles(p, i, j);
        i += 2;
        j -= 2;
    }
    if (aligned(p + j, 16)) {
        for (; j - i >= 8; i += 4, j -= 4) {
            const __m128 front = _mm_load_ps(p + i);
            const __m128 back = _mm_load_ps(p + j - 4);
            _mm_store_ps(p + i, reversed(back));
            _mm_store_ps(p + j - 4, reversed(front));
        }
    }
    for (; j - i >= 4; i += 2, j -= 2) swapDoubles(p, i, j);
    swapPairs(p, i, j - 1);
}

void flipKernel_sse(float* p, int64_t n) {
    if (n % 2 != 0) {
        swapPairs(p, 0, n - 1);
        return;
    }
    int64_t i = 0;
    int64_t j = n;
    if (!aligned(p, 8)) {
        swapWords(p + i, p + j - 1);
        ++i;
        --j;
    }
    for (; j - i >= 4; i += 2, j -= 2) swapDoubles(p, i, j);
    swapPairs(p, i, j - 1);
}

// ---- threshold ----

inline void thresholdOne(float* p, float level) {
    if (!(loadFloat(p) > level)) storeFloat(p, level);
}

template <bool kAligned>
void thresholdBlocks(float*& pRef, int64_t& nRef, __m128 level, int step, bool prefetch) {
    float* p = pRef;
    int64_t n = nRef;
    for (; n >= step; n -= step, p += step) {
        if (prefetch) _mm_prefetch(reinterpret_cast<const char*>(p + 16), _MM_HINT_T0);
        for (int k = 0; k < step; k += 4) store4<kAligned>(p + k, _mm_max_ps(load4<kAligned>(p + k), level));
    }
    pRef = p;
    nRef = n;
}

void thresholdSse2Class(float* p, int64_t n, float level) {
    const __m128 levels = _mm_set1_ps(level);
    if (aligned(p, 4)) {
        for (; n > 0 && !aligned(p, 16); --n) thresholdOne(p++, level);
        thresholdBlocks<true>(p, n, levels, 8, false);
    } else {
        thresholdBlocks<false>(p, n, levels, 8, false);
    }
    thresholdBlocks<false>(p, n, levels, 4, false);
    for (; n > 0; --n) thresholdOne(p++, level);
}

void thresholdKernel_sse(float* p, int64_t n, float level) {
    const __m128 levels = _mm_set1_ps(level);
    if (aligned(p, 4)) {
        for (; n > 0 && !aligned(p, 32); --n) thresholdOne(p++, level);
        thresholdBlocks<true>(p, n, levels, 8, true);
    } else {
        thresholdBlocks<false>(p, n, levels, 8, false);
    }
    for (; n > 0; --n) thresholdOne(p++, level);
}

// ---- the SSE build's abs and square ----

// Sign bits cleared with 64-bit masks: one element first for a source off
// 8-byte alignment, then 8 elements (four words) per step.
void absSse(const float* s, float* d, int64_t n) {
    constexpr uint64_t kMask = 0x7FFFFFFF7FFFFFFFull;
    if (n > 0 && !aligned(s, 8)) {
        AbsOp::scalar(s++, d++);
        --n;
    }
    for (; n >= 8; n -= 8, s += 8, d += 8) {
        for (int k = 0; k < 8; k += 2) storeWord64(d + k, loadWord64(s + k) & kMask);
    }
    for (; n > 0; --n) AbsOp::scalar(s++, d++);
}

// Four source elements starting `offset` floats past the 16-byte boundary
// `base`, put together from the two aligned blocks a and b.
template <int kOffset>
inline __m128 realign(__m128 a, __m128 b) {
    if constexpr (kOffset == 1) {
        const __m128 t = _mm_move_ss(a, b);                   // b0 a1 a2 a3
        return _mm_shuffle_ps(t, t, _MM_SHUFFLE(0, 3, 2, 1));  // a1 a2 a3 b0
    } else if constexpr (kOffset == 2) {
        return _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 3, 2));  // a2 a3 b0 b1
    } else {
        const __m128 t = _mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 3, 3));  // a3 a3 b0 b0
        return _mm_shuffle_ps(t, b, _MM_SHUFFLE(2, 1, 2, 0));           // a3 b0 b1 b2
    }
}

// 8 squares per step to a 16-byte-aligned dst with non-temporal stores,
// reading only aligned source blocks; the loop stops while the next aligned
// block still lies inside the source.
template <int kOffset>
void sqrRealigned(const float*& sRef, float*& dRef, int64_t& nRef) {
    const float* s = sRef;
    float* d = dRef;
    int64_t n = nRef;
    const float* base = s - kOffset;
    __m128 a = _mm_load_ps(base);
    for (; n >= 12; n -= 8, s += 8, d += 8, base += 8) {
        _mm_prefetch(reinterpret_cast<const char*>(base + 24), _MM_HINT_NTA);
        const __m128 b = _mm_load_ps(base + 4);
        const __m128 c = _mm_load_ps(base + 8);
        const __m128 x0 = realign<kOffset>(a, b);
        const __m128 x1 = realign<kOffset>(b, c);
        _mm_stream_ps(d, _mm_mul_ps(x0, x0));
        _mm_stream_ps(d + 4, _mm_mul_ps(x1, x1));
        a = c;
    }
    sRef = s;
    dRef = d;
    nRef = n;
}

void sqrKernel_sse(const float* s, float* d, int64_t n) {
    if (aligned(s, 4) && aligned(d, 4)) {
        if (n > 0 && !aligned(d, 8)) {
            SqrOp::scalar(s++, d++);
            --n;
        }
        if (n >= 2 && !aligned(d, 16)) {
            SqrOp::scalar(s++, d++);
            SqrOp::scalar(s++, d++);
            n -= 2;
        }
        if (n >= 8) {
            switch (addressOf(s) % 16) {
            case 0:
                for (; n >= 8; n -= 8, s += 8, d += 8) {
                    _mm_prefetch(reinterpret_cast<const char*>(s + 24), _MM_HINT_NTA);
                    const __m128 x0 = _mm_load_ps(s);
                    const __m128 x1 = _mm_load_ps(s + 4);
                    _mm_stream_ps(d, _mm_mul_ps(x0, x0));
                    _mm_stream_ps(d + 4, _mm_mul_ps(x1, x1));
                }
                break;
            case 4: sqrRealigned<1>(s, d, n); break;
            case 8: sqrRealigned<2>(s, d, n); break;
            default: sqrRealigned<3>(s, d, n); break;
            }
            _mm_sfence();
        }
    }
    for (; n > 0; --n) SqrOp::scalar(s++, d++);
}

template <typename Body>
PrimitiveStatus mapEntry(const float* src, float* dst, int32_t len, Body body) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    body(src, dst, int64_t{len});
    return primitiveStatusOk;
}

template <typename Body>
PrimitiveStatus inPlaceEntry(float* srcDst, int32_t len, Body body) {
    if (srcDst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    body(srcDst, int64_t{len});
    return primitiveStatusOk;
}

// The named kernels of the SSE2-class builds.
void absKernel_sse2(const float* s, float* d, int64_t n) { mapSse2Class<AbsOp, 16, false>(s, d, n); }
PRIMITIVES_SSE3_TARGET void absKernel_sse3(const float* s, float* d, int64_t n) { mapSse2Class<AbsOp, 16, true>(s, d, n); }
void sqrKernel_sse2(const float* s, float* d, int64_t n) { mapSse2Class<SqrOp, 8, false>(s, d, n); }
PRIMITIVES_SSE3_TARGET void sqrKernel_sse3(const float* s, float* d, int64_t n) { mapSse2Class<SqrOp, 8, true>(s, d, n); }
void flipKernel_sse2(float* p, int64_t n) { flipSse2Class(p, n); }
PRIMITIVES_SSE3_TARGET void flipKernel_sse3(float* p, int64_t n) { flipSse2Class(p, n); }
void thresholdKernel_sse2(float* p, int64_t n, float level) { thresholdSse2Class(p, n, level); }
PRIMITIVES_SSE3_TARGET void thresholdKernel_sse3(float* p, int64_t n, float level) { thresholdSse2Class(p, n, level); }

}  // namespace

namespace sse {
PrimitiveStatus zaviAbs_32f(const float* src, float* dst, int32_t len) { return mapEntry(src, dst, len, absSse); }
PrimitiveStatus zaviSqr_32f(const float* src, float* dst, int32_t len) { return mapEntry(src, dst, len, sqrKernel_sse); }
PrimitiveStatus zaviFlip_32f_I(float* srcDst, int32_t len) { return inPlaceEntry(srcDst, len, flipKernel_sse); }
PrimitiveStatus zaviThreshold_LT_32f_I(float* srcDst, int32_t len, float level) {
    return inPlaceEntry(srcDst, len, [level](float* p, int64_t n) { thresholdKernel_sse(p, n, level); });
}
}  // namespace sse

namespace sse2 {
PrimitiveStatus zaviAbs_32f(const float* src, float* dst, int32_t len) { return mapEntry(src, dst, len, absKernel_sse2); }
PrimitiveStatus zaviSqr_32f(const float* src, float* dst, int32_t len) { return mapEntry(src, dst, len, sqrKernel_sse2); }
PrimitiveStatus zaviFlip_32f_I(float* srcDst, int32_t len) { return inPlaceEntry(srcDst, len, flipKernel_sse2); }
PrimitiveStatus zaviThreshold_LT_32f_I(float* srcDst, int32_t len, float level) {
    return inPlaceEntry(srcDst, len, [level](float* p, int64_t n) { thresholdKernel_sse2(p, n, level); });
}
}  // namespace sse2

namespace sse3 {
PrimitiveStatus zaviAbs_32f(const float* src, float* dst, int32_t len) { return mapEntry(src, dst, len, absKernel_sse3); }
PrimitiveStatus zaviSqr_32f(const float* src, float* dst, int32_t len) { return mapEntry(src, dst, len, sqrKernel_sse3); }
PrimitiveStatus zaviFlip_32f_I(float* srcDst, int32_t len) { return inPlaceEntry(srcDst, len, flipKernel_sse3); }
PrimitiveStatus zaviThreshold_LT_32f_I(float* srcDst, int32_t len, float level) {
    return inPlaceEntry(srcDst, len, [level](float* p, int64_t n) { thresholdKernel_sse3(p, n, level); });
}
}  // namespace sse3

}  // namespace primitives
