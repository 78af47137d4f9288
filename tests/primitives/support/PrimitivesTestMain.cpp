// Test main of the primitives tests: notes the build index before anything
// can change it and puts the counting test heap under the allocators.
#include <gtest/gtest.h>

#include "BuildTest.h"
#include "TestHeap.h"

namespace {
int32_t indexAtStart = -1;
}

int32_t primitives::test::buildIndexAtProgramStart() { return indexAtStart; }

int main(int argc, char** argv) {
    indexAtStart = CpuDispatchIndex.load();
    primitives::test::TestHeap::install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
