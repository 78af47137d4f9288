// The generic build of the resize: its sub-driver table, drivers and entry body.
#include "primitives/resize/ResizeDrivers.h"
#include "primitives/resize/ResizeCubic.h"
#include "primitives/resize/ResizeGeneralDriver.h"
#include "primitives/resize/ResizeLanczos.h"
#include "primitives/resize/ResizeLinear.h"
#include "primitives/resize/ResizeNearest.h"

namespace primitives {
namespace {

constexpr LanczosSubDriver resizeLanczosMultiChU8_generic = &resizeLanczosMultiCh<uint8_t, GenericBuild>;
constexpr LanczosSubDriver resizeLanczosMultiChU16_generic = &resizeLanczosMultiCh<uint16_t, GenericBuild>;
constexpr LanczosSubDriver resizeLanczosMultiChF32_generic = &resizeLanczosMultiCh<float, GenericBuild>;
constexpr LanczosSubDriver resizeLanczos1ChU8_generic = &resizeLanczos1Ch<uint8_t, GenericBuild>;
constexpr LanczosSubDriver resizeLanczos1ChU16_generic = &resizeLanczos1Ch<uint16_t, GenericBuild>;
constexpr LanczosSubDriver resizeLanczos1ChF32_generic = &resizeLanczos1Ch<float, GenericBuild>;
constexpr CubicSubDriver resizeCubicMultiChU8_generic = &resizeCubicMultiCh<uint8_t, GenericBuild>;
constexpr CubicSubDriver resizeCubicMultiChU16_generic = &resizeCubicMultiCh<uint16_t, GenericBuild>;
constexpr CubicSubDriver resizeCubicMultiChF32_generic = &resizeCubicMultiCh<float, GenericBuild>;
constexpr CubicSubDriver resizeCubic1ChU8_generic = &resizeCubic1Ch<uint8_t, GenericBuild>;
constexpr CubicSubDriver resizeCubic1ChU16_generic = &resizeCubic1Ch<uint16_t, GenericBuild>;
constexpr CubicSubDriver resizeCubic1ChF32_generic = &resizeCubic1Ch<float, GenericBuild>;
constexpr LinearSubDriver resizeLinearMultiChU8_generic = &resizeLinearMultiCh<uint8_t, GenericBuild>;
constexpr LinearSubDriver resizeLinearMultiChU16_generic = &resizeLinearMultiCh<uint16_t, GenericBuild>;
constexpr LinearSubDriver resizeLinearMultiChF32_generic = &resizeLinearMultiCh<float, GenericBuild>;
constexpr LinearSubDriver resizeLinear1ChU8_generic = &resizeLinear1Ch<uint8_t, GenericBuild>;
constexpr LinearSubDriver resizeLinear1ChU16_generic = &resizeLinear1Ch<uint16_t, GenericBuild>;
constexpr LinearSubDriver resizeLinear1ChF32_generic = &resizeLinear1Ch<float, GenericBuild>;

}  // namespace

constinit const ResizeSubDriverTable genericResizeSubDriverTable = {{
    resizeLanczosMultiChU8_generic, resizeLanczosMultiChU16_generic, resizeLanczosMultiChF32_generic,
    resizeLanczos1ChU8_generic, resizeLanczos1ChU16_generic, resizeLanczos1ChF32_generic,
    resizeCubicMultiChU8_generic, resizeCubicMultiChU16_generic, resizeCubicMultiChF32_generic,
    resizeCubic1ChU8_generic, resizeCubic1ChU16_generic, resizeCubic1ChF32_generic,
    resizeLinearMultiChU8_generic, resizeLinearMultiChU16_generic, resizeLinearMultiChF32_generic,
    resizeLinear1ChU8_generic, resizeLinear1ChU16_generic, resizeLinear1ChF32_generic,
    resizeNearest3ChU8_generic, resizeNearest3ChU16_generic, resizeNearest3ChF32_generic,
    resizeNearest1ChU8_generic, resizeNearest1ChU16_generic, resizeNearest1ChF32_generic,
    resizeNearest4ChU8_generic, resizeNearest4ChU16_generic, resizeNearest4ChF32_generic,
}};

PrimitiveStatus resizeGeneralDriver_generic(const ResizeParameters& parameters) {
    return resizeGeneralDriver<GenericBuild>(parameters, genericResizeSubDriverTable);
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
