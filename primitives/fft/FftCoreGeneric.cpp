// The FFT core of the generic build: the same passes over four plain scalar
// lanes (compiled without vectorisation, see CMakeLists.txt).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/RealFftSpec.h"
#include "primitives/fft/FftBuild.h"

VELKARN_DEFINE_FFT_BUILD(generic, fftcore::ScalarOps<1>)

namespace primitives {

void fftRadixPasses_generic(float* data, int32_t n, const float* twiddles) {
    fftcore::Passes<fftcore::ScalarOps<1>, false>::radixPasses(data, __builtin_ctz(static_cast<uint32_t>(n)), twiddles);
}

void ifftRadixPasses_generic(float* data, int32_t n, const float* twiddles) {
    fftcore::Passes<fftcore::ScalarOps<1>, true>::radixPasses(data, __builtin_ctz(static_cast<uint32_t>(n)), twiddles);
}

void realFftRecombineForward_generic(float* data, int32_t n, const float* weights) {
    fftcore::recombineForwardPairs(data, n, weights);
}

void realFftRecombineInverse_generic(const float* src, float* dst, int32_t n, const float* twiddles) {
    fftcore::recombineInversePairs(src, dst, n, twiddles);
}

}  // namespace primitives
