// The automatic player against an application that records its drops and
// fades and keeps real song lists: the walk over a crate of songs written
// at run time, the drop decision at phrase ends, restarts and refusals.
#include "BrowserTestSupport.h"
#include "RecordingApplication.h"
#include "TestEnvironment.h"
#include "app/Player.h"
#include "audio/Interpolator.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"
#include "tools/BrowserData.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Songs of `count` equal slots, beats per bar 4.
std::unique_ptr<Song> spanSong(std::int32_t firstBeat, std::int32_t count) {
    std::vector<SongSpan> spans;
    for (std::int32_t i = 0; i < count; ++i) spans.push_back({22050 * i, 22050});
    return std::make_unique<Song>(spans, firstBeat, false, 0, SongTexts{});
}

// The drops and fades asked for, and real song lists that a drop fills
// with a long song, so later decisions see it.
class PlayerApplication : public RecordingApplication {
public:
    std::array<Songs, 2> decks;
    std::set<std::string> refusing;
    std::vector<std::string> dropped;  // every path offered, refused or not
    std::int32_t placedBeats = 256;

    Songs* songs(int deck) override { return &decks.at(static_cast<std::size_t>(deck)); }
    bool dropSong(int deck, const std::string& path, int beat) override {
        RecordingApplication::dropSong(deck, path, beat);
        dropped.push_back(path);
        // A walk that never ends fails here instead of hanging the test.
        if (dropped.size() > 1000) throw std::runtime_error("endless walk");
        if (refusing.contains(path)) return false;
        decks.at(static_cast<std::size_t>(deck)).add(spanSong(beat, placedBeats));
        return true;
    }
};

// A crate of analysed songs named after their tempo ("t118.wav") and two
// unanalysed files, read the way the player reads it.
class PlayerTest : public ::testing::Test {
protected:
    static constexpr float tempos[] = {131.0f, 100.0f, 126.0f, 110.0f, 122.0f, 118.0f};

    void SetUp() override {
        for (float bpm : tempos) {
            browser_test::SongSpec spec;
            spec.seconds = 2.0;
            spec.bpm = bpm;
            browser_test::writeSong(pathOf(bpm), spec);
        }
        browser_test::SongSpec plain;
        plain.seconds = 1.0;
        plain.withMetaData = false;
        browser_test::writeSong(crate.file("plain1.wav"), plain);
        browser_test::writeSong(crate.file("plain2.wav"), plain);
        ASSERT_TRUE(player.loadCrate(crate.path()));
        ASSERT_EQ(player.crate().shownCount(), 8);
    }

    std::string pathOf(float bpm) const {
        char name[32];
        std::snprintf(name, sizeof name, "t%d.wav", static_cast<int>(bpm));
        return crate.file(name);
    }
    // "118" for a song of the crate, the file name otherwise.
    std::string nameOf(const std::string& path) const {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        return name[0] == 't' ? name.substr(1, name.size() - 5) : name;
    }
    std::vector<std::string> droppedNames() const {
        std::vector<std::string> names;
        for (const std::string& path : application.dropped) names.push_back(nameOf(path));
        return names;
    }
    // An application's recorded calls, then forgotten, with the crate's
    // paths shortened to tempos.
    std::vector<std::string> callsOf(PlayerApplication& app) const {
        std::vector<std::string> shortened;
        for (std::string call : app.take()) {
            const std::size_t at = call.find(crate.path());
            if (at != std::string::npos) {
                const std::size_t end = call.find(' ', at);
                call.replace(at, end - at, nameOf(call.substr(at, end - at)));
            }
            shortened.push_back(call);
        }
        return shortened;
    }
    std::vector<std::string> calls() { return callsOf(application); }

    testing_support::TemporaryDirectory crate;
    PlayerApplication application;
    Player player{&application};
};

struct WalkCase {
    const char* name;
    bool up;
    float minimum;
    float maximum;
    std::vector<std::string> steps;  // each step's song, "-" for a failed step
};

