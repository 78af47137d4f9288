// Plan constants and sizes of the power-of-two FFT, the release of a spec and
// the conversions between the real spectrum orders.
#include <algorithm>
#include <cstring>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives {

// Rows: builds 1..4 at index build - 1; columns: complex order 0..30.
const int32_t planLevelOrder[4][31] = {
    // 0..10 unused                   11 12 13 14 15 16 17 18 19  20  21  22  23 24 25  26  27  28  29  30
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 7, 8, 8, 8, 10, 10, 10, 10, 8, 8, 10, 10, 10, 10, 10, 10},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 7, 8, 8, 8, 10, 10, 10, 10, 8, 8, 10, 10, 10, 10, 10, 10},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 5, 6, 6, 8, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 4, 4, 4, 5, 8, 8, 8, 8, 8, 8, 8, 8, 8},
};

const int32_t planBlockOrder[4][31] = {
    {},
    {},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 10, 10, 13, 13, 13, 14, 14, 14, 14, 14, 14, 14, 14, 14},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 10, 10, 10, 13, 15, 15, 15, 15, 15, 15, 15, 15, 15},
};

namespace {

// Base order (largest order of the radix passes) and large-order addend.
constexpr LargeOrderPlan plans[4] = {
    {planLevelOrder[0], nullptr, 10, 16},
    {planLevelOrder[1], nullptr, 10, 8208},
    {planLevelOrder[2], planBlockOrder[2], 15, 262160},
    {planLevelOrder[3], planBlockOrder[3], 16, 524304},
};

struct SizeWalk {
    int64_t workBytes = 0;
    int64_t largest = 0;
    int32_t radixOrder = 0;
    void table(int64_t bytes) { largest = std::max(largest, bytes); }
};

int64_t radixTableBytes(int32_t a) { return 4 * radixTableFloats(a); }

// Mirrors the large-order table builder of FftBuild.h.
void walkLevels(SizeWalk& walk, int32_t k, int32_t depth, const LargeOrderPlan& plan) {
    const int32_t level = plan.levelOrder[k];
    const int32_t rest = k - level;
    if (plan.blockOrder == nullptr) {
        if (rest <= plan.leafLimit) {
            walk.radixOrder = rest;
        } else if (depth < 2 && plan.levelOrder[rest] != 0) {
            walkLevels(walk, rest, depth + 1, plan);
        } else {
            walk.table(2 * (int64_t{1} << rest));
            walk.radixOrder = plan.leafLimit;
        }
        walk.table(radixTableBytes(level));
        walk.workBytes = std::max(walk.workBytes, 32 * (int64_t{1} << level));
    } else {
        if (rest > plan.leafLimit && depth < 2) {
            walkLevels(walk, rest, depth + 1, plan);
        } else {
            walk.radixOrder = std::max(walk.radixOrder, rest);
        }
        walk.radixOrder = std::max(walk.radixOrder, level);
        walk.workBytes = std::max(walk.workBytes, 8 * (int64_t{1} << plan.blockOrder[k]));
    }
    walk.table(8 * (int64_t{1} << k));
}

}  // namespace

const LargeOrderPlan& largeOrderPlan(int32_t build) { return plans[std::clamp(build, 1, 4) - 1]; }

int64_t radixTableFloats(int32_t a) { return a < 4 ? 4 : 6 * ((int64_t{1} << a) / 2 - 4); }

RealFftPlanSizes realFftPlanSizes(int32_t build, int32_t order, const LargeOrderPlan& plan) {
    SizeWalk walk;
    walk.table(static_cast<int64_t>(sizeof(RealFftSpec)));
    if (order <= 3) return {0, walk.largest};
    const int64_t n = int64_t{1} << order;
    const int32_t m = order - 1;
    walk.table(4 * (n / 4 + 1));                      // quarter-wave sine table
    walk.table(8 * (n / 4));                          // each recombination table
    walk.table(4 * ((int64_t{1} << (m - 2)) + 1));    // bit reversal
    if (m <= plan.leafLimit) {
        walk.table(radixTableBytes(m));
        walk.workBytes = build == buildGeneric ? 0 : 8 * (int64_t{1} << m) + 16;
        return {walk.workBytes, walk.largest};
    }
    if (plan.blockOrder == nullptr && plan.levelOrder[m] == 0) {
        walk.table(2 * (int64_t{1} << m));
        walk.radixOrder = plan.leafLimit;
    } else {
        walkLevels(walk, m, 0, plan);
    }
    walk.table(radixTableBytes(walk.radixOrder));
    return {walk.workBytes + plan.bufferAddend, walk.largest};
}

RealFftPlanSizes realFftPlanSizes(int32_t build, int32_t order) {
    return realFftPlanSizes(build, order, largeOrderPlan(build));
}

int64_t workBufferBytes(int32_t build, int32_t order) { return realFftPlanSizes(build, order).workBufferBytes; }

int64_t BlockList::largest() const {
    int64_t result = 0;
    for (int32_t i = 0; i < std::min(count, kCapacity); ++i) result = std::max(result, bytes[i]);
    return result;
}

