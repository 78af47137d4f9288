// Bit-level views of floats for tests: exact comparison (NaN payloads and
// the sign of zero included) and distances in units in the last place.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace primitives::test {

inline uint32_t bitsOf(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

inline float floatFromBits(uint32_t bits) {
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Floats between a and b (0 when equal, -0 and +0 included); both finite.
inline int64_t ulpDistance(float a, float b) {
    const auto ordered = [](float v) {
        const auto bits = static_cast<int64_t>(bitsOf(v));
        return bits & 0x80000000 ? 0x80000000 - bits : bits;
    };
    return std::llabs(ordered(a) - ordered(b));
}

// The spacing of floats at x.
inline double ulpAt(double x) {
    const float f = static_cast<float>(std::fabs(x));
    return static_cast<double>(std::nextafter(f, INFINITY)) - f;
}

}  // namespace primitives::test
