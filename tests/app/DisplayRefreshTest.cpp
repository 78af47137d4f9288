// The display refresh, the strip rows' scroll and re-layout, the zoom and
// the main buttons, on the application with the clock moved by rendering
// output 0 by hand.
#include "AppTestSupport.h"
#include "app/DeckLock.h"
#include "app/GUICursor.h"
#include "app/GUIStrip.h"
#include "app/MixerParameters.h"
#include "app/PanelDecks.h"
#include "app/PanelListen.h"
#include "app/PanelRecorder.h"
#include "app/Recorder.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TrackAudio.h"
#include "audio/TrackInfo.h"
#include "app/PanelPlayer.h"
#include "app/Player.h"
#include "framework/GUIButton.h"
#include "framework/GUIIndicator.h"
#include "framework/GUIMeter.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/GUISlider.h"
#include "framework/GUISliderVertical.h"
#include "framework/GUITextHorizontal.h"
#include "framework/GUIPanel.h"
#include "framework/Image.h"
#include "framework/Window.h"
#include "platform/Process.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"
#include "tools/Browser.h"
#include "Eventually.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <sstream>

namespace {

using app_test::AppTest;
using app_test::boxes;

constexpr std::int64_t beatFrames = 22050;  // the standard grid

class DisplayRefreshTest : public AppTest {
protected:
    // Renders output 0 by hand until the mix clock reaches the time.
    void playTo(std::int64_t time) {
        std::vector<float> left(44100), right(44100);
        float* channels[2] = {left.data(), right.data()};
        for (std::int64_t now = app().currentSampleTime(); now < time; now = app().currentSampleTime()) {
            app().render(app().output(0), channels, static_cast<std::int32_t>(std::min<std::int64_t>(time - now, 44100)));
        }
    }
    Velkarn& app() { return *application; }
    void tick() { app().windowTimer(app().mainWindow()); }

