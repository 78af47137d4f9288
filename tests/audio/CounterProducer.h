// A producer for read-ahead tests: frame k of its stream is valueAt(k) on
// channel 0 and -valueAt(k) on channel 1 (so silence never passes for audio),
// and the test can hold it inside a call until it lets go.
#ifndef VELKARN_TESTS_AUDIO_COUNTERPRODUCER_H
#define VELKARN_TESTS_AUDIO_COUNTERPRODUCER_H

#include "audio/AudioClient.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class CounterProducer : public AudioClient {
public:
    // k + 1, counted modulo a period small enough that every value is an
    // exact float: a long free-running test produces far more than 2^24
    // frames, where k + 1 itself would round.
    static constexpr std::int64_t period = std::int64_t{1} << 22;
    static float valueAt(std::int64_t k) { return static_cast<float>(k % period + 1); }

    void render(Motor* /*device*/, float** channels, std::int32_t frames) override {
        entered_.fetch_add(1);
        active_.fetch_add(1);
        {
            std::unique_lock lock(mutex_);
            released_.wait(lock, [this] { return !held_ || permits_ > 0; });
            if (held_) --permits_;
        }
        for (std::int32_t i = 0; i < frames; ++i) {
            channels[0][i] = valueAt(next_ + i);
            channels[1][i] = -valueAt(next_ + i);
        }
        next_ += frames;
        active_.fetch_sub(1);
        finished_.fetch_add(1);
    }

    // Calls from now on wait inside until release.
    void hold() {
        std::lock_guard lock(mutex_);
        held_ = true;
    }
    // While held, lets `calls` more calls through.
    void pass(int calls) {
        {
            std::lock_guard lock(mutex_);
            permits_ += calls;
        }
        released_.notify_all();
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            held_ = false;
        }
        released_.notify_all();
    }

    std::int64_t entered() const { return entered_.load(); }
    std::int64_t finished() const { return finished_.load(); }
    std::int64_t active() const { return active_.load(); }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    int permits_ = 0;
    std::int64_t next_ = 0;  // the calling thread's own
    std::atomic<std::int64_t> entered_{0};
    std::atomic<std::int64_t> finished_{0};
    std::atomic<std::int64_t> active_{0};
};

// Polls the condition until it holds or a generous bound (20 s) passes, so a
// broken build fails instead of hanging; the answer is the condition's.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 20000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}

#endif
