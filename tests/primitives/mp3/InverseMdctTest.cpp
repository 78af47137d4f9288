// zaviMDCTInv_MP3_32s against the double-precision model, its sub-band
// counts, its state handling and its argument checks, on every build.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "models/ImdctModel.h"
#include "primitives.h"
#include "primitives/mp3/Mp3SignalTables.h"

namespace primitives::test {
namespace {

class InverseMdct : public PerBuildTest {};

// One channel's caller-owned state.
struct ChannelState {
    std::array<int32_t, 576> overlap{};
    int32_t count = 0;
};

PrimitiveStatus transform(std::array<int32_t, 576>& spectrum, std::array<int32_t, 576>& out, ChannelState& state,
                          int32_t bound, int32_t blockType, int32_t mixed) {
    return zaviMDCTInv_MP3_32s(spectrum.data(), out.data(), state.overlap.data(), bound, &state.count, blockType,
                               mixed);
}

// Random lines below `bound`, zero from it on; the amplitude varies from
// granule to granule, up to 2^27 (twice full scale in Q26).
std::array<int32_t, 576> randomSpectrum(std::mt19937& rng, int32_t bound, int32_t amplitude = 0) {
    if (amplitude == 0) amplitude = 1 << std::uniform_int_distribution<int32_t>(8, 27)(rng);
    std::uniform_int_distribution<int32_t> value(-amplitude, amplitude);
    std::array<int32_t, 576> spectrum{};
    for (int32_t i = 0; i < bound; ++i) spectrum[i] = value(rng);
    if (bound > 0 && spectrum[bound - 1] == 0) spectrum[bound - 1] = 1;
    return spectrum;
}

TEST_P(InverseMdct, FollowsTheModelOverRandomGranuleSequences) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int32_t> anyType(0, 3);
    std::uniform_int_distribution<int32_t> anyBound(0, 576);
    for (int32_t sequence = 0; sequence < 24; ++sequence) {
        ImdctModel model;
        ChannelState state;
        for (int32_t granule = 0; granule < 10; ++granule) {
            const int32_t blockType = anyType(rng);
            const int32_t mixed = rng() % 3 == 0 ? 1 : 0;
            const int32_t pick = static_cast<int32_t>(rng() % 8);
            const int32_t bound = pick == 0 ? 0 : pick == 1 ? 576 : anyBound(rng);
            auto spectrum = randomSpectrum(rng, bound);
            const auto expected = model.granule(spectrum.data(), blockType, mixed);
            std::array<int32_t, 576> out;
            out.fill(0x5A5A5A5A);
            ASSERT_EQ(transform(spectrum, out, state, bound, blockType, mixed), 0);
            double worst = 0;
            for (int32_t i = 0; i < 576; ++i) worst = std::max(worst, std::abs(out[i] - expected[i]));
            EXPECT_LE(worst, 128.0) << "sequence " << sequence << " granule " << granule << " type " << blockType
                                    << " mixed " << mixed << " bound " << bound;
            for (int32_t i = 18 * state.count; i < 576; ++i) {
                ASSERT_EQ(state.overlap[i], 0) << "overlap place " << i << " at or above the count " << state.count;
            }
        }
    }
}

TEST_P(InverseMdct, CountsTheSubbandsItTransforms) {
    struct Case {
        int32_t blockType, mixed, bound, count;
    };
    const Case cases[] = {
        {0, 0, 0, 1},    {0, 0, 9, 1},     {0, 0, 10, 2},  {0, 0, 27, 2}, {0, 0, 28, 3},  {1, 0, 566, 32},
        {3, 0, 576, 32}, {0, 1, 0, 1},     {2, 0, 0, 0},   {2, 0, 1, 1},  {2, 0, 18, 1},  {2, 0, 19, 2},
        {2, 0, 576, 32}, {2, 1, 0, 2},     {2, 1, 10, 2},  {2, 1, 37, 3},
    };
    for (const Case& c : cases) {
        std::array<int32_t, 576> spectrum{};
        std::array<int32_t, 576> out;
        ChannelState state;
        ASSERT_EQ(transform(spectrum, out, state, c.bound, c.blockType, c.mixed), 0);
        EXPECT_EQ(state.count, c.count) << "type " << c.blockType << " mixed " << c.mixed << " bound " << c.bound;
    }
}

TEST_P(InverseMdct, LongBlockOfBoundZeroOutputsTheOverlapOfSubbandZero) {
    std::array<int32_t, 576> spectrum{};
    std::array<int32_t, 576> out;
    out.fill(0x5A5A5A5A);
    ChannelState state;
    for (int32_t k = 0; k < 18; ++k) state.overlap[k] = 1000 + k;
    ASSERT_EQ(transform(spectrum, out, state, 0, 0, 0), 0);
    EXPECT_EQ(state.count, 1);
    for (int32_t t = 0; t < 18; ++t) {
        EXPECT_EQ(out[32 * t], 1000 + t);
        for (int32_t s = 1; s < 32; ++s) ASSERT_EQ(out[32 * t + s], 0);
    }
    EXPECT_TRUE(std::all_of(state.overlap.begin(), state.overlap.end(), [](int32_t v) { return v == 0; }));
}

TEST_P(InverseMdct, ShortBlockOfBoundZeroWritesSilenceAndCountsNothing) {
    std::array<int32_t, 576> spectrum{};
    std::array<int32_t, 576> out;
    out.fill(0x5A5A5A5A);
    ChannelState state;
    ASSERT_EQ(transform(spectrum, out, state, 0, 2, 0), 0);
    EXPECT_EQ(state.count, 0);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int32_t v) { return v == 0; }));
}

