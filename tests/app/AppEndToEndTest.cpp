// The program end to end in this process: the stand-alone main with its
// message loop, the built-in skin, offscreen windows, the virtual clock,
// the null output stepped one period at a time, scripted boxes, an empty
// data directory, and input only through the toolkit's event path.
//
// Three runs of one script: a reference without input, one that drags the
// volume knob, and the whole one that also pauses and closes the program.
// Where they should agree, their output blocks are compared sample by
// sample.
#include "AppTestSupport.h"
#include "EndToEndProgram.h"
#include "OutputThreadCalls.h"
#include "TestEnvironment.h"
#include "ToneSongs.h"

#include "app/MixerParameters.h"
#include "app/Velkarn.h"
#include "app/VelkarnStandAlone.h"
#include "audio/AudioClient.h"
#include "audio/Interpolator.h"
#include "audio/Motor.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"
#include "audio/TrackAudio.h"
#include "framework/CriticalSections.h"
#include "framework/GUIButton.h"
#include "framework/GUISliderVertical.h"
#include "framework/Image.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/NativeWindow.h"
#include "platform/Registry.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

namespace {

namespace input = platform::test_input;
using app_test::toneLevels;
using platform::audio::NullAudio;

constexpr std::int32_t period = 2205;  // the default latency's block
constexpr std::size_t capacity = 400;  // blocks a run may capture

const char* const recordNames[] = {"StartUp", "StartUp2", "StartUp3", "StartUp4", "StartUp5", "StartUp6", "StartUp7"};

struct Options {
    bool drag = false;
    bool pauseAndClose = false;
};

// What a run saw.
struct ProgramRun {
    int exitCode = -1;
    std::map<std::string, std::string> recordsAtStart, recordsBeforeClose, recordsAtEnd;
    std::vector<std::string> boxesAtStart, boxes;
    std::unique_ptr<Image> frame;
    std::unique_ptr<e2e::OutputWatch> watch;
    ToneSong a, b;
    std::int32_t firstBeat = 0;                 // song A's first grid beat; B starts 8 later
    std::map<std::int32_t, std::int64_t> grid;  // beat positions near the songs
    std::size_t dragBlock = 0, pauseBlock = 0, resumeBlock = 0;
    int knobMoved = 0;
    float sliderValue = 0.0f, volume = 0.0f;
    std::int64_t clockAtPause = 0, clockAfterPause = 0;
    bool playingAfterNo = false;
    std::int64_t clockBeforeNo = 0, clockAfterNo = 0;
    std::int64_t deckUnderruns = -1, streamUnderruns = -1;
    std::int64_t allocations = -1;
};

std::map<std::string, std::string> storedRecords() {
    std::map<std::string, std::string> records;
    for (const char* name : recordNames) {
        if (auto value = app_test::storedValue(name)) records[name] = *value;
    }
    return records;
}

// Keeps the same objects alive for every song of a run (they outlive the
// application, which deletes the songs).
Interpolator songInterpolator{2};
TimeScalerPV songTimeScaler{1024, 4};

class Script {
public:
    Script(const Options& options, ProgramRun& run, const std::string& directory)
        : options_(options), run_(run), directory_(directory) {}

    void operator()(Velkarn& app) {
        app_ = &app;
        window_ = app.mainWindow()->handle();
        run_.recordsAtStart = storedRecords();
        run_.boxesAtStart = app_test::boxes();
        platform::dispatchPostedMessages();
        run_.frame = frameOf(*app.mainWindow());
        stream_ = NullAudio::newestStream();
        run_.watch = std::make_unique<e2e::OutputWatch>(app, capacity, period);
        app.output(0)->setClient(run_.watch.get());
        const std::int64_t allocationsBefore = outputAllocations.load();

        placeSongs();
        const std::int64_t deckUnderrunsBefore = app.playback(0)->underrunFrames() + app.playback(1)->underrunFrames();
        playUntil(10 * 44100);
        run_.dragBlock = run_.watch->blocks;
        if (options_.drag) dragVolumeKnob();
        playBlocks(20);
        if (options_.pauseAndClose) pause(20);
        playBlocks(40);
        // (The blocks a device plays as it starts come before the render
        // threads have anything: those are not counted.)
        run_.deckUnderruns =
            app.playback(0)->underrunFrames() + app.playback(1)->underrunFrames() - deckUnderrunsBefore;
        run_.allocations = outputAllocations.load() - allocationsBefore;
        if (options_.pauseAndClose) {
            closeAnsweringNoThenYes();
        } else {
            platform::postMessage(window_, platform::closeRequestMessage, 0, 0);
        }
    }

private:
    static std::unique_ptr<Image> frameOf(Window& window) {
        const std::vector<std::uint8_t> frame =
            window.nativeWindow()->readBack(platform::Rect{0, 0, window.width(), window.height()});
        return std::unique_ptr<Image>(image_test::imageFromBytes(window.width(), window.height(), frame));
    }

