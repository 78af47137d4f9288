#include "tools/FileZLT.h"

#include "framework/File.h"
#include "framework/FileDisk.h"
#include "framework/FileUtilities.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <unistd.h>

namespace {

constexpr const char* notOnNtfs = "The directory is not on a NTFS volume.";
constexpr const char* cannotOpen = "Cannot open info.zlt.";
constexpr const char* cannotWriteRecord = "Could not write record.";

std::uint32_t loadU32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

void storeU32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool writeU32(File& file, std::uint32_t value) {
    std::uint8_t bytes[4];
    storeU32(bytes, value);
    return file.write(bytes, 4);
}

// The stored length of a text: its bytes up to the first zero, at most
// 1023 of them, and the zero.
int storedLength(const std::string& text) {
    std::size_t length = std::strlen(text.c_str());
    if (length > BrowserRecord::textCapacity - 1) length = BrowserRecord::textCapacity - 1;
    return static_cast<int>(length) + 1;
}

bool writeText(File& file, const std::string& text) {
    static constexpr std::uint8_t zero = 0;
    int stored = storedLength(text);
    return writeU32(file, static_cast<std::uint32_t>(stored)) && (stored == 1 || file.write(text.data(), stored - 1)) &&
           file.write(&zero, 1);
}

bool writeRecord(File& file, const BrowserRecord& record) {
    std::uint32_t tempoBits;
    std::memcpy(&tempoBits, &record.tempo, 4);
    std::uint8_t time[8];
    storeU32(time, static_cast<std::uint32_t>(record.lastWriteTime));
    storeU32(time + 4, static_cast<std::uint32_t>(record.lastWriteTime >> 32));
    return writeU32(file, record.analyzed ? 1 : 0) && writeU32(file, tempoBits) && writeText(file, record.title) &&
           writeText(file, record.artist) && writeText(file, record.comments) && writeText(file, record.fileName) &&
           file.write(time, 8);
}

// A File over a disk stream whose close can be checked.
class DiskStream : public File {
public:
    explicit DiskStream(platform::DiskFile* file) : file_(file) {}
    int size() override { return static_cast<int>(file_->size()); }
    int position() override { return static_cast<int>(file_->tell()); }
    bool read(void* buffer, int count) override { return count > 0 && file_->read(buffer, count); }
    bool write(const void* buffer, int count) override { return count > 0 && file_->write(buffer, count); }
    bool skip(int offset) override { return file_->seek(offset, SEEK_CUR); }
    bool seek(int offset) override { return file_->seek(offset, SEEK_SET); }
    bool close() { return file_->close(); }

private:
    std::unique_ptr<platform::DiskFile> file_;
};

std::string pathIn(const std::string& directory) { return directory + "/" + FileZLT::fileName; }

}  // namespace

FileZLT::FileZLT(const std::string& directory) {
    if (!isOnNtfsVolume(directory)) throw StringException(notOnNtfs);
    try {
        file_ = std::make_unique<FileDisk>(pathIn(directory), true, false);
    } catch (const StringException&) {
        throw StringException(cannotOpen);
    }
    readHeader();
}

FileZLT::FileZLT(std::unique_ptr<File> file) : file_(std::move(file)) { readHeader(); }

FileZLT::~FileZLT() = default;

void FileZLT::readHeader() {
    std::uint8_t header[8];
    if (!file_->read(header, 8) || std::memcmp(header, signature, 8) != 0) throw StringException("Incorrect signature.");
    if (!file_->read(header, 4) || loadU32(header) != 0) throw StringException("Incorrect version.");
    upToDate_ = true;
    readRecord();
}

bool FileZLT::readText(std::string& text) {
    std::uint8_t word[4];
    if (!file_->read(word, 4)) return false;
    std::int32_t stored = static_cast<std::int32_t>(loadU32(word));
    // A length the writer never makes means the file is damaged here.
    if (stored < 1 || stored > BrowserRecord::textCapacity) return false;
    char buffer[BrowserRecord::textCapacity];
    if (!file_->read(buffer, stored)) return false;
    // The text ends at its last byte whatever that holds.
    std::size_t length = strnlen(buffer, static_cast<std::size_t>(stored - 1));
    if (length != static_cast<std::size_t>(stored - 1) || buffer[stored - 1] != 0) canonical_ = false;
    text.assign(buffer, length);
    return true;
}

