// The deck strips end to end in this process: the stand-alone main with its
// message loop, the built-in skin, offscreen windows, the virtual clock,
// the stepped null outputs (the main one on a DirectSound name, the second
// on a waveOut name, so that both play), scripted boxes, and input only
// through the toolkit's event path at the columns the strips' arithmetic
// gives.
//
// Two tone songs are loaded as the browser loads them and edited with the
// tools' initial options while the play position is still before beat 8:
// A dropped on deck 0 and moved two beats right, B dropped on deck 1, faded
// in over A, one beat reversed and one paused, then listened to from beat
// 44. Both outputs are captured while the mix plays on past beat 64, and
// the zoom and one row scroll follow.
#include "AppTestSupport.h"
#include "EndToEndProgram.h"
#include "OutputThreadCalls.h"
#include "TestEnvironment.h"
#include "ToneSongs.h"

#include "app/GUICursor.h"
#include "app/GUIStrip.h"
#include "app/Velkarn.h"
#include "app/VelkarnStandAlone.h"
#include "app/skin/SkinTable.h"
#include "audio/Beats.h"
#include "audio/Motor.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TrackAudio.h"
#include "framework/CriticalSections.h"
#include "framework/Image.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/NativeWindow.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

namespace {

namespace input = platform::test_input;
using app_test::toneLevels;
using platform::audio::NullAudio;

constexpr std::int32_t period = 2205;   // the default latency's block
constexpr std::size_t capacity = 1400;  // blocks a run may capture

enum Tool { dropTool, tempoTool, repeatTool, deleteTool, skipTool, pauseTool, reverseTool, moveTool, fadeTool, listenTool };

// What the run saw.
struct DeckRun {
    int exitCode = -1;
    ToneSong a, b;
    std::vector<std::string> boxesAfterEdits, boxes;
    std::int32_t aFirst = 0, aEnd = 0, bFirst = 0;
    bool moveHand = false;
    std::map<std::int32_t, std::int64_t> grid;  // beat positions after the edits
    std::map<std::int32_t, std::int32_t> lengths;
    bool hoverShown[2] = {false, false};        // over deck 0's and deck 1's strip
    Color hoverColour{}, playedHoverColour{};
    bool hoverAfterLeave = true;
    int secondPointersShown = 0;                // strips showing one after the listen click
    std::int64_t listenStart = 0;
    std::map<std::int32_t, std::string> titles;  // by play beat
    std::unique_ptr<Image> afterEdits, afterScroll;
    int zoomAfterButton = 0, zoomAfterWheel = 0;
    std::int32_t rowStartsBeforeScroll[3] = {}, rowStartsAfterScroll[3] = {};
    std::vector<std::uint8_t> row1BeforeScroll, row0AfterScroll;
    std::unique_ptr<e2e::OutputWatch> main, second;
    std::int64_t deckUnderruns = -1, streamUnderruns = -1, allocations = -1;
};

// A copy of an image's pixels.
std::vector<std::uint8_t> pixelsOf(const Image& image) {
    return std::vector<std::uint8_t>(image.pixels(), image.pixels() + image.rowStep() * image.height());
}

// The song's meta-data written again with its title and artist, and drawn
// from an overview picture (four columns a beat, each beat its own colour)
// when asked.
void retag(const ToneSong& song, const char* title, const char* artist, bool overview) {
    const std::string base = song.path.substr(0, song.path.size() - 4);
    Beats beats(44100);
    for (std::int32_t position : song.beats) beats.appendBeat(position, false);
    BTSettings settings;
    settings.strip3 = overview ? 1 : 0;
    settings.strip[1] = 4;
    SongTags tags;
    std::strncpy(tags.title, title, sizeof tags.title - 1);
    std::strncpy(tags.artist, artist, sizeof tags.artist - 1);
    const std::int32_t frames = song.beats.back() + 44100;
    std::vector<float> levels(static_cast<std::size_t>(frames / 100 + 1), 0.2f);
    PointsRecord points;
    points.samplesPerLevel = 100;
    points.levelCount = static_cast<std::int32_t>(levels.size());
    points.levels = levels.data();
    BeatsWriteSources sources;
    sources.settings = &settings;
    sources.tags = &tags;
    if (!overview) sources.points = &points;
    beats.writeMetaData(base + ".qrt", sources);
    if (overview) {
        const int count = static_cast<int>(song.beats.size()) - 1;
        Image picture(4 * count, 60, 0, 0, 0, 255);
        for (int k = 0; k < count; ++k) {
            const auto shade = static_cast<std::uint8_t>(60 + (k % 8) * 20);
            picture.fillRect(shade, static_cast<std::uint8_t>(200 - (k % 4) * 30), 80, 255, 4 * k, 10, 4 * k + 3, 49);
        }
        picture.writePng(base + ".png");
    }
}

class Script {
public:
    Script(DeckRun& run, const std::string& directory) : run_(run), directory_(directory) {}

