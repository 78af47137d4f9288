// The render callback: the main mix of both decks through the crossfader,
// the gains, the filters and the limiter against an independent model of
// the levels, the meters, and what each output plays in each state.
#include "AppTestSupport.h"

#include "FunctionSource.h"
#include "app/MixerParameters.h"
#include "app/PanelDecks.h"
#include "app/PanelEffects.h"
#include "app/PanelListen.h"
#include "app/PanelSettings.h"
#include "app/VelkarnStartUpValues.h"
#include "app/VelkarnStartUpValues3.h"
#include "audio/Interpolator.h"
#include "audio/Limiter.h"
#include "audio/Motor.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"
#include "audio/TrackAudio.h"
#include "framework/CriticalSections.h"
#include "tools/BeatMapper.h"
#include "tools/Browser.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <sstream>

using app_test::AppTest;

namespace {

constexpr std::int32_t blockFrames = 2205;  // 50 ms: whole cycles of 1 and 2 kHz

struct Tone {
    double frequency;
    double amplitude;
};

struct Block {
    std::vector<float> left = std::vector<float>(blockFrames);
    std::vector<float> right = std::vector<float>(blockFrames);
    std::int64_t start = 0;  // the mix time of its first frame
    float* channels[2] = {nullptr, nullptr};
    float** out() {
        channels[0] = left.data();
        channels[1] = right.data();
        return channels;
    }
};

// The amplitude of the tone at that frequency in a block of whole cycles.
double amplitudeOf(const std::vector<float>& samples, double frequency) {
    double s = 0.0, c = 0.0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double w = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / 44100.0;
        s += samples[i] * std::sin(w);
        c += samples[i] * std::cos(w);
    }
    return 2.0 * std::hypot(s, c) / static_cast<double>(samples.size());
}

bool allZero(const Block& block) {
    for (std::size_t i = 0; i < block.left.size(); ++i) {
        if (block.left[i] != 0.0f || block.right[i] != 0.0f) return false;
    }
    return true;
}

// Expected levels of the model: per deck tone, and the limited peak.
struct Expected {
    double level0, level1, peak;
};

std::vector<Expected> model(const std::vector<std::string>& cases) {
    std::istringstream text(testing_support::runPython("app/mix_model.py", cases));
    std::vector<Expected> rows;
    Expected row{};
    while (text >> row.level0 >> row.level1 >> row.peak) rows.push_back(row);
    return rows;
}

class Mix : public AppTest {
protected:
    // A tone on the deck from beat 0 for 400 beats of 120 BPM; the rendering
    // of both decks is then driven by hand (the render threads stop).
    // beatFrames other than 22050 makes a song that is tempo-fitted to the
    // grid.
    void placeTone(int deck, Tone tone, std::int32_t firstBeat = 0, std::int32_t beatFrames = 22050) {
        placeSong(deck, [tone](std::int64_t k) {
            return tone.amplitude * std::sin(2.0 * std::numbers::pi * tone.frequency * static_cast<double>(k) / 44100.0);
        }, firstBeat, beatFrames);
    }
    void placeSong(int deck, std::function<double(std::int64_t)> f, std::int32_t firstBeat = 0,
                   std::int32_t beatFrames = 22050) {
        std::vector<SongSpan> spans;
        for (std::int32_t i = 0; i < 400; ++i) spans.push_back({1000 + beatFrames * i, beatFrames});
        enterCriticalSection(2);
        application->songs(deck)->add(std::make_unique<Song>(spans, firstBeat, false, 0, SongTexts{},
                                                             std::make_unique<FunctionSource>(f, 1.0), interpolator,
                                                             timeScaler, 40.0f));
        leaveCriticalSection(2);
    }
    void driveByHand() {
        for (int d = 0; d < 2; ++d) {
            application->playback(d)->stopThread();
            application->playback(d)->startRendering(*application->songs(d), *application->trackInfo(), 0, 0);
        }
        application->rebuildBeatInfo(0, 0);
    }
    void fill(TrackAudio* track, int deck) {
        enterCriticalSection(2);
        while (!track->renderNextBeat(*application->songs(deck), *application->trackInfo(), false, 0)) {
        }
        leaveCriticalSection(2);
    }
    Block render(int output) {
        for (int d = 0; d < 2; ++d) {
            fill(application->playback(d), d);
            if (application->second(d)->running()) fill(application->second(d), d);
        }
        Block block;
        block.start = application->currentSampleTime();
        application->render(application->output(output), block.out(), blockFrames);
        return block;
    }
    void settle(int blocks = 4) {
        for (int i = 0; i < blocks; ++i) render(0);
    }

