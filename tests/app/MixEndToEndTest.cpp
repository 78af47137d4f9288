// A DJ's set end to end in this process: the stand-alone main on the
// stepped null output and the virtual clock, every action a click or drag
// through the toolkit's event path.
//
// The recorder is pointed at an existing "mix.wav" (overwritten after the
// question) and records; two tone songs with their meta-data are loaded
// through the drop tool's chooser and dropped, A on deck one, B later on
// deck two, and B is faded in over 16 beats; on the decks panel the
// crossfader rides to deck two and back, deck one's high-pass is raised,
// its effect level set to full and its delay switched on; on the effects
// panel that delay is set to one beat, dotted, at amount 100. The set
// plays 40 s, the recording pauses 5 s and goes on 5 s, the overlap is
// changed and saved on the settings panel, and the program is closed with
// Yes while still recording.
//
// Checked: the file against Python's wave module writing the blocks the
// output played while recording; the two played-songs lists against the
// songs' onsets in the output; the saved settings record decoded by the
// struct script; the boxes; and what the output sounds like: the 110 Hz
// tone with the crossfader on deck two and under the raised high-pass, and
// an echo of every click 1.5 beats on while the delay is on.
#include "AppTestSupport.h"
#include "EndToEndProgram.h"
#include "TestEnvironment.h"
#include "ToneSongs.h"

#include "app/MixerParameters.h"
#include "app/NumberButtonGroup.h"
#include "app/PanelDecks.h"
#include "app/PanelDrop.h"
#include "app/PanelEffects.h"
#include "app/PanelFade.h"
#include "app/PanelRecorder.h"
#include "app/PanelSettings.h"
#include "app/Recorder.h"
#include "app/skin/SkinTable.h"
#include "audio/Motor.h"
#include "audio/SampleConversion.h"
#include "framework/GUIButton.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUIPanelGroupVertical.h"
#include "framework/GUISlider.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace input = platform::test_input;
using app_test::toneLevels;
using platform::audio::NullAudio;

constexpr std::int32_t period = 2205;  // the default latency's block
constexpr std::size_t capacity = 1500;  // blocks the run may keep
constexpr double beatFrames = 22050.0;  // the standard tempo, 120 BPM
constexpr int dropTool = 0, fadeTool = 8;
constexpr int decksPanel = 0, effectsPanel = 1, recorderPanel = 2, settingsPanel = 5;

const ToneSongExtras tagsA{"Alpha", "First Artist", "Label One"};
const ToneSongExtras tagsB{"Beta", "Second Artist", "Label Two"};

// What the run saw. Block numbers count the blocks the watch kept.
struct MixRun {
    int exitCode = -1;
    ToneSong a, b;
    std::unique_ptr<e2e::OutputWatch> watch;
    std::vector<std::uint8_t> capture;  // the main stream's bytes as the script ended
    std::int32_t periodFrames = 0;
    std::size_t recordOn[2] = {}, recordOff[2] = {};
    std::int64_t recordStart = 0;  // mix time of the first recorded frame
    bool recordingAfterClick[2] = {}, stoppedAfterClick = true;
    bool fileQuestionAnswered = false;
    std::string droppedPathA, droppedPathB;
    std::int32_t beatA = 0, beatB = 0;
    std::map<std::int32_t, std::int64_t> grid;  // beat positions after the edits
    std::string fadeType;
    int fadeBeats = 0;
    // The crossfader's ride: blocks at deck two, then back.
    std::size_t rideFrom = 0, rideTo = 0, backFrom = 0, backTo = 0;
    float faderAtDeckTwo = 0.0f, faderBack = 0.0f, faderBefore = 0.0f;
    // The high-pass raised at this block, to that cutoff.
    std::size_t highPassFrom = 0;
    float highPassHz = 0.0f;
    // The delay switched on (effect level, time and amount set) at this block.
    std::size_t delayFrom = 0;
    float effectLevel = 0.0f;
    bool delayButtonDown = false;
    float delayTime = 0.0f, delayAmount = 0.0f;  // deck one's, as the render reads them
    float overlapSet = 0.0f;
    app_test::Fields startUpAtStart, startUpAtEnd, thirdAtEnd, fourthAtEnd;
    std::map<std::string, std::string> othersAtStart, othersAtEnd;
    std::vector<std::string> boxes;
    std::string wav, text, csv;
};

