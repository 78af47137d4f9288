// Statistics of the SSE, SSE2 and SSE3-class builds.
//
// The extremes follow the lane rule r := r > x ? r : x (maximum) or
// r := r < x ? r : x (minimum), which takes x for an unordered or equal
// pair; so with NaN or mixed zeros the result can differ from the generic
// build's, and depends on the order of the steps below. For ordered data
// every build gives the true extreme and the index of its first occurrence.
#include <immintrin.h>

#include <utility>

#include "primitives/core/BuildSupport.h"
#include "primitives/vector/StatisticsEntries.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

using statistics::Extreme;

struct MaxLanes {
    static __m128 lanes(__m128 r, __m128 x) { return _mm_max_ps(r, x); }
    static __m128 lane0(__m128 r, __m128 x) { return _mm_max_ss(r, x); }
};

struct MinLanes {
    static __m128 lanes(__m128 r, __m128 x) { return _mm_min_ps(r, x); }
    static __m128 lane0(__m128 r, __m128 x) { return _mm_min_ss(r, x); }
};

inline bool aligned(const void* p, std::uintptr_t alignment) { return addressOf(p) % alignment == 0; }
inline __m128 scalarAt(const float* p) { return _mm_set_ss(loadFloat(p)); }

// Lanes 0 with 2 and 1 with 3, then the two results; the value in lane 0.
template <typename Rule>
inline __m128 reduceLanes(__m128 v) {
    const __m128 half = Rule::lanes(v, _mm_movehl_ps(v, v));
    return Rule::lane0(half, _mm_shuffle_ps(half, half, _MM_SHUFFLE(1, 1, 1, 1)));
}

// ---- maximum and minimum ----

template <typename Rule, bool kPrefetch>
float extremeKernel(const float* src, int64_t n) {
    __m128 acc = _mm_set1_ps(loadFloat(src));
    int64_t i = 0;
    if (!aligned(src, 4)) {
        for (; n - i >= 4; i += 4) acc = Rule::lanes(acc, _mm_loadu_ps(src + i));
    } else {
        for (; i < n && !aligned(src + i, 16); ++i) acc = Rule::lane0(acc, scalarAt(src + i));
        if (!aligned(src + i, 32) && n - i >= 4) {
            acc = Rule::lanes(acc, _mm_load_ps(src + i));
            i += 4;
        }
        if (n - i >= 16) {
            __m128 a0 = acc, a1 = acc, a2 = acc, a3 = acc;
            for (; n - i >= 16; i += 16) {
                if constexpr (kPrefetch) _mm_prefetch(reinterpret_cast<const char*>(src + i + 32), _MM_HINT_NTA);
                a0 = Rule::lanes(a0, _mm_load_ps(src + i));
                a1 = Rule::lanes(a1, _mm_load_ps(src + i + 4));
                a2 = Rule::lanes(a2, _mm_load_ps(src + i + 8));
                a3 = Rule::lanes(a3, _mm_load_ps(src + i + 12));
            }
            acc = Rule::lanes(Rule::lanes(a0, a2), Rule::lanes(a1, a3));
        }
        for (; n - i >= 4; i += 4) acc = Rule::lanes(acc, _mm_load_ps(src + i));
    }
    __m128 r = reduceLanes<Rule>(acc);
    for (; i < n; ++i) r = Rule::lane0(r, scalarAt(src + i));
    return _mm_cvtss_f32(r);
}

float maxKernel_sse(const float* s, int32_t n) { return extremeKernel<MaxLanes, true>(s, n); }
float maxKernel_sse2(const float* s, int32_t n) { return extremeKernel<MaxLanes, false>(s, n); }
PRIMITIVES_SSE3_TARGET float maxKernel_sse3(const float* s, int32_t n) { return extremeKernel<MaxLanes, false>(s, n); }
float minKernel_sse(const float* s, int32_t n) { return extremeKernel<MinLanes, true>(s, n); }
float minKernel_sse2(const float* s, int32_t n) { return extremeKernel<MinLanes, false>(s, n); }
PRIMITIVES_SSE3_TARGET float minKernel_sse3(const float* s, int32_t n) { return extremeKernel<MinLanes, false>(s, n); }

