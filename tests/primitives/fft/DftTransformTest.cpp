// The forward DFT of any length: statuses, known vectors, the power-of-two
// road, results that must not depend on where the data lie, and accuracy on
// every path against double-precision references.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "DftTestSupport.h"
#include "FftTestSupport.h"
#include "TestHeap.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives::test {
namespace {

class DftTransformTest : public PerBuildTest {};

TEST_P(DftTransformTest, StatusesInTheirOrderLeaveTheOutputUntouched) {
    for (int32_t length : {3, 9, 302}) {
        SCOPED_TRACE(testing::Message() << "length " << length);
        DftSpec spec(length, fftDivideBySqrtN);
        ASSERT_EQ(spec.status(), 0);
        std::vector<float> src(static_cast<size_t>(length), 0.5f), dst(static_cast<size_t>(length), canary());
        RealDftSpec fft{};
        fft.kindTag = 6;
        const auto* other = reinterpret_cast<const RealDftSpec_32f*>(&fft);
        EXPECT_EQ(zaviDFTFwd_RToPerm_32f(nullptr, dst.data(), nullptr, nullptr), -8);
        EXPECT_EQ(zaviDFTFwd_RToPerm_32f(src.data(), dst.data(), nullptr, nullptr), -8);
        EXPECT_EQ(zaviDFTFwd_RToPerm_32f(nullptr, nullptr, other, nullptr), -17);
        EXPECT_EQ(zaviDFTFwd_RToPerm_32f(src.data(), dst.data(), other, nullptr), -17);
        EXPECT_EQ(zaviDFTFwd_RToPerm_32f(nullptr, dst.data(), spec.get(), nullptr), -8);
        EXPECT_EQ(zaviDFTFwd_RToPerm_32f(src.data(), nullptr, spec.get(), nullptr), -8);
        for (float v : dst) EXPECT_EQ(bitsOf(v), bitsOf(canary()));
    }
}

// Without a buffer a transform allocates one only when the spec needs one; a
// failed allocation gives -9 and writes nothing. With the caller's buffer
// nothing is allocated on any path.
TEST_P(DftTransformTest, WorkBufferAllocation) {
    for (int32_t length : {2, 5, 8, 16, 45, 90, 179, 181, 298, 302, 1024, 4002}) {
        SCOPED_TRACE(testing::Message() << "length " << length);
        DftSpec spec(length, fftDivideForwardByN);
        ASSERT_EQ(spec.status(), 0);
        const std::vector<float> x = uniformSignal(length, 5);
        std::vector<float> dst(static_cast<size_t>(length), canary()), expected(static_cast<size_t>(length));
        ASSERT_EQ(zaviDFTFwd_RToPerm_32f(x.data(), expected.data(), spec.get(), nullptr), 0);
        const int64_t live = TestHeap::liveBlocks();
        {
            ScopedAllocationFailure failure(1);
            const PrimitiveStatus status = zaviDFTFwd_RToPerm_32f(x.data(), dst.data(), spec.get(), nullptr);
            if (spec.bufferBytes() > 0) {
                EXPECT_EQ(status, -9);
                for (float v : dst) EXPECT_EQ(bitsOf(v), bitsOf(canary()));
            } else {
                EXPECT_EQ(status, 0);
            }
        }
        EXPECT_EQ(TestHeap::liveBlocks(), live);
        std::vector<uint8_t> buffer(static_cast<size_t>(spec.bufferBytes()) + 1);
        const int64_t before = TestHeap::requests();
        {
            ScopedAllocationFailure failure(1);
            ASSERT_EQ(zaviDFTFwd_RToPerm_32f(x.data(), dst.data(), spec.get(), buffer.data()), 0);
        }
        EXPECT_EQ(TestHeap::requests(), before);
        EXPECT_EQ(dst, expected);
    }
}

// The known vectors of the entry, the 3-point kernels and the length rows.
TEST_P(DftTransformTest, KnownVectors) {
    struct Case {
        int32_t length, flag;
        std::vector<float> in, out;
    };
    const std::vector<Case> cases = {
        {1, 8, {2.5f}, {2.5f}},
        {1, 1, {2.5f}, {2.5f}},
        {1, 4, {-3.0f}, {-3.0f}},
        {2, 8, {3, 1}, {4, 2}},
        {3, 8, {1, 2, 3}, {6, -1.5f, 0.8660254f}},
        {3, 1, {3, 3, 3}, {3, 0, 0}},
        {4, 8, {1, 2, 3, 4}, {10, -2, -2, 2}},
        {5, 8, {1, 1, 1, 1, 1}, {5, 0, 0, 0, 0}},
        {6, 8, {1, 0, 0, 0, 0, 0}, {1, 1, 1, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length << ", flag " << c.flag);
        DftSpec spec(c.length, c.flag);
        ASSERT_EQ(spec.status(), 0);
        std::vector<float> out(c.out.size() + 1, canary());
        ASSERT_EQ(zaviDFTFwd_RToPerm_32f(c.in.data(), out.data(), spec.get(), nullptr), 0);
        for (size_t i = 0; i < c.out.size(); ++i) EXPECT_NEAR(out[i], c.out[i], 1e-6f) << "element " << i;
        EXPECT_EQ(bitsOf(out[c.out.size()]), bitsOf(canary()));
    }
    // The rows of lengths 1 to 4 that no entry reads.
    const SmallLengthKernelTable& rows = *internals(build()).lengthKernels;
    float out[8];
    const float perm3[] = {6, -1.5f, 0.8660254f};
    rows.realInverse[2](perm3, out);
    EXPECT_NEAR(out[0], 3, 1e-6f);
    EXPECT_NEAR(out[1], 6, 1e-6f);
    EXPECT_NEAR(out[2], 9, 1e-6f);
    const float impulse[] = {1, 0, 0, 0, 0, 0};
    rows.complexForward[2](impulse, out);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], i % 2 == 0 ? 1.0f : 0.0f) << i;
    const float ramp[] = {1, 0, 2, 0, 3, 0};
    rows.complexInverse[2](ramp, out);  // the forward transform's bins 1 and 2 exchanged
    EXPECT_NEAR(out[0], 6, 1e-6f);
    EXPECT_NEAR(out[2], -1.5f, 1e-6f);
    EXPECT_NEAR(out[3], -0.8660254f, 1e-6f);
    EXPECT_NEAR(out[4], -1.5f, 1e-6f);
    EXPECT_NEAR(out[5], 0.8660254f, 1e-6f);
    const float pair[] = {4, 2};
    rows.realInverse[1](pair, out);
    EXPECT_EQ(out[0], 6.0f);
    EXPECT_EQ(out[1], 2.0f);
    const float x3[] = {3, 3, 3};
    rows.realForwardScaled[2](x3, out, 1.0f / 3.0f);
    EXPECT_EQ(out[0], 3.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], 0.0f);
}

