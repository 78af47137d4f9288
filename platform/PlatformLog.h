// Where the layer's own failure notes go. The framework installs its log
// here at start-up; until then notes go to stderr.
#ifndef VELKARN_PLATFORM_PLATFORMLOG_H
#define VELKARN_PLATFORM_PLATFORMLOG_H

#include <string>

namespace platform {

// Called from any thread; must not call back into the layer's logging.
using LogSink = void (*)(const std::string& message, const char* source, int line);

void setLogSink(LogSink sink);  // null restores stderr

void logNote(const std::string& message, const char* source, int line);

// Notes that matter only when diagnosing (the sound libraries' chatter, a
// refused priority). The framework installs its verbose log here; until
// then they are dropped, never printed.
void setVerboseLogSink(LogSink sink);  // null drops them again
void logVerboseNote(const std::string& message, const char* source, int line);

// The file name of a __FILE__ path, for the source field of notes.
constexpr const char* sourceName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/') name = p + 1;
    }
    return name;
}

}  // namespace platform

#define PLATFORM_NOTE(message) ::platform::logNote((message), ::platform::sourceName(__FILE__), __LINE__)
#define PLATFORM_VERBOSE_NOTE(message) \
    ::platform::logVerboseNote((message), ::platform::sourceName(__FILE__), __LINE__)

#endif