// ---- extremes with their index ----

// The extreme of a block (a multiple of 8 elements, 16-byte aligned) by the
// lane rule, with two accumulators for elements 0-3 and 4-7 of each group.
template <typename Rule>
float blockExtreme(const float* p, int64_t size) {
    __m128 a0 = _mm_load_ps(p);
    __m128 a1 = _mm_load_ps(p + 4);
    for (int64_t j = 8; j < size; j += 8) {
        a0 = Rule::lanes(a0, _mm_load_ps(p + j));
        a1 = Rule::lanes(a1, _mm_load_ps(p + j + 4));
    }
    return _mm_cvtss_f32(reduceLanes<Rule>(Rule::lanes(a0, a1)));
}

// The first element of the block whose 32-bit pattern is `bits`, eight per
// step compared as integers. The block holds it: its extreme is one of its
// elements.
int64_t findValue(const float* p, int64_t size, uint32_t bits) {
    const __m128i key = _mm_set1_epi32(static_cast<int>(bits));
    for (int64_t j = 0; j < size; j += 8) {
        const __m128i low = _mm_cmpeq_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(p + j)), key);
        const __m128i high = _mm_cmpeq_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(p + j + 4)), key);
        const int mask = _mm_movemask_ps(_mm_castsi128_ps(low)) | (_mm_movemask_ps(_mm_castsi128_ps(high)) << 4);
        if (mask != 0) return j + __builtin_ctz(static_cast<unsigned>(mask));
    }
    return size - 1;  // not reached
}

float blockMaxKernel_sse(const float* p, int64_t n) { return blockExtreme<MaxLanes>(p, n); }
float blockMaxKernel_sse2(const float* p, int64_t n) { return blockExtreme<MaxLanes>(p, n); }
PRIMITIVES_SSE3_TARGET float blockMaxKernel_sse3(const float* p, int64_t n) { return blockExtreme<MaxLanes>(p, n); }
float blockMinKernel_sse(const float* p, int64_t n) { return blockExtreme<MinLanes>(p, n); }
float blockMinKernel_sse2(const float* p, int64_t n) { return blockExtreme<MinLanes>(p, n); }
PRIMITIVES_SSE3_TARGET float blockMinKernel_sse3(const float* p, int64_t n) { return blockExtreme<MinLanes>(p, n); }
int64_t findValueIndex_sse(const float* p, int64_t n, uint32_t bits) { return findValue(p, n, bits); }
int64_t findValueIndex_sse2(const float* p, int64_t n, uint32_t bits) { return findValue(p, n, bits); }
PRIMITIVES_SSE3_TARGET int64_t findValueIndex_sse3(const float* p, int64_t n, uint32_t bits) {
    return findValue(p, n, bits);
}

constexpr int64_t kIndexBlock = 2048;

using BlockExtreme = float (*)(const float*, int64_t);
using FindValueIndex = int64_t (*)(const float*, int64_t, uint32_t);

// Single elements up to a 16-byte boundary; blocks of at most 2048 whose
// extreme is found first, and searched for its position only when it
// improves on the result; the last n mod 8 elements one at a time.
template <bool (*takes)(float, float), BlockExtreme blockKernel, FindValueIndex findKernel>
Extreme indexKernel(const float* src, int32_t n) {
    Extreme e{loadFloat(src), 0};
    int32_t i = 0;
    if (!aligned(src, 4)) {
        for (; i < n; ++i) statistics::indexedStep<takes>(e, loadFloat(src + i), i);
        return e;
    }
    for (; i < n && !aligned(src + i, 16); ++i) statistics::indexedStep<takes>(e, loadFloat(src + i), i);
    int64_t body = (n - i) / 8 * 8;
    while (body > 0) {
        const int64_t size = body > kIndexBlock ? kIndexBlock : body;
        const float b = blockKernel(src + i, size);
        if (takes(e.value, b)) e = {b, i + static_cast<int32_t>(findKernel(src + i, size, bitsOf(b)))};
        i += static_cast<int32_t>(size);
        body -= size;
    }
    for (; i < n; ++i) statistics::indexedStep<takes>(e, loadFloat(src + i), i);
    return e;
}

