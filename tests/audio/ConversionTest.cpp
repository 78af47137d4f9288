// The output conversion against the committed NumPy float32 reference, and
// the fast path against the one-sample-at-a-time reference.
#include "AudioTestSupport.h"

#include "TestEnvironment.h"
#include "audio/SampleConversion.h"

#include <gtest/gtest.h>

#include <bit>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

namespace {

using audio_test::hexOf;
using audio_test::ReferenceRow;
using audio_test::referenceRows;

TEST(Conversion, ReferenceScriptStillPrintsTheCommittedTable) {
    const std::string printed = testing_support::runPython("audio/conversion_reference.py", {});
    EXPECT_EQ(printed, testing_support::readFile(testing_support::sourceDirectory() +
                                                 "/tests/audio/conversion_reference.txt"));
}

// Every row, one sample at a time and through the interleaving path (as a
// run long enough for the vector loops, every position of it).
TEST(Conversion, EveryWidthMatchesTheReferenceTable) {
    const auto rows = referenceRows();
    ASSERT_EQ(rows.size(), 3u * 44u);
    for (int bits : {16, 24, 32}) {
        std::vector<float> samples;
        std::vector<const ReferenceRow*> expected;
        for (const auto& row : rows) {
            if (row.bits != bits) continue;
            samples.push_back(std::bit_cast<float>(row.input));
            expected.push_back(&row);
            EXPECT_EQ(convertSample(samples.back(), bits), row.expected)
                << bits << " bits, input " << std::hex << row.input;
        }
        const int count = static_cast<int>(samples.size());
        const float* channel = samples.data();
        std::vector<std::uint8_t> out(static_cast<std::size_t>(count) * bits / 8);
        interleaveSamples(&channel, 1, count, bits, out.data());
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(hexOf(out.data() + i * bits / 8, bits / 8), expected[i]->bytes)
                << bits << " bits, input " << std::hex << expected[i]->input;
        }
    }
}

TEST(Conversion, NamedCases) {
    struct Case {
        float sample;
        int bits;
        std::int32_t expected;
    };
    const Case cases[] = {
        {1.0f, 16, 32767},
        {-1.0f, 16, -32767},
        {0.99999f, 16, 32766},
        {std::bit_cast<float>(0x3F7FFFFFu), 16, 32766},
        {std::bit_cast<float>(0x3F7FFFFFu), 24, 8388606},
        {std::bit_cast<float>(0x3F7FFFFFu), 32, 2147483520},
        {1.0f, 32, 2147483647},
        {-1.0f, 32, -2147483647 - 1},
        {1.5f, 16, 32767},
        {-1.5f, 16, -32768},
        {1.5f, 24, 8388607},
        {-1.5f, 24, -8388608},
        {INFINITY, 32, 2147483647},
        {-INFINITY, 32, -2147483647 - 1},
        {NAN, 16, 0},
        {NAN, 32, 0},
        {-0.0f, 24, 0},
        {1e-30f, 32, 0},
        {std::bit_cast<float>(0x3ED81DB0u), 16, 13831},
        {std::bit_cast<float>(0x3F13ACEDu), 24, 4839030},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(convertSample(c.sample, c.bits), c.expected) << c.sample << " at " << c.bits << " bits";
    }
    EXPECT_EQ(conversionScale(16), 32767.0f);
    EXPECT_EQ(conversionScale(24), 8388607.0f);
    EXPECT_EQ(conversionScale(32), 2147483648.0f);
}

// Frame by frame, channel by channel: each sample lands in its own place.
TEST(Conversion, InterleavesOneTwoAndThreeChannels) {
    const auto rows = referenceRows();
    for (int bits : {16, 24, 32}) {
        std::vector<const ReferenceRow*> table;
        for (const auto& row : rows) {
            if (row.bits == bits) table.push_back(&row);
        }
        for (int channelCount : {1, 2, 3}) {
            // 13 frames: the vector loops and the scalar tail both run.
            const int frames = 13;
            std::vector<std::vector<float>> channels(channelCount, std::vector<float>(frames));
            std::vector<const float*> pointers;
            for (int c = 0; c < channelCount; ++c) {
                for (int f = 0; f < frames; ++f) {
                    channels[c][f] = std::bit_cast<float>(table[(f * channelCount + c * 7) % table.size()]->input);
                }
                pointers.push_back(channels[c].data());
            }
            const int bytes = bits / 8;
            std::vector<std::uint8_t> out(static_cast<std::size_t>(frames) * channelCount * bytes, 0xEE);
            interleaveSamples(pointers.data(), channelCount, frames, bits, out.data());
            for (int f = 0; f < frames; ++f) {
                for (int c = 0; c < channelCount; ++c) {
                    const auto* row = table[(f * channelCount + c * 7) % table.size()];
                    EXPECT_EQ(hexOf(out.data() + (f * channelCount + c) * bytes, bytes), row->bytes)
                        << bits << " bits, " << channelCount << " channels, frame " << f << ", channel " << c;
                }
            }
        }
    }
}

// The vector paths against the scalar reference on random bit patterns
// (NaNs, infinities and denormals included), every channel count up to 6
// and lengths around the vector widths.
TEST(Conversion, FastPathMatchesScalarReference) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> anyBits;
    std::uniform_real_distribution<float> nearRange(-1.6f, 1.6f);
    for (int bits : {16, 24, 32}) {
        for (int channelCount = 1; channelCount <= 6; ++channelCount) {
            for (int frames : {1, 3, 4, 7, 8, 9, 31, 64, 2205}) {
                std::vector<std::vector<float>> channels(channelCount, std::vector<float>(frames));
                std::vector<const float*> pointers;
                for (auto& channel : channels) {
                    for (float& sample : channel) {
                        sample = random() % 4 == 0 ? std::bit_cast<float>(anyBits(random)) : nearRange(random);
                    }
                    pointers.push_back(channel.data());
                }
                const std::size_t size = static_cast<std::size_t>(frames) * channelCount * bits / 8;
                std::vector<std::uint8_t> fast(size + 8, 0xEE);
                std::vector<std::uint8_t> reference(size + 8, 0xEE);
                interleaveSamples(pointers.data(), channelCount, frames, bits, fast.data());
                interleaveSamplesScalar(pointers.data(), channelCount, frames, bits, reference.data());
                ASSERT_EQ(fast, reference) << bits << " bits, " << channelCount << " channels, " << frames << " frames";
            }
        }
    }
}

TEST(Conversion, OtherWidthsWriteNothing) {
    const float samples[4] = {0.5f, -0.5f, 1.0f, 0.25f};
    const float* channel = samples;
    for (int bits : {8, 12, 0}) {
        std::uint8_t out[16];
        std::memset(out, 0x80, sizeof out);
        interleaveSamples(&channel, 1, 4, bits, out);
        EXPECT_TRUE(std::all_of(out, out + 16, [](std::uint8_t b) { return b == 0x80; })) << bits;
    }
}

}  // namespace
