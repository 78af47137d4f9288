// The FFT core of the SSE2 build.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/RealFftSpec.h"

#pragma GCC target("sse2")

#include "primitives/fft/FftBuild.h"

VELKARN_DEFINE_FFT_BUILD(sse2, fftcore::SseOps<3>)
VELKARN_DEFINE_FFT_SIMD(sse2, fftcore::SseOps<3>)
