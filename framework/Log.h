// The log file "C:/MRT.log" and the program's one fatal stop.
//
// Every function here may be called from any thread. An entry is the local
// time as ctime() writes it (24 characters), three blanks, the product line,
// CR LF, the text, CR LF; one process-wide mutex keeps entries whole. The
// file is opened and closed for every entry, so the log survives a crash up
// to its last entry.
#ifndef VELKARN_FRAMEWORK_LOG_H
#define VELKARN_FRAMEWORK_LOG_H

#include <stdexcept>
#include <string>

// Appends one entry; when the log cannot be opened the entry is lost.
void appendToLog(const std::string& text);

// "File <source>, Line <line>: <message>" ("File <source>, Line <line>" for an
// empty message); a message of 1024 characters or more keeps its first
// 1023. A source given as a path (__FILE__) is shown by its file name.
void logMessage(const std::string& message, const char* source, int line);

// logMessage while verbose logging is on ("lognormal" on the command line).
void logVerbose(const std::string& message, const char* source, int line);
void setVerboseLogging(bool on);
bool verboseLogging();

// Logs the message, shows it in the "Fatal Application Error" box and ends
// the process with exit(-1) (exit status 255). Never returns.
[[noreturn]] void fatalError(const std::string& message, const char* source, int line);

// Tests: called by fatalError after logging, before the box; a hook that
// throws turns the stop into an exception (see throwFatalStop). Null
// restores the stop.
using FatalErrorHook = void (*)(const std::string& message, const char* source, int line);
void setFatalErrorHook(FatalErrorHook hook);

// What throwFatalStop throws.
class FatalStop : public std::runtime_error {
public:
    FatalStop(const std::string& message, std::string source, int line)
        : std::runtime_error(message), source(std::move(source)), line(line) {}
    std::string source;
    int line;
};

// A FatalErrorHook that throws FatalStop.
void throwFatalStop(const std::string& message, const char* source, int line);

// The file name part of a source path.
const char* sourceFileName(const char* source);

// The log's path as written to (the data directory's MRT.log).
std::string logFilePath();

#endif
