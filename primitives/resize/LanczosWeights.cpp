#include "primitives/resize/LanczosWeights.h"

#include <cmath>

#include "primitives/resize/LanczosKernelTable.h"

namespace primitives {

void WeightsDouble::build(const float* fractions, int32_t count, float* weights) {
    const float* table = LanczosKernelTable;
    for (int32_t n = 0; n < count; ++n) {
        // The signed distance from the position to tap k, stepped by 1.0.
        double distance = -2.0 - static_cast<double>(fractions[n]);
        for (int32_t k = 0; k < 6; ++k, distance += 1.0) {
            float weight = 0.0f;
            if (distance > -3.0 && distance < 3.0) {
                const double u = std::fabs(distance) * 100.0;
                const auto i = static_cast<int32_t>(u);
                const double low = table[i];
                weight = static_cast<float>(low + (static_cast<double>(table[i + 1]) - low) * (u - i));
            }
            weights[6 * n + k] = weight;
        }
    }
}

void WeightsSingle::build(const float* fractions, int32_t count, float* weights) {
    const float* table = LanczosKernelTable;
    for (int32_t n = 0; n < count; ++n) {
        const float base = -fractions[n] - 2.0f;
        for (int32_t k = 0; k < 6; ++k) {
            const float distance = std::fabs(base + static_cast<float>(k));
            const float u = (distance < 3.0f ? distance : 3.0f) * 100.0f;
            const auto i = static_cast<int32_t>(u);
            weights[6 * n + k] = table[i] + (u - static_cast<float>(i)) * (table[i + 1] - table[i]);
        }
    }
}

}  // namespace primitives
