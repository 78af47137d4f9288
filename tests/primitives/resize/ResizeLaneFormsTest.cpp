// The cubic vector kernels of the SIMD builds against the scalar forms they
// are written from: every lane of a four-wide group, every pixel of a
// pixel-per-step pass and every converted value must be the scalar form's
// result bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <random>
#include <vector>

#include "BuildTest.h"
#include "ResizeModel.h"
#include "primitives/resize/CubicLaneForms.h"
#include "primitives/resize/CubicPasses.h"

namespace primitives::test {
namespace {

class ResizeLaneForms : public PerBuildTest {
protected:
    void SetUp() override {
        PerBuildTest::SetUp();
        if (build() == buildGeneric) GTEST_SKIP() << "the generic build has no vector kernels";
    }
};

// Fractions as the tables make them, the edge values among them.
float randomFraction(std::mt19937_64& random) {
    switch (randomInt(random, 0, 7)) {
    case 0: return -1.0f;
    case 1: return 2.0f;
    case 2: return -1e-7f;
    case 3: return 0.0f;
    default: return static_cast<float>(randomDouble(random, -1.0, 2.0));
    }
}

float randomSample(std::mt19937_64& random) {
    return randomInt(random, 0, 3) == 0 ? static_cast<float>(randomInt(random, 0, 65535))
                                        : static_cast<float>(randomDouble(random, -70000.0, 70000.0));
}

uint32_t bits(float f) { return std::bit_cast<uint32_t>(f); }

TEST_P(ResizeLaneForms, FourLanesEqualTheScalarFormInEveryLane) {
    std::mt19937_64 random(0x1A4E);
    for (int n = 0; n < 20000; ++n) {
        float p[4][4], t[4];
        for (int lane = 0; lane < 4; ++lane) {
            for (int k = 0; k < 4; ++k) p[k][lane] = randomSample(random);
            t[lane] = randomFraction(random);
        }
        const auto vector = [&](int k) { return Float4(_mm_loadu_ps(p[k])); };
        float group[4], pixel[4], vertical[4];
        _mm_storeu_ps(group, cubicGroupHorizontal<Float4>(vector(0), vector(1), vector(2), vector(3),
                                                          Float4(_mm_loadu_ps(t)))
                                 .v);
        _mm_storeu_ps(pixel, cubicPixelPerStepHorizontal<Float4>(vector(0), vector(1), vector(2), vector(3),
                                                                 Float4(_mm_loadu_ps(t)))
                                 .v);
        _mm_storeu_ps(vertical,
                      cubicGroupVertical<Float4>(vector(0), vector(1), vector(2), vector(3),
                                                 cubicGroupVerticalRow<Float4>(t[0]))
                          .v);
        for (int lane = 0; lane < 4; ++lane) {
            const float q[4] = {p[0][lane], p[1][lane], p[2][lane], p[3][lane]};
            ASSERT_EQ(bits(group[lane]), bits(cubicGroupHorizontal<float>(q[0], q[1], q[2], q[3], t[lane])));
            ASSERT_EQ(bits(pixel[lane]), bits(cubicPixelPerStepHorizontal<float>(q[0], q[1], q[2], q[3], t[lane])));
            ASSERT_EQ(bits(vertical[lane]),
                      bits(cubicGroupVertical<float>(q[0], q[1], q[2], q[3], cubicGroupVerticalRow<float>(t[0]))));
        }
    }
}

// The passes of this build: loads, transposes, conversions and stores
// around the forms.
template <typename Fn>
void withCubicPasses(int32_t build, Fn fn) {
    if (build == buildSse) {
        fn.template operator()<CubicSingle<GroupsOfFourPixels>>();
    } else {
        fn.template operator()<CubicSingle<PixelPerStep>>();
    }
}

TEST_P(ResizeLaneForms, PassesApplyTheFormsOfTheirPositions) {
    std::mt19937_64 random(0x9A55);
    const int32_t width = 11;  // two groups of four and a tail of three
    std::vector<uint8_t> bytes(80);
    std::vector<uint16_t> words(80);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    for (auto& w : words) w = static_cast<uint16_t>(random());
    std::vector<int64_t> oneIndexes(width), pixelIndexes(width);
    std::vector<float> fractions(width);
    for (int32_t j = 0; j < width; ++j) {
        oneIndexes[j] = 1 + 5 * j;
        pixelIndexes[j] = 4 + 4 * j;
        fractions[j] = randomFraction(random);
    }
    const bool groupsOfFour = build() == buildSse;
    withCubicPasses(build(), [&]<typename Passes>() {
        // One channel, 8-bit and 16-bit: groups of four columns, then the tail.
        std::vector<float> out(width);
        Passes::horizontal1Ch(bytes.data(), width, oneIndexes.data(), fractions.data(), out.data());
        for (int32_t j = 0; j < width; ++j) {
            const uint8_t* s = bytes.data() + oneIndexes[j] - 1;
            const float expected = j < 8 ? cubicGroupHorizontal<float>(s[0], s[1], s[2], s[3], fractions[j])
                                         : cubicScalarHorizontal(s[0], s[1], s[2], s[3], fractions[j]);
            ASSERT_EQ(bits(out[j]), bits(expected)) << "8-bit column " << j;
        }
        Passes::horizontal1Ch(words.data(), width, oneIndexes.data(), fractions.data(), out.data());
        for (int32_t j = 0; j < width; ++j) {
            const uint16_t* s = words.data() + oneIndexes[j] - 1;
            const float expected = j < 8 ? cubicGroupHorizontal<float>(s[0], s[1], s[2], s[3], fractions[j])
                                         : cubicScalarHorizontal(s[0], s[1], s[2], s[3], fractions[j]);
            ASSERT_EQ(bits(out[j]), bits(expected)) << "16-bit column " << j;
        }
        // Three channels at a stride of 4: the build's multi-channel form.
        std::vector<float> packed(3 * width);
        Passes::horizontal3Ch(bytes.data(), width, 4, pixelIndexes.data(), fractions.data(), packed.data());
        for (int32_t j = 0; j < width; ++j) {
            for (int c = 0; c < 3; ++c) {
                const uint8_t* s = bytes.data() + pixelIndexes[j] + c;
                const float p0 = s[-4], p1 = s[0], p2 = s[4], p3 = s[8];
                const float expected = !groupsOfFour ? cubicPixelPerStepHorizontal<float>(p0, p1, p2, p3, fractions[j])
                                       : j < 8       ? cubicGroupHorizontal<float>(p0, p1, p2, p3, fractions[j])
                                                     : cubicScalarHorizontal(p0, p1, p2, p3, fractions[j]);
                ASSERT_EQ(bits(packed[3 * j + c]), bits(expected)) << "pixel " << j << " channel " << c;
            }
        }
        // Vertical: rounded groups, truncated tail; 8-bit, 16-bit, skipping.
        std::vector<float> rows[4];
        for (auto& row : rows) {
            row.resize(3 * width);
            for (auto& v : row) v = static_cast<float>(randomDouble(random, -300.0, 70000.0));
        }
        const float t = randomFraction(random);
        const CubicScalarRow scalar = cubicScalarRow(t);
        const CubicGroupRow<float> grouped = cubicGroupVerticalRow<float>(t);
        const auto integer = [&](int i, int32_t max, int32_t count) {
            const float p0 = rows[0][i], p1 = rows[1][i], p2 = rows[2][i], p3 = rows[3][i];
            const int32_t n = i < count - count % 4 ? cubicGroupToInteger(cubicGroupVertical<float>(p0, p1, p2, p3, grouped))
                                                    : cubicTailToInteger(cubicScalarVertical(p0, p1, p2, p3, scalar));
            return n < 0 ? 0 : n > max ? max : n;
        };
        std::vector<uint8_t> u8(width);
        Passes::vertical(u8.data(), width, t, rows[0].data(), rows[1].data(), rows[2].data(), rows[3].data());
        for (int i = 0; i < width; ++i) ASSERT_EQ(u8[i], integer(i, 255, width)) << "8-bit value " << i;
        std::vector<uint16_t> u16(4 * width, 0xBEEF);
        Passes::verticalSkipAlpha(u16.data(), width, t, rows[0].data(), rows[1].data(), rows[2].data(),
                                  rows[3].data());
        for (int i = 0; i < 3 * width; ++i) {
            ASSERT_EQ(u16[4 * (i / 3) + i % 3], integer(i, 65535, 3 * width)) << "16-bit value " << i;
        }
        for (int p = 0; p < width; ++p) ASSERT_EQ(u16[4 * p + 3], 0xBEEF);
    });
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeLaneForms);

}  // namespace
}  // namespace primitives::test
