#include "platform/Registry.h"

#include "TestEnvironment.h"
#include "platform/FileSystem.h"
#include "platform/PlatformLog.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

namespace registry = platform::registry;
using testing_support::ScopedEnvironment;
using testing_support::TemporaryDirectory;

std::vector<std::string> notes;
void recordNote(const std::string& message, const char*, int) { notes.push_back(message); }

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        notes.clear();
        platform::setLogSink(recordNote);
    }
    void TearDown() override { platform::setLogSink(nullptr); }

    // The program's own key, created one level at a time.
    registry::Key programKey() {
        registry::Key key = registry::currentUser;
        for (const char* level : {"Software", "Pelgrave Software", "Velkarn", "1"}) {
            registry::Key next;
            bool created = false;
            EXPECT_EQ(registry::createKey(key, level, next, created), registry::success);
            if (key != registry::currentUser) registry::closeKey(key);
            key = next;
        }
        return key;
    }

    TemporaryDirectory home;
    ScopedEnvironment velkarnHome{"VELKARN_HOME", home.path()};
};

TEST_F(Registry, KeysAreCreatedOrOpenedOneLevelAtATime) {
    registry::Key software;
    bool created = false;
    ASSERT_EQ(registry::createKey(registry::currentUser, "Software", software, created), registry::success);
    EXPECT_TRUE(created);
    registry::Key again;
    ASSERT_EQ(registry::createKey(registry::currentUser, "SOFTWARE", again, created), registry::success);
    EXPECT_FALSE(created);  // names compare without regard to case
    registry::Key missing;
    EXPECT_EQ(registry::openKey(software, "Nothing", missing), registry::fileNotFound);
    registry::Key deep;
    ASSERT_EQ(registry::createKey(software, "A\\B\\C", deep, created), registry::success);
    EXPECT_TRUE(created);
    registry::Key opened;
    EXPECT_EQ(registry::openKey(registry::currentUser, "software\\a\\b\\c", opened), registry::success);
    for (auto key : {software, again, deep, opened}) EXPECT_EQ(registry::closeKey(key), registry::success);
    EXPECT_EQ(registry::closeKey(software), registry::invalidHandle);
}

TEST_F(Registry, QueriesFollowTheBufferRules) {
    registry::Key key = programKey();
    const std::uint8_t record[156] = {1, 2, 3};
    ASSERT_EQ(registry::setValue(key, "StartUp", registry::typeBinary, record, sizeof record), registry::success);

    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::uint8_t buffer[200] = {};
    EXPECT_EQ(registry::queryValue(key, "StartUp2", &type, buffer, &size), registry::fileNotFound);

    size = 100;  // too small: the value's size comes back
    EXPECT_EQ(registry::queryValue(key, "StartUp", &type, buffer, &size), registry::moreData);
    EXPECT_EQ(size, 156u);

    size = sizeof buffer;
    ASSERT_EQ(registry::queryValue(key, "startup", &type, buffer, &size), registry::success);
    EXPECT_EQ(type, registry::typeBinary);
    EXPECT_EQ(size, 156u);
    EXPECT_EQ(std::memcmp(buffer, record, sizeof record), 0);

    size = 0;  // no buffer: only type and size
    EXPECT_EQ(registry::queryValue(key, "StartUp", &type, nullptr, &size), registry::success);
    EXPECT_EQ(size, 156u);
    registry::closeKey(key);
}

TEST_F(Registry, TypesAreKeptAsGivenAndNamesKeepTheirCase) {
    registry::Key key = programKey();
    const std::uint32_t dword = 0xD2AF9;
    const char text[] = "d2af9";
    ASSERT_EQ(registry::setValue(key, "Number", registry::typeDword, &dword, 4), registry::success);
    ASSERT_EQ(registry::setValue(key, "Text", registry::typeString, text, sizeof text), registry::success);
    ASSERT_EQ(registry::setValue(key, "Odd", 11, text, 2), registry::success);
    ASSERT_EQ(registry::setValue(key, "NUMBER", registry::typeBinary, &dword, 4), registry::success);  // same value

    const struct {
        const char* name;
        std::uint32_t type;
        std::uint32_t size;
    } expected[] = {{"number", registry::typeBinary, 4}, {"TEXT", registry::typeString, 6}, {"odd", 11, 2}};
    for (const auto& e : expected) {
        std::uint32_t type = 0;
        std::uint32_t size = 16;
        char buffer[16];
        ASSERT_EQ(registry::queryValue(key, e.name, &type, buffer, &size), registry::success) << e.name;
        EXPECT_EQ(type, e.type) << e.name;
        EXPECT_EQ(size, e.size) << e.name;
    }
    // The stored name is the one first given.
    std::string stored = testing_support::readFile(registry::storePath());
    EXPECT_NE(stored.find("\"Number\""), std::string::npos);
    EXPECT_EQ(stored.find("\"NUMBER\""), std::string::npos);
    registry::closeKey(key);
}

