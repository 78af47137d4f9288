// The deck strip: its column arithmetic against an independent NumPy model
// for a table of grids and scales, clicks, what the pointers redraw, the
// pointer image's size check.
#include "GuiTestSkins.h"
#include "StripTestSupport.h"
#include "TestEnvironment.h"
#include "app/GUIStrip.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <sstream>

namespace {

using strip_test::Grid;
using strip_test::RecordingStripClient;

struct GridCase {
    const char* name;
    std::function<float(std::int32_t)> lengthOf;
    float samplesPerPixel;
    std::int32_t startBeat;
};

float steady(std::int32_t) { return 22050.0f; }
// Lengths from 40 to 220 BPM in no order.
float mixed(std::int32_t beat) {
    static const float lengths[] = {12027.0f, 66150.0f, 22050.0f, 30001.0f, 17640.0f, 25431.0f, 14700.0f};
    return lengths[beat % 7];
}

std::vector<GridCase> gridCases() {
    std::vector<GridCase> cases;
    for (int zoom : {1, 2, 4, 8, 16}) {
        cases.push_back({"equal beats", steady, static_cast<float>(zoom) * 689.0f, 0});
    }
    cases.push_back({"mixed lengths", mixed, 2756.0f, 7});
    cases.push_back({"mixed lengths, zoom 1", mixed, 689.0f, 3});
    cases.push_back({"mixed lengths, zoom 16", mixed, 11024.0f, 12});
    // 100 beats of 22048 frames fill 800 columns of 2756 exactly.
    cases.push_back({"strip ends on a beat end", [](std::int32_t) { return 22048.0f; }, 2756.0f, 0});
    cases.push_back({"first beat longer than the strip",
                     [](std::int32_t beat) { return beat == 3 ? 3000000.0f : 22050.0f; }, 2756.0f, 3});
    cases.push_back({"a scale that is no whole number", mixed, 1234.567f, 5});
    return cases;
}

class GUIStripArithmetic : public gui_test::GuiComponentTest {};

TEST_F(GUIStripArithmetic, ColumnsPositionsAndPointersAgreeWithTheModel) {
    const std::vector<GridCase> cases = gridCases();
    std::ostringstream input;
    std::vector<std::unique_ptr<Grid>> grids;
    std::vector<std::unique_ptr<GUIStrip>> strips;
    std::vector<std::vector<std::int64_t>> probes;
    for (const GridCase& c : cases) {
        grids.push_back(std::make_unique<Grid>(c.lengthOf));
        TrackInfo& grid = grids.back()->info();
        auto strip = std::make_unique<GUIStrip>(10, 10, 800, 60, c.samplesPerPixel, "", 0, nullptr);
        strip->setStartBeat(c.startBeat, grid);
        strip->shadeAfterLastBeat(grid);

        const int beats = 500;
        input << 800 << ' ' << std::bit_cast<std::uint32_t>(c.samplesPerPixel) << ' ' << c.startBeat << ' ' << beats;
        std::vector<std::int64_t> probe;
        for (int k = 0; k < beats; ++k) {
            const TrackBeat beat = grid.beatAt(c.startBeat + k);
            input << ' ' << beat.position << ' ' << beat.length;
            if (k < 40) {
                probe.push_back(beat.position);
                probe.push_back(beat.position - 1);
                probe.push_back(beat.position + beat.length / 3);
            }
        }
        const std::int64_t start = strip->startPosition();
        for (std::int64_t offset : {-1, -700, -12000, 1, 2203999, 2204799, 2204800, 2210000, 9000000}) {
            probe.push_back(start + offset);
        }
        input << " |";
        for (std::int64_t p : probe) input << ' ' << p;
        input << '\n';
        probes.push_back(probe);
        strips.push_back(std::move(strip));
    }
    testing_support::TemporaryDirectory dir;
    testing_support::writeFile(dir.file("cases.txt"), input.str());
    std::istringstream model(testing_support::runPython("app/strip_model.py", {dir.file("cases.txt")}));

    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(std::string(cases[i].name) + " at " + std::to_string(cases[i].samplesPerPixel));
        std::string line;
        ASSERT_TRUE(std::getline(model, line));
        std::istringstream expected(line);
        GUIStrip& strip = *strips[i];
        TrackInfo& grid = grids[i]->info();
        std::int64_t samplesInWidth = 0, lastBeat = 0, lastBeatEnd = 0, usable = 0;
        expected >> samplesInWidth >> lastBeat >> lastBeatEnd >> usable;
        EXPECT_EQ(strip.samplesInWidth(), samplesInWidth);
        EXPECT_EQ(strip.lastBeat(), lastBeat);
        EXPECT_EQ(strip.lastBeatEnd(), lastBeatEnd);
        EXPECT_EQ(strip.usableColumns(), usable);
        for (std::int32_t b = strip.startBeat(); b <= strip.lastBeat(); ++b) {
            int c0 = 0, c1 = 0, e0 = -1, e1 = -1;
            strip.beatColumns(grid.beatAt(b), c0, c1);
            expected >> e0 >> e1;
            EXPECT_EQ(c0, e0) << "beat " << b;
            EXPECT_EQ(c1, e1) << "beat " << b;
        }
        for (int offset = -1; offset <= 800; ++offset) {
            std::string token;
            expected >> token;
            std::int64_t position = 0;
            const bool found = strip.positionAt(10 + offset, position);
            if (token == "x") {
                EXPECT_FALSE(found) << "offset " << offset;
            } else {
                EXPECT_TRUE(found) << "offset " << offset;
                EXPECT_EQ(std::to_string(position), token) << "offset " << offset;
            }
        }
        for (std::int64_t p : probes[i]) {
            std::string token;
            expected >> token;
            int x = 0;
            const bool found = strip.columnAt(p, x);
            if (token == "x") {
                EXPECT_FALSE(found) << "position " << p;
            } else {
                EXPECT_TRUE(found) << "position " << p;
                EXPECT_EQ(std::to_string(x - 10), token) << "position " << p;
            }
        }
        for (std::int64_t p : probes[i]) {
            std::string token;
            expected >> token;
            if (token == "f") {
                EXPECT_FATAL(strip.setMainPointer(p), "Strip main pointer off scale.");
            } else {
                strip.setMainPointer(p);
                EXPECT_EQ(std::to_string(strip.mainPointerColumn() - 10), token) << "position " << p;
            }
        }
        std::string rest;
        EXPECT_FALSE(expected >> rest) << "the model said more: " << rest;
    }
}

