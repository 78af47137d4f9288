// zaviTone_Direct_32f against the cosine in long double, and
// zaviRandUniform_Direct_32f against its integer generator written out plainly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "FloatBits.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives {
namespace {

using test::bitsOf;
using test::sameBits;
using test::ulpDistance;

class SignalGenerator : public test::PerBuildTest {};
INSTANTIATE_PER_BUILD_TEST_SUITE(SignalGenerator);

constexpr double kTwoPi = 6.283185307179586;

// ---- Tone ----

std::vector<float> tone(int32_t len, float magnitude, float frequency, float& phase, PrimitiveHint hint) {
    std::vector<float> out(len);
    EXPECT_EQ(zaviTone_Direct_32f(out.data(), len, magnitude, frequency, &phase, hint), 0);
    return out;
}

// The largest |out[n] - m cos(phase + 2 pi f (first + n))| over [from, to).
long double toneError(const std::vector<float>& out, float magnitude, float frequency, float phase,
                      std::size_t from = 0, std::size_t to = SIZE_MAX, std::size_t first = 0) {
    const long double omega = 2.0L * 3.14159265358979323846L * frequency;
    long double largest = 0;
    for (std::size_t n = from; n < std::min(to, out.size()); ++n) {
        const long double exact = magnitude * std::cos(phase + omega * static_cast<long double>(first + n));
        largest = std::max(largest, std::fabs(out[n] - exact));
    }
    return largest;
}

TEST_P(SignalGenerator, ToneChecksDecideInOrderAndLeaveEverythingOnFailure) {
    const float nan = std::nanf("");
    struct Case {
        const char* what;
        bool nullPhase, nullDst;
        float magnitude, frequency, phase;
        int32_t len;
        PrimitiveStatus expected;
    };
    const Case cases[] = {
        {"null phase, everything else wrong too", true, true, 0.0f, 0.5f, 0.0f, 0, -8},
        {"magnitude 0", false, false, 0.0f, 0.1f, 1.0f, 4, -46},
        {"negative magnitude", false, false, -1.0f, 0.1f, 1.0f, 4, -46},
        {"NaN magnitude", false, false, nan, 0.1f, 1.0f, 4, -46},
        {"magnitude 0 and frequency 0.5", false, false, 0.0f, 0.5f, 1.0f, 4, -46},
        {"frequency 0.5", false, false, 1.0f, 0.5f, 1.0f, 4, -45},
        {"negative frequency", false, false, 1.0f, -0.1f, 1.0f, 4, -45},
        {"NaN frequency", false, false, 1.0f, nan, 1.0f, 4, -45},
        {"frequency 0.5 and phase 6.3", false, false, 1.0f, 0.5f, 6.3f, 4, -45},
        {"phase 6.3", false, false, 1.0f, 0.1f, 6.3f, 4, -44},
        {"phase just above 2 pi as a float", false, false, 1.0f, 0.1f, 6.28318548f, 4, -44},
        {"negative phase", false, false, 1.0f, 0.1f, -0.1f, 4, -44},
        {"NaN phase", false, false, 1.0f, 0.1f, nan, 4, -44},
        {"phase 6.3 with a null destination", false, true, 1.0f, 0.1f, 6.3f, 4, -44},
        {"null destination", false, true, 1.0f, 0.1f, 1.0f, 4, -8},
        {"null destination and length 0", false, true, 1.0f, 0.1f, 1.0f, 0, -8},
        {"length 0", false, false, 1.0f, 0.1f, 1.0f, 0, -6},
        {"largest phase below 2 pi", false, false, 1.0f, 0.1f, 6.28318501f, 4, 0},
    };
    for (const Case& c : cases) {
        for (const PrimitiveHint hint : {primitiveHintNone, primitiveHintFast}) {
            SCOPED_TRACE(std::string(c.what) + ", hint " + std::to_string(hint));
            std::vector<float> out(4, 9.0f);
            float phase = c.phase;
            EXPECT_EQ(zaviTone_Direct_32f(c.nullDst ? nullptr : out.data(), c.len, c.magnitude, c.frequency,
                                          c.nullPhase ? nullptr : &phase, hint),
                      c.expected);
            if (c.expected != 0) {
                EXPECT_EQ(out, std::vector<float>(4, 9.0f));
                EXPECT_EQ(bitsOf(phase), bitsOf(c.phase));
            }
        }
    }
}

TEST_P(SignalGenerator, ToneEdges) {
    for (const PrimitiveHint hint : {primitiveHintNone, primitiveHintFast}) {
        SCOPED_TRACE("hint " + std::to_string(hint));
        // Frequency 0: a constant, and the phase stays.
        float phase = 1.0f;
        const std::vector<float> flat = tone(37, 2.0f, 0.0f, phase, hint);
        for (float v : flat) EXPECT_NEAR(v, 2.0 * std::cos(1.0), 1e-6);
        EXPECT_EQ(phase, 1.0f);

        // A quarter of the sample rate from phase 0: 1, 0, -1, 0, and the new
        // phase is 2 pi reduced to 0.
        phase = 0.0f;
        const std::vector<float> quarter = tone(4, 1.0f, 0.25f, phase, hint);
        const float expected[] = {1.0f, 0.0f, -1.0f, 0.0f};
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(quarter[i], expected[i], 1e-6) << i;
        EXPECT_EQ(bitsOf(phase), 0u);
    }
}

TEST_P(SignalGenerator, ToneNeverStoresAPhaseItsNextCallRefuses) {
    // 6.2831850 + 4 * 2 pi * 1e-8 reduces to just below 2 pi in double but
    // rounds up to 6.28318548 as a float, which the next call would refuse.
    float phase = 6.2831850f;
    std::vector<float> out(4);
    ASSERT_EQ(zaviTone_Direct_32f(out.data(), 4, 1.0f, 1e-8f, &phase, primitiveHintNone), 0);
    EXPECT_EQ(bitsOf(phase), 0u);
    EXPECT_EQ(zaviTone_Direct_32f(out.data(), 4, 1.0f, 1e-8f, &phase, primitiveHintNone), 0);
    // The samples used the phase as it was.
    EXPECT_NEAR(out[0], 1.0, 1e-6);
}

TEST_P(SignalGenerator, NewPhaseIsThePhaseAfterTheLastSampleReduced) {
    struct Case {
        float phase, frequency;
        int32_t len;
    };
    const Case cases[] = {{0.0f, 0.1f, 1}, {1.0f, 0.1234f, 1000}, {6.0f, 0.4999f, 77}, {3.0f, 1e-7f, 5000},
                          {0.5f, 0.25f, 1 << 30}};
    for (const Case& c : cases) {
        float phase = c.phase;
        std::vector<float> out(std::min(c.len, 5000));
        ASSERT_EQ(zaviTone_Direct_32f(out.data(), static_cast<int32_t>(out.size()), 1.0f, c.frequency, &phase, 0), 0);
        // phase + omega * len, reduced by whole turns, as a float.
        double p = static_cast<double>(c.phase) + kTwoPi * c.frequency * static_cast<double>(out.size());
        p -= std::floor(p * 0.15915494309189535) * kTwoPi;
        if (!(p >= 0.0) || p >= kTwoPi) p = 0.0;
        EXPECT_EQ(bitsOf(phase), bitsOf(static_cast<float>(p))) << c.phase << " " << c.frequency << " " << c.len;
        EXPECT_GE(phase, 0.0f);
        EXPECT_LT(static_cast<double>(phase), kTwoPi);
    }
}

TEST_P(SignalGenerator, ToneFollowsTheCosine) {
    std::mt19937 random(1);
    std::uniform_real_distribution<float> frequency(0.001f, 0.49f), phase(0.0f, 6.2f), magnitude(0.1f, 100.0f);
    for (int trial = 0; trial < 40; ++trial) {
        const float f = frequency(random), m = magnitude(random);
        for (const PrimitiveHint hint : {primitiveHintNone, primitiveHintFast}) {
            float p = phase(random);
            const float start = p;
            const std::vector<float> out = tone(3000, m, f, p, hint);
            // The sequential recurrence runs in double: only the final
            // rounding shows. The fast path's lag-16 recurrence runs in float
            // and loses most where 8 omega nears a multiple of pi (K8 near
            // +-2), up to about 5e-4 of the magnitude within a block.
            const bool fast = hint == primitiveHintFast && build() != buildGeneric;
            EXPECT_LE(toneError(out, m, f, start), m * (fast ? 1e-3L : 1e-7L)) << "f " << f << " hint " << hint;
        }
    }
}

TEST_P(SignalGenerator, FastToneStaysAccurateOverLongVectors) {
    // The fast path restarts every 1024 samples, so its error near sample
    // 100,000 is no larger than in the first block.
    float phase = 0.3f;
    const float m = 1.0f, f = 0.0123f;
    const std::vector<float> out = tone(101000, m, f, phase, primitiveHintFast);
    const long double first = toneError(out, m, f, 0.3f, 0, 1024);
    const long double late = toneError(out, m, f, 0.3f, 99000, 101000);
    EXPECT_LE(first, 1e-5L);
    EXPECT_LE(late, 1e-5L);
}

TEST_P(SignalGenerator, ConsecutiveCallsContinueTheCosine) {
    for (const PrimitiveHint hint : {primitiveHintNone, primitiveHintFast}) {
        const float m = 2.0f, f = 0.0371f;
        float phase = 5.5f;
        const std::vector<float> a = tone(1500, m, f, phase, hint);
        const std::vector<float> b = tone(1500, m, f, phase, hint);
        EXPECT_LE(toneError(a, m, f, 5.5f), m * 2e-6L);
        // The stored phase is a float: the second call is off by at most its
        // rounding.
        EXPECT_LE(toneError(b, m, f, 5.5f, 0, SIZE_MAX, 1500), m * 4e-6L) << "hint " << hint;
    }
}

TEST_P(SignalGenerator, FastToneAtEveryLengthAndAlignment) {
    // Lengths around the 16 direct samples and the 1024-sample blocks; the
    // destination at every float offset of a 16-byte block and at an odd byte.
    for (int32_t len : {1, 2, 3, 16, 17, 23, 24, 1024, 1025, 5000}) {
        float phase = 1.25f;
        const std::vector<float> aligned = tone(len, 3.0f, 0.07f, phase, primitiveHintFast);
        EXPECT_LE(toneError(aligned, 3.0f, 0.07f, 1.25f), 3e-5L) << "length " << len;
        for (std::size_t offset : {4u, 8u, 12u, 16u, 1u, 7u}) {
            SCOPED_TRACE("length " + std::to_string(len) + " at byte " + std::to_string(offset));
            std::vector<uint8_t> bytes(len * 4 + 64, 0xE7);
            const auto base = reinterpret_cast<std::uintptr_t>(bytes.data());
            const std::size_t start = 16 + (16 - base % 16) % 16 + offset;
            float samplePhase = 1.25f;
            ASSERT_EQ(zaviTone_Direct_32f(reinterpret_cast<float*>(bytes.data() + start), len, 3.0f, 0.07f,
                                          &samplePhase, primitiveHintFast),
                      0);
            EXPECT_EQ(0, std::memcmp(bytes.data() + start, aligned.data(), len * 4));
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                if (i < start || i >= start + len * 4) {
                    ASSERT_EQ(bytes[i], 0xE7) << "byte " << i;
                }
            }
        }
    }
}