    // A song of `beats` equal spans from the deck beat, no pictures.
    void placeSong(int deck, int firstBeat, int beats, std::int32_t span, const char* title, const char* artist) {
        std::vector<SongSpan> spans;
        for (int i = 0; i < beats; ++i) spans.push_back(SongSpan{i * span, span});
        DeckLock hold;
        ASSERT_TRUE(app().songs(deck)->add(
            std::make_unique<Song>(spans, firstBeat, false, 0, SongTexts{title, artist, ""})));
    }
    // A copy of a strip's picture.
    static std::vector<std::uint8_t> picture(const GUIStrip& strip) {
        const Image& image = strip.image();
        return std::vector<std::uint8_t>(image.pixels(), image.pixels() + image.rowStep() * image.height());
    }
    // The picture a strip of deck d would show from the beat, drawn afresh.
    std::vector<std::uint8_t> freshPicture(int deck, std::int32_t startBeat) {
        const GUIStrip& model = *app().strip(deck, 0);
        GUIStrip strip(10, 10, 800, 60, model.samplesPerPixel(), "", deck, nullptr);
        strip.setStartBeat(startBeat, *app().trackInfo());
        strip.shadeAfterLastBeat(*app().trackInfo());
        strip.renderSong(*app().songs(deck), *app().trackInfo(), startBeat);
        return picture(strip);
    }
    // Weights that rise across the rows, so every beat's tempo band sits
    // at its own height and rows differ from each other.
    void rampWeights() {
        {
            DeckLock hold;
            app().trackInfo()->setTempoFade(0, 0.0f, 1.0f, 300);
        }
        app().refreshStripsFrom(0);
    }
    static int columnOf(std::int64_t offset, float samplesPerPixel) {
        return static_cast<int>(static_cast<float>(offset) / samplesPerPixel);
    }
};

TEST_F(DisplayRefreshTest, TheTitleNamesTheSongsUnderThePlayPosition) {
    start();
    placeSong(0, 0, 20, 22050, "Zero", "Artist 0");
    placeSong(1, 10, 20, 22050, "One", "Artist 1");
    struct Case {
        std::int32_t beat;
        const char* title;
    };
    const Case cases[] = {
        {5, "[Zero | Artist 0]"},
        {15, "[Zero | Artist 0] :: [One | Artist 1]"},
        {25, "[One | Artist 1]"},  // deck 1 alone: no separator
        {35, ""},
    };
    for (const Case& c : cases) {
        playTo(c.beat * beatFrames + 10);
        tick();
        EXPECT_EQ(app().mainWindow()->fileName(), c.title) << "beat " << c.beat;
    }
}

// The panels' read-outs follow the refresh: the decks panel's sliders take
// the mixer's positions, its tempo numbers the songs and grid under the play
// beat, its texts the songs' titles; the recorder panel the recording's
// time and state; an open browser the mix tempo.
TEST_F(DisplayRefreshTest, ThePanelsReadOutsFollowThePlayBeat) {
    start();
    placeSong(0, 0, 20, 20000, "Zero", "Artist 0");
    placeSong(1, 10, 20, 24000, "One", "Artist 1");
    app().rebuildBeatInfo(0, 0);
    ASSERT_TRUE(app().openBrowser() != nullptr);
    struct Case {
        std::int32_t beat;
        const char* song0;
        const char* song1;
        float crossfader;
    };
    const Case cases[] = {
        {5, "Zero", "", 0.25f},
        {15, "Zero", "One", 0.75f},
        {25, "", "One", 0.5f},
    };
    PanelDecks* decks = app().panelDecks();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.beat);
        app().mixerParameters()->setPosition(MixerParameters::crossfader, c.crossfader);
        playTo(app().beatAt(c.beat).position + 10);
        tick();
        ASSERT_EQ(app().currentBeatIndex(), c.beat);
        EXPECT_EQ(decks->slider(PanelDecks::crossfader)->value(), c.crossfader);
        EXPECT_EQ(decks->songText(0)->text(), c.song0);
        EXPECT_EQ(decks->songText(1)->text(), c.song1);
        // A deck's tempo is its song's where one plays.
        if (*c.song0) {
            EXPECT_FLOAT_EQ(decks->tempoNumber(0)->value(), 44100.0f / 20000.0f * 60.0f);
        }
        if (*c.song1) {
            EXPECT_FLOAT_EQ(decks->tempoNumber(1)->value(), 44100.0f / 24000.0f * 60.0f);
        }
        const float mix = 44100.0f / static_cast<float>(app().beatAt(c.beat).length) * 60.0f;
        EXPECT_NEAR(decks->tempoNumber(2)->value(), mix, 1e-3f);
        EXPECT_EQ(app().browser()->tempoText()->text(), std::to_string(static_cast<int>(mix + 0.5f)));
    }
}

TEST_F(DisplayRefreshTest, TheRecorderPanelShowsTheRecordingsTimeAndState) {
    start();
    testing_support::TemporaryDirectory directory;
    Recorder* recorder = app().recorder();
    PanelRecorder* panel = app().panelRecorder();
    const auto shown = [panel] {
        return std::vector<float>{panel->timeValue(0), panel->timeValue(1), panel->timeValue(2), panel->timeValue(3)};
    };
    ASSERT_TRUE(recorder->setFileName(directory.path() + "/refresh.wav"));
    ASSERT_TRUE(recorder->start());
    tick();
    EXPECT_TRUE(panel->recordButton()->isDown());
    EXPECT_EQ(shown(), (std::vector<float>{0, 0, 0, 0}));
    // 25 periods of 50 ms, all written once the recorder stops. The stepped
    // device runs faster than real time, so each period waits for the writer:
    // a writer lapped by the output thread (a second behind) loses audio.
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(platform::audio::NullAudio::advanceToDeadline(streamOf(0), 1));
        ASSERT_TRUE(testing_support::eventually(
            [recorder] { return recorder->framesWritten() >= recorder->framesCopiedIn(); }));
    }
    ASSERT_TRUE(recorder->stop());
    ASSERT_EQ(recorder->framesWritten(), 25 * 2205);
    tick();
    EXPECT_FALSE(panel->recordButton()->isDown());
    EXPECT_EQ(shown(), (std::vector<float>{0, 0, 1, 25}));
}

