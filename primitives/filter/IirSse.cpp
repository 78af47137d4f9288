// The IIR kernels and entry bodies of the SSE build.
#include <immintrin.h>

#include "primitives/core/AlignedMemory.h"
#include "primitives/filter/IirState.h"
#include "primitives/filter/IirStateLayout.h"
#include "primitives/filter/IirVectorCalls.h"

#define IIR_SUFFIX _sse
#define IIR_NAMESPACE sse
#define IIR_BUILD 2
#include "primitives/filter/IirSimdKernels.inc"
