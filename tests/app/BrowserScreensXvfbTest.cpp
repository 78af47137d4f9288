// The browser and the previewer of the velkarn program as run.sh starts
// it, on an X server of its own without a window manager, driven with
// xdotool: the data directory holds the records of a main output on the
// DirectSound list, the second output on and a tree of generated songs (beat
// meta-data, some with tags, some not analysed) as the first root. The main
// window's browser button opens the browser; a click on the root builds the
// list; a typed filter and a click on a header each change what the list
// shows; a row's play button opens the previewer on that song. The pictures
// are kept in the build tree for the README (docs/screenshots/ holds copies
// that were looked at).
#include "AppTestSupport.h"
#include "BrowserTestSupport.h"
#include "TestEnvironment.h"
#include "XvfbSession.h"

#include "app/VelkarnStartUpValues7.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using testing_support::TemporaryDirectory;
using xvfb_test::Pixel;
using xvfb_test::Placement;
using xvfb_test::runForOutput;
using xvfb_test::screenPixel;
using xvfb_test::screenHeight;
using xvfb_test::screenWidth;

struct Area {
    int x, y, width, height;
};
// Places in the browser window.
constexpr Area listArea{10, 154, 950, 500};  // the rows, left of the scrollbar
constexpr Area trackHeader{60, 117, 30, 20};
constexpr int rowY0 = 154;
constexpr int rowHeight = 20;
constexpr int rowCount = 25;
constexpr int fileNameX = 726;  // the file name column, right of its rule
constexpr int playButtonX = 462;
// The main window's browser button.
constexpr int browserButtonX = 830 + 36;
constexpr int browserButtonY = 486 + 16;
// The previewer's beat map.
constexpr Area beatMap{15, 15, 770, 250};

// The tree below the root: name, tags (empty: no tags), tempo (0: not
// analysed), length. The previewed song is long enough for its beat map
// (one pixel a row of four beats) to show.
struct TreeSong {
    const char* name;
    const char* title;
    const char* artist;
    float bpm;
    double seconds = 8.0;
};
const TreeSong tree[] = {
    {"Alpha.wav", "Alpha", "Band", 120.0f, 240.0},
    {"crates/Xylophone.wav", "Xylophone Groove", "Crew", 128.0f},
    {"Deep Night.wav", "Deep Night", "Band", 124.0f},
    {"field recording.wav", "", "", 0.0f},
    {"sets/Hazel.wav", "Hazel", "Quartet", 98.5f},
    {"Foxtrot.wav", "Foxtrot", "Band", 90.0f},
    {"untitled 3.wav", "", "", 0.0f},
    {"Kilo.wav", "Kilo", "Duo", 140.0f},
    {"Lima.wav", "", "", 110.0f},
};

class BrowserScreensXvfb : public xvfb_test::XvfbTest {
protected:
    // The records of a program with both outputs on (on two null devices)
    // and `root` as its first root.
    void seedRecords(const std::string& root) {
        testing_support::ScopedEnvironment programHome("VELKARN_HOME", home.path());
        app_test::storeOutputsOnTwoNullDevices();
        VelkarnStartUpValues7 startUp7;
        std::strncpy(startUp7.rootDirectories[0], root.c_str(), sizeof startUp7.rootDirectories[0] - 1);
        startUp7.save();
    }

    // The first window whose name matches, and where it is.
    std::string findWindow(const std::string& pattern, Placement& at) {
        const std::string found =
            runForOutput({"xdotool", "search", "--sync", "--name", pattern}, scratch.file("search.log"));
        if (found.empty()) return {};
        const std::string window = found.substr(0, found.find('\n'));
        at = xvfb_test::placementOf(window, scratch.file("geometry.log"));
        return window;
    }

