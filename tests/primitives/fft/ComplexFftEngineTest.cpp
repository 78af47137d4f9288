// The complex FFT engine that the chirp-z path runs on: statuses, allocation
// failures, accuracy on every road, in place and out of place, round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "DftTestSupport.h"
#include "FftTestSupport.h"
#include "TestHeap.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives::test {
namespace {

class ComplexFftEngineTest : public PerBuildTest {
protected:
    const InternalRoutines& routines() const { return internals(build()); }
};

ComplexFftSpec* const kUntouched = reinterpret_cast<ComplexFftSpec*>(uintptr_t{0x5A5A5A50});

TEST_P(ComplexFftEngineTest, StatusesInTheirOrder) {
    struct Case {
        bool nullOut;
        int32_t order, flag;
        PrimitiveStatus status;
    };
    const Case cases[] = {
        {true, 31, 0, -8}, {true, 5, 1, -8},  {false, -1, 1, -15}, {false, 31, 0, -15},
        {false, 5, 0, -16}, {false, 2, 3, -16}, {false, 12, 16, -16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "order " << c.order << ", flag " << c.flag);
        const int64_t live = TestHeap::liveBlocks();
        ComplexFftSpec* spec = kUntouched;
        EXPECT_EQ(routines().complexInitAlloc(c.nullOut ? nullptr : &spec, c.order, c.flag, 0), c.status);
        EXPECT_EQ(spec, kUntouched);
        EXPECT_EQ(TestHeap::liveBlocks(), live);
    }
    for (int32_t order : {2, 6}) {
        ComplexSpec spec(build(), order, fftDivideBySqrtN);
        ASSERT_EQ(spec.status(), 0);
        int32_t size = -77;
        EXPECT_EQ(routines().complexBufferSize(nullptr, &size), -8);
        EXPECT_EQ(routines().complexBufferSize(spec.get(), nullptr), -8);
        EXPECT_EQ(size, -77);
        EXPECT_EQ(routines().complexFree(nullptr), -8);
        const int64_t n = int64_t{1} << order;
        std::vector<float> src(static_cast<size_t>(2 * n), 0.5f), dst(static_cast<size_t>(2 * n), canary());
        RealFftSpec dft{};
        dft.kindTag = 15;
        for (auto transform : {routines().complexForward, routines().complexInverse}) {
            EXPECT_EQ(transform(nullptr, dst.data(), nullptr, nullptr), -8);
            EXPECT_EQ(transform(src.data(), dst.data(), nullptr, nullptr), -8);
            EXPECT_EQ(transform(nullptr, nullptr, &dft, nullptr), -17);
            EXPECT_EQ(transform(src.data(), dst.data(), &dft, nullptr), -17);
            EXPECT_EQ(transform(nullptr, dst.data(), spec.get(), nullptr), -8);
            EXPECT_EQ(transform(src.data(), nullptr, spec.get(), nullptr), -8);
        }
        EXPECT_EQ(routines().complexFree(&dft), -17);
        EXPECT_EQ(dft.kindTag, 15);
        for (float v : dst) EXPECT_EQ(bitsOf(v), bitsOf(canary()));
    }
}

TEST_P(ComplexFftEngineTest, EveryAllocationFailureIsReportedAndCleanedUp) {
    for (int32_t order : {0, 4, 11, 17}) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        BlockList blocks;
        listComplexFftBlocks(blocks, build(), order);
        const int64_t live = TestHeap::liveBlocks();
        const int64_t before = TestHeap::requests();
        {
            ComplexSpec spec(build(), order, fftDivideInverseByN);
            ASSERT_EQ(spec.status(), 0);
        }
        const int64_t allocations = TestHeap::requests() - before;
        ASSERT_EQ(allocations, blocks.count);
        for (int64_t k = 1; k <= allocations; ++k) {
            ComplexFftSpec* spec = kUntouched;
            {
                ScopedAllocationFailure failure(k);
                EXPECT_EQ(routines().complexInitAlloc(&spec, order, fftDivideInverseByN, 0), -9) << k;
                EXPECT_EQ(TestHeap::lastRequestBytes(), static_cast<size_t>(blocks.bytes[k - 1] + 40)) << k;
            }
            EXPECT_EQ(spec, kUntouched);
            EXPECT_EQ(TestHeap::liveBlocks(), live) << k;
        }
    }
}

// With no buffer a transform allocates one only when the spec needs one;
// with a buffer it never allocates.
TEST_P(ComplexFftEngineTest, WorkBufferAllocation) {
    for (int32_t order : {2, 4, 9, 10, 11, 15, 16, 17}) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        ComplexSpec spec(build(), order, fftNoDivision);
        ASSERT_EQ(spec.status(), 0);
        const int64_t n = int64_t{1} << order;
        const std::vector<float> x = uniformSignal(2 * n, 4);
        std::vector<float> dst(static_cast<size_t>(2 * n), canary());
        for (auto transform : {routines().complexForward, routines().complexInverse}) {
            const int64_t live = TestHeap::liveBlocks();
            {
                ScopedAllocationFailure failure(1);
                const PrimitiveStatus status = transform(x.data(), dst.data(), spec.get(), nullptr);
                if (spec.bufferBytes() > 0) {
                    EXPECT_EQ(status, -9);
                    for (float v : dst) ASSERT_EQ(bitsOf(v), bitsOf(canary()));
                } else {
                    EXPECT_EQ(status, 0);
                }
            }
            EXPECT_EQ(TestHeap::liveBlocks(), live);
            std::vector<uint8_t> buffer(static_cast<size_t>(spec.bufferBytes()) + 1);
            std::vector<float> out(static_cast<size_t>(2 * n));
            const int64_t before = TestHeap::requests();
            ScopedAllocationFailure failure(1);
            EXPECT_EQ(transform(x.data(), out.data(), spec.get(), buffer.data()), 0);
            EXPECT_EQ(transform(out.data(), out.data(), spec.get(), buffer.data()), 0);
            EXPECT_EQ(TestHeap::requests(), before);
        }
    }
}