TEST_P(InverseMdct, MixedBlockAliasReducesOnlyAcrossTheFirstBoundary) {
    std::mt19937 rng(7);
    // Every line set, so that any butterfly would show: only lines 10..25
    // (boundary 1) may change.
    auto spectrum = randomSpectrum(rng, 576, 1 << 24);
    const auto before = spectrum;
    std::array<int32_t, 576> out;
    ChannelState state;
    ASSERT_EQ(transform(spectrum, out, state, 10, 2, 1), 0);
    EXPECT_EQ(state.count, 2);
    for (int32_t i = 0; i < 576; ++i) {
        if (i < 10 || i > 25) ASSERT_EQ(spectrum[i], before[i]) << "line " << i;
        else EXPECT_NE(spectrum[i], before[i]) << "line " << i;
    }

    // Sub-bands 0 and 1 take the long transform with the type-0 window.
    auto low = randomSpectrum(rng, 10);
    ImdctModel model;
    const auto expected = model.granule(low.data(), 2, 1);
    ChannelState fresh;
    ASSERT_EQ(transform(low, out, fresh, 10, 2, 1), 0);
    for (int32_t i = 0; i < 576; ++i) ASSERT_NEAR(out[i], expected[i], 128.0) << i;
}

TEST_P(InverseMdct, ShrinkingGranuleFlushesAndClearsTheOverlapUpToThePreviousCount) {
    std::mt19937 rng(11);
    ChannelState state;
    auto loud = randomSpectrum(rng, 576);
    std::array<int32_t, 576> out;
    ASSERT_EQ(transform(loud, out, state, 576, 0, 0), 0);
    ASSERT_EQ(state.count, 32);
    const auto pending = state.overlap;

    std::array<int32_t, 576> silent{};
    ASSERT_EQ(transform(silent, out, state, 0, 0, 0), 0);
    EXPECT_EQ(state.count, 1);
    for (int32_t s = 0; s < 32; ++s) {
        for (int32_t k = 0; k < 18; ++k) {
            const int32_t flushed = (s & k & 1) != 0 ? -pending[18 * s + k] : pending[18 * s + k];
            ASSERT_EQ(out[32 * k + s], flushed) << "sub-band " << s << " slot " << k;
        }
    }
    EXPECT_TRUE(std::all_of(state.overlap.begin(), state.overlap.end(), [](int32_t v) { return v == 0; }));
}

TEST_P(InverseMdct, RefusesBadArgumentsBeforeWritingAnything) {
    struct Case {
        int32_t bound, blockType, mixed, previous;
        PrimitiveStatus status;
    };
    const Case cases[] = {
        {-1, 0, 0, 0, -5}, {577, 0, 0, 0, -5}, {0, -1, 0, 0, -5}, {0, 4, 0, 0, -5},
        {0, 0, -1, 0, -5}, {0, 0, 2, 0, -5},   {0, 0, 0, -1, -5}, {0, 0, 0, 33, -5},
    };
    for (const Case& c : cases) {
        GuardedBuffer<int32_t> spectrum(576), out(576), overlap(576), count(1);
        count[0] = c.previous;
        EXPECT_EQ(zaviMDCTInv_MP3_32s(spectrum.data(), out.data(), overlap.data(), c.bound, count.data(), c.blockType,
                                      c.mixed),
                  c.status);
        EXPECT_TRUE(spectrum.untouched() && out.untouched() && overlap.untouched());
        EXPECT_EQ(count[0], c.previous);
    }
    GuardedBuffer<int32_t> spectrum(576), out(576), overlap(576);
    int32_t count = 0;
    EXPECT_EQ(zaviMDCTInv_MP3_32s(nullptr, out.data(), overlap.data(), 0, &count, 0, 0), -8);
    EXPECT_EQ(zaviMDCTInv_MP3_32s(spectrum.data(), nullptr, overlap.data(), 0, &count, 0, 0), -8);
    EXPECT_EQ(zaviMDCTInv_MP3_32s(spectrum.data(), out.data(), nullptr, 0, &count, 0, 0), -8);
    EXPECT_EQ(zaviMDCTInv_MP3_32s(spectrum.data(), out.data(), overlap.data(), 0, nullptr, 0, 0), -8);
    EXPECT_EQ(zaviMDCTInv_MP3_32s(nullptr, out.data(), overlap.data(), -1, &count, 0, 0), -8) << "-8 comes first";
    EXPECT_TRUE(spectrum.untouched() && out.untouched() && overlap.untouched());
}

INSTANTIATE_PER_BUILD_TEST_SUITE(InverseMdct);

// The short window as the integer builds hold it: sin(pi/12 (i + 1/2)) x 2^31,
// rounded, symmetric, with the values the format fixes at 0, 5 and 6.
TEST(ShortWindow, HoldsTheRoundedSine) {
    EXPECT_EQ(mp3::kShortWindowQ31[0], 280302863);
    EXPECT_EQ(mp3::kShortWindowQ31[5], 2129111628);
    EXPECT_EQ(mp3::kShortWindowQ31[6], 2129111628);
    for (int32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(mp3::kShortWindowQ31[i], mp3::kShortWindowQ31[11 - i]);
        EXPECT_NEAR(mp3::kShortWindowQ31[i], std::sin(M_PI / 12 * (i + 0.5)) * 2147483648.0, 0.5);
    }
}

}  // namespace
}  // namespace primitives::test
