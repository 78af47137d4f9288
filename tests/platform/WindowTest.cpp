#include "QtTestSupport.h"

#include "platform/Clock.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

std::int64_t threadNewCalls();  // tests/audio/GlobalNewCounter.cpp

namespace {

using qt_test_support::RecordingEvents;
using Strings = std::vector<std::string>;

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        platform::WindowSpec spec;
        spec.clientWidth = 64;
        spec.clientHeight = 48;
        spec.title = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        window.reset(platform::createNativeWindow(spec, &events));
        ASSERT_TRUE(window);
        window->show();
        window->updateNow();
        widget = qt_test_support::widgetTitled(spec.title);
        ASSERT_NE(widget, nullptr);
        events.take();
    }
    void TearDown() override {
        window.reset();
        qt_test_support::drainQueue();
        platform::VirtualClock::disable();
    }

    // A left-button event with its own time stamp, through Qt's delivery.
    void mouse(QEvent::Type type, int x, int y, unsigned long time) {
        Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(x, y), widget->mapToGlobal(QPointF(x, y)), Qt::LeftButton, buttons, Qt::NoModifier);
        event.setTimestamp(time);
        QApplication::sendEvent(widget, &event);
    }
    void click(int x, int y, unsigned long time) {
        mouse(QEvent::MouseButtonPress, x, y, time);
        mouse(QEvent::MouseButtonRelease, x, y, time + 10);
    }

    RecordingEvents events;
    std::unique_ptr<platform::NativeWindow> window;
    QWidget* widget = nullptr;
};

TEST_F(Window, ShowingPaintsTheWholeClientArea) {
    platform::WindowSpec spec;
    spec.clientWidth = 30;
    spec.clientHeight = 20;
    spec.title = "fresh";
    RecordingEvents fresh;
    std::unique_ptr<platform::NativeWindow> other(platform::createNativeWindow(spec, &fresh));
    other->show();
    other->updateNow();
    EXPECT_EQ(fresh.take(), (Strings{"paint 0,0,30,20"}));
}

TEST_F(Window, ADoubleClickComesAsDownUpDoubleUp) {
    click(10, 10, 1000);
    click(11, 10, 1100);  // close in time and place: a double click
    click(11, 10, 1200);  // a third click starts over
    click(11, 10, 5000);  // too late for a double click
    click(40, 10, 5100);  // too far away
    EXPECT_EQ(events.take(), (Strings{"down 10,10", "up 10,10", "double 11,10", "up 11,10", "down 11,10", "up 11,10",
                                      "down 11,10", "up 11,10", "down 40,10", "up 40,10"}));
}

TEST_F(Window, TheWheelDeliversTheRawDeltaAtAClientPoint) {
    for (int delta : {120, -120, 60}) {
        QWheelEvent event(QPointF(5, 6), widget->mapToGlobal(QPointF(5, 6)), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &event);
    }
    EXPECT_EQ(events.take(), (Strings{"wheel 5,6 120", "wheel 5,6 -120", "wheel 5,6 60"}));
}

TEST_F(Window, OneLeavePerRequest) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
    EXPECT_TRUE(events.take().empty());
    window->requestLeaveNotification();
    QApplication::sendEvent(widget, &leave);
    QApplication::sendEvent(widget, &leave);
    EXPECT_EQ(events.take(), (Strings{"leave"}));
}

TEST_F(Window, WhileAButtonIsDownTheMouseStaysCapturedOutsideTheWindow) {
    QWindow* handle = widget->windowHandle();
    ASSERT_NE(handle, nullptr);
    QTest::mousePress(handle, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    window->captureMouse();
    QTest::mouseMove(handle, QPoint(-7, 300));
    QTest::mouseRelease(handle, Qt::LeftButton, Qt::NoModifier, QPoint(-7, 300));
    window->releaseMouse();
    // The press, the move outside and the release outside, in that order.
    Strings seen = events.take();
    auto down = std::find(seen.begin(), seen.end(), "down 10,10");
    auto move = std::find(down, seen.end(), "move -7,300");
    auto up = std::find(move, seen.end(), "up -7,300");
    EXPECT_NE(up, seen.end()) << ::testing::PrintToString(seen);
}

TEST_F(Window, TypedCharactersArriveAsWindows1252Bytes) {
    QTest::keyClick(widget, Qt::Key_Backspace);
    QTest::keyClick(widget, Qt::Key_Tab);
    QTest::keyClick(widget, Qt::Key_Return);
    QTest::keyClick(widget, Qt::Key_Escape);
    for (const char* text : {"a", "\xc3\xa9", "\xe2\x82\xac", "\xce\xa9"}) {  // a é € and Ω, which has no byte
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8(text));
        QApplication::sendEvent(widget, &press);
    }
    EXPECT_EQ(events.take(), (Strings{"char 8", "char 9", "char 13", "char 27", "char 97", "char 233", "char 128"}));
}

