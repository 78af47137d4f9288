// The ten tool panels on the real main window (offscreen), used as the user
// uses them: each panel chosen by a click on its tab, its buttons clicked at
// their centres and its knobs and tempo display dragged, all through Qt's
// own event path; then what the tools read from the panels.
#include "AppTestSupport.h"
#include "ToneSongs.h"

#include "app/PanelDelete.h"
#include "app/PanelDrop.h"
#include "app/PanelFade.h"
#include "app/PanelListen.h"
#include "app/PanelMove.h"
#include "app/PanelPause.h"
#include "app/PanelRepeat.h"
#include "app/PanelReverse.h"
#include "app/PanelSkip.h"
#include "app/PanelTempo.h"
#include "app/skin/SkinTable.h"
#include "framework/AudioEngineServices.h"
#include "framework/GUIPanelGroupVertical.h"
#include "framework/GUISliderVertical.h"
#include "framework/GUITextVertical.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "tools/BeatMapper.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using app_test::AppTest;
using app_test::boxes;
namespace input = platform::test_input;

namespace {

enum Tool { Drop, Tempo, Repeat, Delete, Skip, Pause, Reverse, Move, Fade, Listen };

// The centre of a control of the skin's size standing at (x, y).
platform::Point centreOf(const std::string& key, int x, int y) {
    const SkinRow* row = skinTable().find(key);
    EXPECT_NE(row, nullptr) << key;
    if (row == nullptr) return {x, y};
    return {x + row->width / 2, y + row->height / 2};
}

// Number button k of a column at x from y0, 32 pixels apart.
platform::Point numberAt(const char* value, int x, int y0, int k) {
    return centreOf(std::string("button/numbers/") + value, x, y0 + 32 * k);
}

platform::Point beatCountAt(int x, int k) {
    static const char* counts[] = {"1", "2", "3", "4", "8", "16", "32", "64", "128"};
    return numberAt(counts[k], x, 27, k);
}

std::string onOff(bool down) { return down ? "down" : "up"; }

// Everything the tools read from the panels, one line.
std::string toolState(Velkarn& app) {
    std::ostringstream out;
    float first = 0;
    float second = 0;
    app.panelListen()->listenGains(first, second);
    char gains[64];
    std::snprintf(gains, sizeof gains, "%.3f/%.3f", first, second);
    const PanelDrop& drop = *app.panelDrop();
    out << "tempo " << app.panelTempo()->beatCount() << "/" << app.panelTempo()->tempoStep() << "; repeat "
        << app.panelRepeat()->firstCount() << "/" << app.panelRepeat()->secondCount() << "/"
        << onOff(app.panelRepeat()->overwrite()) << "; delete " << app.panelDelete()->deleteScope() << "; skip "
        << app.panelSkip()->beatCount() << "; pause " << app.panelPause()->beatCount() << "; reverse "
        << app.panelReverse()->beatCount() << "; move " << app.panelMove()->moveScope() << "; fade "
        << app.panelFade()->fadeType() << "/" << app.panelFade()->fadeBeats() << "/" << onOff(app.panelFade()->isCross())
        << "/" << onOff(app.panelFade()->isTrim()) << "/" << onOff(app.panelFade()->isTempo()) << "; drop x2 "
        << onOff(drop.isDoubleTempo()) << " /2 " << onOff(drop.isHalfTempo()) << " force " << onOff(drop.isForceTempo())
        << " " << drop.forcedTempo() << "; listen " << gains;
    return out.str();
}

const std::string fresh =
    "tempo 1/100; repeat 1/1/up; delete all; skip 1; pause 1; reverse 1; move oneSong; fade in/4/down/down/down; "
    "drop x2 up /2 up force up 120; listen 0.450/0.450";

// The same line with one field replaced: "name old" -> "name new".
std::string freshWith(std::initializer_list<std::pair<std::string, std::string>> changes) {
    std::string state = fresh;
    for (const auto& [from, to] : changes) {
        const std::size_t at = state.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) state.replace(at, from.size(), to);
    }
    return state;
}

