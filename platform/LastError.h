// Per-thread text of the last failed layer call, the counterpart of a
// platform's "last error" for the program's reporters.
#ifndef VELKARN_PLATFORM_LASTERROR_H
#define VELKARN_PLATFORM_LASTERROR_H

#include <string>

namespace platform {

// Set by layer calls that fail; replaces any earlier text of this thread.
void setLastErrorText(std::string text);

// Sets "<what>: <strerror(errnoValue)>".
void setLastErrorFromErrno(const std::string& what, int errnoValue);

// Returns the text set on this thread and clears it; empty when none is set,
// so a stale text is never reported for a later, unrelated failure.
std::string takeLastErrorText();

}  // namespace platform

#endif
