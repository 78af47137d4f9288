// Forward and inverse transforms against the double-precision reference, on
// every build and at every order up to 24.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "FftReference.h"
#include "FftTestSupport.h"

namespace primitives::test {
namespace {

// The input signals of one order and their double-precision results.
struct OrderReference {
    int32_t order;
    int64_t n;
    std::vector<float> signal;    // forward input
    std::vector<double> perm;     // its spectrum in Perm order
    std::vector<double> ccs;      // and in CCS order
    std::vector<float> spectrum;  // inverse input: random CCS, garbage at 1 and N + 1
    std::vector<double> inverse;  // its signal
};

OrderReference makeReference(int32_t order) {
    OrderReference r{order, int64_t{1} << order, {}, {}, {}, {}, {}};
    r.signal = uniformSignal(r.n, 1000u + static_cast<uint32_t>(order));
    const std::vector<ComplexD> bins = referenceRealSpectrum(r.signal.data(), r.n);
    r.perm = permOf(bins, r.n);
    r.ccs = ccsOf(bins, r.n);
    r.spectrum = uniformSignal(r.n + 2, 2000u + static_cast<uint32_t>(order));
    std::vector<ComplexD> spectrum(static_cast<size_t>(r.n / 2 + 1));
    for (int64_t k = 0; k <= r.n / 2; ++k) spectrum[k] = {r.spectrum[2 * k], r.spectrum[2 * k + 1]};
    r.spectrum[1] = 12345.0f;
    r.spectrum[r.n + 1] = -6789.0f;
    r.inverse = referenceRealInverse(spectrum, r.n);
    return r;
}

// The three entries of the current build with a spec of each flag.
void checkEntries(const OrderReference& r, const std::vector<int32_t>& flags) {
    std::vector<float> y(static_cast<size_t>(r.n + 2));
    for (int32_t flag : flags) {
        SCOPED_TRACE(testing::Message() << "flag " << flag);
        FftSpec spec(r.order, flag);
        ASSERT_EQ(spec.status(), 0);
        ASSERT_EQ(zaviFFTFwd_RToPerm_32f(r.signal.data(), y.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(checkTolerance(y.data(), r.perm, r.order, forwardScale(flag, r.order)), "") << "Perm";
        ASSERT_EQ(zaviFFTFwd_RToCCS_32f(r.signal.data(), y.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(checkTolerance(y.data(), r.ccs, r.order, forwardScale(flag, r.order)), "") << "CCS";
        ASSERT_EQ(zaviFFTInv_CCSToR_32f(r.spectrum.data(), y.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(checkTolerance(y.data(), r.inverse, r.order, inverseScale(flag, r.order)), "") << "inverse";
    }
}

using Accuracy = BuildOrderTest;

// Up to order 20, every flag on every build.
TEST_P(Accuracy, ForwardToPermAndCcsAndInverseFromCcs) {
    checkEntries(makeReference(order()),
                 {fftDivideForwardByN, fftDivideInverseByN, fftDivideBySqrtN, fftNoDivision});
}

INSTANTIATE_TEST_SUITE_P(Builds, Accuracy,
                         ::testing::Combine(::testing::Range(kFirstBuild, kLastBuild + 1), ::testing::Range(0, 21)),
                         buildOrderName);

// Above order 20 one flag (it scales both directions), and one reference for
// all four builds, keep the time down.
class LargeOrderAccuracy : public ::testing::TestWithParam<int32_t> {};

TEST_P(LargeOrderAccuracy, EveryBuildWithOneFlag) {
    const OrderReference reference = makeReference(GetParam());
    for (int32_t build = kFirstBuild; build <= kLastBuild; ++build) {
        if (!hostRunsBuild(build)) continue;
        SCOPED_TRACE(buildName(build));
        ScopedBuildIndex index(build);
        checkEntries(reference, {fftDivideBySqrtN});
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, LargeOrderAccuracy, ::testing::Range(21, kLargestTestedOrder + 1),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                             return "order" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace primitives::test

namespace primitives::test {
namespace {

// The reference above 4096 points is FFTW's; at 4096 it agrees with the
// direct sums far inside the bounds the library is held to.
TEST(FftReference, FftwAgreesWithTheDirectSums) {
    const std::vector<float> x = uniformSignal(4096, 4096);
    const std::vector<ComplexD> direct = referenceRealSpectrum(x.data(), 4096, ReferenceMethod::direct);
    const std::vector<ComplexD> fftw = referenceRealSpectrum(x.data(), 4096, ReferenceMethod::fftw);
    double worst = 0, norm = 0;
    for (size_t k = 0; k < direct.size(); ++k) {
        worst = std::max(worst, std::abs(direct[k] - fftw[k]));
        norm = std::max(norm, std::abs(direct[k]));
    }
    EXPECT_LE(worst, 1e-9 * norm);
}

// Orders 25 to 28 (where the SSE2 and SSE3-class plans recurse to depth 1)
// need gigabytes and minutes; run by hand with
// --gtest_also_run_disabled_tests --gtest_filter='*LargeOrdersByHand*'.
TEST(RealFftByHand, DISABLED_LargeOrdersByHand) {
    for (int32_t build : {buildSse2, buildSse3}) {
        if (!hostRunsBuild(build)) continue;
        ScopedBuildIndex index(build);
        for (int32_t order = 25; order <= 28; ++order) {
            SCOPED_TRACE(testing::Message() << buildName(build) << ", order " << order);
            const int64_t n = int64_t{1} << order;
            const std::vector<float> x = uniformSignal(n, 25);
            FftSpec spec(order, fftDivideInverseByN);
            ASSERT_EQ(spec.status(), 0);
            std::vector<float> y(static_cast<size_t>(n + 2));
            ASSERT_EQ(zaviFFTFwd_RToCCS_32f(x.data(), y.data(), spec.get(), nullptr), 0);
            EXPECT_EQ(checkTolerance(y.data(), ccsOf(referenceRealSpectrum(x.data(), n), n), order), "");
            std::vector<float> back(static_cast<size_t>(n));
            ASSERT_EQ(zaviFFTInv_CCSToR_32f(y.data(), back.data(), spec.get(), nullptr), 0);
            double worst = 0;
            for (int64_t j = 0; j < n; ++j) worst = std::max(worst, static_cast<double>(std::abs(back[j] - x[j])));
            EXPECT_LE(worst, 16.0 * order * std::ldexp(1.0, -24));
            std::printf("%s order %d: round trip max error %.3g\n", buildName(build), order, worst);
            std::fflush(stdout);
        }
    }
}

}  // namespace
}  // namespace primitives::test
