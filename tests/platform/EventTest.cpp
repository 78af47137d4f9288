#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using platform::Event;

namespace {

TEST(Event, AutomaticResetLetsOneWaitThrough) {
    Event event;
    EXPECT_FALSE(event.wait(0));
    event.set();
    event.set();  // a second set before a wait changes nothing
    EXPECT_TRUE(event.wait(0));
    EXPECT_FALSE(event.wait(0));
    Event signalled(Event::Reset::Automatic, true);
    EXPECT_TRUE(signalled.wait(0));
    EXPECT_FALSE(signalled.wait(5));
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
    Event event(Event::Reset::Manual);
    event.set();
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.wait(0));
    event.reset();
    EXPECT_FALSE(event.wait(0));
}

TEST(Event, WaitForAnyTakesTheLowestSignalledAndResetsOnlyThatOne) {
    Event a;
    Event b;
    Event c(Event::Reset::Manual);
    Event* events[] = {&a, &b, &c};
    c.set();
    b.set();
    a.set();
    EXPECT_EQ(Event::waitForAny(events, 3, 0), 0);
    EXPECT_EQ(Event::waitForAny(events, 3, 0), 1);
    EXPECT_EQ(Event::waitForAny(events, 3, 0), 2);
    EXPECT_EQ(Event::waitForAny(events, 3, 0), 2);  // manual: still set
    c.reset();
    EXPECT_EQ(Event::waitForAny(events, 3, 10), Event::timedOut);
}

TEST(Event, SetFromAnotherThreadWakesAnEndlessWait) {
    Event first;
    Event second;
    std::atomic<int> woken{-1};
    std::thread waiter([&] {
        Event* events[] = {&first, &second};
        woken.store(Event::waitForAny(events, 2));
    });
    second.set();
    waiter.join();
    EXPECT_EQ(woken.load(), 1);
    EXPECT_FALSE(second.wait(0));
}

// settled() tells a pacing test when the work a signal caused is done: the
// thread that took it waits again, or has ended.
TEST(Event, SettledOnceTheTakerWaitsAgainOrEnds) {
    Event work;
    Event gate;
    std::atomic<bool> took{false};
    std::atomic<bool> checked{false};
    EXPECT_TRUE(work.settled());
    std::thread worker([&] {
        work.wait();
        took.store(true);
        while (!checked.load()) std::this_thread::yield();  // busy with the work
        gate.wait();                                        // waits again: done
        work.wait();
        // ends without waiting again
    });
    work.set();
    while (!took.load()) std::this_thread::yield();
    EXPECT_FALSE(work.settled());
    checked.store(true);
    while (!work.settled()) std::this_thread::yield();
    gate.set();
    work.set();
    worker.join();
    EXPECT_TRUE(work.settled());
}

TEST(Event, SignalledButNotTakenIsNotSettled) {
    Event event;
    event.set();
    EXPECT_FALSE(event.settled());
    EXPECT_TRUE(event.wait(0));
    // This thread took it and has not waited since.
    EXPECT_FALSE(event.settled());
    Event other;
    other.wait(0);
    EXPECT_TRUE(event.settled());
}

TEST(Event, InjectedResultComesBackOnce) {
    Event event;
    Event* events[] = {&event};
    std::atomic<int> result{0};
    std::thread waiter([&] { result.store(Event::waitForAny(events, 1)); });
    Event::injectWaitResult(258);
    waiter.join();
    EXPECT_EQ(result.load(), 258);
    EXPECT_EQ(Event::waitForAny(events, 1, 0), Event::timedOut);
}

}  // namespace
