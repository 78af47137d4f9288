#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <time.h>

namespace {

std::uint64_t monotonicMsNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

TEST(Clock, MillisecondsAreMonotonicSecondsTimesThousandPlusNanosecondsOverMillion) {
    // Bracketed by direct readings of CLOCK_MONOTONIC in the same units:
    // a tick count times 1000 (overflowing) or another clock would fall outside.
    std::uint64_t before = monotonicMsNow();
    std::uint64_t reading = platform::monotonicMs();
    std::uint64_t after = monotonicMsNow();
    EXPECT_LE(before, reading);
    EXPECT_LE(reading, after);
    std::int64_t nanoseconds = platform::monotonicNs();
    EXPECT_NEAR(static_cast<double>(nanoseconds / 1000000), static_cast<double>(platform::monotonicMs()), 2.0);
}

TEST(Clock, VirtualClockReplacesTheRealOneUntilSwitchedOff) {
    platform::VirtualClock::enable(5000);
    EXPECT_EQ(platform::monotonicMs(), 5000u);
    platform::VirtualClock::advance(21);
    EXPECT_EQ(platform::monotonicMs(), 5021u);
    EXPECT_EQ(platform::monotonicNs(), 5021LL * 1000000);
    platform::VirtualClock::disable();
    std::uint64_t real = monotonicMsNow();
    EXPECT_NEAR(static_cast<double>(platform::monotonicMs()), static_cast<double>(real), 5.0);
}

// A scheduler that records when it fired and re-arms itself, as a chain of
// pulses does.
class ChainScheduler : public platform::VirtualScheduler {
public:
    explicit ChainScheduler(std::int64_t periodNs) : period_(periodNs), next_(platform::monotonicNs() + periodNs) {}
    std::int64_t nextDeadlineNs() override { return next_; }
    void fireDue(std::int64_t nowNs) override {
        fired.push_back(nowNs);
        next_ = nowNs + period_;
    }
    std::vector<std::int64_t> fired;

private:
    std::int64_t period_;
    std::int64_t next_;
};

TEST(Clock, AdvanceFiresEachDeadlineAtItsOwnTimeAndFollowsChains) {
    platform::VirtualClock::enable(0);
    ChainScheduler chain(21 * 1000000);
    platform::VirtualClock::addScheduler(&chain);
    platform::VirtualClock::advance(100);
    platform::VirtualClock::removeScheduler(&chain);
    platform::VirtualClock::disable();
    const std::vector<std::int64_t> expected = {21000000, 42000000, 63000000, 84000000};
    EXPECT_EQ(chain.fired, expected);
}

}  // namespace
