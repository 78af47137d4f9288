// The deck renderer driven by hand (renderNextBeat and mixInto called
// directly), then with its render thread beside an output thread and an
// effects thread.
#include "AudioTestHelpers.h"
#include "FunctionSource.h"
#include "TestEnvironment.h"
#include "TestHeap.h"
#include "audio/FIFO.h"
#include "audio/Interpolator.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"
#include "audio/TrackAudio.h"
#include "audio/TrackInfo.h"
#include "audio/UnitDelay.h"
#include "audio/UnitFilterButterworth32.h"
#include "audio/UnitFlanger.h"
#include "audio/UnitNoise.h"
#include "audio/UnitReverbSteiglitzMC.h"
#include "framework/CriticalSections.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

namespace {

const FormatAudio cd;

class Application : public TrackInfoApplication {
public:
    float standardTempo() const override { return 120.0f; }
    TrackInfoRemote* trackInfoRemote() override { return nullptr; }
};

double smooth(std::int64_t k) { return 0.4 * std::sin(0.0123 * k) + 0.3 * std::sin(0.0071 * k + 1.0); }

// One deck of 120 BPM beats from beat 0: song frames k play at sample
// time k - 1000 (the first marked beat at song frame 1000).
struct Deck {
    explicit Deck(std::function<double(std::int64_t)> f = smooth, std::int32_t beats = 400, std::int32_t from = 0) {
        std::vector<SongSpan> spans;
        for (std::int32_t i = 0; i < beats; ++i) spans.push_back({1000 + 22050 * i, 22050});
        songs.add(std::make_unique<Song>(spans, from, false, 0, SongTexts{}, std::make_unique<FunctionSource>(f, 0.5),
                                         interpolator, timeScaler, 40.0f));
        grid.advanceTo(0, true, -1000);
    }
    Interpolator interpolator{2};
    TimeScalerPV timeScaler{1024, 4};
    Songs songs, other;
    Application application;
    TrackInfo grid{application, 35277000, songs, other};
};

struct Block {
    explicit Block(std::int32_t n) : left(static_cast<std::size_t>(n), 0.0f), right(static_cast<std::size_t>(n), 0.0f) {}
    float* channels[2] = {nullptr, nullptr};
    float* const* out() {
        channels[0] = left.data();
        channels[1] = right.data();
        return channels;
    }
    std::vector<float> left, right;
};

// Plain mix: gain 1, filters open, no effect.
void mix(TrackAudio& track, Block& block, std::int64_t time, std::int32_t n, FIFO* tap = nullptr) {
    track.mixInto(block.out(), tap, 1, 1, 22050, 22050, 0, 0, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, time, n);
}

void renderAll(TrackAudio& track, Deck& deck) {
    while (!track.renderNextBeat(deck.songs, deck.grid, false, 0)) {
    }
}

TEST(TrackAudio, PlaysTheSongAcrossBeatsAndTheRingsEnd) {
    Deck deck;
    TrackAudio track(132300, cd, 40.0f, false, false, 0.75f);
    track.setOverlapMs(10.0f);
    track.startRendering(deck.songs, deck.grid, 0, 0);
    Block block(2205);
    double worst = 0.0;
    for (std::int64_t time = 0; time < 10 * 44100; time += 2205) {
        renderAll(track, deck);
        std::fill(block.left.begin(), block.left.end(), 0.0f);
        std::fill(block.right.begin(), block.right.end(), 0.0f);
        mix(track, block, time, 2205);
        for (std::int32_t i = 0; i < 2205; ++i) {
            const std::int64_t t = time + i;
            if (t < 441) continue;  // the first beat's fade-in
            worst = std::max(worst, std::abs(block.left[static_cast<std::size_t>(i)] - smooth(t + 1000)));
            ASSERT_NEAR(block.right[static_cast<std::size_t>(i)], 0.5 * smooth(t + 1000), 1e-5) << t;
        }
    }
    EXPECT_LT(worst, 2e-6);  // crossfades sum to one; noise is 1e-6
    EXPECT_EQ(track.underrunFrames(), 0);
}

TEST(TrackAudio, RenderingNeedsRoomForTheWholeBeat) {
    // n = 441: a beat needs count + 221 frames of room.
    for (std::int32_t extra : {0, -1}) {
        Deck deck;
        const std::int32_t frames = 3 * 22050 + 221 + extra;
        TrackAudio track(frames, cd, 40.0f, false, false, 0.75f);
        track.startRendering(deck.songs, deck.grid, 0, 0);
        EXPECT_FALSE(track.renderNextBeat(deck.songs, deck.grid, false, 0));
        EXPECT_FALSE(track.renderNextBeat(deck.songs, deck.grid, false, 0));
        EXPECT_EQ(track.renderNextBeat(deck.songs, deck.grid, false, 0), extra < 0) << extra;
    }
    TrackAudio stopped(132300, cd, 40.0f, false, false, 0.75f);
    Deck deck;
    EXPECT_TRUE(stopped.renderNextBeat(deck.songs, deck.grid, false, 0));
}

TEST(TrackAudio, ReRenderRewindsOnlyToRenderedBeats) {
    Deck deck;
    TrackAudio track(132300, cd, 40.0f, false, false, 0.75f);
    track.startRendering(deck.songs, deck.grid, 0, 0);
    renderAll(track, deck);
    const std::int64_t ahead = track.framesAhead();
    ASSERT_EQ(ahead, 5 * 22050);
    // A beat not yet rendered changes nothing but renders on as before.
    EXPECT_TRUE(track.renderNextBeat(deck.songs, deck.grid, true, 9));
    EXPECT_EQ(track.framesAhead(), ahead);
    // Beat 2 was rendered: the render goes back to it.
    deck.songs.pause(2, 1);
    EXPECT_FALSE(track.renderNextBeat(deck.songs, deck.grid, true, 2));
    EXPECT_EQ(track.framesAhead(), 3 * 22050);
    renderAll(track, deck);
    Block block(44100);
    mix(track, block, 2 * 22050, 22050);
    // The paused beat is silent apart from the previous beat's fade-out.
    for (std::int32_t i = 221; i < 22050 - 220; ++i) ASSERT_LT(std::abs(block.left[static_cast<std::size_t>(i)]), 2e-6f) << i;
    EXPECT_GT(std::abs(block.left[10]), 1e-3f);
}

TEST(TrackAudio, UnheldBeatsAreSilentAndUnrenderedFramesMixAsSilence) {
    Deck deck(smooth, 4, 0);  // the song ends after beat 3
    TrackAudio track(132300, cd, 40.0f, false, false, 0.75f);
    // Left over from an earlier run: the rings hold audio.
    track.startRendering(deck.songs, deck.grid, 0, 0);
    renderAll(track, deck);
    track.stopThread();
    Deck later(smooth, 4, 100);
    track.startRendering(later.songs, later.grid, 0, 0);
    Block block(2205);
    mix(track, block, 0, 2205);  // nothing rendered yet
    for (float v : block.left) ASSERT_LT(std::abs(v), 2e-6f);
    EXPECT_EQ(track.underrunFrames(), 2205);
    renderAll(track, later);  // beats 0..5 have no song
    Block second(2205);
    mix(track, second, 2205, 2205);
    for (float v : second.left) ASSERT_LT(std::abs(v), 2e-6f);
    EXPECT_EQ(track.underrunFrames(), 2205);
}

// RMS of the left output over the last half of 20 blocks of a sine.
double filteredLevel(double hz, float c1, float c2, bool series) {
    Deck deck([hz](std::int64_t k) { return 0.5 * std::sin(2.0 * std::numbers::pi * hz * k / 44100.0); });
    TrackAudio track(132300, cd, 40.0f, true, false, 0.75f);
    track.setFilterOrder(2);
    track.startRendering(deck.songs, deck.grid, 0, 0);
    double sum = 0.0;
    std::int64_t frames = 0;
    for (int blockIndex = 0; blockIndex < 20; ++blockIndex) {
        renderAll(track, deck);
        Block block(2205);
        const std::int64_t time = 2205LL * blockIndex;
        track.mixInto(block.out(), nullptr, 1, 1, c1, c1, c2, c2, series, series, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1,
                      time, 2205);
        if (blockIndex < 10) continue;
        for (float v : block.left) sum += static_cast<double>(v) * v;
        frames += 2205;
    }
    return std::sqrt(sum / frames) / (0.5 / std::sqrt(2.0));
}

TEST(TrackAudio, SeriesAndParallelFilters) {
    // Series: low-pass at the first cutoff, then high-pass at the second:
    // 500 Hz low then 2000 Hz high leaves nothing. Parallel: low-pass at
    // the second (2000) plus high-pass at the first (500).
    struct Case {
        double hz;
        bool series;
        double low, high;  // level bounds
    };
    const Case cases[] = {
        {100, true, 0.0, 0.05}, {1000, true, 0.0, 0.1}, {8000, true, 0.0, 0.05},
        {100, false, 0.9, 1.1}, {1000, false, 0.6, 1.5}, {8000, false, 0.9, 1.1},
    };
    for (const Case& c : cases) {
        const double level = filteredLevel(c.hz, 500.0f, 2000.0f, c.series);
        EXPECT_GE(level, c.low) << c.hz << " series " << c.series;
        EXPECT_LE(level, c.high) << c.hz << " series " << c.series;
    }
    // Swapping the pairs in parallel mode gives a notch around 1 kHz.
    EXPECT_LT(filteredLevel(1000, 2000.0f, 500.0f, false), 0.6);
}

TEST(TrackAudio, EffectsRunDelayFlangerReverbOnThePreFilterTap) {
    Deck deck;
    TrackAudio track(132300, cd, 40.0f, true, true, 0.75f);
    track.setFilterOrder(2);
    track.enableDelay();
    track.enableFlanger();
    track.enableReverb();
    track.startRendering(deck.songs, deck.grid, 0, 0);
    UnitNoise noise(cd, 0.000001f);
    UnitDelay delay(18.0f, cd);
    UnitFlanger flanger(cd);
    UnitReverbSteiglitzMC reverb(cd);
    UnitFilterButterworth32 lowPass(cd, UnitFilterButterworth32::lowPass, 1);
    UnitFilterButterworth32 highPass(cd, UnitFilterButterworth32::highPass, 1);
    FIFO tap(cd, 1.0f);
    for (int blockIndex = 0; blockIndex < 8; ++blockIndex) {
        renderAll(track, deck);
        const std::int64_t time = 2205LL * blockIndex;
        Block block(2205);
        // Cutoffs that leave the band open: 20 kHz low-pass, 5 Hz high-pass.
        track.mixInto(block.out(), &tap, 1, 1, 20000, 20000, 5, 5, true, true, 0.5f, 0.5f, 0.01f, 0.01f, 0.4f, 0.4f,
                      0.5f, 0.5f, 0.8f, 0.8f, 1.0f, 1.0f, time, 2205);
        // The same block through the filters and the units in order.
        Block expected(2205);
        for (std::int32_t i = 0; i < 2205; ++i) {
            expected.left[static_cast<std::size_t>(i)] = static_cast<float>(time + i < 441 ? 0.0 : smooth(time + i + 1000));
            expected.right[static_cast<std::size_t>(i)] = 0.5f * expected.left[static_cast<std::size_t>(i)];
        }
        Block deckSignal(2205);
        float* const* e = expected.out();
        if (time == 0) {
            // The first beat fades in from the overlap's middle.
            for (std::int32_t i = 0; i < 441; ++i) {
                const float g = static_cast<float>(i + 220) / 441.0f;
                e[0][i] = i < 221 ? g * static_cast<float>(smooth(i + 1000)) : static_cast<float>(smooth(i + 1000));
                e[1][i] = 0.5f * e[0][i];
            }
        }
        noise.add(e, 0, 2205);
        Block tapped(2205);
        tap.read(nullptr, tapped.out(), 2205);
        for (std::int32_t i = 0; i < 2205; ++i) {
            ASSERT_NEAR(tapped.left[static_cast<std::size_t>(i)], e[0][i], 1e-5) << time + i;
        }
        lowPass.process(e, 0, 2205, 20000, 20000);
        highPass.process(e, 0, 2205, 5, 5);
        delay.process(e, 0, 2205, 0.01f, 0.01f, 0.4f, 0.4f, 1, 1, 1, 1, 0.5f, 0.5f);
        flanger.process(e, 0, 2205, 0.5f, 0.5f, 0.8f, 0.8f, 0.5f, 0.5f);
        reverb.process(e, 0, 2205, 1.0f, 1.0f, 0.5f, 0.5f);
        double worst = 0.0, level = 0.0;
        for (std::int32_t i = 0; i < 2205; ++i) {
            worst = std::max(worst, static_cast<double>(std::abs(block.left[static_cast<std::size_t>(i)] - e[0][i])));
            level = std::max(level, static_cast<double>(std::abs(e[0][i])));
        }
        EXPECT_LT(worst, 1e-5 * level + 1e-6) << blockIndex;
    }
}

TEST(TrackAudio, AFilterModeChangeStartsTheFiltersAfresh) {
    // One beat of song, then silence: after the song a filter left running
    // still rings (the 5 Hz high-pass), while one that a mode change reset
    // gives only the anti-denormal noise.
    for (bool change : {true, false}) {
        Deck deck(smooth, 1, 0);
        TrackAudio track(132300, cd, 40.0f, true, false, 0.75f);
        track.startRendering(deck.songs, deck.grid, 0, 0);
        Block block(2205);
        std::int64_t time = 0;
        for (; time < 22050; time += 2205) {
            renderAll(track, deck);
            track.mixInto(block.out(), nullptr, 1, 1, 20000, 20000, 5, 5, true, true, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                          1, time, 2205);
        }
        renderAll(track, deck);
        Block tail(2205);
        track.mixInto(tail.out(), nullptr, 1, 1, 20000, 20000, 5, 5, true, !change, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1,
                      time + 441, 2205);
        float largest = 0.0f;
        for (float v : tail.left) largest = std::max(largest, std::abs(v));
        if (change) {
            EXPECT_LT(largest, 1e-5f);
        } else {
            EXPECT_GT(largest, 1e-3f);
        }
    }
}

TEST(TrackAudio, SettingsAndStops) {
    TrackAudio plain(132300, cd, 40.0f, false, false, 0.75f);
    plain.setFilterOrder(0);  // without filters: nothing
    plain.setFilterOrder(3);
    plain.enableDelay();
    plain.disableReverb();
    TrackAudio filtered(132300, cd, 40.0f, true, false, 0.75f);
    EXPECT_FATAL(filtered.setFilterOrder(3), "Filter order must be even.");
    EXPECT_FATAL(TrackAudio(132300, FormatAudio(1, 44100, 16), 40.0f, false, false, 0.75f),
                 "TrackAudio does stereo only.");
    Deck deck;
    TrackAudio track(132300, cd, 40.0f, false, false, 0.75f);
    track.startRendering(deck.songs, deck.grid, 1000, 0);
    Block block(2205);
    EXPECT_FATAL(mix(track, block, 999, 10), "Not good.");
}

TEST(TrackAudio, MixingNeverAllocates) {
    Deck deck;
    TrackAudio track(132300, cd, 40.0f, true, true, 0.75f);
    track.setFilterOrder(4);
    track.enableDelay();
    track.enableFlanger();
    track.enableReverb();
    track.startRendering(deck.songs, deck.grid, 0, 0);
    FIFO tap(cd, 1.0f);
    Block block(2205);
    renderAll(track, deck);
    const std::int64_t heap = primitives::test::TestHeap::requests();
    const std::int64_t news = globalNewCalls();
    for (int i = 0; i < 20; ++i) {
        track.mixInto(block.out(), &tap, 0.5f, 1, 1000, 3000, 200, 100, i % 3 != 0, i % 2 == 0, 0.5f, 0.7f, 0.2f,
                      0.3f, 0.4f, 0.5f, 0.5f, 1.0f, 0.5f, 0.8f, i % 4 == 0 ? 0.5f : 1.5f, 1.5f, 2205LL * i, 2205);
        track.renderNextBeat(deck.songs, deck.grid, false, 0);
    }
    EXPECT_EQ(primitives::test::TestHeap::requests(), heap);
    EXPECT_EQ(globalNewCalls(), news);
}

TEST(TrackAudioThreads, RenderMixEditAndSwitchTogether) {
    Deck deck;
    TrackAudio track(132300, cd, 40.0f, true, true, 0.75f);
    track.setFilterOrder(2);
    FIFO tap(cd, 1.0f);
    enterCriticalSection(2);
    track.startThread(deck.songs, deck.grid, 0, 0);
    leaveCriticalSection(2);
    std::atomic<bool> done{false};
    std::atomic<std::int64_t> mixed{0};
    std::thread output([&] {
        Block block(2205);
        for (std::int64_t time = 0; time < 40 * 2205; time += 2205) {
            while (track.framesAhead() < 4410) std::this_thread::yield();
            track.mixInto(block.out(), &tap, 1, 1, 20000, 20000, 5, 5, true, true, 0.3f, 0.3f, 0.05f, 0.05f, 0.3f, 0.3f,
                          0.5f, 0.5f, 0.5f, 0.5f, 1.0f, 1.0f, time, 2205);
            mixed += 2205;
        }
        done = true;
    });
    std::thread effects([&] {
        for (int i = 0; !done; ++i) {
            if (i % 2 == 0) {
                track.enableDelay();
                track.enableReverb();
                track.setFilterOrder(4);
            } else {
                track.disableDelay();
                track.enableFlanger();
                track.setFilterOrder(2);
            }
            std::this_thread::yield();
        }
    });
    for (int edit = 0; edit < 20 && !done; ++edit) {
        enterCriticalSection(2);
        deck.songs.reverse(10 + edit, 2);
        track.setOverlapMs(edit % 2 == 0 ? 10.0f : 20.0f);
        leaveCriticalSection(2);
        std::this_thread::yield();
    }
    output.join();
    effects.join();
    track.stopThread();
    EXPECT_EQ(mixed.load(), 40 * 2205);
    EXPECT_EQ(track.underrunFrames(), 0);
}

}  // namespace
