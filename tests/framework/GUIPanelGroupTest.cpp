#include "GuiTestSkins.h"

#include "framework/GUIPanelGroupClient.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUIPanelGroupVertical.h"

#include <memory>
#include <string>
#include <vector>

namespace {

using gui_test::area;
using Strings = std::vector<std::string>;

class RecordingGroupClient : public GUIPanelGroupClient {
public:
    void panelChanged(GUIPanelGroup* /*group*/, int previous, int current) override {
        calls.push_back(std::to_string(previous) + "->" + std::to_string(current));
    }
    Strings calls;
};

// Groups of four translucent panels at (10, 20): 200 x 100 for the
// horizontal form, 100 x 200 for the vertical one, with a 30-pixel band.
// Each panel holds a recording child over its whole area.
class GUIPanelGroupTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeFace(*skins, "wide", 200, 100, Color(0, 0, 0, 0));
        gui_test::writeFace(*skins, "tall", 100, 200, Color(0, 0, 0, 0));
        openWindow(240, 240);
    }

    GUIPanelGroup* makeGroup(bool vertical, int panels = 4, GUIPanelGroupClient* groupClient = nullptr) {
        if (vertical) return new GUIPanelGroupVertical(panels, 30, groupClient);
        return new GUIPanelGroupHorizontal(panels, 30, groupClient);
    }

    GUIPanelGroup* addGroup(bool vertical) {
        GUIPanelGroup* group = makeGroup(vertical, 4, &client);
        for (int i = 0; i < 4; ++i) {
            auto* panel = new GUIPanel(10, 20, vertical ? "tall" : "wide", false);
            panel->add(new RecordingComponent("p" + std::to_string(i), panel->x0, panel->y0, panel->x1, panel->y1,
                                              log));
            group->add(panel);
        }
        window->add(group);
        redraws();
        return group;
    }
    Strings take() {
        Strings taken;
        taken.swap(log);
        return taken;
    }

    RecordingGroupClient client;
    Strings log;
};

struct SelectorCase {
    bool vertical;
    GUIPoint point;
    int selected;  // -1: the press goes to the shown panel
};

TEST_F(GUIPanelGroupTest, ThePressInTheBandChoosesThePanelOtherPressesGoToTheShownOne) {
    const SelectorCase cases[] = {
        {false, GUIPoint(10 + 49, 20), 0},
        {false, GUIPoint(10 + 50, 20 + 29), 1},
        {false, GUIPoint(10 + 199, 20 + 10), 3},
        {false, GUIPoint(10, 20 + 29), 0},
        {false, GUIPoint(10 + 120, 20 + 30), -1},
        {false, GUIPoint(9, 25), -1},
        {false, GUIPoint(210, 25), -1},
        {false, GUIPoint(100, 19), -1},
        {true, GUIPoint(10, 20 + 49), 0},
        {true, GUIPoint(10 + 29, 20 + 50), 1},
        {true, GUIPoint(10 + 10, 20 + 199), 3},
        {true, GUIPoint(10 + 29, 20), 0},
        {true, GUIPoint(10 + 30, 20 + 120), -1},
        {true, GUIPoint(25, 19), -1},
        {true, GUIPoint(25, 220), -1},
        {true, GUIPoint(9, 100), -1},
    };
    for (const SelectorCase& c : cases) {
        SCOPED_TRACE(std::string(c.vertical ? "vertical " : "horizontal ") + RecordingComponent::point(c.point));
        openWindow(240, 240);
        client.calls.clear();
        GUIPanelGroup* group = addGroup(c.vertical);
        group->panel(2);
        redraws();
        client.calls.clear();
        take();
        window->root()->mouseDown(c.point, true);
        if (c.selected < 0) {
            EXPECT_EQ(group->selectedIndex(), 2);
            EXPECT_TRUE(client.calls.empty());
            EXPECT_EQ(take(), Strings{"p2 double " + RecordingComponent::point(c.point)});
            EXPECT_TRUE(redraws().empty());
        } else {
            EXPECT_EQ(group->selectedIndex(), c.selected);
            EXPECT_EQ(client.calls, Strings{"2->" + std::to_string(c.selected)});
            // The whole group is redrawn, with the new panel alone.
            EXPECT_EQ(redraws(), Strings{"10,20-" + std::string(c.vertical ? "109,219" : "209,119")});
            EXPECT_EQ(take(), Strings{"p" + std::to_string(c.selected) + " draw " + gui_test::text(*group)});
        }
    }
}

TEST_F(GUIPanelGroupTest, TheShownTabNotifiesAndRedrawsButPanelOfTheShownIndexDoesNothing) {
    for (bool vertical : {false, true}) {
        SCOPED_TRACE(vertical);
        openWindow(240, 240);
        client.calls.clear();
        GUIPanelGroup* group = addGroup(vertical);
        take();
        window->root()->mouseDown(GUIPoint(12, 22), false);
        EXPECT_EQ(client.calls, Strings{"0->0"});
        EXPECT_EQ(redraws().size(), 1u);
        group->panel(0);
        EXPECT_EQ(client.calls, Strings{"0->0"});
        EXPECT_TRUE(redraws().empty());
        group->panel(3);
        EXPECT_EQ(client.calls, (Strings{"0->0", "0->3"}));
        EXPECT_EQ(redraws(), Strings{gui_test::text(*group)});
        EXPECT_EQ(group->selectedIndex(), 3);
    }
}

