#include "audio/MetaDataFile.h"

#include "framework/StringException.h"
#include "audio/WavMetaDataTools.h"
#include "framework/Support.h"

#include <algorithm>
#include <tuple>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {
constexpr std::size_t copyPiece = 64 * 1024;
}

MetaDataInput::MetaDataInput(const std::string& path)
    : file_(platform::DiskFile::open(path, platform::DiskFile::Mode::Read)), path_(path) {
    if (!file_) throw StringException("Cannot open file " + path + ".");
}

bool MetaDataInput::readAt(std::int64_t position, void* buffer, std::size_t count) {
    return position >= 0 && file_->seek(position, SEEK_SET) && file_->read(buffer, count);
}

void MetaDataInput::mustReadAt(std::int64_t position, void* buffer, std::size_t count) {
    if (!readAt(position, buffer, count)) throw StringException("Cannot read file " + path_ + ".");
}

MetaDataOutput::MetaDataOutput(std::string path)
    : file_(platform::DiskFile::open(path, platform::DiskFile::Mode::Write)), path_(std::move(path)) {
    if (!file_) throw StringException("Cannot open file " + path_ + ".");
}

MetaDataOutput::~MetaDataOutput() {
    if (file_) file_->close();
    if (!committed_) platform::removeFile(path_);
}

void MetaDataOutput::write(const void* bytes, std::size_t count) {
    if (count > 0 && !file_->write(bytes, count)) throw StringException("Cannot write file " + path_ + ".");
    written_ += static_cast<std::int64_t>(count);
}

void MetaDataOutput::copy(MetaDataInput& input, std::int64_t position, std::int64_t count) {
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::clamp<std::int64_t>(count, 1, copyPiece)));
    for (std::int64_t done = 0; done < count;) {
        const auto bytes = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(piece.size()), count - done));
        input.mustReadAt(position + done, piece.data(), bytes);
        write(piece.data(), bytes);
        done += static_cast<std::int64_t>(bytes);
    }
}

void MetaDataOutput::patch(std::int64_t position, const void* bytes, std::size_t count) {
    if (!file_->seek(position, SEEK_SET) || !file_->write(bytes, count) || !file_->seek(0, SEEK_END))
        throw StringException("Cannot write file " + path_ + ".");
}

void MetaDataOutput::close() {
    const bool closed = file_->close();
    file_.reset();
    if (!closed) throw StringException("Cannot write file " + path_ + ".");
}

bool moveAside(const std::string& path, const std::string& temporary, const char* caption) {
    if (platform::pathExists(temporary)) {
        showMessage(caption, "please delete or rename " + temporary + ".");
        return false;
    }
    if (!platform::renameFile(path, temporary)) {
        showMessage(caption, "Cannot rename file (file might be playing).");
        return false;
    }
    return true;
}

std::string uniqueBeside(const std::string& path) {
    static unsigned serial = 0;
    return path + ".part" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
}

bool SideFiles::load(const std::string& song, const char* caption) {
    qrtPath = withExtension(song, "qrt");
    pngPath = withExtension(song, "png");
    hasQrt = platform::pathExists(qrtPath);
    hasPng = platform::pathExists(pngPath);
    for (auto [has, name, bytes] : {std::tuple{hasQrt, &qrtPath, &qrt}, std::tuple{hasPng, &pngPath, &png}}) {
        if (has && !platform::readWholeFile(*name, *bytes)) {
            showMessage(caption, "Cannot open file " + *name + ".");
            return false;
        }
    }
    return true;
}

void SideFiles::remove() const {
    if (hasQrt) platform::removeFile(qrtPath);
    if (hasPng) platform::removeFile(pngPath);
}
