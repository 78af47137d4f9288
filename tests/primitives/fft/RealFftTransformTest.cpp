// The real FFT transforms: statuses, known vectors, exact special signals,
// spectrum layouts, work buffers and results that must not depend on where
// the data lie.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "FftReference.h"
#include "FftTestSupport.h"
#include "TestHeap.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives::test {
namespace {

using Transform = PrimitiveStatus (*)(const float*, float*, const RealFftSpec_32f*, uint8_t*);

struct Entry {
    const char* name;
    Transform call;
    bool ccsOut;  // writes N + 2 floats
};
const Entry kEntries[] = {
    {"RToPerm", zaviFFTFwd_RToPerm_32f, false},
    {"RToCCS", zaviFFTFwd_RToCCS_32f, true},
    {"CCSToR", zaviFFTInv_CCSToR_32f, false},
};

int64_t outputFloats(const Entry& entry, int64_t n) { return entry.ccsOut ? (n == 1 ? 2 : n + 2) : n; }

class RealFftTransformTest : public PerBuildTest {};

TEST_P(RealFftTransformTest, StatusesInTheirOrderLeaveTheOutputUntouched) {
    for (int32_t order : {2, 6}) {
        FftSpec spec(order, fftDivideBySqrtN);
        ASSERT_EQ(spec.status(), 0);
        const int64_t n = int64_t{1} << order;
        std::vector<float> src(static_cast<size_t>(n + 2), 0.5f);
        RealFftSpec dft{};
        dft.kindTag = 15;
        const auto* other = reinterpret_cast<const RealFftSpec_32f*>(&dft);
        for (const Entry& entry : kEntries) {
            SCOPED_TRACE(testing::Message() << entry.name << ", order " << order);
            std::vector<float> dst(static_cast<size_t>(n + 2), canary());
            EXPECT_EQ(entry.call(nullptr, dst.data(), nullptr, nullptr), -8);
            EXPECT_EQ(entry.call(src.data(), dst.data(), nullptr, nullptr), -8);
            EXPECT_EQ(entry.call(nullptr, nullptr, other, nullptr), -17);
            EXPECT_EQ(entry.call(src.data(), dst.data(), other, nullptr), -17);
            EXPECT_EQ(entry.call(nullptr, dst.data(), spec.get(), nullptr), -8);
            EXPECT_EQ(entry.call(src.data(), nullptr, spec.get(), nullptr), -8);
            for (float v : dst) EXPECT_EQ(bitsOf(v), bitsOf(canary()));
        }
    }
}

// With no buffer a transform allocates one only when the spec needs one; a
// failed allocation gives -9 and writes nothing.
TEST_P(RealFftTransformTest, AllocationFailureOfTheWorkBuffer) {
    for (int32_t order : {2, 4, 9, 11, 12, 14, 18}) {
        FftSpec spec(order, fftDivideInverseByN);
        ASSERT_EQ(spec.status(), 0);
        const int64_t n = int64_t{1} << order;
        const std::vector<float> src = uniformSignal(n + 2, 5);
        for (const Entry& entry : kEntries) {
            SCOPED_TRACE(testing::Message() << entry.name << ", order " << order);
            std::vector<float> dst(static_cast<size_t>(n + 2), canary());
            const int64_t live = TestHeap::liveBlocks();
            {
                ScopedAllocationFailure failure(1);
                const PrimitiveStatus status = entry.call(src.data(), dst.data(), spec.get(), nullptr);
                if (spec.bufferBytes() > 0) {
                    EXPECT_EQ(status, -9);
                    for (float v : dst) EXPECT_EQ(bitsOf(v), bitsOf(canary()));
                } else {
                    EXPECT_EQ(status, 0);
                }
            }
            EXPECT_EQ(TestHeap::liveBlocks(), live);
        }
    }
}

// The time scaler's pair: order 10, flag 2, its own buffer. It must not
// allocate: every allocation would fail, and none is asked for.
TEST_P(RealFftTransformTest, VocoderPairAllocatesNothing) {
    FftSpec spec(10, fftDivideInverseByN);
    ASSERT_EQ(spec.status(), 0);
    std::vector<uint8_t> buffer(static_cast<size_t>(spec.bufferBytes()));
    const std::vector<float> x = uniformSignal(1024, 9);
    std::vector<float> spectrum(1026), y(1024);
    const int64_t before = TestHeap::requests();
    for (int round = 0; round < 3; ++round) {
        ScopedAllocationFailure failure(1);
        ASSERT_EQ(zaviFFTFwd_RToCCS_32f(x.data(), spectrum.data(), spec.get(), buffer.data()), 0);
        ASSERT_EQ(zaviFFTInv_CCSToR_32f(spectrum.data(), y.data(), spec.get(), buffer.data()), 0);
    }
    EXPECT_EQ(TestHeap::requests(), before);
    for (int i = 0; i < 1024; ++i) EXPECT_NEAR(y[i], x[i], 1e-5f);
}

// The known vectors of the layouts, kernels and entries.
TEST_P(RealFftTransformTest, KnownVectors) {
    struct Case {
        const char* entry;
        int32_t order, flag;
        std::vector<float> in, out;
    };
    const float a = 1, m = -1;
    const std::vector<Case> cases = {
        // forward to Perm
        {"RToPerm", 0, 8, {2.5f}, {2.5f}},
        {"RToPerm", 0, 1, {2.5f}, {2.5f}},
        {"RToPerm", 1, 8, {3, 1}, {4, 2}},
        {"RToPerm", 2, 8, {1, 2, 3, 4}, {10, -2, -2, 2}},
        {"RToPerm", 3, 1, {1, 1, 1, 1, 1, 1, 1, 1}, {1, 0, 0, 0, 0, 0, 0, 0}},
        {"RToPerm", 3, 8, {1, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 0, 1, 0, 1, 0}},
        {"RToPerm", 3, 8, {2, 2, 2, 2, 2, 2, 2, 2}, {16, 0, 0, 0, 0, 0, 0, 0}},
        {"RToPerm", 3, 8, {a, m, a, m, a, m, a, m}, {0, 8, 0, 0, 0, 0, 0, 0}},
        {"RToPerm", 3, 2, {1, 2, 3, 4, 5, 6, 7, 8}, {36, -4, -4, 9.656854f, -4, 4, -4, 1.656854f}},
        // forward to CCS
        {"RToCCS", 0, 8, {3}, {3, 0}},
        {"RToCCS", 0, 4, {3}, {3, 0}},
        {"RToCCS", 1, 8, {3, 1}, {4, 0, 2, 0}},
        {"RToCCS", 2, 8, {1, 2, 3, 4}, {10, 0, -2, 2, -2, 0}},
        {"RToCCS", 3, 1, {1, 1, 1, 1, 1, 1, 1, 1}, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"RToCCS", 3, 8, {a, m, a, m, a, m, a, m}, {0, 0, 0, 0, 0, 0, 0, 0, 8, 0}},
        {"RToCCS", 3, 8, {2, 2, 2, 2, 2, 2, 2, 2}, {16, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // inverse from CCS
        {"CCSToR", 0, 8, {5, 99}, {5}},
        {"CCSToR", 0, 2, {5, 99}, {5}},
        {"CCSToR", 1, 8, {4, 0, 2, 0}, {6, 2}},
        {"CCSToR", 1, 2, {4, 0, 2, 0}, {3, 1}},
        {"CCSToR", 2, 2, {10, 0, -2, 2, -2, 0}, {1, 2, 3, 4}},
        {"CCSToR", 2, 2, {10, 7, -2, 2, -2, -7}, {1, 2, 3, 4}},
        {"CCSToR", 3, 8, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0}, {a, m, a, m, a, m, a, m}},
        {"CCSToR", 3, 8, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.entry << ", order " << c.order << ", flag " << c.flag);
        FftSpec spec(c.order, c.flag);
        ASSERT_EQ(spec.status(), 0);
        const Entry* entry = nullptr;
        for (const Entry& e : kEntries)
            if (std::strcmp(e.name, c.entry) == 0) entry = &e;
        std::vector<float> out(c.out.size() + 2, canary());
        ASSERT_EQ(entry->call(c.in.data(), out.data(), spec.get(), nullptr), 0);
        for (size_t i = 0; i < c.out.size(); ++i) EXPECT_NEAR(out[i], c.out[i], 1e-5f) << "element " << i;
        EXPECT_EQ(bitsOf(out[c.out.size()]), bitsOf(canary()));
    }
}

// Impulse, constant and alternating signals, and the spectra of a lone DC
// or Nyquist bin, come out exactly on every road.
TEST_P(RealFftTransformTest, SpecialSignalsAreExact) {
    for (int32_t order = 4; order <= kLargestTestedOrder; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const int64_t n = int64_t{1} << order;
        const bool all = order <= 20;
        FftSpec spec(order, fftNoDivision);
        ASSERT_EQ(spec.status(), 0);
        std::vector<float> in(static_cast<size_t>(n + 2)), out(static_cast<size_t>(n + 2));
        auto forward = [&](const Entry& entry, auto signal, auto expected) {
            for (int64_t j = 0; j < n; ++j) in[j] = signal(j);
            ASSERT_EQ(entry.call(in.data(), out.data(), spec.get(), nullptr), 0);
            int64_t wrong = 0;
            for (int64_t i = 0; i < outputFloats(entry, n); ++i) wrong += out[i] != expected(i);
            EXPECT_EQ(wrong, 0) << entry.name;
        };
        const Entry& perm = kEntries[0];
        const Entry& ccs = kEntries[1];
        // Perm: element 1 is R(N/2), imaginary parts at odd positions from 3.
        auto impulse = [](int64_t j) { return j == 0 ? 1.0f : 0.0f; };
        auto constant = [](int64_t) { return 1.0f; };
        auto alternating = [](int64_t j) { return (j & 1) ? -1.0f : 1.0f; };
        const float fn = static_cast<float>(n);
        forward(perm, impulse, [](int64_t i) { return (i == 1 || i % 2 == 0) ? 1.0f : 0.0f; });
        if (all || order == 21) forward(ccs, constant, [fn](int64_t i) { return i == 0 ? fn : 0.0f; });
        if (all) {
            forward(perm, constant, [fn](int64_t i) { return i == 0 ? fn : 0.0f; });
            forward(perm, alternating, [fn](int64_t i) { return i == 1 ? fn : 0.0f; });
            forward(ccs, impulse, [n](int64_t i) { return (i % 2 == 0) ? 1.0f : 0.0f; });
            forward(ccs, alternating, [fn, n](int64_t i) { return i == n ? fn : 0.0f; });
        }
        for (int64_t bin : {int64_t{0}, n}) {
            if (!all && bin == 0) continue;
            std::fill(in.begin(), in.end(), 0.0f);
            in[bin] = 1.0f;
            ASSERT_EQ(zaviFFTInv_CCSToR_32f(in.data(), out.data(), spec.get(), nullptr), 0);
            int64_t wrong = 0;
            for (int64_t j = 0; j < n; ++j) wrong += out[j] != (bin == 0 || j % 2 == 0 ? 1.0f : -1.0f);
            EXPECT_EQ(wrong, 0) << "inverse of bin " << bin / 2;
        }
    }
}

TEST_P(RealFftTransformTest, CcsLayout) {
    for (int32_t order : {0, 1, 2, 3, 4, 7, 10, 11, 12, 13, 16, 17, 18}) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const int64_t n = int64_t{1} << order;
        FftSpec spec(order, fftDivideForwardByN);
        ASSERT_EQ(spec.status(), 0);
        const std::vector<float> x = uniformSignal(n, 77);
        std::vector<float> ccs(static_cast<size_t>(n + 2), canary()), perm(static_cast<size_t>(n));
        ASSERT_EQ(zaviFFTFwd_RToCCS_32f(x.data(), ccs.data(), spec.get(), nullptr), 0);
        ASSERT_EQ(zaviFFTFwd_RToPerm_32f(x.data(), perm.data(), spec.get(), nullptr), 0);
        // The imaginary parts of bins 0 and N/2 are written as +0.0.
        EXPECT_EQ(bitsOf(ccs[1]), 0u);
        if (n > 1) {
            EXPECT_EQ(bitsOf(ccs[n + 1]), 0u);
            EXPECT_EQ(ccs[n], perm[1]);
            for (int64_t i = 2; i < n; ++i) ASSERT_EQ(ccs[i], perm[i]) << i;
        }
        EXPECT_EQ(ccs[0], perm[0]);

        // The inverse never reads elements 1 and N + 1.
        std::vector<float> clean(ccs), dirty(ccs);
        if (n > 1) {
            dirty[1] = 1e30f;
            dirty[n + 1] = -3.5f;
        } else {
            dirty[1] = canary();
        }
        std::vector<float> a(static_cast<size_t>(n)), b(static_cast<size_t>(n));
        ASSERT_EQ(zaviFFTInv_CCSToR_32f(clean.data(), a.data(), spec.get(), nullptr), 0);
        ASSERT_EQ(zaviFFTInv_CCSToR_32f(dirty.data(), b.data(), spec.get(), nullptr), 0);
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * 4), 0);
    }
}