    void operator()(Velkarn& app) {
        app_ = &app;
        window_ = app.mainWindow()->handle();
        platform::dispatchPostedMessages();
        for (const platform::audio::NullStreamRecord& record : NullAudio::streams()) {
            (record.kind == platform::audio::StreamKind::DirectSound ? mainStream_ : secondStream_) = record.openOrder;
        }
        ASSERT_NE(mainStream_, 0);
        ASSERT_NE(secondStream_, 0);
        run_.main = std::make_unique<e2e::OutputWatch>(app, capacity, period);
        run_.second = std::make_unique<e2e::OutputWatch>(app, capacity, period);
        app.output(0)->setClient(run_.main.get());
        app.output(1)->setClient(run_.second.get());
        const std::int64_t allocationsBefore = outputAllocations.load();
        const std::int64_t underrunsBefore = app.playback(0)->underrunFrames() + app.playback(1)->underrunFrames();

        edit();
        run_.boxesAfterEdits = app_test::boxes();
        for (std::int32_t beat = 0; beat < 130; ++beat) {
            run_.grid[beat] = app.beatAt(beat).position;
            run_.lengths[beat] = app.beatAt(beat).length;
        }
        hover();
        run_.afterEdits = frameOf(*app.mainWindow());
        screen("edited");

        // Play past beat 64, noting the title under each play beat.
        while (app.currentSampleTime() < run_.grid.at(66) && run_.main->blocks < capacity) {
            step();
            run_.titles[app.currentBeatIndex()] = app.mainWindow()->fileName();
        }
        hoverPlayed();

        zoomAndScroll();
        run_.deckUnderruns = app.playback(0)->underrunFrames() + app.playback(1)->underrunFrames() - underrunsBefore;
        run_.allocations = outputAllocations.load() - allocationsBefore;
        platform::uiScript::pushYes();
        EXPECT_TRUE(input::close(window_));
    }

private:
    // The window as the next present shows it (one a refresh interval).
    std::unique_ptr<Image> frameOf(Window& window) {
        step();
        const std::vector<std::uint8_t> frame =
            window.nativeWindow()->readBack(platform::Rect{0, 0, window.width(), window.height()});
        return std::unique_ptr<Image>(image_test::imageFromBytes(window.width(), window.height(), frame));
    }