// The records save writes whole as they were loaded (StartUp3 holds the
// second output and the MIDI clock, StartUp4 the MIDI input: the settings
// panel writes what it shows there).
const char* const otherRecords[] = {"StartUp2", "StartUp5", "StartUp6"};

std::map<std::string, std::string> storedOthers() {
    std::map<std::string, std::string> records;
    for (const char* name : otherRecords) {
        if (auto value = app_test::storedValue(name)) records[name] = *value;
    }
    return records;
}

class MixScript {
public:
    MixScript(e2e::Program& program, MixRun& run, const std::string& songs)
        : program_(program), run_(run), songs_(songs) {}

    void operator()(Velkarn& app) {
        app_ = &app;
        window_ = app.mainWindow()->handle();
        platform::dispatchPostedMessages();
        run_.startUpAtStart = app_test::decodeStored("StartUp");
        run_.othersAtStart = storedOthers();
        run_.periodFrames = NullAudio::stream(program_.mainStream())->periodFrames;
        run_.watch = std::make_unique<e2e::OutputWatch>(app, capacity, period);
        app.output(0)->setClient(run_.watch.get());
        run_.a = writeToneSong(songs_, "a", {120.0, 40.0, 110.0, 0.15, 4000.0, 0.3}, tagsA);
        run_.b = writeToneSong(songs_, "b", {120.0, 60.0, 165.0, 0.15, 2500.0, 0.3}, tagsB);

        record();
        drop();
        fade();
        play(30);
        rideCrossfader();
        raiseHighPass();
        delayOn();
        setDelay();
        play(800);  // 40 s
        chooseFunction(recorderPanel);
        click(*app.panelRecorder()->recordButton());
        run_.recordOff[0] = blocks();
        run_.stoppedAfterClick = !app.recorder()->isRecording();
        play(100);
        click(*app.panelRecorder()->recordButton());
        run_.recordOn[1] = blocks();
        run_.recordingAfterClick[1] = app.recorder()->isRecording();
        play(100);
        changeOverlapAndSave();
        for (std::int32_t beat = run_.beatA - 2; beat < run_.beatB + 100; ++beat) run_.grid[beat] = app.beatAt(beat).position;
        run_.recordOff[1] = blocks();
        run_.capture = NullAudio::capturedBytes(program_.mainStream());
        program_.close();
    }

private:
    std::size_t blocks() const { return run_.watch->blocks.load(); }

