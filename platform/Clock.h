// The monotonic clock of the program, and the virtual clock that tests put
// in its place.
//
// While the virtual clock is on, monotonicMs() reads it, and every
// scheduler that registered with it (the timer thread, the window timers)
// keeps its deadlines on it: advance() moves the time forward deadline by
// deadline and lets each scheduler fire what became due before going on,
// so chains of events (a tick that arms the next one) run as they would in
// real time.
#ifndef VELKARN_PLATFORM_CLOCK_H
#define VELKARN_PLATFORM_CLOCK_H

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary origin: CLOCK_MONOTONIC seconds x 1000
// plus nanoseconds / 10^6 (never a tick count times 1000, which overflows).
std::uint64_t monotonicMs();

// Nanoseconds on the same time base.
std::int64_t monotonicNs();

// Something that keeps deadlines on the virtual clock.
class VirtualScheduler {
public:
    virtual ~VirtualScheduler() = default;
    // The earliest pending deadline in virtual nanoseconds, or -1 for none.
    virtual std::int64_t nextDeadlineNs() = 0;
    // Fires every event due at nowNs; returns when they have run (or, for
    // events delivered to another thread's loop, been queued there).
    virtual void fireDue(std::int64_t nowNs) = 0;
};

class VirtualClock {
public:
    // Switches the virtual clock on at the given time (ms); schedulers should
    // hold no pending events when the clock is switched.
    static void enable(std::uint64_t startMs = 1000);
    static void disable();
    static bool enabled();

    // Moves the clock forward, firing due events in deadline order. Not to
    // be called from a scheduler's own thread (the timer thread).
    static void advance(std::uint64_t ms);
    // The same in nanoseconds, for deadlines that fall between milliseconds
    // (an audio period of 44 frames lasts 997,732 ns).
    static void advanceNs(std::int64_t ns);

    static void addScheduler(VirtualScheduler* scheduler);
    static void removeScheduler(VirtualScheduler* scheduler);
};

}  // namespace platform

#endif
