#include "GuiTestSkins.h"

#include "framework/GUIScrollbarClient.h"
#include "framework/GUIScrollbarVertical.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/GUISliderVertical.h"
#include "framework/ResponseCurves.h"
#include "framework/SliderClient.h"

#include <cmath>
#include <iomanip>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using gui_test::area;
using Strings = std::vector<std::string>;

constexpr Color knobColor{250, 250, 0, 255};
constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

// "what value", the value with every digit a float needs.
std::string call(const std::string& what, float value) {
    std::ostringstream text;
    text << what << ' ' << std::setprecision(9) << value;
    return text.str();
}

class RecordingSliderClient : public SliderClient {
public:
    void sliderChanged(GUISlider* /*slider*/, float value) override { calls.push_back(call("changed", value)); }
    void sliderReleased(GUISlider* /*slider*/, float value) override { calls.push_back(call("released", value)); }
    Strings calls;
};

class RecordingScrollbarClient : public GUIScrollbarClient {
public:
    void scrolled(GUIScrollbar* /*scrollbar*/, int first) override { calls.push_back(call("scrolled", float(first))); }
    void scrollReleased(GUIScrollbar* /*scrollbar*/, int first) override {
        calls.push_back(call("released", float(first)));
    }
    Strings calls;
};

// Sliders 100 pixels along their travel axis and 20 across, with a 10 x 10
// knob: 90 pixels of travel, 5 pixels across. The horizontal one lies at
// (20, 30), the vertical one at (150, 20).
class GUISliderTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeSliderSkin(*skins, "knob", 10, 10, knobColor);
        openWindow();
    }

    GUISlider* addSlider(bool vertical, float value, float minimum = 0, float maximum = 1, bool linear = true) {
        GUISlider* slider;
        if (vertical) {
            slider = new GUISliderVertical(150, 20, 20, 100, "knob", value, minimum, maximum, linear, &client);
        } else {
            slider = new GUISliderHorizontal(20, 30, 100, 20, "knob", value, minimum, maximum, linear, &client);
        }
        window->add(slider);
        window->redraw(*slider);
        redraws();
        return slider;
    }

    RecordingSliderClient client;
};

struct PlaceCase {
    bool vertical;
    bool linear;
    float value;
    int along;
};

TEST_F(GUISliderTest, TheValuePlacesTheKnobAndIsKeptAsGiven) {
    const int logHalf = static_cast<int>(static_cast<double>(logarithmicScale(0.5f)) * 90);
    const PlaceCase cases[] = {
        {false, true, 0.5f, 45},
        {false, true, 0.505f, 45},
        {false, true, 0.0f, 0},
        {false, true, 1.0f, 90},
        {true, true, 1.0f, 0},
        {true, true, 0.0f, 90},
        {true, true, 0.5f, 45},
        {false, false, 0.5f, logHalf},
        {true, false, 0.5f, static_cast<int>(90 - static_cast<double>(logarithmicScale(0.5f)) * 90)},
        // Out of range and NaN: the knob stays on its track.
        {false, true, 2.0f, 90},
        {false, true, -1.0f, 0},
        {false, true, infinity, 90},
        {false, true, -infinity, 0},
        {false, true, nan, 0},
        {true, true, nan, 90},
        {true, true, 7.0f, 0},
        {false, false, -3.0f, 0},
        {false, false, 5.0f, 90},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(std::string(c.vertical ? "vertical " : "horizontal ") + (c.linear ? "linear " : "curved ") +
                     std::to_string(c.value));
        openWindow();
        GUISlider* slider = addSlider(c.vertical, c.value, 0, 1, c.linear);
        EXPECT_EQ(slider->knobOffset(), c.along);
        if (std::isnan(c.value)) {
            EXPECT_TRUE(std::isnan(slider->value()));
        } else {
            EXPECT_EQ(slider->value(), c.value);
        }
        const GUIRectangle knob = slider->knobRectangle();
        EXPECT_EQ(gui_test::text(knob), c.vertical ? area(155, 20 + c.along, 10, 10) : area(20 + c.along, 35, 10, 10));
        EXPECT_TRUE(shows(knob.x0 + 5, knob.y0 + 5, knobColor));
    }
    // A range of one value places the knob at its start.
    openWindow();
    EXPECT_EQ(addSlider(false, 3, 3, 3)->knobOffset(), 0);
}

