// What the dispatch stub adds to a call: an entry through its stub against a
// direct call of the same build's body.
#include <benchmark/benchmark.h>

#include "primitives/core/DispatchRecords.h"

namespace {

void statusTextThroughStub(benchmark::State& state) {
    initCpuDispatch();
    PrimitiveStatus status = -8;
    for (auto _ : state) {
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(duvAduZurideVizide(status));
    }
}
BENCHMARK(statusTextThroughStub);

void statusTextDirect(benchmark::State& state) {
    initCpuDispatch();
    auto* volatile body = duvAduZurideVizide_dispatch.table[CpuDispatchIndex.load()];
    PrimitiveStatus status = -8;
    for (auto _ : state) {
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(body(status));
    }
}
BENCHMARK(statusTextDirect);

}  // namespace
