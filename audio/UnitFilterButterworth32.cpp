#include "audio/UnitFilterButterworth32.h"

#include "framework/Log.h"

#include <algorithm>
#include <cmath>
#include <numbers>

UnitFilterButterworth32::UnitFilterButterworth32(const FormatAudio& format, std::int32_t type,
                                                 std::int32_t stages)
    : format_(format), type_(type) {
    if (type != lowPass && type != highPass) {
        fatalError("Filter type not implemented.", __FILE__, __LINE__);
    }
    if (format.channels != 1 && format.channels != 2) {
        fatalError("The filter does only mono or stereo.", __FILE__, __LINE__);
    }
    b1_ = type == lowPass ? 2.0f : -2.0f;
    s_ = type == lowPass ? -1.0f : 1.0f;
    omegaPerHz_ = static_cast<float>(2.0 * std::numbers::pi / format.sampleRate);
    setOrder(stages);
}

void UnitFilterButterworth32::setOrder(std::int32_t stages) {
    if (stages < 1) fatalError("A filter must count at least one stage.", __FILE__, __LINE__);
    if (stages > maximumStages) {
        logMessage("Filter order too high: " + std::to_string(stages) + " stages.", __FILE__,
                   __LINE__);
        return;
    }
    if (stages == stageCount_) return;
    stageCount_ = stages;
    const double n = stages;
    for (std::int32_t k = 1; k <= stages; ++k) {
        Stage& stage = stages_[static_cast<std::size_t>(k - 1)];
        stage = Stage{};
        stage.poleSine = static_cast<float>(std::sin((2.0 * k - 1.0) * std::numbers::pi / (4.0 * n)));
    }
    currentCutoff_ = 0.0f;
}

void UnitFilterButterworth32::setCoefficients(Stage& stage, float omega) const {
    // In double precision: at low cutoffs alpha of the low-pass and the
    // poles' distance from 1 are small differences of numbers near 1.
    const double w = omega;
    const double u = std::sin(w) * stage.poleSine;
    const double beta = 0.5 * (1.0 - u) / (1.0 + u);
    const double gamma = (0.5 + beta) * std::cos(w);
    stage.beta = static_cast<float>(beta);
    stage.gamma = static_cast<float>(gamma);
    stage.alpha = static_cast<float>((0.5 + beta + s_ * gamma) * 0.25);
}

float UnitFilterButterworth32::runStages(std::int32_t channel, float x) {
    for (std::int32_t k = 0; k < stageCount_; ++k) {
        Stage& stage = stages_[static_cast<std::size_t>(k)];
        State& st = stage.state[channel];
        const float y =
            2.0f * (stage.alpha * (x + b1_ * st.x1 + st.x2) + stage.gamma * st.y1 - stage.beta * st.y2);
        st.x2 = st.x1;
        st.x1 = x;
        st.y2 = st.y1;
        st.y1 = y;
        x = y;
    }
    return x;
}

void UnitFilterButterworth32::process(float* const* channels, std::int32_t start, std::int32_t n,
                                      float cutoffFrom, float cutoffTo) {
    if (n <= 0) return;
    if (type_ == highPass && cutoffTo < glideBelowHz && cutoffTo < currentCutoff_) {
        // Pulled below the audible range (the filter being switched off):
        // glide down from where it is instead of jumping, which would
        // leave a thump of the state's energy.
        const float rate = static_cast<float>(format_.sampleRate);
        cutoffFrom = currentCutoff_;
        cutoffTo = std::max({cutoffTo, currentCutoff_ - static_cast<float>(n) * glideHzPerSecond / rate,
                             lowestHighPassHz});
    }
    if (type_ == highPass) {
        cutoffFrom = std::max(cutoffFrom, lowestHighPassHz);
        cutoffTo = std::max(cutoffTo, lowestHighPassHz);
    }
    const std::int32_t channelCount = format_.channels;
    if (cutoffFrom == currentCutoff_ && cutoffTo == currentCutoff_) {
        for (std::int32_t j = start; j < start + n; ++j) {
            for (std::int32_t c = 0; c < channelCount; ++c) channels[c][j] = runStages(c, channels[c][j]);
        }
        return;
    }
    const float omegaFrom = cutoffFrom * omegaPerHz_;
    const float omegaTo = cutoffTo * omegaPerHz_;
    const float step = n > 1 ? 1.0f / static_cast<float>(n - 1) : 0.0f;
    for (std::int32_t j = 0; j < n; ++j) {
        const float a = static_cast<float>(j) * step;
        const float omega = omegaFrom * (1.0f - a) + omegaTo * a;
        for (std::int32_t k = 0; k < stageCount_; ++k) setCoefficients(stages_[static_cast<std::size_t>(k)], omega);
        for (std::int32_t c = 0; c < channelCount; ++c) {
            channels[c][start + j] = runStages(c, channels[c][start + j]);
        }
    }
    currentCutoff_ = cutoffTo;
    if (n > 1 || cutoffFrom == cutoffTo) return;
    // One frame of a moving cutoff ran at its start value: store the end
    // value's coefficients for the blocks that follow.
    for (std::int32_t k = 0; k < stageCount_; ++k) setCoefficients(stages_[static_cast<std::size_t>(k)], omegaTo);
}

void UnitFilterButterworth32::reset() {
    for (Stage& stage : stages_) {
        stage.state[0] = State{};
        stage.state[1] = State{};
    }
    // An empty state leaves no energy to thump: the next cutoff applies at
    // once instead of gliding from one the filter had in another role.
    currentCutoff_ = 0.0f;
}
