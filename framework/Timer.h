// One-shot timers on the timer thread: the MIDI clock's pulses.
//
// trigger() schedules one expiry after max(delay, resolution) ms whose
// TimerClient::tick runs on the timer thread. A timer keeps track of every
// event it has pending; destroying it cancels them all and waits for a tick
// that is running (except when the tick itself destroys the timer), and a
// tick that triggers again while its timer is being destroyed schedules
// nothing. A listener that shares state with other threads takes the
// program's locks itself.
#ifndef VELKARN_FRAMEWORK_TIMER_H
#define VELKARN_FRAMEWORK_TIMER_H

#include "framework/TimerClient.h"

#include <cstdint>
#include <mutex>
#include <vector>

class Timer {
public:
    explicit Timer(TimerClient* client);
    virtual ~Timer();

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Any thread, also from inside tick. A refused event logs "Cannot set
    // timer.", schedules nothing and gives false.
    bool trigger(int delayMs);

private:
    static void expired(void* user, std::uint32_t event);

    TimerClient* client_;
    std::mutex mutex_;
    std::vector<std::uint32_t> pending_;
    bool destroying_ = false;
};

// Start-up step "initialize timer": the resolution is the wanted 1 ms kept
// within the service's capabilities. Failures stop the program ("Cannot get
// timer capabilities.", "Cannot set timer minimum resolution.").
void setTimerResolution();
// Clean-up step; a failure stops the program ("Cannot unset timer minimum
// resolution.").
void resetTimerResolution();
// The resolution in force (0 before start-up).
unsigned timerResolutionMs();

#endif
