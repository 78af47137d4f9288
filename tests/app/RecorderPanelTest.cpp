// The recorder panel on the real main window (offscreen), clicked through
// Qt's event path, with scripted boxes and choosers: recording with the
// lists, reset, choosing a file, and the toggle following the recorder.
#include "AppTestSupport.h"
#include "app/PanelRecorder.h"
#include "app/PlaylistWriter.h"
#include "app/Recorder.h"
#include "framework/GUIButton.h"
#include "framework/Window.h"
#include "platform/Paths.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

using app_test::boxes;

namespace {

namespace input = platform::test_input;

class RecorderPanel : public app_test::AppTest {
protected:
    Velkarn& open() {
        Velkarn& app = start();
        panel = app.panelRecorder();
        // The recorder's tab: the third of six across the function band.
        EXPECT_TRUE(input::click(handle(), {10 + 800 * 5 / 12, 460}));
        EXPECT_TRUE(panel->isVisible());
        return app;
    }
    platform::WindowHandle handle() { return application->mainWindow()->handle(); }
    void click(GUIButton* button) {
        ASSERT_TRUE(input::click(handle(), {(button->x0 + button->x1) / 2, (button->y0 + button->y1) / 2}));
    }
    // Chooses the file through the save chooser; answers the question when
    // there is one.
    void chooseFile(const std::string& path, std::optional<bool> overwrite = std::nullopt) {
        platform::uiScript::pushPath(path);
        if (overwrite) *overwrite ? platform::uiScript::pushYes() : platform::uiScript::pushNo();
        click(panel->setFileButton());
    }
    void step(int periods) {
        for (int i = 0; i < periods; ++i) ASSERT_TRUE(platform::audio::NullAudio::advanceToDeadline(streamOf(0), 1));
    }
    PlaylistWriter* text() { return application->playlistWriterText(); }
    PlaylistWriter* csv() { return application->playlistWriterCsv(); }
    Recorder* recorder() { return application->recorder(); }
    bool listsRunning() { return text()->isRunning() && csv()->isRunning(); }
    bool listsStopped() { return !text()->isRunning() && !csv()->isRunning(); }

