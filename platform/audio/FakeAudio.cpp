#include "platform/audio/FakeAudio.h"

#include "platform/Thread.h"
#include "platform/audio/AudioBackend.h"
#include "platform/audio/FakeAudioHooks.h"
#include "platform/audio/SoundBufferEmulation.h"
#include "platform/audio/WaveOutHandle.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace platform::audio {
namespace {

std::atomic<FakeAudio*> installed{nullptr};
std::mutex recordMutex;
std::vector<std::string> callRecord;
std::atomic<int> lockCount{0};

FakeAudio& fake() { return *installed.load(); }

AudioResult scriptedFailure() {
    const AudioResult result = fake().failures.result;
    if (result == resultBackendError) setBackendFailure("scripted failure");
    return result;
}

bool failThreadStarts() {
    FakeAudio* current = installed.load();
    return current != nullptr && current->failures.threadStart;
}

AudioResult waveCaps(const std::vector<FakeWaveEntry>& entries, unsigned device, WaveDeviceCaps& caps) {
    if (device >= entries.size()) return resultNoDevice;
    if (entries[device].failCapabilities) return scriptedFailure();
    caps = entries[device].caps;
    return resultOk;
}

const Guid* identifierOf(const FakeOutputEntry& entry) { return entry.guid ? &*entry.guid : nullptr; }
const Guid* identifierOf(const FakeCaptureEntry& entry) { return &entry.guid; }

// Reports the entries in order, failing after `failAfter` of them. One
// place holds every entry's identifier and is overwritten after each call,
// as a system's enumeration storage may be.
template <typename Entry>
AudioResult enumerateScripted(const std::vector<Entry>& scripted, int failAfter, DeviceEnumerationCallback callback,
                              void* context) {
    const std::vector<Entry> entries = scripted;
    Guid storage;
    for (std::size_t i = 0; i <= entries.size(); ++i) {
        if (static_cast<int>(i) == failAfter) return scriptedFailure();
        if (i == entries.size()) break;
        const Guid* identifier = identifierOf(entries[i]);
        if (identifier != nullptr) storage = *identifier;
        const bool more = callback(identifier != nullptr ? &storage : nullptr, entries[i].description.c_str(), context);
        storage.bytes.fill(0xEE);
        if (!more) break;
    }
    return resultOk;
}

class FakeSoundBuffer final : public SoundBuffer {
public:
    explicit FakeSoundBuffer(std::unique_ptr<SoundBuffer> inner) : inner_(std::move(inner)) {}

    AudioResult lock(std::uint32_t offset, std::uint32_t bytes, void** first, std::uint32_t* firstBytes, void** second,
                     std::uint32_t* secondBytes) override {
        fakehooks::record("lock " + std::to_string(offset) + " " + std::to_string(bytes));
        const int number = lockCount.fetch_add(1) + 1;
        if (number == fake().failures.failingLock) return scriptedFailure();
        return inner_->lock(offset, bytes, first, firstBytes, second, secondBytes);
    }
    AudioResult unlock(void* first, std::uint32_t firstBytes, void* second, std::uint32_t secondBytes) override {
        fakehooks::record("unlock");
        return inner_->unlock(first, firstBytes, second, secondBytes);
    }
    AudioResult play(std::uint32_t flags) override {
        fakehooks::record("play " + std::to_string(flags));
        return inner_->play(flags);
    }
    AudioResult stop() override {
        fakehooks::record("stop");
        return inner_->stop();
    }
    AudioResult setCurrentPosition(std::uint32_t offset) override {
        fakehooks::record("setCurrentPosition " + std::to_string(offset));
        return inner_->setCurrentPosition(offset);
    }
    AudioResult setNotificationPositions(int count, const PositionNotify* positions) override {
        std::string line = "setNotificationPositions";
        for (int i = 0; i < count; ++i) line += " " + std::to_string(positions[i].offset);
        fakehooks::record(line);
        if (fake().failures.notifications) return scriptedFailure();
        return inner_->setNotificationPositions(count, positions);
    }

private:
    std::unique_ptr<SoundBuffer> inner_;
};

class FakeSoundDevice final : public SoundDevice {
public:
    explicit FakeSoundDevice(const FakeOutputEntry& entry) : entry_(entry) {}

    AudioResult capabilities(OutputCaps& caps) override {
        fakehooks::record("outputCapabilities " + entry_.description);
        if (entry_.failCapabilities) return scriptedFailure();
        caps = entry_.caps;
        return resultOk;
    }
    AudioResult setCooperativeLevel(const void*, std::uint32_t level) override {
        fakehooks::record("setCooperativeLevel " + std::to_string(level));
        if (fake().failures.cooperativeLevel) return scriptedFailure();
        return resultOk;
    }
    AudioResult createBuffer(const BufferDescription& description, std::unique_ptr<SoundBuffer>& buffer) override {
        fakehooks::record("createBuffer " + std::to_string(description.bytes));
        if (fake().failures.createBuffer) return scriptedFailure();
        if (!nullDeviceSupports(description.format)) return resultBadFormat;
        std::unique_ptr<SoundBuffer> inner;
        const AudioResult result = SoundBufferEmulation::create(
            [&](PullSource& source, std::unique_ptr<BackendStream>& stream) {
                return openNullStream(description.format, StreamKind::DirectSound, source, stream);
            },
            description, inner);
        if (result == resultOk) buffer = std::make_unique<FakeSoundBuffer>(std::move(inner));
        return result;
    }

private:
    FakeOutputEntry entry_;
};

class FakeCaptureDevice final : public CaptureDevice {
public:
    explicit FakeCaptureDevice(const FakeCaptureEntry& entry) : entry_(entry) {}
    AudioResult capabilities(CaptureCaps& caps) override {
        fakehooks::record("captureCapabilities " + entry_.description);
        if (entry_.failCapabilities) return scriptedFailure();
        caps = entry_.caps;
        return resultOk;
    }

private:
    FakeCaptureEntry entry_;
};

}  // namespace