TEST_F(DisplayRefreshTest, TheBeatPeriodIsThePlayedBeatsLength) {
    start();
    placeSong(0, 0, 400, 20000, "Zero", "Artist 0");
    app().rebuildBeatInfo(0, 0);
    playTo(5 * 20000 + 3);
    tick();
    EXPECT_FLOAT_EQ(app().beatPeriod(), 20000.0f / 44100.0f);
    EXPECT_EQ(app().currentBeatIndex(), 5);
}

TEST_F(DisplayRefreshTest, FinishedSongsAreForgottenOnlyOnceTheGridHasLetThemGo) {
    start();
    placeSong(1, 0, 10, 22050, "One", "Artist 1");
    playTo(20 * beatFrames);
    tick();
    // The play beat is past the song, but the grid still holds its beats.
    EXPECT_EQ(app().songs(1)->count(), 1);
    // The refresh that moves the grid on forgets the song at the next one.
    playTo(TrackInfo::historyFrames + 30 * beatFrames);
    tick();
    tick();
    EXPECT_EQ(app().songs(1)->count(), 0);
}

TEST_F(DisplayRefreshTest, LeavingRowZeroScrollsTheRowsUpByOne) {
    start();
    rampWeights();
    std::vector<std::uint8_t> before[2][Velkarn::stripRows];
    std::int32_t starts[2][Velkarn::stripRows];
    for (int d = 0; d < 2; ++d) {
        for (int r = 0; r < Velkarn::stripRows; ++r) {
            before[d][r] = picture(*app().strip(d, r));
            starts[d][r] = app().strip(d, r)->startBeat();
        }
    }
    const std::int32_t firstLast = app().strip(0, 0)->lastBeat();
    playTo((firstLast + 1) * beatFrames + 77);
    tick();
    for (int d = 0; d < 2; ++d) {
        SCOPED_TRACE("deck " + std::to_string(d));
        EXPECT_EQ(app().strip(d, 0)->startBeat(), starts[d][1]);
        EXPECT_EQ(app().strip(d, 1)->startBeat(), starts[d][2]);
        EXPECT_TRUE(picture(*app().strip(d, 0)) == before[d][1]);
        EXPECT_TRUE(picture(*app().strip(d, 1)) == before[d][2]);
        const GUIStrip& last = *app().strip(d, 2);
        EXPECT_EQ(last.startBeat(), app().strip(d, 1)->lastBeat() + 1);
        EXPECT_TRUE(picture(last) == freshPicture(d, last.startBeat()));
        EXPECT_FALSE(picture(last) == before[d][2]);
        EXPECT_EQ(app().strip(d, 0)->mainPointerColumn(),
                  10 + columnOf(app().currentSampleTime() - app().strip(d, 0)->startPosition(), 2756.0f));
    }
}

TEST_F(DisplayRefreshTest, AStallLongerThanARowLaysTheRowsOutFromThePlayBeat) {
    start();
    // Two and a half rows of play without a refresh.
    const std::int32_t perRow = app().strip(0, 0)->lastBeat() + 1;
    const std::int32_t playBeat = perRow * 5 / 2;
    playTo(playBeat * beatFrames + 1000);
    tick();
    for (int d = 0; d < 2; ++d) {
        const GUIStrip& first = *app().strip(d, 0);
        EXPECT_EQ(first.startBeat(), playBeat);
        EXPECT_EQ(first.mainPointerColumn(), 10 + columnOf(1000, 2756.0f));
        EXPECT_EQ(app().strip(d, 1)->startBeat(), first.lastBeat() + 1);
        EXPECT_EQ(app().strip(d, 2)->startBeat(), app().strip(d, 1)->lastBeat() + 1);
    }
    // The next refreshes go on from there.
    playTo((playBeat + 3) * beatFrames);
    tick();
    EXPECT_EQ(app().strip(0, 0)->startBeat(), playBeat);
}

