// PortAudio's devices as endpoints of the audio layer. Streams run in
// callback mode; the callback hands the buffer to the emulation's pull,
// which only copies and signals.
#include "platform/AlsaMessages.h"
#include "platform/PlatformLog.h"
#include "platform/audio/AudioBackend.h"

#include <jack/jack.h>
#include <portaudio.h>

#include <atomic>
#include <cstdlib>
#include <map>

namespace platform::audio {
namespace {

constexpr const char* sourceFile = "PortAudioBackend.cpp";

// JACK prints its complaints to stderr unless given a function; on a
// machine without sound hardware that would be dozens of lines at start-up.
void jackMessage(const char* text) { logVerboseNote(std::string("JACK: ") + text, sourceFile, __LINE__); }

std::string portAudioText(PaError error) {
    std::string text = std::string("PortAudio: ") + Pa_GetErrorText(error);
    if (error == paUnanticipatedHostError) {
        if (const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo(); host != nullptr && host->errorText != nullptr) {
            text += std::string(", ") + host->errorText;
        }
    }
    return text;
}

AudioResult failed(PaError error) {
    setBackendFailure(portAudioText(error));
    switch (error) {
    case paInvalidDevice:
    case paDeviceUnavailable: return resultNoDevice;
    case paInvalidChannelCount:
    case paInvalidSampleRate:
    case paSampleFormatNotSupported: return resultBadFormat;
    case paInsufficientMemory: return resultOutOfMemory;
    default: return resultBackendError;
    }
}

bool sampleFormatOf(unsigned bits, PaSampleFormat& format) {
    switch (bits) {
    case 8: format = paUInt8; return true;
    case 16: format = paInt16; return true;
    case 24: format = paInt24; return true;
    case 32: format = paInt32; return true;
    default: return false;
    }
}

bool parametersFor(PaDeviceIndex device, bool output, int channels, unsigned bits, PaStreamParameters& parameters) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr || !sampleFormatOf(bits, parameters.sampleFormat)) return false;
    parameters.device = device;
    parameters.channelCount = channels;
    parameters.suggestedLatency = output ? info->defaultLowOutputLatency : info->defaultLowInputLatency;
    parameters.hostApiSpecificStreamInfo = nullptr;
    return true;
}

bool takes(PaDeviceIndex device, bool output, int channels, unsigned bits, double rate) {
    PaStreamParameters parameters;
    if (!parametersFor(device, output, channels, bits, parameters)) return false;
    const PaError result = output ? Pa_IsFormatSupported(nullptr, &parameters, rate)
                                  : Pa_IsFormatSupported(&parameters, nullptr, rate);
    return result == paFormatIsSupported;
}

class PortAudioStream final : public BackendStream {
public:
    PortAudioStream(PaDeviceIndex device, const WaveFormat& format, PullSource& source)
        : device_(device), format_(format), source_(source) {}

    ~PortAudioStream() override {
        stop();
        if (stream_ != nullptr) Pa_CloseStream(stream_);
    }

    AudioResult start(int periodFrames) override {
        if (running_) return resultOk;
        if (stream_ == nullptr) {
            PaStreamParameters parameters;
            if (!parametersFor(device_, true, format_.channels, format_.bitsPerSample, parameters)) {
                return resultBadFormat;
            }
            const PaError opened =
                Pa_OpenStream(&stream_, nullptr, &parameters, format_.samplesPerSecond,
                              static_cast<unsigned long>(periodFrames), paClipOff | paDitherOff, callback, this);
            if (opened != paNoError) {
                stream_ = nullptr;
                return failed(opened);
            }
        }
        if (const PaError started = Pa_StartStream(stream_); started != paNoError) return failed(started);
        running_ = true;
        return resultOk;
    }

    void stop() override {
        if (!running_) return;
        // Plays what the library holds already, then no callback runs.
        Pa_StopStream(stream_);
        running_ = false;
    }

    void countUnderrun() override { underruns_.fetch_add(1, std::memory_order_relaxed); }

private:
    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* user) {
        auto* self = static_cast<PortAudioStream*>(user);
        self->source_.pull(static_cast<std::uint8_t*>(output), static_cast<int>(frames));
        return paContinue;
    }

    PaDeviceIndex device_;
    WaveFormat format_;
    PullSource& source_;
    PaStream* stream_ = nullptr;
    bool running_ = false;
    std::atomic<std::int64_t> underruns_{0};
};

