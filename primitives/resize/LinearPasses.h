// Row passes of linear resizing. A horizontal pass interpolates one source
// row along x into an intermediate row as wide as the destination; a vertical
// pass blends an upper and a lower intermediate row into a destination row.
//
// Intermediate rows hold, per destination pixel, one value per processed
// channel packed without gaps (3 per pixel for three processed channels even
// at a pixel stride of 4):
//   8-bit data   uint16_t, the value times 64: (p0 * w0 + p1 * w1 + 128) >> 8
//   16-bit data  uint16_t, the value:          (p0 * w0 + p1 * w1 + 8192) >> 14
//   float data   float,    p0 + (p1 - p0) * f
// and the vertical passes give
//   8-bit   (u * (16384 - w) + l * w + 524288) >> 20
//   16-bit  (u * (16384 - w) + l * w + 8192) >> 14
//   float   u * (1 - w) + l * w
// Integer results never leave the element's range (weights are
// non-negative and add up to 16384), so nothing is clamped.
//
// Each pass set is a struct of static functions overloaded by element type;
// a build names its sets in its policy (ResizeBuilds.h). Passes that process
// three channels never read or write element 3 of a source or destination
// pixel: in the program's second stretch call that element is the byte
// after the image. Intermediate rows come from the driver with spare
// elements, and passes may write up to one pixel past a row's end there.
#pragma once

#include <cstdint>

#include "primitives/resize/ResizeSubDriverTable.h"

namespace primitives {

// Reference integer passes, one value at a time.
struct ScalarLinearPasses {
    static void horizontal1Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal1Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal3Ch(const uint8_t* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal3Ch(const uint16_t* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal4Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal4Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void vertical(uint8_t* dst, int32_t count, uint16_t weight, const uint16_t* upper, const uint16_t* lower);
    static void vertical(uint16_t* dst, int32_t count, uint16_t weight, const uint16_t* upper,
                         const uint16_t* lower);
    // Elements 0 to 2 of `width` four-element pixels from packed three-value rows.
    static void verticalSkipAlpha(uint8_t* dst, int32_t width, uint16_t weight, const uint16_t* upper,
                                  const uint16_t* lower);
    static void verticalSkipAlpha(uint16_t* dst, int32_t width, uint16_t weight, const uint16_t* upper,
                                  const uint16_t* lower);
};

// The integer passes in SSE2, eight or sixteen values per step; the same
// results as ScalarLinearPasses bit for bit. 16-bit samples use unsigned
// 16 x 16 -> 32 products, so values above 32767 come through.
struct Sse2LinearPasses {
    static void horizontal1Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal1Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal3Ch(const uint8_t* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal3Ch(const uint16_t* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal4Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void horizontal4Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                              const LinearWeightPairQ14* colWeights, uint16_t* out);
    static void vertical(uint8_t* dst, int32_t count, uint16_t weight, const uint16_t* upper, const uint16_t* lower);
    static void vertical(uint16_t* dst, int32_t count, uint16_t weight, const uint16_t* upper,
                         const uint16_t* lower);
    static void verticalSkipAlpha(uint8_t* dst, int32_t width, uint16_t weight, const uint16_t* upper,
                                  const uint16_t* lower);
    static void verticalSkipAlpha(uint16_t* dst, int32_t width, uint16_t weight, const uint16_t* upper,
                                  const uint16_t* lower);
};

// Float passes evaluated in double precision and rounded to float once per
// stored value: horizontal s0 + (s1 - s0) * f, vertical w * l + (1 - w) * u.
struct DoubleLinearPasses {
    static void horizontal1Ch(const float* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void horizontal3Ch(const float* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal4Ch(const float* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void vertical(float* dst, int32_t count, float weight, const float* upper, const float* lower);
    static void verticalSkipAlpha(float* dst, int32_t width, float weight, const float* upper, const float* lower);
};

// Float passes in single precision: horizontal s0 + (s1 - s0) * f, vertical
// u * (1 - w) + l * w with 1 - w rounded to float once per row. The
// one-channel horizontal and the contiguous vertical pass take four values
// per step with SSE; the results do not depend on the grouping.
struct SingleLinearPasses {
    static void horizontal1Ch(const float* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void horizontal3Ch(const float* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal4Ch(const float* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void vertical(float* dst, int32_t count, float weight, const float* upper, const float* lower);
    static void verticalSkipAlpha(float* dst, int32_t width, float weight, const float* upper, const float* lower);
};

}  // namespace primitives
