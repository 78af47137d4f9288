#include "audio/UnitAllPass.h"

#include "audio/AlignedFloats.h"

#include <algorithm>
#include <cstring>

std::int32_t delayFrames(std::int32_t sampleRate, float delayMs) {
    const double frames = static_cast<double>(sampleRate) * delayMs * 0.001 + 0.5;
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(frames));
}

UnitAllPass::UnitAllPass(const FormatAudio& format, float delayMs, float gain, float maximumDelayMs)
    : format_(format),
      gain_(gain),
      capacity_(delayFrames(format.sampleRate, std::max(delayMs, maximumDelayMs))),
      length_(delayFrames(format.sampleRate, delayMs)),
      line_(allocateZeroedFloats(capacity_)) {}

UnitAllPass::~UnitAllPass() { releaseAligned(line_); }

void UnitAllPass::process(const float* in, float* out, std::int32_t n) {
    const float g = gain_;
    std::int32_t index = index_;
    for (std::int32_t j = 0; j < n; ++j) {
        const float x = in[j];
        const float y = line_[index] - g * x;
        out[j] = y;
        line_[index] = x + g * y;
        if (++index == length_) index = 0;
    }
    index_ = index;
}

void UnitAllPass::reset() {
    std::memset(line_, 0, sizeof(float) * static_cast<std::size_t>(capacity_));
    index_ = 0;
}

void UnitAllPass::setDelay(float delayMs) {
    length_ = std::min(capacity_, delayFrames(format_.sampleRate, delayMs));
    reset();
}
