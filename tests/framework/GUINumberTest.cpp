#include "GuiTestSkins.h"

#include "framework/GUINumberClient.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/Image.h"
#include "framework/Surface.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using gui_test::area;
using gui_test::windowColor;
using Areas = std::vector<std::string>;

constexpr int cellWidth = 10;
constexpr int cellHeight = 18;

struct Report {
    GUINumber* number;
    float value;
};

class RecordingNumberClient : public GUINumberClient {
public:
    void valueChanged(GUINumber* number, float value) override { reports.push_back({number, value}); }
    std::vector<Report> reports;
};

// The image index a printed character should show ('#' for the default).
int indexOf(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    switch (c) {
    case '.': return 10;
    case '+': return 11;
    case '-': return 12;
    case 'e': return 13;
    case ' ': return 14;
    default: return 15;
    }
}

std::string shownText(const GUINumberHorizontal& number) {
    static const char characters[] = "0123456789.+-e #";
    std::string text;
    for (int i = 0; i < number.cellCount(); ++i) text += characters[number.cell(i)];
    return text;
}

class GUINumberTest : public gui_test::GuiComponentTest {
protected:
    Image& back() { return window->surface()->backImage(); }

    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeDigitSkin(*skins, "digits", cellWidth, cellHeight, Color(255, 255, 255, 255),
                                       Color(0, 0, 0, 255));
        openWindow(240, 60);
    }

    // A display of 7 cells at (20, 10), 24 high (cells start 3 rows down).
    GUINumberHorizontal* addDisplay(int pointPosition, GUINumberClient* listener) {
        auto* number = new GUINumberHorizontal(20, 10, 7 * cellWidth, 24, "digits", pointPosition, listener);
        window->add(number);
        redraws();
        return number;
    }
    // The centre of cell i of that display.
    static GUIPoint cellCentre(int i) { return {20 + i * cellWidth + cellWidth / 2, 10 + 3 + cellHeight / 2}; }
};

TEST_F(GUINumberTest, CellCountAndPointPositionAreChecked) {
    struct Case {
        int width;
        int pointPosition;
        int cells;  // 0: a fatal stop
        const char* text;
    };
    const Case cases[] = {
        {70, 3, 7, nullptr},
        {79, 3, 7, nullptr},
        {200, 0, 20, nullptr},
        {210, 0, 0, "Too many digits."},
        {70, 6, 7, nullptr},
        {70, 7, 0, "Illegal position point."},
        {70, 0, 7, nullptr},
        {70, -1, 0, "Illegal position point."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " / " + std::to_string(c.pointPosition));
        if (c.text != nullptr) {
            EXPECT_FATAL(GUINumberHorizontal(0, 0, c.width, 20, "digits", c.pointPosition, nullptr), c.text);
        } else {
            GUINumberHorizontal number(0, 0, c.width, 20, "digits", c.pointPosition, nullptr);
            EXPECT_EQ(number.cellCount(), c.cells);
            EXPECT_EQ(number.value(), 0.0f);
        }
    }
}

TEST_F(GUINumberTest, EveryDigitImageMustMatchThePointsSize) {
    gui_test::writeDigitSkin(*skins, "odd", cellWidth, cellHeight, Color(255, 255, 255, 255),
                                   Color(0, 0, 0, 255));
    for (int index = 0; index < 16; ++index) {
        if (index == 10) continue;  // the point sets the size
        SCOPED_TRACE(gui_test::digitName(index));
        const std::string key = "odd" + gui_test::digitName(index);
        skins->write(key, cellWidth + (index % 2 == 0 ? 1 : 0), cellHeight + (index % 2 == 0 ? 0 : -1), 0, 0, 0, 255);
        EXPECT_FATAL(GUINumberHorizontal(0, 0, 70, 20, "odd", 0, nullptr),
                     "Not all digit images have the same dimensions.");
        skins->write(key, cellWidth, cellHeight, 0, 0, 0, 255);
    }
    GUINumberHorizontal whole(0, 0, 70, 20, "odd", 0, nullptr);
    EXPECT_EQ(whole.cellCount(), 7);
}

TEST_F(GUINumberTest, ValuesAreFormattedIntoTheCells) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    struct Case {
        int pointPosition;
        float value;
        const char* cells;
    };
    const Case cases[] = {
        {3, 12.5f, " 12.500"},   {3, -1.5f, " -1.500"},   {3, 999.5f, "999.500"},  {3, 1000.0f, "#######"},
        {3, -99.5f, "-99.500"},  {3, -100.0f, "#######"}, {3, 0.0f, "  0.000"},    {6, 0.0f, "#######"},
        {6, 0.25f, "#######"},   {5, 0.25f, "0.25000"},   {0, 42.0f, "     42"},   {0, -7.5f, "     -8"},
        {0, 1e7f, "#######"},    {0, 9999999.0f, "9999999"}, {2, nan, "    nan"}, {2, -infinity, "   -inf"},
        {1, 3e38f, "#######"},
    };
    auto* number = addDisplay(3, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cells) + " at point " + std::to_string(c.pointPosition));
        GUINumberHorizontal display(0, 0, 70, 20, "digits", c.pointPosition, nullptr);
        display.setValue(c.value);
        std::string expected;
        for (const char* p = c.cells; *p != '\0'; ++p) expected += "0123456789.+-e #"[indexOf(*p)];
        EXPECT_EQ(shownText(display), expected);
    }

    // What the window shows: each cell's image at its place.
    number->setValue(-1.5f);
    Image expected(window->width(), window->height(), windowColor.red, windowColor.green, windowColor.blue, 255);
    const std::string cells = " -1.500";
    for (int i = 0; i < 7; ++i) {
        const Image digit("digits" + gui_test::digitName(indexOf(cells[static_cast<std::size_t>(i)])), false);
        expected.blendRect(digit, 20 + i * cellWidth, 13, 0, 0, cellWidth, cellHeight);
    }
    window->redraw(GUIRectangle(0, 0, window->width() - 1, window->height() - 1));
    EXPECT_EQ(image_test::pixelBytes(back()), image_test::pixelBytes(expected));
}