    // Periods of the output. They pass far faster than real time here, so
    // the recorder's writer is given the time it would have had: it is
    // never let fall more than half its ring behind.
    void play(int periods) {
        const Recorder& recorder = *app_->recorder();
        for (int i = 0; i < periods; ++i) {
            program_.step();
            const std::int64_t copied = recorder.framesCopiedIn();
            if (copied - recorder.framesWritten() <= recorder.ringFrames() / 2) continue;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (recorder.framesWritten() < copied) {
                ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the recorder's writer does not catch up";
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    void click(const GUIComponent& component) { EXPECT_TRUE(input::click(window_, e2e::centreOf(component))); }

    void chooseTool(int index) {
        const int middle = (skinTabStart(index, 10, 430) + skinTabStart(index + 1, 10, 430)) / 2;
        EXPECT_TRUE(input::click(window_, {860, 10 + middle}));
        EXPECT_EQ(app_->toolGroup()->selectedIndex(), index);
    }
    void chooseFunction(int index) {
        EXPECT_TRUE(input::click(window_, {10 + 800 * (2 * index + 1) / 12, 460}));
        EXPECT_EQ(app_->functionGroup()->selectedIndex(), index);
    }

    // The knob pressed at its centre, moved by (dx, dy) in four steps and
    // released there.
    void dragKnob(GUISlider& slider, int dx, int dy) {
        const platform::Point from = e2e::centreOf(slider.knobRectangle());
        EXPECT_TRUE(input::press(window_, from));
        for (int i = 1; i <= 4; ++i) EXPECT_TRUE(input::move(window_, {from.x + dx * i / 4, from.y + dy * i / 4}));
        EXPECT_TRUE(input::release(window_, {from.x + dx, from.y + dy}));
    }
    static bool isVertical(const GUISlider& slider) { return slider.y1 - slider.y0 > slider.x1 - slider.x0; }

    // An existing "mix.wav" chosen (overwritten after the question), then
    // record.
    void record() {
        chooseFunction(recorderPanel);
        const std::string file = program_.home() + "/mix.wav";
        testing_support::writeFile(file, "an older take");
        platform::uiScript::pushPath(file);
        platform::uiScript::pushYes();
        click(*app_->panelRecorder()->setFileButton());
        run_.fileQuestionAnswered = app_->recorder()->fileName() == file;
        click(*app_->panelRecorder()->recordButton());
        run_.recordOn[0] = blocks();
        run_.recordStart = app_->currentSampleTime();
        run_.recordingAfterClick[0] = app_->recorder()->isRecording();
    }

    // A through the drop panel's chooser onto deck one; two seconds on, B
    // onto deck two 40 beats after A.
    void drop() {
        chooseTool(dropTool);
        PanelDrop& panel = *app_->panelDrop();
        platform::uiScript::pushPath(run_.a.path);
        click(*panel.loadButton());
        run_.droppedPathA = panel.songPath();
        run_.beatA = app_->nextEditableBeat() + 1;
        EXPECT_TRUE(input::click(window_, e2e::pointOnStrip(*app_, 0, run_.beatA)));
        play(40);
        platform::uiScript::pushPath(run_.b.path);
        click(*panel.loadButton());
        run_.droppedPathB = panel.songPath();
        run_.beatB = run_.beatA + 40;
        EXPECT_TRUE(input::click(window_, e2e::pointOnStrip(*app_, 1, run_.beatB)));
    }

    // In, over 16 beats, from B's first beat.
    void fade() {
        chooseTool(fadeTool);
        PanelFade& panel = *app_->panelFade();
        click(*panel.typeButton(0));
        click(*panel.beats().button(2));
        run_.fadeType = panel.fadeType();
        run_.fadeBeats = panel.fadeBeats();
        EXPECT_TRUE(input::click(window_, e2e::pointOnStrip(*app_, 1, run_.beatB)));
    }

    // The knob held at deck two's end for a second, then taken back to where
    // it was grabbed.
    void rideCrossfader() {
        chooseFunction(decksPanel);
        GUISlider& fader = *app_->panelDecks()->slider(PanelDecks::crossfader);
        run_.faderBefore = fader.value();
        const platform::Point grab = e2e::centreOf(fader.knobRectangle());
        const platform::Point end = isVertical(fader) ? platform::Point{grab.x, fader.y0 - 50}
                                                      : platform::Point{fader.x1 + 50, grab.y};
        EXPECT_TRUE(input::press(window_, grab));
        for (int i = 1; i <= 4; ++i) {
            EXPECT_TRUE(input::move(window_, {grab.x + (end.x - grab.x) * i / 4, grab.y + (end.y - grab.y) * i / 4}));
        }
        run_.faderAtDeckTwo = fader.value();
        run_.rideFrom = blocks();
        play(20);
        run_.rideTo = blocks();
        EXPECT_TRUE(input::move(window_, grab));
        EXPECT_TRUE(input::release(window_, grab));
        run_.faderBack = fader.value();
        run_.backFrom = blocks();
        play(30);
        run_.backTo = blocks();
    }

    // Deck one's high-pass knob up to the middle of its travel.
    void raiseHighPass() {
        GUISlider& slider = *app_->panelDecks()->slider(PanelDecks::highPass0);
        const GUIRectangle knob = slider.knobRectangle();
        if (isVertical(slider)) {
            const int travel = slider.y1 - slider.y0 + 1 - knob.height;
            dragKnob(slider, 0, -static_cast<int>((0.5f - slider.value()) * static_cast<float>(travel)));
        } else {
            const int travel = slider.x1 - slider.x0 + 1 - knob.width;
            dragKnob(slider, static_cast<int>((0.5f - slider.value()) * static_cast<float>(travel)), 0);
        }
        run_.highPassHz = app_->mixerParameters()->value(MixerParameters::deck0LowerCutoff);
        run_.highPassFrom = blocks();
        play(40);
    }

    // Deck one's effect level to full and its delay on.
    void delayOn() {
        GUISlider& slider = *app_->panelDecks()->slider(PanelDecks::effect0);
        if (isVertical(slider)) {
            dragKnob(slider, 0, -(slider.y1 - slider.y0 + 50));
        } else {
            dragKnob(slider, slider.x1 - slider.x0 + 50, 0);
        }
        run_.effectLevel = app_->mixerParameters()->value(MixerParameters::deck0EffectLevel);
        GUIButton& delay = *app_->panelDecks()->effectButton(0, PanelDecks::delay);
        click(delay);
        run_.delayButtonDown = delay.isDown();
        run_.delayFrom = blocks();
    }

    // Deck one's delay: one beat, dotted, amount 100.
    void setDelay() {
        chooseFunction(effectsPanel);
        PanelEffects& panel = *app_->panelEffects();
        EXPECT_EQ(panel.deckGroup(0)->selectedIndex(), PanelEffects::delay);
        click(*panel.lengths(0, PanelEffects::delay).button(2));
        click(*panel.dottedButton(0, PanelEffects::delay));
        GUISliderHorizontal& amount = *panel.amountSlider(0, PanelEffects::delay)->slider();
        dragKnob(amount, amount.x1 - amount.x0 + 50, 0);
        float times[2], amounts[2];
        panel.delayTimes(times, 0.5f);
        panel.delayAmounts(amounts);
        run_.delayTime = times[0];
        run_.delayAmount = amounts[0];
    }

    // The overlap knob on the sound page moved, then save.
    void changeOverlapAndSave() {
        chooseFunction(settingsPanel);
        PanelSettings& panel = *app_->panelSettings();
        const GUIRectangle& pages = *panel.subPanels();
        const int width = pages.x1 - pages.x0 + 1;
        const int page = PanelSettings::sound;
        EXPECT_TRUE(input::click(window_, {pages.x0 + (width * page + width / 2) / PanelSettings::subPanelCount, pages.y0 + 10}));
        EXPECT_EQ(panel.subPanels()->selectedIndex(), page);
        dragKnob(*panel.overlapSlider()->slider(), 30, 0);
        run_.overlapSet = panel.overlapSlider()->value();
        click(*panel.saveButton());
    }

    e2e::Program& program_;
    MixRun& run_;
    std::string songs_;
    Velkarn* app_ = nullptr;
    platform::WindowHandle window_ = 0;
};

class MixEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        run = new MixRun;
        testing_support::TemporaryDirectory songs;
        e2e::Program program;
        MixScript script(program, *run, songs.path());
        run->exitCode = program.run(std::ref(script));
        run->boxes = program.boxes();
        run->startUpAtEnd = app_test::decodeStored("StartUp");
        run->thirdAtEnd = app_test::decodeStored("StartUp3");
        run->fourthAtEnd = app_test::decodeStored("StartUp4");
        run->othersAtEnd = storedOthers();
        run->wav = testing_support::readFile(program.home() + "/mix.wav");
        run->text = testing_support::readFile(program.home() + "/mix.txt");
        run->csv = testing_support::readFile(program.home() + "/mix.csv");
    }
    static void TearDownTestSuite() { delete run; }

    // Mix time of the first kept block, and the left channel's index of a
    // mix time.
    static std::int64_t origin() { return run->watch->starts[0]; }
    static std::size_t at(double time) { return static_cast<std::size_t>(time - static_cast<double>(origin())); }
    static std::int64_t startOf(std::size_t block) { return run->watch->starts[block]; }

    // The 110 Hz and 165 Hz levels of the left channel in the second half
    // of each beat that lies wholly in blocks [from, to), clear of the
    // markers and their echoes' start; the mean over those beats.
    static std::pair<double, double> beatLevels(std::size_t from, std::size_t to, int* beats = nullptr) {
        const std::int64_t begin = startOf(from), end = startOf(to);
        double sum0 = 0.0, sum1 = 0.0;
        int n = 0;
        for (const auto& [beat, position] : run->grid) {
            const std::int64_t start = position + 11025 + 441;
            const std::int64_t stop = position + static_cast<std::int64_t>(beatFrames) - 441;
            if (start < begin || stop > end) continue;
            const auto [level0, level1] =
                toneLevels(run->watch->left, at(static_cast<double>(start)), static_cast<std::size_t>(stop - start), start, 110.0, 165.0);
            sum0 += level0;
            sum1 += level1;
            ++n;
        }
        if (beats != nullptr) *beats = n;
        return n == 0 ? std::pair<double, double>{-1.0, -1.0} : std::pair<double, double>{sum0 / n, sum1 / n};
    }

    static double decibels(double level, double reference) { return 20.0 * std::log10(std::max(level, 1e-12) / reference); }

    static MixRun* run;
};

MixRun* MixEndToEnd::run = nullptr;

TEST_F(MixEndToEnd, TheScriptReachedEveryControl) {
    EXPECT_EQ(run->exitCode, 0);
    EXPECT_EQ(run->periodFrames, period);
    EXPECT_TRUE(run->fileQuestionAnswered);
    EXPECT_TRUE(run->recordingAfterClick[0]);
    EXPECT_TRUE(run->stoppedAfterClick);
    EXPECT_TRUE(run->recordingAfterClick[1]);
    EXPECT_EQ(run->droppedPathA, run->a.path);
    EXPECT_EQ(run->droppedPathB, run->b.path);
    EXPECT_EQ(run->fadeType, "in");
    EXPECT_EQ(run->fadeBeats, 16);
    EXPECT_EQ(run->faderAtDeckTwo, 1.0f);
    EXPECT_NEAR(run->faderBack, run->faderBefore, 0.01f);  // within a pixel or two
    EXPECT_FLOAT_EQ(run->effectLevel, 1.0f);
    EXPECT_TRUE(run->delayButtonDown);
    EXPECT_FLOAT_EQ(run->delayTime, 0.75f);  // 1.5 beats of 0.5 s
    EXPECT_FLOAT_EQ(run->delayAmount, 1.0f);
    EXPECT_NE(run->overlapSet, 10.0f);
    ASSERT_LT(run->recordOff[1], capacity) << "the watch ran out of room";
    // The output played on without a gap.
    for (std::size_t k = 1; k < run->watch->blocks.load(); ++k) {
        ASSERT_EQ(startOf(k), origin() + static_cast<std::int64_t>(k) * period) << k;
    }
}

// The file holds the blocks played while recording: those the stream
// played, and the last few it had still queued when the program closed,
// converted as the device converts them. Python's wave module writes the
// same bytes.
TEST_F(MixEndToEnd, TheRecordingEqualsWhatTheOutputPlayedWhileRecording) {
    const e2e::OutputWatch& watch = *run->watch;
    const std::size_t blockBytes = static_cast<std::size_t>(period) * 4;
    auto converted = [&](std::size_t from, std::size_t to) {
        std::string bytes((to - from) * blockBytes, '\0');
        for (std::size_t k = from; k < to; ++k) {
            const float* channels[2] = {&watch.left[k * period], &watch.right[k * period]};
            interleaveSamplesScalar(channels, 2, period, 16,
                                    reinterpret_cast<std::uint8_t*>(bytes.data() + (k - from) * blockBytes));
        }
        return bytes;
    };
    const std::string capture(run->capture.begin(), run->capture.end());
    const std::size_t captured = capture.size() / blockBytes;
    const std::size_t kept = watch.blocks.load();
    // The stream played blocks before the watch took over: find where the
    // watch's blocks sit in the capture (every one that both hold agrees).
    std::vector<std::size_t> offsets;
    for (std::size_t offset = 0; offset < 16; ++offset) {
        const std::size_t n = std::min(kept, captured - offset);
        if (capture.substr(offset * blockBytes, n * blockBytes) == converted(0, n)) offsets.push_back(offset);
    }
    ASSERT_EQ(offsets.size(), 1u) << "the watch's blocks are not found once in the capture";
    const std::size_t offset = offsets[0];
    const std::size_t played = captured - offset;  // blocks of the watch the stream played
    const std::size_t* on = run->recordOn;
    const std::size_t* off = run->recordOff;
    ASSERT_LT(off[0], played);
    ASSERT_LE(on[1], played);
    ASSERT_LE(played, off[1]);
    std::string frames = capture.substr((offset + on[0]) * blockBytes, (off[0] - on[0]) * blockBytes) +
                         capture.substr((offset + on[1]) * blockBytes, (played - on[1]) * blockBytes) +
                         converted(played, off[1]);
    std::printf("[ recording ] %zu + %zu blocks, the last %zu still queued at the close\n", off[0] - on[0],
                off[1] - on[1], off[1] - played);

    testing_support::TemporaryDirectory scratch;
    testing_support::writeFile(scratch.file("frames.raw"), frames);
    testing_support::runPython("app/wave_reference.py", {scratch.file("frames.raw"), scratch.file("python.wav")});
    const std::string expected = testing_support::readFile(scratch.file("python.wav"));
    ASSERT_EQ(run->wav.size(), expected.size());
    EXPECT_TRUE(run->wav == expected) << "mix.wav differs from what the output played";
}

// The two lines of each list, stamped with the drop's time into the
// recording: the song's onset in the output, within one block.
TEST_F(MixEndToEnd, ThePlayedSongsListsHoldBothDropsAtTheSongsOnsets) {
    const e2e::OutputWatch& watch = *run->watch;
    // A starts from silence.
    std::size_t i = at(static_cast<double>(run->recordStart));
    while (i < watch.left.size() && std::abs(watch.left[i]) < 1e-3f) ++i;
    const double onsetA = static_cast<double>(origin()) + static_cast<double>(i);
    // B fades in from nothing along the crossfade curve: over the first
    // quarter of the fade (4 beats) its tone's level is a line that meets
    // zero at the onset. Measured between the clicks and echoes (at a
    // quarter and three quarters of each beat).
    const std::int64_t startB = run->grid.at(run->beatB);
    std::vector<double> times, levels;
    double beforeB = 0.0;
    for (std::int32_t beat = run->beatB - 3; beat < run->beatB + 4; ++beat) {
        for (double from : {0.31, 0.81}) {
            const auto start = run->grid.at(beat) + static_cast<std::int64_t>(from * beatFrames);
            const auto count = static_cast<std::size_t>(0.38 * beatFrames);
            const double level =
                toneLevels(watch.left, at(static_cast<double>(start)), count, start, 110.0, 165.0).second;
            const double centre = static_cast<double>(start) + static_cast<double>(count) / 2.0;
            if (start + static_cast<std::int64_t>(count) <= startB) beforeB = std::max(beforeB, level);
            if (start >= startB) {
                times.push_back(centre);
                levels.push_back(level);
            }
        }
    }
    ASSERT_EQ(times.size(), 8u);
    const double n = static_cast<double>(times.size());
    double st = 0, sl = 0, stt = 0, stl = 0;
    for (std::size_t k = 0; k < times.size(); ++k) {
        st += times[k];
        sl += levels[k];
        stt += times[k] * times[k];
        stl += times[k] * levels[k];
    }
    const double slope = (n * stl - st * sl) / (n * stt - st * st);
    const double onsetB = (st - sl / slope) / n;
    EXPECT_LT(beforeB, 1e-5) << "B sounds before its first beat";
    std::printf("[ onsets ] A %+.1f frames, B %+.1f frames from their drop beats\n",
                onsetA - static_cast<double>(run->grid.at(run->beatA)), onsetB - static_cast<double>(startB));
    EXPECT_NEAR(onsetA, static_cast<double>(run->grid.at(run->beatA)), period);
    EXPECT_NEAR(onsetB, static_cast<double>(startB), period);

    // Each line's seconds: the onset's, truncated, within one block.
    std::istringstream lines(run->text);
    std::string expected;
    const struct {
        int deck;
        double onset;
        const ToneSongExtras& tags;
    } drops[] = {{1, onsetA, tagsA}, {2, onsetB, tagsB}};
    for (const auto& drop : drops) {
        std::string line;
        ASSERT_TRUE(std::getline(lines, line, '\n')) << run->text;
        int deck = 0, hours = -1, minutes = -1, seconds = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d. [%d:%d:%d]", &deck, &hours, &minutes, &seconds), 4) << line;
        const double stamped = (hours * 3600.0 + minutes * 60.0 + seconds) * 44100.0;
        const double into = drop.onset - static_cast<double>(run->recordStart);
        EXPECT_GE(into + period, stamped) << line;
        EXPECT_LT(into - period, stamped + 44100.0) << line;
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "%d. [%2d:%2d:%2d] ", drop.deck, hours, minutes, seconds);
        expected += stamp + drop.tags.title + " | " + drop.tags.artist + " [ " + drop.tags.label + " ]\r\n";
    }
    EXPECT_EQ(run->text, expected);
    EXPECT_EQ(run->csv, "Title;Artist;Label\r\nAlpha;First Artist;Label One\r\nBeta;Second Artist;Label Two\r\n");
}

