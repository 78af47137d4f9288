#include "FrameworkTest.h"

#include "framework/CriticalSections.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class CriticalSections : public FrameworkTest {};

TEST_F(CriticalSections, NumbersOutsideTheTableAreFatal) {
    for (int number : {20, -1, 1000}) {
        EXPECT_FATAL(enterCriticalSection(number), "Too high an index for a critical section.");
        EXPECT_FATAL(leaveCriticalSection(number), "Too high an index for a critical section.");
    }
}

TEST_F(CriticalSections, AThreadMayEnterALockItHoldsAndMustLeaveAsOften) {
    enterCriticalSection(2);
    enterCriticalSection(2);  // would deadlock on a plain lock
    leaveCriticalSection(2);
    std::atomic<bool> taken{false};
    std::thread other([&] {
        enterCriticalSection(2);
        taken = true;
        leaveCriticalSection(2);
    });
    // Still held once: the other thread must wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(taken.load());
    leaveCriticalSection(2);
    other.join();
    EXPECT_TRUE(taken.load());
}

TEST_F(CriticalSections, EveryNumberExcludesOtherThreads) {
    // Unlocked increments of a plain counter lose updates (and show up under
    // ThreadSanitizer) unless the lock really excludes.
    for (int number = 0; number < criticalSectionCount; ++number) {
        long counter = 0;
        std::vector<std::thread> workers;
        for (int t = 0; t < 4; ++t) {
            workers.emplace_back([&] {
                for (int i = 0; i < 2000; ++i) {
                    enterCriticalSection(number);
                    enterCriticalSection(number);  // nested, as callers may
                    ++counter;
                    leaveCriticalSection(number);
                    leaveCriticalSection(number);
                }
            });
        }
        for (auto& worker : workers) worker.join();
        EXPECT_EQ(counter, 8000) << number;
    }
}

}  // namespace
