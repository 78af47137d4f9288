// Threads whose creation can fail the way the platform's can, and the
// priority hint of time-critical work (audio rendering).
#ifndef VELKARN_PLATFORM_THREAD_H
#define VELKARN_PLATFORM_THREAD_H

#include <functional>
#include <thread>

namespace platform {

class Thread {
public:
    Thread() = default;
    ~Thread();  // joins a thread that was started and not joined; detaches it on itself
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Runs body on a new thread. False when the thread cannot be created;
    // the reason is then this thread's last error text (LastError.h).
    bool start(std::function<void()> body);
    void join();
    // Lets a started thread run on unowned (a thread may end its own
    // owner this way); the object can then start another.
    void detach();
    // True when called on the thread this object started.
    bool isCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }
    bool running() const { return thread_.joinable(); }

    // Tests: while the hook answers true, starts fail. Null removes it.
    using StartFault = bool (*)();
    static void setStartFault(StartFault fault);

private:
    std::thread thread_;
};

// Asks for real-time scheduling (SCHED_FIFO) for the calling thread. Where
// the system refuses, the thread keeps its priority; the first refusal is
// noted in the verbose log.
void setCurrentThreadTimeCritical();

}  // namespace platform

#endif