TEST_F(GUIPanelGroupTest, OnlyTheShownPanelGetsMouseCallsAndNoneTheLeave) {
    GUIPanelGroup* group = addGroup(false);
    group->panel(1);
    take();
    GUIPanel* root = window->root();
    root->mouseUp(GUIPoint(1, 2));
    root->mouseMove(GUIPoint(3, 4));
    root->mouseWheel(GUIPoint(5, 6), 2);
    root->mouseLeave();
    EXPECT_EQ(take(), (Strings{"p1 up 1,2", "p1 move 3,4", "p1 wheel 5,6 2"}));
    // Drawing: the shown panel only, and nothing while the group is hidden.
    window->redraw(GUIRectangle(0, 0, 239, 239));
    EXPECT_EQ(take(), Strings{"p1 draw 10,20-209,119"});
    group->hide();
    take();
    window->redraw(GUIRectangle(0, 0, 239, 239));
    EXPECT_TRUE(take().empty());
}

TEST_F(GUIPanelGroupTest, TheGroupsRectangleHoldsAllItsPanels) {
    gui_test::writeFace(*skins, "small", 20, 10, Color(0, 0, 0, 0));
    struct UnionCase {
        int x, y;
        const char* rectangle;  // after this panel
    };
    const UnionCase cases[] = {{50, 60, "50,60-69,69"}, {40, 65, "40,60-69,74"}, {45, 62, "40,60-69,74"},
                               {100, 20, "40,20-119,74"}};
    std::unique_ptr<GUIPanelGroup> group(makeGroup(false, 4));
    EXPECT_EQ(gui_test::text(*group), "0,0-0,0");
    for (const UnionCase& c : cases) {
        group->add(new GUIPanel(c.x, c.y, "small", false));
        EXPECT_EQ(gui_test::text(*group), c.rectangle);
    }
}

TEST_F(GUIPanelGroupTest, IncompleteOrOverfullGroupsAndBadIndicesStopTheProgram) {
    for (bool vertical : {false, true}) {
        SCOPED_TRACE(vertical);
        EXPECT_FATAL(makeGroup(vertical, 0), "A panel group must count at least one panel.");
        EXPECT_FATAL(makeGroup(vertical, -1), "A panel group must count at least one panel.");
        EXPECT_FATAL(makeGroup(vertical, 101), "Maximum number of panels exceeded.");
        std::unique_ptr<GUIPanelGroup> hundred(makeGroup(vertical, 100));
        EXPECT_EQ(hundred->panelCount(), 100);

        std::unique_ptr<GUIPanelGroup> group(makeGroup(vertical, 2));
        group->add(new GUIPanel(0, 0, "wide", false));
        const GUIRectangle clip(0, 0, 5, 5);
        EXPECT_FATAL(group->draw(clip), "Not all panels have been added.");
        EXPECT_FATAL(group->mouseDown(GUIPoint(1, 1), false), "Not all panels have been added.");
        EXPECT_FATAL(group->mouseUp(GUIPoint(1, 1)), "Not all panels have been added.");
        EXPECT_FATAL(group->mouseMove(GUIPoint(1, 1)), "Not all panels have been added.");
        EXPECT_FATAL(group->mouseWheel(GUIPoint(1, 1), 1), "Not all panels have been added.");
        EXPECT_FATAL(group->panel(0), "Not all panels have been added.");
        group->add(new GUIPanel(0, 0, "wide", false));
        std::unique_ptr<GUIPanel> extra(new GUIPanel(0, 0, "wide", false));
        EXPECT_FATAL(group->add(extra.get()), "Trying to add too many panels.");
        EXPECT_EQ(group->addedCount(), 2);
        EXPECT_FATAL(group->panel(-1), "Invalid panel index.");
        EXPECT_FATAL(group->panel(2), "Invalid panel index.");
        group->panel(1);
        EXPECT_EQ(group->selectedIndex(), 1);
    }
}

TEST_F(GUIPanelGroupTest, FatalStopsAreReportedAgainstTheFormsOwnUnit) {
    for (bool vertical : {false, true}) {
        const std::string unit = vertical ? "GUIPanelGroupVertical.cpp" : "GUIPanelGroupHorizontal.cpp";
        EXPECT_EQ(gui_test::fatalUnit([&] { makeGroup(vertical, 0); }), unit);
        std::unique_ptr<GUIPanelGroup> group(makeGroup(vertical, 1));
        EXPECT_EQ(gui_test::fatalUnit([&] { group->panel(0); }), unit);
    }
}

}  // namespace
