// A fixed-size queue of pointers between one producer and one consumer
// thread, without locks: the sound library's callback hands headers on
// through it and never waits.
#ifndef VELKARN_PLATFORM_AUDIO_SPSCRING_H
#define VELKARN_PLATFORM_AUDIO_SPSCRING_H

#include <array>
#include <atomic>
#include <cstddef>

namespace platform::audio {

template <typename T, std::size_t Capacity>
class SpscRing {
public:
    // Producer side. False when full.
    bool push(T* item) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
        slots_[tail % Capacity] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer side. False when empty.
    bool pop(T*& item) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        item = slots_[head % Capacity];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    bool empty() const { return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire); }

private:
    std::array<T*, Capacity> slots_{};
    std::atomic<std::size_t> head_{0};
    std::atomic<std::size_t> tail_{0};
};

}  // namespace platform::audio

#endif
