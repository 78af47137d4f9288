#include "primitives/core/AlignedMemory.h"

#include <cstdlib>
#include <cstring>

namespace primitives {

// The library calls the C heap directly. The test programs link a build of
// it (compiled with VELKARN_TEST_HEAP) whose allocators sit on the test heap
// instead: live-block counting, fault injection, chosen placement.
#if defined(VELKARN_TEST_HEAP)
namespace test {
void* testHeapAllocate(std::size_t bytes);
void testHeapRelease(void* memory);
}  // namespace test
#endif

namespace {

#if defined(VELKARN_TEST_HEAP)
void* heapAllocate(std::size_t bytes) { return test::testHeapAllocate(bytes); }
void heapRelease(void* memory) { test::testHeapRelease(memory); }
#else
void* heapAllocate(std::size_t bytes) { return std::malloc(bytes); }
void heapRelease(void* memory) { std::free(memory); }
#endif

template <typename Element>
Element* allocateBlock(int32_t length) {
    if (length <= 0) return nullptr;
    // 64-bit arithmetic: at most (2^31 - 1) * 4 + 40 bytes, far from overflow.
    static_assert(sizeof(Element) <= 4);
    const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(Element) + kBlockOverhead;
    auto* base = static_cast<std::byte*>(heapAllocate(bytes));
    if (base == nullptr) return nullptr;

    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(base);
    const std::uintptr_t aligned =
        (address + sizeof(void*) + kBlockAlignment - 1) & ~std::uintptr_t{kBlockAlignment - 1};
    std::byte* block = base + (aligned - address);
    std::memcpy(block - sizeof(void*), &base, sizeof(void*));
    return reinterpret_cast<Element*>(block);
}

}  // namespace

int16_t* allocAligned16Bit(int32_t length) { return allocateBlock<int16_t>(length); }

namespace generic {

void zoveZiva(void* block) {
    if (block == nullptr) return;
    void* base;
    std::memcpy(&base, static_cast<std::byte*>(block) - sizeof(void*), sizeof(void*));
    heapRelease(base);
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
