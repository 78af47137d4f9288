#include "audio/UnitDelay.h"

#include "audio/AlignedFloats.h"
#include "framework/Log.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr std::int32_t maximumBlock = 44100;
constexpr float noiseAmplitude = 0.000001f;

float ramp(float from, float to, float a) { return from * (1.0f - a) + to * a; }
}  // namespace

UnitDelay::UnitDelay(float maximumSeconds, const FormatAudio& format)
    : format_(format),
      maximumSeconds_(maximumSeconds),
      length_(static_cast<std::int32_t>(std::ceil(static_cast<double>(format.sampleRate) * maximumSeconds)) + 1),
      noise_(format, noiseAmplitude),
      noiseBlock_(allocateZeroedFloats(maximumBlock)) {
    for (std::int32_t c = 0; c < format.channels; ++c) lines_.push_back(allocateZeroedFloats(length_));
}

UnitDelay::~UnitDelay() {
    for (float* line : lines_) releaseAligned(line);
    releaseAligned(noiseBlock_);
}

void UnitDelay::process(float* const* channels, std::int32_t start, std::int32_t n, float delayFrom,
                        float delayTo, float feedbackFrom, float feedbackTo, float dryFrom,
                        float dryTo, float wetFrom, float wetTo, float inputFrom, float inputTo) {
    if (n > maximumBlock) fatalError("Block too big.", __FILE__, __LINE__);
    if (delayFrom > maximumSeconds_ || delayTo > maximumSeconds_) {
        if (!tooLong_) logMessage("Delay too long.", __FILE__, __LINE__);
        tooLong_ = true;
        delayFrom = std::min(delayFrom, maximumSeconds_);
        delayTo = std::min(delayTo, maximumSeconds_);
    } else {
        tooLong_ = false;
    }
    if (n <= 0) return;
    noise_.fill(noiseBlock_, n);
    const float rate = static_cast<float>(format_.sampleRate);
    const std::int32_t channelCount = format_.channels;
    std::int32_t index = index_;
    for (std::int32_t j = 0; j < n; ++j) {
        const float a = static_cast<float>(j) / static_cast<float>(n);
        const float d = std::clamp(ramp(delayFrom, delayTo, a) * rate, 0.0f,
                                   static_cast<float>(length_ - 1));
        const std::int32_t w = static_cast<std::int32_t>(std::ceil(d));
        const float f = static_cast<float>(w) - d;
        const float feedback = ramp(feedbackFrom, feedbackTo, a);
        const float dry = ramp(dryFrom, dryTo, a);
        const float wet = ramp(wetFrom, wetTo, a);
        const float input = ramp(inputFrom, inputTo, a);
        std::int32_t back = index - w;
        if (back < 0) back += length_;
        std::int32_t next = back + 1;
        if (next == length_) next = 0;
        for (std::int32_t c = 0; c < channelCount; ++c) {
            float* line = lines_[static_cast<std::size_t>(c)];
            float& x = channels[c][start + j];
            line[index] = input * x + noiseBlock_[j];
            const float tap = (1.0f - f) * line[back] + f * line[next];
            x = wet * tap + dry * x;
            line[index] += feedback * tap;
        }
        if (++index == length_) index = 0;
    }
    index_ = index;
}

void UnitDelay::reset() {
    for (float* line : lines_) std::memset(line, 0, sizeof(float) * static_cast<std::size_t>(length_));
}