// Up to 33 elements the pairs (2k - 1, 2k) and a last odd one are taken in
// order: one element at a time from index 1.
template <Extreme (*kernel)(const float*, int32_t), bool (*takes)(float, float)>
Extreme indexSearch(const float* src, int32_t n) {
    if (n >= 34) return kernel(src, n);
    Extreme e{loadFloat(src), 0};
    for (int32_t i = 1; i < n; ++i) statistics::indexedStep<takes>(e, loadFloat(src + i), i);
    return e;
}

using statistics::maxIndexTakes;
using statistics::minIndexTakes;

Extreme maxIndexKernel_sse(const float* s, int32_t n) {
    return indexKernel<maxIndexTakes, blockMaxKernel_sse, findValueIndex_sse>(s, n);
}
Extreme maxIndexKernel_sse2(const float* s, int32_t n) {
    return indexKernel<maxIndexTakes, blockMaxKernel_sse2, findValueIndex_sse2>(s, n);
}
PRIMITIVES_SSE3_TARGET Extreme maxIndexKernel_sse3(const float* s, int32_t n) {
    return indexKernel<maxIndexTakes, blockMaxKernel_sse3, findValueIndex_sse3>(s, n);
}
Extreme minIndexKernel_sse(const float* s, int32_t n) {
    return indexKernel<minIndexTakes, blockMinKernel_sse, findValueIndex_sse>(s, n);
}
Extreme minIndexKernel_sse2(const float* s, int32_t n) {
    return indexKernel<minIndexTakes, blockMinKernel_sse2, findValueIndex_sse2>(s, n);
}
PRIMITIVES_SSE3_TARGET Extreme minIndexKernel_sse3(const float* s, int32_t n) {
    return indexKernel<minIndexTakes, blockMinKernel_sse3, findValueIndex_sse3>(s, n);
}

// ---- minimum and maximum together ----

// The SSE build: r := x only if x is smaller (larger), so an unordered pair
// keeps r.
void minMaxSse(const float* src, int32_t n, float& min, float& max) {
    __m128 lo = _mm_set_ss(loadFloat(src));
    __m128 hi = lo;
    int32_t i = 0;
    auto single = [&](int32_t k) {
        const __m128 x = scalarAt(src + k);
        lo = _mm_min_ss(x, lo);
        hi = _mm_max_ss(x, hi);
    };
    if (n < 11 || !aligned(src, 4)) {
        for (; i < n; ++i) single(i);
    } else {
        for (; i < n && !aligned(src + i, 16); ++i) single(i);
        if (n - i >= 8) {
            __m128 vlo = _mm_shuffle_ps(lo, lo, 0);
            __m128 vhi = _mm_shuffle_ps(hi, hi, 0);
            for (; n - i >= 8; i += 8) {
                _mm_prefetch(reinterpret_cast<const char*>(src + i + 16), _MM_HINT_NTA);
                const __m128 x0 = _mm_load_ps(src + i);
                const __m128 x1 = _mm_load_ps(src + i + 4);
                vlo = _mm_min_ps(x1, _mm_min_ps(x0, vlo));
                vhi = _mm_max_ps(x1, _mm_max_ps(x0, vhi));
            }
            // Halves, then lanes 0 and 1, each with the same rule.
            vlo = _mm_min_ps(_mm_movehl_ps(vlo, vlo), vlo);
            vhi = _mm_max_ps(_mm_movehl_ps(vhi, vhi), vhi);
            lo = _mm_min_ss(_mm_shuffle_ps(vlo, vlo, _MM_SHUFFLE(1, 1, 1, 1)), vlo);
            hi = _mm_max_ss(_mm_shuffle_ps(vhi, vhi, _MM_SHUFFLE(1, 1, 1, 1)), vhi);
        }
        for (; i < n; ++i) single(i);
    }
    min = _mm_cvtss_f32(lo);
    max = _mm_cvtss_f32(hi);
}

