#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {
namespace {

void makeDirectories(const std::string& path) {
    // mkdir each prefix; existing ones are fine, and a failure shows later
    // when the file itself cannot be opened.
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string prefix = path.substr(0, i);
            if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return;
        }
    }
}

}  // namespace

std::string dataDirectory() {
    std::string directory;
    if (const char* home = std::getenv("VELKARN_HOME"); home != nullptr && *home != '\0') {
        directory = home;
    } else {
        const char* user = std::getenv("HOME");
        directory = std::string(user != nullptr ? user : "") + "/.local/share/velkarn";
    }
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    struct stat status;
    if (::stat(directory.c_str(), &status) != 0) makeDirectories(directory);
    return directory;
}

bool isDataPath(std::string_view path) {
    return path.size() >= 3 && (path[0] == 'C' || path[0] == 'c') && path[1] == ':' &&
           (path[2] == '/' || path[2] == '\\');
}

std::string nativePath(std::string_view path) {
    if (!isDataPath(path)) return std::string(path);
    return dataDirectory() + "/" + std::string(path.substr(3));
}

}  // namespace platform
