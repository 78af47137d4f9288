// zaviConjPerm_32fc: statuses, known vectors, every length up to 64 at the
// destination alignments of its three store paths, and the sign of a
// mirrored zero per build.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FftTestSupport.h"

namespace primitives::test {
namespace {

class ConjPermTest : public PerBuildTest {};

TEST_P(ConjPermTest, Statuses) {
    const float src[4] = {1, 2, 3, 4};
    std::vector<Complex32f> dst(4, Complex32f{canary(), canary()});
    EXPECT_EQ(zaviConjPerm_32fc(nullptr, dst.data(), 4), -8);
    EXPECT_EQ(zaviConjPerm_32fc(src, nullptr, 4), -8);
    EXPECT_EQ(zaviConjPerm_32fc(nullptr, dst.data(), 0), -8);
    EXPECT_EQ(zaviConjPerm_32fc(src, nullptr, -3), -8);
    EXPECT_EQ(zaviConjPerm_32fc(src, dst.data(), 0), -6);
    EXPECT_EQ(zaviConjPerm_32fc(src, dst.data(), -1), -6);
    for (const Complex32f& c : dst) {
        EXPECT_EQ(bitsOf(c.re), bitsOf(canary()));
        EXPECT_EQ(bitsOf(c.im), bitsOf(canary()));
    }
}

TEST_P(ConjPermTest, KnownVectors) {
    struct Case {
        std::vector<float> in;
        std::vector<float> out;  // pairs
    };
    const Case cases[] = {
        {{7}, {7, 0}},
        {{3, 1}, {3, 0, 1, 0}},
        {{1, 2, 3}, {1, 0, 2, 3, 2, -3}},
        {{10, -2, -2, 2}, {10, 0, -2, 2, -2, 0, -2, -2}},
        {{1, 2, 3, 4, 5}, {1, 0, 2, 3, 4, 5, 4, -5, 2, -3}},
    };
    for (const Case& c : cases) {
        const auto len = static_cast<int32_t>(c.in.size());
        std::vector<Complex32f> dst(static_cast<size_t>(len) + 1, Complex32f{canary(), canary()});
        ASSERT_EQ(zaviConjPerm_32fc(c.in.data(), dst.data(), len), 0);
        for (int32_t k = 0; k < len; ++k) {
            EXPECT_EQ(dst[k].re, c.out[2 * k]) << "len " << len << ", bin " << k;
            EXPECT_EQ(dst[k].im, c.out[2 * k + 1]) << "len " << len << ", bin " << k;
        }
        EXPECT_EQ(bitsOf(dst[len].re), bitsOf(canary()));
    }
}

// Every len from 1 to 64, the destination 16-byte aligned, 8 bytes off and
// 4 bytes off.
TEST_P(ConjPermTest, EveryLengthAtEveryDestinationAlignment) {
    for (int32_t len = 1; len <= 64; ++len) {
        std::vector<float> src(static_cast<size_t>(len));
        for (int32_t i = 0; i < len; ++i) src[i] = static_cast<float>(i + 1) * (i % 3 ? 1.0f : -1.0f);
        for (int offset : {0, 8, 4}) {
            SCOPED_TRACE(testing::Message() << "len " << len << ", offset " << offset);
            alignas(16) static float storage[2 * 64 + 16];
            std::fill(std::begin(storage), std::end(storage), canary());
            auto* dst = reinterpret_cast<Complex32f*>(reinterpret_cast<uint8_t*>(storage) + offset);
            ASSERT_EQ(zaviConjPerm_32fc(src.data(), dst, len), 0);
            const bool even = len % 2 == 0;
            const int32_t stored = (len - 1) / 2;
            EXPECT_EQ(dst[0].re, src[0]);
            EXPECT_EQ(bitsOf(dst[0].im), 0u);
            if (even) {
                EXPECT_EQ(dst[len / 2].re, src[1]);
                EXPECT_EQ(bitsOf(dst[len / 2].im), 0u);
            }
            for (int32_t k = 1; k <= stored; ++k) {
                const float re = src[even ? 2 * k : 2 * k - 1], im = src[even ? 2 * k + 1 : 2 * k];
                EXPECT_EQ(dst[k].re, re);
                EXPECT_EQ(dst[k].im, im);
                EXPECT_EQ(dst[len - k].re, re);
                EXPECT_EQ(dst[len - k].im, -im);
            }
            EXPECT_EQ(bitsOf(dst[len].re), bitsOf(canary()));
        }
    }
}

// A stored zero imaginary part: the SSE build writes +0.0 for either zero
// (0 - I); the other builds invert the sign bit.
TEST_P(ConjPermTest, MirroredZeroSignPerBuild) {
    const float src[6] = {1, 5, 2, 0.0f, 3, -0.0f};
    for (int offset : {0, 8, 4}) {
        alignas(16) static float storage[16];
        auto* dst = reinterpret_cast<Complex32f*>(reinterpret_cast<uint8_t*>(storage) + offset);
        ASSERT_EQ(zaviConjPerm_32fc(src, dst, 6), 0);
        const bool subtracts = build() == buildSse;
        EXPECT_EQ(bitsOf(dst[5].im), subtracts ? 0u : 0x80000000u) << offset;  // mirror of +0.0
        EXPECT_EQ(bitsOf(dst[4].im), 0u) << offset;                               // mirror of -0.0
        EXPECT_EQ(bitsOf(dst[1].im), 0u);
        EXPECT_EQ(bitsOf(dst[2].im), 0x80000000u);
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ConjPermTest);

}  // namespace
}  // namespace primitives::test
