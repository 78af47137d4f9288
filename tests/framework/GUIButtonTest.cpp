#include "GuiTestSkins.h"

#include "framework/ButtonClient.h"
#include "framework/ButtonGroupClient.h"
#include "framework/GUIButton.h"
#include "framework/GUIButtonManager.h"
#include "framework/Surface.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using gui_test::area;
using Strings = std::vector<std::string>;

constexpr Color upColor{200, 0, 0, 255};
constexpr Color downColor{0, 0, 200, 255};

// Records each call; `snapshot` adds what the window held at that moment.
class RecordingButtonClient : public ButtonClient {
public:
    void buttonPressed(GUIButton* /*button*/) override { calls.push_back("pressed" + state()); }
    void buttonReleased(GUIButton* /*button*/) override { calls.push_back("released" + state()); }

    std::function<std::string()> snapshot;
    Strings calls;

private:
    std::string state() const { return snapshot ? " " + snapshot() : ""; }
};

class RecordingGroupClient : public ButtonGroupClient {
public:
    void groupButtonPressed(GUIButtonManager* /*group*/, int index) override { indices.push_back(index); }
    std::vector<int> indices;
};

class GUIButtonTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeButtonSkin(*skins, "button", 20, 10, upColor, downColor);
        openWindow();
    }

    GUIButton* addButton(int x, int y, ButtonClient* client, int mode, bool down) {
        auto* button = new GUIButton(x, y, "button", client, mode, down);
        window->add(button);
        window->redraw(*button);
        redraws();
        return button;
    }

    // The face shown at the middle of a button at (10, 10).
    std::string face() {
        if (shows(20, 15, downColor)) return "down face";
        if (shows(20, 15, upColor)) return "up face";
        return "no face";
    }
};

enum class Where { opaque, transparent, outside };
enum class Event { press, release };

struct ButtonCase {
    int mode;
    bool initiallyDown;
    Event event;
    Where where;
    bool down;            // afterwards
    const char* call;     // the client's call, or null
};

// The button lies at (10, 10)-(29, 19); its mask is clear at the corners.
GUIPoint pointAt(Where where) {
    switch (where) {
        case Where::opaque: return GUIPoint(11, 10);
        case Where::transparent: return GUIPoint(29, 19);
        case Where::outside: return GUIPoint(30, 15);
    }
    return GUIPoint();
}

TEST_F(GUIButtonTest, ModeStateAndPlaceDecideTheNewStateTheCallAndTheRedraw) {
    const int latching = GUIButton::latching;
    const ButtonCase cases[] = {
        {GUIButton::momentary, false, Event::press, Where::opaque, true, "pressed"},
        {GUIButton::momentary, false, Event::press, Where::transparent, false, nullptr},
        {GUIButton::momentary, false, Event::press, Where::outside, false, nullptr},
        {GUIButton::momentary, true, Event::press, Where::opaque, true, nullptr},
        {GUIButton::momentary, true, Event::release, Where::opaque, false, "released"},
        {GUIButton::momentary, true, Event::release, Where::outside, false, "released"},
        {GUIButton::momentary, false, Event::release, Where::opaque, false, nullptr},
        {GUIButton::toggle, false, Event::press, Where::opaque, true, "pressed"},
        {GUIButton::toggle, true, Event::press, Where::opaque, false, "released"},
        {GUIButton::toggle, true, Event::press, Where::transparent, true, nullptr},
        {GUIButton::toggle, false, Event::press, Where::outside, false, nullptr},
        {GUIButton::toggle, true, Event::release, Where::opaque, true, nullptr},
        {latching, false, Event::press, Where::opaque, true, "pressed"},
        {latching, false, Event::press, Where::transparent, false, nullptr},
        {latching, true, Event::press, Where::opaque, true, nullptr},
        {latching, true, Event::release, Where::opaque, true, nullptr},
        {latching, true, Event::release, Where::outside, true, nullptr},
        {7, false, Event::press, Where::opaque, true, "pressed"},
        {7, true, Event::press, Where::opaque, true, nullptr},
    };
    for (const ButtonCase& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + (c.initiallyDown ? " down" : " up") +
                     (c.event == Event::press ? " press" : " release") + " at " +
                     std::to_string(static_cast<int>(c.where)));
        openWindow();  // a fresh window: earlier buttons would take the events too
        RecordingButtonClient client;
        GUIButton* button = addButton(10, 10, &client, c.mode, c.initiallyDown);
        if (c.event == Event::press) {
            window->root()->mouseDown(pointAt(c.where), false);
        } else {
            window->root()->mouseUp(pointAt(c.where));
        }
        EXPECT_EQ(button->isDown(), c.down);
        EXPECT_EQ(client.calls, c.call ? Strings{c.call} : Strings{});
        const bool changed = c.down != c.initiallyDown;
        EXPECT_EQ(redraws(), changed ? Strings{area(10, 10, 20, 10)} : Strings{});
        EXPECT_EQ(face(), c.down ? "down face" : "up face");
    }
}

