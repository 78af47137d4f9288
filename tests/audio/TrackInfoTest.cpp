// The mix's beat grid: the fresh grid, lookups by time and index across
// the ring's wrap, advancing with drops and recomputed lengths, tempo
// fades, the ring's cap, and a remote grid's answers.
#include "AudioTestHelpers.h"
#include "TestEnvironment.h"
#include "audio/TrackInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace {

constexpr std::int32_t horizon = 35277000;

class Application : public TrackInfoApplication {
public:
    float standardTempo() const override { return tempo; }
    TrackInfoRemote* trackInfoRemote() override { return remote; }
    float tempo = 120.0f;
    TrackInfoRemote* remote = nullptr;
};

class Deck : public DeckBeatLengths {
public:
    explicit Deck(std::function<float(std::int32_t)> f) : lengthOf(std::move(f)) {}
    float beatLengthAt(std::int32_t beat) const override { return lengthOf(beat); }
    std::function<float(std::int32_t)> lengthOf;
};

std::int64_t countLog(const std::string& text) {
    const auto texts = testing_support::logTexts();
    return std::count_if(texts.begin(), texts.end(),
                         [&](const std::string& t) { return t.find(text) != std::string::npos; });
}

// Every held beat follows its predecessor without a gap.
void expectContiguous(const TrackInfo& grid) {
    const std::int32_t first = grid.oldestBeatIndex();
    for (std::int32_t i = first + 1; i < first + grid.count(); ++i) {
        const TrackBeat a = grid.record(i - 1), b = grid.record(i);
        ASSERT_EQ(b.index, i);
        ASSERT_EQ(b.position, a.position + a.length) << i;
    }
}

TEST(TrackInfo, FreshGridAtTheStandardTempo) {
    struct Case {
        float tempo;
        std::int32_t beatFrames;
        std::int32_t count;
        std::int32_t first;
    };
    // b = trunc(2646000 / tempo + 0.5); c = 10584000 / b; count = horizon
    // / b + c + 2; the first index is -c - 1.
    const Case cases[] = {
        {120.0f, 22050, 2081, -481},
        {100.0f, 26460, 1333 + 400 + 2, -401},
        {133.0f, 19895, 1773 + 531 + 2, -532},
    };
    Deck deck([](std::int32_t) { return 22050.0f; });
    for (const Case& c : cases) {
        Application application;
        application.tempo = c.tempo;
        TrackInfo grid(application, horizon, deck, deck);
        EXPECT_EQ(grid.count(), c.count) << c.tempo;
        EXPECT_EQ(grid.oldestBeatIndex(), c.first);
        const TrackBeat first = grid.record(c.first);
        EXPECT_EQ(first.position, static_cast<std::int64_t>(c.first) * c.beatFrames);
        EXPECT_EQ(first.length, c.beatFrames);
        EXPECT_EQ(grid.record(0).position, 0);
        EXPECT_EQ(grid.lastBeat().index, c.first + c.count - 1);
        expectContiguous(grid);
    }
    Application application;
    TrackInfo grid(application, horizon, deck, deck);
    EXPECT_EQ(grid.record(-481).position, -10606050);
}

TEST(TrackInfo, RingSlotsWrapBothWays) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {0, 0}, {1, 1}, {4999, 4999}, {5000, 0}, {5001, 1}, {-1, 4999},
        {-5000, 0}, {-5001, 4999}, {-481, 4519}, {12345, 2345}, {-2147483647 - 1, 4999 - 3647}};
    for (const auto& [index, slot] : cases) EXPECT_EQ(TrackInfo::slotOf(index), slot) << index;
}

TEST(TrackInfo, BeatAtATimeAcrossTheRingsWrap) {
    Application application;
    Deck deck([](std::int32_t) { return 22050.0f; });
    TrackInfo grid(application, horizon, deck, deck);
    // The held beats run from slot 4519 past 4999 to slot 1599.
    const std::pair<std::int64_t, std::int32_t> cases[] = {
        {-10606050, -481},        // the oldest beat's start
        {-1, -1},                 // slot 4999
        {0, 0},                   // slot 0: a time at a beat's end is the next beat
        {22049, 0},
        {22050, 1},
        {-22050, -1},
        {-22051, -2},
        {1598LL * 22050 + 22049, 1598},  // in the newest beat
        {777777, 35},
    };
    for (const auto& [time, index] : cases) EXPECT_EQ(grid.beatIndexAt(time), index) << time;
    testing_support::clearLog();
    EXPECT_EQ(grid.beatIndexAt(-10606051), -481);
    EXPECT_EQ(countLog("Cannot go back in time: -10606051 < -10606050."), 1);
    EXPECT_EQ(grid.beatIndexAt(1600LL * 22050 - 1), 1599);
    EXPECT_FATAL(grid.beatIndexAt(1600LL * 22050), "Cannot go that far into the future.");
}

