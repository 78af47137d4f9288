// Two decks played end to end as the application plays them: render threads
// fill both decks' rings under lock 2, a client on the null output device
// (stepped on the virtual clock one 2205-frame period at a time) does the
// main output's work for every block (crossfader, both decks' mixInto with
// a cue tap read on another thread, limiter, peak, clock), and the test
// thread plays the display refresh and makes edits during playback. The
// songs are tones with a short 1 kHz marker a quarter beat after every
// marked beat, so each rendered beat's place on the grid can be measured.
//
// Checks: every marker lies on its grid time; no underrun, no gap and the
// expected level on every beat a deck plays; no step between samples above
// what the content allows; and, in the plain build, no allocation on the
// output thread (its lock waits over 1 ms are counted and printed).
#include "AudioTestHelpers.h"
#include "OutputThreadCalls.h"
#include "TestEnvironment.h"
#include "ToneSongs.h"
#include "audio/AudioClient.h"
#include "audio/CrossfadeCurve.h"
#include "audio/FIFO.h"
#include "audio/FormatAudio.h"
#include "audio/Interpolator.h"
#include "audio/Limiter.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"
#include "audio/TrackAudio.h"
#include "audio/TrackInfo.h"
#include "audio/WaveOut.h"
#include "framework/CriticalSections.h"
#include "platform/Clock.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr std::int32_t period = 2205;
constexpr float knee = 0.75f;

class Application : public TrackInfoApplication {
public:
    float standardTempo() const override { return 120.0f; }
    TrackInfoRemote* trackInfoRemote() override { return nullptr; }
};

// Where the run's events fall: deck beats, and seconds of output.
struct Plan {
    double seconds;
    std::int32_t repeatAt, reverseAt, pauseAt;  // deck 0; the pause is made while playing
    std::int32_t deck1From, deck1FadeIn;
    std::int32_t deck0FadeOut;                   // beats at the end of song A
    std::int32_t tempoFadeFrom, tempoFadeBeats;
    double crossfaderFrom, crossfaderTo;         // seconds: x rides from 0 to 1
    double delayFrom, delayTo;                   // seconds: the delay is on for deck 1
};

const Plan fullRun{200.0, 40, 60, 77, 100, 16, 16, 120, 32, 60.0, 100.0, 140.0, 150.0};
const Plan shortRun{30.0, 8, 14, 26, 4, 8, 0, 20, 16, 5.0, 15.0, 20.0, 25.0};

float crossfaderAt(const Plan& plan, double seconds) {
    return static_cast<float>(std::clamp((seconds - plan.crossfaderFrom) / (plan.crossfaderTo - plan.crossfaderFrom), 0.0, 1.0));
}

