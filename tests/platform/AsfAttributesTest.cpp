#include "platform/AsfAttributes.h"

#include "TestEnvironment.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

std::int64_t globalNewCalls();
std::size_t takeLargestGlobalNew();

namespace {

using platform::AsfAttributes;
using platform::AsfText;
using testing_support::TemporaryDirectory;

const std::string kTool = std::string(VELKARN_ASF_TOOL);

void run(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::string shellQuoted(const std::string& text) {
    return "'" + text + "'";
}

std::string readAll(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(platform::readWholeFile(path, bytes)) << path;
    return bytes;
}

void writeAll(const std::string& path, const AsfAttributes::Bytes& bytes) {
    ASSERT_TRUE(platform::writeFileAtomically(path, std::string(bytes.begin(), bytes.end())));
}

AsfAttributes::Bytes randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    AsfAttributes::Bytes bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// The Data object (the audio packets), found by its GUID and size field.
std::string dataObject(const std::string& file) {
    static const unsigned char kGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    std::size_t at = file.find(std::string(reinterpret_cast<const char*>(kGuid), 16));
    EXPECT_NE(at, std::string::npos);
    if (at == std::string::npos || at + 24 > file.size()) {
        return {};
    }
    std::uint64_t size = 0;
    for (int i = 7; i >= 0; --i) {
        size = size << 8 | static_cast<unsigned char>(file[at + 16 + i]);
    }
    return file.substr(at, size);
}

std::string toolOutput(const std::string& arguments, const TemporaryDirectory& directory) {
    const std::string out = directory.file("tool-output.txt");
    run(kTool + " " + arguments + " > " + shellQuoted(out));
    return readAll(out);
}

class AsfAttributesTest : public testing::Test {
protected:
    void SetUp() override {
        song = directory.file("song.wma");
        std::string original = readAll(std::string(VELKARN_WMA_DIR) + "/stereo-v2.wma");
        ASSERT_TRUE(platform::writeFileAtomically(song, original));
        originalData = dataObject(original);
        ASSERT_FALSE(originalData.empty());
    }
    void TearDown() override { platform::setFileFaultHook({}); }

    TemporaryDirectory directory;
    std::string song;
    std::string originalData;
};

TEST_F(AsfAttributesTest, BinaryValuesRoundTripWithASecondTool) {
    struct Case {
        const char* name;
        std::size_t size;
        bool inLibrary;  // values above 65,535 bytes live in the Metadata Library object
    };
    const Case cases[] = {{"QRT", 740, false}, {"Thumb", 2048, false}, {"Image", 100 * 1024, true}};

    auto attributes = platform::createAsfAttributes();
    ASSERT_TRUE(attributes->open(song));
    unsigned seed = 1;
    for (const Case& c : cases) {
        attributes->addBinary(c.name, randomBytes(c.size, seed++));
    }
    ASSERT_TRUE(attributes->save());
    EXPECT_EQ(dataObject(readAll(song)), originalData);
    EXPECT_FALSE(platform::pathExists(song + ".tmp"));

    const std::string library = toolOutput("library " + shellQuoted(song), directory);
    seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = directory.file("value.bin");
        run(kTool + " get-bytes " + shellQuoted(song) + " " + c.name + " " + shellQuoted(out));
        AsfAttributes::Bytes expected = randomBytes(c.size, seed++);
        EXPECT_EQ(readAll(out), std::string(expected.begin(), expected.end()));
        EXPECT_EQ(library.find(std::string(c.name) + "\n") != std::string::npos, c.inLibrary);
    }

    // The reverse: values the other tool writes read back the same here,
    // the large one from the Metadata Library object.
    const std::string input = directory.file("input.bin");
    const AsfAttributes::Bytes small = randomBytes(2048, 77);
    const AsfAttributes::Bytes large = randomBytes(100 * 1024, 78);
    writeAll(input, small);
    run(kTool + " set-bytes " + shellQuoted(song) + " Small " + shellQuoted(input));
    writeAll(input, large);
    run(kTool + " set-bytes " + shellQuoted(song) + " Large " + shellQuoted(input));
    ASSERT_TRUE(attributes->open(song));
    ASSERT_EQ(attributes->values("Small").size(), 1u);
    EXPECT_EQ(attributes->values("Small")[0], small);
    ASSERT_EQ(attributes->values("Large").size(), 1u);
    EXPECT_EQ(attributes->values("Large")[0], large);
    EXPECT_EQ(attributes->values("QRT")[0], randomBytes(740, 1));
    EXPECT_TRUE(attributes->values("Missing").empty());
}

TEST_F(AsfAttributesTest, RemovalTakesEveryValueAndKeepsTheRest) {
    run(kTool + " set " + shellQuoted(song) + " WM/AlbumTitle Kept");
    auto attributes = platform::createAsfAttributes();
    ASSERT_TRUE(attributes->open(song));
    attributes->addBinary("QRT", randomBytes(100, 1));
    attributes->addBinary("QRT", randomBytes(100, 2));  // a stale duplicate
    attributes->addBinary("Image", randomBytes(70000, 3));
    ASSERT_TRUE(attributes->save());
    ASSERT_TRUE(attributes->open(song));
    EXPECT_EQ(attributes->values("QRT").size(), 2u);

    attributes->remove("QRT");
    attributes->remove("Image");
    EXPECT_TRUE(attributes->values("QRT").empty());
    ASSERT_TRUE(attributes->save());
    EXPECT_EQ(dataObject(readAll(song)), originalData);

    const std::string names = toolOutput("names " + shellQuoted(song), directory);
    EXPECT_EQ(names.find("QRT"), std::string::npos);
    EXPECT_EQ(names.find("Image"), std::string::npos);
    ASSERT_TRUE(attributes->open(song));
    EXPECT_EQ(attributes->text(AsfText::AlbumTitle), u"Kept");
}

TEST_F(AsfAttributesTest, AFailedSaveLeavesTheSongAsItWas) {
    const std::string before = readAll(song);
    for (auto operation : {platform::FileOperation::Rename, platform::FileOperation::Write}) {
        auto attributes = platform::createAsfAttributes();
        ASSERT_TRUE(attributes->open(song));
        attributes->addBinary("QRT", randomBytes(500, 4));
        platform::setFileFaultHook(
            [operation](platform::FileOperation op, const std::string&) { return op == operation; });
        EXPECT_FALSE(attributes->save());
        platform::setFileFaultHook({});
        EXPECT_EQ(readAll(song), before);
        EXPECT_FALSE(platform::pathExists(song + ".tmp"));
    }
}

TEST_F(AsfAttributesTest, TheFiveTexts) {
    // Title and Author go to the Content Description object, the rest are
    // attributes; an empty Description counts as absent.
    run(kTool + " set " + shellQuoted(song) + " Title " + shellQuoted("Ĥé 日本"));
    run(kTool + " set " + shellQuoted(song) + " Author Someone");
    run(kTool + " set " + shellQuoted(song) + " Description ''");
    run(kTool + " set " + shellQuoted(song) + " WM/Year 1999");
    auto attributes = platform::createAsfAttributes();
    ASSERT_TRUE(attributes->open(song));
    EXPECT_EQ(attributes->text(AsfText::Title), u"Ĥé 日本");
    EXPECT_EQ(attributes->text(AsfText::Author), u"Someone");
    EXPECT_EQ(attributes->text(AsfText::Description), std::nullopt);
    EXPECT_EQ(attributes->text(AsfText::Year), u"1999");
    EXPECT_EQ(attributes->text(AsfText::AlbumTitle), std::nullopt);
}

TEST_F(AsfAttributesTest, ANonAsfFileIsRefused) {
    const std::string other = directory.file("not.wma");
    ASSERT_TRUE(platform::writeFileAtomically(other, std::string(4096, 'x')));
    auto attributes = platform::createAsfAttributes();
    EXPECT_FALSE(attributes->open(other));
    EXPECT_FALSE(attributes->save());
}

// A header that declares more objects, or an attribute list more records,
// than it holds is refused before the library builds them all (damaged
// counts made it build millions). The song's Extended Content Description object
// (offset 180, 100 bytes: 74 after its count, 6 at least per record) and
// the damaged headers fuzz runs found (a 26-byte Metadata object with 21504
// records; an object whose size sends the library back into earlier bytes,
// where it read 55,717 empty records) are the cases.
TEST_F(AsfAttributesTest, AnAttributeCountPastItsObjectIsRefused) {
    const std::string original = readAll(song);
    ASSERT_EQ(original.compare(180, 4, "\x40\xA4\xD0\xD2"), 0);
    auto withCount = [&original](std::uint16_t count) {
        std::string bytes = original;
        bytes[204] = static_cast<char>(count & 0xFF);
        bytes[205] = static_cast<char>(count >> 8);
        return bytes;
    };
    // The Extended Content Description object's declared size.
    auto objectSize = [&original](std::uint64_t size) {
        std::string bytes = original;
        for (int i = 0; i < 8; ++i) bytes[196 + i] = static_cast<char>(size >> (8 * i));
        return bytes;
    };
    auto headerSize = [&original](std::uint64_t size) {
        std::string bytes = original;
        for (int i = 0; i < 8; ++i) bytes[16 + i] = static_cast<char>(size >> (8 * i));
        return bytes;
    };
    auto objects = [&original](std::uint32_t count) {
        std::string bytes = original;
        for (int i = 0; i < 4; ++i) bytes[24 + i] = static_cast<char>(count >> (8 * i));
        return bytes;
    };
    const struct {
        const char* what;
        std::string bytes;
        bool opens;
    } cases[] = {
        {"as made", original, true},
        {"13 records need 78", withCount(13), false},
        {"65535 records", withCount(0xFFFF), false},
        {"a header of 2^32 - 1 objects", objects(0xFFFFFFFFu), false},
        {"a header of 20 objects (494 bytes hold 19 x 24 after the first 30)", objects(20), false},
        {"the fuzz finding with 1308622854 objects",
         readAll(testing_support::sourceDirectory() +
                 "/tests/fuzz/regressions/FuzzAsfAttributes/object-count-past-the-header.wma"),
         false},
        {"the fuzz finding",
         readAll(testing_support::sourceDirectory() +
                 "/tests/fuzz/regressions/FuzzAsfAttributes/metadata-count-past-its-object.wma"),
         false},
        {"a header of 29 bytes, shorter than its own fields", headerSize(29), false},
        {"a header of 0 bytes", headerSize(0), false},
        {"the fuzz finding with a header of 27 bytes and 618 objects",
         readAll(testing_support::sourceDirectory() +
                 "/tests/fuzz/regressions/FuzzAsfAttributes/header-shorter-than-its-fields.wma"),
         false},
        {"an object running past the header", objectSize(std::uint64_t{1} << 61), false},
        {"the fuzz finding with header and object sizes far past the file",
         readAll(testing_support::sourceDirectory() +
                 "/tests/fuzz/regressions/FuzzAsfAttributes/header-and-object-sizes-past-the-file.wma"),
         false},
        {"an object shorter than its own 24 bytes", objectSize(8), false},
        {"the fuzz finding with an object of 2858171809507942863 bytes",
         readAll(testing_support::sourceDirectory() +
                 "/tests/fuzz/regressions/FuzzAsfAttributes/object-size-past-the-header.wma"),
         false},
    };
    std::int64_t intactAllocations = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = directory.file("counted.wma");
        ASSERT_TRUE(platform::writeFileAtomically(path, c.bytes));
        auto attributes = platform::createAsfAttributes();
        const std::int64_t before = globalNewCalls();
        EXPECT_EQ(attributes->open(path), c.opens);
        const std::int64_t allocations = globalNewCalls() - before;
        // A refusal costs less than reading the intact song.
        if (c.opens) intactAllocations = allocations;
        else EXPECT_LT(allocations, intactAllocations);
    }
}

// A damaged header size costs no more memory than the file holds.
TEST_F(AsfAttributesTest, TheCountCheckReadsNoMoreThanTheFile) {
    const std::string original = readAll(song);
    for (const std::uint64_t declared : {std::uint64_t{1} << 24, std::uint64_t{1} << 40, ~std::uint64_t{0}}) {
        SCOPED_TRACE(declared);
        std::string bytes = original;
        for (int i = 0; i < 8; ++i) bytes[16 + i] = static_cast<char>(declared >> (8 * i));
        const std::string path = directory.file("large-header.wma");
        ASSERT_TRUE(platform::writeFileAtomically(path, bytes));
        auto attributes = platform::createAsfAttributes();
        takeLargestGlobalNew();
        attributes->open(path);
        EXPECT_LT(takeLargestGlobalNew(), std::size_t{1} << 20) << "the file has " << bytes.size() << " bytes";
    }
}

}  // namespace
