// The one accumulator of a call failing to allocate.
#include <gtest/gtest.h>

#include "BuildTest.h"
#include "SuperSamplingModel.h"
#include "TestHeap.h"

namespace primitives::test {
namespace {

class SuperSamplingAllocFailure : public PerBuildTest {};

TEST_P(SuperSamplingAllocFailure, FailedAccumulatorGivesMinus9AndWritesNothing) {
    // Every data type, whole (0.5) and fractional (0.4) boxes, interleaved
    // and planar: a call makes exactly one request; when it fails, -9, no
    // plane written, no block left.
    std::mt19937_64 random(41);
    for (int32_t dataType = 0; dataType < 3; ++dataType) {
        for (const double factor : {0.5, 0.4}) {
            for (const bool planar : {false, true}) {
                ResizeCase c = packedResizeCase(dataType, planar ? 1 : 4, planar ? 4 : 3,
                                                resizeInterpolationSuperSampling, 11, 9, 5, 4);
                c.planar = planar;
                c.xFactor = c.yFactor = factor;
                SCOPED_TRACE(c.describe());
                const ResizeBuffers pristine(c, random);
                const int64_t live = TestHeap::liveBlocks();

                ResizeBuffers succeeded(pristine);
                const int64_t requests = TestHeap::requests();
                ASSERT_EQ(superSamplingDriverOf(build())(
                              superSamplingParameters(c, succeeded.srcArgument(), succeeded.dstArgument())),
                          primitiveStatusOk);
                EXPECT_EQ(TestHeap::requests() - requests, 1);
                EXPECT_EQ(TestHeap::liveBlocks(), live);
                EXPECT_NE(succeeded.dst, pristine.dst);

                ResizeBuffers failed(pristine);
                {
                    ScopedAllocationFailure failure(1);
                    EXPECT_EQ(superSamplingDriverOf(build())(
                                  superSamplingParameters(c, failed.srcArgument(), failed.dstArgument())),
                              primitiveStatusAllocationFailed);
                }
                EXPECT_EQ(failed.dst, pristine.dst) << "a plane was written";
                EXPECT_EQ(TestHeap::liveBlocks(), live);
            }
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(SuperSamplingAllocFailure);

}  // namespace
}  // namespace primitives::test
