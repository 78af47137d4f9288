// One build's table builders, plan set-up and large-order passes, over the
// lanes of FftCore.h. Each FftCore<Build>.cpp defines the build's named
// routines from these templates with VELKARN_DEFINE_FFT_BUILD.
//
// Include this header only after the build's target pragma.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>

#include "primitives/core/AlignedMemory.h"
#include "primitives/fft/FftCore.h"

namespace primitives::fftcore {

template <class Ops>
struct BuildCore {
    static constexpr bool kSimdLayout = Ops::kBuild != buildGeneric;

    static float* allocFloats(int64_t count) {
        if (count <= 0 || 4 * count > kMaxBlockBytes) return nullptr;
        return reinterpret_cast<float*>(generic::vaduRivuro_8v(static_cast<int32_t>(4 * count)));
    }

    // ---- Tables -----------------------------------------------------------

    static float* quarterSineTable(int32_t order) {
        const int64_t n = int64_t{1} << order;
        float* table = allocFloats(n / 4 + 1);
        if (table == nullptr) return nullptr;
        const double step = 2.0 * M_PI / static_cast<double>(n);
        for (int64_t i = 0; i <= n / 4; ++i) {
            table[i] = static_cast<float>(i <= n / 8 ? std::sin(static_cast<double>(i) * step)
                                                     : std::cos(static_cast<double>(n / 4 - i) * step));
        }
        return table;
    }

    static int32_t* bitReverseIndexTable(int32_t m) {
        const int64_t count = m < 2 ? 1 : (int64_t{1} << (m - 2)) + 1;
        auto* table = reinterpret_cast<int32_t*>(generic::vaduRivuro_8v(static_cast<int32_t>(4 * count)));
        if (table == nullptr) return nullptr;
        table[0] = 0;
        for (int64_t k = 0; k + 1 < count; ++k) table[k] = 2 * reverseBits(k, m - 2);
        table[count - 1] = 0;
        return table;
    }

    static float* radixTable(int32_t a, const float* sine, int32_t sineOrder) {
        float* table = allocFloats(radixTableFloats(a));
        if (table != nullptr) fillRadixTable(table, a, sine, sineOrder);
        return table;
    }

    // Pairs of t(k) = 2 pi k / N for the real recombination: first(q(N/4-k))
    // and second(q(k)) from the table q of the same order.
    template <class First, class Second>
    static float* splitTable(int32_t order, const float* sine, First first, Second second) {
        const int64_t n = int64_t{1} << order, quarter = n / 4;
        float* table = allocFloats(2 * quarter);
        if (table == nullptr) return nullptr;
        for (int64_t i = 0; i < quarter; ++i) {
            // Generic: k = i in consecutive pairs; SIMD: k = i + 1 in groups of four.
            const int64_t k = kSimdLayout ? i + 1 : i;
            const double c = sine[quarter - k], s = sine[k];
            const int64_t a = kSimdLayout ? (i / 4) * 8 + i % 4 : 2 * i;
            const int64_t b = kSimdLayout ? a + 4 : a + 1;
            table[a] = static_cast<float>(first(c));
            table[b] = static_cast<float>(second(s));
        }
        return table;
    }

    static float* forwardSplitWeights(int32_t order, const float* sine) {
        return splitTable(order, sine, [](double c) { return 0.5 * c; }, [](double s) { return 0.5 - 0.5 * s; });
    }

    static float* inverseSplitTwiddles(int32_t order, const float* sine) {
        return splitTable(order, sine, [](double c) { return c; }, [](double s) { return -s; });
    }

    // Two-level combining twiddles of order k: 2^k / 4 pairs (cos, -sin).
    static float* largeOrderTwiddles(int32_t k, const float* sine, int32_t s) {
        const int64_t count = std::max<int64_t>((int64_t{1} << k) / 4, 1);
        float* table = allocFloats(2 * count);
        if (table == nullptr) return nullptr;
        for (int64_t i = 0; i < count; ++i) twiddleFromTable(sine, s, k, i, table[2 * i], table[2 * i + 1]);
        return table;
    }