TEST_F(Window, PresentCopiesOnlyTheListedRectangles) {
    std::vector<std::uint8_t> back(64 * 48 * 4);
    for (std::size_t i = 0; i < back.size(); ++i) back[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const platform::Rect rects[] = {{2, 3, 5, 4}, {60, 40, 10, 10}, {0, 47, 64, 1}};
    window->present(back.data(), 64 * 4, rects, 3);
    std::vector<std::uint8_t> shown = window->readBack({0, 0, 64, 48});
    auto inside = [&](int x, int y) {
        for (const auto& r : rects) {
            if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) return true;
        }
        return false;
    };
    int differing = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            std::size_t at = (static_cast<std::size_t>(y) * 64 + x) * 4;
            std::uint8_t expected[4] = {255, 255, 255, 255};  // the window starts white
            if (inside(x, y)) {
                for (int c = 0; c < 3; ++c) expected[c] = back[at + static_cast<std::size_t>(c)];
            }
            for (int c = 0; c < 4; ++c) differing += shown[at + static_cast<std::size_t>(c)] != expected[c];
        }
    }
    EXPECT_EQ(differing, 0);
    std::vector<platform::Rect> presented = window->takePresentedRects();
    ASSERT_EQ(presented.size(), 3u);
    EXPECT_EQ(presented[1], rects[1]);
    EXPECT_TRUE(window->takePresentedRects().empty());
}

TEST_F(Window, PaintRequestsFromAnyThread) {
    std::thread([this] {
        platform::requestPaint(window->handle());  // nothing invalid: the all-zero case
    }).join();
    ASSERT_TRUE(qt_test_support::dispatchUntil([&] { return !events.events.empty(); }));
    EXPECT_EQ(events.take(), (Strings{"paint 0,0,0,0"}));
    std::thread([this] { platform::invalidateWindow(window->handle(), {4, 5, 6, 7}); }).join();
    ASSERT_TRUE(qt_test_support::dispatchUntil([&] { return !events.events.empty(); }));
    EXPECT_EQ(events.take(), (Strings{"paint 4,5,6,7"}));
}

// The output thread asks for paints and workers post results: neither may
// allocate on its way to the UI thread.
TEST_F(Window, AnotherThreadPostsAndAsksForPaintsWithoutAllocating) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        std::int64_t allocations = -1;
        std::thread([&] {
            const std::int64_t before = threadNewCalls();
            for (int i = 0; i < 20; ++i) platform::postMessage(window->handle(), platform::clientMessage, round, i);
            platform::requestPaint(window->handle());
            platform::requestPaint(window->handle());  // still waiting: nothing more to do
            allocations = threadNewCalls() - before;
        }).join();
        EXPECT_EQ(allocations, 0);
        ASSERT_TRUE(qt_test_support::dispatchUntil([&] { return events.events.size() >= 21; }));
        Strings expected;
        for (int i = 0; i < 20; ++i) expected.push_back("message 1026 " + std::to_string(round) + " " + std::to_string(i));
        expected.push_back("paint 0,0,0,0");
        Strings arrived = events.take();
        std::stable_partition(arrived.begin(), arrived.end(), [](const std::string& e) { return e.rfind("message", 0) == 0; });
        EXPECT_EQ(arrived, expected);
    }
}

TEST_F(Window, PostedMessagesReachTheirWindow) {
    std::thread([this] {
        platform::postMessage(window->handle(), platform::clientMessage, 3, 4);
        platform::postMessage(window->handle(), platform::midiInDataMessage, 1, 0x7F14B0);
    }).join();
    ASSERT_TRUE(qt_test_support::dispatchUntil([&] { return events.events.size() == 2; }));
    EXPECT_EQ(events.take(), (Strings{"message 1026 3 4", "message 963 1 8328368"}));
}

