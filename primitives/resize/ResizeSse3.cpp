// The SSE3-class build of the resize: its sub-driver table, drivers and entry body.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/ResizeCubic.h"
#include "primitives/resize/ResizeGeneralDriver.h"
#include "primitives/resize/ResizeLanczos.h"
#include "primitives/resize/ResizeLinear.h"
#include "primitives/resize/ResizeNearest.h"

namespace primitives {
namespace {

constexpr LanczosSubDriver resizeLanczosMultiChU8_sse3 = &resizeLanczosMultiCh<uint8_t, Sse3Build>;
constexpr LanczosSubDriver resizeLanczosMultiChU16_sse3 = &resizeLanczosMultiCh<uint16_t, Sse3Build>;
constexpr LanczosSubDriver resizeLanczosMultiChF32_sse3 = &resizeLanczosMultiCh<float, Sse3Build>;
constexpr LanczosSubDriver resizeLanczos1ChU8_sse3 = &resizeLanczos1Ch<uint8_t, Sse3Build>;
constexpr LanczosSubDriver resizeLanczos1ChU16_sse3 = &resizeLanczos1Ch<uint16_t, Sse3Build>;
constexpr LanczosSubDriver resizeLanczos1ChF32_sse3 = &resizeLanczos1Ch<float, Sse3Build>;
constexpr CubicSubDriver resizeCubicMultiChU8_sse3 = &resizeCubicMultiCh<uint8_t, Sse3Build>;
constexpr CubicSubDriver resizeCubicMultiChU16_sse3 = &resizeCubicMultiCh<uint16_t, Sse3Build>;
constexpr CubicSubDriver resizeCubicMultiChF32_sse3 = &resizeCubicMultiCh<float, Sse3Build>;
constexpr CubicSubDriver resizeCubic1ChU8_sse3 = &resizeCubic1Ch<uint8_t, Sse3Build>;
constexpr CubicSubDriver resizeCubic1ChU16_sse3 = &resizeCubic1Ch<uint16_t, Sse3Build>;
constexpr CubicSubDriver resizeCubic1ChF32_sse3 = &resizeCubic1Ch<float, Sse3Build>;
constexpr LinearSubDriver resizeLinearMultiChU8_sse3 = &resizeLinearMultiCh<uint8_t, Sse3Build>;
constexpr LinearSubDriver resizeLinearMultiChU16_sse3 = &resizeLinearMultiCh<uint16_t, Sse3Build>;
constexpr LinearSubDriver resizeLinearMultiChF32_sse3 = &resizeLinearMultiCh<float, Sse3Build>;
constexpr LinearSubDriver resizeLinear1ChU8_sse3 = &resizeLinear1Ch<uint8_t, Sse3Build>;
constexpr LinearSubDriver resizeLinear1ChU16_sse3 = &resizeLinear1Ch<uint16_t, Sse3Build>;
constexpr LinearSubDriver resizeLinear1ChF32_sse3 = &resizeLinear1Ch<float, Sse3Build>;

}  // namespace

constinit const ResizeSubDriverTable sse3ResizeSubDriverTable = {{
    resizeLanczosMultiChU8_sse3, resizeLanczosMultiChU16_sse3, resizeLanczosMultiChF32_sse3,
    resizeLanczos1ChU8_sse3, resizeLanczos1ChU16_sse3, resizeLanczos1ChF32_sse3,
    resizeCubicMultiChU8_sse3, resizeCubicMultiChU16_sse3, resizeCubicMultiChF32_sse3,
    resizeCubic1ChU8_sse3, resizeCubic1ChU16_sse3, resizeCubic1ChF32_sse3,
    resizeLinearMultiChU8_sse3, resizeLinearMultiChU16_sse3, resizeLinearMultiChF32_sse3,
    resizeLinear1ChU8_sse3, resizeLinear1ChU16_sse3, resizeLinear1ChF32_sse3,
    resizeNearest3ChU8_sse2, resizeNearest3ChU16_sse2, resizeNearest3ChF32_sse2,
    resizeNearest1ChU8_sse2, resizeNearest1ChU16_sse2, resizeNearest1ChF32_sse2,
    resizeNearest4ChU8_sse2, resizeNearest4ChU16_sse2, resizeNearest4ChF32_sse2,
}};

PrimitiveStatus ResizeGeneralDriver(const ResizeParameters& parameters) {
    return resizeGeneralDriver<Sse3Build>(parameters, sse3ResizeSubDriverTable);
}

namespace sse3 {

PrimitiveStatus zuzuZivere_8d_OZ4O(const uint8_t* src, ImageSize srcSize, int32_t srcStep, ImageRect srcRoi,
                                   uint8_t* dst, int32_t dstStep, ImageSize dstRoiSize, double xFactor,
                                   double yFactor, int32_t interpolation) {
    return resizeEntry<ResizeGeneralDriver, ResizeSuperSamplingDriver>(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize,
                                                                       xFactor, yFactor, interpolation);
}

}  // namespace sse3
}  // namespace primitives
