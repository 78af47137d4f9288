// The folded profile that the beat meta-data stores: against the NumPy
// model over tempi, meters and offsets (negative, beyond a period), its
// rotation, the reduction to 256 columns of longer and shorter folds, the
// unscaled profile of a constant envelope, and long songs whose products
// overflow single precision.
#include "BeatMapTestSupport.h"

#include "BuildTest.h"
#include "TestEnvironment.h"
#include "audio/AlignedFloats.h"
#include "tools/GUIBeatMap.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using namespace beatmap_test;

class FoldedProfile : public FrameworkTest {};

std::vector<float> profileOf(GUIBeatMap& map, float bpm, int barBeats, int offset) {
    std::int32_t count = -1;
    float* values = map.foldedProfile(bpm, barBeats, offset, &count);
    EXPECT_EQ(count, GUIBeatMap::profileColumns);
    std::vector<float> result(values, values + GUIBeatMap::profileColumns);
    releaseAligned(values);
    return result;
}

std::vector<float> modelProfile(const std::string& envelopePath, float bpm, int barBeats, int offset) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(bpm));
    const std::vector<std::string> lines = model({"profile", envelopePath, std::to_string(samplesPerValue), text,
                                                  std::to_string(barBeats), std::to_string(offset)});
    EXPECT_EQ(lines.size(), static_cast<std::size_t>(GUIBeatMap::profileColumns));
    return floatsFromHex(lines, 0, lines.size());
}

void expectClose(const std::vector<float>& actual, const std::vector<float>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    int differing = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        ASSERT_TRUE(std::isfinite(actual[i])) << "column " << i;
        const float tolerance = 1e-6f * std::max(1.0f, std::fabs(expected[i]));
        if (std::fabs(actual[i] - expected[i]) > tolerance && differing++ < 5)
            ADD_FAILURE() << "column " << i << ": " << actual[i] << " against " << expected[i];
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(FoldedProfile, EqualsTheModel) {
    struct Case {
        const char* song;
        float bpm;
        int barBeats;
        int offset;
    };
    const Case cases[] = {
        {"click-120", 120.0f, 4, 0},            // two bars: 1152.9 values, 5 a column
        {"click-120", 120.0f, 4, 22050},        // half a beat later
        {"click-120", 120.0f, 4, -5000},        // before the song: a period is added
        {"click-120", 120.0f, 4, -900000},      // several periods before
        {"click-120", 120.0f, 4, 10000000},     // many periods after
        {"music-128", 128.013f, 4, 1234},
        {"music-97.3-waltz", 97.3f, 3, 777},
        {"click-174", 174.0f, 1, 300},          // two beats: 199 values, fewer than the columns
        {"music-174", 174.0f, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.song) + " offset " + std::to_string(c.offset));
        const std::vector<float>& envelope = songEnvelope(tempoSong(c.song));
        const std::string path = writeFloats(std::string(c.song) + ".env", envelope);
        const std::vector<float> expected = modelProfile(path, c.bpm, c.barBeats, c.offset);
        forEachBuild(envelope, [&](GUIBeatMap& map) {
            const std::vector<float> profile = profileOf(map, c.bpm, c.barBeats, c.offset);
            expectClose(profile, expected);
            // x (1 / maximum) may land one step off 1.
            EXPECT_NEAR(*std::max_element(profile.begin(), profile.end()), 1.0f, 1.2e-7f) << "scaled to a maximum of 1";
        });
    }
}

