// The devices when the layer's calls fail: what they throw, what they log,
// and that a failed construction leaves nothing allocated.
#include "AudioTestSupport.h"

#include "TestEnvironment.h"
#include "audio/DirectSoundOut.h"
#include "audio/WaveOut.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "platform/Event.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>

using namespace audio_test;
using platform::audio::NullAudio;

namespace {

constexpr const char* scriptedTrouble = "BackendError (scripted failure)";

std::string constructionFailure(const std::function<void()>& construct) {
    try {
        construct();
    } catch (const StringException& error) {
        return error.what();
    }
    return "(constructed)";
}

class FakeFailures : public SteppedAudioTest {
protected:
    void SetUp() override {
        SteppedAudioTest::SetUp();
        testing_support::clearLog();
    }
    FormatAudio format;
    PatternProducer producer;
};

TEST_F(FakeFailures, DirectSoundSetUpFailuresThrowAndFreeEverything) {
    struct Case {
        const char* what;
        std::function<void(FakeDevices&)> fail;
        const char* thrown;
    };
    const Case cases[] = {
        {"device", [](FakeDevices& d) { d.fake.outputs[1].failCreate = true; }, "Cannot open DirectSoundOut device."},
        {"buffer", [](FakeDevices& d) { d.fake.failures.createBuffer = true; }, "Could not create DirectSound buffer."},
        {"notifications", [](FakeDevices& d) { d.fake.failures.notifications = true; },
         "Could not create DirectSound buffer."},
    };
    for (const Case& c : cases) {
        FakeDevices devices;
        c.fail(devices);
        testing_support::clearLog();
        const std::int64_t live = liveBlocks();
        EXPECT_EQ(constructionFailure([&] { devices.open(DeviceKind::DirectSound, format, 50.0f, &producer); }),
                  c.thrown)
            << c.what;
        EXPECT_EQ(liveBlocks(), live) << c.what;
        EXPECT_TRUE(logContains(std::string("DirectX trouble in file DirectSoundOut.cpp, line ")) &&
                    logContains(scriptedTrouble))
            << c.what;
    }
    EXPECT_EQ(producer.blocks(), 0);
}

TEST_F(FakeFailures, CooperativeLevelFailureIsOnlyLogged) {
    FakeDevices devices;
    devices.fake.failures.cooperativeLevel = true;
    auto device = devices.open(DeviceKind::DirectSound, format, 50.0f, &producer);
    EXPECT_TRUE(devices.fake.called("setCooperativeLevel 2"));
    EXPECT_TRUE(logContains(scriptedTrouble));
    device->start();
    advancePeriods(NullAudio::newestStream(), 2);
    EXPECT_EQ(producer.blocks(), 4);
}

// A lock that fails skips its whole block: no producer call, and the half
// it would have filled plays silence once.
TEST_F(FakeFailures, FailedLockSkipsThatHalf) {
    FakeDevices devices;
    devices.fake.failures.failingLock = 3;  // start locks twice; the render thread's first lock fails
    auto device = devices.open(DeviceKind::DirectSound, format, 50.0f, &producer);
    const int stream = NullAudio::newestStream();
    device->start();
    advancePeriods(stream, 1);
    EXPECT_EQ(producer.blocks(), 2);
    EXPECT_TRUE(logContains(std::string("DirectX trouble in file DirectSoundOut.cpp, line ")));
    EXPECT_TRUE(logContains(scriptedTrouble));
    advancePeriods(stream, 3);
    device->stop();

    const auto periods = readPeriods(NullAudio::capturedBytes(stream), format, 2205, {&producer}, 8);
    ASSERT_EQ(periods.size(), 4u);
    EXPECT_EQ(periods[0].block, 0);
    EXPECT_EQ(periods[1].block, 1);
    EXPECT_EQ(periods[2].kind, Period::Silence);
    EXPECT_EQ(periods[3].block, 2);
    EXPECT_EQ(NullAudio::stream(stream)->underruns, 1);
}

TEST_F(FakeFailures, RenderThreadThatCannotStartStopsTheProgram) {
    FakeDevices devices;
    auto device = devices.open(DeviceKind::DirectSound, format, 50.0f, &producer);
    devices.fake.failures.threadStart = true;
    try {
        device->start();
        ADD_FAILURE() << "start went on without its thread";
    } catch (const FatalStop& stop) {
        EXPECT_STREQ(stop.what(), "Could not create thread.");
    }
    EXPECT_TRUE(logContains("Could not create thread."));
    EXPECT_FALSE(NullAudio::stream(NullAudio::newestStream())->running);
    devices.fake.failures.threadStart = false;
    device.reset();
}

TEST_F(FakeFailures, StrayWaitResultIsLoggedAndTheLoopGoesOn) {
    FakeDevices devices;
    auto device = devices.open(DeviceKind::DirectSound, format, 50.0f, &producer);
    const int stream = NullAudio::newestStream();
    device->start();
    platform::Event::injectWaitResult(258);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!logContains("WaitForMultipleObjects() has returned a weird value.") &&
           std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(logContains("WaitForMultipleObjects() has returned a weird value."));
    advancePeriods(stream, 3);
    EXPECT_EQ(producer.blocks(), 5);
    device->stop();
    EXPECT_EQ(NullAudio::stream(stream)->underruns, 0);
}

TEST_F(FakeFailures, WaveOutOpenAndPrepareFailuresThrowAndFreeEverything) {
    for (bool prepare : {false, true}) {
        FakeDevices devices;
        (prepare ? devices.fake.failures.prepareHeader : devices.fake.failures.openWaveOut) = true;
        testing_support::clearLog();
        const std::int64_t live = liveBlocks();
        EXPECT_EQ(constructionFailure([&] { devices.open(DeviceKind::WaveOut, format, 50.0f, &producer); }),
                  "Cannot open WaveOut device.");
        EXPECT_EQ(liveBlocks(), live);
        EXPECT_TRUE(logContains("The sound system failed. (scripted failure)")) << "prepare " << prepare;
        // A device opened before its headers failed is closed again.
        EXPECT_EQ(devices.fake.called("closeWaveOut"), prepare);
    }
}

TEST_F(FakeFailures, LatencyMustGiveOneTo44100Frames) {
    for (DeviceKind kind : {DeviceKind::DirectSound, DeviceKind::WaveOut}) {
        const std::string thrown =
            kind == DeviceKind::WaveOut ? "Cannot open WaveOut device." : "Cannot open DirectSoundOut device.";
        for (float latency : {0.0f, 1001.0f, -5.0f, 0.02f, NAN}) {
            FakeDevices devices;
            testing_support::clearLog();
            const std::int64_t live = liveBlocks();
            EXPECT_EQ(constructionFailure([&] { devices.open(kind, format, latency, &producer); }), thrown)
                << kindName(kind) << ", " << latency << " ms";
            EXPECT_EQ(liveBlocks(), live);
            EXPECT_TRUE(logContains("A latency of ")) << kindName(kind) << ", " << latency << " ms";
            EXPECT_TRUE(devices.fake.calls().empty()) << "the layer was called for " << latency << " ms";
        }
        FakeDevices devices;
        auto framesOf = [kind](Motor& device) {
            return kind == DeviceKind::WaveOut ? static_cast<WaveOut&>(device).framesPerBlock()
                                               : static_cast<DirectSoundOut&>(device).framesPerHalf();
        };
        auto longest = devices.open(kind, format, 1000.0f, &producer);
        auto shortest = devices.open(kind, format, 0.0227f, &producer);  // 1.001 frames
        EXPECT_EQ(framesOf(*longest), 44100);
        EXPECT_EQ(framesOf(*shortest), 1);
    }
}

}  // namespace
