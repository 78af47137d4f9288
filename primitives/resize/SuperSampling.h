// Area averaging (super-sampling): a reduction in which every destination
// pixel is the mean of the source box it covers, 1/xFactor columns by
// 1/yFactor rows, with the columns and rows that the box's border cuts
// counted by the covered fraction.
//
// The driver (one per build, ResizeDrivers.h) checks and clips a call, works
// out the box geometry once (superSamplingGeometry), allocates one row
// accumulator and lends it to one of nine workers per build, chosen by data
// type and layout; planar images run the one-channel worker once per plane.
// In case BothWhole the workers sum whole rows with a column-sum kernel.
//
// The library's tests reach the geometry, the workers and the kernels
// through this header.
#pragma once

#include <cstdint>

#include "primitives/resize/ResizeParameters.h"

namespace primitives {

// Whether 1/xFactor and 1/yFactor are whole numbers. Fractional rows are
// carried from one destination row to the next, fractional columns from one
// destination column to the next.
enum SuperSamplingCase : int32_t {
    BothWhole = 0,
    ColumnsWhole = 1,  // 1/xFactor whole, 1/yFactor not
    RowsWhole = 2,     // 1/yFactor whole, 1/xFactor not
    NeitherWhole = 3,
};

// Weights and fractions at or below this are left out of a sum; positions
// within it of a whole number count as that number.
inline constexpr double kSuperSamplingTolerance = 1e-7;

// What a driver derives from a call that has passed its checks.
struct SuperSamplingGeometry {
    int32_t roiWidth;    // the region clipped to the image
    int32_t roiHeight;
    int32_t dstWidth;    // the destination clipped to what the region fills
    int32_t dstHeight;
    double invXFactor;   // box width in source columns
    double invYFactor;   // box height in source rows
    double areaScale;    // 1 / box area
    int32_t srcColumns;  // source columns accumulated per row
    SuperSamplingCase samplingCase;
};

// A region narrower than one box (xFactor * width + 1e-7 < 1) gives one
// destination column whose box is the whole region width: 1/xFactor is then
// taken as that width, and the scale as its reciprocal. Rows likewise.
SuperSamplingGeometry superSamplingGeometry(const SuperSamplingParameters& p);

// Whether case-BothWhole column sums of `rows` rows of samples of the given
// data type can pass 2^32 - 1, so that the accumulator needs 64-bit entries.
bool superSamplingWideColumnSums(int32_t dataType, int64_t rows);

// A worker: reduces one image (or plane) whose region starts at srcOrigin.
// Steps are in bytes; srcColumns x srcRows is what may be read of the region
// (srcRows its clipped height). pixelStride is the element distance between
// pixels of the three-channel workers (at least 3); the others ignore it.
// rowAccumulator holds srcColumns x (1, pixelStride or 4) entries: 32-bit
// floats, or in case BothWhole with 8-bit and 16-bit data unsigned integers
// of 32 bits (64 when superSamplingWideColumnSums). A samplingCase outside
// 0..3 does nothing.
using SuperSampleWorker = void (*)(const void* srcOrigin, void* dst, int32_t srcStep, int32_t dstStep,
                                   int32_t srcColumns, int32_t srcRows, int32_t dstWidth, int32_t dstHeight,
                                   double invXFactor, double invYFactor, double areaScale, int32_t pixelStride,
                                   int32_t samplingCase, void* rowAccumulator);

// Case-BothWhole column sums: for `rows` rows from src, srcStep bytes apart,
// the sum of each processed slot of `count` pixels into the matching entry
// of acc. The generic and SSE kernels add to what acc holds; the SSE2-class
// kernels write the sums over it. Three-channel kernels touch slots 0 to 2 of
// pixels pixelStride elements apart (in the source and in acc alike) and
// nothing else; the other kernels ignore pixelStride. rows or count of 0 or
// less: nothing is read or written.
template <typename T, typename Sum>
using BoxColumnSumKernel = void (*)(const T* src, int32_t srcStep, int32_t count, int32_t rows, Sum* acc,
                                    int32_t pixelStride);

#define VELKARN_SUPER_SAMPLING_MEMBERS(build)                                                  \
    extern const SuperSampleWorker superSample1ChU8_##build;                                   \
    extern const SuperSampleWorker superSample3ChU8_##build;                                   \
    extern const SuperSampleWorker superSample4ChU8_##build;                                   \
    extern const SuperSampleWorker superSample1ChU16_##build;                                  \
    extern const SuperSampleWorker superSample3ChU16_##build;                                  \
    extern const SuperSampleWorker superSample4ChU16_##build;                                  \
    extern const SuperSampleWorker superSample1ChF32_##build;                                  \
    extern const SuperSampleWorker superSample3ChF32_##build;                                  \
    extern const SuperSampleWorker superSample4ChF32_##build;                                  \
    extern const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum1ChU8_##build;              \
    extern const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum4ChU8_##build;              \
    extern const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum1ChU16_##build;            \
    extern const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum4ChU16_##build;            \
    extern const BoxColumnSumKernel<float, float> boxColumnSum1ChF32_##build;                  \
    extern const BoxColumnSumKernel<float, float> boxColumnSum3ChF32_##build;                  \
    extern const BoxColumnSumKernel<float, float> boxColumnSum4ChF32_##build;

VELKARN_SUPER_SAMPLING_MEMBERS(generic)
VELKARN_SUPER_SAMPLING_MEMBERS(sse)
VELKARN_SUPER_SAMPLING_MEMBERS(sse2)
VELKARN_SUPER_SAMPLING_MEMBERS(sse3)
#undef VELKARN_SUPER_SAMPLING_MEMBERS

// The three-channel integer kernels: the generic ones serve the SSE build
// too; the SSE2-class builds have their own.
extern const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum3ChU8_generic;
extern const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum3ChU16_generic;
extern const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum3ChU8_sse2;
extern const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum3ChU16_sse2;
extern const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum3ChU8_sse3;
extern const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum3ChU16_sse3;

}  // namespace primitives
