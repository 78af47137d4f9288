// Both devices on the null device stepped by the virtual clock: one block
// per period, whole and in order.
#include "AudioTestSupport.h"

#include "TestEnvironment.h"
#include "audio/DirectSoundOut.h"
#include "audio/WaveOut.h"
#include "platform/Clock.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <bit>
#include <sstream>

using namespace audio_test;
using platform::audio::NullAudio;

namespace {

class SteppedDevice : public SteppedAudioTest,
                      public ::testing::WithParamInterface<std::tuple<DeviceKind, float>> {
protected:
    DeviceKind kind() const { return std::get<0>(GetParam()); }
    float latency() const { return std::get<1>(GetParam()); }
    int frames() const { return latency() == 50.0f ? 2205 : 44; }
    std::int64_t periodNs() const { return (frames() * 1000000000LL + 44099) / 44100; }

    std::unique_ptr<Motor> open(AudioClient* producer) {
        auto device = devices.open(kind(), format, latency(), producer);
        stream = NullAudio::newestStream();
        return device;
    }
    std::vector<Period> captured(const std::vector<const PatternProducer*>& producers, std::int64_t upTo) {
        return readPeriods(NullAudio::capturedBytes(stream), format, frames(), producers, upTo);
    }
    std::int64_t underruns() const { return NullAudio::stream(stream)->underruns; }

    FakeDevices devices;
    FormatAudio format;
    int stream = 0;
};

std::string describe(const std::vector<Period>& periods) {
    std::ostringstream text;
    for (const Period& p : periods) {
        text << (p.kind == Period::Block ? "b" + std::to_string(p.seed) + ":" + std::to_string(p.block)
                                         : p.kind == Period::Silence ? "silence" : "torn")
             << " ";
    }
    return text.str();
}

TEST_P(SteppedDevice, OneBlockPerPeriodTheFirstTwoOnTheCallersThread) {
    PatternProducer producer;
    auto device = open(&producer);
    const int halfBytes = frames() * 4;
    if (kind() == DeviceKind::DirectSound) {
        EXPECT_TRUE(devices.fake.called("createBuffer " + std::to_string(2 * halfBytes)));
        EXPECT_TRUE(devices.fake.called("setNotificationPositions 0 " + std::to_string(halfBytes)));
        EXPECT_EQ(static_cast<DirectSoundOut&>(*device).halfBytes(), halfBytes);
    } else {
        EXPECT_EQ(static_cast<WaveOut&>(*device).blockBytes(), halfBytes);
    }

    device->start();
    EXPECT_EQ(producer.blocks(), 2);
    EXPECT_EQ(NullAudio::stream(stream)->periodFrames, frames());
    const int k = 6;
    advancePeriods(stream, k);
    EXPECT_EQ(producer.blocks(), k + 2);

    const auto threads = producer.threads();
    ASSERT_EQ(threads.size(), static_cast<std::size_t>(k + 2));
    EXPECT_EQ(threads[0], std::this_thread::get_id());
    EXPECT_EQ(threads[1], std::this_thread::get_id());
    for (int i = 2; i < k + 2; ++i) {
        EXPECT_NE(threads[i], std::this_thread::get_id()) << "block " << i;
        EXPECT_EQ(threads[i], threads[2]) << "block " << i;
    }

    const auto periods = captured({&producer}, k + 2);
    ASSERT_EQ(periods.size(), static_cast<std::size_t>(k)) << describe(periods);
    for (int i = 0; i < k; ++i) {
        EXPECT_EQ(periods[i].kind, Period::Block) << describe(periods);
        EXPECT_EQ(periods[i].block, i) << describe(periods);
    }
    EXPECT_EQ(underruns(), 0);
}

TEST_P(SteppedDevice, StopEndsTheBlocksAndStartContinuesWithoutStaleAudio) {
    PatternProducer producer;
    auto device = open(&producer);
    device->start();
    advancePeriods(stream, 3);
    device->stop();
    EXPECT_EQ(producer.blocks(), 5);
    EXPECT_FALSE(producer.rendering());
    EXPECT_FALSE(NullAudio::stream(stream)->running);

    // Time goes on, nothing plays and nothing renders.
    platform::VirtualClock::advanceNs(5 * periodNs());
    EXPECT_EQ(producer.blocks(), 5);
    EXPECT_EQ(NullAudio::stream(stream)->periods, 3);

    if (kind() == DeviceKind::DirectSound) {
        const auto callsBefore = devices.fake.calls().size();
        device->stop();
        EXPECT_EQ(devices.fake.calls().size(), callsBefore) << "a second stop reached the buffer";
    }

    device->start();
    EXPECT_EQ(producer.blocks(), 7);
    if (kind() == DeviceKind::DirectSound) {
        const auto callsBefore = devices.fake.calls().size();
        device->start();
        EXPECT_EQ(devices.fake.calls().size(), callsBefore) << "a start while playing reached the buffer";
        EXPECT_EQ(producer.blocks(), 7);
    }
    advancePeriods(stream, 3);

    // Blocks 3 and 4 were rendered before the stop and never played; no
    // header or half kept them for after it.
    const auto periods = captured({&producer}, 10);
    ASSERT_EQ(periods.size(), 6u) << describe(periods);
    const std::int64_t expected[] = {0, 1, 2, 5, 6, 7};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(periods[i].kind, Period::Block) << describe(periods);
        EXPECT_EQ(periods[i].block, expected[i]) << describe(periods);
    }
    EXPECT_EQ(underruns(), 0);
}

