#include "FftTestSupport.h"

#include <cmath>

namespace primitives::test {

double forwardScale(int32_t flag, int32_t order) {
    const double n = std::ldexp(1.0, order);
    if (flag == fftDivideForwardByN) return static_cast<float>(1.0 / n);
    if (flag == fftDivideBySqrtN) return static_cast<float>(1.0 / std::sqrt(n));
    return 1.0;
}

double inverseScale(int32_t flag, int32_t order) {
    const double n = std::ldexp(1.0, order);
    if (flag == fftDivideInverseByN) return static_cast<float>(1.0 / n);
    if (flag == fftDivideBySqrtN) return static_cast<float>(1.0 / std::sqrt(n));
    return 1.0;
}

std::string buildOrderName(const ::testing::TestParamInfo<std::tuple<int32_t, int32_t>>& info) {
    return std::string(buildName(std::get<0>(info.param))) + "_order" + std::to_string(std::get<1>(info.param));
}

}  // namespace primitives::test
