// The velkarn program on an X server of its own without a window manager,
// during a mix: a tone song loaded with the Drop panel's load button (the
// chooser answered by the UI script) and dropped on each deck ahead of the
// real-time play position, and the recorder recording. Its panels are then
// chosen with xdotool clicks on their tabs: every tool panel, the mixer,
// effect and recorder panels, the six settings pages and the "WMA Support"
// dialog. Each choice must change what its area shows, the strips must show
// the songs and the recorder's time must run. The pictures, and one of the
// whole window while it records, are kept in the build tree for the README
// (docs/screenshots/ holds copies that were looked at).
//
// A second run on the fake MIDI ports and HID units: the automatic player
// running with a crate, the MIDI page listing the fake ports, the
// controller map learning a number, and the dialogs of the two USB
// controllers and of the player.
#include "TestEnvironment.h"
#include "ToneSongs.h"
#include "XvfbSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

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
constexpr Area recorderTime{327, 507, 120, 26};

// The middle row of deck `deck`'s strip of row 0.
constexpr Area stripMiddle(int deck) { return {10, 10 + 65 * deck + 30, 800, 1}; }

// The centre of tab `index` of `count` in a band along the top (or the
// left) of an area.
std::pair<int, int> tabCentre(const Area& area, int band, int index, int count, bool vertical) {
    if (vertical) return {area.x + band / 2, area.y + (area.height * index + area.height / 2) / count};
    return {area.x + (area.width * index + area.width / 2) / count, area.y + band / 2};
}

// The colours of an RGB row.
std::set<std::string> coloursOf(const std::string& row) {
    std::set<std::string> colours;
    for (std::size_t i = 0; i + 3 <= row.size(); i += 3) colours.insert(row.substr(i, 3));
    return colours;
}

// The pixels of an RGB row in none of the colours.
int pixelsUnlike(const std::string& row, const std::set<std::string>& colours) {
    int unlike = 0;
    for (std::size_t i = 0; i + 3 <= row.size(); i += 3) unlike += colours.count(row.substr(i, 3)) == 0 ? 1 : 0;
    return unlike;
}

using xvfb_test::runForOutput;

class PanelScreensXvfb : public xvfb_test::XvfbTest {
protected:
    // The first window of that exact name, once there is one; empty when
    // none came.
    std::string findWindow(const std::string& name) {
        const std::string found =
            runForOutput({"xdotool", "search", "--sync", "--name", "^" + name + "$"}, scratch.file("search.log"));
        return found.substr(0, found.find('\n'));
    }
    xvfb_test::Placement placementOf(const std::string& window) {
        return xvfb_test::placementFromShell(
            runForOutput({"xdotool", "getwindowgeometry", "--shell", window}, scratch.file("geometry.log")));
    }
    // Starts the program with the extra variables and finds its window.
    std::unique_ptr<xvfb_test::Child> startProgram(const std::vector<std::string>& extra) {
        std::vector<std::string> environment{"DISPLAY=" + server.displayName(), "QT_QPA_PLATFORM=xcb",
                                             "VELKARN_HOME=" + home.path(), "VELKARN_AUDIO=null",
                                             "VELKARN_NULL_CAPTURE=" + capture.path()};
        environment.insert(environment.end(), extra.begin(), extra.end());
        auto program = std::make_unique<xvfb_test::Child>(std::vector<std::string>{VELKARN_PROGRAM}, environment);
        if (!program->started()) return program;
        mainWindow = findWindow("Velkarn");
        const xvfb_test::Placement at = placementOf(mainWindow);
        windowX = at.x;
        windowY = at.y;
        return program;
    }
    // Asks the program to close as a window manager would; it must end well.
    void closeProgram(xvfb_test::Child& program) {
        ASSERT_EQ(testing_support::runProgram({VELKARN_CLOSE_REQUEST, mainWindow}, scratch.file("close.log")), 0)
            << testing_support::readFile(scratch.file("close.log"));
        EXPECT_EQ(program.waitForExit(30000), 0) << program.transcript;
    }