TEST_F(GUISliderTest, DraggingTheKnobReportsEachNewPixelAndTheRelease) {
    struct DragCase {
        bool vertical;
        GUIPoint grab;   // on the knob at along 45
        int dx, dy;      // one step of the pointer
        float reported;  // after the step: along 54 horizontal, 36 vertical
        const char* area;
    };
    const DragCase cases[] = {
        {false, GUIPoint(70, 40), 9, 1, 0.6f, "65,35-83,44"},
        {true, GUIPoint(160, 70), 2, -9, 0.6f, "155,56-164,74"},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.vertical ? "vertical" : "horizontal");
        openWindow();
        client.calls.clear();
        GUISlider* slider = addSlider(c.vertical, 0.5f);
        window->root()->mouseDown(c.grab, false);
        EXPECT_TRUE(slider->isDragging());
        window->root()->mouseMove(GUIPoint(c.grab.x + c.dx, c.grab.y + c.dy));
        EXPECT_EQ(slider->knobOffset(), c.vertical ? 36 : 54);
        EXPECT_EQ(client.calls, (Strings{call("changed", c.reported)}));
        // One redraw covering the old and the new knob.
        EXPECT_EQ(redraws(), Strings{c.area});
        EXPECT_TRUE(shows(slider->knobRectangle().x0 + 5, slider->knobRectangle().y0 + 5, knobColor));
        // The same pixel again, across the axis only: nothing.
        window->root()->mouseMove(GUIPoint(c.grab.x + c.dx + (c.vertical ? 3 : 0), c.grab.y + c.dy + (c.vertical ? 0 : 3)));
        EXPECT_EQ(client.calls.size(), 1u);
        EXPECT_TRUE(redraws().empty());
        // Far past each end (the minimum first): the knob stops at the end
        // and reports the limit.
        window->root()->mouseMove(GUIPoint(c.grab.x - 500, c.grab.y + 500));
        window->root()->mouseMove(GUIPoint(c.grab.x + 500, c.grab.y - 500));
        window->root()->mouseMove(GUIPoint(c.grab.x + 900, c.grab.y - 900));
        // Released far outside the slider.
        window->root()->mouseUp(GUIPoint(0, 0));
        EXPECT_FALSE(slider->isDragging());
        window->root()->mouseMove(GUIPoint(c.grab.x, c.grab.y));
        window->root()->mouseUp(GUIPoint(c.grab.x, c.grab.y));
        EXPECT_EQ(client.calls, (Strings{call("changed", c.reported), "changed 0", "changed 1", "released 1"}));
    }
}

TEST_F(GUISliderTest, ACurvedSliderReportsValuesThroughTheExponentialCurve) {
    GUISlider* slider = addSlider(false, 7, 2, 12, false);
    const int along = static_cast<int>(static_cast<double>(logarithmicScale(0.5f)) * 90);
    ASSERT_EQ(slider->knobOffset(), along);
    const GUIRectangle knob = slider->knobRectangle();
    window->root()->mouseDown(GUIPoint(knob.x0 + 4, knob.y0 + 4), false);
    // Worked out in extended precision and stored as float.
    Strings expected;
    float last = 0;
    for (int step : {-30, 11, 7}) {
        const int now = slider->knobOffset() + step;
        window->root()->mouseMove(GUIPoint(knob.x0 + 4 + now - along, knob.y0 + 4));
        const float position = static_cast<float>(static_cast<long double>(now) / 90);
        last = static_cast<float>(static_cast<long double>(exponentialScale(position)) * 10 + 2);
        expected.push_back(call("changed", last));
        EXPECT_EQ(slider->knobOffset(), now);
    }
    EXPECT_EQ(client.calls, expected);
    EXPECT_EQ(slider->value(), last);
}