// The SSE2-class builds: the lane rule, two 4-wide steps per group of 8
// from element 0 (no alignment elements), the last 0 to 7 into lane 0.
template <bool kAligned>
void minMaxLanes(const float* src, int32_t n, __m128& lo, __m128& hi) {
    int32_t i = 0;
    for (; n - i >= 8; i += 8) {
        const __m128 x0 = kAligned ? _mm_load_ps(src + i) : _mm_loadu_ps(src + i);
        const __m128 x1 = kAligned ? _mm_load_ps(src + i + 4) : _mm_loadu_ps(src + i + 4);
        lo = _mm_min_ps(_mm_min_ps(lo, x0), x1);
        hi = _mm_max_ps(_mm_max_ps(hi, x0), x1);
    }
    for (; i < n; ++i) {
        lo = _mm_min_ss(lo, scalarAt(src + i));
        hi = _mm_max_ss(hi, scalarAt(src + i));
    }
}

// The lanes reduced: high half with low half, then lane 1 with lane 0.
template <typename Rule>
float reduceHighWithLow(__m128 v) {
    const __m128 half = Rule::lanes(_mm_movehl_ps(v, v), v);
    return _mm_cvtss_f32(Rule::lane0(_mm_shuffle_ps(half, half, _MM_SHUFFLE(1, 1, 1, 1)), half));
}

void minMaxSse2Class(const float* src, int32_t n, float& min, float& max) {
    __m128 lo = _mm_set1_ps(loadFloat(src));
    __m128 hi = lo;
    if (aligned(src, 16)) {
        minMaxLanes<true>(src, n, lo, hi);
    } else {
        minMaxLanes<false>(src, n, lo, hi);
    }
    min = reduceHighWithLow<MinLanes>(lo);
    max = reduceHighWithLow<MaxLanes>(hi);
}

void minMaxKernel_sse2(const float* s, int32_t n, float& min, float& max) { minMaxSse2Class(s, n, min, max); }
PRIMITIVES_SSE3_TARGET void minMaxKernel_sse3(const float* s, int32_t n, float& min, float& max) {
    minMaxSse2Class(s, n, min, max);
}

// ---- sums ----

// The accurate sum: eight double partial sums. Element k of group g goes to
// P[(k - g) mod 8], so each group adds its eight elements rotated left by
// g mod 8 places; the rotation is fixed for each of eight unrolled groups.
template <int kRotation>
inline void addRotated(__m128d (&p)[4], const __m128d (&d)[4]) {
    constexpr int t = kRotation / 2;
    for (int q = 0; q < 4; ++q) {
        if constexpr (kRotation % 2 == 0) {
            p[q] = _mm_add_pd(p[q], d[(q + t) % 4]);
        } else {
            p[q] = _mm_add_pd(p[q], _mm_shuffle_pd(d[(q + t) % 4], d[(q + t + 1) % 4], 1));
        }
    }
}

template <bool kAligned>
inline void loadGroup(const float* x, __m128d (&d)[4]) {
    const __m128 v0 = kAligned ? _mm_load_ps(x) : _mm_loadu_ps(x);
    const __m128 v1 = kAligned ? _mm_load_ps(x + 4) : _mm_loadu_ps(x + 4);
    d[0] = _mm_cvtps_pd(v0);
    d[1] = _mm_cvtps_pd(_mm_movehl_ps(v0, v0));
    d[2] = _mm_cvtps_pd(v1);
    d[3] = _mm_cvtps_pd(_mm_movehl_ps(v1, v1));
}

template <bool kAligned, int... kRotations>
inline void addEightGroups(const float* x, __m128d (&p)[4], std::integer_sequence<int, kRotations...>) {
    __m128d d[4];
    ((loadGroup<kAligned>(x + 8 * kRotations, d), addRotated<kRotations>(p, d)), ...);
}