TEST_P(SignalGenerator, ToneBuildsAgreeWhereTheyShareArithmetic) {
    // Any hint but 1, and every generic call: all four builds. Hint 1: the
    // three SIMD builds.
    for (const PrimitiveHint hint : {primitiveHintNone, primitiveHintAccurate, primitiveHintFast}) {
        const bool fastPath = hint == primitiveHintFast && build() != buildGeneric;
        const int32_t reference = fastPath ? buildSse3 : buildGeneric;
        for (int32_t len : {1, 2, 3, 4, 5, 6, 1000, 3001}) {
            float mine = 0.7f, theirs = 0.7f;
            std::vector<float> a(len), b(len);
            ASSERT_EQ(body(zaviTone_Direct_32f_dispatch)(a.data(), len, 1.5f, 0.21f, &mine, hint), 0);
            ASSERT_EQ(zaviTone_Direct_32f_dispatch.table[reference](b.data(), len, 1.5f, 0.21f, &theirs,
                                                                    fastPath ? hint : primitiveHintNone),
                      0);
            EXPECT_TRUE(sameBits(a, b)) << "hint " << hint << " length " << len;
            EXPECT_EQ(bitsOf(mine), bitsOf(theirs));
        }
    }
}

// ---- Uniform noise ----

uint32_t congruential(uint32_t x) { return 69069u * x + 1013904243u; }

