#include "platform/TimerService.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using platform::TimerService;

struct Firing {
    // The service may still be inside record() when a waiter wakes up.
    ~Firing() { TimerService::instance().waitUntilIdle(this); }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uint64_t> timesMs;
    bool onServiceThread = true;
    int rearmEveryMs = 0;  // >0: each firing schedules the next

    void waitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return timesMs.size() >= count; }));
    }
};

void record(void* user, std::uint32_t) {
    auto* firing = static_cast<Firing*>(user);
    bool onService = TimerService::instance().onServiceThread();
    {
        std::lock_guard lock(firing->mutex);
        firing->timesMs.push_back(platform::monotonicMs());
        firing->onServiceThread = firing->onServiceThread && onService;
    }
    firing->changed.notify_all();
    if (firing->rearmEveryMs > 0) TimerService::instance().schedule(static_cast<unsigned>(firing->rearmEveryMs), record, user);
}

class TimerServiceOnVirtualClock : public ::testing::Test {
protected:
    void SetUp() override { platform::VirtualClock::enable(1000); }
    void TearDown() override {
        TimerService::instance().stop();  // drops what a test left pending
        TimerService::instance().start();
        platform::VirtualClock::disable();
    }
};

TEST_F(TimerServiceOnVirtualClock, FiresAtItsDeadlineOnTheServiceThread) {
    Firing firing;
    ASSERT_NE(TimerService::instance().schedule(21, record, &firing), 0u);
    platform::VirtualClock::advance(20);
    EXPECT_TRUE(firing.timesMs.empty());
    platform::VirtualClock::advance(1);
    ASSERT_EQ(firing.timesMs.size(), 1u);
    EXPECT_EQ(firing.timesMs[0], 1021u);
    EXPECT_TRUE(firing.onServiceThread);
}

TEST_F(TimerServiceOnVirtualClock, ChainsOfEventsRunAsInRealTime) {
    Firing firing;
    firing.rearmEveryMs = 21;
    TimerService::instance().schedule(21, record, &firing);
    platform::VirtualClock::advance(100);
    EXPECT_EQ(firing.timesMs, (std::vector<std::uint64_t>{1021, 1042, 1063, 1084}));
    firing.rearmEveryMs = 0;
    platform::VirtualClock::advance(21);
    EXPECT_EQ(firing.timesMs.size(), 5u);
}

TEST_F(TimerServiceOnVirtualClock, CancelledAndRefusedEventsNeverFire) {
    Firing firing;
    std::uint32_t first = TimerService::instance().schedule(5, record, &firing);
    std::uint32_t second = TimerService::instance().schedule(5, record, &firing);
    EXPECT_NE(first, second);
    TimerService::instance().cancel(first);
    TimerService::instance().cancel(12345);  // unknown: nothing happens
    platform::VirtualClock::advance(10);
    EXPECT_EQ(firing.timesMs.size(), 1u);

    TimerService::instance().stop();
    EXPECT_EQ(TimerService::instance().schedule(1, record, &firing), 0u);
    TimerService::instance().start();
    EXPECT_NE(TimerService::instance().schedule(1, record, &firing), 0u);

    // Delays up to the longest period the capabilities announce, no more.
    EXPECT_EQ(TimerService::instance().schedule(1000001, record, &firing), 0u);
    std::uint32_t longest = TimerService::instance().schedule(1000000, record, &firing);
    EXPECT_NE(longest, 0u);
    TimerService::instance().cancel(longest);
}

TEST(TimerServiceCapabilities, ReportsOneToAMillionMilliseconds) {
    platform::TimerCapabilities caps{};
    ASSERT_TRUE(TimerService::instance().capabilities(caps));
    EXPECT_EQ(caps.minimumPeriodMs, 1u);
    EXPECT_EQ(caps.maximumPeriodMs, 1000000u);
    EXPECT_TRUE(TimerService::instance().beginPeriod(1));
    EXPECT_FALSE(TimerService::instance().beginPeriod(0));
    EXPECT_TRUE(TimerService::instance().endPeriod(1));
}

TEST(TimerServiceRealClock, NeverFiresBeforeItsDelay) {
    Firing firing;
    std::uint64_t scheduledMs = platform::monotonicMs();
    TimerService::instance().schedule(15, record, &firing);
    firing.waitFor(1);
    EXPECT_GE(firing.timesMs[0], scheduledMs + 15);
}

struct BlockingCallback {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool released = false;
};

void block(void* user, std::uint32_t) {
    auto* callback = static_cast<BlockingCallback*>(user);
    std::unique_lock lock(callback->mutex);
    callback->started = true;
    callback->changed.notify_all();
    callback->changed.wait(lock, [&] { return callback->released; });
}

TEST(TimerServiceRealClock, WaitingForIdleLastsUntilTheRunningCallbackReturns) {
    BlockingCallback callback;
    TimerService::instance().schedule(0, block, &callback);
    {
        std::unique_lock lock(callback.mutex);
        callback.changed.wait(lock, [&] { return callback.started; });
    }
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        TimerService::instance().waitUntilIdle(&callback);
        returned = true;
    });
    // Give the waiter time to reach its wait; it must still be waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(returned.load());
    {
        std::lock_guard lock(callback.mutex);
        callback.released = true;
    }
    callback.changed.notify_all();
    waiter.join();
    EXPECT_TRUE(returned.load());
}

}  // namespace
