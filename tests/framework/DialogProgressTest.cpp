#include "WindowTestSupport.h"

#include "framework/DialogProgress.h"
#include "framework/DialogProgressClient.h"
#include "framework/TimerClient.h"
#include "platform/TestInput.h"

#include <atomic>
#include <thread>

namespace {

using Log = std::vector<std::string>;

TEST(DialogProgressPercentage, SixtyFourBitsTruncatedTowardZero) {
    struct Case {
        int value, low, high, percent;
    };
    const Case cases[] = {
        {0, 0, 200, 0},     {1, 0, 200, 0},      {2, 0, 200, 1},       {3, 0, 200, 1},      {200, 0, 200, 100},
        {5, 5, 5, 0},       {-40, 5, 5, 0},      {9, 10, 20, -10},     {-1, 0, 200, 0},     {250, 0, 200, 125},
        {7, 0, 9, 77},      {150, 100, 300, 25}, {20, 0, -40, -50},    {0, -100, 100, 50},
        // Products beyond 32 bits: the percentage is still right.
        {2000000000, 0, 2000000000, 100},        {1000000000, 0, 2000000000, 50},
        {2147483646, -2147483647 - 1, 2147483647, 99},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DialogProgress::percentage(c.value, c.low, c.high), c.percent) << c.value << " in " << c.low << ".." << c.high;
    }
}

// A job whose steps the test drives: each is run on the job thread.
class ScriptedJob : public DialogProgressClient {
public:
    void run(DialogProgress* dialog, const std::string& title) override {
        onUiThread = platform::onUiThread();
        heardTitle = title;
        if (body) body(*dialog);
        returned = true;
    }
    std::function<void(DialogProgress&)> body;
    std::atomic<bool> returned{false};
    bool onUiThread = true;
    std::string heardTitle;
};

// Takes a marker posted by the job after a step; by then the bar has taken
// what the step posted (one queue, in order).
class Probe : public platform::MessageTarget {
public:
    Probe() : handle(platform::registerWindow(this)) {}
    ~Probe() override { platform::unregisterWindow(handle); }
    void handleMessage(const platform::Message& message) override {
        if (dialog != nullptr) bars.push_back(dialog->progressPosition(DialogProgress::progressBarId));
        marks.push_back(static_cast<int>(message.wParam));
    }
    void mark(int value) { platform::postMessage(handle, platform::clientMessage, static_cast<std::uintptr_t>(value), 0); }

    platform::WindowHandle handle;
    platform::Dialog* dialog = nullptr;
    std::vector<int> bars;
    std::vector<int> marks;
};

