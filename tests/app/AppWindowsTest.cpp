// The application with real (offscreen) windows: posted work, the tool
// windows that take the main window's input away, the quit question, the
// routing of close requests and the message loop of the stand-alone main.
#include "AppTestSupport.h"
#include "BrowserTestSupport.h"

#include "app/DeckLock.h"
#include "app/VelkarnStandAlone.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "framework/Log.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "network/PanelNetwork.h"
#include "framework/GUIRectangle.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/Messages.h"
#include "platform/NativeWindow.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "scope/Scope.h"
#include "tools/BeatMapper.h"
#include "tools/Browser.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>

using app_test::AppTest;
using app_test::boxes;

namespace {

bool inputEnabled(Window* window) { return window->nativeWindow()->inputEnabled(); }

TEST_F(AppTest, WorkPostedFromAnotherThreadRunsOnTheLoop) {
    Velkarn& app = start();
    PanelNetwork& panel = *app.panelNetwork();
    // A client's chat line arrives on a network thread, which fills the
    // line and posts kind 0.
    std::thread worker([&] {
        std::string reply;
        panel.received(*panel.networkServer(), AddressIPv4(platform::Ipv4Bytes{10, 0, 0, 7}), "TALKhello", reply);
        for (int kind : {1, 2, 7}) app.notifyMainWindow(kind, 3);
    });
    worker.join();
    EXPECT_EQ(panel.chatText(), "");  // nothing runs on the worker
    platform::dispatchPostedMessages();
    EXPECT_EQ(panel.chatText(), "10.0.0.7 [client]: hello");
}

TEST_F(AppTest, OneBeatMapperAtATimeAndTheOtherWindowsWaitForIt) {
    Velkarn& app = start();
    app_test::chooseNetworkMode(app, PanelNetwork::modeServer);
    ASSERT_TRUE(app.panelNetwork()->isServing());
    Browser* browser = app.openBrowser();
    // The mapper loads the song it opens on; a second request only brings
    // it to the front.
    const std::string song = home->path() + "/song.wav";
    browser_test::writeSong(song);
    browser_test::writeSong(home->path() + "/other.wav");
    BeatMapper* first = app.openBeatMapper(song);
    EXPECT_EQ(app.openBeatMapper(home->path() + "/other.wav"), first);
    EXPECT_EQ(app.beatMapper(), first);
    EXPECT_EQ(first->path(), song);
    EXPECT_FALSE(inputEnabled(app.mainWindow()));
    EXPECT_FALSE(inputEnabled(browser->window()));
    EXPECT_FALSE(app.panelNetwork()->isServing());
    EXPECT_EQ(app.panelNetwork()->selectedMode(), PanelNetwork::modeStandAlone);

    EXPECT_TRUE(app.isBeatMapperWindow(first->window()));
    EXPECT_FALSE(app.isBeatMapperWindow(app.mainWindow()));
    app.closeBeatMapper();
    EXPECT_EQ(app.beatMapper(), nullptr);
    EXPECT_TRUE(inputEnabled(app.mainWindow()));
    EXPECT_TRUE(inputEnabled(browser->window()));
}

TEST_F(AppTest, TheQuitQuestionDecidesAndAnEditedBeatMapperAsksFirst) {
    struct Case {
        bool edited;
        std::vector<bool> answers;
        bool closes;
        std::vector<std::string> asked;
    };
    const std::string quit = "Closing Velkarn|Do you want to quit Velkarn?";
    const std::string discard =
        "File Has Been Modified|The current file has been modified, but not saved. Are you sure you want to proceed "
        "and to discard the changes?";
    Velkarn& app = start();
    for (const Case& c : {Case{false, {false}, false, {quit}}, Case{false, {true}, true, {quit}},
                          Case{true, {false}, false, {discard}}, Case{true, {true, false}, false, {discard, quit}},
                          Case{true, {true, true}, true, {discard, quit}}}) {
        BeatMapper* mapper = app.openBeatMapper("");
        mapper->setEdited(c.edited);
        platform::uiScript::clearRequests();
        for (bool yes : c.answers) yes ? platform::uiScript::pushYes() : platform::uiScript::pushNo();
        EXPECT_EQ(app.canClose(app.mainWindow()), c.closes);
        EXPECT_EQ(boxes(), c.asked);
        app.closeBeatMapper();
    }
}

TEST_F(AppTest, ACloseRequestClosesTheWindowItCameFromOrEndsTheProgram) {
    enum class Which { ScopeGraph, ScopeControl, BeatMapper, Browser, Previewer, Main };
    const std::string song = home->path() + "/previewed.wav";
    browser_test::writeSong(song);
    for (Which which : {Which::ScopeGraph, Which::ScopeControl, Which::BeatMapper, Which::Browser, Which::Previewer,
                        Which::Main}) {
        Velkarn* app = new Velkarn(nullptr, 1);
        Scope* scope = app->openScope();
        Browser* browser = app->openBrowser();
        ASSERT_TRUE(browser->openPreviewer(song));
        BeatMapper* mapper = app->openBeatMapper("");
        Window* window = nullptr;
        switch (which) {
        case Which::ScopeGraph: window = scope->graphWindow(); break;
        case Which::ScopeControl: window = scope->controlWindow(); break;
        case Which::BeatMapper: window = mapper->window(); break;
        case Which::Browser: window = browser->window(); break;
        case Which::Previewer: window = browser->previewerWindow(); break;
        case Which::Main: window = app->mainWindow(); break;
        }
        const bool quits = VelkarnStandAlone::routeCloseRequest(app, window->handle());
        EXPECT_EQ(quits, which == Which::Main);
        if (which == Which::Main) {
            EXPECT_EQ(app, nullptr);
            platform::Message message;
            EXPECT_FALSE(platform::getMessage(message));
            EXPECT_EQ(platform::quitExitCode(), 0);
            continue;
        }
        ASSERT_NE(app, nullptr);
        EXPECT_EQ(app->scope() == nullptr, which == Which::ScopeGraph || which == Which::ScopeControl);
        EXPECT_EQ(app->beatMapper() == nullptr, which == Which::BeatMapper);
        // The browser goes with its previewer; the previewer alone leaves it.
        EXPECT_EQ(app->browser() == nullptr, which == Which::Browser);
        if (which == Which::Previewer) {
            EXPECT_EQ(browser->previewerWindow(), nullptr);
        }
        EXPECT_EQ(inputEnabled(app->mainWindow()), which == Which::BeatMapper);
        delete app;
    }
}

// Runs the stand-alone main; `started` sees the application before the loop
// pumps (it may post messages).
std::function<void(Velkarn&)> started;
void onStarted(Velkarn& app) { started(app); }

TEST_F(AppTest, TheLoopRunsUntilTheMainWindowClosesAndLogsItsSteps) {
    struct Case {
        bool verbose;
        std::vector<std::string> steps;
    };
    const std::vector<std::string> all = {
        "File VelkarnStandAlone, Line 10: initialize support",
        "File VelkarnStandAlone, Line 18: construct the application(s)",
        "File VelkarnStandAlone, Line 20: pump messages in the message loop",
        "File VelkarnStandAlone, Line 51: clean up",
        "File VelkarnStandAlone, Line 53: return result of the message loop"};
    for (const Case& c : {Case{true, all}, Case{false, {}}}) {
        setVerboseLogging(c.verbose);
        testing_support::clearLog();
        started = [&](Velkarn& app) {
            // A tool window's request first, then the main window's.
            Scope* scope = app.openScope();
            platform::postMessage(scope->graphWindow()->handle(), platform::closeRequestMessage, 0, 0);
            platform::postMessage(app.mainWindow()->handle(), platform::closeRequestMessage, 0, 0);
        };
        VelkarnStandAlone::setStartedHook(onStarted);
        EXPECT_EQ(VelkarnStandAlone::standAloneMain(nullptr, nullptr, "", 1), 0);
        VelkarnStandAlone::setStartedHook(nullptr);
        std::vector<std::string> steps;
        for (const std::string& text : testing_support::logTexts()) {
            if (text.rfind("File VelkarnStandAlone", 0) == 0) steps.push_back(text);
        }
        EXPECT_EQ(steps, c.steps);
    }
}

void closeMainWindow(Velkarn& app) {
    platform::postMessage(app.mainWindow()->handle(), platform::closeRequestMessage, 0, 0);
}

TEST_F(AppTest, OnlyTheWordLognormalInAnyCaseTurnsVerboseLoggingOn) {
    struct Case {
        const char* commandLine;
        bool verbose;
    };
    for (const Case& c : {Case{"lognormal", true}, Case{"LOGNORMAL", true}, Case{"LogNormal", true},
                          Case{"", false}, Case{"lognormal x", false}, Case{"lognormalx", false},
                          Case{" lognormal", false}}) {
        setVerboseLogging(!c.verbose);
        VelkarnStandAlone::setStartedHook(closeMainWindow);
        EXPECT_EQ(VelkarnStandAlone::entry(c.commandLine), 0) << c.commandLine;
        VelkarnStandAlone::setStartedHook(nullptr);
        EXPECT_EQ(verboseLogging(), c.verbose) << c.commandLine;
    }
}

TEST_F(AppTest, AnEscapedStringExceptionIsAFatalStopOfTheEntry) {
    // Without its background the main window cannot be made: the loader's
    // message escapes the construction.
    std::remove(skins->path("velkarn/background/main").c_str());
    testing_support::clearLog();
    try {
        VelkarnStandAlone::entry("");
        ADD_FAILURE() << "no fatal stop";
    } catch (const FatalStop& stop) {
        EXPECT_EQ(stop.source, "WindowsEntryPoint");
        EXPECT_EQ(stop.line, 98);
        const std::vector<std::string> log = testing_support::logTexts();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "File WindowsEntryPoint, Line 98: " + std::string(stop.what()));
        EXPECT_NE(std::string(stop.what()).find("velkarn/background/main"), std::string::npos) << stop.what();
    }
    cleanUpSupport();
}