TEST_F(DisplayRefreshTest, SecondPointersShowOnlyWhileTheListenRenderersRun) {
    start();
    app().panelListen()->setListenStartTime(3 * beatFrames);
    for (int d = 0; d < 2; ++d) {
        DeckLock hold;
        app().second(d)->startThread(*app().songs(d), *app().trackInfo(), 40 * beatFrames, 40);
    }
    playTo(5 * beatFrames + 7);
    tick();
    // now + (the renderer's base - the listen start): beat 42 and 7 frames.
    const std::int64_t position = 5 * beatFrames + 7 + (40 * beatFrames - 3 * beatFrames);
    for (int d = 0; d < 2; ++d) {
        for (int r = 0; r < Velkarn::stripRows; ++r) {
            const GUIStrip& strip = *app().strip(d, r);
            EXPECT_TRUE(strip.secondPointerVisible()) << d << "," << r;
            EXPECT_EQ(strip.secondPointerColumn(), 10 + columnOf(position - strip.startPosition(), 2756.0f))
                << d << "," << r;
        }
    }
    app().stopSecondRenderers();
    tick();
    for (int d = 0; d < 2; ++d) {
        for (int r = 0; r < Velkarn::stripRows; ++r) EXPECT_FALSE(app().strip(d, r)->secondPointerVisible());
    }
}

TEST_F(DisplayRefreshTest, TheHoverMarkTurnsWhiteWhenThePlayReachesItsBeat) {
    start();
    GUICursor& cursor = *app().cursor(0);
    const int x = 10 + columnOf(6 * beatFrames, 2756.0f) + 1;  // inside beat 6
    cursor.mouseMove(GUIPoint(x, 30));
    ASSERT_TRUE(cursor.markVisible());
    playTo(6 * beatFrames - 1);
    tick();
    EXPECT_FALSE(cursor.colour().differs(GUICursor::markBlue));
    playTo(6 * beatFrames);
    tick();
    EXPECT_FALSE(cursor.colour().differs(GUICursor::markWhite));
}

// A transparent component over the whole window: every redraw of the
// window reaches it last, and it reports each one.
class RedrawProbe : public GUIComponent {
public:
    RedrawProbe(int width, int height) { setOriginSize(0, 0, width, height); }
    void draw(const GUIRectangle& /*clip*/) override {
        if (drawn) drawn();
    }
    std::function<void()> drawn;
};

// One step of the refresh as the test sees it: the read-outs it changes.
// It counts as done once every read-out differs from its value before the
// tick.
struct RefreshStep {
    const char* name;
    std::vector<std::function<std::string()>> readOuts;
};

