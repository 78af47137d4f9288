// The bytes of info.zlt against the Python oracle, both ways, and the file
// times the listing gives against the oracle's calendar arithmetic.
#include "ToolsTestSupport.h"

#include "TestEnvironment.h"

#include "framework/FileMemory.h"
#include "platform/FileSystem.h"
#include "tools/FileZLT.h"

#include <gtest/gtest.h>

#include <memory>

using tools_test::encodeRecords;
using tools_test::oracleLine;
using tools_test::oracleRead;
using tools_test::oracleWrite;

namespace {

BrowserRecord makeRecord(std::string name, bool analyzed, float tempo, std::string title, std::string artist,
                         std::string comments, std::uint64_t time) {
    BrowserRecord record;
    record.fileName = std::move(name);
    record.analyzed = analyzed;
    record.tempo = tempo;
    record.title = std::move(title);
    record.artist = std::move(artist);
    record.comments = std::move(comments);
    record.lastWriteTime = time;
    return record;
}

// What a reader gives back for a written record: texts cut to 1023 bytes,
// flags cleared.
BrowserRecord asStored(BrowserRecord record) {
    for (std::string* text : {&record.title, &record.artist, &record.comments, &record.fileName})
        if (text->size() > 1023) text->resize(1023);
    record.selected = false;
    record.loaded = false;
    return record;
}

std::vector<BrowserRecord> readAll(const std::string& bytes) {
    auto file = std::make_unique<FileMemory>(static_cast<int>(bytes.size()));
    file->write(bytes.data(), static_cast<int>(bytes.size()));
    file->seek(0);
    FileZLT reader(std::move(file));
    std::vector<BrowserRecord> records;
    while (const BrowserRecord* current = reader.current()) {
        BrowserRecord record;
        std::string name = current->fileName;
        EXPECT_TRUE(reader.lookup(name, current->lastWriteTime, record));
        records.push_back(record);
    }
    EXPECT_TRUE(reader.upToDate());
    EXPECT_TRUE(reader.canonical());
    return records;
}

struct FormatCase {
    const char* name;
    std::vector<BrowserRecord> records;
};

std::vector<FormatCase> formatCases() {
    BrowserRecord flagged = makeRecord("/m/flags.wav", true, 133.0f, "t", "a", "c", 99);
    flagged.selected = true;
    flagged.loaded = true;
    return {
        {"empty database", {}},
        {"record not analysed", {makeRecord("/music/a.wav", false, 0.0f, "", "", "", 132000000000000000ULL)}},
        {"analysed records with tags",
         {makeRecord("/music/a.wav", true, 120.5f, "Title", "Artist", "Hard rock", 132000000000000001ULL),
          makeRecord("/music/b/c.mp3", true, 98.25f, "", "Someone", "", 0xFFFFFFFFFFFFFFFFULL),
          makeRecord("/music/d.wav", false, 0.0f, "", "", "", 1)}},
        {"2000-character title", {makeRecord("/m/x.wav", true, 140.0f, std::string(2000, 't'), "", "", 5)}},
        {"1023 and 1024 characters",
         {makeRecord("/m/y.wav", true, 1.0f, std::string(1023, 'a'), std::string(1024, 'b'), std::string(1, 'c'),
                     6)}},
        {"bytes from 0x80 up", {makeRecord("/m/\xe9t\xe9.wav", true, 100.0f, "\x80\xff\xfe", "\xc3\xa9", "\x7f", 7)}},
        {"selected and loaded are not stored", {flagged}},
    };
}

}  // namespace

TEST(ZltFormat, TheEmptyDatabaseIsTheHeaderAlone) {
    const std::string expected("\x89ZLT\r\n\x1a\n\0\0\0\0", 12);
    EXPECT_EQ(encodeRecords({}), expected);
    EXPECT_EQ(oracleWrite({}), expected);
}

TEST(ZltFormat, OurBytesAreTheOraclesAndWeReadTheOraclesFiles) {
    for (const FormatCase& c : formatCases()) {
        SCOPED_TRACE(c.name);
        const std::string oracle = oracleWrite(c.records);
        const std::string ours = encodeRecords(c.records);
        EXPECT_EQ(ours, oracle);
        EXPECT_EQ(static_cast<std::int64_t>(ours.size()), FileZLT::encodedSize(c.records));

        std::vector<BrowserRecord> read = readAll(oracle);
        ASSERT_EQ(read.size(), c.records.size());
        std::vector<std::string> lines = oracleRead(ours);
        ASSERT_EQ(lines.size(), c.records.size() + 1);
        EXPECT_EQ(lines.back(), "end");
        for (std::size_t i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i], asStored(c.records[i])) << "record " << i;
            EXPECT_EQ(lines[i], oracleLine(c.records[i])) << "record " << i;
        }
    }
}

TEST(ZltFormat, TheDirectoryFileHoldsTheSameBytesAndReadsBack) {
    for (const FormatCase& c : formatCases()) {
        SCOPED_TRACE(c.name);
        testing_support::TemporaryDirectory directory;
        FileZLT::write(directory.path(), c.records);
        EXPECT_EQ(testing_support::readFile(directory.file("info.zlt")), oracleWrite(c.records));
        FileZLT reader(directory.path());
        for (const BrowserRecord& expected : c.records) {
            BrowserRecord record;
            ASSERT_TRUE(reader.lookup(expected.fileName.substr(0, 1023), expected.lastWriteTime, record));
            EXPECT_EQ(record, asStored(expected));
        }
        EXPECT_TRUE(reader.upToDate());
    }
}

TEST(ZltFormat, ListingTimesAreFileTimesAsTheCalendarCountsThem) {
    struct TimeCase {
        std::int64_t seconds;
        long nanoseconds;
    };
    const TimeCase cases[] = {{0, 0},          {1, 100},          {951782400, 999999999},
                              {1700000000, 123456789}, {4102444800, 50}, {1234567890, 99}};
    testing_support::TemporaryDirectory directory;
    const std::string path = directory.file("song.wav");
    testing_support::writeFile(path, "x");
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.seconds);
        tools_test::setModified(path, c.seconds, c.nanoseconds);
        std::vector<platform::DirectoryEntry> entries;
        ASSERT_TRUE(platform::listDirectory(directory.path(), entries));
        ASSERT_EQ(entries.size(), 1u);
        const std::string printed = testing_support::runPython("tools/zlt_oracle.py", {"filetime", path});
        EXPECT_EQ(std::to_string(entries[0].modified) + "\n", printed);
    }
}
