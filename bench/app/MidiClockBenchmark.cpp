// The MIDI clock on the real timer thread, read from the fake output's
// monotonic time stamps: the mean and 99th-percentile pulse period at 120
// and 174 BPM beside the rounded period the clock aims at (21 and 14 ms)
// and the exact 24-per-beat period, and the drift against the mix's tempo
// in beats per hour (negative: the outside gear falls behind).
#include "RecordingApplication.h"

#include "app/MidiOut.h"
#include "framework/Timer.h"
#include "platform/midi/FakeMidi.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <numeric>
#include <thread>
#include <vector>

namespace {

class FixedTempo : public RecordingApplication {
public:
    explicit FixedTempo(float bpm) : period_(60.0f / bpm) {}
    float beatPeriod() override { return period_; }

private:
    float period_;
};

constexpr int pulsesPerRun = 240;  // ten beats

void BM_MidiClock(benchmark::State& state) {
    const float bpm = static_cast<float>(state.range(0));
    platform::midi::FakeMidi fake;
    fake.outputs = {{"Bench Clock"}};
    setTimerResolution();
    FixedTempo application(bpm);
    std::vector<double> periods;
    for (auto _ : state) {
        fake.clearSent();
        {
            MidiOut out("Bench Clock", &application);
            out.start();
            while (fake.sent().size() < static_cast<std::size_t>(pulsesPerRun + 1)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            out.stop();
        }
        const auto sent = fake.sent();
        for (std::size_t i = 1; i < sent.size(); ++i) {
            if (sent[i].reset || sent[i - 1].reset) continue;
            periods.push_back(static_cast<double>(sent[i].timeNs - sent[i - 1].timeNs) / 1e6);
        }
    }
    resetTimerResolution();

    std::sort(periods.begin(), periods.end());
    const double mean = std::accumulate(periods.begin(), periods.end(), 0.0) / static_cast<double>(periods.size());
    const double p99 = periods[std::min(periods.size() - 1, periods.size() * 99 / 100)];
    const double exact = 60000.0 / bpm / 24.0;
    const double beatsPerHour = 3600000.0 / (24.0 * mean);
    state.counters["mean_ms"] = mean;
    state.counters["p99_ms"] = p99;
    state.counters["rounded_ms"] = MidiOut::pulsePeriodMs(60.0f / bpm);
    state.counters["exact_ms"] = exact;
    state.counters["drift_beats_per_hour"] = beatsPerHour - bpm * 60.0;
    state.counters["rounded_drift_beats_per_hour"] = 3600000.0 / (24.0 * MidiOut::pulsePeriodMs(60.0f / bpm)) - bpm * 60.0;
}
BENCHMARK(BM_MidiClock)->Arg(120)->Arg(174)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
