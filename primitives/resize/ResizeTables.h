// Where each destination row and column reads: the per-axis mapping of
// destination pixels onto the source region, and the index and weight tables
// that a general driver builds from it once per call.
//
// Positions are relative to the region's origin and advance by repeated
// addition in double precision. A position becomes an index by adding 1e-7
// and truncating toward zero, so one lying within 1e-7 below a whole number
// counts as that number.
#pragma once

#include <cstdint>

#include "primitives/resize/ResizeSubDriverTable.h"

namespace primitives {

// One axis of a call: the clipped destination size and the source position
// of destination pixel 0 and its step.
struct ResizeAxis {
    int32_t count;
    double start;
    double step;
};

// Clips `dstSize` to what `regionSize` source pixels fill at `factor` and
// finds the positions. factorMode 1: factor is destination pixels per source
// pixel; 0: it is the step itself. Nearest samples pixel centres (start half
// a step in); the interpolating methods map the first destination pixel onto
// the first region pixel and, in factor mode 1, the virtual pixel
// factor * regionSize - 1 onto the last. The tests run in double before any
// conversion, so huge or infinite factors leave the size alone instead of
// converting an out-of-range value.
ResizeAxis mapResizeAxis(int32_t regionSize, double factor, int32_t dstSize, double shift, bool nearest,
                         int32_t factorMode);

// How one axis of the region lies in its image, for the edge rules.
struct ResizeAxisExtent {
    int32_t regionSize;  // clipped to the image
    int32_t origin;      // roiX or roiY
    int32_t imageSize;   // srcWidth or srcHeight
};

// Keeps a position on the region: 0 ... regionSize - 1 (not-a-number gives
// 0). Tiny factors would otherwise put nearest positions past the region, and
// rounding on very long rows can carry the last interpolated position past
// it, where no edge rule catches it and the taps after it leave the image.
inline double limitResizePosition(double position, int32_t regionSize) {
    if (!(position > 0.0)) return 0.0;
    const double last = static_cast<double>(regionSize) - 1.0;
    return position > last ? last : position;
}

inline int64_t resizeIndexOf(double position) { return static_cast<int64_t>(position + 1e-7); }

// Nearest neighbour: out[j] = index of position j times `scale` (the source
// row step in elements for rows; the pixel stride, or 1, for columns).
void buildNearestTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* out);

// Linear: the base pixel k and the weight of pixel k + 1. At the image's last
// pixel the base steps back one and the whole weight goes to k + 1, so no tap
// leaves the image. Weights are Q14 (16384 = 1.0) for 8-bit and 16-bit data,
// floats for float data. Rows give a weight per row (uint16_t or float),
// columns a LinearWeightPairQ14 or a float.
void buildLinearTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                      uint16_t* weights);
void buildLinearTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                      LinearWeightPairQ14* weights);
void buildLinearTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                      float* weights);

// Cubic: the base pixel k of the taps k - 1 ... k + 2 and the position's
// distance t from it. Where the taps would leave the image the base moves
// inward: on the image's last pixel to k - 2 with t exactly 2, on its first
// to k + 1 (t in -1 ... 0), on its last but one to k - 1 (t in 1 ... 2).
void buildCubicTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                     float* fractions);

// Lanczos: the base pixel and the fraction, with no edge rule (the
// sub-drivers keep their six taps inside the image themselves).
void buildLanczosTable(const ResizeAxis& axis, const ResizeAxisExtent& extent, int64_t scale, int64_t* offsets,
                       float* fractions);

}  // namespace primitives
