#include "GuiTestSkins.h"

#include "TestEnvironment.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUIMarkerMapClient.h"
#include "framework/Image.h"
#include "framework/Surface.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using gui_test::area;
using gui_test::windowColor;
using Areas = std::vector<std::string>;

constexpr int perRow120 = 88200;  // tempo 120, 4 beats per row
constexpr Color markerColor{0, 200, 255, 255};
constexpr Color pointerColor{255, 0, 255, 255};

class RecordingMapClient : public GUIMarkerMapClient {
public:
    bool isEditable(GUIMarkerMap*) override { return editable; }
    void markerEdited(GUIMarkerMap*, int position) override { calls.push_back("edited " + std::to_string(position)); }
    void markerClicked(GUIMarkerMap*, int position) override { calls.push_back("clicked " + std::to_string(position)); }
    bool editable = false;
    std::vector<std::string> calls;
};

// A map at (10, 10), 200 x 100, border 5 (inner area 15..204 x 15..104),
// 100 samples per column, 8 x 8 markers.
class GUIMarkerMapTest : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeFace(*skins, "beat", 8, 8, markerColor);
        gui_test::writeMask(*skins, "beatMask", 8, 8);
        gui_test::writeFace(*skins, "beatPointer", 8, 8, pointerColor);
        openWindow(240, 140);
        map = new GUIMarkerMap(10, 10, 200, 100, 5, 100, "beat", &client);
        window->add(map);
    }
    // Rows of 9 pixels at tempo 120: 10 rows fit.
    void layOut(int rows, float scroll, bool twoValues = false) {
        map->layout(9, scroll, 120.0f, 4, rows * perRow120, twoValues);
    }
    std::vector<std::string> press(int x, int y) {
        client.calls.clear();
        window->root()->mouseDown({x, y}, false);
        return client.calls;
    }

    RecordingMapClient client;
    GUIMarkerMap* map = nullptr;
};

TEST_F(GUIMarkerMapTest, RowsAndScrollFollowTempoAndSong) {
    struct Case {
        float tempo;
        int beats;
        int total;
        float scroll;
        int samplesPerRow;
        int scrollPixels;
    };
    const Case cases[] = {
        {120, 4, 12 * perRow120, 1.0f, perRow120, 18},
        {120, 4, 12 * perRow120, 0.6f, perRow120, 9},
        {120, 4, 12 * perRow120, 0.0f, perRow120, 0},
        {120, 4, 12 * perRow120 - 1, 1.0f, perRow120, 18},
        {120, 4, 11 * perRow120 + 1, 1.0f, perRow120, 18},
        {120, 4, 10 * perRow120, 1.0f, perRow120, 0},
        {128, 1, 5 * 20672, 0.0f, 20672, 0},
        {128, 3, 20 * 3 * 20672, 0.5f, 3 * 20672, 45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.tempo) + " / " + std::to_string(c.total) + " / " + std::to_string(c.scroll));
        map->layout(9, c.scroll, c.tempo, c.beats, c.total, false);
        EXPECT_TRUE(map->isLaidOut());
        EXPECT_EQ(map->samplesPerRow(), c.samplesPerRow);
        EXPECT_EQ(map->scrollPixels(), c.scrollPixels);
    }
}