TEST_F(PlayerTest, WalkSkipsAndStopsAtTheWindowInBothDirections) {
    const WalkCase cases[] = {
        {"up, whole range", true, 40, 220, {"100", "110", "118", "122", "126", "131", "-", "-"}},
        {"up from 120", true, 120, 220, {"122", "126", "131", "-"}},
        {"up, 120 to 125: stops at the first above", true, 120, 125, {"122", "-", "-", "-"}},
        {"up, window on exact tempos", true, 110, 122, {"110", "118", "122", "-", "-"}},
        {"up, window above the crate", true, 140, 220, {"-", "-"}},
        {"down, whole range", false, 40, 220, {"131", "126", "122", "118", "110", "100", "-", "-"}},
        {"down to 120", false, 120, 220, {"131", "126", "122", "-", "-"}},
        {"down, 115 to 124: skips the faster", false, 115, 124, {"122", "118", "-", "-"}},
        {"down, window below the crate", false, 40, 90, {"-", "-"}},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        player.setMovingUp(c.up);
        player.setMinimumTempo(c.minimum);
        player.setMaximumTempo(c.maximum);
        // start restarts the walk at the first tick.
        player.stop();
        player.start();
        player.tick(-100);
        std::vector<std::string> steps;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            std::string path;
            steps.push_back(player.nextCandidate(path) ? nameOf(path) : "-");
        }
        EXPECT_EQ(steps, c.steps);
    }
}

struct DropCase {
    const char* name;
    bool up;
    std::int32_t overlap;
    std::vector<std::pair<int, std::pair<std::int32_t, std::int32_t>>> songs;  // deck, (first beat, beats)
    std::int32_t beat;
    std::vector<std::string> calls;
};

TEST_F(PlayerTest, DropDecisionAtThePhraseEnd) {
    const DropCase cases[] = {
        {"empty decks: deck 0, two beats on, faded over the overlap",
         true, 64, {}, 500, {"dropSong 0 100 502", "applyFade 0 502 in 64 cross tempo"}},
        {"empty decks moving down", false, 64, {}, 500, {"dropSong 0 131 502", "applyFade 0 502 in 64 cross tempo"}},
        {"100 beats from 1000: too early at 97 left", true, 64, {{0, {1000, 100}}}, 1003, {}},
        {"100 beats from 1000: dropped at 1032 over 68 beats", true, 64, {{0, {1000, 100}}}, 1004,
         {"dropSong 1 100 1032", "applyFade 1 1032 in 68 cross tempo"}},
        {"the same moving down", false, 64, {{0, {1000, 100}}}, 1004,
         {"dropSong 1 131 1032", "applyFade 1 1032 in 68 cross tempo"}},
        {"the longer song on deck 1: dropped on deck 0", true, 64, {{0, {1000, 40}}, {1, {1000, 100}}}, 1010,
         {"dropSong 0 100 1032", "applyFade 0 1032 in 68 cross tempo"}},
        {"an equal count keeps deck 0 the winner", true, 16, {{0, {1000, 40}}, {1, {1000, 40}}}, 1010,
         {"dropSong 1 100 1016", "applyFade 1 1016 in 24 cross tempo"}},
        {"a whole number of phrases: no remainder", true, 16, {{1, {0, 64}}}, 20,
         {"dropSong 0 100 48", "applyFade 0 48 in 16 cross tempo"}},
        // The drop beat never falls behind the current beat.
        {"a late start: b + 2", true, 64, {{0, {1000, 100}}}, 1050,
         {"dropSong 1 100 1052", "applyFade 1 1052 in 48 cross tempo"}},
        {"a song shorter than its overlap", true, 64, {{0, {1000, 10}}}, 1000,
         {"dropSong 1 100 1002", "applyFade 1 1002 in 8 cross tempo"}},
        {"the song's last beat: a fade of one beat", true, 64, {{0, {1000, 100}}}, 1099,
         {"dropSong 1 100 1101", "applyFade 1 1101 in 1 cross tempo"}},
    };
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.name);
        PlayerApplication app;
        Player fresh(&app);
        ASSERT_TRUE(fresh.loadCrate(crate.path()));
        fresh.setMovingUp(c.up);
        fresh.setOverlap(c.overlap);
        for (const auto& [deck, song] : c.songs) {
            app.decks[static_cast<std::size_t>(deck)].add(spanSong(song.first, song.second));
        }
        fresh.start();
        fresh.tick(c.beat);
        EXPECT_EQ(callsOf(app), c.calls);
    }
}