// The generator as written out: lagged subtraction with borrow plus a
// congruential word. Returns the signed outputs and leaves the last lagged
// word in `seed`.
std::vector<int32_t> noiseIntegers(uint32_t& seed, std::size_t n) {
    uint32_t l3 = congruential(congruential(seed)), l2 = congruential(seed), l1 = seed, borrow = 1, d = 1131199209u;
    std::vector<int32_t> out;
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t m = l2 - l3 - borrow;
        borrow = static_cast<int32_t>(m) < 0 ? 1 : 0;
        const uint32_t x = m - 18 * borrow;
        l3 = l2;
        l2 = l1;
        l1 = x;
        d = congruential(d);
        out.push_back(static_cast<int32_t>(x + d));
        seed = x;
    }
    return out;
}

std::vector<float> noise(int32_t len, float low, float high, uint32_t& seed) {
    std::vector<float> out(len);
    EXPECT_EQ(zaviRandUniform_Direct_32f(out.data(), len, low, high, &seed), 0);
    return out;
}

TEST_P(SignalGenerator, NoiseChecksWriteNothingOnFailure) {
    std::vector<float> out(3, 9.0f);
    uint32_t seed = 77;
    EXPECT_EQ(zaviRandUniform_Direct_32f(nullptr, 3, -1.0f, 1.0f, &seed), -8);
    EXPECT_EQ(zaviRandUniform_Direct_32f(out.data(), 3, -1.0f, 1.0f, nullptr), -8);
    EXPECT_EQ(zaviRandUniform_Direct_32f(nullptr, 0, -1.0f, 1.0f, &seed), -8);
    EXPECT_EQ(zaviRandUniform_Direct_32f(out.data(), 0, -1.0f, 1.0f, &seed), -6);
    EXPECT_EQ(zaviRandUniform_Direct_32f(out.data(), -1, -1.0f, 1.0f, &seed), -6);
    EXPECT_EQ(out, std::vector<float>(3, 9.0f));
    EXPECT_EQ(seed, 77u);
}