    void click(const Placement& at, int x, int y) {
        ASSERT_EQ(xdotool({"mousemove", "--sync", std::to_string(at.x + x), std::to_string(at.y + y), "click", "1",
                           "mousemove", "--sync", "1270", "1015"}),
                  0);
        // Apart in time, so that two clicks are never one double click.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }

    // An area of a window as RGB rows, once two readings a little apart
    // agree (drawing reaches the server a little after the program
    // presents); `changedFrom`, when given, must differ too.
    std::string grab(const Placement& at, const Area& area, const std::string& changedFrom = {}) {
        std::string last;
        for (int attempt = 0; attempt < 60; ++attempt) {
            screen = server.screenshot(scratch.path());
            std::string pixels;
            if (screen.size() == static_cast<std::size_t>(screenWidth) * screenHeight * 3) {
                for (int y = 0; y < area.height; ++y) {
                    const std::size_t row = static_cast<std::size_t>(at.y + area.y + y) * screenWidth;
                    pixels.append(screen, (row + static_cast<std::size_t>(at.x + area.x)) * 3,
                                  static_cast<std::size_t>(area.width) * 3);
                }
            }
            if (!pixels.empty() && pixels == last && pixels != changedFrom) return pixels;
            last = pixels;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        return last;
    }

    // The window as the last grab's screen shows it, as a PNG in the build
    // tree's screen directory.
    void keep(const Placement& at, const std::string& name) {
        EXPECT_EQ(testing_support::runProgram(
                      {"convert", "-size", "1280x1024", "-depth", "8", "rgb:" + scratch.file("screen.rgb"), "-crop",
                       std::to_string(at.width) + "x" + std::to_string(at.height) + "+" + std::to_string(at.x) + "+" +
                           std::to_string(at.y),
                       "+repage", std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/" + name},
                      scratch.file("convert.log")),
                  0);
    }

    // Pixels of a window's area (on the last grab's screen) that pass.
    template <class Test>
    int count(const Placement& at, const Area& area, Test passes) const {
        int n = 0;
        for (int y = area.y; y < area.y + area.height; ++y) {
            for (int x = area.x; x < area.x + area.width; ++x) n += passes(screenPixel(screen, at.x + x, at.y + y));
        }
        return n;
    }
    // The list's rows whose file name shows: text pixels (dark on the
    // light stripes) in that column.
    int rowsShown(const Placement& at) const {
        int rows = 0;
        for (int r = 0; r < rowCount; ++r) {
            rows += count(at, {fileNameX, rowY0 + rowHeight * r, 230, rowHeight}, [](Pixel c) {
                return std::max({c.red, c.green, c.blue}) < 190;
            }) > 0;
        }
        return rows;
    }

    TemporaryDirectory home;
    std::string screen;
};

TEST_F(BrowserScreensXvfb, TheBrowserBuildsFiltersAndSortsItsRootAndOpensThePreviewer) {
    const std::string root = home.path() + "/songs";
    for (const TreeSong& song : tree) {
        browser_test::SongSpec spec;
        spec.seconds = song.seconds;
        spec.withMetaData = song.bpm > 0.0f;
        spec.withTags = song.title[0] != '\0';
        spec.title = song.title;
        spec.artist = song.artist;
        spec.bpm = song.bpm > 0.0f ? song.bpm : 120.0f;
        browser_test::writeSong(root + "/" + song.name, spec);
    }
    seedRecords(root);
    const std::string record = scratch.file("requests.txt");
    xvfb_test::Child program({VELKARN_PROGRAM},
                             {"DISPLAY=" + server.displayName(), "QT_QPA_PLATFORM=xcb", "VELKARN_HOME=" + home.path(),
                              "VELKARN_AUDIO=null", "VELKARN_UI_SCRIPT=yes\n", "VELKARN_UI_RECORD=" + record});
    ASSERT_TRUE(program.started());
    Placement main;
    const std::string mainWindow = findWindow("^Velkarn$", main);
    ASSERT_FALSE(mainWindow.empty()) << program.transcript;

    // The browser button: the browser opens on the root, not yet built.
    click(main, browserButtonX, browserButtonY);
    Placement at;
    const std::string browserWindow = findWindow("^Browser$", at);
    ASSERT_FALSE(browserWindow.empty()) << program.transcript;
    ASSERT_EQ(at.width, 1000);
    ASSERT_EQ(at.height, 670);
    const std::string empty = grab(at, listArea);
    EXPECT_EQ(rowsShown(at), 0) << "rows before the build";

    // A click on the root's text builds the list: a row for each song.
    click(at, 60 + 100, 17 + 10);
    const std::string rows = grab(at, listArea, empty);
    EXPECT_EQ(rowsShown(at), static_cast<int>(std::size(tree)));
    keep(at, "browser_rows.png");

    // "Band" typed into the filter: three rows stay.
    ASSERT_EQ(xdotool({"windowfocus", "--sync", browserWindow, "type", "--delay", "50", "Band"}), 0);
    const std::string filtered = grab(at, listArea, rows);
    EXPECT_EQ(rowsShown(at), 3);

    // The Track header: the rows go in title order and the header turns
    // red (the list starts sorted by tempo).
    const auto red = [](Pixel c) { return c.red > 150 && c.green < 80 && c.blue < 80; };
    EXPECT_EQ(count(at, trackHeader, red), 0);
    click(at, trackHeader.x + 10, trackHeader.y + 10);
    const std::string sorted = grab(at, listArea, filtered);
    EXPECT_TRUE(sorted != filtered) << "the sort changed nothing";
    EXPECT_EQ(rowsShown(at), 3);
    EXPECT_GT(count(at, trackHeader, red), 10) << "the sorted column's header is not red";
    keep(at, "browser_filtered_sorted.png");

    // The first row (Alpha) played: the previewer opens on it with the
    // song's beat map drawn.
    click(at, playButtonX + 10, rowY0 + 10);
    Placement previewer;
    const std::string previewerWindow = findWindow("Alpha", previewer);
    ASSERT_FALSE(previewerWindow.empty()) << program.transcript;
    EXPECT_EQ(previewer.width, 800);
    EXPECT_EQ(previewer.height, 340);
    const std::string title = runForOutput({"xdotool", "getwindowname", previewerWindow}, scratch.file("name.log"));
    EXPECT_NE(title.find("[Alpha | Band]"), std::string::npos) << title;
    // Grey levels of the envelope, row after row, below the markers.
    const auto grey = [](Pixel c) { return c.red == c.green && c.green == c.blue && c.red > 20 && c.red < 250; };
    grab(previewer, beatMap);
    EXPECT_GE(count(previewer, beatMap, grey), 20000) << "the beat map shows no song";
    keep(previewer, "previewer.png");

    ASSERT_EQ(testing_support::runProgram({VELKARN_CLOSE_REQUEST, previewerWindow}, scratch.file("closePreviewer.log")),
              0);
    ASSERT_EQ(xdotool({"search", "--sync", "--all", "--onlyvisible", "--name", "^Browser$"}), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(testing_support::runProgram({VELKARN_CLOSE_REQUEST, mainWindow}, scratch.file("close.log")), 0);
    EXPECT_EQ(program.waitForExit(30000), 0) << program.transcript;

    // The build's progress dialog and the quit question; no box.
    const std::vector<std::string> asked = xvfb_test::fileLines(record);
    ASSERT_EQ(asked.size(), 2u) << testing_support::readFile(record);
    EXPECT_EQ(asked[0].rfind("dialog\tProgress Dialog\t", 0), 0u) << asked[0];
    EXPECT_NE(asked[1].find("Do you want to quit Velkarn?"), std::string::npos) << asked[1];
}

}  // namespace
