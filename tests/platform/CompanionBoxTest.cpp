#include "QtTestSupport.h"

#include "TestEnvironment.h"
#include "platform/MessageBox.h"
#include "platform/PlatformLog.h"
#include "platform/UiScript.h"

#include <QMessageBox>

#include <gtest/gtest.h>

#include <thread>

namespace {

using platform::BoxAnswer;
using platform::BoxButtons;
using platform::BoxIcon;

std::vector<std::string> notes;
void recordNote(const std::string& message, const char*, int) { notes.push_back(message); }

class Boxes : public ::testing::Test {
protected:
    void SetUp() override {
        notes.clear();
        platform::setLogSink(recordNote);
        platform::uiScript::disable();
        platform::uiScript::enable();
    }
    void TearDown() override {
        platform::uiScript::disable();
        platform::setLogSink(nullptr);
    }
    static BoxAnswer fromWorker(const platform::BoxRequest& request) {
        BoxAnswer answer = BoxAnswer::Ok;
        std::thread([&] { answer = platform::showMessageBox(request); }).join();
        return answer;
    }
};

TEST_F(Boxes, AWorkerThreadsBoxIsShownByTheCompanion) {
    platform::uiScript::pushYes();
    EXPECT_EQ(fromWorker({"Recorder Stopped", "Go on?", BoxButtons::YesNo, BoxIcon::None}), BoxAnswer::Yes);
    platform::uiScript::pushNo();
    EXPECT_EQ(fromWorker({"Recorder Stopped", "Go on?", BoxButtons::YesNo, BoxIcon::Error}), BoxAnswer::No);
    platform::uiScript::pushOk();
    EXPECT_EQ(fromWorker({"Recorder Stopped", "The maximum recording time [6.000 hours] has been reached.",
                          BoxButtons::Ok, BoxIcon::Exclamation}),
              BoxAnswer::Ok);
    std::vector<platform::UiRequest> requests = platform::uiScript::requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_FALSE(requests[0].onUiThread);
    EXPECT_FALSE(requests[0].unscripted);
    EXPECT_EQ(requests[0].answer, "yes");
    EXPECT_EQ(requests[2].text, "The maximum recording time [6.000 hours] has been reached.");
    EXPECT_TRUE(notes.empty());
}

TEST_F(Boxes, WithoutACompanionTheDefaultAnswerIsLogged) {
    testing_support::ScopedEnvironment companion("VELKARN_COMPANION", "/nonexistent/velkarn-companion");
    platform::uiScript::pushYes();
    EXPECT_EQ(fromWorker({"Caption", "Question?", BoxButtons::YesNo, BoxIcon::None}), BoxAnswer::No);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("no companion program"), std::string::npos);
    EXPECT_NE(notes[0].find("Caption: Question?"), std::string::npos);
}

TEST_F(Boxes, UnscriptedBoxesTakeTheirDefaultAndAreFlagged) {
    EXPECT_EQ(platform::showMessageBox({"A", "ok?", BoxButtons::Ok, BoxIcon::None}), BoxAnswer::Ok);
    EXPECT_EQ(fromWorker({"B", "yes?", BoxButtons::YesNo, BoxIcon::None}), BoxAnswer::No);
    platform::uiScript::pushPath("/not/an/answer/for/a/box");
    EXPECT_EQ(platform::showMessageBox({"C", "yes?", BoxButtons::YesNo, BoxIcon::None}), BoxAnswer::No);
    std::vector<platform::UiRequest> requests = platform::uiScript::requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests) EXPECT_TRUE(request.unscripted) << request.caption;
    EXPECT_EQ(notes.size(), 3u);
}

TEST_F(Boxes, OnTheUserInterfaceThreadTheBoxRunsANestedLoop) {
    std::string caption;
    std::string text;
    int depth = 0;
    platform::uiScript::push({platform::ScriptedAnswer::Kind::No, {}, [&](platform::OpenUi&) {
                                  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                                  ASSERT_NE(box, nullptr);
                                  caption = box->windowTitle().toStdString();
                                  text = box->text().toStdString();
                                  depth = platform::modalDepth();
                              }});
    EXPECT_EQ(platform::showMessageBox({"File Exists", "Replace it?", BoxButtons::YesNo, BoxIcon::None}), BoxAnswer::No);
    EXPECT_EQ(caption, "File Exists");
    EXPECT_EQ(text, "Replace it?");
    EXPECT_EQ(depth, 1);
    EXPECT_TRUE(platform::uiScript::requests()[0].onUiThread);
}

TEST_F(Boxes, WithoutScriptingAHeadlessScreenGivesTheDefault) {
    platform::uiScript::disable();
    EXPECT_EQ(platform::showMessageBox({"Closing Velkarn", "Quit?", BoxButtons::YesNo, BoxIcon::None}), BoxAnswer::No);
    EXPECT_EQ(fromWorker({"Closing Velkarn", "Quit?", BoxButtons::YesNo, BoxIcon::None}), BoxAnswer::No);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find("headless"), std::string::npos);
}

}  // namespace
