// Replaces the global operator new of the test program with one that
// counts its calls, so that tests can show a code path allocates nothing.
#include "AudioTestHelpers.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::int64_t> calls{0};
std::atomic<std::size_t> largest{0};
thread_local std::int64_t callsOnThisThread = 0;

void note(std::size_t bytes) {
    ++calls;
    ++callsOnThisThread;
    std::size_t seen = largest.load();
    while (bytes > seen && !largest.compare_exchange_weak(seen, bytes)) {
    }
}

void* allocate(std::size_t bytes) {
    note(bytes);
    if (void* memory = std::malloc(bytes == 0 ? 1 : bytes)) return memory;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t bytes, std::align_val_t alignment) {
    note(bytes);
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = ((bytes == 0 ? 1 : bytes) + align - 1) / align * align;
    if (void* memory = std::aligned_alloc(align, rounded)) return memory;
    throw std::bad_alloc();
}

}  // namespace

std::int64_t globalNewCalls() { return calls.load(); }
std::int64_t threadNewCalls() { return callsOnThisThread; }
std::size_t takeLargestGlobalNew() { return largest.exchange(0); }

void* operator new(std::size_t bytes) { return allocate(bytes); }
void* operator new[](std::size_t bytes) { return allocate(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    try {
        return allocate(bytes);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    try {
        return allocate(bytes);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t bytes, std::align_val_t alignment) { return allocateAligned(bytes, alignment); }
void* operator new[](std::size_t bytes, std::align_val_t alignment) { return allocateAligned(bytes, alignment); }

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
