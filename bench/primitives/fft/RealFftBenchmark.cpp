// The real FFT against FFTW (single precision, measured plans, one thread)
// and KissFFT: the time scaler's order-10 pair and the scope's forward
// transform to Perm at orders 6 to 16. Our builds are called directly; the
// context names the build the dispatcher chose on this machine.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#ifdef VELKARN_HAVE_KISSFFT
#include <kiss_fftr.h>
#endif

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "primitives/core/DispatchRecords.h"
#include "primitives/core/Dispatcher.h"
#include "primitives.h"

namespace {

const char* buildNames[] = {"generic", "generic", "sse", "sse2", "sse3"};

// A 32-byte-aligned float array filled with fixed-seed noise.
struct Signal {
    explicit Signal(int64_t n) : data(static_cast<float*>(std::aligned_alloc(32, static_cast<size_t>(n + 8) * 4))) {
        std::mt19937 generator(7);
        std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
        for (int64_t i = 0; i < n + 8; ++i) data[i] = uniform(generator);
    }
    ~Signal() { std::free(data); }
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    float* data;
};

// A spec and the caller's buffer, made before timing.
struct Prepared {
    Prepared(int32_t build, int32_t order, int32_t flag) {
        zaviFFTInitAlloc_R_32f_dispatch.table[build](&spec, order, flag, 0);
        int32_t size = 0;
        zaviFFTGetBufSize_R_32f_dispatch.table[build](spec, &size);
        buffer = size > 0 ? vaduRivuro_8v(size) : nullptr;
    }
    ~Prepared() {
        zoveZiva(buffer);
        zaviFFTFree_R_32f(spec);
    }
    RealFftSpec_32f* spec = nullptr;
    uint8_t* buffer = nullptr;
};

void vocoderPair(benchmark::State& state, int32_t build) {
    Prepared prepared(build, 10, fftDivideInverseByN);
    Signal x(1024), spectrum(1026), y(1024);
    auto* forward = zaviFFTFwd_RToCCS_32f_dispatch.table[build];
    auto* inverse = zaviFFTInv_CCSToR_32f_dispatch.table[build];
    for (auto _ : state) {
        forward(x.data, spectrum.data, prepared.spec, prepared.buffer);
        inverse(spectrum.data, y.data, prepared.spec, prepared.buffer);
        benchmark::DoNotOptimize(y.data);
        benchmark::ClobberMemory();
    }
}

void vocoderPairFftw(benchmark::State& state) {
    Signal x(1024), y(1024);
    auto* spectrum = static_cast<fftwf_complex*>(fftwf_malloc(513 * sizeof(fftwf_complex)));
    fftwf_plan r2c = fftwf_plan_dft_r2c_1d(1024, x.data, spectrum, FFTW_MEASURE);
    fftwf_plan c2r = fftwf_plan_dft_c2r_1d(1024, spectrum, y.data, FFTW_MEASURE);
    Signal fresh(1024);
    std::memcpy(x.data, fresh.data, 4096);
    for (auto _ : state) {
        fftwf_execute(r2c);  // refills the spectrum that c2r overwrote
        fftwf_execute(c2r);
        benchmark::DoNotOptimize(y.data);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(r2c);
    fftwf_destroy_plan(c2r);
    fftwf_free(spectrum);
}

#ifdef VELKARN_HAVE_KISSFFT
void vocoderPairKiss(benchmark::State& state) {
    kiss_fftr_cfg forward = kiss_fftr_alloc(1024, 0, nullptr, nullptr);
    kiss_fftr_cfg inverse = kiss_fftr_alloc(1024, 1, nullptr, nullptr);
    Signal x(1024), y(1024);
    std::vector<kiss_fft_cpx> spectrum(513);
    for (auto _ : state) {
        kiss_fftr(forward, x.data, spectrum.data());
        kiss_fftri(inverse, spectrum.data(), y.data);
        benchmark::DoNotOptimize(y.data);
        benchmark::ClobberMemory();
    }
    kiss_fftr_free(forward);
    kiss_fftr_free(inverse);
}
#endif

void scopePerm(benchmark::State& state, int32_t build) {
    const auto order = static_cast<int32_t>(state.range(0));
    const int64_t n = int64_t{1} << order;
    Prepared prepared(build, order, fftDivideForwardByN);
    Signal x(n), y(n);
    auto* forward = zaviFFTFwd_RToPerm_32f_dispatch.table[build];
    for (auto _ : state) {
        forward(x.data, y.data, prepared.spec, prepared.buffer);
        benchmark::DoNotOptimize(y.data);
        benchmark::ClobberMemory();
    }
}

void scopeFftw(benchmark::State& state) {
    const auto n = static_cast<int>(int64_t{1} << state.range(0));
    Signal x(n);
    auto* spectrum = static_cast<fftwf_complex*>(fftwf_malloc(static_cast<size_t>(n / 2 + 1) * sizeof(fftwf_complex)));
    fftwf_plan r2c = fftwf_plan_dft_r2c_1d(n, x.data, spectrum, FFTW_MEASURE);
    Signal fresh(n);
    std::memcpy(x.data, fresh.data, static_cast<size_t>(n) * 4);
    for (auto _ : state) {
        fftwf_execute(r2c);
        benchmark::DoNotOptimize(spectrum);
        benchmark::ClobberMemory();
    }
    fftwf_destroy_plan(r2c);
    fftwf_free(spectrum);
}

#ifdef VELKARN_HAVE_KISSFFT
void scopeKiss(benchmark::State& state) {
    const auto n = static_cast<int>(int64_t{1} << state.range(0));
    kiss_fftr_cfg forward = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    Signal x(n);
    std::vector<kiss_fft_cpx> spectrum(static_cast<size_t>(n / 2 + 1));
    for (auto _ : state) {
        kiss_fftr(forward, x.data, spectrum.data());
        benchmark::DoNotOptimize(spectrum.data());
        benchmark::ClobberMemory();
    }
    kiss_fftr_free(forward);
}
#endif

const bool registered = [] {
    initCpuDispatch();
    benchmark::AddCustomContext("dispatched build", buildNames[CpuDispatchIndex.load()]);
    for (int32_t build = primitives::kFirstBuild; build <= primitives::kLastBuild; ++build) {
        benchmark::RegisterBenchmark((std::string("VocoderPair/") + buildNames[build]).c_str(), vocoderPair, build);
    }
    benchmark::RegisterBenchmark("VocoderPair/fftw", vocoderPairFftw);
#ifdef VELKARN_HAVE_KISSFFT
    benchmark::RegisterBenchmark("VocoderPair/kissfft", vocoderPairKiss);
#endif
    for (int32_t build = primitives::kFirstBuild; build <= primitives::kLastBuild; ++build) {
        benchmark::RegisterBenchmark((std::string("ScopePerm/") + buildNames[build]).c_str(), scopePerm, build)
            ->DenseRange(6, 16);
    }
    benchmark::RegisterBenchmark("ScopePerm/fftw", scopeFftw)->DenseRange(6, 16);
#ifdef VELKARN_HAVE_KISSFFT
    benchmark::RegisterBenchmark("ScopePerm/kissfft", scopeKiss)->DenseRange(6, 16);
#endif
    return true;
}();

}  // namespace
