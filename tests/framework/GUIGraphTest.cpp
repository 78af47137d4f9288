#include "GuiTestSkins.h"

#include "framework/GUIGraph.h"
#include "framework/GUIGraphClient.h"
#include "framework/GUIGrid.h"
#include "framework/Image.h"
#include "framework/Surface.h"

#include <limits>
#include <string>
#include <vector>

namespace {

using gui_test::area;
using gui_test::windowColor;
using Areas = std::vector<std::string>;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

class RecordingGraphClient : public GUIGraphClient {
public:
    void graphMouseDown(GUIGraph*, int column, int row, float a, float b) override { add("down", column, row, a, b); }
    void graphMouseUp(GUIGraph*, int column, int row, float a, float b) override { add("up", column, row, a, b); }
    void graphMouseMove(GUIGraph*, int column, int row, float a, float b) override { add("move", column, row, a, b); }
    void graphMouseLeave(GUIGraph*) override { calls.push_back("leave"); }
    std::vector<std::string> calls;

private:
    void add(const char* what, int column, int row, float a, float b) {
        calls.push_back(std::string(what) + " " + std::to_string(column) + "," + std::to_string(row) + " " +
                        std::to_string(a) + " " + std::to_string(b));
    }
};

// The colour of a window pixel after blending these colours over the
// background, in order.
Color blended(const std::vector<Color>& colors) {
    Image pixel(1, 1, windowColor.red, windowColor.green, windowColor.blue, 255);
    for (const Color& c : colors) pixel.blendPixel(c, 0, 0);
    return pixel.getPixel(0, 0);
}

constexpr Color span{200, 0, 0, 200};
constexpr Color join{127, 0, 0, 200};
constexpr Color litSpan{0, 0, 200, 200};
constexpr Color litJoin{0, 0, 127, 200};

class GUIGraphTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        openWindow(120, 130);
    }
    RecordingGraphClient client;
};

TEST_F(GUIGraphTest, ValuesBecomeRowsCutAtTheRange) {
    struct Case {
        const char* name;
        float a;
        float b;
        int top;
        int bottom;
        bool clippedTop;
        bool clippedBottom;
    };
    const Case cases[] = {
        {"full range", 1.0f, -1.0f, 0, 100, false, false},
        {"either order", -1.0f, 1.0f, 0, 100, false, false},
        {"one value", 0.5f, 0.5f, 25, 25, false, false},
        {"above the range", 2.0f, 0.0f, 0, 50, true, false},
        {"below the range", 0.0f, -3.0f, 50, 100, false, true},
        {"NaN counts as minus infinity", nan, 0.0f, 50, 100, false, true},
        {"two NaNs", nan, nan, 101, 100, false, true},
        {"infinities", infinity, -infinity, 0, 100, true, true},
        {"huge, above", 1e30f, 1e30f, 0, -1, true, false},
        {"huge, below", -1e30f, -1e30f, 101, 100, false, true},
    };
    GUIGraph graph(0, 0, 1, 101, -1.0f, 1.0f, &client);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        graph.setColumns(&c.a, &c.b, false, 0, 0);
        EXPECT_EQ(graph.rowTop(0), c.top);
        EXPECT_EQ(graph.rowBottom(0), c.bottom);
        EXPECT_EQ(graph.clippedTop(0), c.clippedTop);
        EXPECT_EQ(graph.clippedBottom(0), c.clippedBottom);
    }
}

