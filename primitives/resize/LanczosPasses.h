// Row passes of Lanczos resizing. A horizontal pass filters one source row
// into a float row with the six column weights of every destination column;
// a vertical pass combines six filtered rows (source rows y - 2 ... y + 3)
// with the six weights of a destination row.
//
// Horizontal: for destination column i with source column x (colIndexes[i]
// is x times the pixel stride, or x for one channel) and weights w, each
// processed channel gets
//   ((((s(x-2) w0 + s(x-1) w1) + s(x) w2) + s(x+1) w3) + s(x+2) w4) + s(x+3) w5
// where a tap outside the source image (columns -roiX ... srcWidthFromRoi - 1
// from the region's left column) reads the image's first or last column. Each
// tap is a product of its own, also where two taps read the same pixel. The
// row holds 1, 4 or 3 (packed) floats per destination column.
//
// Vertical: the same sum of six products down the rows. 8-bit and 16-bit
// results are sum + 1e-7 (in double) truncated and clamped to the element's
// range; floats are stored unclamped.
//
// Passes for three channels neither read nor write element 3 of a pixel.
#pragma once

#include <cstdint>

namespace primitives {

// Accumulators: Horizontal for the filtered rows, IntegerVertical and
// FloatVertical for the vertical sums of 8/16-bit and float output (float:
// every product and sum rounded to single precision; double: products and
// sums in double, the result rounded once).
template <typename Horizontal, typename IntegerVertical, typename FloatVertical>
struct LanczosPasses {
    static void horizontal1Ch(const uint8_t* row, const int64_t* colIndexes, const float* colTapWeights, float* out,
                              int32_t dstWidth, int32_t roiX, int32_t srcWidthFromRoi);
    static void horizontal1Ch(const uint16_t* row, const int64_t* colIndexes, const float* colTapWeights, float* out,
                              int32_t dstWidth, int32_t roiX, int32_t srcWidthFromRoi);
    static void horizontal1Ch(const float* row, const int64_t* colIndexes, const float* colTapWeights, float* out,
                              int32_t dstWidth, int32_t roiX, int32_t srcWidthFromRoi);
    static void horizontal4Ch(const uint8_t* row, const int64_t* colIndexes, const float* colTapWeights, float* out,
                              int32_t dstWidth, int32_t roiX, int32_t srcWidthFromRoi);
    static void horizontal4Ch(const uint16_t* row, const int64_t* colIndexes, const float* colTapWeights, float* out,
                              int32_t dstWidth, int32_t roiX, int32_t srcWidthFromRoi);
    static void horizontal4Ch(const float* row, const int64_t* colIndexes, const float* colTapWeights, float* out,
                              int32_t dstWidth, int32_t roiX, int32_t srcWidthFromRoi);
    // Channels 0 to 2 of pixels `channels` elements apart.
    static void horizontal3Ch(const uint8_t* row, int32_t channels, const int64_t* colIndexes,
                              const float* colTapWeights, float* out, int32_t dstWidth, int32_t roiX,
                              int32_t srcWidthFromRoi);
    static void horizontal3Ch(const uint16_t* row, int32_t channels, const int64_t* colIndexes,
                              const float* colTapWeights, float* out, int32_t dstWidth, int32_t roiX,
                              int32_t srcWidthFromRoi);
    static void horizontal3Ch(const float* row, int32_t channels, const int64_t* colIndexes,
                              const float* colTapWeights, float* out, int32_t dstWidth, int32_t roiX,
                              int32_t srcWidthFromRoi);
    // `count` consecutive elements from element j of the six rows.
    static void vertical(uint8_t* dst, int32_t count, const float* tapWeights, const float* const rows[6]);
    static void vertical(uint16_t* dst, int32_t count, const float* tapWeights, const float* const rows[6]);
    static void vertical(float* dst, int32_t count, const float* tapWeights, const float* const rows[6]);
    // Elements 0 to 2 of `width` four-element pixels from packed three-value rows.
    static void verticalSkipAlpha(uint8_t* dst, int32_t width, const float* tapWeights, const float* const rows[6]);
    static void verticalSkipAlpha(uint16_t* dst, int32_t width, const float* tapWeights, const float* const rows[6]);
    static void verticalSkipAlpha(float* dst, int32_t width, const float* tapWeights, const float* const rows[6]);
};

// The generic build: double precision throughout.
struct LanczosDouble : LanczosPasses<double, double, double> {};
// The SSE build: single precision throughout.
struct LanczosSingle : LanczosPasses<float, float, float> {};
// The SSE2-class builds: rows filtered in single precision, 8/16-bit
// vertical sums in double, float vertical sums in single precision.
struct LanczosSingleRowsDoubleColumns : LanczosPasses<float, double, float> {};

extern template struct LanczosPasses<double, double, double>;
extern template struct LanczosPasses<float, float, float>;
extern template struct LanczosPasses<float, double, float>;

}  // namespace primitives
