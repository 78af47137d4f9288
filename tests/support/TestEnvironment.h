// Helpers shared by the platform, framework and application tests.
#ifndef VELKARN_TESTS_SUPPORT_TESTENVIRONMENT_H
#define VELKARN_TESTS_SUPPORT_TESTENVIRONMENT_H

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory under $TMPDIR, removed with everything in it.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets (or, with nullopt, removes) an environment variable for a scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// An executable shell script.
void writeScript(const std::string& path, const std::string& body);
void makeDirectories(const std::string& path);

// Runs a Python 3 script from tests/ (path relative to the source tree's
// tests/ directory) with the system's interpreter and the arguments, and
// returns what it printed; fails the test when it does not exit with 0.
std::string runPython(const std::string& script, const std::vector<std::string>& arguments);

// The entries of the program's log, each: time, product line, text.
struct LogEntry {
    std::string time;
    std::string product;
    std::string text;
};
std::vector<LogEntry> logEntries();
// The texts of the log's entries.
std::vector<std::string> logTexts();
// The same with the source line of each text ("File X, Line 12: ..." or
// "... in file X, line 12: ...") written as "#", for texts compared whole.
std::vector<std::string> logTextsWithoutLineNumbers();
void clearLog();

// Runs a program, waits, and returns its exit status (128 + signal when a
// signal ended it); its output goes to outputPath when given.
int runProgram(const std::vector<std::string>& argv, const std::string& outputPath = {});

// The source tree and the build tree of the tests.
std::string sourceDirectory();
std::string buildDirectory();

}  // namespace testing_support

#endif
