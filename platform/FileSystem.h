// File-system calls of the program. Every path goes through nativePath
// first, nothing here changes the current directory, and failures leave a
// text for the caller's reporter (takeLastErrorText).
#ifndef VELKARN_PLATFORM_FILESYSTEM_H
#define VELKARN_PLATFORM_FILESYSTEM_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// ---- Fault injection (tests) -----------------------------------------------

enum class FileOperation { Open, Read, Write, Seek, Close, Rename, Remove, Sync, List };

// Asked before each operation on the given (native) path; returning true
// makes that operation fail with EIO as if the system had refused it.
using FileFaultHook = std::function<bool(FileOperation, const std::string& path)>;
void setFileFaultHook(FileFaultHook hook);  // an empty hook switches injection off
bool fileFaultInjected(FileOperation operation, const std::string& path);

// ---- Files on disk ---------------------------------------------------------

// A C stream on a disk file. Used by one thread at a time.
class DiskFile {
public:
    enum class Mode { Read, Write };  // "rb" or "wb"

    // Null when the file cannot be opened (the last error text says why).
    static DiskFile* open(const std::string& path, Mode mode);
    ~DiskFile();  // closes; a failing close is only noted by close()

    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    bool close();  // false when the close failed; the stream is gone either way
    bool read(void* buffer, std::size_t count);        // true when all count bytes came
    bool write(const void* buffer, std::size_t count); // true when all count bytes went
    bool seek(std::int64_t offset, int whence);        // SEEK_SET, SEEK_CUR, SEEK_END
    bool flush();                                      // hands the stream's buffer to the system
    std::int64_t tell();                               // -1 on failure
    std::int64_t size();                               // -1 on failure
    const std::string& nativePath() const { return path_; }

private:
    DiskFile(std::FILE* stream, std::string path) : stream_(stream), path_(std::move(path)) {}
    std::FILE* stream_;
    std::string path_;
};

bool pathExists(const std::string& path);
bool isDirectory(const std::string& path);
bool removeFile(const std::string& path);                          // the C library's remove
bool renameFile(const std::string& from, const std::string& to);   // replaces the target

// Writes the bytes to a temporary file beside the path, flushes them to the
// disk and renames the temporary over the path, so a reader sees either the
// old or the new content, never a mixture.
bool writeFileAtomically(const std::string& path, const std::string& bytes);

// The whole file; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& bytes);

// ---- Directory listing -----------------------------------------------------

struct DirectoryEntry {
    std::string name;          // "." and ".." are never listed
    bool isDirectory;          // the entry itself is a directory (not through a link)
    bool isSymbolicLink;
    std::uint64_t modified;    // 100-ns intervals since 1601-01-01 UTC
};

// The entries sorted by the bytes of their names; false (with the last
// error text) when the directory cannot be read.
bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries);

// ---- Volumes ---------------------------------------------------------------

// Whether a file system of this statfs magic number can hold the track
// database: every local file system but the FAT family (msdos/vfat, exFAT).
bool fileSystemFitForDatabase(std::uint64_t magic);

// statfs of the directory; false (with the last error text) when it fails.
bool fileSystemMagic(const std::string& directory, std::uint64_t& magic);

// Tests: while set, the hook answers fileSystemMagic in place of the
// system (an empty hook switches it off), so a FAT volume can be shown.
using FileSystemMagicHook = std::function<bool(const std::string& directory, std::uint64_t& magic)>;
void setFileSystemMagicHook(FileSystemMagicHook hook);

// ---- Use by this process ---------------------------------------------------

// True when any descriptor of this process refers to the file (same
// device and inode).
bool isOpenInThisProcess(const std::string& path);

// An existing regular file that this process may read and write, in a
// directory it may write, and that this process does not hold open. Other
// processes' use cannot be seen on this system and is not probed.
bool fileFreeForExclusiveUse(const std::string& path);

}  // namespace platform

#endif