    Interpolator interpolator{2};
    TimeScalerPV timeScaler{1024, 4};
    const Tone deck0{1000.0, 0.4};
    const Tone deck1{2000.0, 0.3};
};

struct LevelCase {
    float crossfader;
    float knee;
    float gain0Position;  // deck 0's gain: 1 + 2 x position
    bool bothDecks;
};

TEST_F(Mix, EachDeckPlaysAtTheModelsLevel) {
    const std::vector<LevelCase> cases = {
        {0.5f, 0.75f, 0.0f, true}, {0.0f, 0.75f, 0.0f, true}, {1.0f, 0.75f, 0.0f, true},
        {0.5f, 0.5f, 0.0f, true},  {0.25f, 0.75f, 0.0f, true}, {0.0f, 0.75f, 0.5f, false},
    };
    Velkarn& app = start();
    placeTone(0, deck0);
    placeTone(1, deck1);
    driveByHand();
    MixerParameters& mixer = *app.mixerParameters();
    std::vector<std::string> arguments;
    for (const LevelCase& c : cases) {
        std::ostringstream text;
        text << c.crossfader << "," << c.knee << "," << mixer.value(MixerParameters::mainVolume) << ","
             << 1.0f + 2.0f * c.gain0Position << ",1," << deck0.amplitude << "," << deck1.amplitude;
        arguments.push_back(text.str());
    }
    const std::vector<Expected> expected = model(arguments);
    ASSERT_EQ(expected.size(), cases.size());
    EXPECT_NEAR(expected[0].level0, 0.75 * deck0.amplitude, 1e-9);  // 0.9 x curve(0.5, 0.75)

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const LevelCase& c = cases[i];
        mixer.setPosition(MixerParameters::crossfader, c.crossfader);
        mixer.setPosition(MixerParameters::deck0Gain, c.gain0Position);
        app.panelSettings()->setDeckGain(c.knee);
        settle(2);
        const Block block = render(0);
        for (const auto* channel : {&block.left, &block.right}) {
            EXPECT_NEAR(amplitudeOf(*channel, deck0.frequency), expected[i].level0, 2e-3 * expected[i].level0 + 1e-4)
                << i;
            EXPECT_NEAR(amplitudeOf(*channel, deck1.frequency), expected[i].level1, 2e-3 * expected[i].level1 + 1e-4)
                << i;
        }
    }
}

TEST_F(Mix, TheLimiterBendsALoudDeckAndTheMeterTakesItsPeak) {
    Velkarn& app = start();
    const Tone loud{1000.0, 0.6};
    placeTone(0, loud);
    driveByHand();
    MixerParameters& mixer = *app.mixerParameters();
    mixer.setPosition(MixerParameters::crossfader, 0.0f);
    mixer.setPosition(MixerParameters::deck0Gain, 0.5f);
    std::ostringstream text;
    text << "0,0.75," << mixer.value(MixerParameters::mainVolume) << "," << mixer.value(MixerParameters::deck0Gain)
         << ",1," << loud.amplitude << ",0";
    const Expected expected = model({text.str()}).at(0);
    ASSERT_GT(expected.level0, Limiter(FormatAudio(2, 44100, 16)).threshold());
    for (int i = 0; i < 4; ++i) {
        const Block block = render(0);
        const float peaks[2] = {peakLevel(block.left.data(), blockFrames), peakLevel(block.right.data(), blockFrames)};
        if (i == 0) continue;  // the gain still glides up
        for (float peak : peaks) {
            EXPECT_NEAR(peak, expected.peak, 1e-3);
            EXPECT_LT(peak, 1.0f);
        }
    }
    // A steady tone: the meters hold its peak.
    EXPECT_NEAR(app.meterLevel(0), expected.peak, 1e-3);
    EXPECT_NEAR(app.meterLevel(1), expected.peak, 1e-3);
}

