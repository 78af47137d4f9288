#include "AudioTestHelpers.h"
#include "BuildTest.h"
#include "FloatBits.h"
#include "TestHeap.h"
#include "audio/DFT.h"
#include "framework/ResponseCurves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

// What spectrumColumns gives, with its peak outputs.
struct Columns {
    std::vector<float> values;
    float peakFraction = -1.0f;
    std::int32_t peakLow = -1;
    std::int32_t peakHigh = -1;
};

Columns columnsOf(DFT& dft, const std::vector<float>& ring, std::int32_t start, std::int32_t n, std::int32_t columns,
                  float from, float to, bool logScale) {
    Columns result;
    result.values.assign(static_cast<std::size_t>(columns) + 1, -100.0f);
    dft.spectrumColumns(ring.data(), start, n, static_cast<std::int32_t>(ring.size()), columns, from, to, logScale,
                        result.values.data(), true, result.peakFraction, result.peakLow, result.peakHigh);
    return result;
}

// The symmetric triangular window of length n.
double bartlett(std::int32_t i, std::int32_t n) {
    return 1.0 - std::fabs(2.0 * i / (n - 1) - 1.0);
}

class DftSpectrum : public primitives::test::PerBuildTest {};

// n = 1000 goes through a 1024-point transform: 13 zeros, the block scaled
// by 1024 / 1000 and windowed, then 11 zeros; a block that wraps at the
// ring's end is read in order.
TEST_P(DftSpectrum, PadsScalesWindowsAndUnwrapsTheBlock) {
    DFT dft(4096, 65, true);
    const std::vector<float> full(1024, 2.0f);
    dft.windowedBlock(full.data(), 0, 1024, 1024);  // fills every position

    std::vector<float> ring(3000);
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = std::sin(0.01f * static_cast<float>(i)) + 1.5f;
    const std::int32_t start = 2500;  // 500 samples to the ring's end, 500 from its start
    const float* block = dft.windowedBlock(ring.data(), start, 1000, 3000);
    ASSERT_EQ(dft.transformLength(), 1024);
    for (std::int32_t i = 0; i < 13; ++i) EXPECT_EQ(block[i], 0.0f) << i;
    for (std::int32_t i = 1013; i < 1024; ++i) EXPECT_EQ(block[i], 0.0f) << i;
    for (std::int32_t i = 0; i < 1000; ++i) {
        const double sample = ring[(start + i) % 3000];
        ASSERT_NEAR(block[13 + i], sample * 1.024 * bartlett(i, 1000), 1e-5) << i;
    }
}

// Silence sits at the floor: 1 + (4/9) log10(1e-6) in every column.
TEST_P(DftSpectrum, SilenceGivesTheFloorEverywhere) {
    DFT dft(2048, 129, true);
    const std::vector<float> silence(2048, 0.0f);
    const Columns result = columnsOf(dft, silence, 0, 2048, 128, 0.0f, 1.0f, false);
    for (const float v : result.values) EXPECT_NEAR(v, 1.0 + 4.0 / 9.0 * std::log10(1e-6), 1e-5);
}

// The column tables follow entry u = trunc(v x (L/2 - 1)), v = a + u (b - a)
// / c, linearly and through the logarithmic scale.
TEST_P(DftSpectrum, ColumnTablesFollowTheRange) {
    DFT dft(1024, 200, true);
    const std::vector<float> ring(1024, 0.1f);
    struct Range {
        std::int32_t columns;
        float from;
        float to;
        bool logScale;
    };
    for (const Range& r : {Range{64, 0.0f, 1.0f, false}, Range{40, 0.01f, 0.8f, false},
                           Range{100, 0.0f, 1.0f, true}, Range{199, 0.002f, 0.5f, true}}) {
        SCOPED_TRACE(testing::Message() << r.columns << " columns, " << r.from << " to " << r.to
                                        << (r.logScale ? " logarithmic" : " linear"));
        columnsOf(dft, ring, 0, 1024, r.columns, r.from, r.to, r.logScale);
        const float a = r.logScale ? logarithmicScale(r.from) : r.from;
        const float b = r.logScale ? logarithmicScale(r.to) : r.to;
        for (std::int32_t u = 0; u <= r.columns; ++u) {
            float v = a + static_cast<float>(u) * (b - a) / static_cast<float>(r.columns);
            if (r.logScale) v = exponentialScale(v);
            ASSERT_EQ(dft.columnTable()[u], static_cast<std::int32_t>(v * 511.0f)) << "entry " << u;
        }
    }
}

