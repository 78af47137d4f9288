#include "audio/CrossfadeCurve.h"

#include <algorithm>

float crossfadeCurve(float x, float knee) {
    const float d = std::clamp(knee, 0.0f, 1.0f);
    x = std::clamp(x, 0.0f, 1.0f);
    // The ends first, so that the slopes below never divide by a zero knee
    // or a zero 1 - knee at a point where they would be used.
    if (x == 0.0f) return 1.0f;
    if (x == 1.0f) return 0.0f;
    if (x < d) return 1.0f - x * (1.0f - d) / d;
    return d - d * (x - d) / (1.0f - d);
}

float crossfadeRising(float x, float knee) { return crossfadeCurve(1.0f - x, knee); }

void crossfadeGains(float x, float knee, float& first, float& second) {
    first = crossfadeCurve(x, knee);
    second = crossfadeCurve(1.0f - x, knee);
}
