// A deck's song list: beat lengths on and between songs, the newest song
// first, the cap of 100 songs, forwarded edits and dropping finished songs.
#include "AudioTestHelpers.h"
#include "TestEnvironment.h"
#include "audio/Songs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

// count slots from firstBeat, each `length` frames except a last of
// lastLength (when given).
std::unique_ptr<Song> songOf(std::int32_t firstBeat, std::int32_t count, std::int32_t length,
                             std::int32_t lastLength = 0, const std::string& title = "") {
    std::vector<SongSpan> spans;
    for (std::int32_t i = 0; i < count; ++i) {
        spans.push_back({length * i, i == count - 1 && lastLength > 0 ? lastLength : length});
    }
    return std::make_unique<Song>(spans, firstBeat, false, 0, SongTexts{title, "", ""});
}

std::int64_t countLog(const std::string& text) {
    const auto texts = testing_support::logTexts();
    return std::count_if(texts.begin(), texts.end(),
                         [&](const std::string& t) { return t.find(text) != std::string::npos; });
}

TEST(Songs, BeatLengthsOnAndBetweenSongs) {
    Songs empty;
    EXPECT_EQ(empty.beatLengthAt(-5000), 22050.0f);
    EXPECT_EQ(empty.beatLengthAt(77), 22050.0f);

    Songs deck;
    ASSERT_TRUE(deck.add(songOf(100, 10, 30000)));
    deck.dropFinished(110);  // removed: its last beat 109 at 30000
    ASSERT_EQ(deck.count(), 0);
    EXPECT_EQ(deck.removedEndBeat(), 109);
    EXPECT_EQ(deck.beatLengthAt(500), 30000.0f);
    ASSERT_TRUE(deck.add(songOf(120, 10, 20000)));
    ASSERT_TRUE(deck.add(songOf(132, 8, 24000, 25000)));
    const std::pair<std::int32_t, float> cases[] = {
        {105, 30000.0f},                                   // at or before the removed song's end
        {109, 30000.0f},
        {115, 30000.0f * 5 / 11 + 20000.0f * 6 / 11},      // between it and the first song
        {125, 20000.0f},                                   // held
        {130, 21333.333f},                                 // a gap of two beats
        {131, 22666.667f},
        {139, 25000.0f},                                   // held, the last beat
        {150, 25000.0f},                                   // after every song
    };
    for (const auto& [beat, length] : cases) EXPECT_NEAR(deck.beatLengthAt(beat), length, 0.01f) << beat;
}

TEST(Songs, GapsSearchBelowBeatZero) {
    // A song wholly before beat 0 and one after it: the search for the
    // neighbour below crosses -1.
    Songs deck;
    ASSERT_TRUE(deck.add(songOf(-20, 16, 20000)));  // beats -20..-5
    ASSERT_TRUE(deck.add(songOf(10, 10, 24000)));
    EXPECT_NEAR(deck.beatLengthAt(3), 20000.0f * 7 / 15 + 24000.0f * 8 / 15, 0.01f);
    // Bounds left stale by an edit made on the song itself: the neighbour
    // there is answers.
    Song* late = nullptr;
    ASSERT_TRUE(deck.songAtBeat(12, nullptr, &late));
    late->halveBeats();  // beats 10..14 now, the list still ends at 19
    EXPECT_EQ(deck.beatLengthAt(17), 48000.0f);
    deck.updateBounds();
    EXPECT_EQ(deck.latestBeat(), 14);
    EXPECT_EQ(deck.beatLengthAt(17), 48000.0f);
}

