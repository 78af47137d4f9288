#include "FftReference.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>

namespace primitives::test {
namespace {

constexpr int64_t kDirectLimit = 4096;

// e^(-2 pi i a / n) with the angle index reduced exactly.
ComplexD root(int64_t a, int64_t n) {
    const double angle = 2.0 * M_PI * static_cast<double>(a % n) / static_cast<double>(n);
    return {std::cos(angle), -std::sin(angle)};
}

// root(a, n) for a = 0 .. n - 1.
std::vector<ComplexD> rootTable(int64_t n) {
    std::vector<ComplexD> table(static_cast<size_t>(n));
    for (int64_t a = 0; a < n; ++a) table[a] = root(a, n);
    return table;
}

}  // namespace

std::vector<ComplexD> referenceRealSpectrum(const float* x, int64_t n, ReferenceMethod method) {
    std::vector<ComplexD> bins(static_cast<size_t>(n / 2 + 1));
    if (method == ReferenceMethod::direct || (method == ReferenceMethod::automatic && n <= kDirectLimit)) {
        const std::vector<ComplexD> roots = rootTable(n);
        for (int64_t k = 0; k <= n / 2; ++k) {
            ComplexD sum = 0;
            for (int64_t j = 0, a = 0; j < n; ++j, a = a + k >= n ? a + k - n : a + k)
                sum += static_cast<double>(x[j]) * roots[a];
            bins[k] = sum;
        }
        return bins;
    }
    double* in = fftw_alloc_real(static_cast<size_t>(n));
    fftw_complex* out = fftw_alloc_complex(static_cast<size_t>(n / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), in, out, FFTW_ESTIMATE);
    for (int64_t j = 0; j < n; ++j) in[j] = x[j];
    fftw_execute(plan);
    for (int64_t k = 0; k <= n / 2; ++k) bins[k] = {out[k][0], out[k][1]};
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
    return bins;
}

std::vector<double> referenceRealInverse(const std::vector<ComplexD>& bins, int64_t n) {
    std::vector<double> x(static_cast<size_t>(n));
    if (n == 1) {
        x[0] = bins[0].real();
        return x;
    }
    if (n <= kDirectLimit) {
        for (int64_t j = 0; j < n; ++j) {
            double sum = bins[0].real() + ((j & 1) ? -1.0 : 1.0) * bins[n / 2].real();
            for (int64_t k = 1; k < n / 2; ++k) {
                const ComplexD w = std::conj(root(k * j, n));
                sum += 2.0 * (bins[k] * w).real();
            }
            x[j] = sum;
        }
        return x;
    }
    fftw_complex* in = fftw_alloc_complex(static_cast<size_t>(n / 2 + 1));
    double* out = fftw_alloc_real(static_cast<size_t>(n));
    fftw_plan plan = fftw_plan_dft_c2r_1d(static_cast<int>(n), in, out, FFTW_ESTIMATE);
    for (int64_t k = 0; k <= n / 2; ++k) {
        in[k][0] = bins[k].real();
        in[k][1] = (k == 0 || k == n / 2) ? 0.0 : bins[k].imag();
    }
    fftw_execute(plan);
    for (int64_t j = 0; j < n; ++j) x[j] = out[j];
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
    return x;
}

std::vector<ComplexD> referenceComplexDft(const std::vector<ComplexD>& x, bool inverse) {
    const auto n = static_cast<int64_t>(x.size());
    std::vector<ComplexD> y(x.size());
    const std::vector<ComplexD> roots = rootTable(n);
    for (int64_t k = 0; k < n; ++k) {
        ComplexD sum = 0;
        for (int64_t j = 0, a = 0; j < n; ++j, a = a + k >= n ? a + k - n : a + k) {
            const ComplexD w = roots[a];
            sum += x[j] * (inverse ? std::conj(w) : w);
        }
        y[k] = sum;
    }
    return y;
}

std::vector<ComplexD> referenceComplexTransform(const std::vector<ComplexD>& x, bool inverse) {
    const auto n = static_cast<int64_t>(x.size());
    if (n <= kDirectLimit) return referenceComplexDft(x, inverse);
    auto* data = fftw_alloc_complex(static_cast<size_t>(n));
    fftw_plan plan = fftw_plan_dft_1d(static_cast<int>(n), data, data, inverse ? FFTW_BACKWARD : FFTW_FORWARD,
                                      FFTW_ESTIMATE);
    for (int64_t j = 0; j < n; ++j) {
        data[j][0] = x[j].real();
        data[j][1] = x[j].imag();
    }
    fftw_execute(plan);
    std::vector<ComplexD> y(x.size());
    for (int64_t k = 0; k < n; ++k) y[k] = {data[k][0], data[k][1]};
    fftw_destroy_plan(plan);
    fftw_free(data);
    return y;
}

std::vector<double> permOf(const std::vector<ComplexD>& bins, int64_t n) {
    std::vector<double> perm(static_cast<size_t>(n));
    perm[0] = bins[0].real();
    if (n == 1) return perm;
    if (n % 2 != 0) {
        for (int64_t k = 1; 2 * k < n; ++k) {
            perm[2 * k - 1] = bins[k].real();
            perm[2 * k] = bins[k].imag();
        }
        return perm;
    }
    perm[1] = bins[n / 2].real();
    for (int64_t k = 1; k < n / 2; ++k) {
        perm[2 * k] = bins[k].real();
        perm[2 * k + 1] = bins[k].imag();
    }
    return perm;
}

std::vector<double> ccsOf(const std::vector<ComplexD>& bins, int64_t n) {
    // Two floats for N = 1, N + 2 otherwise.
    std::vector<double> ccs(static_cast<size_t>(n == 1 ? 2 : n + 2), 0.0);
    for (int64_t k = 0; k <= n / 2; ++k) {
        ccs[2 * k] = bins[k].real();
        ccs[2 * k + 1] = (k == 0 || k == n / 2) ? 0.0 : bins[k].imag();
    }
    return ccs;
}

std::string checkTolerance(const float* y, const std::vector<double>& ref, int32_t order, double scale) {
    const double eps = std::ldexp(1.0, -24);
    const double l = std::max(order, 1);
    double errSq = 0, refSq = 0, worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < ref.size(); ++i) {
        const double r = ref[i] * scale;
        const double e = std::abs(static_cast<double>(y[i]) - r);
        if (!(e <= worst) || std::isnan(e)) {
            worst = std::isnan(e) ? INFINITY : e;
            worstAt = i;
        }
        errSq += e * e;
        refSq += r * r;
    }
    const double norm = std::sqrt(refSq), rms = std::sqrt(refSq / static_cast<double>(ref.size()));
    std::ostringstream out;
    if (!(std::sqrt(errSq) <= 8 * l * eps * norm))
        out << "relative error " << std::sqrt(errSq) / norm << " above " << 8 * l * eps << "; ";
    if (!(worst <= 32 * l * eps * rms))
        out << "element " << worstAt << " is " << y[worstAt] << ", reference " << ref[worstAt] * scale
            << " (error " << worst << " above " << 32 * l * eps * rms << ")";
    return out.str();
}

std::vector<float> uniformSignal(int64_t n, uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> x(static_cast<size_t>(n));
    for (float& v : x) v = uniform(generator);
    return x;
}

}  // namespace primitives::test
