#include "audio/UnitCombLP.h"

#include "audio/AlignedFloats.h"
#include "audio/UnitAllPass.h"

#include <algorithm>
#include <cstring>

UnitCombLP::UnitCombLP(const FormatAudio& format, float delayMs, float feedback, float damping,
                       float maximumDelayMs)
    : format_(format),
      damping_(damping),
      loopGain_((1.0f - damping) * feedback),
      capacity_(delayFrames(format.sampleRate, std::max(delayMs, maximumDelayMs))),
      length_(delayFrames(format.sampleRate, delayMs)),
      line_(allocateZeroedFloats(capacity_)) {}

UnitCombLP::~UnitCombLP() { releaseAligned(line_); }

void UnitCombLP::process(const float* in, float* out, std::int32_t n) {
    const float c = damping_;
    const float k = loopGain_;
    std::int32_t index = index_;
    float previous = previous_;
    for (std::int32_t j = 0; j < n; ++j) {
        const float x = in[j];
        const float y = line_[index];
        out[j] = y;
        line_[index] = x + k * (y + c * previous);
        previous = y;
        if (++index == length_) index = 0;
    }
    index_ = index;
    previous_ = previous;
}

void UnitCombLP::reset() {
    std::memset(line_, 0, sizeof(float) * static_cast<std::size_t>(capacity_));
    index_ = 0;
    previous_ = 0.0f;
}

void UnitCombLP::setDelay(float delayMs) {
    length_ = std::min(capacity_, delayFrames(format_.sampleRate, delayMs));
    reset();
}
