// The SSE build of the resize: its sub-driver table, drivers and entry body.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/ResizeCubic.h"
#include "primitives/resize/ResizeGeneralDriver.h"
#include "primitives/resize/ResizeLanczos.h"
#include "primitives/resize/ResizeLinear.h"
#include "primitives/resize/ResizeNearest.h"

namespace primitives {
namespace {

constexpr LanczosSubDriver resizeLanczosMultiChU8_sse = &resizeLanczosMultiCh<uint8_t, SseBuild>;
constexpr LanczosSubDriver resizeLanczosMultiChU16_sse = &resizeLanczosMultiCh<uint16_t, SseBuild>;
constexpr LanczosSubDriver resizeLanczosMultiChF32_sse = &resizeLanczosMultiCh<float, SseBuild>;
constexpr LanczosSubDriver resizeLanczos1ChU8_sse = &resizeLanczos1Ch<uint8_t, SseBuild>;
constexpr LanczosSubDriver resizeLanczos1ChU16_sse = &resizeLanczos1Ch<uint16_t, SseBuild>;
constexpr LanczosSubDriver resizeLanczos1ChF32_sse = &resizeLanczos1Ch<float, SseBuild>;
constexpr CubicSubDriver resizeCubicMultiChU8_sse = &resizeCubicMultiCh<uint8_t, SseBuild>;
constexpr CubicSubDriver resizeCubicMultiChU16_sse = &resizeCubicMultiCh<uint16_t, SseBuild>;
constexpr CubicSubDriver resizeCubicMultiChF32_sse = &resizeCubicMultiCh<float, SseBuild>;
constexpr CubicSubDriver resizeCubic1ChU8_sse = &resizeCubic1Ch<uint8_t, SseBuild>;
constexpr CubicSubDriver resizeCubic1ChU16_sse = &resizeCubic1Ch<uint16_t, SseBuild>;
constexpr CubicSubDriver resizeCubic1ChF32_sse = &resizeCubic1Ch<float, SseBuild>;
constexpr LinearSubDriver resizeLinearMultiChU8_sse = &resizeLinearMultiCh<uint8_t, SseBuild>;
constexpr LinearSubDriver resizeLinearMultiChU16_sse = &resizeLinearMultiCh<uint16_t, SseBuild>;
constexpr LinearSubDriver resizeLinearMultiChF32_sse = &resizeLinearMultiCh<float, SseBuild>;
constexpr LinearSubDriver resizeLinear1ChU8_sse = &resizeLinear1Ch<uint8_t, SseBuild>;
constexpr LinearSubDriver resizeLinear1ChU16_sse = &resizeLinear1Ch<uint16_t, SseBuild>;
constexpr LinearSubDriver resizeLinear1ChF32_sse = &resizeLinear1Ch<float, SseBuild>;

}  // namespace

constinit const ResizeSubDriverTable sseResizeSubDriverTable = {{
    resizeLanczosMultiChU8_sse, resizeLanczosMultiChU16_sse, resizeLanczosMultiChF32_sse,
    resizeLanczos1ChU8_sse, resizeLanczos1ChU16_sse, resizeLanczos1ChF32_sse,
    resizeCubicMultiChU8_sse, resizeCubicMultiChU16_sse, resizeCubicMultiChF32_sse,
    resizeCubic1ChU8_sse, resizeCubic1ChU16_sse, resizeCubic1ChF32_sse,
    resizeLinearMultiChU8_sse, resizeLinearMultiChU16_sse, resizeLinearMultiChF32_sse,
    resizeLinear1ChU8_sse, resizeLinear1ChU16_sse, resizeLinear1ChF32_sse,
    resizeNearest3ChU8_generic, resizeNearest3ChU16_generic, resizeNearest3ChF32_generic,
    resizeNearest1ChU8_generic, resizeNearest1ChU16_generic, resizeNearest1ChF32_generic,
    resizeNearest4ChU8_generic, resizeNearest4ChU16_generic, resizeNearest4ChF32_generic,
}};

PrimitiveStatus resizeGeneralDriver_sse(const ResizeParameters& parameters) {
    return resizeGeneralDriver<SseBuild>(parameters, sseResizeSubDriverTable);
}

namespace sse {

PrimitiveStatus zuzuZivere_8d_OZ4O(const uint8_t* src, ImageSize srcSize, int32_t srcStep, ImageRect srcRoi,
                                   uint8_t* dst, int32_t dstStep, ImageSize dstRoiSize, double xFactor,
                                   double yFactor, int32_t interpolation) {
    return resizeEntry<resizeGeneralDriver_sse, resizeSuperSamplingDriver_sse>(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize,
                                                                               xFactor, yFactor, interpolation);
}

}  // namespace sse
}  // namespace primitives