    PanelRecorder* panel = nullptr;
};

TEST_F(RecorderPanel, RecordStartsAndStopsTheRecorderWithBothLists) {
    open();
    EXPECT_EQ(panel->recordingText(), platform::nativePath("C:/Velkarn.wav"));
    EXPECT_EQ(panel->listText(), platform::nativePath("C:/Velkarn.txt (.csv)"));
    chooseFile(home->path() + "/set.wav");
    click(panel->recordButton());
    EXPECT_TRUE(panel->recordButton()->isDown());
    EXPECT_TRUE(recorder()->isRecording());
    EXPECT_TRUE(listsRunning());
    step(3);
    click(panel->recordButton());
    EXPECT_FALSE(panel->recordButton()->isDown());
    EXPECT_FALSE(recorder()->isRecording());
    EXPECT_TRUE(listsStopped());
    EXPECT_GT(recorder()->framesWritten(), 0);
    EXPECT_TRUE(text()->hasFile());
    EXPECT_TRUE(boxes().empty());
}

TEST_F(RecorderPanel, AFailedRecordLeavesTheListsStoppedAndTheToggleUp) {
    open();
    const std::string missing = home->path() + "/missing/take.wav";
    chooseFile(missing);
    click(panel->recordButton());
    EXPECT_EQ(boxes(), std::vector<std::string>{"Cannot start recording.|Cannot open " + missing + "."});
    EXPECT_FALSE(recorder()->isRecording());
    EXPECT_TRUE(listsStopped());
    EXPECT_FALSE(text()->hasFile());
    EXPECT_FALSE(panel->recordButton()->isDown());
}

TEST_F(RecorderPanel, ResetAsksOnlyWhenFramesWereWritten) {
    open();
    chooseFile(home->path() + "/reset.wav");
    click(panel->resetButton());
    EXPECT_TRUE(boxes().empty()) << "nothing written: no question";
    EXPECT_FALSE(panel->resetButton()->isDown());

    click(panel->recordButton());
    step(2);
    click(panel->recordButton());
    const std::int64_t written = recorder()->framesWritten();
    ASSERT_GT(written, 0);
    const std::string question = "Reset Recorder|Do you want to erase the recording?";

    platform::uiScript::pushNo();
    click(panel->resetButton());
    EXPECT_EQ(boxes(), std::vector<std::string>{question});
    EXPECT_EQ(recorder()->framesWritten(), written);
    EXPECT_FALSE(panel->resetButton()->isDown());

    platform::uiScript::pushYes();
    click(panel->resetButton());
    EXPECT_EQ(boxes(), (std::vector<std::string>{question, question}));
    EXPECT_EQ(recorder()->framesWritten(), 0);
    EXPECT_FALSE(panel->resetButton()->isDown());
    // The lists were emptied: the CSV list holds its header only.
    chooseFile(home->path() + "/after.wav");
    EXPECT_EQ(testing_support::readFile(home->path() + "/reset.csv"), "Title;Artist;Label\r\n");
    EXPECT_EQ(testing_support::readFile(home->path() + "/reset.txt"), "");
}

TEST_F(RecorderPanel, AnExistingFileIsOverwrittenOnlyWhenConfirmed) {
    open();
    const std::string existing = home->path() + "/exists.wav";
    testing_support::writeFile(existing, "old");
    const std::string question = "File Exists|This file exists already. Do you want to overwrite it?";

    chooseFile(existing, false);
    EXPECT_EQ(boxes(), std::vector<std::string>{question});
    EXPECT_EQ(recorder()->fileName(), "C:/Velkarn.wav");
    EXPECT_EQ(text()->fileName(), "C:/Velkarn.txt");
    EXPECT_EQ(panel->recordingText(), platform::nativePath("C:/Velkarn.wav"));
    EXPECT_EQ(testing_support::readFile(existing), "old");

    chooseFile(existing, true);
    EXPECT_EQ(recorder()->fileName(), existing);
    const std::string base = home->path() + "/exists";
    EXPECT_EQ(text()->fileName(), base + ".txt");
    EXPECT_EQ(csv()->fileName(), base + ".csv");
    EXPECT_EQ(panel->recordingText(), existing);
    EXPECT_EQ(panel->listText(), base + ".txt (.csv)");

    // A new name asks nothing; a "C:/" name shows where it really is.
    chooseFile("C:/fresh.wav");
    EXPECT_EQ(boxes().size(), 2u);
    EXPECT_EQ(recorder()->fileName(), "C:/fresh.wav");
    EXPECT_EQ(panel->recordingText(), home->path() + "/fresh.wav");
    EXPECT_EQ(panel->listText(), home->path() + "/fresh.txt (.csv)");
}

TEST_F(RecorderPanel, ANewFileDuringARecordingStopsItAndTheLists) {
    open();
    chooseFile(home->path() + "/first.wav");
    click(panel->recordButton());
    ASSERT_TRUE(listsRunning());
    chooseFile(home->path() + "/second.wav");
    EXPECT_FALSE(recorder()->isRecording());
    EXPECT_TRUE(listsStopped());
    EXPECT_FALSE(panel->recordButton()->isDown());
}

// The display refresh hands over the recorder's state; a recording that
// stopped by itself (at its limit) stops the lists with the toggle.
TEST_F(RecorderPanel, TheToggleFollowsTheRecorderAndStopsTheListsWhenItStoppedByItself) {
    Velkarn& app = open();
    chooseFile(home->path() + "/limit.wav");
    click(panel->recordButton());
    ASSERT_TRUE(listsRunning());
    const std::int64_t started = app.currentSampleTime();
    panel->setRecording(true);  // unchanged
    EXPECT_TRUE(listsRunning());
    step(25);
    recorder()->stop();  // as the writer does at the limit
    const std::int64_t stopped = app.currentSampleTime();
    panel->setRecording(recorder()->isRecording());
    EXPECT_FALSE(panel->recordButton()->isDown());
    EXPECT_TRUE(listsStopped());
    // The lists' time line ends where the recording stopped: a drop after
    // the next start is stamped with the first run's length.
    step(25);
    text()->start(app.currentSampleTime());
    text()->writeLine(1, app.currentSampleTime(), "T", "A", "L");
    chooseFile(home->path() + "/other.wav");
    ASSERT_GE(stopped - started, 44100) << "a run of at least a second";
    EXPECT_EQ(testing_support::readFile(home->path() + "/limit.txt"),
              PlaylistWriter::textLine(1, stopped - started, "T", "A", "L"));

    panel->setRecording(true);
    EXPECT_TRUE(panel->recordButton()->isDown());
}

TEST_F(RecorderPanel, TheTimeDisplaysShowTheElapsedTime) {
    open();
    panel->setTime(1, 2, 3, 45);
    EXPECT_EQ((std::vector<float>{panel->timeValue(0), panel->timeValue(1), panel->timeValue(2), panel->timeValue(3)}),
              (std::vector<float>{1, 2, 3, 45}));
}

TEST(RecorderPanelNames, TheListsBaseIsTheNameLessFourCharacters) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:/Velkarn.wav", "C:/Velkarn"},
        {"/a/mix.WAV", "/a/mix"},
        {"/a/mix.wave", "/a/mix."},  // a longer extension loses four all the same
        {"/a/mixdown", "/a/mix"},    // no extension: likewise
        {"abcd", ""},
        {"abc", "abc"},  // shorter names are kept whole
        {"", ""},
    };
    for (const auto& [name, base] : cases) EXPECT_EQ(PanelRecorder::listBaseName(name), base) << name;
}

}  // namespace
