// The aligned allocators against the C library's allocators they sit on.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "primitives.h"

namespace {

void revoRovaraThenZoveZiva(benchmark::State& state) {
    const auto length = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        float* block = revoRovara_32z(length);
        benchmark::DoNotOptimize(block);
        zoveZiva(block);
    }
}
BENCHMARK(revoRovaraThenZoveZiva)->RangeMultiplier(16)->Range(16, 1 << 20);

void mallocThenFree(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0)) * sizeof(float);
    for (auto _ : state) {
        void* block = std::malloc(bytes);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}
BENCHMARK(mallocThenFree)->RangeMultiplier(16)->Range(16, 1 << 20);

void alignedAllocThenFree(benchmark::State& state) {
    // aligned_alloc wants a size that is a multiple of the alignment.
    const auto bytes = (static_cast<std::size_t>(state.range(0)) * sizeof(float) + 31) & ~std::size_t{31};
    for (auto _ : state) {
        void* block = std::aligned_alloc(32, bytes);
        benchmark::DoNotOptimize(block);
        std::free(block);
    }
}
BENCHMARK(alignedAllocThenFree)->RangeMultiplier(16)->Range(16, 1 << 20);

}  // namespace
