// A File over a memory buffer of fixed capacity, with the 0xFF 0x00 byte
// stuffing used to carry beat meta-data inside MP3 files.
#ifndef VELKARN_FRAMEWORK_FILEMEMORY_H
#define VELKARN_FRAMEWORK_FILEMEMORY_H

#include "framework/MemoryFile.h"

class FileMemory : public MemoryFile {
public:
    // Throws StringException "Buffer too small." for a negative capacity or
    // when the buffer cannot be allocated (callers size it from file data).
    explicit FileMemory(int capacity);
    ~FileMemory() override;

    FileMemory(const FileMemory&) = delete;
    FileMemory& operator=(const FileMemory&) = delete;

    // Copies min(count, capacity - position) bytes; true when all count went.
    bool write(const void* buffer, int count) override;

    // Fills the buffer from another file at the position and returns the
    // new position. Throws "Buffer too small." when count bytes would pass
    // the capacity, and "Unexpected end of file." when a source read fails
    // (the used size then counts only the bytes stored). With unstuff, every
    // 0x00 that directly follows a 0xFF of the source is dropped.
    int readFrom(File& source, int count, bool unstuff);

    // Writes count bytes from the position to another file. Throws "Not
    // enough data." when fewer bytes remain and "Cannot write file." when a
    // target write fails. With stuff, a 0x00 follows every 0xFF.
    void writeTo(File& target, int count, bool stuff);

    // The number of bytes writeTo with stuffing makes of the whole content.
    int stuffedSize() const;

    int capacity() const { return capacity_; }
    const std::uint8_t* data() const { return buffer_; }

private:
    std::uint8_t* buffer_;
    int capacity_;
};

#endif