// The main output's work for every block, as the application's render
// callback does it.
class Harness : public AudioClient {
public:
    Harness(const Plan& plan, const std::string& directory) : plan_(plan) {
        a = writeToneSong(directory, "a", {124.0, 90.0, 110.0});
        c = writeToneSong(directory, "c", {120.0, 120.0, 110.0});
        b = writeToneSong(directory, "b", {116.0, 120.0, 165.0});
        totalFrames = static_cast<std::int64_t>(plan.seconds * 44100.0) / period * period;
        blocks_ = totalFrames / period + 16;
        for (auto& deck : deckSignal) deck.assign(static_cast<std::size_t>(blocks_ * period), 0.0f);
        for (auto& gains : deckGains) gains.assign(static_cast<std::size_t>(blocks_ + 1), 0.0f);
        for (auto& channel : deckBlock) {
            for (auto& buffer : channel) buffer.assign(period, 0.0f);
        }

        auto songA = std::make_unique<Song>(a.path, 0, interpolator, timeScaler, 40.0f, false, 0);
        songA->repeatBeats(plan.repeatAt, 4, 2, false);
        songA->reverseBeats(plan.reverseAt, 4);
        if (plan.deck0FadeOut > 0) songA->fade(songA->endBeat() - plan.deck0FadeOut, "out", plan.deck0FadeOut);
        auto songC = std::make_unique<Song>(c.path, songA->endBeat(), interpolator, timeScaler, 40.0f, false, 0);
        auto songB = std::make_unique<Song>(b.path, plan.deck1From, interpolator, timeScaler, 40.0f, false, 0);
        songB->fade(plan.deck1From, "in", plan.deck1FadeIn);
        toneOf[songA.get()] = &a;
        toneOf[songC.get()] = &c;
        toneOf[songB.get()] = &b;
        songs[0].add(std::move(songA));
        songs[0].add(std::move(songC));
        songs[1].add(std::move(songB));

        grid = std::make_unique<TrackInfo>(application, 35277000, songs[0], songs[1]);
        grid->setTempoFade(plan.tempoFadeFrom, 0.0f, 1.0f, plan.tempoFadeBeats);
        grid->advanceTo(0, true, grid->oldestBeatIndex());
        for (auto& track : playback) {
            track = std::make_unique<TrackAudio>(132300, format, 40.0f, true, true, knee);
            track->setFilterOrder(2);
            track->setOverlapMs(10.0f);
        }
        playback[1]->setTimeScaling(true);
    }

    void render(Motor*, float** channels, std::int32_t frames) override {
        setOnOutputThread(true);
        const std::int64_t time = sampleTime.load(std::memory_order_relaxed);
        const std::int64_t block = time / period;
        std::fill(channels[0], channels[0] + frames, 0.0f);
        std::fill(channels[1], channels[1] + frames, 0.0f);
        float gains[2];
        crossfadeGains(crossfaderAt(plan_, static_cast<double>(time + frames) / 44100.0), knee, gains[0], gains[1]);
        // Both decks with their filters open (the mixer's end positions),
        // in series.
        for (int d = 0; d < 2; ++d) {
            float* out[2] = {deckBlock[d][0].data(), deckBlock[d][1].data()};
            std::fill(out[0], out[0] + frames, 0.0f);
            std::fill(out[1], out[1] + frames, 0.0f);
            const float effect = d == 1 ? 0.5f : 0.0f;
            playback[d]->mixInto(out, d == 0 ? &cue : nullptr, previousGain_[d], gains[d], 22000, 22000, 5, 5, true,
                                 true, effect, effect, 0.25f, 0.25f, 0.3f, 0.3f, 0, 0, 0, 0, 1, 1, time, frames);
            previousGain_[d] = gains[d];
            if (block < blocks_) {
                deckGains[d][static_cast<std::size_t>(block + 1)] = gains[d];
                std::copy(out[0], out[0] + frames, deckSignal[d].begin() + time);
            }
            for (int ch = 0; ch < 2; ++ch) {
                for (std::int32_t k = 0; k < frames; ++k) channels[ch][k] += out[ch][k];
            }
        }
        limiter.process(channels, frames);
        peaks[0] = std::max(peaks[0], peakLevel(channels[0], frames));
        peaks[1] = std::max(peaks[1], peakLevel(channels[1], frames));
        sampleTime.store(time + frames, std::memory_order_release);
        setOnOutputThread(false);
    }

    // The re-render after an edit during playback: from the first beat that
    // starts after the audio already given to the output, or the edited
    // beat when later. Under lock 2.
    void updateFromBeat(std::int32_t beat) {
        const std::int64_t now = sampleTime.load();
        const std::int32_t from = std::max(grid->beatIndexAt(now + 22050) + 1, beat);
        grid->advanceTo(now, true, from);
        for (int d = 0; d < 2; ++d) playback[d]->renderNextBeat(songs[d], *grid, true, from);
        reRenderedFrom = from;
    }

    bool ahead(std::int64_t frames) const {
        return playback[0]->framesAhead() >= frames && playback[1]->framesAhead() >= frames;
    }