TEST_F(Mix, AMovedControlGlidesAcrossOneBlock) {
    Velkarn& app = start();
    placeTone(0, deck0);
    driveByHand();
    settle(4);
    // A steady block at 0.9 x curve(0.5, 0.75) = 0.75 gives the deck's tone
    // as it comes out of its filters: a unit-gain reference.
    const double w = 2.0 * std::numbers::pi * deck0.frequency / 44100.0;
    const Block steady = render(0);
    double s = 0.0, c = 0.0;
    for (std::int32_t i = 0; i < blockFrames; ++i) {
        const double t = static_cast<double>(steady.start + i + 1000);
        s += steady.left[static_cast<std::size_t>(i)] * std::sin(w * t);
        c += steady.left[static_cast<std::size_t>(i)] * std::cos(w * t);
    }
    s *= 2.0 / blockFrames / 0.75;
    c *= 2.0 / blockFrames / 0.75;
    ASSERT_NEAR(std::hypot(s, c), deck0.amplitude, 1e-3);
    struct Step {
        float crossfader;
        double from, to;
    };
    for (const Step& step : {Step{0.0f, 0.75, 0.9}, Step{0.0f, 0.9, 0.9}, Step{1.0f, 0.9, 0.0}}) {
        app.mixerParameters()->setPosition(MixerParameters::crossfader, step.crossfader);
        const Block block = render(0);
        // Least squares of out = (p + q a) r, a = i / n: the gain at the
        // block's start and its rise across the block.
        double rr = 0.0, rra = 0.0, rraa = 0.0, ro = 0.0, roa = 0.0;
        for (std::int32_t i = 0; i < blockFrames; ++i) {
            const double t = static_cast<double>(block.start + i + 1000);
            const double r = s * std::sin(w * t) + c * std::cos(w * t);
            const double a = static_cast<double>(i) / blockFrames;
            const double o = block.left[static_cast<std::size_t>(i)];
            rr += r * r;
            rra += r * r * a;
            rraa += r * r * a * a;
            ro += r * o;
            roa += r * o * a;
        }
        const double q = (rr * roa - rra * ro) / (rr * rraa - rra * rra);
        const double p = (ro - q * rra) / rr;
        EXPECT_NEAR(p, step.from, 2e-3) << step.crossfader;
        EXPECT_NEAR(p + q, step.to, 2e-3) << step.crossfader;
    }
}

TEST_F(Mix, OnlyAFilterModeOfExactlyOneIsABandPass) {
    struct Case {
        float mode;
        bool passes;
    };
    Velkarn& app = start();
    placeTone(0, deck0);
    driveByHand();
    MixerParameters& mixer = *app.mixerParameters();
    mixer.setPosition(MixerParameters::crossfader, 0.0f);
    for (const Case& c : {Case{0.999f, false}, Case{1.0f, true}, Case{0.0f, false}, Case{1.0f, true}}) {
        mixer.setPosition(MixerParameters::deck0FilterMode, c.mode);
        settle(4);
        const double level = amplitudeOf(render(0).left, deck0.frequency);
        if (c.passes) {
            EXPECT_NEAR(level, 0.9 * deck0.amplitude, 2e-3) << c.mode;
        } else {
            EXPECT_LT(level, 0.01 * deck0.amplitude) << c.mode;
        }
    }
}

TEST_F(Mix, WithPlayingOffBothOutputsAreSilentAndTheClockAndMetersStand) {
    app_test::storeSecondOutput(1, "Fake Sound");
    Velkarn& app = start();
    ASSERT_TRUE(app.hasOutputDevice(1));
    placeTone(0, deck0);
    driveByHand();
    app.panelDecks()->setCueDeck(0);
    settle(3);
    const float meters[2] = {app.meterLevel(0), app.meterLevel(1)};
    ASSERT_GT(meters[0], 0.1f);
    app.buttonReleased(app.playButton());
    const std::int64_t clock = app.currentSampleTime();
    for (int round = 0; round < 3; ++round) {
        EXPECT_TRUE(allZero(render(0)));
        EXPECT_TRUE(allZero(render(1)));
    }
    EXPECT_EQ(app.currentSampleTime(), clock);
    EXPECT_EQ(app.meterLevel(0), meters[0]);
    EXPECT_EQ(app.meterLevel(1), meters[1]);
    app.buttonPressed(app.playButton());
    EXPECT_FALSE(allZero(render(0)));
    EXPECT_EQ(app.currentSampleTime(), clock + blockFrames);
}

