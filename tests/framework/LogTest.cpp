#include "FrameworkTest.h"
#include "platform/FileSystem.h"

#include <ctime>
#include <thread>

namespace {

using testing_support::logEntries;
using testing_support::logTexts;

class Log : public FrameworkTest {};

TEST_F(Log, AnEntryIsTheTimeThreeBlanksTheProductLineAndTheText) {
    std::time_t before = std::time(nullptr);
    logMessage("Something happened.", "/somewhere/Mixer.cpp", 42);
    std::time_t after = std::time(nullptr);
    std::string bytes = testing_support::readFile(logFilePath());
    ASSERT_GT(bytes.size(), 24u) << bytes;
    EXPECT_EQ(bytes.substr(24), "   Velkarn 1.31\r\nFile Mixer.cpp, Line 42: Something happened.\r\n");
    // The time is this moment's local time, 24 characters as ctime() writes them.
    std::string time = bytes.substr(0, 24);
    std::tm parts {};
    const char* end = strptime(time.c_str(), "%a %b %d %H:%M:%S %Y", &parts);
    ASSERT_NE(end, nullptr) << time;
    EXPECT_EQ(*end, '\0') << time;
    char again[32];
    std::strftime(again, sizeof again, "%a %b %e %H:%M:%S %Y", &parts);
    EXPECT_EQ(time, again);
    parts.tm_isdst = -1;
    std::time_t logged = std::mktime(&parts);
    EXPECT_GE(logged, before - 1);
    EXPECT_LE(logged, after + 1);
}

TEST_F(Log, MessagesAreShapedAndCut) {
    const std::string long5000(5000, 'x');
    const struct {
        std::string message;
        std::string text;
    } cases[] = {
        {"", "File Unit.cpp, Line 7"},
        {"a", "File Unit.cpp, Line 7: a"},
        {std::string(1023, 'y'), "File Unit.cpp, Line 7: " + std::string(1023, 'y')},
        {std::string(1024, 'z'), "File Unit.cpp, Line 7: " + std::string(1023, 'z')},
        {long5000, "File Unit.cpp, Line 7: " + std::string(1023, 'x')},
    };
    for (const auto& c : cases) logMessage(c.message, "Unit.cpp", 7);
    std::vector<std::string> texts = logTexts();
    ASSERT_EQ(texts.size(), std::size(cases));
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(texts[i], cases[i].text) << i;
}

TEST_F(Log, VerboseEntriesAppearOnlyWhileVerbose) {
    logVerbose("quiet", "Unit.cpp", 1);
    setVerboseLogging(true);
    logVerbose("loud", "Unit.cpp", 2);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{"File Unit.cpp, Line 2: loud"}));
}

TEST_F(Log, EntriesWrittenByEightThreadsAtOnceStayWhole) {
    constexpr int threads = 8;
    constexpr int perThread = 100;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i) {
                logMessage("thread " + std::to_string(t) + " entry " + std::to_string(i) + " " + std::string(200, 'a' + t),
                           "Writer.cpp", t);
            }
        });
    }
    for (auto& writer : writers) writer.join();
    std::vector<testing_support::LogEntry> entries = logEntries();
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(threads * perThread));
    std::vector<int> next(threads, 0);
    for (const auto& entry : entries) {
        EXPECT_EQ(entry.product, "Velkarn 1.31");
        // "File Writer.cpp, Line <t>: thread <t> entry <i> <200 letters of t>"
        const std::string& text = entry.text;
        ASSERT_EQ(text.rfind("File Writer.cpp, Line ", 0), 0u) << text;
        int t = text[22] - '0';
        ASSERT_TRUE(t >= 0 && t < threads) << text;
        std::string expected = "File Writer.cpp, Line " + std::to_string(t) + ": thread " + std::to_string(t) + " entry " +
                               std::to_string(next[t]++) + " " + std::string(200, static_cast<char>('a' + t));
        EXPECT_EQ(text, expected);  // whole, and each thread's entries in its order
    }
}

TEST_F(Log, AnUnopenableLogLosesTheEntryQuietly) {
    testing_support::TemporaryDirectory home;
    testing_support::ScopedEnvironment velkarnHome("VELKARN_HOME", home.path());
    testing_support::makeDirectories(home.file("MRT.log"));  // a directory cannot be appended to
    logMessage("lost", "Unit.cpp", 1);  // neither throws nor stops
    std::vector<platform::DirectoryEntry> entries;
    ASSERT_TRUE(platform::listDirectory(home.path(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].isDirectory);
}

}  // namespace
