// A damaged info.zlt loses nothing: the records wholly before the damage
// serve the build, the rest are opened again, and the file is rewritten
// whole. A failed rewrite leaves the old file as it was.
#include "ToolsTestSupport.h"

#include "TestEnvironment.h"

#include "platform/FileSystem.h"
#include "tools/BrowserData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>

using tools_test::OpenCounter;

namespace {

class ZltCorrupt : public ::testing::Test {
protected:
    void SetUp() override {
        const std::pair<const char*, tools_test::SongSpec> songs[] = {
            {"1.wav", {true, 22050, true, "One", "A", "x", 100.0f}},
            {"2/a.wav", {false}},
            {"2/b.mp3", {false}},
            {"3.wav", {true, 20000, true, "Three", "", "Some comment", 0.0f}},
            {"4.wav", {true, 30000, false}},
        };
        for (const auto& [name, spec] : songs) {
            tools_test::writeSong(directory_.file(name), spec);
            tools_test::setModified(directory_.file(name), 1600000000, 0);
        }
        BrowserData data;
        ASSERT_TRUE(data.build(directory_.path(), nullptr));
        reference_ = data.allRecords();
        ASSERT_EQ(reference_.size(), 5u);
        valid_ = testing_support::readFile(info());
        std::size_t end = 12;
        for (const BrowserRecord& record : reference_) {
            recordStart_.push_back(end);
            end += 8 + 8;
            for (const std::string* text : {&record.title, &record.artist, &record.comments, &record.fileName})
                end += 4 + text->size() + 1;
            recordEnd_.push_back(end);
        }
        ASSERT_EQ(end, valid_.size());
    }
    void TearDown() override { platform::setFileFaultHook(nullptr); }

    std::string info() const { return directory_.file("info.zlt"); }

    // Builds over the damaged bytes; checks the outcome against a build
    // with the intact file, with firstOpened the first record opened again.
    void expectRecovery(const std::string& damaged, std::size_t firstOpened) {
        testing_support::writeFile(info(), damaged);
        OpenCounter counter;
        BrowserData data;
        ASSERT_TRUE(data.build(directory_.path(), nullptr));
        std::vector<std::string> expected;
        for (std::size_t i = firstOpened; i < reference_.size(); ++i) expected.push_back(reference_[i].fileName);
        EXPECT_EQ(counter.paths(), expected);
        EXPECT_EQ(data.allRecords(), reference_);
        EXPECT_EQ(testing_support::readFile(info()), valid_);
    }

    bool loggedPrematureEnd() const {
        for (const std::string& text : testing_support::logTexts())
            if (text.find("Premature end of file.") != std::string::npos) return true;
        return false;
    }

    testing_support::TemporaryDirectory directory_;
    std::vector<BrowserRecord> reference_;
    std::string valid_;
    std::vector<std::size_t> recordStart_;
    std::vector<std::size_t> recordEnd_;
};

void storeInt32(std::string& bytes, std::size_t at, std::int32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
}

}  // namespace

TEST_F(ZltCorrupt, TruncatedAtEveryOffset) {
    for (std::size_t offset = 0; offset < valid_.size(); ++offset) {
        SCOPED_TRACE(offset);
        testing_support::clearLog();
        std::size_t whole = offset < 12 ? 0 : static_cast<std::size_t>(
            std::count_if(recordEnd_.begin(), recordEnd_.end(), [&](std::size_t end) { return end <= offset; }));
        expectRecovery(valid_.substr(0, offset), whole);
        bool insideRecord = offset > 12 && std::find(recordEnd_.begin(), recordEnd_.end(), offset) == recordEnd_.end();
        EXPECT_EQ(loggedPrematureEnd(), insideRecord);
        if (HasFailure()) return;
    }
}

TEST_F(ZltCorrupt, TextLengthsOutsideTheirRange) {
    const std::int32_t lengths[] = {0, -1, 1025, INT_MAX, INT_MIN};
    for (std::size_t record = 0; record < reference_.size(); ++record) {
        std::size_t at = recordStart_[record] + 8;
        const BrowserRecord& r = reference_[record];
        for (const std::string* text : {&r.title, &r.artist, &r.comments, &r.fileName}) {
            for (std::int32_t length : lengths) {
                SCOPED_TRACE("record " + std::to_string(record) + " at " + std::to_string(at) + " length " +
                             std::to_string(length));
                testing_support::clearLog();
                std::string damaged = valid_;
                storeInt32(damaged, at, length);
                expectRecovery(damaged, record);
                EXPECT_TRUE(loggedPrematureEnd());
            }
            at += 4 + text->size() + 1;
        }
    }
}

