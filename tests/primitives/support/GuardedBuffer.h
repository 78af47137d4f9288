// A 32-byte-aligned buffer between guard bytes, filled with a known pattern,
// to show that an entry wrote nothing (on failure) or nothing outside its
// destination.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace primitives::test {

template <typename T>
class GuardedBuffer {
public:
    static constexpr std::size_t kGuardBytes = 64;
    static constexpr uint8_t kGuardPattern = 0xCD;

    explicit GuardedBuffer(std::size_t count, uint8_t fill = 0xA5)
        : count_(count), fill_(fill), storage_(count * sizeof(T) + 2 * kGuardBytes + 32, kGuardPattern) {
        const auto address = reinterpret_cast<std::uintptr_t>(storage_.data() + kGuardBytes);
        begin_ = kGuardBytes + ((32 - address % 32) % 32);
        for (std::size_t i = 0; i < bytes(); ++i) storage_[begin_ + i] = fill_;
    }

    T* data() { return reinterpret_cast<T*>(storage_.data() + begin_); }
    const T* data() const { return reinterpret_cast<const T*>(storage_.data() + begin_); }
    std::size_t size() const { return count_; }
    T& operator[](std::size_t i) { return data()[i]; }

    // No byte outside the buffer was written.
    bool guardsIntact() const {
        for (std::size_t i = 0; i < storage_.size(); ++i) {
            const bool inside = i >= begin_ && i < begin_ + bytes();
            if (!inside && storage_[i] != kGuardPattern) return false;
        }
        return true;
    }

    // No byte inside or outside the buffer was written.
    bool untouched() const {
        for (std::size_t i = 0; i < bytes(); ++i) {
            if (storage_[begin_ + i] != fill_) return false;
        }
        return guardsIntact();
    }

private:
    std::size_t bytes() const { return count_ * sizeof(T); }

    std::size_t count_;
    uint8_t fill_;
    std::vector<uint8_t> storage_;
    std::size_t begin_ = 0;
};

}  // namespace primitives::test
