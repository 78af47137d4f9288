// Each working allocation of a driver call failing in turn.
#include <gtest/gtest.h>

#include "BuildTest.h"
#include "ResizeModel.h"
#include "TestHeap.h"

namespace primitives::test {
namespace {

class ResizeAllocFailure : public PerBuildTest {};

TEST_P(ResizeAllocFailure, EveryAllocationFailingGivesMinus9AndReleasesTheRest) {
    // Nearest takes the row offsets and column indexes; linear also the two
    // weight tables and two row buffers; cubic two fraction tables and four
    // row buffers; Lanczos two fraction tables, six row buffers and the
    // column and row tap weights.
    struct Row {
        int32_t method;
        int64_t allocations;
    };
    const Row rows[] = {{resizeInterpolationNearest, 2},
                        {resizeInterpolationLinear, 6},
                        {resizeInterpolationCubic, 8},
                        {resizeInterpolationLanczos, 12}};
    std::mt19937_64 random(21);
    for (const Row& row : rows) {
        for (int32_t dataType = 0; dataType < 3; ++dataType) {
            const ResizeCase c = packedResizeCase(dataType, 4, 3, row.method, 9, 8, 20, 11);
            SCOPED_TRACE(c.describe());
            const ResizeBuffers pristine(c, random);

            // A call that succeeds makes exactly that many requests.
            ResizeBuffers succeeded(pristine);
            const int64_t live = TestHeap::liveBlocks();
            const int64_t requests = TestHeap::requests();
            ASSERT_EQ(generalDriverOf(build())(c.parameters(succeeded.srcArgument(), succeeded.dstArgument())),
                      primitiveStatusOk);
            EXPECT_EQ(TestHeap::requests() - requests, row.allocations);
            EXPECT_EQ(TestHeap::liveBlocks(), live);

            for (int64_t failing = 1; failing <= row.allocations; ++failing) {
                SCOPED_TRACE(::testing::Message() << "allocation " << failing << " fails");
                ResizeBuffers buffers(pristine);
                {
                    ScopedAllocationFailure failure(failing);
                    EXPECT_EQ(generalDriverOf(build())(c.parameters(buffers.srcArgument(), buffers.dstArgument())),
                              primitiveStatusAllocationFailed);
                }
                EXPECT_EQ(buffers.dst, pristine.dst) << "the destination was written";
                EXPECT_EQ(TestHeap::liveBlocks(), live) << "a block was not released";
            }
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeAllocFailure);

}  // namespace
}  // namespace primitives::test