    // Block twiddles of a level of order k with 2^l rows, row by row:
    // entry [r * 2^(k-l) + col] = w^(rev_l(r) * col), w = exp(-2 pi i / 2^k).
    static float* blockTwiddles(int32_t k, int32_t l, const float* sine, int32_t s) {
        const int64_t total = int64_t{1} << k, columns = int64_t{1} << (k - l);
        float* table = allocFloats(2 * total);
        if (table == nullptr) return nullptr;
        for (int64_t r = 0; r < (int64_t{1} << l); ++r) {
            const int64_t rr = reverseBits(r, l);
            float* row = table + 2 * r * columns;
            for (int64_t col = 0; col < columns; ++col) {
                twiddleFromTable(sine, s, k, (rr * col) & (total - 1), row[2 * col], row[2 * col + 1]);
            }
        }
        return table;
    }

    // The multi-level plan from the level of order k at depth d; returns 0 or
    // -9. Tables stay in the spec on failure; its release frees them.
    static int32_t buildLevels(RealFftSpec* spec, int32_t k, int32_t depth, const float* sine, int32_t s,
                               const LargeOrderPlan& plan, int32_t& radixOrder) {
        const int32_t level = plan.levelOrder[k];
        const int32_t rest = k - level;
        int64_t work = 0;
        if (plan.blockOrder == nullptr) {
            if (rest <= plan.leafLimit) {
                radixOrder = rest;
            } else if (depth < 2 && plan.levelOrder[rest] != 0) {
                if (buildLevels(spec, rest, depth + 1, sine, s, plan, radixOrder) != 0) return primitiveStatusAllocationFailed;
            } else {
                spec->largeOrderTwiddles = largeOrderTwiddles(rest, sine, s);
                if (spec->largeOrderTwiddles == nullptr) return primitiveStatusAllocationFailed;
                radixOrder = plan.leafLimit;
            }
            spec->levelTwiddles[depth] = radixTable(level, sine, s);
            if (spec->levelTwiddles[depth] == nullptr) return primitiveStatusAllocationFailed;
            work = 32 * (int64_t{1} << level);
        } else {
            if (rest > plan.leafLimit && depth < 2) {
                if (buildLevels(spec, rest, depth + 1, sine, s, plan, radixOrder) != 0) return primitiveStatusAllocationFailed;
            } else {
                radixOrder = std::max(radixOrder, rest);
            }
            // The column passes read the leaf's radix table, so it must reach
            // every column order too.
            radixOrder = std::max(radixOrder, level);
            work = 8 * (int64_t{1} << plan.blockOrder[k]);
        }
        spec->levelBlockTwiddles[depth] = blockTwiddles(k, level, sine, s);
        if (spec->levelBlockTwiddles[depth] == nullptr) return primitiveStatusAllocationFailed;
        spec->workBufferBytes = static_cast<int32_t>(std::max<int64_t>(spec->workBufferBytes, work));
        return primitiveStatusOk;
    }

    static int32_t initTables(RealFftSpec* spec, int32_t m, const float* sine, int32_t sineOrder,
                              const LargeOrderPlan& plan) {
        spec->bitReverseTable = bitReverseIndexTable(m);
        if (spec->bitReverseTable == nullptr) return primitiveStatusAllocationFailed;
        float* ownSine = nullptr;
        if (sine == nullptr) {
            ownSine = quarterSineTable(m);
            if (ownSine == nullptr) return primitiveStatusAllocationFailed;
            sine = ownSine;
            sineOrder = m;
        }
        int32_t status = primitiveStatusOk;
        if (m <= plan.leafLimit) {
            spec->radixTwiddles = radixTable(m, sine, sineOrder);
            if (spec->radixTwiddles == nullptr) status = primitiveStatusAllocationFailed;
            spec->workBufferBytes = Ops::kBuild == buildGeneric ? 0 : static_cast<int32_t>(8 * (int64_t{1} << m) + 16);
        } else {
            spec->workBufferBytes = 0;
            int32_t radixOrder = 0;
            if (plan.blockOrder == nullptr && plan.levelOrder[m] == 0) {
                spec->largeOrderTwiddles = largeOrderTwiddles(m, sine, sineOrder);
                if (spec->largeOrderTwiddles == nullptr) status = primitiveStatusAllocationFailed;
                radixOrder = plan.leafLimit;
            } else {
                status = buildLevels(spec, m, 0, sine, sineOrder, plan, radixOrder);
            }
            if (status == primitiveStatusOk) {
                spec->radixTwiddles = radixTable(radixOrder, sine, sineOrder);
                if (spec->radixTwiddles == nullptr) status = primitiveStatusAllocationFailed;
            }
            if (status == primitiveStatusOk) spec->workBufferBytes += plan.bufferAddend;
        }
        generic::zoveZiva(ownSine);
        return status;
    }

