#include "audio/UnitFlanger.h"

#include "audio/AlignedFloats.h"
#include "framework/Log.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr std::int32_t maximumBlock = 44100;
constexpr float noiseAmplitude = 0.000001f;
}  // namespace

UnitFlanger::UnitFlanger(const FormatAudio& format)
    : format_(format),
      length_(static_cast<std::int32_t>(std::ceil(static_cast<double>(format.sampleRate) *
                                                  static_cast<double>(maximumSeconds))) + 1),
      triangle_(format),
      noise_(format, noiseAmplitude),
      sweep_(allocateZeroedFloats(maximumBlock)),
      noiseBlock_(allocateZeroedFloats(maximumBlock)) {
    for (std::int32_t c = 0; c < format.channels; ++c) lines_.push_back(allocateZeroedFloats(length_));
}

UnitFlanger::~UnitFlanger() {
    for (float* line : lines_) releaseAligned(line);
    releaseAligned(sweep_);
    releaseAligned(noiseBlock_);
}

void UnitFlanger::process(float* const* channels, std::int32_t start, std::int32_t n,
                          float frequencyFrom, float frequencyTo, float depthFrom, float depthTo,
                          float levelFrom, float levelTo) {
    if (n > maximumBlock) fatalError("Block too big.", __FILE__, __LINE__);
    if (n <= 0) return;
    const float outputGain = 1.0f - 0.3f * std::max(levelFrom, levelTo);
    noise_.fill(noiseBlock_, n);
    triangle_.process(sweep_, n, frequencyFrom, frequencyTo, depthFrom, depthTo);
    const float rate = static_cast<float>(format_.sampleRate);
    // The tap and its right neighbour both stay behind the frame written.
    const float deepest = static_cast<float>(length_ - 2);
    std::int32_t index = index_;
    for (std::int32_t j = 0; j < n; ++j) {
        const float a = static_cast<float>(j) / static_cast<float>(n);
        const float level = levelFrom * (1.0f - a) + levelTo * a;
        const float d = std::clamp((sweep_[j] * 0.0025f + 0.004f) * rate, 0.0f, deepest);
        const std::int32_t w = static_cast<std::int32_t>(std::ceil(d));
        const float f = static_cast<float>(w) - d;
        std::int32_t back = index - w;
        if (back < 0) back += length_;
        std::int32_t next = back + 1;
        if (next == length_) next = 0;
        for (std::int32_t c = 0; c < format_.channels; ++c) {
            float* line = lines_[static_cast<std::size_t>(c)];
            float& x = channels[c][start + j];
            line[index] = level * x + noiseBlock_[j];
            const float h = (1.0f - f) * line[back] + f * line[next];
            x = (h + x) * outputGain;
            line[index] += 0.85f * h;
        }
        if (++index == length_) index = 0;
    }
    index_ = index;
}

void UnitFlanger::reset() {
    for (float* line : lines_) std::memset(line, 0, sizeof(float) * static_cast<std::size_t>(length_));
}
