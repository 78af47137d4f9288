// The DFT spec: statuses, allocation failures, plans and sizes, flags,
// records of other kinds, and lengths beyond the allocator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "DftTestSupport.h"
#include "FftTestSupport.h"
#include "TestHeap.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives::test {
namespace {

class DftSpecTest : public PerBuildTest {};

RealDftSpec_32f* const kUntouched = reinterpret_cast<RealDftSpec_32f*>(uintptr_t{0x5A5A5A50});

bool fourWide(int32_t build) { return build == buildSse2 || build == buildSse3; }

TEST_P(DftSpecTest, InitAllocStatusesInTheirOrder) {
    struct Case {
        bool nullOut;
        int32_t length, flag;
        PrimitiveStatus status;
    };
    const Case cases[] = {
        {true, 0, 0, -8},     {true, 10, 1, -8},    {false, 0, 1, -6},    {false, -5, 1, -6},
        {false, 0, 3, -6},    {false, 0, 16, -6},   {false, 10, 0, -16},  {false, 10, 3, -16},
        {false, 10, 16, -16}, {false, 1, 5, -16},   {false, 16, 7, -16},  {false, 181, 9, -16},
        {false, 56, -1, -16}, {false, INT32_MAX, 3, -9},  // the size test comes before the flag's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length << ", flag " << c.flag);
        const int64_t live = TestHeap::liveBlocks();
        RealDftSpec_32f* spec = kUntouched;
        EXPECT_EQ(zaviDFTInitAlloc_R_32f(c.nullOut ? nullptr : &spec, c.length, c.flag, 0), c.status);
        EXPECT_EQ(spec, kUntouched);
        EXPECT_EQ(TestHeap::liveBlocks(), live);
    }
}

TEST_P(DftSpecTest, GetBufSizeAndFreeStatuses) {
    DftSpec spec(9, fftNoDivision);
    ASSERT_EQ(spec.status(), 0);
    int32_t size = -77;
    EXPECT_EQ(zaviDFTGetBufSize_R_32f(nullptr, &size), -8);
    EXPECT_EQ(zaviDFTGetBufSize_R_32f(spec.get(), nullptr), -8);
    EXPECT_EQ(zaviDFTGetBufSize_R_32f(nullptr, nullptr), -8);
    EXPECT_EQ(size, -77);
    EXPECT_EQ(zaviDFTFree_R_32f(nullptr), -8);
}

// Every entry that takes a spec refuses the other kinds, hand-made or real,
// and leaves them as they were.
TEST_P(DftSpecTest, OtherKindsAreRefusedAndLeftIntact) {
    std::vector<float> src(64, 1.0f), dst(64, canary());
    auto dftEntriesRefuse = [&](RealDftSpec_32f* spec) {
        int32_t size = -77;
        EXPECT_EQ(zaviDFTGetBufSize_R_32f(spec, &size), -17);
        EXPECT_EQ(size, -77);
        EXPECT_EQ(zaviDFTFwd_RToPerm_32f(src.data(), dst.data(), spec, nullptr), -17);
        EXPECT_EQ(zaviDFTFwd_RToPerm_32f(nullptr, nullptr, spec, nullptr), -17);
        EXPECT_EQ(zaviDFTFree_R_32f(spec), -17);
    };
    for (int32_t tag : {6, 4, 0}) {
        SCOPED_TRACE(testing::Message() << "hand-made record, tag " << tag);
        RealDftSpec record{};
        record.kindTag = tag;
        record.length = 9;
        record.workBufferBytes = 88;
        const RealDftSpec copy = record;
        dftEntriesRefuse(reinterpret_cast<RealDftSpec_32f*>(&record));
        EXPECT_EQ(std::memcmp(&record, &copy, sizeof record), 0);
    }
    const InternalRoutines& routines = internals(build());
    FftSpec real(5, fftDivideBySqrtN);
    ComplexSpec complex(build(), 5, fftDivideBySqrtN);
    DftSpec dft(302, fftDivideForwardByN);
    ASSERT_EQ(real.status(), 0);
    ASSERT_EQ(complex.status(), 0);
    ASSERT_EQ(dft.status(), 0);
    const RealFftSpec realCopy = *specRecord(real.get()), complexCopy = *complex.get();
    const RealDftSpec dftCopy = dft.record();
    {
        SCOPED_TRACE("a real FFT spec and an engine spec to the DFT entries");
        dftEntriesRefuse(reinterpret_cast<RealDftSpec_32f*>(real.get()));
        dftEntriesRefuse(reinterpret_cast<RealDftSpec_32f*>(complex.get()));
    }
    {
        SCOPED_TRACE("a DFT spec and an engine spec to the real FFT and Pack transforms");
        for (auto* other : {reinterpret_cast<RealFftSpec_32f*>(dft.get()),
                            reinterpret_cast<RealFftSpec_32f*>(complex.get())}) {
            int32_t size = -77;
            EXPECT_EQ(zaviFFTGetBufSize_R_32f(other, &size), -17);
            EXPECT_EQ(zaviFFTFwd_RToPerm_32f(src.data(), dst.data(), other, nullptr), -17);
            EXPECT_EQ(zaviFFTFwd_RToCCS_32f(src.data(), dst.data(), other, nullptr), -17);
            EXPECT_EQ(zaviFFTInv_CCSToR_32f(src.data(), dst.data(), other, nullptr), -17);
            EXPECT_EQ(routines.forwardToPack(src.data(), dst.data(), other, nullptr), -17);
            EXPECT_EQ(routines.inverseFromPack(src.data(), dst.data(), other, nullptr), -17);
            EXPECT_EQ(zaviFFTFree_R_32f(other), -17);
            EXPECT_EQ(size, -77);
        }
    }
    {
        SCOPED_TRACE("a DFT spec and a real FFT spec to the engine");
        for (auto* other : {reinterpret_cast<ComplexFftSpec*>(dft.get()), specRecord(real.get())}) {
            int32_t size = -77;
            EXPECT_EQ(routines.complexBufferSize(other, &size), -17);
            EXPECT_EQ(routines.complexForward(src.data(), dst.data(), other, nullptr), -17);
            EXPECT_EQ(routines.complexInverse(src.data(), dst.data(), other, nullptr), -17);
            EXPECT_EQ(routines.complexFree(other), -17);
            EXPECT_EQ(size, -77);
        }
    }
    for (float v : dst) EXPECT_EQ(bitsOf(v), bitsOf(canary()));
    EXPECT_EQ(std::memcmp(specRecord(real.get()), &realCopy, sizeof realCopy), 0);
    EXPECT_EQ(std::memcmp(complex.get(), &complexCopy, sizeof complexCopy), 0);
    EXPECT_EQ(std::memcmp(&dft.record(), &dftCopy, sizeof dftCopy), 0);
}

// Each allocation of the set-up fails in turn: -9, *ppSpec unchanged, no
// block left. The heap sees exactly the blocks of the pure plan, in order.
TEST_P(DftSpecTest, EveryAllocationFailureIsReportedAndCleanedUp) {
    for (int32_t length : {1, 5, 6, 8, 9, 12, 49, 56, 181, 302, 447, 453, 1192}) {
        SCOPED_TRACE(testing::Message() << "length " << length);
        const DftPlan plan = dftPlan(build(), length);
        const int64_t live = TestHeap::liveBlocks();
        const int64_t before = TestHeap::requests();
        {
            DftSpec spec(length, fftDivideBySqrtN);
            ASSERT_EQ(spec.status(), 0);
        }
        const int64_t allocations = TestHeap::requests() - before;
        ASSERT_EQ(allocations, plan.blocks.count);
        ASSERT_EQ(TestHeap::liveBlocks(), live);
        for (int64_t k = 1; k <= allocations; ++k) {
            RealDftSpec_32f* spec = kUntouched;
            {
                ScopedAllocationFailure failure(k);
                EXPECT_EQ(zaviDFTInitAlloc_R_32f(&spec, length, fftDivideBySqrtN, 0), -9) << "allocation " << k;
                EXPECT_EQ(TestHeap::lastRequestBytes(), static_cast<size_t>(plan.blocks.bytes[k - 1] + 40))
                    << "allocation " << k;
            }
            EXPECT_EQ(spec, kUntouched);
            EXPECT_EQ(TestHeap::liveBlocks(), live) << "allocation " << k;
        }
    }
}

// The path, radices, chirp length and buffer size of every build.
TEST_P(DftSpecTest, PlansAndSizes) {
    struct Case {
        int32_t length;
        DftPath path;
        std::vector<int32_t> radices, fourWideRadices;  // fourWideRadices empty: the same
        int64_t chirpLength;
        int32_t bytes[4];
    };
    using P = DftPath;
    const std::vector<Case> cases = {
        {1, P::smallKernel, {}, {}, 0, {0, 0, 0, 0}},
        {2, P::smallKernel, {}, {}, 0, {0, 0, 0, 0}},
        {3, P::smallKernel, {}, {}, 0, {0, 0, 0, 0}},
        {4, P::smallKernel, {}, {}, 0, {0, 0, 0, 0}},
        {5, P::directOdd, {}, {}, 0, {36, 36, 36, 36}},
        {6, P::directEven, {}, {}, 0, {40, 40, 40, 40}},
        {7, P::directOdd, {}, {}, 0, {44, 44, 44, 44}},
        {8, P::realFft, {}, {}, 0, {0, 0, 0, 0}},
        {9, P::mixedRadixReal, {3, 3}, {}, 0, {88, 88, 88, 88}},
        {12, P::mixedRadixComplex, {2, 3}, {3, 2}, 0, {64, 64, 64, 64}},
        {14, P::directEven, {}, {}, 0, {72, 72, 72, 72}},
        {49, P::mixedRadixReal, {7, 7}, {}, 0, {464, 464, 464, 464}},
        {56, P::mixedRadixComplex, {4, 7}, {7, 4}, 0, {296, 296, 464, 464}},
        {179, P::directOdd, {}, {}, 0, {732, 732, 732, 732}},
        {181, P::chirpOdd, {}, {}, 512, {4112, 8224, 8224, 8224}},
        {298, P::directEven, {}, {}, 0, {1208, 1208, 1208, 1208}},
        {300, P::mixedRadixComplex, {2, 3, 5, 5}, {5, 3, 5, 2}, 0, {1216, 1216, 1216, 1216}},
        {302, P::chirpEven, {}, {}, 512, {4112, 8224, 8224, 8224}},
        {420, P::mixedRadixComplex, {2, 3, 5, 7}, {7, 3, 5, 2}, 0, {1752, 1752, 1752, 1752}},
        {447, P::mixedRadixReal, {3, 149}, {}, 0, {4784, 4784, 4784, 4784}},
        {453, P::chirpOdd, {}, {}, 1024, {8208, 16416, 16416, 16416}},
        {1024, P::realFft, {}, {}, 0, {0, 4112, 4112, 4112}},
        {1192, P::mixedRadixComplex, {4, 149}, {149, 4}, 0, {5976, 5976, 9552, 9552}},
        {4000, P::mixedRadixComplex, {4, 4, 5, 5, 5}, {5, 4, 5, 5, 4}, 0, {16016, 16016, 16016, 16016}},
        {500640, P::mixedRadixComplex, {4, 4, 3, 5, 7, 149}, {149, 4, 3, 5, 7, 4}, 0,
         {2003768, 2003768, 2007344, 2007344}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length);
        const std::vector<int32_t>& radices =
            fourWide(build()) && !c.fourWideRadices.empty() ? c.fourWideRadices : c.radices;
        const int32_t bytes = c.bytes[build() - 1];
        const DftPlan plan = dftPlan(build(), c.length);
        EXPECT_EQ(plan.path, c.path) << pathName(plan.path);
        EXPECT_EQ(std::vector<int32_t>(plan.radices, plan.radices + plan.radixCount), radices);
        EXPECT_EQ(plan.lastTwiddledStage, radices.empty() ? -1 : static_cast<int32_t>(radices.size()) - 2);
        EXPECT_EQ(plan.chirpLength, c.chirpLength);
        EXPECT_EQ(plan.workBufferBytes, bytes);

        DftSpec spec(c.length, fftDivideForwardByN);
        ASSERT_EQ(spec.status(), 0);
        EXPECT_EQ(spec.bufferBytes(), bytes);
        const RealDftSpec& record = spec.record();
        EXPECT_EQ(record.kindTag, 15);
        EXPECT_EQ(record.length, c.length);
        EXPECT_EQ(record.powerOfTwo, c.path == P::realFft ? 1 : 0);
        EXPECT_EQ(record.hasFactorPlan, radices.empty() ? 0 : 1);
        EXPECT_EQ(record.realInputPlan, c.path == P::mixedRadixReal ? 1 : 0);
        EXPECT_EQ(record.chirpLength, c.chirpLength);
        EXPECT_EQ(record.innerComplexFft != nullptr, c.chirpLength != 0);
        EXPECT_EQ(record.directRoots != nullptr, c.path == P::directOdd || c.path == P::directEven);
        const bool even = c.length % 2 == 0 && c.length > 4 && c.path != P::realFft;
        EXPECT_EQ(record.forwardSplitWeights != nullptr, even);
        EXPECT_EQ(record.splitTwiddles != nullptr, even);
        if (!radices.empty()) {
            EXPECT_EQ(record.lastTwiddledStage, static_cast<int32_t>(radices.size()) - 2);
            for (size_t i = 0; i < radices.size(); ++i) EXPECT_EQ(record.stages[i].radix, radices[i]) << i;
        }
    }
}

// 49 = 7 x 7 shares one root table between the stage and the residual.
TEST_P(DftSpecTest, EqualRadicesShareTheirRoots) {
    DftSpec spec(49, fftNoDivision);
    ASSERT_EQ(spec.status(), 0);
    EXPECT_NE(spec.record().stages[0].radixRoots, nullptr);
    EXPECT_EQ(spec.record().stages[0].radixRoots, spec.record().stages[1].radixRoots);
}

// Prime factors of n, ascending, with multiplicity.
std::vector<int64_t> primeFactors(int64_t n) {
    std::vector<int64_t> factors;
    for (int64_t p = 2; p * p <= n; ++p) {
        while (n % p == 0) {
            factors.push_back(p);
            n /= p;
        }
    }
    if (n > 1) factors.push_back(n);
    return factors;
}

// Every plan length of a DFT up to 20 000 against brute-force factoring: a
// plan exists iff n is composite with no prime factor above 150; its radices
// are a lone 2 first, then the 4s, then the odd primes ascending, the
// largest last. The SSE2 and SSE3-class builds then move a power of two to
// the end.
TEST_P(DftSpecTest, FactorPlansAgainstBruteForce) {
    int64_t plans = 0;
    for (int64_t length = 5; length <= 20000; ++length) {
        if ((length & (length - 1)) == 0) continue;
        const int64_t n = length % 2 != 0 ? length : length / 2;
        const std::vector<int64_t> primes = primeFactors(n);
        const bool exists = primes.size() >= 2 && primes.back() <= 150;
        std::vector<int32_t> expected;
        if (exists) {
            int64_t twos = 0;
            for (int64_t p : primes) twos += p == 2;
            if (twos % 2 != 0) expected.push_back(2);
            for (int64_t i = 0; i < twos / 2; ++i) expected.push_back(4);
            for (int64_t p : primes)
                if (p != 2) expected.push_back(static_cast<int32_t>(p));
        }
        int32_t radices[kMaxDftStages];
        const int32_t count = factorPlan(n, radices);
        ASSERT_EQ(std::vector<int32_t>(radices, radices + count), expected) << "n " << n;
        if (fourWide(build()) && exists) {
            const size_t last = expected.size() - 1;
            if (expected[0] == 4)
                std::swap(expected[0], expected[last]);
            else if (expected.size() > 2 && expected[1] == 4)
                std::swap(expected[1], expected[last]);
            else if (expected[0] == 2)
                std::swap(expected[0], expected[last]);
        }
        const DftPlan plan = dftPlan(build(), length);
        ASSERT_EQ(std::vector<int32_t>(plan.radices, plan.radices + plan.radixCount), expected) << "length " << length;
        const bool odd = length % 2 != 0;
        DftPath path = odd ? DftPath::mixedRadixReal : DftPath::mixedRadixComplex;
        if (!exists) {
            if (odd)
                path = n <= 180 ? DftPath::directOdd : DftPath::chirpOdd;
            else
                path = n <= 150 ? DftPath::directEven : DftPath::chirpEven;
        }
        ASSERT_EQ(plan.path, path) << "length " << length;
        plans += exists;
        // A sample of real set-ups against the pure plan.
        if (length % 331 == 0) {
            DftSpec spec(static_cast<int32_t>(length), fftNoDivision);
            ASSERT_EQ(spec.status(), 0);
            EXPECT_EQ(spec.bufferBytes(), plan.workBufferBytes) << "length " << length;
            EXPECT_EQ(spec.record().chirpLength, plan.chirpLength) << "length " << length;
            for (int32_t i = 0; i < plan.radixCount; ++i) EXPECT_EQ(spec.record().stages[i].radix, plan.radices[i]);
        }
    }
    EXPECT_GT(plans, 5000);  // the sweep is not vacuous
}

// The engine's work buffer at complex order k is the real FFT's at order
// k + 1 from k = 4 on; complex orders 28 to 30 exceed the allocator.
TEST_P(DftSpecTest, EngineBufferSizes) {
    for (int32_t k = 0; k <= 27; ++k) {
        SCOPED_TRACE(testing::Message() << "complex order " << k);
        const int64_t expected = k >= 4 ? workBufferBytes(build(), k + 1) : 0;
        EXPECT_EQ(complexFftPlanSizes(build(), k).workBufferBytes, expected);
        if (k <= kLargestTestedOrder - 1) {
            ComplexSpec spec(build(), k, fftNoDivision);
            ASSERT_EQ(spec.status(), 0);
            EXPECT_EQ(spec.bufferBytes(), expected);
        }
    }
    const InternalRoutines& routines = internals(build());
    for (int32_t k : {28, 29, 30}) {
        EXPECT_GT(complexFftPlanSizes(build(), k).largestTableBytes, INT32_MAX);
        const int64_t live = TestHeap::liveBlocks();
        ComplexFftSpec* spec = nullptr;
        EXPECT_EQ(routines.complexInitAlloc(&spec, k, fftNoDivision, 0), -9);
        EXPECT_EQ(spec, nullptr);
        EXPECT_EQ(TestHeap::liveBlocks(), live);
    }
}

TEST_P(DftSpecTest, FlagsSetTheScaleExactly) {
    struct Case {
        int32_t flag, forward, inverse;
        uint32_t bits;
    };
    const Case cases[] = {
        {4, 1, 1, 0x3EAAAAABu},
        {1, 1, 0, bitsOf(static_cast<float>(1.0 / 9))},
        {2, 0, 1, bitsOf(static_cast<float>(1.0 / 9))},
        {8, 0, 0, 0u},
    };
    for (const Case& c : cases) {
        DftSpec spec(9, c.flag);
        ASSERT_EQ(spec.status(), 0);
        EXPECT_EQ(spec.record().scaleForward, c.forward) << c.flag;
        EXPECT_EQ(spec.record().scaleInverse, c.inverse) << c.flag;
        EXPECT_EQ(bitsOf(spec.record().scaleFactor), c.bits) << c.flag;
    }
    // Dividing the inverse leaves the forward transform unscaled, on every path.
    for (int32_t length : {3, 5, 6, 9, 12, 16, 181, 302, 1024}) {
        DftSpec two(length, fftDivideInverseByN), eight(length, fftNoDivision);
        ASSERT_EQ(two.status(), 0);
        ASSERT_EQ(eight.status(), 0);
        const std::vector<float> x = uniformSignal(length, 3);
        std::vector<float> a(static_cast<size_t>(length)), b(static_cast<size_t>(length));
        ASSERT_EQ(zaviDFTFwd_RToPerm_32f(x.data(), a.data(), two.get(), nullptr), 0);
        ASSERT_EQ(zaviDFTFwd_RToPerm_32f(x.data(), b.data(), eight.get(), nullptr), 0);
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * 4), 0) << "length " << length;
    }
}