TEST_F(GUIStripArithmetic, AStripWithNoWholeBeatIsShadedAndDeaf) {
    Grid grid([](std::int32_t beat) { return beat == 0 ? 3000000.0f : 22050.0f; });
    RecordingStripClient client;
    GUIStrip strip(10, 10, 800, 60, 2756.0f, "", 0, &client);
    strip.setStartBeat(0, grid.info());
    strip.shadeAfterLastBeat(grid.info());
    EXPECT_EQ(strip.lastBeat(), -1);
    EXPECT_EQ(strip.usableColumns(), 0);
    for (int x : {10, 400, 809}) {
        strip.mouseDown(GUIPoint(x, 30), false);
        strip.mouseUp(GUIPoint(x, 30));
    }
    EXPECT_TRUE(client.calls.empty());
    // Every column carries the shade over the tint.
    Image expected(1, 1, GUIStrip::tint[0], GUIStrip::tint[1], GUIStrip::tint[2], GUIStrip::tint[3]);
    expected.blendFill(GUIStrip::shade[0], GUIStrip::shade[1], GUIStrip::shade[2], GUIStrip::shade[3], 0, 0, 1, 1);
    for (int x : {0, 399, 799}) {
        EXPECT_FALSE(strip.image().getPixel(x, 30).differs(expected.getPixel(0, 0))) << x;
    }
}