TEST_P(SteppedDevice, SetClientNeverSplitsABlock) {
    PatternProducer first(1);
    PatternProducer second(2);
    auto device = open(&first);
    device->start();
    advancePeriods(stream, 2);
    device->setClient(&second);
    advancePeriods(stream, 2);

    std::atomic<bool> done{false};
    std::thread switcher([&] {
        for (int i = 0; !done.load(); ++i) device->setClient(i % 2 == 0 ? &first : &second);
    });
    advancePeriods(stream, 12);
    done.store(true);
    switcher.join();
    device->stop();

    const auto periods = captured({&first, &second}, 20);
    ASSERT_EQ(periods.size(), 16u);
    std::int64_t last[3] = {-1, -1, -1};
    for (const Period& period : periods) {
        ASSERT_EQ(period.kind, Period::Block) << describe(periods);
        EXPECT_GT(period.block, last[period.seed]) << describe(periods);
        last[period.seed] = period.block;
    }
    EXPECT_EQ(first.blocks() + second.blocks(), 2 + 16);
}

TEST_P(SteppedDevice, ReleaseWhilePlayingStopsThenDetachesInOrder) {
    PatternProducer producer;
    std::vector<std::string> log;
    std::mutex logMutex;
    struct StoppedCheck : RecordingSink {
        using RecordingSink::RecordingSink;
        void detached(Motor* device) override {
            RecordingSink::detached(device);
            const auto record = NullAudio::stream(stream);
            stoppedFirst = record && !record->running && !producer->rendering();
        }
        int stream = 0;
        const PatternProducer* producer = nullptr;
        bool stoppedFirst = false;
    };
    StoppedCheck a("a", log, logMutex);
    StoppedCheck b("b", log, logMutex);
    StoppedCheck c("c", log, logMutex);
    auto device = open(&producer);
    for (StoppedCheck* sink : {&a, &b, &c}) {
        sink->stream = stream;
        sink->producer = &producer;
        device->addSink(sink);
    }
    device->start();
    advancePeriods(stream, 2);
    device.reset();

    ASSERT_GE(log.size(), 3u);
    const std::vector<std::string> tail(log.end() - 3, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"a detached", "b detached", "c detached"}));
    EXPECT_TRUE(a.stoppedFirst && b.stoppedFirst && c.stoppedFirst);
    EXPECT_TRUE(NullAudio::stream(stream)->closed);
}

// The bytes played at each width and channel count are the conversion
// table's, and the WAV capture carries the stream's format and length.
TEST_P(SteppedDevice, PlaysTheConversionTableAtEveryWidth) {
    const auto rows = referenceRows();
    testing_support::TemporaryDirectory directory;
    NullAudio::setCaptureDirectory(directory.path());
    std::vector<std::string> files;
    std::string expectedInfo;
    for (int bits : {16, 24, 32}) {
        std::vector<const ReferenceRow*> table;
        for (const auto& row : rows) {
            if (row.bits == bits) table.push_back(&row);
        }
        for (int channels : {1, 2}) {
            struct TableProducer : AudioClient {
                void render(Motor* device, float** buffers, std::int32_t count) override {
                    for (int c = 0; c < device->format()->channels; ++c) {
                        for (int f = 0; f < count; ++f) {
                            buffers[c][f] = std::bit_cast<float>((*table)[next++ % table->size()]->input);
                        }
                    }
                }
                const std::vector<const ReferenceRow*>* table = nullptr;
                std::size_t next = 0;
            } producer;
            producer.table = &table;
            FormatAudio wide(channels, 44100, bits);
            int opened = 0;
            {
                auto device = devices.open(kind(), wide, latency(), &producer);
                opened = NullAudio::newestStream();
                device->start();
                advancePeriods(opened, 2);
                device->stop();
            }
            const auto bytes = NullAudio::capturedBytes(opened);
            const int sampleBytes = bits / 8;
            ASSERT_EQ(bytes.size(), static_cast<std::size_t>(2 * frames() * channels * sampleBytes));
            // The producer wrote channel by channel, the device interleaves.
            for (int block = 0; block < 2; ++block) {
                for (int f = 0; f < frames(); ++f) {
                    for (int c = 0; c < channels; ++c) {
                        const std::size_t drawn =
                            static_cast<std::size_t>(block) * frames() * channels + c * frames() + f;
                        const std::size_t at =
                            ((static_cast<std::size_t>(block) * frames() + f) * channels + c) * sampleBytes;
                        ASSERT_EQ(hexOf(bytes.data() + at, sampleBytes), table[drawn % table.size()]->bytes)
                            << bits << " bits, " << channels << " channels, block " << block << ", frame " << f;
                    }
                }
            }
            files.push_back(directory.file(std::to_string(opened) + ".wav"));
            expectedInfo += std::to_string(channels) + " " + std::to_string(sampleBytes) + " 44100 " +
                            std::to_string(2 * frames()) + "\n";
        }
    }
    EXPECT_EQ(testing_support::runPython("audio/wav_info.py", files), expectedInfo);
}

TEST_P(SteppedDevice, EightBitOutputRendersNothingAndPlaysSilence) {
    PatternProducer producer;
    FormatAudio eightBit(2, 44100, 8);
    auto device = devices.open(kind(), eightBit, latency(), &producer);
    stream = NullAudio::newestStream();
    device->start();
    advancePeriods(stream, 3);
    device->stop();
    EXPECT_EQ(producer.blocks(), 0);
    const auto bytes = NullAudio::capturedBytes(stream);
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(3 * frames() * 2));
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0x80; }));
}

INSTANTIATE_TEST_SUITE_P(BothDevices, SteppedDevice,
                         ::testing::Combine(::testing::Values(DeviceKind::DirectSound, DeviceKind::WaveOut),
                                            ::testing::Values(50.0f, 1.0f)),
                         [](const auto& info) {
                             return std::string(kindName(std::get<0>(info.param))) +
                                    (std::get<1>(info.param) == 50.0f ? "_50ms" : "_1ms");
                         });

}  // namespace