TEST_F(GUINumberTest, OnlyChangedCellsAreRedrawn) {
    RecordingNumberClient listener;
    auto* number = addDisplay(3, &listener);
    const auto cell = [](int i) { return area(20 + i * cellWidth, 13, cellWidth, cellHeight); };
    struct Case {
        float value;
        Areas redrawn;
    };
    const Case cases[] = {
        {0.0f, {}},                              // the value shown
        {12.5f, {cell(1), cell(2), cell(4)}},    // "  0.000" -> " 12.500"
        {12.5f, {}},                             // again: nothing
        {12.501f, {cell(6)}},                    // the last digit only
        {-1.5f, {cell(1), cell(2), cell(6)}},    // " 12.501" -> " -1.500"
        {1000.0f, {cell(0), cell(1), cell(2), cell(3), cell(4), cell(5), cell(6)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        number->setValue(c.value);
        EXPECT_EQ(number->value(), c.value);
        EXPECT_EQ(redraws(), c.redrawn);
    }
    EXPECT_TRUE(listener.reports.empty());  // setValue does not tell the listener

    number->notifyListener();
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_EQ(listener.reports[0].number, number);
    EXPECT_EQ(listener.reports[0].value, 1000.0f);
}

TEST_F(GUINumberTest, TheCellPressedSetsTheStepOfTheDrag) {
    struct Case {
        int pointPosition;
        int cell;
        double step;
    };
    const Case cases[] = {
        {3, 6, 0.001}, {3, 5, 0.01}, {3, 4, 0.1}, {3, 3, 0.0}, {3, 2, 1.0}, {3, 1, 10.0}, {3, 0, 100.0},
        {0, 6, 1.0},   {0, 5, 10.0}, {0, 0, 1e6}, {1, 6, 0.1},   {1, 5, 0.0}, {1, 4, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.pointPosition) + " / cell " + std::to_string(c.cell));
        RecordingNumberClient listener;
        GUINumberHorizontal number(20, 10, 7 * cellWidth, 24, "digits", c.pointPosition, &listener);
        number.setValue(5.0f);
        const GUIPoint press = cellCentre(c.cell);
        number.mouseDown(press, false);
        ASSERT_TRUE(number.isDragging());
        EXPECT_EQ(number.step(), static_cast<float>(c.step));
        // Up by 10 pixels: one step more; down by 20 from the start: two less.
        number.mouseMove({press.x + 3, press.y - 10});
        EXPECT_NEAR(number.value(), 5.0 + c.step, 1e-6 * (1.0 + c.step));
        number.mouseMove({press.x, press.y + 20});
        EXPECT_NEAR(number.value(), 5.0 - 2.0 * c.step, 1e-6 * (1.0 + c.step));
        ASSERT_EQ(listener.reports.size(), 2u);
        EXPECT_EQ(listener.reports[1].number, &number);
        EXPECT_EQ(listener.reports[1].value, number.value());
        number.mouseUp({500, 500});  // anywhere
        EXPECT_FALSE(number.isDragging());
        number.mouseMove({press.x, press.y - 50});
        EXPECT_EQ(listener.reports.size(), 2u);
    }
}

TEST_F(GUINumberTest, ADragRedrawsChangedCellsAndTellsTheListener) {
    RecordingNumberClient listener;
    auto* number = addDisplay(3, &listener);
    number->setValue(12.5f);
    redraws();
    const GUIPoint press = cellCentre(6);
    window->root()->mouseDown(press, false);
    window->root()->mouseMove({press.x, press.y - 10});  // 12.501: the last cell only
    EXPECT_EQ(redraws(), (Areas{area(20 + 6 * cellWidth, 13, cellWidth, cellHeight)}));
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_FLOAT_EQ(listener.reports[0].value, 12.501f);
    EXPECT_EQ(shownText(*number), " 12.501");
}

TEST_F(GUINumberTest, PressesOutsideTheCellsOrWithoutAListenerAreIgnored) {
    RecordingNumberClient listener;
    struct Case {
        const char* name;
        bool listened;
        bool hidden;
        GUIPoint point;
    };
    const Case cases[] = {
        {"above the cells", true, false, {25, 12}},
        {"below the cells", true, false, {25, 13 + cellHeight}},
        {"left of the cells", true, false, {19, 20}},
        {"right of the cells", true, false, {20 + 7 * cellWidth, 20}},
        {"no listener", false, false, cellCentre(6)},
        {"hidden", true, true, cellCentre(6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        listener.reports.clear();
        GUINumberHorizontal number(20, 10, 7 * cellWidth + 5, 24, "digits", 3, c.listened ? &listener : nullptr);
        if (c.hidden) number.hide();
        number.mouseDown(c.point, false);
        EXPECT_FALSE(number.isDragging());
        number.mouseMove({c.point.x, c.point.y - 100});
        EXPECT_EQ(number.value(), 0.0f);
        EXPECT_TRUE(listener.reports.empty());
    }
    // The corners of the cells do take a press.
    GUINumberHorizontal number(20, 10, 7 * cellWidth, 24, "digits", 3, &listener);
    for (const GUIPoint& corner : {GUIPoint(20, 13), GUIPoint(20 + 7 * cellWidth - 1, 13 + cellHeight - 1)}) {
        number.mouseDown(corner, false);
        EXPECT_TRUE(number.isDragging());
        number.mouseUp(corner);
    }
}

}  // namespace
