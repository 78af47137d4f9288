// Two independent models of the area-averaging resize, per destination
// pixel, sharing no code with the library.
//
// The scheme model replays the carried row and column fractions from the
// first row and column to find each box's rows, columns and weights, and
// reproduces the arithmetic exactly: exact integer sums in case BothWhole,
// single-precision entries with double-precision weighted adds otherwise,
// the rounding points of the horizontal pass, trunc(scale * v + 0.5) for
// integers and single(scale * v) for floats.
//
// The coverage model follows only the definition: destination pixel k covers
// source columns [k / xFactor, (k + 1) / xFactor) of the region (the whole
// region when it is smaller than one box), each source column counting with
// its covered width; rows likewise; sums in long double.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "ResizeModel.h"
#include "primitives/resize/ResizeParameters.h"

namespace primitives::test {

// The super-sampling driver's arguments for a case (interpolation, factor
// mode and shifts are not used).
SuperSamplingParameters superSamplingParameters(const ResizeCase& c, const void* src, void* dst);

// Whether the entry can express the case: 8-bit, four elements with three
// processed, interleaved, both factors at most 1.
bool superSamplingEntryShaped(const ResizeCase& c);

// The super-sampling driver of a build (1 generic ... 4 SSE3-class).
using SuperSamplingDriverFunction = PrimitiveStatus (*)(const SuperSamplingParameters&);
SuperSamplingDriverFunction superSamplingDriverOf(int32_t build);

// One axis of a call as the scheme sees it.
struct SuperSamplingAxisModel {
    int32_t region;       // clipped region size
    int32_t count;        // clipped destination size
    double inverse;       // box size in source pixels
    double scaleFactor;   // its reciprocal in the area scale
    bool whole;           // inverse is a whole number
};

struct SuperSamplingShape {
    SuperSamplingAxisModel x, y;
    int32_t srcColumns;
    int32_t samplingCase;  // 0..3: bit 0 fractional rows, bit 1 fractional columns
};

SuperSamplingShape superSamplingShapeOf(const ResizeCase& c);

// Destination planes after the call. With `doubleTail`, the one-channel
// float column sums of case BothWhole take their last srcColumns mod 16
// columns in double precision, rounded once (the SSE2-class builds).
std::vector<std::vector<uint8_t>> modelSuperSampling(const ResizeCase& c, const ResizeBuffers& before,
                                                     bool doubleTail);

// The coverage model's integer results (8-bit and 16-bit data); other
// elements keep the destination's bytes.
std::vector<std::vector<uint8_t>> coverageSuperSampling(const ResizeCase& c, const ResizeBuffers& before);

// Largest difference between two integer destinations, in levels.
int64_t largestLevelDifference(const ResizeCase& c, const std::vector<std::vector<uint8_t>>& a,
                               const std::vector<std::vector<uint8_t>>& b);

// Whether the build sums one-channel float column tails in double.
bool doubleTailOf(int32_t build);

// A random valid case: every case of whole and fractional reciprocals, near-
// whole factors, regions inside larger images and at their edges, every data
// type, layout 1, 3 (channels 3 to 5), 4 and planar, up to 40 source columns.
ResizeCase randomSuperSamplingCase(std::mt19937_64& random);

}  // namespace primitives::test