namespace {

// The large-order levels of complex order k at depth d, in the order
// FftBuild.h's buildLevels allocates them; returns the order of the radix
// table that follows them.
int32_t listLevels(BlockList& list, int32_t k, int32_t depth, const LargeOrderPlan& plan, int32_t radixOrder) {
    const int32_t level = plan.levelOrder[k];
    const int32_t rest = k - level;
    if (plan.blockOrder == nullptr) {
        if (rest <= plan.leafLimit) {
            radixOrder = rest;
        } else if (depth < 2 && plan.levelOrder[rest] != 0) {
            radixOrder = listLevels(list, rest, depth + 1, plan, radixOrder);
        } else {
            list.add(8 * std::max<int64_t>((int64_t{1} << rest) / 4, 1));
            radixOrder = plan.leafLimit;
        }
        list.add(radixTableBytes(level));
    } else {
        if (rest > plan.leafLimit && depth < 2) {
            radixOrder = listLevels(list, rest, depth + 1, plan, radixOrder);
        } else {
            radixOrder = std::max(radixOrder, rest);
        }
        radixOrder = std::max(radixOrder, level);
    }
    list.add(8 * (int64_t{1} << k));
    return radixOrder;
}

// The tables initFftTables builds for complex order m, in their order; with
// ownSine it makes (and afterwards releases) a quarter-wave table itself.
void listTables(BlockList& list, int32_t m, bool ownSine, const LargeOrderPlan& plan) {
    list.add(4 * (m < 2 ? 1 : (int64_t{1} << (m - 2)) + 1));
    if (ownSine) list.add(4 * ((int64_t{1} << m) / 4 + 1));
    if (m <= plan.leafLimit) {
        list.add(radixTableBytes(m));
        return;
    }
    int32_t radixOrder = 0;
    if (plan.blockOrder == nullptr && plan.levelOrder[m] == 0) {
        list.add(8 * std::max<int64_t>((int64_t{1} << m) / 4, 1));
        radixOrder = plan.leafLimit;
    } else {
        radixOrder = listLevels(list, m, 0, plan, 0);
    }
    list.add(radixTableBytes(radixOrder));
}

}  // namespace

void listRealFftBlocks(BlockList& list, int32_t build, int32_t order) {
    list.add(static_cast<int64_t>(sizeof(RealFftSpec)));
    if (order <= 3) return;
    const int64_t n = int64_t{1} << order;
    list.add(4 * (n / 4 + 1));
    listTables(list, order - 1, false, largeOrderPlan(build));
    list.add(8 * (n / 4));
    list.add(8 * (n / 4));
}

void listComplexFftBlocks(BlockList& list, int32_t build, int32_t order) {
    list.add(static_cast<int64_t>(sizeof(RealFftSpec)));
    if (order <= 3) return;
    listTables(list, order, true, largeOrderPlan(build));
}

RealFftPlanSizes complexFftPlanSizes(int32_t build, int32_t k) {
    BlockList list;
    listComplexFftBlocks(list, build, k);
    // The engine's tables of order k are the real FFT's of order k + 1.
    return {k <= 3 ? 0 : workBufferBytes(build, k + 1), list.largest()};
}

void freeFftSpec(RealFftSpec* spec) {
    if (spec == nullptr) return;
    void* tables[] = {spec->bitReverseTable, spec->radixTwiddles, spec->largeOrderTwiddles, spec->reservedTable,
                      spec->forwardSplitWeights, spec->inverseSplitTwiddles, spec->levelTwiddles[0],
                      spec->levelTwiddles[1], spec->levelTwiddles[2], spec->levelBlockTwiddles[0],
                      spec->levelBlockTwiddles[1], spec->levelBlockTwiddles[2]};
    for (void* table : tables) generic::zoveZiva(table);
    spec->kindTag = 0;
    generic::zoveZiva(spec);
}

void permToCcs(float* data, int64_t n) {
    if (n >= 2) {
        data[n] = data[1];
        data[n + 1] = 0.0f;
    }
    data[1] = 0.0f;
}

void ccsToPerm(const float* ccs, float* perm, int64_t n) {
    const float first = ccs[0];
    if (n > 1) {
        const float nyquist = ccs[n];
        if (ccs != perm && n > 2) std::memmove(perm + 2, ccs + 2, static_cast<std::size_t>(n - 2) * sizeof(float));
        perm[1] = nyquist;
    }
    perm[0] = first;
}

void packToPerm(const float* pack, float* perm, int64_t n) {
    if (n < 2) {
        perm[0] = pack[0];
        return;
    }
    // Pack[n-1] is saved before the move overwrites it; the move runs from
    // the top down so that it also works in place.
    const float nyquist = pack[n - 1];
    for (int64_t k = n - 2; k >= 1; --k) perm[k + 1] = pack[k];
    perm[1] = nyquist;
    perm[0] = pack[0];
}

void permToPack(float* data, int64_t n) {
    if (n < 3) return;
    const float nyquist = data[1];
    for (int64_t k = 1; k <= n - 2; ++k) data[k] = data[k + 1];
    data[n - 1] = nyquist;
}

}  // namespace primitives
