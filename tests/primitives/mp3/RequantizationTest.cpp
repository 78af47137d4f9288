// zaviReQuantize_MP3_32s_I: the band routine of each build against exact
// values, whole granules with joint stereo against the double-precision
// model, short-block bounds and reordering, what stays untouched, and the
// order of the checks, on every build.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "Mp3StandardData.h"
#include "models/RequantizationModel.h"
#include "primitives.h"
#include "primitives/mp3/Mp3SignalBodies.h"

namespace primitives::test {
namespace {

const mp3gen::BandData& bandData() {
    static const mp3gen::BandData data = mp3gen::readBandData(std::string(VELKARN_MP3_DATA_DIR) + "/sfb_bands.txt");
    return data;
}

class Requantization : public PerBuildTest {
protected:
    using BandRoutine = PrimitiveStatus (*)(const int32_t*, int32_t*, int32_t, int32_t);
    BandRoutine bandRoutine() const {
        switch (build()) {
        case buildGeneric: return generic::requantizeBand;
        case buildSse: return sse::requantizeBand;
        case buildSse2: return sse2::requantizeBand;
        default: return sse3::requantizeBand;
        }
    }
};

// The caller's view of one granule.
struct Granule {
    GranuleInput input;
    std::array<int32_t, 1152> spectrum{};
    std::array<int32_t, 2> bounds{};
    std::array<int32_t, 576> work{};

    // Bounds from the Huffman values, spectrum from input.values.
    void load() {
        for (int32_t c = 0; c < 2; ++c) {
            bounds[c] = 0;
            for (int32_t i = 0; i < 576; ++i) {
                spectrum[576 * c + i] = input.values[c][i];
                if (input.values[c][i] != 0) bounds[c] = i + 1;
            }
        }
    }