TEST(TrackInfo, RecordsOutsideTheGrid) {
    Application application;
    Deck deck([](std::int32_t) { return 22050.0f; });
    TrackInfo grid(application, horizon, deck, deck);
    testing_support::clearLog();
    EXPECT_EQ(grid.record(-482).index, -481);
    EXPECT_EQ(countLog("Cannot go back in time."), 1);
    EXPECT_EQ(grid.record(1599).index, 1599);
    EXPECT_FATAL(grid.record(1600), "Beat info not yet available.");
    // setRecord: held beats only, never a length below one frame.
    grid.setRecord(10, TrackBeat{10, 220500, 30000, 0.25f});
    EXPECT_EQ(grid.record(10), (TrackBeat{10, 220500, 30000, 0.25f}));
    grid.setRecord(5000, TrackBeat{5000, 0, 30000, 0.0f});
    grid.setRecord(11, TrackBeat{11, 0, 0, 0.0f});
    EXPECT_EQ(grid.record(11).length, 22050);
    EXPECT_EQ(countLog("A beat of 0 frames is ignored."), 1);
}

TEST(TrackInfo, AdvanceDropsExtendsAndRecomputes) {
    Application application;
    std::map<std::int32_t, float> one, two;  // lengths that differ from 22050
    Deck deckOne([&](std::int32_t b) { return one.count(b) ? one[b] : 22050.0f; });
    Deck deckTwo([&](std::int32_t b) { return two.count(b) ? two[b] : 22050.0f; });
    TrackInfo grid(application, horizon, deckOne, deckTwo);
    // A beat goes once its end + 10,583,999 lies before the time: the
    // first one ends at -10,584,000.
    grid.advanceTo(-1, false, 0);
    EXPECT_EQ(grid.oldestBeatIndex(), -481);
    grid.advanceTo(0, false, 0);
    EXPECT_EQ(grid.oldestBeatIndex(), -480);
    EXPECT_EQ(grid.lastBeat().index, 1599);  // end 1600 x 22050 > 1 + horizon
    expectContiguous(grid);
    // New beats take the decks' blend by the newest beat's weight.
    one[1700] = 20000.0f;
    two[1700] = 24000.0f;
    grid.setTempoFade(1500, 0.5f, 0.5f, 1);
    grid.advanceTo(200LL * 22050 + 1, false, 0);
    EXPECT_EQ(grid.record(1700).length, 22000);
    EXPECT_EQ(grid.record(1700).weight, 0.5f);
    EXPECT_EQ(grid.record(1701).position, grid.record(1700).position + 22000);
    expectContiguous(grid);
    // Lengths already held change only with recompute, from its beat on,
    // and every later beat moves with them.
    one[200] = 11025.0f;
    two[200] = 11025.0f;
    one[300] = 11025.0f;
    two[300] = 11025.0f;
    const TrackBeat before = grid.record(400);
    grid.advanceTo(200LL * 22050 + 2, false, 0);
    EXPECT_EQ(grid.record(200).length, 22050);
    grid.advanceTo(200LL * 22050 + 3, true, 250);
    EXPECT_EQ(grid.record(200).length, 22050);
    EXPECT_EQ(grid.record(300).length, 11025);
    EXPECT_EQ(grid.record(400).position, before.position - 11025);
    expectContiguous(grid);
    EXPECT_GT(grid.lastBeat().end(), 200LL * 22050 + 3 + horizon);
    EXPECT_LE(grid.lastBeat().position, 200LL * 22050 + 3 + horizon);
    // Past the newest beat's end by four minutes nothing is left.
    EXPECT_FATAL(grid.advanceTo(grid.lastBeat().end() + TrackInfo::historyFrames, false, 0),
                 "Not a single beat in sight !!!");
}

TEST(TrackInfo, TempoFadeGlidesWeights) {
    Application application;
    Deck deckOne([](std::int32_t) { return 20000.0f; });
    Deck deckTwo([](std::int32_t) { return 24000.0f; });
    TrackInfo grid(application, horizon, deckOne, deckTwo);
    grid.setTempoFade(100, 0.0f, 1.0f, 32);
    const std::pair<std::int32_t, float> cases[] = {
        {99, 0.0f}, {100, 0.0f}, {108, 0.25f}, {116, 0.5f}, {131, 31.0f / 32.0f}, {132, 1.0f}, {1599, 1.0f}};
    for (const auto& [index, weight] : cases) EXPECT_FLOAT_EQ(grid.record(index).weight, weight) << index;
    grid.advanceTo(0, true, 100);
    const std::pair<std::int32_t, std::int32_t> lengths[] = {
        {99, 22050}, {100, 20000}, {116, 22000}, {132, 24000}, {1400, 24000}};
    for (const auto& [index, length] : lengths) EXPECT_EQ(grid.record(index).length, length) << index;
    expectContiguous(grid);
}

