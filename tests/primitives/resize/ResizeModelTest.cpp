// Seeded sweep of the drivers (and the entry, where it can express the case)
// against the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "BuildTest.h"
#include "ResizeModel.h"
#include "primitives/resize/LanczosKernelTable.h"

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

TEST_P(ResizeModel, FormulasMatchTheirClosedForms) {
    // The model's cubic against the Lagrange polynomial through the four
    // points, in long double.
    std::mt19937_64 random(0xF0);
    for (int n = 0; n < 20000; ++n) {
        long double p[4];
        for (auto& v : p) v = randomDouble(random, -70000.0, 70000.0);
        const double t = n % 8 == 0 ? std::array{-1.0, 0.0, 1.0, 2.0}[n / 8 % 4] : randomDouble(random, -1.0, 2.0);
        const long double x = t;
        const long double lagrange = -p[0] * x * (x - 1) * (x - 2) / 6 + p[1] * (x + 1) * (x - 1) * (x - 2) / 2 -
                                     p[2] * (x + 1) * x * (x - 2) / 2 + p[3] * (x + 1) * x * (x - 1) / 6;
        const double scale = 1.0 + std::max({std::fabs(double(p[0])), std::fabs(double(p[1])), std::fabs(double(p[2])),
                                             std::fabs(double(p[3]))});
        const double value = modelCubic(double(p[0]), double(p[1]), double(p[2]), double(p[3]), t);
        ASSERT_NEAR(value, double(lagrange), 1e-9 * scale) << "t " << t;
    }
    // Every table entry within 1e-7 of the kernel; the library's table is
    // the model's, bit for bit, signs of its zeros included.
    const std::vector<float>& table = modelLanczosTable();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(kLanczosKernelEntries));
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int i = 0; i < kLanczosKernelEntries; ++i) {
        const long double x = i / 100.0L;
        const long double kernel =
            i == 0 ? 1.0L : i >= 300 ? 0.0L : 3.0L * std::sin(pi * x) * std::sin(pi * x / 3.0L) / (pi * x * pi * x);
        EXPECT_NEAR(double(table[i]), double(kernel), 1e-7) << i;
        EXPECT_EQ(std::bit_cast<uint32_t>(table[i]), std::bit_cast<uint32_t>(LanczosKernelTable[i])) << i;
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeModel);

}  // namespace
}  // namespace primitives::test
