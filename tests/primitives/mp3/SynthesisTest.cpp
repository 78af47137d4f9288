// zaviSynthPQMF_MP3_32s16s against the double-precision model, its ring,
// output stride, rounding, saturation and argument checks, on every build.
#include <array>
#include <cmath>
#include <cstdint>
#include <random>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "models/SynthesisModel.h"
#include "primitives.h"
#include "primitives/mp3/Mp3Synthesis.h"

namespace primitives::test {
namespace {

const std::string kWindowFile = std::string(VELKARN_MP3_DATA_DIR) + "/synth_window.txt";

class Synthesis : public PerBuildTest {};

struct SynthesisState {
    std::array<int32_t, 512> history{};
    int32_t position = 0;
};

PrimitiveStatus synthesize(const std::array<int32_t, 32>& samples, int16_t* pcm, SynthesisState& state,
                           int32_t mode = 1) {
    return zaviSynthPQMF_MP3_32s16s(samples.data(), pcm, state.history.data(), &state.position, mode);
}

TEST_P(Synthesis, FollowsTheModelWithinOneStepAndMostlyExactly) {
    std::mt19937 rng(99);
    int64_t compared = 0, equal = 0;
    for (int32_t sequence = 0; sequence < 12; ++sequence) {
        SynthesisModel model(kWindowFile);
        SynthesisState state;
        // Amplitudes from quiet to beyond full scale (2^24 is full scale).
        const int32_t amplitude = 1 << (12 + sequence);
        std::uniform_int_distribution<int32_t> value(-amplitude, amplitude);
        for (int32_t slot = 0; slot < 120; ++slot) {
            std::array<int32_t, 32> samples;
            for (int32_t& s : samples) s = value(rng) >> static_cast<int32_t>(rng() % 6);
            const auto expected = model.slot(samples.data());
            int16_t pcm[32];
            ASSERT_EQ(synthesize(samples, pcm, state), 0);
            for (int32_t j = 0; j < 32; ++j) {
                if (std::abs(expected[j]) >= 32767) continue;  // saturated
                const int32_t reference = roundModelSample(expected[j]);
                ASSERT_LE(std::abs(pcm[j] - reference), 1)
                    << "sequence " << sequence << " slot " << slot << " sample " << j << " model " << expected[j];
                ++compared;
                equal += pcm[j] == reference;
            }
        }
    }
    ASSERT_GT(compared, 20000);
    EXPECT_GE(static_cast<double>(equal) / compared, 0.85);
}

TEST_P(Synthesis, SaturatesBeyondFullScale) {
    SynthesisModel model(kWindowFile);
    SynthesisState state;
    bool sawHigh = false, sawLow = false;
    for (int32_t slot = 0; slot < 64; ++slot) {
        std::array<int32_t, 32> samples{};
        samples[0] = (slot / 8) % 2 == 0 ? (1 << 27) : -(1 << 27);
        samples[1] = samples[0] / 2;
        const auto expected = model.slot(samples.data());
        int16_t pcm[32];
        ASSERT_EQ(synthesize(samples, pcm, state), 0);
        for (int32_t j = 0; j < 32; ++j) {
            if (expected[j] > 32768) {
                EXPECT_EQ(pcm[j], 32767);
                sawHigh = true;
            } else if (expected[j] < -32769) {
                EXPECT_EQ(pcm[j], -32768);
                sawLow = true;
            }
        }
    }
    EXPECT_TRUE(sawHigh && sawLow);
}

TEST_P(Synthesis, RingPositionStepsBackAndReturnsAfterSixteenSlots) {
    for (int32_t start : {0, 5, 15}) {
        SynthesisState state;
        state.position = start;
        std::array<int32_t, 32> samples{};
        int16_t pcm[32];
        ASSERT_EQ(synthesize(samples, pcm, state), 0);
        EXPECT_EQ(state.position, (start + 15) % 16);
        for (int32_t call = 1; call < 16; ++call) ASSERT_EQ(synthesize(samples, pcm, state), 0);
        EXPECT_EQ(state.position, start);
    }
}

TEST_P(Synthesis, SilenceGivesSilence) {
    SynthesisState state;
    std::array<int32_t, 32> samples{};
    int16_t pcm[32];
    std::fill(std::begin(pcm), std::end(pcm), int16_t{0x5A5A});
    ASSERT_EQ(synthesize(samples, pcm, state), 0);
    for (int16_t v : pcm) EXPECT_EQ(v, 0);
}

TEST_P(Synthesis, ModeTwoWritesEveryOtherPlaceOnly) {
    std::mt19937 rng(5);
    SynthesisState plain, interleaved;
    for (int32_t slot = 0; slot < 20; ++slot) {
        std::array<int32_t, 32> samples;
        for (int32_t& s : samples) s = static_cast<int32_t>(rng() % (1 << 22)) - (1 << 21);
        int16_t expected[32];
        ASSERT_EQ(synthesize(samples, expected, plain, 1), 0);
        GuardedBuffer<int16_t> pcm(64);
        ASSERT_EQ(synthesize(samples, pcm.data(), interleaved, 2), 0);
        for (int32_t j = 0; j < 32; ++j) {
            ASSERT_EQ(pcm[2 * j], expected[j]);
            ASSERT_EQ(static_cast<uint16_t>(pcm[2 * j + 1]), 0xA5A5) << "odd place " << 2 * j + 1 << " was written";
        }
        ASSERT_TRUE(pcm.guardsIntact());
    }
}

TEST_P(Synthesis, RefusesBadArgumentsBeforeWritingAnything) {
    struct Case {
        int32_t mode, position;
    };
    for (const Case c : {Case{0, 0}, Case{3, 0}, Case{-1, 4}, Case{1, -1}, Case{2, 16}}) {
        GuardedBuffer<int32_t> samples(32), history(512);
        GuardedBuffer<int16_t> pcm(64);
        int32_t position = c.position;
        EXPECT_EQ(zaviSynthPQMF_MP3_32s16s(samples.data(), pcm.data(), history.data(), &position, c.mode), -5);
        EXPECT_EQ(position, c.position);
        EXPECT_TRUE(pcm.untouched() && history.untouched());
    }
    GuardedBuffer<int32_t> samples(32), history(512);
    GuardedBuffer<int16_t> pcm(64);
    int32_t position = 0;
    EXPECT_EQ(zaviSynthPQMF_MP3_32s16s(nullptr, pcm.data(), history.data(), &position, 1), -8);
    EXPECT_EQ(zaviSynthPQMF_MP3_32s16s(samples.data(), nullptr, history.data(), &position, 1), -8);
    EXPECT_EQ(zaviSynthPQMF_MP3_32s16s(samples.data(), pcm.data(), nullptr, &position, 1), -8);
    EXPECT_EQ(zaviSynthPQMF_MP3_32s16s(samples.data(), pcm.data(), history.data(), nullptr, 1), -8);
    EXPECT_EQ(zaviSynthPQMF_MP3_32s16s(nullptr, pcm.data(), history.data(), &position, 0), -8) << "-8 comes first";
    EXPECT_EQ(position, 0);
    EXPECT_TRUE(pcm.untouched() && history.untouched());
}

INSTANTIATE_PER_BUILD_TEST_SUITE(Synthesis);

// The rounding stage that every build shares: (acc + 64) >> 7, halves
// upwards, saturated.
TEST(SynthesisRounding, RoundsHalvesUpwardsAndSaturates) {
    struct Case {
        int32_t acc;
        int16_t sample;
    };
    const Case cases[] = {
        {64, 1},          {63, 0},         {-64, 0},         {-65, -1},         {0, 0},
        {192, 2},         {-192, -1},      {32767 * 128, 32767}, {32767 * 128 + 64, 32767},
        {INT32_MAX, 32767}, {-32768 * 128, -32768}, {-32768 * 128 - 65, -32768}, {INT32_MIN, -32768},
    };
    for (const Case& c : cases) EXPECT_EQ(mp3::roundToPcm(c.acc), c.sample) << c.acc;
}

// The window the decoder holds is the printed one, tap for tap, in Q30. The
// printed window breaks the mirror D_(512-i) = -D_i at three taps, so the
// mirror alone could not reproduce it.
TEST(SynthesisWindow, HoldsThePrintedWindowInQ30) {
    SynthesisModel model(kWindowFile);
    const auto& printed = model.window();
    EXPECT_EQ(mp3::kSynthesisWindow[1], -16384);
    EXPECT_EQ(mp3::kSynthesisWindow[256], 1229422592);
    std::vector<int32_t> mirrorBreaks;
    for (int32_t i = 0; i < 512; ++i) {
        ASSERT_EQ(mp3::kSynthesisWindow[i], std::llround(std::ldexp(printed[i], 30))) << i;
        if (i > 0 && i < 256 && printed[512 - i] != -printed[i]) mirrorBreaks.push_back(i);
    }
    EXPECT_EQ(mirrorBreaks, (std::vector<int32_t>{64, 128, 192}));
}

}  // namespace
}  // namespace primitives::test