TEST_F(GUIStripArithmetic, PressesAndReleasesOnTheBeatsReportTheirPositions) {
    // Beats of 22050 at 2756 per column: 99 whole beats end at 2182950,
    // column 792; the columns from there on are shaded.
    Grid grid(steady);
    RecordingStripClient client;
    GUIStrip strip(10, 10, 800, 60, 2756.0f, "", 1, &client);
    strip.setStartBeat(2, grid.info());
    strip.shadeAfterLastBeat(grid.info());
    ASSERT_EQ(strip.usableColumns(), 792);
    struct Case {
        int x, y;
        bool reports;
    };
    const Case cases[] = {
        {10, 10, true},    // the first column, top row
        {11, 69, true},    // bottom row
        {801, 40, true},   // the last usable column
        {802, 40, false},  // the first shaded column
        {809, 40, false},
        {9, 40, false},    // left of the strip
        {400, 9, false},   // above
        {400, 70, false},  // below
    };
    for (const Case& c : cases) {
        client.calls.clear();
        strip.mouseDown(GUIPoint(c.x, c.y), false);
        strip.mouseUp(GUIPoint(c.x, c.y));
        if (!c.reports) {
            EXPECT_TRUE(client.calls.empty()) << c.x << "," << c.y;
            continue;
        }
        const std::int64_t position = 44100 + static_cast<std::int64_t>(static_cast<float>(c.x - 10) * 2756.0f);
        EXPECT_EQ(client.calls, (std::vector<std::string>{"down " + std::to_string(position),
                                                          "up " + std::to_string(position)}))
            << c.x << "," << c.y;
    }
}

class GUIStripDrawing : public gui_test::GuiComponentTest {
protected:
    void SetUp() override {
        GuiComponentTest::SetUp();
        gui_test::writeFace(*skins, "pointer", 800, 60, Color{0, 0, 0, 128});
        gui_test::writeFace(*skins, "pointerTooSmall", 800, 59, Color{0, 0, 0, 128});
        openWindow(820, 80);
    }
};

TEST_F(GUIStripDrawing, PointersRedrawOnlyTheirColumns) {
    Grid grid(steady);
    auto* strip = new GUIStrip(10, 10, 800, 60, 2756.0f, "pointer", 0, nullptr);
    window->add(strip);
    strip->setStartBeat(0, grid.info());
    strip->shadeAfterLastBeat(grid.info());
    redraws();

    strip->setMainPointer(100 * 2756 + 5);
    EXPECT_EQ(redraws(), std::vector<std::string>{"10,10-110,69"});
    strip->setMainPointer(100 * 2756 + 2000);  // the same column
    EXPECT_TRUE(redraws().empty());
    strip->setMainPointer(98 * 2756);
    EXPECT_EQ(redraws(), std::vector<std::string>{"108,10-110,69"});

    // The second pointer redraws nothing while hidden, then one column on
    // show and hide, and the old and new column on a move.
    strip->setSecondPointer(50 * 2756);
    EXPECT_TRUE(redraws().empty());
    strip->showSecondPointer();
    EXPECT_EQ(redraws(), std::vector<std::string>{"60,10-60,69"});
    strip->showSecondPointer();
    EXPECT_TRUE(redraws().empty());
    strip->setSecondPointer(52 * 2756);
    EXPECT_EQ(redraws(), (std::vector<std::string>{"60,10-60,69", "62,10-62,69"}));
    // Off the strip: only the old column.
    strip->setSecondPointer(-5 * 2756);
    EXPECT_EQ(redraws(), std::vector<std::string>{"62,10-62,69"});
    strip->setSecondPointer(3 * 2756);
    EXPECT_EQ(redraws(), std::vector<std::string>{"13,10-13,69"});
    strip->hideSecondPointer();
    EXPECT_EQ(redraws(), std::vector<std::string>{"13,10-13,69"});

    // What the window shows: the veil left of the main pointer, the black
    // second pointer when shown.
    strip->showSecondPointer();
    const Color veiled = pixel(50, 40);
    const Color open = pixel(200, 40);
    EXPECT_LT(veiled.red, open.red);
    EXPECT_TRUE(shows(13, 40, Color{0, 0, 0, 255}));
    EXPECT_FALSE(shows(14, 40, Color{0, 0, 0, 255}));
}

TEST_F(GUIStripDrawing, APointerImageOfAnotherSizeIsFatal) {
    EXPECT_FATAL(GUIStrip(10, 10, 800, 60, 2756.0f, "pointerTooSmall", 0, nullptr),
                 "The main pointer image has dimensions different from strip.");
    EXPECT_EQ(gui_test::fatalUnit([] { GUIStrip(10, 10, 800, 60, 2756.0f, "pointerTooSmall", 0, nullptr); }),
              "GUIStrip.cpp");
}

}  // namespace
