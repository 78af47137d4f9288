#include "audio/UnitReverbSteiglitzMC.h"

#include "audio/AlignedFloats.h"
#include "framework/Log.h"

namespace {
constexpr std::int32_t maximumBlock = 44100;
}

UnitReverbSteiglitzMC::UnitReverbSteiglitzMC(const FormatAudio& format)
    : format_(format), wet_(allocateZeroedFloats(maximumBlock)) {
    for (std::int32_t c = 0; c < format.channels; ++c) {
        reverbs_.push_back(std::make_unique<UnitReverbSteiglitz>(format, scale_));
    }
}

UnitReverbSteiglitzMC::~UnitReverbSteiglitzMC() { releaseAligned(wet_); }

void UnitReverbSteiglitzMC::process(float* const* channels, std::int32_t start, std::int32_t n,
                                    float /*scaleFrom*/, float scaleTo, float levelFrom,
                                    float levelTo) {
    if (n > maximumBlock) fatalError("Block too big.", __FILE__, __LINE__);
    if (scaleTo != scale_) {
        if (scaleTo > UnitReverbSteiglitz::maximumScale && !clampLogged_) {
            clampLogged_ = true;
            logMessage("Reverb scale too big.", __FILE__, __LINE__);
        }
        scale_ = scaleTo;
        for (auto& reverb : reverbs_) reverb->setScale(scaleTo);
    }
    if (n <= 0) return;
    for (std::int32_t c = 0; c < format_.channels; ++c) {
        float* channel = channels[c] + start;
        reverbs_[static_cast<std::size_t>(c)]->process(channel, wet_, n);
        for (std::int32_t j = 0; j < n; ++j) {
            const float a = static_cast<float>(j) / static_cast<float>(n);
            channel[j] += (levelFrom * (1.0f - a) + levelTo * a) * wet_[j];
        }
    }
}

void UnitReverbSteiglitzMC::reset() {
    for (auto& reverb : reverbs_) reverb->reset();
}
