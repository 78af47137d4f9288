// The autocorrelation's real FFT in Pack order and its conjugate product:
// statuses, vectors, accuracy on every road, round trips, in place.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "DftTestSupport.h"
#include "FftTestSupport.h"
#include "TestHeap.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives::test {
namespace {

class PackFftTest : public PerBuildTest {
protected:
    const InternalRoutines& routines() const { return internals(build()); }
};

// Bins 0 .. N/2 in Pack order: X0, Re X1, Im X1, ..., X(N/2) last.
std::vector<double> packOf(const std::vector<ComplexD>& bins, int64_t n) {
    std::vector<double> pack(static_cast<size_t>(n));
    pack[0] = bins[0].real();
    for (int64_t k = 1; 2 * k < n; ++k) {
        pack[2 * k - 1] = bins[k].real();
        pack[2 * k] = bins[k].imag();
    }
    if (n >= 2) pack[n - 1] = bins[n / 2].real();
    return pack;
}

TEST_P(PackFftTest, StatusesInTheirOrder) {
    for (int32_t order : {2, 6}) {
        FftSpec spec(order, fftDivideInverseByN);
        ASSERT_EQ(spec.status(), 0);
        const int64_t n = int64_t{1} << order;
        std::vector<float> src(static_cast<size_t>(n), 0.5f), dst(static_cast<size_t>(n), canary());
        RealFftSpec dft{};
        dft.kindTag = 15;
        const auto* other = reinterpret_cast<const RealFftSpec_32f*>(&dft);
        for (auto transform : {routines().forwardToPack, routines().inverseFromPack}) {
            EXPECT_EQ(transform(nullptr, dst.data(), nullptr, nullptr), -8);
            EXPECT_EQ(transform(src.data(), dst.data(), nullptr, nullptr), -8);
            EXPECT_EQ(transform(nullptr, nullptr, other, nullptr), -17);
            EXPECT_EQ(transform(src.data(), dst.data(), other, nullptr), -17);
            EXPECT_EQ(transform(nullptr, dst.data(), spec.get(), nullptr), -8);
            EXPECT_EQ(transform(src.data(), nullptr, spec.get(), nullptr), -8);
        }
        EXPECT_EQ(routines().product(nullptr, dst.data(), 4), -8);
        EXPECT_EQ(routines().product(src.data(), nullptr, 0), -8);
        EXPECT_EQ(routines().product(src.data(), dst.data(), 0), -6);
        EXPECT_EQ(routines().product(src.data(), dst.data(), -3), -6);
        for (float v : dst) EXPECT_EQ(bitsOf(v), bitsOf(canary()));
    }
}

TEST_P(PackFftTest, AllocationFailureOfTheWorkBuffer) {
    for (int32_t order : {2, 4, 9, 12, 17}) {
        FftSpec spec(order, fftDivideInverseByN);
        ASSERT_EQ(spec.status(), 0);
        const int64_t n = int64_t{1} << order;
        const std::vector<float> x = uniformSignal(n, 5);
        for (auto transform : {routines().forwardToPack, routines().inverseFromPack}) {
            std::vector<float> dst(static_cast<size_t>(n), canary());
            const int64_t live = TestHeap::liveBlocks();
            {
                ScopedAllocationFailure failure(1);
                const PrimitiveStatus status = transform(x.data(), dst.data(), spec.get(), nullptr);
                if (spec.bufferBytes() > 0) {
                    EXPECT_EQ(status, -9) << order;
                    for (float v : dst) ASSERT_EQ(bitsOf(v), bitsOf(canary()));
                } else {
                    EXPECT_EQ(status, 0) << order;
                }
            }
            EXPECT_EQ(TestHeap::liveBlocks(), live);
        }
    }
}

TEST_P(PackFftTest, KnownVectors) {
    struct Case {
        int32_t order, flag;
        bool inverse;
        std::vector<float> in, out;
    };
    const std::vector<Case> cases = {
        {0, 8, false, {2.5f}, {2.5f}},
        {0, 1, false, {2.5f}, {2.5f}},
        {1, 8, false, {3, 1}, {4, 2}},
        {2, 8, false, {1, 2, 3, 4}, {10, -2, 2, -2}},
        {3, 8, false, {1, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 0, 1, 0, 1, 0, 1}},
        {2, 2, true, {10, -2, 2, -2}, {1, 2, 3, 4}},
        {1, 8, true, {4, 2}, {6, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "order " << c.order << ", flag " << c.flag);
        FftSpec spec(c.order, c.flag);
        ASSERT_EQ(spec.status(), 0);
        std::vector<float> out(c.out.size() + 1, canary());
        const auto transform = c.inverse ? routines().inverseFromPack : routines().forwardToPack;
        ASSERT_EQ(transform(c.in.data(), out.data(), spec.get(), nullptr), 0);
        for (size_t i = 0; i < c.out.size(); ++i) EXPECT_NEAR(out[i], c.out[i], 1e-6f) << i;
        EXPECT_EQ(bitsOf(out[c.out.size()]), bitsOf(canary()));
    }
}

// Forward at orders 0 to 20 against the reference, in place with the bits of
// out of place; the flag-2 round trip returns the signal.
TEST_P(PackFftTest, ForwardAndRoundTripOnEveryRoad) {
    const double eps = std::ldexp(1.0, -24);
    for (int32_t order = 0; order <= 20; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const int64_t n = int64_t{1} << order;
        const std::vector<float> x = uniformSignal(n, 300u + static_cast<uint32_t>(order));
        FftSpec spec(order, fftDivideInverseByN);
        ASSERT_EQ(spec.status(), 0);
        std::vector<float> pack(static_cast<size_t>(n)), y(x), back(static_cast<size_t>(n));
        ASSERT_EQ(routines().forwardToPack(x.data(), pack.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(checkTolerance(pack.data(), packOf(referenceRealSpectrum(x.data(), n), n), order), "");
        ASSERT_EQ(routines().forwardToPack(y.data(), y.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(std::memcmp(y.data(), pack.data(), pack.size() * 4), 0) << "forward in place";

        ASSERT_EQ(routines().inverseFromPack(pack.data(), back.data(), spec.get(), nullptr), 0);
        ASSERT_EQ(routines().inverseFromPack(y.data(), y.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(std::memcmp(y.data(), back.data(), back.size() * 4), 0) << "inverse in place";
        double peak = 0, worst = 0;
        for (int64_t j = 0; j < n; ++j) {
            peak = std::max(peak, static_cast<double>(std::abs(x[j])));
            worst = std::max(worst, static_cast<double>(std::abs(back[j] - x[j])));
        }
        EXPECT_LE(worst, 16.0 * std::max(order, 1) * eps * peak);
    }
}

// The product of a Pack spectrum with itself: |X|^2 in the real slots and
// +0.0 in every imaginary one; odd and even lengths.
TEST_P(PackFftTest, ConjugateProduct) {
    for (int32_t len : {1, 2, 3, 4, 5, 6, 7, 10, 33, 64}) {
        SCOPED_TRACE(testing::Message() << "len " << len);
        const std::vector<float> x = uniformSignal(len, 12);
        std::vector<float> y(x);
        ASSERT_EQ(routines().product(y.data(), y.data(), len), 0);
        const bool even = len % 2 == 0;
        const int32_t lastPairFloat = even ? len - 2 : len - 1;  // an even length ends with a real slot
        EXPECT_EQ(y[0], x[0] * x[0]);
        if (even) {
            EXPECT_EQ(y[len - 1], x[len - 1] * x[len - 1]);
        }
        for (int32_t p = 1; 2 * p <= lastPairFloat; ++p) {
            const double a = x[2 * p - 1], b = x[2 * p];
            EXPECT_NEAR(y[2 * p - 1], a * a + b * b, 1e-6) << p;
            EXPECT_EQ(bitsOf(y[2 * p]), 0u) << p;
        }
        // Two different spectra: src times the conjugate of srcDst.
        const std::vector<float> s = uniformSignal(len, 13);
        std::vector<float> d(x);
        ASSERT_EQ(routines().product(s.data(), d.data(), len), 0);
        for (int32_t p = 1; 2 * p <= lastPairFloat; ++p) {
            const double a = s[2 * p - 1], b = s[2 * p], c = x[2 * p - 1], e = x[2 * p];
            EXPECT_NEAR(d[2 * p - 1], a * c + b * e, 1e-6) << p;
            EXPECT_NEAR(d[2 * p], b * c - a * e, 1e-6) << p;
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(PackFftTest);

}  // namespace
}  // namespace primitives::test