TEST_F(MixEndToEnd, SaveStoresTheNewOverlapAndTheBoxesAreTheQuestionsAnswered) {
    // What the panel showed: the defaults of a first start, the output
    // opened (the null device) and the overlap as moved.
    const app_test::Fields startUp{{"crossfadeKnee", "75.0"}, {"filterOrder", "2"},
                                   {"overlapMs", app_test::pythonFloat(run->overlapSet)},
                                   {"reserved", "0"}, {"refreshRate", "20.0"}, {"outputType", "0"},
                                   {"outputDevice", platform::audio::nullOutputName}, {"latencyMs", "50.0"}};
    EXPECT_EQ(run->startUpAtStart.at("overlapMs"), "10.0");
    EXPECT_EQ(run->startUpAtEnd, startUp);
    EXPECT_EQ(run->thirdAtEnd, (app_test::Fields{{"secondOutputOn", "0"},
                                                  {"secondOutputType", "0"},
                                                  {"secondOutputDevice", platform::audio::nullOutputName},
                                                  {"secondLatencyMs", "50.0"},
                                                  {"midiClockOn", "0"},
                                                  {"midiOutputDevice", "<no device available>"}}));
    EXPECT_EQ(run->fourthAtEnd, (app_test::Fields{{"midiInOn", "0"},
                                                  {"midiInputDevice", "<no device available>"},
                                                  {"controllerNumbers", "20,21,22,23,24,25,26,27,28,29"}}));
    EXPECT_EQ(run->othersAtEnd, run->othersAtStart);
    EXPECT_EQ(run->boxes, (std::vector<std::string>{"File Exists|This file exists already. Do you want to overwrite it?",
                                                    "Closing Velkarn|Do you want to quit Velkarn?"}));
}

