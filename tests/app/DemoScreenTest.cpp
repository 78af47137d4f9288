// The demo on an X server of its own: its window must show exactly the
// pattern at the place it was put, and a click must paint exactly the
// square around the pointer.
#include "TestEnvironment.h"

#include "app/demo/DemoPattern.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using testing_support::TemporaryDirectory;

constexpr int screenWidth = 1280;
constexpr int screenHeight = 1024;

// A child whose stdout (and stderr) come through a pipe, line by line.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment, int keepDescriptor = -1) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        // The given variables replace inherited ones of the same name.
        std::vector<std::string> variables = environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            std::string inherited = *entry;
            std::string name = inherited.substr(0, inherited.find('=') + 1);
            bool replaced = false;
            for (const auto& variable : environment) replaced = replaced || variable.rfind(name, 0) == 0;
            if (!replaced) variables.push_back(inherited);
        }
        std::vector<char*> envp;
        for (auto& variable : variables) envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::vector<char*> args;
        for (const auto& argument : argv) args.push_back(const_cast<char*>(argument.c_str()));
        args.push_back(nullptr);
        if (keepDescriptor >= 0) ::fcntl(keepDescriptor, F_SETFD, 0);
        if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output_ = out[0];
    }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) ::close(output_);
    }
    bool started() const { return pid_ > 0; }

    // The next line that starts with prefix, or empty after the timeout.
    std::string waitForLine(const std::string& prefix, int timeoutMs = 10000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            std::size_t newline;
            while ((newline = buffered_.find('\n')) != std::string::npos) {
                std::string line = buffered_.substr(0, newline);
                buffered_.erase(0, newline + 1);
                transcript += line + "\n";
                if (line.rfind(prefix, 0) == 0) return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (left <= 0) return {};
            pollfd poller{output_, POLLIN, 0};
            if (::poll(&poller, 1, static_cast<int>(left)) <= 0) return {};
            char chunk[512];
            ssize_t n = ::read(output_, chunk, sizeof chunk);
            if (n <= 0) return {};
            buffered_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // The exit status, or -1 when it did not end in time.
    int waitForExit(int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    std::string transcript;

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
};

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
        int display[2];
        ASSERT_EQ(::pipe2(display, O_CLOEXEC), 0);
        server = std::make_unique<Child>(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(display[1]), "-screen",
                                                                  "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
                                         std::vector<std::string>{}, display[1]);
        ::close(display[1]);
        ASSERT_TRUE(server->started());
        // The server writes the number and then a newline, separately; the
        // pipe stays open until the end, since a write into a closed pipe
        // stops the server.
        displayPipe = display[0];
        std::string number;
        while (number.find('\n') == std::string::npos) {
            pollfd poller{displayPipe, POLLIN, 0};
            ASSERT_GT(::poll(&poller, 1, 10000), 0) << "Xvfb did not start";
            char chunk[16];
            ssize_t n = ::read(displayPipe, chunk, sizeof chunk);
            ASSERT_GT(n, 0) << "Xvfb did not start";
            number.append(chunk, static_cast<std::size_t>(n));
        }
        displayName = ":" + std::to_string(std::atoi(number.c_str()));
        displayVariable.emplace("DISPLAY", displayName);  // for the X tools
        // Wait until a client is served. (-noreset: without it the server
        // starts over, and announces its number again, whenever its last
        // client leaves.)
        bool serving = false;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!serving && std::chrono::steady_clock::now() < deadline) {
            serving = testing_support::runProgram({"xdotool", "getmouselocation"}, home.file("probe.log")) == 0;
            if (!serving) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        server->waitForLine("\x01", 100);  // collects what the server said so far
        ASSERT_TRUE(serving) << "Xvfb on " << displayName << " does not take clients: "
                             << testing_support::readFile(home.file("probe.log")) << "\n" << server->transcript;
    }

    // The root window's pixels, RGB.
    std::string screenshot() {
        std::string file = home.file("screen.rgb");
        int status = testing_support::runProgram({"import", "-display", displayName, "-window", "root", "-depth", "8", "rgb:" + file},
                                                 home.file("import.log"));
        if (status != 0) return {};
        return testing_support::readFile(file);
    }

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

    void TearDown() override {
        server.reset();
        if (displayPipe >= 0) ::close(displayPipe);
    }

    TemporaryDirectory home;
    int displayPipe = -1;
    std::unique_ptr<Child> server;
    std::string displayName;
    std::optional<testing_support::ScopedEnvironment> displayVariable;
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