TEST_F(GUIGraphTest, SpansJoinsAndHighlightAreBlendedInTheirColours) {
    // Range -1..1 over 101 rows: value v lies at row 50 - 50 v.
    auto* graph = new GUIGraph(10, 10, 4, 101, -1.0f, 1.0f, &client);
    window->add(graph);
    const float a[] = {0.8f, 0.4f, 2.0f, 3.0f};   // rows 10, 30, cut, cut
    const float b[] = {0.6f, 0.2f, 0.0f, 0.9f};   // rows 20, 40, 50, 5
    graph->setColumns(a, b, true, 3, 3);
    struct Case {
        int column;
        int row;
        std::vector<Color> colors;
    };
    const Case cases[] = {
        {0, 9, {}},
        {0, 10, {span, join}},         // column 0 joins itself: its own end rows
        {0, 15, {span}},
        {0, 20, {span, join}},
        {0, 21, {}},
        {1, 15, {join}},               // top join from row 10 down to 30
        {1, 25, {join, join}},         // both joins: 10..30 and 20..40
        {1, 30, {span, join, join}},
        {1, 35, {span, join}},
        {1, 41, {}},
        {2, 0, {span, join}},          // cut at the top: joined up from row 30
        {2, 45, {span, join}},         // bottom join from 40 to 50
        {2, 51, {}},
        {3, 0, {litSpan}},             // both cut at the top: no top join
        {3, 5, {litSpan, litJoin}},    // bottom join from 50 up to 5
        {3, 50, {litJoin}},
        {3, 51, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.column) + "," + std::to_string(c.row));
        EXPECT_FALSE(pixel(10 + c.column, 10 + c.row).differs(blended(c.colors)));
    }
}

TEST_F(GUIGraphTest, ARedrawCoversThisTraceAndThePreviousOne) {
    auto* graph = new GUIGraph(10, 10, 3, 101, -1.0f, 1.0f, &client);
    window->add(graph);
    redraws();
    struct Case {
        float a;
        float b;
        Areas redrawn;
    };
    const Case cases[] = {
        {0.8f, 0.6f, {area(10, 10, 3, 21)}},          // rows 10..20 and the starting 0..0
        {0.4f, 0.2f, {area(10, 20, 3, 31)}},          // 30..40 with 10..20
        {-0.2f, -0.4f, {area(10, 40, 3, 41)}},        // 60..70 with 30..40
        {1.0f, -1.0f, {area(10, 10, 3, 101)}},
        {nan, nan, {area(10, 10, 3, 101)}},           // off the bottom: counts as the last row
        {0.0f, 0.0f, {area(10, 60, 3, 51)}},          // 50 with 100
        {1e30f, 1e30f, {area(10, 10, 3, 51)}},        // off the top: row 0 with 50
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a);
        const float a[] = {c.a, c.a, c.a};
        const float b[] = {c.b, c.b, c.b};
        graph->setColumns(a, b, false, 0, 0);
        EXPECT_EQ(redraws(), c.redrawn);
    }
}

TEST_F(GUIGraphTest, TheMouseIsReportedWithTheColumnsValues) {
    auto* graph = new GUIGraph(10, 20, 3, 50, -1.0f, 1.0f, &client);
    window->add(graph);
    const float a[] = {0.25f, 0.5f, 1.0f};
    const float b[] = {-0.25f, -0.5f, -1.0f};
    graph->setColumns(a, b, false, 0, 0);
    struct Step {
        const char* event;
        GUIPoint point;
        std::vector<std::string> calls;
    };
    const Step steps[] = {
        {"move", {5, 25}, {}},  // outside, never inside: nothing
        {"down", {10, 20}, {"down 0,0 0.250000 -0.250000"}},
        {"move", {11, 69}, {"move 1,49 0.500000 -0.500000"}},
        {"up", {12, 30}, {"up 2,10 1.000000 -1.000000"}},
        {"down", {13, 30}, {}},
        {"move", {13, 30}, {"leave"}},
        {"move", {14, 40}, {}},
        {"leave", {}, {}},
        {"move", {12, 21}, {"move 2,1 1.000000 -1.000000"}},
        {"leave", {}, {"leave"}},
        {"leave", {}, {}},
        {"up", {12, 70}, {}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.event) + " " + std::to_string(s.point.x) + "," + std::to_string(s.point.y));
        client.calls.clear();
        const std::string event = s.event;
        if (event == "down") window->root()->mouseDown(s.point, false);
        if (event == "up") window->root()->mouseUp(s.point);
        if (event == "move") window->root()->mouseMove(s.point);
        if (event == "leave") window->root()->mouseLeave();
        EXPECT_EQ(client.calls, s.calls);
    }
}

