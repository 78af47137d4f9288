// What every build of zaviLn_32f_I gives for the arguments that the
// polynomial cannot take, and which warning they raise.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "primitives.h"

namespace primitives::ln {

inline constexpr uint32_t kNegativeResult = 0xFFC00000;   // a NaN
inline constexpr uint32_t kZeroResult = 0xFF800000;       // -inf
inline constexpr uint32_t kPositiveNaNResult = 0x7FC00000;
inline constexpr uint32_t kInfinity = 0x7F800000;

// The special result of the argument with bits c, if it has one: any value
// with the sign bit set (negative, -0, -inf, negative NaN) gives a NaN and
// the negative warning; +0 gives -inf and the zero warning; +inf stays; a
// positive NaN, quiet or signalling, gives the quiet NaN 0x7FC00000; a
// positive denormal gets its true logarithm (the polynomial would read its
// zero exponent field as a normal one and give about -88).
// `warning` is set to 0, 7 or 8.
inline bool specialResult(uint32_t c, float& result, PrimitiveStatus& warning) {
    warning = primitiveStatusOk;
    if ((c & 0x80000000u) != 0) {
        result = std::bit_cast<float>(kNegativeResult);
        warning = primitiveStatusLnNegativeArgument;
        return true;
    }
    if (c == 0) {
        result = std::bit_cast<float>(kZeroResult);
        warning = primitiveStatusLnZeroArgument;
        return true;
    }
    const uint32_t exponent = c >> 23;
    if (exponent == 0xFF) {
        result = std::bit_cast<float>(c == kInfinity ? kInfinity : kPositiveNaNResult);
        return true;
    }
    if (exponent == 0) {
        result = static_cast<float>(std::log(static_cast<double>(std::bit_cast<float>(c))));
        return true;
    }
    return false;
}

// Keeps the warning of the first element, in index order, that raised one.
class FirstWarning {
public:
    // Elements may be offered in any order; the lowest index wins.
    void offer(int64_t index, PrimitiveStatus warning) {
        if (warning != primitiveStatusOk && index < index_) {
            index_ = index;
            warning_ = warning;
        }
    }
    PrimitiveStatus status() const { return warning_; }

private:
    int64_t index_ = INT64_MAX;
    PrimitiveStatus warning_ = primitiveStatusOk;
};

}  // namespace primitives::ln