TEST_F(GUISliderTest, PressesOffTheKnobOrOnItsClearPixelsNeverMoveIt) {
    GUISlider* slider = addSlider(false, 0.5f);  // knob at (65, 35)-(74, 44)
    for (const GUIPoint& p : {GUIPoint(30, 40), GUIPoint(64, 40), GUIPoint(75, 40), GUIPoint(65, 35), GUIPoint(74, 44)}) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        window->root()->mouseDown(p, false);
        EXPECT_FALSE(slider->isDragging());
        window->root()->mouseMove(GUIPoint(p.x + 20, p.y));
        window->root()->mouseUp(GUIPoint(p.x + 20, p.y));
        EXPECT_EQ(slider->knobOffset(), 45);
    }
    EXPECT_TRUE(client.calls.empty());
    EXPECT_TRUE(redraws().empty());
}

TEST_F(GUISliderTest, SetValueClampsMovesTheKnobAndTellsNoOne) {
    GUISlider* slider = addSlider(false, 0.5f);
    struct SetCase {
        float given;
        float stored;
        int along;
        const char* area;
    };
    const SetCase cases[] = {
        {5.0f, 1.0f, 90, "65,35-119,44"},
        {-2.0f, 0.0f, 0, "20,35-119,44"},
        {0.25f, 0.25f, 22, "20,35-51,44"},
        {0.25f, 0.25f, 22, "42,35-51,44"},  // no move: the knob alone
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.given);
        slider->setValue(c.given);
        EXPECT_EQ(slider->value(), c.stored);
        EXPECT_EQ(slider->knobOffset(), c.along);
        EXPECT_EQ(redraws(), Strings{c.area});
    }
    EXPECT_TRUE(client.calls.empty());
    EXPECT_TRUE(shows(47, 40, knobColor));
    EXPECT_TRUE(shows(80, 40, gui_test::windowColor));  // the old knob erased
    slider->setValue(nan);
    EXPECT_EQ(slider->knobOffset(), 0);
    slider->notifyListener();
    EXPECT_EQ(client.calls, Strings{"changed nan"});
}

TEST_F(GUISliderTest, AKnobThatDoesNotFitItsSkinOrSliderStopsTheProgram) {
    gui_test::writeFace(*skins, "oddSlider", 10, 10, knobColor);
    gui_test::writeMask(*skins, "oddMask", 10, 9);
    struct FatalCase {
        bool vertical;
        const char* key;
        int width, height;
        const char* text;
    };
    const FatalCase cases[] = {
        {false, "odd", 100, 20, "Dimensions of slider and mask don't match."},
        {true, "odd", 20, 100, "Dimensions of slider and mask don't match."},
        {false, "knob", 9, 20, "Slider knob does not fit the slider."},
        {true, "knob", 20, 9, "Slider knob does not fit the slider."},
    };
    for (const FatalCase& c : cases) {
        SCOPED_TRACE(std::string(c.key) + (c.vertical ? " vertical" : " horizontal"));
        if (c.vertical) {
            EXPECT_FATAL(GUISliderVertical(0, 0, c.width, c.height, c.key, 0, 0, 1, true, nullptr), c.text);
        } else {
            EXPECT_FATAL(GUISliderHorizontal(0, 0, c.width, c.height, c.key, 0, 0, 1, true, nullptr), c.text);
        }
    }
    EXPECT_EQ(gui_test::fatalUnit([] { GUISliderVertical(0, 0, 20, 9, "knob", 0, 0, 1, true, nullptr); }),
              "GUISliderVertical.cpp");
    EXPECT_EQ(gui_test::fatalUnit([] { GUISliderHorizontal(0, 0, 9, 20, "knob", 0, 0, 1, true, nullptr); }),
              "GUISliderHorizontal.cpp");
    // A knob as long as the slider fits, and cannot move.
    GUISlider* tight = new GUISliderHorizontal(0, 0, 10, 10, "knob", 0.5f, 0, 1, true, &client);
    window->add(tight);
    window->root()->mouseDown(GUIPoint(5, 5), false);
    window->root()->mouseMove(GUIPoint(50, 5));
    EXPECT_EQ(tight->knobOffset(), 0);
    window->root()->mouseUp(GUIPoint(50, 5));
    EXPECT_EQ(client.calls, (Strings{call("released", 0.5f)}));
}

