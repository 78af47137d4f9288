// What a resize entry hands to its build's drivers.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

// Element type of the pixels a driver works on.
enum ResizeDataType : int32_t {
    resizeData8u = 0,
    resizeData16u = 1,
    resizeData32f = 2,
};

// The 22 values of a general-driver call, in order. Steps are in bytes.
// With `planar` nonzero, `src` and `dst` point at arrays of plane pointers
// (3 planes when `layout` is 3, else 4) that share the steps.
struct ResizeParameters {
    const void* src;
    int32_t srcWidth;
    int32_t srcHeight;
    int32_t srcStep;
    int32_t roiX;
    int32_t roiY;
    int32_t roiWidth;
    int32_t roiHeight;
    void* dst;
    int32_t dstStep;
    int32_t dstWidth;   // an upper bound: the driver writes at most what the region fills
    int32_t dstHeight;
    double xFactor;
    double yFactor;
    double xShift;      // added to the first source column position
    double yShift;      // added to the first source row position
    int32_t channels;   // interleaved: elements from one pixel to the next
    int32_t layout;     // channels processed: 1, 3 (elements 0-2 of each pixel) or 4
    int32_t dataType;   // ResizeDataType
    int32_t planar;
    int32_t interpolation; // ResizeInterpolation
    int32_t factorMode; // 1: destination pixels per source pixel; 0: source pixels per destination pixel
};

// The 18 values of a super-sampling-driver call: fields 1 to 14 of
// ResizeParameters, then the pixel format.
struct SuperSamplingParameters {
    const void* src;
    int32_t srcWidth;
    int32_t srcHeight;
    int32_t srcStep;
    int32_t roiX;
    int32_t roiY;
    int32_t roiWidth;
    int32_t roiHeight;
    void* dst;
    int32_t dstStep;
    int32_t dstWidth;
    int32_t dstHeight;
    double xFactor;
    double yFactor;
    int32_t channels;
    int32_t layout;
    int32_t dataType;
    int32_t planar;
};

inline constexpr int32_t resizeElementSize(int32_t dataType) {
    return dataType == resizeData16u ? 2 : dataType == resizeData32f ? 4 : 1;
}

}  // namespace primitives
