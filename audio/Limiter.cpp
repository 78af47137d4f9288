#include "audio/Limiter.h"

#include "framework/Reporters.h"
#include "primitives.h"

#include <cmath>

Limiter::Limiter(const FormatAudio& format) : format_(format) {}

void Limiter::process(float** channels, std::int32_t count) const {
    const float b = threshold_;
    const float k = knee_;
    for (std::int32_t c = 0; c < format_.channels; ++c) {
        float* samples = channels[c];
        for (std::int32_t i = 0; i < count; ++i) {
            const float x = samples[i];
            // Every step below rounds monotonically, so the bent curve stays
            // monotonic in float and meets the straight part at +-b.
            if (x > b) {
                samples[i] = b + k * (1.0f - 1.0f / (x - b + 1.0f));
            } else if (x < -b) {
                samples[i] = -(b + k * (1.0f - 1.0f / (1.0f - (x + b))));
            }
        }
    }
}

float peakLevel(const float* buffer, std::int32_t count) {
    float highest = 0.0f;
    float lowest = 0.0f;
    if (!reportPrimitiveError(zaviMax_32f(buffer, count, &highest), __FILE__, __LINE__)) highest = 0.0f;
    if (!reportPrimitiveError(zaviMin_32f(buffer, count, &lowest), __FILE__, __LINE__)) lowest = 0.0f;
    return std::fmax(std::fabs(highest), std::fabs(lowest));
}
