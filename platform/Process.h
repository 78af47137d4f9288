// Starting helper programs (the companion, the shell's opener and mailer)
// and waiting for them.
#ifndef VELKARN_PLATFORM_PROCESS_H
#define VELKARN_PLATFORM_PROCESS_H

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Environment changes for a child: a value sets the variable, nullopt
// removes it; everything else is inherited.
using EnvironmentEdits = std::map<std::string, std::optional<std::string>>;

// Starts argv[0] (looked up on PATH when it has no "/") with stdin from
// /dev/null. Returns the process id, or -1 with errno set (ENOENT when the
// program does not exist).
pid_t startProcess(const std::vector<std::string>& argv, const EnvironmentEdits& edits = {});

// Waits for the child: its exit status, 128 + the signal when a signal
// ended it, or -1 when it cannot be waited for.
int waitForProcess(pid_t process);

// The full path of a program on PATH, or empty.
std::string findOnPath(const std::string& program);

// The companion program: $VELKARN_COMPANION, else "velkarn-companion"
// beside this executable, else the one in the build tree; empty when
// none exists.
std::string companionPath();

// The directory of this executable.
std::string executableDirectory();

}  // namespace platform

#endif
