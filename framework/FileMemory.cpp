#include "framework/FileMemory.h"

#include "framework/StringException.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

std::uint8_t* allocate(int capacity) {
    if (capacity < 0) throw StringException("Buffer too small.");
    auto* buffer = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(capacity) + 1];
    if (buffer == nullptr) throw StringException("Buffer too small.");
    return buffer;
}

}  // namespace

FileMemory::FileMemory(int capacity) : MemoryFile(nullptr, 0), buffer_(allocate(capacity)), capacity_(capacity) {
    data_ = buffer_;
}

FileMemory::~FileMemory() { delete[] buffer_; }

bool FileMemory::write(const void* buffer, int count) {
    if (count < 0) return false;
    int room = std::min(count, capacity_ - position_);
    if (room > 0) std::memcpy(buffer_ + position_, buffer, static_cast<std::size_t>(room));
    position_ += room;
    used_ = std::max(used_, position_);
    return room == count;
}

int FileMemory::readFrom(File& source, int count, bool unstuff) {
    if (count < 0 || static_cast<long long>(position_) + count > capacity_) throw StringException("Buffer too small.");
    if (!unstuff) {
        if (count > 0 && !source.read(buffer_ + position_, count)) throw StringException("Unexpected end of file.");
        position_ += count;
    } else {
        std::uint8_t previous = 0;
        for (int i = 0; i < count; ++i) {
            std::uint8_t byte;
            if (!source.read(&byte, 1)) {
                used_ = std::max(used_, position_);
                throw StringException("Unexpected end of file.");
            }
            if (!(previous == 0xFF && byte == 0x00)) buffer_[position_++] = byte;
            previous = byte;
        }
    }
    used_ = std::max(used_, position_);
    return position_;
}

void FileMemory::writeTo(File& target, int count, bool stuff) {
    if (count < 0 || static_cast<long long>(position_) + count > used_) throw StringException("Not enough data.");
    if (count == 0) return;
    if (!stuff) {
        if (!target.write(buffer_ + position_, count)) throw StringException("Cannot write file.");
        position_ += count;
        return;
    }
    static const std::uint8_t zero = 0;
    for (int i = 0; i < count; ++i) {
        std::uint8_t byte = buffer_[position_];
        if (!target.write(&byte, 1) || (byte == 0xFF && !target.write(&zero, 1))) {
            throw StringException("Cannot write file.");
        }
        ++position_;
    }
}

int FileMemory::stuffedSize() const {
    return used_ + static_cast<int>(std::count(buffer_, buffer_ + used_, std::uint8_t{0xFF}));
}