TEST(SpectrumOrders, PackToPermInPlaceEqualsOutOfPlace) {
    for (int64_t n : {1, 2, 4, 8, 16}) {
        std::vector<float> pack(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i) pack[i] = static_cast<float>(i + 1);
        std::vector<float> expected(static_cast<size_t>(n));
        expected[0] = pack[0];
        if (n > 1) {
            expected[1] = pack[n - 1];
            for (int64_t k = 1; k <= n - 2; ++k) expected[k + 1] = pack[k];
        }
        std::vector<float> out(static_cast<size_t>(n)), inPlace(pack);
        packToPerm(pack.data(), out.data(), n);
        packToPerm(inPlace.data(), inPlace.data(), n);
        EXPECT_EQ(out, expected) << n;
        EXPECT_EQ(inPlace, expected) << n;
    }
}

// Orders on every road of every build: kernels, the one-piece transform,
// the radix passes and the large-order plans.
const int32_t kRoadOrders[] = {0, 1, 2, 3, 4, 5, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};

// In place, misaligned arrays and every kind of buffer give the very bits of
// the plain call (separate aligned arrays, no buffer).
TEST_P(RealFftTransformTest, SameBitsWhereverTheDataLie) {
    for (int32_t order : kRoadOrders) {
        const int64_t n = int64_t{1} << order;
        FftSpec spec(order, order % 2 ? fftDivideBySqrtN : fftDivideInverseByN);
        ASSERT_EQ(spec.status(), 0);
        const int64_t bytes = spec.bufferBytes();
        const std::vector<float> x = uniformSignal(n + 2, 31 + static_cast<uint32_t>(order));
        for (const Entry& entry : kEntries) {
            SCOPED_TRACE(testing::Message() << entry.name << ", order " << order);
            const size_t outBytes = static_cast<size_t>(outputFloats(entry, n)) * 4;
            std::vector<float> plain(static_cast<size_t>(n + 2));
            ASSERT_EQ(entry.call(x.data(), plain.data(), spec.get(), nullptr), 0);

            std::vector<float> inPlace(x);
            ASSERT_EQ(entry.call(inPlace.data(), inPlace.data(), spec.get(), nullptr), 0);
            EXPECT_EQ(std::memcmp(inPlace.data(), plain.data(), outBytes), 0) << "in place";

            for (int shift : {1, 2, 3}) {
                std::vector<float> src(static_cast<size_t>(n + 8)), dst(static_cast<size_t>(n + 8));
                std::memcpy(src.data() + shift, x.data(), static_cast<size_t>(n + 2) * 4);
                ASSERT_EQ(entry.call(src.data() + shift, dst.data() + 4 - shift, spec.get(), nullptr), 0);
                EXPECT_EQ(std::memcmp(dst.data() + 4 - shift, plain.data(), outBytes), 0) << "shift " << shift;
            }

            // The caller's buffer at each misalignment (some of them at the
            // largest orders), exactly workBufferBytes long and full of
            // garbage, with guard bytes after it.
            for (int offset = 0; offset < 16; offset += order <= 16 ? 1 : 5) {
                std::vector<uint8_t> storage(static_cast<size_t>(bytes + 64 + 32), 0xEE);
                const auto base = reinterpret_cast<uintptr_t>(storage.data());
                uint8_t* buffer = storage.data() + ((16 - base % 16) % 16) + offset;
                std::vector<float> dst(static_cast<size_t>(n + 2));
                ASSERT_EQ(entry.call(x.data(), dst.data(), spec.get(), buffer), 0);
                EXPECT_EQ(std::memcmp(dst.data(), plain.data(), outBytes), 0) << "buffer offset " << offset;
                int64_t touched = 0;
                for (uint8_t* p = buffer + bytes; p < storage.data() + storage.size(); ++p) touched += *p != 0xEE;
                EXPECT_EQ(touched, 0) << "guard bytes after the buffer, offset " << offset;
            }
        }
    }
}