    void clickAt(int x, int y) {
        ASSERT_EQ(xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"}), 0);
        // Apart in time, so that two clicks are never one double click.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    void click(int x, int y) { clickAt(windowX + x, windowY + y); }

    // An area of the screen as RGB rows, from one screenshot.
    std::string glimpseScreen(const Area& area) {
        const std::string screen = server.screenshot(scratch.path());
        std::string pixels;
        if (screen.size() != static_cast<std::size_t>(screenWidth) * screenHeight * 3) return pixels;
        for (int y = 0; y < area.height; ++y) {
            const std::size_t row = static_cast<std::size_t>(area.y + y) * screenWidth;
            pixels.append(screen, (row + static_cast<std::size_t>(area.x)) * 3, static_cast<std::size_t>(area.width) * 3);
        }
        return pixels;
    }
    // The same once two readings a little apart agree (drawing reaches the
    // server a little after the program presents).
    std::string grabScreen(const Area& area) {
        std::string last;
        for (int attempt = 0; attempt < 50; ++attempt) {
            const std::string pixels = glimpseScreen(area);
            if (!pixels.empty() && pixels == last) return pixels;
            last = pixels;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        return last;
    }
    // The same for an area of the main window; a glimpse for what moves.
    std::string grab(const Area& area) {
        return grabScreen({windowX + area.x, windowY + area.y, area.width, area.height});
    }
    std::string glimpse(const Area& area) {
        return glimpseScreen({windowX + area.x, windowY + area.y, area.width, area.height});
    }

    // A dialog's window pictured as it shows now.
    void pictureWindow(const std::string& window, const std::string& name) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::string picture = std::string(VELKARN_SCREENSHOT_DIRECTORY) + "/" + name + ".png";
        EXPECT_EQ(testing_support::runProgram({"import", "-window", window, picture}, scratch.file("import.log")), 0);
    }
    // Closes a dialog with Escape; the main window (its title may name the
    // song playing) is visible again.
    void escape(const std::string& window) {
        EXPECT_EQ(xdotool({"windowfocus", "--sync", window, "key", "Escape"}), 0);
        EXPECT_EQ(xdotool({"search", "--sync", "--all", "--onlyvisible", "--name", "^Velkarn"}), 0);
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
    std::string mainWindow;
    int windowX = 0;
    int windowY = 0;
};

TEST_F(PanelScreensXvfb, DuringAMixEveryPanelAndSettingsPageShowsWhenItsTabIsClicked) {
    // A steady tone with a click after every beat on each deck, tagged so
    // that the window's title and the mixer panel name them.
    const ToneSong songA = writeToneSong(home.path(), "tone-a", {120.0, 120.0, 110.0, 0.2, 1000.0, 0.3}, {"Tone A"});
    const ToneSong songB = writeToneSong(home.path(), "tone-b", {120.0, 120.0, 165.0, 0.2, 2500.0, 0.2}, {"Tone B"});
    const auto begin = std::chrono::steady_clock::now();
    const std::string record = scratch.file("requests.txt");
    // The songs for the two load choosers, Yes to quitting.
    const auto started = startProgram({"VELKARN_UI_SCRIPT=path " + songA.path + "\npath " + songB.path + "\nyes\n",
                                       "VELKARN_UI_RECORD=" + record});
    xvfb_test::Child& program = *started;
    ASSERT_TRUE(program.started());
    ASSERT_FALSE(mainWindow.empty()) << program.transcript;

    // The strips while empty (once the window's drawing has settled), then A
    // on deck 0 and B on deck 1, both playing once the title names B.
    grab(toolPanels);
    const std::string emptyStrips[2] = {glimpse(stripMiddle(0)), glimpse(stripMiddle(1))};
    const xvfb_test::Placement main = placementOf(mainWindow);
    ASSERT_GT(main.width, 0);
    ASSERT_NO_FATAL_FAILURE(loadAndDrop(main, begin, 0, record, "Tone A")) << program.transcript;
    ASSERT_NO_FATAL_FAILURE(loadAndDrop(main, begin, 1, record, "Tone A.*Tone B")) << program.transcript;
    for (int deck = 0; deck < 2; ++deck) {
        // An empty strip is flat: its ground, darker where played. A song's
        // picture and beat grid cover the rest of the row from its drop on.
        const std::set<std::string> empty = coloursOf(emptyStrips[deck]);
        EXPECT_LE(empty.size(), 2u) << "deck " << deck;
        EXPECT_GT(pixelsUnlike(glimpse(stripMiddle(deck)), empty), 200) << "deck " << deck << "'s strip shows no song";
    }

    // Record: the lamp lights.
    const auto [recorderX, recorderY] = tabCentre(functionPanels, 30, 2, 6, false);
    click(recorderX, recorderY);
    const std::string lampOff = grab(recordingLamp);
    click(recordButton.x + recordButton.width / 2, recordButton.y + recordButton.height / 2);
    EXPECT_TRUE(grab(recordingLamp) != lampOff) << "the recording lamp did not light";
    // Only the two choosers were asked: no box stands over the mix.
    EXPECT_EQ(xvfb_test::fileLines(record).size(), 2u) << testing_support::readFile(record);

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

    // The mixer and effect panels, then the recorder, whose time read-out
    // runs (so its picture is a single reading).
    std::vector<std::string> functions, functionPictures;
    for (int i = 0; i < 3; ++i) {
        const auto [x, y] = tabCentre(functionPanels, 30, i, 6, false);
        click(x, y);
        if (i == 2) {
            const std::string time = glimpse(recorderTime);
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            EXPECT_TRUE(glimpse(recorderTime) != time) << "the recorder's time stands still";
        }
        functions.push_back(i == 2 ? glimpse(functionPanels) : grab(functionPanels));
        functionPictures.push_back(keep(functions.back(), functionPanels, "function-panel-" + std::to_string(i)));
    }
    // The whole window at that moment: the strips, meters and recorder.
    const Area whole{0, 0, main.width, main.height};
    keep(glimpse(whole), whole, "mix-window");
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
    const std::string dialogWindow = findWindow("WMA Support");
    ASSERT_FALSE(dialogWindow.empty()) << program.transcript;
    pictureWindow(dialogWindow, "wma-support");
    escape(dialogWindow);

    closeProgram(program);
}

TEST_F(PanelScreensXvfb, ThePlayerTheMidiPageAndTheControllerDialogsOnTheFakeDevices) {
    // A crate of three analysed songs the player walks (118 to 122 BPM).
    const std::string crate = home.path() + "/crate";
    std::filesystem::create_directories(crate);
    for (const auto& [title, bpm] : {std::pair{"118", 118.0}, std::pair{"120", 120.0}, std::pair{"122", 122.0}}) {
        ToneSongSpec spec;
        spec.bpm = bpm;
        spec.seconds = 90.0;
        writeToneSong(crate, title, spec, {title});
    }
    // Two fake inputs and an output, CC 7 turned on the inputs every 100 ms;
    // the fake SiLabs and PMD units; the crate as the folder chooser's
    // answer, then Yes to the quit question.
    const auto started = startProgram({"VELKARN_MIDI=fake", "VELKARN_MIDI_FAKE_INPUTS=Fake Keys;Fake Pads",
                                       "VELKARN_MIDI_FAKE_OUTPUTS=Fake Clock Out", "VELKARN_MIDI_FAKE_REPEAT=B0 07 40",
                                       "VELKARN_HID=fake", "VELKARN_UI_SCRIPT=path " + crate + "\nyes\n"});
    xvfb_test::Child& program = *started;
    ASSERT_TRUE(program.started());
    ASSERT_FALSE(mainWindow.empty()) << program.transcript;
    const Area crateLine{143, 558, 640, 20};
    const Area playButton{34, 504, 92, 36};

    // The player: its crate set through the chooser, then play.
    auto [x, y] = tabCentre(functionPanels, 30, 3, 6, false);
    click(x, y);
    const std::string noCrate = grab(crateLine);
    click(34 + 50, 549 + 16);
    // The crate is read on the interface thread before the line is drawn
    // again, which on a loaded machine can outlast a steady reading.
    std::string crateShown = grab(crateLine);
    const auto crateDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (crateShown == noCrate && std::chrono::steady_clock::now() < crateDeadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        crateShown = grab(crateLine);
    }
    EXPECT_TRUE(crateShown != noCrate) << "the crate line did not change";
    const std::string stopped = grab(playButton);
    click(playButton.x + playButton.width / 2, playButton.y + playButton.height / 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(grab(playButton) != stopped) << "the player did not keep running";
    keep(grab(functionPanels), functionPanels, "player-panel");

    // "Player Settings".
    click(34 + 50, 594 + 16);
    std::string dialog = findWindow("Player Settings");
    ASSERT_FALSE(dialog.empty()) << program.transcript;
    pictureWindow(dialog, "player-settings");
    escape(dialog);

    // The settings' first page: "PMD Settings" and "SiLabs Settings".
    std::tie(x, y) = tabCentre(functionPanels, 30, 5, 6, false);
    click(x, y);
    const Area pages{159, 490, 620, 135};
    std::tie(x, y) = tabCentre(pages, 25, 0, 6, false);
    click(x, y);
    click(637 + 32, 587 + 14);
    dialog = findWindow("PMD Settings");
    ASSERT_FALSE(dialog.empty()) << program.transcript;
    pictureWindow(dialog, "pmd-settings");
    escape(dialog);
    click(708 + 32, 587 + 14);
    dialog = findWindow("SiLabs Settings");
    ASSERT_FALSE(dialog.empty()) << program.transcript;
    pictureWindow(dialog, "silabs-settings");
    escape(dialog);

    // The MIDI page, input on and the clock out on: the fake ports named.
    std::tie(x, y) = tabCentre(pages, 25, 3, 6, false);
    click(x, y);
    click(234 + 26, 548 + 14);
    click(234 + 60, 587 + 14);
    keep(grab(functionPanels), functionPanels, "settings-midi");

    // "CC Map [Midi In]": Crossfader's Learn radio (255, 20, 34 x 12 in
    // dialog units of a 300 x 152 dialog) takes CC 7 into its edit (225,
    // 20, 26 x 12).
    click(293 + 30, 548 + 14);
    dialog = findWindow("CC Map \\[Midi In\\]");
    ASSERT_FALSE(dialog.empty()) << program.transcript;
    const xvfb_test::Placement at = placementOf(dialog);
    ASSERT_GT(at.width, 0);
    auto px = [&](double units) { return static_cast<int>(units * at.width / 300.0); };
    auto py = [&](double units) { return static_cast<int>(units * at.height / 152.0); };
    const Area edit{at.x + px(225), at.y + py(20), px(26), py(12)};
    const std::string emptyEdit = grabScreen(edit);
    clickAt(at.x + px(255 + 17), at.y + py(20 + 6));
    EXPECT_TRUE(grabScreen(edit) != emptyEdit) << "no number was learned";
    pictureWindow(dialog, "controller-map");
    escape(dialog);

    closeProgram(program);
}

}  // namespace