void FileZLT::readRecord() {
    std::uint8_t word[8];
    // No analysed word at all is the file's normal end.
    if (!file_->read(word, 1)) {
        endOfFile_ = true;
        return;
    }
    bool whole = file_->read(word + 1, 3);
    if (whole) {
        std::uint32_t analyzed = loadU32(word);
        if (analyzed > 1) canonical_ = false;
        current_.analyzed = analyzed != 0;
        whole = file_->read(word, 4);
    }
    if (whole) {
        std::uint32_t bits = loadU32(word);
        std::memcpy(&current_.tempo, &bits, 4);
        // A tempo that is not a number would break the sort and the jump to
        // a tempo; the record is damaged.
        whole = std::isfinite(current_.tempo);
    }
    whole = whole && readText(current_.title) && readText(current_.artist) && readText(current_.comments) &&
            readText(current_.fileName) && file_->read(word, 8);
    if (!whole) {
        logMessage("Premature end of file.", __FILE__, __LINE__);
        endOfFile_ = true;
        upToDate_ = false;
        canonical_ = false;
        return;
    }
    current_.lastWriteTime = std::uint64_t{loadU32(word)} | std::uint64_t{loadU32(word + 4)} << 32;
    current_.selected = false;
    current_.loaded = false;
}

bool FileZLT::lookup(const std::string& path, std::uint64_t lastWriteTime, BrowserRecord& record) {
    while (!endOfFile_) {
        int order = path.compare(current_.fileName);  // byte order
        if (order < 0) {
            // A file that was not there before; the stored record waits for
            // the next path.
            upToDate_ = false;
            return false;
        }
        if (order == 0) {
            bool hit = current_.lastWriteTime == lastWriteTime;
            if (hit)
                record = std::move(current_);
            else
                upToDate_ = false;
            readRecord();
            return hit;
        }
        // A stored file that is gone.
        upToDate_ = false;
        readRecord();
    }
    upToDate_ = false;
    return false;
}

std::int64_t FileZLT::encodedSize(const std::vector<BrowserRecord>& records) {
    std::int64_t size = 12;
    for (const BrowserRecord& record : records)
        size += 4 + 4 + 4 * 4 + storedLength(record.title) + storedLength(record.artist) +
                storedLength(record.comments) + storedLength(record.fileName) + 8;
    return size;
}

void FileZLT::write(File& file, const std::vector<BrowserRecord>& records) {
    if (!file.write(signature, 8)) throw StringException("Could not write signature.");
    if (!writeU32(file, 0)) throw StringException("Could not write version.");
    for (const BrowserRecord& record : records)
        if (!writeRecord(file, record)) throw StringException(cannotWriteRecord);
}

void FileZLT::write(const std::string& directory, const std::vector<BrowserRecord>& records) {
    if (!isOnNtfsVolume(directory)) throw StringException(notOnNtfs);
    const std::string path = pathIn(directory);
    // Emptying the old file first would lose it on a failed write: the new
    // one is written beside it under a name no other writer uses.
    static std::atomic<unsigned> serial{0};
    const std::string temporary =
        path + ".part" + std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1));
    platform::DiskFile* opened = platform::DiskFile::open(temporary, platform::DiskFile::Mode::Write);
    if (opened == nullptr) throw StringException(cannotOpen);
    DiskStream stream(opened);
    try {
        write(stream, records);
    } catch (const StringException&) {
        stream.close();
        platform::removeFile(temporary);
        throw;
    }
    if (!stream.close() || !platform::renameFile(temporary, path)) {
        platform::removeFile(temporary);
        throw StringException(cannotWriteRecord);
    }
}
