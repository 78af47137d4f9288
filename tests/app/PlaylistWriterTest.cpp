// The played-songs lists: the text line against Python's % formatting with
// truncating division, the time line across stops and restarts, the CSV
// list's header, and files that cannot be opened.
#include "AppTestSupport.h"
#include "TestEnvironment.h"
#include "app/PlaylistWriter.h"
#include "platform/FileSystem.h"
#include "platform/UiScript.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t second = 44100;

struct LineCase {
    int deck;
    std::int64_t samples;
    std::string title, artist, label;
};

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x80) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Python's lines for the cases, parsed from its JSON list of strings
// (only the escapes json.dumps writes for these texts).
std::vector<std::string> pythonLines(const std::vector<LineCase>& cases, const std::string& directory) {
    std::string json = "[";
    for (const LineCase& c : cases) {
        if (json.size() > 1) json += ", ";
        json += "[" + std::to_string(c.deck) + ", " + std::to_string(c.samples) + ", " + jsonString(c.title) + ", " +
                jsonString(c.artist) + ", " + jsonString(c.label) + "]";
    }
    json += "]";
    const std::string input = directory + "/cases.json";
    testing_support::writeFile(input, json);
    const std::string printed = testing_support::runPython("app/playlist_reference.py", {input});
    std::vector<std::string> lines;
    std::string line;
    bool inside = false;
    for (std::size_t i = 0; i < printed.size(); ++i) {
        const char c = printed[i];
        if (!inside) {
            if (c == '"') {
                inside = true;
                line.clear();
            }
            continue;
        }
        if (c == '"') {
            inside = false;
            lines.push_back(line);
        } else if (c == '\\') {
            const char e = printed[++i];
            if (e == 'r') line += '\r';
            else if (e == 'n') line += '\n';
            else if (e == 'u') {
                line += static_cast<char>(std::stoi(printed.substr(i + 1, 4), nullptr, 16));
                i += 4;
            } else line += e;
        } else {
            line += c;
        }
    }
    return lines;
}

TEST(PlaylistLines, TheTextLineIsPythonsPercentFormatWithTruncatingDivision) {
    testing_support::TemporaryDirectory directory;
    const std::vector<LineCase> cases = {
        {0, 11 * second, "T", "A", "L"},
        {0, -10 * second, "T", "A", "L"},       // a drop before the run's start
        {0, -3700 * second, "T", "A", "L"},
        {1, 100 * 3600 * second, "Title", "Artist", "Label"},
        {1, 3599 * second + second - 1, "x", "y", "z"},  // 59:59, the rest truncated
        {0, -(second - 1), "x", "y", "z"},               // under a second before: zero
        {0, 0, "", "", ""},
        {1, 61 * second, "a;b", "\xe9t\xe9", "[ ]"},
    };
    const std::vector<std::string> expected = pythonLines(cases, directory.path());
    ASSERT_EQ(expected.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const LineCase& c = cases[i];
        EXPECT_EQ(PlaylistWriter::textLine(c.deck, c.samples, c.title, c.artist, c.label), expected[i]) << "case " << i;
    }
    EXPECT_EQ(expected[0], "1. [ 0: 0:11] T | A [ L ]\r\n");
    EXPECT_EQ(expected[1], "1. [ 0: 0:-10] T | A [ L ]\r\n");
    EXPECT_EQ(expected[2], "1. [-1:-1:-40] T | A [ L ]\r\n");
}

class PlaylistFiles : public ::testing::Test {
protected:
    void SetUp() override { platform::uiScript::enable(); }
    void TearDown() override {
        platform::setFileFaultHook(nullptr);
        platform::uiScript::disable();
    }
    std::string read(const PlaylistWriter& list) const { return testing_support::readFile(list.fileName()); }

    testing_support::TemporaryDirectory directory;
};

