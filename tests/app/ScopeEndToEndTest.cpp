// The scope in the whole program: a 440 Hz song with its beat meta-data is
// dropped on deck 0 and plays; the main window's scope button opens both
// scope windows; in spectrum mode with the loudest note named the read-out
// says "A  4" (by its cells and by its pixels against the letter and digit
// images); in scope mode the trigger finds the tone's rising edges; the
// main output is opened anew from the settings panel and the scope still
// gets the signal; the startUp button stores the controls' values; closing
// the scope takes it off the output.
#include "EndToEndProgram.h"
#include "ImageTestSupport.h"
#include "TestEnvironment.h"
#include "ToneSongs.h"

#include "app/PanelSettings.h"
#include "audio/Motor.h"
#include "audio/Songs.h"
#include "framework/CriticalSections.h"
#include "framework/GUIButton.h"
#include "framework/GUIIndicator.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/Image.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"
#include "platform/Registry.h"
#include "platform/TestInput.h"
#include "platform/audio/NullAudio.h"
#include "scope/GUINote.h"
#include "scope/Scope.h"
#include "scope/ScopeTap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>

namespace {

namespace input = platform::test_input;
using e2e::centreOf;

constexpr platform::Point scopeButton{830 + 36, 522 + 16};

// The note read-out's cells as text.
std::string noteText(const GUINote& note) {
    static const char characters[GUINote::imageCount + 1] = "0123456789.+-e ?ABCDEFG#b";
    std::string text;
    for (int i = 0; i < GUINote::cellCount; ++i) text += characters[note.cell(i)];
    return text;
}

// The skin images of the read-out's characters.
std::string imageKey(char character) {
    if (character == ' ') return "scope/font/arial13grey/Space";
    return std::string("scope/font/arial13grey/") + character;
}

// The stored scope record, or empty.
std::string storedScopeRecord() {
    namespace registry = platform::registry;
    registry::Key key = 0;
    bool created = false;
    if (registry::createKey(registry::currentUser, "Software\\Pelgrave Software\\Scope\\1", key, created) !=
        registry::success) {
        return {};
    }
    std::uint32_t type = 0, size = 0;
    std::string bytes;
    if (registry::queryValue(key, "StartUp", &type, nullptr, &size) == registry::success) {
        bytes.assign(size, '\0');
        if (registry::queryValue(key, "StartUp", &type, bytes.data(), &size) != registry::success) bytes.clear();
    }
    registry::closeKey(key);
    return bytes;
}

std::string packedRecord(const std::array<float, 11>& values) {
    std::vector<std::string> arguments;
    for (float value : values) {
        std::ostringstream text;
        text.precision(9);
        text << value;
        arguments.push_back(text.str());
    }
    const std::string hex = testing_support::runPython("scope/scope_settings.py", arguments);
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size() && hex[i] != '\n'; i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

bool isSink(Motor* device, const AudioSink* sink) {
    AudioSink* sinks[10] = {};
    std::int32_t count = 0;
    device->listSinks(sinks, count);
    return std::find(sinks, sinks + count, sink) != sinks + count;
}

// The middle of a tab in a panel group's band.
platform::Point tabCentre(const GUIRectangle& group, int index, int tabs, int bandHeight) {
    const int width = group.x1 - group.x0 + 1;
    return {group.x0 + (width * index + width / 2) / tabs, group.y0 + bandHeight / 2};
}

float largestColumn(const Scope& scope) {
    return *std::max_element(scope.columnMaxima(), scope.columnMaxima() + scope.columns());
}

// What the run saw.
struct ScopeRun {
    int exitCode = -1;
    std::int32_t songsOnDeck0 = 0;
    bool opened = false;
    std::string graphTitle, controlTitle;
    bool tapsMainOutput = false;
    std::string note;
    int noteCellsDiffering = -1;
    int noteCellsCompared = 0;
    float peakHz = 0.0f, frequencyShown = 0.0f;
    float spanMs = 0.0f;
    bool triggered = false, triggerLost = true;
    float traceLargest = 0.0f;
    int updatesBeforeReopen = 0, updatesAfterReopen = 0;
    int functionPanel = -1, settingsPage = -1;
    int typeBefore = -1, typeAfter = -1;
    bool reopened = false, tapsNewOutput = false, leftOldOutput = false;
    float traceLargestAfterReopen = 0.0f;
    std::string stored, expectedRecord;
    bool closed = false, tapGone = false;
};

void scopeScript(e2e::Program& program, ScopeRun& run, const std::string& songs, Velkarn& app) {
    const platform::WindowHandle main = app.mainWindow()->handle();
    // 0.4 on both channels of a 440 Hz tone; no markers.
    const ToneSong song = writeToneSong(songs, "a440", {120.0, 40.0, 440.0, 0.4, 1000.0, 0.0});
    EXPECT_EQ(app.loadSongFile(song.path), 1);
    app.selectDropTool();
    const int beat = app.nextEditableBeat() + 1;
    EXPECT_TRUE(input::click(main, e2e::pointOnStrip(app, 0, beat)));
    enterCriticalSection(2);
    run.songsOnDeck0 = app.songs(0)->count();
    leaveCriticalSection(2);
    // Into the song by a second.
    const std::int64_t playing = app.beatAt(beat).position + 44100;
    while (app.currentSampleTime() < playing) program.step();

    EXPECT_TRUE(input::click(main, scopeButton));
    Scope* scope = app.scope();
    run.opened = scope != nullptr;
    if (scope == nullptr) return program.close();
    run.graphTitle = scope->graphWindow()->title();
    run.controlTitle = scope->controlWindow()->title();
    run.tapsMainOutput = scope->device() == app.output(0) && isSink(app.output(0), scope);
    const platform::WindowHandle control = scope->controlWindow()->handle();
    auto clickTab = [&](int index) {
        GUIPanelGroupHorizontal* group = scope->panelGroup();
        const int width = group->x1 - group->x0 + 1;
        EXPECT_TRUE(input::click(control, {group->x0 + width * index / 4 + width / 8, group->y0 + 10}));
    };

    // Spectrum with the loudest note named.
    EXPECT_TRUE(input::click(control, centreOf(*scope->frequencyButton())));
    clickTab(1);
    EXPECT_TRUE(input::click(control, centreOf(*scope->labelMaxButton())));
    program.steps(30);
    run.note = noteText(*scope->noteReadOut());
    run.peakHz = scope->lastPeakHz();
    run.frequencyShown = scope->frequencyReadOut()->value();
    run.spanMs = scope->timeSpanSlider()->value();
    {
        const GUINote& note = *scope->noteReadOut();
        const int cell = note.characterWidth();
        scope->graphWindow()->nativeWindow()->updateNow();
        const auto shown = e2e::shownArea(*scope->graphWindow(), note.x0, note.y0, note.width, note.height);
        run.noteCellsDiffering = 0;
        for (int i = 3; i < GUINote::cellCount; ++i) {
            const Image expected(imageKey(run.note[static_cast<std::size_t>(i)]), false);
            run.noteCellsDiffering += image_test::glyphMismatches(*shown, i * cell, 0, expected, run.noteCellsCompared);
        }
    }

    // Back to the trace, with the trigger.
    EXPECT_TRUE(input::click(control, centreOf(*scope->frequencyButton())));
    EXPECT_TRUE(input::click(control, centreOf(*scope->triggerButton())));
    program.steps(10);
    run.triggered = scope->isTriggered();
    run.triggerLost = scope->triggerLostIndicator()->isOn();
    run.traceLargest = largestColumn(*scope);

    // The main output's type changed on the settings panel's main output
    // page, which opens the output anew: the scope follows it.
    const int streamBefore = program.mainStream();
    run.updatesBeforeReopen = scope->updateCount();
    PanelSettings& settings = *app.panelSettings();
    EXPECT_TRUE(input::click(main, tabCentre(*app.functionGroup(), 5, 6, 30)));
    EXPECT_TRUE(input::click(main, tabCentre(*settings.subPanels(), PanelSettings::audio1,
                                             PanelSettings::subPanelCount, 25)));
    run.functionPanel = app.functionGroup()->selectedIndex();
    run.settingsPage = settings.subPanels()->selectedIndex();
    run.typeBefore = settings.outputType();
    EXPECT_TRUE(input::click(main, centreOf(*settings.typeButton(1 - run.typeBefore))));
    run.typeAfter = settings.outputType();
    program.followMainOutput();
    const auto old = platform::audio::NullAudio::stream(streamBefore);
    run.reopened = program.mainStream() != streamBefore && old.has_value() && old->closed;
    run.tapsNewOutput = scope->device() == app.output(0) && app.output(0) != nullptr && isSink(app.output(0), scope);
    program.steps(20);
    run.updatesAfterReopen = scope->updateCount();
    run.traceLargestAfterReopen = largestColumn(*scope);

    // startUp stores what the controls show.
    clickTab(2);
    EXPECT_TRUE(input::click(control, centreOf(*scope->startUpButton())));
    run.stored = storedScopeRecord();
    auto on = [](GUIButton* button) { return button->isDown() ? 1.0f : 0.0f; };
    run.expectedRecord = packedRecord({on(scope->runButton()), on(scope->triggerButton()), on(scope->frequencyButton()),
                                       scope->timeSpanSlider()->value(), scope->gainSlider()->value(),
                                       scope->triggerLevelSlider()->value(), scope->refreshIntervalSlider()->value(),
                                       scope->lowFrequencySlider()->value(), scope->highFrequencySlider()->value(),
                                       on(scope->logFreqScaleButton()), on(scope->labelMaxButton())});

    // Closing the graph window ends the scope and its tap.
    const AudioSink* sink = scope;
    EXPECT_TRUE(input::close(scope->graphWindow()->handle()));
    program.routeToolCloses();
    run.closed = app.scope() == nullptr;
    run.tapGone = app.output(0) != nullptr && !isSink(app.output(0), sink);
    program.steps(4);
    program.close();
}

class ScopeEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new ScopeRun;
        testing_support::TemporaryDirectory songs;
        e2e::Program program;
        run->exitCode = program.run([&](Velkarn& app) { scopeScript(program, *run, songs.path(), app); });
    }
    static void TearDownTestSuite() { delete run; }
    static ScopeRun* run;
};

