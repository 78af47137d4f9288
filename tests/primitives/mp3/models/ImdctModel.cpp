#include "ImdctModel.h"

#include <cmath>
#include <numbers>

namespace primitives::test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kAliasC[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};

double window(int32_t blockType, int32_t i) {
    const double sine36 = std::sin(kPi / 36 * (i + 0.5));
    switch (blockType) {
    case 1:
        if (i < 18) return sine36;
        if (i < 24) return 1;
        if (i < 30) return std::sin(kPi / 12 * (i - 18 + 0.5));
        return 0;
    case 3:
        if (i < 6) return 0;
        if (i < 12) return std::sin(kPi / 12 * (i - 6 + 0.5));
        if (i < 18) return 1;
        return sine36;
    default:
        return sine36;
    }
}

}  // namespace

std::array<double, 576> ImdctModel::granule(const int32_t* spectrum, int32_t blockType, int32_t mixedBlockFlag) {
    double x[576];
    for (int32_t i = 0; i < 576; ++i) x[i] = spectrum[i];
    return granule(x, blockType, mixedBlockFlag);
}

std::array<double, 576> ImdctModel::granule(const double* spectrum, int32_t blockType, int32_t mixedBlockFlag) {
    double x[576];
    for (int32_t i = 0; i < 576; ++i) x[i] = spectrum[i];

    const int32_t boundaries = blockType != 2 ? 32 : (mixedBlockFlag == 1 ? 2 : 0);
    for (int32_t b = 1; b < boundaries; ++b) {
        for (int32_t i = 0; i < 8; ++i) {
            const double cs = 1 / std::sqrt(1 + kAliasC[i] * kAliasC[i]);
            const double ca = kAliasC[i] * cs;
            const double lo = x[18 * b - 1 - i];
            const double up = x[18 * b + i];
            x[18 * b - 1 - i] = lo * cs - up * ca;
            x[18 * b + i] = up * cs + lo * ca;
        }
    }

    std::array<double, 576> out{};
    for (int32_t s = 0; s < 32; ++s) {
        const double* X = x + 18 * s;
        double y[36] = {};
        const bool longSubband = blockType != 2 || (mixedBlockFlag == 1 && s < 2);
        if (longSubband) {
            const int32_t type = mixedBlockFlag == 1 && s < 2 ? 0 : blockType;
            for (int32_t i = 0; i < 36; ++i) {
                double sum = 0;
                for (int32_t k = 0; k < 18; ++k) sum += X[k] * std::cos(kPi / 72 * (2 * i + 1 + 18) * (2 * k + 1));
                y[i] = sum * window(type, i) / 4;
            }
        } else {
            for (int32_t w = 0; w < 3; ++w) {
                for (int32_t i = 0; i < 12; ++i) {
                    double sum = 0;
                    for (int32_t k = 0; k < 6; ++k) sum += X[6 * w + k] * std::cos(kPi / 24 * (2 * i + 1 + 6) * (2 * k + 1));
                    y[6 + 6 * w + i] += sum * std::sin(kPi / 12 * (i + 0.5)) / 4;
                }
            }
        }
        for (int32_t k = 0; k < 18; ++k) {
            double sample = y[k] + overlap_[18 * s + k];
            if ((s & k & 1) != 0) sample = -sample;
            out[32 * k + s] = sample;
            overlap_[18 * s + k] = y[18 + k];
        }
    }
    return out;
}

}  // namespace primitives::test