// A scrollbar 16 x 200 at (180, 20) with a 12 x 20 thumb: 180 pixels of room.
class GUIScrollbarTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeSliderSkin(*skins, "thumb", 12, 20, knobColor);
        openWindow(220, 240);
    }
    GUIScrollbarVertical* addScrollbar(int total, int visibleItems, int first) {
        auto* scrollbar = new GUIScrollbarVertical(180, 20, 16, 200, "thumb", total, visibleItems, first, &client);
        window->add(scrollbar);
        window->redraw(*scrollbar);
        redraws();
        return scrollbar;
    }
    // Grabs the thumb 5 pixels below its top and moves the pointer by dy.
    void drag(GUIScrollbarVertical* scrollbar, int dy) {
        const int y = 20 + scrollbar->thumbTop() + 5;
        window->root()->mouseDown(GUIPoint(185, y), false);
        window->root()->mouseMove(GUIPoint(185, y + dy));
    }

    RecordingScrollbarClient client;
};

TEST_F(GUIScrollbarTest, TheRangePlacesTheThumb) {
    struct RangeCase {
        int total, visibleItems, first;
        int thumbTop;
    };
    const RangeCase cases[] = {
        {100, 10, 45, 90},  {100, 10, 0, 0},   {100, 10, 90, 180}, {5, 10, 0, 90},
        {10, 10, 0, 90},    {11, 10, 1, 180},  {1000, 25, 1, 0},   {2000000000, 1, 1999999999, 180},
        {2000000000, 1, 1000000000, 90},
    };
    GUIScrollbarVertical* scrollbar = addScrollbar(100, 10, 0);
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.total) + " " + std::to_string(c.visibleItems) + " " + std::to_string(c.first));
        scrollbar->setRange(c.total, c.visibleItems, c.first);
        EXPECT_EQ(scrollbar->thumbTop(), c.thumbTop);
        EXPECT_EQ(scrollbar->first(), c.first);
        EXPECT_EQ(redraws(), Strings{"180,20-195,219"});  // the whole scrollbar
        EXPECT_TRUE(shows(185, 20 + c.thumbTop + 10, knobColor));
        GUIScrollbarVertical fresh(0, 0, 16, 200, "thumb", c.total, c.visibleItems, c.first, nullptr);
        EXPECT_EQ(fresh.thumbTop(), c.thumbTop);
    }
    EXPECT_TRUE(client.calls.empty());
}

TEST_F(GUIScrollbarTest, DraggingReportsTheFirstItemAtEachNewPixel) {
    GUIScrollbarVertical* scrollbar = addScrollbar(100, 10, 45);
    drag(scrollbar, 1);  // thumbTop 91: 45.5 items, truncated
    EXPECT_EQ(scrollbar->thumbTop(), 91);
    EXPECT_EQ(redraws(), Strings{area(180, 110, 12, 21)});
    window->root()->mouseMove(GUIPoint(190, 116));  // the same row
    window->root()->mouseMove(GUIPoint(185, 205));  // thumbTop 180
    window->root()->mouseMove(GUIPoint(185, 400));  // past the end
    EXPECT_EQ(scrollbar->thumbTop(), 180);
    EXPECT_EQ(redraws(), Strings{area(180, 111, 12, 109)});
    window->root()->mouseMove(GUIPoint(185, 114));  // thumbTop 89
    window->root()->mouseUp(GUIPoint(0, 0));
    window->root()->mouseMove(GUIPoint(185, 300));
    EXPECT_EQ(client.calls, (Strings{call("scrolled", 45), call("scrolled", 90),
                                                   call("scrolled", 44), call("released", 44)}));
    EXPECT_EQ(scrollbar->first(), 44);
    EXPECT_TRUE(shows(185, 20 + 89 + 10, knobColor));
}

