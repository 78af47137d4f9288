// Tests that run programs on an X server of their own (Xvfb, 1280 x 1024,
// no window manager): a child process whose output comes through a pipe,
// and the server with its display name and a picture of its screen.
#ifndef VELKARN_TESTS_APP_XVFBSESSION_H
#define VELKARN_TESTS_APP_XVFBSESSION_H

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace xvfb_test {

constexpr int screenWidth = 1280;
constexpr int screenHeight = 1024;

// A window's place on the screen.
struct Placement {
    int x = -1, y = -1, width = 0, height = 0;
};
// The place that `xdotool getwindowgeometry --shell` printed (X=, Y=,
// WIDTH=, HEIGHT= lines); fields it does not name stay as they are.
Placement placementFromShell(const std::string& shellOutput);

// A child whose stdout (and stderr) come through a pipe, line by line.
class Child {
public:
    // The given variables replace inherited ones of the same name;
    // keepDescriptor stays open in the child.
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment, int keepDescriptor = -1);
    ~Child();  // ends a child still running (SIGTERM)
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool started() const { return pid_ > 0; }

    // The next line that starts with prefix, or empty after the timeout.
    std::string waitForLine(const std::string& prefix, int timeoutMs = 10000);
    // The exit status, or -1 when it did not end in time.
    int waitForExit(int timeoutMs);

    std::string transcript;

private:
    int pid_ = -1;
    int output_ = -1;
    std::string buffered_;
};

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts the server and waits until it serves a client (probe output in
    // scratchDirectory); on failure says why in error. DISPLAY names it
    // (for the X tools and children) while the server object lives.
    bool start(const std::string& scratchDirectory, std::string& error);
    const std::string& displayName() const { return displayName_; }
    // The root window's pixels (RGB, row after row), empty on failure.
    std::string screenshot(const std::string& scratchDirectory) const;

private:
    std::unique_ptr<Child> server_;
    std::optional<testing_support::ScopedEnvironment> displayVariable_;
    int displayPipe_ = -1;
    std::string displayName_;
};

// What a program printed (stdout and stderr, through a log file), or empty
// when it failed.
std::string runForOutput(const std::vector<std::string>& argv, const std::string& log);
// Where xdotool finds the window it names.
Placement placementOf(const std::string& window, const std::string& log);

// A pixel of a screen picture (RGB rows of screenWidth); black outside.
struct Pixel {
    int red = 0, green = 0, blue = 0;
};
Pixel screenPixel(const std::string& screen, int x, int y);

// The lines of a file (a child's record of its box and chooser requests).
std::vector<std::string> fileLines(const std::string& path);

// A test with an X server of its own. CI installs every tool
// (scripts/install-deps.sh): a missing one is a failure, never a skip.
class XvfbTest : public ::testing::Test {
protected:
    void SetUp() override;
    // xdotool with the arguments; its exit status.
    int xdotool(std::vector<std::string> arguments);

    // A click at (x, y) of a window, apart in time from the next one so
    // that two are never one double click; the pointer then leaves.
    void click(const Placement& window, int x, int y);
    // The first window whose name matches the pattern, waited for up to the
    // bound; empty when none came.
    std::string waitForWindow(const std::string& pattern, int boundMs);

    // In the velkarn main window: the Drop panel's load button, whose chooser
    // the program's UI script answers with the next song, and once the
    // program has recorded that request in `requestRecord` (its
    // VELKARN_UI_RECORD), a drop on `deck`'s strip of row 0 six seconds
    // ahead of the wall time since `begin`, taken just before the program
    // started: the real-time play position is never ahead of that. A click
    // can come late on a loaded machine, so a drop the play position never
    // reaches (no title matching `playingTitle` within 20 s) is tried again
    // while row 0 lasts. Fails the test when the song never plays.
    void loadAndDrop(const Placement& main, std::chrono::steady_clock::time_point begin, int deck,
                     const std::string& requestRecord, const std::string& playingTitle);

    testing_support::TemporaryDirectory scratch;
    XvfbServer server;
};

}  // namespace xvfb_test

#endif
