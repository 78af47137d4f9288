// Both decks rendered and mixed on one thread pinned to one core, with no
// render threads and no sleeping: each 2205-frame block first renders every
// beat the decks have room for, then mixes both decks (filters open, in
// series) into the block. The songs are tone songs of 124 and 120 BPM on
// deck 0 and 116 BPM on deck 1; the grid runs halfway between the decks'
// tempos, so both decks are fitted on every beat. Cases: time scaling on
// both decks, on deck 1 only, and off (resampling). The counter "xRT" is
// seconds of mixed output per second of run time, "xRT_cpu" per second of
// the thread's processor time.
#include "ToneSongs.h"
#include "audio/FormatAudio.h"
#include "audio/Interpolator.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"
#include "audio/TrackAudio.h"
#include "audio/TrackInfo.h"
#include "primitives.h"

#include <benchmark/benchmark.h>

#include <sched.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

class Application : public TrackInfoApplication {
public:
    float standardTempo() const override { return 120.0f; }
    TrackInfoRemote* trackInfoRemote() override { return nullptr; }
};

constexpr std::int32_t block = 2205;
constexpr std::int32_t blocksPerRun = 1200;  // 60 s of output

// The three songs, written once for the whole program.
struct SongFiles {
    SongFiles() {
        char pattern[] = "/tmp/velkarn-deck-bench-XXXXXX";
        directory = ::mkdtemp(pattern);
        a = writeToneSong(directory, "a", {124.0, 90.0, 110.0});
        c = writeToneSong(directory, "c", {120.0, 60.0, 110.0});
        b = writeToneSong(directory, "b", {116.0, 120.0, 165.0});
    }
    ~SongFiles() { std::filesystem::remove_all(directory); }
    std::string directory;
    ToneSong a, b, c;
};

SongFiles& songFiles() {
    static SongFiles files;
    return files;
}

struct TwoDecks {
    TwoDecks() {
        const SongFiles& files = songFiles();
        auto a = std::make_unique<Song>(files.a.path, 0, interpolator, timeScaler, 40.0f, false, 0);
        const std::int32_t end = a->endBeat();
        decks[0].add(std::move(a));
        decks[0].add(std::make_unique<Song>(files.c.path, end, interpolator, timeScaler, 40.0f, false, 0));
        decks[1].add(std::make_unique<Song>(files.b.path, 0, interpolator, timeScaler, 40.0f, false, 0));
        for (auto& track : tracks) {
            track = std::make_unique<TrackAudio>(132300, format, 40.0f, true, true, 0.75f);
            track->setFilterOrder(2);
            track->setOverlapMs(10.0f);
        }
        left.assign(block, 0.0f);
        right.assign(block, 0.0f);
    }

    // One run of blocksPerRun blocks from time 0 on a fresh grid.
    void run(bool scaleDeck0, bool scaleDeck1) {
        TrackInfo grid(application, 35277000, decks[0], decks[1]);
        grid.setTempoFade(grid.oldestBeatIndex(), 0.5f, 0.5f, 1);
        grid.advanceTo(0, true, grid.oldestBeatIndex());
        tracks[0]->setTimeScaling(scaleDeck0);
        tracks[1]->setTimeScaling(scaleDeck1);
        for (int d = 0; d < 2; ++d) tracks[d]->startRendering(decks[d], grid, 0, 0);
        float* out[2] = {left.data(), right.data()};
        for (std::int64_t k = 0; k < blocksPerRun; ++k) {
            const std::int64_t time = k * block;
            if (k % 20 == 0) grid.advanceTo(time, false, 0);
            for (int d = 0; d < 2; ++d) {
                while (!tracks[d]->renderNextBeat(decks[d], grid, false, 0)) {
                }
            }
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            for (int d = 0; d < 2; ++d) {
                tracks[d]->mixInto(out, nullptr, 0.7f, 0.7f, 22050, 22050, 0, 0, true, true, 0, 0, 0, 0, 0, 0, 0, 0,
                                   0, 0, 1, 1, time, block);
            }
            benchmark::DoNotOptimize(left.data());
        }
        for (auto& track : tracks) track->stopThread();
    }

    FormatAudio format;
    Interpolator interpolator{2};
    TimeScalerPV timeScaler{1024, 4};
    Application application;
    Songs decks[2];
    std::unique_ptr<TrackAudio> tracks[2];
    std::vector<float> left, right;
};

void twoDecks(benchmark::State& state) {
    TwoDecks decks;
    const bool scale0 = state.range(0) != 0, scale1 = state.range(1) != 0;
    timespec begin{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &begin);
    for (auto _ : state) decks.run(scale0, scale1);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    const double seconds = static_cast<double>(state.iterations()) * blocksPerRun * block / 44100.0;
    const double cpu = static_cast<double>(end.tv_sec - begin.tv_sec) + 1e-9 * static_cast<double>(end.tv_nsec - begin.tv_nsec);
    state.counters["xRT"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
    // On a loaded machine the thread's own processor time is the steadier
    // figure.
    state.counters["xRT_cpu"] = seconds / cpu;
}

BENCHMARK(twoDecks)->Name("time scaling on both decks")->Args({1, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(twoDecks)->Name("time scaling on deck 1")->Args({0, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(twoDecks)->Name("time scaling off")->Args({0, 0})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    // One core: the figure is what one core does.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(static_cast<unsigned>(sched_getcpu()), &one);
    sched_setaffinity(0, sizeof(one), &one);
    initCpuDispatch();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
