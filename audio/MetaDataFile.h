// The files the meta-data tools read and write, through the file layer.
// MetaDataInput reads at offsets and fails with the user's message;
// MetaDataOutput checks every write and its close, and removes what it
// wrote unless committed. Both throw StringException.
#ifndef VELKARN_AUDIO_METADATAFILE_H
#define VELKARN_AUDIO_METADATAFILE_H

#include "platform/FileSystem.h"

#include <cstdint>
#include <memory>
#include <string>

class MetaDataInput {
public:
    explicit MetaDataInput(const std::string& path);
    bool readAt(std::int64_t position, void* buffer, std::size_t count);
    void mustReadAt(std::int64_t position, void* buffer, std::size_t count);
    std::int64_t size() { return file_->size(); }

private:
    std::unique_ptr<platform::DiskFile> file_;
    std::string path_;
};

class MetaDataOutput {
public:
    explicit MetaDataOutput(std::string path);
    ~MetaDataOutput();
    MetaDataOutput(const MetaDataOutput&) = delete;
    MetaDataOutput& operator=(const MetaDataOutput&) = delete;

    void write(const void* bytes, std::size_t count);
    // Copies count bytes from position of the input in 64 KiB pieces.
    void copy(MetaDataInput& input, std::int64_t position, std::int64_t count);
    // Overwrites 4 bytes at position (a size field written earlier).
    void patch(std::int64_t position, const void* bytes, std::size_t count);
    void close();
    void commit() { committed_ = true; }
    std::int64_t written() const { return written_; }
    const std::string& path() const { return path_; }

private:
    std::unique_ptr<platform::DiskFile> file_;
    std::string path_;
    std::int64_t written_ = 0;
    bool committed_ = false;
};

// Renames the song to its "tmp" name; false (with the box shown under the
// caption) when the name is taken or the rename fails.
bool moveAside(const std::string& path, const std::string& temporary, const char* caption);

// A fresh name beside path for a file written before it takes its place.
std::string uniqueBeside(const std::string& path);



// The song's side files ("qrt" and "png" in place of its extension).
struct SideFiles {
    std::string qrtPath, pngPath;
    std::string qrt, png;
    bool hasQrt = false, hasPng = false;

    // Reads the side files that exist; false, with the box shown under the
    // caption, when one exists but cannot be read.
    bool load(const std::string& song, const char* caption);
    bool any() const { return hasQrt || hasPng; }
    void remove() const;
};
#endif
