#include "AudioTestSupport.h"

#include "TestEnvironment.h"
#include "TestHeap.h"
#include "audio/DirectSoundOut.h"
#include "audio/SampleConversion.h"
#include "audio/WaveOut.h"
#include "framework/Log.h"
#include "platform/Clock.h"
#include "platform/audio/NullAudio.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>

namespace audio_test {

void RecordingSink::note(const std::string& what) {
    std::lock_guard lock(logMutex_);
    log_.push_back(name_ + " " + what);
}

void RecordingSink::process(Motor*, const float* const* channels, std::int32_t) {
    note("process");
    std::lock_guard lock(mutex_);
    firstSamples_.push_back(channels[0][0]);
    lastChannels_.assign(channels, channels + 2);
}

void RecordingSink::detached(Motor*) { note("detached"); }
void RecordingSink::attach(Motor*) { note("attach"); }

std::vector<float> RecordingSink::firstSamples() const {
    std::lock_guard lock(mutex_);
    return firstSamples_;
}

std::vector<const float*> RecordingSink::lastChannels() const {
    std::lock_guard lock(mutex_);
    return lastChannels_;
}

void SteppedAudioTest::SetUp() {
    platform::VirtualClock::enable();
    platform::audio::NullAudio::setMemoryCapture(true);
    setFatalErrorHook(throwFatalStop);
}

void SteppedAudioTest::TearDown() {
    setFatalErrorHook(nullptr);
    platform::audio::NullAudio::setMemoryCapture(false);
    platform::audio::NullAudio::setCaptureDirectory("");
    platform::audio::NullAudio::forget();
    platform::VirtualClock::disable();
}

void SteppedAudioTest::advancePeriods(int openOrder, int count) {
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(platform::audio::NullAudio::advanceToDeadline(openOrder, 1)) << "stream " << openOrder << " is not running";
    }
}

const char* kindName(DeviceKind kind) { return kind == DeviceKind::DirectSound ? "DirectSound" : "WaveOut"; }

std::unique_ptr<Motor> openDevice(DeviceKind kind, FormatAudio& format, float latencyMs, AudioClient* producer,
                                  int waveNumber, const platform::audio::Guid* guid) {
    if (kind == DeviceKind::WaveOut) return std::make_unique<WaveOut>(waveNumber, format, latencyMs, producer);
    return std::make_unique<DirectSoundOut>(guid, format, latencyMs, producer, nullptr);
}

FakeDevices::FakeDevices() {
    using namespace platform::audio;
    outputGuid = guidFromText("Fake Sound");
    fake.waveOut.push_back({WaveDeviceCaps{"Fake Wave", waveFormat4S16, 2}, false});
    fake.outputs.push_back({std::nullopt, "Primary Sound Driver", OutputCaps{0x0F}, false, false});
    fake.outputs.push_back({outputGuid, "Fake Sound", OutputCaps{0x0F}, false, false});
}

std::unique_ptr<Motor> FakeDevices::open(DeviceKind kind, FormatAudio& format, float latencyMs, AudioClient* producer) {
    return openDevice(kind, format, latencyMs, producer, 0, &outputGuid);
}

platform::audio::Guid guidFromText(const std::string& text) {
    platform::audio::Guid guid;
    for (std::size_t i = 0; i < text.size(); ++i) guid.bytes[i % 16] = static_cast<std::uint8_t>(guid.bytes[i % 16] * 31 + text[i]);
    return guid;
}

std::vector<ReferenceRow> referenceRows() {
    std::istringstream text(testing_support::readFile(testing_support::sourceDirectory() +
                                                      "/tests/audio/conversion_reference.txt"));
    std::vector<ReferenceRow> rows;
    ReferenceRow row;
    std::string input;
    while (text >> row.bits >> input >> row.expected >> row.bytes) {
        row.input = static_cast<std::uint32_t>(std::stoul(input, nullptr, 16));
        rows.push_back(row);
    }
    return rows;
}

std::string hexOf(const std::uint8_t* bytes, int count) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::int64_t liveBlocks() { return primitives::test::TestHeap::liveBlocks(); }

bool logContains(const std::string& text) {
    for (const std::string& entry : testing_support::logTexts()) {
        if (entry.find(text) != std::string::npos) return true;
    }
    return false;
}

}  // namespace audio_test
