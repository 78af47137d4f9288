#include "GuiTestSkins.h"

#include "framework/GUIBar.h"
#include "framework/GUIImage.h"
#include "framework/GUIIndicator.h"
#include "framework/GUIMeter.h"
#include "framework/GUIMouseArea.h"
#include "framework/GUIMouseAreaClient.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

using gui_test::area;
using Strings = std::vector<std::string>;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();
constexpr Color green{0, 220, 0, 255};
constexpr Color red{230, 10, 10, 255};
constexpr Color blue{10, 10, 230, 255};

class GUISimpleTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        openWindow(200, 200);
    }
    template <typename Component>
    Component* place(Component* component) {
        window->add(component);
        window->redraw(*component);
        redraws();
        return component;
    }
};

TEST_F(GUISimpleTest, TheMeterShowsItsImageFromTheLevelDown) {
    gui_test::writeFace(*skins, "meter", 10, 100, green);
    GUIMeter* meter = place(new GUIMeter(20, 0, "meter", 0, 1));
    EXPECT_EQ(meter->barTop(), 99);
    struct MeterCase {
        float value;
        float level;
        int barTop;
        Strings redrawn;
    };
    const MeterCase cases[] = {
        {0.0f, 0.0f, 99, {}},
        {0.5f, 0.5f, 49, {"20,49-29,99"}},
        {0.5f, 0.5f, 49, {}},
        {0.504f, 0.504f, 49, {}},
        {1.0f, 1.0f, -1, {"20,0-29,49"}},  // the row above the window is cut off
        {2.0f, 1.0f, -1, {}},
        {infinity, 1.0f, -1, {}},
        {0.25f, 0.25f, 74, {"20,0-29,74"}},
        {nan, 0.0f, 99, {"20,74-29,99"}},
        {-infinity, 0.0f, 99, {}},
        {0.019f, 0.019f, 98, {"20,98-29,99"}},
    };
    for (const MeterCase& c : cases) {
        SCOPED_TRACE(c.value);
        meter->setValue(c.value);
        EXPECT_EQ(meter->level(), c.level);
        EXPECT_EQ(meter->barTop(), c.barTop);
        EXPECT_EQ(redraws(), c.redrawn);
        // barTop is the first row shown.
        if (c.barTop >= 1) {
            EXPECT_TRUE(shows(25, c.barTop - 1, gui_test::windowColor));
        }
        EXPECT_TRUE(shows(25, std::max(c.barTop, 0), green));
        EXPECT_TRUE(shows(25, 99, green));
    }
    meter->setValue(0.5f);
    meter->hide();
    EXPECT_TRUE(shows(25, 60, gui_test::windowColor));
    // An empty range keeps the bottom row.
    gui_test::writeFace(*skins, "flat", 10, 20, green);
    GUIMeter* flat = place(new GUIMeter(50, 50, "flat", 3, 3));
    flat->setValue(3);
    EXPECT_EQ(flat->barTop(), 69);
}

TEST_F(GUISimpleTest, TheBarColoursItsSpanOrWhatLiesOutside) {
    struct BarCase {
        float from, to;
        bool inside;
        std::vector<std::pair<int, int>> coloured;  // inclusive column spans
    };
    const BarCase cases[] = {
        {0.25f, 0.5f, true, {{25, 50}}},
        {0.25f, 0.5f, false, {{0, 24}, {51, 100}}},
        {0.5f, 0.25f, true, {}},
        {0.5f, 0.25f, false, {{0, 49}, {26, 100}}},
        {0.0f, 1.0f, false, {}},
        {0.0f, 1.0f, true, {{0, 100}}},
        {0.004f, 0.996f, true, {{0, 100}}},
        {0.006f, 0.994f, false, {{0, 0}, {100, 100}}},
        // Out of range, infinite and NaN fractions stay on the bar.
        {-1.0f, 2.0f, true, {{0, 100}}},
        {-infinity, infinity, false, {}},
        {nan, 0.5f, true, {{0, 50}}},
        {0.5f, nan, true, {}},
        {1e30f, 1e30f, true, {{100, 100}}},
        {-1e30f, -1e30f, false, {{1, 100}}},
    };
    GUIBar* bar = place(new GUIBar(10, 150, 101, 6, red));
    EXPECT_TRUE(shows(60, 152, Color(255, 255, 255, 255)));
    for (const BarCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " " + std::to_string(c.to) + (c.inside ? " inside" : " outside"));
        bar->setRange(c.from, c.to, c.inside, true);
        EXPECT_EQ(redraws(), Strings{area(10, 150, 101, 6)});
        std::string wanted, shown;
        for (int column = 0; column < 101; ++column) {
            bool coloured = false;
            for (const auto& span : c.coloured) coloured = coloured || (span.first <= column && column <= span.second);
            wanted += coloured ? 'x' : '.';
            const Color top = bar->image().getPixel(column, 0);
            const Color bottom = bar->image().getPixel(column, 5);
            EXPECT_FALSE(top.differs(bottom)) << column;
            EXPECT_EQ(top.alpha, 255) << column;
            shown += !top.differs(red) ? 'x' : !top.differs(Color(255, 255, 255, 255)) ? '.' : '?';
            EXPECT_EQ(pixel(10 + column, 153).red, top.red) << column;
        }
        EXPECT_EQ(shown, wanted);
    }
    // Without the redraw the window shows the change at the next redraw of
    // the area; the bar draws even when hidden.
    bar->setRange(0, 0, true, false);
    EXPECT_TRUE(redraws().empty());
    EXPECT_TRUE(shows(60, 152, red));
    bar->hide();
    EXPECT_TRUE(shows(60, 152, Color(255, 255, 255, 255)));
    EXPECT_TRUE(shows(10, 152, red));
}

