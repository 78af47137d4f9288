// Inside the audio layer: the services as the installed FakeAudio answers
// them. Each is called only while active() is true.
#ifndef VELKARN_PLATFORM_AUDIO_FAKEAUDIOHOOKS_H
#define VELKARN_PLATFORM_AUDIO_FAKEAUDIOHOOKS_H

#include "platform/audio/DirectSoundService.h"
#include "platform/audio/WaveOutService.h"

#include <string>

namespace platform::audio::fakehooks {

bool active();
void record(const std::string& line);

unsigned waveOutDeviceCount();
AudioResult waveOutCapabilities(unsigned device, WaveDeviceCaps& caps);
unsigned waveInDeviceCount();
AudioResult waveInCapabilities(unsigned device, WaveDeviceCaps& caps);
AudioResult openWaveOut(WaveOutHandle*& handle, int device, const WaveFormat& format, WaveOutCallback callback,
                        void* instance);
// True (with the result to give) when the scripted prepare failure is on.
bool failPrepare(AudioResult& result);

AudioResult enumerateOutputs(DeviceEnumerationCallback callback, void* context);
AudioResult enumerateCaptureDevices(DeviceEnumerationCallback callback, void* context);
AudioResult createSoundDevice(const Guid* guid, std::unique_ptr<SoundDevice>& device);
AudioResult createCaptureDevice(const Guid* guid, std::unique_ptr<CaptureDevice>& device);

}  // namespace platform::audio::fakehooks

#endif