TEST(Songs, NewestSongWinsAndTheHundredFirstIsRefused) {
    testing_support::clearLog();
    Songs deck;
    ASSERT_TRUE(deck.add(songOf(0, 10, 20000, 0, "old")));
    ASSERT_TRUE(deck.add(songOf(5, 10, 24000, 0, "new")));
    std::string title;
    ASSERT_TRUE(deck.tagsAtBeat(7, &title, nullptr, nullptr));
    EXPECT_EQ(title, "new");
    std::int32_t index = -1;
    SongSpan span{};
    ASSERT_TRUE(deck.findSong(7, &index, &span, nullptr, nullptr));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(span.length, 24000);
    EXPECT_EQ(deck.beatLengthAt(7), 24000.0f);
    ASSERT_TRUE(deck.tagsAtBeat(3, &title, nullptr, nullptr));
    EXPECT_EQ(title, "old");
    EXPECT_FALSE(deck.findSong(15, &index, nullptr, nullptr, nullptr));
    EXPECT_EQ(deck.firstBeat(), 0);
    for (std::int32_t i = 2; i < Songs::maximumSongs; ++i) ASSERT_TRUE(deck.add(songOf(100 * i, 4, 22050)));
    auto extra = songOf(-50, 4, 30000);
    EXPECT_FALSE(deck.add(std::move(extra)));
    ASSERT_NE(extra, nullptr);  // still the caller's
    EXPECT_EQ(deck.count(), 100);
    EXPECT_EQ(deck.earliestBeat(), 0);
    EXPECT_EQ(countLog("Too many songs."), 1);
    EXPECT_EQ(Songs().firstBeat(), 2147483647);
}

TEST(Songs, ForwardedEditsRemoveEmptiedSongsAndRecomputeBounds) {
    Songs deck;
    ASSERT_TRUE(deck.add(songOf(0, 10, 20000)));
    ASSERT_TRUE(deck.add(songOf(20, 10, 24000)));
    // Skipping a whole song removes it; the first beat follows.
    EXPECT_TRUE(deck.skip(0, 10));
    EXPECT_EQ(deck.count(), 1);
    EXPECT_EQ(deck.earliestBeat(), 20);
    EXPECT_EQ(deck.firstBeat(), 20);
    // The repeat grows the song: the last beat follows.
    EXPECT_TRUE(deck.repeat(30, 2, 3, false));
    EXPECT_EQ(deck.latestBeat(), 35);
    EXPECT_TRUE(deck.pause(22, 4));
    EXPECT_EQ(deck.latestBeat(), 39);
    EXPECT_TRUE(deck.reverse(22, 2));
    EXPECT_TRUE(deck.fade(36, "out", 4));
    SongBeat play{};
    deck.findSong(39, nullptr, nullptr, &play, nullptr);
    EXPECT_NEAR(play.gainEnd, 0.0f, 1e-6f);
    std::int32_t out = 0;
    EXPECT_FALSE(deck.deleteBeats(500, "all", out));
    EXPECT_EQ(out, 500);
    EXPECT_FALSE(deck.skip(500, 1));
    deck.moveAll(-100);
    EXPECT_EQ(deck.earliestBeat(), -80);
    EXPECT_EQ(deck.latestBeat(), -61);
    EXPECT_TRUE(deck.deleteBeats(-70, "all", out));
    EXPECT_EQ(out, -80);
    EXPECT_EQ(deck.count(), 0);
}

TEST(Songs, DropFinishedKeepsTheLatestRemovedBeat) {
    Songs deck;
    ASSERT_TRUE(deck.add(songOf(0, 10, 20000)));
    ASSERT_TRUE(deck.add(songOf(5, 20, 21000, 21500)));
    ASSERT_TRUE(deck.add(songOf(30, 10, 24000)));
    deck.dropFinished(9);  // nothing ends by 9
    EXPECT_EQ(deck.count(), 3);
    deck.dropFinished(25);  // both earlier songs end by 25
    EXPECT_EQ(deck.count(), 1);
    EXPECT_EQ(deck.removedEndBeat(), 24);
    EXPECT_EQ(deck.removedBeatLength(), 21500.0f);
    EXPECT_EQ(deck.earliestBeat(), 30);
    EXPECT_NEAR(deck.beatLengthAt(27), 21500.0f * 3 / 6 + 24000.0f * 3 / 6, 0.01f);
}

TEST(Songs, ThreeHundredSongsAlongATimelineAreAllTaken) {
    Songs deck;
    for (std::int32_t i = 0; i < 300; ++i) {
        ASSERT_TRUE(deck.add(songOf(64 * i, 64, 20000 + i))) << i;
        deck.dropFinished(64 * i);  // the oldest beat the grid still holds
        ASSERT_LE(deck.count(), 1) << i;
        if (i > 0) {
            EXPECT_EQ(deck.removedEndBeat(), 64 * i - 1);
            EXPECT_EQ(deck.removedBeatLength(), 20000.0f + i - 1);
        }
    }
}

}  // namespace
