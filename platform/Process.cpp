#include "platform/Process.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <cstring>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

bool isExecutable(const std::string& path) {
    struct stat status;
    return !path.empty() && ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

pid_t startProcess(const std::vector<std::string>& argv, const EnvironmentEdits& edits) {
    if (argv.empty()) {
        errno = EINVAL;
        return -1;
    }
    std::string program = argv[0];
    if (program.find('/') == std::string::npos) {
        program = findOnPath(program);
        if (program.empty()) {
            errno = ENOENT;
            return -1;
        }
    }

    std::vector<std::string> environment;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string variable = *entry;
        std::string name = variable.substr(0, variable.find('='));
        if (edits.count(name) == 0) environment.push_back(std::move(variable));
    }
    for (const auto& [name, value] : edits) {
        if (value) environment.push_back(name + "=" + *value);
    }

    std::vector<char*> arguments;
    for (const auto& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    std::vector<char*> variables;
    for (auto& variable : environment) variables.push_back(variable.data());
    variables.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t process = -1;
    int result = posix_spawn(&process, program.c_str(), &actions, nullptr, arguments.data(), variables.data());
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        errno = result;
        return -1;
    }
    return process;
}

int waitForProcess(pid_t process) {
    int status = 0;
    while (::waitpid(process, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

std::string findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string_view directories = path;
    while (true) {
        std::size_t colon = directories.find(':');
        std::string_view directory = directories.substr(0, colon);
        std::string candidate(directory.empty() ? std::string_view(".") : directory);
        candidate.push_back('/');
        candidate.append(program);
        if (isExecutable(candidate)) return candidate;
        if (colon == std::string_view::npos) break;
        directories.remove_prefix(colon + 1);
    }
    return {};
}

std::string executableDirectory() {
    char buffer[4096];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return ".";
    std::string path(buffer, static_cast<std::size_t>(length));
    return path.substr(0, path.find_last_of('/'));
}

std::string companionPath() {
    if (const char* configured = std::getenv("VELKARN_COMPANION"); configured != nullptr && *configured != '\0') {
        return isExecutable(configured) ? configured : std::string();
    }
    std::string beside = executableDirectory() + "/velkarn-companion";
    if (isExecutable(beside)) return beside;
#ifdef VELKARN_COMPANION_BUILD_PATH
    if (isExecutable(VELKARN_COMPANION_BUILD_PATH)) return VELKARN_COMPANION_BUILD_PATH;
#endif
    return {};
}

}  // namespace platform
