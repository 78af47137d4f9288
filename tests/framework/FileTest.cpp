#include "FrameworkTest.h"

#include "framework/FileDisk.h"
#include "framework/FileMemory.h"
#include "framework/StringException.h"
#include "platform/FileSystem.h"

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

using testing_support::TemporaryDirectory;

// A File whose reads and writes fail after a number of bytes.
class FailingFile : public File {
public:
    FailingFile(std::string content, int writable) : content_(std::move(content)), writable_(writable) {}
    int size() override { return static_cast<int>(content_.size()); }
    int position() override { return position_; }
    bool read(void* buffer, int count) override {
        if (position_ + count > static_cast<int>(content_.size())) return false;
        std::memcpy(buffer, content_.data() + position_, static_cast<std::size_t>(count));
        position_ += count;
        return true;
    }
    bool write(const void* buffer, int count) override {
        if (static_cast<int>(written.size()) + count > writable_) return false;
        written.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
        return true;
    }
    bool skip(int) override { return false; }
    bool seek(int) override { return false; }
    std::string written;

private:
    std::string content_;
    int position_ = 0;
    int writable_;
};

std::string bytesOf(FileMemory& file) {
    return std::string(reinterpret_cast<const char*>(file.data()), static_cast<std::size_t>(file.size()));
}

class Files : public FrameworkTest {};

TEST_F(Files, DiskFilesWriteReadAndSeek) {
    TemporaryDirectory directory;
    std::string path = directory.file("data.bin");
    {
        FileDisk out(path, true, true);
        EXPECT_TRUE(out.write("\x12\x34\x56\x78tail", 8));
        EXPECT_FALSE(out.write("x", 0));
    }
    FileDisk in(path, true, false);
    EXPECT_EQ(in.size(), 8);
    EXPECT_EQ(in.readBigEndianInt32(), 0x12345678);
    EXPECT_EQ(in.position(), 4);
    EXPECT_TRUE(in.skip(-2));
    char two[2];
    EXPECT_TRUE(in.read(two, 2));
    EXPECT_EQ(std::string(two, 2), "\x56\x78");
    EXPECT_FALSE(in.read(two, 0));
    EXPECT_TRUE(in.seek(6));
    EXPECT_FALSE(in.read(two, 4));  // only 2 bytes left
    EXPECT_FALSE(in.seek(-1));
    EXPECT_TRUE(FileDisk::exists(path, true));
    EXPECT_FALSE(FileDisk::exists(directory.file("missing"), true));
}

TEST_F(Files, RelativeNamesComeFromTheFilesDirectory) {
    TemporaryDirectory directory;
    supportSettings().filesDirectory = directory.path() + "/";
    testing_support::writeFile(directory.file("other.txt"), "hello");
    FileDisk file("other.txt", false, false);
    EXPECT_EQ(file.size(), 5);
    EXPECT_TRUE(FileDisk::exists("other.txt", false));
}

TEST_F(Files, DiskFailuresThrowOrLog) {
    TemporaryDirectory directory;
    std::string missing = directory.file("missing.wav");
    EXPECT_STRING_EXCEPTION(FileDisk(missing, true, false), "Cannot open file " + missing + ".");
    // A directory is no file, whatever its name.
    std::string folder = directory.file("folder.wav");
    testing_support::makeDirectories(folder);
    EXPECT_STRING_EXCEPTION(FileDisk(folder, true, false), "Cannot open file " + folder + ".");
    EXPECT_FALSE(FileDisk::exists(folder, true));
    EXPECT_FALSE(FileDisk::exists(directory.file("missing.wav"), true));

    // A 2 GiB file (sparse) does not fit the 32-bit size.
    std::string big = directory.file("big");
    int descriptor = ::open(big.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(::ftruncate(descriptor, 2147483648LL), 0);
    ::close(descriptor);
    {
        FileDisk file(big, true, false);
        EXPECT_STRING_EXCEPTION(file.size(), "Cannot find out size of file.");
    }
    // Just below the limit is fine.
    ASSERT_EQ(::truncate(big.c_str(), INT_MAX), 0);
    EXPECT_EQ(FileDisk(big, true, false).size(), INT_MAX);

    // A failing close is logged and the program goes on.
    std::string path = directory.file("close.bin");
    platform::setFileFaultHook([](platform::FileOperation operation, const std::string&) {
        return operation == platform::FileOperation::Close;
    });
    { FileDisk file(path, true, true); }
    platform::setFileFaultHook({});
    std::vector<std::string> texts = testing_support::logTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(": Cannot close file."), std::string::npos);
}

