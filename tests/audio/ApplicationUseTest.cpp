// The device list and both devices as the application uses them, on the
// real layer with only the null device (VELKARN_AUDIO=null).
#include "AudioTestSupport.h"

#include "audio/AudioDeviceList.h"
#include "audio/DirectSoundOut.h"
#include "audio/WaveOut.h"
#include "platform/Clock.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace audio_test;
using platform::audio::NullAudio;
using Kind = AudioDeviceList::Kind;

namespace {

class ApplicationUse : public SteppedAudioTest {
protected:
    FormatAudio format;
};

TEST_F(ApplicationUse, BothListsHoldTheNullOutput) {
    const AudioDeviceList list(format);
    ASSERT_EQ(list.count(Kind::WaveOut), 1);
    ASSERT_EQ(list.count(Kind::DirectSound), 1);
    EXPECT_STREQ(list.name(Kind::WaveOut, 0), "Null Output");
    EXPECT_STREQ(list.name(Kind::DirectSound, 0), "Null Output");
    EXPECT_EQ(list.count(Kind::WaveIn), 0);
    EXPECT_EQ(list.count(Kind::Capture), 0);

    // The settings' factory record: waveOut, no name, 50 ms.
    std::int32_t useDirectSound = 0;
    char name[AudioDeviceList::nameSize] = "";
    float latency = 50.0f;
    list.validateChoice(true, useDirectSound, name, latency);
    EXPECT_EQ(useDirectSound, 0);
    EXPECT_STREQ(name, "Null Output");
    EXPECT_EQ(latency, 50.0f);
}

TEST_F(ApplicationUse, TwoOutputsPlayTogetherEachItsOwnProducer) {
    const AudioDeviceList list(format);
    PatternProducer main(1);
    PatternProducer second(2);
    DirectSoundOut directSound(list.directSoundGuid("Null Output"), format, 50.0f, &main, nullptr);
    const int directStream = NullAudio::newestStream();
    WaveOut waveOut(list.waveOutDeviceId("Null Output"), format, 50.0f, &second);
    const int waveStream = NullAudio::newestStream();
    directSound.start();
    waveOut.start();
    platform::VirtualClock::advance(10 * 50);
    waveOut.stop();
    directSound.stop();

    for (auto [stream, producer] : {std::pair{directStream, &main}, std::pair{waveStream, &second}}) {
        const auto periods = readPeriods(NullAudio::capturedBytes(stream), format, 2205, {&main, &second}, 16);
        ASSERT_EQ(periods.size(), 10u);
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(periods[i].kind, Period::Block);
            EXPECT_EQ(periods[i].seed, producer->seed());
            EXPECT_EQ(periods[i].block, i);
        }
    }
    EXPECT_EQ(main.blocks(), 12);
    EXPECT_EQ(second.blocks(), 12);
}

TEST_F(ApplicationUse, DevicesTellWhetherTheyShareAWaveDevice) {
    const AudioDeviceList list(format);
    const int number = list.waveOutDeviceId("Null Output");
    ASSERT_GE(number, 0);
    DirectSoundOut directSound(list.directSoundGuid("Null Output"), format, 20.0f, nullptr, nullptr);
    WaveOut first(number, format, 20.0f, nullptr);
    WaveOut second(number, format, 30.0f, nullptr);
    const Motor& a = directSound;
    const Motor& b = first;
    const Motor& c = second;
    EXPECT_FALSE(a.isWaveOut());
    EXPECT_EQ(a.deviceId(), 0);
    EXPECT_TRUE(b.isWaveOut());
    EXPECT_EQ(b.deviceId(), number);
    EXPECT_TRUE(c.isWaveOut());
    EXPECT_EQ(c.deviceId(), b.deviceId());
}

// Without a producer a device plays silence rather than a stale block.
TEST_F(ApplicationUse, WithoutAProducerTheDevicePlaysSilence) {
    WaveOut waveOut(-1, format, 20.0f, nullptr);
    const int stream = NullAudio::newestStream();
    waveOut.start();
    NullAudio::advanceToDeadline(stream, 3);
    waveOut.stop();
    const auto bytes = NullAudio::capturedBytes(stream);
    EXPECT_EQ(bytes.size(), 3u * 882 * 4);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; }));
}

}  // namespace
