// Copy and fill of 4-channel 8-bit image regions: the four builds of
// duroCopy_8u_C4R, duroSet_8u_C4R and duroSet_8u_AC4R, and their row kernels.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

// Regions above these byte counts are written with non-temporal stores by
// the SSE2 and SSE3-class builds (strictly greater; the whole region counts
// even when it is handled row by row).
inline constexpr int64_t kCopyNonTemporalBytes = 0x20000;
inline constexpr int64_t kFillNonTemporalBytes = 0x40000;

// Copies n bytes forward. The SSE2 and SSE3-class kernels (one routine) use
// non-temporal stores for their 64-byte blocks when `nonTemporal` is set;
// the SSE kernel always does.
void copyRowKernel_sse(const uint8_t* src, uint8_t* dst, int32_t n);
void copyRowKernel_sse2(const uint8_t* src, uint8_t* dst, int32_t n, bool nonTemporal);
void copyRowKernel_sse3(const uint8_t* src, uint8_t* dst, int32_t n, bool nonTemporal);

// Fills n bytes (a whole number of pixels) from a 32-byte pattern that holds
// the pixel value eight times.
void fillRowPattern16_sse2(const uint8_t* pattern, uint8_t* dst, int32_t n, bool nonTemporal);
void fillRowPattern16_sse3(const uint8_t* pattern, uint8_t* dst, int32_t n, bool nonTemporal);

// Fills `pixels` pixels with the value word (byte 0 of the pixel lowest).
void fillRowPixels32_sse(uint32_t value, uint8_t* dst, int32_t pixels);

#define VELKARN_IMAGE_COPY_FILL_BODIES                                                                  \
    PrimitiveStatus duroCopy_8u_C4R(const uint8_t* src, int32_t srcStep, uint8_t* dst, int32_t dstStep, \
                                    ImageSize size);                                                    \
    PrimitiveStatus duroSet_8u_C4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size); \
    PrimitiveStatus duroSet_8u_AC4R(const uint8_t* value, uint8_t* dst, int32_t dstStep, ImageSize size);

namespace generic { VELKARN_IMAGE_COPY_FILL_BODIES }
namespace sse { VELKARN_IMAGE_COPY_FILL_BODIES }
namespace sse2 { VELKARN_IMAGE_COPY_FILL_BODIES }
namespace sse3 { VELKARN_IMAGE_COPY_FILL_BODIES }

#undef VELKARN_IMAGE_COPY_FILL_BODIES

}  // namespace primitives
