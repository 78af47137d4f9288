#include "audio/PowerOfTwo.h"

PowerOfTwo powerOfTwoAtLeast(std::int32_t n) {
    std::int32_t order = 0;
    while (order < 30 && (std::int32_t{1} << order) < n) ++order;
    return {std::int32_t{1} << order, order};
}