bool waitFor(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class DialogProgressTest : public WindowTestBase {
protected:
    void SetUp() override {
        WindowTestBase::SetUp();
        skins->write("main", 80, 60, 0, 0, 0, 255);
    }
    // Runs the dialog with the responder acting inside it.
    void run(Window* parent, const std::string& title, bool* abort, int low, int high, platform::DialogResponder responder) {
        platform::uiScript::setDialogResponder(DialogProgress::templateId, std::move(responder));
        DialogProgress dialog(parent, &job, title, abort, low, high);
    }

    ScriptedJob job;
};

TEST_F(DialogProgressTest, TheBarFollowsThePercentage) {
    Window& parent = open("Main", "main");
    Probe probe;
    std::string caption;
    std::atomic<bool> ready{false};
    job.body = [&](DialogProgress& dialog) {
        ASSERT_TRUE(waitFor([&] { return ready.load(); }));
        for (int position : {0, 1, 2, 3, 200, 201, -5}) {
            dialog.setPosition(position);
            probe.mark(position);
        }
        dialog.setRange(10, 10);  // no range: the percentage stays 0
        for (int position : {10, 11, 1000}) {
            dialog.setPosition(position);
            probe.mark(position);
        }
    };
    bool abort = true;
    run(&parent, "Building the database", &abort, 0, 200, [&](platform::Dialog& shown) {
        probe.dialog = &shown;
        ready = true;
        caption = shown.caption();
        EXPECT_EQ(shown.templateId(), 106);
        EXPECT_TRUE(shown.hasControl(2));
        EXPECT_EQ(shown.text(2, 100), "Abort");
    });
    EXPECT_FALSE(abort) << "the flag is cleared when the dialog starts";
    EXPECT_EQ(caption, "Building the database");
    EXPECT_EQ(job.heardTitle, "Building the database");
    EXPECT_FALSE(job.onUiThread);
    EXPECT_EQ(probe.marks, (std::vector<int>{0, 1, 2, 3, 200, 201, -5, 10, 11, 1000}));
    EXPECT_EQ(probe.bars, (std::vector<int>{0, 0, 1, 1, 100, 100, 0, 0, 0, 0}));
}

TEST_F(DialogProgressTest, AbortAndEscapeSetTheFlagAndTheDialogWaitsForTheJob) {
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Abort");
        std::atomic<bool> sawAbort{false};
        std::atomic<bool> mayReturn{false};
        job.returned = false;
        job.body = [&](DialogProgress& dialog) {
            ASSERT_TRUE(waitFor([&] { return dialog.isAborted(); }));
            sawAbort = true;
            ASSERT_TRUE(waitFor([&] { return mayReturn.load(); }));
        };
        bool abort = false;
        bool openAfterAbort = false;
        run(nullptr, "Analysing", &abort, 0, 10, [&](platform::Dialog& shown) {
            if (escape) {
                shown.pressKey(platform::DialogKey::Escape);
            } else {
                shown.press(platform::cancelButton);
            }
            ASSERT_TRUE(waitFor([&] { return sawAbort.load(); }));
            platform::dispatchPostedMessages();
            openAfterAbort = platform::modalDepth() > 0 && !job.returned;
            mayReturn = true;
        });
        EXPECT_TRUE(openAfterAbort);
        EXPECT_TRUE(abort);
        EXPECT_TRUE(job.returned);
    }
}

TEST_F(DialogProgressTest, AbortAfterTheJobReturnedLeavesTheFlagAlone) {
    std::atomic<bool> ready{false};
    job.body = [&](DialogProgress&) { waitFor([&] { return ready.load(); }); };
    bool abort = true;
    run(nullptr, "Quick", &abort, 0, 1, [&](platform::Dialog& shown) {
        ready = true;
        // The job has returned once its "ended" message waits in the queue.
        ASSERT_TRUE(waitFor([] { return platform::queuedMessageCount() > 0; }));
        shown.press(platform::cancelButton);
        shown.pressKey(platform::DialogKey::Escape);
    });
    EXPECT_FALSE(abort);
}

TEST_F(DialogProgressTest, AJobThatReturnsAtOnceEndsTheDialog) {
    job.body = nullptr;
    bool abort = false;
    run(nullptr, "Nothing to do", &abort, 0, 0, nullptr);
    EXPECT_TRUE(job.returned);
    EXPECT_FALSE(abort);
    EXPECT_EQ(platform::modalDepth(), 0);
}

class Refresh : public TimerClient {
public:
    void windowTimer(Window* /*window*/) override { ++ticks; }
    int ticks = 0;
};

TEST_F(DialogProgressTest, TheParentKeepsRefreshingButTakesNoInput) {
    Window& parent = open("Main", "main");
    Log calls;
    auto* spy = new RecordingComponent("spy", 0, 0, 79, 59, calls);
    parent.add(spy);
    calls.clear();
    Refresh refresh;
    platform::VirtualClock::enable(0);
    parent.startTimer(50, &refresh);
    std::atomic<bool> done{false};
    job.body = [&](DialogProgress&) { waitFor([&] { return done.load(); }); };
    bool abort = false;
    run(&parent, "Working", &abort, 0, 100, [&](platform::Dialog&) {
        platform::test_input::click(parent.handle(), {10, 10});
        platform::test_input::wheel(parent.handle(), {10, 10}, 120);
        for (int i = 0; i < 3; ++i) {
            platform::VirtualClock::advance(50);
            platform::dispatchPostedMessages();
        }
        done = true;
    });
    EXPECT_EQ(refresh.ticks, 3);
    for (const std::string& call : calls) EXPECT_NE(call.find(" draw "), std::string::npos) << call;
    windows.clear();  // before the log its component writes to
}

}  // namespace
