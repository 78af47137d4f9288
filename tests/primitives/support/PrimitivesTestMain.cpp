// Test main of the primitives tests: notes the build index before anything
// can change it.
#include <gtest/gtest.h>

#include "BuildTest.h"

namespace {
int32_t indexAtStart = -1;
}

int32_t primitives::test::buildIndexAtProgramStart() { return indexAtStart; }

int main(int argc, char** argv) {
    indexAtStart = CpuDispatchIndex.load();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
