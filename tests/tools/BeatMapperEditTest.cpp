// The beat mapper's save pieces that need no window: phrase alignment, the
// records, the overview picture (decoded by Pillow and laid out again in
// float32 by tests/tools/overview_check.py) and the export layout.
#include "FrameworkTest.h"
#include "TestEnvironment.h"

#include "audio/AlignedFloats.h"
#include "audio/Beats.h"
#include "framework/Image.h"
#include "platform/UiScript.h"
#include "tools/BeatMapperEdit.h"
#include "tools/GUIBeatMap.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <tuple>

namespace {

Beats beatsAt(const std::vector<std::int32_t>& positions, bool generated = false) {
    Beats beats(44100);
    for (std::int32_t position : positions) beats.appendBeat(position, generated);
    return beats;
}

class BeatMapperEditing : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        platform::uiScript::enable();
    }
    void TearDown() override {
        platform::uiScript::disable();
        FrameworkTest::TearDown();
    }
    testing_support::TemporaryDirectory directory_;
};

// (first set beat, beat group, bar group, meter) to the beat of the bar
// beat 0 becomes, the whole bars before it (mod 4) and the beats put in
// front, including the two worked cases of the save's description.
TEST_F(BeatMapperEditing, PhraseAlignmentTable) {
    const struct {
        std::int32_t first, beat, bar, meter;
        std::int32_t offset, bars, prepended;
    } cases[] = {
        {0, 1, 0, 4, 1, 0, 1},   // one generated beat in front
        {9, 0, 0, 4, 3, 1, 7},   // -9 becomes 3 with -3 bars, taken as 1
        {0, 0, 0, 4, 0, 0, 0},   {5, 2, 3, 4, 1, 2, 9},  {2, 0, 0, 3, 1, 3, 10},
        {13, 3, 1, 3, 2, 1, 5},  {0, 3, 3, 4, 3, 3, 15}, {4, 0, 1, 4, 0, 0, 0},
        {16, 0, 0, 4, 0, 0, 0},  {17, 0, 0, 4, 3, 3, 15}, {1, 0, 0, 3, 2, 3, 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.first << " " << c.beat << " " << c.bar << " " << c.meter);
        const BeatMapperEdit::PhraseAlignment a = BeatMapperEdit::phraseAlignment(c.first, c.beat, c.bar, c.meter);
        EXPECT_EQ(a.offset, c.offset);
        EXPECT_EQ(a.bars, c.bars);
        EXPECT_EQ(a.prepended, c.prepended);
    }
}

// Whatever the groups say, after prepending the first set beat lies at the
// chosen beat of the chosen bar of a four-bar phrase that beat 0 starts.
TEST_F(BeatMapperEditing, AfterPrependingBeatZeroStartsAPhrase) {
    for (std::int32_t meter : {3, 4}) {
        for (std::int32_t first = 0; first < 40; ++first) {
            for (std::int32_t beat = 0; beat < meter; ++beat) {
                for (std::int32_t bar = 0; bar < 4; ++bar) {
                    const auto a = BeatMapperEdit::phraseAlignment(first, beat, bar, meter);
                    ASSERT_GE(a.prepended, 0);
                    ASSERT_LT(a.prepended, 4 * meter);
                    ASSERT_EQ((first + a.prepended) % (4 * meter), beat + meter * bar)
                        << first << " " << beat << " " << bar << " " << meter;
                }
            }
        }
    }
}

// The beats put in front step back by the first gap, generated, and may
// lie before the song.
TEST_F(BeatMapperEditing, PrependedBeatsStepBackByTheFirstGap) {
    const struct {
        std::vector<std::int32_t> positions;
        std::int32_t count;
        std::vector<std::int32_t> expected;
    } cases[] = {
        {{1000, 23050, 50000}, 3, {-65150, -43100, -21050, 1000, 23050, 50000}},
        {{30000, 40000}, 1, {20000, 30000, 40000}},
        {{30000, 40000}, 0, {30000, 40000}},
        {{30000}, 2, {30000}},  // no gap to step by
    };
    for (const auto& c : cases) {
        Beats beats = beatsAt(c.positions);
        BeatMapperEdit::prependBeats(beats, c.count);
        ASSERT_EQ(beats.count(), static_cast<std::int32_t>(c.expected.size()));
        for (std::int32_t i = 0; i < beats.count(); ++i) {
            EXPECT_EQ(beats[i].position, c.expected[static_cast<std::size_t>(i)]) << i;
            EXPECT_EQ(beats[i].generated, i < beats.count() - static_cast<std::int32_t>(c.positions.size())) << i;
        }
    }
}

