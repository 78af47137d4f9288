// The reading side shared by FileMemory and FileResource: a File over bytes
// in memory that reads up to the used size.
#ifndef VELKARN_FRAMEWORK_MEMORYFILE_H
#define VELKARN_FRAMEWORK_MEMORYFILE_H

#include "framework/File.h"

#include <cstdint>

class MemoryFile : public File {
public:
    int size() override { return used_; }
    int position() override { return position_; }
    // Copies min(count, used - position) bytes; true when all count came.
    bool read(void* buffer, int count) override;
    // False, with the position unchanged, for a move before the start or
    // past the used size; a move to exactly the used size is allowed.
    bool skip(int offset) override;
    bool seek(int offset) override;

protected:
    MemoryFile(const std::uint8_t* data, int used) : data_(data), used_(used) {}

    const std::uint8_t* data_;
    int position_ = 0;
    int used_;
};

#endif
