// The producer an output device calls for every block.
#ifndef VELKARN_AUDIO_AUDIOCLIENT_H
#define VELKARN_AUDIO_AUDIOCLIENT_H

#include <cstdint>

class Motor;

class AudioClient {
public:
    virtual ~AudioClient() = default;

    // Fills `frames` samples of every channel buffer (32-bit floats within
    // -1.0..+1.0, one buffer per channel of the device's format), in place.
    // Called on the device's audio thread with the device's lock held, one
    // call at a time per device; Motor::start renders the first blocks on
    // its caller's thread. The buffers belong to the device and hold the
    // previous block on entry.
    virtual void render(Motor* device, float** channels, std::int32_t frames) = 0;
};

#endif