template <bool kAligned>
void accurateGroups(const float* src, int64_t groups, __m128d (&p)[4]) {
    int64_t g = 0;
    for (; groups - g >= 8; g += 8) addEightGroups<kAligned>(src + 8 * g, p, std::make_integer_sequence<int, 8>{});
    for (; g < groups; ++g) {
        __m128d d[4];
        loadGroup<kAligned>(src + 8 * g, d);
        switch (g % 8) {
        case 0: addRotated<0>(p, d); break;
        case 1: addRotated<1>(p, d); break;
        case 2: addRotated<2>(p, d); break;
        case 3: addRotated<3>(p, d); break;
        case 4: addRotated<4>(p, d); break;
        case 5: addRotated<5>(p, d); break;
        case 6: addRotated<6>(p, d); break;
        default: addRotated<7>(p, d); break;
        }
    }
}

float sumAccurate(const float* src, int32_t n) {
    __m128d lanes[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
    const int64_t groups = n / 8;
    if (aligned(src, 16)) {
        accurateGroups<true>(src, groups, lanes);
    } else {
        accurateGroups<false>(src, groups, lanes);
    }
    alignas(16) double p[8];
    for (int q = 0; q < 4; ++q) _mm_store_pd(p + 2 * q, lanes[q]);
    const int64_t shift = groups % 8;
    double& last = p[(8 - shift) % 8];
    for (int64_t i = 8 * groups; i < n; ++i) last += loadFloat(src + i);
    auto s = [&](int k) { return p[(k - shift + 8) % 8]; };
    return static_cast<float>(((s(0) + s(4)) + (s(2) + s(6))) + ((s(1) + s(5)) + (s(3) + s(7))));
}

// One block of the fast sum in single precision: four accumulators for the
// elements 0-3, 4-7, 8-11 and 12-15 of each group of 16, combined as
// (V0 + V2) + (V1 + V3); then groups of 4, a pair into lanes 0 and 1 and a
// single element into lane 0. Gives lane0 + lane2 and lane1 + lane3.
template <bool kAligned>
std::pair<float, float> sumBlock(const float* p, int64_t n) {
    auto load = [](const float* x) { return kAligned ? _mm_load_ps(x) : _mm_loadu_ps(x); };
    __m128 v0 = _mm_setzero_ps(), v1 = v0, v2 = v0, v3 = v0;
    int64_t i = 0;
    for (; n - i >= 16; i += 16) {
        v0 = _mm_add_ps(v0, load(p + i));
        v1 = _mm_add_ps(v1, load(p + i + 4));
        v2 = _mm_add_ps(v2, load(p + i + 8));
        v3 = _mm_add_ps(v3, load(p + i + 12));
    }
    __m128 v = _mm_add_ps(_mm_add_ps(v0, v2), _mm_add_ps(v1, v3));
    for (; n - i >= 4; i += 4) v = _mm_add_ps(v, load(p + i));
    if (n - i >= 2) {
        v = _mm_add_ps(v, _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + i))));
        i += 2;
    }
    if (n - i == 1) v = _mm_add_ss(v, scalarAt(p + i));
    alignas(16) float lane[4];
    _mm_store_ps(lane, v);
    return {lane[0] + lane[2], lane[1] + lane[3]};
}

constexpr int64_t kFastBlock = 0x8000;

std::pair<float, float> sumBlockKernel_sse(const float* p, int64_t n, bool alignedLoads) {
    return alignedLoads ? sumBlock<true>(p, n) : sumBlock<false>(p, n);
}
std::pair<float, float> sumBlockKernel_sse2(const float* p, int64_t n, bool alignedLoads) {
    return alignedLoads ? sumBlock<true>(p, n) : sumBlock<false>(p, n);
}
PRIMITIVES_SSE3_TARGET std::pair<float, float> sumBlockKernel_sse3(const float* p, int64_t n, bool alignedLoads) {
    return alignedLoads ? sumBlock<true>(p, n) : sumBlock<false>(p, n);
}

