// Sink registration and the order of one block: producer, then sinks, on
// the same buffers; for both devices.
#include "AudioTestSupport.h"

#include "framework/StringException.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

using namespace audio_test;
using platform::audio::NullAudio;

namespace {

class MotorSinks : public SteppedAudioTest, public ::testing::WithParamInterface<DeviceKind> {
protected:
    std::vector<AudioSink*> listed(Motor& device) {
        AudioSink* sinks[Motor::maxSinks + 1] = {};
        std::int32_t count = -1;
        device.listSinks(sinks, count);
        return {sinks, sinks + count};
    }
    RecordingSink& sink(int i) { return *sinks_[static_cast<std::size_t>(i)]; }

    void SetUp() override {
        SteppedAudioTest::SetUp();
        for (int i = 0; i < 11; ++i) {
            sinks_.push_back(std::make_unique<RecordingSink>("s" + std::to_string(i), log, logMutex));
        }
    }

    FakeDevices devices;
    FormatAudio format;
    std::vector<std::string> log;
    std::mutex logMutex;

private:
    std::vector<std::unique_ptr<RecordingSink>> sinks_;
};

TEST_P(MotorSinks, RegistrationLimitsAndOrder) {
    PatternProducer producer;
    auto device = devices.open(GetParam(), format, 1.0f, &producer);
    EXPECT_TRUE(listed(*device).empty());
    std::vector<AudioSink*> ten;
    for (int i = 0; i < 10; ++i) {
        device->addSink(&sink(i));
        ten.push_back(&sink(i));
    }
    EXPECT_EQ(listed(*device), ten);
    try {
        device->addSink(&sink(10));
        ADD_FAILURE() << "an eleventh sink was taken";
    } catch (const StringException& error) {
        EXPECT_STREQ(error.what(), "Too many sinks.");
    }
    EXPECT_EQ(listed(*device), ten);
    try {
        device->removeSink(&sink(10));
        ADD_FAILURE() << "an absent sink was removed";
    } catch (const StringException& error) {
        EXPECT_STREQ(error.what(), "Cannot find sink.");
    }
    EXPECT_EQ(listed(*device), ten);

    for (int i = 9; i >= 3; --i) device->removeSink(&sink(i));
    device->removeSink(&sink(0));
    EXPECT_EQ(listed(*device), (std::vector<AudioSink*>{&sink(1), &sink(2)}));
    device->addSink(&sink(0));
    EXPECT_EQ(listed(*device), (std::vector<AudioSink*>{&sink(1), &sink(2), &sink(0)}));
}

// Every block: the producer first, then each sink in registration order,
// all on the same channel buffers.
TEST_P(MotorSinks, ProducerThenSinksOnTheSameBuffers) {
    struct LoggingProducer : PatternProducer {
        LoggingProducer(std::vector<std::string>& log, std::mutex& mutex) : log(log), mutex(mutex) {}
        void render(Motor* device, float** buffers, std::int32_t frames) override {
            PatternProducer::render(device, buffers, frames);
            std::lock_guard lock(mutex);
            log.push_back("producer");
            channels.assign(buffers, buffers + 2);
        }
        std::vector<std::string>& log;
        std::mutex& mutex;
        std::vector<const float*> channels;
    } producer(log, logMutex);
    auto device = devices.open(GetParam(), format, 1.0f, &producer);
    const int stream = NullAudio::newestStream();
    for (int i : {0, 1, 2}) device->addSink(&sink(i));
    device->removeSink(&sink(0));
    device->addSink(&sink(0));
    device->start();
    advancePeriods(stream, 3);
    device->stop();

    const std::vector<std::string> block = {"producer", "s1 process", "s2 process", "s0 process"};
    ASSERT_EQ(log.size(), 5 * block.size());
    for (std::size_t i = 0; i < log.size(); ++i) EXPECT_EQ(log[i], block[i % block.size()]) << "entry " << i;
    for (int i : {0, 1, 2}) {
        EXPECT_EQ(sink(i).lastChannels(), producer.channels);
        // What each sink saw is what the producer had just written.
        const auto seen = sink(i).firstSamples();
        ASSERT_EQ(seen.size(), 5u);
        for (int n = 0; n < 5; ++n) EXPECT_EQ(seen[n], patternSample(1, n, 0, 0));
    }
}

TEST_P(MotorSinks, WithoutSinksTheBlockIsStillPlayed) {
    PatternProducer producer;
    auto device = devices.open(GetParam(), format, 1.0f, &producer);
    const int stream = NullAudio::newestStream();
    device->start();
    advancePeriods(stream, 2);
    device->stop();
    const auto periods = readPeriods(NullAudio::capturedBytes(stream), format, 44, {&producer}, 4);
    ASSERT_EQ(periods.size(), 2u);
    EXPECT_EQ(periods[0].block, 0);
    EXPECT_EQ(periods[1].block, 1);
}

TEST_P(MotorSinks, ReleaseDetachesInRegistrationOrder) {
    PatternProducer producer;
    {
        auto device = devices.open(GetParam(), format, 1.0f, &producer);
        for (int i : {2, 0, 1}) device->addSink(&sink(i));
    }
    EXPECT_EQ(log, (std::vector<std::string>{"s2 detached", "s0 detached", "s1 detached"}));
    EXPECT_EQ(producer.blocks(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothDevices, MotorSinks, ::testing::Values(DeviceKind::DirectSound, DeviceKind::WaveOut),
                         [](const auto& info) { return std::string(kindName(info.param)); });

}  // namespace
