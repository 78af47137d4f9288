// The tables of a DFT record: the N-point twiddle table the others are
// sampled from, the split tables of even lengths, direct roots, the chirp-z
// tables with their inner complex FFT, the factor plan's stages and reorder
// index; and the record's release. Each build has its own copy; the SSE2 and
// SSE3-class builds differ in the split tables' range and in the plan.
#include <algorithm>
#include <cmath>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/DftRoutines.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives {
namespace {

float* allocPairs(int64_t count) {
    if (count <= 0 || 8 * count > kMaxBlockBytes) return nullptr;
    return reinterpret_cast<float*>(generic::vaduRivuro_8v(static_cast<int32_t>(8 * count)));
}

// W^k = (cos 2 pi k / n, -sin 2 pi k / n), k = 0 .. n - 1, computed directly
// over the first octant (or half, or quarter) and completed by symmetry.
float* twiddleTable(int64_t n) {
    float* w = allocPairs(n);
    if (w == nullptr) return nullptr;
    const double theta = 2.0 * M_PI / static_cast<double>(n);
    auto direct = [&](int64_t k) {
        const double angle = static_cast<double>(k) * theta;
        w[2 * k] = static_cast<float>(std::cos(angle));
        w[2 * k + 1] = static_cast<float>(-std::sin(angle));
    };
    int64_t half;  // W^k is set for k <= half; the rest by W^(n-k) = conj W^k
    if (n % 2 != 0) {
        half = (n - 1) / 2;
        for (int64_t k = 0; k <= half; ++k) direct(k);
    } else {
        half = n / 2;
        int64_t quarter = n / 4;
        if (n % 4 == 0) {
            for (int64_t k = 0; k <= n / 8; ++k) direct(k);
            // W^k from W^(n/4 - k) = (s, -c): parts exchanged, both negated.
            for (int64_t k = n / 8 + 1; k <= quarter; ++k) {
                w[2 * k] = -w[2 * (quarter - k) + 1];
                w[2 * k + 1] = -w[2 * (quarter - k)];
            }
        } else {
            for (int64_t k = 0; k <= quarter; ++k) direct(k);
        }
        // W^k = -conj W^(n/2 - k): the real part negated.
        for (int64_t k = quarter + 1; k <= half; ++k) {
            w[2 * k] = -w[2 * (half - k)];
            w[2 * k + 1] = w[2 * (half - k) + 1];
        }
    }
    for (int64_t k = half + 1; k < n; ++k) {
        w[2 * k] = w[2 * (n - k)];
        w[2 * k + 1] = -w[2 * (n - k) + 1];
    }
    return w;
}

// ceil(N/4) pairs from the N-point table: entries 0 .. on the generic and SSE
// builds, 1 .. on the others.
template <class Pair>
float* splitTable(int64_t length, const float* twiddles, int32_t first, Pair pair) {
    const int64_t count = (length + 3) / 4;
    float* table = allocPairs(count);
    if (table == nullptr) return nullptr;
    for (int64_t i = 0; i < count; ++i) pair(twiddles + 2 * (i + first), table + 2 * i);
    return table;
}

// count roots sampled from a table of tableLength points; the SIMD builds
// follow them with two int32 arrays holding 2k.
float* directTwiddles(int32_t build, int64_t count, const float* twiddles, int64_t tableLength) {
    const int64_t bytes = (build == buildGeneric ? 8 : 24) * count;
    if (bytes > kMaxBlockBytes) return nullptr;
    auto* table = reinterpret_cast<float*>(generic::vaduRivuro_8v(static_cast<int32_t>(bytes)));
    if (table == nullptr) return nullptr;
    const int64_t step = tableLength / count;
    for (int64_t k = 0; k < count; ++k) {
        table[2 * k] = twiddles[2 * k * step];
        table[2 * k + 1] = twiddles[2 * k * step + 1];
    }
    if (build != buildGeneric) {
        auto* index = reinterpret_cast<int32_t*>(table + 2 * count);
        for (int64_t k = 0; k < count; ++k) index[k] = index[count + k] = static_cast<int32_t>(2 * k);
    }
    return table;
}

struct SetUpRoutines {
    int32_t build;
    PrimitiveStatus (*complexInitAlloc)(ComplexFftSpec**, int32_t, int32_t, int32_t);
    PrimitiveStatus (*complexForward)(const float*, float*, const ComplexFftSpec*, uint8_t*);
    PrimitiveStatus (*complexFree)(ComplexFftSpec*);
    void (*conjugateCopy)(const float*, float*, int64_t);
    void (*zero)(float*, int64_t);
    void (*scale)(float, float*, int64_t);
};

template <const SetUpRoutines& S>
PrimitiveStatus chirpTables(RealDftSpec* spec, int64_t n, const float* twiddles, int64_t tableLength) {
    int64_t m = 1;
    while (m < 2 * n - 1) m *= 2;
    spec->chirpLength = static_cast<int32_t>(m);
    spec->chirp = allocPairs(n);
    if (spec->chirp == nullptr) return primitiveStatusAllocationFailed;
    spec->chirpFilter = allocPairs(m);
    if (spec->chirpFilter == nullptr) return primitiveStatusAllocationFailed;
    // The chirp needs the 2n-th roots; an odd length's own table has only n.
    float* own = nullptr;
    if (tableLength == n) {
        own = twiddleTable(2 * n);
        if (own == nullptr) return primitiveStatusAllocationFailed;
        twiddles = own;
    }
    // exp(-i pi k^2 / n) = W_2n^(k^2 mod 2n); the exponent advances by 2k + 1.
    for (int64_t k = 0, e = 0; k < n; ++k) {
        spec->chirp[2 * k] = twiddles[2 * e];
        spec->chirp[2 * k + 1] = twiddles[2 * e + 1];
        e += 2 * k + 1;
        if (e >= 2 * n) e -= 2 * n;
    }
    generic::zoveZiva(own);
    float* h = spec->chirpFilter;
    S.conjugateCopy(spec->chirp, h, n);
    S.zero(h + 2 * n, m - n);
    for (int64_t k = 1; k < n; ++k) {
        h[2 * (m - k)] = h[2 * k];
        h[2 * (m - k) + 1] = h[2 * k + 1];
    }
    int32_t order = 0;
    while ((int64_t{1} << order) < m) ++order;
    if (const PrimitiveStatus status = S.complexInitAlloc(&spec->innerComplexFft, order, fftNoDivision, 0);
        status != primitiveStatusOk)
        return status;
    if (const PrimitiveStatus status = S.complexForward(h, h, spec->innerComplexFft, nullptr);
        status != primitiveStatusOk)
        return status;
    S.scale(static_cast<float>(1.0 / static_cast<double>(m)), h, 2 * m);
    spec->workBufferBytes = spec->innerComplexFft->workBufferBytes + static_cast<int32_t>(8 * m) + 16;
    return primitiveStatusOk;
}

template <const SetUpRoutines& S>
PrimitiveStatus factorPlanTables(RealDftSpec* spec, int64_t n, const float* twiddles, int64_t tableLength) {
    constexpr bool fourWide = S.build == buildSse2 || S.build == buildSse3;
    const int32_t last = spec->lastTwiddledStage;
    const int32_t count = last + 2;
    if (fourWide) {
        int32_t radices[kMaxDftStages];
        for (int32_t i = 0; i < count; ++i) radices[i] = spec->stages[i].radix;
        reorderPlanForFourWide(radices, count);
        for (int32_t i = 0; i < count; ++i) spec->stages[i].radix = radices[i];
    }
    int64_t largestOdd = 0;
    for (int32_t i = 0; i < count; ++i)
        if (spec->stages[i].radix > 5) largestOdd = std::max<int64_t>(largestOdd, spec->stages[i].radix);
    const int64_t t = tableLength / n;
    int64_t remaining = n, stride = 1, group = 1;
    float* roots = nullptr;
    int32_t rootsRadix = 0;
    // Roots of a radix above 5, shared with the nearest earlier stage of the same radix.
    auto rootsOf = [&](DftStage& stage) {
        if (stage.radix <= 5) return true;
        if (stage.radix != rootsRadix) {
            roots = directTwiddles(S.build, stage.radix, twiddles, tableLength);
            if (roots == nullptr) return false;
            rootsRadix = stage.radix;
        }
        stage.radixRoots = roots;
        return true;
    };
    for (int32_t j = 0; j <= last; ++j) {
        DftStage& stage = spec->stages[j];
        const int64_t f = stage.radix;
        remaining /= f;
        stage.remaining = static_cast<int32_t>(remaining);
        stage.stride = static_cast<int32_t>(stride);
        stage.groupProduct = static_cast<int32_t>(group);
        if (!rootsOf(stage)) return primitiveStatusAllocationFailed;
        if (fourWide && f > 5 && remaining % 4 == 0 && largestOdd < 2 * f) largestOdd = 4 * f;
        // Row k: W^(l k s) for l = 1 .. f - 1, or l = 0 .. f - 1 above 5.
        stage.stageTwiddles = allocPairs(remaining * f);
        if (stage.stageTwiddles == nullptr) return primitiveStatusAllocationFailed;
        const int64_t firstL = f > 5 ? 0 : 1;
        float* row = stage.stageTwiddles;
        for (int64_t k = 0; k < remaining; ++k) {
            for (int64_t l = firstL; l < f; ++l, row += 2) {
                const int64_t index = l * k * stride * t;
                row[0] = twiddles[2 * index];
                row[1] = twiddles[2 * index + 1];
            }
        }
        // A group ends after a stage whose sub-transforms exceed 2000 points.
        group = f * remaining > 2000 ? 1 : group * f;
        stride *= f;
    }
    if (!rootsOf(spec->stages[last + 1])) return primitiveStatusAllocationFailed;
    // Digit reversal: entry i, read as digits (d0, d1, ..., d_last, q) with d0
    // most significant, is the input index d0 + d1 s1 + ... + q s_(last+1).
    spec->reorderIndex = reinterpret_cast<int32_t*>(generic::vaduRivuro_8v(static_cast<int32_t>(4 * n)));
    if (spec->reorderIndex == nullptr) return primitiveStatusAllocationFailed;
    int32_t* index = spec->reorderIndex;
    index[0] = 0;
    int64_t filled = 1;
    for (int32_t j = 0; j < count; ++j) {
        const int64_t f = spec->stages[j].radix;
        const int64_t digitStride = j <= last ? spec->stages[j].stride : stride;
        // Each entry becomes f entries; from the top down, so nothing unread is overwritten.
        for (int64_t e = filled - 1; e >= 0; --e) {
            const int64_t base = index[e];
            for (int64_t d = f - 1; d >= 0; --d) index[e * f + d] = static_cast<int32_t>(base + d * digitStride);
        }
        filled *= f;
    }
    spec->workBufferBytes = static_cast<int32_t>(8 * n + 8 * largestOdd + 16);
    return primitiveStatusOk;
}

void releaseRecord(RealDftSpec* spec, PrimitiveStatus (*complexFree)(ComplexFftSpec*)) {
    if (spec == nullptr) return;
    for (void* table : {static_cast<void*>(spec->directRoots), static_cast<void*>(spec->forwardSplitWeights),
                        static_cast<void*>(spec->splitTwiddles), static_cast<void*>(spec->chirp),
                        static_cast<void*>(spec->chirpFilter), static_cast<void*>(spec->reorderIndex)})
        generic::zoveZiva(table);
    if (spec->innerComplexFft != nullptr) complexFree(spec->innerComplexFft);
    if (spec->hasFactorPlan != 0) {
        const float* released = nullptr;
        for (int32_t j = 0; j <= spec->lastTwiddledStage + 1; ++j) {
            generic::zoveZiva(spec->stages[j].stageTwiddles);
            if (spec->stages[j].radixRoots != nullptr && spec->stages[j].radixRoots != released) {
                released = spec->stages[j].radixRoots;
                generic::zoveZiva(spec->stages[j].radixRoots);
            }
        }
    }
    spec->kindTag = 0;
    generic::zoveZiva(spec);
}

}  // namespace