TEST_F(GUIButtonTest, PressesShowTheNewFaceBeforeTheClientRunsAndMomentaryReleasesAfter) {
    RecordingButtonClient client;
    client.snapshot = [&] {
        return face() + ", " + std::to_string(redraws().size()) + " redraw, " + std::to_string(marked().size()) +
               " marked";
    };
    for (int mode : {GUIButton::toggle, GUIButton::latching}) {
        openWindow();
        addButton(10, 10, &client, mode, false);
        window->root()->mouseDown(GUIPoint(20, 15), true);
        // Drawn and presented (nothing left marked) before the call.
        EXPECT_EQ(client.calls, Strings{"pressed down face, 1 redraw, 0 marked"});
        client.calls.clear();
    }
    openWindow();
    addButton(10, 10, &client, GUIButton::toggle, true);
    window->root()->mouseDown(GUIPoint(20, 15), false);
    EXPECT_EQ(client.calls, Strings{"released up face, 1 redraw, 0 marked"});
    client.calls.clear();

    openWindow();
    // A momentary button tells the client before it redraws, also when the
    // pointer left it.
    GUIButton* momentary = addButton(10, 10, &client, GUIButton::momentary, false);
    window->root()->mouseDown(GUIPoint(20, 15), false);
    client.calls.clear();
    window->root()->mouseUp(GUIPoint(100, 100));
    EXPECT_EQ(client.calls, Strings{"released down face, 0 redraw, 0 marked"});
    EXPECT_FALSE(momentary->isDown());
    EXPECT_EQ(redraws(), Strings{area(10, 10, 20, 10)});
    EXPECT_EQ(face(), "up face");
}

TEST_F(GUIButtonTest, SetDownAndSetUpRedrawOnlyOnAChangeAndTellNoOne) {
    RecordingButtonClient client;
    GUIButton* button = addButton(10, 10, &client, GUIButton::latching, false);
    button->setUp();
    EXPECT_TRUE(redraws().empty());
    button->setDown();
    EXPECT_EQ(redraws(), Strings{area(10, 10, 20, 10)});
    EXPECT_EQ(face(), "down face");
    button->setDown();
    EXPECT_TRUE(redraws().empty());
    button->setUp();
    EXPECT_EQ(redraws(), Strings{area(10, 10, 20, 10)});
    EXPECT_EQ(face(), "up face");
    EXPECT_TRUE(client.calls.empty());

    // A hidden button draws nothing, yet still takes presses.
    button->hide();
    redraws();
    window->root()->mouseDown(GUIPoint(20, 15), false);
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(client.calls, Strings{"pressed"});
    EXPECT_TRUE(shows(20, 15, gui_test::windowColor));
}

TEST_F(GUIButtonTest, ImagesOfAnotherSizeStopTheProgram) {
    gui_test::writeFace(*skins, "wideDown", 21, 10, downColor);
    gui_test::writeFace(*skins, "wideUp", 20, 10, upColor);
    gui_test::writeMask(*skins, "wideMask", 20, 10);
    gui_test::writeFace(*skins, "tallDown", 20, 10, downColor);
    gui_test::writeFace(*skins, "tallUp", 20, 10, upColor);
    gui_test::writeMask(*skins, "tallMask", 20, 11);
    for (const char* key : {"wide", "tall"}) {
        SCOPED_TRACE(key);
        EXPECT_FATAL(GUIButton(0, 0, key, nullptr, 0, false), "Dimensions of button images / mask don't match.");
    }
}