// A sine on bin 100 of a 1024-point block: the peak fraction is 100/511, its
// columns are where the range puts it, and its column is the loudest.
TEST_P(DftSpectrum, SineOnABinGivesItsPeak) {
    std::vector<float> ring(1024);
    for (std::size_t i = 0; i < ring.size(); ++i) {
        ring[i] = 0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 100.0 * static_cast<double>(i) / 1024.0));
    }
    DFT dft(1024, 65, true);
    for (const bool logScale : {false, true}) {
        SCOPED_TRACE(logScale ? "logarithmic" : "linear");
        const Columns result = columnsOf(dft, ring, 0, 1024, 64, 0.0f, 1.0f, logScale);
        EXPECT_FLOAT_EQ(result.peakFraction, 100.0f / 511.0f);
        const auto place = [&](float fraction) {
            return logScale ? fractionOnLogScale(fraction, 0.0f, 1.0f) : fraction;
        };
        EXPECT_EQ(result.peakLow, static_cast<std::int32_t>(64.0f * place(100.0f / 511.0f)) + 1);
        EXPECT_EQ(result.peakHigh, static_cast<std::int32_t>(64.0f * place(100.0f / 511.0f + 1.0f / 512.0f)) + 1);
        std::int32_t loudest = 0;
        for (std::int32_t u = 0; u < 64; ++u) {
            if (result.values[u] > result.values[loudest]) loudest = u;
        }
        const std::int32_t* entry = dft.columnTable();
        EXPECT_LE(entry[loudest], 100);
        EXPECT_GE(std::max(entry[loudest + 1] - 1, entry[loudest]), 100);
        // A 0.5 sine through the scaled triangular window: 0.5 / 2 x 1/2 in
        // each of the two mirrored bins, at least -45 dB above the floor.
        EXPECT_GT(result.values[loudest], 0.5f);
    }
}

// The window, the transform and the table are built for the first block,
// whatever its length, and the table follows every change of columns,
// range or scale: the same block gives what a fresh wrapper gives.
TEST_P(DftSpectrum, RebuildsForEveryChangeOfLengthOrTable) {
    DFT first(64, 41, true);
    const std::vector<float> ones(3, 1.0f);
    const Columns tiny = columnsOf(first, ones, 0, 3, 1, 0.0f, 1.0f, false);
    // Length 3 in a 4-point transform: 0, then 4/3 x (0, 1, 0), all four bins
    // of magnitude 1/3 after the division by 4.
    EXPECT_EQ(first.transformLength(), 4);
    for (const float v : tiny.values) EXPECT_NEAR(v, 1.0 + 4.0 / 9.0 * std::log10(1.0 / 3.0), 1e-5);

    std::vector<float> ring(64);
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = std::cos(0.7f * static_cast<float>(i)) * 0.3f;
    DFT reused(64, 41, true);
    struct Setting {
        std::int32_t n;
        std::int32_t columns;
        float from;
        float to;
        bool logScale;
    };
    for (const Setting& s : {Setting{64, 10, 0.0f, 1.0f, false}, Setting{64, 20, 0.0f, 1.0f, false},
                             Setting{64, 20, 0.1f, 1.0f, false}, Setting{64, 20, 0.1f, 0.6f, false},
                             Setting{64, 20, 0.1f, 0.6f, true}, Setting{50, 20, 0.1f, 0.6f, true},
                             Setting{33, 40, 0.0f, 1.0f, false}, Setting{64, 10, 0.0f, 1.0f, false}}) {
        SCOPED_TRACE(testing::Message() << "n " << s.n << ", " << s.columns << " columns, " << s.from << " to "
                                        << s.to << (s.logScale ? " logarithmic" : " linear"));
        DFT fresh(64, 41, true);
        const Columns expected = columnsOf(fresh, ring, 0, s.n, s.columns, s.from, s.to, s.logScale);
        const Columns got = columnsOf(reused, ring, 0, s.n, s.columns, s.from, s.to, s.logScale);
        EXPECT_TRUE(primitives::test::sameBits(got.values, expected.values));
        EXPECT_EQ(got.peakLow, expected.peakLow);
        EXPECT_EQ(got.peakHigh, expected.peakHigh);
    }
}

TEST_P(DftSpectrum, LimitsAreFatal) {
    EXPECT_FATAL(DFT(0, 10, true), "Cannot do a 0-point DFT.");
    DFT dft(1000, 11, true);  // capacity 1024
    EXPECT_EQ(dft.capacity(), 1024);
    const std::vector<float> ring(2048, 0.0f);
    EXPECT_FATAL(columnsOf(dft, ring, 0, 1025, 10, 0.0f, 1.0f, false), "Not enough space allocated for DFT.");
    EXPECT_FATAL(columnsOf(dft, ring, 0, 1024, 11, 0.0f, 1.0f, false), "Not enough space allocated for DFT.");
    EXPECT_FATAL(dft.mapColumnsToBins(11, 0.0f, 1.0f, false), "Not enough space allocated for DFT.");
    DFT anyLength(1000, 11, false);
    EXPECT_EQ(anyLength.capacity(), 1000);
    EXPECT_FATAL(columnsOf(anyLength, ring, 0, 1001, 10, 0.0f, 1.0f, false), "Not enough space allocated for DFT.");
    // Still usable at its limits.
    const Columns result = columnsOf(dft, ring, 0, 1024, 10, 0.0f, 1.0f, false);
    EXPECT_NEAR(result.values[0], 1.0 + 4.0 / 9.0 * std::log10(1e-6), 1e-5);
}

