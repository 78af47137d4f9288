// The argument checks and the overlap rule that every build's mover entries
// share; each build supplies the kernel (or kernel choice) for the bytes.
#pragma once

#include <cassert>
#include <cstdint>
#include <cstring>

#include "primitives.h"
#include "primitives/core/BuildSupport.h"

namespace primitives::movers {

using ZeroBytes = void* (*)(void* dst, int64_t n);
using FillWords = void* (*)(uint32_t value, void* dst, int64_t n);
using CopyBytes = void* (*)(const void* src, void* dst, int64_t n);

// Whether [a, a + n) and [b, b + n) share a byte.
inline bool rangesOverlap(const void* a, const void* b, int64_t n) {
    const std::uintptr_t x = addressOf(a);
    const std::uintptr_t y = addressOf(b);
    const auto bytes = static_cast<std::uintptr_t>(n);
    return x < y + bytes && y < x + bytes;
}

// The copy kernels read ahead of their writes, so they must never see
// overlapping ranges.
inline void assertDisjoint([[maybe_unused]] const void* src, [[maybe_unused]] const void* dst,
                           [[maybe_unused]] int64_t n) {
    assert(n <= 0 || !rangesOverlap(src, dst, n));
}

template <ZeroBytes zero>
PrimitiveStatus zeroBytesChecked(void* dst, int64_t len) {
    if (dst == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    zero(dst, len);
    return primitiveStatusOk;
}

template <ZeroBytes zero>
PrimitiveStatus zeroFloats(float* dst, int32_t len) {
    if (dst == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    zero(dst, int64_t{len} * 4);
    return primitiveStatusOk;
}

template <FillWords fill>
PrimitiveStatus setFloats(float val, float* dst, int32_t len) {
    if (dst == nullptr) return primitiveStatusNullPointer;
    if (len <= 0) return primitiveStatusBadSize;
    fill(bitsOf(val), dst, len);
    return primitiveStatusOk;
}

// Overlapping ranges (a scope shifting its columns in place) get memmove's
// result; disjoint ones go to the build's kernels.
template <CopyBytes copy>
PrimitiveStatus copyChecked(const void* src, void* dst, int64_t bytes) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (bytes <= 0) return primitiveStatusBadSize;
    if (rangesOverlap(src, dst, bytes)) {
        if (src != dst) std::memmove(dst, src, static_cast<std::size_t>(bytes));
        return primitiveStatusOk;
    }
    copy(src, dst, bytes);
    return primitiveStatusOk;
}

template <CopyBytes copy>
PrimitiveStatus copyFloats(const float* src, float* dst, int32_t len) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    return copyChecked<copy>(src, dst, int64_t{len} * 4);
}

template <CopyBytes copy>
PrimitiveStatus copyBytes(const uint8_t* src, uint8_t* dst, int32_t len) {
    return copyChecked<copy>(src, dst, len);
}

}  // namespace primitives::movers
