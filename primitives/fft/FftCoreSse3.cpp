// The FFT core of the SSE3-class build.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/RealFftSpec.h"

#pragma GCC target("sse3")

#include "primitives/fft/FftBuild.h"

VELKARN_DEFINE_FFT_BUILD(sse3, fftcore::SseOps<4>)
VELKARN_DEFINE_FFT_SIMD(sse3, fftcore::SseOps<4>)
