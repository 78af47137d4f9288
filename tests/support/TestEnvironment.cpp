#include "TestEnvironment.h"

#include "platform/Paths.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace testing_support {

TemporaryDirectory::TemporaryDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/velkarn-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot create a temporary directory";
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    // Directories a test made unreadable must come back to be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::remove_all(path_, ignored);
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    if (value) {
        ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    if (previous_) {
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        ::unsetenv(name_.c_str());
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

void writeScript(const std::string& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
}

void makeDirectories(const std::string& path) { std::filesystem::create_directories(path); }

std::string sourceDirectory() { return VELKARN_SOURCE_DIR; }
std::string buildDirectory() { return VELKARN_BINARY_DIR; }

std::string runPython(const std::string& script, const std::vector<std::string>& arguments) {
    // The system's interpreter carries the Debian packages the scripts use
    // (NumPy among them); a python3 found first on PATH may not.
    const char* interpreter = ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    std::string command = std::string(interpreter) + " '" + sourceDirectory() + "/tests/" + script + "'";
    for (const auto& argument : arguments) command += " '" + argument + "'";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run " << command;
        return {};
    }
    std::string output;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << " failed";
    return output;
}

std::vector<LogEntry> logEntries() {
    std::string text = readFile(platform::nativePath("C:/MRT.log"));
    std::vector<LogEntry> entries;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t firstEnd = text.find("\r\n", at);
        if (firstEnd == std::string::npos) break;
        std::size_t secondEnd = text.find("\r\n", firstEnd + 2);
        if (secondEnd == std::string::npos) break;
        std::string header = text.substr(at, firstEnd - at);
        LogEntry entry;
        entry.time = header.substr(0, 24);
        entry.product = header.size() > 27 ? header.substr(27) : std::string();
        entry.text = text.substr(firstEnd + 2, secondEnd - firstEnd - 2);
        entries.push_back(std::move(entry));
        at = secondEnd + 2;
    }
    return entries;
}

std::vector<std::string> logTexts() {
    std::vector<std::string> texts;
    for (auto& entry : logEntries()) texts.push_back(std::move(entry.text));
    return texts;
}

std::vector<std::string> logTextsWithoutLineNumbers() {
    std::vector<std::string> texts;
    for (std::string text : logTexts()) {
        for (const char* marker : {", Line ", ", line "}) {
            const std::size_t at = text.find(marker);
            if (at == std::string::npos) continue;
            const std::size_t digits = at + std::string(marker).size();
            std::size_t end = digits;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
            if (end > digits) text.replace(digits, end - digits, "#");
        }
        texts.push_back(std::move(text));
    }
    return texts;
}

void clearLog() { std::remove(platform::nativePath("C:/MRT.log").c_str()); }

int runProgram(const std::vector<std::string>& argv, const std::string& outputPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!outputPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    std::vector<char*> arguments;
    for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    pid_t child = -1;
    int result = posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) return -1;
    return platform::waitForProcess(child);
}

}  // namespace testing_support