// The fast sum: single elements until bits 2 and 3 of the address are
// zero, then blocks of 32768 summed in single precision and a last block of
// the rest (possibly empty), each added to a double total.
template <std::pair<float, float> (*blockKernel)(const float*, int64_t, bool)>
float sumFast(const float* src, int32_t n) {
    double total = 0.0;
    int64_t i = 0;
    for (; i < n && (addressOf(src + i) & 0xC) != 0; ++i) total += loadFloat(src + i);
    const bool alignedLoads = aligned(src, 4);
    for (;;) {
        const int64_t size = n - i < kFastBlock ? n - i : kFastBlock;
        const auto [first, second] = blockKernel(src + i, size, alignedLoads);
        total += first;
        total += second;
        i += size;
        if (size < kFastBlock) break;
    }
    return static_cast<float>(total);
}

float sumAccurateKernel_sse(const float* s, int32_t n) { return sumAccurate(s, n); }
float sumAccurateKernel_sse2(const float* s, int32_t n) { return sumAccurate(s, n); }
PRIMITIVES_SSE3_TARGET float sumAccurateKernel_sse3(const float* s, int32_t n) { return sumAccurate(s, n); }
float sumFastKernel_sse(const float* s, int32_t n) { return sumFast<sumBlockKernel_sse>(s, n); }
float sumFastKernel_sse2(const float* s, int32_t n) { return sumFast<sumBlockKernel_sse2>(s, n); }
PRIMITIVES_SSE3_TARGET float sumFastKernel_sse3(const float* s, int32_t n) { return sumFast<sumBlockKernel_sse3>(s, n); }

template <float (*accurate)(const float*, int32_t), float (*fast)(const float*, int32_t)>
float sumByHint(const float* src, int32_t n, int32_t hint) {
    return hint == 1 ? fast(src, n) : accurate(src, n);
}

}  // namespace

#define STATISTICS_BODIES(build, minMax)                                                                       \
    PrimitiveStatus zaviMax_32f(const float* src, int32_t len, float* pMax) {                                 \
        return statistics::oneValue<maxKernel_##build>(src, len, pMax);                                        \
    }                                                                                                          \
    PrimitiveStatus zaviMin_32f(const float* src, int32_t len, float* pMin) {                                 \
        return statistics::oneValue<minKernel_##build>(src, len, pMin);                                        \
    }                                                                                                          \
    PrimitiveStatus zaviMaxIndx_32f(const float* src, int32_t len, float* pMax, int32_t* pIndex) {            \
        return statistics::valueAndIndex<indexSearch<maxIndexKernel_##build, maxIndexTakes>, zaviMax_32f>(    \
            src, len, pMax, pIndex);                                                                           \
    }                                                                                                          \
    PrimitiveStatus zaviMinIndx_32f(const float* src, int32_t len, float* pMin, int32_t* pIndex) {            \
        return statistics::valueAndIndex<indexSearch<minIndexKernel_##build, minIndexTakes>, zaviMin_32f>(    \
            src, len, pMin, pIndex);                                                                           \
    }                                                                                                          \
    PrimitiveStatus zaviMinMax_32f(const float* src, int32_t len, float* pMin, float* pMax) {                 \
        return statistics::minAndMax<minMax>(src, len, pMin, pMax);                                            \
    }                                                                                                          \
    PrimitiveStatus zaviSum_32f(const float* src, int32_t len, float* pSum, int32_t hint) {                   \
        return statistics::sum<sumByHint<sumAccurateKernel_##build, sumFastKernel_##build>>(src, len, pSum,    \
                                                                                              hint);          \
    }

namespace sse {
STATISTICS_BODIES(sse, minMaxSse)
}  // namespace sse

namespace sse2 {
STATISTICS_BODIES(sse2, minMaxKernel_sse2)
}  // namespace sse2

namespace sse3 {
STATISTICS_BODIES(sse3, minMaxKernel_sse3)
}  // namespace sse3

#undef STATISTICS_BODIES

}  // namespace primitives
