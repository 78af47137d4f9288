// The phase-vocoder time scaler as the song renderer calls it (one call per
// 120 BPM beat with its margins) and in one call over the whole input, the
// 2-point interpolator on the same beats for context, and two peers: a
// stretcher library in real-time mode with its faster (R2) and finer (R3)
// engines, and a tempo changer library with its default settings. Every
// case reads the same generated 60 s of mono 44.1 kHz audio (harmonic
// notes and decaying clicks, fixed seed), single-threaded.
//
// The counter xRT is seconds of output audio per CPU second. At the end a
// table gives xRT per case and ratio and the ratio of ours (per beat) to
// each peer. VELKARN_BENCH_SECONDS shortens the input (the CI smoke run).
#include "audio/Interpolator.h"
#include "audio/TimeScalerPV.h"
#include "primitives.h"
#include "primitives/core/CpuDetection.h"
#include "primitives/core/Dispatcher.h"

#include <benchmark/benchmark.h>
#include <rubberband/RubberBandStretcher.h>
#include <soundtouch/SoundTouch.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double rate = 44100.0;
constexpr std::int32_t beatFrames = 22050;  // 120 BPM
constexpr std::int32_t frameSize = 1024;
constexpr std::int32_t overlapFrames = 441;  // 10 ms
constexpr std::int32_t block = 1024;
const float ratios[] = {0.9f, 0.95f, 1.0f, 1.05f, 1.1f};

// Notes of five harmonics with decaying partials, a new note every 0.2 to
// 0.6 s, and a click of decaying noise every 0.25 to 1 s.
std::vector<float> makeInput() {
    double seconds = 60.0;
    if (const char* text = std::getenv("VELKARN_BENCH_SECONDS")) seconds = std::max(2.0, std::atof(text));
    const auto count = static_cast<std::size_t>(seconds * rate);
    std::vector<float> signal(count, 0.0f);
    std::mt19937 random(1523);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (std::size_t start = 0; start < count;) {
        const auto length = static_cast<std::size_t>((0.2 + 0.4 * unit(random)) * rate);
        const double pitch = 110.0 * std::pow(2.0, std::floor(unit(random) * 36.0) / 12.0);
        for (std::size_t i = start; i < std::min(count, start + length); ++i) {
            const double t = static_cast<double>(i - start) / rate;
            double value = 0.0;
            for (int h = 1; h <= 5; ++h) value += std::sin(2.0 * std::numbers::pi * pitch * h * t) * 0.12 / h;
            signal[i] = static_cast<float>(value * std::exp(-1.5 * t));
        }
        start += length;
    }
    std::normal_distribution<double> noise(0.0, 0.3);
    for (std::size_t at = 0; at < count;) {
        for (std::size_t i = at; i < std::min(count, at + 2205); ++i) {
            signal[i] += static_cast<float>(noise(random) * std::exp(-static_cast<double>(i - at) / 220.0));
        }
        at += static_cast<std::size_t>((0.25 + 0.75 * unit(random)) * rate);
    }
    return signal;
}

const std::vector<float>& input() {
    static const std::vector<float> signal = makeInput();
    return signal;
}

void reportOutput(benchmark::State& state, double outputFrames) {
    state.counters["xRT"] = benchmark::Counter(outputFrames / rate, benchmark::Counter::kIsIterationInvariantRate);
}

// The renderer's calls: per beat D = v + 2A + 2C + 1 frames from song frame
// p - A - C, v = 22050, A the margin (the frame size, or 4 for the
// interpolator), C the half overlap in song frames. Each beat keeps v x h
// output frames: that is the output counted.
template <typename Fit>
void runBeats(benchmark::State& state, float ratio, std::int32_t margin, Fit fit) {
    const std::vector<float>& in = input();
    const std::int32_t c = static_cast<std::int32_t>(static_cast<float>(overlapFrames / 2) / ratio + 0.5f);
    const std::int32_t d = beatFrames + 2 * margin + 2 * c + 1;
    std::vector<float> out(static_cast<std::size_t>(d * 2.0) + 16);
    const auto beats = (static_cast<std::int64_t>(in.size()) - d) / beatFrames;
    for (auto _ : state) {
        for (std::int64_t beat = 0; beat < beats; ++beat) {
            fit(in.data() + beat * beatFrames, out.data(), d);
            benchmark::DoNotOptimize(out.data());
        }
        benchmark::ClobberMemory();
    }
    reportOutput(state, static_cast<double>(beats) * beatFrames * ratio);
}

void oursPerBeat(benchmark::State& state, float ratio) {
    TimeScalerPV scaler(frameSize, 4);
    runBeats(state, ratio, frameSize, [&](const float* in, float* out, std::int32_t d) { scaler.process(in, out, d, ratio); });
}

void interpolatorPerBeat(benchmark::State& state, float ratio) {
    const Interpolator interpolator(2);
    runBeats(state, ratio, 4, [&](const float* in, float* out, std::int32_t d) {
        interpolator.process(in, out, d, ratio, d);
    });
}

