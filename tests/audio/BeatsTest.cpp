#include "FrameworkTest.h"

#include "audio/Beats.h"

#include <cmath>

namespace {

Beats beatsAt(const std::vector<std::int32_t>& positions, const std::vector<bool>& generated = {}) {
    Beats beats(44100);
    for (std::size_t i = 0; i < positions.size(); ++i)
        beats.appendBeat(positions[i], i < generated.size() ? generated[i] : false);
    return beats;
}

std::vector<std::int32_t> positionsOf(const Beats& beats) {
    std::vector<std::int32_t> positions;
    for (std::int32_t i = 0; i < beats.count(); ++i) positions.push_back(beats[i].position);
    return positions;
}

std::vector<bool> generatedOf(const Beats& beats) {
    std::vector<bool> flags;
    for (std::int32_t i = 0; i < beats.count(); ++i) flags.push_back(beats[i].generated);
    return flags;
}

class BeatsList : public FrameworkTest {};

TEST_F(BeatsList, FindBeatGivesTheLastBeatAtOrBeforeThePosition) {
    const Beats beats = beatsAt({100, 200, 300, 400, 500});
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {99, -1}, {100, 0}, {101, 0}, {199, 0}, {200, 1}, {299, 1}, {300, 2}, {399, 2}, {400, 3}, {499, 3}, {500, 4}, {1 << 30, 4},
    };
    for (auto [position, index] : cases) EXPECT_EQ(beats.findBeat(position), index) << position;
    EXPECT_EQ(Beats(44100).findBeat(0), -1);
    // Two beats: the final comparison decides between lo and hi.
    const Beats two = beatsAt({10, 20});
    EXPECT_EQ(two.findBeat(19), 0);
    EXPECT_EQ(two.findBeat(20), 1);
    // Against a linear scan over every position of a longer list.
    const Beats many = beatsAt({-50, 0, 3, 7, 8, 100, 101, 5000});
    for (std::int32_t position = -60; position < 5010; ++position) {
        std::int32_t expected = -1;
        for (std::int32_t i = 0; i < many.count(); ++i)
            if (many[i].position <= position) expected = i;
        ASSERT_EQ(many.findBeat(position), expected) << position;
    }
}

TEST_F(BeatsList, TempoMeasuresUseTheNeighbourDistances) {
    const struct {
        std::vector<std::int32_t> positions;
        float minimum, maximum, median;
    } cases[] = {
        {{}, 0, 0, 0},
        {{500}, 0, 0, 0},
        {{0, 22050}, 120, 120, 120},
        // Distances 22050 and 44100: the lower median is the smaller one.
        {{0, 22050, 66150}, 60, 120, 120},
        // Distances 11025, 44100, 22050, 22050: sorted, element (5 - 2) / 2 = 1.
        {{0, 11025, 55125, 77175, 99225}, 60, 240, 120},
    };
    for (const auto& c : cases) {
        const Beats beats = beatsAt(c.positions);
        EXPECT_FLOAT_EQ(beats.minimumBpm(), c.minimum) << c.positions.size();
        EXPECT_FLOAT_EQ(beats.maximumBpm(), c.maximum) << c.positions.size();
        EXPECT_FLOAT_EQ(beats.medianBpm(), c.median) << c.positions.size();
    }
}

TEST_F(BeatsList, FirstSetBeatAndBeatLengths) {
    EXPECT_EQ(beatsAt({1, 2, 3}, {true, true, false}).firstSetBeat(), 2);
    EXPECT_EQ(beatsAt({1, 2, 3}, {true, true, true}).firstSetBeat(), 0);
    EXPECT_EQ(beatsAt({}).firstSetBeat(), 0);

    std::vector<Beats::BeatLength> lengths = beatsAt({10, 25, 45}).beatLengths();
    ASSERT_EQ(lengths.size(), 2u);
    EXPECT_EQ(lengths[0].position, 10);
    EXPECT_EQ(lengths[0].length, 15);
    EXPECT_EQ(lengths[1].position, 25);
    EXPECT_EQ(lengths[1].length, 20);
    EXPECT_TRUE(beatsAt({10}).beatLengths().empty());
}

TEST_F(BeatsList, PrependAndDropNegativeBeats) {
    Beats beats = beatsAt({100, 200});
    beats.prependBeat(-300, true);
    beats.prependBeat(-700, true);
    EXPECT_EQ(positionsOf(beats), (std::vector<std::int32_t>{-700, -300, 100, 200}));
    EXPECT_EQ(generatedOf(beats), (std::vector<bool>{true, true, false, false}));

    EXPECT_FATAL(beats.prependBeat(-700, true), "Cannot prepend a beat that does not precede in time.");
    EXPECT_FATAL(beats.prependBeat(0, true), "Cannot prepend a beat that does not precede in time.");

    EXPECT_EQ(beats.dropNegativeBeats(), 2);
    EXPECT_EQ(positionsOf(beats), (std::vector<std::int32_t>{100, 200}));
    Beats allNegative = beatsAt({-3, -2});
    EXPECT_EQ(allNegative.dropNegativeBeats(), 0);

    Beats empty(44100);
    empty.prependBeat(5, false);
    EXPECT_EQ(positionsOf(empty), (std::vector<std::int32_t>{5}));
}

