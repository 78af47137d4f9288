// Wave devices by number: the outputs and inputs with their capabilities,
// and a wave output that plays the headers written to it in order.
//
// Numbers follow the device lists (outputs: PortAudio's default output, its
// other CD-format outputs, then "Null Output"; inputs: PortAudio's
// CD-format inputs); waveOutDefault opens the default output.
//
// A wave output:
// - starts its stream at the first write after open or reset;
// - plays the written headers back to back; a pull that finds nothing
//   queued plays silence and counts an underrun;
// - hands each played header back through the done callback, one at a
//   time, on the device's own completion thread (never inside the sound
//   library's callback, never on the writer's stack);
// - refuses to write a header that is queued already.
#ifndef VELKARN_PLATFORM_AUDIO_WAVEOUTSERVICE_H
#define VELKARN_PLATFORM_AUDIO_WAVEOUTSERVICE_H

#include "platform/audio/AudioRecords.h"

#include <string>

namespace platform::audio {

inline constexpr int waveOutDefault = -1;

// Callback messages: the device has opened, has closed, returns a header.
inline constexpr unsigned waveOutOpened = 0x3BB;
inline constexpr unsigned waveOutClosed = 0x3BC;
inline constexpr unsigned waveOutDone = 0x3BD;

class WaveOutHandle;
// Runs on the completion thread; header is null for opened and closed.
using WaveOutCallback = void (*)(WaveOutHandle* handle, unsigned message, void* instance, WaveHeader* header);

unsigned waveOutDeviceCount();
AudioResult waveOutCapabilities(unsigned device, WaveDeviceCaps& caps);
unsigned waveInDeviceCount();
AudioResult waveInCapabilities(unsigned device, WaveDeviceCaps& caps);

AudioResult openWaveOut(WaveOutHandle*& handle, int device, const WaveFormat& format, WaveOutCallback callback,
                        void* instance);
AudioResult prepareWaveHeader(WaveOutHandle* handle, WaveHeader* header);
AudioResult writeWaveHeader(WaveOutHandle* handle, WaveHeader* header);
// Aborts the stream and returns every queued header as done; returns once
// every done callback has returned. Headers written meanwhile are returned
// too. Not from the completion thread.
AudioResult resetWaveOut(WaveOutHandle* handle);
AudioResult unprepareWaveHeader(WaveOutHandle* handle, WaveHeader* header);
// Resets, then ends the completion thread and frees the handle. Not from
// the completion thread.
AudioResult closeWaveOut(WaveOutHandle* handle);

// The text of a result, as an error box or the log shows it.
std::string waveOutErrorText(AudioResult result);

}  // namespace platform::audio

#endif
