// Both devices on the null device in real time, 5 ms blocks. Nothing here
// asserts timing: waits are only guards against a hang, and the checks
// hold however late the threads run.
#include "AudioTestSupport.h"

#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

using namespace audio_test;
using platform::audio::NullAudio;

namespace {

class RealTimeDevice : public ::testing::TestWithParam<DeviceKind> {
protected:
    void SetUp() override { NullAudio::setMemoryCapture(true); }
    void TearDown() override {
        NullAudio::setMemoryCapture(false);
        NullAudio::forget();
    }

    static void waitForBlocks(const PatternProducer& producer, std::int64_t count) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (producer.blocks() < count && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_GE(producer.blocks(), count) << "the device stopped rendering";
    }

    FormatAudio format;
};

TEST_P(RealTimeDevice, PlaysWholeBlocksInOrderAcrossAStop) {
    PatternProducer producer;
    std::int64_t renderedAtStop = 0;
    int stream = 0;
    {
        auto device = openDevice(GetParam(), format, 5.0f, &producer, -1, nullptr);
        stream = NullAudio::newestStream();
        device->start();
        waitForBlocks(producer, 20);
        device->stop();
        EXPECT_FALSE(producer.rendering()) << "a block was being rendered after stop returned";
        renderedAtStop = producer.blocks();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(producer.blocks(), renderedAtStop) << "a block was rendered while stopped";

        device->start();
        waitForBlocks(producer, renderedAtStop + 20);
    }
    const auto record = NullAudio::stream(stream);
    ASSERT_TRUE(record);
    const auto periods = readPeriods(NullAudio::capturedBytes(stream), format, 220, {&producer}, producer.blocks());
    std::int64_t silent = 0;
    std::int64_t previous = -1;
    std::ostringstream trace;
    for (const Period& period : periods) {
        trace << (period.kind == Period::Block ? std::to_string(period.block)
                                               : period.kind == Period::Silence ? "-" : "torn")
              << " ";
    }
    for (const Period& period : periods) {
        ASSERT_NE(period.kind, Period::Torn) << trace.str();
        if (period.kind == Period::Silence) {
            ++silent;
            continue;
        }
        EXPECT_GT(period.block, previous) << trace.str();
        if (GetParam() == DeviceKind::WaveOut && previous >= 0) {
            // Every block plays, except the (at most two) queued at the stop.
            const bool acrossStop = previous < renderedAtStop && period.block >= renderedAtStop;
            EXPECT_LE(period.block - previous, acrossStop ? 3 : 1) << trace.str();
            if (acrossStop) {
                EXPECT_EQ(period.block, renderedAtStop) << trace.str();
            }
        }
        previous = period.block;
    }
    EXPECT_EQ(silent, record->underruns) << trace.str();
    EXPECT_GE(record->periods, 20);
    EXPECT_EQ(record->starts, 2);
}

INSTANTIATE_TEST_SUITE_P(BothDevices, RealTimeDevice, ::testing::Values(DeviceKind::DirectSound, DeviceKind::WaveOut),
                         [](const auto& info) { return std::string(kindName(info.param)); });

}  // namespace
