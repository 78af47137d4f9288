#include "XvfbSession.h"

#include "TestEnvironment.h"
#include "platform/Process.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace xvfb_test {

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment, int keepDescriptor) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
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
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
    pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    output_ = out[0];
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
}

std::string Child::waitForLine(const std::string& prefix, int timeoutMs) {
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

int Child::waitForExit(int timeoutMs) {
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

XvfbServer::~XvfbServer() {
    displayVariable_.reset();
    server_.reset();
    if (displayPipe_ >= 0) ::close(displayPipe_);
}

bool XvfbServer::start(const std::string& scratchDirectory, std::string& error) {
    int display[2];
    if (::pipe2(display, O_CLOEXEC) != 0) {
        error = "no pipe";
        return false;
    }
    server_ = std::make_unique<Child>(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(display[1]), "-screen",
                                                               "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
                                      std::vector<std::string>{}, display[1]);
    ::close(display[1]);
    // The server writes the number and then a newline, separately; the pipe
    // stays open until the end, since a write into a closed pipe stops the
    // server.
    displayPipe_ = display[0];
    if (!server_->started()) {
        error = "Xvfb did not start";
        return false;
    }
    std::string number;
    while (number.find('\n') == std::string::npos) {
        pollfd poller{displayPipe_, POLLIN, 0};
        char chunk[16];
        ssize_t n = ::poll(&poller, 1, 10000) > 0 ? ::read(displayPipe_, chunk, sizeof chunk) : 0;
        if (n <= 0) {
            error = "Xvfb did not start";
            return false;
        }
        number.append(chunk, static_cast<std::size_t>(n));
    }
    displayName_ = ":" + std::to_string(std::atoi(number.c_str()));
    displayVariable_.emplace("DISPLAY", displayName_);
    // Wait until a client is served. (-noreset: without it the server starts
    // over, and announces its number again, whenever its last client leaves.)
    const std::string probe = scratchDirectory + "/probe.log";
    bool serving = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!serving && std::chrono::steady_clock::now() < deadline) {
        serving = testing_support::runProgram({"xdotool", "getmouselocation"}, probe) == 0;
        if (!serving) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    server_->waitForLine("\x01", 100);  // collects what the server said so far
    if (!serving) {
        error = "Xvfb on " + displayName_ + " does not take clients: " + testing_support::readFile(probe) + "\n" +
                server_->transcript;
    }
    return serving;
}

std::string XvfbServer::screenshot(const std::string& scratchDirectory) const {
    const std::string file = scratchDirectory + "/screen.rgb";
    const int status = testing_support::runProgram(
        {"import", "-display", displayName_, "-window", "root", "-depth", "8", "rgb:" + file},
        scratchDirectory + "/import.log");
    if (status != 0) return {};
    return testing_support::readFile(file);
}

Placement placementFromShell(const std::string& shellOutput) {
    std::istringstream geometry(shellOutput);
    Placement at;
    for (std::string line; std::getline(geometry, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals);
        const int value = std::atoi(line.c_str() + equals + 1);
        if (name == "X") at.x = value;
        if (name == "Y") at.y = value;
        if (name == "WIDTH") at.width = value;
        if (name == "HEIGHT") at.height = value;
    }
    return at;
}

std::string runForOutput(const std::vector<std::string>& argv, const std::string& log) {
    if (testing_support::runProgram(argv, log) != 0) return {};
    return testing_support::readFile(log);
}

Placement placementOf(const std::string& window, const std::string& log) {
    return placementFromShell(runForOutput({"xdotool", "getwindowgeometry", "--shell", window}, log));
}

Pixel screenPixel(const std::string& screen, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * screenWidth + static_cast<std::size_t>(x)) * 3;
    if (x < 0 || y < 0 || x >= screenWidth || y >= screenHeight || i + 2 >= screen.size()) return {};
    return {static_cast<std::uint8_t>(screen[i]), static_cast<std::uint8_t>(screen[i + 1]),
            static_cast<std::uint8_t>(screen[i + 2])};
}

std::vector<std::string> fileLines(const std::string& path) {
    std::istringstream text(testing_support::readFile(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

void XvfbTest::SetUp() {
    for (const char* tool : {"Xvfb", "import", "xdotool", "convert"}) {
        ASSERT_FALSE(platform::findOnPath(tool).empty()) << tool << " is not installed";
    }
    std::string error;
    ASSERT_TRUE(server.start(scratch.path(), error)) << error;
}

int XvfbTest::xdotool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"xdotool"});
    return testing_support::runProgram(arguments, scratch.file("xdotool.log"));
}

void XvfbTest::click(const Placement& window, int x, int y) {
    ASSERT_EQ(xdotool({"mousemove", "--sync", std::to_string(window.x + x), std::to_string(window.y + y), "click", "1",
                       "mousemove", "--sync", std::to_string(screenWidth - 5), std::to_string(screenHeight - 5)}),
              0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

std::string XvfbTest::waitForWindow(const std::string& pattern, int boundMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    do {
        const std::string found = runForOutput({"xdotool", "search", "--name", pattern}, scratch.file("search.log"));
        if (!found.empty()) return found.substr(0, found.find('\n'));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    } while (std::chrono::steady_clock::now() < deadline);
    return {};
}

void XvfbTest::loadAndDrop(const Placement& main, std::chrono::steady_clock::time_point begin, int deck,
                           const std::string& requestRecord, const std::string& playingTitle) {
    // The load button; the strips of row 0, one a deck 65 pixels apart, at
    // the start-up zoom and the grid's 120 BPM.
    constexpr int loadX = 912 + 32, loadY = 25 + 14;
    constexpr int stripX = 10, stripWidth = 800, stripMiddleY = 10 + 30, deckStep = 65;
    constexpr double samplesPerPixel = 2756.0, beatFrames = 22050.0;
    const std::size_t asked = fileLines(requestRecord).size();
    click(main, loadX, loadY);
    const auto answered = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (fileLines(requestRecord).size() == asked && std::chrono::steady_clock::now() < answered) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_GT(fileLines(requestRecord).size(), asked) << "the load button asked for no song";
    bool played = false;
    for (int attempt = 0; attempt < 3 && !played; ++attempt) {
        const double ahead = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count() + 6.0;
        const int beat = static_cast<int>(std::ceil(ahead * 44100.0 / beatFrames));
        const int column = stripX + static_cast<int>((beat + 0.5) * beatFrames / samplesPerPixel);
        ASSERT_LT(column, stripX + stripWidth) << "the program took too long to start";
        click(main, column, stripMiddleY + deckStep * deck);
        played = !waitForWindow(playingTitle, 20000).empty();
    }
    ASSERT_TRUE(played) << "the song dropped on deck " << deck << " never played";
}

}  // namespace xvfb_test