    // The gain deck d's mix applied at output frame t (ramped over each
    // block from the previous block's value).
    double deckGainAt(int d, std::int64_t t) const {
        const std::int64_t block = t / period;
        const double from = deckGains[d][static_cast<std::size_t>(block)];
        const double to = deckGains[d][static_cast<std::size_t>(block + 1)];
        return from + (to - from) * static_cast<double>(t % period) / period;
    }

    const Plan& plan_;
    ToneSong a, b, c;
    std::map<const Song*, const ToneSong*> toneOf;
    std::int64_t totalFrames = 0;
    FormatAudio format;
    Interpolator interpolator{2};
    TimeScalerPV timeScaler{1024, 4};
    Application application;
    Songs songs[2];
    std::unique_ptr<TrackInfo> grid;
    std::unique_ptr<TrackAudio> playback[2];
    Limiter limiter{format};
    FIFO cue{format, 1.0f};
    std::atomic<std::int64_t> sampleTime{0};
    std::int32_t reRenderedFrom = 0;
    // Output-thread records, read after the device is gone.
    std::vector<float> deckSignal[2];
    std::vector<float> deckGains[2];  // [block + 1]: the gain that block ramps to
    float peaks[2] = {0.0f, 0.0f};

private:
    std::int64_t blocks_ = 0;
    std::vector<float> deckBlock[2][2];
    float previousGain_[2] = {0.0f, 0.0f};
};

