// The hover cursor over a row of both decks' strips: where the mark shows,
// its colour against the play position, what it redraws, and a grid that
// changed under the strip.
#include "GuiTestSkins.h"
#include "StripTestSupport.h"
#include "app/GUICursor.h"
#include "app/GUIStrip.h"

#include <gtest/gtest.h>

namespace {

using strip_test::ClockOnlyApplication;
using strip_test::Grid;

// Beats of 22050 frames at 2756 per column: beat b starts at column
// trunc(b x 22050 / 2756); the 99 whole beats end before column 792.
class GUICursorTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        openWindow(820, 150);
        for (int d = 0; d < 2; ++d) {
            strips[d] = new GUIStrip(10, 10 + 65 * d, 800, 60, 2756.0f, "", d, nullptr);
            window->add(strips[d]);
            strips[d]->setStartBeat(0, grid.info());
            strips[d]->shadeAfterLastBeat(grid.info());
        }
        cursor = new GUICursor(10, 10, 800, 125, 60, strips[0], &grid.info(), &application);
        window->add(cursor);
        redraws();
    }
    static int beatColumn(int beat) {
        return 10 + static_cast<int>(static_cast<float>(beat * 22050) / 2756.0f);
    }

    Grid grid{[](std::int32_t) { return 22050.0f; }};
    ClockOnlyApplication application;
    GUIStrip* strips[2] = {nullptr, nullptr};
    GUICursor* cursor = nullptr;
};

TEST_F(GUICursorTest, TheMarkShowsOverBeatsAndHidesElsewhere) {
    struct Case {
        const char* name;
        int x, y;
        int beat;  // -1: hidden
    };
    const Case cases[] = {
        {"deck 0's strip", 310, 20, 37},
        {"deck 1's strip", 310, 120, 37},
        // The column that holds a beat's start begins in the beat before.
        {"the column of a beat's start", beatColumn(37), 40, 36},
        {"the column after it", beatColumn(37) + 1, 40, 37},
        {"the last row above the gap", 310, 69, 37},
        {"the gap's first row", 310, 70, -1},
        {"the gap's last row", 310, 74, -1},
        {"the first row below the gap", 310, 75, 37},
        {"the last whole beat", 801, 40, 98},
        {"the shade after it", 802, 40, -1},
        {"left of the strips", 9, 40, -1},
        {"below the cursor", 300, 135, -1},
    };
    for (const Case& c : cases) {
        cursor->mouseMove(GUIPoint(c.x, c.y));
        EXPECT_EQ(cursor->markVisible(), c.beat >= 0) << c.name;
        if (c.beat >= 0) {
            EXPECT_EQ(cursor->column(), beatColumn(c.beat)) << c.name;
            EXPECT_EQ(cursor->beatPosition(), static_cast<std::int64_t>(c.beat) * 22050) << c.name;
        }
    }
}

TEST_F(GUICursorTest, TheMarkTurnsWhiteAtTheSampleThePlayReachesItsBeat) {
    application.now = 37 * 22050 - 1;
    cursor->mouseMove(GUIPoint(310, 40));
    ASSERT_TRUE(cursor->markVisible());
    EXPECT_FALSE(cursor->colour().differs(GUICursor::markBlue));
    const int column = cursor->column();
    redraws();

    cursor->updateColour(37 * 22050 - 1);
    EXPECT_TRUE(redraws().empty());
    cursor->updateColour(37 * 22050);
    EXPECT_FALSE(cursor->colour().differs(GUICursor::markWhite));
    const std::string columnArea = std::to_string(column) + ",10-" + std::to_string(column) + ",134";
    EXPECT_EQ(redraws(), std::vector<std::string>{columnArea});
    cursor->updateColour(40 * 22050);
    EXPECT_TRUE(redraws().empty());

    // The ticks: tickLength rows at the top and at the bottom, nothing
    // between them.
    // (An opaque line blends to within one step of its colour.)
    auto white = [&](int y) {
        const Color p = pixel(column, y);
        return p.red >= 254 && p.green >= 254 && p.blue >= 254;
    };
    for (int y : {10, 40, 69, 75, 100, 134}) EXPECT_TRUE(white(y)) << y;
    for (int y : {70, 74}) EXPECT_FALSE(white(y)) << y;

    // A mark shown where the play has been is white at once.
    application.now = 37 * 22050;
    cursor->mouseMove(GUIPoint(beatColumn(37) + 1, 40));
    EXPECT_FALSE(cursor->colour().differs(GUICursor::markWhite));
}

