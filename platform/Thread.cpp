#include "platform/Thread.h"

#include "platform/LastError.h"
#include "platform/PlatformLog.h"

#include <atomic>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <system_error>

namespace platform {
namespace {
std::atomic<Thread::StartFault> startFault{nullptr};
std::atomic<bool> refusalNoted{false};
}  // namespace

// A thread that ends its own owner is let go: joining itself is impossible.
Thread::~Thread() {
    if (isCurrent()) detach();
    else join();
}

bool Thread::start(std::function<void()> body) {
    if (thread_.joinable()) {
        setLastErrorText("The thread is already running.");
        return false;
    }
    if (StartFault fault = startFault.load(); fault != nullptr && fault()) {
        setLastErrorFromErrno("Cannot start a thread", EAGAIN);
        return false;
    }
    try {
        thread_ = std::thread(std::move(body));
    } catch (const std::system_error& error) {
        setLastErrorFromErrno("Cannot start a thread", error.code().value());
        return false;
    }
    return true;
}

void Thread::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Thread::detach() {
    if (thread_.joinable()) thread_.detach();
}

void Thread::setStartFault(StartFault fault) { startFault.store(fault); }

void setCurrentThreadTimeCritical() {
    // Below the top of the range, so that the kernel's own real-time
    // threads keep precedence.
    const int top = sched_get_priority_max(SCHED_FIFO);
    const int bottom = sched_get_priority_min(SCHED_FIFO);
    sched_param parameters{};
    parameters.sched_priority = top - 10 > bottom ? top - 10 : bottom;
    const int result = pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
    if (result != 0 && !refusalNoted.exchange(true)) {
        PLATFORM_VERBOSE_NOTE(std::string("Real-time scheduling is not available (") + std::strerror(result) +
                              "); audio threads keep their priority.");
    }
}

}  // namespace platform
