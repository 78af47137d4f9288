#include "audio/UnitTriangle.h"

#include "framework/Log.h"

void UnitTriangle::process(float* out, std::int32_t n, float frequencyFrom, float frequencyTo,
                           float amplitudeFrom, float amplitudeTo) {
    if (frequencyFrom < 0.0f || frequencyTo < 0.0f) {
        fatalError("Negative frequencies are not accepted.", __FILE__, __LINE__);
    }
    const float perHz = 1.0f / static_cast<float>(format_.sampleRate);
    for (std::int32_t j = 0; j < n; ++j) {
        const float a = static_cast<float>(j) / static_cast<float>(n);
        const float frequency = frequencyFrom * (1.0f - a) + frequencyTo * a;
        const float amplitude = amplitudeFrom * (1.0f - a) + amplitudeTo * a;
        const float p = phase_;
        const float v = p < 0.5f ? p : 1.0f - p;
        out[j] = 4.0f * amplitude * (v - 0.25f);
        phase_ += frequency * perHz;
        while (phase_ > 1.0f) phase_ -= 1.0f;
    }
}
