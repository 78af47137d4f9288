// A first-in-first-out queue in storage made up front (internal to the
// layer), so that posting from the output thread and other workers
// allocates nothing. Only when it is full does it double its storage: a
// rare overflow, not the steady state. Not locked: its owner holds a mutex.
#ifndef VELKARN_PLATFORM_POSTRING_H
#define VELKARN_PLATFORM_POSTRING_H

#include <algorithm>
#include <cstddef>
#include <vector>

namespace platform {

template <typename T>
class PostRing {
public:
    explicit PostRing(std::size_t capacity) : slots_(std::max<std::size_t>(capacity, 1)) {}

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    std::size_t capacity() const { return slots_.size(); }

    // Position 0 is the oldest element.
    T& operator[](std::size_t position) { return slots_[(head_ + position) % slots_.size()]; }
    const T& operator[](std::size_t position) const { return slots_[(head_ + position) % slots_.size()]; }
    T& front() { return (*this)[0]; }

    void push_back(const T& value) {
        if (count_ == slots_.size()) grow();
        (*this)[count_] = value;
        ++count_;
    }

    void pop_front() {
        head_ = (head_ + 1) % slots_.size();
        --count_;
    }

    // Removes the element at `position`, keeping the others' order; the
    // shorter side moves (none at the front).
    void erase(std::size_t position) {
        if (position < count_ / 2) {
            for (std::size_t i = position; i > 0; --i) (*this)[i] = (*this)[i - 1];
            pop_front();
            return;
        }
        for (std::size_t i = position; i + 1 < count_; ++i) (*this)[i] = (*this)[i + 1];
        --count_;
    }

    // Removes every element the predicate accepts, keeping the others' order.
    template <typename Predicate>
    std::size_t eraseIf(Predicate remove) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < count_; ++i) {
            if (remove((*this)[i])) continue;
            if (kept != i) (*this)[kept] = (*this)[i];
            ++kept;
        }
        const std::size_t removed = count_ - kept;
        count_ = kept;
        return removed;
    }

private:
    void grow() {
        std::vector<T> larger(slots_.size() * 2);
        for (std::size_t i = 0; i < count_; ++i) larger[i] = (*this)[i];
        slots_.swap(larger);
        head_ = 0;
    }

    std::vector<T> slots_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

}  // namespace platform

#endif
