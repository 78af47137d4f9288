// The resize drivers and entry bodies of the four builds. The entry
// zuzuZivere_8d_OZ4O (primitives.h) reaches them through its dispatch stub;
// the library's tests call them directly, the general drivers also with the
// data types, layouts and factor modes that the entry does not pass.
#pragma once

#include "primitives/resize/ResizeParameters.h"

namespace primitives {

PrimitiveStatus resizeGeneralDriver_generic(const ResizeParameters& parameters);
PrimitiveStatus resizeGeneralDriver_sse(const ResizeParameters& parameters);
PrimitiveStatus resizeGeneralDriver_sse2(const ResizeParameters& parameters);
PrimitiveStatus ResizeGeneralDriver(const ResizeParameters& parameters);  // SSE3-class build

PrimitiveStatus resizeSuperSamplingDriver_generic(const SuperSamplingParameters& parameters);
PrimitiveStatus resizeSuperSamplingDriver_sse(const SuperSamplingParameters& parameters);
PrimitiveStatus resizeSuperSamplingDriver_sse2(const SuperSamplingParameters& parameters);
PrimitiveStatus ResizeSuperSamplingDriver(const SuperSamplingParameters& parameters);  // SSE3-class build

#define VELKARN_RESIZE_ENTRY_BODY                                                                        \
    PrimitiveStatus zuzuZivere_8d_OZ4O(const uint8_t* src, ImageSize srcSize, int32_t srcStep,           \
                                        ImageRect srcRoi, uint8_t* dst, int32_t dstStep, ImageSize dstRoiSize, \
                                        double xFactor, double yFactor, int32_t interpolation);
namespace generic {
VELKARN_RESIZE_ENTRY_BODY
}
namespace sse {
VELKARN_RESIZE_ENTRY_BODY
}
namespace sse2 {
VELKARN_RESIZE_ENTRY_BODY
}
namespace sse3 {
VELKARN_RESIZE_ENTRY_BODY
}
#undef VELKARN_RESIZE_ENTRY_BODY

}  // namespace primitives
