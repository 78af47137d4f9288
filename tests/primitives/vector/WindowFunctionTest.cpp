// zaviWinBartlett_32f_I, zaviWinHann_32f_I and zaviWinBlackmanStd_32f_I on
// every build against their closed forms in long double.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "FloatBits.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives {
namespace {

using test::bitsOf;
using test::sameBits;

class WindowFunction : public test::PerBuildTest {};
INSTANTIATE_PER_BUILD_TEST_SUITE(WindowFunction);

using WindowEntry = PrimitiveStatus(float*, int32_t);

struct Window {
    const char* name;
    WindowEntry* entry;
    const DispatchRecord<WindowEntry>* record;
    long double (*weight)(int32_t k, int32_t len);  // closed form
};

long double bartlett(int32_t k, int32_t len) {
    const long double half = (len - 1) / 2.0L;
    return 1.0L - std::fabs((k - half) / half);
}
long double hann(int32_t k, int32_t len) {
    return 0.5L - 0.5L * std::cos(2.0L * 3.14159265358979323846L * k / (len - 1));
}
long double blackman(int32_t k, int32_t len) {
    const long double alpha = -0.16f;  // the float alpha, as the entries use it
    const long double x = 2.0L * 3.14159265358979323846L * k / (len - 1);
    return (alpha + 1) / 2 - 0.5L * std::cos(x) - alpha / 2 * std::cos(2 * x);
}

const Window kWindows[] = {
    {"Bartlett", zaviWinBartlett_32f_I, &zaviWinBartlett_32f_I_dispatch, bartlett},
    {"Hann", zaviWinHann_32f_I, &zaviWinHann_32f_I_dispatch, hann},
    {"Blackman", zaviWinBlackmanStd_32f_I, &zaviWinBlackmanStd_32f_I_dispatch, blackman},
};

std::vector<float> windowOfOnes(const Window& w, int32_t len) {
    std::vector<float> v(len, 1.0f);
    EXPECT_EQ(w.entry(v.data(), len), 0);
    return v;
}

TEST_P(WindowFunction, ChecksAndTheShortestLength) {
    for (const Window& w : kWindows) {
        SCOPED_TRACE(w.name);
        std::vector<float> v = {5.0f, 6.0f, 7.0f};
        EXPECT_EQ(w.entry(nullptr, 3), -8);
        EXPECT_EQ(w.entry(nullptr, 0), -8) << "null before length";
        for (int32_t len : {2, 1, 0, -3}) {
            EXPECT_EQ(w.entry(v.data(), len), -6) << "length " << len;
            EXPECT_EQ(v, (std::vector<float>{5.0f, 6.0f, 7.0f}));
        }
        // Length 3: both ends stored as +0, even over an infinity or NaN; the
        // middle is not touched.
        std::vector<float> three = {INFINITY, test::floatFromBits(0x7FC01234), -NAN};
        ASSERT_EQ(w.entry(three.data(), 3), 0);
        EXPECT_EQ(bitsOf(three[0]), 0u);
        EXPECT_EQ(bitsOf(three[1]), 0x7FC01234u);
        EXPECT_EQ(bitsOf(three[2]), 0u);
    }
}

TEST_P(WindowFunction, ShortWindowsOnOnes) {
    struct Case {
        const Window& window;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {kWindows[0], {0.0f, 0.4f, 0.8f, 0.8f, 0.4f, 0.0f}},
        {kWindows[0], {0.0f, 1 / 3.0f, 2 / 3.0f, 1.0f, 2 / 3.0f, 1 / 3.0f, 0.0f}},
        {kWindows[1], {0.0f, 0.5f, 1.0f, 0.5f, 0.0f}},
        {kWindows[1], {0.0f, 0.75f, 0.75f, 0.0f}},
        {kWindows[2], {0.0f, 0.34f, 1.0f, 0.34f, 0.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.window.name) + " of " + std::to_string(c.expected.size()));
        const std::vector<float> v = windowOfOnes(c.window, static_cast<int32_t>(c.expected.size()));
        for (std::size_t i = 0; i < v.size(); ++i) EXPECT_NEAR(v[i], c.expected[i], 2e-7) << "element " << i;
    }
    // The SIMD Blackman stores its ends as +0.
    if (build() != buildGeneric) {
        const std::vector<float> v = windowOfOnes(kWindows[2], 5);
        EXPECT_EQ(bitsOf(v[0]), 0u);
        EXPECT_EQ(bitsOf(v[4]), 0u);
    }
}

TEST_P(WindowFunction, FollowTheClosedFormsUpToLongWindows) {
    // Lengths either side of the block limits (640 Bartlett pairs, 512 Hann
    // and Blackman pairs), odd and even, up to 65,536.
    const int32_t lengths[] = {4, 5, 6, 7, 8, 9, 10, 11, 16, 17, 1023, 1024, 1025, 1026, 1281, 1282, 1283, 4096, 65535,
                               65536};
    for (const Window& w : kWindows) {
        for (int32_t len : lengths) {
            const std::vector<float> v = windowOfOnes(w, len);
            // The SIMD Bartlett adds its float weights in float for up to 640
            // pairs, which drifts by up to 1e-5.
            const bool floatDrift = w.entry == zaviWinBartlett_32f_I && build() != buildGeneric && len / 2 <= 640;
            const long double tolerance = floatDrift ? 1e-5L : 1e-6L;
            long double largest = 0;
            for (int32_t k = 0; k < len; ++k) largest = std::max(largest, std::fabs(v[k] - w.weight(k, len)));
            EXPECT_LE(largest, tolerance) << w.name << " of " << len;
        }
    }
}

TEST_P(WindowFunction, BartlettSwitchesToDoubleWeightsAbove640Pairs) {
    // 1281 (640 pairs) still accumulates in float blocks; 1283 (641 pairs)
    // adds in double one pair at a time. The generic build always does.
    const auto largestError = [](int32_t len) {
        const std::vector<float> v = windowOfOnes(kWindows[0], len);
        long double largest = 0;
        for (int32_t k = 0; k < len; ++k) largest = std::max(largest, std::fabs(v[k] - bartlett(k, len)));
        return largest;
    };
    const long double blocks = largestError(1281), singles = largestError(1283);
    EXPECT_LE(singles, 1e-7L);
    if (build() == buildGeneric) {
        EXPECT_LE(blocks, 1e-7L);
    } else {
        EXPECT_GT(blocks, 1e-7L) << "float accumulation shows";
        EXPECT_LE(blocks, 1e-5L);
    }
}

TEST_P(WindowFunction, HannOfTheTimeScalerFrame) {
    // The phase-vocoder time scaler windows frames of 1024 samples.
    std::vector<float> frame(1024);
    for (int32_t i = 0; i < 1024; ++i) frame[i] = std::sin(0.05f * i) * 3.0f;
    std::vector<float> windowed = frame;
    ASSERT_EQ(zaviWinHann_32f_I(windowed.data(), 1024), 0);
    for (int32_t k = 0; k < 1024; ++k) {
        ASSERT_NEAR(windowed[k], frame[k] * hann(k, 1024), 3e-6L) << "sample " << k;
    }
    EXPECT_EQ(windowed[0], 0.0f);
    EXPECT_EQ(windowed[1023], 0.0f);
}

TEST_P(WindowFunction, InfiniteEndsAndAnUntouchedMiddle) {
    // Stored zeros make an infinite end +0; a weight of 0 makes it NaN.
    const bool simd = build() != buildGeneric;
    const bool storedZero[] = {!simd, false, simd};  // Bartlett, Hann, Blackman
    for (std::size_t i = 0; i < std::size(kWindows); ++i) {
        for (int32_t len : {6, 9, 2001}) {
            SCOPED_TRACE(std::string(kWindows[i].name) + " of " + std::to_string(len));
            std::vector<float> v(len, 1.0f);
            v[0] = INFINITY;
            v[len - 1] = -INFINITY;
            const uint32_t middleBits = 0x7FC0BEEF;  // a NaN payload only a bit copy keeps
            if (len % 2) v[len / 2] = test::floatFromBits(middleBits);
            ASSERT_EQ(kWindows[i].entry(v.data(), len), 0);
            if (storedZero[i]) {
                EXPECT_EQ(bitsOf(v[0]), 0u);
                EXPECT_EQ(bitsOf(v[len - 1]), 0u);
            } else {
                EXPECT_TRUE(std::isnan(v[0]) && std::isnan(v[len - 1]));
            }
            if (len % 2) {
                EXPECT_EQ(bitsOf(v[len / 2]), middleBits);
            }
        }
    }
}

TEST_P(WindowFunction, BuildsThatShareCodeAgreeBitForBit) {
    // Bartlett and Blackman: builds 2, 3 and 4; Hann: builds 3 and 4.
    const int32_t firstSharing[] = {buildSse, buildSse2, buildSse};
    for (std::size_t i = 0; i < std::size(kWindows); ++i) {
        if (build() < firstSharing[i]) continue;
        for (int32_t len : {4, 5, 13, 1024, 1283, 5000}) {
            std::vector<float> mine(len), reference(len);
            for (int32_t k = 0; k < len; ++k) mine[k] = reference[k] = 1.0f + 0.001f * k;
            ASSERT_EQ(body(*kWindows[i].record)(mine.data(), len), 0);
            ASSERT_EQ(kWindows[i].record->table[buildSse3](reference.data(), len), 0);
            EXPECT_TRUE(sameBits(mine, reference)) << kWindows[i].name << " of " << len;
        }
    }
}

}  // namespace
}  // namespace primitives
