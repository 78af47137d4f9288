// The velkarn program as run.sh starts it (no arguments) on an X server of
// its own without a window manager: the null output capturing to WAV in
// real time, an empty data directory and boxes answered Yes. Its first frame
// must equal the offscreen golden; the volume knob is dragged and play
// clicked twice with xdotool; the close request comes as a window manager
// sends it; then the exit status, the capture (read by Python's wave) and
// the stored settings records are checked.
#include "AppTestSupport.h"
#include "TestEnvironment.h"
#include "ToneSongs.h"
#include "XvfbSession.h"

#include "framework/Image.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <sstream>
#include <thread>

namespace {

using testing_support::TemporaryDirectory;
using xvfb_test::screenHeight;
using xvfb_test::screenWidth;

// Places in the main window's client area.
struct Area {
    int x, y, width, height;
};
constexpr Area playButton{830, 600, 72, 44};
// What the display refresh changes from the first frame on its first ticks,
// which the real-time clock runs before the frame can be read back: row 0 of
// both decks' strips (the play pointer's veil), the recording and player
// lamps (enabled, off) and the decks panel's three tempo read-outs (the
// grid's 120 BPM). The first frame is compared around them.
constexpr Area refreshed[] = {{0, 0, 820, 145}, {247, 455, 154, 18}, {331, 541, 156, 26}};

bool isRefreshed(int x, int y) {
    for (const Area& a : refreshed) {
        if (x >= a.x && x < a.x + a.width && y >= a.y && y < a.y + a.height) return true;
    }
    return false;
}
constexpr Area volumeKnob{910, 551, 75, 12};  // at the start-up volume 0.45

using xvfb_test::Placement;

// Pixels in `area` of the window that differ from the golden frame (-1 for
// a screen of the wrong size).
int differences(const std::string& screen, const Placement& at, const Image& golden, const Area& area,
                bool skipRefreshed = false) {
    if (screen.size() != static_cast<std::size_t>(screenWidth) * screenHeight * 3) return -1;
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y) {
        for (int x = area.x; x < area.x + area.width; ++x) {
            if (skipRefreshed && isRefreshed(x, y)) continue;
            const Color expected = golden.getPixel(x, y);
            const std::size_t i = (static_cast<std::size_t>(at.y + y) * screenWidth + static_cast<std::size_t>(at.x + x)) * 3;
            count += static_cast<std::uint8_t>(screen[i]) != expected.red ||
                     static_cast<std::uint8_t>(screen[i + 1]) != expected.green ||
                     static_cast<std::uint8_t>(screen[i + 2]) != expected.blue;
        }
    }
    return count;
}

using xvfb_test::placementOf;
using xvfb_test::runForOutput;
using xvfb_test::screenPixel;

