#include "WindowTestSupport.h"

#include "framework/TimerClient.h"
#include "framework/WindowClient.h"
#include "platform/MidiIn.h"
#include "platform/TestInput.h"

#include <algorithm>
#include <thread>

namespace {

using Log = std::vector<std::string>;
namespace input = platform::test_input;

// Records what the window tells its owner.
class RecordingClient : public WindowClient, public TimerClient {
public:
    bool canClose(Window* /*window*/) override {
        log.push_back("canClose");
        return allowClose;
    }
    void painted(Window* /*window*/) override { log.push_back("painted"); }
    void character(Window* /*window*/, int code) override { log.push_back("character " + std::to_string(code)); }
    void postedMessage(Window* /*window*/, int wParam, int lParam) override {
        log.push_back("posted " + std::to_string(wParam) + " " + std::to_string(lParam));
        postedOnUiThread = platform::onUiThread();
    }
    void windowTimer(Window* /*window*/) override { log.push_back("timer"); }

    Log take() {
        Log taken;
        taken.swap(log);
        return taken;
    }
    Log log;
    bool allowClose = true;
    bool postedOnUiThread = false;
};

class RecordingMidiIn : public platform::MidiIn {
public:
    void inputCallback(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
        calls.push_back(std::to_string(message) + " " + std::to_string(wParam) + " " + std::to_string(lParam));
    }
    Log calls;
};

class WindowTest : public WindowTestBase {
protected:
    void SetUp() override {
        WindowTestBase::SetUp();
        skins->write("back", 60, 40, 30, 60, 90, 255);
        skins->write("tile", 10, 10, 250, 0, 0, 255);
    }

    // A window with one recording component over (10, 10)-(29, 19) that
    // redraws itself on every mouse call.
    Window& openRecorded(const std::string& title, const std::string& spyName = "spy") {
        Window& window = open(title, "back", &client);
        spy = new RecordingComponent(spyName, 10, 10, 29, 19, components);
        spy->onMouse = [component = spy] { component->redraw(); };
        window.add(spy);
        components.clear();
        client.take();
        window.nativeWindow()->takePresentedRects();
        return window;
    }
    Log takeComponents() {
        Log taken;
        taken.swap(components);
        return taken;
    }
    // The mouse calls only, without the redraws they cause.
    Log takeMouseCalls() {
        Log calls;
        for (std::string& entry : takeComponents()) {
            if (entry.find(" draw ") == std::string::npos) calls.push_back(std::move(entry));
        }
        return calls;
    }

    RecordingClient client;
    Log components;
    RecordingComponent* spy = nullptr;
};

TEST_F(WindowTest, TheTitleShowsTheFileAndTheModifiedMark) {
    Window& window = open("BeatMapper", "back");
    platform::NativeWindow& native = *window.nativeWindow();
    struct Step {
        std::function<void()> change;
        std::string title;
    };
    const Step steps[] = {
        {[] {}, "BeatMapper"},
        {[&] { window.setFileName("set.qrt"); }, "BeatMapper :: set.qrt"},
        {[&] { window.setModified(true); }, "BeatMapper :: set.qrt [changed]"},
        {[&] { window.setFileName(""); }, "BeatMapper [changed]"},
        {[&] { window.setModified(false); }, "BeatMapper"},
        {[&] { window.setFileName(std::string(600, 'x')); }, "BeatMapper :: " + std::string(600, 'x')},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(native.title(), step.title);
    }
    // Setting the flag it already has leaves the platform's title alone.
    window.setModified(true);
    native.setTitle("set behind the window's back");
    window.setModified(true);
    EXPECT_EQ(native.title(), "set behind the window's back");
}

TEST_F(WindowTest, ConfirmingTheDiscardOfChanges) {
    Window& window = open("Editor", "back");
    EXPECT_TRUE(window.confirmDiscard());
    EXPECT_TRUE(platform::uiScript::requests().empty()) << "no question while unmodified";
    window.setModified(true);
    platform::uiScript::pushNo();
    EXPECT_FALSE(window.confirmDiscard());
    platform::uiScript::pushYes();
    EXPECT_TRUE(window.confirmDiscard());
    const std::vector<platform::UiRequest> asked = platform::uiScript::requests();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].caption, "File Has Been Modified");
    EXPECT_EQ(asked[0].text,
              "The current file has been modified, but not saved. Are you sure you want to proceed and to discard the "
              "changes?");
}

