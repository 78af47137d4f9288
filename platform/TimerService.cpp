#include "platform/TimerService.h"

#include "platform/Clock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {
constexpr TimerCapabilities realCapabilities{1, 1000000};
}

struct TimerService::State : VirtualScheduler {
    struct Event {
        std::int64_t deadlineNs;
        std::uint32_t id;
        Callback callback;
        void* user;
    };

    std::mutex mutex;
    std::condition_variable wake;      // the service thread waits here
    std::condition_variable finished;  // waiters for a running callback
    std::vector<Event> events;
    std::uint32_t nextId = 1;
    bool stopped = false;
    bool threadStarted = false;
    std::thread thread;
    std::thread::id threadId;

    // The callback running now (user value), or null.
    void* runningUser = nullptr;
    bool running = false;

    // Virtual clock: advance() hands events over one at a time.
    bool handoffPending = false;
    Event handoff{};

    std::optional<TimerCapabilities> capabilityOverride;
    bool capabilityFailing = false;

    std::vector<Event>::iterator earliest() {
        return std::min_element(events.begin(), events.end(), [](const Event& a, const Event& b) {
            return a.deadlineNs < b.deadlineNs || (a.deadlineNs == b.deadlineNs && a.id < b.id);
        });
    }

    void runLocked(std::unique_lock<std::mutex>& lock, const Event& event) {
        running = true;
        runningUser = event.user;
        lock.unlock();
        event.callback(event.user, event.id);
        lock.lock();
        running = false;
        runningUser = nullptr;
        finished.notify_all();
    }

    void loop() {
        std::unique_lock lock(mutex);
        while (true) {
            if (handoffPending) {
                Event event = handoff;
                runLocked(lock, event);
                handoffPending = false;
                finished.notify_all();
                continue;
            }
            if (VirtualClock::enabled() || events.empty()) {
                wake.wait(lock);
                continue;
            }
            auto next = earliest();
            std::int64_t now = monotonicNs();
            if (next->deadlineNs > now) {
                // steady_clock is CLOCK_MONOTONIC: the wait ends at an absolute deadline.
                auto deadline = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(next->deadlineNs));
                wake.wait_until(lock, deadline);
                continue;
            }
            Event event = *next;
            events.erase(next);
            runLocked(lock, event);
        }
    }

    void ensureThread() {
        if (threadStarted) return;
        threadStarted = true;
        thread = std::thread([this] { loop(); });
        threadId = thread.get_id();
        thread.detach();  // the service lives as long as the process
    }

    // VirtualScheduler
    std::int64_t nextDeadlineNs() override {
        std::lock_guard lock(mutex);
        if (events.empty()) return -1;
        return earliest()->deadlineNs;
    }

    void fireDue(std::int64_t nowNs) override {
        std::unique_lock lock(mutex);
        while (!events.empty()) {
            auto next = earliest();
            if (next->deadlineNs > nowNs) break;
            handoff = *next;
            events.erase(next);
            handoffPending = true;
            ensureThread();
            wake.notify_all();
            finished.wait(lock, [this] { return !handoffPending; });
        }
    }
};

TimerService::TimerService() : state_(new State) {
    // Registered once, outside the service's lock: the clock asks for
    // deadlines while holding its own.
    VirtualClock::addScheduler(state_);
}

TimerService& TimerService::instance() {
    // Never destroyed: the thread may still run while static objects go.
    static TimerService* service = new TimerService;
    return *service;
}

bool TimerService::capabilities(TimerCapabilities& capabilities) {
    std::lock_guard lock(state_->mutex);
    if (state_->capabilityFailing) return false;
    capabilities = state_->capabilityOverride.value_or(realCapabilities);
    return true;
}

bool TimerService::beginPeriod(unsigned periodMs) {
    TimerCapabilities caps;
    return capabilities(caps) && periodMs >= caps.minimumPeriodMs && periodMs <= caps.maximumPeriodMs;
}

bool TimerService::endPeriod(unsigned periodMs) { return beginPeriod(periodMs); }

std::uint32_t TimerService::schedule(unsigned delayMs, Callback callback, void* user) {
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    // Like the capabilities say: a delay beyond the longest period is refused.
    if (s.stopped || delayMs > s.capabilityOverride.value_or(realCapabilities).maximumPeriodMs) return 0;
    std::uint32_t id = s.nextId++;
    if (s.nextId == 0) s.nextId = 1;
    s.events.push_back({monotonicNs() + static_cast<std::int64_t>(delayMs) * 1000000, id, callback, user});
    s.ensureThread();
    s.wake.notify_all();
    return id;
}

void TimerService::cancel(std::uint32_t event) {
    std::lock_guard lock(state_->mutex);
    auto& events = state_->events;
    events.erase(std::remove_if(events.begin(), events.end(), [event](const State::Event& e) { return e.id == event; }),
                 events.end());
}

void TimerService::waitUntilIdle(void* user) {
    if (onServiceThread()) return;
    std::unique_lock lock(state_->mutex);
    state_->finished.wait(lock, [&] { return !(state_->running && state_->runningUser == user); });
}

bool TimerService::onServiceThread() const {
    std::lock_guard lock(state_->mutex);
    return state_->threadStarted && std::this_thread::get_id() == state_->threadId;
}

void TimerService::stop() {
    std::lock_guard lock(state_->mutex);
    state_->stopped = true;
    state_->events.clear();
}

void TimerService::start() {
    std::lock_guard lock(state_->mutex);
    state_->stopped = false;
}

void TimerService::overrideCapabilities(std::optional<TimerCapabilities> capabilities, bool failing) {
    std::lock_guard lock(state_->mutex);
    state_->capabilityOverride = capabilities;
    state_->capabilityFailing = failing;
}

}  // namespace platform
