#include "framework/FileDisk.h"

#include "framework/Log.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "platform/FileSystem.h"

#include <climits>
#include <cstdio>

std::string FileDisk::fullPath(const std::string& name, bool absolute) {
    return absolute ? name : supportSettings().filesDirectory + name;
}

FileDisk::FileDisk(const std::string& name, bool absolute, bool write) {
    std::string path = fullPath(name, absolute);
    file_.reset(platform::DiskFile::open(path, write ? platform::DiskFile::Mode::Write : platform::DiskFile::Mode::Read));
    if (!file_) throw StringException("Cannot open file " + path + ".");
}

FileDisk::~FileDisk() {
    if (!file_->close()) logMessage("Cannot close file.", __FILE__, __LINE__);
}

int FileDisk::size() {
    std::int64_t size = file_->size();
    if (size < 0 || size > INT_MAX) throw StringException("Cannot find out size of file.");
    return static_cast<int>(size);
}

int FileDisk::position() {
    std::int64_t position = file_->tell();
    return position < 0 || position > INT_MAX ? -1 : static_cast<int>(position);
}

bool FileDisk::read(void* buffer, int count) { return count > 0 && file_->read(buffer, static_cast<std::size_t>(count)); }

bool FileDisk::write(const void* buffer, int count) {
    return count > 0 && file_->write(buffer, static_cast<std::size_t>(count));
}

bool FileDisk::skip(int offset) { return file_->seek(offset, SEEK_CUR); }

bool FileDisk::seek(int offset) { return file_->seek(offset, SEEK_SET); }

bool FileDisk::exists(const std::string& name, bool absolute) {
    std::unique_ptr<platform::DiskFile> file(platform::DiskFile::open(fullPath(name, absolute), platform::DiskFile::Mode::Read));
    return file != nullptr;
}
