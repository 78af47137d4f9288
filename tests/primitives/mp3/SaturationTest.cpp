// The signal steps on saturated and extreme inputs, on every build: they
// must return their statuses without signed overflow or out-of-range shifts
// (the sanitizer run checks that), give the same result every time, and keep
// the outputs the formats allow.
#include <array>
#include <cstdint>
#include <random>
#include <set>

#include "BuildTest.h"
#include "primitives.h"

namespace primitives::test {
namespace {

class Saturation : public PerBuildTest {};

constexpr int32_t kExtremes[] = {INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1, 1 << 30, -(1 << 30)};

TEST_P(Saturation, InverseMdctWrapsExtremeSpectraWithoutFault) {
    std::mt19937 rng(41);
    for (int32_t blockType = 0; blockType < 4; ++blockType) {
        for (int32_t mixed = 0; mixed < 2; ++mixed) {
            std::array<int32_t, 576> overlap{};
            int32_t count = 0;
            for (int32_t granule = 0; granule < 6; ++granule) {
                std::array<int32_t, 576> spectrum;
                for (int32_t& v : spectrum) v = kExtremes[rng() % std::size(kExtremes)];
                auto again = spectrum;
                std::array<int32_t, 576> out, outAgain;
                auto overlapAgain = overlap;
                int32_t countAgain = count;
                ASSERT_EQ(zaviMDCTInv_MP3_32s(spectrum.data(), out.data(), overlap.data(), 576, &count, blockType, mixed), 0);
                ASSERT_EQ(zaviMDCTInv_MP3_32s(again.data(), outAgain.data(), overlapAgain.data(), 576, &countAgain,
                                              blockType, mixed),
                          0);
                ASSERT_EQ(out, outAgain);
                ASSERT_EQ(count, 32);
            }
        }
    }
}

TEST_P(Saturation, SynthesisClipsExtremeSamples) {
    std::mt19937 rng(43);
    std::array<int32_t, 512> history{};
    int32_t position = 0;
    bool clipped = false;
    for (int32_t slot = 0; slot < 64; ++slot) {
        std::array<int32_t, 32> samples;
        for (int32_t& v : samples) v = kExtremes[rng() % std::size(kExtremes)];
        int16_t pcm[32];
        ASSERT_EQ(zaviSynthPQMF_MP3_32s16s(samples.data(), pcm, history.data(), &position, 1), 0);
        for (int16_t v : pcm) clipped |= v == 32767 || v == -32768;
    }
    EXPECT_TRUE(clipped);
}

// Every exponent the side information can produce, the largest magnitudes,
// scale factors at the ends of their byte, and every stereo mode and
// position, MPEG-1 and MPEG-2.
TEST_P(Saturation, RequantizationSurvivesExtremeFields) {
    std::mt19937 rng(47);
    std::set<PrimitiveStatus> statuses;
    for (int32_t trial = 0; trial < 400; ++trial) {
        MP3FrameHeader header{};
        header.id = static_cast<int32_t>(rng() % 2);
        header.layer = 1;
        header.sampling_frequency = static_cast<int32_t>(rng() % 3);
        header.mode = static_cast<int32_t>(rng() % 4);
        header.mode_extension = static_cast<int32_t>(rng() % 4);
        MP3SideInfo side[2]{};
        const int32_t blockType = static_cast<int32_t>(rng() % 4);
        const int32_t mixed = static_cast<int32_t>(rng() % 2);
        for (MP3SideInfo& s : side) {
            s.global_gain = rng() % 2 ? 255 : static_cast<int32_t>(rng() % 256);
            s.block_type = blockType;
            s.mixed_block_flag = mixed;
            for (int32_t& g : s.subblock_gain) g = static_cast<int32_t>(rng() % 8);
            s.scalefac_scale = static_cast<int32_t>(rng() % 2);
            s.preflag = static_cast<int32_t>(rng() % 2);
            s.scalefac_compress = static_cast<int32_t>(rng() % 512);
        }
        int8_t scaleFactors[80];
        for (int8_t& f : scaleFactors) f = static_cast<int8_t>(rng() % 3 == 0 ? (rng() % 2 ? 127 : -128) : rng() % 16);
        std::array<int32_t, 1152> spectrum;
        for (int32_t& v : spectrum) v = rng() % 4 == 0 ? 0 : (rng() % 2 ? 8206 : -8206);
        std::array<int32_t, 2> bounds = {static_cast<int32_t>(rng() % 577), static_cast<int32_t>(rng() % 577)};
        for (int32_t c = 0; c < 2; ++c) {
            for (int32_t i = bounds[c]; i < 576; ++i) spectrum[576 * c + i] = 0;
        }
        std::array<int32_t, 576> work;
        const PrimitiveStatus status =
            zaviReQuantize_MP3_32s_I(spectrum.data(), bounds.data(), scaleFactors, side, &header, work.data());
        statuses.insert(status);
        ASSERT_TRUE(status == 0 || status == -2) << status;
        if (status == 0) {
            ASSERT_GE(bounds[0], 0);
            ASSERT_LE(bounds[0], 576);
        }
    }
    EXPECT_TRUE(statuses.count(0) && statuses.count(-2));
}

INSTANTIATE_PER_BUILD_TEST_SUITE(Saturation);

}  // namespace
}  // namespace primitives::test