    // Operation 43 on each deck under lock 2, then 48 and 49 from the first
    // beat still free to change.
    void placeSongs() {
        run_.a = writeToneSong(directory_, "a", {120.0, 8.0, 110.0, 0.15, 1000.0, 0.3});
        run_.b = writeToneSong(directory_, "b", {120.0, 9.0, 165.0, 0.15, 2500.0, 0.15});
        const std::int32_t first = app_->nextEditableBeat();
        run_.firstBeat = first;
        enterCriticalSection(2);
        app_->songs(0)->add(std::make_unique<Song>(run_.a.path, first, songInterpolator, songTimeScaler, 40.0f, false, 0));
        app_->songs(1)->add(
            std::make_unique<Song>(run_.b.path, first + 8, songInterpolator, songTimeScaler, 40.0f, false, 0));
        leaveCriticalSection(2);
        app_->rebuildBeatInfo(app_->currentSampleTime(), first);
        app_->rerenderDecksFrom(first);
        for (std::int32_t beat = first - 1; beat < first + 30; ++beat) run_.grid[beat] = app_->beatAt(beat).position;
    }

    // One period of the output, once both decks are a second ahead; then the
    // window's own work (its refresh timer) on this thread.
    void step() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (app_->playback(0)->framesAhead() < 44100 || app_->playback(1)->framesAhead() < 44100) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the render threads fell behind at " << app_->currentSampleTime();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!NullAudio::advanceToDeadline(stream_, 1)) ADD_FAILURE() << "no deadline";
        platform::dispatchPostedMessages();
    }
    void playBlocks(int blocks) {
        for (int i = 0; i < blocks; ++i) step();
    }
    void playUntil(std::int64_t time) {
        while (app_->currentSampleTime() < time && run_.watch->blocks < capacity) step();
    }

    platform::Point centreOf(const GUIRectangle& r) const {
        return platform::Point{r.x0 + r.width / 2, r.y0 + r.height / 2};
    }

    void dragVolumeKnob() {
        GUISliderVertical* slider = app_->volumeSlider();
        const GUIRectangle knob = slider->knobRectangle();
        const platform::Point grab = centreOf(knob);
        const platform::Point to{grab.x, grab.y + 40};
        EXPECT_TRUE(input::press(window_, grab));
        EXPECT_TRUE(input::move(window_, to));
        EXPECT_TRUE(input::release(window_, to));
        run_.knobMoved = slider->knobRectangle().y0 - knob.y0;
        run_.sliderValue = slider->value();
        run_.volume = app_->mixerParameters()->value(MixerParameters::mainVolume);
    }

    void clickPlay() { EXPECT_TRUE(input::click(window_, centreOf(*app_->playButton()))); }

    void pause(int blocks) {
        clickPlay();
        EXPECT_FALSE(app_->isPlaying());
        run_.pauseBlock = run_.watch->blocks;
        run_.clockAtPause = app_->currentSampleTime();
        playBlocks(blocks);
        run_.clockAfterPause = app_->currentSampleTime();
        clickPlay();
        EXPECT_TRUE(app_->isPlaying());
        run_.resumeBlock = run_.watch->blocks;
    }