TEST_F(Window, ClosingOnlyAsksTheProgram) {
    widget->close();  // as from the caption's close button
    EXPECT_EQ(events.take(), (Strings{"close"}));
    EXPECT_TRUE(widget->isVisible());
    EXPECT_TRUE(platform::sendClose(window->handle()));  // from the program, at once
    EXPECT_EQ(events.take(), (Strings{"close"}));
    EXPECT_FALSE(platform::sendClose(window->handle() + 1000));
}

TEST_F(Window, WithInputOffPaintsGoOnButMouseAndKeysAreIgnored) {
    window->setInputEnabled(false);
    click(5, 5, 100);
    QTest::keyClick(widget, Qt::Key_A);
    platform::requestPaint(window->handle());
    ASSERT_TRUE(qt_test_support::dispatchUntil([&] { return !events.events.empty(); }));
    EXPECT_EQ(events.take(), (Strings{"paint 0,0,0,0"}));
    window->setInputEnabled(true);
    click(5, 5, 200);
    EXPECT_EQ(events.take(), (Strings{"down 5,5", "up 5,5"}));
}

TEST_F(Window, TheWindowTimerTicksUntilStopped) {
    window->startTimer(1, 5);
    ASSERT_TRUE(qt_test_support::dispatchUntil([&] { return events.has("timer 1"); }));
    window->stopTimer(1);
    events.take();
    platform::dispatchPostedMessages();
    EXPECT_TRUE(events.take().empty());
}

TEST_F(Window, OnTheVirtualClockAtMostOneTickWaits) {
    platform::VirtualClock::enable(0);
    window->startTimer(1, 10);
    platform::VirtualClock::advance(35);  // three periods passed, one tick waits
    platform::dispatchPostedMessages();
    EXPECT_EQ(events.take(), (Strings{"timer 1"}));
    platform::VirtualClock::advance(10);
    platform::dispatchPostedMessages();
    EXPECT_EQ(events.take(), (Strings{"timer 1"}));
    window->startTimer(1, 100);  // restarted: the new period counts from now
    platform::VirtualClock::advance(99);
    platform::dispatchPostedMessages();
    EXPECT_TRUE(events.take().empty());
    platform::VirtualClock::advance(1);
    platform::dispatchPostedMessages();
    EXPECT_EQ(events.take(), (Strings{"timer 1"}));
}

TEST_F(Window, ADestroyedWindowsHandleIsUnknown) {
    platform::WindowHandle handle = window->handle();
    platform::setWindowObject(handle, this);
    EXPECT_EQ(platform::windowObject(handle), this);
    window.reset();
    EXPECT_FALSE(platform::isWindow(handle));
    EXPECT_EQ(platform::windowObject(handle), nullptr);
    EXPECT_FALSE(platform::postMessage(handle, platform::clientMessage, 0, 0));
}

TEST_F(Window, CursorsAndWheelLines) {
    platform::setCursorShape(platform::CursorShape::Wait);
    EXPECT_EQ(widget->cursor().shape(), Qt::WaitCursor);
    platform::setCursorShape(platform::CursorShape::Hand);
    EXPECT_EQ(widget->cursor().shape(), Qt::PointingHandCursor);
    platform::setCursorShape(platform::CursorShape::Arrow);
    EXPECT_EQ(widget->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(platform::wheelScrollLines(), QApplication::wheelScrollLines());
}

TEST_F(Window, TheWorkAreaIsSettableAndDefaultsToTheProgramsMinimumScreen) {
    platform::Rect area = platform::workArea();
    EXPECT_EQ(area, (platform::Rect{0, 0, 1280, 1024}));
    platform::setWorkArea({0, 0, 1024, 738});
    EXPECT_EQ(platform::workArea(), (platform::Rect{0, 0, 1024, 738}));
    platform::setWorkArea({});
    window->move({100, 120});
    EXPECT_EQ(window->position().x, 100);
    EXPECT_EQ(window->position().y, 120);
}

}  // namespace
