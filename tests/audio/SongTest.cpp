// A song's slots and their edits: one table of (edit, arguments) against
// the slots, records and beat range each leaves, then the limits at 5000
// slots and the stops.
#include "AudioTestHelpers.h"
#include "audio/Song.h"
#include "framework/StringException.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// Six slots from deck beat 10: slot i plays (1000 i, 1000), the last one
// frame longer.
std::unique_ptr<Song> sixSlots() {
    std::vector<SongSpan> spans;
    for (std::int32_t i = 0; i < 6; ++i) spans.push_back({1000 * i, i == 5 ? 1001 : 1000});
    return std::make_unique<Song>(spans, 10, false, 0, SongTexts{"T", "A", "L"});
}

// "first..end: position+length#source" per slot, with r (reversed), p
// (paused) and the gains where they differ from 1.
std::string describe(const Song& song) {
    std::string text = std::to_string(song.firstBeat()) + ".." + std::to_string(song.endBeat()) + ":";
    for (std::int32_t beat = song.firstBeat(); beat < song.endBeat(); ++beat) {
        SongSpan span{};
        SongBeat play{};
        song.spanAt(beat, &span, &play, nullptr);
        text += " " + std::to_string(span.position) + "+" + std::to_string(span.length) + "#" +
                std::to_string(play.sourceBeat);
        if (play.reversed) text += "r";
        if (play.paused) text += "p";
        if (play.gainStart != 1.0f || play.gainEnd != 1.0f) {
            char gains[40];
            std::snprintf(gains, sizeof gains, "@%.4f-%.4f", play.gainStart, play.gainEnd);
            text += gains;
        }
    }
    return text;
}

const std::string original =
    "10..16: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 4000+1000#4 5000+1001#5";

struct EditCase {
    const char* name;
    std::function<std::int64_t(Song&)> edit;  // the edit's result as a number
    std::int64_t result;
    std::string slots;
};