    // The user closes the main window: No keeps the program playing, Yes
    // lets the loop end it.
    void closeAnsweringNoThenYes() {
        // The exit writes StartUp7 again: take it out of the store first.
        namespace registry = platform::registry;
        registry::Key key = 0;
        bool created = false;
        EXPECT_EQ(registry::createKey(registry::currentUser, "Software\\Pelgrave Software\\Velkarn\\1", key, created),
                  registry::success);
        EXPECT_EQ(registry::deleteValue(key, "StartUp7"), registry::success);
        registry::closeKey(key);
        run_.recordsBeforeClose = storedRecords();
        platform::uiScript::pushNo();
        EXPECT_TRUE(input::close(window_));
        run_.playingAfterNo = app_->isPlaying();
        run_.clockBeforeNo = app_->currentSampleTime();
        step();
        run_.clockAfterNo = app_->currentSampleTime();
        platform::uiScript::pushYes();
        EXPECT_TRUE(input::close(window_));
    }

    const Options& options_;
    ProgramRun& run_;
    std::string directory_;
    Velkarn* app_ = nullptr;
    platform::WindowHandle window_ = 0;
    int stream_ = 0;
};

std::function<void(Velkarn&)> script;
void runScript(Velkarn& app) { script(app); }

ProgramRun runProgram(const Options& options) {
    ProgramRun run;
    testing_support::TemporaryDirectory home;
    testing_support::TemporaryDirectory songs;
    testing_support::ScopedEnvironment homeVariable("VELKARN_HOME", home.path());
    platform::uiScript::enable();
    platform::VirtualClock::enable();
    NullAudio::setMemoryCapture(true);
    Script steps(options, run, songs.path());
    script = std::ref(steps);
    VelkarnStandAlone::setStartedHook(runScript);
    run.exitCode = VelkarnStandAlone::standAloneMain(nullptr, nullptr, "", 1);
    VelkarnStandAlone::setStartedHook(nullptr);
    script = nullptr;
    run.recordsAtEnd = storedRecords();
    run.boxes = app_test::boxes();
    for (const platform::audio::NullStreamRecord& record : NullAudio::streams()) {
        run.streamUnderruns = std::max<std::int64_t>(run.streamUnderruns, 0) + record.underruns;
    }
    NullAudio::setMemoryCapture(false);
    NullAudio::forget();
    platform::VirtualClock::disable();
    platform::uiScript::disable();
    return run;
}

class AppEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        reference = new ProgramRun(runProgram({}));
        dragged = new ProgramRun(runProgram({true, false}));
        whole = new ProgramRun(runProgram({true, true}));
    }
    static void TearDownTestSuite() {
        delete reference;
        delete dragged;
        delete whole;
    }
    static ProgramRun* reference;
    static ProgramRun* dragged;
    static ProgramRun* whole;
};

ProgramRun* AppEndToEnd::reference = nullptr;
ProgramRun* AppEndToEnd::dragged = nullptr;
ProgramRun* AppEndToEnd::whole = nullptr;

TEST_F(AppEndToEnd, StartsWithEveryRecordTheGoldenFrameAndNoBox) {
    int records = 0;
    for (const auto& [name, bytes] : app_test::firstStartRecords()) {
        EXPECT_EQ(whole->recordsAtStart[name], bytes) << name;
        ++records;
    }
    EXPECT_EQ(records, 7);
    EXPECT_TRUE(whole->boxesAtStart.empty());
    ASSERT_NE(whole->frame, nullptr);
    EXPECT_EQ(whole->frame->width(), 1000);
    EXPECT_EQ(whole->frame->height(), 665);
    // VELKARN_UPDATE_GOLDENS=1 rewrites the golden; look at it before committing.
    image_test::goldenRewritten(*whole->frame, testing_support::sourceDirectory() + "/tests/app/golden/AppEndToEnd.png");
}

