// The output through a looping sound buffer of two halves. Whenever the
// play cursor crosses into one half, the device's render thread (at
// time-critical priority) renders the next block into the other.
#ifndef VELKARN_AUDIO_DIRECTSOUNDOUT_H
#define VELKARN_AUDIO_DIRECTSOUNDOUT_H

#include "audio/Motor.h"
#include "audio/MotorCore.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/audio/DirectSoundService.h"

#include <memory>

class Window;

class DirectSoundOut final : public Motor {
public:
    // device: from AudioDeviceList::directSoundGuid (null: the default
    // output). window: the main window, or null; it only names the owner
    // of the device's cooperative level. Throws StringException "Cannot
    // open DirectSoundOut device." when the device cannot be opened or the
    // latency gives no block of 1 to 44,100 frames, and "Could not create
    // DirectSound buffer." when the buffer or its notifications cannot be
    // set up; nothing stays allocated then.
    DirectSoundOut(const platform::audio::Guid* device, FormatAudio& format, float latencyMs, AudioClient* producer,
                   Window* window);
    ~DirectSoundOut() override;

    FormatAudio* format() override { return &core_.format(); }
    void addSink(AudioSink* sink) override { core_.addSink(sink); }
    void removeSink(AudioSink* sink) override { core_.removeSink(sink); }
    void listSinks(AudioSink** sinks, std::int32_t& count) override { core_.listSinks(sinks, count); }
    bool isWaveOut() const override { return false; }
    int deviceId() const override { return 0; }
    // Renders both halves on the calling thread, plays, and starts the
    // render thread; nothing while playing. A thread that cannot start
    // stops the program ("Could not create thread.").
    void start() override;
    // Stops the buffer and ends the render thread; nothing when stopped.
    void stop() override;
    void setClient(AudioClient* producer) override { core_.setClient(producer); }

    std::int32_t framesPerHalf() const { return core_.framesPerBlock(); }
    std::int32_t halfBytes() const { return core_.blockBytes(); }

private:
    void fillHalf(int half);
    void renderLoop();

    MotorCore core_;
    std::unique_ptr<platform::audio::SoundDevice> device_;
    // Set by the buffer's notifications at offset 0 (the second half has
    // played) and at the half (the first has).
    platform::Event startEvent_;
    platform::Event middleEvent_;
    platform::Event quitEvent_;
    std::unique_ptr<platform::audio::SoundBuffer> buffer_;  // after the events: it signals them
    platform::Thread thread_;
    bool playing_ = false;
};

#endif
