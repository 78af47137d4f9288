// The factor plan of a DFT length and the pure plan of its whole set-up:
// path, radices, chirp length, every block and the work-buffer size.
#include <algorithm>
#include <utility>

#include "primitives/core/Dispatcher.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives {

int32_t factorPlan(int64_t n, int32_t radices[kMaxDftStages]) {
    int32_t count = 0;
    int64_t rest = n;
    auto push = [&](int64_t radix) {
        if (count < kMaxDftStages) radices[count] = static_cast<int32_t>(radix);
        ++count;
    };
    while (rest > 0 && rest % 4 == 0) {
        push(4);
        rest /= 4;
    }
    if (rest > 0 && rest % 2 == 0) {
        // The single factor 2 goes first, before the fours.
        push(4);
        rest /= 2;
        radices[0] = 2;
    }
    for (int64_t j = 3; rest >= j * j;) {
        if (rest % j == 0) {
            push(j);
            rest /= j;
        } else if ((j += 2) > 150) {
            return 0;
        }
    }
    if (count == 0 || rest > 150 || count >= kMaxDftStages) return 0;
    radices[count] = static_cast<int32_t>(rest);  // the residual: the largest prime factor
    return count + 1;
}

int32_t buildFactorPlan(RealDftSpec* spec, int32_t n) {
    int32_t radices[kMaxDftStages];
    const int32_t count = factorPlan(n, radices);
    if (count == 0) return 0;
    for (int32_t i = 0; i < count; ++i) spec->stages[i].radix = radices[i];
    spec->lastTwiddledStage = count - 2;
    return 1;
}

void reorderPlanForFourWide(int32_t* radices, int32_t count) {
    const int32_t last = count - 1;
    if (radices[0] == 4)
        std::swap(radices[0], radices[last]);
    else if (count > 2 && radices[1] == 4)
        std::swap(radices[1], radices[last]);
    else if (radices[0] == 2)
        std::swap(radices[0], radices[last]);
}

bool DftPlan::fitsAllocator() const {
    return blocks.count <= BlockList::kCapacity && blocks.largest() <= kMaxBlockBytes &&
           workBufferBytes <= kMaxBlockBytes;
}

DftPlan dftPlan(int32_t build, int64_t length) {
    DftPlan plan{};
    plan.lastTwiddledStage = -1;
    plan.n = length;
    const int64_t rootBytes = build == buildGeneric ? 8 : 24;  // per root of a direct or radix table
    if (length <= 4) {
        plan.path = DftPath::smallKernel;
        plan.blocks.add(static_cast<int64_t>(sizeof(RealDftSpec)));
        return plan;
    }
    if ((length & (length - 1)) == 0) {
        int32_t order = 0;
        while ((int64_t{1} << order) < length) ++order;
        plan.path = DftPath::realFft;
        plan.blocks.add(static_cast<int64_t>(sizeof(RealDftSpec)));
        listRealFftBlocks(plan.blocks, build, order);
        plan.workBufferBytes = workBufferBytes(build, order);
        return plan;
    }
    const bool odd = length % 2 != 0;
    const int64_t n = odd ? length : length / 2;
    plan.n = n;
    plan.blocks.add(static_cast<int64_t>(sizeof(RealDftSpec)));
    plan.blocks.add(8 * length);  // the temporary N-point twiddle table
    if (!odd) {
        plan.blocks.add(8 * ((length + 3) / 4));  // split weights
        plan.blocks.add(8 * ((length + 3) / 4));  // split twiddles
    }
    plan.radixCount = factorPlan(n, plan.radices);
    if (plan.radixCount > 0) {
        plan.path = odd ? DftPath::mixedRadixReal : DftPath::mixedRadixComplex;
        if (build == buildSse2 || build == buildSse3) reorderPlanForFourWide(plan.radices, plan.radixCount);
        plan.lastTwiddledStage = plan.radixCount - 2;
        int64_t largestOdd = 0;
        for (int32_t i = 0; i < plan.radixCount; ++i)
            if (plan.radices[i] > 5) largestOdd = std::max<int64_t>(largestOdd, plan.radices[i]);
        int64_t remaining = n;
        int32_t rootsRadix = 0;
        for (int32_t j = 0; j <= plan.lastTwiddledStage; ++j) {
            const int64_t f = plan.radices[j];
            remaining /= f;
            if (f > 5) {
                if (f != rootsRadix) plan.blocks.add(rootBytes * f);
                rootsRadix = static_cast<int32_t>(f);
                // Four-wide stages of the SSE2 and SSE3-class builds.
                if ((build == buildSse2 || build == buildSse3) && remaining % 4 == 0 && largestOdd < 2 * f)
                    largestOdd = 4 * f;
            }
            plan.blocks.add(8 * remaining * f);
        }
        const int32_t residual = plan.radices[plan.radixCount - 1];
        if (residual > 5 && residual != rootsRadix) plan.blocks.add(rootBytes * residual);
        plan.blocks.add(4 * n);  // reorder index
        plan.workBufferBytes = 8 * n + 8 * largestOdd + 16;
        return plan;
    }
    plan.radixCount = 0;
    if (odd ? n <= 180 : n <= 150) {
        plan.path = odd ? DftPath::directOdd : DftPath::directEven;
        plan.blocks.add(rootBytes * n);
        plan.workBufferBytes = odd ? 4 * length + 16 : 8 * n + 16;  // the sums and differences
        return plan;
    }
    plan.path = odd ? DftPath::chirpOdd : DftPath::chirpEven;
    int64_t m = 1;
    while (m < 2 * n - 1) m *= 2;
    plan.chirpLength = m;
    plan.blocks.add(8 * n);  // chirp
    plan.blocks.add(8 * m);  // chirp filter
    if (odd) plan.blocks.add(16 * n);  // the temporary 2n-point twiddle table
    int32_t k = 0;
    while ((int64_t{1} << k) < m) ++k;
    int64_t inner = 0;
    if (k <= kMaxFftOrder) {
        listComplexFftBlocks(plan.blocks, build, k);
        inner = complexFftPlanSizes(build, k).workBufferBytes;
        if (inner > 0) plan.blocks.add(inner);  // the filter's one transform, without a caller's buffer
    }
    plan.workBufferBytes = inner + 8 * m + 16;
    return plan;
}

}  // namespace primitives
