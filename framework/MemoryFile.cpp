#include "framework/MemoryFile.h"

#include <algorithm>
#include <cstring>

bool MemoryFile::read(void* buffer, int count) {
    if (count < 0) return false;
    int available = std::min(count, used_ - position_);
    if (available > 0) std::memcpy(buffer, data_ + position_, static_cast<std::size_t>(available));
    position_ += available;
    return available == count;
}

bool MemoryFile::skip(int offset) {
    long long target = static_cast<long long>(position_) + offset;
    if (target < 0 || target > used_) return false;
    position_ = static_cast<int>(target);
    return true;
}

bool MemoryFile::seek(int offset) {
    if (offset < 0 || offset > used_) return false;
    position_ = offset;
    return true;
}
