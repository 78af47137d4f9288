#include "audio/Interpolator.h"

#include "framework/Log.h"

Interpolator::Interpolator(std::int32_t points) : points_(points) {}

void Interpolator::process(const float* source, float* destination, std::int32_t n, float ratio,
                           std::int32_t sourceFrames) const {
    if (points_ != 2 && points_ != 4) fatalError("Interpolation must be 2 or 4 point.", __FILE__, __LINE__);

    const auto count = static_cast<std::int64_t>(static_cast<double>(n) * static_cast<double>(ratio)) + 1;
    const double step = 1.0 / static_cast<double>(ratio);
    // s[j] = source[4 + j]; s[j] may be read while j < readable. The cubic's
    // lowest tap s[k - 2] is source[k + 2], always inside for k >= 0.
    const float* s = source + 4;
    const std::int64_t readable = static_cast<std::int64_t>(sourceFrames) - 4;

    for (std::int64_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) * step;
        const auto k = static_cast<std::int64_t>(t);
        const auto u = static_cast<float>(t - static_cast<double>(k));
        if (u == 0.0f) {
            destination[i] = k < readable ? s[k] : 0.0f;
        } else if (k + 1 >= readable) {
            destination[i] = 0.0f;
        } else if (points_ == 2) {
            destination[i] = (1.0f - u) * s[k] + u * s[k + 1];
        } else {
            const float up2 = u + 2.0f;
            const float up1 = u + 1.0f;
            const float um1 = u - 1.0f;
            destination[i] = up2 * up1 * u / 6.0f * s[k + 1] - up2 * up1 * um1 / 2.0f * s[k] +
                             up2 * u * um1 / 2.0f * s[k - 1] - up1 * u * um1 / 6.0f * s[k - 2];
        }
    }
}
