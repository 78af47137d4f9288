// zaviVectorRamp_32f: each build against its own formula, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "VectorTestSupport.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives::test {
namespace {

class VectorRamp : public PerBuildTest {
protected:
    // The generic build rounds once (double product and sum); the SIMD builds
    // round the index, the product and the sum to float.
    float expected(int64_t i, float offset, float slope) const {
        if (build() == buildGeneric) {
            return static_cast<float>(static_cast<double>(offset) + static_cast<double>(slope) * static_cast<double>(i));
        }
        const float product = static_cast<float>(i) * slope;
        return product + offset;
    }

    void checkRamp(int64_t n, int offset, float start, float slope) {
        SCOPED_TRACE("length " + std::to_string(n) + " offset " + std::to_string(offset) + " start " +
                     describeFloat(start) + " slope " + describeFloat(slope));
        const std::size_t bytes = static_cast<std::size_t>(n) * 4;
        ByteArena& arena = arena_.reserve(bytes + 16, 1);
        ASSERT_EQ(body(zaviVectorRamp_32f_dispatch)(arena.floatsAt(offset), int32_t(n), start, slope), 0);
        EXPECT_TRUE(arena.unchangedOutside(arena_.before, offset, bytes));
        // Long ramps: the ends, where the blocks start and stop, and a sample
        // of the middle (the per-element paths are covered by short ramps).
        const bool sampled = n > (int64_t{1} << 20);
        for (int64_t i = 0; i < n; i = !sampled || i < 4096 || i >= n - 4096 ? i + 1 : std::min(i + 997, n - 4096)) {
            const float got = loadFloat(arena.at(offset + 4 * i));
            const float want = expected(i, start, slope);
            if (bitsOf(got) != bitsOf(want)) {
                FAIL() << "element " << i << ": got " << describeFloat(got) << ", want " << describeFloat(want);
            }
        }
        arena.restoreRange(arena_.before, offset, bytes);
    }

private:
    ReusableArena arena_;
};

TEST_P(VectorRamp, EachElementFollowsTheBuildsFormula) {
    // 0.1f and 1/3 are inexact, so the two formulas round differently; a
    // start far from zero cancels against the product.
    const std::pair<float, float> ramps[] = {{0.0f, 1.0f}, {1.5f, 0.1f}, {-100000.0f, 0.1f}, {3.0f, -1.0f / 3.0f}};
    for (const auto& [start, slope] : ramps) {
        for (int64_t n : {1, 2, 3, 10, 11, 12, 19, 1000}) {
            for (int offset : {0, 4, 8, 12, 1, 2}) checkRamp(n, offset, start, slope);
        }
    }
}

TEST_P(VectorRamp, InfiniteSlopeGivesNaNFirstThenInfinities) {
    for (int64_t n : {1, 11, 40}) {
        checkRamp(n, 0, 2.0f, INFINITY);
        std::vector<float> v(static_cast<std::size_t>(n));
        ASSERT_EQ(body(zaviVectorRamp_32f_dispatch)(v.data(), int32_t(n), 2.0f, -INFINITY), 0);
        EXPECT_TRUE(std::isnan(v[0]));
        for (std::size_t i = 1; i < v.size(); ++i) EXPECT_EQ(v[i], -INFINITY) << i;
    }
}

// Above 2^24 float(i) is itself rounded in the SIMD builds.
TEST_P(VectorRamp, IndicesAbove2To24) {
    checkRamp((int64_t{1} << 24) + 37, 4, 0.25f, 1.0f);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(VectorRamp);

}  // namespace
}  // namespace primitives::test
