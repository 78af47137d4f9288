#include "QtTestSupport.h"

#include "platform/Clock.h"
#include "platform/Dialog.h"
#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "platform/UiScript.h"

#include <QMessageBox>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

using qt_test_support::RecordingEvents;

// While a box, dialog or chooser is open, the other windows keep getting
// their posted messages (worker results, MIDI input) and timer ticks; a
// close request waits for the main loop.
class NestedLoop : public ::testing::Test {
protected:
    void SetUp() override {
        platform::uiScript::disable();
        platform::uiScript::enable();
        platform::VirtualClock::enable(0);
        platform::WindowSpec spec;
        spec.clientWidth = 40;
        spec.clientHeight = 30;
        spec.title = "main";
        window.reset(platform::createNativeWindow(spec, &events));
        window->show();
        window->startTimer(1, 50);
    }
    void TearDown() override {
        window.reset();
        qt_test_support::drainQueue();
        platform::VirtualClock::disable();
        platform::uiScript::disable();
    }

    // Runs inside the nested loop: posts from a worker, lets the clock run,
    // and waits (handling events only) for everything to arrive.
    void whileOpen() {
        EXPECT_GT(platform::modalDepth(), 0);
        platform::WindowHandle target = window->handle();
        std::thread([target] {
            platform::postMessage(target, platform::clientMessage, 50, 0);
            platform::postMessage(target, platform::closeRequestMessage, 0, 0);
            platform::postMessage(target, platform::midiInDataMessage, 1, 0x4014B0);
        }).join();
        platform::VirtualClock::advance(50);
        arrived = qt_test_support::processEventsUntil([&] {
            return events.has("message 1026 50 0") && events.has("message 963 1 4199600") && events.has("timer 1");
        });
        closeStillQueued = platform::queuedMessageCount() == 1;
    }

    void expectEverythingArrivedButTheClose() {
        EXPECT_TRUE(arrived) << ::testing::PrintToString(events.events);
        EXPECT_TRUE(closeStillQueued);
        for (const auto& event : events.events) EXPECT_NE(event.rfind("message 1024", 0), 0u);
        platform::Message message;
        ASSERT_TRUE(platform::getMessage(message));
        EXPECT_EQ(message.id, platform::closeRequestMessage);
    }

    RecordingEvents events;
    std::unique_ptr<platform::NativeWindow> window;
    bool arrived = false;
    bool closeStillQueued = false;
};

TEST_F(NestedLoop, WhileABoxIsOpen) {
    std::string shownText;
    platform::uiScript::push({platform::ScriptedAnswer::Kind::Yes, {}, [&](platform::OpenUi&) {
                                  // The box is really on the screen.
                                  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                                      shownText = box->text().toStdString();
                                  }
                                  whileOpen();
                              }});
    EXPECT_EQ(platform::showMessageBox({"Are You Sure?", "Delete it?", platform::BoxButtons::YesNo, platform::BoxIcon::None}),
              platform::BoxAnswer::Yes);
    EXPECT_EQ(shownText, "Delete it?");
    expectEverythingArrivedButTheClose();
}

TEST_F(NestedLoop, WhileADialogIsOpen) {
    platform::DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(platform::parseDialogTemplate("dialog 900\nsize 100 40\nbutton 1 \"OK\" 5 5 40 14 default\n", dialog, error));
    platform::uiScript::setDialogResponder(900, [&](platform::Dialog& shown) {
        whileOpen();
        shown.end(7);
    });
    platform::DialogHandler handler;
    EXPECT_EQ(platform::runDialog(window->handle(), dialog, handler), 7);
    expectEverythingArrivedButTheClose();
}

TEST_F(NestedLoop, WhileAChooserIsOpen) {
    platform::uiScript::push({platform::ScriptedAnswer::Kind::Cancel, {}, [&](platform::OpenUi&) { whileOpen(); }});
    platform::ChooserRequest request;
    request.kind = platform::ChooserKind::Open;
    request.owner = window->handle();
    request.description = "Audio";
    request.extensions = {"wav"};
    std::string path;
    EXPECT_EQ(platform::runChooser(request, path), platform::ChooserOutcome::Cancelled);
    expectEverythingArrivedButTheClose();
}

}  // namespace