TEST(Song, EditTable) {
    std::int32_t out = -999;
    const auto del = [&out](std::int32_t beat, const char* type) {
        return [&out, beat, type](Song& s) {
            out = -999;
            const bool taken = s.deleteBeats(beat, type, out);
            return taken ? 1000000LL + out : 0LL;
        };
    };
    const EditCase cases[] = {
        {"halve", [](Song& s) { return s.halveBeats(); }, -3,
         "10..13: 0+2000#0 2000+2000#1 4000+2001#2"},
        {"double", [](Song& s) { return s.doubleBeats(); }, 6,
         "10..22: 0+500#0 500+500#1 1000+500#2 1500+500#3 2000+500#4 2500+500#5 3000+500#6 "
         "3500+500#7 4000+500#8 4500+500#9 5000+500#10 5500+501#11"},
        {"delete all", del(12, "all"), 1000010, "10..10:"},
        {"delete allBefore", del(12, "allBefore"), 1000010,
         "12..16: 2000+1000#2 3000+1000#3 4000+1000#4 5000+1001#5"},
        {"delete allAfter at the first beat", del(10, "allAfter"), 1000011, "10..11: 0+1000#0"},
        {"delete allAfter", del(13, "allAfter"), 1000014,
         "10..14: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3"},
        {"delete outside", del(16, "all"), 0, original},
        {"skip", [](Song& s) { return s.skipBeats(12, 2); }, 1,
         "10..14: 0+1000#0 1000+1000#1 4000+1000#4 5000+1001#5"},
        {"skip past the end", [](Song& s) { return s.skipBeats(14, 9); }, 1,
         "10..14: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3"},
        {"skip outside", [](Song& s) { return s.skipBeats(9, 1); }, 0, original},
        {"pause", [](Song& s) { return s.pauseBeats(12, 2); }, 1,
         "10..18: 0+1000#0 1000+1000#1 2000+1000#2p 2000+1000#2p 2000+1000#2 3000+1000#3 "
         "4000+1000#4 5000+1001#5"},
        {"pause at the last beat", [](Song& s) { return s.pauseBeats(15, 1); }, 1,
         "10..17: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 4000+1000#4 5000+1001#5p "
         "5000+1001#5"},
        {"pause outside", [](Song& s) { return s.pauseBeats(16, 1); }, 0, original},
        {"repeat inserting", [](Song& s) { return s.repeatBeats(14, 2, 2, false); }, 1,
         "10..20: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 2000+1000#2 3000+1000#3 "
         "2000+1000#2 3000+1000#3 4000+1000#4 5000+1001#5"},
        {"repeat 4 x 2 inserting", [](Song& s) { return s.repeatBeats(14, 4, 2, false); }, 1,
         "10..24: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 0+1000#0 1000+1000#1 2000+1000#2 "
         "3000+1000#3 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 4000+1000#4 5000+1001#5"},
        {"repeat overwriting, growing", [](Song& s) { return s.repeatBeats(14, 2, 2, true); }, 1,
         "10..18: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 2000+1000#2 3000+1000#3 "
         "2000+1000#2 3000+1000#3"},
        {"repeat overwriting inside", [](Song& s) { return s.repeatBeats(12, 1, 2, true); }, 1,
         "10..16: 0+1000#0 1000+1000#1 1000+1000#1 1000+1000#1 4000+1000#4 5000+1001#5"},
        {"repeat after the last beat", [](Song& s) { return s.repeatBeats(16, 2, 1, true); }, 1,
         "10..18: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 4000+1000#4 5000+1001#5 "
         "4000+1000#4 5000+1001#5"},
        {"repeat reaching before the song", [](Song& s) { return s.repeatBeats(11, 2, 1, false); }, 0, original},
        {"repeat past the song", [](Song& s) { return s.repeatBeats(17, 1, 1, false); }, 0, original},
        {"reverse", [](Song& s) { return s.reverseBeats(12, 3); }, 1,
         "10..16: 0+1000#0 1000+1000#1 4000+1000#4r 3000+1000#3r 2000+1000#2r 5000+1001#5"},
        {"reverse past the end", [](Song& s) { return s.reverseBeats(14, 10); }, 1,
         "10..16: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 5000+1001#5r 4000+1000#4r"},
        {"reverse twice", [](Song& s) { return s.reverseBeats(11, 4) && s.reverseBeats(11, 4); }, 1, original},
        {"move", [](Song& s) { s.moveByBeats(-20); return 1; }, 1,
         "-10..-4: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 4000+1000#4 5000+1001#5"},
        {"fade in", [](Song& s) { return s.fade(11, "in", 3); }, 1,
         "10..16: 0+1000#0 1000+1000#1@0.0000-0.3333 2000+1000#2@0.3333-0.6667 "
         "3000+1000#3@0.6667-1.0000 4000+1000#4 5000+1001#5"},
        {"fade out past the end", [](Song& s) { return s.fade(14, "out", 5); }, 1,
         "10..16: 0+1000#0 1000+1000#1 2000+1000#2 3000+1000#3 4000+1000#4@1.0000-0.5002 "
         "5000+1001#5@0.5002-0.0000"},
        {"fade outside", [](Song& s) { return s.fade(9, "in", 5); }, 0, original},
    };
    for (const EditCase& c : cases) {
        auto song = sixSlots();
        ASSERT_EQ(describe(*song), original);
        EXPECT_EQ(c.edit(*song), c.result) << c.name;
        EXPECT_EQ(describe(*song), c.slots) << c.name;
        EXPECT_EQ(song->count(), song->endBeat() - song->firstBeat()) << c.name;
    }
}

TEST(Song, FadeInOverEqualBeatsSteps) {
    std::vector<SongSpan> spans(8, SongSpan{0, 22050});
    Song song(spans, 0, false, 0, {});
    ASSERT_TRUE(song.fade(0, "in", 8));
    for (std::int32_t i = 0; i < 8; ++i) {
        SongBeat play{};
        song.spanAt(i, nullptr, &play, nullptr);
        EXPECT_NEAR(play.gainStart, i / 8.0f, 1e-6f) << i;
        EXPECT_NEAR(play.gainEnd, (i + 1) / 8.0f, 1e-6f) << i;
    }
    SongBeat first{};
    song.spanAt(0, nullptr, &first, nullptr);
    EXPECT_EQ(first.gainStart, 0.0f);
}

