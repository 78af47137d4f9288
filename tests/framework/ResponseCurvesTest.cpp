#include "framework/ResponseCurves.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

namespace {

// Distance in units in the last place between two floats of the same sign.
int ulpDistance(float a, float b) {
    std::int32_t ia;
    std::int32_t ib;
    std::memcpy(&ia, &a, 4);
    std::memcpy(&ib, &b, 4);
    if ((ia < 0) != (ib < 0)) return a == b ? 0 : 1 << 30;
    return std::abs(ia - ib);
}

TEST(ResponseCurves, MatchTheReferenceComputedWithTheSameRoundings) {
    // The reference runs in double precision, the program in extended: at
    // most one unit in the last place may differ.
    std::istringstream lines(testing_support::runPython("framework/curves_reference.py", {}));
    std::string kind;
    int checked = 0;
    int exact = 0;
    while (lines >> kind) {
        double a = 0;
        double b = 0;
        double c = 0;
        double expected = 0;
        float actual = 0;
        if (kind == "exp" || kind == "log") {
            lines >> a >> expected;
            actual = kind == "exp" ? exponentialScale(static_cast<float>(a)) : logarithmicScale(static_cast<float>(a));
        } else {
            lines >> a >> b >> c >> expected;
            actual = kind == "interp"
                         ? interpolateOnLogScale(static_cast<float>(a), static_cast<float>(b), static_cast<float>(c))
                         : fractionOnLogScale(static_cast<float>(a), static_cast<float>(b), static_cast<float>(c));
        }
        int distance = ulpDistance(actual, static_cast<float>(expected));
        EXPECT_LE(distance, 1) << kind << " " << a << " " << b << " " << c << ": " << actual << " vs " << expected;
        exact += distance == 0;
        ++checked;
    }
    EXPECT_EQ(checked, 2 * 264 + 4 * 33 * 2);
    EXPECT_GT(exact, checked * 9 / 10);
}

TEST(ResponseCurves, KnownPointsAndInverses) {
    EXPECT_EQ(exponentialScale(0.0f), 0.0f);
    EXPECT_EQ(exponentialScale(1.0f), 1.0f);
    EXPECT_NEAR(exponentialScale(0.5f), 0.07562f, 0.00001f);
    EXPECT_NEAR(logarithmicScale(0.5f), 0.86289f, 0.00001f);
    for (float x = 0.0f; x <= 1.0f; x += 0.0625f) EXPECT_NEAR(logarithmicScale(exponentialScale(x)), x, 1e-5f) << x;
    EXPECT_NEAR(interpolateOnLogScale(0.0f, 0.2f, 0.8f), 0.2f, 1e-6f);
    EXPECT_NEAR(interpolateOnLogScale(1.0f, 0.2f, 0.8f), 0.8f, 1e-6f);
    EXPECT_NEAR(fractionOnLogScale(interpolateOnLogScale(0.3f, 0.1f, 0.9f), 0.1f, 0.9f), 0.3f, 1e-5f);
    EXPECT_EQ(fractionOnLogScale(0.4f, 0.5f, 0.5f), 0.0f);  // equal bounds
}

}  // namespace
