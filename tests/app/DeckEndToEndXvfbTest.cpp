// The deck end-to-end run on an X server of its own (Xvfb, no window
// manager): the same program and steps on the xcb platform, every check of
// the offscreen run made again there, and the screen after the edits and
// after the row scroll, as `import -window root` reads it, equal to the
// offscreen goldens pixel for pixel.
#include "TestEnvironment.h"
#include "XvfbSession.h"
#include "framework/Image.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using testing_support::TemporaryDirectory;
using xvfb_test::screenHeight;
using xvfb_test::screenWidth;

using xvfb_test::Placement;

Placement placementIn(const std::string& geometryLog) {
    return xvfb_test::placementFromShell(testing_support::readFile(geometryLog));
}

// Pixels of the window on the screen that differ from the golden frame.
int differences(const std::string& screen, const Placement& at, const Image& golden) {
    int count = 0;
    for (int y = 0; y < golden.height(); ++y) {
        for (int x = 0; x < golden.width(); ++x) {
            const Color expected = golden.getPixel(x, y);
            const std::size_t i =
                (static_cast<std::size_t>(at.y + y) * screenWidth + static_cast<std::size_t>(at.x + x)) * 3;
            count += static_cast<std::uint8_t>(screen[i]) != expected.red ||
                     static_cast<std::uint8_t>(screen[i + 1]) != expected.green ||
                     static_cast<std::uint8_t>(screen[i + 2]) != expected.blue;
        }
    }
    return count;
}

TEST(DeckEndToEndXvfb, TheSameStepsOnXShowTheOffscreenFrames) {
    // CI installs every tool (scripts/install-deps.sh): a missing one is a
    // failure, never a skip.
    for (const char* tool : {"Xvfb", "import", "xdotool", "convert"}) {
        ASSERT_FALSE(platform::findOnPath(tool).empty()) << tool << " is not installed";
    }
    TemporaryDirectory scratch;
    TemporaryDirectory screens;
    xvfb_test::XvfbServer server;
    std::string error;
    ASSERT_TRUE(server.start(scratch.path(), error)) << error;
    // The X pointer starts at the screen's centre: moved off where the
    // window will be, so only the run's own input reaches it.
    ASSERT_EQ(testing_support::runProgram({"xdotool", "mousemove", "--sync", std::to_string(screenWidth - 5),
                                           std::to_string(screenHeight - 5)},
                                          scratch.file("mousemove.log")),
              0);

    xvfb_test::Child run({DECK_END_TO_END_PROGRAM},
                         {"DISPLAY=" + server.displayName(), "QT_QPA_PLATFORM=xcb", "VELKARN_AUDIO=null",
                          "VELKARN_DECK_SCREENS=" + screens.path()});
    ASSERT_TRUE(run.started());
    // Its own checks all passed there: status 0.
    EXPECT_EQ(run.waitForExit(800000), 0) << run.transcript;

    for (const char* name : {"Edited", "Scrolled"}) {
        SCOPED_TRACE(name);
        std::string lower = name;
        lower[0] = static_cast<char>(lower[0] - 'A' + 'a');
        const Image golden(testing_support::sourceDirectory() + "/tests/app/golden/DeckEndToEnd" + name + ".png", true);
        const Placement at = placementIn(screens.file(lower + ".geometry"));
        ASSERT_EQ(at.width, golden.width());
        ASSERT_EQ(at.height, golden.height());
        ASSERT_GE(at.x, 0);
        ASSERT_GE(at.y, 0);
        ASSERT_LE(at.x + at.width, screenWidth);
        ASSERT_LE(at.y + at.height, screenHeight);
        const std::string screen = testing_support::readFile(screens.file(lower + ".rgb"));
        ASSERT_EQ(screen.size(), static_cast<std::size_t>(screenWidth) * screenHeight * 3);
        EXPECT_EQ(differences(screen, at, golden), 0);
        // The screen as a picture in the build tree (docs/screenshots/ holds
        // a copy that was looked at).
        EXPECT_EQ(testing_support::runProgram({"convert", "-size", std::to_string(screenWidth) + "x" +
                                                                       std::to_string(screenHeight),
                                               "-depth", "8", "rgb:" + screens.file(lower + ".rgb"),
                                               std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/deck_" + lower +
                                                   "_xvfb.png"},
                                              scratch.file("convert.log")),
                  0);
    }
}

}  // namespace
