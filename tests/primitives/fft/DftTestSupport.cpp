#include "DftTestSupport.h"

#include <cmath>

namespace primitives::test {

const InternalRoutines& internals(int32_t build) {
#define VELKARN_INTERNALS(suffix, size)                                                                       \
    {complexFftInitAlloc_##suffix, freeComplexFftSpec_##suffix, complexFftGetBufferSize_##size,              \
     complexFftForward_##suffix,   complexFftInverse_##suffix,  complexDftBluestein_##suffix,                \
     complexDftDirect_##suffix,    buildDftTwiddleTable_##suffix, buildDftDirectTwiddles_##suffix,           \
     realFftForwardToPack_##suffix, realFftInverseFromPack_##suffix, packConjugateProduct_##suffix,         \
     autoCorrDirect_##suffix,      &smallLengthKernels_##suffix}
    static const InternalRoutines routines[4] = {
        VELKARN_INTERNALS(generic, generic),
        VELKARN_INTERNALS(sse, generic),
        VELKARN_INTERNALS(sse2, sse2),
        VELKARN_INTERNALS(sse3, sse2),
    };
#undef VELKARN_INTERNALS
    return routines[build - 1];
}

int32_t toleranceOrder(int64_t n) {
    int32_t k = 0;
    while ((int64_t{1} << k) < n) ++k;
    return std::max(k, 1);
}

double dftForwardScale(int32_t flag, int64_t n) {
    const double length = static_cast<double>(n);
    if (flag == fftDivideForwardByN) return static_cast<float>(1.0 / length);
    if (flag == fftDivideBySqrtN) return static_cast<float>(1.0 / std::sqrt(length));
    return 1.0;
}

std::vector<double> referencePerm(const float* x, int64_t n) { return permOf(referenceRealSpectrum(x, n), n); }

std::vector<double> interleaved(const std::vector<ComplexD>& x) {
    std::vector<double> out(2 * x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        out[2 * i] = x[i].real();
        out[2 * i + 1] = x[i].imag();
    }
    return out;
}

std::vector<ComplexD> complexOf(const float* x, int64_t n) {
    std::vector<ComplexD> out(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) out[i] = {x[2 * i], x[2 * i + 1]};
    return out;
}

std::vector<double> referenceAutoCorrelation(const float* x, int64_t n, int64_t lags) {
    std::vector<double> r(static_cast<size_t>(lags), 0.0);
    for (int64_t k = 0; k < lags && k < n; ++k) {
        double sum = 0;
        for (int64_t i = 0; i + k < n; ++i) sum += static_cast<double>(x[i]) * x[i + k];
        r[k] = sum;
    }
    return r;
}

const char* pathName(DftPath path) {
    switch (path) {
    case DftPath::smallKernel: return "kernel";
    case DftPath::realFft: return "real FFT";
    case DftPath::mixedRadixReal: return "mixed radix, real";
    case DftPath::mixedRadixComplex: return "mixed radix, complex";
    case DftPath::directOdd: return "direct, odd";
    case DftPath::directEven: return "direct, even";
    case DftPath::chirpOdd: return "chirp-z, odd";
    case DftPath::chirpEven: return "chirp-z, even";
    }
    return "?";
}

}  // namespace primitives::test
