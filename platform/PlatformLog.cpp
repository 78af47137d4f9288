#include "platform/PlatformLog.h"

#include <atomic>
#include <cstdio>

namespace platform {
namespace {
std::atomic<LogSink> installedSink{nullptr};
}

void setLogSink(LogSink sink) { installedSink.store(sink); }

void logNote(const std::string& message, const char* source, int line) {
    if (LogSink sink = installedSink.load()) {
        sink(message, source, line);
        return;
    }
    std::fprintf(stderr, "File %s, Line %d: %s\n", source, line, message.c_str());
}

}  // namespace platform