// A press, moves of the pointer by (dx, dy) in the given steps, a release.
void drag(Window& window, platform::Point from, int dx, int dy, int steps = 4) {
    ASSERT_TRUE(input::press(window.handle(), from));
    for (int i = 1; i <= steps; ++i) {
        ASSERT_TRUE(input::move(window.handle(), {from.x + dx * i / steps, from.y + dy * i / steps}));
    }
    ASSERT_TRUE(input::release(window.handle(), {from.x + dx, from.y + dy}));
}

struct Step {
    Tool tool;
    std::vector<platform::Point> clicks;
};

struct PanelCase {
    const char* name;
    std::vector<Step> steps;
    std::string expected;
};

class ToolPanels : public AppTest {
protected:
    Velkarn& open() {
        Velkarn& app = start();
        window = app.mainWindow();
        return app;
    }

    // A click on the tool's tab in the vertical group's band.
    void choose(Tool tool) {
        const int i = static_cast<int>(tool);
        const int middle = (skinTabStart(i, 10, 430) + skinTabStart(i + 1, 10, 430)) / 2;
        ASSERT_TRUE(input::click(window->handle(), {860, 10 + middle}));
    }

    Window* window = nullptr;
};

TEST_F(ToolPanels, ClicksOnEachPanelChangeExactlyWhatItsToolReads) {
    const std::vector<PanelCase> cases{
        {"fresh panels", {}, fresh},
        {"tempo count and step",
         {{Tempo, {beatCountAt(923, 5), centreOf("velkarn/button/tempo/0", 909, 322)}}},
         freshWith({{"tempo 1/100", "tempo 16/1"}})},
        {"tempo count pressed twice stays, step 10",
         {{Tempo, {beatCountAt(923, 8), beatCountAt(923, 8), centreOf("velkarn/button/tempo/1", 909, 354)}}},
         freshWith({{"tempo 1/100", "tempo 128/10"}})},
        {"repeat columns are separate groups, overwrite toggles",
         {{Repeat, {beatCountAt(900, 3), beatCountAt(943, 7), centreOf("velkarn/button/repeat/overwrite", 903, 332)}}},
         freshWith({{"repeat 1/1/up", "repeat 4/64/down"}})},
        {"repeat overwrite pressed twice is up again",
         {{Repeat,
           {centreOf("velkarn/button/repeat/overwrite", 903, 332), centreOf("velkarn/button/repeat/overwrite", 903, 332),
            beatCountAt(943, 1)}}},
         freshWith({{"repeat 1/1/up", "repeat 1/2/up"}})},
        {"delete scope", {{Delete, {centreOf("velkarn/button/delete/allAfter", 903, 91)}}},
         freshWith({{"delete all", "delete allAfter"}})},
        {"delete scope chosen twice",
         {{Delete,
           {centreOf("velkarn/button/delete/allAfter", 903, 91), centreOf("velkarn/button/delete/allBefore", 903, 59)}}},
         freshWith({{"delete all", "delete allBefore"}})},
        {"move scope", {{Move, {centreOf("velkarn/button/move/allDecks", 903, 91)}}},
         freshWith({{"move oneSong", "move allDecks"}})},
        {"skip, pause and reverse keep their own counts",
         {{Skip, {beatCountAt(923, 1)}}, {Pause, {beatCountAt(923, 6)}}, {Reverse, {beatCountAt(923, 8)}}},
         freshWith({{"skip 1", "skip 2"}, {"pause 1", "pause 32"}, {"reverse 1", "reverse 128"}})},
        {"fade options",
         {{Fade,
           {centreOf("velkarn/button/fade/out", 943, 27), numberAt("256", 923, 68, 6),
            centreOf("velkarn/button/fade/cross", 903, 307), centreOf("velkarn/button/fade/tempo", 903, 371)}}},
         freshWith({{"fade in/4/down/down/down", "fade out/256/up/down/up"}})},
        {"fade back in, 16 beats",
         {{Fade,
           {centreOf("velkarn/button/fade/out", 943, 27), centreOf("velkarn/button/fade/in", 900, 27),
            numberAt("16", 923, 68, 2), centreOf("velkarn/button/fade/trim", 903, 339)}}},
         freshWith({{"fade in/4/down/down/down", "fade in/16/down/up/down"}})},
        {"double tempo", {{Drop, {centreOf("velkarn/button/drop/doubleTempo", 912, 301)}}},
         freshWith({{"x2 up", "x2 down"}})},
        {"half tempo after double leaves only half",
         {{Drop,
           {centreOf("velkarn/button/drop/doubleTempo", 912, 301), centreOf("velkarn/button/drop/halfTempo", 943, 301)}}},
         freshWith({{"/2 up", "/2 down"}})},
        {"double after half leaves only double, force stays",
         {{Drop,
           {centreOf("velkarn/button/drop/halfTempo", 943, 301), centreOf("velkarn/button/drop/forceTempo", 912, 337),
            centreOf("velkarn/button/drop/doubleTempo", 912, 301)}}},
         freshWith({{"x2 up", "x2 down"}, {"force up", "force down"}})},
        {"a click on one panel's place while another is shown reaches only the shown one",
         {{Skip, {}}, {Tempo, {beatCountAt(923, 2)}}},
         freshWith({{"tempo 1/100", "tempo 3/100"}})},
    };
    for (const PanelCase& c : cases) {
        SCOPED_TRACE(c.name);
        Velkarn& app = open();
        for (const Step& step : c.steps) {
            choose(step.tool);
            EXPECT_EQ(app.toolGroup()->selectedIndex(), static_cast<int>(step.tool));
            for (const platform::Point& point : step.clicks) ASSERT_TRUE(input::click(window->handle(), point));
        }
        EXPECT_EQ(toolState(app), c.expected);
        stop();
    }
}

