#include "platform/Event.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

struct Event::State {
    State(bool manual, bool signalled) : manual(manual), signalled(signalled ? 1 : 0) {}
    const bool manual;
    std::atomic<int> signalled;
    // Threads that took a signal of this event and have neither waited
    // again nor ended.
    std::atomic<int> busy{0};
};

namespace {

// Every set bumps one process-wide word and wakes the threads waiting on
// it; each waiter then looks at its own events again. One word serves any
// set of events without a lock, so set never blocks.
std::atomic<std::uint32_t> epoch{0};
static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));

// Bumped whenever a taker of a signal waits again or ends, for the
// threads in waitUntilSettled (woken only when there are any).
std::atomic<std::uint32_t> settleEpoch{0};
std::atomic<int> settleWaiters{0};

constexpr int noInjection = INT_MIN;
std::atomic<int> injectedResult{noInjection};

// The signal this thread took last: its work counts as done once the thread
// waits again or ends.
struct TakenSignal {
    std::shared_ptr<Event::State> state;
    ~TakenSignal() { release(); }
    void release();
};
thread_local TakenSignal takenSignal;

std::uint32_t* epochWord() { return reinterpret_cast<std::uint32_t*>(&epoch); }
std::uint32_t* settleWord() { return reinterpret_cast<std::uint32_t*>(&settleEpoch); }

// One taker fewer: threads in waitUntilSettled look again.
void dropTaker(Event::State& state) {
    state.busy.fetch_sub(1);
    settleEpoch.fetch_add(1);
    if (settleWaiters.load() > 0) syscall(SYS_futex, settleWord(), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void TakenSignal::release() {
    if (!state) return;
    dropTaker(*state);
    state.reset();
}

timespec deadlineAfter(std::int64_t timeoutMs) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(timeoutMs / 1000);
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000;
    if (deadline.tv_nsec >= 1000000000) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000;
    }
    return deadline;
}

void wakeWaiters() {
    epoch.fetch_add(1);
    syscall(SYS_futex, epochWord(), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

// Waits while the word still holds `seen`, at most until the absolute
// CLOCK_MONOTONIC deadline (null: no limit). False on time-out.
bool waitForChange(std::uint32_t* word, std::uint32_t seen, const timespec* deadline) {
    long result = syscall(SYS_futex, word, FUTEX_WAIT_BITSET_PRIVATE, seen, deadline, nullptr, FUTEX_BITSET_MATCH_ANY);
    return !(result == -1 && errno == ETIMEDOUT);
}

bool take(const std::shared_ptr<Event::State>& state) {
    if (state->manual) return state->signalled.load() != 0;
    if (state->signalled.load() == 0) return false;
    // Counted busy before the signal is taken, so that settled() never sees
    // the signal gone and its taker idle at the same moment.
    state->busy.fetch_add(1);
    int expected = 1;
    if (state->signalled.compare_exchange_strong(expected, 0)) {
        takenSignal.state = state;
        return true;
    }
    // Another thread took it. A waiter that saw this attempt as busy must
    // look again, or it would sleep until its time-out.
    dropTaker(*state);
    return false;
}

}  // namespace

Event::Event(Reset reset, bool signalled) : state_(std::make_shared<State>(reset == Reset::Manual, signalled)) {}

Event::~Event() = default;

void Event::set() {
    state_->signalled.store(1);
    wakeWaiters();
}

void Event::reset() { state_->signalled.store(0); }

bool Event::wait(std::int64_t timeoutMs) {
    Event* self = this;
    return waitForAny(&self, 1, timeoutMs) == 0;
}

int Event::waitForAny(Event* const* events, int count, std::int64_t timeoutMs) {
    takenSignal.release();

    // Real time even while the virtual clock runs: waits are a matter of
    // the threads, not of the program's time.
    const timespec deadline = deadlineAfter(timeoutMs >= 0 ? timeoutMs : 0);
    bool lastLook = false;
    while (true) {
        const std::uint32_t seen = epoch.load();
        int injected = injectedResult.exchange(noInjection);
        if (injected != noInjection) return injected;
        for (int i = 0; i < count; ++i) {
            if (take(events[i]->state_)) return i;
        }
        if (timeoutMs == 0 || lastLook) return timedOut;
        if (!waitForChange(epochWord(), seen, timeoutMs >= 0 ? &deadline : nullptr)) lastLook = true;
    }
}

bool Event::settled() const {
    if (state_->manual) return true;
    // The signal first, then the takers: see take().
    return state_->signalled.load() == 0 && state_->busy.load() == 0;
}

bool Event::waitUntilSettled(const Event* const* events, int count, std::int64_t timeoutMs) {
    const timespec deadline = deadlineAfter(timeoutMs);
    auto allSettled = [&] {
        for (int i = 0; i < count; ++i) {
            if (!events[i]->settled()) return false;
        }
        return true;
    };
    // Usually the taker is done within microseconds.
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(30);
    while (!allSettled() && std::chrono::steady_clock::now() < until) __builtin_ia32_pause();
    settleWaiters.fetch_add(1);
    bool settledInTime = true;
    while (true) {
        const std::uint32_t seen = settleEpoch.load();
        if (allSettled()) break;
        // A signal is also settled when it is taken by a thread that then
        // ends; ending releases it too, so one word covers both.
        if (!waitForChange(settleWord(), seen, &deadline) && !allSettled()) {
            settledInTime = false;
            break;
        }
    }
    settleWaiters.fetch_sub(1);
    return settledInTime;
}

void Event::injectWaitResult(int result) {
    injectedResult.store(result);
    wakeWaiters();
}

}  // namespace platform