template <class T>
std::string text(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// Runs one refresh and, at every redraw of the main window, notes how many
// of the steps are done: those must be the first ones, the rest untouched.
// The counts, without repeats.
std::vector<int> doneStepsAtEachRedraw(Velkarn& app, RedrawProbe& probe, const std::vector<RefreshStep>& steps) {
    std::vector<std::vector<std::string>> before;
    for (const RefreshStep& step : steps) {
        std::vector<std::string> values;
        for (const auto& readOut : step.readOuts) values.push_back(readOut());
        before.push_back(values);
    }
    std::vector<int> counts;
    const auto note = [&] {
        std::string done;
        for (std::size_t k = 0; k < steps.size(); ++k) {
            bool all = true;
            for (std::size_t i = 0; i < steps[k].readOuts.size(); ++i) {
                all = all && steps[k].readOuts[i]() != before[k][i];
            }
            done += all ? '1' : '0';
        }
        const std::size_t count = done.find('0') == std::string::npos ? done.size() : done.find('0');
        if (done.find('1', count) != std::string::npos) {
            ADD_FAILURE() << "\"" << steps[done.find('1', count)].name << "\" done before \"" << steps[count].name
                          << "\" (" << done << ")";
        }
        if (counts.empty() || counts.back() != static_cast<int>(count)) counts.push_back(static_cast<int>(count));
    };
    probe.drawn = note;
    app.windowTimer(app.mainWindow());
    probe.drawn = nullptr;
    note();
    return counts;
}

// The refresh's steps take effect one after the other, in their order: two
// ticks, one within row 0 and one that scrolls, each set up so that every
// step changes what it shows.
TEST_F(DisplayRefreshTest, TheStepsTakeEffectInTheirOrder) {
    start();
    auto* probe = new RedrawProbe(app().mainWindow()->width(), app().mainWindow()->height());
    app().mainWindow()->add(probe);
    // Beat lengths and songs change at beat 100, inside row 0's last stretch.
    placeSong(0, 0, 100, 20000, "Zero", "Artist 0");
    placeSong(0, 100, 200, 21000, "Two", "Artist 2");
    placeSong(1, 0, 100, 24000, "One", "Artist 1");
    placeSong(1, 100, 200, 25000, "Three", "Artist 3");
    app().rebuildBeatInfo(0, 0);
    app().refreshStripsFrom(0);
    ASSERT_TRUE(app().openBrowser() != nullptr);
    testing_support::TemporaryDirectory directory;
    ASSERT_TRUE(app().recorder()->setFileName(directory.path() + "/order.wav"));
    // A song that ended before the grid's oldest beat: the next refresh
    // forgets it.
    const auto placeFinishedSong = [&] {
        std::int32_t oldest = 0;
        {
            DeckLock hold;
            oldest = app().trackInfo()->oldestBeatIndex();
        }
        placeSong(1, oldest - 5, 4, 22050, "Gone", "Artist");
    };

    PanelDecks* decks = app().panelDecks();
    const std::vector<RefreshStep> steps = {
        {"controls", {[&] { return text(app().volumeSlider()->value()); },
                      [&] { return text(decks->slider(PanelDecks::crossfader)->value()); }}},
        {"recorder", {[&] { return text(app().recordingIndicator()->isOn()); },
                      [&] { return text(app().panelRecorder()->recordButton()->isDown()); }}},
        {"meters", {[&] { return text(app().meter(0)->level()); }, [&] { return text(app().meter(1)->level()); }}},
        {"beat period", {[&] { return text(app().beatPeriod()); }}},
        {"player", {[&] { return text(app().playingIndicator()->isOn()); },
                    [&] { return text(app().panelPlayer()->playButton()->isDown()); }}},
        {"tempos",
         {[&] { return text(decks->tempoNumber(0)->value()); }, [&] { return text(decks->tempoNumber(1)->value()); },
          [&] { return text(decks->tempoNumber(2)->value()); }, [&] { return app().browser()->tempoText()->text(); }}},
        {"title", {[&] { return app().mainWindow()->fileName(); }, [&] { return decks->songText(0)->text(); },
                   [&] { return decks->songText(1)->text(); }}},
        {"finished songs", {[&] { return text(app().songs(1)->count()); }}},
        {"scroll", {}},
        {"main pointers", {[&] { return text(app().strip(0, 0)->mainPointerColumn()); },
                           [&] { return text(app().strip(1, 0)->mainPointerColumn()); }}},
        {"second pointers", {}},
        {"hover colour", {[&] { return text(static_cast<int>(app().cursor(0)->colour().red)); }}},
    };
    // The second pointers of all six strips; the scroll moves all six.
    std::vector<RefreshStep> rowZero = steps;
    std::vector<RefreshStep> scrolling = steps;
    for (int d = 0; d < 2; ++d) {
        for (int r = 0; r < Velkarn::stripRows; ++r) {
            const auto visible = [&, d, r] { return text(app().strip(d, r)->secondPointerVisible()); };
            rowZero[10].readOuts.push_back(visible);
            scrolling[10].readOuts.push_back(visible);
            scrolling[8].readOuts.push_back([&, d, r] { return text(app().strip(d, r)->startBeat()); });
        }
    }
    rowZero.erase(rowZero.begin() + 8);  // no scroll within row 0
    // After a scroll the cursors' refresh has already coloured their marks.
    scrolling.pop_back();

    // Within row 0: a recording and the player started, the Listen pair
    // running, a hover mark over beat 3 while the play is before it.
    app().mixerParameters()->setPosition(MixerParameters::mainVolume, 0.3f);
    app().mixerParameters()->setPosition(MixerParameters::crossfader, 0.8f);
    ASSERT_TRUE(app().recorder()->start());
    for (int c = 0; c < 2; ++c) app().meter(c)->setValue(1.0f);
    app().player()->start();
    placeFinishedSong();
    app().panelListen()->setListenStartTime(0);
    for (int d = 0; d < 2; ++d) {
        DeckLock hold;
        app().second(d)->startThread(*app().songs(d), *app().trackInfo(), app().beatAt(40).position, 40);
    }
    app().cursor(0)->mouseMove(GUIPoint(10 + columnOf(3 * 20000 + 100, 2756.0f), 30));
    ASSERT_TRUE(app().cursor(0)->markVisible());
    playTo(5 * 20000 + 100);
    // Every step is seen done alone but the second pointers: the last one
    // set lies off its strip and draws nothing, so the hover mark's redraw
    // comes next.
    EXPECT_EQ(doneStepsAtEachRedraw(app(), *probe, rowZero),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));

    // Past row 0: the recording and the player stopped, the Listen pair too.
    app().mixerParameters()->setPosition(MixerParameters::mainVolume, 0.6f);
    app().mixerParameters()->setPosition(MixerParameters::crossfader, 0.2f);
    ASSERT_TRUE(app().recorder()->stop());
    for (int c = 0; c < 2; ++c) app().meter(c)->setValue(1.0f);
    app().player()->stop();
    placeFinishedSong();
    app().stopSecondRenderers();
    playTo(app().beatAt(app().strip(0, 0)->lastBeat() + 3).position);
    EXPECT_EQ(doneStepsAtEachRedraw(app(), *probe, scrolling),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

class ZoomAndButtonsTest : public DisplayRefreshTest {
protected:
    // A press and release at the centre of a main button, through the
    // window's component tree.
    void click(int x, int y) {
        app().mainWindow()->root()->mouseDown(GUIPoint(x, y), false);
        app().mainWindow()->root()->mouseUp(GUIPoint(x, y));
    }
};

TEST_F(ZoomAndButtonsTest, ZoomStopsAtOneAndSixteen) {
    start();
    rampWeights();
    const int buttons[2][2] = {{831 + 14, 450 + 14}, {861 + 14, 450 + 14}};  // in, out
    struct Step {
        bool in;
        int factor;
    };
    const Step steps[] = {{true, 2}, {true, 1}, {true, 1}, {false, 2}, {false, 4}, {false, 8}, {false, 16}, {false, 16}};
    for (const Step& step : steps) {
        const std::vector<std::uint8_t> shown = picture(*app().strip(1, 2));
        const int previous = app().zoomFactor();
        click(buttons[step.in ? 0 : 1][0], buttons[step.in ? 0 : 1][1]);
        EXPECT_EQ(app().zoomFactor(), step.factor);
        for (int d = 0; d < 2; ++d) {
            for (int r = 0; r < Velkarn::stripRows; ++r) {
                EXPECT_EQ(app().strip(d, r)->samplesPerPixel(), step.factor * 689.0f);
            }
        }
        if (previous == step.factor) {
            EXPECT_TRUE(picture(*app().strip(1, 2)) == shown) << "unchanged at " << previous;
        } else {
            EXPECT_TRUE(picture(*app().strip(1, 2)) == freshPicture(1, app().strip(1, 2)->startBeat()));
        }
    }
}

TEST_F(ZoomAndButtonsTest, ThePlayPositionKeepsItsColumnAcrossAZoom) {
    start();
    playTo(30 * beatFrames + 12345);
    tick();
    const int before = app().strip(0, 0)->mainPointerColumn();
    ASSERT_EQ(before, 10 + columnOf(30 * beatFrames + 12345, 2756.0f));
    for (const bool in : {false, true, true}) {
        const int old = app().strip(0, 0)->mainPointerColumn();
        const float scale = (in ? app().zoomFactor() / 2 : app().zoomFactor() * 2) * 689.0f;
        const std::int64_t now = app().currentSampleTime();
        const auto back = static_cast<std::int64_t>(static_cast<float>(old - 10) * scale);
        // The beat under now - back, which may lie before time 0.
        const auto startBeat = static_cast<std::int32_t>(std::floor(static_cast<double>(now - back) / beatFrames));
        app().zoom(in);
        tick();
        const GUIStrip& first = *app().strip(0, 0);
        EXPECT_EQ(first.startBeat(), startBeat);
        EXPECT_EQ(first.mainPointerColumn(), 10 + columnOf(now - startBeat * beatFrames, scale));
        // Row 0 starts on a whole beat: the pointer lands at most a beat's
        // columns right of where it was, and never left of it.
        EXPECT_GE(first.mainPointerColumn(), old);
        EXPECT_LE(first.mainPointerColumn(), old + columnOf(beatFrames, scale) + 1);
    }
}

TEST_F(ZoomAndButtonsTest, TheWheelZoomsInTowardsTheUserAndOutAway) {
    start();
    struct Turn {
        int notches;
        int factor;
    };
    for (const Turn& turn : {Turn{-1, 2}, Turn{-3, 1}, Turn{1, 2}, Turn{2, 4}, Turn{0, 4}}) {
        app().mouseWheel(nullptr, GUIPoint(400, 100), turn.notches);
        EXPECT_EQ(app().zoomFactor(), turn.factor) << turn.notches;
    }
}

TEST_F(ZoomAndButtonsTest, ARefreshFromABeatLeavesTheColumnsBeforeItAlone) {
    start();
    const std::vector<std::uint8_t> before = picture(*app().strip(0, 0));
    {
        DeckLock hold;
        app().trackInfo()->setTempoFade(10, 0.0f, 1.0f, 20);
    }
    app().refreshStripsFrom(20);
    const std::vector<std::uint8_t> after = picture(*app().strip(0, 0));
    const int boundary = columnOf(20 * beatFrames, 2756.0f);
    const std::size_t rowBytes = 800 * 4;
    bool leftSame = true;
    bool rightChanged = false;
    for (int y = 0; y < 60; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * rowBytes;
        leftSame = leftSame && std::memcmp(&before[row], &after[row], static_cast<std::size_t>(boundary) * 4) == 0;
        rightChanged = rightChanged || std::memcmp(&before[row + boundary * 4], &after[row + boundary * 4],
                                                   rowBytes - static_cast<std::size_t>(boundary) * 4) != 0;
    }
    EXPECT_TRUE(leftSame);
    EXPECT_TRUE(rightChanged);
    // Beats 10 to 19 still show their old weights.
    EXPECT_FALSE(after == freshPicture(0, 0));
}

TEST_F(ZoomAndButtonsTest, TheBeatMapperButtonAsksFirstAndComesUpEitherWay) {
    // Without a toolkit layer a box goes to the companion program, and a box
    // nobody can show takes its default answer (No) whatever was scripted:
    // a tree without that program (the ThreadSanitizer one) cannot answer
    // Yes here.
    if (platform::companionPath().empty()) GTEST_SKIP() << "no companion program to answer the box";
    start();
    const int x = 830 + 36, y = 558 + 16;
    const std::string question =
        "Launching BeatMapper|Do you want to launch the BeatMapper? [This will interrupt playback.]";
    platform::uiScript::clearRequests();
    platform::uiScript::pushNo();
    app().mainWindow()->root()->mouseDown(GUIPoint(x, y), false);
    EXPECT_EQ(boxes(), std::vector<std::string>{question});
    EXPECT_EQ(app().beatMapper(), nullptr);
    EXPECT_FALSE(app().beatMapperButton()->isDown());
    app().mainWindow()->root()->mouseUp(GUIPoint(x, y));

    platform::uiScript::clearRequests();
    platform::uiScript::pushYes();
    app().mainWindow()->root()->mouseDown(GUIPoint(x, y), false);
    EXPECT_EQ(boxes(), std::vector<std::string>{question});
    EXPECT_NE(app().beatMapper(), nullptr);
    EXPECT_FALSE(app().beatMapperButton()->isDown());
    app().mainWindow()->root()->mouseUp(GUIPoint(x, y));
    app().closeBeatMapper();
}

TEST_F(ZoomAndButtonsTest, ScopeAndBrowserOpenOnceThenStay) {
    start();
    click(830 + 36, 522 + 16);
    Scope* scope = app().scope();
    ASSERT_NE(scope, nullptr);
    click(830 + 36, 522 + 16);
    EXPECT_EQ(app().scope(), scope);

    click(830 + 36, 486 + 16);
    Browser* browser = app().browser();
    ASSERT_NE(browser, nullptr);
    click(830 + 36, 486 + 16);
    EXPECT_EQ(app().browser(), browser);
}

}  // namespace
