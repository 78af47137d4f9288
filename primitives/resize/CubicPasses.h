// Row passes of cubic resizing. A horizontal pass evaluates the cubic of
// CubicLaneForms.h along x for every destination column, from the source
// pixels x - 1 ... x + 2 (x from colIndexes, an element offset), into a float
// intermediate row; a vertical pass evaluates it down four intermediate rows
// (source rows k - 1 ... k + 2) into a destination row.
//
// Intermediate rows hold, per destination pixel, one float per processed
// channel packed without gaps (3 per pixel for three processed channels even
// at a pixel stride of 4), unrounded and unclamped. Vertical results are
// clamped to 0 ... 255 or 0 ... 65535 for 8-bit and 16-bit data; floats are
// stored as computed.
//
// Passes that process three channels never read or write element 3 of a
// source or destination pixel. Passes write exactly the values they compute.
#pragma once

#include <cstdint>

namespace primitives {

// The generic build: double precision, rounded to float when an
// intermediate value is stored. 8-bit and 16-bit results are value + 1e-7
// truncated; the vertical passes hold a3 in single precision (all three
// coefficients in the float pass that skips element 3).
struct CubicDouble {
    static void horizontal1Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void horizontal1Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal1Ch(const float* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void horizontal3Ch(const uint8_t* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal3Ch(const uint16_t* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal3Ch(const float* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal4Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void horizontal4Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal4Ch(const float* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void vertical(uint8_t* dst, int32_t count, float t, const float* r0, const float* r1, const float* r2,
                         const float* r3);
    static void vertical(uint16_t* dst, int32_t count, float t, const float* r0, const float* r1, const float* r2,
                         const float* r3);
    static void vertical(float* dst, int32_t count, float t, const float* r0, const float* r1, const float* r2,
                         const float* r3);
    // Elements 0 to 2 of `width` four-element pixels from packed three-value rows.
    static void verticalSkipAlpha(uint8_t* dst, int32_t width, float t, const float* r0, const float* r1,
                                  const float* r2, const float* r3);
    static void verticalSkipAlpha(uint16_t* dst, int32_t width, float t, const float* r0, const float* r1,
                                  const float* r2, const float* r3);
    static void verticalSkipAlpha(float* dst, int32_t width, float t, const float* r0, const float* r1,
                                  const float* r2, const float* r3);
};

// How the SIMD builds' multi-channel horizontal passes take their pixels:
// the SSE build in whole groups of four pixels (the group form, channel by
// channel) and a scalar tail; the SSE2-class builds one pixel per step, its
// channels in the lanes, with no tail.
struct GroupsOfFourPixels {};
struct PixelPerStep {};

// The SIMD builds: single precision. Every pass gives the first
// n - n mod 4 of its n items (columns, values) to the group form and the rest
// to a scalar form (CubicLaneForms.h); the multi-channel horizontal passes
// follow Grouping instead, and the float vertical pass that skips element 3
// takes every value in its own scalar form. 8-bit and 16-bit group values are
// biased and rounded to nearest, tail values truncated.
template <typename Grouping>
struct CubicSingle {
    static void horizontal1Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void horizontal1Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal1Ch(const float* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void horizontal3Ch(const uint8_t* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal3Ch(const uint16_t* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal3Ch(const float* row, int32_t width, int32_t pixelStride, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal4Ch(const uint8_t* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void horizontal4Ch(const uint16_t* row, int32_t width, const int64_t* colIndexes,
                              const float* colFractions, float* out);
    static void horizontal4Ch(const float* row, int32_t width, const int64_t* colIndexes, const float* colFractions,
                              float* out);
    static void vertical(uint8_t* dst, int32_t count, float t, const float* r0, const float* r1, const float* r2,
                         const float* r3);
    static void vertical(uint16_t* dst, int32_t count, float t, const float* r0, const float* r1, const float* r2,
                         const float* r3);
    static void vertical(float* dst, int32_t count, float t, const float* r0, const float* r1, const float* r2,
                         const float* r3);
    static void verticalSkipAlpha(uint8_t* dst, int32_t width, float t, const float* r0, const float* r1,
                                  const float* r2, const float* r3);
    static void verticalSkipAlpha(uint16_t* dst, int32_t width, float t, const float* r0, const float* r1,
                                  const float* r2, const float* r3);
    static void verticalSkipAlpha(float* dst, int32_t width, float t, const float* r0, const float* r1,
                                  const float* r2, const float* r3);
};

extern template struct CubicSingle<GroupsOfFourPixels>;
extern template struct CubicSingle<PixelPerStep>;

}  // namespace primitives
