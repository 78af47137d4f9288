// 32-bit fixed-point helpers of the Layer III signal steps. Sums and
// doublings wrap as 32-bit hardware does (they can overflow only on corrupt,
// saturated spectra), computed without signed overflow.
#pragma once

#include <cstdint>

namespace primitives::mp3 {

inline int32_t wrapAdd(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); }
inline int32_t wrapSub(int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); }
inline int32_t wrapNegate(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }
inline int32_t wrapTwice(int32_t a) { return static_cast<int32_t>(static_cast<uint32_t>(a) << 1); }

// floor(a b / 2^32): the upper half of the signed 64-bit product.
inline int32_t mulHigh(int32_t a, int32_t b) {
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 32);
}

// A Q31 product as the transforms take it: the upper half of 2a (in 32 bits)
// times c, which is floor(a c / 2^31) for |a| below 2^30.
inline int32_t mulQ31(int32_t a, int32_t c) { return mulHigh(wrapTwice(a), c); }

// Sums of 64-bit products accumulate modulo 2^64 (no signed overflow even for
// saturated inputs); the result is rounded, shifted and wrapped to 32 bits.
class ProductSum {
public:
    void add(int32_t a, int32_t b) { sum_ += static_cast<uint64_t>(static_cast<int64_t>(a) * b); }
    int32_t roundedShift(int32_t shift) const {
        return static_cast<int32_t>(static_cast<int64_t>(sum_ + (uint64_t{1} << (shift - 1))) >> shift);
    }

private:
    uint64_t sum_ = 0;
};

}  // namespace primitives::mp3