TEST_F(WindowTest, MouseInputReachesTheTreeAndIsPresented) {
    Window& window = openRecorded("Mouse");
    platform::NativeWindow& native = *window.nativeWindow();
    const platform::WindowHandle h = window.handle();
    struct Step {
        const char* name;
        std::function<void()> act;
        Log calls;
    };
    const Step steps[] = {
        {"move", [&] { input::move(h, {12, 13}); }, {"spy move 12,13"}},
        {"press", [&] { input::press(h, {12, 13}); }, {"spy down 12,13"}},
        {"release", [&] { input::release(h, {12, 13}); }, {"spy up 12,13"}},
        {"double click", [&] { input::doubleClick(h, {12, 13}); },
         {"spy down 12,13", "spy up 12,13", "spy double 12,13", "spy up 12,13"}},
        {"wheel down", [&] { input::wheel(h, {5, 6}, -120); }, {"spy wheel 5,6 -1"}},
        {"wheel, half a notch", [&] { input::wheel(h, {5, 6}, 60); }, {"spy wheel 5,6 0"}},
        {"wheel, half a notch up", [&] { input::wheel(h, {5, 6}, -60); }, {"spy wheel 5,6 0"}},
        {"wheel, two notches", [&] { input::wheel(h, {5, 6}, 240); }, {"spy wheel 5,6 2"}},
    };
    // The spy redraws itself on every call; each call is presented at once.
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(takeMouseCalls(), step.calls);
        EXPECT_EQ(native.takePresentedRects(), std::vector<platform::Rect>(step.calls.size(), platform::Rect{10, 10, 20, 10}));
    }
    // The mouse leaving is not presented: what it drew goes out with the
    // next present.
    input::leave(h);
    EXPECT_EQ(takeMouseCalls(), (Log{"spy leave"}));
    EXPECT_TRUE(native.takePresentedRects().empty());
    input::move(h, {1, 1});
    EXPECT_EQ(native.takePresentedRects().size(), 2u);
}

TEST_F(WindowTest, CharactersGoToTheClientAndArePresented) {
    Window& window = openRecorded("Keys");
    window.redraw(GUIRectangle(0, 0, 1, 1));
    input::type(window.handle(), "a\xC3\xA9");
    EXPECT_EQ(client.take(), (Log{"character 97", "character 233"}));
    EXPECT_EQ(window.nativeWindow()->takePresentedRects(), (std::vector<platform::Rect>{{0, 0, 2, 2}}));
}

TEST_F(WindowTest, EachWindowTracksTheMouseLeavingItself) {
    Window& first = openRecorded("First", "first");
    Window& second = openRecorded("Second", "second");
    // The mouse goes through the first window into the second and leaves
    // both (the toolkit may tell the first of its leave on the way already).
    input::move(first.handle(), {5, 5});
    input::move(second.handle(), {7, 8});
    input::leave(second.handle());
    input::leave(first.handle());
    const Log calls = takeMouseCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "first leave"), 1) << ::testing::PrintToString(calls);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "second leave"), 1) << ::testing::PrintToString(calls);
    // Once left, a window hears of the next leave only after the mouse came back.
    input::leave(second.handle());
    EXPECT_TRUE(takeMouseCalls().empty());
    input::move(second.handle(), {9, 9});
    input::leave(second.handle());
    EXPECT_EQ(takeMouseCalls(), (Log{"second move 9,9", "second leave"}));
}