TEST_F(BeatMapperEditing, TempoSettingsRecord) {
    const struct {
        float bpm;
        BeatMapperEdit::PhraseAlignment alignment;
        std::int32_t meter;
        bool usePng;
    } cases[] = {{123.456f, {3, 1, 7}, 4, false}, {97.3f, {0, 3, 9}, 3, true}};
    for (const auto& c : cases) {
        const BTSettings s = BeatMapperEdit::tempoSettings(c.bpm, c.alignment, c.meter, c.usePng);
        EXPECT_EQ(s.bpm, c.bpm);
        EXPECT_EQ(s.tempoFixed2, 1);
        EXPECT_EQ(s.strip[0], c.alignment.offset + 1);
        EXPECT_EQ(s.strip[1], c.meter);
        EXPECT_EQ(s.strip[2], 1);
        EXPECT_EQ(s.strip[3], 0);
        EXPECT_EQ(s.strip2[0], c.alignment.bars + 1);
        EXPECT_EQ(s.strip2[1], 0);
        EXPECT_EQ(s.strip3, c.usePng ? 1 : 0);
    }
}

// Each text is cut to the 127 characters a field holds; the tempo is the
// beats' median.
TEST_F(BeatMapperEditing, IdentificationRecordsCutTextsTo127) {
    BeatMapperEdit::Identification texts;
    texts.track = std::string(200, 't');
    texts.artist = std::string(127, 'a');
    texts.album = std::string(128, 'b');
    texts.label = std::string(511, 'l');
    texts.comments = "";
    texts.year = "1999";
    const Beats beats = beatsAt({0, 22050, 44100, 66150});
    SongTags tags;
    std::strcpy(tags.comment, "stale");
    SongTag2 label;
    BeatMapperEdit::identificationRecords(texts, beats, tags, label);
    EXPECT_EQ(std::string(tags.title), std::string(127, 't'));
    EXPECT_EQ(std::string(tags.artist), std::string(127, 'a'));
    EXPECT_EQ(std::string(tags.album), std::string(127, 'b'));
    EXPECT_EQ(std::string(label.label), std::string(127, 'l'));
    EXPECT_EQ(std::string(tags.comment), "");
    EXPECT_EQ(std::string(tags.year), "1999");
    EXPECT_EQ(tags.bpm, 120.0f);
    for (const char* field : {tags.title, tags.artist, tags.album, tags.comment, tags.year, label.label})
        EXPECT_EQ(field[songTextSize - 1], '\0');
}

// The level envelope record: 153 frames per level, the map's envelope, and
// the 256 profile values as the floats' IEEE-754 bits.
TEST_F(BeatMapperEditing, PointsRecordHoldsTheProfileAsFloatBits) {
    std::vector<float> envelope(2000);
    for (std::size_t i = 0; i < envelope.size(); ++i) envelope[i] = (i % 144 == 0) ? 1.0f : 0.01f * static_cast<float>(i % 7);
    GUIBeatMap map(0, 0, 10, 10, 153, nullptr);
    float* copy = allocateFloats(static_cast<std::int64_t>(envelope.size()));
    std::memcpy(copy, envelope.data(), envelope.size() * sizeof(float));
    map.setEnvelope(static_cast<std::int32_t>(envelope.size()), copy);

    for (const auto& [bpm, meter, first] : {std::tuple{120.0f, 4, 0}, std::tuple{97.3f, 3, -44100}}) {
        PointsRecord record = BeatMapperEdit::pointsRecord(map, bpm, meter, first);
        EXPECT_EQ(record.samplesPerLevel, 153);
        ASSERT_EQ(record.levelCount, 2000);
        for (std::int32_t i = 0; i < record.levelCount; ++i) ASSERT_EQ(record.levels[i], envelope[static_cast<std::size_t>(i)]);
        std::int32_t columns = 0;
        float* profile = map.foldedProfile(bpm, meter, first, &columns);
        ASSERT_EQ(record.valueCount, 256);
        ASSERT_EQ(columns, 256);
        float largest = 0.0f;
        for (std::int32_t i = 0; i < 256; ++i) {
            EXPECT_EQ(std::bit_cast<float>(record.values[i]), profile[i]) << i;
            largest = std::max(largest, profile[i]);
        }
        EXPECT_EQ(largest, 1.0f);
        releaseAligned(profile);
        record.release();
    }
}