Song manySlots(std::int32_t n) {
    std::vector<SongSpan> spans;
    for (std::int32_t i = 0; i < n; ++i) spans.push_back({100 * i, 100});
    return Song(spans, 0, false, 0, {});
}

TEST(Song, FiveThousandSlotsAtMost) {
    Song half = manySlots(2500);
    EXPECT_EQ(half.doubleBeats(), 2500);
    EXPECT_EQ(half.count(), 5000);
    Song over = manySlots(2501);
    over.reverseBeats(3, 2);
    const std::string before = describe(over);
    try {
        over.doubleBeats();
        ADD_FAILURE() << "doubling past 5000 slots went through";
    } catch (const StringException& e) {
        EXPECT_STREQ(e.what(), "Too many beats in this song.");
    }
    EXPECT_EQ(describe(over), before);
    Song full = manySlots(4990);
    EXPECT_FALSE(full.pauseBeats(5, 11));
    EXPECT_FALSE(full.repeatBeats(10, 2, 6, false));
    EXPECT_FALSE(full.repeatBeats(4990, 5, 3, true));  // would end at 5000 + 5
    EXPECT_EQ(full.count(), 4990);
    EXPECT_TRUE(full.repeatBeats(4985, 5, 3, true));  // ends exactly at 5000
    EXPECT_EQ(full.count(), 5000);
    Song paused = manySlots(4990);
    EXPECT_TRUE(paused.pauseBeats(5, 10));
    EXPECT_EQ(paused.count(), 5000);
}

TEST(Song, HalvingOneSlotLeavesIt) {
    Song one({{500, 22050}}, 7, false, 0, {});
    one.reverseBeats(7, 1);
    EXPECT_EQ(one.halveBeats(), 0);
    EXPECT_EQ(describe(one), "7..8: 500+22050#0r");
    EXPECT_GT(one.minimumBpm(), 0.0f);
}

TEST(Song, ConstructionQueriesAndStops) {
    EXPECT_THROW(Song({}, 0, false, 0, {}), StringException);
    std::vector<SongSpan> tooMany(5001, SongSpan{0, 100});
    try {
        Song s(tooMany, 0, false, 0, {});
        ADD_FAILURE();
    } catch (const StringException& e) {
        EXPECT_STREQ(e.what(), "Too many beats in this song.");
    }
    try {
        Song s({}, 0, false, 0, {});
    } catch (const StringException& e) {
        EXPECT_STREQ(e.what(), "A song must count at least one beat.");
    }
    Song song({{300, 22050}, {22350, 11025}, {33375, 44100}}, -2, false, 0, {"Title", "Artist", "Label"});
    EXPECT_FLOAT_EQ(song.minimumBpm(), 60.0f);
    EXPECT_FLOAT_EQ(song.maximumBpm(), 240.0f);
    EXPECT_EQ(song.firstSourcePosition(), 300);
    std::int32_t left = 0;
    EXPECT_TRUE(song.beatsLeft(-1, left));
    EXPECT_EQ(left, 2);
    EXPECT_FALSE(song.beatsLeft(1, left));
    std::string title, artist, label;
    EXPECT_TRUE(song.tagsAtBeat(0, &title, &artist, &label));
    EXPECT_EQ(title + "|" + artist + "|" + label, "Title|Artist|Label");
    EXPECT_FALSE(song.tagsAtBeat(-3, &title, nullptr, nullptr));
    EXPECT_EQ(song.beatLengthAt(-1), 11025.0f);
    Song fixed({{0, 20000}, {20000, 30000}}, 0, true, 22000, {});
    EXPECT_EQ(fixed.beatLengthAt(1), 22000.0f);
    std::int32_t out = 0;
    EXPECT_FATAL(song.deleteBeats(0, "some", out), "Unknown type of delete.");
    EXPECT_FATAL(song.fade(0, "up", 2), "Unknown type of fade.");
}

}  // namespace