TEST_F(GUIMarkerMapTest, MarkersArePlacedOnTheirRows) {
    struct Case {
        bool on;
        int position;
        bool twoValues;
        float scroll;
        int x;
        int y;
    };
    const Case cases[] = {
        {false, perRow120, false, 0.0f, 15, 24},          // second row, first column
        {false, perRow120 + 1099, false, 0.0f, 25, 24},   // column 10
        {true, perRow120 + 1000, false, 0.0f, 21, 24},    // centred on the row: -4 and +4-4
        {true, perRow120 + 1000, true, 0.0f, 16, 24},     // two blocks per column
        {false, 0, false, 1.0f, 15, -3},                  // scrolled up by two rows
        {true, 3 * perRow120, false, 1.0f, 11, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        map->clear();
        map->addMarker(c.on, c.position);
        EXPECT_FALSE(map->marker(0).placed);
        layOut(12, c.scroll, c.twoValues);
        ASSERT_TRUE(map->marker(0).placed);
        EXPECT_EQ(map->marker(0).x, c.x);
        EXPECT_EQ(map->marker(0).y, c.y);
    }
}

TEST_F(GUIMarkerMapTest, ClicksEditOrReportBeats) {
    struct Case {
        const char* name;
        bool editable;
        bool twoValues;
        float scroll;
        GUIPoint point;
        std::vector<std::string> calls;
        int count;  // markers afterwards (two at the start)
    };
    const Case cases[] = {
        {"newest of two overlapping, read-only", false, false, 0.0f, {14, 18}, {"clicked 100"}, 2},
        {"newest of two overlapping, editable", true, false, 0.0f, {14, 18}, {"edited 100"}, 1},
        {"transparent corner in the border", true, false, 0.0f, {11, 15}, {}, 2},
        {"empty place, read-only", false, false, 0.0f, {50, 30}, {"clicked 91700"}, 2},
        {"empty place, editable", true, false, 0.0f, {50, 30}, {"edited 91700"}, 3},
        {"empty place, two values per column", false, true, 0.0f, {50, 30}, {"clicked 95200"}, 2},
        {"empty place, scrolled", false, false, 1.0f, {50, 30}, {"clicked 268100"}, 2},
        {"border", true, false, 0.0f, {12, 60}, {}, 2},
        {"a marker scrolled above the map", true, false, 1.0f, {14, 2}, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        map->clear();
        map->addMarker(true, 0);    // image 11..18 x 15..22 when unscrolled
        map->addMarker(true, 100);  // image 12..19
        layOut(12, c.scroll, c.twoValues);
        client.editable = c.editable;
        EXPECT_EQ(press(c.point.x, c.point.y), c.calls);
        EXPECT_EQ(map->count(), c.count);
    }
}

TEST_F(GUIMarkerMapTest, EditingRedrawsWhatChangedAndNewMarkersWaitForALayout) {
    map->addMarker(true, 0);
    map->addMarker(true, 100);
    layOut(5, 0.0f);
    client.editable = true;
    redraws();
    press(14, 18);
    EXPECT_EQ(redraws(), (Areas{area(12, 15, 8, 8)}));
    press(60, 40);
    EXPECT_EQ(redraws(), (Areas{area(60, 40, 1, 1)}));
    ASSERT_EQ(map->count(), 2);
    // The new marker has no place yet: a press on it adds another.
    EXPECT_EQ(press(60, 40), (std::vector<std::string>{"edited " + std::to_string(2 * perRow120 + 4500)}));
    EXPECT_EQ(map->count(), 3);
    layOut(5, 0.0f);
    EXPECT_EQ(press(60, 40), (std::vector<std::string>{"edited " + std::to_string(2 * perRow120 + 4500)}));
    EXPECT_EQ(map->count(), 2);
}

TEST_F(GUIMarkerMapTest, WithoutALayoutNothingIsDrawnOrHit) {
    map->addMarker(true, 0);
    map->addMarker(false, 50);
    client.editable = true;
    map->layout(9, 0.0f, 120.0f, 4, 0, false);  // an empty song
    EXPECT_FALSE(map->isLaidOut());
    EXPECT_TRUE(press(50, 30).empty());
    window->redraw(*map);
    for (int y = 10; y < 110; ++y) {
        for (int x = 10; x < 210; ++x) ASSERT_TRUE(shows(x, y, windowColor)) << x << "," << y;
    }
}

TEST_F(GUIMarkerMapTest, LinesMarkersAndThePointerAreDrawn) {
    map->addMarker(false, perRow120 + 2000);  // line at column 35, rows 24..32
    map->addMarker(true, 3 * perRow120);      // image at 11..18 x 42..49
    layOut(5, 0.0f);
    map->setPointerPosition(2 * perRow120 + 5000);  // 61..68 x 33..40
    map->showPointer();
    Image yellow(1, 1, windowColor.red, windowColor.green, windowColor.blue, 255);
    yellow.blendPixel(Color(255, 255, 0, 255), 0, 0);
    for (int y = 24; y <= 32; ++y) EXPECT_TRUE(shows(35, y, yellow.getPixel(0, 0))) << y;
    EXPECT_TRUE(shows(35, 23, windowColor));
    EXPECT_TRUE(shows(35, 33, windowColor));
    EXPECT_FALSE(shows(11, 45, windowColor));  // the marker reaches into the border
    EXPECT_FALSE(shows(18, 49, windowColor));
    EXPECT_TRUE(shows(19, 45, windowColor));
    EXPECT_FALSE(shows(64, 36, windowColor));
    EXPECT_TRUE(shows(69, 36, windowColor));
    map->hidePointer();
    EXPECT_TRUE(shows(64, 36, windowColor));
}

TEST_F(GUIMarkerMapTest, ThePointerRedrawsOnlyOnChange) {
    layOut(5, 0.0f);
    redraws();
    map->setPointerPosition(perRow120);  // hidden: stored only
    EXPECT_TRUE(redraws().empty());
    map->showPointer();
    EXPECT_EQ(redraws(), (Areas{area(11, 24, 8, 8)}));
    map->showPointer();
    EXPECT_TRUE(redraws().empty());
    map->setPointerPosition(perRow120 + 500);  // the new place, then the old
    EXPECT_EQ(redraws(), (Areas{area(16, 24, 8, 8), area(11, 24, 8, 8)}));
    map->setPointerPosition(perRow120 + 599);  // the same column
    EXPECT_TRUE(redraws().empty());
    map->setPointerPosition(0);
    EXPECT_EQ(redraws(), (Areas{area(11, 15, 8, 8), area(16, 24, 8, 8)}));
    map->hidePointer();
    EXPECT_EQ(redraws(), (Areas{area(11, 15, 8, 8)}));
    // Scrolled by two rows, the first row's pointer is cut to the map.
    layOut(12, 1.0f);
    map->showPointer();
    redraws();
    map->setPointerPosition(10);  // above the map: only the old place
    EXPECT_EQ(redraws(), (Areas{area(11, 15, 8, 8)}));
    map->setPointerPosition(0);  // the same place: nothing
    EXPECT_TRUE(redraws().empty());
    map->setPointerPosition(perRow120);  // 11..18 x 6..13, cut to the map
    EXPECT_EQ(redraws(), (Areas{area(11, 10, 8, 4)}));
    map->hidePointer();
    EXPECT_EQ(redraws(), (Areas{area(11, 10, 8, 4)}));
    map->hidePointer();
    EXPECT_TRUE(redraws().empty());
}

TEST_F(GUIMarkerMapTest, TheExportIsTheUnscrolledSong) {
    map->addMarker(false, perRow120);
    map->addMarker(true, 11 * perRow120 + 1000);
    const auto render = [&](float scroll) {
        layOut(12, scroll);
        auto image = std::make_unique<Image>(190, 12 * 9, 0, 0, 0, 255);
        map->renderTo(*image);
        return image_test::pixelBytes(*image);
    };
    const auto unscrolled = render(0.0f);
    const auto scrolled = render(1.0f);
    EXPECT_EQ(map->scrollPixels(), 18);
    EXPECT_EQ(scrolled, unscrolled);
    // The line at (0, 9..17); the marker at (10 - 4, 99 + 4 - 4).
    Image expected(190, 12 * 9, 0, 0, 0, 255);
    for (int j = 9; j <= 17; ++j) expected.blendPixel(Color(255, 255, 0, 255), 0, j);
    const Image marker("beat", false);
    expected.blendRect(marker, 6, 99, 0, 0, 8, 8);
    EXPECT_EQ(unscrolled, image_test::pixelBytes(expected));
}

TEST_F(GUIMarkerMapTest, TheTenThousandFirstMarkerIsLoggedAndStillReported) {
    for (int i = 0; i < GUIMarkerMap::maximumMarkers; ++i) map->addMarker(false, i);
    layOut(5, 0.0f);
    client.editable = true;
    EXPECT_EQ(press(50, 30), (std::vector<std::string>{"edited 91700"}));
    EXPECT_EQ(map->count(), GUIMarkerMap::maximumMarkers);
    const auto texts = testing_support::logTexts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.find("Too many markers.") != std::string::npos; }),
              1);
}