TEST_P(RealFftTransformTest, FourThreadsShareOneSpec) {
    for (int32_t order : {3, 10, 13, 17}) {
        const int64_t n = int64_t{1} << order;
        FftSpec spec(order, fftDivideInverseByN);
        ASSERT_EQ(spec.status(), 0);
        const std::vector<float> x = uniformSignal(n, 404);
        std::vector<float> expected(static_cast<size_t>(n + 2));
        ASSERT_EQ(zaviFFTFwd_RToCCS_32f(x.data(), expected.data(), spec.get(), nullptr), 0);
        std::vector<std::vector<float>> results(4, std::vector<float>(static_cast<size_t>(n + 2)));
        std::vector<std::thread> threads;
        const int32_t build = this->build();
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                ScopedBuildIndex index(build);
                std::vector<uint8_t> buffer(static_cast<size_t>(spec.bufferBytes()) + 16);
                std::vector<float> back(static_cast<size_t>(n));
                for (int round = 0; round < 5; ++round) {
                    zaviFFTFwd_RToCCS_32f(x.data(), results[t].data(), spec.get(), buffer.data());
                    zaviFFTInv_CCSToR_32f(results[t].data(), back.data(), spec.get(), buffer.data());
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
        for (int t = 0; t < 4; ++t) EXPECT_EQ(results[t], expected) << "thread " << t << ", order " << order;
    }
}

// Forward then inverse gives x back (flags 2 and 4), or N x (flag 8).
TEST_P(RealFftTransformTest, RoundTrips) {
    const double eps = std::ldexp(1.0, -24);
    for (int32_t order = 0; order <= 20; ++order) {
        const int64_t n = int64_t{1} << order;
        const std::vector<float> x = uniformSignal(n, 600 + static_cast<uint32_t>(order));
        double peak = 0;
        for (float v : x) peak = std::max(peak, static_cast<double>(std::abs(v)));
        const double bound = 16.0 * std::max(order, 1) * eps * peak;
        for (int32_t flag : {fftDivideInverseByN, fftDivideBySqrtN, fftNoDivision}) {
            SCOPED_TRACE(testing::Message() << "order " << order << ", flag " << flag);
            FftSpec spec(order, flag);
            ASSERT_EQ(spec.status(), 0);
            std::vector<float> spectrum(static_cast<size_t>(n + 2)), y(static_cast<size_t>(n));
            ASSERT_EQ(zaviFFTFwd_RToCCS_32f(x.data(), spectrum.data(), spec.get(), nullptr), 0);
            ASSERT_EQ(zaviFFTInv_CCSToR_32f(spectrum.data(), y.data(), spec.get(), nullptr), 0);
            const double gain = flag == fftNoDivision ? static_cast<double>(n) : 1.0;
            double worst = 0;
            for (int64_t j = 0; j < n; ++j) worst = std::max(worst, std::abs(y[j] - gain * x[j]));
            EXPECT_LE(worst, gain * bound);
        }
    }
}

// The scope's chain: forward to Perm, then the conjugate-symmetric expansion,
// against the full complex spectrum.
TEST_P(RealFftTransformTest, ScopeSpectrumChain) {
    for (int32_t order = 6; order <= 16; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const int64_t n = int64_t{1} << order;
        FftSpec spec(order, fftDivideForwardByN);
        ASSERT_EQ(spec.status(), 0);
        const std::vector<float> x = uniformSignal(n, 66);
        std::vector<float> perm(static_cast<size_t>(n));
        std::vector<Complex32f> full(static_cast<size_t>(n));
        ASSERT_EQ(zaviFFTFwd_RToPerm_32f(x.data(), perm.data(), spec.get(), nullptr), 0);
        ASSERT_EQ(zaviConjPerm_32fc(perm.data(), full.data(), static_cast<int32_t>(n)), 0);
        const std::vector<ComplexD> bins = referenceRealSpectrum(x.data(), n);
        std::vector<double> reference(static_cast<size_t>(2 * n));
        for (int64_t k = 0; k < n; ++k) {
            const ComplexD v = k <= n / 2 ? bins[k] : std::conj(bins[n - k]);
            reference[2 * k] = v.real();
            reference[2 * k + 1] = v.imag();
        }
        EXPECT_EQ(checkTolerance(&full[0].re, reference, order, 1.0 / static_cast<double>(n)), "");
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(RealFftTransformTest);

}  // namespace
}  // namespace primitives::test
