#include "framework/ResponseCurves.h"

#include <cmath>

namespace {

// The constants are doubles, as the curves have always kept them:
// a = 148.4131591025766, ln(a + 1) = 5.006715348489118.
struct Constants {
    double a = std::exp(5.0);
    double logOfAPlusOne = std::log(a + 1.0);
    double inverseLogOfAPlusOne = 1.0 / std::log(a + 1.0);
};

const Constants& constants() {
    static const Constants values;
    return values;
}

}  // namespace

float exponentialScale(float x) {
    const Constants& c = constants();
    long double e = std::exp(static_cast<long double>(x) * c.logOfAPlusOne);
    return static_cast<float>((e - 1.0L) / c.a);
}

float logarithmicScale(float y) {
    const Constants& c = constants();
    long double l = std::log(static_cast<long double>(c.a) * y + 1.0L);
    return static_cast<float>(l * c.inverseLogOfAPlusOne);
}

float interpolateOnLogScale(float fraction, float from, float to) {
    const float lf = logarithmicScale(from);
    const float lt = logarithmicScale(to);
    long double position = lf + static_cast<long double>(fraction) * (static_cast<long double>(lt) - lf);
    return exponentialScale(static_cast<float>(position));
}

float fractionOnLogScale(float value, float from, float to) {
    const float lf = logarithmicScale(from);
    const float lt = logarithmicScale(to);
    if (lt == lf) return 0.0f;
    long double lv = logarithmicScale(value);
    return static_cast<float>((lv - lf) / (static_cast<long double>(lt) - lf));
}