void oursWhole(benchmark::State& state, float ratio) {
    const std::vector<float>& in = input();
    const auto count = static_cast<std::int32_t>(in.size());
    std::vector<float> out(static_cast<std::size_t>(count * 1.2));
    TimeScalerPV scaler(frameSize, 4);
    for (auto _ : state) {
        scaler.process(in.data(), out.data(), count, ratio);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    reportOutput(state, std::floor(static_cast<double>(count) * ratio));
}

// Real-time mode, fed 1024-frame blocks: process, then retrieve what is
// available.
void stretcher(benchmark::State& state, float ratio, RubberBand::RubberBandStretcher::Options engine) {
    const std::vector<float>& in = input();
    std::vector<float> out(8192 * 4);
    double produced = 0.0;
    for (auto _ : state) {
        RubberBand::RubberBandStretcher rb(static_cast<std::size_t>(rate), 1,
                                           RubberBand::RubberBandStretcher::OptionProcessRealTime | engine, ratio);
        produced = 0.0;
        for (std::size_t at = 0; at < in.size(); at += block) {
            const std::size_t n = std::min<std::size_t>(block, in.size() - at);
            const float* channel = in.data() + at;
            rb.process(&channel, n, at + n == in.size());
            for (int available = rb.available(); available > 0; available = rb.available()) {
                float* target = out.data();
                produced += static_cast<double>(rb.retrieve(&target, std::min<std::size_t>(available, out.size())));
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    reportOutput(state, produced);
}

void tempoChanger(benchmark::State& state, float ratio) {
    const std::vector<float>& in = input();
    std::vector<float> out(8192 * 4);
    double produced = 0.0;
    for (auto _ : state) {
        soundtouch::SoundTouch touch;
        touch.setSampleRate(static_cast<unsigned>(rate));
        touch.setChannels(1);
        touch.setTempo(1.0 / ratio);
        produced = 0.0;
        for (std::size_t at = 0; at < in.size(); at += block) {
            touch.putSamples(in.data() + at, static_cast<unsigned>(std::min<std::size_t>(block, in.size() - at)));
            while (const unsigned got = touch.receiveSamples(out.data(), static_cast<unsigned>(out.size()))) produced += got;
        }
        touch.flush();
        while (const unsigned got = touch.receiveSamples(out.data(), static_cast<unsigned>(out.size()))) produced += got;
        benchmark::DoNotOptimize(out.data());
    }
    reportOutput(state, produced);
}

const char* const caseNames[] = {"ours_per_beat", "ours_whole", "interpolator", "r2_faster", "r3_finer", "tempo_changer"};

std::string benchmarkName(int caseIndex, float ratio) {
    char text[64];
    std::snprintf(text, sizeof text, "%s/%.2f", caseNames[caseIndex], static_cast<double>(ratio));
    return text;
}

// The usual lines, then xRT per case and ratio and ours (per beat) / peer.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const auto found = run.counters.find("xRT");
            if (found == run.counters.end()) continue;
            // With repetitions, the best: the machine may be shared.
            double& best = xrt_[run.run_name.function_name];
            best = std::max(best, found->second.value);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nxRT (seconds of output per CPU second)\n%-14s", "case");
        for (const float ratio : ratios) std::printf(" %9.2f", static_cast<double>(ratio));
        std::printf("\n");
        for (int c = 0; c < 6; ++c) {
            std::printf("%-14s", caseNames[c]);
            for (const float ratio : ratios) std::printf(" %9.1f", xrt_[benchmarkName(c, ratio)]);
            std::printf("\n");
        }
        std::printf("\nours per beat / peer\n");
        for (int c = 3; c < 6; ++c) {
            std::printf("%-14s", caseNames[c]);
            for (const float ratio : ratios) {
                const double peer = xrt_[benchmarkName(c, ratio)];
                std::printf(" %9.2f", peer > 0.0 ? xrt_[benchmarkName(0, ratio)] / peer : 0.0);
            }
            std::printf("\n");
        }
    }

private:
    std::map<std::string, double> xrt_;
};

std::string processorName() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
    initCpuDispatch();
    static const char* const buildNames[] = {"none", "generic", "SSE", "SSE2", "SSE3-class"};
    std::printf("processor: %s; the dispatcher picks the %s build\n", processorName().c_str(),
                buildNames[CpuDispatchIndex.load()]);
    input();

    for (const float ratio : ratios) {
        benchmark::RegisterBenchmark(benchmarkName(0, ratio).c_str(), [ratio](benchmark::State& s) { oursPerBeat(s, ratio); });
        benchmark::RegisterBenchmark(benchmarkName(1, ratio).c_str(), [ratio](benchmark::State& s) { oursWhole(s, ratio); });
        benchmark::RegisterBenchmark(benchmarkName(2, ratio).c_str(),
                                     [ratio](benchmark::State& s) { interpolatorPerBeat(s, ratio); });
        benchmark::RegisterBenchmark(benchmarkName(3, ratio).c_str(), [ratio](benchmark::State& s) {
            stretcher(s, ratio, RubberBand::RubberBandStretcher::OptionEngineFaster);
        });
        benchmark::RegisterBenchmark(benchmarkName(4, ratio).c_str(), [ratio](benchmark::State& s) {
            stretcher(s, ratio, RubberBand::RubberBandStretcher::OptionEngineFiner);
        });
        benchmark::RegisterBenchmark(benchmarkName(5, ratio).c_str(), [ratio](benchmark::State& s) { tempoChanger(s, ratio); });
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
