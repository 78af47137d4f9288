// The application's render callback with both decks playing tones, on
// blocks of 2205 and 44 frames, against the two decks' mixInto calls alone
// (same renderers, same block): what the mixer, limiter, meters and clock
// add per block.
#include "AppTestSupport.h"
#include "FunctionSource.h"
#include "ImageTestSupport.h"
#include "TestEnvironment.h"
#include "app/Velkarn.h"
#include "audio/Interpolator.h"
#include "audio/Motor.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"
#include "audio/TrackAudio.h"
#include "audio/TrackInfo.h"
#include "framework/CriticalSections.h"
#include "framework/Log.h"
#include "platform/Clock.h"
#include "platform/audio/FakeAudio.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <optional>
#include <vector>

namespace {

// One application on fake devices (never stepped), both decks playing a
// tone, rendered by hand.
struct Bench {
    Bench() {
        homeVariable.emplace("VELKARN_HOME", home.path());
        app_test::writeApplicationSkins(skins);
        platform::VirtualClock::enable();
        fake.waveOut.push_back({platform::audio::WaveDeviceCaps{"Fake Wave", platform::audio::waveFormat4S16, 2}, false});
        fake.outputs.push_back({std::nullopt, "Primary Sound Driver", platform::audio::OutputCaps{0x0F}, false, false});
        platform::audio::Guid guid;
        guid.bytes[0] = 1;
        fake.outputs.push_back({guid, "Fake Sound", platform::audio::OutputCaps{0x0F}, false, false});
        app = std::make_unique<Velkarn>(nullptr, 1);
        for (int d = 0; d < 2; ++d) {
            const double frequency = 1000.0 * (d + 1);
            std::vector<SongSpan> spans;
            for (std::int32_t i = 0; i < 4000; ++i) spans.push_back({1000 + 22050 * i, 22050});
            auto f = [frequency](std::int64_t k) {
                return 0.3 * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(k) / 44100.0);
            };
            enterCriticalSection(2);
            app->songs(d)->add(std::make_unique<Song>(spans, 0, false, 0, SongTexts{},
                                                      std::make_unique<FunctionSource>(f, 1.0), interpolator,
                                                      timeScaler, 40.0f));
            leaveCriticalSection(2);
            app->playback(d)->stopThread();
            app->playback(d)->startRendering(*app->songs(d), *app->trackInfo(), 0, 0);
        }
        app->rebuildBeatInfo(0, 0);
        fill(0);
    }
    ~Bench() {
        app.reset();
        platform::VirtualClock::disable();
    }
    // Keeps the grid ahead of the time and the rings full.
    void fill(std::int64_t time) {
        enterCriticalSection(2);
        app->trackInfo()->advanceTo(time, false, 0);
        for (int d = 0; d < 2; ++d) {
            while (!app->playback(d)->renderNextBeat(*app->songs(d), *app->trackInfo(), false, 0)) {
            }
        }
        leaveCriticalSection(2);
    }

    testing_support::TemporaryDirectory home;
    std::optional<testing_support::ScopedEnvironment> homeVariable;
    image_test::SkinDirectory skins;
    platform::audio::FakeAudio fake;
    Interpolator interpolator{2};
    TimeScalerPV timeScaler{1024, 4};
    std::unique_ptr<Velkarn> app;
};

Bench& bench() {
    static Bench instance;
    return instance;
}

// Renders blocks; the rings are refilled, outside the timing, whenever a
// second has been used.
template <class Block>
void run(benchmark::State& state, std::int64_t& time, Block block) {
    Bench& b = bench();
    const auto frames = static_cast<std::int32_t>(state.range(0));
    std::vector<float> left(static_cast<std::size_t>(frames)), right(static_cast<std::size_t>(frames));
    float* channels[2] = {left.data(), right.data()};
    std::int64_t sinceFill = 0;
    for (auto _ : state) {
        block(b, channels, frames);
        benchmark::DoNotOptimize(left.data());
        time += frames;
        sinceFill += frames;
        if (sinceFill >= 44100) {
            state.PauseTiming();
            b.fill(time);
            sinceFill = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_Render(benchmark::State& state) {
    std::int64_t time = bench().app->currentSampleTime();
    run(state, time, [](Bench& b, float** channels, std::int32_t frames) {
        b.app->render(b.app->output(0), channels, frames);
    });
}

// The two decks' share of a block: their mixInto calls with the values of
// the render above, on a clock moved by hand.
void BM_MixIntoOnly(benchmark::State& state) {
    // Its own clock, after all the render above has played.
    static std::int64_t time = bench().app->currentSampleTime();
    run(state, time, [](Bench& b, float** channels, std::int32_t frames) {
        for (int d = 0; d < 2; ++d) {
            b.app->playback(d)->mixInto(channels, nullptr, 0.75f, 0.75f, 22000.0f, 22000.0f, 5.0f, 5.0f, true, true,
                                        0.0f, 0.0f, 0.125f, 0.125f, 0.0f, 0.0f, 8.0f, 8.0f, 0.0f, 0.0f, 1.0f, 1.0f,
                                        time, frames);
        }
    });
}

}  // namespace

BENCHMARK(BM_Render)->Arg(2205)->Arg(44);
BENCHMARK(BM_MixIntoOnly)->Arg(2205)->Arg(44);

BENCHMARK_MAIN();
