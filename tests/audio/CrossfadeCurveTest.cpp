#include "audio/CrossfadeCurve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct CurveCase {
    float x;
    float knee;
    float value;
};

// Ends, knee points and the inside of each straight piece for knees 0, 0.5,
// 0.75 and 1; positions and knees outside [0, 1] clamp to the nearest end.
constexpr CurveCase curveCases[] = {
    {0.0f, 0.0f, 1.0f},   {0.3f, 0.0f, 0.0f},    {1.0f, 0.0f, 0.0f},   {-0.1f, 0.0f, 1.0f},  {1.2f, 0.0f, 0.0f},
    {0.0f, 0.5f, 1.0f},   {0.25f, 0.5f, 0.75f},  {0.5f, 0.5f, 0.5f},   {0.8f, 0.5f, 0.2f},   {1.0f, 0.5f, 0.0f},
    {-0.05f, 0.5f, 1.0f}, {1.05f, 0.5f, 0.0f},   {-3.0f, 0.5f, 1.0f},  {7.0f, 0.5f, 0.0f},
    {0.0f, 0.75f, 1.0f},  {0.5f, 0.75f, 0.8333333f}, {0.75f, 0.75f, 0.75f}, {0.9f, 0.75f, 0.3f}, {1.0f, 0.75f, 0.0f},
    {0.0f, 1.0f, 1.0f},   {0.5f, 1.0f, 1.0f},    {0.999f, 1.0f, 1.0f}, {1.0f, 1.0f, 0.0f},   {1.3f, 1.0f, 0.0f},
    {0.5f, 1.5f, 1.0f},   {0.5f, -0.2f, 0.0f},   {0.0f, -0.2f, 1.0f},
};

}  // namespace

TEST(CrossfadeCurve, ValuesOfTheTable) {
    for (const CurveCase& c : curveCases) {
        SCOPED_TRACE(testing::Message() << "x " << c.x << ", knee " << c.knee);
        EXPECT_NEAR(crossfadeCurve(c.x, c.knee), c.value, 1e-6f);
        EXPECT_EQ(crossfadeRising(1.0f - c.x, c.knee), crossfadeCurve(c.x, c.knee));
    }
    float first = -1.0f;
    float second = -1.0f;
    crossfadeGains(0.5f, 0.5f, first, second);
    EXPECT_EQ(first, 0.5f);
    EXPECT_EQ(second, 0.5f);
    crossfadeGains(0.2f, 0.75f, first, second);
    EXPECT_EQ(first, crossfadeCurve(0.2f, 0.75f));
    EXPECT_EQ(second, crossfadeCurve(0.8f, 0.75f));
}

// For every knee of the settings slider the curve falls from 1 to 0, stays
// within [0, 1] and is finite, slightly outside [0, 1] too.
TEST(CrossfadeCurve, FallsMonotonicallyWithinZeroAndOneForEveryKnee) {
    for (int percent = 0; percent <= 100; ++percent) {
        const float knee = static_cast<float>(percent) * 0.01f;
        float last = 2.0f;
        for (int step = -20; step <= 1020; ++step) {
            const float x = static_cast<float>(step) / 1000.0f;
            const float value = crossfadeCurve(x, knee);
            ASSERT_TRUE(std::isfinite(value)) << "knee " << knee << ", x " << x;
            ASSERT_GE(value, 0.0f) << "knee " << knee << ", x " << x;
            ASSERT_LE(value, 1.0f) << "knee " << knee << ", x " << x;
            ASSERT_LE(value, last) << "knee " << knee << ", x " << x;
            last = value;
        }
    }
}
