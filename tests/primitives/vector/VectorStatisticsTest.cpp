// zaviMax_32f, zaviMin_32f, zaviMaxIndx_32f, zaviMinIndx_32f, zaviMinMax_32f
// and zaviSum_32f in every build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "VectorTestSupport.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives::test {
namespace {

class VectorStatistics : public PerBuildTest {};

// ---- checks ----

TEST_P(VectorStatistics, ChecksPointersThenLengthAndWriteNothingOnFailure) {
    const int32_t b = build();
    GuardedBuffer<float> src(4, 0x3F);
    GuardedBuffer<float> out1(1), out2(1);
    GuardedBuffer<int32_t> index(1);
    auto untouched = [&] { return src.untouched() && out1.untouched() && out2.untouched() && index.untouched(); };
    struct Case {
        bool nullSrc, nullOut1, nullOut2;
        int32_t len;
        PrimitiveStatus expected;
    };
    // Null pointers before the length; out2 is the second value pointer of
    // zaviMinMax_32f.
    const Case cases[] = {
        {true, false, false, 0, -8},  {true, false, false, 4, -8},  {false, true, false, -5, -8},
        {false, true, false, 4, -8},  {false, false, false, 0, -6}, {false, false, false, -5, -6},
        {false, false, false, INT32_MIN, -6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("len " + std::to_string(c.len));
        const float* s = c.nullSrc ? nullptr : src.data();
        float* o1 = c.nullOut1 ? nullptr : out1.data();
        float* o2 = c.nullOut2 ? nullptr : out2.data();
        EXPECT_EQ(zaviMax_32f_dispatch.table[b](s, c.len, o1), c.expected);
        EXPECT_EQ(zaviMin_32f_dispatch.table[b](s, c.len, o1), c.expected);
        EXPECT_EQ(zaviMaxIndx_32f_dispatch.table[b](s, c.len, o1, index.data()), c.expected);
        EXPECT_EQ(zaviMinIndx_32f_dispatch.table[b](s, c.len, o1, index.data()), c.expected);
        EXPECT_EQ(zaviMinMax_32f_dispatch.table[b](s, c.len, o1, o2), c.expected);
        EXPECT_EQ(zaviMinMax_32f_dispatch.table[b](s, c.len, o2, o1), c.expected);
        EXPECT_EQ(zaviSum_32f_dispatch.table[b](s, c.len, o1, 1), c.expected);
        EXPECT_TRUE(untouched());
    }
    EXPECT_EQ(zaviMinMax_32f_dispatch.table[b](src.data(), 0, out1.data(), nullptr), -8);
    EXPECT_TRUE(untouched());
}

// A null index pointer hands the call to the plain extreme: its status and
// value, and no index written.
TEST_P(VectorStatistics, NullIndexHandsOverToThePlainExtreme) {
    const std::vector<float> data = randomFloats(100, 1);
    for (int32_t len : {1, 33, 34, 100}) {
        float value = 0;
        EXPECT_EQ(body(zaviMaxIndx_32f_dispatch)(data.data(), len, &value, nullptr), 0);
        EXPECT_EQ(value, *std::max_element(data.begin(), data.begin() + len));
        EXPECT_EQ(body(zaviMinIndx_32f_dispatch)(data.data(), len, &value, nullptr), 0);
        EXPECT_EQ(value, *std::min_element(data.begin(), data.begin() + len));
    }
    GuardedBuffer<float> out(1);
    EXPECT_EQ(body(zaviMaxIndx_32f_dispatch)(data.data(), 0, out.data(), nullptr), -6);
    EXPECT_EQ(body(zaviMinIndx_32f_dispatch)(nullptr, 5, out.data(), nullptr), -8);
    EXPECT_TRUE(out.untouched());
}

// ---- extremes of ordered data ----

// Integer-valued data from a small range, so that ties are everywhere, and
// no zeros.
std::vector<float> tiedData(std::size_t n, uint32_t seed) {
    uint64_t state = seed;
    std::vector<float> v(n);
    for (auto& x : v) x = static_cast<float>(static_cast<int>(nextRandom(state) % 61) - 30) + 0.5f;
    return v;
}

class ExtremesCheck {
public:
    ExtremesCheck(int32_t build, const std::vector<float>& data, int offset)
        : build_(build), arena_(data.size() * 4 + 16), offset_(offset), data_(data) {
        writeFloats(arena_.at(offset), data);
    }

    void run() {
        const float* src = arena_.floatsAt(offset_);
        const auto n = static_cast<int32_t>(data_.size());
        const auto maxIt = std::max_element(data_.begin(), data_.end());
        const auto minIt = std::min_element(data_.begin(), data_.end());
        const auto [minMaxLow, minMaxHigh] = std::minmax_element(data_.begin(), data_.end());
        float value = NAN, other = NAN;
        int32_t index = -1;
        ASSERT_EQ(zaviMax_32f_dispatch.table[build_](src, n, &value), 0);
        EXPECT_EQ(value, *maxIt) << "zaviMax_32f";
        ASSERT_EQ(zaviMin_32f_dispatch.table[build_](src, n, &value), 0);
        EXPECT_EQ(value, *minIt) << "zaviMin_32f";
        ASSERT_EQ(zaviMaxIndx_32f_dispatch.table[build_](src, n, &value, &index), 0);
        EXPECT_EQ(value, *maxIt) << "zaviMaxIndx_32f";
        EXPECT_EQ(index, maxIt - data_.begin()) << "zaviMaxIndx_32f";
        ASSERT_EQ(zaviMinIndx_32f_dispatch.table[build_](src, n, &value, &index), 0);
        EXPECT_EQ(value, *minIt) << "zaviMinIndx_32f";
        EXPECT_EQ(index, minIt - data_.begin()) << "zaviMinIndx_32f";
        ASSERT_EQ(zaviMinMax_32f_dispatch.table[build_](src, n, &value, &other), 0);
        EXPECT_EQ(value, *minMaxLow) << "zaviMinMax_32f";
        EXPECT_EQ(other, *minMaxHigh) << "zaviMinMax_32f";
    }

private:
    int32_t build_;
    ByteArena arena_;
    int offset_;
    std::vector<float> data_;
};

TEST_P(VectorStatistics, ExtremesAndFirstIndicesOfOrderedData) {
    std::vector<int64_t> lengths;
    for (int64_t n = 1; n <= 70; ++n) lengths.push_back(n);
    for (int64_t n : {2047, 2048, 2049, 2056, 4100, 6007}) lengths.push_back(n);
    for (int64_t n : lengths) {
        for (int offset : {0, 4, 8, 12, 1, 2, 3}) {
            SCOPED_TRACE("length " + std::to_string(n) + " offset " + std::to_string(offset));
            ExtremesCheck(build(), tiedData(static_cast<std::size_t>(n), static_cast<uint32_t>(n * 8 + offset)), offset)
                .run();
            if (HasFailure()) return;
        }
    }
}

// Equal extremes: the first index wins wherever the two lie (the alignment
// head, a block of 2048, another block, the tail).
TEST_P(VectorStatistics, TiedExtremesReportTheFirstIndex) {
    const std::pair<int32_t, int32_t> places[] = {{3, 40}, {0, 1}, {1, 2}, {2, 30}, {5, 2100},
                                                  {2100, 4300}, {2060, 2070}, {6000, 6005}, {40, 6006}};
    for (const auto& [first, second] : places) {
        for (int64_t n : {100, 6007}) {
            if (second >= n) continue;
            for (int offset : {0, 4, 8, 12, 2}) {
                SCOPED_TRACE("extremes at " + std::to_string(first) + " and " + std::to_string(second) + " of " +
                             std::to_string(n) + ", offset " + std::to_string(offset));
                std::vector<float> data = tiedData(static_cast<std::size_t>(n), 9);
                data[static_cast<std::size_t>(first)] = data[static_cast<std::size_t>(second)] = 500.25f;
                ExtremesCheck(build(), data, offset).run();
                for (auto& x : data) x = -x;
                ExtremesCheck(build(), data, offset).run();
            }
        }
    }
}

// ---- NaN and signed zeros ----

// Two- and three-element fixtures on a 16-byte-aligned source, where the
// order of the steps fixes the outcome; expected bits per build (generic,
// SSE, SSE2, SSE3-class).
constexpr uint32_t kNaN = 0x7FC0A000;
constexpr uint32_t kOne = 0x3F800000;
constexpr uint32_t kTwo = 0x40000000;
constexpr uint32_t kPlusZero = 0;
constexpr uint32_t kMinusZero = 0x80000000;

struct ExtremeFixture {
    std::vector<uint32_t> data;
    uint32_t max[4];
    uint32_t min[4];
    uint32_t minMaxLow[4];
    uint32_t minMaxHigh[4];
    uint32_t maxIndexValue;
    int32_t maxIndex;
    uint32_t minIndexValue;
    int32_t minIndex;
};

const ExtremeFixture kExtremeFixtures[] = {
    {{kNaN, kOne},
     {kNaN, kOne, kOne, kOne}, {kOne, kOne, kOne, kOne},
     {kOne, kNaN, kOne, kOne}, {kNaN, kNaN, kOne, kOne},
     kNaN, 0, kOne, 1},
    {{kOne, kNaN},
     {kOne, kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN, kNaN},
     {kNaN, kOne, kNaN, kNaN}, {kOne, kOne, kNaN, kNaN},
     kOne, 0, kNaN, 1},
    {{kOne, kNaN, kTwo},
     {kTwo, kTwo, kTwo, kTwo}, {kTwo, kTwo, kTwo, kTwo},
     {kTwo, kOne, kOne, kOne}, {kTwo, kTwo, kTwo, kTwo},
     kTwo, 2, kTwo, 2},
    {{kPlusZero, kMinusZero},
     {kPlusZero, kMinusZero, kMinusZero, kMinusZero}, {kPlusZero, kMinusZero, kMinusZero, kMinusZero},
     {kPlusZero, kPlusZero, kMinusZero, kMinusZero}, {kPlusZero, kPlusZero, kMinusZero, kMinusZero},
     kPlusZero, 0, kPlusZero, 0},
    {{kMinusZero, kPlusZero},
     {kMinusZero, kPlusZero, kPlusZero, kPlusZero}, {kMinusZero, kPlusZero, kPlusZero, kPlusZero},
     {kMinusZero, kMinusZero, kPlusZero, kPlusZero}, {kMinusZero, kMinusZero, kPlusZero, kPlusZero},
     kMinusZero, 0, kMinusZero, 0},
};

TEST_P(VectorStatistics, NaNAndSignedZerosFollowEachBuildsSteps) {
    const int k = build() - 1;
    for (const ExtremeFixture& f : kExtremeFixtures) {
        alignas(16) float src[4];
        for (std::size_t i = 0; i < f.data.size(); ++i) src[i] = floatOf(f.data[i]);
        const auto n = static_cast<int32_t>(f.data.size());
        SCOPED_TRACE("fixture starting " + describeFloat(src[0]) + ", " + describeFloat(src[1]));
        float value, other;
        int32_t index;
        ASSERT_EQ(body(zaviMax_32f_dispatch)(src, n, &value), 0);
        EXPECT_EQ(bitsOf(value), f.max[k]) << "zaviMax_32f";
        ASSERT_EQ(body(zaviMin_32f_dispatch)(src, n, &value), 0);
        EXPECT_EQ(bitsOf(value), f.min[k]) << "zaviMin_32f";
        ASSERT_EQ(body(zaviMinMax_32f_dispatch)(src, n, &value, &other), 0);
        EXPECT_EQ(bitsOf(value), f.minMaxLow[k]) << "zaviMinMax_32f minimum";
        EXPECT_EQ(bitsOf(other), f.minMaxHigh[k]) << "zaviMinMax_32f maximum";
        ASSERT_EQ(body(zaviMaxIndx_32f_dispatch)(src, n, &value, &index), 0);
        EXPECT_EQ(bitsOf(value), f.maxIndexValue) << "zaviMaxIndx_32f";
        EXPECT_EQ(index, f.maxIndex) << "zaviMaxIndx_32f";
        ASSERT_EQ(body(zaviMinIndx_32f_dispatch)(src, n, &value, &index), 0);
        EXPECT_EQ(bitsOf(value), f.minIndexValue) << "zaviMinIndx_32f";
        EXPECT_EQ(index, f.minIndex) << "zaviMinIndx_32f";
    }
}

// The blocked index search meets a NaN: the minimum takes a block whose
// extreme is unordered with the result, and reports where that value lies.
TEST_P(VectorStatistics, IndexSearchFindsTheReportedValue) {
    for (int offset : {0, 4}) {
        std::vector<float> data = tiedData(5000, 3);
        data[3000] = floatOf(kNaN);
        ByteArena arena(data.size() * 4 + 16);
        writeFloats(arena.at(offset), data);
        float value;
        int32_t index;
        ASSERT_EQ(body(zaviMinIndx_32f_dispatch)(arena.floatsAt(offset), 5000, &value, &index), 0);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, 5000);
        EXPECT_EQ(bitsOf(value), bitsOf(data[static_cast<std::size_t>(index)]));
        ASSERT_EQ(body(zaviMaxIndx_32f_dispatch)(arena.floatsAt(offset), 5000, &value, &index), 0);
        EXPECT_EQ(bitsOf(value), bitsOf(data[static_cast<std::size_t>(index)]));
    }
}

// ---- sums ----

// The three summations in their specified order, written plainly.
float evenOddSum(const float* x, int64_t n) {
    double even = 0, odd = 0;
    int64_t i = 0;
    for (; n - i >= 4; i += 4) {
        even += x[i];
        odd += x[i + 1];
        even += x[i + 2];
        odd += x[i + 3];
    }
    double s = even + odd;
    for (; i < n; ++i) s += x[i];
    return static_cast<float>(s);
}

float rotatingSum(const float* x, int64_t n) {
    double p[8] = {};
    const int64_t groups = n / 8;
    for (int64_t g = 0; g < groups; ++g) {
        for (int64_t k = 0; k < 8; ++k) p[((k - g) % 8 + 8) % 8] += x[8 * g + k];
    }
    for (int64_t i = 8 * groups; i < n; ++i) p[((-groups) % 8 + 8) % 8] += x[i];
    auto s = [&](int64_t k) { return p[((k - groups) % 8 + 8) % 8]; };
    return static_cast<float>(((s(0) + s(4)) + (s(2) + s(6))) + ((s(1) + s(5)) + (s(3) + s(7))));
}

std::pair<float, float> blockSum(const float* x, int64_t n) {
    float v[4][4] = {};
    int64_t i = 0;
    for (; n - i >= 16; i += 16) {
        for (int q = 0; q < 4; ++q) {
            for (int l = 0; l < 4; ++l) v[q][l] += x[i + 4 * q + l];
        }
    }
    float w[4];
    for (int l = 0; l < 4; ++l) w[l] = (v[0][l] + v[2][l]) + (v[1][l] + v[3][l]);
    for (; n - i >= 4; i += 4) {
        for (int l = 0; l < 4; ++l) w[l] += x[i + l];
    }
    if (n - i >= 2) {
        w[0] += x[i];
        w[1] += x[i + 1];
        i += 2;
    }
    if (n - i == 1) w[0] += x[i];
    return {w[0] + w[2], w[1] + w[3]};
}

float blockedSum(const float* x, int64_t n) {
    double total = 0;
    int64_t i = 0;
    for (; i < n && (addressOf(x + i) & 0xC) != 0; ++i) total += x[i];
    do {
        const int64_t size = std::min<int64_t>(n - i, 32768);
        const auto [a, b] = blockSum(x + i, size);
        total += a;
        total += b;
        i += size;
        if (size < 32768) break;
    } while (true);
    return static_cast<float>(total);
}

TEST_P(VectorStatistics, SumsFollowTheirOrderExactly) {
    std::vector<int64_t> lengths;
    for (int64_t n = 1; n <= 40; ++n) lengths.push_back(n);
    for (int64_t d = -20; d <= 20; d += 4) lengths.push_back(32768 + d);
    lengths.push_back(65541);
    for (int64_t n : lengths) {
        // Small values among +-2^60 that cancel in the end: which small
        // values a partial sum swallows depends on exactly which elements
        // it gets and in what order, and the result shows it.
        std::vector<float> data = randomFloats(static_cast<std::size_t>(n), static_cast<uint32_t>(n), -1.0f, 1.0f);
        for (std::size_t i = 0; i < data.size(); i += 5) data[i] = (i / 5) % 2 == 0 ? 0x1p60f : -0x1p60f;
        for (int offset : {0, 4, 8, 12, 1, 2, 3}) {
            SCOPED_TRACE("length " + std::to_string(n) + " offset " + std::to_string(offset));
            ByteArena arena(data.size() * 4 + 16);
            writeFloats(arena.at(offset), data);
            const float* src = arena.floatsAt(offset);
            const std::vector<float> copy = readFloats(src, data.size());  // aligned view for the references
            float sum;
            for (int32_t hint : {0, 1, 2, -7}) {
                ASSERT_EQ(body(zaviSum_32f_dispatch)(src, int32_t(n), &sum, hint), 0);
                float want;
                if (build() == buildGeneric) {
                    want = evenOddSum(copy.data(), n);
                } else if (hint == 1) {
                    // The head before the 16-byte boundary depends on the
                    // real address; the block sums only on the values.
                    double total = 0;
                    int64_t i = 0;
                    for (; i < n && (addressOf(src + i) & 0xC) != 0; ++i) total += copy[static_cast<std::size_t>(i)];
                    for (;;) {
                        const int64_t size = std::min<int64_t>(n - i, 32768);
                        const auto [a, b] = blockSum(copy.data() + i, size);
                        total += a;
                        total += b;
                        i += size;
                        if (size < 32768) break;
                    }
                    want = static_cast<float>(total);
                } else {
                    want = rotatingSum(copy.data(), n);
                }
                ASSERT_EQ(bitsOf(sum), bitsOf(want)) << "hint " << hint << ": " << describeFloat(sum) << " against "
                                                     << describeFloat(want);
            }
        }
    }
}

// 2^24 and then ones: single-precision blocks lose each 1 added to 2^24,
// double partial sums keep them.
TEST_P(VectorStatistics, FastSumLosesWhatTheAccurateSumKeeps) {
    alignas(16) static float data[4096];
    data[0] = 16777216.0f;
    std::fill(data + 1, data + 4096, 1.0f);
    float fast, accurate;
    ASSERT_EQ(body(zaviSum_32f_dispatch)(data, 4096, &fast, 1), 0);
    ASSERT_EQ(body(zaviSum_32f_dispatch)(data, 4096, &accurate, 2), 0);
    EXPECT_EQ(accurate, 16777216.0f + 4095.0f);
    if (build() == buildGeneric) {
        EXPECT_EQ(fast, accurate) << "the generic build has one summation";
    } else {
        EXPECT_LT(fast, accurate);
        EXPECT_EQ(fast, blockedSum(data, 4096));
    }
}

TEST_P(VectorStatistics, SumSmallCasesAndOverflow) {
    // Three elements: no whole group in the generic or accurate sum, so the
    // plain sum in double precision.
    const float three[] = {1.0f, 1e8f, -1e8f};
    float sum;
    for (int32_t hint : {0, 2}) {
        ASSERT_EQ(body(zaviSum_32f_dispatch)(three, 3, &sum, hint), 0);
        EXPECT_EQ(sum, 1.0f) << "hint " << hint;
    }
    // The elements past the last whole group of eight join the partial
    // sum that is combined first; joined to the wrong one, the 1 would be
    // swallowed by 2^60 before the two 2^60 cancel.
    for (const auto& [n, plus, minus] : {std::tuple{9, 1, 5}, std::tuple{25, 3, 7}}) {
        alignas(16) float v[32] = {};
        v[plus] = 0x1p60f;
        v[minus] = -0x1p60f;
        v[n - 1] = 1.0f;
        for (int32_t hint : {0, 1, 2}) {
            ASSERT_EQ(body(zaviSum_32f_dispatch)(v, n, &sum, hint), 0);
            EXPECT_EQ(sum, 1.0f) << "length " << n << " hint " << hint;
        }
    }
    const float one[] = {-2.5f};
    for (int32_t hint : {0, 1, 2}) {
        ASSERT_EQ(body(zaviSum_32f_dispatch)(one, 1, &sum, hint), 0);
        EXPECT_EQ(sum, -2.5f);
    }
    std::vector<float> big(100, 3e38f);
    for (int32_t hint : {0, 1, 2}) {
        ASSERT_EQ(body(zaviSum_32f_dispatch)(big.data(), 100, &sum, hint), 0);
        EXPECT_EQ(sum, INFINITY) << "hint " << hint;
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(VectorStatistics);

// The SIMD builds share each summation: the same bits on the same buffer,
// and hint 0 is hint 2.
TEST(VectorStatisticsAcrossBuilds, SimdSumsAgreeOnTheSameBuffer) {
    for (int64_t n : {7, 40, 1001, 40000}) {
        std::vector<float> data = randomFloats(static_cast<std::size_t>(n) + 4, 17, -3.0f, 3.0f);
        for (int offset : {0, 1, 2, 3}) {
            const float* src = data.data() + offset;
            for (int32_t hint : {0, 1, 2}) {
                float sums[5] = {};
                for (int32_t b = buildSse; b <= kLastBuild; ++b) {
                    if (hostRunsBuild(b)) {
                        ASSERT_EQ(zaviSum_32f_dispatch.table[b](src, int32_t(n), &sums[b], hint), 0);
                    }
                }
                if (hostRunsBuild(buildSse3)) {
                    EXPECT_EQ(bitsOf(sums[buildSse]), bitsOf(sums[buildSse2]));
                    EXPECT_EQ(bitsOf(sums[buildSse2]), bitsOf(sums[buildSse3]));
                }
                float hintTwo;
                ASSERT_EQ(zaviSum_32f_dispatch.table[buildSse2](src, int32_t(n), &hintTwo, 2), 0);
                if (hint == 0) {
                    EXPECT_EQ(bitsOf(sums[buildSse2]), bitsOf(hintTwo));
                }
            }
        }
    }
}

}  // namespace
}  // namespace primitives::test