TEST_F(BeatsList, AFullListTakesNoPrependedBeatAndLogs) {
    Beats beats(44100);
    for (std::int32_t i = 0; i < Beats::capacity; ++i) ASSERT_TRUE(beats.appendBeat(i * 100, false));
    EXPECT_FALSE(beats.appendBeat(1 << 30, false));
    beats.prependBeat(-100, true);
    EXPECT_EQ(beats.count(), Beats::capacity);
    EXPECT_EQ(beats[0].position, 0);
    ASSERT_FALSE(testing_support::logTexts().empty());
    EXPECT_NE(testing_support::logTexts().back().find("Too many beats in this song."), std::string::npos);
}

TEST_F(BeatsList, RegridFillsEachGapByRoundedBeatLengths) {
    // 120 BPM at 44100 Hz: beat length 22050 frames.
    const struct {
        const char* what;
        std::vector<std::int32_t> positions;
        std::int32_t songLength;
        std::vector<std::int32_t> expected;
        std::vector<bool> generated;
    } cases[] = {
        {"2.5 beat lengths: fraction 0.5 rounds down, one inserted", {0, 55125}, 55125, {0, 22050, 55125}, {false, true, false}},
        {"2.6 beat lengths: two inserted", {0, 57330}, 57330, {0, 22050, 44100, 57330}, {false, true, true, false}},
        {"before the first beat and after the last",
         {50000, 72050},
         72050 + 22050 * 2 + 100,
         {5900, 27950, 50000, 72050, 94100, 116150},
         {true, true, false, false, true, true}},
        {"a single beat", {30000}, 30000 + 22049, {7950, 30000}, {true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Beats beats = beatsAt(c.positions, std::vector<bool>(c.positions.size(), true));
        EXPECT_EQ(beats.regrid(c.songLength, 120.0f), static_cast<std::int32_t>(c.expected.size()));
        EXPECT_EQ(positionsOf(beats), c.expected);
        EXPECT_EQ(generatedOf(beats), c.generated);
    }
    Beats empty(44100);
    EXPECT_EQ(empty.regrid(100000, 120.0f), 0);
}

TEST_F(BeatsList, RegridPastTheCapacityLeavesTheListUnchanged) {
    Beats beats = beatsAt({0, 441000});
    // 5000 beats would need 4999 beat lengths in the song.
    EXPECT_EQ(beats.regrid(441000 * 1000, 120.0f), 0);
    EXPECT_EQ(positionsOf(beats), (std::vector<std::int32_t>{0, 441000}));
    // Exactly at the capacity it still fits: 4999 intervals of 22050.
    Beats full = beatsAt({0});
    EXPECT_EQ(full.regrid(22050 * 4999, 120.0f), Beats::capacity);
}

TEST_F(BeatsList, InterpolateGeneratedSpacesThemEvenlyWithAFloatStep) {
    Beats beats = beatsAt({-5, 0, 1, 2, 1000, 1100, 3, 4}, {true, false, true, true, false, true, true, false});
    // Positions need not be ordered before; set beats 1, 4 and 7.
    beats[6].position = 1200;
    beats[7].position = 1301;
    beats.interpolateGenerated();
    // 1000 / 3 = 333.33..: trunc of c x step.
    EXPECT_EQ(positionsOf(beats), (std::vector<std::int32_t>{-5, 0, 333, 666, 1000, 1100, 1200, 1301}));
    // Step (1301 - 1000) / 3 as a float: 100.333336; 2 x step = 200.66667.
    Beats tail = beatsAt({1000, 0, 0, 1301, 9}, {false, true, true, false, true});
    tail.interpolateGenerated();
    EXPECT_EQ(positionsOf(tail), (std::vector<std::int32_t>{1000, 1100, 1200, 1301, 9}));
    // 1838768 / 7 rounded to a float, times 6 in float: 1576087, where exact
    // arithmetic gives 1576086.
    Beats wide = beatsAt({0, 0, 0, 0, 0, 0, 0, 1838768}, {false, true, true, true, true, true, true, false});
    wide.interpolateGenerated();
    EXPECT_EQ(wide[6].position, 1576087);
}

TEST_F(BeatsList, SortAndMergeKeepsBeatsMoreThanAThousandFramesApart) {
    Beats beats = beatsAt({5000, 0, 1000, 2001, 2500, 3002, 4002});
    beats.sortAndMerge();
    EXPECT_EQ(positionsOf(beats), (std::vector<std::int32_t>{0, 2001, 3002, 5000}));
    Beats one = beatsAt({7});
    one.sortAndMerge();
    EXPECT_EQ(positionsOf(one), (std::vector<std::int32_t>{7}));
}

}  // namespace
