// Makes the DirectX reporter name the audio layer's result codes.
#ifndef VELKARN_AUDIO_AUDIORESULTNAMES_H
#define VELKARN_AUDIO_AUDIORESULTNAMES_H

// Idempotent; the device list and both devices call it.
void installAudioResultNames();

#endif
