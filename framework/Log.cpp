#include "framework/Log.h"

#include "framework/Support.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace {

std::mutex logMutex;
std::atomic<bool> verbose{false};
std::atomic<FatalErrorHook> fatalHook{nullptr};

constexpr std::size_t longestMessage = 1023;

}  // namespace

std::string logFilePath() { return platform::nativePath("C:/MRT.log"); }

const char* sourceFileName(const char* source) {
    if (source == nullptr) return "";
    const char* name = source;
    for (const char* p = source; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    return name;
}

void appendToLog(const std::string& text) {
    std::string path = logFilePath();
    std::lock_guard lock(logMutex);
    std::FILE* log = std::fopen(path.c_str(), "ab");
    if (log == nullptr) return;
    std::time_t now = std::time(nullptr);
    char time[26] = {};
    if (::ctime_r(&now, time) == nullptr) time[0] = '\0';
    time[24] = '\0';  // drop ctime's newline
    std::fprintf(log, "%s   ", time);
    std::fprintf(log, "%s\r\n", productLine);
    std::fprintf(log, "%s\r\n", text.c_str());
    std::fclose(log);
}

void logMessage(const std::string& message, const char* source, int line) {
    std::string text = "File " + std::string(sourceFileName(source)) + ", Line " + std::to_string(line);
    if (!message.empty()) text += ": " + message.substr(0, longestMessage);
    appendToLog(text);
}

void logVerbose(const std::string& message, const char* source, int line) {
    if (verbose.load(std::memory_order_relaxed)) logMessage(message, source, line);
}

void setVerboseLogging(bool on) { verbose.store(on); }
bool verboseLogging() { return verbose.load(); }

void setFatalErrorHook(FatalErrorHook hook) { fatalHook.store(hook); }

void throwFatalStop(const std::string& message, const char* source, int line) {
    throw FatalStop(message, sourceFileName(source), line);
}

void fatalError(const std::string& message, const char* source, int line) {
    logMessage(message, source, line);
    if (FatalErrorHook hook = fatalHook.load()) hook(message, source, line);
    platform::showMessageBox({"Fatal Application Error", message, platform::BoxButtons::Ok, platform::BoxIcon::Exclamation});
    std::exit(-1);
}
