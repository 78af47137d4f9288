// A File over a disk file (a C stream).
#ifndef VELKARN_FRAMEWORK_FILEDISK_H
#define VELKARN_FRAMEWORK_FILEDISK_H

#include "framework/File.h"

#include <memory>
#include <string>

namespace platform {
class DiskFile;
}

class FileDisk : public File {
public:
    // The path is the name itself when absolute, else filesDirectory + name.
    // Opened "wb" for writing, else "rb"; throws StringException "Cannot
    // open file <path>." when it cannot be opened.
    FileDisk(const std::string& name, bool absolute, bool write);
    ~FileDisk() override;  // a failing close is logged as "Cannot close file."

    // Throws "Cannot find out size of file." when the size cannot be read
    // or does not fit a signed 32-bit size (2 GiB and more).
    int size() override;
    int position() override;
    bool read(void* buffer, int count) override;         // false for count <= 0
    bool write(const void* buffer, int count) override;  // false for count <= 0
    bool skip(int offset) override;
    bool seek(int offset) override;

    // Whether the same path opens for reading.
    static bool exists(const std::string& name, bool absolute);

    static std::string fullPath(const std::string& name, bool absolute);

private:
    std::unique_ptr<platform::DiskFile> file_;
};

#endif