    PrimitiveStatus run() {
        return zaviReQuantize_MP3_32s_I(spectrum.data(), bounds.data(), &input.scaleFactors[0][0], input.side,
                                        &input.header, work.data());
    }
};

MP3FrameHeader makeHeader(int32_t id, int32_t samplingFrequency, int32_t mode, int32_t modeExtension) {
    MP3FrameHeader header{};
    header.id = id;
    header.layer = 1;
    header.protection_bit = 1;
    header.sampling_frequency = samplingFrequency;
    header.mode = mode;
    header.mode_extension = modeExtension;
    return header;
}

// A plain granule: gain 210 (a = 0), no scale factors, no stereo.
Granule plainGranule(int32_t blockType = 0, int32_t mixed = 0) {
    Granule g;
    g.input.header = makeHeader(1, 0, 0, 0);
    for (MP3SideInfo& side : g.input.side) {
        side.global_gain = 210;
        side.block_type = blockType;
        side.window_switching_flag = blockType != 0;
        side.mixed_block_flag = mixed;
    }
    return g;
}

// ---- The band routine ----------------------------------------------------------

// Every magnitude the Huffman data can carry under every exponent from -120
// (far into saturation) to 200: within 1 unit plus 10^-5 of the exact value,
// truncated, and exactly 0x7FFFFFFF where the exact value reaches 2^31.
TEST_P(Requantization, BandRoutineFollowsTheExactPowerLaw) {
    std::vector<int32_t> src(8207);
    for (int32_t m = 0; m <= 8206; ++m) src[m] = (m % 3 == 1) ? -m : m;
    std::vector<int32_t> dst(8207);
    static const std::vector<long double> powers = [] {
        std::vector<long double> p(8207);
        for (int32_t m = 0; m <= 8206; ++m) p[m] = std::pow(static_cast<long double>(m), 4.0L / 3) * 67108864.0L;
        return p;
    }();
    for (int32_t a = -120; a <= 200; ++a) {
        ASSERT_EQ(bandRoutine()(src.data(), dst.data(), 8207, a), 0);
        const long double scale = std::exp2(-a / 4.0L);
        for (int32_t m = 0; m <= 8206; ++m) {
            const long double exact = powers[m] * scale;
            const int32_t magnitude = src[m] < 0 ? -dst[m] : dst[m];
            if (exact >= 2147483648.0L * (1 + 2e-5L)) {
                ASSERT_EQ(magnitude, 0x7FFFFFFF) << "m " << m << " a " << a;
                continue;
            }
            const long double truncated = std::min(std::floor(exact), 2147483647.0L);
            ASSERT_LE(std::fabs(magnitude - truncated), 1 + 1e-5L * exact) << "m " << m << " a " << a;
            ASSERT_GE(magnitude, 0) << "m " << m << " a " << a;
        }
    }
}

TEST_P(Requantization, BandRoutineRefusesMagnitudesAbove8206) {
    for (int32_t x : {8207, -8207, 1 << 20, INT32_MIN}) {
        const int32_t src[3] = {1, x, 1};
        int32_t dst[3] = {};
        EXPECT_EQ(bandRoutine()(src, dst, 3, 0), -2) << x;
    }
    const int32_t src[2] = {8206, -8206};
    int32_t dst[2] = {};
    EXPECT_EQ(bandRoutine()(src, dst, 2, 200), 0);
}

// ---- Whole granules against the model ---------------------------------------------

struct GranuleShape {
    int32_t id, samplingFrequency, mode, modeExtension, blockType, mixed;
};

// Random values, scale factors and side information of one shape; gains
// keep every value below saturation, so the model needs no clipping.
Granule randomGranule(std::mt19937& rng, const GranuleShape& shape) {
    auto uniform = [&](int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(rng); };
    Granule g;
    GranuleInput& in = g.input;
    in.header = makeHeader(shape.id, shape.samplingFrequency, shape.mode, shape.modeExtension);
    const bool intensity = shape.mode == 1 && (shape.modeExtension & 1) != 0;
    const int32_t channels = shape.mode == 3 ? 1 : 2;
    const int32_t row = shape.id * 3 + shape.samplingFrequency;
    const auto& shortBands = bandData().shortRows[row].bounds;
    const int32_t largest = std::array<int32_t, 3>{15, 200, 8206}[uniform(0, 2)];
    const int32_t gainBase = largest == 15 ? 140 : largest == 200 ? 110 : 80;
    for (int32_t c = 0; c < channels; ++c) {
        MP3SideInfo& side = in.side[c];
        side.global_gain = uniform(gainBase, gainBase + 56);
        side.block_type = shape.blockType;
        side.window_switching_flag = shape.blockType != 0;
        side.mixed_block_flag = shape.mixed;
        for (int32_t& gain : side.subblock_gain) gain = uniform(0, 7);
        side.scalefac_scale = uniform(0, 1);
        side.preflag = uniform(0, 1);
        side.scalefac_compress = uniform(0, 511);
        const bool positions = intensity && c == 1;
        const int32_t count = shape.blockType != 2 ? 21 : shape.mixed ? (shape.id == 1 ? 35 : 33) : 36;
        for (int32_t i = 0; i < count; ++i) {
            int32_t value = positions ? (shape.id == 1 ? uniform(0, 7) : uniform(-7, 15)) : uniform(0, 15);
            if (positions && shape.id == 0 && value < 0 && value != -7 && value != -3 && value != -1) value = 0;
            in.scaleFactors[c][i] = static_cast<int8_t>(value);
        }

        // Values up to a random line, lower on the intensity channel; short
        // blocks end per window.
        std::normal_distribution<double> spread(0, largest / 3.0);
        auto value = [&] {
            const int32_t v = static_cast<int32_t>(std::lround(spread(rng)));
            return std::clamp(uniform(0, 3) == 0 ? 0 : v, -largest, largest);
        };
        const int32_t cut = positions ? uniform(0, 300) : uniform(0, 576);
        for (int32_t i = 0; i < cut; ++i) in.values[c][i] = value();
        if (shape.blockType == 2) {
            const int32_t shortStart = shape.mixed ? 3 : 0;
            for (int32_t w = 0; w < 3; ++w) {
                const int32_t lastBand = uniform(shortStart - 1, positions ? 9 : 12);
                for (int32_t j = std::max(lastBand + 1, shortStart); j < 13; ++j) {
                    const int32_t width = shortBands[j + 1] - shortBands[j];
                    for (int32_t n = 0; n < width; ++n) in.values[c][3 * shortBands[j] + w * width + n] = 0;
                }
            }
        }
    }
    g.load();
    return g;
}

void expectMatchesModel(Granule& g, const std::string& what) {
    const auto expected = requantizeModel(g.input, bandData());
    const int32_t channels = g.input.header.mode == 3 ? 1 : 2;
    ASSERT_EQ(g.run(), 0) << what;
    for (int32_t c = 0; c < channels; ++c) {
        ASSERT_GE(g.bounds[c], 0);
        ASSERT_LE(g.bounds[c], 576);
        for (int32_t i = 0; i < 576; ++i) {
            const double model = expected[c][i];
            if (i < g.bounds[c]) {
                ASSERT_LE(std::abs(g.spectrum[576 * c + i] - model), 4 + 2e-5 * std::abs(model))
                    << what << " channel " << c << " line " << i;
            } else {
                ASSERT_LT(std::abs(model), 4) << what << " channel " << c << " line " << i << " past the bound "
                                              << g.bounds[c];
            }
        }
        if (g.bounds[c] > 0) {
            ASSERT_NE(g.spectrum[576 * c + g.bounds[c] - 1], 0) << what;
        }
    }
}

TEST_P(Requantization, GranulesFollowTheModel) {
    std::mt19937 rng(2024);
    std::vector<GranuleShape> shapes;
    for (int32_t id = 0; id < 2; ++id) {
        for (int32_t sf = 0; sf < 3; ++sf) {
            for (int32_t mode = 0; mode < 4; ++mode) {
                for (int32_t extension = 0; extension < 4; ++extension) {
                    if (mode != 1 && extension != 0) continue;
                    for (const auto& [blockType, mixed] : {std::pair{0, 0}, {1, 0}, {3, 0}, {2, 0}, {2, 1}}) {
                        shapes.push_back({id, sf, mode, extension, blockType, mixed});
                    }
                }
            }
        }
    }
    for (const GranuleShape& shape : shapes) {
        for (int32_t trial = 0; trial < 4; ++trial) {
            Granule g = randomGranule(rng, shape);
            expectMatchesModel(g, "id " + std::to_string(shape.id) + " sf " + std::to_string(shape.samplingFrequency) +
                                      " mode " + std::to_string(shape.mode) + "/" +
                                      std::to_string(shape.modeExtension) + " block " +
                                      std::to_string(shape.blockType) + (shape.mixed ? " mixed" : "") + " trial " +
                                      std::to_string(trial));
        }
    }
}

// Channels of different block types are legal without joint stereo.
TEST_P(Requantization, ChannelsMayDifferWithoutJointStereo) {
    std::mt19937 rng(3);
    for (const auto& [left, right] : {std::pair{0, 2}, {2, 0}, {2, 3}}) {
        Granule g = randomGranule(rng, {1, 0, 0, 0, left, 0});
        Granule other = randomGranule(rng, {1, 0, 0, 0, right, 0});
        g.input.side[1] = other.input.side[1];
        std::copy(std::begin(other.input.values[1]), std::end(other.input.values[1]), g.input.values[1]);
        std::copy(std::begin(other.input.scaleFactors[1]), std::end(other.input.scaleFactors[1]),
                  g.input.scaleFactors[1]);
        g.load();
        expectMatchesModel(g, "block types " + std::to_string(left) + "/" + std::to_string(right));
    }
}

// ---- Edge cases of single values and bounds ------------------------------------------

TEST_P(Requantization, UnitGainMapsOneToOneInQ26) {
    Granule g = plainGranule();
    g.input.values[0][0] = 1;
    g.input.values[0][1] = 8;
    g.input.values[0][2] = -1;
    g.load();
    ASSERT_EQ(g.run(), 0);
    EXPECT_EQ(g.spectrum[0], 0x04000000);
    EXPECT_EQ(g.spectrum[1], 0x40000000);
    EXPECT_EQ(g.spectrum[2], -0x04000000);
    EXPECT_EQ(g.bounds[0], 3);
}

TEST_P(Requantization, ScalefacScaleDoublesTheWeightOfScaleFactors) {
    for (int32_t scale = 0; scale < 2; ++scale) {
        Granule g = plainGranule();
        g.input.side[0].scalefac_scale = scale;
        g.input.scaleFactors[0][0] = 2;  // two steps: 2^-1 or 2^-2
        g.input.values[0][0] = 8;        // 16.0
        g.load();
        ASSERT_EQ(g.run(), 0);
        EXPECT_EQ(g.spectrum[0], scale == 0 ? 8 << 26 : 4 << 26);
    }
}

TEST_P(Requantization, MagnitudeAbove8206FailsTheGranule) {
    Granule g = plainGranule();
    g.input.values[0][0] = 8206;
    g.load();
    EXPECT_EQ(g.run(), 0);
    Granule bad = plainGranule();
    bad.input.values[0][5] = 8207;
    bad.load();
    EXPECT_EQ(bad.run(), -2);
    EXPECT_EQ(bad.bounds[0], 6) << "a failing granule leaves the bounds";
}

// Long blocks touch only the bands that start below the bound.
TEST_P(Requantization, LongBlocksLeaveLinesPastTheirLastBandUntouched) {
    Granule g = plainGranule();
    g.input.header.mode = 3;
    g.input.values[0][9] = 1;  // band 2 (8..11) at 44.1 kHz
    g.load();
    g.bounds[0] = 10;
    for (int32_t i = 12; i < 576; ++i) g.spectrum[i] = 0x3C3C3C3C;
    ASSERT_EQ(g.run(), 0);
    EXPECT_EQ(g.spectrum[9], 0x04000000);
    EXPECT_EQ(g.bounds[0], 10);
    for (int32_t i = 12; i < 576; ++i) ASSERT_EQ(g.spectrum[i], 0x3C3C3C3C) << i;
}

// Where a value of the stream's short order lands after reordering, and the
// bound, rounded up to whole sub-bands, past which nothing is written.
TEST_P(Requantization, ShortBlocksReorderSixValuesPerWindowAndSubband) {
    struct Case {
        int32_t streamLine, outputLine, bound;
    };
    // MPEG-1 44.1 kHz short bands: 0, 4, 8, 12, 16, 22, ... lines per window;
    // band j holds window 0, then window 1, then window 2.
    const Case cases[] = {
        {0, 0, 1},    {1, 1, 2},    {4, 6, 7},    {8, 12, 13},  {12, 4, 5},      {13, 5, 6},
        {14, 18, 19}, {24, 20, 21}, {36, 36, 37}, {48, 40, 41}, {571, 571, 572},
    };
    for (const Case& c : cases) {
        Granule g = plainGranule(2, 0);
        g.input.header.mode = 3;
        g.input.values[0][c.streamLine] = 1;
        g.load();
        // Guards past the written sub-bands, and past the short band that
        // holds the value (its other lines are Huffman zeros that are read).
        const auto& bands = bandData().shortRows[3].bounds;
        int32_t bandEnd = 0;
        while (3 * bands[bandEnd] <= c.streamLine) ++bandEnd;
        const int32_t written = (c.outputLine / 18 + 1) * 18;
        for (int32_t i = std::max(written, 3 * bands[bandEnd]); i < 576; ++i) g.spectrum[i] = 0x3C3C3C3C;
        ASSERT_EQ(g.run(), 0);
        EXPECT_EQ(g.bounds[0], c.bound) << "stream line " << c.streamLine;
        for (int32_t i = 0; i < written; ++i) {
            ASSERT_EQ(g.spectrum[i], i == c.outputLine ? 0x04000000 : 0) << "stream line " << c.streamLine << " out " << i;
        }
        for (int32_t i = std::max(written, 3 * bands[bandEnd]); i < 576; ++i) {
            ASSERT_EQ(g.spectrum[i], 0x3C3C3C3C) << "written past the bound: " << i;
        }
    }
}

TEST_P(Requantization, MixedBlocksKeepTheirLongLinesAndReorderFromBandThree) {
    Granule g = plainGranule(2, 1);
    g.input.header.mode = 3;
    for (int32_t i = 0; i < 36; ++i) g.input.values[0][i] = i % 5;
    g.input.values[0][36] = 1;       // short band 3, window 0, first line -> line 36
    g.input.values[0][36 + 4] = 8;   // short band 3, window 1 -> line 42
    g.input.scaleFactors[0][8] = 4;  // short band 3 window 0: 2^-2
    g.load();
    ASSERT_EQ(g.run(), 0);
    for (int32_t i = 0; i < 36; ++i) {
        const double exact = std::pow(i % 5, 4.0 / 3) * 67108864.0;
        EXPECT_NEAR(g.spectrum[i], exact, 1 + 1e-5 * exact) << i;
    }
    EXPECT_EQ(g.spectrum[36], 0x01000000);
    EXPECT_EQ(g.spectrum[42], 0x40000000);
    EXPECT_EQ(g.bounds[0], 43);
}

// ---- Checks ---------------------------------------------------------------------------

TEST_P(Requantization, ChecksComeInOrderAndWriteNothing) {
    struct Case {
        const char* what;
        void (*spoil)(Granule&);
        PrimitiveStatus status;
    };
    const Case cases[] = {
        {"id", [](Granule& g) { g.input.header.id = 2; }, -171},
        {"sampling_frequency", [](Granule& g) { g.input.header.sampling_frequency = 3; }, -171},
        {"mode", [](Granule& g) { g.input.header.mode = 4; }, -171},
        {"mode_extension", [](Granule& g) { g.input.header.mode_extension = -1; }, -171},
        {"header before side info", [](Granule& g) { g.input.header.mode_extension = 4; g.input.side[0].block_type = 9; }, -171},
        {"block types differ under mid/side",
         [](Granule& g) { g.input.header = makeHeader(1, 0, 1, 2); g.input.side[1].block_type = 2; }, -170},
        {"mixed flags differ under intensity",
         [](Granule& g) { g.input.header = makeHeader(1, 0, 1, 1); g.input.side[1].mixed_block_flag = 1; }, -170},
        {"differing types before a bad bound",
         [](Granule& g) { g.input.header = makeHeader(1, 0, 1, 3); g.input.side[1].block_type = 1; g.bounds[0] = -1; }, -170},
        {"block_type", [](Granule& g) { g.input.side[1].block_type = 4; }, -170},
        {"mixed_block_flag", [](Granule& g) { g.input.side[0].mixed_block_flag = 2; }, -170},
        {"bound", [](Granule& g) { g.bounds[1] = 577; }, -5},
        {"negative bound", [](Granule& g) { g.bounds[0] = -1; }, -5},
        {"channel 0's bound before channel 1's block type",
         [](Granule& g) { g.bounds[0] = 600; g.input.side[1].block_type = -1; }, -5},
        {"channel 1 of mono is not read", [](Granule& g) { g.input.header.mode = 3; g.input.side[1].block_type = 7; g.bounds[1] = 999; }, 0},
    };
    for (const Case& c : cases) {
        Granule g = plainGranule();
        g.input.values[0][3] = 2;
        g.input.values[1][7] = -3;
        g.load();
        c.spoil(g);
        const auto spectrum = g.spectrum;
        const auto bounds = g.bounds;
        EXPECT_EQ(g.run(), c.status) << c.what;
        if (c.status != 0) {
            EXPECT_EQ(g.spectrum, spectrum) << c.what;
            EXPECT_EQ(g.bounds, bounds) << c.what;
        }
    }
    Granule g = plainGranule();
    EXPECT_EQ(zaviReQuantize_MP3_32s_I(nullptr, g.bounds.data(), &g.input.scaleFactors[0][0], g.input.side, &g.input.header, g.work.data()), -8);
    EXPECT_EQ(zaviReQuantize_MP3_32s_I(g.spectrum.data(), nullptr, &g.input.scaleFactors[0][0], g.input.side, &g.input.header, g.work.data()), -8);
    EXPECT_EQ(zaviReQuantize_MP3_32s_I(g.spectrum.data(), g.bounds.data(), nullptr, g.input.side, &g.input.header, g.work.data()), -8);
    EXPECT_EQ(zaviReQuantize_MP3_32s_I(g.spectrum.data(), g.bounds.data(), &g.input.scaleFactors[0][0], nullptr, &g.input.header, g.work.data()), -8);
    EXPECT_EQ(zaviReQuantize_MP3_32s_I(g.spectrum.data(), g.bounds.data(), &g.input.scaleFactors[0][0], g.input.side, nullptr, g.work.data()), -8);
    EXPECT_EQ(zaviReQuantize_MP3_32s_I(g.spectrum.data(), g.bounds.data(), &g.input.scaleFactors[0][0], g.input.side, &g.input.header, nullptr), -8);
}

// Failures found while processing leave the bounds and write nothing outside
// the spectra and the work buffer.
TEST_P(Requantization, LateFailuresWriteOnlyTheSpectraAndTheWorkBuffer) {
    struct Case {
        const char* what;
        void (*spoil)(Granule&);
        PrimitiveStatus status;
    };
    const Case cases[] = {
        {"global_gain", [](Granule& g) { g.input.side[1].global_gain = 256; }, -170},
        {"scalefac_scale", [](Granule& g) { g.input.side[0].scalefac_scale = 2; }, -170},
        {"preflag", [](Granule& g) { g.input.side[1].preflag = -1; }, -170},
        {"subblock gain", [](Granule& g) { g.input.side[0].subblock_gain[1] = 8; }, -2},
        {"MPEG-1 intensity position", [](Granule& g) { g.input.scaleFactors[1][20] = 8; }, -2},
    };
    for (const Case& c : cases) {
        std::mt19937 rng(17);
        const bool shortCase = std::string(c.what) == "subblock gain";
        Granule g = randomGranule(rng, {1, 0, 1, 1, shortCase ? 2 : 0, 0});
        for (int32_t i = 0; i < 576; ++i) g.input.values[1][i] = 0;
        g.input.values[1][0] = 1;    // intensity from band 1
        g.input.values[0][575] = 1;  // up to the top band
        g.load();
        c.spoil(g);
        GuardedBuffer<int32_t> spectrum(1152), bounds(2), work(576);
        std::copy(g.spectrum.begin(), g.spectrum.end(), spectrum.data());
        std::copy(g.bounds.begin(), g.bounds.end(), bounds.data());
        const GranuleInput before = g.input;
        EXPECT_EQ(zaviReQuantize_MP3_32s_I(spectrum.data(), bounds.data(), &g.input.scaleFactors[0][0], g.input.side,
                                           &g.input.header, work.data()),
                  c.status)
            << c.what;
        EXPECT_TRUE(spectrum.guardsIntact() && bounds.guardsIntact() && work.guardsIntact()) << c.what;
        EXPECT_EQ(bounds[0], g.bounds[0]) << c.what;
        EXPECT_EQ(bounds[1], g.bounds[1]) << c.what;
        EXPECT_EQ(std::memcmp(&before, &g.input, sizeof before), 0) << c.what;
    }
}

// ---- Joint stereo ------------------------------------------------------------------

// Long-block stereo granule at 44.1 kHz: the left channel holds `left` at
// line 0 of every band, the right channel `right` in band 0 only (so its
// bound, and the intensity start, is band 1) or nothing.
Granule stereoGranule(int32_t id, int32_t modeExtension, int32_t left, int32_t right) {
    Granule g = plainGranule();
    g.input.header = makeHeader(id, 0, 1, modeExtension);
    const auto& bands = bandData().longRows[id * 3].bounds;
    for (int32_t b = 0; b < 22; ++b) g.input.values[0][bands[b]] = left;
    g.input.values[1][0] = right;
    g.load();
    return g;
}

TEST_P(Requantization, MidSideSpreadsMidAndSideOverBothChannels) {
    Granule g = stereoGranule(1, 2, 1, 0);  // M = 1.0, S = 0
    ASSERT_EQ(g.run(), 0);
    const double expected = 1 / std::sqrt(2.0) * 67108864.0;
    EXPECT_NEAR(g.spectrum[0], expected, 2);
    EXPECT_NEAR(g.spectrum[576], expected, 2);
    EXPECT_EQ(g.bounds[0], g.bounds[1]);

    Granule side = stereoGranule(1, 2, 1, 1);  // M = S = 1.0: L = 2M / sqrt 2, R = 0
    ASSERT_EQ(side.run(), 0);
    EXPECT_NEAR(side.spectrum[0], 2 * expected, 4);
    EXPECT_EQ(side.spectrum[576], 0);
}

// Band 1 of the left channel (1.0) under each intensity position.
TEST_P(Requantization, IntensityPositionsWeighTheLeftChannel) {
    struct Case {
        int32_t id, modeExtension, intensityScale, position;
        double left, right;  // fractions of the left value
    };
    const double r = std::pow(2.0, -0.25);
    const Case cases[] = {
        {1, 1, 0, 0, 0, 1},
        {1, 1, 0, 1, std::tan(M_PI / 12) / (1 + std::tan(M_PI / 12)), 1 / (1 + std::tan(M_PI / 12))},
        {1, 1, 0, 3, 0.5, 0.5},
        {1, 1, 0, 5, std::tan(5 * M_PI / 12) / (1 + std::tan(5 * M_PI / 12)), 1 / (1 + std::tan(5 * M_PI / 12))},
        {1, 1, 0, 6, 1, 0},
        {1, 1, 0, 7, 1, 0},                                  // illegal: left alone
        {1, 3, 0, 7, 1 / std::sqrt(2.0), 1 / std::sqrt(2.0)},  // illegal with mid/side: M / sqrt 2 in both
        {0, 1, 0, 0, 1, 1},
        {0, 1, 0, 1, r, 1},
        {0, 1, 0, 2, 1, r},
        {0, 1, 0, 5, r * r * r, 1},
        {0, 1, 1, 1, r * r, 1},
        {0, 1, 1, 4, 1, r * r * r * r},
        {0, 1, 1, 9, std::pow(2.0, -2.5), 1},
        {0, 1, 0, -7, 1, 0},                                 // illegal: left alone
        {0, 3, 0, -7, 1 / std::sqrt(2.0), 1 / std::sqrt(2.0)},
    };
    for (const Case& c : cases) {
        Granule g = stereoGranule(c.id, c.modeExtension, 1, 1);
        g.input.side[1].scalefac_compress = c.intensityScale;
        g.input.scaleFactors[1][1] = static_cast<int8_t>(c.position);
        const int32_t line = bandData().longRows[c.id * 3].bounds[1];
        ASSERT_EQ(g.run(), 0);
        const double full = 67108864.0;
        EXPECT_NEAR(g.spectrum[line], c.left * full, 3) << "id " << c.id << " position " << c.position;
        EXPECT_NEAR(g.spectrum[576 + line], c.right * full, 3) << "id " << c.id << " position " << c.position;
    }
}

// The standard sends no position for the top band; it takes position 0 from
// the buffer's trailing zero: MPEG-1 puts all of it right, MPEG-2 copies it.
TEST_P(Requantization, TopBandTakesPositionZero) {
    for (int32_t id : {1, 0}) {
        Granule g = stereoGranule(id, 1, 1, 1);
        const int32_t line = bandData().longRows[id * 3].bounds[21];
        ASSERT_EQ(g.run(), 0);
        EXPECT_EQ(g.spectrum[line], id == 1 ? 0 : 0x04000000) << id;
        EXPECT_NEAR(g.spectrum[576 + line], 0x04000000, 1) << id;
    }
    Granule s = plainGranule(2, 0);
    s.input.header = makeHeader(1, 0, 1, 1);
    s.input.values[0][3 * 136] = 1;  // short band 12, window 0
    s.input.values[1][0] = 1;
    s.load();
    ASSERT_EQ(s.run(), 0);
    EXPECT_EQ(s.spectrum[18 * 22 + 4], 0);  // frequency 136: sub-band 22, place 4
    EXPECT_NEAR(s.spectrum[576 + 18 * 22 + 4], 0x04000000, 1);
}

TEST_P(Requantization, StereoBoundsAreShared) {
    // Long: both channels end where the longer one does.
    Granule g = stereoGranule(1, 2, 0, 0);
    g.input.values[0][100] = 1;
    g.input.values[1][300] = 1;
    g.load();
    ASSERT_EQ(g.run(), 0);
    EXPECT_EQ(g.bounds[0], 301);
    EXPECT_EQ(g.bounds[1], 301);

    // Short: per-window intensity starts from the right channel (window 2
    // has none, so all of it is intensity-coded); both channels are reordered
    // up to the left channel's reach, then each bound is its own last value.
    Granule s = plainGranule(2, 0);
    s.input.header = makeHeader(1, 0, 1, 1);
    s.input.values[0][3 * 52 + 2 * 14] = 1;  // band 8 (52..65), window 2
    s.input.values[1][3 * 16 + 6] = 1;       // band 4 (16..21), window 1
    s.load();
    ASSERT_EQ(s.run(), 0);
    EXPECT_EQ(s.bounds[0], 0);
    EXPECT_EQ(s.bounds[1], 18 * (52 / 6) + 12 + 52 % 6 + 1);
    EXPECT_NEAR(s.spectrum[576 + 18 * (52 / 6) + 12 + 52 % 6], 0x04000000, 1) << "position 0 moves L to R";
    EXPECT_EQ(s.spectrum[18 * (52 / 6) + 12 + 52 % 6], 0);

    // Mixed under mid/side: the long part's end applies to channel 0 only,
    // the short part then sets both.
    Granule m = plainGranule(2, 1);
    m.input.header = makeHeader(1, 0, 1, 2);
    m.input.values[0][5] = 1;
    m.input.values[1][3 * 40] = 1;  // short band 7 (40..51), window 0
    m.load();
    ASSERT_EQ(m.run(), 0);
    EXPECT_EQ(m.bounds[0], m.bounds[1]);
    EXPECT_EQ(m.bounds[0], 18 * (40 / 6) + 40 % 6 + 1);
}

TEST_P(Requantization, JointStereoNeedsMatchingBlockTypes) {
    for (int32_t extension : {1, 2, 3}) {
        Granule g = stereoGranule(1, extension, 1, 1);
        g.input.side[1].block_type = 2;
        g.input.side[1].window_switching_flag = 1;
        const auto before = g.spectrum;
        EXPECT_EQ(g.run(), -170);
        EXPECT_EQ(g.spectrum, before);
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(Requantization);

}  // namespace
}  // namespace primitives::test
