// The generic build of the resize: its sub-driver table, drivers and entry body.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/ResizeGeneralDriver.h"
#include "primitives/resize/ResizeLinear.h"
#include "primitives/resize/ResizeNearest.h"

namespace primitives {
namespace {

constexpr LinearSubDriver resizeLinearMultiChU8_generic = &resizeLinearMultiCh<uint8_t, GenericBuild>;
constexpr LinearSubDriver resizeLinearMultiChU16_generic = &resizeLinearMultiCh<uint16_t, GenericBuild>;
constexpr LinearSubDriver resizeLinearMultiChF32_generic = &resizeLinearMultiCh<float, GenericBuild>;
constexpr LinearSubDriver resizeLinear1ChU8_generic = &resizeLinear1Ch<uint8_t, GenericBuild>;
constexpr LinearSubDriver resizeLinear1ChU16_generic = &resizeLinear1Ch<uint16_t, GenericBuild>;
constexpr LinearSubDriver resizeLinear1ChF32_generic = &resizeLinear1Ch<float, GenericBuild>;

}  // namespace

constinit const ResizeSubDriverTable genericResizeSubDriverTable = {{
    {}, {}, {},  // 0-2: Lanczos, several channels
    {}, {}, {},  // 3-5: Lanczos, one channel
    {}, {}, {},  // 6-8: cubic, several channels
    {}, {}, {},  // 9-11: cubic, one channel
    resizeLinearMultiChU8_generic, resizeLinearMultiChU16_generic, resizeLinearMultiChF32_generic,
    resizeLinear1ChU8_generic, resizeLinear1ChU16_generic, resizeLinear1ChF32_generic,
    resizeNearest3ChU8_generic, resizeNearest3ChU16_generic, resizeNearest3ChF32_generic,
    resizeNearest1ChU8_generic, resizeNearest1ChU16_generic, resizeNearest1ChF32_generic,
    resizeNearest4ChU8_generic, resizeNearest4ChU16_generic, resizeNearest4ChF32_generic,
}};

PrimitiveStatus resizeGeneralDriver_generic(const ResizeParameters& parameters) {
    return resizeGeneralDriver<GenericBuild>(parameters, genericResizeSubDriverTable);
}

PrimitiveStatus resizeSuperSamplingDriver_generic(const SuperSamplingParameters& parameters) {
    return resizeSuperSamplingUnavailable(parameters);
}

namespace generic {

PrimitiveStatus zuzuZivere_8d_OZ4O(const uint8_t* src, ImageSize srcSize, int32_t srcStep, ImageRect srcRoi,
                                   uint8_t* dst, int32_t dstStep, ImageSize dstRoiSize, double xFactor,
                                   double yFactor, int32_t interpolation) {
    return resizeEntry<resizeGeneralDriver_generic, resizeSuperSamplingDriver_generic>(src, srcSize, srcStep, srcRoi, dst, dstStep, dstRoiSize,
                                                                                       xFactor, yFactor, interpolation);
}

}  // namespace generic
}  // namespace primitives
