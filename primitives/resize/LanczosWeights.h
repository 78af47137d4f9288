// The six tap weights of a Lanczos position: weight k (0 to 5) multiplies
// the source pixel x - 2 + k for a position x + f, and is the Lanczos-3
// kernel at the distance k - 2 - f, interpolated linearly in
// LanczosKernelTable. The weights are not normalised: they add up to 1 at
// f = 0 (where they are exactly 0, -0, 1, -0, 0, 0) and to about 0.9943 at
// f = 0.5.
//
// A builder writes 6 * count floats, one group of six per fraction, in
// order; a count below 1 writes nothing.
#pragma once

#include <cstdint>

namespace primitives {

// The generic build: the distance and the interpolation in double
// precision, each weight rounded to float once; a tap 3 or more away gets 0.
struct WeightsDouble {
    static void build(const float* fractions, int32_t count, float* weights);
};

// The SIMD builds: every step in single precision; a distance is capped at
// 3, where the table's zeros give 0.
struct WeightsSingle {
    static void build(const float* fractions, int32_t count, float* weights);
};

}  // namespace primitives
