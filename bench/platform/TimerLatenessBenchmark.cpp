// How late the timer thread runs a callback after its deadline, beside a
// bare clock_nanosleep(TIMER_ABSTIME) loop waiting for the same deadlines.
// The MIDI clock's pulses come every 21 ms at 120 BPM. Counters: median,
// 99th percentile and worst lateness in microseconds.
#include "platform/Clock.h"
#include "platform/TimerService.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <time.h>
#include <vector>

namespace {

struct Waiter {
    std::mutex mutex;
    std::condition_variable fired;
    std::int64_t firedNs = 0;
    bool done = false;
};

void onTimer(void* user, std::uint32_t) {
    auto* waiter = static_cast<Waiter*>(user);
    std::int64_t now = platform::monotonicNs();
    std::lock_guard lock(waiter->mutex);
    waiter->firedNs = now;
    waiter->done = true;
    waiter->fired.notify_one();
}

void report(benchmark::State& state, std::vector<double> latenessUs) {
    std::sort(latenessUs.begin(), latenessUs.end());
    auto at = [&](double fraction) { return latenessUs[static_cast<std::size_t>(fraction * (latenessUs.size() - 1))]; };
    state.counters["median_us"] = at(0.5);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = latenessUs.back();
}

void BM_TimerServiceLateness(benchmark::State& state) {
    const auto delayMs = static_cast<unsigned>(state.range(0));
    platform::TimerService& service = platform::TimerService::instance();
    std::vector<double> latenessUs;
    Waiter waiter;
    for (auto _ : state) {
        std::unique_lock lock(waiter.mutex);
        waiter.done = false;
        std::int64_t deadline = platform::monotonicNs() + static_cast<std::int64_t>(delayMs) * 1000000;
        service.schedule(delayMs, onTimer, &waiter);
        waiter.fired.wait(lock, [&] { return waiter.done; });
        latenessUs.push_back(static_cast<double>(waiter.firedNs - deadline) / 1000.0);
    }
    service.waitUntilIdle(&waiter);
    report(state, latenessUs);
}

void BM_ClockNanosleepLateness(benchmark::State& state) {
    const auto delayMs = state.range(0);
    std::vector<double> latenessUs;
    for (auto _ : state) {
        timespec deadline;
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_nsec += delayMs * 1000000;
        deadline.tv_sec += deadline.tv_nsec / 1000000000;
        deadline.tv_nsec %= 1000000000;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        latenessUs.push_back(static_cast<double>((now.tv_sec - deadline.tv_sec) * 1000000000LL + now.tv_nsec - deadline.tv_nsec) / 1000.0);
    }
    report(state, latenessUs);
}

// Iterations cover about a second per delay: enough for a 99th percentile.
BENCHMARK(BM_TimerServiceLateness)->Arg(1)->Iterations(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimerServiceLateness)->Arg(10)->Iterations(150)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimerServiceLateness)->Arg(21)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClockNanosleepLateness)->Arg(1)->Iterations(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClockNanosleepLateness)->Arg(10)->Iterations(150)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClockNanosleepLateness)->Arg(21)->Iterations(100)->Unit(benchmark::kMillisecond);

}  // namespace