#define VELKARN_DEFINE_DFT_SET_UP(suffix, index)                                                                   \
    namespace {                                                                                                    \
    constexpr SetUpRoutines suffix##SetUp = {index,                 complexFftInitAlloc_##suffix,                \
                                             complexFftForward_##suffix, freeComplexFftSpec_##suffix,             \
                                             complexConjugateCopy_##suffix, complexZero_##suffix,                 \
                                             scaleFloatsInPlace_##suffix};                                         \
    }                                                                                                              \
    float* buildDftTwiddleTable_##suffix(int64_t n) { return twiddleTable(n); }                                    \
    float* buildDftRealSplitWeights_##suffix(int64_t length, const float* twiddles) {                              \
        return splitTable(length, twiddles, index >= buildSse2 ? 1 : 0, [](const float* w, float* out) {           \
            out[0] = static_cast<float>(0.5 * static_cast<double>(w[0]));                                          \
            out[1] = static_cast<float>(0.5 * static_cast<double>(w[1]) + 0.5);                                    \
        });                                                                                                        \
    }                                                                                                              \
    float* buildDftRealSplitTwiddles_##suffix(int64_t length, const float* twiddles) {                             \
        return splitTable(length, twiddles, index >= buildSse2 ? 1 : 0, [](const float* w, float* out) {           \
            out[0] = w[0];                                                                                         \
            out[1] = w[1];                                                                                         \
        });                                                                                                        \
    }                                                                                                              \
    float* buildDftDirectTwiddles_##suffix(int64_t count, const float* twiddles, int64_t tableLength) {            \
        return directTwiddles(index, count, twiddles, tableLength);                                                \
    }                                                                                                              \
    PrimitiveStatus buildDftChirpTables_##suffix(RealDftSpec* spec, int64_t n, const float* twiddles,              \
                                                 int64_t tableLength) {                                            \
        return chirpTables<suffix##SetUp>(spec, n, twiddles, tableLength);                                         \
    }                                                                                                              \
    PrimitiveStatus buildDftFactorPlan_##suffix(RealDftSpec* spec, int64_t n, const float* twiddles,               \
                                                int64_t tableLength) {                                             \
        return factorPlanTables<suffix##SetUp>(spec, n, twiddles, tableLength);                                    \
    }                                                                                                              \
    void releaseRealDftSpec_##suffix(RealDftSpec* spec) { releaseRecord(spec, freeComplexFftSpec_##suffix); }
VELKARN_DEFINE_DFT_SET_UP(generic, buildGeneric)
VELKARN_DEFINE_DFT_SET_UP(sse, buildSse)
VELKARN_DEFINE_DFT_SET_UP(sse2, buildSse2)
VELKARN_DEFINE_DFT_SET_UP(sse3, buildSse3)
#undef VELKARN_DEFINE_DFT_SET_UP

}  // namespace primitives
