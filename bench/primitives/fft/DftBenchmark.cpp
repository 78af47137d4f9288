// The DFT of any length and the autocorrelation against FFTW (single
// precision, measured plans made before timing, 32-byte-aligned buffers, one
// thread). Our builds are called directly; the context names the build the
// dispatcher chose on this machine, and each case's label names its path.
//   Dft/<length>/<build>:        forward DFT to Perm, flag 1, the caller's buffer
//   Dft/<length>/fftw:           fftwf_plan_dft_r2c_1d, scaled by 1/N
//   AutoCorr/<srcLen>/<lags>/... zaviAutoCorr_32f; the peer: r2c of the signal
//                                zero-padded to 2^c >= 2 srcLen, |X|^2, c2r, 1/2^c
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "primitives/core/DispatchRecords.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/DftRoutines.h"
#include "primitives/fft/RealFftSpec.h"
#include "primitives.h"

namespace {

const char* buildNames[] = {"generic", "generic", "sse", "sse2", "sse3"};

const char* pathLabel(primitives::DftPath path) {
    switch (path) {
    case primitives::DftPath::smallKernel: return "kernel";
    case primitives::DftPath::realFft: return "real FFT";
    case primitives::DftPath::mixedRadixReal: return "mixed radix, odd";
    case primitives::DftPath::mixedRadixComplex: return "mixed radix, even";
    case primitives::DftPath::directOdd: return "direct, odd";
    case primitives::DftPath::directEven: return "direct, even";
    case primitives::DftPath::chirpOdd: return "chirp-z, odd";
    case primitives::DftPath::chirpEven: return "chirp-z, even";
    }
    return "?";
}

// A 32-byte-aligned float array filled with fixed-seed noise (or a beat
// envelope: non-negative, a pulse every 144 values).
struct Signal {
    explicit Signal(int64_t n, bool beats = false)
        : data(static_cast<float*>(std::aligned_alloc(32, static_cast<size_t>((n + 8 + 7) / 8 * 8) * 4))) {
        std::mt19937 generator(7);
        std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
        for (int64_t i = 0; i < n + 8; ++i) {
            data[i] = beats ? static_cast<float>(0.8 * std::exp(-12.0 * static_cast<double>(i % 144) / 144.0)) +
                                  0.1f * (uniform(generator) + 1.0f)
                            : uniform(generator);
        }
    }
    ~Signal() { std::free(data); }
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    float* data;
};

void dft(benchmark::State& state, int32_t build) {
    const auto length = static_cast<int32_t>(state.range(0));
    RealDftSpec_32f* spec = nullptr;
    zaviDFTInitAlloc_R_32f_dispatch.table[build](&spec, length, fftDivideForwardByN, 0);
    int32_t size = 0;
    zaviDFTGetBufSize_R_32f_dispatch.table[build](spec, &size);
    uint8_t* buffer = size > 0 ? vaduRivuro_8v(size) : nullptr;
    Signal x(length), y(length);
    auto* forward = zaviDFTFwd_RToPerm_32f_dispatch.table[build];
    for (auto _ : state) {
        forward(x.data, y.data, spec, buffer);
        benchmark::DoNotOptimize(y.data);
        benchmark::ClobberMemory();
    }
    state.SetLabel(pathLabel(primitives::dftPlan(build, length).path));
    zoveZiva(buffer);
    zaviDFTFree_R_32f_dispatch.table[build](spec);
}

void dftFftw(benchmark::State& state) {
    const auto n = static_cast<int>(state.range(0));
    Signal x(n);
    auto* spectrum = static_cast<fftwf_complex*>(fftwf_malloc(static_cast<size_t>(n / 2 + 1) * sizeof(fftwf_complex)));
    fftwf_plan r2c = fftwf_plan_dft_r2c_1d(n, x.data, spectrum, FFTW_MEASURE);
    Signal fresh(n);
    std::memcpy(x.data, fresh.data, static_cast<size_t>(n) * 4);
    const float scale = 1.0f / static_cast<float>(n);
    for (auto _ : state) {
        fftwf_execute(r2c);
        for (int k = 0; k <= n / 2; ++k) {
            spectrum[k][0] *= scale;
            spectrum[k][1] *= scale;
        }
        benchmark::DoNotOptimize(spectrum);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(r2c);
    fftwf_free(spectrum);
}

void autoCorr(benchmark::State& state, int32_t build) {
    const auto srcLen = static_cast<int32_t>(state.range(0));
    const auto lags = static_cast<int32_t>(state.range(1));
    Signal x(srcLen, true), y(lags);
    auto* body = zaviAutoCorr_32f_dispatch.table[build];
    for (auto _ : state) {
        body(x.data, srcLen, y.data, lags);
        benchmark::DoNotOptimize(y.data);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::min(srcLen, lags) < primitives::kAutoCorrDirectLimit[build] ? "direct" : "FFT");
}

void autoCorrFftw(benchmark::State& state) {
    const auto srcLen = static_cast<int32_t>(state.range(0));
    const auto lags = static_cast<int32_t>(state.range(1));
    int n = 2;
    while (n < 2 * srcLen) n *= 2;
    Signal x(srcLen, true), y(lags);
    auto* padded = static_cast<float*>(fftwf_malloc(static_cast<size_t>(n) * 4));
    auto* spectrum = static_cast<fftwf_complex*>(fftwf_malloc(static_cast<size_t>(n / 2 + 1) * sizeof(fftwf_complex)));
    fftwf_plan r2c = fftwf_plan_dft_r2c_1d(n, padded, spectrum, FFTW_MEASURE);
    fftwf_plan c2r = fftwf_plan_dft_c2r_1d(n, spectrum, padded, FFTW_MEASURE);
    const float scale = 1.0f / static_cast<float>(n);
    for (auto _ : state) {
        std::memcpy(padded, x.data, static_cast<size_t>(srcLen) * 4);
        std::memset(padded + srcLen, 0, static_cast<size_t>(n - srcLen) * 4);
        fftwf_execute(r2c);
        for (int k = 0; k <= n / 2; ++k) {
            spectrum[k][0] = spectrum[k][0] * spectrum[k][0] + spectrum[k][1] * spectrum[k][1];
            spectrum[k][1] = 0.0f;
        }
        fftwf_execute(c2r);
        for (int k = 0; k < lags; ++k) y.data[k] = padded[k] * scale;
        benchmark::DoNotOptimize(y.data);
        benchmark::ClobberMemory();
    }
    state.SetLabel("FFT");
    fftwf_destroy_plan(r2c);
    fftwf_destroy_plan(c2r);
    fftwf_free(padded);
    fftwf_free(spectrum);
}

const bool registered = [] {
    initCpuDispatch();
    benchmark::AddCustomContext("dispatched build", buildNames[CpuDispatchIndex.load()]);
    for (int64_t length : {179, 1000, 1764, 2001, 44100, 65537}) {
        for (int32_t build : {primitives::buildSse2, primitives::buildSse3}) {
            benchmark::RegisterBenchmark(("Dft/" + std::to_string(length) + "/" + buildNames[build]).c_str(), dft,
                                         build)
                ->Arg(length);
        }
        benchmark::RegisterBenchmark(("Dft/" + std::to_string(length) + "/fftw").c_str(), dftFftw)->Arg(length);
    }
    for (int64_t srcLen : {51840, 172800}) {
        for (int64_t lags : {576, 769}) {
            const std::string name = "AutoCorr/" + std::to_string(srcLen) + "/" + std::to_string(lags) + "/";
            for (int32_t build = primitives::kFirstBuild; build <= primitives::kLastBuild; ++build)
                benchmark::RegisterBenchmark((name + buildNames[build]).c_str(), autoCorr, build)->Args({srcLen, lags});
            benchmark::RegisterBenchmark((name + "fftw").c_str(), autoCorrFftw)->Args({srcLen, lags});
        }
    }
    return true;
}();

}  // namespace
