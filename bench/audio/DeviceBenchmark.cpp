// Blocks per second through each device on the null device stepped by the
// virtual clock (the device, the layer's emulation and the hand-offs
// between their threads), with a producer that only writes a constant;
// against the block code both devices share, in a bare loop. The counter
// "realtime" is the multiple of real time (rate / frames blocks a second).
#include "audio/AudioClient.h"
#include "audio/DirectSoundOut.h"
#include "audio/FormatAudio.h"
#include "audio/MotorCore.h"
#include "audio/WaveOut.h"
#include "platform/Clock.h"
#include "platform/audio/NullAudio.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

class ConstantProducer : public AudioClient {
public:
    void render(Motor*, float** channels, std::int32_t frames) override {
        for (int c = 0; c < 2; ++c) {
            for (int f = 0; f < frames; ++f) channels[c][f] = 0.25f;
        }
    }
};

// A latency whose truncated block size is exactly `frames` at 44.1 kHz.
float latencyFor(int frames) { return (static_cast<float>(frames) + 0.5f) / 44.1f; }

void report(benchmark::State& state, int frames) {
    state.counters["blocks/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames / 44100.0, benchmark::Counter::kIsRate);
}

template <typename Device>
void steppedDevice(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    platform::VirtualClock::enable();
    FormatAudio format;
    ConstantProducer producer;
    std::unique_ptr<Motor> device;
    if constexpr (std::is_same_v<Device, WaveOut>) {
        device = std::make_unique<WaveOut>(-1, format, latencyFor(frames), &producer);
    } else {
        device = std::make_unique<DirectSoundOut>(nullptr, format, latencyFor(frames), &producer, nullptr);
    }
    const int stream = platform::audio::NullAudio::newestStream();
    device->start();
    for (auto _ : state) platform::audio::NullAudio::advanceToDeadline(stream, 1);
    device.reset();
    platform::audio::NullAudio::forget();
    platform::VirtualClock::disable();
    report(state, frames);
}

void bareBlockLoop(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    FormatAudio format;
    ConstantProducer producer;
    MotorCore core(format, latencyFor(frames), &producer, "no block");
    std::vector<std::uint8_t> out(static_cast<std::size_t>(core.blockBytes()));
    for (auto _ : state) {
        core.renderBlock(nullptr, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    report(state, frames);
}

BENCHMARK(steppedDevice<DirectSoundOut>)->Name("DirectSoundOut")->Arg(44)->Arg(441)->Arg(2205)->UseRealTime();
BENCHMARK(steppedDevice<WaveOut>)->Name("WaveOut")->Arg(44)->Arg(441)->Arg(2205)->UseRealTime();
BENCHMARK(bareBlockLoop)->Name("MotorCore bare loop")->Arg(44)->Arg(441)->Arg(2205);

}  // namespace

int main(int argc, char** argv) {
    // Only the null device: the figures are the program's, not a sound card's.
    ::setenv("VELKARN_AUDIO", "null", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