TEST_P(SignalGenerator, NoiseFollowsTheIntegerGenerator) {
    struct Bounds {
        float low, high;
        bool exactSumAndRange;  // low + high and high - low are floats
    };
    const Bounds bounds[] = {{-1.0f, 1.0f, true},   {-0.25f, 0.5f, true},  {3.0f, -2.0f, true},
                             {0.1f, 7.3f, false},   {-1e-3f, 1e6f, false}, {1.0f / 3, 2.0f / 3, false},
                             {-0.7f, 1e-7f, false}, {1e-3f, 1.001f, false}};
    for (const Bounds& b : bounds) {
        for (const int32_t len : {1, 2, 3, 1000, 10001}) {
            SCOPED_TRACE("bounds " + std::to_string(b.low) + ", " + std::to_string(b.high) + " length " +
                         std::to_string(len));
            uint32_t seed = 12345u + len, modelSeed = seed;
            const std::vector<float> out = noise(len, b.low, b.high, seed);
            const std::vector<int32_t> v = noiseIntegers(modelSeed, len);
            EXPECT_EQ(seed, modelSeed) << "the seed is the last lagged word";
            const double mid = (static_cast<double>(b.low) + b.high) * 0.5;
            const double scale = (static_cast<double>(b.high) - b.low) * 2.3283064365387e-10;
            for (int32_t i = 0; i < len; ++i) {
                const float expected = static_cast<float>(v[i] * scale + mid);
                if (build() != buildSse3 || b.exactSumAndRange) {
                    ASSERT_EQ(bitsOf(out[i]), bitsOf(expected)) << "value " << i;
                } else {
                    // Sum and range rounded to float move a value by up to
                    // about one unit of the larger bound, whatever its size.
                    ASSERT_LE(std::fabs(out[i] - expected), 2 * test::ulpAt(std::max(std::fabs(b.low), std::fabs(b.high))))
                        << "value " << i;
                }
            }
        }
    }
}

TEST_P(SignalGenerator, NoiseOfLengthOneAdvancesTheSeedByOneLaggedWord) {
    for (const uint32_t s : {0u, 1u, 0x80000000u, 0xFFFFFFFFu, 123456789u}) {
        uint32_t seed = s;
        noise(1, -1.0f, 1.0f, seed);
        const uint32_t difference = congruential(s) - congruential(congruential(s)) - 1;
        const uint32_t expected = static_cast<int32_t>(difference) < 0 ? difference - 18 : difference;
        EXPECT_EQ(seed, expected) << "seed " << s;
    }
}

TEST_P(SignalGenerator, NoiseIsUniformBetweenTheBounds) {
    uint32_t seed = 2024;
    const float low = -0.75f, high = 1.25f;
    const std::vector<float> out = noise(1000000, low, high, seed);
    double sum = 0, squares = 0;
    for (float v : out) {
        ASSERT_GE(v, low);
        ASSERT_LE(v, high);
        sum += v;
    }
    const double mean = sum / out.size();
    for (float v : out) squares += (v - mean) * (v - mean);
    const double variance = squares / out.size();
    const double width = high - low;
    EXPECT_NEAR(mean, (low + high) / 2, 5 * width / std::sqrt(12.0 * out.size()));
    EXPECT_NEAR(variance, width * width / 12, 0.01 * width * width / 12);

    // Equal bounds give that value everywhere.
    for (float v : noise(9, 0.375f, 0.375f, seed)) EXPECT_EQ(v, 0.375f);
}

TEST_P(SignalGenerator, SplitNoiseCallsDifferFromOneCall) {
    // Only the last lagged word carries over, not the whole state.
    uint32_t one = 99, split = 99;
    const std::vector<float> whole = noise(20, -1.0f, 1.0f, one);
    std::vector<float> parts = noise(10, -1.0f, 1.0f, split);
    const std::vector<float> rest = noise(10, -1.0f, 1.0f, split);
    EXPECT_TRUE(std::equal(parts.begin(), parts.end(), whole.begin()));
    EXPECT_FALSE(std::equal(rest.begin(), rest.end(), whole.begin() + 10));
}

}  // namespace
}  // namespace primitives
