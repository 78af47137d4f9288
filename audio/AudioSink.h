// A tap that sees every finished block of an output device: the recorder,
// the scope and the previewer.
#ifndef VELKARN_AUDIO_AUDIOSINK_H
#define VELKARN_AUDIO_AUDIOSINK_H

#include <cstdint>

class Motor;

class AudioSink {
public:
    virtual ~AudioSink() = default;

    // The block the producer has just written, with the same buffers and
    // frame count; read them, never keep the pointers. Called right after
    // the producer, in registration order, on the device's audio thread with
    // the device's lock held.
    virtual void process(Motor* device, const float* const* channels, std::int32_t frames) = 0;

    // The device is being destroyed: forget it. Called by the device's
    // release, after it has stopped, on the releasing thread.
    virtual void detached(Motor* device) = 0;

    // The sink is handed a device (after the one it knew was replaced).
    virtual void attach(Motor* device) = 0;
};

#endif
