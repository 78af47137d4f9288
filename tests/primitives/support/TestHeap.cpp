#include "TestHeap.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

namespace primitives::test {
namespace {

std::atomic<int64_t> live{0};
std::atomic<int64_t> requestCount{0};
std::atomic<int64_t> failCountdown{0};
std::atomic<int32_t> placementOffset{-1};
std::atomic<std::size_t> lastBytes{0};
std::atomic<void*> lastAddress{nullptr};

// Allocations moved to a chosen offset, by returned address: what to free.
// Never destroyed, so that blocks released during static destruction still
// find it.
std::mutex placedMutex;
std::unordered_map<void*, void*>& placed() {
    static auto* const blocks = new std::unordered_map<void*, void*>;
    return *blocks;
}

bool shouldFail() {
    int64_t remaining = failCountdown.load();
    while (remaining > 0) {
        if (failCountdown.compare_exchange_weak(remaining, remaining - 1)) return remaining == 1;
    }
    return false;
}

}  // namespace

// The heap under the allocators of the instrumented library (declared there).
void* testHeapAllocate(std::size_t bytes) {
    ++requestCount;
    lastBytes = bytes;
    lastAddress = nullptr;
    if (shouldFail()) return nullptr;

    void* result;
    const int32_t offset = placementOffset.load();
    if (offset < 0) {
        result = std::malloc(bytes);
        if (result == nullptr) return nullptr;
    } else {
        // A 32-byte-aligned heap block, entered at the offset: the placed
        // allocation ends exactly where the heap block ends, so that a
        // sanitizer sees any access past it.
        void* aligned = nullptr;
        if (posix_memalign(&aligned, 32, static_cast<std::size_t>(offset) + bytes) != 0) return nullptr;
        auto* raw = static_cast<std::byte*>(aligned);
        result = raw + offset;
        std::lock_guard lock(placedMutex);
        placed().emplace(result, raw);
    }
    ++live;
    lastAddress = result;
    return result;
}

void testHeapRelease(void* memory) {
    if (memory == nullptr) return;
    --live;
    {
        std::lock_guard lock(placedMutex);
        if (auto found = placed().find(memory); found != placed().end()) {
            memory = found->second;
            placed().erase(found);
        }
    }
    std::free(memory);
}

int64_t TestHeap::liveBlocks() { return live.load(); }
int64_t TestHeap::requests() { return requestCount.load(); }
void TestHeap::failAllocation(int64_t k) { failCountdown = k; }
void TestHeap::placeAtOffset(int32_t offset) { placementOffset = offset; }
std::size_t TestHeap::lastRequestBytes() { return lastBytes.load(); }
void* TestHeap::lastAllocation() { return lastAddress.load(); }

}  // namespace primitives::test