class GUIGridTest : public gui_test::GuiComponentTest {};

TEST_F(GUIGridTest, TheDefaultGridHasNineColumnsAndSevenRows) {
    openWindow(120, 100);
    auto* grid = new GUIGrid(10, 10, 100, 80);
    window->add(grid);
    EXPECT_EQ(grid->xLines(), (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_EQ(grid->yLines(), (std::vector<int>{10, 20, 30, 40, 50, 60, 70}));
    window->redraw(*grid);
    const Color line = blended({Color(0, 0, 0, 31)});
    const Color crossing = blended({Color(0, 0, 0, 31), Color(0, 0, 0, 31)});
    EXPECT_FALSE(pixel(30, 15).differs(line));
    EXPECT_FALSE(pixel(15, 40).differs(line));
    EXPECT_FALSE(pixel(30, 40).differs(crossing));
    EXPECT_FALSE(pixel(31, 41).differs(windowColor));
    EXPECT_FALSE(pixel(10, 10).differs(windowColor));
}

TEST_F(GUIGridTest, ConfiguredAxesAreLaidOutAndRedrawn) {
    openWindow(520, 100);
    auto* grid = new GUIGrid(0, 0, 500, 80);
    window->add(grid);
    redraws();
    const float full = 22050.0f;
    struct Case {
        const char* name;
        float origin, xFull, step, end, from, to;
        bool logarithmic;
        std::vector<int> lines;
    };
    // The logarithmic positions were computed apart, in double precision
    // with v rounded to float after each step.
    const Case cases[] = {
        {"spectrum, coarse", 0, full, 1000, full, 20, 20000, true,
         {201, 266, 306, 335, 357, 376, 392, 405, 417, 428, 438, 447, 455, 463, 470, 477, 483, 489, 495, 500}},
        {"spectrum, fine", 0, full, 100, 1000, 20, 20000, true, {41, 76, 102, 123, 141, 156, 169, 181, 191}},
        {"linear, shifted", 0, 1, 0.25f, 1, 0.1f, 0.9f, false, {94, 250, 406}},
        {"zero step", 0, 1, 0, 1, 0, 1, false, {}},
        {"negative step", 0, 1, -0.1f, 1, 0, 1, false, {}},
        {"NaN step", 0, 1, nan, 1, 0, 1, false, {}},
        {"edges equal", 0, 1, 0.1f, 1, 0.5f, 0.5f, false, {}},
        {"edges equal, logarithmic", 0, full, 1000, full, 500, 500, true, {}},
        {"step lost in the sum", 1e8f, 2e8f, 1, 2e8f, 0, 2e8f, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        grid->configure(c.origin, 0, c.xFull, 1, c.step, 0.25f, c.end, 1, c.from, 0, c.to, 1, c.logarithmic, false);
        EXPECT_EQ(grid->xLines(), c.lines);
        EXPECT_EQ(grid->yLines(), (std::vector<int>{20, 40, 60}));
        EXPECT_EQ(redraws(), (Areas{area(0, 0, 500, 80)}));
    }
}

TEST_F(GUIGridTest, EachAxisKeepsItsFirstThousandLines) {
    openWindow(120, 100);
    GUIGrid grid(0, 0, 100, 80);
    grid.configure(0, 0, 1, 1, 0.0001f, 0.0005f, 1, 1, 0, 0, 1, 1, false, false);
    ASSERT_EQ(grid.xLines().size(), 1000u);
    ASSERT_EQ(grid.yLines().size(), 1000u);
    EXPECT_EQ(grid.xLines().front(), 0);   // 0.01 pixels
    EXPECT_EQ(grid.xLines().back(), 10);   // 0.1 of 100
    EXPECT_EQ(grid.yLines().back(), 40);   // 0.5 of 80
}

}  // namespace