TEST_F(GUISimpleTest, TheIndicatorShowsItsStateAndRedrawsOnlyOnAChange) {
    gui_test::writeIndicatorSkin(*skins, "lamp", 8, 8, green, red, blue);
    GUIIndicator* lamp = place(new GUIIndicator(30, 40, "lamp"));
    EXPECT_TRUE(shows(34, 44, blue));  // a new indicator is disabled
    struct StateCase {
        bool enabled, on;
        Color face;
        bool redrawn;
    };
    const StateCase cases[] = {
        {true, true, green, true},  {true, true, green, false}, {false, false, blue, true},
        {false, true, blue, false}, {true, false, red, true},   {false, true, blue, true},
        {true, true, green, true},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.enabled) + " " + std::to_string(c.on));
        lamp->setState(c.enabled, c.on);
        EXPECT_EQ(redraws(), c.redrawn ? Strings{area(30, 40, 8, 8)} : Strings{});
        EXPECT_TRUE(shows(34, 44, c.face));
    }
    // Disabling keeps the on flag.
    lamp->setState(false, false);
    EXPECT_TRUE(lamp->isOn());
    lamp->hide();
    EXPECT_TRUE(shows(34, 44, gui_test::windowColor));

    gui_test::writeIndicatorSkin(*skins, "offWide", 8, 8, green, red, blue);
    gui_test::writeFace(*skins, "offWideOff", 9, 8, red);
    gui_test::writeIndicatorSkin(*skins, "dimShort", 8, 8, green, red, blue);
    gui_test::writeFace(*skins, "dimShortDisabled", 8, 7, blue);
    for (const char* key : {"offWide", "dimShort"}) {
        SCOPED_TRACE(key);
        EXPECT_FATAL(GUIIndicator(0, 0, key), "Dimensions of Indicator images don't match.");
    }
}

TEST_F(GUISimpleTest, TheImageUnloadsAndReloadsRedrawingOnlyOnAChange) {
    gui_test::writeFace(*skins, "picture", 12, 6, green);
    GUIImage* picture = place(new GUIImage(100, 100, "picture"));
    EXPECT_EQ(gui_test::text(*picture), area(100, 100, 12, 6));
    EXPECT_TRUE(shows(105, 103, green));
    picture->load();
    EXPECT_TRUE(redraws().empty());
    picture->unload();
    EXPECT_EQ(redraws(), Strings{area(100, 100, 12, 6)});
    EXPECT_TRUE(shows(105, 103, gui_test::windowColor));
    picture->unload();
    EXPECT_TRUE(redraws().empty());
    picture->load();
    EXPECT_EQ(redraws(), Strings{area(100, 100, 12, 6)});
    EXPECT_TRUE(shows(105, 103, green));
    // It draws while hidden.
    picture->hide();
    EXPECT_TRUE(shows(105, 103, green));
}

class RecordingAreaClient : public GUIMouseAreaClient {
public:
    void mouseDown(GUIMouseArea*, const GUIPoint& p, bool doubleClick) override {
        calls.push_back((doubleClick ? "double " : "down ") + RecordingComponent::point(p));
    }
    void mouseUp(GUIMouseArea*, const GUIPoint& p) override { calls.push_back("up " + RecordingComponent::point(p)); }
    void mouseMove(GUIMouseArea*, const GUIPoint& p) override {
        calls.push_back("move " + RecordingComponent::point(p));
    }
    void mouseWheel(GUIMouseArea*, const GUIPoint& p, int notches) override {
        calls.push_back("wheel " + RecordingComponent::point(p) + " " + std::to_string(notches));
    }
    void mouseLeave(GUIMouseArea*) override { calls.push_back("leave"); }
    Strings calls;
};

TEST_F(GUISimpleTest, TheMouseAreaPassesOnWhatConcernsIt) {
    RecordingAreaClient client;
    GUIMouseArea* areaComponent = place(new GUIMouseArea(50, 60, 20, 10, &client));
    place(new GUIMouseArea(0, 0, 200, 200, nullptr));  // no client: ignores everything
    areaComponent->hide();                               // hidden areas still take the mouse
    GUIPanel* root = window->root();
    struct EventCase {
        GUIPoint point;
        Strings calls;  // of down (double), move, wheel, up, leave
    };
    const EventCase cases[] = {
        {GUIPoint(50, 60), {"double 50,60", "move 50,60", "wheel 50,60 -1", "up 50,60", "leave"}},
        {GUIPoint(69, 69), {"double 69,69", "move 69,69", "wheel 69,69 -1", "up 69,69", "leave"}},
        {GUIPoint(70, 65), {"up 70,65", "leave"}},
        {GUIPoint(49, 65), {"up 49,65", "leave"}},
        {GUIPoint(60, 70), {"up 60,70", "leave"}},
    };
    for (const EventCase& c : cases) {
        SCOPED_TRACE(RecordingComponent::point(c.point));
        client.calls.clear();
        root->mouseDown(c.point, true);
        root->mouseMove(c.point);
        root->mouseWheel(c.point, -1);
        root->mouseUp(c.point);
        root->mouseLeave();
        EXPECT_EQ(client.calls, c.calls);
    }
    EXPECT_TRUE(redraws().size() == 1);  // the hide; an area draws nothing itself
}

}  // namespace
