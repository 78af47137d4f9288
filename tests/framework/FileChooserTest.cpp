#include "FrameworkTest.h"

#include "framework/AudioEngineServices.h"
#include "framework/FileUtilities.h"
#include "framework/StringException.h"
#include "platform/UiScript.h"

#include <limits>
#include <map>
#include <thread>

namespace {

using platform::UiRequestKind;
using testing_support::TemporaryDirectory;
using testing_support::writeFile;

class FileChoosers : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        platform::uiScript::disable();
        platform::uiScript::enable();
    }
    void TearDown() override {
        platform::uiScript::disable();
        setSongPreviewReader({});
        FrameworkTest::TearDown();
    }
    std::vector<platform::UiRequest> requests() { return platform::uiScript::requests(); }
    TemporaryDirectory music;
};

TEST_F(FileChoosers, OpenListsTheExtensionsAndGivesPathAndTitle) {
    writeFile(music.file("track.01.mp3"), "");
    platform::uiScript::pushPath(music.file("track.01.mp3"));
    std::string path;
    std::string title;
    ASSERT_TRUE(chooseFileToOpen("Audio Files", "wav", "mp3", "wma", platform::noWindow, path, title, false));
    EXPECT_EQ(path, music.file("track.01.mp3"));
    EXPECT_EQ(title, "track");  // up to the first "."
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].kind, UiRequestKind::OpenChooser);
    EXPECT_EQ(requests()[0].filter, "Audio Files (*.wav *.mp3 *.wma)");
    EXPECT_EQ(requests()[0].extension, "wav");
    EXPECT_TRUE(requests()[0].onUiThread);

    platform::uiScript::pushPath(music.file("x.qrt"));
    writeFile(music.file("x.qrt"), "");
    ASSERT_TRUE(chooseFileToOpen("Beat Files", "qrt", nullptr, nullptr, platform::noWindow, path, title, false));
    EXPECT_EQ(requests()[1].filter, "Beat Files (*.qrt)");
}

TEST_F(FileChoosers, OpenStartsOnTheFileChosenLastTime) {
    writeFile(music.file("first.wav"), "");
    writeFile(music.file("second.wav"), "");
    std::string path;
    std::string title;
    platform::uiScript::pushPath(music.file("first.wav"));
    ASSERT_TRUE(chooseFileToOpen("Audio", "wav", nullptr, nullptr, platform::noWindow, path, title, false));
    std::string startedOn;
    platform::uiScript::push({platform::ScriptedAnswer::Kind::Cancel, {}, [&](platform::OpenUi& ui) { startedOn = ui.currentPath(); }});
    EXPECT_FALSE(chooseFileToOpen("Audio", "wav", nullptr, nullptr, platform::noWindow, path, title, false));
    EXPECT_EQ(startedOn, music.file("first.wav"));
    EXPECT_EQ(path, music.file("first.wav"));  // a cancel leaves the out values alone
}

TEST_F(FileChoosers, ACancelGivesFalseAndLogsNothing) {
    platform::uiScript::pushCancel();
    std::string path = "unchanged";
    std::string title;
    EXPECT_FALSE(chooseFileToOpen("Audio", "wav", nullptr, nullptr, platform::noWindow, path, title, true));
    EXPECT_EQ(path, "unchanged");
    EXPECT_TRUE(testing_support::logTexts().empty());
    platform::uiScript::pushCancel();
    EXPECT_FALSE(chooseFileToSave("Wave", "wav", platform::noWindow, path, title));
    platform::uiScript::pushCancel();
    EXPECT_FALSE(chooseDirectory(platform::noWindow, "Pick", path));
    EXPECT_TRUE(testing_support::logTexts().empty());
}

TEST_F(FileChoosers, AChooserThatCannotBeShownLogsTheDialogFailure) {
    std::string path;
    std::string title;
    bool chosen = true;
    std::thread([&] { chosen = chooseFileToOpen("Audio", "wav", nullptr, nullptr, platform::noWindow, path, title, false); }).join();
    EXPECT_FALSE(chosen);
    std::vector<std::string> texts = testing_support::logTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].substr(texts[0].find(": ") + 2), "CDERR_DIALOGFAILURE");
}

