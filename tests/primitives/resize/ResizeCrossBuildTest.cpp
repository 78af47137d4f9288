// The builds against each other on the same seeded inputs: statuses and
// written elements agree for every input. Nearest and linear results are
// identical except in float linear interpolation, where the three SSE-class
// builds agree with each other (the generic build is held to the double
// model instead). Cubic and Lanczos follow the rules of their arithmetic:
// identical where two builds share it, otherwise 8/16-bit values within 1
// and floats within 1e-5 (1 + the largest sample magnitude).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

#include "BuildTest.h"
#include "ResizeHelpers.h"
#include "ResizeModel.h"
#include "primitives/core/DispatchRecords.h"
#include "primitives/resize/LanczosWeights.h"

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
        c.interpolation = draw(std::array{1, 2, 4, 16}, std::array{-1, 0, 3, 5, 8, 15, 17});
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
        // Nearest and integer linear results are identical; the others are
        // compared by the sweeps below.
        const int32_t method = modelMethod(c);
        const bool exact = method == resizeInterpolationNearest ||
                           (method == resizeInterpolationLinear && c.dataType != resizeData32f);
        if (status[0] == primitiveStatusOk && exact) {
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

// How two builds' cubic or Lanczos results must relate on a case.
enum class Agreement { identical, withinOne };

Agreement cubicAgreement(const ResizeCase& c, int32_t a, int32_t b) {
    const auto family = [](int32_t build) { return build == buildSse3 ? buildSse2 : build; };
    if (family(a) == family(b)) return Agreement::identical;
    // SSE and the SSE2 class share every one-channel pass (planes included);
    // only their multi-channel horizontal passes differ.
    const bool oneValue = c.planar || c.layout == 1;
    if (a != buildGeneric && b != buildGeneric && oneValue) return Agreement::identical;
    return Agreement::withinOne;
}

Agreement lanczosAgreement(const ResizeCase& c, int32_t a, int32_t b) {
    const auto family = [](int32_t build) { return build == buildSse3 ? buildSse2 : build; };
    if (family(a) == family(b)) return Agreement::identical;
    // The SIMD builds share their weights and their single-precision sums
    // of float data.
    if (a != buildGeneric && b != buildGeneric && c.dataType == resizeData32f) return Agreement::identical;
    return Agreement::withinOne;
}

// Every element within 1 (8/16-bit) or within 1e-5 (1 + largest source
// magnitude) (float).
::testing::AssertionResult withinOne(const ResizeCase& c, const ResizeBuffers& source,
                                     const std::vector<std::vector<uint8_t>>& a,
                                     const std::vector<std::vector<uint8_t>>& b) {
    const std::size_t es = c.elementSize();
    double largest = 0.0;
    if (c.dataType == resizeData32f) {
        for (const auto& plane : source.src) {
            for (std::size_t at = 0; at + 4 <= plane.size(); at += 4) {
                float v;
                std::memcpy(&v, &plane[at], 4);
                largest = std::max(largest, std::fabs(double{v}));
            }
        }
    }
    for (std::size_t plane = 0; plane < a.size(); ++plane) {
        for (std::size_t at = 0; at + es <= a[plane].size(); at += es) {
            if (std::memcmp(&a[plane][at], &b[plane][at], es) == 0) continue;  // also the unwritten fill
            double x, y;
            if (c.dataType == resizeData8u) {
                x = a[plane][at], y = b[plane][at];
            } else if (c.dataType == resizeData16u) {
                uint16_t u, v;
                std::memcpy(&u, &a[plane][at], 2);
                std::memcpy(&v, &b[plane][at], 2);
                x = u, y = v;
            } else {
                float u, v;
                std::memcpy(&u, &a[plane][at], 4);
                std::memcpy(&v, &b[plane][at], 4);
                x = u, y = v;
            }
            const double bound = c.dataType == resizeData32f ? 1e-5 * (1.0 + largest) : 1.0;
            if (!(std::fabs(x - y) <= bound)) {
                return ::testing::AssertionFailure() << "plane " << plane << " element " << at / es << ": " << x
                                                     << " against " << y << " (" << c.describe() << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_P(ResizeCrossBuild, CubicAndLanczosFollowTheirArithmetic) {
    // This build against every other on the same cases.
    std::mt19937_64 random(0xC030);
    int compared[2] = {};
    for (int n = 0; n < sweepCases(600); ++n) {
        const ResizeCase c = randomInterpolatingCase(random);
        const int32_t method = modelMethod(c);
        if (method != resizeInterpolationCubic && method != resizeInterpolationLanczos) continue;
        const ResizeBuffers pristine(c, random);
        std::vector<std::vector<uint8_t>> results[kLastBuild + 1];
        for (int32_t b = kFirstBuild; b <= kLastBuild; ++b) {
            ResizeBuffers buffers(pristine);
            ASSERT_EQ(generalDriverOf(b)(c.parameters(buffers.srcArgument(), buffers.dstArgument())), primitiveStatusOk);
            results[b] = buffers.dst;
        }
        for (int32_t other = kFirstBuild; other <= kLastBuild; ++other) {
            if (other == build()) continue;
            const Agreement rule = method == resizeInterpolationCubic ? cubicAgreement(c, build(), other)
                                                                      : lanczosAgreement(c, build(), other);
            SCOPED_TRACE(::testing::Message() << "against " << buildName(other));
            if (rule == Agreement::identical) {
                ASSERT_TRUE(sameDestination(c, results[other], results[build()]));
            } else {
                ASSERT_TRUE(withinOne(c, pristine, results[other], results[build()]));
            }
        }
        ++compared[method == resizeInterpolationLanczos];
    }
    EXPECT_GT(compared[0], sweepCases(600) / 4);
    EXPECT_GT(compared[1], sweepCases(600) / 4);
}

TEST_P(ResizeCrossBuild, AnInfinitySpreadsOverEveryValueWhoseTapsReadIt) {
    // One infinite sample at (3, 3) of an 8 x 8 float image, Lanczos at
    // factor 1: each destination value takes its six rows and columns
    // y - 2 ... y + 3, clamped, so the values at rows and columns 0 ... 5 read
    // it (most with a weight of +-0) and are not finite; the rest are the
    // samples.
    std::vector<float> src(64), dst(64, 0.0f);
    for (int e = 0; e < 64; ++e) src[e] = static_cast<float>(e % 7) - 2.5f;
    src[3 * 8 + 3] = std::numeric_limits<float>::infinity();
    ResizeCase c = packedResizeCase(resizeData32f, 1, 1, resizeInterpolationLanczos, 8, 8, 8, 8);
    ASSERT_EQ(generalDriverOf(build())(c.parameters(src.data(), dst.data())), primitiveStatusOk);
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 8; ++j) {
            if (i <= 5 && j <= 5) {
                EXPECT_FALSE(std::isfinite(dst[8 * i + j])) << i << "," << j;
            } else {
                EXPECT_EQ(dst[8 * i + j], src[8 * i + j]) << i << "," << j;
            }
        }
    }
}

TEST_P(ResizeCrossBuild, NonFiniteFloatsKeepTheirModelsAndAgreeInFiniteness) {
    // Infinities and NaNs among float samples. Each build equals its own
    // model: NaN where it has NaN, every other value (infinities included)
    // identical. Builds agree on which values are finite: a non-finite tap
    // makes its value non-finite whatever its weight (infinity times 0 is
    // NaN), but whether that is NaN or infinite can differ, since the
    // generic build gives a tap just under 3 away a tiny weight where the
    // others give it 0.
    std::mt19937_64 random(0x1AF);
    const float specials[] = {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN()};
    for (int n = 0; n < sweepCases(200); ++n) {
        ResizeCase c = randomInterpolatingCase(random);
        const int32_t drawnSize = c.elementSize();
        c.dataType = resizeData32f;
        c.srcStep = c.srcStep / drawnSize * 4;
        c.dstStep = c.dstStep / drawnSize * 4;
        const int32_t method = modelMethod(c);
        if (method != resizeInterpolationCubic && method != resizeInterpolationLanczos) continue;
        ResizeBuffers pristine(c, random);
        for (auto& plane : pristine.src) {
            const int specialCount = randomInt(random, 1, 3);
            for (int k = 0; k < specialCount; ++k) {
                const std::size_t at = 4 * static_cast<std::size_t>(randomInt(random, 0, int32_t(plane.size() / 4) - 1));
                std::memcpy(&plane[at], &specials[randomInt(random, 0, 2)], 4);
            }
        }
        SCOPED_TRACE(c.describe());
        const auto run = [&](int32_t b) {
            ResizeBuffers buffers(pristine);
            EXPECT_EQ(generalDriverOf(b)(c.parameters(buffers.srcArgument(), buffers.dstArgument())), primitiveStatusOk);
            return buffers.dst;
        };
        const auto mine = run(build());
        const auto generic = run(buildGeneric);
        const auto model = modelResize(c, pristine, arithmeticOf(build()));
        for (std::size_t plane = 0; plane < mine.size(); ++plane) {
            for (std::size_t at = 0; at + 4 <= mine[plane].size(); at += 4) {
                float m, g, e;
                std::memcpy(&m, &mine[plane][at], 4);
                std::memcpy(&g, &generic[plane][at], 4);
                std::memcpy(&e, &model[plane][at], 4);
                ASSERT_EQ(std::isfinite(m), std::isfinite(g)) << "element " << at / 4 << ": " << m << " generic " << g;
                ASSERT_EQ(std::isnan(m), std::isnan(e)) << "element " << at / 4 << ": " << m << " model " << e;
                if (!std::isnan(e)) {
                    ASSERT_EQ(m, e) << "element " << at / 4;
                }
            }
        }
    }
}

TEST_P(ResizeCrossBuild, LanczosWeightsOfTheTwoBuildersDifferInTheirLastBits) {
    // The generic builder interpolates in double and rounds once; the SIMD
    // builders round every step, the distance times 100 included, which
    // moves a weight by up to about two units in the last place near 1
    // (2.4e-7 over two million fractions). Some weights differ; none by more.
    if (build() != buildGeneric) GTEST_SKIP() << "compares the two builders once";
    std::mt19937_64 random(0xB17);
    std::vector<float> fractions(4000);
    for (auto& f : fractions) f = static_cast<float>(randomDouble(random, -1e-7, 1.0));
    std::vector<float> wide(6 * fractions.size()), narrow(6 * fractions.size());
    WeightsDouble::build(fractions.data(), static_cast<int32_t>(fractions.size()), wide.data());
    WeightsSingle::build(fractions.data(), static_cast<int32_t>(fractions.size()), narrow.data());
    int differing = 0;
    for (std::size_t k = 0; k < wide.size(); ++k) {
        if (wide[k] == narrow[k]) continue;
        ++differing;
        ASSERT_LE(std::fabs(wide[k] - narrow[k]), 2.5e-7f)
            << "fraction " << fractions[k / 6] << " tap " << k % 6 << ": " << wide[k] << " against " << narrow[k];
    }
    EXPECT_GT(differing, 0);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeCrossBuild);

}  // namespace
}  // namespace primitives::test
