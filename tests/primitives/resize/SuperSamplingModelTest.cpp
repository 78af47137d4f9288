// Seeded sweep of the area averaging, through the entry where it can express
// the case and the build's driver otherwise, against both models.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "BuildTest.h"
#include "SuperSamplingModel.h"

namespace primitives::test {
namespace {

class SuperSamplingModel : public PerBuildTest {};

PrimitiveStatus runSuperSampling(const ResizeCase& c, ResizeBuffers& buffers, int32_t build) {
    if (superSamplingEntryShaped(c)) {
        return zuzuZivere_8d_OZ4O(static_cast<const uint8_t*>(buffers.srcArgument()), {c.srcWidth, c.srcHeight},
                                  c.srcStep, {c.roiX, c.roiY, c.roiWidth, c.roiHeight},
                                  static_cast<uint8_t*>(buffers.dstArgument()), c.dstStep,
                                  {c.dstWidth, c.dstHeight}, c.xFactor, c.yFactor, resizeInterpolationSuperSampling);
    }
    return superSamplingDriverOf(build)(superSamplingParameters(c, buffers.srcArgument(), buffers.dstArgument()));
}

bool powerOfTwo(double v) {
    int exponent;
    return std::frexp(v, &exponent) == 0.5;
}

TEST_P(SuperSamplingModel, SeededSweepMatchesTheSchemeAndStaysWithinOneLevelOfCoverage) {
    std::mt19937_64 random(0x5EED0031);
    std::set<int32_t> cases;
    int exactCoverageCases = 0;
    for (int n = 0; n < sweepCases(3000); ++n) {
        const ResizeCase c = randomSuperSamplingCase(random);
        ResizeBuffers buffers(c, random);
        const SuperSamplingShape shape = superSamplingShapeOf(c);
        cases.insert(shape.samplingCase);
        const auto expected = modelSuperSampling(c, buffers, doubleTailOf(build()));
        const bool integers = c.dataType != resizeData32f;
        const auto coverage = integers ? coverageSuperSampling(c, buffers) : buffers.dst;

        ASSERT_EQ(runSuperSampling(c, buffers, build()), primitiveStatusOk) << c.describe();
        ASSERT_TRUE(sameDestination(c, expected, buffers.dst)) << "case " << n;
        if (!integers) continue;
        const int64_t difference = largestLevelDifference(c, coverage, buffers.dst);
        ASSERT_LE(difference, 1) << "against coverage, " << c.describe();
        // Power-of-two boxes summed exactly round exactly as the definition.
        const bool exact = shape.samplingCase == 0 && powerOfTwo(shape.x.inverse) && powerOfTwo(shape.y.inverse) &&
                           shape.x.scaleFactor == c.xFactor && shape.y.scaleFactor == c.yFactor;
        if (exact) {
            ++exactCoverageCases;
            ASSERT_EQ(difference, 0) << "against coverage, " << c.describe();
        }
    }
    EXPECT_EQ(cases.size(), 4u);
    EXPECT_GT(exactCoverageCases, sweepCases(3000) / 150);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(SuperSamplingModel);

}  // namespace
}  // namespace primitives::test
