// The one-shot timer service: one thread that runs callbacks at absolute
// monotonic deadlines (or, while the virtual clock is on, at virtual ones).
//
// Callbacks run on the service's thread, one at a time, without any lock of
// the service held, so a callback may schedule or cancel events.
#ifndef VELKARN_PLATFORM_TIMERSERVICE_H
#define VELKARN_PLATFORM_TIMERSERVICE_H

#include <cstdint>
#include <optional>

namespace platform {

struct TimerCapabilities {
    unsigned minimumPeriodMs;
    unsigned maximumPeriodMs;
};

class TimerService {
public:
    using Callback = void (*)(void* user, std::uint32_t event);

    static TimerService& instance();

    // {1, 1000000} ms; false when the service cannot tell (tests only).
    bool capabilities(TimerCapabilities& capabilities);
    // The system keeps its own timer slack; a period is accepted when it lies
    // within the capabilities.
    bool beginPeriod(unsigned periodMs);
    bool endPeriod(unsigned periodMs);

    // One event delayMs from now; returns its identifier (never 0), or 0
    // when the service is stopped or the delay exceeds the longest period.
    std::uint32_t schedule(unsigned delayMs, Callback callback, void* user);

    // Removes a pending event; nothing happens when it has fired or never
    // existed.
    void cancel(std::uint32_t event);

    // Returns once no callback for this user value runs, except when called
    // on the service's own thread (a callback may end its owner).
    void waitUntilIdle(void* user);

    bool onServiceThread() const;

    // A stopped service refuses new events and drops the pending ones;
    // start() takes events again. The thread itself starts on first use.
    void stop();
    void start();

    // Tests: capabilities to report instead of the real ones; nullopt
    // restores them, and failing=true makes the query fail.
    void overrideCapabilities(std::optional<TimerCapabilities> capabilities, bool failing = false);

    ~TimerService() = delete;  // lives for the whole process

private:
    TimerService();
    struct State;
    State* state_;
};

}  // namespace platform

#endif