class AppSmokeXvfb : public xvfb_test::XvfbTest {
protected:
    // Looks until the area of the window shows what `wanted` says of its
    // difference count (drawing reaches the server a little after the
    // program presents); returns the last count.
    template <class Wanted>
    int settle(const Placement& at, const Image& golden, const Area& area, Wanted wanted, bool skipRefreshed = false) {
        int last = -1;
        for (int attempt = 0; attempt < 100; ++attempt) {
            last = differences(server.screenshot(scratch.path()), at, golden, area, skipRefreshed);
            if (last >= 0 && wanted(last)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return last;
    }

    TemporaryDirectory home;
    TemporaryDirectory capture;
};

TEST_F(AppSmokeXvfb, ShowsItsFrameTakesInputAndEndsOnTheWindowManagersCloseRequest) {
    const Image golden(testing_support::sourceDirectory() + "/tests/app/golden/AppEndToEnd.png", true);
    const std::string record = scratch.file("requests.txt");
    const auto begin = std::chrono::steady_clock::now();
    xvfb_test::Child program({VELKARN_PROGRAM},
                             {"DISPLAY=" + server.displayName(), "QT_QPA_PLATFORM=xcb", "VELKARN_HOME=" + home.path(),
                              "VELKARN_AUDIO=null", "VELKARN_NULL_CAPTURE=" + capture.path(), "VELKARN_UI_SCRIPT=yes\n",
                              "VELKARN_UI_RECORD=" + record});
    ASSERT_TRUE(program.started());

    const std::string found = runForOutput({"xdotool", "search", "--sync", "--name", "^Velkarn$"}, scratch.file("search.log"));
    ASSERT_FALSE(found.empty()) << program.transcript;
    const std::string window = found.substr(0, found.find('\n'));
    const auto shown = std::chrono::steady_clock::now();
    const Placement at = placementOf(window, scratch.file("geometry.log"));
    ASSERT_EQ(at.width, golden.width());
    ASSERT_EQ(at.height, golden.height());
    const Area whole{0, 0, golden.width(), golden.height()};
    // The X pointer starts at the screen's centre, over the window; hover
    // marks drawn under it are not part of the first frame.
    ASSERT_EQ(xdotool({"mousemove", "--sync", std::to_string(at.x + at.width + 40),
                       std::to_string(at.y + at.height + 40)}),
              0);
    EXPECT_EQ(settle(at, golden, whole, [](int n) { return n == 0; }, true), 0);
    // The picture of the screen, kept in the build tree (docs/screenshots/
    // holds a copy that was looked at).
    testing_support::runProgram({"convert", "-size", "1280x1024", "-depth", "8", "rgb:" + scratch.file("screen.rgb"),
                                 std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/velkarn_xvfb.png"},
                                scratch.file("convert.log"));

    // The knob down by 40 px: it leaves its place.
    const int knobX = at.x + volumeKnob.x + volumeKnob.width / 2;
    const int knobY = at.y + volumeKnob.y + volumeKnob.height / 2;
    ASSERT_EQ(xdotool({"mousemove", "--sync", std::to_string(knobX), std::to_string(knobY), "mousedown", "1",
                       "mousemove", "--sync", std::to_string(knobX), std::to_string(knobY + 40), "mouseup", "1"}),
              0);
    EXPECT_GT(settle(at, golden, volumeKnob, [](int n) { return n > 0; }), 0);
    // Play off (the button comes up), then on again (as at the start).
    const int playX = at.x + playButton.x + playButton.width / 2;
    const int playY = at.y + playButton.y + playButton.height / 2;
    ASSERT_EQ(xdotool({"mousemove", "--sync", std::to_string(playX), std::to_string(playY), "click", "1"}), 0);
    EXPECT_GT(settle(at, golden, playButton, [](int n) { return n > 0; }), 0);
    // Apart in time, so that the two clicks are not one double click.
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ASSERT_EQ(xdotool({"click", "1"}), 0);
    EXPECT_EQ(settle(at, golden, playButton, [](int n) { return n == 0; }), 0);

    const auto closing = std::chrono::steady_clock::now();
    ASSERT_EQ(testing_support::runProgram({VELKARN_CLOSE_REQUEST, window}, scratch.file("close.log")), 0)
        << testing_support::readFile(scratch.file("close.log"));
    EXPECT_EQ(program.waitForExit(30000), 0) << program.transcript;
    const auto end = std::chrono::steady_clock::now();

    // Exactly the quit question was asked (and answered Yes).
    const std::vector<std::string> asked = xvfb_test::fileLines(record);
    ASSERT_EQ(asked.size(), 1u) << testing_support::readFile(record);
    EXPECT_NE(asked[0].find("Do you want to quit Velkarn?"), std::string::npos) << asked[0];

    // The main output's capture: CD format, as long as the program played
    // (at least from the window's showing to the close request, at most the
    // whole run), and silent (no song was loaded).
    std::istringstream info(testing_support::runPython("app/capture_info.py", {capture.file("1.wav")}));
    int channels = 0, width = 0, rate = 0, largest = -1;
    long long frames = -1;
    ASSERT_TRUE(info >> channels >> width >> rate >> frames >> largest);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(rate, 44100);
    const auto seconds = [](auto from, auto to) { return std::chrono::duration<double>(to - from).count(); };
    // A loaded machine may let the real-time pacing fall behind the wall
    // clock for a while, so only half of the shown time is required.
    EXPECT_GE(static_cast<double>(frames), 0.5 * seconds(shown, closing) * 44100.0);
    EXPECT_LE(static_cast<double>(frames), (seconds(begin, end) + 0.5) * 44100.0);
    EXPECT_EQ(largest, 0);

    // The records of a first start, byte for byte.
    testing_support::ScopedEnvironment programHome("VELKARN_HOME", home.path());
    int checked = 0;
    for (const auto& [name, bytes] : app_test::firstStartRecords()) {
        EXPECT_EQ(app_test::storedValue(name), bytes) << name;
        ++checked;
    }
    EXPECT_EQ(checked, 7);
}

TEST_F(AppSmokeXvfb, TheBeatMapperOpensFromTheMainWindowEmptyThenLoadsASong) {
    ToneSongSpec spec;
    spec.seconds = 20.0;
    const ToneSong song = writeToneSong(home.path(), "Tone Song", spec);
    const std::string record = scratch.file("requests.txt");
    // Yes to launching the mapper, the song for its load chooser, Yes to
    // quitting.
    xvfb_test::Child program({VELKARN_PROGRAM},
                             {"DISPLAY=" + server.displayName(), "QT_QPA_PLATFORM=xcb", "VELKARN_HOME=" + home.path(),
                              "VELKARN_AUDIO=null", "VELKARN_UI_SCRIPT=yes\npath " + song.path + "\nyes\n",
                              "VELKARN_UI_RECORD=" + record});
    ASSERT_TRUE(program.started());
    const std::string found = runForOutput({"xdotool", "search", "--sync", "--name", "^Velkarn$"}, scratch.file("search.log"));
    ASSERT_FALSE(found.empty()) << program.transcript;
    const std::string mainWindow = found.substr(0, found.find('\n'));
    const Placement main = placementOf(mainWindow, scratch.file("geometry.log"));
    ASSERT_EQ(xdotool({"mousemove", "--sync", std::to_string(main.x + 830 + 36), std::to_string(main.y + 558 + 16),
                       "click", "1"}),
              0);

    const std::string mapperFound =
        runForOutput({"xdotool", "search", "--sync", "--name", "^BeatMapper"}, scratch.file("mapper.log"));
    ASSERT_FALSE(mapperFound.empty()) << program.transcript;
    const std::string mapperWindow = mapperFound.substr(0, mapperFound.find('\n'));
    const Placement at = placementOf(mapperWindow, scratch.file("mapperGeometry.log"));
    ASSERT_EQ(at.width, 1005);
    ASSERT_EQ(at.height, 660);
    // Out of the way of hover marks.
    ASSERT_EQ(xdotool({"mousemove", "--sync", "1270", "1015"}), 0);

    // Counts the beat map's pixels that are neither white nor the well's
    // black: the grey columns of an analysed song.
    const auto greyColumns = [&](const std::string& screen) {
        int grey = 0;
        for (int y = 15; y < 265; y += 3) {
            for (int x = 105; x < 975; x += 3) {
                const xvfb_test::Pixel c = screenPixel(screen, at.x + x, at.y + y);
                grey += c.red == c.green && c.green == c.blue && c.red > 20 && c.red < 250;
            }
        }
        return grey;
    };
    // Drawn once the status field's paper and the white map show.
    std::string screen;
    for (int attempt = 0; attempt < 100; ++attempt) {
        screen = server.screenshot(scratch.path());
        const xvfb_test::Pixel field = screenPixel(screen, at.x + 500, at.y + 640);
        const xvfb_test::Pixel map = screenPixel(screen, at.x + 500, at.y + 100);
        if (field.red == 244 && field.green == 245 && map.red == 255 && map.blue == 255) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(screenPixel(screen, at.x + 500, at.y + 640).red, 244) << "the window was not drawn";
    EXPECT_EQ(greyColumns(screen), 0) << "an empty mapper shows a blank map";
    const auto keep = [&](const std::string& name) {
        testing_support::runProgram({"convert", "-size", "1280x1024", "-depth", "8", "rgb:" + scratch.file("screen.rgb"),
                                     "-crop",
                                     std::to_string(at.width) + "x" + std::to_string(at.height) + "+" +
                                         std::to_string(at.x) + "+" + std::to_string(at.y),
                                     "+repage", std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/" + name},
                                    scratch.file("convert.log"));
    };
    keep("beat_mapper_empty.png");

    // The load button: the chooser answers with the song, which is loaded
    // and drawn in rows of beats.
    ASSERT_EQ(xdotool({"mousemove", "--sync", std::to_string(at.x + 40 + 28), std::to_string(at.y + 569 + 20),
                       "click", "1", "mousemove", "--sync", "1270", "1015"}),
              0);
    int grey = 0;
    for (int attempt = 0; attempt < 150 && grey < 500; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        screen = server.screenshot(scratch.path());
        grey = greyColumns(screen);
    }
    EXPECT_GE(grey, 500) << "the song's rows are not shown";
    // The status line shows the path in black on its paper.
    int ink = 0;
    for (int x = 32; x < 400; ++x) ink += screenPixel(screen, at.x + x, at.y + 638).red < 100;
    EXPECT_GT(ink, 10) << "no status text";
    keep("beat_mapper_song.png");

    ASSERT_EQ(testing_support::runProgram({VELKARN_CLOSE_REQUEST, mapperWindow}, scratch.file("closeMapper.log")), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(testing_support::runProgram({VELKARN_CLOSE_REQUEST, mainWindow}, scratch.file("close.log")), 0);
    EXPECT_EQ(program.waitForExit(30000), 0) << program.transcript;

    const std::vector<std::string> asked = xvfb_test::fileLines(record);
    // The launch question, the chooser, the progress dialog of the song's
    // analysis (it has no stored envelope), the quit question.
    ASSERT_EQ(asked.size(), 4u) << testing_support::readFile(record);
    EXPECT_NE(asked[0].find("Do you want to launch the BeatMapper?"), std::string::npos) << asked[0];
    EXPECT_NE(asked[1].find("Audio Files (*.wav *.mp3"), std::string::npos) << asked[1];
    EXPECT_EQ(asked[2].rfind("dialog\tProgress Dialog\t", 0), 0u) << asked[2];
    EXPECT_NE(asked[2].find("\t106\t"), std::string::npos) << asked[2];
    EXPECT_NE(asked[3].find("Do you want to quit Velkarn?"), std::string::npos) << asked[3];
}

}  // namespace
