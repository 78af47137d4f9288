// The IIR kernels and entry bodies of the SSE2 build.
#include <immintrin.h>

#include "primitives/core/AlignedMemory.h"
#include "primitives/filter/IirState.h"
#include "primitives/filter/IirStateLayout.h"
#include "primitives/filter/IirVectorCalls.h"

#define IIR_SUFFIX _sse2
#define IIR_NAMESPACE sse2
#define IIR_BUILD 3
#include "primitives/filter/IirSimdKernels.inc"
