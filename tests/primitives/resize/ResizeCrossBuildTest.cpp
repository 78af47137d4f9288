// The builds against each other on the same seeded inputs: statuses and
// written elements agree for every input; results are identical except in
// float linear interpolation, where the three SSE-class builds agree with
// each other (the generic build is held to the double model instead).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>

#include "BuildTest.h"
#include "ResizeHelpers.h"
#include "ResizeModel.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives::test {
namespace {

class ResizeCrossBuild : public PerBuildTest {
protected:
    // The build that this build must equal bit for bit on a case, or 0.
    int32_t referenceFor(const ResizeCase& c) const {
        const bool floatLinear = c.dataType == resizeData32f && c.interpolation != resizeInterpolationNearest &&
                                 c.srcWidth >= 2 && c.srcHeight >= 2;
        if (!floatLinear) return build() == buildGeneric ? 0 : buildGeneric;
        return build() == buildGeneric || build() == buildSse ? 0 : buildSse;
    }
};

TEST_P(ResizeCrossBuild, ValidCasesGiveTheSameBytes) {
    if (build() == buildGeneric) GTEST_SKIP() << "the reference build";
    std::mt19937_64 random(0xC055);
    int compared = 0;
    for (int n = 0; n < sweepCases(1500); ++n) {
        const ResizeCase c = randomResizeCase(random);
        const ResizeBuffers pristine(c, random);
        const int32_t reference = referenceFor(c);
        if (reference == 0) continue;
        ResizeBuffers mine(pristine);
        ResizeBuffers theirs(pristine);
        ASSERT_EQ(generalDriverOf(build())(c.parameters(mine.srcArgument(), mine.dstArgument())), primitiveStatusOk);
        ASSERT_EQ(generalDriverOf(reference)(c.parameters(theirs.srcArgument(), theirs.dstArgument())),
                  primitiveStatusOk);
        ASSERT_TRUE(sameDestination(c, theirs.dst, mine.dst)) << "against build " << reference;
        ++compared;
    }
    EXPECT_GT(compared, sweepCases(1000));
}

TEST_P(ResizeCrossBuild, AnyArgumentsGiveTheSameStatusAndBytes) {
    // Arguments drawn from small sets that mix valid and invalid values; the
    // buffers are large enough for every valid combination.
    if (build() == buildGeneric) GTEST_SKIP() << "the reference build";
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Each value is valid nine times in ten, so that every check is reached
    // and some hundreds of calls succeed.
    std::mt19937_64 random(0xA11);
    const auto draw = [&random](const auto& valid, const auto& invalid) {
        if (randomInt(random, 0, 9) == 0) return invalid[randomInt(random, 0, std::size(invalid) - 1)];
        return valid[randomInt(random, 0, std::size(valid) - 1)];
    };
    const auto size = [&] { return draw(std::array{1, 2, 3, 9}, std::array{-1, 0}); };
    const auto origin = [&] { return draw(std::array{0, 1, 2}, std::array{-1, 9}); };
    const auto factor = [&] { return draw(std::array{0.3, 1.0, 1.7, inf}, std::array{-1.0, 0.0, nan}); };
    std::vector<uint8_t> src(9 * 9 * 4 * 4);
    for (auto& byte : src) byte = static_cast<uint8_t>(random());
    std::map<PrimitiveStatus, int> seen;
    for (int n = 0; n < 4000; ++n) {
        ResizeCase c;
        c.dataType = randomInt(random, 0, 2);
        c.channels = randomInt(random, 0, 1) ? 4 : 3;
        c.layout = std::array{1, 3, 4}[randomInt(random, 0, 2)];
        if (c.layout == 4) c.channels = 4;
        c.interpolation = draw(std::array{1, 2}, std::array{-1, 0, 3, 4, 8, 16, 17});
        c.factorMode = randomInt(random, 0, 4) == 0 ? 0 : 1;
        c.srcWidth = size();
        c.srcHeight = size();
        c.roiX = origin();
        c.roiY = origin();
        c.roiWidth = size();
        c.roiHeight = size();
        c.dstWidth = size();
        c.dstHeight = size();
        c.xFactor = factor();
        c.yFactor = factor();
        c.srcStep = draw(std::array{9 * 4 * 4}, std::array{0, -4});
        c.dstStep = draw(std::array{9 * 4 * 4}, std::array{0, -16});
        const bool nullSrc = randomInt(random, 0, 30) == 0;
        const bool nullDst = randomInt(random, 0, 30) == 0;
        SCOPED_TRACE(c.describe());

        std::vector<uint8_t> dst[2];
        PrimitiveStatus status[2];
        for (int side = 0; side < 2; ++side) {
            dst[side].assign(9 * 9 * 4 * 4, 0x3C);
            const ResizeParameters p =
                c.parameters(nullSrc ? nullptr : src.data(), nullDst ? nullptr : dst[side].data());
            status[side] = generalDriverOf(side == 0 ? build() : buildGeneric)(p);
        }
        ASSERT_EQ(status[0], status[1]);
        ++seen[status[0]];
        if (status[0] != primitiveStatusOk) {
            ASSERT_EQ(dst[0], std::vector<uint8_t>(dst[0].size(), 0x3C)) << "status " << status[0];
        }
        const bool floatLinear = c.dataType == resizeData32f && c.interpolation == resizeInterpolationLinear;
        if (!floatLinear) {
            ASSERT_EQ(dst[0], dst[1]);
        }
    }
    // The draw reaches every check and many successful calls.
    for (const PrimitiveStatus status : {primitiveStatusNullPointer, primitiveStatusBadSize, primitiveStatusBadRowStep,
                                         primitiveStatusNoRoiIntersection, primitiveStatusBadResizeFactor,
                                         primitiveStatusBadInterpolation}) {
        EXPECT_GT(seen[status], 40) << "status " << status;
    }
    EXPECT_GT(seen[primitiveStatusOk], 400);
}

TEST_P(ResizeCrossBuild, StretchGivesTheSameBytesOnEveryBuild) {
    std::mt19937_64 random(0x57E7);
    for (int n = 0; n < 60; ++n) {
        const int32_t srcWidth = randomInt(random, 1, 70);
        const int32_t srcHeight = randomInt(random, 1, 40);
        const int32_t dstWidth = randomInt(random, 1, 90);
        const int32_t dstHeight = randomInt(random, 1, 50);
        std::vector<uint8_t> src(static_cast<std::size_t>(srcWidth) * srcHeight * 4);
        for (auto& byte : src) byte = static_cast<uint8_t>(random());
        std::vector<uint8_t> results[2];
        for (int side = 0; side < 2; ++side) {
            results[side].assign(static_cast<std::size_t>(dstWidth) * dstHeight * 4, 0x11);
            const int32_t b = side == 0 ? build() : buildGeneric;
            ASSERT_EQ(stretchTwice(zuzuZivere_8d_OZ4O_dispatch.table[b], src.data(), srcWidth * 4, srcWidth,
                                   srcHeight, results[side].data(), dstWidth * 4, dstWidth, dstHeight),
                      primitiveStatusOk);
        }
        ASSERT_EQ(results[0], results[1]) << srcWidth << "x" << srcHeight << " -> " << dstWidth << "x" << dstHeight;
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeCrossBuild);

}  // namespace
}  // namespace primitives::test
