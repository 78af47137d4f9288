#include "QtTestSupport.h"

#include "platform/Dialog.h"
#include "platform/UiScript.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

const char* const templateText =
    "dialog 901\n"
    "caption \"Edit ID\"\n"
    "size 200 100\n"
    "static -1 \"Title:\" 5 5 30 8\n"
    "edit 10 \"first\" 40 5 100 12\n"
    "check 11 \"Locked\" 5 20 60 10\n"
    "radio 12 \"One\" 5 35 40 10 group checked\n"
    "radio 13 \"Two\" 50 35 40 10\n"
    "progress 14 \"\" 5 50 100 10\n"
    "button 15 \"Apply\" 5 70 40 14 default\n"
    "button 2 \"Cancel\" 50 70 40 14 disabled\n";

// Ends the dialog on a chosen command and records every call.
class RecordingHandler : public platform::DialogHandler {
public:
    void init(platform::Dialog& dialog) override {
        calls.push_back("init");
        initialText = dialog.text(10, 100);
    }
    void command(platform::Dialog& dialog, int id) override {
        calls.push_back("command " + std::to_string(id));
        if (id == endOn) dialog.end(id * 10);
    }
    std::vector<std::string> calls;
    std::string initialText;
    int endOn = -100;
};

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        platform::uiScript::disable();
        std::string error;
        ASSERT_TRUE(platform::parseDialogTemplate(templateText, dialog, error)) << error;
    }
    void TearDown() override {
        platform::uiScript::disable();
        qt_test_support::drainQueue();
    }
    int run(platform::DialogResponder responder) {
        platform::uiScript::setDialogResponder(901, std::move(responder));
        return platform::runDialog(platform::noWindow, dialog, handler);
    }
    platform::DialogTemplate dialog;
    RecordingHandler handler;
};

TEST_F(Dialogs, KeysAndButtonsBecomeCommands) {
    handler.endOn = 2;
    int result = run([](platform::Dialog& shown) {
        shown.pressKey(platform::DialogKey::Enter);  // the default button
        shown.press(11);
        shown.press(13);
        shown.pressKey(platform::DialogKey::Escape);  // cancel
    });
    EXPECT_EQ(result, 20);
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"init", "command 15", "command 11", "command 13", "command 2"}));
    EXPECT_EQ(handler.initialText, "first");
}

TEST_F(Dialogs, EscapeAloneDoesNotCloseTheDialog) {
    bool stillOpen = false;
    int result = run([&](platform::Dialog& shown) {
        shown.pressKey(platform::DialogKey::Escape);
        stillOpen = QApplication::activeModalWidget() != nullptr;
        shown.end(5);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 5);
}

TEST_F(Dialogs, ControlsAreReachedById) {
    run([](platform::Dialog& shown) {
        EXPECT_EQ(shown.caption(), "Edit ID");
        shown.setCaption("Edit ID - song");
        EXPECT_EQ(shown.caption(), "Edit ID - song");
        EXPECT_TRUE(shown.setText(10, "A rather long title"));
        EXPECT_EQ(shown.text(10, 7), "A rath");  // bounded like a buffer with its terminator
        EXPECT_FALSE(shown.setText(99, "x"));
        EXPECT_FALSE(shown.hasControl(99));
        EXPECT_FALSE(shown.checked(11));
        shown.setChecked(11, true);
        EXPECT_TRUE(shown.checked(11));
        EXPECT_TRUE(shown.checked(12));
        shown.press(13);  // a radio group keeps one choice
        EXPECT_FALSE(shown.checked(12));
        EXPECT_TRUE(shown.checked(13));
        EXPECT_FALSE(shown.controlEnabled(2));
        shown.enableControl(2, true);
        EXPECT_TRUE(shown.controlEnabled(2));
        shown.end(1);
    });
}

TEST_F(Dialogs, AWorkerMovesTheProgressBarAndEndsTheDialog) {
    std::vector<int> positions;
    int result = run([&](platform::Dialog& shown) {
        platform::WindowHandle bar = shown.controlHandle(14);
        for (std::uintptr_t position : {std::uintptr_t{42}, std::uintptr_t{150}}) {
            std::thread([bar, position] { platform::postMessage(bar, platform::clientMessage, position, 0); }).join();
            qt_test_support::processEventsUntil([&] { return shown.progressPosition(14) != (positions.empty() ? 0 : positions.back()); });
            positions.push_back(shown.progressPosition(14));
        }
        std::thread([&shown] { shown.end(33); }).join();
    });
    EXPECT_EQ(positions, (std::vector<int>{42, 100}));  // the bar keeps to 0..100
    EXPECT_EQ(result, 33);
}

TEST_F(Dialogs, ClosingFromTheCaptionIsCancel) {
    handler.endOn = 2;
    int result = run([](platform::Dialog&) { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(result, 20);
}

TEST_F(Dialogs, RunningOneIsRecorded) {
    platform::uiScript::enable();
    run([](platform::Dialog& shown) { shown.end(0); });
    std::vector<platform::UiRequest> requests = platform::uiScript::requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, platform::UiRequestKind::Dialog);
    EXPECT_EQ(requests[0].templateId, 901);
    EXPECT_EQ(requests[0].caption, "Edit ID");
    EXPECT_FALSE(requests[0].unscripted);
}

}  // namespace