TEST_F(PlayerTest, PhrasesCountTheSongsOwnBarsFromItsMetaData) {
    // 39 beats in 3/4: phrases of 12 beats leave 3, not the 7 of 4/4.
    browser_test::SongSpec spec;
    spec.seconds = 20.0;
    spec.bpm = 120.0f;
    spec.beatsPerBar = 3;
    testing_support::TemporaryDirectory other;
    const std::string path = other.file("waltz.wav");
    browser_test::writeSong(path, spec);
    Interpolator interpolator{2};
    TimeScalerPV scaler{1024, 4};
    auto song = std::make_unique<Song>(path, 1000, interpolator, scaler, 40.0f, false, 0);
    ASSERT_EQ(song->count(), 39);
    ASSERT_EQ(song->beatsPerBar(), 3);
    application.decks[0].add(std::move(song));
    player.setOverlap(8);
    player.start();
    player.tick(1000);
    EXPECT_EQ(calls(), (std::vector<std::string>{"dropSong 1 100 1028", "applyFade 1 1028 in 11 cross tempo"}));
}

TEST_F(PlayerTest, FadeFlagOffDropsWithoutAFade) {
    player.setFading(false);
    player.start();
    player.tick(10);
    EXPECT_EQ(calls(), std::vector<std::string>{"dropSong 0 100 12"});
}

TEST_F(PlayerTest, WaitsForTheDroppedSongThenDropsTheNext) {
    application.placedBeats = 128;
    player.setOverlap(16);
    player.start();
    player.tick(0);  // 100 on deck 0 at 2, 128 beats: ends at 130
    EXPECT_EQ(player.nextCheckBeat(), 2);
    // Before the check beat nothing is looked at, even with no song there.
    application.decks[0].remove(&application.decks[0].song(0));
    player.tick(1);
    EXPECT_EQ(calls(), (std::vector<std::string>{"dropSong 0 100 2", "applyFade 0 2 in 16 cross tempo"}));
    application.decks[0].add(spanSong(2, 128));
    // 130 - 0 - 16 = 114; nothing while more than 16 + 32 beats are left.
    for (std::int32_t b = 2; b < 82; b += 8) player.tick(b);
    EXPECT_TRUE(calls().empty());
    player.tick(82);
    EXPECT_EQ(calls(), (std::vector<std::string>{"dropSong 1 110 114", "applyFade 1 114 in 16 cross tempo"}));
    EXPECT_EQ(player.nextCheckBeat(), 114);
    // The new song on deck 1 (114..242) now runs longest: the next goes to deck 0.
    player.tick(113);
    EXPECT_TRUE(calls().empty());
    player.tick(194);
    EXPECT_EQ(calls(), (std::vector<std::string>{"dropSong 0 118 226", "applyFade 0 226 in 16 cross tempo"}));
}

TEST_F(PlayerTest, StopHaltsAndStartRestartsTheWalk) {
    EXPECT_FALSE(player.isRunning());
    player.tick(0);
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(player.start());
    EXPECT_TRUE(player.start());  // already running: no second restart
    EXPECT_TRUE(player.isRunning());
    player.tick(0);
    player.tick(200);
    player.tick(400);
    EXPECT_EQ(droppedNames(), (std::vector<std::string>{"100", "110", "118"}));
    EXPECT_TRUE(player.stop());
    EXPECT_FALSE(player.stop());
    player.tick(600);
    EXPECT_EQ(droppedNames().size(), 3u);
    player.start();
    player.tick(600);
    EXPECT_EQ(droppedNames().back(), "100");

    // loadCrate stops as well.
    EXPECT_TRUE(player.loadCrate(crate.path()));
    EXPECT_FALSE(player.isRunning());
    player.tick(1000);
    EXPECT_EQ(droppedNames().size(), 4u);
}

