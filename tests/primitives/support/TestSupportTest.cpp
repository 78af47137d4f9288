// The primitives test harness itself: what later tests rely on to see faults.
#include <gtest/gtest.h>

#include "GuardedBuffer.h"
#include "TestHeap.h"
#include "primitives.h"

namespace primitives::test {
namespace {

TEST(GuardedBuffer, TellsWritesInsideFromWritesOutside) {
    GuardedBuffer<float> buffer(5);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % 32, 0u);
    EXPECT_TRUE(buffer.untouched());

    buffer[4] = 1.0f;
    EXPECT_FALSE(buffer.untouched());
    EXPECT_TRUE(buffer.guardsIntact());

    GuardedBuffer<float> overrun(5);
    reinterpret_cast<unsigned char*>(overrun.data() + 5)[0] = 0;  // first byte past the end
    EXPECT_FALSE(overrun.guardsIntact());

    GuardedBuffer<float> underrun(5);
    reinterpret_cast<unsigned char*>(underrun.data())[-1] = 0;
    EXPECT_FALSE(underrun.guardsIntact());
}

TEST(TestHeap, FailsExactlyTheChosenAllocation) {
    const int64_t live = TestHeap::liveBlocks();
    {
        ScopedAllocationFailure failThird(3);
        float* first = revoRovara_32z(4);
        float* second = revoRovara_32z(4);
        float* third = revoRovara_32z(4);
        float* fourth = revoRovara_32z(4);
        EXPECT_NE(first, nullptr);
        EXPECT_NE(second, nullptr);
        EXPECT_EQ(third, nullptr);
        EXPECT_NE(fourth, nullptr);
        EXPECT_EQ(TestHeap::liveBlocks(), live + 3);
        for (float* block : {first, second, fourth}) zoveZiva(block);
    }
    EXPECT_EQ(TestHeap::liveBlocks(), live);
    float* after = revoRovara_32z(4);
    EXPECT_NE(after, nullptr) << "the failure does not outlive its scope";
    zoveZiva(after);
}

}  // namespace
}  // namespace primitives::test