TEST_F(WindowTest, ClosingAsksTheClientAndPostsTheRequest) {
    Window& window = openRecorded("Closing");
    client.allowClose = false;
    input::close(window.handle());
    EXPECT_EQ(client.take(), (Log{"canClose"}));
    EXPECT_EQ(platform::queuedMessageCount(), 0);
    client.allowClose = true;
    input::close(window.handle());
    EXPECT_EQ(client.take(), (Log{"canClose"}));
    ASSERT_EQ(platform::queuedMessageCount(), 1);
    platform::Message message;
    ASSERT_TRUE(platform::getMessage(message));
    EXPECT_EQ(message.id, platform::closeRequestMessage);
    EXPECT_EQ(message.window, window.handle());
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.lParam, 0);

    // Without a client closing is always allowed.
    Window& plain = open("Plain", "back");
    input::close(plain.handle());
    ASSERT_TRUE(platform::getMessage(message));
    EXPECT_EQ(message.window, plain.handle());
}

TEST_F(WindowTest, PostedMessages) {
    Window& window = openRecorded("Posted");
    std::thread([&] { window.postToClient(-7, 123456); }).join();
    ASSERT_TRUE(dispatchUntil([&] { return !client.log.empty(); }));
    EXPECT_EQ(client.take(), (Log{"posted -7 123456"}));
    EXPECT_TRUE(client.postedOnUiThread);

    // 1025: the whole client area is drawn again and presented.
    platform::postMessage(window.handle(), platform::redrawMessage, 0, 0);
    ASSERT_TRUE(dispatchUntil([&] { return !components.empty(); }));
    EXPECT_EQ(takeComponents(), (Log{"spy draw 10,10-29,19"}));
    EXPECT_EQ(window.nativeWindow()->takePresentedRects(), (std::vector<platform::Rect>{{0, 0, 60, 40}}));
}

TEST_F(WindowTest, MidiInputGoesToTheObjectSet) {
    Window& window = openRecorded("Midi");
    RecordingMidiIn midi;
    const std::uint32_t ids[] = {0x3C0, 0x3C1, 0x3C2, 0x3C3, 0x3C4, 0x3C5, 0x3C6, 0x3C7, 0x3CB, 0x3CC, 0x3CD};
    for (std::uint32_t id : ids) platform::postMessage(window.handle(), id, 2, 0x7F14B0);
    platform::dispatchPostedMessages();
    EXPECT_TRUE(midi.calls.empty());  // not set yet: dropped
    window.setMidiIn(&midi);
    for (std::uint32_t id : ids) platform::postMessage(window.handle(), id, 2, 0x7F14B0);
    platform::dispatchPostedMessages();
    EXPECT_EQ(midi.calls, (Log{"961 2 8328368", "962 2 8328368", "963 2 8328368", "964 2 8328368", "965 2 8328368",
                               "966 2 8328368", "972 2 8328368"}));
    window.setMidiIn(nullptr);
}

TEST_F(WindowTest, PaintRequestsFromAnyThread) {
    Window& window = openRecorded("Paint");
    // Nothing invalid: the all-zero case draws nothing but the client hears of it.
    std::thread([&] { platform::requestPaint(window.handle()); }).join();
    ASSERT_TRUE(dispatchUntil([&] { return !client.log.empty(); }));
    EXPECT_EQ(client.take(), (Log{"painted"}));
    EXPECT_TRUE(takeComponents().empty());
    std::thread([&] { platform::invalidateWindow(window.handle(), {15, 12, 3, 2}); }).join();
    ASSERT_TRUE(dispatchUntil([&] { return !client.log.empty(); }));
    EXPECT_EQ(client.take(), (Log{"painted"}));
    EXPECT_EQ(takeComponents(), (Log{"spy draw 15,12-17,13"}));
}