TEST_F(FileChoosers, ThePreviewShowsTheTempoOfEachSelectedSong) {
    const std::map<std::string, SongPreview> songs = {
        {"tagged.mp3", {true, 127.6f, 99.0}},   // the tag wins, rounded
        {"median.wav", {true, 0.0f, 121.4}},    // no tag: the beats' median
        {"plain.wav", {false, 0.0f, 0.0}},      // no beat list
        {"broken.wav", {true, 0.0f, 0.0}},      // the reader throws
        {"nan.mp3", {true, std::numeric_limits<float>::quiet_NaN(), 120.0}},  // corrupt tags
        {"huge.mp3", {true, 3e30f, 120.0}},
        {"stacked.wav", {true, 0.0f, std::numeric_limits<double>::infinity()}},  // all beats at one place
    };
    for (const auto& [name, preview] : songs) writeFile(music.file(name), "");
    setSongPreviewReader([&](const std::string& path) {
        std::string name = path.substr(path.find_last_of('/') + 1);
        if (name == "broken.wav") throw StringException("The QRT meta-data is corrupt.");
        auto song = songs.find(name);
        return song == songs.end() ? SongPreview{} : song->second;  // the folder itself, as the chooser opens
    });
    std::map<std::string, std::string> shown;
    std::string first;
    platform::uiScript::push({platform::ScriptedAnswer::Kind::Cancel, {}, [&](platform::OpenUi& ui) {
                                  first = ui.controlText(1001);
                                  for (const auto& [name, preview] : songs) {
                                      ui.selectPath(music.file(name));
                                      shown[name] = ui.controlText(1001);
                                  }
                              }});
    std::string path;
    std::string title;
    chooseFileToOpen("Audio", "wav", "mp3", nullptr, platform::noWindow, path, title, true);
    EXPECT_EQ(first, " ---");
    EXPECT_EQ(shown["tagged.mp3"], "128");
    EXPECT_EQ(shown["median.wav"], "121");
    EXPECT_EQ(shown["plain.wav"], "---");
    EXPECT_EQ(shown["broken.wav"], "---");
    for (const char* unshowable : {"nan.mp3", "huge.mp3", "stacked.wav"}) EXPECT_EQ(shown[unshowable], "---") << unshowable;
}

TEST_F(FileChoosers, WithoutTheAudioEngineThePreviewShowsNoTempo) {
    writeFile(music.file("song.wav"), "");
    std::string shown;
    platform::uiScript::push({platform::ScriptedAnswer::Kind::Cancel, {}, [&](platform::OpenUi& ui) {
                                  ui.selectPath(music.file("song.wav"));
                                  shown = ui.controlText(1001);
                              }});
    std::string path;
    std::string title;
    chooseFileToOpen("Audio", "wav", nullptr, nullptr, platform::noWindow, path, title, true);
    EXPECT_EQ(shown, "---");
}

TEST_F(FileChoosers, SaveAppendsTheExtensionWhenTheNameHasNone) {
    std::string path;
    std::string title;
    platform::uiScript::pushPath(music.file("mix"));
    ASSERT_TRUE(chooseFileToSave("Wave Files", "wav", platform::noWindow, path, title));
    EXPECT_EQ(path, music.file("mix.wav"));
    EXPECT_EQ(title, "mix");
    platform::uiScript::pushPath(music.file("set.list.txt"));
    ASSERT_TRUE(chooseFileToSave("Wave Files", "wav", platform::noWindow, path, title));
    EXPECT_EQ(path, music.file("set.list.txt"));
    EXPECT_EQ(title, "set");
    EXPECT_EQ(requests()[0].kind, UiRequestKind::SaveChooser);
    EXPECT_EQ(requests()[0].filter, "Wave Files (*.wav)");
    EXPECT_EQ(requests()[0].extension, "wav");
}

TEST_F(FileChoosers, FolderShowsItsInstruction) {
    std::string path;
    platform::uiScript::pushPath(music.path());
    ASSERT_TRUE(chooseDirectory(platform::noWindow, "Choose a root directory of your music", path));
    EXPECT_EQ(path, music.path());
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].kind, UiRequestKind::FolderChooser);
    EXPECT_EQ(requests()[0].text, "Choose a root directory of your music");
}

TEST_F(FileChoosers, UnscriptedChoosersAreCancelledAndFlagged) {
    std::string path;
    std::string title;
    EXPECT_FALSE(chooseFileToOpen("Audio", "wav", nullptr, nullptr, platform::noWindow, path, title, false));
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_TRUE(requests()[0].unscripted);
}

}  // namespace