TEST_F(AppEndToEnd, BothSongsPlayAtTheModelsLevelWithTheirMarkersOnTheGrid) {
    const ProgramRun& run = *whole;
    const e2e::OutputWatch& out = *run.watch;
    std::istringstream model(testing_support::runPython("app/mix_model.py", {"0.5,0.75,0.9,1,1,0.15,0.15"}));
    double level0 = 0.0, level1 = 0.0, peak = 0.0;
    ASSERT_TRUE(model >> level0 >> level1 >> peak);
    EXPECT_NEAR(level0, 0.75 * 0.15, 1e-9);

    // The capture holds the blocks in order; block 0 began at starts[0].
    const std::int64_t origin = out.starts[0];
    for (std::size_t k = 1; k < run.dragBlock; ++k) ASSERT_EQ(out.starts[k], origin + static_cast<std::int64_t>(k) * period);
    const std::int64_t end = origin + static_cast<std::int64_t>(run.dragBlock) * period;
    const std::int32_t a0 = run.firstBeat, b0 = run.firstBeat + 8;
    const std::int32_t aEnd = a0 + static_cast<std::int32_t>(run.a.beats.size());
    int sections[3] = {0, 0, 0};  // A alone, both, B alone
    for (std::int32_t beat = a0 + 1; run.grid.count(beat + 1) && run.grid.at(beat + 1) <= end; ++beat) {
        // The second half of the beat, clear of the markers and of the
        // crossfade into the next beat (half of 10 ms before it).
        const std::int64_t from = run.grid.at(beat) + 11025;
        const auto [heard0, heard1] = toneLevels(out.left, static_cast<std::size_t>(from - origin), 11025 - 882, from,
                                                 110.0, 165.0);
        const bool aPlays = beat < aEnd - 1, bPlays = beat > b0;
        const bool aSilent = beat > aEnd, bSilent = beat < b0;
        if (aPlays) {
            EXPECT_NEAR(heard0, level0, 2e-3 * level0) << "beat " << beat;
        } else if (aSilent) {
            EXPECT_LT(heard0, 1e-4) << "beat " << beat;
        }
        if (bPlays) {
            EXPECT_NEAR(heard1, level1, 2e-3 * level1) << "beat " << beat;
        } else if (bSilent) {
            EXPECT_LT(heard1, 1e-4) << "beat " << beat;
        }
        if (aPlays && bSilent) ++sections[0];
        if (aPlays && bPlays) ++sections[1];
        if (aSilent && bPlays) ++sections[2];
    }
    for (int count : sections) EXPECT_GE(count, 2);

    // Every marker a quarter beat after its grid beat, within 1 ms.
    int markers = 0;
    for (const auto* song : {&run.a, &run.b}) {
        const std::int32_t first = song == &run.a ? a0 : b0;
        for (std::size_t j = 0; j < song->markerCentres.size(); ++j) {
            const std::int32_t beat = first + static_cast<std::int32_t>(j);
            if (!run.grid.count(beat)) break;
            const double expected = static_cast<double>(run.grid.at(beat)) + song->markerCentres[j] - song->beats[j];
            if (expected + 2000 > static_cast<double>(end)) break;
            const double found = markerCentre(out.left, expected - static_cast<double>(origin)) + static_cast<double>(origin);
            EXPECT_NEAR(found, expected, 44.1) << "beat " << beat;
            ++markers;
        }
    }
    EXPECT_GE(markers, 24);
}

TEST_F(AppEndToEnd, TheDraggedKnobSetsTheVolumeWhichGlidesAcrossOneBlock) {
    const ProgramRun& run = *dragged;
    EXPECT_EQ(run.knobMoved, 40);
    const float travel = static_cast<float>(194);  // track 206 less the 12-px knob
    EXPECT_NEAR(run.sliderValue, 0.45f - 40.0f / travel, 1.0f / travel);
    EXPECT_FLOAT_EQ(run.volume, 2.0f * run.sliderValue);

    const e2e::OutputWatch& with = *run.watch;
    const e2e::OutputWatch& without = *reference->watch;
    ASSERT_EQ(run.dragBlock, reference->dragBlock);
    ASSERT_GT(with.blocks.load(), run.dragBlock + 10);
    const double to = run.volume / 0.9;
    double worst = 0.0;
    int compared = 0;
    for (std::size_t i = 0; i < (run.dragBlock + 10) * period; ++i) {
        const std::size_t block = i / period;
        double ratio = 1.0;
        if (block == run.dragBlock) ratio = 1.0 + (to - 1.0) * static_cast<double>(i % period) / period;
        if (block > run.dragBlock) ratio = to;
        const double ref = without.left[i];
        if (std::abs(ref) < 1e-3) {
            EXPECT_LT(std::abs(with.left[i] - ratio * ref), 1e-7) << i;
            continue;
        }
        worst = std::max(worst, std::abs(with.left[i] / ref - ratio));
        ++compared;
    }
    EXPECT_LT(worst, 1e-5);
    EXPECT_GT(compared, 100000);
}