TEST_F(WindowTest, ADisabledWindowRefusesInputButPaintsAndTicks) {
    Window& window = openRecorded("Disabled");
    platform::VirtualClock::enable(0);
    window.startTimer(50, &client);
    window.disable();
    input::click(window.handle(), {12, 12});
    input::move(window.handle(), {12, 12});
    input::wheel(window.handle(), {12, 12}, 120);
    input::type(window.handle(), "x");
    EXPECT_TRUE(takeComponents().empty());
    EXPECT_TRUE(client.log.empty());
    platform::postMessage(window.handle(), platform::redrawMessage, 0, 0);
    platform::VirtualClock::advance(50);
    platform::dispatchPostedMessages();
    EXPECT_EQ(takeComponents(), (Log{"spy draw 10,10-29,19"}));
    EXPECT_EQ(client.take(), (Log{"timer"}));
    window.enable();
    input::click(window.handle(), {12, 12});
    EXPECT_EQ(takeMouseCalls(), (Log{"spy down 12,12", "spy up 12,12"}));
}

TEST_F(WindowTest, UnderAModalBoxInputIsRefusedWhileTimersGoOn) {
    Window& window = openRecorded("Under a box");
    platform::VirtualClock::enable(0);
    window.startTimer(50, &client);
    window.setModified(true);
    platform::ScriptedAnswer answer;
    answer.kind = platform::ScriptedAnswer::Kind::Yes;
    answer.whileOpen = [&](platform::OpenUi&) {
        input::click(window.handle(), {12, 12});
        input::wheel(window.handle(), {12, 12}, 120);
        input::close(window.handle());
        platform::VirtualClock::advance(50);
        platform::dispatchPostedMessages();
    };
    platform::uiScript::push(answer);
    EXPECT_TRUE(window.confirmDiscard());
    EXPECT_TRUE(takeMouseCalls().empty());
    const Log heard = client.take();
    EXPECT_NE(std::find(heard.begin(), heard.end(), "timer"), heard.end());
    EXPECT_EQ(std::find(heard.begin(), heard.end(), "canClose"), heard.end()) << "the close went through";
}

class Ticks : public TimerClient {
public:
    void windowTimer(Window* window) override {
        ++count;
        window->redraw(GUIRectangle(0, 0, 0, 0));
    }
    int count = 0;
};

TEST_F(WindowTest, TheWindowTimerTicksUntilStopped) {
    Window& window = open("Timer", "back");
    platform::VirtualClock::enable(0);
    window.startTimer(50, nullptr);  // no client: nothing starts
    platform::VirtualClock::advance(100);
    platform::dispatchPostedMessages();
    Ticks ticks;
    window.nativeWindow()->takePresentedRects();
    window.startTimer(50, &ticks);
    for (int i = 1; i <= 3; ++i) {
        platform::VirtualClock::advance(50);
        platform::dispatchPostedMessages();
        EXPECT_EQ(ticks.count, i);
        EXPECT_EQ(window.nativeWindow()->takePresentedRects(), (std::vector<platform::Rect>{{0, 0, 1, 1}}));
    }
    window.stopTimer();
    platform::VirtualClock::advance(200);
    platform::dispatchPostedMessages();
    EXPECT_EQ(ticks.count, 3);
}

TEST_F(WindowTest, BringingToFrontRestoresAMinimisedWindow) {
    Window& window = open("Front", "back");
    window.nativeWindow()->minimise();
    ASSERT_TRUE(window.nativeWindow()->isMinimised());
    window.bringToFront();
    EXPECT_FALSE(window.nativeWindow()->isMinimised());
}

TEST_F(WindowTest, HandlesFindTheirWindows) {
    Window& window = open("Found", "back");
    EXPECT_EQ(Window::fromHandle(window.handle()), &window);
    EXPECT_EQ(Window::fromHandle(platform::noWindow), nullptr);
    EXPECT_EQ(Window::fromHandle(window.handle() + 1000), nullptr);
    const platform::WindowHandle gone = window.handle();
    windows.clear();
    EXPECT_EQ(Window::fromHandle(gone), nullptr);
}