// A run paused and resumed keeps one time line; both decks' drops at one
// moment give two lines; nothing is written while stopped.
TEST_F(PlaylistFiles, TheTextListKeepsOneTimeLineAcrossStops) {
    PlaylistWriter list(PlaylistWriter::text);
    list.setBaseName(directory.file("mix"));
    EXPECT_EQ(list.fileName(), directory.file("mix.txt"));
    list.writeLine(0, 0, "Not", "Running", "Yet");
    list.start(0);
    ASSERT_TRUE(list.isRunning());
    list.start(5 * second);  // nothing while running
    list.stop(441000);
    EXPECT_FALSE(list.isRunning());
    list.writeLine(0, 500000, "Stopped", "Drop", "");
    list.start(882000);
    list.writeLine(0, 926100, "T", "A", "L");
    list.writeLine(1, 926100, "U", "B", "M");
    list.setBaseName(directory.file("next"));  // closes mix.txt
    EXPECT_FALSE(list.isRunning());
    EXPECT_EQ(testing_support::readFile(directory.file("mix.txt")),
              "1. [ 0: 0:11] T | A [ L ]\r\n2. [ 0: 0:11] U | B [ M ]\r\n");

    // A new base starts a new time line.
    list.start(1000 * second);
    list.writeLine(0, 1001 * second, "V", "C", "N");
    list.reset();
    EXPECT_EQ(read(list), "");
    EXPECT_FALSE(list.isRunning());
}

TEST_F(PlaylistFiles, TheCsvListHasItsHeaderOnOpenAndReset) {
    PlaylistWriter list(PlaylistWriter::csv);
    list.setBaseName(directory.file("mix"));
    EXPECT_EQ(list.fileName(), directory.file("mix.csv"));
    list.reset();  // without a file: nothing
    EXPECT_FALSE(list.hasFile());
    list.start(0);
    list.writeLine(1, 5 * second, "Semi;colon", "Art", "Lab");
    list.writeLine(0, 6 * second, "", "", "");
    list.stop(7 * second);
    list.setBaseName(directory.file("mix"));
    EXPECT_EQ(read(list), "Title;Artist;Label\r\nSemi;colon;Art;Lab\r\n;;\r\n");

    // A reset while running leaves the header only, stopped.
    list.start(0);
    list.writeLine(0, second, "Gone", "After", "Reset");
    list.reset();
    EXPECT_FALSE(list.isRunning());
    list.writeLine(0, 2 * second, "Not", "Written", "");
    EXPECT_TRUE(list.hasFile());
    list.setBaseName(directory.file("mix"));
    EXPECT_EQ(read(list), "Title;Artist;Label\r\n");
}

TEST_F(PlaylistFiles, AFileThatCannotOpenIsReportedAndTriedAgain) {
    PlaylistWriter list(PlaylistWriter::text);
    const std::string base = directory.file("missing/mix");
    list.setBaseName(base);
    list.start(0);
    EXPECT_FALSE(list.isRunning());
    EXPECT_FALSE(list.hasFile());
    EXPECT_EQ(app_test::boxes(), std::vector<std::string>{"Cannot start recording playlist.|Cannot open " + base +
                                                          ".txt."});
    testing_support::makeDirectories(directory.file("missing"));
    list.start(0);
    EXPECT_TRUE(list.isRunning());
    list.writeLine(0, second, "T", "A", "L");

    // A reset that cannot open the file again leaves none.
    platform::setFileFaultHook(
        [](platform::FileOperation operation, const std::string&) { return operation == platform::FileOperation::Open; });
    list.reset();
    platform::setFileFaultHook(nullptr);
    EXPECT_FALSE(list.hasFile());
    EXPECT_FALSE(list.isRunning());
    EXPECT_EQ(app_test::boxes().back(), "Cannot reset playlist recording.|Cannot open " + base + ".txt.");
    list.start(0);
    EXPECT_TRUE(list.isRunning());
    EXPECT_EQ(read(list), "");
}

}  // namespace
