#include "FrameworkTest.h"

#include "framework/Timer.h"
#include "platform/Clock.h"
#include "platform/TimerService.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using platform::VirtualClock;

// Records the (virtual) time of each tick; can re-trigger from inside it.
class Recorder : public TimerClient {
public:
    void tick(Timer* timer) override {
        {
            std::lock_guard lock(mutex);
            ticks.push_back(platform::monotonicMs());
            onTimerThread = onTimerThread && platform::TimerService::instance().onServiceThread();
        }
        changed.notify_all();
        if (retriggerMs >= 0) timer->trigger(retriggerMs);
        if (deleteOnTick) delete timer;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uint64_t> ticks;
    bool onTimerThread = true;
    int retriggerMs = -1;
    bool deleteOnTick = false;
};

class TimerOnVirtualClock : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        VirtualClock::enable(0);
        setTimerResolution();
    }
    void TearDown() override {
        resetTimerResolution();
        platform::TimerService::instance().overrideCapabilities(std::nullopt);
        platform::TimerService::instance().start();
        VirtualClock::disable();
        FrameworkTest::TearDown();
    }
    Recorder recorder;
};

TEST_F(TimerOnVirtualClock, AZeroDelayWaitsOneResolutionPeriod) {
    Timer timer(&recorder);
    timer.trigger(0);
    VirtualClock::advance(0);
    EXPECT_TRUE(recorder.ticks.empty());
    VirtualClock::advance(1);
    EXPECT_EQ(recorder.ticks, (std::vector<std::uint64_t>{1}));
    EXPECT_TRUE(recorder.onTimerThread);
}

TEST_F(TimerOnVirtualClock, ACoarserDeviceRaisesTheResolution) {
    resetTimerResolution();
    platform::TimerService::instance().overrideCapabilities(platform::TimerCapabilities{2, 1000000});
    setTimerResolution();
    EXPECT_EQ(timerResolutionMs(), 2u);
    Timer timer(&recorder);
    timer.trigger(1);
    VirtualClock::advance(1);
    EXPECT_TRUE(recorder.ticks.empty());
    VirtualClock::advance(1);
    EXPECT_EQ(recorder.ticks, (std::vector<std::uint64_t>{2}));
}

TEST_F(TimerOnVirtualClock, TimerServiceFailuresAreFatal) {
    resetTimerResolution();
    platform::TimerService::instance().overrideCapabilities(std::nullopt, true);
    EXPECT_FATAL(setTimerResolution(), "Cannot get timer capabilities.");
    platform::TimerService::instance().overrideCapabilities(platform::TimerCapabilities{5, 2});  // nothing fits
    EXPECT_FATAL(setTimerResolution(), "Cannot set timer minimum resolution.");
    platform::TimerService::instance().overrideCapabilities(std::nullopt);
    setTimerResolution();
}

TEST_F(TimerOnVirtualClock, PulsesChainFromInsideTheTick) {
    // The MIDI clock at 120 BPM: a pulse every 21 ms, armed by the previous one.
    Timer timer(&recorder);
    recorder.retriggerMs = 21;
    timer.trigger(0);
    VirtualClock::advance(64);
    EXPECT_EQ(recorder.ticks, (std::vector<std::uint64_t>{1, 22, 43, 64}));
}

TEST_F(TimerOnVirtualClock, TwoTriggersBothFire) {
    Timer timer(&recorder);
    timer.trigger(10);
    timer.trigger(10);
    timer.trigger(5);
    VirtualClock::advance(10);
    EXPECT_EQ(recorder.ticks, (std::vector<std::uint64_t>{5, 10, 10}));
}

TEST_F(TimerOnVirtualClock, DestructionCancelsEveryPendingEvent) {
    {
        Timer timer(&recorder);
        timer.trigger(5);
        timer.trigger(50);
    }
    VirtualClock::advance(100);
    EXPECT_TRUE(recorder.ticks.empty());
    {
        Timer neverFired(&recorder);  // cancels nothing, reports nothing
    }
    EXPECT_TRUE(testing_support::logTexts().empty());
}

TEST_F(TimerOnVirtualClock, ATickMayEndItsOwnTimer) {
    auto* timer = new Timer(&recorder);
    recorder.deleteOnTick = true;
    timer->trigger(3);
    VirtualClock::advance(3);
    EXPECT_EQ(recorder.ticks.size(), 1u);
}

TEST_F(TimerOnVirtualClock, RefusedEventsAreLoggedAndNeverFire) {
    Timer timer(&recorder);
    timer.trigger(1000001);  // beyond the longest period
    platform::TimerService::instance().stop();
    timer.trigger(1);
    VirtualClock::advance(1000002);
    EXPECT_TRUE(recorder.ticks.empty());
    std::vector<std::string> texts = testing_support::logTexts();
    ASSERT_EQ(texts.size(), 2u);
    for (const auto& text : texts) EXPECT_EQ(text.substr(text.find(": ") + 2), "Cannot set timer.");
}

// A tick that blocks until released, to catch the destructor in the middle.
class BlockingClient : public TimerClient {
public:
    void tick(Timer* timer) override {
        std::unique_lock lock(mutex);
        started = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
        timer->trigger(1);  // destruction has begun: schedules nothing
        finished = true;
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool released = false;
    std::atomic<bool> finished{false};
};

TEST(TimerRealClock, NeverFiresBeforeItsDelay) {
    setTimerResolution();
    Recorder recorder;
    Timer timer(&recorder);
    std::uint64_t triggeredMs = platform::monotonicMs();
    timer.trigger(10);
    std::unique_lock lock(recorder.mutex);
    ASSERT_TRUE(recorder.changed.wait_for(lock, std::chrono::seconds(10), [&] { return !recorder.ticks.empty(); }));
    EXPECT_GE(recorder.ticks[0], triggeredMs + 10);
    resetTimerResolution();
}

TEST(TimerRealClock, DestructionWaitsForARunningTickAndThenSchedulesNothing) {
    setTimerResolution();
    BlockingClient client;
    auto* timer = new Timer(&client);
    timer->trigger(0);
    {
        std::unique_lock lock(client.mutex);
        client.changed.wait(lock, [&] { return client.started; });
    }
    std::atomic<bool> destroyed{false};
    std::thread destroyer([&] {
        delete timer;
        destroyed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(destroyed.load());  // still waiting for the tick
    {
        std::lock_guard lock(client.mutex);
        client.released = true;
    }
    client.changed.notify_all();
    destroyer.join();
    EXPECT_TRUE(client.finished.load());
    resetTimerResolution();
}

}  // namespace
