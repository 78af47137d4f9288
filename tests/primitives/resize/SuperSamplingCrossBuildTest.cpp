// The four builds' area averaging on the same seeded inputs: the same
// statuses and written elements everywhere; 8-bit and 16-bit results
// identical; float results identical between the generic and SSE builds and
// between the two SSE2-class builds, the pairs differing only where the
// SSE2-class one-channel column sums take their last columns in double.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <map>

#include "BuildTest.h"
#include "SuperSamplingModel.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives::test {
namespace {

class SuperSamplingCrossBuild : public PerBuildTest {
protected:
    // Runs the build's entry body when the entry can express the case, else
    // the build's driver.
    static PrimitiveStatus run(int32_t build, const ResizeCase& c, ResizeBuffers& buffers) {
        if (superSamplingEntryShaped(c)) {
            return zuzuZivere_8d_OZ4O_dispatch.table[build](
                static_cast<const uint8_t*>(buffers.srcArgument()), {c.srcWidth, c.srcHeight}, c.srcStep,
                {c.roiX, c.roiY, c.roiWidth, c.roiHeight}, static_cast<uint8_t*>(buffers.dstArgument()), c.dstStep,
                {c.dstWidth, c.dstHeight}, c.xFactor, c.yFactor, resizeInterpolationSuperSampling);
        }
        return superSamplingDriverOf(build)(superSamplingParameters(c, buffers.srcArgument(), buffers.dstArgument()));
    }
};

// Whether destination column j of a case reads one of the last srcColumns
// mod 16 columns of a one-channel case-BothWhole float call.
bool readsFloatTail(const ResizeCase& c, const SuperSamplingShape& shape, int64_t j) {
    if (c.dataType != resizeData32f || shape.samplingCase != 0 || !(c.planar || c.layout == 1)) return false;
    const int64_t n = shape.srcColumns;
    const auto boxWidth = static_cast<int64_t>(shape.x.inverse);
    const int64_t first = j * boxWidth;
    return first + boxWidth > n - n % 16 && first < n;
}

// Elements of `mine` that differ from `theirs` must be float elements of
// destination columns that read a tail column; returns how many differ.
int64_t checkTailDifferences(const ResizeCase& c, const std::vector<std::vector<uint8_t>>& mine,
                             const std::vector<std::vector<uint8_t>>& theirs) {
    const SuperSamplingShape shape = superSamplingShapeOf(c);
    int64_t differing = 0;
    for (std::size_t plane = 0; plane < mine.size(); ++plane) {
        for (std::size_t at = 0; at + 4 <= mine[plane].size(); at += 4) {
            if (std::memcmp(&mine[plane][at], &theirs[plane][at], 4) == 0) continue;
            ++differing;
            const int64_t column = static_cast<int64_t>(at % c.dstStep) / 4;  // one value per pixel
            EXPECT_TRUE(readsFloatTail(c, shape, column))
                << "plane " << plane << " row " << at / c.dstStep << " column " << column << ": " << c.describe();
        }
    }
    return differing;
}

TEST_P(SuperSamplingCrossBuild, ValidCasesFollowTheCrossBuildRules) {
    if (build() == buildGeneric) GTEST_SKIP() << "the reference build";
    std::mt19937_64 random(0xC0531);
    int64_t tailDifferences = 0;
    int comparedWithTheOtherPair = 0;
    for (int n = 0; n < sweepCases(1500); ++n) {
        const ResizeCase c = randomSuperSamplingCase(random);
        ResizeBuffers pristine(c, random);
        for (const bool exactSums : {false, true}) {
            if (exactSums) {
                // Small whole floats: every column sum exact in single precision.
                if (c.dataType != resizeData32f) break;
                for (auto& plane : pristine.src) {
                    for (std::size_t at = 0; at + 4 <= plane.size(); at += 4) {
                        writeElement(&plane[at], static_cast<float>(static_cast<int32_t>(random() % 512) - 256));
                    }
                }
            }
            ResizeBuffers mine(pristine);
            ResizeBuffers generic(pristine);
            ASSERT_EQ(run(build(), c, mine), primitiveStatusOk) << c.describe();
            ASSERT_EQ(run(buildGeneric, c, generic), primitiveStatusOk) << c.describe();
            const bool pairsMayDiffer = c.dataType == resizeData32f && build() >= buildSse2 && !exactSums;
            if (!pairsMayDiffer) {
                ASSERT_TRUE(sameDestination(c, generic.dst, mine.dst)) << "against generic, exact " << exactSums;
            } else {
                tailDifferences += checkTailDifferences(c, mine.dst, generic.dst);
                ++comparedWithTheOtherPair;
            }
            const int32_t twin = build() == buildSse3 ? buildSse2 : build() == buildSse ? buildGeneric : 0;
            if (twin != 0) {
                ResizeBuffers theirs(pristine);
                ASSERT_EQ(run(twin, c, theirs), primitiveStatusOk);
                ASSERT_TRUE(sameDestination(c, theirs.dst, mine.dst)) << "against build " << twin;
            }
        }
    }
    if (build() >= buildSse2) {
        EXPECT_GT(comparedWithTheOtherPair, sweepCases(1500) / 10);
        EXPECT_GT(tailDifferences, 0) << "the sweep never reached a tail column that rounds differently";
    }
}

TEST_P(SuperSamplingCrossBuild, AnyArgumentsGiveTheSameStatusAndBytes) {
    // Arguments drawn from small sets that mix valid and invalid values; the
    // buffers are large enough for every valid combination.
    if (build() == buildGeneric) GTEST_SKIP() << "the reference build";
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::mt19937_64 random(0xA31);
    const auto draw = [&random](const auto& valid, const auto& invalid) {
        if (randomInt(random, 0, 9) == 0) return invalid[randomInt(random, 0, std::size(invalid) - 1)];
        return valid[randomInt(random, 0, std::size(valid) - 1)];
    };
    const auto size = [&] { return draw(std::array{1, 2, 3, 9}, std::array{-1, 0}); };
    const auto origin = [&] { return draw(std::array{0, 1, 2}, std::array{-1, 9}); };
    const auto factor = [&] { return draw(std::array{0.3, 0.5, 1.0, 1e-9}, std::array{-1.0, 0.0, -0.0, nan}); };
    std::vector<uint8_t> src(9 * 9 * 5 * 4);
    for (auto& byte : src) byte = static_cast<uint8_t>(random());
    std::map<PrimitiveStatus, int> seen;
    for (int n = 0; n < 4000; ++n) {
        ResizeCase c;
        c.dataType = draw(std::array{0, 1, 2}, std::array{-1, 3});
        c.layout = std::array{1, 2, 3, 4}[randomInt(random, 0, 3)];
        c.channels = c.layout == 1 ? 1 : c.layout == 4 ? 4 : randomInt(random, 3, 5);
        c.planar = randomInt(random, 0, 4) == 0;
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
        c.srcStep = draw(std::array{9 * 5 * 4}, std::array{0, -4});
        c.dstStep = draw(std::array{9 * 5 * 4}, std::array{0, -16});
        const bool nullSrc = randomInt(random, 0, 30) == 0;
        const bool nullDst = randomInt(random, 0, 30) == 0;
        SCOPED_TRACE(c.describe());

        std::vector<uint8_t> dst[2][4];
        PrimitiveStatus status[2];
        for (int side = 0; side < 2; ++side) {
            const void* srcPlanes[4] = {src.data(), src.data(), src.data(), src.data()};
            void* dstPlanes[4];
            for (int plane = 0; plane < 4; ++plane) {
                dst[side][plane].assign(9 * 9 * 5 * 4, 0x3C);
                dstPlanes[plane] = dst[side][plane].data();
            }
            const void* srcArgument = c.planar ? static_cast<const void*>(srcPlanes) : src.data();
            void* dstArgument = c.planar ? static_cast<void*>(dstPlanes) : dst[side][0].data();
            status[side] = superSamplingDriverOf(side == 0 ? build() : buildGeneric)(
                superSamplingParameters(c, nullSrc ? nullptr : srcArgument, nullDst ? nullptr : dstArgument));
        }
        ASSERT_EQ(status[0], status[1]);
        ++seen[status[0]];
        for (int plane = 0; plane < 4; ++plane) {
            if (status[0] != primitiveStatusOk || (c.dataType < 0 || c.dataType > 2)) {
                ASSERT_EQ(dst[0][plane], std::vector<uint8_t>(dst[0][plane].size(), 0x3C)) << "status " << status[0];
            }
            if (c.dataType != resizeData32f) {
                ASSERT_EQ(dst[0][plane], dst[1][plane]);
            }
        }
    }
    // The draw reaches every check and many successful calls.
    for (const PrimitiveStatus status : {primitiveStatusNullPointer, primitiveStatusBadSize, primitiveStatusBadRowStep,
                                         primitiveStatusNoRoiIntersection, primitiveStatusBadResizeFactor}) {
        EXPECT_GT(seen[status], 40) << "status " << status;
    }
    EXPECT_GT(seen[primitiveStatusOk], 400);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(SuperSamplingCrossBuild);

}  // namespace
}  // namespace primitives::test