TEST_F(GUICursorTest, MovesLeaveAndRefreshRedrawTheOldAndNewColumns) {
    auto area = [](int column) { return std::to_string(column) + ",10-" + std::to_string(column) + ",134"; };
    cursor->mouseMove(GUIPoint(310, 40));
    EXPECT_EQ(redraws(), std::vector<std::string>{area(beatColumn(37))});
    cursor->mouseMove(GUIPoint(311, 40));  // same beat
    EXPECT_EQ(redraws(), std::vector<std::string>{area(beatColumn(37))});
    cursor->mouseMove(GUIPoint(beatColumn(40) + 1, 40));
    EXPECT_EQ(redraws(), (std::vector<std::string>{area(beatColumn(37)), area(beatColumn(40))}));
    cursor->mouseMove(GUIPoint(310, 72));  // into the gap
    EXPECT_EQ(redraws(), std::vector<std::string>{area(beatColumn(40))});
    cursor->mouseMove(GUIPoint(310, 73));  // hidden stays hidden
    EXPECT_TRUE(redraws().empty());

    cursor->mouseMove(GUIPoint(310, 40));
    redraws();
    cursor->mouseLeave();
    EXPECT_FALSE(cursor->markVisible());
    EXPECT_EQ(redraws(), std::vector<std::string>{area(beatColumn(37))});
    cursor->mouseLeave();
    EXPECT_TRUE(redraws().empty());
    // A refresh after the mouse left the window brings no mark back.
    cursor->refresh();
    EXPECT_FALSE(cursor->markVisible());
    EXPECT_TRUE(redraws().empty());

    // After the strip scrolls by ten beats the mark at the same point
    // follows the beat now under it.
    cursor->mouseMove(GUIPoint(310, 40));
    strips[0]->setStartBeat(10, grid.info());
    strips[0]->shadeAfterLastBeat(grid.info());
    cursor->refresh();
    EXPECT_TRUE(cursor->markVisible());
    EXPECT_EQ(cursor->beatPosition(), 47LL * 22050);
    EXPECT_EQ(cursor->column(), 10 + static_cast<int>(static_cast<float>(37 * 22050) / 2756.0f));
}

TEST_F(GUICursorTest, AGridChangedUnderTheStripHidesTheMarkAndLogsOnce) {
    // Beat 36 grows so that the strip's beat starts no longer match: the
    // beat under column 15 starts left of the strip's start.
    strips[0]->setStartBeat(37, grid.info());
    strips[0]->shadeAfterLastBeat(grid.info());
    TrackBeat beat = grid.info().beatAt(36);
    beat.length = 22050 + 30000;
    grid.info().setRecord(36, beat);
    for (std::int32_t b = 37; b < 200; ++b) {
        TrackBeat next = grid.info().beatAt(b);
        next.position += 30000;
        grid.info().setRecord(b, next);
    }
    testing_support::clearLog();
    cursor->mouseMove(GUIPoint(15, 40));
    EXPECT_FALSE(cursor->markVisible());
    cursor->mouseMove(GUIPoint(16, 40));
    EXPECT_FALSE(cursor->markVisible());
    EXPECT_EQ(testing_support::logTextsWithoutLineNumbers().size(), 1u);
    // Elsewhere the mark still shows.
    cursor->mouseMove(GUIPoint(310, 40));
    EXPECT_TRUE(cursor->markVisible());
}

}  // namespace
