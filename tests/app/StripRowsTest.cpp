// The main window's six deck strips and three hover cursors as the
// application lays them out.
#include "AppTestSupport.h"
#include "app/GUICursor.h"
#include "app/GUIStrip.h"
#include "audio/TrackInfo.h"

#include <gtest/gtest.h>

namespace {

using app_test::AppTest;

class StripRowsTest : public AppTest {};

TEST_F(StripRowsTest, SixStripsFollowOnRowByRowUnderThreeCursors) {
    Velkarn& app = start();
    for (int d = 0; d < 2; ++d) {
        for (int r = 0; r < Velkarn::stripRows; ++r) {
            SCOPED_TRACE("deck " + std::to_string(d) + " row " + std::to_string(r));
            const GUIStrip& strip = *app.strip(d, r);
            EXPECT_EQ(strip.x0, 10);
            EXPECT_EQ(strip.y0, 10 + 145 * r + 65 * d);
            EXPECT_EQ(strip.width, 800);
            EXPECT_EQ(strip.height, 60);
            EXPECT_EQ(strip.deck(), d);
            EXPECT_EQ(strip.samplesPerPixel(), 2756.0f);
            // The standard grid: 22050 frames a beat, 99 whole beats a row.
            EXPECT_EQ(strip.startBeat(), r == 0 ? 0 : app.strip(d, r - 1)->lastBeat() + 1);
            EXPECT_EQ(strip.startPosition(), app.trackInfo()->beatAt(strip.startBeat()).position);
            EXPECT_EQ(strip.lastBeat(), strip.startBeat() + 98);
            EXPECT_EQ(strip.usableColumns(), 792);
        }
    }
    for (int r = 0; r < Velkarn::stripRows; ++r) {
        const GUICursor& cursor = *app.cursor(r);
        EXPECT_EQ(cursor.x0, 10);
        EXPECT_EQ(cursor.y0, 10 + 145 * r);
        EXPECT_EQ(cursor.width, 800);
        EXPECT_EQ(cursor.height, 125);
        EXPECT_FALSE(cursor.markVisible());
    }
}

}  // namespace
