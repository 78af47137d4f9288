// What the dispatch stub adds to a call: an entry through its stub against a
// call of the same build's body through a pointer. The entry is zoveZiva on
// null, whose body returns at once, so the call itself is what is measured.
#include <benchmark/benchmark.h>

#include "primitives/core/DispatchRecords.h"

namespace {

void releaseNullThroughStub(benchmark::State& state) {
    initCpuDispatch();
    void* block = nullptr;
    for (auto _ : state) {
        benchmark::DoNotOptimize(block);
        zoveZiva(block);
    }
}
BENCHMARK(releaseNullThroughStub);

void releaseNullThroughBodyPointer(benchmark::State& state) {
    initCpuDispatch();
    auto* body = zoveZiva_dispatch.table[CpuDispatchIndex.load()];
    benchmark::DoNotOptimize(body);  // an opaque pointer: the call stays indirect
    void* block = nullptr;
    for (auto _ : state) {
        benchmark::DoNotOptimize(block);
        body(block);
    }
}
BENCHMARK(releaseNullThroughBodyPointer);

}  // namespace