    // ---- Large orders -----------------------------------------------------

    template <bool Inverse>
    struct Large {
        using P = Passes<Ops, Inverse>;

        static void leaf(float* row, int32_t order, const float* table, bool scaleRows, float factor) {
            P::radixPasses(row, order, table);
            if (scaleRows) scale<Ops>(factor, row, 2 * (int64_t{1} << order));
        }

        // 2^k points: 1024-point blocks, then radix-2 combining stages.
        static void twoLevel(const RealFftSpec* spec, float* data, int32_t k, int32_t blockOrder, bool scaleRows,
                             float factor) {
            const int64_t n = int64_t{1} << k, block = int64_t{1} << blockOrder;
            for (int64_t b = n - block; b >= 0; b -= block) leaf(data + 2 * b, blockOrder, spec->radixTwiddles, scaleRows, factor);
            const float* tw = spec->largeOrderTwiddles;
            const int64_t quarter = n / 4;
            for (int64_t span = block; span < n; span *= 2) {
                const int64_t stride = n / (2 * span);
                for (int64_t base = 0; base < n; base += 2 * span) {
                    float* e = data + 2 * base;
                    float* o = e + 2 * span;
                    for (int64_t j = 0; j < span; ++j) {
                        const int64_t idx = j * stride;
                        float wr, wi;
                        if (idx < quarter) {
                            wr = tw[2 * idx];
                            wi = tw[2 * idx + 1];
                        } else {  // times -i
                            wr = tw[2 * (idx - quarter) + 1];
                            wi = -tw[2 * (idx - quarter)];
                        }
                        if (Inverse) wi = -wi;
                        const float orr = o[2 * j], oi = o[2 * j + 1];
                        const float tr = orr * wr - oi * wi, ti = orr * wi + oi * wr;
                        const float er = e[2 * j], ei = e[2 * j + 1];
                        e[2 * j] = er + tr;
                        e[2 * j + 1] = ei + ti;
                        o[2 * j] = er - tr;
                        o[2 * j + 1] = ei - ti;
                    }
                }
            }
        }

