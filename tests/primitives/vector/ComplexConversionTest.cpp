// zaviMagnitude_32fc, zaviCartToPolar_32fc (with the phase step) and
// zaviPolarToCart_32fc against glibc's long double hypot, atan2, cos and sin.
// The SIMD magnitude and phase rest on estimate instructions whose bits vary
// between processors, so they are checked against tolerances, never bits.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "FloatBits.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives {
namespace {

using test::bitsOf;
using test::sameBits;
using test::ulpAt;
using test::ulpDistance;

class ComplexConversion : public test::PerBuildTest {
protected:
    bool simd() const { return build() != buildGeneric; }

    PrimitiveStatus phaseStep(const Complex32f* src, float* phase, int32_t len) const {
        switch (build()) {
        case buildGeneric: return complexPhase_generic(src, phase, len);
        case buildSse: return complexPhase_sse(src, phase, len);
        case buildSse2: return complexPhase_sse2(src, phase, len);
        default: return complexPhase_sse3(src, phase, len);
        }
    }
};
INSTANTIATE_PER_BUILD_TEST_SUITE(ComplexConversion);

constexpr float kPi = 3.14159274f;
constexpr float kHalfPi = 1.57079637f;
constexpr float kQuarterPi = 0.785398185f;
constexpr float kThreeQuarterPi = 2.3561945f;
constexpr float kInf = INFINITY;
const float kNaN = std::nanf("");

// Values spread over many binades, both signs.
float spreadValue(std::mt19937& random, int lowExponent, int highExponent) {
    std::uniform_real_distribution<float> mantissa(1.0f, 10.0f);
    std::uniform_int_distribution<int> exponent(lowExponent, highExponent);
    const float v = mantissa(random) * std::pow(10.0f, static_cast<float>(exponent(random)));
    return random() & 1 ? -v : v;
}

std::vector<Complex32f> spreadComplex(std::size_t n, uint32_t seed, int lowExponent, int highExponent) {
    std::mt19937 random(seed);
    std::vector<Complex32f> v(n);
    for (Complex32f& c : v) {
        c.re = spreadValue(random, lowExponent, highExponent);
        // Now and then a part of a very different size, or zero.
        const unsigned kind = random() % 8;
        c.im = kind == 0 ? 0.0f : kind == 1 ? c.re * 1e-5f : spreadValue(random, lowExponent, highExponent);
        if (random() % 2) std::swap(c.re, c.im);
    }
    return v;
}

// Fixed-size input of n copies of (1, 1) with one element replaced.
std::vector<Complex32f> ordinaryWith(std::size_t n, std::size_t at, Complex32f special) {
    std::vector<Complex32f> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = {1.0f + 0.25f * i, -2.0f + 0.5f * i};
    v[at] = special;
    return v;
}

std::vector<float> magnitudes(const std::vector<Complex32f>& src) {
    std::vector<float> out(src.size());
    EXPECT_EQ(zaviMagnitude_32fc(src.data(), out.data(), static_cast<int32_t>(src.size())), 0);
    return out;
}

std::vector<float> phases(const std::vector<Complex32f>& src) {
    std::vector<float> m(src.size()), p(src.size());
    EXPECT_EQ(zaviCartToPolar_32fc(src.data(), m.data(), p.data(), static_cast<int32_t>(src.size())), 0);
    return p;
}

// ---- Checks ----

TEST_P(ComplexConversion, ChecksDecideInOrderAndFailuresWriteNothing) {
    const Complex32f src[3] = {{1, 2}, {3, 4}, {5, 6}};
    const float values[3] = {1, 2, 3};
    struct Case {
        const char* what;
        bool nullIn, nullOut, nullSecond;
        int32_t len;
        PrimitiveStatus expected;
    };
    const Case cases[] = {
        {"null input", true, false, false, 3, -8},    {"null output", false, true, false, 3, -8},
        {"null input, length 0", true, false, false, 0, -8},
        {"length 0", false, false, false, 0, -6},      {"length -5", false, false, false, -5, -6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        float out[3] = {9, 9, 9};
        EXPECT_EQ(zaviMagnitude_32fc(c.nullIn ? nullptr : src, c.nullOut ? nullptr : out, c.len), c.expected);
        EXPECT_EQ(phaseStep(c.nullIn ? nullptr : src, c.nullOut ? nullptr : out, c.len), c.expected);
        EXPECT_EQ(out[0], 9.0f);
        EXPECT_EQ(out[2], 9.0f);

        Complex32f cart[3] = {{9, 9}, {9, 9}, {9, 9}};
        EXPECT_EQ(zaviPolarToCart_32fc(c.nullIn ? nullptr : values, c.nullSecond ? nullptr : values,
                                       c.nullOut ? nullptr : cart, c.len),
                  c.expected);
        EXPECT_EQ(zaviPolarToCart_32fc(values, c.nullIn ? nullptr : values, c.nullOut ? nullptr : cart, c.len),
                  c.expected);
        EXPECT_EQ(cart[0].re, 9.0f);
        EXPECT_EQ(cart[2].im, 9.0f);
    }
}

TEST_P(ComplexConversion, CartToPolarWritesOneOutputWhenTheOtherIsNull) {
    const std::vector<Complex32f> src = spreadComplex(11, 1, -3, 3);
    const std::vector<float> fullMagnitudes = magnitudes(src);
    const std::vector<float> fullPhases = phases(src);

    std::vector<float> m(11, 9.0f), p(11, 9.0f);
    EXPECT_EQ(zaviCartToPolar_32fc(src.data(), m.data(), nullptr, 11), -8);
    EXPECT_TRUE(sameBits(m, fullMagnitudes)) << "every magnitude written";
    EXPECT_EQ(zaviCartToPolar_32fc(src.data(), nullptr, p.data(), 11), -8);
    EXPECT_TRUE(sameBits(p, fullPhases)) << "every phase written";

    std::vector<float> m2(11, 9.0f), p2(11, 9.0f);
    EXPECT_EQ(zaviCartToPolar_32fc(src.data(), m2.data(), p2.data(), 0), -6);
    EXPECT_EQ(zaviCartToPolar_32fc(nullptr, m2.data(), p2.data(), 11), -8);
    EXPECT_EQ(zaviCartToPolar_32fc(src.data(), nullptr, nullptr, 11), -8);
    EXPECT_EQ(m2, std::vector<float>(11, 9.0f));
    EXPECT_EQ(p2, std::vector<float>(11, 9.0f));
}

// ---- Magnitude ----

TEST_P(ComplexConversion, MagnitudeIsAccurate) {
    const std::vector<Complex32f> src = spreadComplex(4099, 2, -15, 15);
    const std::vector<float> out = magnitudes(src);
    for (std::size_t i = 0; i < src.size(); ++i) {
        const long double exact = std::hypot(static_cast<long double>(src[i].re), static_cast<long double>(src[i].im));
        SCOPED_TRACE("element " + std::to_string(i));
        if (simd()) {
            ASSERT_LE(std::fabs((out[i] - exact) / exact), 0x1p-20L);
        } else {
            ASSERT_LE(ulpDistance(out[i], static_cast<float>(exact)), 1);
        }
    }
    // A zero sum gives exactly +0.
    const std::vector<float> zeros = magnitudes({{0.0f, 0.0f}, {-0.0f, -0.0f}, {0.0f, -0.0f}, {-0.0f, 0.0f}, {0, 0}});
    for (float z : zeros) EXPECT_EQ(bitsOf(z), 0u);
    const float five = magnitudes({{3.0f, 4.0f}})[0];
    if (simd()) {
        EXPECT_LE(ulpDistance(five, 5.0f), 4);
    } else {
        EXPECT_EQ(five, 5.0f);
    }
}

TEST_P(ComplexConversion, MagnitudeOfSubnormalOrOverflowingSumsIsTheExactOne) {
    // The single-precision sum of these is subnormal or infinite; the
    // estimate would give -inf or NaN.
    const Complex32f cases[] = {{1e-20f, 0.0f}, {0.0f, -3e-20f}, {2e19f, 0.0f}, {1e30f, -1e30f}, {FLT_MAX, FLT_MAX}};
    for (const Complex32f c : cases) {
        const float exact = static_cast<float>(std::sqrt(static_cast<double>(c.re) * c.re +
                                                         static_cast<double>(c.im) * c.im));
        for (std::size_t len = 1; len <= 17; ++len) {
            for (std::size_t at = 0; at < len; ++at) {
                const std::vector<float> out = magnitudes(ordinaryWith(len, at, c));
                ASSERT_EQ(bitsOf(out[at]), bitsOf(exact))
                    << "(" << c.re << ", " << c.im << ") at " << at << " of " << len;
            }
        }
    }
    // A sum that underflows to zero gives +0 in the SIMD builds.
    const float tiny = magnitudes(ordinaryWith(9, 3, {1e-30f, 1e-30f}))[3];
    const double part = 1e-30f;
    EXPECT_EQ(bitsOf(tiny), simd() ? 0u : bitsOf(static_cast<float>(std::sqrt(part * part + part * part))));
}

// ---- Phase ----

TEST_P(ComplexConversion, PhaseIsAccurate) {
    std::vector<Complex32f> src = spreadComplex(4099, 3, -10, 10);
    // Ratios near 1, where the SIMD kernel switches to 1/t.
    std::mt19937 random(4);
    std::uniform_real_distribution<float> near1(0.999f, 1.001f);
    for (int i = 0; i < 400; ++i) src.push_back({random() & 1 ? 1.0f : -1.0f, near1(random)});
    const std::vector<float> out = phases(src);
    for (std::size_t i = 0; i < src.size(); ++i) {
        const long double exact = std::atan2(static_cast<long double>(src[i].im), static_cast<long double>(src[i].re));
        SCOPED_TRACE("element " + std::to_string(i) + " (" + std::to_string(src[i].re) + ", " +
                     std::to_string(src[i].im) + ")");
        if (simd()) {
            const long double error = std::fabs(out[i] - exact);
            ASSERT_LE(error, 1e-6L);
            if (exact == 0) {
                ASSERT_EQ(out[i], 0.0f);
            } else if (std::fabs(exact) < 1e-3L) {
                ASSERT_LE(error / std::fabs(exact), 0x1p-20L);
            }
        } else {
            ASSERT_LE(ulpDistance(out[i], static_cast<float>(exact)), 1);
        }
    }
}

TEST_P(ComplexConversion, PhaseOfSpecialValuesInEveryLaneAndTheTail) {
    struct Case {
        float x, y;
        float simd;  // the SIMD builds' fixed result (the generic one follows atan2)
    };
    const Case cases[] = {
        {0.0f, 0.0f, 0.0f},
        {-0.0f, 0.0f, 0.0f},
        {0.0f, -0.0f, 0.0f},
        {-0.0f, -0.0f, 0.0f},
        {0.0f, 2.0f, kHalfPi},
        {-0.0f, -2.0f, -kHalfPi},
        {0.0f, kInf, kHalfPi},
        {-0.0f, -kInf, -kHalfPi},
        {kInf, 3.0f, 0.0f},
        {kInf, -3.0f, 0.0f},
        {-kInf, 3.0f, kPi},
        {-kInf, -0.0f, -kPi},
        {kInf, kInf, kQuarterPi},
        {kInf, -kInf, -kQuarterPi},
        {-kInf, kInf, kThreeQuarterPi},
        {-kInf, -kInf, -kThreeQuarterPi},
        {5.0f, kInf, kHalfPi},
        {-5.0f, -kInf, -kHalfPi},
        {1.0f, 0.0f, 0.0f},
        {1.0f, -0.0f, -0.0f},
        {-1.0f, 0.0f, kPi},
        {-1.0f, -0.0f, -kPi},
        {kNaN, 1.0f, kNaN},
        {1.0f, kNaN, kNaN},
        {0.0f, kNaN, kNaN},
        {-kInf, kNaN, kNaN},
    };
    for (const Case& c : cases) {
        const float expected =
            simd() ? c.simd : static_cast<float>(std::atan2(static_cast<double>(c.y), static_cast<double>(c.x)));
        // Lengths 4 and 8 are blocks only; 5 and 9 end with a tail element.
        for (const std::size_t len : {4u, 5u, 8u, 9u}) {
            const std::vector<Complex32f> ordinary = ordinaryWith(len, 0, {1.0f, -2.0f});  // element 0 as it is
            for (std::size_t at = 0; at < len; ++at) {
                SCOPED_TRACE("(" + std::to_string(c.x) + ", " + std::to_string(c.y) + ") at " + std::to_string(at) +
                             " of " + std::to_string(len));
                const std::vector<float> out = phases(ordinaryWith(len, at, {c.x, c.y}));
                if (std::isnan(expected)) {
                    EXPECT_TRUE(std::isnan(out[at])) << out[at];
                } else {
                    EXPECT_EQ(bitsOf(out[at]), bitsOf(expected)) << out[at] << " instead of " << expected;
                }
                // The other lanes keep ordinary results (an infinite real part
                // makes the whole block divide, so their bits may change).
                for (std::size_t i = 0; i < len; ++i) {
                    if (i == at) continue;
                    const double exact = std::atan2(static_cast<double>(ordinary[i].im), ordinary[i].re);
                    ASSERT_NEAR(out[i], exact, simd() ? 1e-6 : ulpAt(exact)) << "lane " << i;
                }
            }
        }
    }
}

TEST_P(ComplexConversion, PhaseWithAnUnrepresentableRatioIsRight) {
    // A subnormal real part has an infinite reciprocal estimate; 1e60 is
    // beyond the float range. Both must still give pi/2.
    for (const Complex32f c : {Complex32f{1e-40f, 1.0f}, Complex32f{1e-30f, 1e30f}}) {
        for (const std::size_t len : {1u, 4u, 5u, 8u, 9u}) {
            for (std::size_t at = 0; at < len; ++at) {
                const std::vector<float> out = phases(ordinaryWith(len, at, c));
                ASSERT_EQ(bitsOf(out[at]), bitsOf(kHalfPi))
                    << "(" << c.re << ", " << c.im << ") at " << at << " of " << len << ": " << out[at];
            }
        }
    }
    // The negative mirror is pi/2 as well, from the other side.
    const float mirrored = phases(ordinaryWith(4, 2, {-1e-40f, -1.0f}))[2];
    EXPECT_NEAR(mirrored, -1.5707963267948966, 1e-6);
}

// ---- Builds that share code give the same bits on this processor ----

TEST_P(ComplexConversion, SimdBuildsAgreeOnThisProcessor) {
    if (!simd()) GTEST_SKIP() << "the generic build computes differently";
    const std::vector<Complex32f> src = spreadComplex(1031, 5, -20, 20);
    std::vector<float> mine(src.size()), theirs(src.size()), phaseMine(src.size()), phaseTheirs(src.size());
    const auto n = static_cast<int32_t>(src.size());
    for (int32_t other = buildSse; other <= buildSse3; ++other) {
        if (!test::hostRunsBuild(other)) continue;
        SCOPED_TRACE(test::buildName(other));
        ASSERT_EQ(body(zaviCartToPolar_32fc_dispatch)(src.data(), mine.data(), phaseMine.data(), n), 0);
        ASSERT_EQ(zaviCartToPolar_32fc_dispatch.table[other](src.data(), theirs.data(), phaseTheirs.data(), n), 0);
        EXPECT_TRUE(sameBits(mine, theirs)) << "magnitudes";
        EXPECT_TRUE(sameBits(phaseMine, phaseTheirs)) << "phases";

        // Polar to complex has no estimates: the same on every processor.
        std::vector<Complex32f> cartMine(src.size()), cartTheirs(src.size());
        ASSERT_EQ(body(zaviPolarToCart_32fc_dispatch)(mine.data(), phaseMine.data(), cartMine.data(), n), 0);
        ASSERT_EQ(zaviPolarToCart_32fc_dispatch.table[other](mine.data(), phaseMine.data(), cartTheirs.data(), n), 0);
        EXPECT_EQ(0, std::memcmp(cartMine.data(), cartTheirs.data(), cartMine.size() * sizeof(Complex32f)));
    }
}

// ---- Polar to complex ----

std::vector<Complex32f> polar(const std::vector<float>& m, const std::vector<float>& phi) {
    std::vector<Complex32f> out(m.size());
    EXPECT_EQ(zaviPolarToCart_32fc(m.data(), phi.data(), out.data(), static_cast<int32_t>(m.size())), 0);
    return out;
}

TEST_P(ComplexConversion, PolarToCartIsAccurate) {
    std::mt19937 random(6);
    std::uniform_real_distribution<float> magnitude(1e-6f, 10.0f), narrow(-4.0f, 4.0f), wide(-1e4f, 1e4f);
    for (auto* phases : {&narrow, &wide}) {
        std::vector<float> m(2051), phi(2051);
        for (std::size_t i = 0; i < m.size(); ++i) m[i] = magnitude(random), phi[i] = (*phases)(random);
        const std::vector<Complex32f> out = polar(m, phi);
        for (std::size_t i = 0; i < m.size(); ++i) {
            const long double bound = m[i] * (4e-7L + 4 * ulpAt(phi[i]));
            ASSERT_LE(std::fabs(out[i].re - m[i] * std::cos(static_cast<long double>(phi[i]))), bound)
                << "phase " << phi[i];
            ASSERT_LE(std::fabs(out[i].im - m[i] * std::sin(static_cast<long double>(phi[i]))), bound)
                << "phase " << phi[i];
        }
    }
    // Phase 0, magnitude 2: the generic build is exact, the SIMD cosine
    // polynomial ends one float below 1.
    const std::vector<Complex32f> two = polar({2.0f, 2.0f, 2.0f, 2.0f, 2.0f}, {0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    for (const Complex32f& c : two) {
        EXPECT_EQ(c.re, simd() ? 1.99999988f : 2.0f);
        EXPECT_EQ(c.im, 0.0f);
    }
}

TEST_P(ComplexConversion, GenericPolarTakesTheRuntimeForASingleOrLastOddElement) {
    if (simd()) GTEST_SKIP() << "only the generic build mixes two methods";
    const auto runtime = [](float m, float phi) {
        return Complex32f{static_cast<float>(std::cos(static_cast<double>(phi)) * m),
                          static_cast<float>(std::sin(static_cast<double>(phi)) * m)};
    };
    const auto same = [](Complex32f a, Complex32f b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    std::mt19937 random(7);
    std::uniform_real_distribution<float> phase(-100.0f, 100.0f);
    int methodsDiffer = 0;
    for (int i = 0; i < 200; ++i) {
        const float phi = phase(random), m = 3.0f;
        const Complex32f single = polar({m}, {phi})[0];
        const std::vector<Complex32f> pair = polar({m, m}, {phi, phi});
        const std::vector<Complex32f> three = polar({m, m, m}, {phi, phi, phi});
        ASSERT_TRUE(same(single, runtime(m, phi))) << "length 1";
        ASSERT_TRUE(same(three[2], runtime(m, phi))) << "last of length 3";
        ASSERT_TRUE(same(three[0], pair[0]) && same(three[1], pair[1])) << "the pair of length 3";
        methodsDiffer += same(pair[0], single) ? 0 : 1;
    }
    EXPECT_GT(methodsDiffer, 0) << "no phase told the two methods apart";
}

TEST_P(ComplexConversion, PolarOfNaNAndOutOfRangePhasesStaysInBounds) {
    // Beyond about 6.7e9 the values are unspecified; they must come without
    // undefined behaviour (the sanitizer runs watch this) or stray writes.
    const std::vector<float> phi = {kNaN, 7e9f, -7e9f, 3e38f, -3e38f, kInf, -kInf, -kNaN, 1e10f};
    const std::vector<float> m(phi.size(), 1.5f);
    for (std::size_t len = 1; len <= phi.size(); ++len) {
        std::vector<Complex32f> out(len + 1, Complex32f{9.0f, 9.0f});
        ASSERT_EQ(zaviPolarToCart_32fc(m.data(), phi.data(), out.data(), static_cast<int32_t>(len)), 0);
        EXPECT_TRUE(std::isnan(out[0].re) && std::isnan(out[0].im)) << "a NaN phase gives NaN";
        EXPECT_EQ(out[len].re, 9.0f) << "nothing written past the end";
    }
}

// ---- Any alignment ----

// Bytes of a guarded area: `count` elements of T placed at a byte offset.
template <typename T>
class Unaligned {
public:
    Unaligned(std::size_t count, std::size_t offset) : bytes_(count * sizeof(T) + 64, 0xC5), offset_(offset + 16) {
        const auto base = reinterpret_cast<std::uintptr_t>(bytes_.data());
        offset_ += (16 - base % 16) % 16;  // offset relative to a 16-byte boundary
        count_ = count;
    }
    T* get() { return reinterpret_cast<T*>(bytes_.data() + offset_); }
    void fill(const std::vector<T>& values) { std::memcpy(get(), values.data(), values.size() * sizeof(T)); }
    std::vector<T> read() const {
        std::vector<T> out(count_);
        std::memcpy(out.data(), bytes_.data() + offset_, count_ * sizeof(T));
        return out;
    }
    bool guardsIntact() const {
        for (std::size_t i = 0; i < bytes_.size(); ++i) {
            if ((i < offset_ || i >= offset_ + count_ * sizeof(T)) && bytes_[i] != 0xC5) return false;
        }
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
    std::size_t offset_;
    std::size_t count_;
};

TEST_P(ComplexConversion, EveryByteOffsetGivesTheAlignedResult) {
    const std::vector<Complex32f> source = spreadComplex(17, 8, -4, 4);
    std::vector<float> mags(17), phis(17);
    for (std::size_t i = 0; i < 17; ++i) mags[i] = 0.5f + i, phis[i] = -8.0f + i;
    for (int32_t len = 1; len <= 17; ++len) {
        const std::vector<Complex32f> src(source.begin(), source.begin() + len);
        const std::vector<float> m(mags.begin(), mags.begin() + len), phi(phis.begin(), phis.begin() + len);
        const std::vector<float> expectedMagnitudes = magnitudes(src);
        const std::vector<float> expectedPhases = phases(src);
        const std::vector<Complex32f> expectedCart = polar(m, phi);
        for (std::size_t a = 0; a < 16; ++a) {
            for (std::size_t b = 0; b < 16; ++b) {
                const std::size_t c = (a * 7 + b * 3) % 16;  // the third pointer walks every offset too
                SCOPED_TRACE("length " + std::to_string(len) + " offsets " + std::to_string(a) + "/" +
                             std::to_string(b) + "/" + std::to_string(c));
                Unaligned<Complex32f> in(len, a);
                Unaligned<float> first(len, b), second(len, c);
                in.fill(src);
                ASSERT_EQ(zaviCartToPolar_32fc(in.get(), first.get(), second.get(), len), 0);
                ASSERT_TRUE(sameBits(first.read(), expectedMagnitudes));
                ASSERT_TRUE(sameBits(second.read(), expectedPhases));
                ASSERT_TRUE(first.guardsIntact() && second.guardsIntact());

                Unaligned<float> mIn(len, a), phiIn(len, b);
                Unaligned<Complex32f> out(len, c);
                mIn.fill(m);
                phiIn.fill(phi);
                ASSERT_EQ(zaviPolarToCart_32fc(mIn.get(), phiIn.get(), out.get(), len), 0);
                const std::vector<Complex32f> cart = out.read();
                ASSERT_EQ(0, std::memcmp(cart.data(), expectedCart.data(), len * sizeof(Complex32f)));
                ASSERT_TRUE(out.guardsIntact());
            }
        }
    }
}

}  // namespace
}  // namespace primitives
