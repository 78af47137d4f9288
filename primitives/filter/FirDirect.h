// Direct-form FIR filtering over a caller-owned doubled delay line: the four
// builds of zaviFIR_Direct_32f.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

#define VELKARN_FIR_DIRECT_BODY                                                                          \
    PrimitiveStatus zaviFIR_Direct_32f(const float* src, float* dst, int32_t numIters, const float* taps, \
                                       int32_t tapsLen, float* pDlyLine, int32_t* pDlyLineIndex);

namespace generic { VELKARN_FIR_DIRECT_BODY }
namespace sse { VELKARN_FIR_DIRECT_BODY }
namespace sse2 { VELKARN_FIR_DIRECT_BODY }
namespace sse3 { VELKARN_FIR_DIRECT_BODY }

#undef VELKARN_FIR_DIRECT_BODY

}  // namespace primitives