        // The level of order k at depth d on bit-reversed data: rows, then
        // columns through the block buffer.
        static void level(const RealFftSpec* spec, float* data, int32_t k, int32_t depth, float* buffer,
                          const LargeOrderPlan& plan, bool scaleRows, float factor) {
            const int32_t l = plan.levelOrder[k];
            const int32_t rest = k - l;
            const int64_t rows = int64_t{1} << l, columns = int64_t{1} << rest;
            for (int64_t r = 0; r < rows; ++r) {
                float* row = data + 2 * r * columns;
                if (rest <= plan.leafLimit) {
                    leaf(row, rest, spec->radixTwiddles, scaleRows, factor);
                } else if (plan.blockOrder != nullptr) {
                    if (depth < 2)
                        level(spec, row, rest, depth + 1, buffer, plan, scaleRows, factor);
                    else
                        leaf(row, rest, spec->radixTwiddles, scaleRows, factor);
                } else if (depth < 2 && plan.levelOrder[rest] != 0) {
                    level(spec, row, rest, depth + 1, buffer, plan, scaleRows, factor);
                } else {
                    twoLevel(spec, row, rest, plan.leafLimit, scaleRows, factor);
                }
            }
            const float* columnTable = plan.blockOrder == nullptr ? spec->levelTwiddles[depth] : spec->radixTwiddles;
            const float* tw = spec->levelBlockTwiddles[depth];
            const int64_t width =
                std::min(columns, plan.blockOrder == nullptr ? 4 : int64_t{1} << (plan.blockOrder[k] - l));
            for (int64_t c0 = 0; c0 < columns; c0 += width) {
                for (int64_t r = 0; r < rows; ++r) {
                    const float* in = data + 2 * (r * columns + c0);
                    const float* w = tw + 2 * (r * columns + c0);
                    for (int64_t c = 0; c < width; ++c) {
                        const float xr = in[2 * c], xi = in[2 * c + 1], wr = w[2 * c];
                        const float wi = Inverse ? -w[2 * c + 1] : w[2 * c + 1];
                        buffer[2 * (c * rows + r)] = xr * wr - xi * wi;
                        buffer[2 * (c * rows + r) + 1] = xr * wi + xi * wr;
                    }
                }
                for (int64_t c = 0; c < width; ++c) P::radixPasses(buffer + 2 * c * rows, l, columnTable);
                for (int64_t r = 0; r < rows; ++r) {
                    float* out = data + 2 * (r * columns + c0);
                    for (int64_t c = 0; c < width; ++c) {
                        out[2 * c] = buffer[2 * (c * rows + r)];
                        out[2 * c + 1] = buffer[2 * (c * rows + r) + 1];
                    }
                }
            }
        }

        static void run(const RealFftSpec* spec, float* data, int32_t h, uint8_t* buffer, const LargeOrderPlan& plan) {
            const bool scaleRows = Inverse ? spec->scaleInverse != 0 : spec->scaleForward != 0;
            const float factor = spec->scaleFactor;
            if (plan.blockOrder == nullptr && plan.levelOrder[h] == 0) {
                twoLevel(spec, data, h, plan.leafLimit, scaleRows, factor);
            } else {
                level(spec, data, h, 0, reinterpret_cast<float*>(buffer), plan, scaleRows, factor);
            }
        }
    };
};

}  // namespace primitives::fftcore

// Defines the build's named routines over BuildCore<OPS>.
#define VELKARN_DEFINE_FFT_BUILD(suffix, OPS)                                                               \
    namespace primitives {                                                                                  \
    using Core_##suffix = fftcore::BuildCore<OPS>;                                                          \
    int32_t* buildBitReverseIndexTable_##suffix(int32_t m) { return Core_##suffix::bitReverseIndexTable(m); } \
    float* buildQuarterSineTable_##suffix(int32_t order) { return Core_##suffix::quarterSineTable(order); }  \
    float* buildRadixTwiddleTable_##suffix(int32_t a, const float* sine, int32_t sineOrder) {                \
        return Core_##suffix::radixTable(a, sine, sineOrder);                                               \
    }                                                                                                       \
    float* buildRealForwardSplitWeights_##suffix(int32_t order, const float* sine) {                        \
        return Core_##suffix::forwardSplitWeights(order, sine);                                             \
    }                                                                                                       \
    float* buildRealInverseSplitTwiddles_##suffix(int32_t order, const float* sine) {                       \
        return Core_##suffix::inverseSplitTwiddles(order, sine);                                            \
    }                                                                                                       \
    int32_t initFftTablesWithPlan_##suffix(RealFftSpec* spec, int32_t m, const float* sine,                \
                                           int32_t sineOrder, const LargeOrderPlan& plan) {                 \
        return Core_##suffix::initTables(spec, m, sine, sineOrder, plan);                                   \
    }                                                                                                       \
    int32_t initFftTables_##suffix(RealFftSpec* spec, int32_t m, const float* sine, int32_t sineOrder) {    \
        return Core_##suffix::initTables(spec, m, sine, sineOrder, largeOrderPlan(OPS::kBuild));            \
    }                                                                                                       \
    void fftBitReverseCopy_##suffix(const float* src, float* dst, int32_t n, const int32_t* table) {        \
        fftcore::bitReverseCopy(src, dst, n, table);                                                        \
    }                                                                                                       \
    void fftBitReverseInPlace_##suffix(float* data, int32_t n, const int32_t* table) {                      \
        fftcore::bitReverseInPlace(data, n, table);                                                         \
    }                                                                                                       \
    void fftLargeOrderWithPlan_##suffix(const RealFftSpec* spec, float* data, int32_t h, uint8_t* buffer,   \
                                        const LargeOrderPlan& plan, bool inverse) {                         \
        if (inverse)                                                                                        \
            Core_##suffix::Large<true>::run(spec, data, h, buffer, plan);                                   \
        else                                                                                                \
            Core_##suffix::Large<false>::run(spec, data, h, buffer, plan);                                  \
    }                                                                                                       \
    void fftLargeOrder_##suffix(const RealFftSpec* spec, float* data, int32_t h, uint8_t* buffer) {         \
        Core_##suffix::Large<false>::run(spec, data, h, buffer, largeOrderPlan(OPS::kBuild));               \
    }                                                                                                       \
    void ifftLargeOrder_##suffix(const RealFftSpec* spec, float* data, int32_t h, uint8_t* buffer) {        \
        Core_##suffix::Large<true>::run(spec, data, h, buffer, largeOrderPlan(OPS::kBuild));                \
    }                                                                                                       \
    void scaleFloatsInPlace_##suffix(float factor, float* data, int64_t count) {                            \
        fftcore::scale<OPS>(factor, data, count);                                                           \
    }                                                                                                       \
    }

