#include "audio/MotorCore.h"

#include "audio/AudioClient.h"
#include "audio/AudioSink.h"
#include "audio/FormatAudio.h"
#include "audio/SampleConversion.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "primitives.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

// The block size of a latency, or 0 when it gives none in 1..44,100.
std::int32_t framesFor(std::int32_t rate, float latencyMs) {
    const float product = static_cast<float>(rate) * latencyMs;
    const double frames = static_cast<double>(product) * 0.001;
    if (!(frames >= 1.0 && frames < MotorCore::maxFramesPerBlock + 1.0)) return 0;
    return static_cast<std::int32_t>(frames);
}

void freeChannels(float** channels, std::int32_t count) {
    if (channels == nullptr) return;
    for (std::int32_t i = 0; i < count; ++i) zoveZiva(channels[i]);
    delete[] channels;
}

}  // namespace

MotorCore::MotorCore(FormatAudio& format, float latencyMs, AudioClient* producer, const char* openFailure)
    : format_(format),
      producer_(producer),
      scale_(conversionScale(format.bitsPerSample)),
      frames_(framesFor(format.sampleRate, latencyMs)),
      blockBytes_(0),
      channels_(nullptr) {
    const std::int64_t bytes = std::int64_t{std::max(format.bitsPerSample, 0) / 8} * format.channels * frames_;
    if (frames_ == 0 || format.channels < 1 || bytes > std::numeric_limits<std::int32_t>::max()) {
        char text[160];
        std::snprintf(text, sizeof text, "A latency of %g ms at %d Hz gives no block of 1 to %d frames.",
                      static_cast<double>(latencyMs), format.sampleRate, maxFramesPerBlock);
        logMessage(frames_ == 0 ? text : "The output format cannot be played.", __FILE__, __LINE__);
        throw StringException(openFailure);
    }
    blockBytes_ = static_cast<std::int32_t>(bytes);
    channels_ = new float*[static_cast<std::size_t>(format.channels)]();
    for (std::int32_t i = 0; i < format.channels; ++i) {
        channels_[i] = revoRovara_32z(frames_);
        if (channels_[i] == nullptr) {
            freeChannels(channels_, i);
            logMessage("Out of memory for the output's channel buffers.", __FILE__, __LINE__);
            throw StringException(openFailure);
        }
        std::fill(channels_[i], channels_[i] + frames_, 0.0f);
    }
}

MotorCore::~MotorCore() { freeChannels(channels_, format_.channels); }

bool MotorCore::rendersBlocks() const {
    return format_.bitsPerSample == 16 || format_.bitsPerSample == 24 || format_.bitsPerSample == 32;
}

void MotorCore::addSink(AudioSink* sink) {
    if (sinkCount_ >= Motor::maxSinks) throw StringException("Too many sinks.");
    std::lock_guard lock(mutex_);
    sinks_[sinkCount_++] = sink;
}

void MotorCore::removeSink(AudioSink* sink) {
    auto* end = sinks_ + sinkCount_;
    auto* found = std::find(sinks_, end, sink);
    if (found == end) throw StringException("Cannot find sink.");
    std::lock_guard lock(mutex_);
    std::copy(found + 1, end, found);
    sinks_[--sinkCount_] = nullptr;
}

void MotorCore::listSinks(AudioSink** sinks, std::int32_t& count) {
    std::lock_guard lock(mutex_);
    std::copy(sinks_, sinks_ + sinkCount_, sinks);
    count = sinkCount_;
}

void MotorCore::setClient(AudioClient* producer) {
    std::lock_guard lock(mutex_);
    producer_ = producer;
}

void MotorCore::detachSinks(Motor* device) {
    AudioSink* sinks[Motor::maxSinks];
    std::int32_t count = 0;
    listSinks(sinks, count);
    for (std::int32_t i = 0; i < count; ++i) sinks[i]->detached(device);
}

void MotorCore::renderBlock(Motor* device, std::uint8_t* out) {
    if (!rendersBlocks()) return;
    {
        std::lock_guard lock(mutex_);
        if (producer_ != nullptr) {
            producer_->render(device, channels_, frames_);
        } else {
            // Without a producer the device plays silence, not the last block again.
            for (std::int32_t i = 0; i < format_.channels; ++i) std::fill(channels_[i], channels_[i] + frames_, 0.0f);
        }
        for (std::int32_t i = 0; i < sinkCount_; ++i) sinks_[i]->process(device, channels_, frames_);
    }
    interleaveSamples(channels_, format_.channels, frames_, format_.bitsPerSample, out);
}