TEST_F(Registry, ValuesSurviveInTheStoreAndAFailedWriteKeepsTheOldOne) {
    registry::Key key = programKey();
    const char first[] = "first";
    ASSERT_EQ(registry::setValue(key, "Value", registry::typeBinary, first, 5), registry::success);
    std::string before = testing_support::readFile(registry::storePath());

    platform::setFileFaultHook([](platform::FileOperation operation, const std::string&) {
        return operation == platform::FileOperation::Rename;
    });
    EXPECT_EQ(registry::setValue(key, "Value", registry::typeBinary, "second", 6), registry::writeFault);
    platform::setFileFaultHook({});
    EXPECT_EQ(testing_support::readFile(registry::storePath()), before);

    std::uint32_t type = 0;
    std::uint32_t size = 16;
    char buffer[16];
    ASSERT_EQ(registry::queryValue(key, "Value", &type, buffer, &size), registry::success);
    EXPECT_EQ(std::string(buffer, size), "first");
    registry::closeKey(key);
}

TEST_F(Registry, AnUnreadableStoreIsNotedAndSetAsideAtTheNextWrite) {
    testing_support::writeFile(registry::storePath(), "not a settings store\n");
    registry::Key key;
    EXPECT_EQ(registry::openKey(registry::currentUser, "Software", key), registry::fileNotFound);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("cannot be read"), std::string::npos);

    key = programKey();
    ASSERT_EQ(registry::setValue(key, "StartUp5", registry::typeBinary, "abcd", 4), registry::success);
    EXPECT_EQ(testing_support::readFile(registry::storePath() + ".bad"), "not a settings store\n");
    std::uint32_t size = 4;
    char buffer[4];
    EXPECT_EQ(registry::queryValue(key, "StartUp5", nullptr, buffer, &size), registry::success);
    EXPECT_EQ(notes.size(), 1u);  // noted once
    registry::closeKey(key);
}

TEST_F(Registry, DamagedStoresReadAsEmptyAndNeverStopTheProgram) {
    const std::string head = "VelkarnRegistry 1\n[Software]\n";
    const char* damaged[] = {
        "\"A\"=99999999999999999999:00\n",  // a type far beyond 32 bits
        "\"A\"=4294967296:00\n",            // one beyond
        "\"A\"=3:0\n",                      // half a byte
        "\"A\"=3:0g\n",                     // not hex
        "\"A%4\"=3:00\n",                   // a cut escape
        "\"A\"3:00\n",                      // no "="
        "\"A\"=:00\n",                      // no type
        "stray line\n",
    };
    for (const char* tail : damaged) {
        SCOPED_TRACE(tail);
        testing_support::writeFile(registry::storePath(), head + tail);
        registry::Key key;
        EXPECT_EQ(registry::openKey(registry::currentUser, "Software", key), registry::fileNotFound);
    }
    // The largest type still reads.
    testing_support::writeFile(registry::storePath(), head + "\"A\"=4294967295:00\n");
    registry::Key key;
    ASSERT_EQ(registry::openKey(registry::currentUser, "Software", key), registry::success);
    std::uint32_t type = 0;
    std::uint32_t size = 1;
    char byte = 1;
    EXPECT_EQ(registry::queryValue(key, "a", &type, &byte, &size), registry::success);
    EXPECT_EQ(type, 4294967295u);
    EXPECT_EQ(byte, 0);
    registry::closeKey(key);
}

TEST_F(Registry, CodesHaveTexts) {
    EXPECT_EQ(registry::errorText(registry::fileNotFound), "The system cannot find the file specified.");
    EXPECT_EQ(registry::errorText(registry::moreData), "More data is available.");
    EXPECT_EQ(registry::errorText(registry::invalidHandle), "The handle is invalid.");
    EXPECT_EQ(registry::errorText(4242), "Unknown error 4242.");
}

}  // namespace
