#include "QtTestSupport.h"

#include "TestEnvironment.h"
#include "platform/FileChooser.h"
#include "platform/UiScript.h"

#include <QFileDialog>
#include <QLabel>
#include <QListView>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using testing_support::TemporaryDirectory;

class Choosers : public ::testing::Test {
protected:
    void SetUp() override {
        platform::uiScript::disable();
        platform::uiScript::enable();
    }
    void TearDown() override { platform::uiScript::disable(); }

    // The names the open chooser lists in a folder, once it has read it.
    std::vector<std::string> listed(const std::string& folder, std::size_t expected) {
        std::vector<std::string> names;
        platform::uiScript::push({platform::ScriptedAnswer::Kind::Cancel, {}, [&](platform::OpenUi& ui) {
                                      ui.selectPath(folder + "/");
                                      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                                      ASSERT_NE(dialog, nullptr);
                                      auto* view = dialog->findChild<QListView*>("listView");
                                      ASSERT_NE(view, nullptr);
                                      qt_test_support::processEventsUntil([&] {
                                          return static_cast<std::size_t>(view->model()->rowCount(view->rootIndex())) >= expected;
                                      });
                                      for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
                                          names.push_back(view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
                                      }
                                  }});
        platform::ChooserRequest request;
        request.kind = platform::ChooserKind::Open;
        request.description = "Audio";
        request.extensions = {"wav", "mp3"};
        std::string path;
        platform::runChooser(request, path);
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Choosers, TheOpenFilterIgnoresTheCaseOfExtensions) {
    TemporaryDirectory folder;
    for (const char* name : {"LOUD.WAV", "quiet.wav", "Mixed.Mp3", "notes.txt", "wav"}) testing_support::writeFile(folder.file(name), "");
    EXPECT_EQ(listed(folder.path(), 3), (std::vector<std::string>{"LOUD.WAV", "Mixed.Mp3", "quiet.wav"}));
}

TEST_F(Choosers, TheFolderChooserShowsItsInstruction) {
    std::string title;
    std::vector<std::string> labels;
    platform::uiScript::push({platform::ScriptedAnswer::Kind::Cancel, {}, [&](platform::OpenUi&) {
                                  QWidget* dialog = QApplication::activeModalWidget();
                                  ASSERT_NE(dialog, nullptr);
                                  title = dialog->windowTitle().toStdString();
                                  for (QLabel* label : dialog->findChildren<QLabel*>()) labels.push_back(label->text().toStdString());
                              }});
    platform::ChooserRequest request;
    request.kind = platform::ChooserKind::Folder;
    request.instruction = "Choose the root directory of your music.";
    std::string path;
    EXPECT_EQ(platform::runChooser(request, path), platform::ChooserOutcome::Cancelled);
    EXPECT_EQ(title, "Browse For Folder");
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Choose the root directory of your music."), labels.end());
}

TEST_F(Choosers, AnOpenAnswerMustNameAnExistingFile) {
    TemporaryDirectory folder;
    platform::uiScript::pushPath(folder.file("missing.wav"));
    platform::ChooserRequest request;
    request.kind = platform::ChooserKind::Open;
    request.description = "Audio";
    request.extensions = {"wav"};
    std::string path;
    EXPECT_EQ(platform::runChooser(request, path), platform::ChooserOutcome::Cancelled);
    EXPECT_TRUE(path.empty());
}

}  // namespace
