#ifndef VELKARN_FRAMEWORK_TIMERCLIENT_H
#define VELKARN_FRAMEWORK_TIMERCLIENT_H

class Timer;
class Window;

// The listener of a one-shot Timer and of a window's timer.
class TimerClient {
public:
    virtual ~TimerClient() = default;
    // On the timer thread, never on the user-interface thread.
    virtual void tick(Timer* /*timer*/) {}
    // On the user-interface thread.
    virtual void windowTimer(Window* /*window*/) {}
};

#endif
