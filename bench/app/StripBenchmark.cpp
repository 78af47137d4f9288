// Drawing the deck strips, each set against the display refresh period of
// 50 ms (counter "ofRefreshPeriod": time per iteration / 50 ms): a full row
// of an overview song and of an envelope song at zoom 1, 4 and 16; one
// refresh tick that scrolls the rows; a zoom that lays the six strips out.
#include "AppTestSupport.h"
#include "StripSongs.h"
#include "StripTestSupport.h"
#include "app/DeckLock.h"
#include "app/GUIStrip.h"
#include "audio/Interpolator.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int songBeats = 420;  // more than a row at zoom 16

benchmark::Counter ofRefreshPeriod(benchmark::State& state) {
    return benchmark::Counter(static_cast<double>(state.iterations()) * 0.050,
                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The two song files, written once.
struct SongFiles {
    testing_support::TemporaryDirectory dir;
    std::string envelope = strip_test::makeSong(dir, "envelope", songBeats, false);
    std::string overview = strip_test::makeSong(dir, "overview", songBeats, true);
};

SongFiles& songFiles() {
    static SongFiles files;
    return files;
}

void BM_RenderRow(benchmark::State& state) {
    const bool overview = state.range(0) != 0;
    const auto zoom = static_cast<float>(state.range(1));
    Interpolator interpolator(2);
    TimeScalerPV timeScaler(1024, 4);
    strip_test::Grid grid([](std::int32_t) { return 22050.0f; });
    Songs songs;
    songs.add(std::make_unique<Song>(overview ? songFiles().overview : songFiles().envelope, 0, interpolator,
                                     timeScaler, 40.0f, false, 0));
    GUIStrip strip(10, 10, 800, 60, zoom * 689.0f, "", 0, nullptr);
    strip.setStartBeat(0, grid.info());
    strip.shadeAfterLastBeat(grid.info());
    for (auto _ : state) strip.renderSong(songs, grid.info(), 0);
    state.counters["ofRefreshPeriod"] = ofRefreshPeriod(state);
    state.SetLabel(std::string(overview ? "overview" : "envelope") + " song, zoom " + std::to_string(state.range(1)));
}
BENCHMARK(BM_RenderRow)->ArgsProduct({{0, 1}, {1, 4, 16}})->Unit(benchmark::kMicrosecond);

// The application on fake devices (never stepped) with an envelope song on
// each deck, its clock moved by rendering output 0 by hand.
class AppBench : public app_test::AppTest {
public:
    AppBench() {
        SetUp();
        start();
        for (int d = 0; d < 2; ++d) {
            DeckLock hold;
            application->songs(d)->add(std::make_unique<Song>(songFiles().envelope, 0, interpolator, timeScaler,
                                                              40.0f, false, 0));
        }
        application->refreshStripsFrom(0);
    }
    ~AppBench() override { TearDown(); }
    void TestBody() override {}

    void playTo(std::int64_t time) {
        std::vector<float> left(44100), right(44100);
        float* channels[2] = {left.data(), right.data()};
        for (std::int64_t now = app().currentSampleTime(); now < time; now = app().currentSampleTime()) {
            app().render(app().output(0), channels, static_cast<std::int32_t>(std::min<std::int64_t>(time - now, 44100)));
        }
    }
    Velkarn& app() { return *application; }

    Interpolator interpolator{2};
    TimeScalerPV timeScaler{1024, 4};
};

void BM_RefreshTickWithScroll(benchmark::State& state) {
    AppBench bench;
    Velkarn& app = bench.app();
    for (auto _ : state) {
        state.PauseTiming();
        const GUIStrip& first = *app.strip(0, 0);
        bench.playTo(first.startPosition() + first.lastBeatEnd() + 10);
        state.ResumeTiming();
        app.windowTimer(app.mainWindow());
    }
    state.counters["ofRefreshPeriod"] = ofRefreshPeriod(state);
}
BENCHMARK(BM_RefreshTickWithScroll)->Iterations(12)->Unit(benchmark::kMicrosecond);

void BM_RefreshTickWithoutScroll(benchmark::State& state) {
    AppBench bench;
    Velkarn& app = bench.app();
    for (auto _ : state) {
        state.PauseTiming();
        bench.playTo(app.currentSampleTime() + 2205);
        state.ResumeTiming();
        app.windowTimer(app.mainWindow());
    }
    state.counters["ofRefreshPeriod"] = ofRefreshPeriod(state);
}
// 200 ticks of 2205 frames stay within row 0.
BENCHMARK(BM_RefreshTickWithoutScroll)->Iterations(200)->Unit(benchmark::kMicrosecond);

void BM_ZoomRelayout(benchmark::State& state) {
    AppBench bench;
    Velkarn& app = bench.app();
    bool in = false;
    for (auto _ : state) {
        app.zoom(in);
        in = !in;
    }
    state.counters["ofRefreshPeriod"] = ofRefreshPeriod(state);
}
BENCHMARK(BM_ZoomRelayout)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
