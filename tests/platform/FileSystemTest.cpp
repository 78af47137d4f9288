#include "platform/FileSystem.h"

#include "TestEnvironment.h"
#include "platform/LastError.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testing_support::TemporaryDirectory;
using testing_support::readFile;
using testing_support::writeFile;

TEST(FileSystem, ListsEntriesSortedByNameBytesWithKindAndTime) {
    TemporaryDirectory directory;
    writeFile(directory.file("b"), "1");
    writeFile(directory.file("B"), "1");
    writeFile(directory.file("a.wav"), "1");
    writeFile(directory.file("\xc3\xa9"), "1");  // "é": bytes above every ASCII name
    testing_support::makeDirectories(directory.file("sub"));
    ASSERT_EQ(::symlink("sub", directory.file("link").c_str()), 0);
    // 2001-09-09 01:46:40 UTC and a quarter second, in 100-ns steps since 1601.
    timespec times[2] = {{1000000000, 250000000}, {1000000000, 250000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, directory.file("a.wav").c_str(), times, 0), 0);

    std::vector<platform::DirectoryEntry> entries;
    ASSERT_TRUE(platform::listDirectory(directory.path(), entries));
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"B", "a.wav", "b", "link", "sub", "\xc3\xa9"}));
    EXPECT_EQ(entries[1].modified, (1000000000ULL + 11644473600ULL) * 10000000ULL + 2500000ULL);
    EXPECT_FALSE(entries[1].isDirectory);
    EXPECT_TRUE(entries[3].isSymbolicLink);
    EXPECT_FALSE(entries[3].isDirectory);  // the link itself, not its target
    EXPECT_TRUE(entries[4].isDirectory);
}

TEST(FileSystem, ListingAMissingDirectoryFailsWithAText) {
    TemporaryDirectory directory;
    std::vector<platform::DirectoryEntry> entries;
    EXPECT_FALSE(platform::listDirectory(directory.file("missing"), entries));
    EXPECT_NE(platform::takeLastErrorText().find("No such file or directory"), std::string::npos);
}

TEST(FileSystem, VolumeVerdictRefusesOnlyTheFatFamily) {
    const struct {
        std::uint64_t magic;
        bool fit;
        const char* name;
    } cases[] = {
        {0xEF53, true, "ext4"},       {0x58465342, true, "xfs"},     {0x9123683E, true, "btrfs"},
        {0x01021994, true, "tmpfs"},  {0x794C7630, true, "overlay"}, {0x7366746E, true, "ntfs3"},
        {0x5346544E, true, "ntfs"},   {0x4d44, false, "msdos/vfat"}, {0x2011BAB0, false, "exfat"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::fileSystemFitForDatabase(c.magic), c.fit) << c.name;

    TemporaryDirectory directory;
    std::uint64_t magic = 0;
    ASSERT_TRUE(platform::fileSystemMagic(directory.path(), magic));
    EXPECT_TRUE(platform::fileSystemFitForDatabase(magic)) << std::hex << magic;
    EXPECT_FALSE(platform::fileSystemMagic(directory.file("missing"), magic));
    EXPECT_FALSE(platform::takeLastErrorText().empty());
}

TEST(FileSystem, SeesItsOwnOpenFilesByDeviceAndInode) {
    TemporaryDirectory directory;
    std::string path = directory.file("song.wav");
    writeFile(path, "data");
    EXPECT_FALSE(platform::isOpenInThisProcess(path));
    int descriptor = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(descriptor, 0);
    // Another name for the same file is the same file.
    ASSERT_EQ(::link(path.c_str(), directory.file("alias.wav").c_str()), 0);
    EXPECT_TRUE(platform::isOpenInThisProcess(directory.file("alias.wav")));
    ::close(descriptor);
    EXPECT_FALSE(platform::isOpenInThisProcess(path));
}

TEST(FileSystem, AtomicWriteReplacesWholeOrNotAtAll) {
    TemporaryDirectory directory;
    std::string path = directory.file("store");
    writeFile(path, "old content");
    ASSERT_TRUE(platform::writeFileAtomically(path, "new"));
    EXPECT_EQ(readFile(path), "new");

    for (auto failing : {platform::FileOperation::Write, platform::FileOperation::Sync, platform::FileOperation::Rename}) {
        platform::setFileFaultHook([failing](platform::FileOperation operation, const std::string&) { return operation == failing; });
        EXPECT_FALSE(platform::writeFileAtomically(path, "newer"));
        platform::setFileFaultHook({});
        EXPECT_EQ(readFile(path), "new");
        EXPECT_FALSE(platform::takeLastErrorText().empty());
    }
    // No temporary file is left behind.
    std::vector<platform::DirectoryEntry> entries;
    ASSERT_TRUE(platform::listDirectory(directory.path(), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "store");
}

TEST(FileSystem, InjectedFaultsFailTheOperationOnTheirPathOnly) {
    TemporaryDirectory directory;
    std::string bad = directory.file("bad");
    std::string good = directory.file("good");
    platform::setFileFaultHook([&](platform::FileOperation operation, const std::string& path) {
        return path == bad && operation == platform::FileOperation::Read;
    });
    writeFile(bad, "abcd");
    writeFile(good, "abcd");
    std::unique_ptr<platform::DiskFile> badFile(platform::DiskFile::open(bad, platform::DiskFile::Mode::Read));
    std::unique_ptr<platform::DiskFile> goodFile(platform::DiskFile::open(good, platform::DiskFile::Mode::Read));
    char buffer[4];
    EXPECT_FALSE(badFile->read(buffer, 4));
    EXPECT_TRUE(goodFile->read(buffer, 4));
    platform::setFileFaultHook({});
    EXPECT_FALSE(goodFile->read(buffer, 0));  // zero bytes is never a whole read
}

TEST(FileSystem, ExclusiveUseNeedsAnUnusedWritableRegularFile) {
    TemporaryDirectory directory;
    std::string path = directory.file("song.mp3");
    EXPECT_FALSE(platform::fileFreeForExclusiveUse(path));  // missing
    writeFile(path, "x");
    EXPECT_TRUE(platform::fileFreeForExclusiveUse(path));
    {
        std::unique_ptr<platform::DiskFile> open(platform::DiskFile::open(path, platform::DiskFile::Mode::Read));
        EXPECT_FALSE(platform::fileFreeForExclusiveUse(path));  // open here
    }
    EXPECT_TRUE(platform::fileFreeForExclusiveUse(path));  // closed again
    EXPECT_FALSE(platform::fileFreeForExclusiveUse(directory.path()));  // not a regular file
}

}  // namespace