// Deck one's tone with the crossfader on deck two and under the raised
// high-pass, against its level before.
TEST_F(MixEndToEnd, TheCrossfaderAndTheHighPassTakeDeckOnesToneDown) {
    const e2e::OutputWatch& watch = *run->watch;
    // The mix model's level of deck one's tone where the crossfader stood
    // before the ride and where it was let go.
    char back[96];
    std::snprintf(back, sizeof back, "%.9g,0.75,0.9,1,1,0.15,0.15", static_cast<double>(run->faderBack));
    std::istringstream model(testing_support::runPython("app/mix_model.py", {"0.5,0.75,0.9,1,1,0.15,0.15", back}));
    double level0 = 0.0, level1 = 0.0, peak = 0.0, backLevel0 = 0.0;
    ASSERT_TRUE(model >> level0 >> level1 >> peak >> backLevel0 >> level1 >> peak);
    int beats = 0;
    const std::size_t aFrom = static_cast<std::size_t>((run->grid.at(run->beatA) - origin()) / period + 1);
    const double reference = beatLevels(aFrom, run->rideFrom, &beats).first;
    ASSERT_GE(beats, 4);
    EXPECT_NEAR(reference, level0, 2e-3 * level0);

    // At deck two from the block after the move (the gain glides across it).
    const std::size_t from = run->rideFrom + 1;
    const double atDeckTwo = toneLevels(watch.left, from * period, (run->rideTo - from) * period, startOf(from), 110.0, 165.0).first;
    const double backLevel = beatLevels(run->backFrom + 1, run->backTo, &beats).first;
    ASSERT_GE(beats, 1);
    EXPECT_NEAR(backLevel, backLevel0, 2e-3 * backLevel0);
    // The raised high-pass, once its first beat has passed.
    const double filtered = beatLevels(run->highPassFrom + 10, run->delayFrom, &beats).first;
    ASSERT_GE(beats, 1);
    const double ratio = 110.0 / run->highPassHz;
    const double butterworth = 20.0 * std::log10(ratio * ratio / std::sqrt(1.0 + ratio * ratio * ratio * ratio));
    std::printf("[ deck one's 110 Hz ] crossfader on deck two %.1f dB, high-pass at %.0f Hz %.1f dB (second-order "
                "Butterworth %.1f dB)\n",
                decibels(atDeckTwo, reference), run->highPassHz, decibels(filtered, reference), butterworth);
    EXPECT_LE(decibels(atDeckTwo, reference), -40.0);
    EXPECT_LE(decibels(filtered, reference), -20.0);
}

