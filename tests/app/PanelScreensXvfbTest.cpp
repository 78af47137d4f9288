// The velkarn program on an X server of its own without a window manager,
// its panels chosen with xdotool clicks on their tabs: every tool panel, the
// mixer, effect and recorder panels (the recorder once it records), the six
// settings pages and the "WMA Support" dialog. Each choice must change what
// its area shows; the pictures are kept in the build tree for the README
// (docs/screenshots/ holds copies that were looked at).
#include "TestEnvironment.h"
#include "XvfbSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using testing_support::TemporaryDirectory;
using xvfb_test::screenHeight;
using xvfb_test::screenWidth;

struct Area {
    int x, y, width, height;
};
constexpr Area toolPanels{830, 10, 160, 430};
constexpr Area functionPanels{10, 445, 800, 210};
constexpr Area recordingLamp{247, 455, 34, 18};
constexpr Area recordButton{34, 504, 92, 36};

// The centre of tab `index` of `count` in a band along the top (or the
// left) of an area.
std::pair<int, int> tabCentre(const Area& area, int band, int index, int count, bool vertical) {
    if (vertical) return {area.x + band / 2, area.y + (area.height * index + area.height / 2) / count};
    return {area.x + (area.width * index + area.width / 2) / count, area.y + band / 2};
}

using xvfb_test::runForOutput;