// Powers of two take the real FFT with the same buffer: the very bits of
// zaviFFTFwd_RToPerm_32f.
TEST_P(DftTransformTest, PowersOfTwoAreTheRealFft) {
    for (int32_t order = 3; order <= 20; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const int32_t n = int32_t{1} << order;
        DftSpec dft(n, fftDivideBySqrtN);
        FftSpec fft(order, fftDivideBySqrtN);
        ASSERT_EQ(dft.status(), 0);
        ASSERT_EQ(fft.status(), 0);
        EXPECT_EQ(dft.bufferBytes(), fft.bufferBytes());
        const std::vector<float> x = uniformSignal(n, 17);
        std::vector<float> a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
        ASSERT_EQ(zaviDFTFwd_RToPerm_32f(x.data(), a.data(), dft.get(), nullptr), 0);
        ASSERT_EQ(zaviFFTFwd_RToPerm_32f(x.data(), b.data(), fft.get(), nullptr), 0);
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * 4), 0);
    }
}

// A length on every path; the mixed-radix lengths reach both drivers (the
// stage loop up to 2000 points, the recursion above) with odd and even
// lastTwiddledStage: real 15 (0), 45 (1), 135 (2), 1995 (2), 2001 (1);
// complex 30, 90, 270, 3990, 4002 over half of that.
const int32_t kPathLengths[] = {3,   5,    6,    16,  15,   45,   135,  1995, 2001, 30,
                                90,  270,  3990, 4002, 179, 298,  181,  1999, 302,  4000};

