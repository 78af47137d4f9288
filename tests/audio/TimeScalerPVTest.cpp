#include "AudioTestHelpers.h"
#include "BuildTest.h"
#include "TestHeap.h"
#include "audio/TimeScalerPV.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double rate = 44100.0;
constexpr float sentinel = std::numeric_limits<float>::quiet_NaN();

std::int64_t outputCount(std::int32_t inCount, float ratio) {
    return static_cast<std::int64_t>(static_cast<double>(inCount) * static_cast<double>(ratio));
}

std::vector<float> sine(double frequency, double amplitude, std::int32_t count) {
    std::vector<float> signal(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        signal[i] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / rate));
    }
    return signal;
}

// Output samples that every one of the overlapping output frames covers,
// each of those frames made from two input frames inside the input.
struct Region {
    std::int64_t begin;
    std::int64_t end;
};
Region cleanRegion(std::int32_t inCount, float ratio, std::int32_t n, std::int32_t hop) {
    const std::int64_t inputFrames = inCount >= n ? (inCount - n) / hop + 1 : 0;
    const double step = 1.0 / static_cast<double>(ratio);
    std::int64_t clean = 0;  // output frames 0 .. clean - 1 have both their input frames inside
    while (static_cast<std::int64_t>(static_cast<double>(clean) * step) + 1 < inputFrames) ++clean;
    const std::int64_t outCount = outputCount(inCount, ratio);
    const std::int64_t outputFrames = outCount >= n ? (outCount - n) / hop + 1 : 0;
    return {n - hop, std::min(clean, outputFrames) * hop};
}

