// The scope in the velkarn program as run.sh starts it, on an X server of
// its own without a window manager, driven with xdotool: a 440 Hz song is
// loaded with the Drop panel's load button (the chooser answered by the UI
// script), dropped on deck 0 a few seconds ahead of the real-time play
// position and played; the main window's scope button opens the graph and
// control windows. The graph in scope mode with the trigger must show the
// tone's swing, not a flat line; in spectrum mode with labelMax the note
// read-out shows "A  4", pixel for pixel against the skin's glyph images. The pictures are kept in the build tree for the
// README (docs/screenshots/ holds copies that were looked at), and the main
// output's capture must hold the tone.
#include "ImageTestSupport.h"
#include "TestEnvironment.h"
#include "ToneSongs.h"
#include "XvfbSession.h"

#include "framework/Image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

namespace {

using testing_support::TemporaryDirectory;
using xvfb_test::Placement;
using xvfb_test::screenHeight;
using xvfb_test::screenWidth;

// Places in the main window.
constexpr int scopeButtonX = 830 + 36, scopeButtonY = 522 + 16;
// Places in the control window: the buttons, the panel group's tab band.
constexpr int triggerX = 339 + 18, triggerY = 60 + 15;
constexpr int frequencyX = 324 + 33, frequencyY = 101 + 15;
constexpr int labelMaxX = 215 + 40, labelMaxY = 105 + 12;
constexpr int groupX = 8, groupWidth = 310, bandY = 8 + 12;
// The note read-out in the graph window: seven cells of 10 x 18 at (90, 33).
constexpr int noteX = 90, noteY = 33, noteWidth = 70, noteHeight = 18;

using xvfb_test::Pixel;
using xvfb_test::runForOutput;
using xvfb_test::screenPixel;

// The trace is drawn in red over the graph's dark ground and grey grid.
bool isTrace(const Pixel& p) { return p.red > 120 && p.green < 90 && p.blue < 90; }

// The median over the graph's columns of each column's red extent in rows:
// a flat line gives one or two rows, the tone's swing many.
int medianTraceHeight(const std::string& screen, const Placement& graph) {
    std::vector<int> heights;
    for (int x = 0; x < graph.width; ++x) {
        int top = -1, bottom = -1;
        for (int y = 0; y < graph.height; ++y) {
            if (!isTrace(screenPixel(screen, graph.x + x, graph.y + y))) continue;
            if (top < 0) top = y;
            bottom = y;
        }
        heights.push_back(top < 0 ? 0 : bottom - top + 1);
    }
    std::nth_element(heights.begin(), heights.begin() + static_cast<long>(heights.size() / 2), heights.end());
    return heights.empty() ? 0 : heights[heights.size() / 2];
}

// The note read-out's cells 3 to 6 on the screen against the skin's images
// of "A  4": the pixels that disagree; `judged` counts those compared.
int noteMismatches(const std::string& screen, const Placement& graph, int& judged) {
    image_test::Bytes bgra;
    for (int row = 0; row < noteHeight; ++row) {
        for (int column = 0; column < noteWidth; ++column) {
            const Pixel p = screenPixel(screen, graph.x + noteX + column, graph.y + noteY + row);
            bgra.insert(bgra.end(), {static_cast<std::uint8_t>(p.blue), static_cast<std::uint8_t>(p.green),
                                     static_cast<std::uint8_t>(p.red), 255});
        }
    }
    const std::unique_ptr<Image> shown(image_test::imageFromBytes(noteWidth, noteHeight, bgra));
    const std::string font = std::string(VELKARN_SKIN_DIRECTORY) + "/images/scope/font/arial13grey/";
    const char* cells[] = {"A", "Space", "Space", "4"};
    int mismatches = 0;
    for (int i = 0; i < 4; ++i) {
        const Image glyph(font + cells[i] + ".png", true);
        mismatches += image_test::glyphMismatches(*shown, (3 + i) * glyph.width(), 0, glyph, judged);
    }
    return mismatches;
}

class ScopeScreensXvfb : public xvfb_test::XvfbTest {
protected:
    Placement placementOf(const std::string& window) {
        return xvfb_test::placementOf(window, scratch.file("geometry.log"));
    }

