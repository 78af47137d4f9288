// Porter-Duff compositing of 4-channel 8-bit images: the four builds of
// duroAlphaComp_8u_AC4R and their row kernels.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

// One row of `pixels` pixels; `premultiplied` 1 selects the premultiplied
// form of the operation, 0 the plain one. The destination may be either
// source.
using AlphaRowKernel = void(const uint8_t* src1, const uint8_t* src2, uint8_t* dst, int32_t pixels,
                            int32_t premultiplied);

#define VELKARN_ALPHA_ROW_KERNELS(suffix)    \
    AlphaRowKernel alphaOverRow_##suffix;    \
    AlphaRowKernel alphaInRow_##suffix;      \
    AlphaRowKernel alphaOutRow_##suffix;     \
    AlphaRowKernel alphaAtopRow_##suffix;    \
    AlphaRowKernel alphaXorRow_##suffix;     \
    AlphaRowKernel alphaPlusRow_##suffix;

VELKARN_ALPHA_ROW_KERNELS(generic)
VELKARN_ALPHA_ROW_KERNELS(sse)
VELKARN_ALPHA_ROW_KERNELS(sse2)
VELKARN_ALPHA_ROW_KERNELS(sse3)

#undef VELKARN_ALPHA_ROW_KERNELS

#define VELKARN_ALPHA_COMP_BODY                                                                        \
    PrimitiveStatus duroAlphaComp_8u_AC4R(const uint8_t* src1, int32_t src1Step, const uint8_t* src2,   \
                                          int32_t src2Step, uint8_t* dst, int32_t dstStep, ImageSize size, \
                                          AlphaType type);

namespace generic { VELKARN_ALPHA_COMP_BODY }
namespace sse { VELKARN_ALPHA_COMP_BODY }
namespace sse2 { VELKARN_ALPHA_COMP_BODY }
namespace sse3 { VELKARN_ALPHA_COMP_BODY }

#undef VELKARN_ALPHA_COMP_BODY

}  // namespace primitives
