// The output through a wave device: two headers with a block each; as soon
// as the device hands one back, its completion thread renders the next
// block into it and writes it again, so two blocks are always queued.
#ifndef VELKARN_AUDIO_WAVEOUT_H
#define VELKARN_AUDIO_WAVEOUT_H

#include "audio/Motor.h"
#include "audio/MotorCore.h"
#include "platform/audio/WaveOutService.h"

#include <atomic>

class WaveOut final : public Motor {
public:
    // deviceNumber: from AudioDeviceList::waveOutDeviceId (-1: the default
    // output). Throws StringException "Cannot open WaveOut device." when
    // the device cannot be opened, its headers cannot be prepared, or the
    // latency gives no block of 1 to 44,100 frames; the device's error
    // text is logged, and nothing stays allocated.
    WaveOut(std::int32_t deviceNumber, FormatAudio& format, float latencyMs, AudioClient* producer);
    ~WaveOut() override;

    FormatAudio* format() override { return &core_.format(); }
    void addSink(AudioSink* sink) override { core_.addSink(sink); }
    void removeSink(AudioSink* sink) override { core_.removeSink(sink); }
    void listSinks(AudioSink** sinks, std::int32_t& count) override { core_.listSinks(sinks, count); }
    bool isWaveOut() const override { return true; }
    int deviceId() const override { return number_; }
    // Renders and writes both headers on the calling thread; nothing while
    // playing.
    void start() override;
    // Resets the device: returns when no block is being rendered and no
    // header is queued.
    void stop() override;
    void setClient(AudioClient* producer) override { core_.setClient(producer); }

    std::int32_t framesPerBlock() const { return core_.framesPerBlock(); }
    std::int32_t blockBytes() const { return core_.blockBytes(); }

private:
    static void deviceCallback(platform::audio::WaveOutHandle* handle, unsigned message, void* instance,
                               platform::audio::WaveHeader* header);
    void fillHeader(platform::audio::WaveHeader& header);
    void freeData();

    MotorCore core_;
    std::int32_t number_;
    platform::audio::WaveOutHandle* handle_ = nullptr;
    platform::audio::WaveHeader headers_[2];
    std::uint8_t* data_[2] = {nullptr, nullptr};
    bool open_ = false;
    bool playing_ = false;
    // Set while stopping or releasing, so that returned headers are not
    // written again.
    std::atomic<bool> stopping_{false};
};

#endif
