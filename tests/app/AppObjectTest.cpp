// The application object: start-up on the devices found, the settings it
// reads and writes, the quit question, posted work, the beat queries and
// the tool windows it opens and closes.
#include "AppTestSupport.h"

#include "app/MixerParameters.h"
#include "app/PanelDecks.h"
#include "app/PanelSettings.h"
#include "app/Recorder.h"
#include "app/VelkarnStartUpValues.h"
#include "app/VelkarnStartUpValues5.h"
#include "app/VelkarnStartUpValues7.h"
#include "audio/AudioSink.h"
#include "audio/Motor.h"
#include "audio/TimeScalerPV.h"
#include "audio/TrackAudio.h"
#include "framework/CriticalSections.h"
#include "framework/GUIImage.h"
#include "framework/GUISliderVertical.h"
#include "framework/Log.h"
#include "framework/Window.h"
#include "network/PanelNetwork.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/NativeWindow.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"
#include "tools/BeatMapper.h"
#include "tools/Browser.h"
#include "tools/BrowserData.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using app_test::AppTest;
using app_test::boxes;
using app_test::storedValue;

namespace {

// Advances the mix clock by rendering blocks on output 0 by hand.
void advanceClock(Velkarn& app, std::int64_t frames) {
    std::vector<float> left(44100), right(44100);
    float* channels[2] = {left.data(), right.data()};
    while (frames > 0) {
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(frames, 44100));
        app.render(app.output(0), channels, n);
        frames -= n;
    }
}

std::string recordBytes(const void* record, std::size_t size) {
    return std::string(static_cast<const char*>(record), size);
}

struct DeviceCase {
    int waveOuts;
    int directSounds;
    const char* fatal;  // null: starts
};

