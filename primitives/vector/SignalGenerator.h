// Signal generators: the four builds of zaviRandUniform_Direct_32f (uniform
// noise from a lagged-subtraction and a congruential generator) and
// zaviTone_Direct_32f (a cosine by recurrence).
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

#define VELKARN_SIGNAL_GENERATOR_BODIES                                                                      \
    PrimitiveStatus zaviRandUniform_Direct_32f(float* dst, int32_t len, float low, float high, uint32_t* pSeed); \
    PrimitiveStatus zaviTone_Direct_32f(float* dst, int32_t len, float magnitude, float rFreq, float* pPhase,    \
                                        PrimitiveHint hint);

namespace generic { VELKARN_SIGNAL_GENERATOR_BODIES }
namespace sse { VELKARN_SIGNAL_GENERATOR_BODIES }
namespace sse2 { VELKARN_SIGNAL_GENERATOR_BODIES }
namespace sse3 { VELKARN_SIGNAL_GENERATOR_BODIES }

#undef VELKARN_SIGNAL_GENERATOR_BODIES

}  // namespace primitives