// In place, misaligned arrays and every kind of buffer give the very bits of
// the plain call (separate arrays, no buffer).
TEST_P(DftTransformTest, SameBitsWhereverTheDataLie) {
    for (int32_t length : kPathLengths) {
        SCOPED_TRACE(testing::Message() << "length " << length << ", " << pathName(dftPlan(build(), length).path));
        DftSpec spec(length, length % 2 != 0 ? fftDivideBySqrtN : fftDivideForwardByN);
        ASSERT_EQ(spec.status(), 0);
        const int64_t bytes = spec.bufferBytes();
        const auto n = static_cast<size_t>(length);
        const std::vector<float> x = uniformSignal(length, 31 + static_cast<uint32_t>(length));
        std::vector<float> plain(n);
        ASSERT_EQ(zaviDFTFwd_RToPerm_32f(x.data(), plain.data(), spec.get(), nullptr), 0);

        std::vector<float> inPlace(x);
        ASSERT_EQ(zaviDFTFwd_RToPerm_32f(inPlace.data(), inPlace.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(std::memcmp(inPlace.data(), plain.data(), n * 4), 0) << "in place";

        for (int shift : {1, 2, 3}) {
            std::vector<float> src(n + 8), dst(n + 8);
            std::memcpy(src.data() + shift, x.data(), n * 4);
            ASSERT_EQ(zaviDFTFwd_RToPerm_32f(src.data() + shift, dst.data() + 4 - shift, spec.get(), nullptr), 0);
            EXPECT_EQ(std::memcmp(dst.data() + 4 - shift, plain.data(), n * 4), 0) << "shift " << shift;
            std::memcpy(src.data() + shift, x.data(), n * 4);
            ASSERT_EQ(zaviDFTFwd_RToPerm_32f(src.data() + shift, src.data() + shift, spec.get(), nullptr), 0);
            EXPECT_EQ(std::memcmp(src.data() + shift, plain.data(), n * 4), 0) << "in place, shift " << shift;
        }

        // The caller's buffer at each misalignment, exactly workBufferBytes
        // long and full of garbage, with guard bytes after it; in place too.
        for (int offset = 0; offset < 16; ++offset) {
            std::vector<uint8_t> storage(static_cast<size_t>(bytes + 64 + 32), 0xEE);
            const auto base = reinterpret_cast<uintptr_t>(storage.data());
            uint8_t* buffer = storage.data() + ((16 - base % 16) % 16) + offset;
            std::vector<float> dst(x);
            float* out = offset % 2 == 0 ? dst.data() : inPlace.data();
            ASSERT_EQ(zaviDFTFwd_RToPerm_32f(dst.data(), out, spec.get(), buffer), 0);
            EXPECT_EQ(std::memcmp(out, plain.data(), n * 4), 0) << "buffer offset " << offset;
            int64_t touched = 0;
            for (uint8_t* p = buffer + bytes; p < storage.data() + storage.size(); ++p) touched += *p != 0xEE;
            EXPECT_EQ(touched, 0) << "guard bytes after the buffer, offset " << offset;
        }
    }
}

TEST_P(DftTransformTest, FourThreadsShareOneSpec) {
    for (int32_t length : {45, 302, 1999, 4002}) {
        DftSpec spec(length, fftDivideForwardByN);
        ASSERT_EQ(spec.status(), 0);
        const std::vector<float> x = uniformSignal(length, 404);
        std::vector<float> expected(static_cast<size_t>(length));
        ASSERT_EQ(zaviDFTFwd_RToPerm_32f(x.data(), expected.data(), spec.get(), nullptr), 0);
        std::vector<std::vector<float>> results(4, std::vector<float>(static_cast<size_t>(length)));
        std::vector<std::thread> threads;
        const int32_t build = this->build();
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                ScopedBuildIndex index(build);
                std::vector<uint8_t> buffer(static_cast<size_t>(spec.bufferBytes()) + 16);
                for (int round = 0; round < 5; ++round)
                    zaviDFTFwd_RToPerm_32f(x.data(), results[t].data(), spec.get(), buffer.data());
            });
        }
        for (std::thread& thread : threads) thread.join();
        for (int t = 0; t < 4; ++t) EXPECT_EQ(results[t], expected) << "thread " << t << ", length " << length;
    }
}

// The chirp-z transform with the positive exponent is the forward one with
// bins 1 .. n - 1 reversed.
TEST_P(DftTransformTest, ChirpDirectionReversesTheBins) {
    for (int32_t length : {302, 1002}) {
        DftSpec spec(length, fftNoDivision);
        ASSERT_EQ(spec.status(), 0);
        ASSERT_NE(spec.record().innerComplexFft, nullptr);
        const int64_t n = length / 2;
        const std::vector<float> x = uniformSignal(2 * n, 8);
        std::vector<float> work(static_cast<size_t>(spec.bufferBytes()) / 4 + 4);
        std::vector<float> forward(static_cast<size_t>(2 * n)), backward(static_cast<size_t>(2 * n));
        const auto bluestein = internals(build()).complexBluestein;
        ASSERT_EQ(bluestein(&spec.record(), x.data(), forward.data(), n, 1, work.data()), 0);
        ASSERT_EQ(bluestein(&spec.record(), x.data(), backward.data(), n, -1, work.data()), 0);
        EXPECT_EQ(forward[0], backward[0]);
        EXPECT_EQ(forward[1], backward[1]);
        for (int64_t k = 1; k < n; ++k) {
            ASSERT_EQ(bitsOf(forward[2 * k]), bitsOf(backward[2 * (n - k)])) << k;
            ASSERT_EQ(bitsOf(forward[2 * k + 1]), bitsOf(backward[2 * (n - k) + 1])) << k;
        }
        // And the positive exponent is the inverse DFT.
        std::vector<double> reference = interleaved(referenceComplexDft(complexOf(x.data(), n), true));
        EXPECT_EQ(checkTolerance(backward.data(), reference, toleranceOrder(n)), "");
    }
}

