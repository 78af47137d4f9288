// Events a thread can wait on, set from any thread (an audio backend's
// callback included: set never blocks and never allocates).
//
// An automatic-reset event lets one wait through per set and clears itself;
// a manual-reset event stays signalled until reset. Waiting for any of
// several events returns the lowest-numbered signalled one and resets only
// that one.
#ifndef VELKARN_PLATFORM_EVENT_H
#define VELKARN_PLATFORM_EVENT_H

#include <cstdint>
#include <memory>

namespace platform {

class Event {
public:
    enum class Reset { Automatic, Manual };

    static constexpr std::int64_t infinite = -1;
    static constexpr int timedOut = -1;

    explicit Event(Reset reset = Reset::Automatic, bool signalled = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    // True when signalled within timeoutMs (infinite: no limit).
    bool wait(std::int64_t timeoutMs = infinite);

    // The index of the lowest-numbered signalled event, waiting up to
    // timeoutMs for one; timedOut when none came.
    static int waitForAny(Event* const* events, int count, std::int64_t timeoutMs = infinite);

    // For pacing tests: true when this automatic-reset event is not
    // signalled and the thread that took its last signal has waited again
    // (on any event) or ended, i.e. the work the signal caused is done.
    bool settled() const;
    // Waits until every one of the events is settled; false after
    // timeoutMs.
    static bool waitUntilSettled(const Event* const* events, int count, std::int64_t timeoutMs);

    // Tests: the next waitForAny, by any thread, returns `result` at once
    // without taking a signal (a result the caller does not expect).
    static void injectWaitResult(int result);

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace platform

#endif