TEST_F(ZltCorrupt, TextLengthsOutsideTheirRangeEndReadingThoughTheRestWouldStillRead) {
    // Each bad length is followed by as many bytes as a reader taking at
    // most 1024 of them (and none for a length below 1) would take, so the
    // rest of the record and the records after it would still read whole:
    // only the length itself shows the damage.
    const std::pair<std::int32_t, std::size_t> damages[] = {
        {0, 0}, {-1, 0}, {INT_MIN, 0}, {1025, 1024}, {INT_MAX, 1024}};
    for (std::size_t record = 0; record < reference_.size(); ++record) {
        std::size_t at = recordStart_[record] + 8;
        const BrowserRecord& r = reference_[record];
        for (const std::string* text : {&r.title, &r.artist, &r.comments, &r.fileName}) {
            const std::size_t fieldEnd = at + 4 + text->size() + 1;
            for (const auto& [length, following] : damages) {
                SCOPED_TRACE("record " + std::to_string(record) + " at " + std::to_string(at) + " length " +
                             std::to_string(length));
                testing_support::clearLog();
                std::string field(4 + following, 'x');
                storeInt32(field, 0, length);
                expectRecovery(valid_.substr(0, at) + field + valid_.substr(fieldEnd), record);
                EXPECT_TRUE(loggedPrematureEnd());
                if (HasFailure()) return;
            }
            at = fieldEnd;
        }
    }
}

TEST_F(ZltCorrupt, TempoThatIsNotANumber) {
    const std::uint32_t tempi[] = {0x7FC00000u, 0xFFC00001u, 0x7F800000u, 0xFF800000u};
    for (std::size_t record = 0; record < reference_.size(); ++record) {
        for (std::uint32_t bits : tempi) {
            SCOPED_TRACE("record " + std::to_string(record) + " bits " + std::to_string(bits));
            std::string damaged = valid_;
            storeInt32(damaged, recordStart_[record] + 4, static_cast<std::int32_t>(bits));
            expectRecovery(damaged, record);
        }
    }
}

TEST_F(ZltCorrupt, ATextWithoutItsZeroEndsAtItsLastByte) {
    // The title of record 0 loses its zero: it still reads as its n - 1
    // bytes, so the record is a hit and nothing is opened.
    std::string damaged = valid_;
    std::size_t titleEnd = recordStart_[0] + 8 + 4 + reference_[0].title.size();
    ASSERT_EQ(damaged[titleEnd], '\0');
    damaged[titleEnd] = 'X';
    testing_support::writeFile(info(), damaged);
    OpenCounter counter;
    BrowserData data;
    ASSERT_TRUE(data.build(directory_.path(), nullptr));
    EXPECT_TRUE(counter.paths().empty());
    EXPECT_EQ(data.allRecords(), reference_);
}

TEST_F(ZltCorrupt, AFailedRewriteLeavesTheOldFileAndNoTemporary) {
    const platform::FileOperation operations[] = {platform::FileOperation::Open, platform::FileOperation::Write,
                                                  platform::FileOperation::Close, platform::FileOperation::Rename};
    for (platform::FileOperation failing : operations) {
        SCOPED_TRACE(static_cast<int>(failing));
        testing_support::writeFile(info(), valid_);
        tools_test::setModified(directory_.file("3.wav"), 1600000009, 0);  // the file is stale
        platform::setFileFaultHook([failing](platform::FileOperation operation, const std::string& path) {
            return operation == failing && path.find("info.zlt.") != std::string::npos;
        });
        BrowserData data;
        EXPECT_TRUE(data.build(directory_.path(), nullptr));
        platform::setFileFaultHook(nullptr);
        EXPECT_EQ(data.allCount(), 5);
        EXPECT_EQ(testing_support::readFile(info()), valid_);
        for (const auto& entry : std::filesystem::directory_iterator(directory_.path()))
            EXPECT_EQ(entry.path().filename().string().find("info.zlt."), std::string::npos) << entry.path();
        tools_test::setModified(directory_.file("3.wav"), 1600000000, 0);
    }
}