TEST_F(ToolPanels, ReleasingTheTempoButtonsKeepsTheForcedTempo) {
    Velkarn& app = open();
    PanelDrop& drop = *app.panelDrop();
    choose(Drop);
    for (const char* key : {"velkarn/button/drop/halfTempo", "velkarn/button/drop/forceTempo"}) {
        const SkinRow* row = skinTable().find(key);
        ASSERT_NE(row, nullptr);
        ASSERT_TRUE(input::click(window->handle(), {row->x + row->width / 2, row->y + row->height / 2}));
    }
    drop.releaseTempoButtons();
    EXPECT_EQ(toolState(app), freshWith({{"force up", "force down"}}));
    // The programmatic setter the edit tools' tests use moves the buttons.
    drop.setTempoButtons(true, false, false);
    EXPECT_EQ(toolState(app), freshWith({{"x2 up", "x2 down"}}));
}

TEST_F(ToolPanels, TheTempoDisplayKeepsDraggedValuesInsideTheTempoRange) {
    Velkarn& app = open();
    choose(Drop);
    // "120" stands right-aligned in four 10-pixel cells from x 919: the
    // tens digit is the third cell; a drag moves one step per 10 pixels.
    const platform::Point tens{919 + 25, 380 + 13};
    struct Drag {
        int dy;
        float expected;
    };
    const Drag drags[] = {{-10, 130}, {-130, 220}, {+200, 40}, {-30, 70}};
    for (const Drag& d : drags) {
        SCOPED_TRACE(d.dy);
        drag(*window, tens, 0, d.dy, 10);
        EXPECT_EQ(app.panelDrop()->forcedTempo(), d.expected);
    }
}

TEST_F(ToolPanels, TheListenKnobsSetTheSecondOutputsGains) {
    Velkarn& app = open();
    choose(Listen);
    // The balance knob (20 wide on a 76-pixel track, at 0.5) dragged to the
    // right end, then the volume knob to the top.
    drag(*window, {905 + 28 + 10, 82 + 13}, 100, 0);
    float first = -1;
    float second = -1;
    app.panelListen()->listenGains(first, second);
    EXPECT_FLOAT_EQ(first, 0.0f);
    EXPECT_FLOAT_EQ(second, 0.9f);
    const int knobTop = app.panelListen()->volumeSlider()->knobOffset();
    drag(*window, {950 + 13, 128 + knobTop + 10}, 0, -150);
    app.panelListen()->listenGains(first, second);
    EXPECT_FLOAT_EQ(first, 0.0f);
    EXPECT_FLOAT_EQ(second, 1.0f);
    // Halfway back across: both decks at half the volume.
    app.panelListen()->setSliders(0.5f, 0.5f);
    app.panelListen()->listenGains(first, second);
    EXPECT_FLOAT_EQ(first, 0.25f);
    EXPECT_FLOAT_EQ(second, 0.25f);
}

// ---- Loading a song into the drop panel ---------------------------------------

