#include "audio/UnitReverbSteiglitz.h"

#include "audio/AlignedFloats.h"
#include "framework/Log.h"

#include <algorithm>

namespace {
constexpr std::int32_t maximumBlock = 44100;
}

const UnitReverbSteiglitz::CombSetting UnitReverbSteiglitz::combSettings[combCount] = {
    {50.0f, 0.83f, 0.24f}, {56.0f, 0.83f, 0.26f}, {61.0f, 0.83f, 0.28f},
    {68.0f, 0.83f, 0.29f}, {72.0f, 0.83f, 0.30f}, {78.0f, 0.83f, 0.32f},
};

UnitReverbSteiglitz::UnitReverbSteiglitz(const FormatAudio& format, float scale)
    : sum_(allocateZeroedFloats(maximumBlock)), scratch_(allocateZeroedFloats(maximumBlock)) {
    scale = std::clamp(scale, 0.0f, maximumScale);
    for (std::int32_t i = 0; i < combCount; ++i) {
        const CombSetting& s = combSettings[i];
        combs_[i] = std::make_unique<UnitCombLP>(format, s.delayMs * scale, s.feedback, s.damping,
                                                 s.delayMs * maximumScale);
    }
    allPass_ = std::make_unique<UnitAllPass>(format, allPassDelayMs * scale, allPassGain,
                                             allPassDelayMs * maximumScale);
}

UnitReverbSteiglitz::~UnitReverbSteiglitz() {
    releaseAligned(sum_);
    releaseAligned(scratch_);
}

void UnitReverbSteiglitz::process(const float* in, float* out, std::int32_t n) {
    if (n > maximumBlock) fatalError("Block too big.", __FILE__, __LINE__);
    if (n <= 0) return;
    // Every comb reads the whole input before out is written, so the two may
    // be one buffer.
    combs_[0]->process(in, sum_, n);
    for (std::int32_t i = 1; i < combCount; ++i) {
        combs_[i]->process(in, scratch_, n);
        for (std::int32_t j = 0; j < n; ++j) sum_[j] += scratch_[j];
    }
    const float sixth = 1.0f / 6.0f;
    for (std::int32_t j = 0; j < n; ++j) sum_[j] *= sixth;
    allPass_->process(sum_, out, n);
}

void UnitReverbSteiglitz::reset() {
    for (auto& comb : combs_) comb->reset();
    allPass_->reset();
}

void UnitReverbSteiglitz::setScale(float scale) {
    scale = std::clamp(scale, 0.0f, maximumScale);
    for (std::int32_t i = 0; i < combCount; ++i) combs_[i]->setDelay(combSettings[i].delayMs * scale);
    allPass_->setDelay(allPassDelayMs * scale);
}
