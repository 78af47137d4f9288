// Seeded sweep of the drivers (and the entry, where it can express the case)
// against the model.
#include <gtest/gtest.h>

#include "BuildTest.h"
#include "ResizeModel.h"

namespace primitives::test {
namespace {

class ResizeModel : public PerBuildTest {};

PrimitiveStatus runCase(const ResizeCase& c, ResizeBuffers& buffers, int32_t build) {
    if (c.entryShaped()) {
        return zuzuZivere_8d_OZ4O(static_cast<const uint8_t*>(buffers.srcArgument()), {c.srcWidth, c.srcHeight},
                                  c.srcStep, {c.roiX, c.roiY, c.roiWidth, c.roiHeight},
                                  static_cast<uint8_t*>(buffers.dstArgument()), c.dstStep,
                                  {c.dstWidth, c.dstHeight}, c.xFactor, c.yFactor, c.interpolation);
    }
    return generalDriverOf(build)(c.parameters(buffers.srcArgument(), buffers.dstArgument()));
}

TEST_P(ResizeModel, SeededSweepMatchesTheModel) {
    std::mt19937_64 random(0x5EED0019);
    // The generic build's float arithmetic is double precision rounded once:
    // within one unit in the last place of the double model.
    const int floatUlps = build() == buildGeneric ? 1 : 0;
    for (int n = 0; n < sweepCases(2500); ++n) {
        const ResizeCase c = randomResizeCase(random);
        ResizeBuffers buffers(c, random);
        const auto expected = modelResize(c, buffers, arithmeticOf(build()));
        ASSERT_EQ(runCase(c, buffers, build()), primitiveStatusOk) << c.describe();
        ASSERT_TRUE(sameDestination(c, expected, buffers.dst, floatUlps)) << "case " << n;
    }
}

TEST_P(ResizeModel, CubicAndLanczosSweepMatchesTheModel) {
    // Every build equals its own arithmetic's model bit for bit: the generic
    // build the double model, the SIMD builds the single-precision one with
    // their group and tail positions.
    std::mt19937_64 random(0x5EED0030);
    int lanczos = 0;
    for (int n = 0; n < sweepCases(2000); ++n) {
        const ResizeCase c = randomInterpolatingCase(random);
        ResizeBuffers buffers(c, random);
        const auto expected = modelResize(c, buffers, arithmeticOf(build()));
        ASSERT_EQ(runCase(c, buffers, build()), primitiveStatusOk) << c.describe();
        ASSERT_TRUE(sameDestination(c, expected, buffers.dst)) << "case " << n;
        lanczos += modelMethod(c) == resizeInterpolationLanczos;
    }
    EXPECT_GT(lanczos, sweepCases(2000) / 5) << "too few cases stay Lanczos after the lowering";
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeModel);

}  // namespace
}  // namespace primitives::test
