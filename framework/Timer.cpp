#include "framework/Timer.h"

#include "framework/Log.h"
#include "framework/Support.h"
#include "platform/TimerService.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<unsigned> resolutionMs{0};
}

Timer::Timer(TimerClient* client) : client_(client) {}

Timer::~Timer() {
    std::vector<std::uint32_t> events;
    {
        std::lock_guard lock(mutex_);
        destroying_ = true;
        events.swap(pending_);
    }
    platform::TimerService& service = platform::TimerService::instance();
    for (std::uint32_t event : events) service.cancel(event);
    service.waitUntilIdle(this);
}

bool Timer::trigger(int delayMs) {
    unsigned delay = std::max(static_cast<unsigned>(std::max(delayMs, 0)), resolutionMs.load());
    std::lock_guard lock(mutex_);
    if (destroying_) return false;
    // Scheduled under the timer's lock, so a destructor that runs meanwhile
    // either sees the event in pending_ or finds destroying_ set first.
    std::uint32_t event = platform::TimerService::instance().schedule(delay, expired, this);
    if (event == 0) {
        logMessage("Cannot set timer.", __FILE__, __LINE__);
        return false;
    }
    pending_.push_back(event);
    return true;
}

void Timer::expired(void* user, std::uint32_t event) {
    auto* timer = static_cast<Timer*>(user);
    {
        std::lock_guard lock(timer->mutex_);
        auto found = std::find(timer->pending_.begin(), timer->pending_.end(), event);
        if (found == timer->pending_.end()) return;  // cancelled while it was being handed over
        timer->pending_.erase(found);
    }
    // The destructor waits for this call (unless the tick itself deletes the
    // timer), so the timer is not touched after tick returns.
    if (timer->client_ != nullptr) timer->client_->tick(timer);
}

void setTimerResolution() {
    platform::TimerService& service = platform::TimerService::instance();
    platform::TimerCapabilities capabilities;
    if (!service.capabilities(capabilities)) fatalError("Cannot get timer capabilities.", __FILE__, __LINE__);
    unsigned resolution = std::min(std::max(wantedTimerResolutionMs, capabilities.minimumPeriodMs), capabilities.maximumPeriodMs);
    if (!service.beginPeriod(resolution)) fatalError("Cannot set timer minimum resolution.", __FILE__, __LINE__);
    resolutionMs.store(resolution);
}

void resetTimerResolution() {
    unsigned resolution = resolutionMs.load();
    if (resolution == 0) return;  // never set
    if (!platform::TimerService::instance().endPeriod(resolution)) {
        fatalError("Cannot unset timer minimum resolution.", __FILE__, __LINE__);
    }
    resolutionMs.store(0);
}

unsigned timerResolutionMs() { return resolutionMs.load(); }