    // On an X server (VELKARN_DECK_SCREENS names a directory): once the
    // frame has reached the server, the root window's pixels and the main
    // window's geometry as <name>.rgb and <name>.geometry there.
    static void screen(const std::string& name) {
        const char* directory = std::getenv("VELKARN_DECK_SCREENS");
        if (directory == nullptr || *directory == '\0') return;
        for (int i = 0; i < 10; ++i) {
            platform::dispatchPostedMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        const std::string base = std::string(directory) + "/" + name;
        EXPECT_EQ(testing_support::runProgram({"xdotool", "search", "--name", "^Velkarn", "getwindowgeometry", "--shell"},
                                              base + ".geometry"),
                  0);
        EXPECT_EQ(testing_support::runProgram({"import", "-window", "root", "-depth", "8", "rgb:" + base + ".rgb"},
                                              base + ".log"),
                  0);
    }

    // A click on the tool's tab in the vertical group's band.
    void choose(Tool tool) {
        const int i = static_cast<int>(tool);
        const int middle = (skinTabStart(i, 10, 430) + skinTabStart(i + 1, 10, 430)) / 2;
        EXPECT_TRUE(input::click(window_, {860, 10 + middle}));
    }

    void edit() {
        run_.a = writeToneSong(directory_, "a", {124.0, 40.0, 110.0, 0.15, 1000.0, 0.3});
        run_.b = writeToneSong(directory_, "b", {116.0, 60.0, 165.0, 0.15, 2500.0, 0.3});
        retag(run_.a, "Alpha", "First Artist", true);
        retag(run_.b, "Beta", "Second Artist", false);

        EXPECT_EQ(app_->loadSongFile(run_.a.path), 1);
        choose(dropTool);
        EXPECT_TRUE(input::click(window_, e2e::pointOnStrip(*app_, 0, 8)));
        choose(moveTool);
        EXPECT_TRUE(input::press(window_, e2e::pointOnStrip(*app_, 0, 9)));
        run_.moveHand = input::cursorShape(window_) == platform::CursorShape::Hand;
        EXPECT_TRUE(input::move(window_, e2e::pointOnStrip(*app_, 0, 11)));
        EXPECT_TRUE(input::release(window_, e2e::pointOnStrip(*app_, 0, 11)));

        EXPECT_EQ(app_->loadSongFile(run_.b.path), 1);
        choose(dropTool);
        EXPECT_TRUE(input::click(window_, e2e::pointOnStrip(*app_, 1, 40)));
        choose(fadeTool);
        EXPECT_TRUE(input::click(window_, e2e::pointOnStrip(*app_, 1, 48)));
        choose(reverseTool);
        EXPECT_TRUE(input::click(window_, e2e::pointOnStrip(*app_, 1, 56)));
        choose(pauseTool);
        EXPECT_TRUE(input::click(window_, e2e::pointOnStrip(*app_, 1, 60)));

        run_.listenStart = app_->currentSampleTime();
        choose(listenTool);
        EXPECT_TRUE(input::click(window_, e2e::pointOnStrip(*app_, 0, 44)));
        step();
        for (int d = 0; d < 2; ++d) {
            for (int r = 0; r < Velkarn::stripRows; ++r) run_.secondPointersShown += app_->strip(d, r)->secondPointerVisible();
        }
        enterCriticalSection(2);
        if (app_->songs(0)->count() == 1) {
            run_.aFirst = app_->songs(0)->song(0).firstBeat();
            run_.aEnd = app_->songs(0)->song(0).endBeat();
        }
        if (app_->songs(1)->count() == 1) run_.bFirst = app_->songs(1)->song(0).firstBeat();
        leaveCriticalSection(2);
    }

    // A beat ahead marked on both decks' strips of row 0, then the mouse
    // leaves the window.
    void hover() {
        for (int d = 0; d < 2; ++d) {
            EXPECT_TRUE(input::move(window_, e2e::pointOnStrip(*app_, d, 30)));
            run_.hoverShown[d] = app_->cursor(0)->markVisible();
            if (d == 0) run_.hoverColour = app_->cursor(0)->colour();
        }
        EXPECT_TRUE(input::leave(window_));
        run_.hoverAfterLeave = app_->cursor(0)->markVisible();
    }

    void hoverPlayed() {
        EXPECT_TRUE(input::move(window_, e2e::pointOnStrip(*app_, 0, 30)));
        step();
        run_.playedHoverColour = app_->cursor(0)->colour();
        EXPECT_TRUE(input::leave(window_));
    }

    // Zoom in with the button, then with the wheel; play on until row 0
    // scrolls once.
    void zoomAndScroll() {
        EXPECT_TRUE(input::click(window_, {831 + 14, 450 + 14}));
        run_.zoomAfterButton = app_->zoomFactor();
        EXPECT_TRUE(input::wheel(window_, {400, 100}, -120));
        run_.zoomAfterWheel = app_->zoomFactor();
        step();
        for (int r = 0; r < 3; ++r) run_.rowStartsBeforeScroll[r] = app_->strip(1, r)->startBeat();
        run_.row1BeforeScroll = pixelsOf(app_->strip(1, 1)->image());
        const std::int32_t first = app_->strip(1, 0)->startBeat();
        while (app_->strip(1, 0)->startBeat() == first && run_.main->blocks < capacity) step();
        for (int r = 0; r < 3; ++r) run_.rowStartsAfterScroll[r] = app_->strip(1, r)->startBeat();
        run_.row0AfterScroll = pixelsOf(app_->strip(1, 0)->image());
        run_.afterScroll = frameOf(*app_->mainWindow());
        screen("scrolled");
    }

    // One period of both outputs, once both decks are a second ahead; then
    // the window's own work (its refresh timer) on this thread.
    void step() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (app_->playback(0)->framesAhead() < 44100 || app_->playback(1)->framesAhead() < 44100) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the render threads fell behind at " << app_->currentSampleTime();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        // The second output's deadlines come with the same period: the
        // virtual clock's move makes it pull too.
        if (!NullAudio::advanceToDeadline(mainStream_, 1)) ADD_FAILURE() << "no deadline";
        platform::dispatchPostedMessages();
    }