TEST_F(Mix, AnOpenBeatMapperPlaysOnTheMainOutputOnly) {
    app_test::storeSecondOutput(1, "Fake Sound");
    Velkarn& app = start();
    placeTone(0, deck0);
    driveByHand();
    BeatMapper* mapper = app.openBeatMapper("");
    const std::int64_t clock = app.currentSampleTime();
    EXPECT_TRUE(allZero(render(0)));
    EXPECT_EQ(mapper->renderCount(), 1);
    EXPECT_TRUE(allZero(render(1)));
    EXPECT_EQ(mapper->renderCount(), 1);
    EXPECT_EQ(app.currentSampleTime(), clock);
    app.closeBeatMapper();
    EXPECT_FALSE(allZero(render(0)));
}

enum class Second { SameWaveDevice, Listen, Browser, BrowserOverCue, Cue, Nothing };

class SecondOutput : public Mix, public ::testing::WithParamInterface<Second> {};

TEST_P(SecondOutput, PlaysWhatItsStateAsksFor) {
    const Second state = GetParam();
    const bool sameDevice = state == Second::SameWaveDevice;
    app_test::storeSecondOutput(sameDevice ? 0 : 1, sameDevice ? "Fake Wave" : "Fake Sound");
    Velkarn& app = start();
    ASSERT_TRUE(app.hasOutputDevice(1));
    placeTone(0, deck0);
    placeTone(1, deck1);
    driveByHand();
    Browser* browser = nullptr;
    if (state == Second::SameWaveDevice || state == Second::Browser || state == Second::BrowserOverCue) {
        browser = app.openBrowser();
    }
    if (state == Second::BrowserOverCue || state == Second::Cue) app.panelDecks()->setCueDeck(0);
    if (state == Second::Listen) {
        app.panelListen()->setSliders(0.25f, 0.8f);  // gains 0.6 and 0.2
        for (int d = 0; d < 2; ++d) app.second(d)->startRendering(*app.songs(d), *app.trackInfo(), 0, 0);
    }
    Block second;
    for (int round = 0; round < 3; ++round) {
        render(0);
        second = render(1);
    }
    switch (state) {
    case Second::SameWaveDevice:
        EXPECT_TRUE(allZero(second));
        EXPECT_EQ(browser->renderCount(), 0);
        break;
    case Second::Listen:
        EXPECT_NEAR(amplitudeOf(second.left, deck0.frequency), 0.6 * deck0.amplitude, 2e-3);
        EXPECT_NEAR(amplitudeOf(second.left, deck1.frequency), 0.2 * deck1.amplitude, 2e-3);
        break;
    case Second::Browser:
    case Second::BrowserOverCue:
        EXPECT_TRUE(allZero(second));
        EXPECT_EQ(browser->renderCount(), 3);
        break;
    case Second::Cue:
        // The cue deck's own signal, before the mixer's gains.
        EXPECT_NEAR(amplitudeOf(second.left, deck0.frequency), deck0.amplitude, 2e-3);
        EXPECT_LT(amplitudeOf(second.left, deck1.frequency), 1e-4);
        break;
    case Second::Nothing:
        EXPECT_TRUE(allZero(second));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Velkarn, SecondOutput,
                         ::testing::Values(Second::SameWaveDevice, Second::Listen, Second::Browser,
                                           Second::BrowserOverCue, Second::Cue, Second::Nothing));

TEST_F(Mix, MetersRiseAtOnceAndFallSlowly) {
    Velkarn& app = start();
    placeTone(0, deck0);
    driveByHand();
    MixerParameters& mixer = *app.mixerParameters();
    // Louder, softer, silent: the peaks of the blocks rise and fall.
    const float crossfader[] = {0.0f, 0.0f, 0.5f, 0.9f, 0.9f, 1.0f, 1.0f, 1.0f, 0.0f};
    float level[2] = {app.meterLevel(0), app.meterLevel(1)};
    for (float x : crossfader) {
        mixer.setPosition(MixerParameters::crossfader, x);
        const Block block = render(0);
        const float peaks[2] = {peakLevel(block.left.data(), blockFrames), peakLevel(block.right.data(), blockFrames)};
        for (int c = 0; c < 2; ++c) {
            level[c] = peaks[c] > level[c] ? peaks[c] : level[c] * 0.9f + peaks[c] * 0.1f;
            EXPECT_FLOAT_EQ(app.meterLevel(c), level[c]) << x;
        }
    }
    EXPECT_GT(level[0], 0.0f);
    EXPECT_LT(level[0], 0.9f * deck0.amplitude);
}

struct EchoCase {
    int note;  // 2^(note - 2) beat periods
    bool dotted;
    double seconds;  // at the default beat period of 0.5 s
};

TEST_F(Mix, TheEchoLagIsTheChosenNoteOfTheBeatPeriod) {
    // A 10 ms burst at song frame 89200: beat 4 of the grid.
    const std::int64_t burst = 89200;
    const auto f = [burst](std::int64_t k) {
        if (k < burst || k >= burst + 441) return 0.0;
        const double j = static_cast<double>(k - burst);
        return 0.5 * std::sin(std::numbers::pi * j / 441.0) * std::sin(2.0 * std::numbers::pi * 1000.0 * j / 44100.0);
    };
    for (const EchoCase& c : {EchoCase{1, false, 0.25}, EchoCase{2, false, 0.5}, EchoCase{1, true, 0.375}}) {
        Velkarn& app = start();
        ASSERT_EQ(app.beatPeriod(), 0.5f);
        placeSong(0, f);
        driveByHand();
        app.mixerParameters()->setPosition(MixerParameters::crossfader, 0.0f);
        app.mixerParameters()->setPosition(MixerParameters::deck0EffectLevel, 1.0f);
        PanelEffects::DeckChoice choice;
        choice.delayIndex = c.note;
        choice.delayDotted = c.dotted;
        choice.delaySlider = 40.0f;
        app.panelEffects()->setChoice(0, choice);
        app.enableDelay(0);
        std::vector<float> left;
        while (left.size() < static_cast<std::size_t>(burst + 60000)) {
            const Block block = render(0);
            left.insert(left.end(), block.left.begin(), block.left.end());
        }
        // The burst's peak, then the loudest point well after it: the first echo.
        auto loudest = [&](std::size_t from) {
            std::size_t at = from;
            for (std::size_t i = from; i < left.size(); ++i) {
                if (std::abs(left[i]) > std::abs(left[at])) at = i;
            }
            return at;
        };
        const std::size_t dry = loudest(0);
        const std::size_t echo = loudest(dry + 2000);
        ASSERT_GT(std::abs(left[dry]), 0.3f) << c.note;
        EXPECT_GT(std::abs(left[echo]), 0.05f) << c.note;
        EXPECT_NEAR(static_cast<double>(echo - dry), c.seconds * 44100.0, 1.5) << c.note << (c.dotted ? " dotted" : "");
        stop();
    }
}

TEST_F(Mix, AnOverlapChangeLeavesWhatIsOnItsWayOutAlone) {
    // A 126 BPM song fitted to the grid: every beat is resampled and
    // crossfaded into the next over the overlap.
    // Each run returns the left channel from mix time `origin` on (the
    // outputs' first blocks were played at start).
    auto run = [&](bool change, std::int64_t& fromPosition, std::int64_t& origin) {
        Velkarn& app = start();
        placeTone(0, deck0, 0, 21000);
        driveByHand();
        app.mixerParameters()->setPosition(MixerParameters::crossfader, 0.0f);
        std::vector<float> left;
        for (int i = 0; i < 24; ++i) {
            if (change && i == 6) {
                const int from = app.nextEditableBeat();
                fromPosition = app.beatAt(from).position;
                app.setOverlapMs(50.0f);
            }
            const Block block = render(0);
            if (i == 0) origin = block.start;
            left.insert(left.end(), block.left.begin(), block.left.end());
        }
        stop();
        return left;
    };
    std::int64_t unused = 0, from = 0, referenceOrigin = 0, origin = 0;
    const std::vector<float> reference = run(false, unused, referenceOrigin);
    const std::vector<float> changed = run(true, from, origin);
    ASSERT_EQ(changed.size(), reference.size());
    ASSERT_EQ(origin, referenceOrigin);
    from -= origin;
    ASSERT_GT(from, 6 * blockFrames);
    std::size_t firstDifference = changed.size();
    for (std::size_t i = 0; i < changed.size(); ++i) {
        if (changed[i] != reference[i]) {
            firstDifference = i;
            break;
        }
    }
    // The new overlap begins with the crossfade into the beat it was set
    // from (half of 50 ms before it), not earlier and not a beat later.
    const auto from64 = static_cast<std::int64_t>(firstDifference);
    EXPECT_GE(from64, from - 1103);
    EXPECT_LE(from64, from + 1103);
}

}  // namespace
