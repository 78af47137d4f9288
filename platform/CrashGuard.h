// The last line of defence: a handler for crashing signals and for
// std::terminate that writes a text report, lets the companion program
// tell the user (and offer to mail the report), and then lets the process
// die as it would have.
//
// Everything the handler needs is prepared at installation; the handler
// itself uses only async-signal-safe calls and takes no lock of the
// program (the log's mutex included).
#ifndef VELKARN_PLATFORM_CRASHGUARD_H
#define VELKARN_PLATFORM_CRASHGUARD_H

#include <string>
#include <vector>

namespace platform {

struct CrashGuardSettings {
    std::string reportPath;                     // native path of the report
    std::string productLine;                    // first line of the report and of log entries
    std::vector<std::string> companionCommand;  // argv of the companion's crash mode; empty: none
    std::string logPath;                        // native path of the log
    std::string noMailClientNote;               // logged when the companion finds no mail client
};

// Handles SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT on an alternate stack
// and installs the terminate handler. The handler runs once: a second
// crash takes the default action at once. After the report (or at once
// when the report cannot be written) the default action is restored and
// the signal raised again, so the process dies by it.
void installCrashGuard(const CrashGuardSettings& settings);

// The time as ctime() writes it, without the newline, computed without
// the C library's locale and time-zone locks (the zone's offset is taken
// at installation). Exposed for tests.
void formatCrashTime(long long unixSeconds, long utcOffsetSeconds, char out[25]);

}  // namespace platform

#endif