class PortAudioEndpoint final : public Endpoint {
public:
    PortAudioEndpoint(PaDeviceIndex device, bool output, std::string name, const std::string& hostName)
        : device_(device), output_(output), name_(std::move(name)), guid_(guidFromName(hostName + "/" + name_)) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        formats_.maxChannels = info == nullptr ? 0 : (output ? info->maxOutputChannels : info->maxInputChannels);
        formats_.mono = takes(device, output, 1, 16, 44100.0);
        formats_.stereo = takes(device, output, 2, 16, 44100.0);
        formats_.cdFormat = formats_.stereo;
        formats_.sixteenBit = formats_.mono || formats_.stereo;
        formats_.eightBit = takes(device, output, formats_.maxChannels >= 2 ? 2 : 1, 8, 44100.0);
    }

    const std::string& name() const override { return name_; }
    const Guid& guid() const override { return guid_; }
    const EndpointFormats& formats() const override { return formats_; }

    bool supports(const WaveFormat& format) const override {
        return format.formatTag == waveFormatPcm && format.channels >= 1 &&
               takes(device_, output_, format.channels, format.bitsPerSample, format.samplesPerSecond);
    }

    AudioResult openStream(const WaveFormat& format, StreamKind, PullSource& source,
                           std::unique_ptr<BackendStream>& stream) override {
        if (!output_) return resultNoDevice;  // inputs are only listed
        if (!supports(format)) return resultBadFormat;
        stream = std::make_unique<PortAudioStream>(device_, format, source);
        return resultOk;
    }

private:
    PaDeviceIndex device_;
    bool output_;
    std::string name_;
    Guid guid_;
    EndpointFormats formats_;
};

// Appends " (2)", " (3)", ... to names met before in the same list.
std::string uniqueName(std::map<std::string, int>& seen, const std::string& name) {
    const int count = ++seen[name];
    return count == 1 ? name : name + " (" + std::to_string(count) + ")";
}

std::string hostNameOf(const PaDeviceInfo& info) {
    const PaHostApiInfo* host = Pa_GetHostApiInfo(info.hostApi);
    return host != nullptr && host->name != nullptr ? host->name : "";
}

}  // namespace

bool startPortAudio(std::vector<std::unique_ptr<Endpoint>>& outputs, std::vector<std::unique_ptr<Endpoint>>& inputs) {
    // The program never starts a sound server of its own accord.
    ::setenv("JACK_NO_START_SERVER", "1", 0);
    routeAlsaMessages();
    jack_set_error_function(jackMessage);
    jack_set_info_function(jackMessage);

    if (const PaError started = Pa_Initialize(); started != paNoError) {
        logVerboseNote("PortAudio does not start: " + portAudioText(started), sourceFile, __LINE__);
        return false;
    }

    const PaDeviceIndex count = Pa_GetDeviceCount();
    const PaDeviceIndex defaultOutput = Pa_GetDefaultOutputDevice();
    std::map<std::string, int> outputNames;
    std::map<std::string, int> inputNames;
    auto addOutput = [&](PaDeviceIndex device) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (info == nullptr || info->maxOutputChannels <= 0) return;
        outputs.push_back(std::make_unique<PortAudioEndpoint>(device, true, uniqueName(outputNames, info->name),
                                                              hostNameOf(*info)));
    };
    if (defaultOutput >= 0) addOutput(defaultOutput);
    constexpr std::size_t maxPortAudioOutputs = 15;  // the null device makes 16
    for (PaDeviceIndex device = 0; device < count && outputs.size() < maxPortAudioOutputs; ++device) {
        if (device == defaultOutput) continue;
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (info == nullptr || info->maxOutputChannels < 2 || !takes(device, true, 2, 16, 44100.0)) continue;
        addOutput(device);
    }
    for (PaDeviceIndex device = 0; device < count; ++device) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (info == nullptr || info->maxInputChannels < 2 || !takes(device, false, 2, 16, 44100.0)) continue;
        inputs.push_back(std::make_unique<PortAudioEndpoint>(device, false, uniqueName(inputNames, info->name),
                                                             hostNameOf(*info)));
    }
    return true;
}

void stopPortAudio() { Pa_Terminate(); }

}  // namespace platform::audio