TEST_F(FoldedProfile, TheOffsetRotatesTheFold) {
    // 4 values a column (folds of 1024.5 values, 1024 used): an offset of a whole number of
    // columns moves the profile by that many columns, and one period on
    // gives the same profile.
    std::vector<float> envelope(60000);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> level(0.0f, 1.0f);
    for (float& v : envelope) v = level(random);
    const float bpm = static_cast<float>(2.0 * 4 * 60.0 * 44100.0 / (1024.5 * samplesPerValue));
    GUIBeatMap map(0, 0, 10, 10, samplesPerValue, nullptr);
    setEnvelope(map, envelope);
    const std::vector<float> base = profileOf(map, bpm, 4, 0);
    for (int columns : {1, 5, 100, 255}) {
        SCOPED_TRACE(columns);
        const std::vector<float> moved = profileOf(map, bpm, 4, columns * 4 * samplesPerValue);
        for (int c = 0; c < GUIBeatMap::profileColumns; ++c)
            EXPECT_EQ(moved[static_cast<std::size_t>(c)], base[static_cast<std::size_t>((c + columns) % 256)]) << c;
    }
    const int period = static_cast<int>(2.0f * 4 * 60.0f / bpm * 44100.0f);
    EXPECT_EQ(profileOf(map, bpm, 4, -period), base) << "a negative offset of one period";
}

TEST_F(FoldedProfile, ConstantEnvelopes) {
    // Silence folds to ones, whose logarithms are all 0: returned unscaled.
    GUIBeatMap silent(0, 0, 10, 10, samplesPerValue, nullptr);
    setEnvelope(silent, std::vector<float>(20000, 0.0f));
    EXPECT_EQ(profileOf(silent, 120.0f, 4, 0), std::vector<float>(256, 0.0f));
    // A constant level is one onset at the very start: only the column of
    // value 0 stands out, wherever the offset puts it.
    const struct {
        int offset;
        int column;
    } cases[] = {{0, 0}, {153, 255}, {1147 * 153, 1}, {-5 * 153, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        GUIBeatMap level(0, 0, 10, 10, samplesPerValue, nullptr);
        setEnvelope(level, std::vector<float>(20000, 0.5f));
        // 120 BPM, 4 beats: 1152 values a fold, 4.5 a column (5 wide); the
        // first value lands at 1152 - offset / 153.
        const std::vector<float> profile = profileOf(level, 120.0f, 4, c.offset);
        std::vector<int> raised;
        for (int i = 0; i < 256; ++i)
            if (profile[static_cast<std::size_t>(i)] != 0.0f) raised.push_back(i);
        ASSERT_FALSE(raised.empty());
        EXPECT_EQ(profile[static_cast<std::size_t>(raised.front())], 1.0f);
        EXPECT_LE(raised.size(), 2u) << "a value lies in at most two overlapping columns";
        EXPECT_TRUE(std::find(raised.begin(), raised.end(), c.column) != raised.end());
    }
}

TEST_F(FoldedProfile, NoEnvelopeOrNoWholeValueGivesZeros) {
    GUIBeatMap empty(0, 0, 10, 10, samplesPerValue, nullptr);
    EXPECT_EQ(profileOf(empty, 120.0f, 4, 0), std::vector<float>(256, 0.0f));
    GUIBeatMap map(0, 0, 10, 10, samplesPerValue, nullptr);
    setEnvelope(map, std::vector<float>(5000, 0.3f));
    EXPECT_EQ(profileOf(map, 1.0e9f, 1, 0), std::vector<float>(256, 0.0f)) << "a fold shorter than one value";
    EXPECT_TRUE(testing_support::logTexts().empty());
}

TEST_F(FoldedProfile, LongSongsWhoseProductsOverflowStayFinite) {
    // Ten minutes of accented clicks at 120 BPM: 300 bars multiply the
    // downbeat's onset + 1 (about 2) up to 2^300.
    const std::vector<float> envelope = longAccentedEnvelope();
    const std::string path = writeFloats("long-profile.env", envelope);
    const std::vector<float> expected = modelProfile(path, 120.0f, 4, 0);
    GUIBeatMap map(0, 0, 10, 10, samplesPerValue, nullptr);
    setEnvelope(map, envelope);
    const std::vector<float> profile = profileOf(map, 120.0f, 4, 0);
    expectClose(profile, expected);
    EXPECT_EQ(profile[0], 1.0f) << "the downbeat is the strongest column";
    // The second bar's downbeat falls on 576 or 577 values by turns, so
    // each of those holds about half its onsets; between beats there are
    // almost none.
    EXPECT_GT(profile[128], 0.25f);
    EXPECT_LT(profile[16], 0.01f);
}

}  // namespace