class DeviceCounts : public AppTest, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(DeviceCounts, NoWaveOutOrNoDirectSoundDeviceStopsTheProgram) {
    const DeviceCase& c = GetParam();
    useDevices(c.waveOuts, c.directSounds);
    if (c.fatal != nullptr) {
        try {
            start();
            ADD_FAILURE() << "started";
        } catch (const FatalStop& stop) {
            EXPECT_EQ(std::string(stop.what()), c.fatal);
            EXPECT_EQ(stop.source, "Velkarn.cpp");
        }
        EXPECT_EQ(platform::audio::NullAudio::newestStream(), 0);
    } else {
        Velkarn& app = start();
        EXPECT_TRUE(app.hasOutputDevice(0));
        EXPECT_FALSE(app.hasOutputDevice(1));
        EXPECT_TRUE(app.isPlaying());
        EXPECT_TRUE(boxes().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Velkarn, DeviceCounts,
    ::testing::Values(DeviceCase{0, 1, "There is no suitable audio device available [MM: 0, DS: 1]."},
                      DeviceCase{1, 0, "There is no suitable audio device available [MM: 1, DS: 0]."},
                      DeviceCase{0, 0, "There is no suitable audio device available [MM: 0, DS: 0]."},
                      DeviceCase{1, 1, nullptr}, DeviceCase{2, 1, nullptr}),
    [](const ::testing::TestParamInfo<DeviceCase>& info) {
        return "MM" + std::to_string(info.param.waveOuts) + "DS" + std::to_string(info.param.directSounds);
    });

TEST_F(AppTest, AnswersTheFixedQuestionsOfTheInterface) {
    Velkarn& app = start();
    ApplicationInterface& face = app;
    EXPECT_EQ(face.minimumTempo(), 40.0f);
    EXPECT_EQ(face.maximumTempo(), 220.0f);
    EXPECT_EQ(face.standardTempo(), 120.0f);
    EXPECT_EQ(face.deckCount(), 2);
    EXPECT_EQ(face.beatPeriod(), 0.5f);
    EXPECT_TRUE(face.isExitOnLoad());  // the record's default
    EXPECT_EQ(face.mainWindow()->title(), "Velkarn");
    EXPECT_NE(face.songs(0), face.songs(1));
    EXPECT_NE(face.playlistWriterText(), face.playlistWriterCsv());
    EXPECT_EQ(face.recorder()->fileName(), "C:/Velkarn.wav");
    EXPECT_EQ(face.beatMapper(), nullptr);
    EXPECT_EQ(face.browser(), nullptr);
    // The volume slider told the mixer its position once.
    EXPECT_FLOAT_EQ(face.mixerParameters()->value(MixerParameters::mainVolume), 0.9f);
    // The network panel made its endpoints, the settings panel its late set-up.
    EXPECT_EQ(app.panelNetwork()->serverAddressText(), "127.0.0.1");
    EXPECT_NE(app.panelNetwork()->networkServer(), nullptr);
    EXPECT_TRUE(app.panelSettings()->isReady());
    EXPECT_EQ(app.refreshPeriodMs(), 50u);
}

TEST_F(AppTest, TheFirstStartWritesEveryRecordAndTheExitOnlyTheRoots) {
    start();
    const char* names[] = {"StartUp", "StartUp2", "StartUp3", "StartUp4", "StartUp5", "StartUp6", "StartUp7"};
    const std::size_t sizes[] = {156, 516, 272, 172, 4, 72, 2048};
    std::vector<std::string> before;
    for (int i = 0; i < 7; ++i) {
        auto value = storedValue(names[i]);
        ASSERT_TRUE(value.has_value()) << names[i];
        EXPECT_EQ(value->size(), sizes[i]) << names[i];
        before.push_back(*value);
    }
    application->browserData()->setRootDirectory(0, "/music/house");
    application->browserData()->setRootDirectory(2, std::string(600, 'x'));  // longer than its field
    stop();

    VelkarnStartUpValues7 expected;
    std::strcpy(expected.rootDirectories[0], "/music/house");
    std::memset(expected.rootDirectories[2], 'x', 511);
    EXPECT_EQ(storedValue("StartUp7"), recordBytes(&expected, sizeof expected));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(storedValue(names[i]), before[static_cast<std::size_t>(i)]) << names[i];
}

TEST_F(AppTest, TheOverlaysFollowTheStoredFlag) {
    for (bool shown : {true, false}) {
        VelkarnStartUpValues5 flag;
        flag.overlaysShown = shown;
        flag.save();
        Velkarn& app = start();
        EXPECT_EQ(app.overlayRows()->isLoaded(), shown);
        EXPECT_EQ(app.panelDecks()->isOverlayShown(), shown);
        app.showOverlays();
        EXPECT_TRUE(app.overlayRows()->isLoaded());
        EXPECT_TRUE(app.panelDecks()->isOverlayShown());
        stop();
    }
}

TEST_F(AppTest, AStoredDeviceThatIsGoneFallsBackToTheFirstWaveDevice) {
    struct Case {
        std::int32_t type;
        const char* name;
        bool waveOut;
    };
    for (const Case& c : {Case{1, "Fake Sound", false}, Case{1, "Gone Sound", true}, Case{0, "Fake Wave", true},
                          Case{0, "Gone Wave", true}}) {
        VelkarnStartUpValues startUp;
        startUp.outputType = c.type;
        std::strcpy(startUp.outputDevice, c.name);
        startUp.latencyMs = 20.0f;
        startUp.save();
        Velkarn& app = start();
        ASSERT_TRUE(app.hasOutputDevice(0)) << c.name;
        EXPECT_EQ(app.output(0)->isWaveOut(), c.waveOut) << c.name;
        // A fallback also takes the default latency: 2205 frames per block.
        const auto stream = platform::audio::NullAudio::stream(platform::audio::NullAudio::newestStream());
        ASSERT_TRUE(stream.has_value());
        const bool fellBack = std::string(c.name).rfind("Gone", 0) == 0;
        EXPECT_EQ(stream->periodFrames, fellBack ? 2205 : 882) << c.name;
        stop();
    }
}

TEST_F(AppTest, BeatRecordsAreHandedOutAsCopies) {
    Velkarn& app = start();
    for (int index : {0, 1, 17}) {
        TrackBeat beat = app.beatAt(index);
        const TrackBeat kept = beat;
        beat.position += 1000;
        beat.length = 1;
        const TrackBeat again = app.beatAt(index);
        EXPECT_EQ(again.position, kept.position);
        EXPECT_EQ(again.length, kept.length);
        EXPECT_EQ(again.index, index);
    }
}

TEST_F(AppTest, TheNextEditableBeatLeavesTenThousandSamplesOfMargin) {
    Velkarn& app = start();
    const int b = app.currentBeatIndex();
    const std::int64_t next = app.beatAt(b + 1).position;
    struct Case {
        std::int64_t ahead;
        int offset;
    };
    // The clock only moves forward: the cases come in falling margins.
    for (const Case& c : {Case{10001, 1}, Case{10000, 1}, Case{9999, 2}}) {
        advanceClock(app, next - c.ahead - app.currentSampleTime());
        ASSERT_EQ(app.currentBeatIndex(), b);
        EXPECT_EQ(app.nextEditableBeat(), b + c.offset) << c.ahead;
    }
}

TEST_F(AppTest, TheClockIsReadWithTheDeckLockHeldElsewhere) {
    Velkarn& app = start();
    const std::int64_t before = app.currentSampleTime();
    enterCriticalSection(2);
    std::int64_t seen = -1;
    std::thread reader([&] { seen = app.currentSampleTime(); });
    reader.join();
    leaveCriticalSection(2);
    EXPECT_EQ(seen, before);

    // Beat queries from another thread wait for the lock and agree.
    std::vector<int> indices(4);
    std::thread queries([&] {
        indices[0] = app.currentBeatIndex();
        indices[1] = app.beatIndexAt(app.currentSampleTime());
        indices[2] = app.beatAt(indices[0]).index;
        TrackBeat beat;
        indices[3] = app.tryBeatAt(indices[0], beat) ? beat.index : -1;
    });
    queries.join();
    EXPECT_EQ(indices, std::vector<int>(4, indices[0]));
}

TEST_F(AppTest, ThePlayToggleStopsTheClockAndDisconnects) {
    Velkarn& app = start();
    app_test::chooseNetworkMode(app, PanelNetwork::modeServer);
    ASSERT_TRUE(app.panelNetwork()->isServing());
    const std::int64_t before = app.currentSampleTime();
    app.buttonReleased(app.playButton());
    EXPECT_FALSE(app.isPlaying());
    EXPECT_FALSE(app.panelNetwork()->isServing());
    EXPECT_EQ(app.panelNetwork()->selectedMode(), PanelNetwork::modeStandAlone);
    advanceClock(app, 4410);
    EXPECT_EQ(app.currentSampleTime(), before);
    app.buttonPressed(app.playButton());
    EXPECT_TRUE(app.isPlaying());
    advanceClock(app, 4410);
    EXPECT_EQ(app.currentSampleTime(), before + 4410);
}

TEST_F(AppTest, TheVolumeSliderSetsTheMainVolume) {
    Velkarn& app = start();
    for (float position : {0.0f, 0.25f, 1.0f}) {
        app.sliderChanged(app.volumeSlider(), position);
        EXPECT_FLOAT_EQ(app.mixerParameters()->value(MixerParameters::mainVolume), 2.0f * position);
    }
}

TEST_F(AppTest, ReRenderSettingsReachThePlaybackRenderersOnly) {
    Velkarn& app = start();
    // StartUp's 10 ms on every renderer at first.
    EXPECT_EQ(app.playback(0)->overlapFrames(), 441);
    struct Case {
        float overlapMs;
        std::int32_t frames;
    };
    for (const Case& c : {Case{25.0f, 1103}, Case{0.0f, 0}, Case{200.0f, 8820}}) {
        app.setOverlapMs(c.overlapMs);
        for (int d = 0; d < 2; ++d) {
            EXPECT_EQ(app.playback(d)->overlapFrames(), c.frames) << c.overlapMs;
            EXPECT_EQ(app.second(d)->overlapFrames(), 441) << c.overlapMs;
        }
    }
    app.setTimeScalerFrameSize(2048);
    app.setTimeScalerOverlap(8);
    EXPECT_EQ(app.timeScaler()->frameSize(), 2048);
    EXPECT_EQ(app.timeScaler()->overlap(), 8);
    // The renderers keep running through every re-render.
    for (int d = 0; d < 2; ++d) EXPECT_TRUE(app.playback(d)->running());
}

TEST_F(AppTest, TheKneeReachesAllFourRenderers) {
    Velkarn& app = start();
    EXPECT_FLOAT_EQ(app.playback(0)->crossfadeKnee(), 0.75f);  // StartUp's 75 %
    app.setCrossfadeKnee(0.3f);
    for (int d = 0; d < 2; ++d) {
        EXPECT_FLOAT_EQ(app.playback(d)->crossfadeKnee(), 0.3f);
        EXPECT_FLOAT_EQ(app.second(d)->crossfadeKnee(), 0.3f);
    }
}

// Counts the blocks an output hands its sinks, and those that come after
// the device let its sinks go.
class BlockCounter : public AudioSink {
public:
    void process(Motor* /*device*/, const float* const* /*channels*/, std::int32_t /*frames*/) override {
        if (released.load()) late.fetch_add(1);
        blocks.fetch_add(1);
    }
    void detached(Motor* /*device*/) override { released.store(true); }
    void attach(Motor* /*device*/) override {}
    std::atomic<int> blocks{0};
    std::atomic<int> late{0};
    std::atomic<bool> released{false};
};

TEST_F(AppTest, DestructionStopsBothOutputsWhileTheyPlayInRealTime) {
    // Real-time pacing: the null streams pull blocks on their own threads
    // while the application is torn down around them.
    platform::VirtualClock::disable();
    app_test::storeSecondOutput(1, "Fake Sound");
    for (int round = 0; round < 3; ++round) {
        Velkarn& app = start();
        ASSERT_TRUE(app.hasOutputDevice(1));
        BlockCounter counters[2];
        for (int i = 0; i < 2; ++i) app.output(i)->addSink(&counters[i]);
        for (int wait = 0; wait < 20000 && (counters[0].blocks < 4 || counters[1].blocks < 4); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_GE(counters[0].blocks, 4);
        ASSERT_GE(counters[1].blocks, 4);
        stop();
        for (BlockCounter& counter : counters) {
            EXPECT_TRUE(counter.released.load());
            EXPECT_EQ(counter.late.load(), 0);
        }
        for (int stream : streams) {
            const auto record = platform::audio::NullAudio::stream(stream);
            ASSERT_TRUE(record.has_value());
            EXPECT_TRUE(record->closed);
            EXPECT_FALSE(record->running);
            // Underruns are not counted here: paced in real time on a loaded
            // machine a stream may miss a period for reasons of its own. The
            // stepped device's tests check that no block runs dry.
        }
    }
}

}  // namespace
