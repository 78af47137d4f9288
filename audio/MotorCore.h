// What both output devices keep for the Motor contract, and the one block
// they both run: producer and sinks under the device's lock, then the
// conversion into the hardware buffer.
#ifndef VELKARN_AUDIO_MOTORCORE_H
#define VELKARN_AUDIO_MOTORCORE_H

#include "audio/Motor.h"

#include <cstdint>
#include <mutex>

class MotorCore {
public:
    static constexpr std::int32_t maxFramesPerBlock = 44100;

    // Frames per block = truncation of (rate x latencyMs x 0.001), which
    // must lie within 1..44,100: otherwise the latency is logged and
    // StringException(openFailure) thrown. So is it when memory runs out.
    // Nothing stays allocated after a throw. The format is the caller's and
    // must outlive the core.
    MotorCore(FormatAudio& format, float latencyMs, AudioClient* producer, const char* openFailure);
    ~MotorCore();
    MotorCore(const MotorCore&) = delete;
    MotorCore& operator=(const MotorCore&) = delete;

    FormatAudio& format() const { return format_; }
    std::int32_t framesPerBlock() const { return frames_; }
    std::int32_t blockBytes() const { return blockBytes_; }
    float scale() const { return scale_; }
    // False at widths other than 16, 24 and 32: then no block runs and the
    // hardware buffer is played as it is.
    bool rendersBlocks() const;

    void addSink(AudioSink* sink);
    void removeSink(AudioSink* sink);
    void listSinks(AudioSink** sinks, std::int32_t& count);
    void setClient(AudioClient* producer);
    // detached(device) on every sink, in registration order.
    void detachSinks(Motor* device);

    // One block into out (blockBytes() bytes): the producer, then every
    // sink, on the same channel buffers under the lock; then the
    // conversion, outside it.
    void renderBlock(Motor* device, std::uint8_t* out);

    // The device's lock (recursive), for work that must not interleave with
    // a block rendered on another thread.
    std::recursive_mutex& deviceLock() { return mutex_; }

private:
    FormatAudio& format_;
    AudioClient* producer_;
    std::recursive_mutex mutex_;  // the device's lock
    float scale_;
    std::int32_t frames_;
    std::int32_t blockBytes_;
    float** channels_;
    std::int32_t sinkCount_ = 0;
    AudioSink* sinks_[Motor::maxSinks] = {};
};

#endif