TEST_F(AppTest, TheMainWindowIsPresentedOncePerRefreshInterval) {
    Velkarn& app = start();
    Window& window = *app.mainWindow();
    struct Case {
        float intervalMs;  // 0: the start-up's, 1000 / 20 per second
        unsigned periodMs;
    };
    const platform::Rect area{100, 100, 10, 10};
    for (const Case& c : {Case{0.0f, 50}, Case{10.0f, 10}, Case{1000.0f / 3.0f, 333}}) {
        if (c.intervalMs > 0.0f) app.setRefreshInterval(c.intervalMs);
        EXPECT_EQ(app.refreshPeriodMs(), c.periodMs);
        window.nativeWindow()->takePresentedRects();
        for (int tick = 0; tick < 3; ++tick) {
            window.redraw(GUIRectangle(area.x, area.y, area.x + area.width - 1, area.y + area.height - 1));
            platform::VirtualClock::advance(c.periodMs - 1);
            platform::dispatchPostedMessages();
            EXPECT_TRUE(window.nativeWindow()->takePresentedRects().empty()) << c.periodMs << " tick " << tick;
            platform::VirtualClock::advance(1);
            platform::dispatchPostedMessages();
            const std::vector<platform::Rect> shown = window.nativeWindow()->takePresentedRects();
            EXPECT_NE(std::find(shown.begin(), shown.end(), area), shown.end()) << c.periodMs << " tick " << tick;
        }
    }
}

