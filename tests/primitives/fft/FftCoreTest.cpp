// The internal core: the small-order kernels of every row, and the large-order
// plans (their deeper recursion and two-level bottoms) run at small orders
// with test-given plan tables.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "FftReference.h"
#include "FftTestSupport.h"
#include "primitives/core/AlignedMemory.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives::test {
namespace {

const SmallOrderKernelTable& kernelsOf(int32_t build) {
    static const SmallOrderKernelTable* tables[] = {&smallOrderKernels_generic, &smallOrderKernels_sse,
                                                    &smallOrderKernels_sse2, &smallOrderKernels_sse3};
    return *tables[build - 1];
}

class FftCoreTest : public PerBuildTest {};

double maxError(const float* y, const std::vector<double>& ref) {
    double worst = 0;
    for (size_t i = 0; i < ref.size(); ++i) worst = std::max(worst, std::abs(y[i] - ref[i]));
    return worst;
}

// Complex rows 0-3 against the direct DFT, scaled rows against the unscaled
// result times the factor; every kernel in place gives the bits of out of place.
TEST_P(FftCoreTest, ComplexKernelRows) {
    const SmallOrderKernelTable& rows = kernelsOf(build());
    for (int32_t order = 0; order <= 3; ++order) {
        const int64_t n = int64_t{1} << order;
        const std::vector<float> x = uniformSignal(2 * n, 11 + static_cast<uint32_t>(order));
        std::vector<ComplexD> input(static_cast<size_t>(n));
        for (int64_t k = 0; k < n; ++k) input[k] = {x[2 * k], x[2 * k + 1]};
        for (bool inverse : {false, true}) {
            SCOPED_TRACE(testing::Message() << "order " << order << (inverse ? ", inverse" : ", forward"));
            const std::vector<ComplexD> ref = referenceComplexDft(input, inverse);
            std::vector<double> flat(static_cast<size_t>(2 * n));
            for (int64_t k = 0; k < n; ++k) {
                flat[2 * k] = ref[k].real();
                flat[2 * k + 1] = ref[k].imag();
            }
            const SmallOrderKernel plain = (inverse ? rows.complexInverse : rows.complexForward)[order];
            const SmallOrderKernelScaled scaled = (inverse ? rows.complexInverseScaled : rows.complexForwardScaled)[order];
            std::vector<float> y(static_cast<size_t>(2 * n)), z(x);
            plain(x.data(), y.data());
            EXPECT_LE(maxError(y.data(), flat), 4e-6 * n);
            plain(z.data(), z.data());
            EXPECT_EQ(std::memcmp(y.data(), z.data(), y.size() * 4), 0);

            const float factor = 1.0f / static_cast<float>(n);
            for (double& v : flat) v *= factor;
            std::vector<float> s(static_cast<size_t>(2 * n)), t(x);
            scaled(x.data(), s.data(), factor);
            EXPECT_LE(maxError(s.data(), flat), 4e-6);
            scaled(t.data(), t.data(), factor);
            EXPECT_EQ(std::memcmp(s.data(), t.data(), s.size() * 4), 0);
        }
    }
}

TEST_P(FftCoreTest, RealKernelRowsInPlace) {
    const SmallOrderKernelTable& rows = kernelsOf(build());
    const SmallOrderKernel* plain[] = {rows.realForward, rows.realInverse};
    const SmallOrderKernelScaled* scaled[] = {rows.realForwardScaled, rows.realInverseScaled};
    for (int kind = 0; kind < 2; ++kind) {
        for (int32_t order = 0; order <= 3; ++order) {
            const int64_t n = int64_t{1} << order;
            const std::vector<float> x = uniformSignal(n, 21);
            std::vector<float> a(static_cast<size_t>(n)), b(x), c(static_cast<size_t>(n)), d(x);
            plain[kind][order](x.data(), a.data());
            plain[kind][order](b.data(), b.data());
            scaled[kind][order](x.data(), c.data(), 0.375f);
            scaled[kind][order](d.data(), d.data(), 0.375f);
            EXPECT_EQ(a, b) << "kind " << kind << ", order " << order;
            EXPECT_EQ(c, d) << "kind " << kind << ", order " << order;
        }
    }
}

// Real forward then real inverse, both unscaled, returns N times the input;
// an impulse gives all-ones.
TEST_P(FftCoreTest, RealKernelRoundTrip) {
    const SmallOrderKernelTable& rows = kernelsOf(build());
    for (int32_t order = 0; order <= 3; ++order) {
        const int64_t n = int64_t{1} << order;
        const std::vector<float> x = uniformSignal(n, 3);
        std::vector<float> spectrum(static_cast<size_t>(n)), back(static_cast<size_t>(n));
        rows.realForward[order](x.data(), spectrum.data());
        rows.realInverse[order](spectrum.data(), back.data());
        for (int64_t j = 0; j < n; ++j) EXPECT_NEAR(back[j], n * x[j], 1e-5) << order;
        rows.realInverseScaled[order](spectrum.data(), back.data(), 1.0f / static_cast<float>(n));
        for (int64_t j = 0; j < n; ++j) EXPECT_NEAR(back[j], x[j], 1e-6) << order;
    }
}

// ---- Large-order plans ----------------------------------------------------

struct BuildCoreRoutines {
    int32_t (*initTables)(RealFftSpec*, int32_t, const float*, int32_t, const LargeOrderPlan&);
    void (*bitReverseCopy)(const float*, float*, int32_t, const int32_t*);
    void (*largeOrder)(const RealFftSpec*, float*, int32_t, uint8_t*, const LargeOrderPlan&, bool);
};

BuildCoreRoutines routinesOf(int32_t build) {
    switch (build) {
    case buildGeneric: return {initFftTablesWithPlan_generic, fftBitReverseCopy_generic, fftLargeOrderWithPlan_generic};
    case buildSse: return {initFftTablesWithPlan_sse, fftBitReverseCopy_sse, fftLargeOrderWithPlan_sse};
    case buildSse2: return {initFftTablesWithPlan_sse2, fftBitReverseCopy_sse2, fftLargeOrderWithPlan_sse2};
    default: return {initFftTablesWithPlan_sse3, fftBitReverseCopy_sse3, fftLargeOrderWithPlan_sse3};
    }
}

struct PlanCase {
    const char* name;
    int32_t m;
    std::vector<std::pair<int32_t, int32_t>> levels;  // (k, L)
    std::vector<std::pair<int32_t, int32_t>> blocks;  // (k, B); empty: generic-style plan
    int32_t leafLimit;
};

// Complex FFT of order m through the plan, forward and inverse, against the
// direct DFT; the block buffer is exactly workBufferBytes with guards after.
void runPlan(int32_t build, const PlanCase& plan) {
    SCOPED_TRACE(plan.name);
    int32_t levelOrder[31] = {}, blockOrder[31] = {};
    for (auto [k, l] : plan.levels) levelOrder[k] = l;
    for (auto [k, b] : plan.blocks) blockOrder[k] = b;
    const LargeOrderPlan table = {levelOrder, plan.blocks.empty() ? nullptr : blockOrder, plan.leafLimit, 16};
    const BuildCoreRoutines routines = routinesOf(build);
    const int64_t n = int64_t{1} << plan.m;
    const std::vector<float> x = uniformSignal(2 * n, 8 + static_cast<uint32_t>(plan.m));
    std::vector<ComplexD> input(static_cast<size_t>(n));
    for (int64_t k = 0; k < n; ++k) input[k] = {x[2 * k], x[2 * k + 1]};

    for (bool inverse : {false, true}) {
        auto* spec = reinterpret_cast<RealFftSpec*>(generic::vaduRivuro_8v(sizeof(RealFftSpec)));
        std::memset(static_cast<void*>(spec), 0, sizeof(RealFftSpec));
        spec->kindTag = kComplexFftKindTag;
        spec->order = plan.m;
        spec->scaleForward = spec->scaleInverse = 1;
        spec->scaleFactor = 1.0f / static_cast<float>(n);
        ASSERT_EQ(routines.initTables(spec, plan.m, nullptr, 0, table), 0);
        EXPECT_EQ(spec->workBufferBytes, realFftPlanSizes(build, plan.m + 1, table).workBufferBytes);

        std::vector<uint8_t> storage(static_cast<size_t>(spec->workBufferBytes) + 64, 0xEE);
        uint8_t* buffer = storage.data() + ((16 - reinterpret_cast<uintptr_t>(storage.data()) % 16) % 16);
        const int64_t usable = spec->workBufferBytes - 16;
        std::vector<float> data(static_cast<size_t>(2 * n));
        routines.bitReverseCopy(x.data(), data.data(), static_cast<int32_t>(n), spec->bitReverseTable);
        routines.largeOrder(spec, data.data(), plan.m, buffer, table, inverse);
        int64_t touched = 0;
        for (uint8_t* p = buffer + usable; p < storage.data() + storage.size(); ++p) touched += *p != 0xEE;
        EXPECT_EQ(touched, 0) << "bytes beyond workBufferBytes - 16";

        const std::vector<ComplexD> ref = referenceComplexDft(input, inverse);
        std::vector<double> flat(static_cast<size_t>(2 * n));
        for (int64_t k = 0; k < n; ++k) {
            flat[2 * k] = ref[k].real();
            flat[2 * k + 1] = ref[k].imag();
        }
        EXPECT_EQ(checkTolerance(data.data(), flat, plan.m, 1.0 / static_cast<double>(n)), "")
            << (inverse ? "inverse" : "forward");
        freeFftSpec(spec);
    }
}

TEST_P(FftCoreTest, LargeOrderPlansAtSmallOrders) {
    std::vector<PlanCase> cases;
    if (build() == buildSse2 || build() == buildSse3) {
        cases = {
            {"one level", 10, {{10, 3}}, {{10, 6}}, 7},
            {"depth 1", 10, {{10, 3}, {7, 2}}, {{10, 5}, {7, 4}}, 5},
            {"depth 2", 11, {{11, 3}, {8, 2}, {6, 2}}, {{11, 6}, {8, 4}, {6, 4}}, 3},
            {"wide block", 12, {{12, 4}, {8, 3}}, {{12, 9}, {8, 6}}, 5},
        };
    } else {
        cases = {
            {"two-level", 9, {{9, 0}}, {}, 5},
            {"one level", 10, {{10, 3}}, {}, 7},
            {"depth 1", 10, {{10, 2}, {8, 3}}, {}, 5},
            {"two-level below", 10, {{10, 3}, {7, 0}}, {}, 5},
            {"depth 2", 12, {{12, 3}, {9, 2}, {7, 2}}, {}, 4},
        };
    }
    for (const PlanCase& c : cases) runPlan(build(), c);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(FftCoreTest);

}  // namespace
}  // namespace primitives::test
