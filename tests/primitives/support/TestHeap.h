// The heap under the aligned allocators of the instrumented library that the
// primitives tests link: counts live blocks, fails chosen allocations and can
// place allocations at a chosen address offset. It is in force from program
// start; the production library calls the C heap directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace primitives::test {

class TestHeap {
public:
    // Blocks allocated and not yet released.
    static int64_t liveBlocks();
    // Heap requests so far, refused ones included.
    static int64_t requests();

    // The k-th allocation from now fails (1: the next one); 0 cancels.
    static void failAllocation(int64_t k);

    // Makes allocations return addresses congruent to `offset` modulo 32
    // (0..31), each ending where its heap block ends; -1 returns to what
    // malloc gives.
    static void placeAtOffset(int32_t offset);

    // The byte count of the last request and the address the heap returned
    // for it (null when refused).
    static std::size_t lastRequestBytes();
    static void* lastAllocation();
};

// Fails the k-th allocation from now while in scope.
class ScopedAllocationFailure {
public:
    explicit ScopedAllocationFailure(int64_t k) { TestHeap::failAllocation(k); }
    ~ScopedAllocationFailure() { TestHeap::failAllocation(0); }
    ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
    ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;
};

}  // namespace primitives::test