TEST_F(GUIMarkerMapTest, BadSkinsAndIndicesStopTheProgram) {
    gui_test::writeFace(*skins, "tall", 8, 8, markerColor);
    gui_test::writeMask(*skins, "tallMask", 8, 9);
    gui_test::writeFace(*skins, "tallPointer", 8, 8, pointerColor);
    gui_test::writeFace(*skins, "wide", 8, 8, markerColor);
    gui_test::writeMask(*skins, "wideMask", 8, 8);
    gui_test::writeFace(*skins, "widePointer", 9, 8, pointerColor);
    struct Case {
        const char* key;
        int border;
        const char* text;
    };
    const Case cases[] = {
        {"beat", 3, "Border too small."},
        {"tall", 5, "Dimensions of marker image and mask don't match."},
        {"wide", 5, "Dimensions of marker image and pointer image don't match."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_FATAL(GUIMarkerMap(0, 0, 100, 100, c.border, 100, c.key, &client), c.text);
    }
    GUIMarkerMap fits(0, 0, 100, 100, 4, 100, "beat", &client);
    fits.addMarker(true, 1);
    EXPECT_FATAL(fits.removeMarker(-1), "Invalid marker index.");
    EXPECT_FATAL(fits.removeMarker(1), "Invalid marker index.");
    fits.removeMarker(0);
    EXPECT_EQ(fits.count(), 0);
}

}  // namespace
