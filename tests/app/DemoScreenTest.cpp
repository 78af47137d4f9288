// The demo on an X server of its own: its window must show exactly the
// pattern at the place it was put, and a click must paint exactly the
// square around the pointer.
#include "TestEnvironment.h"
#include "XvfbSession.h"

#include "app/demo/DemoPattern.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace {

using testing_support::TemporaryDirectory;
using xvfb_test::Child;
using xvfb_test::screenHeight;
using xvfb_test::screenWidth;

struct Placement {
    int x = 0;
    int y = 0;
};

class DemoScreen : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "import", "xdotool"}) {
            if (platform::findOnPath(tool).empty()) GTEST_SKIP() << tool << " is not installed";
        }
        std::string error;
        ASSERT_TRUE(server.start(home.path(), error)) << error;
        displayName = server.displayName();
    }

    std::string screenshot() { return server.screenshot(home.path()); }

    // Pixels of the window area that differ from what it must show.
    int differences(const std::string& screen, Placement at, const demo::Area* square) {
        if (screen.size() != static_cast<std::size_t>(screenWidth) * screenHeight * 3) return -1;
        int count = 0;
        for (int y = 0; y < demo::windowHeight; ++y) {
            for (int x = 0; x < demo::windowWidth; ++x) {
                demo::Rgb expected = demo::patternAt(x, y);
                if (square != nullptr && x >= square->x && x < square->x + square->width && y >= square->y &&
                    y < square->y + square->height) {
                    expected = demo::squareColor;
                }
                std::size_t at3 = (static_cast<std::size_t>(at.y + y) * screenWidth + static_cast<std::size_t>(at.x + x)) * 3;
                demo::Rgb shown{static_cast<std::uint8_t>(screen[at3]), static_cast<std::uint8_t>(screen[at3 + 1]),
                                static_cast<std::uint8_t>(screen[at3 + 2])};
                count += !(shown == expected);
            }
        }
        return count;
    }

    // Looks until the screen shows what it must (drawing reaches the server
    // a little after the program presents); keeps the last picture.
    int settle(Placement at, const demo::Area* square, const std::string& keepAs) {
        int last = -1;
        for (int attempt = 0; attempt < 50; ++attempt) {
            std::string screen = screenshot();
            last = differences(screen, at, square);
            if (last == 0 || attempt == 49) {
                testing_support::writeFile(home.file("last.rgb"), screen);
                testing_support::runProgram({"convert", "-size", "1280x1024", "-depth", "8", "rgb:" + home.file("last.rgb"),
                                             std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/" + keepAs},
                                            home.file("convert.log"));
                return last;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return last;
    }

    TemporaryDirectory home;
    xvfb_test::XvfbServer server;
    std::string displayName;
};

TEST_F(DemoScreen, TheWindowShowsThePatternWhereItWasPlacedAndAClickPaintsOnlyItsSquare) {
    Child demoProgram({VELKARN_DEMO, "lognormal"},
                      {"DISPLAY=" + displayName, "QT_QPA_PLATFORM=xcb", "VELKARN_HOME=" + home.path()});
    ASSERT_TRUE(demoProgram.started());
    std::string ready = demoProgram.waitForLine("ready ");
    ASSERT_FALSE(ready.empty()) << demoProgram.transcript;
    Placement at;
    int width = 0;
    int height = 0;
    std::istringstream(ready.substr(6)) >> at.x >> at.y >> width >> height;
    // Centred on the 1280 x 1024 screen; no window manager, so no frame.
    EXPECT_EQ(at.x, (screenWidth - demo::windowWidth) / 2);
    EXPECT_EQ(at.y, (screenHeight - demo::windowHeight) / 2);
    EXPECT_EQ(settle(at, nullptr, "demo_screen_first.png"), 0);

    const int clickX = 100;
    const int clickY = 80;
    ASSERT_EQ(testing_support::runProgram({"xdotool", "mousemove", "--sync", std::to_string(at.x + clickX),
                                           std::to_string(at.y + clickY), "click", "1"},
                                          home.file("xdotool.log")),
              0);
    std::string clicked = demoProgram.waitForLine("square ");
    ASSERT_EQ(clicked, "square 100 80") << demoProgram.transcript;
    demo::Area square = demo::squareAround(clickX, clickY);
    EXPECT_EQ(settle(at, &square, "demo_screen_clicked.png"), 0);

    // Escape asks to close; the main loop closes the window and ends with 0.
    testing_support::runProgram({"xdotool", "key", "Escape"}, home.file("xdotool.log"));
    EXPECT_EQ(demoProgram.waitForExit(10000), 0) << demoProgram.transcript;
    testing_support::ScopedEnvironment demoHome("VELKARN_HOME", home.path());
    std::vector<std::string> steps = testing_support::logTexts();
    ASSERT_FALSE(steps.empty());
    EXPECT_NE(steps.front().find("initialize support"), std::string::npos);
    EXPECT_NE(steps.back().find("return result of the message loop"), std::string::npos);
}

}  // namespace
