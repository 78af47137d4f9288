// Two channel buffers to interleaved 16-, 24- and 32-bit output, against
// libsamplerate's conversion of an interleaved float array of the same
// sample count to 16 or 32 bits.
#include "audio/SampleConversion.h"

#include <benchmark/benchmark.h>
#include <samplerate.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

struct Input {
    explicit Input(int frames) : left(frames), right(frames), interleaved(2 * frames) {
        std::mt19937 random(5);
        std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
        for (int i = 0; i < frames; ++i) {
            left[i] = sample(random);
            right[i] = sample(random);
            interleaved[2 * i] = left[i];
            interleaved[2 * i + 1] = right[i];
        }
    }
    std::vector<float> left;
    std::vector<float> right;
    std::vector<float> interleaved;
};

void interleave(benchmark::State& state, int bits) {
    const int frames = static_cast<int>(state.range(0));
    Input input(frames);
    const float* channels[2] = {input.left.data(), input.right.data()};
    std::vector<std::uint8_t> out(static_cast<std::size_t>(frames) * 2 * bits / 8);
    for (auto _ : state) {
        interleaveSamples(channels, 2, frames, bits, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * frames);
}

void ours16(benchmark::State& state) { interleave(state, 16); }
void ours24(benchmark::State& state) { interleave(state, 24); }
void ours32(benchmark::State& state) { interleave(state, 32); }

void libsamplerate16(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    Input input(frames);
    std::vector<short> out(2 * static_cast<std::size_t>(frames));
    for (auto _ : state) {
        src_float_to_short_array(input.interleaved.data(), out.data(), 2 * frames);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * frames);
}

void libsamplerate32(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    Input input(frames);
    std::vector<int> out(2 * static_cast<std::size_t>(frames));
    for (auto _ : state) {
        src_float_to_int_array(input.interleaved.data(), out.data(), 2 * frames);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 2 * frames);
}

BENCHMARK(ours16)->Arg(44)->Arg(2205)->Arg(44100);
BENCHMARK(libsamplerate16)->Arg(44)->Arg(2205)->Arg(44100);
BENCHMARK(ours32)->Arg(44)->Arg(2205)->Arg(44100);
BENCHMARK(libsamplerate32)->Arg(44)->Arg(2205)->Arg(44100);
BENCHMARK(ours24)->Arg(44)->Arg(2205)->Arg(44100);

}  // namespace