// The direct complex sums of every length up to 24, both directions; the
// entry only ever gives them odd lengths (an even one always has a plan).
TEST_P(DftTransformTest, DirectComplexSumsOfAnyLength) {
    const InternalRoutines& routines = internals(build());
    for (int64_t n = 1; n <= 24; ++n) {
        float* table = routines.twiddleTable(n);
        float* roots = routines.directTwiddles(n, table, n);
        ASSERT_NE(roots, nullptr);
        const std::vector<float> x = uniformSignal(2 * n, 50u + static_cast<uint32_t>(n));
        std::vector<float> work(static_cast<size_t>(2 * n)), y(static_cast<size_t>(2 * n));
        for (int32_t direction : {1, -1}) {
            SCOPED_TRACE(testing::Message() << "n " << n << ", direction " << direction);
            routines.complexDirect(x.data(), y.data(), n, direction, roots, work.data());
            const std::vector<double> reference = interleaved(referenceComplexDft(complexOf(x.data(), n), direction < 0));
            EXPECT_EQ(checkTolerance(y.data(), reference, toleranceOrder(n)), "");
        }
        zoveZiva(roots);
        zoveZiva(table);
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(DftTransformTest);

// ---- Accuracy -------------------------------------------------------------

// One length on every build and flag against one reference.
void checkLength(int32_t length, const std::vector<int32_t>& flags) {
    const std::vector<float> x = uniformSignal(length, 1000u + static_cast<uint32_t>(length));
    const std::vector<double> reference = referencePerm(x.data(), length);
    std::vector<float> y(static_cast<size_t>(length));
    for (int32_t build = kFirstBuild; build <= kLastBuild; ++build) {
        if (!hostRunsBuild(build)) continue;
        ScopedBuildIndex index(build);
        for (int32_t flag : flags) {
            SCOPED_TRACE(testing::Message() << buildName(build) << ", length " << length << " ("
                                            << pathName(dftPlan(build, length).path) << "), flag " << flag);
            DftSpec spec(length, flag);
            ASSERT_EQ(spec.status(), 0);
            ASSERT_EQ(zaviDFTFwd_RToPerm_32f(x.data(), y.data(), spec.get(), nullptr), 0);
            EXPECT_EQ(checkTolerance(y.data(), reference, toleranceOrder(length), dftForwardScale(flag, length)), "");
        }
    }
}

// Every length from 1 to 1200, in ranges of 100: kernels, the real FFT,
// direct odd and even, mixed radix over real and complex input, chirp-z odd
// and even.
class DftAccuracy : public ::testing::TestWithParam<int32_t> {};

TEST_P(DftAccuracy, EveryLengthOnEveryBuild) {
    for (int32_t length = GetParam(); length < GetParam() + 100; ++length) {
        if (length <= 64)
            checkLength(length, {fftNoDivision, fftDivideForwardByN, fftDivideInverseByN, fftDivideBySqrtN});
        else
            checkLength(length, {fftNoDivision, fftDivideForwardByN});
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DftAccuracy, ::testing::Range(1, 1201, 100),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                             return "from" + std::to_string(info.param);
                         });

// Long lengths: chirp-z (65 537 needs 64-bit chirp exponents) and mixed
// radix, both drivers, radix 149 and the SSE2 and SSE3-class reorder.
class DftLongAccuracy : public ::testing::TestWithParam<int32_t> {};

TEST_P(DftLongAccuracy, EveryBuild) { checkLength(GetParam(), {fftDivideForwardByN}); }

INSTANTIATE_TEST_SUITE_P(Lengths, DftLongAccuracy,
                         ::testing::Values(1999, 16382, 65537, 131074, 2187, 15625, 1995, 2001, 3990, 4000, 4002,
                                           140805, 500640),
                         [](const ::testing::TestParamInfo<int32_t>& info) { return std::to_string(info.param); });

}  // namespace
}  // namespace primitives::test
