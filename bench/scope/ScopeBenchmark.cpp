// The scope's costs: the output thread's tap per 2205-frame block (50 ms of
// stereo at 44.1 kHz) against a memcpy of the same bytes, and one display
// update on the user-interface thread (trace incremental and full, spectrum
// over one second), with its share of the shortest refresh interval
// (10 ms). Runs on Qt's offscreen screen with the program's own skin.
#include "framework/GUINumberSlider.h"
#include "framework/ResourceArchive.h"
#include "framework/Support.h"
#include "framework/GUIButton.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"
#include "platform/Platform.h"
#include "scope/Scope.h"
#include "scope/ScopeTap.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

constexpr int sampleRate = 44100;
constexpr int blockFrames = 2205;

Scope* theScope = nullptr;

struct Block {
    Block(int frames, long offset) : left(static_cast<std::size_t>(frames)), right(left.size()) {
        for (int i = 0; i < frames; ++i) {
            const double t = static_cast<double>(offset + i) / sampleRate;
            left[static_cast<std::size_t>(i)] = static_cast<float>(0.5 * std::sin(2 * 3.141592653589793 * 440 * t));
            right[static_cast<std::size_t>(i)] = static_cast<float>(0.2 * std::sin(2 * 3.141592653589793 * 1234 * t));
        }
    }
    std::vector<float> left;
    std::vector<float> right;
    const float* channels[2] = {left.data(), right.data()};
};

void tapBlock(benchmark::State& state) {
    ScopeTap tap(sampleRate);
    Block block(blockFrames, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(tap.write(block.channels, 2, blockFrames, 100.0f, 1000.0f));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * blockFrames * 2 * static_cast<std::int64_t>(sizeof(float)));
}

void memcpyBlock(benchmark::State& state) {
    Block block(blockFrames, 0);
    std::vector<float> to(static_cast<std::size_t>(blockFrames) * 2);
    for (auto _ : state) {
        std::memcpy(to.data(), block.left.data(), blockFrames * sizeof(float));
        std::memcpy(to.data() + blockFrames, block.right.data(), blockFrames * sizeof(float));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * blockFrames * 2 * static_cast<std::int64_t>(sizeof(float)));
}

void setMode(bool spectrum, float timeSpanMs) {
    if (theScope->isSpectrumMode() != spectrum) {
        GUIButton* button = theScope->frequencyButton();
        const GUIPoint centre((button->x0 + button->x1) / 2, (button->y0 + button->y1) / 2);
        button->mouseDown(centre, false);
        button->mouseUp(centre);
    }
    theScope->timeSpanSlider()->setValue(timeSpanMs);
}

// One update after each 10 ms of output; with `wobble` the time base moves
// a little every time, so every column is computed again.
void update(benchmark::State& state, bool spectrum, float timeSpanMs, bool wobble) {
    setMode(spectrum, timeSpanMs);
    std::vector<Block> blocks;
    for (int i = 0; i < 100; ++i) blocks.emplace_back(441, 441L * i);
    for (const Block& block : blocks) theScope->process(nullptr, block.channels, 441);
    theScope->update();
    std::size_t next = 0;
    bool odd = false;
    for (auto _ : state) {
        state.PauseTiming();
        theScope->process(nullptr, blocks[next].channels, 441);
        next = (next + 1) % blocks.size();
        if (wobble) {
            odd = !odd;
            theScope->timeSpanSlider()->setValue(odd ? timeSpanMs * 1.001f : timeSpanMs);
            // The knob's redraw, shown as after a drag.
            theScope->controlWindow()->present();
        }
        state.ResumeTiming();
        theScope->update();
    }
    // The elapsed time over the iterations' 10 ms each.
    state.counters["share of 10 ms"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 0.010,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The scope's settings record goes to a data directory of the run.
    const std::filesystem::path home = std::filesystem::temp_directory_path() / "velkarn-scope-bench";
    std::filesystem::create_directories(home);
    ::setenv("VELKARN_HOME", home.string().c_str(), 1);
    platform::setUiThread();
    if (!platform::initializePlatform(argc, argv)) {
        std::fprintf(stderr, "no user interface\n");
        return 1;
    }
    supportSettings().archiveMode = true;
    initializeFileSystem();
    {
        Scope scope(nullptr, 1, FormatAudio(2, sampleRate, 16), nullptr, nullptr);
        theScope = &scope;
        benchmark::RegisterBenchmark("tap, 2205-frame stereo block", tapBlock);
        benchmark::RegisterBenchmark("memcpy of the same bytes", memcpyBlock);
        benchmark::RegisterBenchmark("update, trace 40 ms, incremental", update, false, 40.0f, false)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("update, trace 40 ms, every column", update, false, 40.0f, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("update, trace 1000 ms, every column", update, false, 1000.0f, true)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("update, spectrum 1000 ms", update, true, 1000.0f, false)
            ->Unit(benchmark::kMillisecond);
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        theScope = nullptr;
    }
    cleanUpFileSystem();
    platform::shutdownPlatform();
    return 0;
}