// Lengths whose tables would exceed the allocator's 2^31 - 1 bytes are
// refused before anything is allocated.
TEST_P(DftSpecTest, LengthsBeyondTheAllocatorFailBeforeAllocating) {
    for (int64_t length : {int64_t{INT32_MAX}, int64_t{1162261467}, (int64_t{1} << 30) + 2, int64_t{1} << 30}) {
        SCOPED_TRACE(testing::Message() << "length " << length);
        EXPECT_FALSE(dftPlan(build(), length).fitsAllocator());
        const int64_t before = TestHeap::requests();
        RealDftSpec_32f* spec = kUntouched;
        EXPECT_EQ(zaviDFTInitAlloc_R_32f(&spec, static_cast<int32_t>(length), fftNoDivision, 0), -9);
        EXPECT_EQ(TestHeap::requests(), before);
        EXPECT_EQ(spec, kUntouched);
    }
    // 3^19 has a plan of nineteen radices; 2^31 - 1 is prime and would need
    // an inner FFT of 2^32 points.
    EXPECT_EQ(dftPlan(build(), 1162261467).radixCount, 19);
    EXPECT_EQ(dftPlan(build(), INT32_MAX).chirpLength, int64_t{1} << 32);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(DftSpecTest);

}  // namespace
}  // namespace primitives::test
