#include "platform/FileSystem.h"

#include "platform/LastError.h"
#include "platform/Paths.h"

#include <algorithm>
#include <memory>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {
namespace {

std::atomic<bool> faultHookActive{false};
std::mutex faultHookMutex;
FileFaultHook faultHook;

bool refuse(FileOperation operation, const std::string& path, const char* what) {
    if (!fileFaultInjected(operation, path)) return false;
    errno = EIO;
    setLastErrorFromErrno(std::string(what) + " " + path, EIO);
    return true;
}

std::string directoryOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

void setFileFaultHook(FileFaultHook hook) {
    std::lock_guard lock(faultHookMutex);
    faultHook = std::move(hook);
    faultHookActive.store(static_cast<bool>(faultHook));
}

bool fileFaultInjected(FileOperation operation, const std::string& path) {
    if (!faultHookActive.load(std::memory_order_relaxed)) return false;
    std::lock_guard lock(faultHookMutex);
    return faultHook && faultHook(operation, path);
}

// ---- DiskFile --------------------------------------------------------------

DiskFile* DiskFile::open(const std::string& path, Mode mode) {
    std::string native = platform::nativePath(path);
    if (refuse(FileOperation::Open, native, "Cannot open")) return nullptr;
    std::FILE* stream = std::fopen(native.c_str(), mode == Mode::Write ? "wb" : "rb");
    if (stream == nullptr) {
        setLastErrorFromErrno("Cannot open " + native, errno);
        return nullptr;
    }
    // A directory opens for reading here, but is no file: every read of it
    // would fail later, and the program would take it for an existing file.
    struct stat status {};
    if (::fstat(::fileno(stream), &status) == 0 && S_ISDIR(status.st_mode)) {
        std::fclose(stream);
        setLastErrorFromErrno("Cannot open " + native, EISDIR);
        return nullptr;
    }
    return new DiskFile(stream, native);
}

DiskFile::~DiskFile() {
    if (stream_ != nullptr) close();
}

bool DiskFile::close() {
    std::FILE* stream = stream_;
    stream_ = nullptr;
    if (stream == nullptr) return false;
    bool injected = refuse(FileOperation::Close, path_, "Cannot close");
    if (std::fclose(stream) != 0) {
        setLastErrorFromErrno("Cannot close " + path_, errno);
        return false;
    }
    return !injected;
}

bool DiskFile::read(void* buffer, std::size_t count) {
    if (refuse(FileOperation::Read, path_, "Cannot read")) return false;
    return count > 0 && std::fread(buffer, count, 1, stream_) == 1;
}

bool DiskFile::write(const void* buffer, std::size_t count) {
    if (refuse(FileOperation::Write, path_, "Cannot write")) return false;
    return count > 0 && std::fwrite(buffer, count, 1, stream_) == 1;
}

bool DiskFile::seek(std::int64_t offset, int whence) {
    if (refuse(FileOperation::Seek, path_, "Cannot seek")) return false;
    return ::fseeko(stream_, static_cast<off_t>(offset), whence) == 0;
}

bool DiskFile::flush() {
    if (refuse(FileOperation::Write, path_, "Cannot write")) return false;
    return std::fflush(stream_) == 0;
}

std::int64_t DiskFile::tell() { return ::ftello(stream_); }

std::int64_t DiskFile::size() {
    struct stat status;
    if (std::fflush(stream_) != 0 || ::fstat(::fileno(stream_), &status) != 0) {
        setLastErrorFromErrno("Cannot find out the size of " + path_, errno);
        return -1;
    }
    return status.st_size;
}

// ---- Whole files -----------------------------------------------------------

bool pathExists(const std::string& path) {
    struct stat status;
    return ::stat(nativePath(path).c_str(), &status) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat status;
    return ::stat(nativePath(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool removeFile(const std::string& path) {
    std::string native = nativePath(path);
    if (refuse(FileOperation::Remove, native, "Cannot remove")) return false;
    if (std::remove(native.c_str()) != 0) {
        setLastErrorFromErrno("Cannot remove " + native, errno);
        return false;
    }
    return true;
}

bool renameFile(const std::string& from, const std::string& to) {
    std::string nativeFrom = nativePath(from);
    std::string nativeTo = nativePath(to);
    if (refuse(FileOperation::Rename, nativeFrom, "Cannot rename")) return false;
    if (std::rename(nativeFrom.c_str(), nativeTo.c_str()) != 0) {
        setLastErrorFromErrno("Cannot rename " + nativeFrom + " to " + nativeTo, errno);
        return false;
    }
    return true;
}

bool writeFileAtomically(const std::string& path, const std::string& bytes) {
    std::string native = nativePath(path);
    std::string temporary = native + ".tmp" + std::to_string(::getpid());
    if (refuse(FileOperation::Open, temporary, "Cannot create")) return false;
    int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        setLastErrorFromErrno("Cannot create " + temporary, errno);
        return false;
    }
    bool written = !refuse(FileOperation::Write, temporary, "Cannot write");
    for (std::size_t done = 0; written && done < bytes.size();) {
        ssize_t n = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            setLastErrorFromErrno("Cannot write " + temporary, errno);
            written = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (written && (refuse(FileOperation::Sync, temporary, "Cannot flush") || ::fsync(descriptor) != 0)) {
        if (errno != EIO) setLastErrorFromErrno("Cannot flush " + temporary, errno);
        written = false;
    }
    if (::close(descriptor) != 0 && written) {
        setLastErrorFromErrno("Cannot close " + temporary, errno);
        written = false;
    }
    if (written && !refuse(FileOperation::Rename, native, "Cannot replace") &&
        std::rename(temporary.c_str(), native.c_str()) == 0) {
        // Make the rename itself durable.
        int directory = ::open(directoryOf(native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory >= 0) {
            ::fsync(directory);
            ::close(directory);
        }
        return true;
    }
    if (written) setLastErrorFromErrno("Cannot replace " + native, errno);
    ::unlink(temporary.c_str());
    return false;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::unique_ptr<DiskFile> file(DiskFile::open(path, DiskFile::Mode::Read));
    if (!file) return false;
    std::int64_t size = file->size();
    if (size < 0) return false;
    bytes.assign(static_cast<std::size_t>(size), '\0');
    return size == 0 || file->read(bytes.data(), bytes.size());
}

// ---- Listing ---------------------------------------------------------------

bool listDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) {
    entries.clear();
    std::string native = nativePath(path);
    if (refuse(FileOperation::List, native, "Cannot list")) return false;
    DIR* directory = ::opendir(native.c_str());
    if (directory == nullptr) {
        setLastErrorFromErrno("Cannot list " + native, errno);
        return false;
    }
    int descriptor = ::dirfd(directory);
    while (true) {
        errno = 0;
        dirent* entry = ::readdir(directory);
        if (entry == nullptr) break;
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat status;
        if (::fstatat(descriptor, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        constexpr std::uint64_t secondsFrom1601To1970 = 11644473600ULL;
        std::uint64_t modified = (static_cast<std::uint64_t>(status.st_mtim.tv_sec) + secondsFrom1601To1970) * 10000000ULL +
                                 static_cast<std::uint64_t>(status.st_mtim.tv_nsec) / 100U;
        entries.push_back({std::move(name), S_ISDIR(status.st_mode), S_ISLNK(status.st_mode), modified});
    }
    int readError = errno;
    ::closedir(directory);
    if (readError != 0) {
        setLastErrorFromErrno("Cannot list " + native, readError);
        return false;
    }
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return true;
}

// ---- Volumes ---------------------------------------------------------------

bool fileSystemFitForDatabase(std::uint64_t magic) {
    constexpr std::uint64_t msdosMagic = 0x4d44;      // msdos and vfat
    constexpr std::uint64_t exfatMagic = 0x2011BAB0;
    return magic != msdosMagic && magic != exfatMagic;
}

namespace {
std::mutex magicHookMutex;
FileSystemMagicHook magicHook;
}  // namespace

void setFileSystemMagicHook(FileSystemMagicHook hook) {
    std::lock_guard lock(magicHookMutex);
    magicHook = std::move(hook);
}

bool fileSystemMagic(const std::string& directory, std::uint64_t& magic) {
    {
        std::lock_guard lock(magicHookMutex);
        if (magicHook) return magicHook(directory, magic);
    }
    std::string native = nativePath(directory);
    struct statfs status;
    if (::statfs(native.c_str(), &status) != 0) {
        setLastErrorFromErrno("Cannot examine the volume of " + native, errno);
        return false;
    }
    magic = static_cast<std::uint64_t>(status.f_type);
    return true;
}

// ---- Use by this process ---------------------------------------------------

bool isOpenInThisProcess(const std::string& path) {
    struct stat target;
    if (::stat(nativePath(path).c_str(), &target) != 0) return false;
    DIR* descriptors = ::opendir("/proc/self/fd");
    if (descriptors == nullptr) return false;
    int own = ::dirfd(descriptors);
    bool found = false;
    while (dirent* entry = ::readdir(descriptors)) {
        if (entry->d_name[0] == '.') continue;
        int descriptor = std::atoi(entry->d_name);
        if (descriptor == own) continue;
        struct stat status;
        if (::fstat(descriptor, &status) == 0 && status.st_dev == target.st_dev && status.st_ino == target.st_ino) {
            found = true;
            break;
        }
    }
    ::closedir(descriptors);
    return found;
}

bool fileFreeForExclusiveUse(const std::string& path) {
    std::string native = nativePath(path);
    struct stat status;
    if (::stat(native.c_str(), &status) != 0) {
        setLastErrorFromErrno("Cannot find " + native, errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        setLastErrorText(native + " is not a regular file.");
        return false;
    }
    if (::access(native.c_str(), R_OK | W_OK) != 0) {
        setLastErrorFromErrno("Cannot read and write " + native, errno);
        return false;
    }
    if (::access(directoryOf(native).c_str(), W_OK) != 0) {
        setLastErrorFromErrno("Cannot change the directory of " + native, errno);
        return false;
    }
    if (isOpenInThisProcess(native)) {
        setLastErrorText(native + " is in use by this program.");
        return false;
    }
    return true;
}

}  // namespace platform