// The overview picture against the Pillow check, over bar steps, spans that
// are no whole number of pixels, beats before the song and the notice.
TEST_F(BeatMapperEditing, OverviewPictureMatchesTheCheck) {
    const struct {
        const char* name;
        std::vector<std::int32_t> positions;
        std::int32_t barStep;
        bool notice;
    } cases[] = {
        {"nine", {5000, 27050, 49100, 71150, 93200, 115250, 137300, 159350, 181400}, 4, true},
        {"three", {0, 30000, 61000}, 4, false},
        {"waltz", {-30000, -8000, 14100, 36000, 58300, 80100, 102000, 124500, 146000, 168200, 190000}, 3, false},
        {"uneven", {100, 10100, 50100, 52100, 90000, 95000, 140001}, 2, true},
        {"narrow", {0, 2205, 4410}, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Beats beats = beatsAt(c.positions);
        const std::string song = directory_.file(std::string(c.name) + ".wav");
        ASSERT_TRUE(BeatMapperEdit::writeOverviewImage(beats, c.barStep, c.notice, song));
        std::vector<std::string> arguments{directory_.file(std::string(c.name) + ".png"), std::to_string(c.barStep),
                                           c.notice ? "1" : "0"};
        for (std::int32_t p : c.positions) arguments.push_back(std::to_string(p));
        EXPECT_EQ(testing_support::runPython("tools/overview_check.py", arguments), "ok\n");
    }
    EXPECT_TRUE(platform::uiScript::requests().empty());
}

// Fewer than two beats, or a span under one pixel, give no picture at all
// (a zero-wide picture would stop the program); an unwritable place shows
// the writer's text.
TEST_F(BeatMapperEditing, OverviewRefusals) {
    const std::vector<std::int32_t> none[] = {{}, {1000}, {1000, 3204}};
    for (const auto& positions : none) {
        const Beats beats = beatsAt(positions);
        EXPECT_FALSE(BeatMapperEdit::hasOverview(beats));
        EXPECT_EQ(BeatMapperEdit::overviewImage(beats, 4, true), nullptr);
        EXPECT_FALSE(BeatMapperEdit::writeOverviewImage(beats, 4, true, directory_.file("x.wav")));
    }
    EXPECT_FALSE(std::filesystem::exists(directory_.file("x.png")));
    EXPECT_TRUE(BeatMapperEdit::hasOverview(beatsAt({1000, 3205})));

    platform::uiScript::pushOk();
    const std::string missing = directory_.file("no/such/dir/song.wav");
    EXPECT_FALSE(BeatMapperEdit::writeOverviewImage(beatsAt({0, 44100}), 4, false, missing));
    const auto requests = platform::uiScript::requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].caption, "Could not save .png file.");
    EXPECT_EQ(requests[0].text, "Cannot open " + directory_.file("no/such/dir/song.png") + ".");
}

// The export picture's layout: one row per bar of the tempo's whole-frame
// beats, a row for the remainder, rows 1..20 high by the zoom.
TEST_F(BeatMapperEditing, ExportLayoutTable) {
    const struct {
        std::int32_t meter;
        float bpm;
        std::int32_t length;
        float zoom;
        std::int32_t samplesPerRow, valuesPerRow, rows, rowHeight, width, height;
    } cases[] = {
        {4, 120.0f, 441000, 0.0f, 88200, 576, 5, 20, 577, 100},
        {4, 120.0f, 441001, 1.0f, 88200, 576, 6, 1, 577, 6},
        {4, 120.0f, 441000, 0.5f, 88200, 576, 5, 10, 577, 50},
        {3, 97.3f, 1000000, 0.25f, 81582, 533, 13, 15, 534, 195},  // 27194 frames per beat
        {4, 0.0f, 441000, 0.0f, 0, 0, 0, 0, 0, 0},
        {4, 120.0f, 0, 0.0f, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.meter << " " << c.bpm << " " << c.length << " " << c.zoom);
        const auto layout = BeatMapperEdit::exportLayout(c.meter, c.bpm, c.length, c.zoom, 153);
        EXPECT_EQ(layout.samplesPerRow, c.samplesPerRow);
        EXPECT_EQ(layout.valuesPerRow, c.valuesPerRow);
        EXPECT_EQ(layout.rows, c.rows);
        EXPECT_EQ(layout.rowHeight, c.rowHeight);
        EXPECT_EQ(layout.width, c.width);
        EXPECT_EQ(layout.height, c.height);
    }
}

}  // namespace
