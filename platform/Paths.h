// The program names its own files with fixed paths of the form "C:/name".
// They live in the data directory: $VELKARN_HOME, or ~/.local/share/velkarn
// when the variable is not set. Every other path passes through untouched.
#ifndef VELKARN_PLATFORM_PATHS_H
#define VELKARN_PLATFORM_PATHS_H

#include <string>
#include <string_view>

namespace platform {

// The data directory, without a trailing "/". It is created (with its
// parents) when it does not exist yet.
std::string dataDirectory();

// True when the path starts with "C:/" or "C:\" (either case of the letter).
bool isDataPath(std::string_view path);

// The path every file-system call of the layer uses: a data path becomes
// the data directory + "/" + the rest (the rest is left as it is);
// anything else is returned unchanged.
std::string nativePath(std::string_view path);

}  // namespace platform

#endif
