// Double-precision reference transforms and the error measures that the
// FFT tests hold the library to.
#pragma once

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

namespace primitives::test {

using ComplexD = std::complex<double>;

// Bins 0..N/2 of the forward DFT of n real samples, any n (direct double
// sums with angles reduced as (k * j) mod n up to 4096 points, FFTW's double
// r2c above).
enum class ReferenceMethod { automatic, direct, fftw };
std::vector<ComplexD> referenceRealSpectrum(const float* x, int64_t n,
                                           ReferenceMethod method = ReferenceMethod::automatic);

// x(j) = sum over all N bins of X(k) e^(+2 pi i k j / N) of the conjugate-
// symmetric spectrum whose bins 0..N/2 are given (imaginary parts of bins 0
// and N/2 taken as zero).
std::vector<double> referenceRealInverse(const std::vector<ComplexD>& bins, int64_t n);

// The complex DFT (sign -1 forward, +1 inverse) of n complex values, direct.
std::vector<ComplexD> referenceComplexDft(const std::vector<ComplexD>& x, bool inverse);
// The same, by FFTW's double complex DFT above 4096 points.
std::vector<ComplexD> referenceComplexTransform(const std::vector<ComplexD>& x, bool inverse);

// Bins as floats in Perm (any n: odd n as R(0), R(1), I(1), ...), CCS or
// plain real order, for comparisons.
std::vector<double> permOf(const std::vector<ComplexD>& bins, int64_t n);
std::vector<double> ccsOf(const std::vector<ComplexD>& bins, int64_t n);

// eps = 2^-24 and L = max(order, 1). Empty when y meets both bounds:
//   ||y - ref||_2 <= 8 L eps ||ref||_2 and every |y - ref| <= 32 L eps rms(ref);
// otherwise a description of the worst violation.
std::string checkTolerance(const float* y, const std::vector<double>& ref, int32_t order, double scale = 1.0);

// Fixed-seed uniform samples in [-1, 1).
std::vector<float> uniformSignal(int64_t n, uint32_t seed);

}  // namespace primitives::test