ScopeRun* ScopeEndToEnd::run = nullptr;

TEST_F(ScopeEndToEnd, TheDroppedSongPlaysAndTheScopeButtonOpensBothWindowsOnTheMainOutput) {
    EXPECT_EQ(run->songsOnDeck0, 1);
    ASSERT_TRUE(run->opened);
    EXPECT_EQ(run->graphTitle, "Scope - Graph");
    EXPECT_EQ(run->controlTitle, "Scope - Control");
    EXPECT_TRUE(run->tapsMainOutput);
    EXPECT_EQ(run->exitCode, 0);
}

TEST_F(ScopeEndToEnd, TheSpectrumNamesTheTonesNoteInCellsAndPixels) {
    ASSERT_TRUE(run->opened);
    EXPECT_EQ(run->note, "   A  4");
    // One bin at the span's block length is the read-out's resolution.
    const float bin = 44100.0f / (run->spanMs * 44.1f);
    EXPECT_NEAR(run->peakHz, 440.0f, bin);
    EXPECT_NEAR(run->frequencyShown, 440.0f, bin);
    EXPECT_GT(run->noteCellsCompared, 0);
    EXPECT_EQ(run->noteCellsDiffering, 0);
}

TEST_F(ScopeEndToEnd, TheTraceTriggersOnTheToneAndGoesOnAfterTheOutputIsOpenedAnew) {
    ASSERT_TRUE(run->opened);
    EXPECT_TRUE(run->triggered);
    EXPECT_FALSE(run->triggerLost);
    // Both channels at 0.4 through the mix: well above the noise floor.
    EXPECT_GT(run->traceLargest, 0.1f);
    EXPECT_EQ(run->functionPanel, 5);  // the settings panel
    EXPECT_EQ(run->settingsPage, PanelSettings::audio1);
    EXPECT_NE(run->typeAfter, run->typeBefore);
    EXPECT_TRUE(run->reopened);
    EXPECT_TRUE(run->tapsNewOutput);
    EXPECT_GT(run->updatesAfterReopen, run->updatesBeforeReopen);
    EXPECT_GT(run->traceLargestAfterReopen, 0.5f * run->traceLargest);
}

TEST_F(ScopeEndToEnd, StartUpStoresTheControlsAndClosingTakesTheScopeOffTheOutput) {
    ASSERT_TRUE(run->opened);
    ASSERT_EQ(run->expectedRecord.size(), 44u);
    EXPECT_EQ(run->stored, run->expectedRecord);
    EXPECT_TRUE(run->closed);
    EXPECT_TRUE(run->tapGone);
}

}  // namespace
