#include "platform/audio/WaveOutService.h"

#include "platform/audio/AudioBackend.h"
#include "platform/audio/FakeAudioHooks.h"
#include "platform/audio/WaveOutHandle.h"

#include <algorithm>

namespace platform::audio {
namespace {

AudioResult endpointCaps(const std::vector<Endpoint*>& endpoints, unsigned device, WaveDeviceCaps& caps) {
    if (device >= endpoints.size()) return resultNoDevice;
    const Endpoint& endpoint = *endpoints[device];
    caps.name = endpoint.name();
    caps.formats = endpoint.formats().cdFormat ? waveFormat4S16 : 0;
    caps.channels = static_cast<std::uint16_t>(std::min(endpoint.formats().maxChannels, 0xFFFF));
    return resultOk;
}

}  // namespace

unsigned waveOutDeviceCount() {
    if (fakehooks::active()) return fakehooks::waveOutDeviceCount();
    return static_cast<unsigned>(outputEndpoints().size());
}

AudioResult waveOutCapabilities(unsigned device, WaveDeviceCaps& caps) {
    if (fakehooks::active()) return fakehooks::waveOutCapabilities(device, caps);
    return endpointCaps(outputEndpoints(), device, caps);
}

unsigned waveInDeviceCount() {
    if (fakehooks::active()) return fakehooks::waveInDeviceCount();
    return static_cast<unsigned>(inputEndpoints().size());
}

AudioResult waveInCapabilities(unsigned device, WaveDeviceCaps& caps) {
    if (fakehooks::active()) return fakehooks::waveInCapabilities(device, caps);
    return endpointCaps(inputEndpoints(), device, caps);
}

AudioResult openWaveOut(WaveOutHandle*& handle, int device, const WaveFormat& format, WaveOutCallback callback,
                        void* instance) {
    handle = nullptr;
    if (callback == nullptr) return resultInvalidCall;
    if (fakehooks::active()) return fakehooks::openWaveOut(handle, device, format, callback, instance);
    Endpoint* endpoint = nullptr;
    if (device == waveOutDefault) {
        endpoint = &defaultOutputEndpoint();
    } else if (device >= 0 && static_cast<std::size_t>(device) < outputEndpoints().size()) {
        endpoint = outputEndpoints()[static_cast<std::size_t>(device)];
    }
    if (endpoint == nullptr) return resultNoDevice;
    if (!endpoint->supports(format)) return resultBadFormat;
    return WaveOutHandle::open(
        [&](PullSource& source, std::unique_ptr<BackendStream>& stream) {
            return endpoint->openStream(format, StreamKind::WaveOut, source, stream);
        },
        format, callback, instance, handle);
}

AudioResult prepareWaveHeader(WaveOutHandle* handle, WaveHeader* header) {
    if (fakehooks::active()) {
        fakehooks::record("prepareWaveHeader");
        if (AudioResult result; fakehooks::failPrepare(result)) return result;
    }
    return handle == nullptr ? resultInvalidCall : handle->prepare(header);
}

AudioResult writeWaveHeader(WaveOutHandle* handle, WaveHeader* header) {
    if (fakehooks::active()) fakehooks::record("writeWaveHeader");
    return handle == nullptr ? resultInvalidCall : handle->write(header);
}

AudioResult resetWaveOut(WaveOutHandle* handle) {
    if (fakehooks::active()) fakehooks::record("resetWaveOut");
    return handle == nullptr ? resultInvalidCall : handle->reset();
}

AudioResult unprepareWaveHeader(WaveOutHandle* handle, WaveHeader* header) {
    if (fakehooks::active()) fakehooks::record("unprepareWaveHeader");
    return handle == nullptr ? resultInvalidCall : handle->unprepare(header);
}

AudioResult closeWaveOut(WaveOutHandle* handle) {
    if (fakehooks::active()) fakehooks::record("closeWaveOut");
    return handle == nullptr ? resultInvalidCall : handle->close();
}

std::string waveOutErrorText(AudioResult result) {
    switch (result) {
    case resultOk: return "The command completed successfully.";
    case resultNoDevice: return "There is no such audio device.";
    case resultDeviceBusy: return "The audio device is already in use.";
    case resultBadFormat: return "The audio device does not take this format.";
    case resultInvalidCall: return "The call does not fit the device's state.";
    case resultOutOfMemory: return "There is not enough memory for the audio device.";
    case resultBackendError: {
        const char* name = resultName(resultBackendError);
        std::string text = "The sound system failed.";
        const std::string plain = "BackendError";
        if (name != nullptr && plain.size() < std::string(name).size()) {
            text += std::string(name).substr(plain.size());
        }
        return text;
    }
    }
    return "Unknown audio error.";
}

}  // namespace platform::audio