// The display refresh, the edit during playback and the stepping of the
// output, one period at a time while both decks are at least a second
// ahead. Returns the captured mix (16-bit stereo).
std::vector<std::uint8_t> playRun(Harness& harness, const std::function<void()>& everySecond = {}) {
    using platform::audio::NullAudio;
    platform::VirtualClock::enable();
    NullAudio::setMemoryCapture(true);
    enterCriticalSection(2);
    for (int d = 0; d < 2; ++d) harness.playback[d]->startThread(harness.songs[d], *harness.grid, 0, 0);
    leaveCriticalSection(2);
    const auto waitAhead = [&](std::int64_t frames) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!harness.ahead(frames)) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    };
    std::atomic<bool> stop{false};
    std::atomic<std::int64_t> cueBlocksHeard{0};
    std::thread cueReader([&] {
        std::vector<float> left(period), right(period);
        float* out[2] = {left.data(), right.data()};
        while (!stop.load()) {
            harness.cue.read(nullptr, out, period);
            if (std::any_of(left.begin(), left.end(), [](float v) { return v != 0.0f; })) ++cueBlocksHeard;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_TRUE(waitAhead(88200));
    std::vector<std::uint8_t> captured;
    {
        WaveOut device(-1, harness.format, (period + 0.5f) / 44.1f, &harness);
        const int stream = NullAudio::newestStream();
        device.start();
        const Plan& plan = harness.plan_;
        bool edited = false, delayOn = false;
        std::int64_t nextSecond = 44100;
        while (harness.sampleTime.load() < harness.totalFrames) {
            if (!waitAhead(44100)) {
                ADD_FAILURE() << "the render threads fell behind at " << harness.sampleTime.load();
                break;
            }
            const std::int64_t now = harness.sampleTime.load();
            if (now >= nextSecond) {
                enterCriticalSection(2);
                harness.grid->advanceTo(now, false, 0);
                for (auto& songs : harness.songs) songs.dropFinished(harness.grid->oldestBeatIndex());
                leaveCriticalSection(2);
                if (everySecond) everySecond();
                nextSecond += 44100;
            }
            // The delay switch, as the effects panel makes it.
            const double seconds = static_cast<double>(now) / 44100.0;
            if (delayOn != (seconds >= plan.delayFrom && seconds < plan.delayTo)) {
                delayOn = !delayOn;
                if (delayOn) {
                    harness.playback[1]->enableDelay();
                } else {
                    harness.playback[1]->disableDelay();
                }
            }
            if (!edited && now >= harness.grid->record(plan.pauseAt - 4).position) {
                // Two seconds ahead, deck 0 has rendered past the beat: the
                // re-render rewinds to it.
                EXPECT_TRUE(waitAhead(88200));
                enterCriticalSection(2);
                EXPECT_TRUE(harness.songs[0].pause(plan.pauseAt, 2));
                harness.updateFromBeat(plan.pauseAt);
                leaveCriticalSection(2);
                edited = true;
            }
            if (!NullAudio::advanceToDeadline(stream, 1)) {
                ADD_FAILURE() << "no deadline";
                break;
            }
        }
        EXPECT_TRUE(edited);
        device.stop();
        captured = NullAudio::capturedBytes(stream);
    }
    for (auto& track : harness.playback) track->stopThread();
    stop = true;
    cueReader.join();
    EXPECT_GT(cueBlocksHeard.load(), 0) << "the cue tap carried nothing";
    NullAudio::setMemoryCapture(false);
    NullAudio::forget();
    platform::VirtualClock::disable();
    return captured;
}

struct DeckFigures {
    double worstAlignmentMs = 0.0;
    std::int32_t markersChecked = 0;
    double largestStep = 0.0, stepBound = 0.0;
    std::int32_t beatsLevelChecked = 0;
};

TEST(TwoDeckRender, TwoDecksPlayOnTheGridWithoutGapsOrClicks) {
#if defined(__SANITIZE_THREAD__)
    const Plan& plan = shortRun;
#else
    const Plan& plan = fullRun;
#endif
    testing_support::TemporaryDirectory directory;
    Harness harness(plan, directory.path());
#if VELKARN_COUNT_OUTPUT_CALLS
    {
        // The counter sees an allocation made while rendering.
        const std::int64_t before = outputAllocations.load();
        setOnOutputThread(true);
        auto probe = std::make_unique<std::vector<int>>(100);
        setOnOutputThread(false);
        ASSERT_GE(outputAllocations.load() - before, 2) << probe->size();
    }
#endif
    const std::int64_t allocationsBefore = outputAllocations.load();
    const std::vector<std::uint8_t> captured = playRun(harness);
    const std::int64_t allocations = outputAllocations.load() - allocationsBefore;

    ASSERT_GE(harness.sampleTime.load(), harness.totalFrames);
    EXPECT_EQ(harness.playback[0]->underrunFrames(), 0);
    EXPECT_EQ(harness.playback[1]->underrunFrames(), 0);
    EXPECT_GE(harness.reRenderedFrom, plan.pauseAt);

    const TrackInfo& grid = *harness.grid;
    const std::int64_t end = harness.totalFrames;
    const auto delayed = [&](std::int64_t t) {
        // The echo's tail (feedback 0.3) is below 1e-4 two seconds on.
        return t >= static_cast<std::int64_t>(plan.delayFrom * 44100) - 44100 &&
               t < static_cast<std::int64_t>((plan.delayTo + 2.0) * 44100);
    };
    DeckFigures figures[2];
    for (int d = 0; d < 2; ++d) {
        SCOPED_TRACE(d == 0 ? "deck 0" : "deck 1");
        const std::vector<float>& signal = harness.deckSignal[d];
        const double toleranceFrames = (d == 0 ? 1.0 : 3.0) * 44.1;
        double largestSongStep = 0.0, largestPitch = 1.0;
        std::int32_t pausedChecked = 0;
        for (std::int32_t beat = 0;; ++beat) {
            const TrackBeat record = grid.record(beat);
            if (record.position + record.length > end) break;
            std::int32_t index = 0;
            SongSpan span{};
            SongBeat play{};
            if (!harness.songs[d].findSong(beat, &index, &span, &play, nullptr)) continue;
            const ToneSong& tone = *harness.toneOf.at(&harness.songs[d].song(index));
            largestSongStep = std::max(largestSongStep, tone.largestStep);
            if (d == 0) largestPitch = std::max(largestPitch, static_cast<double>(span.length) / record.length);
            if (play.paused) {
                // Silent between the neighbours' crossfades (but for the
                // filters' decaying tail): rendered again after the pause
                // was made, in place of the tone at 0.15.
                float loudest = 0.0f;
                for (std::int64_t t = record.position + 441; t < record.position + record.length - 441; ++t) {
                    loudest = std::max(loudest, std::abs(signal[static_cast<std::size_t>(t)]));
                }
                EXPECT_LT(loudest, 0.01f) << "paused beat " << beat;
                ++pausedChecked;
                continue;
            }
            // A slot's gains shape its ramp through the crossfade curve (a
            // reversed slot runs it from its end gain).
            const auto slotGain = [&](std::int64_t t) {
                const float x = static_cast<float>(t - record.position) / static_cast<float>(record.length);
                const float from = play.reversed ? play.gainEnd : play.gainStart;
                const float to = play.reversed ? play.gainStart : play.gainEnd;
                return static_cast<double>(crossfadeCurve(1.0f - (from + x * (to - from)), knee));
            };
            const auto gainAt = [&](std::int64_t t) { return harness.deckGainAt(d, t) * slotGain(t); };

            // The marker a quarter of the song's beat in, scaled to the grid.
            const auto marked = std::lower_bound(tone.beats.begin(), tone.beats.end(), span.position);
            ASSERT_TRUE(marked != tone.beats.end() && *marked == span.position) << beat;
            const auto i = static_cast<std::size_t>(marked - tone.beats.begin());
            const double expected = static_cast<double>(record.position) +
                                    (tone.markerCentres[i] - span.position) * record.length / span.length;
            const auto at = static_cast<std::int64_t>(expected);
            if (!play.reversed && gainAt(at) >= 0.1 && !(d == 1 && delayed(at))) {
                const double found = markerCentre(signal, expected);
                const double error = std::abs(found - expected);
                figures[d].worstAlignmentMs = std::max(figures[d].worstAlignmentMs, error / 44.1);
                ++figures[d].markersChecked;
                EXPECT_LE(error, toleranceFrames) << "beat " << beat << " expected " << expected << " found " << found;
            }

            // Gaps and level over beats played at gain 0.1 or more throughout.
            double lowest = 1.0, sumGain = 0.0, sumSignal = 0.0;
            std::int32_t quiet = 0, longestQuiet = 0;
            for (std::int64_t t = record.position; t < record.position + record.length; ++t) {
                const double g = gainAt(t);
                lowest = std::min(lowest, g);
                sumGain += g * g;
                const double v = signal[static_cast<std::size_t>(t)];
                sumSignal += v * v;
                quiet = std::abs(v) < 1e-4 ? quiet + 1 : 0;
                longestQuiet = std::max(longestQuiet, quiet);
            }
            if (lowest < 0.1 || (d == 1 && (delayed(record.position) || delayed(record.position + record.length)))) continue;
            EXPECT_LT(longestQuiet, 441) << "beat " << beat;
            const double level = std::sqrt(sumSignal / record.length);
            const double expectedLevel = tone.rms * std::sqrt(sumGain / record.length);
            EXPECT_NEAR(20.0 * std::log10(level / expectedLevel), 0.0, 3.0) << "beat " << beat;
            ++figures[d].beatsLevelChecked;
        }
        // Clicks: no step above the songs' own steepest, times the largest
        // pitch factor, with half again for the crossfades.
        figures[d].stepBound = largestSongStep * largestPitch * 1.5;
        for (std::int64_t t = 1; t < end; ++t) {
            if (d == 1 && delayed(t)) continue;
            const double step = std::abs(static_cast<double>(signal[static_cast<std::size_t>(t)]) - signal[static_cast<std::size_t>(t - 1)]);
            figures[d].largestStep = std::max(figures[d].largestStep, step);
        }
        EXPECT_LE(figures[d].largestStep, figures[d].stepBound);
        EXPECT_EQ(pausedChecked, d == 0 ? 2 : 0);
        EXPECT_GT(figures[d].markersChecked, 0);
        EXPECT_GT(figures[d].beatsLevelChecked, 0);
    }

    // The mix as the device played it.
    const std::int64_t capturedFrames = static_cast<std::int64_t>(captured.size()) / 4;
    ASSERT_GE(capturedFrames, end - 8 * period);
    const auto mixAt = [&](std::int64_t t) {
        const auto k = static_cast<std::size_t>(t) * 4;
        return static_cast<std::int16_t>(captured[k] | (captured[k + 1] << 8)) / 32768.0;
    };
    double largestMixStep = 0.0;
    for (std::int64_t t = 1; t < std::min(end, capturedFrames); ++t) {
        if (delayed(t)) continue;
        largestMixStep = std::max(largestMixStep, std::abs(mixAt(t) - mixAt(t - 1)));
    }
    const double mixBound = figures[0].stepBound + figures[1].stepBound;
    EXPECT_LE(largestMixStep, mixBound);
    EXPECT_GT(harness.peaks[0], 0.1f);

#if VELKARN_COUNT_OUTPUT_CALLS
    EXPECT_EQ(allocations, 0);
#else
    (void)allocations;
#endif
    std::printf("[ figures  ] %.0f s: deck 0 worst alignment %.3f ms over %d markers, deck 1 %.3f ms over %d; "
                "largest step deck 0 %.4f (bound %.4f), deck 1 %.4f (bound %.4f), mix %.4f (bound %.4f); "
                "underruns %lld/%lld; output-thread allocations %lld, lock waits over 1 ms %lld\n",
                plan.seconds, figures[0].worstAlignmentMs, figures[0].markersChecked, figures[1].worstAlignmentMs,
                figures[1].markersChecked, figures[0].largestStep, figures[0].stepBound, figures[1].largestStep,
                figures[1].stepBound, largestMixStep, mixBound,
                static_cast<long long>(harness.playback[0]->underrunFrames()),
                static_cast<long long>(harness.playback[1]->underrunFrames()), static_cast<long long>(allocations),
                static_cast<long long>(outputLockWaits.load()));
}

TEST(TwoDeckRender, EffectSwitchesAndEditsFromOtherThreads) {
    testing_support::TemporaryDirectory directory;
    Harness harness(shortRun, directory.path());
    std::atomic<bool> done{false};
    std::atomic<std::int32_t> switches{0};
    std::thread effects([&] {
        for (int i = 0; !done.load(); ++i) {
            TrackAudio& track = *harness.playback[i % 2];
            if (i % 4 < 2) {
                track.enableFlanger();
                track.enableReverb();
                track.setFilterOrder(4);
            } else {
                track.disableFlanger();
                track.disableReverb();
                track.setFilterOrder(2);
            }
            ++switches;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::int32_t edits = 0;
    playRun(harness, [&] {
        // Every second a reverse on deck 1 a few beats ahead, re-rendered.
        enterCriticalSection(2);
        const std::int32_t beat = harness.grid->beatIndexAt(harness.sampleTime.load()) + 4;
        if (harness.songs[1].reverse(beat, 2)) ++edits;
        harness.updateFromBeat(beat);
        leaveCriticalSection(2);
    });
    done = true;
    effects.join();
    EXPECT_GE(harness.sampleTime.load(), harness.totalFrames);
    EXPECT_EQ(harness.playback[0]->underrunFrames(), 0);
    EXPECT_EQ(harness.playback[1]->underrunFrames(), 0);
    EXPECT_GT(edits, 10);
    EXPECT_GT(switches.load(), 10);
}

}  // namespace
