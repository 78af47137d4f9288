// Symmetric windows applied in place: the four builds of
// zaviWinBartlett_32f_I, zaviWinHann_32f_I and zaviWinBlackmanStd_32f_I, and
// the Blackman window with a free alpha that the standard one calls.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

// The alpha of the standard Blackman window (weights 0.42, 0.5, 0.08).
inline constexpr float kStandardBlackmanAlpha = -0.16f;

// Blackman window with weight (alpha + 1)/2 - cos(k theta)/2 - (alpha/2) cos(2k theta)
// for pair k; the same checks as the entries. No stub: each build's
// zaviWinBlackmanStd_32f_I calls its own.
PrimitiveStatus blackmanWindowAlpha_generic(float* vec, int32_t len, float alpha);
PrimitiveStatus blackmanWindowAlpha_sse(float* vec, int32_t len, float alpha);
PrimitiveStatus blackmanWindowAlpha_sse2(float* vec, int32_t len, float alpha);
PrimitiveStatus blackmanWindowAlpha_sse3(float* vec, int32_t len, float alpha);

#define VELKARN_WINDOW_FUNCTION_BODIES                  \
    PrimitiveStatus zaviWinBartlett_32f_I(float* vec, int32_t len); \
    PrimitiveStatus zaviWinHann_32f_I(float* vec, int32_t len);     \
    PrimitiveStatus zaviWinBlackmanStd_32f_I(float* vec, int32_t len);

namespace generic { VELKARN_WINDOW_FUNCTION_BODIES }
namespace sse { VELKARN_WINDOW_FUNCTION_BODIES }
namespace sse2 { VELKARN_WINDOW_FUNCTION_BODIES }
namespace sse3 { VELKARN_WINDOW_FUNCTION_BODIES }

#undef VELKARN_WINDOW_FUNCTION_BODIES

}  // namespace primitives
