#include "TestEnvironment.h"
#include "audio/Limiter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float infinity = std::numeric_limits<float>::infinity();

float limitOne(float x) {
    const Limiter limiter(FormatAudio(1, 44100, 16));
    float* channels[] = {&x};
    limiter.process(channels, 1);
    return x;
}

struct LimitCase {
    float in;
    float out;
};

// Inside the threshold samples pass; beyond it the excess e maps to
// 0.9 + 0.1 (1 - 1 / (e + 1)), worked out by hand here.
constexpr LimitCase limitCases[] = {
    {0.0f, 0.0f},          {0.5f, 0.5f},           {-0.5f, -0.5f},         {0.9f, 0.9f},
    {-0.9f, -0.9f},        {1.0f, 0.90909091f},    {-1.0f, -0.90909091f},  {1.9f, 0.95f},
    {-1.9f, -0.95f},       {2.9f, 0.96666667f},    {10.9f, 0.99090909f},   {-10.9f, -0.99090909f},
};

}  // namespace

TEST(Limiter, MapsTheTableOfSamples) {
    for (const LimitCase& c : limitCases) {
        EXPECT_NEAR(limitOne(c.in), c.out, 1e-6f) << "input " << c.in;
    }
    EXPECT_EQ(limitOne(0.9f), 0.9f);  // the threshold itself is untouched
}

// Odd, monotonic and never beyond 1.0 in magnitude, over a sweep from 0 to
// 1e30 and at the infinities; huge inputs reach exactly 1.0 in float.
TEST(Limiter, IsOddMonotonicAndBoundedByOne) {
    float last = -1.0f;
    for (double x = 0.0; x < 1e30; x = x < 4.0 ? x + 0.001 : x * 1.01) {
        const auto in = static_cast<float>(x);
        const float up = limitOne(in);
        const float down = limitOne(-in);
        ASSERT_EQ(down, -up) << in;
        ASSERT_GE(up, last) << in;
        ASSERT_LE(std::fabs(up), 1.0f) << in;
        last = up;
    }
    EXPECT_EQ(limitOne(1e30f), 1.0f);
    EXPECT_EQ(limitOne(-1e30f), -1.0f);
    EXPECT_EQ(limitOne(infinity), 1.0f);
    EXPECT_EQ(limitOne(-infinity), -1.0f);
    EXPECT_TRUE(std::isnan(limitOne(std::numeric_limits<float>::quiet_NaN())));
}

// Every channel of the format is limited in place on its own, and only
// `count` samples of each; a channel beyond the format is not touched.
TEST(Limiter, ProcessesEachChannelInPlace) {
    const Limiter limiter(FormatAudio(2, 44100, 16));
    std::vector<float> left{1.9f, 0.1f, -1.9f, 5.0f};
    std::vector<float> right{-1.0f, 2.9f, 0.3f, 5.0f};
    std::vector<float> third{1.9f, 1.9f, 1.9f, 1.9f};
    float* channels[] = {left.data(), right.data(), third.data()};
    limiter.process(channels, 3);
    const std::vector<float> wantLeft{limitOne(1.9f), 0.1f, limitOne(-1.9f), 5.0f};
    const std::vector<float> wantRight{limitOne(-1.0f), limitOne(2.9f), 0.3f, 5.0f};
    EXPECT_EQ(left, wantLeft);
    EXPECT_EQ(right, wantRight);
    EXPECT_EQ(third, std::vector<float>(4, 1.9f));
    EXPECT_EQ(limiter.threshold() + limiter.knee(), 1.0f);
}

TEST(Limiter, PeakLevelIsTheLargestMagnitude) {
    struct PeakCase {
        std::vector<float> block;
        float peak;
    };
    const PeakCase cases[] = {
        {{0.2f, -0.7f, 0.5f}, 0.7f},           // the negative extreme wins
        {{-0.1f, -0.9f, -0.3f, -0.2f}, 0.9f},  // all negative: the maximum is negative too
        {{-0.25f}, 0.25f},
        {{0.1f, 0.6f, -0.6f}, 0.6f},
        {{0.3f, 0.8f, -0.05f}, 0.8f},
        {{0.0f, 0.0f}, 0.0f},
        {{-2.5f, 1.0f, 2.0f, 0.0f, -1.0f, 0.5f, 0.25f, -0.125f, 0.0625f}, 2.5f},  // longer than one vector step
    };
    for (const PeakCase& c : cases) {
        EXPECT_EQ(peakLevel(c.block.data(), static_cast<std::int32_t>(c.block.size())), c.peak)
            << "first sample " << c.block.front();
    }
}

// An empty block is a failed primitive call: logged, and no level.
TEST(Limiter, PeakLevelOfAnEmptyBlockIsLoggedAsZero) {
    testing_support::clearLog();
    const float block[] = {0.5f};
    EXPECT_EQ(peakLevel(block, 0), 0.0f);
    const std::vector<std::string> texts = testing_support::logTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find("Primitives trouble in file Limiter.cpp"), std::string::npos) << texts[0];
}
