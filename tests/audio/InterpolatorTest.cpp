#include "AudioTestHelpers.h"
#include "FloatBits.h"
#include "audio/Interpolator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using primitives::test::bitsOf;

namespace {

constexpr float sentinel = std::numeric_limits<float>::quiet_NaN();

std::int64_t outputCount(std::int32_t n, float ratio) {
    return static_cast<std::int64_t>(static_cast<double>(n) * static_cast<double>(ratio)) + 1;
}

std::vector<float> randomSignal(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> signal(count);
    for (float& v : signal) v = value(generator);
    return signal;
}

}  // namespace

// Every point kind and ratio writes exactly trunc(n x ratio) + 1 frames, and
// ratio 1 copies source[4 ..] bit for bit.
TEST(Interpolator, WritesTruncNRatioPlusOneFramesAndCopiesAtRatioOne) {
    constexpr std::int32_t n = 1000;
    const std::vector<float> source = randomSignal(n + 8, 7);
    for (const std::int32_t points : {2, 4}) {
        for (const float ratio : {0.18f, 0.5f, 0.9f, 1.0f, 1.1f, 2.0f, 5.5f}) {
            SCOPED_TRACE(testing::Message() << points << " points, ratio " << ratio);
            const std::int64_t count = outputCount(n, ratio);
            std::vector<float> out(static_cast<std::size_t>(count) + 16, sentinel);
            Interpolator(points).process(source.data(), out.data(), n, ratio, n + 8);
            for (std::int64_t i = 0; i < count; ++i) ASSERT_FALSE(std::isnan(out[i])) << "frame " << i;
            for (std::size_t i = count; i < out.size(); ++i) ASSERT_TRUE(std::isnan(out[i])) << "written past at " << i;
            if (ratio == 1.0f) {
                ASSERT_EQ(count, n + 1);
                for (std::int64_t i = 0; i < count; ++i) ASSERT_EQ(bitsOf(out[i]), bitsOf(source[4 + i])) << i;
            }
        }
    }
}

// Outputs that fall on a source frame are that frame; a linear ramp comes
// out exactly at the dyadic positions of power-of-two ratios, from both
// kinds.
TEST(Interpolator, ReproducesRampsExactlyAndSourceFramesBitForBit) {
    constexpr std::int32_t n = 64;
    std::vector<float> ramp(n + 8);
    for (std::size_t j = 0; j < ramp.size(); ++j) ramp[j] = 3.0f + 0.5f * (static_cast<float>(j) - 4.0f);
    const std::vector<float> noise = randomSignal(n + 8, 11);
    for (const std::int32_t points : {2, 4}) {
        for (const float ratio : {2.0f, 4.0f, 8.0f}) {
            SCOPED_TRACE(testing::Message() << points << " points, ratio " << ratio);
            const std::int64_t count = outputCount(n, ratio);
            std::vector<float> out(static_cast<std::size_t>(count));
            Interpolator(points).process(ramp.data(), out.data(), n, ratio, n + 8);
            for (std::int64_t i = 0; i < count; ++i) {
                const double position = static_cast<double>(i) / ratio;  // exact for these ratios
                ASSERT_EQ(out[i], static_cast<float>(3.0 + 0.5 * position)) << "frame " << i;
            }
            Interpolator(points).process(noise.data(), out.data(), n, ratio, n + 8);
            const auto stride = static_cast<std::int64_t>(ratio);
            for (std::int64_t i = 0; i < count; i += stride) {
                ASSERT_EQ(bitsOf(out[i]), bitsOf(noise[4 + i / stride])) << "frame " << i;
            }
        }
    }
}

// The 4-point kind is exact for cubics, up to float rounding; the 2-point
// kind is not (which shows the two are different interpolations).
TEST(Interpolator, FourPointKindReproducesCubics) {
    constexpr std::int32_t n = 40;
    const auto cubic = [](double x) {
        const double v = x / n;
        return 0.5 * v * v * v - 0.8 * v * v + 0.3 * v - 0.2;
    };
    std::vector<float> source(n + 8);
    for (std::size_t j = 0; j < source.size(); ++j) source[j] = static_cast<float>(cubic(static_cast<double>(j)));
    for (const float ratio : {0.73f, 1.37f, 3.1f}) {
        SCOPED_TRACE(testing::Message() << "ratio " << ratio);
        const std::int64_t count = outputCount(n, ratio);
        std::vector<float> cubicOut(static_cast<std::size_t>(count));
        std::vector<float> linearOut(static_cast<std::size_t>(count));
        Interpolator(4).process(source.data(), cubicOut.data(), n, ratio, n + 8);
        Interpolator(2).process(source.data(), linearOut.data(), n, ratio, n + 8);
        double linearError = 0.0;
        for (std::int64_t i = 0; i < count; ++i) {
            const double expected = cubic(4.0 + static_cast<double>(i) / static_cast<double>(ratio));
            ASSERT_NEAR(cubicOut[i], expected, 3e-6) << "frame " << i;
            linearError = std::max(linearError, std::fabs(linearOut[i] - expected));
        }
        EXPECT_GT(linearError, 2e-5);
    }
}

TEST(Interpolator, RefusesOtherPointCounts) {
    const std::vector<float> source(32, 0.0f);
    std::vector<float> out(32);
    EXPECT_FATAL(Interpolator(3).process(source.data(), out.data(), 16, 1.0f, 32), "Interpolation must be 2 or 4 point.");
}

// The renderer hands over exactly the frames it read: nothing past them is
// read (NaN sentinels there stay out of the output), outputs whose taps lie
// inside match a run on a longer source, and the rest are 0.0.
TEST(Interpolator, NeverReadsPastTheGivenSourceFrames) {
    constexpr std::int32_t d = 300;
    const std::vector<float> longer = randomSignal(d + 16, 5);
    std::vector<float> exact(longer.begin(), longer.begin() + d);
    exact.resize(d + 16, sentinel);
    for (const std::int32_t points : {2, 4}) {
        for (const float ratio : {0.5f, 0.9f, 1.0f, 1.1f, 2.0f, 5.5f}) {
            SCOPED_TRACE(testing::Message() << points << " points, ratio " << ratio);
            const std::int64_t count = outputCount(d, ratio);
            std::vector<float> bounded(static_cast<std::size_t>(count));
            std::vector<float> reference(static_cast<std::size_t>(count));
            Interpolator(points).process(exact.data(), bounded.data(), d, ratio, d);
            Interpolator(points).process(longer.data(), reference.data(), d, ratio, d + 16);
            std::int64_t inside = 0;
            for (std::int64_t i = 0; i < count; ++i) {
                ASSERT_TRUE(std::isfinite(bounded[i])) << "frame " << i;
                const double position = 4.0 + static_cast<double>(i) / static_cast<double>(ratio);
                const auto k = static_cast<std::int64_t>(position);
                const std::int64_t lastTap = position == static_cast<double>(k) ? k : k + 1;
                if (lastTap < d) {
                    ASSERT_EQ(bitsOf(bounded[i]), bitsOf(reference[i])) << "frame " << i;
                    ++inside;
                } else {
                    ASSERT_EQ(bitsOf(bounded[i]), bitsOf(0.0f)) << "frame " << i;
                }
            }
            EXPECT_GT(inside, count - 6 * static_cast<std::int64_t>(std::ceil(ratio)) - 2);
        }
    }
}
