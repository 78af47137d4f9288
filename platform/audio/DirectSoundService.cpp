#include "platform/audio/DirectSoundService.h"

#include "platform/audio/AudioBackend.h"
#include "platform/audio/FakeAudioHooks.h"
#include "platform/audio/SoundBufferEmulation.h"

#include <algorithm>

namespace platform::audio {
namespace {

class EndpointSoundDevice final : public SoundDevice {
public:
    explicit EndpointSoundDevice(Endpoint& endpoint) : endpoint_(endpoint) {}

    AudioResult capabilities(OutputCaps& caps) override {
        const EndpointFormats& formats = endpoint_.formats();
        caps.flags = (formats.mono ? outputPrimaryMono : 0) | (formats.stereo ? outputPrimaryStereo : 0) |
                     (formats.eightBit ? outputPrimary8Bit : 0) | (formats.sixteenBit ? outputPrimary16Bit : 0);
        return resultOk;
    }

    AudioResult setCooperativeLevel(const void*, std::uint32_t) override { return resultOk; }

    AudioResult createBuffer(const BufferDescription& description, std::unique_ptr<SoundBuffer>& buffer) override {
        if (!endpoint_.supports(description.format)) return resultBadFormat;
        return SoundBufferEmulation::create(
            [&](PullSource& source, std::unique_ptr<BackendStream>& stream) {
                return endpoint_.openStream(description.format, StreamKind::DirectSound, source, stream);
            },
            description, buffer);
    }

private:
    Endpoint& endpoint_;
};

class EndpointCaptureDevice final : public CaptureDevice {
public:
    explicit EndpointCaptureDevice(Endpoint& endpoint) : endpoint_(endpoint) {}

    AudioResult capabilities(CaptureCaps& caps) override {
        caps.flags = 0;
        caps.formats = endpoint_.formats().cdFormat ? waveFormat4S16 : 0;
        caps.channels = static_cast<std::uint32_t>(std::max(endpoint_.formats().maxChannels, 0));
        return resultOk;
    }

private:
    Endpoint& endpoint_;
};

}  // namespace

AudioResult enumerateOutputs(DeviceEnumerationCallback callback, void* context) {
    if (callback == nullptr) return resultInvalidCall;
    if (fakehooks::active()) return fakehooks::enumerateOutputs(callback, context);
    if (!callback(nullptr, "Primary Sound Driver", context)) return resultOk;
    for (Endpoint* endpoint : outputEndpoints()) {
        const Guid guid = endpoint->guid();
        if (!callback(&guid, endpoint->name().c_str(), context)) break;
    }
    return resultOk;
}

AudioResult enumerateCaptureDevices(DeviceEnumerationCallback callback, void* context) {
    if (callback == nullptr) return resultInvalidCall;
    if (fakehooks::active()) return fakehooks::enumerateCaptureDevices(callback, context);
    for (Endpoint* endpoint : inputEndpoints()) {
        const Guid guid = endpoint->guid();
        if (!callback(&guid, endpoint->name().c_str(), context)) break;
    }
    return resultOk;
}

AudioResult createSoundDevice(const Guid* guid, std::unique_ptr<SoundDevice>& device) {
    if (fakehooks::active()) return fakehooks::createSoundDevice(guid, device);
    Endpoint* endpoint = guid == nullptr || *guid == defaultPlaybackGuid ? &defaultOutputEndpoint()
                                                                          : findOutputEndpoint(*guid);
    if (endpoint == nullptr) return resultNoDevice;
    device = std::make_unique<EndpointSoundDevice>(*endpoint);
    return resultOk;
}

AudioResult createCaptureDevice(const Guid* guid, std::unique_ptr<CaptureDevice>& device) {
    if (fakehooks::active()) return fakehooks::createCaptureDevice(guid, device);
    Endpoint* endpoint = nullptr;
    if (guid == nullptr) {
        if (!inputEndpoints().empty()) endpoint = inputEndpoints().front();
    } else {
        endpoint = findInputEndpoint(*guid);
    }
    if (endpoint == nullptr) return resultNoDevice;
    device = std::make_unique<EndpointCaptureDevice>(*endpoint);
    return resultOk;
}

}  // namespace platform::audio