class GUIButtonManagerTest : public GUIButtonTest {
protected:
    // Three latching buttons side by side at x = 10, 40, 70.
    void addGroup(int mode = GUIButton::latching) {
        for (int i = 0; i < 3; ++i) {
            buttons.push_back(addButton(10 + 30 * i, 10, &manager, mode, false));
            manager.add(buttons.back());
        }
    }
    Strings states() const {
        Strings s;
        for (GUIButton* b : buttons) s.push_back(b->isDown() ? "down" : "up");
        return s;
    }

    RecordingGroupClient group;
    GUIButtonManager manager{&group};
    std::vector<GUIButton*> buttons;
};

TEST_F(GUIButtonManagerTest, APressSetsTheOthersUpAndReportsItsIndex) {
    addGroup();
    EXPECT_EQ(manager.selectedIndex(), 0);  // none down answers 0
    window->root()->mouseDown(GUIPoint(75, 15), false);
    EXPECT_EQ(states(), (Strings{"up", "up", "down"}));
    EXPECT_EQ(group.indices, std::vector<int>{2});
    EXPECT_EQ(manager.selectedIndex(), 2);
    redraws();
    window->root()->mouseDown(GUIPoint(45, 15), false);
    EXPECT_EQ(states(), (Strings{"up", "down", "up"}));
    EXPECT_EQ(group.indices, (std::vector<int>{2, 1}));
    // The pressed button, then the one that went up.
    EXPECT_EQ(redraws(), (Strings{area(40, 10, 20, 10), area(70, 10, 20, 10)}));
    // The button already down ignores the click.
    window->root()->mouseDown(GUIPoint(45, 15), false);
    EXPECT_EQ(group.indices, (std::vector<int>{2, 1}));
    EXPECT_TRUE(redraws().empty());
}

TEST_F(GUIButtonManagerTest, SelectSetsOneDownOrAllUpAndTellsNoOne) {
    addGroup();
    struct SelectCase {
        int index;
        Strings states;
        int selected;
    };
    const SelectCase cases[] = {
        {1, {"up", "down", "up"}, 1},
        {2, {"up", "up", "down"}, 2},
        {0, {"down", "up", "up"}, 0},
        {3, {"up", "up", "up"}, 0},
        {-1, {"up", "up", "up"}, 0},
    };
    for (const SelectCase& c : cases) {
        SCOPED_TRACE(c.index);
        manager.select(c.index);
        EXPECT_EQ(states(), c.states);
        EXPECT_EQ(manager.selectedIndex(), c.selected);
    }
    EXPECT_TRUE(group.indices.empty());
    redraws();
    manager.select(1);
    manager.select(1);  // no change: no redraw
    EXPECT_EQ(redraws(), Strings{area(40, 10, 20, 10)});
}

TEST_F(GUIButtonManagerTest, AToggleReleasedInAGroupReportsNothingAndLeavesNoneDown) {
    addGroup(GUIButton::toggle);
    window->root()->mouseDown(GUIPoint(45, 15), false);
    EXPECT_EQ(group.indices, std::vector<int>{1});
    window->root()->mouseDown(GUIPoint(45, 15), false);
    EXPECT_EQ(states(), (Strings{"up", "up", "up"}));
    EXPECT_EQ(group.indices, std::vector<int>{1});
}

TEST_F(GUIButtonManagerTest, TheFiftyFirstButtonStopsTheProgram) {
    GUIButton button(0, 0, "button", &manager, GUIButton::latching, false);
    for (int i = 0; i < 50; ++i) manager.add(&button);
    EXPECT_EQ(manager.count(), 50);
    EXPECT_FATAL(manager.add(&button), "Too many buttons to manage.");
}

}  // namespace
