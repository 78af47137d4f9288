#include "primitives/core/AlignedMemory.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "BuildTest.h"
#include "TestHeap.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives {
namespace {

using test::TestHeap;

// One allocator as a build runs it: the entry's body for that build, or the
// internal 16-bit allocator.
struct Allocator {
    const char* name;
    std::size_t elementSize;
    void* (*allocate)(int32_t build, int32_t length);
};

template <auto& Record>
void* viaTable(int32_t build, int32_t length) {
    return Record.table[build](length);
}

const Allocator kAllocators[] = {
    {"vaduRivuro_8v", 1, viaTable<vaduRivuro_8v_dispatch>},
    {"revoRovara_32z", 4, viaTable<revoRovara_32z_dispatch>},
    {"zaviMalloc_32s", 4, viaTable<zaviMalloc_32s_dispatch>},
    {"allocAligned16Bit", 2, [](int32_t, int32_t length) -> void* { return allocAligned16Bit(length); }},
};

class AlignedMemory : public test::PerBuildTest {
protected:
    void TearDown() override {
        TestHeap::placeAtOffset(-1);
        test::PerBuildTest::TearDown();
    }
    void release(void* block) { body(zoveZiva_dispatch)(block); }
};

std::byte* storedUnderlyingAddress(const void* block) {
    std::byte* stored;
    std::memcpy(&stored, static_cast<const std::byte*>(block) - sizeof(void*), sizeof stored);
    return stored;
}

TEST_P(AlignedMemory, BlocksAreAlignedAndRecordTheirAllocation) {
    for (const Allocator& allocator : kAllocators) {
        for (int32_t length : {1, 2, 3, 7, 31, 32, 33, 1000, 65537}) {
            SCOPED_TRACE(std::string(allocator.name) + " length " + std::to_string(length));
            const int64_t liveBefore = TestHeap::liveBlocks();
            void* block = allocator.allocate(build(), length);
            ASSERT_NE(block, nullptr);
            const std::size_t bytes = length * allocator.elementSize;
            auto* base = static_cast<std::byte*>(TestHeap::lastAllocation());

            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 32, 0u);
            EXPECT_EQ(storedUnderlyingAddress(block), base);
            const std::ptrdiff_t offset = static_cast<std::byte*>(block) - base;
            EXPECT_GE(offset, 8);
            EXPECT_LE(offset, 39);
            EXPECT_LE(offset + bytes, TestHeap::lastRequestBytes()) << "the block ends inside the allocation";
            EXPECT_EQ(TestHeap::liveBlocks(), liveBefore + 1);

            std::memset(block, 0x5A, bytes);  // the whole block is usable
            release(block);
            EXPECT_EQ(TestHeap::liveBlocks(), liveBefore);
        }
    }
}

TEST_P(AlignedMemory, BlockIsTheFirstBoundaryEightBytesIntoTheAllocation) {
    struct Placement {
        int32_t heapOffset;  // heap address modulo 32
        std::ptrdiff_t blockOffset;
    };
    const Placement placements[] = {{0, 32}, {4, 28}, {8, 24}, {16, 16}, {24, 8}, {25, 39}, {31, 33}};
    for (const Allocator& allocator : kAllocators) {
        for (const Placement& p : placements) {
            SCOPED_TRACE(std::string(allocator.name) + " heap offset " + std::to_string(p.heapOffset));
            TestHeap::placeAtOffset(p.heapOffset);
            void* block = allocator.allocate(build(), 5);
            ASSERT_NE(block, nullptr);
            auto* base = static_cast<std::byte*>(TestHeap::lastAllocation());
            ASSERT_EQ(reinterpret_cast<std::uintptr_t>(base) % 32, static_cast<std::uintptr_t>(p.heapOffset));
            EXPECT_EQ(static_cast<std::byte*>(block) - base, p.blockOffset);
            EXPECT_EQ(storedUnderlyingAddress(block), base);
            // The block ends inside the allocation.
            EXPECT_LE(p.blockOffset + 5 * allocator.elementSize, TestHeap::lastRequestBytes());
            release(block);
        }
    }
}

TEST_P(AlignedMemory, NonPositiveLengthGivesNullWithoutAskingTheHeap) {
    for (const Allocator& allocator : kAllocators) {
        for (int32_t length : {0, -1, -32, INT32_MIN}) {
            const int64_t requests = TestHeap::requests();
            EXPECT_EQ(allocator.allocate(build(), length), nullptr) << allocator.name << " " << length;
            EXPECT_EQ(TestHeap::requests(), requests);
        }
    }
}

TEST_P(AlignedMemory, RefusedHeapGivesNull) {
    for (const Allocator& allocator : kAllocators) {
        SCOPED_TRACE(allocator.name);
        const int64_t live = TestHeap::liveBlocks();
        test::ScopedAllocationFailure failNext(1);
        EXPECT_EQ(allocator.allocate(build(), 16), nullptr);
        EXPECT_EQ(TestHeap::liveBlocks(), live);
    }
}

TEST_P(AlignedMemory, LargestLengthIsCountedWithoutOverflow) {
    for (const Allocator& allocator : kAllocators) {
        test::ScopedAllocationFailure failNext(1);  // refuse it rather than reserve gigabytes
        EXPECT_EQ(allocator.allocate(build(), INT32_MAX), nullptr);
        EXPECT_GE(TestHeap::lastRequestBytes(), std::size_t{INT32_MAX} * allocator.elementSize)
            << allocator.name;
    }
}

TEST_P(AlignedMemory, ReleasingNullDoesNothing) {
    const int64_t live = TestHeap::liveBlocks();
    release(nullptr);
    zoveZiva(nullptr);
    EXPECT_EQ(TestHeap::liveBlocks(), live);
}

TEST_P(AlignedMemory, BlockMayBeReleasedOnAnotherThread) {
    const int64_t live = TestHeap::liveBlocks();
    std::vector<void*> blocks;
    for (const Allocator& allocator : kAllocators) blocks.push_back(allocator.allocate(build(), 100));
    std::thread([&] {
        for (void* block : blocks) release(block);
    }).join();
    EXPECT_EQ(TestHeap::liveBlocks(), live);
}

TEST_P(AlignedMemory, EntriesThroughTheirStubsUseTheSelectedBuild) {
    const int64_t live = TestHeap::liveBlocks();
    uint8_t* bytes = vaduRivuro_8v(3);
    float* floats = revoRovara_32z(3);
    int32_t* ints = zaviMalloc_32s(3);
    for (void* block : {static_cast<void*>(bytes), static_cast<void*>(floats), static_cast<void*>(ints)}) {
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 32, 0u);
    }
    EXPECT_EQ(TestHeap::liveBlocks(), live + 3);
    zoveZiva(bytes);
    zoveZiva(floats);
    zoveZiva(ints);
    EXPECT_EQ(TestHeap::liveBlocks(), live);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(AlignedMemory);

}  // namespace
}  // namespace primitives