// The refresh sets the main window's title only when the songs under the
// play position change it, not on every tick.
TEST_F(AppTest, TheRefreshSetsTheTitleOnlyWhenItChanges) {
    Velkarn& app = start();
    const platform::WindowHandle main = app.mainWindow()->handle();
    const auto refreshTwice = [&] {
        for (int tick = 0; tick < 2; ++tick) {
            platform::VirtualClock::advance(app.refreshPeriodMs());
            platform::dispatchPostedMessages();
        }
    };
    refreshTwice();
    struct Step {
        const char* name;
        int deck;  // the deck a song is placed on from beat 0; -1 none
        const char* title;
        int sets;
    };
    const Step steps[] = {
        {"Nothing", -1, "", 0},
        {"Deck0", 0, "[Zero | Artist 0]", 1},
        {"Unchanged", -1, "[Zero | Artist 0]", 0},
        {"Deck1", 1, "[Zero | Artist 0] :: [One | Artist 1]", 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.deck >= 0) {
            const std::vector<SongSpan> spans(20, SongSpan{0, 22050});
            DeckLock hold;
            ASSERT_TRUE(app.songs(step.deck)->add(std::make_unique<Song>(
                spans, 0, false, 0,
                SongTexts{step.deck == 0 ? "Zero" : "One", "Artist " + std::to_string(step.deck), ""})));
        }
        const int before = platform::test_input::titleSets(main);
        refreshTwice();
        EXPECT_EQ(app.mainWindow()->fileName(), step.title);
        EXPECT_EQ(platform::test_input::titleSets(main) - before, step.sets);
    }
}

// A second press on the scope or the browser button opens nothing new: it
// brings the open windows back from being minimised and raises them.
TEST_F(AppTest, TheScopeAndBrowserButtonsBringTheirOpenWindowsToTheFront) {
    Velkarn& app = start();
    struct Case {
        const char* name;
        platform::Point button;
        std::function<void*()> opened;
        std::function<std::vector<Window*>()> windows;
    };
    const Case cases[] = {
        {"Scope", {830 + 36, 522 + 16}, [&]() -> void* { return app.scope(); },
         [&] { return std::vector<Window*>{app.scope()->graphWindow(), app.scope()->controlWindow()}; }},
        {"Browser", {830 + 36, 486 + 16}, [&]() -> void* { return app.browser(); },
         [&] { return std::vector<Window*>{app.browser()->window()}; }},
    };
    const platform::WindowHandle main = app.mainWindow()->handle();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(platform::test_input::click(main, c.button));
        void* const open = c.opened();
        ASSERT_NE(open, nullptr);
        std::vector<int> raised;
        for (Window* window : c.windows()) {
            window->nativeWindow()->minimise();
            ASSERT_TRUE(window->nativeWindow()->isMinimised());
            raised.push_back(platform::test_input::raises(window->handle()));
        }
        ASSERT_TRUE(platform::test_input::click(main, c.button));
        EXPECT_EQ(c.opened(), open);
        const std::vector<Window*> windows = c.windows();
        for (std::size_t i = 0; i < windows.size(); ++i) {
            EXPECT_FALSE(windows[i]->nativeWindow()->isMinimised()) << i;
            EXPECT_EQ(platform::test_input::raises(windows[i]->handle()) - raised[i], 1) << i;
        }
    }
}

}  // namespace