// Orders 0 to 22, both directions, every flag, against the double
// reference; in place gives the bits of out of place. From order 20 on each
// build is a case of its own, so that the runner can spread them.
struct AccuracyCase {
    int32_t order;
    int32_t build;  // 0: every build
};

std::vector<AccuracyCase> accuracyCases() {
    std::vector<AccuracyCase> cases;
    for (int32_t order = 0; order < 20; ++order) cases.push_back({order, 0});
    for (int32_t order = 20; order <= 22; ++order)
        for (int32_t build = kFirstBuild; build <= kLastBuild; ++build) cases.push_back({order, build});
    return cases;
}

class ComplexFftAccuracy : public ::testing::TestWithParam<AccuracyCase> {};

TEST_P(ComplexFftAccuracy, EveryFlagBothDirections) {
    const int32_t order = GetParam().order;
    const int32_t firstBuild = GetParam().build == 0 ? kFirstBuild : GetParam().build;
    const int32_t lastBuild = GetParam().build == 0 ? kLastBuild : GetParam().build;
    if (firstBuild == lastBuild && !hostRunsBuild(firstBuild))
        GTEST_SKIP() << "this processor cannot run the " << buildName(firstBuild) << " build";
    const int64_t n = int64_t{1} << order;
    const std::vector<float> x = uniformSignal(2 * n, 700u + static_cast<uint32_t>(order));
    const std::vector<ComplexD> input = complexOf(x.data(), n);
    const std::vector<double> references[2] = {interleaved(referenceComplexTransform(input, false)),
                                               interleaved(referenceComplexTransform(input, true))};
    std::vector<float> out(static_cast<size_t>(2 * n)), inPlace(static_cast<size_t>(2 * n));
    for (int32_t build = firstBuild; build <= lastBuild; ++build) {
        if (!hostRunsBuild(build)) continue;
        const InternalRoutines& routines = internals(build);
        for (int32_t flag : {fftDivideForwardByN, fftDivideInverseByN, fftDivideBySqrtN, fftNoDivision}) {
            ComplexSpec spec(build, order, flag);
            ASSERT_EQ(spec.status(), 0);
            for (bool inverse : {false, true}) {
                SCOPED_TRACE(testing::Message() << buildName(build) << (inverse ? ", inverse" : ", forward")
                                                << ", flag " << flag);
                const auto transform = inverse ? routines.complexInverse : routines.complexForward;
                ASSERT_EQ(transform(x.data(), out.data(), spec.get(), nullptr), 0);
                const double scale = inverse ? inverseScale(flag, order) : forwardScale(flag, order);
                EXPECT_EQ(checkTolerance(out.data(), references[inverse], std::max(order, 1), scale), "");
                inPlace = x;
                ASSERT_EQ(transform(inPlace.data(), inPlace.data(), spec.get(), nullptr), 0);
                EXPECT_EQ(std::memcmp(inPlace.data(), out.data(), out.size() * 4), 0) << "in place";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, ComplexFftAccuracy, ::testing::ValuesIn(accuracyCases()),
                         [](const ::testing::TestParamInfo<AccuracyCase>& info) {
                             std::string name = "order" + std::to_string(info.param.order);
                             if (info.param.build != 0) name += std::string("_") + buildName(info.param.build);
                             return name;
                         });

// Forward then inverse: x with flag 4, N x with flag 8.
TEST_P(ComplexFftEngineTest, RoundTrips) {
    const double eps = std::ldexp(1.0, -24);
    for (int32_t order = 0; order <= 20; ++order) {
        const int64_t n = int64_t{1} << order;
        const std::vector<float> x = uniformSignal(2 * n, 90u + static_cast<uint32_t>(order));
        double peak = 0;
        for (float v : x) peak = std::max(peak, static_cast<double>(std::abs(v)));
        const double bound = 16.0 * std::max(order, 1) * eps * peak;
        for (int32_t flag : {fftDivideBySqrtN, fftNoDivision}) {
            SCOPED_TRACE(testing::Message() << "order " << order << ", flag " << flag);
            ComplexSpec spec(build(), order, flag);
            ASSERT_EQ(spec.status(), 0);
            std::vector<float> y(x);
            ASSERT_EQ(routines().complexForward(y.data(), y.data(), spec.get(), nullptr), 0);
            ASSERT_EQ(routines().complexInverse(y.data(), y.data(), spec.get(), nullptr), 0);
            const double gain = flag == fftNoDivision ? static_cast<double>(n) : 1.0;
            double worst = 0;
            for (int64_t j = 0; j < 2 * n; ++j) worst = std::max(worst, std::abs(y[j] - gain * x[j]));
            EXPECT_LE(worst, gain * bound);
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ComplexFftEngineTest);

}  // namespace
}  // namespace primitives::test
