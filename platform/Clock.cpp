#include "platform/Clock.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <time.h>
#include <vector>

namespace platform {
namespace {

std::atomic<bool> virtualOn{false};
std::atomic<std::int64_t> virtualNowNs{0};

// Guards the scheduler list; advance() does not hold it while firing.
std::mutex schedulersMutex;
std::vector<VirtualScheduler*> schedulers;
std::mutex advanceMutex;  // one advance at a time

}  // namespace

std::uint64_t monotonicMs() {
    if (virtualOn.load(std::memory_order_relaxed)) {
        return static_cast<std::uint64_t>(virtualNowNs.load(std::memory_order_relaxed) / 1000000);
    }
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000U + static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
}

std::int64_t monotonicNs() {
    if (virtualOn.load(std::memory_order_relaxed)) return virtualNowNs.load(std::memory_order_relaxed);
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void VirtualClock::enable(std::uint64_t startMs) {
    virtualNowNs.store(static_cast<std::int64_t>(startMs) * 1000000);
    virtualOn.store(true);
}

void VirtualClock::disable() { virtualOn.store(false); }

bool VirtualClock::enabled() { return virtualOn.load(); }

void VirtualClock::advance(std::uint64_t ms) { advanceNs(static_cast<std::int64_t>(ms) * 1000000); }

void VirtualClock::advanceNs(std::int64_t ns) {
    std::lock_guard serial(advanceMutex);
    const std::int64_t target = virtualNowNs.load() + std::max<std::int64_t>(ns, 0);
    while (true) {
        VirtualScheduler* earliest = nullptr;
        std::int64_t earliestNs = -1;
        {
            std::lock_guard lock(schedulersMutex);
            for (VirtualScheduler* scheduler : schedulers) {
                std::int64_t deadline = scheduler->nextDeadlineNs();
                if (deadline >= 0 && deadline <= target && (earliest == nullptr || deadline < earliestNs)) {
                    earliest = scheduler;
                    earliestNs = deadline;
                }
            }
        }
        if (earliest == nullptr) break;
        // Deadlines in the past fire at the current time; time never runs back.
        virtualNowNs.store(std::max(earliestNs, virtualNowNs.load()));
        earliest->fireDue(virtualNowNs.load());
    }
    virtualNowNs.store(target);
}

void VirtualClock::addScheduler(VirtualScheduler* scheduler) {
    std::lock_guard lock(schedulersMutex);
    schedulers.push_back(scheduler);
}

void VirtualClock::removeScheduler(VirtualScheduler* scheduler) {
    std::lock_guard lock(schedulersMutex);
    schedulers.erase(std::remove(schedulers.begin(), schedulers.end(), scheduler), schedulers.end());
}

}  // namespace platform