// The radix passes, one-piece transforms and recombinations of the SIMD
// builds.
#define VELKARN_DEFINE_FFT_SIMD(suffix, OPS)                                                                 \
    namespace primitives {                                                                                   \
    namespace {                                                                                              \
    int32_t orderOf_##suffix(int32_t n) { return __builtin_ctz(static_cast<uint32_t>(n)); }                  \
    float* alignedWork_##suffix(uint8_t* buffer) { return reinterpret_cast<float*>(buffer); }                \
    }                                                                                                        \
    void fftRadixPasses_##suffix(float* data, int32_t n, const float* twiddles, uint8_t*, int32_t) {         \
        fftcore::Passes<OPS, false>::radixPasses(data, orderOf_##suffix(n), twiddles);                       \
    }                                                                                                        \
    void ifftRadixPasses_##suffix(float* data, int32_t n, const float* twiddles, uint8_t*, int32_t) {        \
        fftcore::Passes<OPS, true>::radixPasses(data, orderOf_##suffix(n), twiddles);                        \
    }                                                                                                        \
    void fftMediumOrder_##suffix(const float* src, float* dst, int32_t n, const float* twiddles,             \
                                 const int32_t* bitReverse, uint8_t* buffer) {                               \
        fftcore::Passes<OPS, false>::medium(src, dst, orderOf_##suffix(n), twiddles, bitReverse,             \
                                            alignedWork_##suffix(buffer));                                   \
    }                                                                                                        \
    void ifftMediumOrder_##suffix(const float* src, float* dst, int32_t n, const float* twiddles,            \
                                  const int32_t* bitReverse, uint8_t* buffer) {                              \
        fftcore::Passes<OPS, true>::medium(src, dst, orderOf_##suffix(n), twiddles, bitReverse,              \
                                           alignedWork_##suffix(buffer));                                    \
    }                                                                                                        \
    void realFftRecombineForward_##suffix(float* data, int32_t n, const float* weights) {                    \
        fftcore::recombineForwardGroups<OPS>(data, n, weights);                                              \
    }                                                                                                        \
    void realFftRecombineInverse_##suffix(const float* src, float* dst, int32_t n, const float* twiddles) {  \
        fftcore::recombineInverseGroups<OPS>(src, dst, n, twiddles);                                         \
    }                                                                                                        \
    }
