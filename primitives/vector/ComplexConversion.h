// Rectangular and polar forms of single-precision complex vectors: the four
// builds of zaviMagnitude_32fc, zaviCartToPolar_32fc and zaviPolarToCart_32fc,
// and the phase step that zaviCartToPolar_32fc calls in its own build.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

// Phase of every element in radians; the same checks as zaviMagnitude_32fc
// (null -8, len <= 0 -6). No stub: each build's zaviCartToPolar_32fc calls
// its own.
PrimitiveStatus complexPhase_generic(const Complex32f* src, float* phase, int32_t len);
PrimitiveStatus complexPhase_sse(const Complex32f* src, float* phase, int32_t len);
PrimitiveStatus complexPhase_sse2(const Complex32f* src, float* phase, int32_t len);
PrimitiveStatus complexPhase_sse3(const Complex32f* src, float* phase, int32_t len);

#define VELKARN_COMPLEX_CONVERSION_BODIES                                                                   \
    PrimitiveStatus zaviMagnitude_32fc(const Complex32f* src, float* dst, int32_t len);                     \
    PrimitiveStatus zaviCartToPolar_32fc(const Complex32f* src, float* magnitude, float* phase, int32_t len); \
    PrimitiveStatus zaviPolarToCart_32fc(const float* magnitude, const float* phase, Complex32f* dst, int32_t len);

namespace generic { VELKARN_COMPLEX_CONVERSION_BODIES }
namespace sse { VELKARN_COMPLEX_CONVERSION_BODIES }
namespace sse2 { VELKARN_COMPLEX_CONVERSION_BODIES }
namespace sse3 { VELKARN_COMPLEX_CONVERSION_BODIES }

#undef VELKARN_COMPLEX_CONVERSION_BODIES

}  // namespace primitives
