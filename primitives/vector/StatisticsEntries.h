// The argument checks and output rules that every build's statistics
// entries share: nothing is written before the checks pass, and each output
// exactly once at the end (through memcpy, as callers may pass any address).
#pragma once

#include <cmath>
#include <cstdint>

#include "primitives.h"
#include "primitives/core/BuildSupport.h"

namespace primitives::statistics {

struct Extreme {
    float value;
    int32_t index;
};

// The index searches of every build: the maximum moves only to a greater
// element; the minimum moves to a smaller one or past an unordered pair.
inline bool maxIndexTakes(float r, float x) { return x > r; }
inline bool minIndexTakes(float r, float x) { return x < r || std::isunordered(x, r); }

template <bool (*takes)(float, float)>
inline void indexedStep(Extreme& e, float x, int32_t i) {
    if (takes(e.value, x)) e = {x, i};
}

template <float (*compute)(const float*, int32_t)>
PrimitiveStatus oneValue(const float* src, int32_t len, float* out) {
    if (src == nullptr || out == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    storeFloat(out, compute(src, len));
    return primitiveStatusOk;
}

// A null index pointer hands the call to the same build's plain extreme.
template <Extreme (*compute)(const float*, int32_t),
          PrimitiveStatus (*plain)(const float*, int32_t, float*)>
PrimitiveStatus valueAndIndex(const float* src, int32_t len, float* value, int32_t* index) {
    if (src == nullptr || value == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    if (index == nullptr) return plain(src, len, value);
    const Extreme e = compute(src, len);
    storeFloat(value, e.value);
    storeWord32(index, static_cast<uint32_t>(e.index));
    return primitiveStatusOk;
}

template <void (*compute)(const float*, int32_t, float&, float&)>
PrimitiveStatus minAndMax(const float* src, int32_t len, float* pMin, float* pMax) {
    if (src == nullptr || pMin == nullptr || pMax == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    float min;
    float max;
    compute(src, len, min, max);
    storeFloat(pMin, min);
    storeFloat(pMax, max);
    return primitiveStatusOk;
}

template <float (*compute)(const float*, int32_t, int32_t)>
PrimitiveStatus sum(const float* src, int32_t len, float* pSum, int32_t hint) {
    if (src == nullptr || pSum == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    storeFloat(pSum, compute(src, len, hint));
    return primitiveStatusOk;
}

}  // namespace primitives::statistics
