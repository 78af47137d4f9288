// The per-build table of row sub-drivers that a general resize driver calls,
// and the argument lists of the four sub-driver families.
//
// Inside a sub-driver, steps are in elements of the data type; row offsets
// and column indexes are element offsets held in 64 bits, so that sources
// above 2 GiB are addressed correctly. Sub-drivers check nothing and cannot
// fail: the driver has validated and clipped everything before the call.
#pragma once

#include <array>
#include <cstdint>

namespace primitives {

// Q14 weights of the left (w0) and right (w1) source pixel of a destination
// column; w0 + w1 = 16384.
struct LinearWeightPairQ14 {
    uint16_t w0;
    uint16_t w1;
};

// Copies one source pixel per destination pixel. `channels` is the pixel
// stride of the three-channel members; the others ignore it.
using NearestSubDriver = void (*)(const void* src, void* dst, int32_t dstStep, int32_t dstWidth, int32_t dstHeight,
                                  const int64_t* rowOffsets, const int64_t* colIndexes, int32_t channels);

// Two-pass linear interpolation. Weights are Q14 (uint16_t per row,
// LinearWeightPairQ14 per column) for 8-bit and 16-bit data, float fractions
// for float data. rowBuf0 and rowBuf1 hold the intermediate rows.
using LinearSubDriver = void (*)(const void* src, void* dst, int32_t srcStep, int32_t dstStep, int32_t dstWidth,
                                 int32_t dstHeight, const int64_t* rowOffsets, const int64_t* colIndexes,
                                 const void* rowWeights, const void* colWeights, void* rowBuf0, void* rowBuf1,
                                 int32_t channels, int32_t layout);

// Four-tap cubic interpolation over four intermediate rows.
using CubicSubDriver = void (*)(const void* src, void* dst, int32_t srcStep, int32_t dstStep, int32_t dstWidth,
                                int32_t dstHeight, const int64_t* rowOffsets, const int64_t* colIndexes,
                                const float* rowFractions, const float* colFractions, void* rowBuf0, void* rowBuf1,
                                void* rowBuf2, void* rowBuf3, int32_t channels, int32_t layout);

// Six-tap Lanczos interpolation; keeps its taps inside the image itself.
using LanczosSubDriver = void (*)(const void* src, void* dst, int32_t srcStep, int32_t dstStep, int32_t dstWidth,
                                  int32_t dstHeight, const int64_t* rowOffsets, const int64_t* colIndexes,
                                  const float* rowTapWeights, const float* colTapWeights, void* rowBuf0,
                                  void* rowBuf1, void* rowBuf2, void* rowBuf3, void* rowBuf4, void* rowBuf5,
                                  int32_t roiX, int32_t roiY, int32_t srcWidthFromRoi, int32_t srcHeightFromRoi,
                                  int32_t rowUpscale, int32_t channels, int32_t layout);

// One table slot: a sub-driver of the family that its group calls.
struct ResizeSubDriverSlot {
    LanczosSubDriver lanczos = nullptr;
    CubicSubDriver cubic = nullptr;
    LinearSubDriver linear = nullptr;
    NearestSubDriver nearest = nullptr;

    constexpr ResizeSubDriverSlot() = default;
    constexpr ResizeSubDriverSlot(LanczosSubDriver f) : lanczos(f) {}
    constexpr ResizeSubDriverSlot(CubicSubDriver f) : cubic(f) {}
    constexpr ResizeSubDriverSlot(LinearSubDriver f) : linear(f) {}
    constexpr ResizeSubDriverSlot(NearestSubDriver f) : nearest(f) {}
};

// Groups of three slots, one per data type: index = group * 3 + dataType.
enum ResizeSubDriverGroup : int32_t {
    resizeGroupLanczosMultiCh = 0,
    resizeGroupLanczos1Ch = 1,
    resizeGroupCubicMultiCh = 2,
    resizeGroupCubic1Ch = 3,
    resizeGroupLinearMultiCh = 4,
    resizeGroupLinear1Ch = 5,
    resizeGroupNearest3Ch = 6,
    resizeGroupNearest1Ch = 7,
    resizeGroupNearest4Ch = 8,
};

inline constexpr int32_t kResizeSubDriverCount = 27;
using ResizeSubDriverTable = std::array<ResizeSubDriverSlot, kResizeSubDriverCount>;

constexpr int32_t resizeSubDriverIndex(int32_t group, int32_t dataType) { return group * 3 + dataType; }

// The tables of the four builds, every slot filled. The generic and SSE
// tables share their nearest members, and so do the SSE2 and SSE3-class
// tables.
extern const ResizeSubDriverTable genericResizeSubDriverTable;
extern const ResizeSubDriverTable sseResizeSubDriverTable;
extern const ResizeSubDriverTable sse2ResizeSubDriverTable;
extern const ResizeSubDriverTable sse3ResizeSubDriverTable;

}  // namespace primitives