TEST_F(WindowTest, TopLevelWindowsAreCentredInTheWorkArea) {
    struct Case {
        platform::Rect work;
        platform::FrameExtents frame;
        int xOffset, yOffset;
        platform::Point expected;
    };
    // The client is 60 x 40.
    const Case cases[] = {
        {{0, 0, 1280, 1024}, {0, 0, 0, 0}, 0, 0, {610, 492}},
        {{0, 0, 1024, 738}, {3, 26, 3, 3}, 0, 0, {479, 335}},
        {{0, 0, 1024, 738}, {3, 26, 3, 3}, 0, -100, {479, 235}},
        {{0, 0, 1024, 738}, {3, 26, 3, 3}, 25, 100, {504, 435}},
        {{0, 0, 65, 69}, {3, 26, 3, 3}, 0, 0, {0, 0}},           // one pixel short: the halving truncates to 0
        {{100, 30, 1024, 738}, {4, 4, 4, 4}, 0, 0, {578, 375}},  // a panel on the left and at the top
    };
    for (const Case& c : cases) {
        platform::setWorkArea(c.work);
        platform::setFrameExtents(c.frame);
        WindowParameters parameters;
        parameters.backgroundKey = "back";
        parameters.title = "Placed";
        parameters.xOffset = c.xOffset;
        parameters.yOffset = c.yOffset;
        Window& window = open(parameters);
        const platform::Point at = window.nativeWindow()->position();
        EXPECT_EQ(at.x, c.expected.x) << c.work.width << "x" << c.work.height;
        EXPECT_EQ(at.y, c.expected.y) << c.work.width << "x" << c.work.height;
        windows.clear();
    }
    platform::setFrameExtents({3, 26, 3, 3});
    for (auto [work, yOffset] : {std::pair{platform::Rect{0, 0, 63, 80}, 0}, std::pair{platform::Rect{0, 0, 1024, 738}, -400}}) {
        platform::setWorkArea(work);
        WindowParameters parameters;
        parameters.backgroundKey = "back";
        parameters.yOffset = yOffset;
        EXPECT_FATAL(open(parameters), "Please use a resolution of at least 1024 x 768.");
    }
}

TEST_F(WindowTest, DrawingGoesToTheBackImage) {
    Window& window = open("Drawing", "back");
    Image tile("tile", false);
    window.nativeWindow()->takePresentedRects();
    window.copyImage(tile, 5, 6, 0, 0, 4, 3);
    window.blendFill(0, 0, 255, 128, 20, 20, 2, 2);
    window.blendPixel(Color(0, 255, 0, 255), 30, 30);
    window.blendVerticalLine(255, 255, 255, 255, 40, 0, 39);
    window.blendHorizontalLine(0, 0, 0, 255, 0, 59, 39);
    window.blendImage(tile, 50, 0, 0, 0, 10, 10);
    window.present();
    EXPECT_EQ(window.nativeWindow()->takePresentedRects(), (std::vector<platform::Rect>{{5, 6, 4, 3}}));
    const Image& back = window.surface()->backImage();
    EXPECT_FALSE(back.getPixel(5, 6).differs(Color(250, 0, 0, 255)));
    EXPECT_FALSE(back.getPixel(20, 20).differs(Color((30 * 127) >> 8, (60 * 127) >> 8, (90 * 127 + 255 * 128) >> 8, 254)));
    EXPECT_FALSE(back.getPixel(30, 30).differs(Color(0, 254, 0, 255)));
    EXPECT_FALSE(back.getPixel(40, 5).differs(Color(254, 254, 254, 255)));
    EXPECT_FALSE(back.getPixel(3, 39).differs(Color(0, 0, 0, 255)));
    EXPECT_FALSE(back.getPixel(55, 5).differs(Color(250, 0, 0, 255)));
}

}  // namespace