    // Screenshots until `wanted` holds of one (or the bound passes); the
    // last one.
    template <class Wanted>
    std::string screenWhere(Wanted wanted, int boundMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
        std::string screen;
        do {
            screen = server.screenshot(scratch.path());
            if (screen.size() == static_cast<std::size_t>(screenWidth) * screenHeight * 3 && wanted(screen)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        } while (std::chrono::steady_clock::now() < deadline);
        return screen;
    }

    // A window's part of the screen as a PNG in the build tree.
    void keep(const std::string& screen, const Placement& window, const std::string& name) {
        const std::string raw = scratch.file(name + ".rgb");
        testing_support::writeFile(raw, screen);
        EXPECT_EQ(testing_support::runProgram(
                      {"convert", "-size", std::to_string(screenWidth) + "x" + std::to_string(screenHeight), "-depth",
                       "8", "rgb:" + raw, "-crop",
                       std::to_string(window.width) + "x" + std::to_string(window.height) + "+" +
                           std::to_string(window.x) + "+" + std::to_string(window.y),
                       "+repage", std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/" + name + ".png"},
                      scratch.file("convert.log")),
                  0);
    }

    TemporaryDirectory home;
    TemporaryDirectory capture;
};

TEST_F(ScopeScreensXvfb, ThePlayingToneShowsAsATriggeredTraceAndAsItsNote) {
    // Both channels at 0.4, no markers: a plain 440 Hz tone with its beats.
    ToneSongExtras extras;
    extras.title = "A440";
    const ToneSong song = writeToneSong(home.path(), "a440", {120.0, 90.0, 440.0, 0.4, 1000.0, 0.0}, extras);
    const auto begin = std::chrono::steady_clock::now();
    const std::string record = scratch.file("requests.txt");
    // The song for the load chooser, Yes to quitting.
    xvfb_test::Child program({VELKARN_PROGRAM},
                             {"DISPLAY=" + server.displayName(), "QT_QPA_PLATFORM=xcb", "VELKARN_HOME=" + home.path(),
                              "VELKARN_AUDIO=null", "VELKARN_NULL_CAPTURE=" + capture.path(),
                              "VELKARN_UI_SCRIPT=path " + song.path + "\nyes\n", "VELKARN_UI_RECORD=" + record});
    ASSERT_TRUE(program.started());
    const std::string mainWindow = waitForWindow("^Velkarn$", 60000);
    ASSERT_FALSE(mainWindow.empty()) << program.transcript;
    const Placement main = placementOf(mainWindow);
    ASSERT_GT(main.width, 0);

    // Load and drop ahead of the play position; the title names the song
    // once the play position reaches it.
    ASSERT_NO_FATAL_FAILURE(loadAndDrop(main, begin, 0, record, "A440")) << program.transcript;

    click(main, scopeButtonX, scopeButtonY);
    const std::string graphWindow = waitForWindow("^Scope - Graph$", 20000);
    const std::string controlWindow = waitForWindow("^Scope - Control$", 20000);
    ASSERT_FALSE(graphWindow.empty()) << program.transcript;
    ASSERT_FALSE(controlWindow.empty()) << program.transcript;
    const Placement graph = placementOf(graphWindow);
    const Placement control = placementOf(controlWindow);
    ASSERT_EQ(graph.width, 512);
    ASSERT_EQ(graph.height, 200);

    // Scope mode with the trigger: the trace swings with the tone (0.4 on
    // both channels through the mix spans tens of the graph's 200 rows).
    click(control, triggerX, triggerY);
    std::string screen = screenWhere([&](const std::string& s) { return medianTraceHeight(s, graph) >= 20; }, 20000);
    EXPECT_GE(medianTraceHeight(screen, graph), 20) << "the trace is flat";
    keep(screen, graph, "scope-graph-trigger");
    keep(screen, control, "scope-control");

    // Spectrum mode, its tab, the loudest note named.
    click(control, frequencyX, frequencyY);
    click(control, groupX + groupWidth * 1 / 4 + groupWidth / 8, bandY);
    click(control, labelMaxX, labelMaxY);
    int judged = 0;
    screen = screenWhere([&](const std::string& s) { return noteMismatches(s, graph, judged) == 0; }, 20000);
    judged = 0;
    EXPECT_EQ(noteMismatches(screen, graph, judged), 0) << "the read-out does not show \"A  4\"";
    EXPECT_GT(judged, 0);
    keep(screen, graph, "scope-spectrum");

    ASSERT_EQ(testing_support::runProgram({VELKARN_CLOSE_REQUEST, mainWindow}, scratch.file("close.log")), 0)
        << testing_support::readFile(scratch.file("close.log"));
    EXPECT_EQ(program.waitForExit(30000), 0) << program.transcript;

    // The main output's capture holds the tone: well above the silence of a
    // run without a song.
    std::istringstream info(testing_support::runPython("app/capture_info.py", {capture.file("1.wav")}));
    int channels = 0, width = 0, rate = 0, largest = -1;
    long long frames = -1;
    ASSERT_TRUE(info >> channels >> width >> rate >> frames >> largest);
    EXPECT_GT(largest, 3000);
}

}  // namespace