class PanelScreensXvfb : public xvfb_test::XvfbTest {
protected:
    void click(int x, int y) {
        ASSERT_EQ(xdotool({"mousemove", "--sync", std::to_string(windowX + x), std::to_string(windowY + y), "click",
                           "1"}),
                  0);
        // Apart in time, so that two clicks are never one double click.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }

    // The area of the window as RGB rows, once two readings a little apart
    // agree (drawing reaches the server a little after the program presents).
    std::string grab(const Area& area) {
        std::string last;
        for (int attempt = 0; attempt < 50; ++attempt) {
            const std::string screen = server.screenshot(scratch.path());
            std::string pixels;
            if (screen.size() == static_cast<std::size_t>(screenWidth) * screenHeight * 3) {
                for (int y = 0; y < area.height; ++y) {
                    const std::size_t row = static_cast<std::size_t>(windowY + area.y + y) * screenWidth;
                    pixels.append(screen, (row + static_cast<std::size_t>(windowX + area.x)) * 3,
                                  static_cast<std::size_t>(area.width) * 3);
                }
            }
            if (!pixels.empty() && pixels == last) return pixels;
            last = pixels;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        return last;
    }

    // Writes the pixels as a PNG in the build tree's screen directory.
    std::string keep(const std::string& pixels, const Area& area, const std::string& name) {
        const std::string raw = scratch.file(name + ".rgb");
        std::ofstream(raw, std::ios::binary) << pixels;
        const std::string png = std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/" + name + ".png";
        EXPECT_EQ(testing_support::runProgram({"convert", "-size", std::to_string(area.width) + "x" +
                                                                        std::to_string(area.height),
                                               "-depth", "8", "rgb:" + raw, png},
                                              scratch.file("convert.log")),
                  0);
        return png;
    }

    // Lays the pictures out `columns` to a row into one PNG.
    void sheet(const std::vector<std::string>& pictures, int columns, const std::string& name) {
        std::vector<std::string> argv{"convert"};
        for (std::size_t i = 0; i < pictures.size(); i += static_cast<std::size_t>(columns)) {
            argv.push_back("(");
            for (std::size_t k = i; k < std::min(pictures.size(), i + static_cast<std::size_t>(columns)); ++k) {
                argv.push_back(pictures[k]);
            }
            argv.insert(argv.end(), {"-bordercolor", "white", "-border", "2", "+append", ")"});
        }
        argv.insert(argv.end(), {"-append", std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/" + name + ".png"});
        EXPECT_EQ(testing_support::runProgram(argv, scratch.file("sheet.log")), 0)
            << testing_support::readFile(scratch.file("sheet.log"));
    }

    TemporaryDirectory home;
    TemporaryDirectory capture;
    int windowX = 0;
    int windowY = 0;
};

TEST_F(PanelScreensXvfb, EveryPanelAndSettingsPageShowsWhenItsTabIsClicked) {
    xvfb_test::Child program({VELKARN_PROGRAM},
                             {"DISPLAY=" + server.displayName(), "QT_QPA_PLATFORM=xcb", "VELKARN_HOME=" + home.path(),
                              "VELKARN_AUDIO=null", "VELKARN_NULL_CAPTURE=" + capture.path(),
                              "VELKARN_UI_SCRIPT=yes\n"});
    ASSERT_TRUE(program.started());
    const std::string found =
        runForOutput({"xdotool", "search", "--sync", "--name", "^Velkarn$"}, scratch.file("search.log"));
    ASSERT_FALSE(found.empty()) << program.transcript;
    const std::string window = found.substr(0, found.find('\n'));
    std::istringstream geometry(
        runForOutput({"xdotool", "getwindowgeometry", "--shell", window}, scratch.file("geometry.log")));
    for (std::string line; std::getline(geometry, line);) {
        if (line.rfind("X=", 0) == 0) windowX = std::atoi(line.c_str() + 2);
        if (line.rfind("Y=", 0) == 0) windowY = std::atoi(line.c_str() + 2);
    }

    // The ten tool panels, each picture unlike the others.
    std::vector<std::string> tools, toolPictures;
    for (int i = 0; i < 10; ++i) {
        const auto [x, y] = tabCentre(toolPanels, 60, i, 10, true);
        click(x, y);
        tools.push_back(grab(toolPanels));
        toolPictures.push_back(keep(tools.back(), toolPanels, "tool-panel-" + std::to_string(i)));
    }
    for (std::size_t i = 0; i < tools.size(); ++i) {
        for (std::size_t k = i + 1; k < tools.size(); ++k) EXPECT_TRUE(tools[i] != tools[k]) << i << " " << k;
    }
    sheet(toolPictures, 5, "tool-panels");

    // The mixer and effect panels, then the recorder while it records: its
    // time read-out moves.
    std::vector<std::string> functions, functionPictures;
    for (int i = 0; i < 3; ++i) {
        const auto [x, y] = tabCentre(functionPanels, 30, i, 6, false);
        click(x, y);
        if (i == 2) {
            const std::string lampOff = grab(recordingLamp);
            click(recordButton.x + recordButton.width / 2, recordButton.y + recordButton.height / 2);
            EXPECT_TRUE(grab(recordingLamp) != lampOff) << "the recording lamp did not light";
        }
        functions.push_back(grab(functionPanels));
        functionPictures.push_back(keep(functions.back(), functionPanels, "function-panel-" + std::to_string(i)));
    }
    EXPECT_TRUE(functions[0] != functions[1]);
    EXPECT_TRUE(functions[1] != functions[2]);
    sheet(functionPictures, 1, "function-panels");

    // The settings panel and its six pages.
    const auto [settingsX, settingsY] = tabCentre(functionPanels, 30, 5, 6, false);
    click(settingsX, settingsY);
    const Area pages{159, 490, 620, 135};
    std::vector<std::string> settings, settingsPictures;
    for (int i = 0; i < 6; ++i) {
        const auto [x, y] = tabCentre(pages, 25, i, 6, false);
        click(x, y);
        settings.push_back(grab(functionPanels));
        settingsPictures.push_back(keep(settings.back(), functionPanels, "settings-page-" + std::to_string(i)));
    }
    for (std::size_t i = 0; i < settings.size(); ++i) {
        for (std::size_t k = i + 1; k < settings.size(); ++k) EXPECT_TRUE(settings[i] != settings[k]) << i << " " << k;
    }
    sheet(settingsPictures, 2, "settings-pages");

    // "WMA Support" from the first page, pictured, closed with Escape.
    click(tabCentre(pages, 25, 0, 6, false).first, tabCentre(pages, 25, 0, 6, false).second);
    click(708 + 32, 549 + 14);
    const std::string dialog =
        runForOutput({"xdotool", "search", "--sync", "--name", "^WMA Support$"}, scratch.file("dialog.log"));
    ASSERT_FALSE(dialog.empty()) << program.transcript;
    const std::string dialogWindow = dialog.substr(0, dialog.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::string dialogPicture = std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/wma-support.png";
    EXPECT_EQ(testing_support::runProgram({"import", "-window", dialogWindow, dialogPicture}, scratch.file("import.log")),
              0);
    EXPECT_EQ(xdotool({"windowfocus", "--sync", dialogWindow, "key", "Escape"}), 0);
    EXPECT_EQ(xdotool({"search", "--sync", "--all", "--onlyvisible", "--name", "^Velkarn$"}), 0);

    ASSERT_EQ(testing_support::runProgram({VELKARN_CLOSE_REQUEST, window}, scratch.file("close.log")), 0)
        << testing_support::readFile(scratch.file("close.log"));
    EXPECT_EQ(program.waitForExit(30000), 0) << program.transcript;
}

}  // namespace