class DropLoad : public ToolPanels {
protected:
    void TearDown() override {
        setWmaLibraryLoader(nullptr, nullptr);
        checkWmaLibrary();
        ToolPanels::TearDown();
    }

    std::string writeFile(const std::string& name, const std::string& bytes) {
        const std::string path = home->file(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    void clickLoad() {
        choose(Drop);
        ASSERT_TRUE(input::click(window->handle(), centreOf("velkarn/button/drop/load", 912, 25)));
    }

    std::vector<platform::UiRequest> choosers() {
        std::vector<platform::UiRequest> found;
        for (const platform::UiRequest& request : platform::uiScript::requests()) {
            if (request.kind == platform::UiRequestKind::OpenChooser) found.push_back(request);
        }
        return found;
    }
};

TEST_F(DropLoad, TheChooserOffersWmaOnlyWithItsDecoder) {
    for (const bool decoder : {false, true}) {
        SCOPED_TRACE(decoder);
        setWmaLibraryLoader([decoder] { return decoder; }, [] {});
        checkWmaLibrary();
        open();
        platform::uiScript::clearRequests();
        platform::uiScript::pushCancel();
        clickLoad();
        const std::vector<platform::UiRequest> asked = choosers();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_NE(asked[0].filter.find("wav"), std::string::npos) << asked[0].filter;
        EXPECT_NE(asked[0].filter.find("mp3"), std::string::npos) << asked[0].filter;
        EXPECT_EQ(asked[0].filter.find("wma") != std::string::npos, decoder) << asked[0].filter;
        EXPECT_EQ(app_test::boxes(), std::vector<std::string>{});
        EXPECT_EQ(application->panelDrop()->songPath(), "");
        stop();
    }
}

TEST_F(DropLoad, ASongIsKeptOnlyWhenItReadsWithBeatMetaData) {
    ToneSongSpec spec;
    spec.seconds = 4.0;
    const ToneSong song = writeToneSong(home->path(), "Tone Song", spec);
    // The same samples without their side file, and a file that is no song.
    std::ifstream in(song.path, std::ios::binary);
    const std::string wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string bare = writeFile("Bare.wav", wav);
    const std::string broken = writeFile("Broken.wav", "RIFF....WAVEjunk");

    Velkarn& app = open();
    PanelDrop& drop = *app.panelDrop();

    // Through the load button and the chooser: the song is kept and its
    // base name shown down the panel.
    platform::uiScript::pushPath(song.path);
    clickLoad();
    EXPECT_EQ(drop.songPath(), song.path);
    ASSERT_NE(drop.nameText()->image(), nullptr);
    EXPECT_EQ(boxes(), std::vector<std::string>{});
    const int shownWidth = drop.nameText()->image()->height();
    EXPECT_GT(shownWidth, 40);  // "Tone Song" runs down the panel

    // Without meta-data: the question, No keeps the old song and opens
    // nothing; Yes opens the beat mapper on the file.
    platform::uiScript::pushNo();
    EXPECT_EQ(drop.loadSong(bare), 0);
    EXPECT_EQ(drop.songPath(), song.path);
    EXPECT_EQ(app.beatMapper(), nullptr);
    platform::uiScript::pushPath(bare);
    platform::uiScript::pushYes();
    clickLoad();
    EXPECT_EQ(drop.songPath(), song.path);
    ASSERT_NE(app.beatMapper(), nullptr);
    app.closeBeatMapper();
    const std::string question =
        "Could not load song.|This song is not yet analyzed. Do you want to analyze it in the BeatMapper? [This will "
        "interrupt playback.]";
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0], question);
    EXPECT_EQ(boxes()[1], question);

    // A file that does not read: its error in a box, the old path kept.
    platform::uiScript::clearRequests();
    EXPECT_EQ(drop.loadSong(broken), 0);
    EXPECT_EQ(drop.songPath(), song.path);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].rfind("Could not load song.|", 0), 0u) << boxes()[0];
    EXPECT_GT(boxes()[0].size(), std::string("Could not load song.|").size());

    // The application's own load ends in the panel.
    EXPECT_EQ(app.loadSongFile(song.path), 1);
    EXPECT_EQ(app.loadSongFile(broken), 0);
    EXPECT_EQ(drop.songPath(), song.path);
}

}  // namespace