TEST_F(GUIScrollbarTest, AThumbAtRestInTheMiddleDoesNotMove) {
    GUIScrollbarVertical* scrollbar = addScrollbar(5, 10, 0);
    ASSERT_EQ(scrollbar->thumbTop(), 90);
    drag(scrollbar, 30);
    EXPECT_EQ(scrollbar->thumbTop(), 90);
    window->root()->mouseUp(GUIPoint(185, 145));
    EXPECT_EQ(client.calls, (Strings{call("released", 0)}));
    EXPECT_TRUE(redraws().empty());
}

TEST_F(GUIScrollbarTest, PressesOffTheThumbOrOnItsClearCornersStartNoDrag) {
    GUIScrollbarVertical* scrollbar = addScrollbar(100, 10, 45);  // thumb (180, 110)-(191, 129)
    for (const GUIPoint& p : {GUIPoint(185, 109), GUIPoint(185, 130), GUIPoint(192, 115), GUIPoint(180, 110),
                              GUIPoint(191, 129)}) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        window->root()->mouseDown(p, false);
        EXPECT_FALSE(scrollbar->isDragging());
    }
    window->root()->mouseDown(GUIPoint(181, 110), false);
    EXPECT_TRUE(scrollbar->isDragging());
}

TEST_F(GUIScrollbarTest, LockStopsANewDragButNotOneUnderWay) {
    GUIScrollbarVertical* scrollbar = addScrollbar(100, 10, 0);
    scrollbar->lock();
    drag(scrollbar, 20);
    EXPECT_FALSE(scrollbar->isDragging());
    EXPECT_EQ(scrollbar->thumbTop(), 0);
    scrollbar->unlock();
    drag(scrollbar, 20);  // thumbTop 20: first 10
    scrollbar->lock();
    window->root()->mouseMove(GUIPoint(185, 25 + 40));  // thumbTop 40: first 20
    window->root()->mouseUp(GUIPoint(185, 65));
    EXPECT_EQ(client.calls, (Strings{call("scrolled", 10), call("scrolled", 20), call("released", 20)}));
}

TEST_F(GUIScrollbarTest, RangesAndSkinsThatCannotBeShownStopTheProgram) {
    GUIScrollbarVertical* scrollbar = addScrollbar(100, 10, 0);
    struct RangeCase {
        int total, visibleItems, first;
        const char* text;
    };
    const RangeCase cases[] = {
        {5, 10, 1, "In this case, the index of the first element in the window should be 0."},
        {10, 10, -1, "In this case, the index of the first element in the window should be 0."},
        {100, 10, 91, "Trying to scroll off the end."},
        {100, 10, -1, "Trying to scroll off the end."},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.total) + " " + std::to_string(c.visibleItems) + " " + std::to_string(c.first));
        EXPECT_FATAL(scrollbar->setRange(c.total, c.visibleItems, c.first), c.text);
        EXPECT_FATAL(GUIScrollbarVertical(0, 0, 16, 200, "thumb", c.total, c.visibleItems, c.first, nullptr), c.text);
    }
    gui_test::writeFace(*skins, "oddSlider", 12, 20, knobColor);
    gui_test::writeMask(*skins, "oddMask", 13, 20);
    EXPECT_FATAL(GUIScrollbarVertical(0, 0, 16, 200, "odd", 1, 1, 0, nullptr),
                 "Dimensions of slider and mask don't match.");
    EXPECT_FATAL(GUIScrollbarVertical(0, 0, 16, 19, "thumb", 1, 1, 0, nullptr), "Slider knob does not fit the slider.");
}

}  // namespace
