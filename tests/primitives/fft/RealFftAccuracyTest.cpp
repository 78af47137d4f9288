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

using Accuracy = BuildOrderTest;

// Up to order 20 every flag serves every entry; above, one flag (which
// scales both directions) keeps the time down.
std::vector<int32_t> flagsFor(int32_t order) {
    if (order <= 20) return {fftDivideForwardByN, fftDivideInverseByN, fftDivideBySqrtN, fftNoDivision};
    return {fftDivideBySqrtN};
}

TEST_P(Accuracy, ForwardToPermAndCcsAndInverseFromCcs) {
    const int64_t n = int64_t{1} << order();
    const std::vector<float> x = uniformSignal(n, 1000u + static_cast<uint32_t>(order()));
    const std::vector<ComplexD> bins = referenceRealSpectrum(x.data(), n);

    for (int32_t flag : flagsFor(order())) {
        SCOPED_TRACE(testing::Message() << "Perm, flag " << flag);
        FftSpec spec(order(), flag);
        ASSERT_EQ(spec.status(), 0);
        std::vector<float> y(static_cast<size_t>(n));
        ASSERT_EQ(zaviFFTFwd_RToPerm_32f(x.data(), y.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(checkTolerance(y.data(), permOf(bins, n), order(), forwardScale(flag, order())), "");
    }
    for (int32_t flag : flagsFor(order())) {
        SCOPED_TRACE(testing::Message() << "CCS, flag " << flag);
        FftSpec spec(order(), flag);
        ASSERT_EQ(spec.status(), 0);
        std::vector<float> y(static_cast<size_t>(n + 2), canary());
        ASSERT_EQ(zaviFFTFwd_RToCCS_32f(x.data(), y.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(checkTolerance(y.data(), ccsOf(bins, n), order(), forwardScale(flag, order())), "");
    }

    // A random spectrum with garbage where the imaginary parts of bins 0 and
    // N/2 would be.
    std::vector<float> ccs = uniformSignal(n + 2, 2000u + static_cast<uint32_t>(order()));
    std::vector<ComplexD> spectrum(static_cast<size_t>(n / 2 + 1));
    for (int64_t k = 0; k <= n / 2; ++k) spectrum[k] = {ccs[2 * k], ccs[2 * k + 1]};
    ccs[1] = 12345.0f;
    ccs[n + 1] = -6789.0f;
    const std::vector<double> signal = referenceRealInverse(spectrum, n);
    for (int32_t flag : flagsFor(order())) {
        SCOPED_TRACE(testing::Message() << "inverse, flag " << flag);
        FftSpec spec(order(), flag);
        ASSERT_EQ(spec.status(), 0);
        std::vector<float> y(static_cast<size_t>(n));
        ASSERT_EQ(zaviFFTInv_CCSToR_32f(ccs.data(), y.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(checkTolerance(y.data(), signal, order(), inverseScale(flag, order())), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, Accuracy,
                         ::testing::Combine(::testing::Range(kFirstBuild, kLastBuild + 1), ::testing::Range(0, kLargestTestedOrder + 1)),
                         buildOrderName);

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
