// The graph's blocks come from the primitives' aligned allocators; this
// program links them onto the test heap, which can refuse a chosen request.
#include "FrameworkTest.h"
#include "TestHeap.h"

#include "framework/GUIGraph.h"

#include <memory>

namespace {

using primitives::test::ScopedAllocationFailure;
using primitives::test::TestHeap;

constexpr int graphBlocks = 6;  // two value rows, two row ends, two clip flags

class GUIGraphMemoryTest : public FrameworkTest {};

TEST_F(GUIGraphMemoryTest, ARefusedBlockStopsTheProgramAndKeepsNothing) {
    const std::int64_t before = TestHeap::liveBlocks();
    for (int refused = 1; refused <= graphBlocks; ++refused) {
        SCOPED_TRACE(refused);
        const std::int64_t requests = TestHeap::requests();
        try {
            ScopedAllocationFailure failure(refused);
            GUIGraph graph(0, 0, 64, 40, -1.0f, 1.0f, nullptr);
            ADD_FAILURE() << "the graph was built without its block";
        } catch (const FatalStop& stop) {
            EXPECT_STREQ(stop.what(), "Not enough memory.");
            EXPECT_EQ(stop.source.substr(stop.source.find_last_of('/') + 1), "GUIGraph.cpp");
        }
        EXPECT_EQ(TestHeap::requests() - requests, graphBlocks) << "every block is asked for before the check";
        EXPECT_EQ(TestHeap::liveBlocks(), before) << "the blocks that were given are released";
    }
}

TEST_F(GUIGraphMemoryTest, AGraphHoldsItsBlocksUntilItIsDeleted) {
    const std::int64_t before = TestHeap::liveBlocks();
    {
        ScopedAllocationFailure failure(graphBlocks + 1);  // the first request after the graph's
        auto graph = std::make_unique<GUIGraph>(0, 0, 64, 40, -1.0f, 1.0f, nullptr);
        EXPECT_EQ(TestHeap::liveBlocks() - before, graphBlocks);
        EXPECT_EQ(graph->rowBottom(63), 39);
    }
    EXPECT_EQ(TestHeap::liveBlocks(), before);
}

}  // namespace