    DeckRun& run_;
    std::string directory_;
    Velkarn* app_ = nullptr;
    platform::WindowHandle window_ = 0;
    int mainStream_ = 0, secondStream_ = 0;
};

std::function<void(Velkarn&)> script;
void runScript(Velkarn& app) { script(app); }

DeckRun runProgram() {
    DeckRun run;
    testing_support::TemporaryDirectory home;
    testing_support::TemporaryDirectory songs;
    testing_support::ScopedEnvironment homeVariable("VELKARN_HOME", home.path());
    app_test::storeOutputsOnTwoNullDevices();

    platform::uiScript::enable();
    platform::VirtualClock::enable();
    NullAudio::setMemoryCapture(true);
    Script steps(run, songs.path());
    script = std::ref(steps);
    VelkarnStandAlone::setStartedHook(runScript);
    run.exitCode = VelkarnStandAlone::standAloneMain(nullptr, nullptr, "", 1);
    VelkarnStandAlone::setStartedHook(nullptr);
    script = nullptr;
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

class DeckEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { run = new DeckRun(runProgram()); }
    static void TearDownTestSuite() { delete run; }

    // Index into the main capture of a mix time.
    static std::size_t at(std::int64_t time) { return static_cast<std::size_t>(time - run->main->starts[0]); }
    static std::int64_t captureEnd() {
        return run->main->starts[0] + static_cast<std::int64_t>(run->main->blocks.load()) * period;
    }
    // A's and B's tone levels at points u (0..1) of a beat, each fitted
    // over 40 ms around the point. Without key lock a song fitted to the
    // grid's beat plays faster or slower, its tone higher or lower.
    static std::pair<double, double> levelsAt(std::int32_t beat, double u) {
        const double length = run->lengths.at(beat);
        const std::int64_t from = run->grid.at(beat) + static_cast<std::int64_t>(u * length) - 882;
        return toneLevels(run->main->left, at(from), 1764, from, 110.0 * run->a.beatFrames / length,
                          165.0 * run->b.beatFrames / length);
    }
    // Their mean over 0.35 to 0.95 of the beat, clear of the marker a
    // quarter beat in and of the next beat's overlap.
    static std::pair<double, double> levelsIn(std::int32_t beat) {
        double a = 0.0, b = 0.0;
        for (double u : fadePoints) {
            const auto [x, y] = levelsAt(beat, u);
            a += x / std::size(fadePoints);
            b += y / std::size(fadePoints);
        }
        return {a, b};
    }
    static constexpr double fadePoints[] = {0.4, 0.5, 0.6, 0.7, 0.8, 0.9};

    static DeckRun* run;
};

DeckRun* DeckEndToEnd::run = nullptr;

std::string rgb(const Color& c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

TEST_F(DeckEndToEnd, TheEditsThroughTheStripsLeaveTheArrangement) {
    EXPECT_EQ(run->exitCode, 0);
    EXPECT_TRUE(run->boxesAfterEdits.empty()) << run->boxesAfterEdits.front();
    EXPECT_TRUE(run->moveHand);
    EXPECT_EQ(run->aFirst, 10);  // dropped at 8, dragged two beats right
    EXPECT_EQ(run->aEnd, 52);    // trimmed after the fade's last beat
    EXPECT_EQ(run->bFirst, 48);  // trimmed before the fade's first beat
    EXPECT_EQ(run->secondPointersShown, 6);
}

TEST_F(DeckEndToEnd, HoverMarksShowOnBothDecksAndTurnWhiteOncePlayed) {
    EXPECT_TRUE(run->hoverShown[0]);
    EXPECT_TRUE(run->hoverShown[1]);
    EXPECT_EQ(rgb(run->hoverColour), rgb(GUICursor::markBlue));
    EXPECT_FALSE(run->hoverAfterLeave);
    EXPECT_EQ(rgb(run->playedHoverColour), rgb(GUICursor::markWhite));
}

TEST_F(DeckEndToEnd, TheMainOutputPlaysTheArrangement) {
    const std::vector<float>& out = run->main->left;
    ASSERT_GT(captureEnd(), run->grid.at(65));
    // Silence before A's first beat (less the overlap of 10 ms).
    float loudest = 0.0f;
    for (std::size_t i = 0; i < at(run->grid.at(10) - 441); ++i) loudest = std::max(loudest, std::abs(out[i]));
    EXPECT_LT(loudest, 1e-4f);

    // A's markers a quarter beat after their grid beats within 1 ms, up to
    // the fade.
    int markers = 0;
    for (std::int32_t beat = 10; beat < 48; ++beat) {
        const double expected = static_cast<double>(run->grid.at(beat)) + 0.25 * run->lengths.at(beat);
        const double found = markerCentre(out, expected - static_cast<double>(run->main->starts[0])) +
                             static_cast<double>(run->main->starts[0]);
        EXPECT_NEAR(found, expected, 44.1) << "beat " << beat;
        ++markers;
    }
    EXPECT_EQ(markers, 38);

    // The grid glides from A's tempo to B's.
    EXPECT_NEAR(run->lengths.at(20), 44100.0 * 60.0 / 124.0, 2.0);
    EXPECT_NEAR(run->lengths.at(58), 44100.0 * 60.0 / 116.0, 2.0);

    // Over the fade, deck 1 rises and deck 0 falls along the crossfade
    // curve of each deck's gain, which goes linearly across the four beats;
    // the curve and the full level come from the independent mix model.
    std::vector<std::string> cases{"0.5,0.75,0.9,1,1,0.15,0.15"};
    for (std::int32_t k = 0; k < 4; ++k) {
        for (double u : fadePoints) cases.push_back(std::to_string((k + u) / 4.0) + ",0.75,1,1,1,1,1");
    }
    std::istringstream model(testing_support::runPython("app/mix_model.py", cases));
    double full = 0.0, ignored = 0.0;
    ASSERT_TRUE(model >> full >> ignored >> ignored);
    EXPECT_NEAR(levelsIn(40).first, full, 0.01 * full);
    EXPECT_NEAR(levelsIn(58).second, full, 0.01 * full);
    for (std::int32_t k = 0; k < 4; ++k) {
        // x = (k + u) / 4 is deck 0's side of its gain 1 - x; deck 1's gain
        // x sits on the curve at 1 - x, the model's second level.
        double expected[2] = {0.0, 0.0};
        for (std::size_t p = 0; p < std::size(fadePoints); ++p) {
            double curve0 = 0.0, curve1 = 0.0;
            ASSERT_TRUE(model >> curve0 >> curve1 >> ignored);
            expected[0] += full * curve0 / std::size(fadePoints);
            expected[1] += full * curve1 / std::size(fadePoints);
        }
        const auto [a, b] = levelsIn(48 + k);
        EXPECT_NEAR(20.0 * std::log10(a / expected[0]), 0.0, 0.5) << "deck 0, beat " << 48 + k;
        EXPECT_NEAR(20.0 * std::log10(b / expected[1]), 0.0, 0.5) << "deck 1, beat " << 48 + k;
    }
    for (std::int32_t beat = 53; beat < 64; ++beat) EXPECT_LT(levelsIn(beat).first, 1e-4) << "beat " << beat;
    EXPECT_LT(levelsIn(47).second, 1e-4);  // B trimmed before the fade
    EXPECT_GT(levelsIn(54).second, 0.1);

    // The reversed beat's marker at three quarters of the beat.
    const double reversed = static_cast<double>(run->grid.at(56)) + 0.75 * run->lengths.at(56);
    EXPECT_NEAR(markerCentre(out, reversed - static_cast<double>(run->main->starts[0])) +
                    static_cast<double>(run->main->starts[0]),
                reversed, 44.1);
    // The paused beat is silent once the tail of the beat before has died
    // away (80 ms), up to the next beat's overlap.
    float pausedPeak = 0.0f;
    for (std::int64_t t = run->grid.at(60) + 3528; t < run->grid.at(61) - 441; ++t) {
        pausedPeak = std::max(pausedPeak, std::abs(out[at(t)]));
    }
    EXPECT_LT(pausedPeak, 1e-4f);
}

TEST_F(DeckEndToEnd, TheSecondOutputPlaysBothDecksFromTheListenedBeat) {
    const e2e::OutputWatch& second = *run->second;
    ASSERT_GT(second.blocks.load(), 40u);
    // The main output went on meanwhile: its blocks follow each other.
    for (std::size_t k = 1; k < run->main->blocks.load(); ++k) {
        ASSERT_EQ(run->main->starts[k], run->main->starts[k - 1] + period) << k;
    }
    // From the listen click on it plays the grid from beat 44, each deck at
    // 0.45 and neither through the crossfader: A alone in beat 46, B alone
    // in beat 54 (after the fade).
    struct Case {
        std::int32_t beat;
        double a, b;
    };
    for (const Case& c : {Case{46, 0.45 * 0.15, 0.0}, Case{54, 0.0, 0.45 * 0.15}}) {
        const std::int64_t middle = run->listenStart + run->grid.at(c.beat) + run->lengths.at(c.beat) / 2 - run->grid.at(44);
        std::size_t k = 0;
        while (k + 1 < second.blocks.load() && second.starts[k + 1] <= middle) ++k;
        ASSERT_LT(k + 3, second.blocks.load()) << c.beat;
        const std::int64_t from = middle - 5512;
        const std::size_t index = k * period + static_cast<std::size_t>(from - second.starts[k]);
        const auto [a, b] = toneLevels(second.left, index, 11025, from, 110.0, 165.0);
        EXPECT_NEAR(a, c.a, 0.01 * 0.45 * 0.15) << "beat " << c.beat;
        EXPECT_NEAR(b, c.b, 0.01 * 0.45 * 0.15) << "beat " << c.beat;
    }
}

TEST_F(DeckEndToEnd, TheTitleNamesBothSongsDuringTheFadeAndBAfterIt) {
    EXPECT_EQ(run->titles.at(49), "[Alpha | First Artist] :: [Beta | Second Artist]");
    EXPECT_EQ(run->titles.at(55), "[Beta | Second Artist]");
    EXPECT_EQ(run->titles.at(20), "[Alpha | First Artist]");
}

TEST_F(DeckEndToEnd, TheZoomAndOneRowScroll) {
    EXPECT_EQ(run->zoomAfterButton, 2);
    EXPECT_EQ(run->zoomAfterWheel, 1);
    EXPECT_EQ(run->rowStartsAfterScroll[0], run->rowStartsBeforeScroll[1]);
    EXPECT_EQ(run->rowStartsAfterScroll[1], run->rowStartsBeforeScroll[2]);
    EXPECT_TRUE(run->row0AfterScroll == run->row1BeforeScroll);
}

TEST_F(DeckEndToEnd, TheFramesEqualTheGoldens) {
    ASSERT_NE(run->afterEdits, nullptr);
    ASSERT_NE(run->afterScroll, nullptr);
    // VELKARN_UPDATE_GOLDENS=1 rewrites the goldens; look at them before committing.
    image_test::goldenRewritten(*run->afterEdits, testing_support::sourceDirectory() + "/tests/app/golden/DeckEndToEndEdited.png");
    image_test::goldenRewritten(*run->afterScroll,
                                testing_support::sourceDirectory() + "/tests/app/golden/DeckEndToEndScrolled.png");
}

TEST_F(DeckEndToEnd, TheOutputThreadsNeitherAllocateNorRunDry) {
    EXPECT_EQ(run->deckUnderruns, 0);
    EXPECT_EQ(run->streamUnderruns, 0);
#if VELKARN_COUNT_OUTPUT_CALLS
    EXPECT_EQ(run->allocations, 0);
#endif
}

}  // namespace