TEST_F(Files, MemoryFileStopsAtItsCapacityAndUsedSize) {
    FileMemory file(16);
    const char twenty[] = "0123456789abcdefghij";
    EXPECT_FALSE(file.write(twenty, 20));
    EXPECT_EQ(file.size(), 16);
    EXPECT_EQ(file.position(), 16);
    EXPECT_TRUE(file.seek(16));
    EXPECT_FALSE(file.seek(17));
    EXPECT_TRUE(file.seek(4));
    char buffer[20];
    EXPECT_FALSE(file.read(buffer, 20));  // only 12 remain
    EXPECT_EQ(std::string(buffer, 12), "456789abcdef");
    EXPECT_EQ(file.position(), 16);
    EXPECT_TRUE(file.read(buffer, 0));
}

TEST_F(Files, MovesBeforeTheStartFailAndLeaveThePosition) {
    FileMemory file(8);
    file.write("abcdefgh", 8);
    file.seek(3);
    EXPECT_FALSE(file.skip(-4));
    EXPECT_EQ(file.position(), 3);
    EXPECT_FALSE(file.seek(-1));
    EXPECT_EQ(file.position(), 3);
    EXPECT_FALSE(file.skip(6));
    EXPECT_TRUE(file.skip(5));
    EXPECT_EQ(file.position(), 8);
    EXPECT_TRUE(file.skip(-8));
}

TEST_F(Files, UnstuffingDropsTheZeroAfterEachFF) {
    FailingFile source(std::string("\xFF\x00\x00\xFF\xFF\x00", 6), 0);
    FileMemory file(10);
    EXPECT_EQ(file.readFrom(source, 6, true), 4);
    EXPECT_EQ(bytesOf(file), std::string("\xFF\x00\xFF\xFF", 4));
}

TEST_F(Files, StuffingAddsAZeroAfterEachFF) {
    FileMemory file(4);
    file.write("\xFF\x01", 2);
    EXPECT_EQ(file.stuffedSize(), 3);
    file.seek(0);
    FailingFile target("", 100);
    file.writeTo(target, 2, true);
    EXPECT_EQ(target.written, std::string("\xFF\x00\x01", 3));
    EXPECT_EQ(file.position(), 2);

    FileMemory plain(4);
    plain.write("\xFF\xFF\x02", 3);
    plain.seek(0);
    FailingFile copy("", 100);
    plain.writeTo(copy, 3, false);
    EXPECT_EQ(copy.written, "\xFF\xFF\x02");
    EXPECT_EQ(plain.stuffedSize(), 5);
}

TEST_F(Files, TransfersReportTheirLimitsAndFailures) {
    FileMemory file(4);
    FailingFile source("abcdef", 0);
    EXPECT_STRING_EXCEPTION(file.readFrom(source, 5, false), "Buffer too small.");
    EXPECT_STRING_EXCEPTION(file.writeTo(source, 1, false), "Not enough data.");

    // A source that ends early: only the stored bytes count.
    FailingFile shortSource(std::string("\x01\x02\x03", 3), 0);
    EXPECT_STRING_EXCEPTION(file.readFrom(shortSource, 4, true), "Unexpected end of file.");
    EXPECT_EQ(file.size(), 3);
    FileMemory other(8);
    FailingFile shortPlain("xy", 0);
    EXPECT_STRING_EXCEPTION(other.readFrom(shortPlain, 4, false), "Unexpected end of file.");
    EXPECT_EQ(other.size(), 0);

    // A target that refuses.
    file.seek(0);
    FailingFile refusing("", 1);
    EXPECT_STRING_EXCEPTION(file.writeTo(refusing, 3, false), "Cannot write file.");
    file.seek(0);
    FailingFile refusingStuffed("", 1);
    EXPECT_STRING_EXCEPTION(file.writeTo(refusingStuffed, 3, true), "Cannot write file.");

    EXPECT_STRING_EXCEPTION(FileMemory(-1), "Buffer too small.");
}

TEST_F(Files, BigEndianWordsAndTheirEnd) {
    FileMemory file(6);
    file.write("\x80\x00\x00\x01\xAB\xCD", 6);
    file.seek(0);
    EXPECT_EQ(file.readBigEndianInt32(), static_cast<std::int32_t>(0x80000001u));
    EXPECT_STRING_EXCEPTION(file.readBigEndianInt32(), "Unexpected end of file.");
}

}  // namespace
