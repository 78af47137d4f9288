// Shared by the audio tests: producers that write recognisable blocks, a
// reader of captures into whole blocks, recording sinks, and the stepped
// null device's fixture.
#ifndef VELKARN_TESTS_AUDIO_AUDIOTESTSUPPORT_H
#define VELKARN_TESTS_AUDIO_AUDIOTESTSUPPORT_H

#include "AudioPattern.h"
#include "audio/AudioClient.h"
#include "audio/AudioSink.h"
#include "audio/FormatAudio.h"
#include "audio/Motor.h"
#include "platform/audio/FakeAudio.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace audio_test {

// Records what a device does to it, into a log shared by several sinks.
class RecordingSink : public AudioSink {
public:
    RecordingSink(std::string name, std::vector<std::string>& log, std::mutex& logMutex)
        : name_(std::move(name)), log_(log), logMutex_(logMutex) {}
    void process(Motor* device, const float* const* channels, std::int32_t frames) override;
    void detached(Motor* device) override;
    void attach(Motor* device) override;

    // The first sample of channel 0 of each block processed.
    std::vector<float> firstSamples() const;
    // The channel pointers of the last block.
    std::vector<const float*> lastChannels() const;

private:
    void note(const std::string& what);
    std::string name_;
    std::vector<std::string>& log_;
    std::mutex& logMutex_;
    mutable std::mutex mutex_;
    std::vector<float> firstSamples_;
    std::vector<const float*> lastChannels_;
};

// The stepped null device: virtual clock on, memory capture on, fatal
// stops thrown as exceptions.
class SteppedAudioTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the next `count` periods of the null stream.
    static void advancePeriods(int openOrder, int count);
};

enum class DeviceKind { DirectSound, WaveOut };
const char* kindName(DeviceKind kind);

// A device of either kind: a WaveOut on waveNumber, or a DirectSoundOut on
// guid (null: the default output).
std::unique_ptr<Motor> openDevice(DeviceKind kind, FormatAudio& format, float latencyMs, AudioClient* producer,
                                  int waveNumber = 0, const platform::audio::Guid* guid = nullptr);

// A fake with one waveOut device and one output ("Fake Wave", "Fake
// Sound", both CD-capable) behind the alias entry, whose devices play
// through null streams.
class FakeDevices {
public:
    FakeDevices();
    std::unique_ptr<Motor> open(DeviceKind kind, FormatAudio& format, float latencyMs, AudioClient* producer);
    platform::audio::FakeAudio fake;
    platform::audio::Guid outputGuid;
};

// A made-up identifier, different for different texts.
platform::audio::Guid guidFromText(const std::string& text);

// The rows of the committed conversion table.
struct ReferenceRow {
    int bits;
    std::uint32_t input;
    std::int64_t expected;
    std::string bytes;  // hex, little-endian
};
std::vector<ReferenceRow> referenceRows();
std::string hexOf(const std::uint8_t* bytes, int count);

// The live aligned blocks of the test heap.
std::int64_t liveBlocks();

// True when some log entry contains the text.
bool logContains(const std::string& text);

}  // namespace audio_test

#endif
