// The abstract seekable file every reader and writer of the program uses.
// Sizes and offsets are signed 32-bit. A File is used by one thread at a
// time; whoever holds one deletes it.
#ifndef VELKARN_FRAMEWORK_FILE_H
#define VELKARN_FRAMEWORK_FILE_H

#include <cstdint>

class File {
public:
    virtual ~File() = default;

    virtual int size() = 0;
    virtual int position() = 0;
    // True only when all count bytes were read / written.
    virtual bool read(void* buffer, int count) = 0;
    virtual bool write(const void* buffer, int count) = 0;
    // Relative and absolute moves; true on success.
    virtual bool skip(int offset) = 0;
    virtual bool seek(int offset) = 0;

    // Four bytes, first byte most significant. A failed read throws
    // StringException "Unexpected end of file." (no value could stand for
    // it: a reader scanning chunks would never stop on a truncated file).
    std::int32_t readBigEndianInt32();
};

#endif
