// The generic build's element-wise functions. Abs, Flip and Threshold move
// 32-bit patterns, so NaN payloads pass exactly as in the SIMD builds.
#include <cmath>

#include "primitives/core/BuildSupport.h"
#include "primitives/vector/LnSpecialValues.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives::generic {

PrimitiveStatus zaviAbs_32f(const float* src, float* dst, int32_t len) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    int32_t i = 0;
    for (; len - i >= 4; i += 4) {
        for (int k = 0; k < 4; ++k) storeWord32(dst + i + k, loadWord32(src + i + k) & 0x7FFFFFFFu);
    }
    for (; i < len; ++i) storeWord32(dst + i, loadWord32(src + i) & 0x7FFFFFFFu);
    return primitiveStatusOk;
}

PrimitiveStatus zaviSqr_32f(const float* src, float* dst, int32_t len) {
    if (src == nullptr || dst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    for (int32_t i = 0; i < len; ++i) {
        const float x = loadFloat(src + i);
        storeFloat(dst + i, x * x);
    }
    return primitiveStatusOk;
}

PrimitiveStatus zaviFlip_32f_I(float* srcDst, int32_t len) {
    if (srcDst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    auto swap = [srcDst](int64_t i, int64_t j) {
        const uint32_t a = loadWord32(srcDst + i);
        storeWord32(srcDst + i, loadWord32(srcDst + j));
        storeWord32(srcDst + j, a);
    };
    int64_t i = 0;
    int64_t j = int64_t{len} - 1;
    for (; j - i >= 7; i += 4, j -= 4) {
        for (int k = 0; k < 4; ++k) swap(i + k, j - k);
    }
    for (; i < j; ++i, --j) swap(i, j);
    return primitiveStatusOk;
}

PrimitiveStatus zaviThreshold_LT_32f_I(float* srcDst, int32_t len, float level) {
    if (srcDst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    const uint32_t levelBits = bitsOf(level);
    for (int32_t i = 0; i < len; ++i) {
        // Only an element greater than level stays: equal ones and NaN take
        // the level's bits.
        if (!(loadFloat(srcDst + i) > level)) storeWord32(srcDst + i, levelBits);
    }
    return primitiveStatusOk;
}

PrimitiveStatus zaviLn_32f_I(float* srcDst, int32_t len) {
    if (srcDst == nullptr) return primitiveStatusNullPointer;
    if (len < 1) return primitiveStatusBadSize;
    ln::FirstWarning first;
    for (int32_t i = 0; i < len; ++i) {
        float result;
        PrimitiveStatus warning;
        if (!ln::specialResult(loadWord32(srcDst + i), result, warning)) {
            result = static_cast<float>(std::log(static_cast<double>(loadFloat(srcDst + i))));
        }
        first.offer(i, warning);
        storeFloat(srcDst + i, result);
    }
    return first.status();
}

}  // namespace primitives::generic
