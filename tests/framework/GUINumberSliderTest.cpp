#include "GuiTestSkins.h"

#include "framework/GUINumberHorizontal.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/SliderClient.h"

#include <string>
#include <vector>

namespace {

using gui_test::area;

struct Call {
    std::string what;
    GUISlider* slider;
    float value;
};

class RecordingSliderClient : public SliderClient {
public:
    void sliderChanged(GUISlider* slider, float value) override { calls.push_back({"changed", slider, value}); }
    void sliderReleased(GUISlider* slider, float value) override { calls.push_back({"released", slider, value}); }
    std::vector<Call> calls;
};

constexpr int cellWidth = 10;
constexpr int cellHeight = 18;

// A 0..10 slider 110 pixels wide (knob 10 wide: one value unit per 10
// pixels) at (10, 20), and 7 cells with 3 decimals 5 pixels right of it.
class GUINumberSliderTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeSliderSkin(*skins, "knob", 10, 20, Color(250, 250, 0, 255));
        gui_test::writeDigitSkin(*skins, "digits", cellWidth, cellHeight, Color(255, 255, 255, 255),
                                 Color(0, 0, 0, 255));
        openWindow(240, 60);
        composite = new GUINumberSlider(10, 20, 110, 5, 7 * cellWidth, 24, "knob", "digits", 3, 5.0f, 0.0f, 10.0f,
                                        true, &listener);
        window->add(composite);
    }
    // The centre of display cell i.
    static GUIPoint cell(int i) { return {125 + i * cellWidth + cellWidth / 2, 20 + 3 + cellHeight / 2}; }

    RecordingSliderClient listener;
    GUINumberSlider* composite = nullptr;
};

TEST_F(GUINumberSliderTest, TheDisplayFollowsTheSliderOnceNotified) {
    EXPECT_EQ(composite->x0, 10);
    EXPECT_EQ(composite->x1, 10 + 110 + 5 + 70 - 1);
    EXPECT_EQ(composite->value(), 5.0f);
    EXPECT_EQ(composite->display()->value(), 0.0f);
    composite->notifyListener();
    EXPECT_EQ(composite->display()->value(), 5.0f);
    ASSERT_EQ(listener.calls.size(), 1u);
    EXPECT_EQ(listener.calls[0].what, "changed");
    EXPECT_EQ(listener.calls[0].slider, composite);
    EXPECT_EQ(listener.calls[0].value, 5.0f);
}

TEST_F(GUINumberSliderTest, ADisplayDragGoesThroughTheSlidersRange) {
    composite->notifyListener();
    listener.calls.clear();
    // The cell left of the point steps by 1 per 10 pixels: 70 up is 12.
    const GUIPoint press = cell(2);
    window->root()->mouseDown(press, false);
    window->root()->mouseMove({press.x, press.y - 70});
    EXPECT_EQ(composite->slider()->value(), 10.0f);
    EXPECT_EQ(composite->value(), 10.0f);
    EXPECT_EQ(composite->display()->value(), 10.0f);
    ASSERT_FALSE(listener.calls.empty());
    EXPECT_EQ(listener.calls.back().what, "changed");
    EXPECT_EQ(listener.calls.back().slider, composite);
    EXPECT_EQ(listener.calls.back().value, 10.0f);
    // Down 30 from the press: 2, inside the range, everywhere.
    window->root()->mouseMove({press.x, press.y + 30});
    EXPECT_EQ(composite->value(), 2.0f);
    EXPECT_EQ(composite->display()->value(), 2.0f);
    EXPECT_EQ(listener.calls.back().value, 2.0f);
    window->root()->mouseUp(press);
}

TEST_F(GUINumberSliderTest, SetValueLimitsTheSliderButShowsTheValueGiven) {
    struct Case {
        float value;
        float slider;
    };
    const Case cases[] = {{15.0f, 10.0f}, {-3.0f, 0.0f}, {7.5f, 7.5f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        composite->setValue(c.value);
        EXPECT_EQ(composite->value(), c.slider);
        EXPECT_EQ(composite->display()->value(), c.value);
    }
    EXPECT_TRUE(listener.calls.empty());
}

TEST_F(GUINumberSliderTest, AKnobDragIsShownAndReportedAsTheComposites) {
    composite->notifyListener();
    listener.calls.clear();
    const GUIRectangle knob = composite->slider()->knobRectangle();
    const GUIPoint press{(knob.x0 + knob.x1) / 2, (knob.y0 + knob.y1) / 2};
    window->root()->mouseDown(press, false);
    window->root()->mouseMove({press.x + 20, press.y});
    window->root()->mouseUp({press.x + 20, press.y + 100});
    ASSERT_EQ(listener.calls.size(), 2u);
    EXPECT_EQ(listener.calls[0].what, "changed");
    EXPECT_EQ(listener.calls[0].slider, composite);
    EXPECT_FLOAT_EQ(listener.calls[0].value, 7.0f);
    EXPECT_EQ(listener.calls[1].what, "released");
    EXPECT_EQ(listener.calls[1].slider, composite);
    EXPECT_FLOAT_EQ(listener.calls[1].value, 7.0f);
    EXPECT_FLOAT_EQ(composite->display()->value(), 7.0f);
}

TEST_F(GUINumberSliderTest, DrawingPaintsBothParts) {
    composite->notifyListener();
    redraws();
    window->redraw(*composite);
    const GUIRectangle knob = composite->slider()->knobRectangle();
    EXPECT_TRUE(shows((knob.x0 + knob.x1) / 2, (knob.y0 + knob.y1) / 2, Color(250, 250, 0, 255)));
    // A digit cell's paper is black; the gap between the parts is the
    // window's.
    EXPECT_TRUE(shows(125, 23, Color(0, 0, 0, 255)));
    EXPECT_TRUE(shows(122, 23, gui_test::windowColor));
    composite->hide();
    EXPECT_TRUE(shows(125, 23, gui_test::windowColor));
    EXPECT_TRUE(shows((knob.x0 + knob.x1) / 2, (knob.y0 + knob.y1) / 2, gui_test::windowColor));
}

}  // namespace
