// The two output slots: opening, failing, reopening with the taps carried
// over in order, and taps that wait while a slot is empty.
#include "AppTestSupport.h"

#include "app/Recorder.h"
#include "app/VelkarnStartUpValues.h"
#include "app/VelkarnStartUpValues3.h"
#include "audio/AudioSink.h"
#include "audio/Motor.h"
#include "audio/Songs.h"
#include "audio/TrackAudio.h"
#include "audio/TrackInfo.h"
#include "scope/Scope.h"

#include <cstring>

using app_test::AppTest;
using app_test::boxes;

namespace {

std::vector<AudioSink*> sinksOf(Motor* device) {
    AudioSink* sinks[Motor::maxSinks];
    std::int32_t count = 0;
    device->listSinks(sinks, count);
    return std::vector<AudioSink*>(sinks, sinks + count);
}

struct OpenFailure {
    bool directSound;
    const char* name;
    const char* box;
};

class OpenFailures : public AppTest, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(OpenFailures, ADeviceThatCannotOpenIsReportedAndLeavesTheSlotEmpty) {
    const OpenFailure& c = GetParam();
    Velkarn& app = start();
    Recorder* recorder = app.recorder();
    ASSERT_EQ(recorder->device(), app.output(0));
    if (c.directSound) {
        fake->failures.createBuffer = true;
    } else {
        fake->failures.openWaveOut = true;
    }
    app.openOutputDevice(0, c.directSound, c.name, 50.0f);
    EXPECT_FALSE(app.hasOutputDevice(0));
    EXPECT_EQ(boxes(), std::vector<std::string>{c.box});
    // The taps of the device it replaced wait, detached, for the next one.
    EXPECT_EQ(recorder->device(), nullptr);
    EXPECT_EQ(app.waitingSinks(0), std::vector<AudioSink*>{recorder});
    // Start and stop on the empty slot do nothing.
    app.startOutputDevice(0);
    app.stopOutputDevice(0);

    fake->failures = platform::audio::FakeFailures{};
    app.openOutputDevice(0, false, "Fake Wave", 50.0f);
    ASSERT_TRUE(app.hasOutputDevice(0));
    EXPECT_EQ(recorder->device(), app.output(0));
    EXPECT_EQ(sinksOf(app.output(0)), std::vector<AudioSink*>{recorder});
    EXPECT_TRUE(app.waitingSinks(0).empty());
}

INSTANTIATE_TEST_SUITE_P(Velkarn, OpenFailures,
                         ::testing::Values(OpenFailure{true, "Fake Sound",
                                                       "Device Trouble|Could not open DirectSoundOut device."},
                                           OpenFailure{false, "Fake Wave",
                                                       "Device Trouble|Could not open WaveOut device."}),
                         [](const ::testing::TestParamInfo<OpenFailure>& info) {
                             return std::string(info.param.directSound ? "DirectSoundOut" : "WaveOut");
                         });

TEST_F(AppTest, AReopenedOutputCarriesItsTapsInOrder) {
    Velkarn& app = start();
    Scope* scope = app.openScope();
    Motor* first = app.output(0);
    ASSERT_EQ(sinksOf(first), (std::vector<AudioSink*>{app.recorder(), scope}));
    for (bool directSound : {true, false, true}) {
        app.openOutputDevice(0, directSound, directSound ? "Fake Sound" : "Fake Wave", 20.0f);
        ASSERT_TRUE(app.hasOutputDevice(0));
        EXPECT_EQ(app.output(0)->isWaveOut(), !directSound);
        EXPECT_EQ(sinksOf(app.output(0)), (std::vector<AudioSink*>{app.recorder(), scope}));
        EXPECT_EQ(scope->device(), app.output(0));
        EXPECT_EQ(app.recorder()->device(), app.output(0));
    }
    EXPECT_TRUE(boxes().empty());
}

TEST_F(AppTest, WithoutAMainOutputTheTapsWaitForOne) {
    VelkarnStartUpValues startUp;
    startUp.outputType = 1;
    std::strcpy(startUp.outputDevice, "Fake Sound");
    startUp.save();
    fake->failures.createBuffer = true;
    Velkarn& app = start();
    fake->failures = platform::audio::FakeFailures{};
    EXPECT_FALSE(app.hasOutputDevice(0));
    EXPECT_EQ(boxes(), std::vector<std::string>{"Device Trouble|Could not open DirectSoundOut device."});
    Scope* scope = app.openScope();
    EXPECT_EQ(app.waitingSinks(0), (std::vector<AudioSink*>{app.recorder(), scope}));

    // A closed scope leaves the waiting list.
    app.closeScope();
    EXPECT_EQ(app.waitingSinks(0), std::vector<AudioSink*>{app.recorder()});
    scope = app.openScope();
    app.openOutputDevice(0, false, "Fake Wave", 50.0f);
    ASSERT_TRUE(app.hasOutputDevice(0));
    EXPECT_EQ(sinksOf(app.output(0)), (std::vector<AudioSink*>{app.recorder(), scope}));
    EXPECT_TRUE(app.waitingSinks(0).empty());
}

TEST_F(AppTest, TheSecondOutputOpensFromItsRecordAndCloses) {
    app_test::storeSecondOutput(1, "Fake Sound");
    Velkarn& app = start();
    ASSERT_TRUE(app.hasOutputDevice(1));
    EXPECT_FALSE(app.output(1)->isWaveOut());
    EXPECT_TRUE(sinksOf(app.output(1)).empty());
    app.closeOutputDevice(1);
    EXPECT_FALSE(app.hasOutputDevice(1));
    app.closeOutputDevice(1);
    app.startOutputDevice(1);
    app.stopOutputDevice(1);
    EXPECT_FALSE(app.hasOutputDevice(1));
    EXPECT_TRUE(app.hasOutputDevice(0));
}

TEST_F(AppTest, StoppingTheSecondRenderersEndsThePreListen) {
    Velkarn& app = start();
    for (int d = 0; d < 2; ++d) app.second(d)->startThread(*app.songs(d), *app.trackInfo(), 0, 0);
    for (int d = 0; d < 2; ++d) EXPECT_TRUE(app.second(d)->running());
    app.stopSecondRenderers();
    for (int d = 0; d < 2; ++d) {
        EXPECT_FALSE(app.second(d)->running());
        EXPECT_TRUE(app.playback(d)->running());
    }
    app.stopSecondRenderers();  // nothing left to stop
}

}  // namespace
