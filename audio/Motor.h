// An audio output device: a producer fills blocks of float channels, at
// most ten sinks see each block, and the device plays it converted to its
// 16-, 24- or 32-bit samples. DirectSoundOut and WaveOut implement it.
//
// Registration (addSink, removeSink, setClient) takes the device's lock, so
// it never overlaps a block; call it from the user-interface thread.
#ifndef VELKARN_AUDIO_MOTOR_H
#define VELKARN_AUDIO_MOTOR_H

#include <cstdint>

class AudioClient;
class AudioSink;
class FormatAudio;

class Motor {
public:
    static constexpr int maxSinks = 10;

    // Release: stops the device if it plays, calls detached(this) on every
    // sink in registration order, then frees everything.
    virtual ~Motor() = default;

    virtual FormatAudio* format() = 0;
    // Throws StringException "Too many sinks." when ten are registered; the
    // device is then unchanged.
    virtual void addSink(AudioSink* sink) = 0;
    // Throws StringException "Cannot find sink." when it is not registered;
    // the device is then unchanged. Later sinks keep their order.
    virtual void removeSink(AudioSink* sink) = 0;
    // Copies the registered sinks, in order, into sinks (room for ten).
    virtual void listSinks(AudioSink** sinks, std::int32_t& count) = 0;
    // True for WaveOut; with deviceId, tells whether two outputs would play
    // through one waveOut device.
    virtual bool isWaveOut() const { return false; }
    // The waveOut device number for WaveOut, 0 otherwise.
    virtual int deviceId() const { return 0; }
    virtual void start() {}
    // Returns once no block is being rendered and none will be until the
    // next start.
    virtual void stop() {}
    // Replaces the producer between two blocks: a block is never rendered
    // half by one producer and half by another.
    virtual void setClient(AudioClient*) {}
};

#endif