TEST(TrackInfo, TheRingHoldsAtMost5000Beats) {
    testing_support::clearLog();
    Application application;
    Deck fast([](std::int32_t) { return 5000.0f; });
    TrackInfo grid(application, horizon, fast, fast);
    grid.advanceTo(0, true, -481);
    EXPECT_EQ(grid.count(), TrackInfo::ringSize);
    EXPECT_LT(grid.lastBeat().end(), horizon);
    expectContiguous(grid);
    EXPECT_EQ(countLog("The beat grid is full"), 1);
    // It goes on where the ring allows, and logs only once.
    grid.advanceTo(10000000, true, 0);
    EXPECT_EQ(grid.count(), TrackInfo::ringSize);
    EXPECT_EQ(countLog("The beat grid is full"), 1);
    expectContiguous(grid);
    // A tempo so fast that even the fresh grid would overflow.
    application.tempo = 600.0f;  // 4410-frame beats
    TrackInfo full(application, horizon, fast, fast);
    EXPECT_EQ(full.count(), TrackInfo::ringSize);
    expectContiguous(full);
}

TEST(TrackInfo, LengthsBelowOneFrameNeverStallTheWalk) {
    Application application;
    Deck zero([](std::int32_t b) { return b >= 1700 ? 0.0f : 22050.0f; });
    TrackInfo grid(application, 22050 * 2000, zero, zero);
    grid.advanceTo(0, true, 1700);
    EXPECT_EQ(grid.record(1699).length, 22050);
    EXPECT_EQ(grid.record(1700).length, 1);
    EXPECT_EQ(grid.count(), TrackInfo::ringSize);
    expectContiguous(grid);
}

class Remote : public TrackInfoRemote {
public:
    std::int32_t remoteBeatIndexAt(std::int64_t time, bool& answered) override {
        answered = answering;
        return static_cast<std::int32_t>(time / 1000);
    }
    TrackBeat remoteBeat(std::int32_t index, bool& answered) override {
        answered = answering;
        return TrackBeat{index, index * 1000LL + 7, length, 0.9f};
    }
    bool answering = true;
    std::int32_t length = 1000;
};

TEST(TrackInfo, RemoteGridAnswersFirst) {
    Application application;
    Remote remote;
    application.remote = &remote;
    Deck deck([](std::int32_t) { return 22050.0f; });
    TrackInfo grid(application, horizon, deck, deck);
    grid.setTempoFade(0, 0.25f, 0.25f, 1);
    EXPECT_EQ(grid.beatIndexAt(55555), 55);
    // A held beat takes the remote position and length, keeping its weight.
    EXPECT_EQ(grid.beatAt(20), (TrackBeat{20, 20007, 1000, 0.25f}));
    EXPECT_EQ(grid.record(20), (TrackBeat{20, 20007, 1000, 0.25f}));
    // Outside the ring the newest beat's weight goes with it.
    EXPECT_EQ(grid.beatAt(9000), (TrackBeat{9000, 9000007, 1000, 0.25f}));
    // A remote length below a frame is not taken into the ring.
    remote.length = 0;
    grid.beatAt(21);
    EXPECT_EQ(grid.record(21).length, 22050);
    // Without an answer, the local grid.
    remote.answering = false;
    EXPECT_EQ(grid.beatIndexAt(55555), 2);
    EXPECT_EQ(grid.beatAt(3), grid.record(3));
    NullTrackInfoRemote none;
    application.remote = &none;
    EXPECT_EQ(grid.beatIndexAt(22050), 1);
}

TEST(TrackInfo, BeatsPastTheGridContinueTheNewest) {
    // A grid whose lengths grow with the beat, so the newest beat's length
    // differs from every earlier one, and a weight that is not 0.
    Application application;
    Remote silent;
    silent.answering = false;
    NullTrackInfoRemote none;
    Deck one([](std::int32_t beat) { return 20000.0f + 2.0f * static_cast<float>(std::max(beat, 0)); });
    Deck two([](std::int32_t) { return 30000.0f; });
    struct Case {
        const char* name;
        TrackInfoRemote* remote;
    };
    const Case cases[] = {{"no remote", nullptr}, {"null remote", &none}, {"silent remote", &silent}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        application.remote = c.remote;
        TrackInfo grid(application, 2000000, one, two);
        grid.setTempoFade(0, 0.5f, 0.5f, 1);
        grid.advanceTo(0, true, 0);
        const TrackBeat newest = grid.lastBeat();
        ASSERT_NE(newest.length, grid.record(newest.index - 1).length);
        testing_support::clearLog();
        for (const std::int32_t ahead : {1, 2, 1000}) {
            const TrackBeat beat = grid.beatAt(newest.index + ahead);
            EXPECT_EQ(beat.index, newest.index + ahead);
            EXPECT_EQ(beat.position, newest.position + static_cast<std::int64_t>(ahead) * newest.length);
            EXPECT_EQ(beat.length, newest.length);
            EXPECT_EQ(beat.weight, newest.weight);
        }
        EXPECT_EQ(countLog("lies past the grid"), 1);
        // Held beats are untouched, and the grid itself does not grow.
        EXPECT_EQ(grid.beatAt(newest.index), newest);
        EXPECT_EQ(grid.lastBeat(), newest);
        EXPECT_FATAL(grid.record(newest.index + 1), "Beat info not yet available.");
    }
}

}  // namespace
