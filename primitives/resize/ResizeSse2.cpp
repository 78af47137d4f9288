// The SSE2 build of the resize: its sub-driver table, drivers and entry body.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/ResizeCubic.h"
#include "primitives/resize/ResizeGeneralDriver.h"
#include "primitives/resize/ResizeLanczos.h"
#include "primitives/resize/ResizeLinear.h"
#include "primitives/resize/ResizeNearest.h"

namespace primitives {
namespace {

constexpr LanczosSubDriver resizeLanczosMultiChU8_sse2 = &resizeLanczosMultiCh<uint8_t, Sse2Build>;
constexpr LanczosSubDriver resizeLanczosMultiChU16_sse2 = &resizeLanczosMultiCh<uint16_t, Sse2Build>;
constexpr LanczosSubDriver resizeLanczosMultiChF32_sse2 = &resizeLanczosMultiCh<float, Sse2Build>;
constexpr LanczosSubDriver resizeLanczos1ChU8_sse2 = &resizeLanczos1Ch<uint8_t, Sse2Build>;
constexpr LanczosSubDriver resizeLanczos1ChU16_sse2 = &resizeLanczos1Ch<uint16_t, Sse2Build>;
constexpr LanczosSubDriver resizeLanczos1ChF32_sse2 = &resizeLanczos1Ch<float, Sse2Build>;
constexpr CubicSubDriver resizeCubicMultiChU8_sse2 = &resizeCubicMultiCh<uint8_t, Sse2Build>;
constexpr CubicSubDriver resizeCubicMultiChU16_sse2 = &resizeCubicMultiCh<uint16_t, Sse2Build>;
constexpr CubicSubDriver resizeCubicMultiChF32_sse2 = &resizeCubicMultiCh<float, Sse2Build>;
constexpr CubicSubDriver resizeCubic1ChU8_sse2 = &resizeCubic1Ch<uint8_t, Sse2Build>;
constexpr CubicSubDriver resizeCubic1ChU16_sse2 = &resizeCubic1Ch<uint16_t, Sse2Build>;
constexpr CubicSubDriver resizeCubic1ChF32_sse2 = &resizeCubic1Ch<float, Sse2Build>;
constexpr LinearSubDriver resizeLinearMultiChU8_sse2 = &resizeLinearMultiCh<uint8_t, Sse2Build>;
constexpr LinearSubDriver resizeLinearMultiChU16_sse2 = &resizeLinearMultiCh<uint16_t, Sse2Build>;
constexpr LinearSubDriver resizeLinearMultiChF32_sse2 = &resizeLinearMultiCh<float, Sse2Build>;
constexpr LinearSubDriver resizeLinear1ChU8_sse2 = &resizeLinear1Ch<uint8_t, Sse2Build>;
constexpr LinearSubDriver resizeLinear1ChU16_sse2 = &resizeLinear1Ch<uint16_t, Sse2Build>;
constexpr LinearSubDriver resizeLinear1ChF32_sse2 = &resizeLinear1Ch<float, Sse2Build>;

}  // namespace

constinit const ResizeSubDriverTable sse2ResizeSubDriverTable = {{
    resizeLanczosMultiChU8_sse2, resizeLanczosMultiChU16_sse2, resizeLanczosMultiChF32_sse2,
    resizeLanczos1ChU8_sse2, resizeLanczos1ChU16_sse2, resizeLanczos1ChF32_sse2,
    resizeCubicMultiChU8_sse2, resizeCubicMultiChU16_sse2, resizeCubicMultiChF32_sse2,
    resizeCubic1ChU8_sse2, resizeCubic1ChU16_sse2, resizeCubic1ChF32_sse2,
    resizeLinearMultiChU8_sse2, resizeLinearMultiChU16_sse2, resizeLinearMultiChF32_sse2,
    resizeLinear1ChU8_sse2, resizeLinear1ChU16_sse2, resizeLinear1ChF32_sse2,
    resizeNearest3ChU8_sse2, resizeNearest3ChU16_sse2, resizeNearest3ChF32_sse2,
    resizeNearest1ChU8_sse2, resizeNearest1ChU16_sse2, resizeNearest1ChF32_sse2,
    resizeNearest4ChU8_sse2, resizeNearest4ChU16_sse2, resizeNearest4ChF32_sse2,
}};

PrimitiveStatus resizeGeneralDriver_sse2(const ResizeParameters& parameters) {
    return resizeGeneralDriver<Sse2Build>(parameters, sse2ResizeSubDriverTable);
}

namespace sse2 {

PrimitiveStatus zuzuZivere_8d_OZ4O(const uint8_t* src, ImageSize srcSize, int32_t srcStep, ImageRect srcRoi,
                                   uint8_t* dst, int32_t dstStep, ImageSize dstRoiSize, double xFactor,
                                   double yFactor, int32_t interpolation) {
    return resizeEntry<resizeGeneralDriver_sse2, resizeSuperSamplingDriver_sse2>(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize,
                                                                                 xFactor, yFactor, interpolation);
}

}  // namespace sse2
}  // namespace primitives