// Second differences of the left channel: they keep the clicks and take
// the low tones down.
double slope2(const std::vector<float>& x, std::size_t i) {
    return static_cast<double>(x[i + 1]) - 2.0 * x[i] + x[i - 1];
}

// With the delay on, every click of deck one comes again 1.5 beats later:
// the first echo is the click itself (its second difference, fitted), and
// after it each click's echo is centred 1.5 beats on with at least the
// energy of one click. Before the delay those places hold no click.
TEST_F(MixEndToEnd, EveryClickEchoesOneAndAHalfBeatsLaterWhileTheDelayIsOn) {
    const std::vector<float>& left = run->watch->left;
    const double delay = 1.5 * beatFrames;
    const double end = static_cast<double>(startOf(run->recordOff[0])) - 2000.0;
    auto energy = [&](double centre) {
        double sum = 0.0;
        for (std::size_t i = at(centre) - 1764; i < at(centre) + 1764; ++i) sum += slope2(left, i) * slope2(left, i);
        return sum;
    };
    // Deck one's clicks while the song plays at full level.
    std::vector<double> clicks;
    for (std::size_t j = 0; j < run->a.markerCentres.size(); ++j) {
        const std::int32_t beat = run->beatA + static_cast<std::int32_t>(j);
        if (beat >= run->beatB) break;
        clicks.push_back(static_cast<double>(run->grid.at(beat)) + run->a.markerCentres[j] - run->a.beats[j]);
    }
    const double delayStart = static_cast<double>(startOf(run->delayFrom + 1));
    const double filterSettled = static_cast<double>(startOf(run->highPassFrom + 10));
    double clickEnergy = 0.0;
    int before = 0, quietBefore = 0;
    for (double c : clicks) {
        if (c > filterSettled && c + 1764 < delayStart) clickEnergy = energy(c);
    }
    for (double c : clicks) {
        if (c - 1764 > static_cast<double>(origin()) && c + delay + 1764 < delayStart) {
            ++before;
            quietBefore += energy(c + delay) < 1e-3 * clickEnergy;
        }
    }
    ASSERT_GT(clickEnergy, 0.0);
    EXPECT_GE(before, 10);
    EXPECT_EQ(quietBefore, before) << "a click place 1.5 beats on before the delay was on";

    // The first click with the delay on: its echo is the click again.
    const auto first = std::find_if(clicks.begin(), clicks.end(), [&](double c) { return c - 1764 > delayStart; });
    ASSERT_NE(first, clicks.end());
    double bestLag = 0.0, best = -1.0;
    for (int lag = static_cast<int>(delay) - 441; lag <= static_cast<int>(delay) + 441; ++lag) {
        double sum = 0.0;
        for (std::size_t i = at(*first) - 1764; i < at(*first) + 1764; ++i) sum += slope2(left, i) * slope2(left, i + lag);
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    double cross = 0.0, own = 0.0, residual = 0.0;
    for (std::size_t i = at(*first) - 1764; i < at(*first) + 1764; ++i) {
        cross += slope2(left, i) * slope2(left, i + static_cast<std::size_t>(delay));
        own += slope2(left, i) * slope2(left, i);
    }
    const double gain = cross / own;
    for (std::size_t i = at(*first) - 1764; i < at(*first) + 1764; ++i) {
        const double d = slope2(left, i + static_cast<std::size_t>(delay)) - gain * slope2(left, i);
        residual += d * d;
    }
    EXPECT_EQ(bestLag, delay);
    EXPECT_NEAR(gain, 1.0, 0.02);
    EXPECT_LT(residual / own, 1e-3);

    // Every click after it: an echo centred 1.5 beats on.
    int echoes = 0;
    double worst = 0.0, weakest = 1e9;
    for (auto c = first; c != clicks.end() && *c + delay + 1764 < end; ++c) {
        const double expected = *c + delay;
        const double found = markerCentre(left, expected - static_cast<double>(origin())) + static_cast<double>(origin());
        EXPECT_NEAR(found, expected, 44.1) << "the click at " << *c;
        worst = std::max(worst, std::abs(found - expected));
        weakest = std::min(weakest, energy(expected) / clickEnergy);
        ++echoes;
    }
    std::printf("[ echo ] measured delay %.0f frames (%.4f beats), first echo gain %.4f, residual %.1f dB; %d echoes "
                "centred within %.1f frames, the weakest %.1f dB against one click\n",
                bestLag, bestLag / beatFrames, gain, 10.0 * std::log10(residual / own), echoes, worst,
                10.0 * std::log10(weakest));
    EXPECT_GE(echoes, 20);
    EXPECT_GE(weakest, 0.5);
}

}  // namespace
