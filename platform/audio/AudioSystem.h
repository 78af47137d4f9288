// Start and end of the audio layer. The device lists are made on first use
// of any audio service: PortAudio starts then (unless VELKARN_AUDIO=null),
// once, with ALSA's and JACK's messages routed to the verbose log and
// without ever starting a sound server.
#ifndef VELKARN_PLATFORM_AUDIO_AUDIOSYSTEM_H
#define VELKARN_PLATFORM_AUDIO_AUDIOSYSTEM_H

namespace platform::audio {

// Stops PortAudio and forgets the lists; the next use makes them again.
// Every stream must be closed before.
void shutdownAudio();

// True when the lists hold PortAudio's devices.
bool portAudioRunning();

}  // namespace platform::audio

#endif