TEST_F(PlayerTest, AnEndedWalkStartsAgainFromTheFirstSong) {
    player.setMinimumTempo(120);
    player.start();
    for (std::int32_t b = 0; b < 2000; b += 400) player.tick(b);
    EXPECT_EQ(droppedNames(), (std::vector<std::string>{"122", "126", "131", "122", "126"}));
}

TEST_F(PlayerTest, UnanalysedFilesAreNeverOffered) {
    for (bool up : {true, false}) {
        SCOPED_TRACE(up ? "up" : "down");
        PlayerApplication app;
        Player fresh(&app);
        ASSERT_TRUE(fresh.loadCrate(crate.path()));
        fresh.setMovingUp(up);
        fresh.start();
        for (std::int32_t b = 0; b < 8 * 400; b += 400) fresh.tick(b);
        ASSERT_EQ(app.dropped.size(), 8u);
        for (const std::string& path : app.dropped) EXPECT_EQ(nameOf(path).find("plain"), std::string::npos) << path;
    }
}

TEST_F(PlayerTest, EveryCandidateRefusedGivesUpAfterOneRestart) {
    for (float bpm : tempos) application.refusing.insert(pathOf(bpm));
    player.start();
    player.tick(0);
    // Each song offered once; the one restart finds only refused songs.
    EXPECT_EQ(droppedNames(), (std::vector<std::string>{"100", "110", "118", "122", "126", "131"}));
    EXPECT_EQ(player.nextCheckBeat(), -1);
    // Later ticks do not read the refused files again.
    player.tick(1);
    player.tick(2);
    EXPECT_EQ(application.dropped.size(), 6u);
    // A new start offers them again.
    player.stop();
    player.start();
    player.tick(3);
    EXPECT_EQ(application.dropped.size(), 12u);
}

TEST_F(PlayerTest, ARefusedSongIsNotOfferedAgainAfterTheWalkRestarts) {
    player.setMinimumTempo(115);
    player.setMaximumTempo(124);
    application.refusing.insert(pathOf(118));
    player.start();
    for (std::int32_t b = 0; b < 1200; b += 400) player.tick(b);
    EXPECT_EQ(droppedNames(), (std::vector<std::string>{"118", "122", "122", "122"}));
    // After a kept drop the next check beat follows the drops.
    EXPECT_EQ(player.nextCheckBeat(), 802);
}

TEST_F(PlayerTest, LoadCrateStopsAndReportsTheBuild) {
    player.start();
    // A directory that cannot be listed leaves the crate as it was.
    EXPECT_FALSE(player.loadCrate(crate.file("missing")));
    EXPECT_FALSE(player.isRunning());
    EXPECT_EQ(player.crate().shownCount(), 8);

    testing_support::TemporaryDirectory other;
    browser_test::SongSpec spec;
    spec.seconds = 2.0;
    spec.bpm = 140.0f;
    browser_test::writeSong(other.file("t140.wav"), spec);
    player.start();
    EXPECT_TRUE(player.loadCrate(other.path()));
    EXPECT_FALSE(player.isRunning());
    ASSERT_EQ(player.crate().shownCount(), 1);
    player.start();
    player.tick(0);
    EXPECT_EQ(droppedNames(), std::vector<std::string>{"140"});
}

TEST_F(PlayerTest, StartsWithTheApplicationsTempoRangeAndDefaults) {
    EXPECT_EQ(player.minimumTempo(), application.minimumTempo());
    EXPECT_EQ(player.maximumTempo(), application.maximumTempo());
    EXPECT_TRUE(player.isMovingUp());
    EXPECT_EQ(player.overlap(), 64);
    EXPECT_TRUE(player.isFading());
    EXPECT_EQ(player.nextCheckBeat(), -1);
}

}  // namespace
