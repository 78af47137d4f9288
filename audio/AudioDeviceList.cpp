#include "audio/AudioDeviceList.h"

#include "audio/AudioResultNames.h"
#include "framework/Reporters.h"
#include "platform/audio/DirectSoundService.h"
#include "platform/audio/WaveOutService.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

using namespace platform::audio;

namespace {

// At most 127 bytes, never ending inside a UTF-8 character.
std::size_t cutLength(const std::string& name) {
    std::size_t length = std::min<std::size_t>(name.size(), AudioDeviceList::nameSize - 1);
    if (length < name.size()) {
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
    }
    return length;
}

}  // namespace

AudioDeviceList::AudioDeviceList(const FormatAudio& format) : format_(format) {
    installAudioResultNames();
    listWaveDevices(waveIn_, false);
    listWaveDevices(waveOut_, true);
    listCaptureDevices();
    listOutputs();
}

void AudioDeviceList::add(List& list, const std::string& name, std::uint32_t number, const Guid& guid) {
    auto& slot = list.names[static_cast<std::size_t>(list.count)];
    const std::size_t length = cutLength(name);
    std::memcpy(slot.data(), name.data(), length);
    slot[length] = '\0';
    list.numbers[static_cast<std::size_t>(list.count)] = number;
    list.guids[static_cast<std::size_t>(list.count)] = guid;
    ++list.count;
}

void AudioDeviceList::listWaveDevices(List& list, bool output) {
    const unsigned devices = std::min<unsigned>(output ? waveOutDeviceCount() : waveInDeviceCount(), maxDevices);
    for (unsigned device = 0; device < devices; ++device) {
        WaveDeviceCaps caps;
        const AudioResult result = output ? waveOutCapabilities(device, caps) : waveInCapabilities(device, caps);
        if (result == resultOk && format_.supportsWaveDevice(caps)) add(list, caps.name, device, Guid{});
    }
}

bool AudioDeviceList::onCapture(const Guid* guid, const char* description, void* context) {
    auto& self = *static_cast<AudioDeviceList*>(context);
    std::unique_ptr<CaptureDevice> device;
    if (createCaptureDevice(guid, device) != resultOk) return true;
    CaptureCaps caps;
    const bool known = reportDirectXError(device->capabilities(caps), __FILE__, __LINE__);
    device.reset();
    if (known && self.format_.supportsCaptureDevice(caps) && self.capture_.count < maxDevices) {
        add(self.capture_, description, 0, guid != nullptr ? *guid : Guid{});
    }
    return true;
}

bool AudioDeviceList::onOutput(const Guid* guid, const char* description, void* context) {
    auto& self = *static_cast<AudioDeviceList*>(context);
    // The first entry stands for whatever output is the default: an alias
    // of a device listed after it.
    if (self.outputEntriesSeen_++ == 0) return true;
    std::unique_ptr<SoundDevice> device;
    if (createSoundDevice(guid, device) != resultOk) return true;
    OutputCaps caps;
    const bool known = reportDirectXError(device->capabilities(caps), __FILE__, __LINE__);
    device.reset();
    if (known && (caps.flags & outputEmulated) == 0 && self.format_.supportsOutputDevice(caps) &&
        self.directSound_.count < maxDevices) {
        add(self.directSound_, description, 0, guid != nullptr ? *guid : defaultPlaybackGuid);
    }
    return true;
}

void AudioDeviceList::listCaptureDevices() {
    reportDirectXError(enumerateCaptureDevices(onCapture, this), __FILE__, __LINE__);
}

void AudioDeviceList::listOutputs() {
    outputEntriesSeen_ = 0;
    reportDirectXError(enumerateOutputs(onOutput, this), __FILE__, __LINE__);
}

const AudioDeviceList::List& AudioDeviceList::list(Kind kind) const {
    switch (kind) {
    case Kind::WaveIn: return waveIn_;
    case Kind::WaveOut: return waveOut_;
    case Kind::Capture: return capture_;
    case Kind::DirectSound: break;
    }
    return directSound_;
}

const char* AudioDeviceList::name(Kind kind, int index) const {
    const List& entries = list(kind);
    if (index < 0 || index >= entries.count) return "";
    return entries.names[static_cast<std::size_t>(index)].data();
}

int AudioDeviceList::indexIn(const List& list, const char* name) {
    for (int i = 0; i < list.count; ++i) {
        if (std::strncmp(list.names[static_cast<std::size_t>(i)].data(), name, nameSize) == 0) return i;
    }
    return 0;
}

int AudioDeviceList::indexOfWaveInDevice(const char* name) const { return indexIn(waveIn_, name); }
int AudioDeviceList::indexOfWaveOutDevice(const char* name) const { return indexIn(waveOut_, name); }
int AudioDeviceList::indexOfCaptureDevice(const char* name) const { return indexIn(capture_, name); }
int AudioDeviceList::indexOfDirectSoundDevice(const char* name) const { return indexIn(directSound_, name); }

int AudioDeviceList::waveOutDeviceId(const char* name) const {
    for (int i = 0; i < waveOut_.count; ++i) {
        if (std::strncmp(waveOut_.names[static_cast<std::size_t>(i)].data(), name, nameSize) == 0) {
            return static_cast<int>(waveOut_.numbers[static_cast<std::size_t>(i)]);
        }
    }
    return -1;
}

const Guid* AudioDeviceList::directSoundGuid(const char* name) const {
    for (int i = 0; i < directSound_.count; ++i) {
        if (std::strncmp(directSound_.names[static_cast<std::size_t>(i)].data(), name, nameSize) == 0) {
            return &directSound_.guids[static_cast<std::size_t>(i)];
        }
    }
    return &defaultPlaybackGuid;
}

void AudioDeviceList::validateChoice(bool output, std::int32_t& useDirectSound, char* name, float& latencyMs) const {
    const List& chosen = output ? (useDirectSound != 0 ? directSound_ : waveOut_)
                                : (useDirectSound != 0 ? capture_ : waveIn_);
    // An absent name gives index 0, so comparing with that entry accepts a
    // name exactly when some entry (or an empty list's empty first slot)
    // carries it.
    const int index = indexIn(chosen, name);
    if (std::strncmp(chosen.names[static_cast<std::size_t>(index)].data(), name, nameSize) == 0) return;
    useDirectSound = 0;
    const List& fallback = output ? waveOut_ : waveIn_;
    std::memcpy(name, fallback.names[0].data(), nameSize);
    latencyMs = 50.0f;
}
