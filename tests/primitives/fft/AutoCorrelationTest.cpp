// zaviAutoCorr_32f: statuses, exact sums of small integers, the choice of
// path, padding beyond 2^30, allocation failures, and accuracy of both paths
// against direct double sums, at the beat mapper's sizes among others.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "DftTestSupport.h"
#include "FftTestSupport.h"
#include "TestHeap.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives::test {
namespace {

class AutoCorrelationTest : public PerBuildTest {
protected:
    int32_t threshold() const { return kAutoCorrDirectLimit[build()]; }
};

// Integers in -3 .. 3.
std::vector<float> smallIntegers(int64_t n, uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> digit(-3, 3);
    std::vector<float> x(static_cast<size_t>(n));
    for (float& v : x) v = static_cast<float>(digit(generator));
    return x;
}

// A beat envelope: non-negative, with a pulse every `period` values over
// noise.
std::vector<float> envelope(int64_t n, int64_t period, uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> noise(0.0f, 0.2f);
    std::vector<float> x(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
        const double phase = static_cast<double>(i % period) / static_cast<double>(period);
        x[i] = static_cast<float>(0.8 * std::exp(-12.0 * phase)) + noise(generator);
    }
    return x;
}

TEST_P(AutoCorrelationTest, StatusesInTheirOrderLeaveTheOutputUntouched) {
    const std::vector<float> src(16, 1.0f);
    std::vector<float> dst(16, canary());
    struct Case {
        bool nullSrc, nullDst;
        int32_t srcLen, dstLen;
        PrimitiveStatus status;
    };
    const Case cases[] = {
        {true, false, 16, 16, -8}, {false, true, 16, 16, -8}, {true, true, 0, 0, -8},
        {false, true, 16, 0, -8},  {false, true, 16, -4, -8}, {false, false, 0, 16, -6},
        {false, false, 16, 0, -6}, {false, false, -1, 16, -6}, {false, false, 16, -1, -6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "srcLen " << c.srcLen << ", dstLen " << c.dstLen);
        EXPECT_EQ(zaviAutoCorr_32f(c.nullSrc ? nullptr : src.data(), c.srcLen, c.nullDst ? nullptr : dst.data(),
                                   c.dstLen),
                  c.status);
    }
    for (float v : dst) EXPECT_EQ(bitsOf(v), bitsOf(canary()));
}

// Small integers on the direct path give the integer sums exactly: every
// length up to 12 (the short-signal and few-lag branches, the tails of the
// groups of four) and longer signals up to the build's limit.
TEST_P(AutoCorrelationTest, DirectSumsOfSmallIntegersAreExact) {
    struct Size {
        int32_t srcLen, dstLen;
    };
    std::vector<Size> sizes;
    for (int32_t srcLen = 1; srcLen <= 12; ++srcLen)
        for (int32_t dstLen = 1; dstLen <= 12; ++dstLen) sizes.push_back({srcLen, dstLen});
    for (int32_t srcLen : {100, 1001, 4097})
        for (int32_t dstLen : {5, 6, 7, threshold() - 1}) sizes.push_back({srcLen, dstLen});
    for (const Size& size : sizes) {
        SCOPED_TRACE(testing::Message() << "srcLen " << size.srcLen << ", dstLen " << size.dstLen);
        const std::vector<float> x = smallIntegers(size.srcLen, static_cast<uint32_t>(size.srcLen));
        std::vector<float> dst(static_cast<size_t>(size.dstLen) + 1, canary());
        ASSERT_EQ(zaviAutoCorr_32f(x.data(), size.srcLen, dst.data(), size.dstLen), 0);
        for (int32_t k = 0; k < size.dstLen; ++k) {
            int64_t sum = 0;
            for (int32_t i = 0; i + k < size.srcLen; ++i) sum += static_cast<int64_t>(x[i]) * static_cast<int64_t>(x[i + k]);
            if (k >= size.srcLen)
                ASSERT_EQ(bitsOf(dst[k]), 0u) << "lag " << k;
            else
                ASSERT_EQ(dst[k], static_cast<float>(sum)) << "lag " << k;
        }
        EXPECT_EQ(bitsOf(dst[size.dstLen]), bitsOf(canary()));
    }
}

// Lags from srcLen on are +0.0 on both paths; with every allocation failing
// the last direct lag count succeeds and the first FFT one gives -9.
TEST_P(AutoCorrelationTest, PathChoiceAndLagsBeyondTheSignal) {
    for (int32_t srcLen : {threshold() - 1, threshold()}) {
        const std::vector<float> x = uniformSignal(srcLen, 21);
        const int32_t dstLen = srcLen + 100;
        std::vector<float> dst(static_cast<size_t>(dstLen), canary());
        ASSERT_EQ(zaviAutoCorr_32f(x.data(), srcLen, dst.data(), dstLen), 0);
        for (int32_t k = srcLen; k < dstLen; ++k) ASSERT_EQ(bitsOf(dst[k]), 0u) << "srcLen " << srcLen << ", lag " << k;
    }
    const std::vector<float> x = uniformSignal(5000, 22);
    for (int32_t lags : {threshold() - 1, threshold()}) {
        SCOPED_TRACE(testing::Message() << "lags " << lags);
        std::vector<float> dst(static_cast<size_t>(lags), canary());
        const int64_t before = TestHeap::requests();
        PrimitiveStatus status;
        {
            ScopedAllocationFailure failure(1);
            status = zaviAutoCorr_32f(x.data(), 5000, dst.data(), lags);
        }
        if (lags < threshold()) {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(TestHeap::requests(), before);  // so it succeeds with every allocation failing
        } else {
            EXPECT_EQ(status, -9);
            for (float v : dst) ASSERT_EQ(bitsOf(v), bitsOf(canary()));
        }
    }
}

// The padded length is computed in 64 bits: from srcLen = 2^30 on, 2 srcLen
// would overflow. Orders 29 and 30 exceed the allocator (-9), larger ones
// the FFT (-15); neither allocates or reads the signal (16 floats here).
TEST_P(AutoCorrelationTest, PaddedLengthsBeyondTheAllocator) {
    const std::vector<float> src(16, 1.0f);
    struct Case {
        int32_t srcLen;
        PrimitiveStatus status;
    };
    const Case cases[] = {
        {(1 << 27) + 1, -9}, {1 << 29, -9}, {(1 << 29) + 1, -15}, {1 << 30, -15}, {INT32_MAX, -15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "srcLen " << c.srcLen);
        std::vector<float> dst(1000, canary());
        const int64_t before = TestHeap::requests();
        EXPECT_EQ(zaviAutoCorr_32f(src.data(), c.srcLen, dst.data(), 1000), c.status);
        EXPECT_EQ(TestHeap::requests(), before);
        for (float v : dst) ASSERT_EQ(bitsOf(v), bitsOf(canary()));
    }
}

// Each allocation of the FFT path fails in turn: -9 with dst untouched, or
// success when the failed one was the work buffer, whose loss the
// transforms make up for with buffers of their own.
TEST_P(AutoCorrelationTest, EveryAllocationFailureOfTheFftPath) {
    const int32_t srcLen = 3000, lags = 1000;
    const std::vector<float> x = uniformSignal(srcLen, 23);
    std::vector<float> expected(lags);
    const int64_t before = TestHeap::requests();
    ASSERT_EQ(zaviAutoCorr_32f(x.data(), srcLen, expected.data(), lags), 0);
    const int64_t allocations = TestHeap::requests() - before;
    BlockList spec;
    listRealFftBlocks(spec, build(), 13);
    const int64_t workBuffer = workBufferBytes(build(), 13) > 0 ? spec.count + 1 : 0;
    ASSERT_EQ(allocations, spec.count + (workBuffer > 0 ? 1 : 0) + 1);
    const int64_t live = TestHeap::liveBlocks();
    for (int64_t k = 1; k <= allocations; ++k) {
        std::vector<float> dst(lags, canary());
        PrimitiveStatus status;
        {
            ScopedAllocationFailure failure(k);
            status = zaviAutoCorr_32f(x.data(), srcLen, dst.data(), lags);
        }
        EXPECT_EQ(TestHeap::liveBlocks(), live) << k;
        if (k == workBuffer) {
            EXPECT_EQ(status, 0);
            EXPECT_EQ(dst, expected);
        } else {
            EXPECT_EQ(status, -9) << k;
            for (float v : dst) ASSERT_EQ(bitsOf(v), bitsOf(canary())) << k;
        }
    }
}

// The FFT path's bounds with c its order: every lag within 16 c eps ref[0],
// and 8 c eps in the 2-norm over the lags.
std::string checkFftPath(const std::vector<float>& dst, const std::vector<double>& ref, int32_t c) {
    const double eps = std::ldexp(1.0, -24);
    double errSq = 0, refSq = 0, worst = 0;
    for (size_t k = 0; k < ref.size(); ++k) {
        const double e = std::abs(dst[k] - ref[k]);
        worst = std::max(worst, std::isnan(e) ? INFINITY : e);
        errSq += e * e;
        refSq += ref[k] * ref[k];
    }
    std::ostringstream out;
    if (!(worst <= 16 * c * eps * ref[0])) out << "worst lag error " << worst / ref[0] << " of ref[0]; ";
    if (!(std::sqrt(errSq) <= 8 * c * eps * std::sqrt(refSq)))
        out << "relative error " << std::sqrt(errSq / refSq) << " above " << 8 * c * eps;
    return out.str();
}

// The direct path's bound: |dst[k] - ref[k]| <= 8 sqrt(srcLen) eps
// sum |x[i] x[i + k]|.
std::string checkDirectPath(const std::vector<float>& dst, const std::vector<float>& x, int64_t lags) {
    const double eps = std::ldexp(1.0, -24);
    const auto n = static_cast<int64_t>(x.size());
    for (int64_t k = 0; k < lags; ++k) {
        double sum = 0, magnitude = 0;
        for (int64_t i = 0; i + k < n; ++i) {
            const double p = static_cast<double>(x[i]) * x[i + k];
            sum += p;
            magnitude += std::abs(p);
        }
        const double bound = 8 * std::sqrt(static_cast<double>(n)) * eps * magnitude;
        if (!(std::abs(dst[k] - sum) <= bound)) {
            std::ostringstream out;
            out << "lag " << k << ": " << dst[k] << " against " << sum << " (bound " << bound << ")";
            return out.str();
        }
    }
    return "";
}

int32_t paddedOrder(int64_t srcLen) {
    int32_t c = 1;
    while ((int64_t{1} << c) < 2 * srcLen) ++c;
    return c;
}

// One signal on every build, against one reference.
void checkEveryBuild(const std::vector<float>& x, int32_t dstLen) {
    const auto srcLen = static_cast<int32_t>(x.size());
    const int32_t lags = std::min(srcLen, dstLen);
    const std::vector<double> ref = referenceAutoCorrelation(x.data(), srcLen, lags);
    for (int32_t build = kFirstBuild; build <= kLastBuild; ++build) {
        if (!hostRunsBuild(build)) continue;
        ScopedBuildIndex index(build);
        const bool direct = lags < kAutoCorrDirectLimit[build];
        SCOPED_TRACE(testing::Message() << buildName(build) << ", srcLen " << srcLen << ", dstLen " << dstLen
                                        << (direct ? ", direct" : ", FFT"));
        std::vector<float> dst(static_cast<size_t>(dstLen), canary());
        ASSERT_EQ(zaviAutoCorr_32f(x.data(), srcLen, dst.data(), dstLen), 0);
        if (direct)
            EXPECT_EQ(checkDirectPath(dst, x, lags), "");
        else
            EXPECT_EQ(checkFftPath(dst, ref, paddedOrder(srcLen)), "");
        for (int32_t k = lags; k < dstLen; ++k) ASSERT_EQ(bitsOf(dst[k]), 0u) << k;
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(AutoCorrelationTest);

// Random signals: the direct path on every build, and the FFT path at
// orders 11, 12, 14, 16 and 18.
TEST(AutoCorrelationAccuracy, RandomSignals) {
    for (int32_t srcLen : {50, 700, 3000}) checkEveryBuild(uniformSignal(srcLen, 40), 599);
    for (int32_t srcLen : {1000, 1025, 5000, 20000, 100000}) checkEveryBuild(uniformSignal(srcLen, 41), 1000);
}

// The beat mapper: 288 envelope values a second, 3 and 10 minutes, lags up
// to 576 and 769. At 769 the generic and SSE builds take the FFT path, the
// SSE2 and SSE3-class builds the direct sums.
class BeatMapperSizes : public ::testing::TestWithParam<int32_t> {};

TEST_P(BeatMapperSizes, EveryBuild) {
    const std::vector<float> x = envelope(GetParam(), 144, 42);
    for (int32_t dstLen : {576, 769}) checkEveryBuild(x, dstLen);
}

INSTANTIATE_TEST_SUITE_P(Signals, BeatMapperSizes, ::testing::Values(51840, 172800),
                         [](const ::testing::TestParamInfo<int32_t>& info) { return std::to_string(info.param); });

}  // namespace
}  // namespace primitives::test