// ---- The test's side -------------------------------------------------------------------

FakeAudio::FakeAudio() {
    {
        std::lock_guard lock(recordMutex);
        callRecord.clear();
    }
    lockCount.store(0);
    installed.store(this);
    Thread::setStartFault(failThreadStarts);
}

FakeAudio::~FakeAudio() {
    Thread::setStartFault(nullptr);
    installed.store(nullptr);
}

std::vector<std::string> FakeAudio::calls() const {
    std::lock_guard lock(recordMutex);
    return callRecord;
}

bool FakeAudio::called(const std::string& line) const {
    std::lock_guard lock(recordMutex);
    return std::find(callRecord.begin(), callRecord.end(), line) != callRecord.end();
}

void FakeAudio::clearCalls() {
    std::lock_guard lock(recordMutex);
    callRecord.clear();
}

int FakeAudio::locks() const { return lockCount.load(); }

// ---- The services' side ----------------------------------------------------------------

namespace fakehooks {

bool active() { return installed.load() != nullptr; }

void record(const std::string& line) {
    std::lock_guard lock(recordMutex);
    callRecord.push_back(line);
}

unsigned waveOutDeviceCount() {
    record("waveOutDeviceCount");
    return static_cast<unsigned>(fake().waveOut.size());
}

AudioResult waveOutCapabilities(unsigned device, WaveDeviceCaps& caps) {
    record("waveOutCapabilities " + std::to_string(device));
    return waveCaps(fake().waveOut, device, caps);
}

unsigned waveInDeviceCount() {
    record("waveInDeviceCount");
    return static_cast<unsigned>(fake().waveIn.size());
}

AudioResult waveInCapabilities(unsigned device, WaveDeviceCaps& caps) {
    record("waveInCapabilities " + std::to_string(device));
    return waveCaps(fake().waveIn, device, caps);
}

AudioResult openWaveOut(WaveOutHandle*& handle, int device, const WaveFormat& format, WaveOutCallback callback,
                        void* instance) {
    record("openWaveOut " + std::to_string(device));
    if (fake().failures.openWaveOut) return scriptedFailure();
    if (device != waveOutDefault && (device < 0 || static_cast<std::size_t>(device) >= fake().waveOut.size())) {
        return resultNoDevice;
    }
    if (!nullDeviceSupports(format)) return resultBadFormat;
    return WaveOutHandle::open(
        [&](PullSource& source, std::unique_ptr<BackendStream>& stream) {
            return openNullStream(format, StreamKind::WaveOut, source, stream);
        },
        format, callback, instance, handle);
}

bool failPrepare(AudioResult& result) {
    if (!fake().failures.prepareHeader) return false;
    result = scriptedFailure();
    return true;
}

AudioResult enumerateOutputs(DeviceEnumerationCallback callback, void* context) {
    record("enumerateOutputs");
    return enumerateScripted(fake().outputs, fake().failures.outputEnumerationAfter, callback, context);
}

AudioResult enumerateCaptureDevices(DeviceEnumerationCallback callback, void* context) {
    record("enumerateCaptureDevices");
    return enumerateScripted(fake().captures, fake().failures.captureEnumerationAfter, callback, context);
}

AudioResult createSoundDevice(const Guid* guid, std::unique_ptr<SoundDevice>& device) {
    record("createSoundDevice " + (guid == nullptr ? std::string("null") : guidText(*guid)));
    const std::vector<FakeOutputEntry>& entries = fake().outputs;
    const FakeOutputEntry* found = nullptr;
    for (const FakeOutputEntry& entry : entries) {
        const bool match = guid == nullptr || *guid == defaultPlaybackGuid ? !entry.guid
                                                                            : entry.guid && *entry.guid == *guid;
        if (match) {
            found = &entry;
            break;
        }
    }
    // The default also opens when no alias entry is scripted.
    if (found == nullptr && (guid == nullptr || *guid == defaultPlaybackGuid) && !entries.empty()) {
        found = &entries.front();
    }
    if (found == nullptr) return resultNoDevice;
    if (found->failCreate) return scriptedFailure();
    device = std::make_unique<FakeSoundDevice>(*found);
    return resultOk;
}

AudioResult createCaptureDevice(const Guid* guid, std::unique_ptr<CaptureDevice>& device) {
    record("createCaptureDevice " + (guid == nullptr ? std::string("null") : guidText(*guid)));
    const std::vector<FakeCaptureEntry>& entries = fake().captures;
    const FakeCaptureEntry* found = nullptr;
    for (const FakeCaptureEntry& entry : entries) {
        if (guid == nullptr || entry.guid == *guid) {
            found = &entry;
            break;
        }
    }
    if (found == nullptr) return resultNoDevice;
    if (found->failCreate) return scriptedFailure();
    device = std::make_unique<FakeCaptureDevice>(*found);
    return resultOk;
}

}  // namespace fakehooks
}  // namespace platform::audio
