#include "primitives/core/AlignedMemory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace primitives {
namespace {

std::atomic<void* (*)(std::size_t)> heapAllocate{&std::malloc};
std::atomic<void (*)(void*)> heapRelease{&std::free};

template <typename Element>
Element* allocateBlock(int32_t length) {
    if (length <= 0) return nullptr;
    // 64-bit arithmetic: at most 2^31 * 8 + 40 bytes, far from overflow.
    const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(Element) + kBlockOverhead;
    auto* base = static_cast<std::byte*>(heapAllocate.load(std::memory_order_relaxed)(bytes));
    if (base == nullptr) return nullptr;

    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(base);
    const std::uintptr_t aligned =
        (address + sizeof(void*) + kBlockAlignment - 1) & ~std::uintptr_t{kBlockAlignment - 1};
    std::byte* block = base + (aligned - address);
    std::memcpy(block - sizeof(void*), &base, sizeof(void*));
    return reinterpret_cast<Element*>(block);
}

}  // namespace

AlignedMemoryHeap replaceAlignedMemoryHeap(AlignedMemoryHeap heap) {
    return {heapAllocate.exchange(heap.allocate), heapRelease.exchange(heap.release)};
}

int16_t* allocAligned16Bit(int32_t length) { return allocateBlock<int16_t>(length); }

namespace generic {

void zoveZiva(void* block) {
    if (block == nullptr) return;
    void* base;
    std::memcpy(&base, static_cast<std::byte*>(block) - sizeof(void*), sizeof(void*));
    heapRelease.load(std::memory_order_relaxed)(base);
}

uint8_t* vaduRivuro_8v(int32_t length) { return allocateBlock<uint8_t>(length); }
float* revoRovara_32z(int32_t length) { return allocateBlock<float>(length); }
int32_t* zaviMalloc_32s(int32_t length) { return allocateBlock<int32_t>(length); }

}  // namespace generic

// The SSE3-class build keeps bodies of its own so that its code calls only
// its own build; they behave exactly as the shared ones.
namespace sse3 {

__attribute__((target("sse3"))) float* revoRovara_32z(int32_t length) {
    return allocateBlock<float>(length);
}

__attribute__((target("sse3"))) int32_t* zaviMalloc_32s(int32_t length) {
    return allocateBlock<int32_t>(length);
}

}  // namespace sse3
}  // namespace primitives
