// The track database's cache file "info.zlt" in a root directory: what was
// learned about each audio file, so that a rebuild of an unchanged tree
// opens none of them.
//
// Layout (little-endian): the 8-byte signature 89 5A 4C 54 0D 0A 1A 0A, the
// version (int32 0), then records until the end of the file, each: analysed
// (int32, nonzero true), tempo (float32), title, artist, comments and full
// path (each an int32 n and n bytes holding the text and its zero, n at
// most 1024), and the last write time (uint64 FILETIME).
//
// A reader walks the stored records in step with the scan (both ascending in
// byte order of the path): a scanned file that meets its stored record with
// the same time is a hit; anything else (a new, changed, missing or extra
// file, a damaged record) clears "up to date", and the caller then writes a
// new file. Every refusal is thrown as StringException.
#ifndef VELKARN_TOOLS_FILEZLT_H
#define VELKARN_TOOLS_FILEZLT_H

#include "tools/BrowserRecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class File;

class FileZLT {
public:
    static constexpr std::uint8_t signature[8] = {0x89, 'Z', 'L', 'T', 0x0D, 0x0A, 0x1A, 0x0A};
    static constexpr const char* fileName = "info.zlt";

    // Reads the directory's info.zlt. Throws "The directory is not on a
    // NTFS volume." when its volume cannot hold the database, "Cannot open
    // info.zlt.", "Incorrect signature." or "Incorrect version.".
    explicit FileZLT(const std::string& directory);
    // Reads from the file (owned), which must be at the signature. Throws
    // the last two texts above.
    explicit FileZLT(std::unique_ptr<File> file);
    virtual ~FileZLT();

    FileZLT(const FileZLT&) = delete;
    FileZLT& operator=(const FileZLT&) = delete;

    // Writes a whole new info.zlt into the directory from the records, in
    // their order: through a unique temporary file renamed over the old one,
    // so a failure leaves the old file as it was. Throws "The directory is
    // not on a NTFS volume.", "Cannot open info.zlt." or "Could not write
    // record." (also for a failed close or rename).
    static void write(const std::string& directory, const std::vector<BrowserRecord>& records);
    // The same bytes through a file. Throws "Could not write signature.",
    // "Could not write version." or "Could not write record.".
    static void write(File& file, const std::vector<BrowserRecord>& records);
    // The number of bytes write() produces for the records.
    static std::int64_t encodedSize(const std::vector<BrowserRecord>& records);

    // Whether a file of this path and time is stored; a hit fills the
    // record (flags false). Paths must come in ascending byte order.
    bool lookup(const std::string& path, std::uint64_t lastWriteTime, BrowserRecord& record);

    // After the scan: every scanned file was a hit, in the stored order, and
    // no stored record is left over.
    bool upToDate() const { return upToDate_ && endOfFile_; }

    // The stored record the walk stands at; null at the end.
    const BrowserRecord* current() const { return endOfFile_ ? nullptr : &current_; }
    // Every record read so far was stored as the writer stores it (text
    // lengths exact, analysed 0 or 1) and the file ended at a record's end.
    bool canonical() const { return canonical_; }

private:
    void readHeader();
    void readRecord();
    // Reads a text into the record; false when the file is damaged there.
    bool readText(std::string& text);

    std::unique_ptr<File> file_;
    BrowserRecord current_;
    bool upToDate_ = false;
    bool endOfFile_ = false;
    bool canonical_ = true;
};

#endif