// At a constant block length a call makes no heap request, in either mode:
// with the next allocation set to fail it still gives the same columns.
TEST_P(DftSpectrum, SameLengthCallAllocatesNothing) {
    std::vector<float> ring(4000);
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = std::sin(0.05f * static_cast<float>(i));
    for (const bool powerOfTwo : {true, false}) {
        SCOPED_TRACE(powerOfTwo ? "power-of-two mode" : "any-length mode");
        const std::int32_t n = powerOfTwo ? 3000 : 1323;
        DFT dft(4096, 257, powerOfTwo);
        const Columns expected = columnsOf(dft, ring, 100, n, 256, 0.0f, 1.0f, true);

        Columns got;
        got.values.assign(257, 0.0f);
        const std::int64_t heapRequests = primitives::test::TestHeap::requests();
        const std::int64_t newCalls = globalNewCalls();
        {
            primitives::test::ScopedAllocationFailure failing(1);
            dft.spectrumColumns(ring.data(), 100, n, 4000, 256, 0.0f, 1.0f, true, got.values.data(), true,
                                got.peakFraction, got.peakLow, got.peakHigh);
        }
        EXPECT_EQ(primitives::test::TestHeap::requests(), heapRequests);
        EXPECT_EQ(globalNewCalls(), newCalls);
        EXPECT_TRUE(primitives::test::sameBits(got.values, expected.values));
        EXPECT_EQ(got.peakFraction, expected.peakFraction);
    }
}

// Any-length mode transforms the block at its own length, without padding:
// the columns match a double-precision DFT of the same windowed block, and
// the strongest bin gives the peak.
TEST_P(DftSpectrum, AnyLengthModeMatchesADoublePrecisionDft) {
    for (const std::int32_t n : {1000, 1323}) {
        SCOPED_TRACE(testing::Message() << "n " << n);
        std::vector<float> ring(static_cast<std::size_t>(n) + 200);
        std::uint32_t seed = 17;
        for (std::size_t i = 0; i < ring.size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
            ring[i] = static_cast<float>(0.6 * std::sin(2.0 * std::numbers::pi * 97.0 * static_cast<double>(i) / n) +
                                         0.2 * noise);
        }
        DFT dft(n, 101, false);
        EXPECT_EQ(dft.capacity(), n);
        const std::int32_t start = static_cast<std::int32_t>(ring.size()) - 150;  // wraps
        const std::vector<float> block(dft.windowedBlock(ring.data(), start, n, static_cast<std::int32_t>(ring.size())),
                                       dft.windowedBlock(ring.data(), start, n, static_cast<std::int32_t>(ring.size())) + n);
        ASSERT_EQ(dft.transformLength(), n);

        // |X(k)| / n of the block, for every bin k.
        std::vector<double> magnitude(static_cast<std::size_t>(n));
        for (std::int32_t k = 0; k < n; ++k) {
            double re = 0.0;
            double im = 0.0;
            for (std::int32_t i = 0; i < n; ++i) {
                const double angle = -2.0 * std::numbers::pi * static_cast<double>((std::int64_t{k} * i) % n) / n;
                re += block[i] * std::cos(angle);
                im += block[i] * std::sin(angle);
            }
            magnitude[k] = std::hypot(re, im) / n;
        }

        for (const bool logScale : {false, true}) {
            SCOPED_TRACE(logScale ? "logarithmic" : "linear");
            const Columns result = columnsOf(dft, ring, start, n, 100, 0.0f, 1.0f, logScale);
            const std::int32_t* entry = dft.columnTable();
            for (std::int32_t u = 0; u <= 100; ++u) {
                double sum = magnitude[entry[u]];
                for (std::int32_t bin = entry[u] + 1; u < 100 && bin < entry[u + 1]; ++bin) sum += magnitude[bin];
                const double expected = 1.0 + 4.0 / 9.0 * std::log10(std::max(sum, 1e-6));
                ASSERT_NEAR(result.values[u], expected, 2e-4) << "column " << u;
            }
            EXPECT_FLOAT_EQ(result.peakFraction, 97.0f / static_cast<float>(n / 2 - 1));
        }
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(DftSpectrum);

}  // namespace
