#include "platform/PlatformLog.h"

#include <atomic>
#include <cstdio>

namespace platform {
namespace {
std::atomic<LogSink> installedSink{nullptr};
std::atomic<LogSink> installedVerboseSink{nullptr};
}  // namespace

void setLogSink(LogSink sink) { installedSink.store(sink); }

void logNote(const std::string& message, const char* source, int line) {
    if (LogSink sink = installedSink.load()) {
        sink(message, source, line);
        return;
    }
    std::fprintf(stderr, "File %s, Line %d: %s\n", source, line, message.c_str());
}

void setVerboseLogSink(LogSink sink) { installedVerboseSink.store(sink); }

void logVerboseNote(const std::string& message, const char* source, int line) {
    if (LogSink sink = installedVerboseSink.load()) sink(message, source, line);
}

}  // namespace platform
