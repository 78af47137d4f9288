// The IIR kernels and entry bodies of the SSE3-class build.
#include <immintrin.h>

#include "primitives/core/AlignedMemory.h"
#include "primitives/filter/IirState.h"
#include "primitives/filter/IirStateLayout.h"
#include "primitives/filter/IirVectorCalls.h"

// Every function below may use SSE3 instructions.
#pragma GCC target("sse3")

#define IIR_SUFFIX _sse3
#define IIR_NAMESPACE sse3
#define IIR_BUILD 4
#include "primitives/filter/IirSimdKernels.inc"
