// The complex conversions of the phase-vocoder time scaler, each build
// called directly, against plain loops over the C++ library in the same
// binary. Lengths: 1024 (one frame) and 513 (the bins converted per frame).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "primitives/core/DispatchRecords.h"

namespace {

constexpr float kPi = 3.14159265f;

struct Inputs {
    std::vector<float> magnitude, phase, widePhase;
    std::vector<Complex32f> complex;
    explicit Inputs(std::size_t n) : magnitude(n), phase(n), widePhase(n), complex(n) {
        std::mt19937 random(42);
        std::uniform_real_distribution<float> exponent(-6.0f, 1.0f), angle(-kPi, kPi), wide(-1e4f, 1e4f);
        for (std::size_t i = 0; i < n; ++i) {
            magnitude[i] = std::pow(10.0f, exponent(random));  // 1e-6 .. 10
            phase[i] = angle(random);
            widePhase[i] = wide(random);  // the time scaler never wraps its phases
            complex[i] = {magnitude[i] * std::cos(phase[i]), magnitude[i] * std::sin(phase[i])};
        }
    }
};

bool hostRuns(int32_t build) { return build != 4 || cpuHasSse3(); }

void argumentsOf(benchmark::internal::Benchmark* b) {
    for (int64_t length : {1024, 513}) {
        for (int64_t build = 1; build <= 4; ++build) b->Args({build, length});
    }
    b->ArgNames({"build", "length"});
}

void magnitude(benchmark::State& state) {
    const auto build = static_cast<int32_t>(state.range(0));
    if (!hostRuns(build)) return state.SkipWithError("build not supported here");
    const auto n = static_cast<int32_t>(state.range(1));
    Inputs in(n);
    std::vector<float> out(n);
    auto* body = zaviMagnitude_32fc_dispatch.table[build];
    for (auto _ : state) {
        benchmark::DoNotOptimize(body(in.complex.data(), out.data(), n));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(magnitude)->Apply(argumentsOf);

void magnitudeStdHypot(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    Inputs in(n);
    std::vector<float> out(n);
    for (auto _ : state) {
        for (int32_t i = 0; i < n; ++i) out[i] = std::hypot(in.complex[i].re, in.complex[i].im);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(magnitudeStdHypot)->Arg(1024)->Arg(513)->ArgName("length");

void cartToPolar(benchmark::State& state) {
    const auto build = static_cast<int32_t>(state.range(0));
    if (!hostRuns(build)) return state.SkipWithError("build not supported here");
    const auto n = static_cast<int32_t>(state.range(1));
    Inputs in(n);
    std::vector<float> m(n), p(n);
    auto* body = zaviCartToPolar_32fc_dispatch.table[build];
    for (auto _ : state) {
        benchmark::DoNotOptimize(body(in.complex.data(), m.data(), p.data(), n));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(cartToPolar)->Apply(argumentsOf);

void cartToPolarStd(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    Inputs in(n);
    std::vector<float> m(n), p(n);
    for (auto _ : state) {
        for (int32_t i = 0; i < n; ++i) {
            m[i] = std::hypot(in.complex[i].re, in.complex[i].im);
            p[i] = std::atan2(in.complex[i].im, in.complex[i].re);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(cartToPolarStd)->Arg(1024)->Arg(513)->ArgName("length");

template <bool Wide>
void polarToCart(benchmark::State& state) {
    const auto build = static_cast<int32_t>(state.range(0));
    if (!hostRuns(build)) return state.SkipWithError("build not supported here");
    const auto n = static_cast<int32_t>(state.range(1));
    Inputs in(n);
    std::vector<Complex32f> out(n);
    auto* body = zaviPolarToCart_32fc_dispatch.table[build];
    const float* phases = Wide ? in.widePhase.data() : in.phase.data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(body(in.magnitude.data(), phases, out.data(), n));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(polarToCart<false>)->Name("polarToCart")->Apply(argumentsOf);
BENCHMARK(polarToCart<true>)->Name("polarToCartWidePhases")->Apply(argumentsOf);

template <bool Wide>
void polarToCartStd(benchmark::State& state) {
    const auto n = static_cast<int32_t>(state.range(0));
    Inputs in(n);
    std::vector<Complex32f> out(n);
    const std::vector<float>& phases = Wide ? in.widePhase : in.phase;
    for (auto _ : state) {
        for (int32_t i = 0; i < n; ++i) {
            out[i] = {in.magnitude[i] * std::cos(phases[i]), in.magnitude[i] * std::sin(phases[i])};
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(polarToCartStd<false>)->Name("polarToCartStd")->Arg(1024)->Arg(513)->ArgName("length");
BENCHMARK(polarToCartStd<true>)->Name("polarToCartStdWidePhases")->Arg(1024)->Arg(513)->ArgName("length");

}  // namespace
