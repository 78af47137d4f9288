// The SSE build of the resize: its sub-driver table, drivers and entry body.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/ResizeGeneralDriver.h"
#include "primitives/resize/ResizeLinear.h"
#include "primitives/resize/ResizeNearest.h"

namespace primitives {
namespace {

constexpr LinearSubDriver resizeLinearMultiChU8_sse = &resizeLinearMultiCh<uint8_t, SseBuild>;
constexpr LinearSubDriver resizeLinearMultiChU16_sse = &resizeLinearMultiCh<uint16_t, SseBuild>;
constexpr LinearSubDriver resizeLinearMultiChF32_sse = &resizeLinearMultiCh<float, SseBuild>;
constexpr LinearSubDriver resizeLinear1ChU8_sse = &resizeLinear1Ch<uint8_t, SseBuild>;
constexpr LinearSubDriver resizeLinear1ChU16_sse = &resizeLinear1Ch<uint16_t, SseBuild>;
constexpr LinearSubDriver resizeLinear1ChF32_sse = &resizeLinear1Ch<float, SseBuild>;

}  // namespace

constinit const ResizeSubDriverTable sseResizeSubDriverTable = {{
    {}, {}, {},  // 0-2: Lanczos, several channels
    {}, {}, {},  // 3-5: Lanczos, one channel
    {}, {}, {},  // 6-8: cubic, several channels
    {}, {}, {},  // 9-11: cubic, one channel
    resizeLinearMultiChU8_sse, resizeLinearMultiChU16_sse, resizeLinearMultiChF32_sse,
    resizeLinear1ChU8_sse, resizeLinear1ChU16_sse, resizeLinear1ChF32_sse,
    resizeNearest3ChU8_generic, resizeNearest3ChU16_generic, resizeNearest3ChF32_generic,
    resizeNearest1ChU8_generic, resizeNearest1ChU16_generic, resizeNearest1ChF32_generic,
    resizeNearest4ChU8_generic, resizeNearest4ChU16_generic, resizeNearest4ChF32_generic,
}};

PrimitiveStatus resizeGeneralDriver_sse(const ResizeParameters& parameters) {
    return resizeGeneralDriver<SseBuild>(parameters, sseResizeSubDriverTable);
}

PrimitiveStatus resizeSuperSamplingDriver_sse(const SuperSamplingParameters& parameters) {
    return resizeSuperSamplingUnavailable(parameters);
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