// Frequency from the upward zero crossings, interpolated between samples.
double measuredFrequency(const std::vector<float>& signal, Region region) {
    double first = -1.0;
    double last = -1.0;
    std::int64_t crossings = 0;
    for (std::int64_t i = region.begin; i + 1 < region.end; ++i) {
        if (signal[i] < 0.0f && signal[i + 1] >= 0.0f) {
            const double at = static_cast<double>(i) + signal[i] / (static_cast<double>(signal[i]) - signal[i + 1]);
            if (first < 0.0) first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings > 1 ? static_cast<double>(crossings - 1) / (last - first) * rate : 0.0;
}

double measuredAmplitude(const std::vector<float>& signal, Region region) {
    double sum = 0.0;
    for (std::int64_t i = region.begin; i < region.end; ++i) sum += static_cast<double>(signal[i]) * signal[i];
    return std::sqrt(2.0 * sum / static_cast<double>(region.end - region.begin));
}

class TimeScalerPV : public primitives::test::PerBuildTest {};

TEST(TimeScalerPVSetUp, NumbersOfTheSetUpAndRefusedSizes) {
    ::TimeScalerPV scaler(1024, 4);
    EXPECT_EQ(scaler.frameSize(), 1024);
    EXPECT_EQ(scaler.overlap(), 4);
    EXPECT_EQ(scaler.hop(), 256);
    EXPECT_EQ(scaler.bins(), 513);
    EXPECT_EQ(scaler.analysisGain(), 0.6666667f);
    EXPECT_EQ(scaler.expectedAdvance(0), 0.0f);
    EXPECT_EQ(scaler.expectedAdvance(1), static_cast<float>(std::numbers::pi / 2));
    EXPECT_FLOAT_EQ(scaler.expectedAdvance(512), static_cast<float>(256 * std::numbers::pi));

    scaler.setFrameSize(2048);
    EXPECT_EQ(scaler.frameSize(), 2048);
    EXPECT_EQ(scaler.hop(), 512);
    EXPECT_EQ(scaler.bins(), 1025);
    scaler.setOverlap(8);
    EXPECT_EQ(scaler.overlap(), 8);
    EXPECT_EQ(scaler.hop(), 256);
    EXPECT_EQ(scaler.analysisGain(), (4.0f / 8.0f) * 0.6666667f);
    EXPECT_FLOAT_EQ(scaler.expectedAdvance(1), static_cast<float>(std::numbers::pi / 4));

    EXPECT_FATAL(::TimeScalerPV(1000, 4), "Frame size is not a power of 2.");
    // A refused size leaves the scaler as it was.
    EXPECT_FATAL(scaler.setFrameSize(1000), "Frame size is not a power of 2.");
    EXPECT_FATAL(scaler.setOverlap(0), "Overlap must lie between 1 and the frame size.");
    EXPECT_FATAL(scaler.setFrameSize(2), "Frame size is too small.");
    EXPECT_EQ(scaler.frameSize(), 2048);
    EXPECT_EQ(scaler.overlap(), 8);
    const std::vector<float> in = sine(440.0, 0.5, 8192);
    std::vector<float> out(8192);
    scaler.process(in.data(), out.data(), 8192, 1.0f);
    EXPECT_NEAR(out[4096], in[4096], 5e-3);
}

// At ratio 1 every output frame is its input frame: a mix of tones comes
// back within the overlap-add's accuracy wherever all frames cover it.
TEST_P(TimeScalerPV, RatioOneReproducesTheInput) {
    constexpr std::int32_t count = 44100;
    std::vector<float> in(count);
    for (std::int32_t i = 0; i < count; ++i) {
        const double t = i / rate;
        in[i] = static_cast<float>(0.25 * std::sin(2 * std::numbers::pi * 110.0 * t) +
                                   0.25 * std::sin(2 * std::numbers::pi * 440.0 * t + 0.3) +
                                   0.25 * std::sin(2 * std::numbers::pi * 1000.0 * t + 1.1));
    }
    std::vector<float> out(count);
    ::TimeScalerPV scaler(1024, 4);
    scaler.process(in.data(), out.data(), count, 1.0f);
    const Region region = cleanRegion(count, 1.0f, 1024, 256);
    ASSERT_GT(region.end - region.begin, 40000);
    double worst = 0.0;
    for (std::int64_t i = region.begin; i < region.end; ++i) worst = std::max(worst, std::fabs(double{out[i]} - in[i]));
    EXPECT_LT(worst, 5e-3);
}

// Sines keep their frequency and amplitude at every ratio, and the output
// has exactly trunc(inCount x ratio) samples.
TEST_P(TimeScalerPV, SinesKeepFrequencyAndAmplitude) {
    ::TimeScalerPV scaler(1024, 4);
    const double frequencies[] = {430.66, 440.0, 1000.0, 5000.0};
    const float ratios[] = {0.5f, 0.8f, 0.9f, 0.95f, 1.05f, 1.1f, 1.25f, 2.0f};
    int run = 0;
    for (const double frequency : frequencies) {
        for (const float ratio : ratios) {
            const auto inCount = static_cast<std::int32_t>(rate * (1 + run++ % 3));
            SCOPED_TRACE(testing::Message() << frequency << " Hz, ratio " << ratio << ", " << inCount << " samples");
            const std::vector<float> in = sine(frequency, 0.5, inCount);
            const std::int64_t outCount = outputCount(inCount, ratio);
            std::vector<float> out(static_cast<std::size_t>(outCount) + 64, sentinel);
            scaler.process(in.data(), out.data(), inCount, ratio);
            for (std::int64_t i = 0; i < outCount; ++i) ASSERT_TRUE(std::isfinite(out[i])) << "sample " << i;
            for (std::size_t i = outCount; i < out.size(); ++i) ASSERT_TRUE(std::isnan(out[i])) << "written past at " << i;

            const Region region = cleanRegion(inCount, ratio, 1024, 256);
            ASSERT_GT(region.end - region.begin, 10000);
            EXPECT_NEAR(measuredFrequency(out, region), frequency, frequency * 0.001);
            const double level = 20.0 * std::log10(measuredAmplitude(out, region) / 0.5);
            EXPECT_NEAR(level, 0.0, 1.0);
        }
    }
}

// A tone burst in silence lands at ratio x its input position and lasts
// ratio x its duration. Output frame k is made from the input frame that
// starts at k x H / ratio, so content at input sample x comes out at
// ratio x x + (1 - ratio) x N / 2 (frame centres map onto frame centres).
TEST_P(TimeScalerPV, BurstPositionAndLengthScale) {
    constexpr std::int32_t inCount = 52920;  // 1.2 s
    constexpr std::int32_t begin = 17640;    // 0.4 s
    constexpr std::int32_t end = 26460;      // 0.6 s
    std::vector<float> in(inCount, 0.0f);
    const std::vector<float> tone = sine(1000.0, 0.5, end - begin);
    std::copy(tone.begin(), tone.end(), in.begin() + begin);
    ::TimeScalerPV scaler(1024, 4);
    for (const float ratio : {0.5f, 0.8f, 1.0f, 1.25f, 2.0f}) {
        SCOPED_TRACE(testing::Message() << "ratio " << ratio);
        const std::int64_t outCount = outputCount(inCount, ratio);
        std::vector<float> out(static_cast<std::size_t>(outCount));
        scaler.process(in.data(), out.data(), inCount, ratio);
        // The burst's extent from its energy: its centre is the energy's
        // centre of mass, its duration the energy over the tone's power.
        // Onset and decay smear over a few frames but keep the energy.
        double energy = 0.0;
        double moment = 0.0;
        for (std::int64_t i = 0; i < outCount; ++i) {
            energy += double{out[i]} * out[i];
            moment += double{out[i]} * out[i] * static_cast<double>(i);
        }
        const double centre = moment / energy;
        const double duration = energy / (0.5 * 0.5 / 2.0);
        const double offset = (1.0 - ratio) * 512.0;
        EXPECT_NEAR(centre - duration / 2.0, ratio * begin + offset, 256.0);
        EXPECT_NEAR(centre + duration / 2.0, ratio * end + offset, 256.0);
    }
}

// A sound that starts inside the block keeps its level: after a first tone
// (and after silence) a second tone comes out at its own amplitude, at
// ratios where bins advanced each by itself lose up to 12 dB.
TEST_P(TimeScalerPV, ToneStartingInsideTheBlockKeepsItsLevel) {
    constexpr std::int32_t half = 44100;
    ::TimeScalerPV scaler(1024, 4);
    for (const bool silenceFirst : {false, true}) {
        std::vector<float> in = sine(440.0, silenceFirst ? 0.0 : 0.5, 2 * half);
        const std::vector<float> second = sine(1000.0, 0.5, half);
        std::copy(second.begin(), second.end(), in.begin() + half);
        for (const float ratio : {0.5f, 0.8f, 1.1f, 1.25f, 2.0f}) {
            SCOPED_TRACE(testing::Message() << (silenceFirst ? "after silence" : "after a tone") << ", ratio " << ratio);
            const std::int64_t outCount = outputCount(2 * half, ratio);
            std::vector<float> out(static_cast<std::size_t>(outCount));
            scaler.process(in.data(), out.data(), 2 * half, ratio);
            // The second tone, away from its onset and the block's end.
            const Region clean = cleanRegion(2 * half, ratio, 1024, 256);
            const Region region{static_cast<std::int64_t>(ratio * half) + 2048, clean.end};
            ASSERT_GT(region.end - region.begin, 8000);
            EXPECT_NEAR(20.0 * std::log10(measuredAmplitude(out, region) / 0.5), 0.0, 1.0);
            EXPECT_NEAR(measuredFrequency(out, region), 1000.0, 1.0);
        }
    }
}

// Input frames that would reach past in[inCount - 1] are never read, and
// output frames end inside the output: with NaN right after the input every
// output is finite, and exact-size buffers (under AddressSanitizer) are not
// overrun.
TEST_P(TimeScalerPV, NeverReadsPastTheInputNorWritesPastTheOutput) {
    struct Case {
        std::int32_t inCount;
        float ratio;
    };
    const Case cases[] = {{10000, 0.5f}, {10000, 1.0f}, {10000, 1.5f}, {10000, 2.0f}, {10000, 3.0f},
                          {10000, 5.5f}, {600, 2.0f},   {600, 5.5f},   {1000, 2.0f},  {1000, 1.0f},
                          {1023, 1.0f},  {1500, 0.7f},  {300, 0.5f}};
    ::TimeScalerPV scaler(1024, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.inCount << " samples, ratio " << c.ratio);
        const std::vector<float> signal = sine(440.0, 0.5, c.inCount);
        const std::int64_t outCount = outputCount(c.inCount, c.ratio);

        std::vector<float> exactIn = signal;
        std::vector<float> exactOut(static_cast<std::size_t>(outCount), sentinel);
        scaler.process(exactIn.data(), exactOut.data(), c.inCount, c.ratio);

        std::vector<float> guardedIn = signal;
        guardedIn.resize(signal.size() + 4096, sentinel);
        std::vector<float> out(static_cast<std::size_t>(outCount), sentinel);
        scaler.process(guardedIn.data(), out.data(), c.inCount, c.ratio);
        for (std::int64_t i = 0; i < outCount; ++i) {
            ASSERT_TRUE(std::isfinite(out[i])) << "sample " << i;
            ASSERT_EQ(out[i], exactOut[i]) << "sample " << i;
        }
        // No output frame fits: the output is cleared and stays silent.
        if (outCount < 1024) {
            EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 0.0f; }));
        }
    }
}

// process makes no heap request at all: the next allocation is set to fail
// and the output is still right; neither the primitives' heap nor global
// new is asked.
TEST_P(TimeScalerPV, ProcessAllocatesNothing) {
    const std::vector<float> in = sine(440.0, 0.5, 20000);
    std::vector<float> expected(40000);
    std::vector<float> out(40000);
    ::TimeScalerPV scaler(1024, 4);
    scaler.process(in.data(), expected.data(), 20000, 2.0f);

    const std::int64_t heapRequests = primitives::test::TestHeap::requests();
    const std::int64_t newCalls = globalNewCalls();
    {
        primitives::test::ScopedAllocationFailure failing(1);
        scaler.process(in.data(), out.data(), 20000, 2.0f);
    }
    EXPECT_EQ(primitives::test::TestHeap::requests(), heapRequests);
    EXPECT_EQ(globalNewCalls(), newCalls);
    EXPECT_EQ(out, expected);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(TimeScalerPV);

}  // namespace
