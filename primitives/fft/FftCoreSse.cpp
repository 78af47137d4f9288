// The FFT core of the SSE build.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/RealFftSpec.h"

#pragma GCC target("sse")

#include "primitives/fft/FftBuild.h"

VELKARN_DEFINE_FFT_BUILD(sse, fftcore::SseOps<2>)
VELKARN_DEFINE_FFT_SIMD(sse, fftcore::SseOps<2>)