TEST_F(AppEndToEnd, PlayStopsAtTheNextBlockAndGoesOnWhereItStopped) {
    const ProgramRun& run = *whole;
    const e2e::OutputWatch& paused = *run.watch;
    const e2e::OutputWatch& straight = *dragged->watch;
    ASSERT_EQ(run.resumeBlock - run.pauseBlock, 20u);
    EXPECT_EQ(run.clockAfterPause, run.clockAtPause);
    const std::size_t shift = (run.resumeBlock - run.pauseBlock) * period;
    for (std::size_t k = run.pauseBlock; k < run.resumeBlock; ++k) EXPECT_EQ(paused.starts[k], run.clockAtPause);
    // Before: the same as the run without the pause; during: exact zeros;
    // after: that run again, later by the paused blocks.
    for (std::size_t i = 0; i < run.pauseBlock * period; ++i) {
        ASSERT_EQ(paused.left[i], straight.left[i]) << i;
    }
    std::size_t nonZero = 0;
    for (std::size_t i = run.pauseBlock * period; i < run.resumeBlock * period; ++i) {
        nonZero += paused.left[i] != 0.0f || paused.right[i] != 0.0f;
    }
    EXPECT_EQ(nonZero, 0u);
    const std::size_t end = std::min(paused.blocks * period, straight.blocks * period + shift);
    ASSERT_GT(end, run.resumeBlock * period + 20 * period);
    double worst = 0.0;
    for (std::size_t i = run.resumeBlock * period; i < end; ++i) {
        worst = std::max(worst, static_cast<double>(std::abs(paused.left[i] - straight.left[i - shift])));
        worst = std::max(worst, static_cast<double>(std::abs(paused.right[i] - straight.right[i - shift])));
    }
    EXPECT_LT(worst, 1e-6);
}

TEST_F(AppEndToEnd, TheCloseQuestionDecidesAndTheExitWritesOnlyTheRoots) {
    const ProgramRun& run = *whole;
    const std::string question = "Closing Velkarn|Do you want to quit Velkarn?";
    EXPECT_EQ(run.boxes, (std::vector<std::string>{question, question}));
    EXPECT_TRUE(run.playingAfterNo);
    EXPECT_EQ(run.clockAfterNo, run.clockBeforeNo + period);
    EXPECT_EQ(run.exitCode, 0);
    // StartUp7 back with its empty roots; nothing else written.
    EXPECT_EQ(run.recordsBeforeClose.count("StartUp7"), 0u);
    EXPECT_EQ(run.recordsAtEnd, run.recordsAtStart);
    for (const ProgramRun* other : {reference, dragged}) EXPECT_EQ(other->exitCode, 0);
}

TEST_F(AppEndToEnd, TheOutputThreadNeitherAllocatesNorRunsDry) {
    for (const ProgramRun* run : {reference, dragged, whole}) {
        EXPECT_EQ(run->deckUnderruns, 0);
        EXPECT_EQ(run->streamUnderruns, 0);
#if VELKARN_COUNT_OUTPUT_CALLS
        EXPECT_EQ(run->allocations, 0);
#endif
    }
#if VELKARN_COUNT_OUTPUT_CALLS
    // The counter sees an allocation made under the flag.
    const std::int64_t before = outputAllocations.load();
    setOnOutputThread(true);
    auto probe = std::make_unique<std::vector<int>>(100);
    setOnOutputThread(false);
    EXPECT_GE(outputAllocations.load() - before, 2) << probe->size();
#endif
}

}  // namespace
