#include "platform/EventLoop.h"

#include "platform/LastError.h"
#include "platform/PostRing.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <thread>
#include <vector>

std::int64_t threadNewCalls();  // tests/audio/GlobalNewCounter.cpp

namespace {

using platform::Message;

class RecordingTarget : public platform::MessageTarget {
public:
    void handleMessage(const Message& message) override { received.push_back(message); }
    std::vector<Message> received;
};

class EventLoop : public ::testing::Test {
protected:
    void SetUp() override { window = platform::registerWindow(&target); }
    void TearDown() override {
        // Leave nothing queued for the next test.
        Message ignored;
        platform::postQuitMessage(0);
        while (platform::getMessage(ignored)) {
        }
        platform::unregisterWindow(window);
    }
    RecordingTarget target;
    platform::WindowHandle window = platform::noWindow;
};

TEST_F(EventLoop, MessagesFromManyThreadsKeepTheirOrder) {
    constexpr int threads = 4;
    constexpr int perThread = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([this, t] {
            for (int i = 0; i < perThread; ++i) platform::postMessage(window, platform::clientMessage, t, i);
        });
    }
    for (auto& poster : posters) poster.join();
    // Posted after every earlier message was queued: it must come last.
    platform::postMessage(window, platform::redrawMessage, 99, 0);

    std::vector<int> next(threads, 0);
    Message message;
    for (int n = 0; n < threads * perThread; ++n) {
        ASSERT_TRUE(platform::getMessage(message));
        ASSERT_EQ(message.id, platform::clientMessage);
        int from = static_cast<int>(message.wParam);
        EXPECT_EQ(message.lParam, next[from]) << "thread " << from;
        next[from] = static_cast<int>(message.lParam) + 1;
    }
    ASSERT_TRUE(platform::getMessage(message));
    EXPECT_EQ(message.id, platform::redrawMessage);
}

TEST_F(EventLoop, PostingFromAnotherThreadAllocatesNothing) {
    for (int round = 0; round < 3; ++round) {
        std::int64_t allocations = -1;
        std::thread([&] {
            const std::int64_t before = threadNewCalls();
            for (int i = 0; i < 1000; ++i) platform::postMessage(window, platform::clientMessage, round, i);
            allocations = threadNewCalls() - before;
        }).join();
        EXPECT_EQ(allocations, 0) << "round " << round;
        Message message;
        for (int i = 0; i < 1000; ++i) {
            ASSERT_TRUE(platform::getMessage(message));
            ASSERT_EQ(message.lParam, i) << "round " << round;
        }
    }
    // Far more than ever waits at once: the queue grows and keeps the order.
    for (int i = 0; i < 9000; ++i) platform::postMessage(window, platform::clientMessage, 9, i);
    EXPECT_EQ(platform::queuedMessageCount(), 9000);
    Message message;
    for (int i = 0; i < 9000; ++i) {
        ASSERT_TRUE(platform::getMessage(message));
        ASSERT_EQ(message.lParam, i);
    }
}

// The queue's ring against a deque under a random mix of everything the
// loop does to it, from a capacity small enough to wrap and grow often.
TEST(PostRing, BehavesAsADequeAcrossItsEndAndWhenItGrows) {
    platform::PostRing<int> ring(3);
    std::deque<int> model;
    std::mt19937 random(29);
    int next = 0;
    for (int step = 0; step < 20000; ++step) {
        const unsigned action = random() % 10;
        if (action < 5 || model.empty()) {
            ring.push_back(next);
            model.push_back(next++);
        } else if (action < 8) {
            ring.pop_front();
            model.pop_front();
        } else if (action == 8) {
            const std::size_t at = random() % model.size();
            ring.erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else {
            const int divisor = 2 + static_cast<int>(random() % 5);
            const auto remove = [divisor](int value) { return value % divisor == 0; };
            const std::size_t before = model.size();
            std::erase_if(model, remove);
            ASSERT_EQ(ring.eraseIf(remove), before - model.size());
        }
        ASSERT_EQ(ring.size(), model.size()) << "step " << step;
        for (std::size_t i = 0; i < model.size(); ++i) ASSERT_EQ(ring[i], model[i]) << "step " << step << ", at " << i;
    }
    EXPECT_GT(ring.capacity(), 3u);
}

TEST_F(EventLoop, CloseRequestsAreLeftForTheMainLoop) {
    platform::postMessage(window, platform::clientMessage, 1, 0);
    platform::postMessage(window, platform::closeRequestMessage, 0, 0);
    platform::postMessage(window, platform::clientMessage, 2, 0);

    // A nested loop dispatches around the close request.
    EXPECT_EQ(platform::dispatchPostedMessages(), 2);
    ASSERT_EQ(target.received.size(), 2u);
    EXPECT_EQ(target.received[0].wParam, 1u);
    EXPECT_EQ(target.received[1].wParam, 2u);
    EXPECT_EQ(platform::queuedMessageCount(), 1);

    // The main loop sees it before anything dispatches it.
    Message message;
    ASSERT_TRUE(platform::getMessage(message));
    EXPECT_EQ(message.id, platform::closeRequestMessage);
    EXPECT_EQ(message.window, window);
    EXPECT_EQ(target.received.size(), 2u);
}

TEST_F(EventLoop, QuitEndsTheLoopOnceTheQueueIsEmptyWithItsCode) {
    platform::postMessage(window, platform::clientMessage, 7, 0);
    platform::postQuitMessage(3);
    Message message;
    ASSERT_TRUE(platform::getMessage(message));
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_FALSE(platform::getMessage(message));
    EXPECT_EQ(platform::quitExitCode(), 3);
}

TEST_F(EventLoop, GetMessageWaitsForAMessageFromAnotherThread) {
    std::thread poster([this] { platform::postMessage(window, platform::clientMessage, 5, 6); });
    Message message;
    ASSERT_TRUE(platform::getMessage(message));
    poster.join();
    EXPECT_EQ(message.wParam, 5u);
    EXPECT_EQ(message.lParam, 6);
}

TEST_F(EventLoop, UnknownAndDestroyedWindowsTakeNoMessages) {
    platform::WindowHandle gone = platform::registerWindow(&target);
    platform::setWindowObject(gone, &target);
    // Messages queued before it went are dropped with it, others stay.
    platform::postMessage(gone, platform::clientMessage, 1, 0);
    platform::postMessage(window, platform::clientMessage, 2, 0);
    platform::postMessage(gone, platform::closeRequestMessage, 0, 0);
    EXPECT_EQ(platform::windowObject(gone), &target);
    platform::unregisterWindow(gone);
    EXPECT_EQ(platform::queuedMessageCount(), 1);
    Message left;
    ASSERT_TRUE(platform::getMessage(left));
    EXPECT_EQ(left.window, window);
    EXPECT_EQ(left.wParam, 2u);
    EXPECT_FALSE(platform::isWindow(gone));
    EXPECT_EQ(platform::windowObject(gone), nullptr);
    EXPECT_FALSE(platform::postMessage(gone, platform::clientMessage, 0, 0));
    EXPECT_EQ(platform::takeLastErrorText(), "Invalid window handle.");
    EXPECT_FALSE(platform::postMessage(platform::noWindow, platform::clientMessage, 0, 0));
    // A handle is never handed out twice.
    platform::WindowHandle again = platform::registerWindow(&target);
    EXPECT_NE(again, gone);
    platform::unregisterWindow(again);
}

}  // namespace
