#include "audio/UnitSample.h"

#include "framework/Log.h"
#include "framework/StringException.h"

UnitSample::UnitSample(const FormatAudio& format, const std::string& name, bool absolute, bool looping)
    : sample_(std::make_unique<Sample>(name, absolute)), looping_(looping) {
    if (!sample_->format().equals(format)) {
        sample_.reset();
        throw StringException("The sample is not in a compatible format.");
    }
}

void UnitSample::triggerAfter(std::int32_t n) {
    restartPending_ = true;
    framesToRestart_ = n;
}

void UnitSample::process(float* const* channels, std::int32_t n, float gainFrom, float gainTo) {
    if (restartPending_ && n >= framesToRestart_) {
        const std::int32_t d = framesToRestart_;
        const float a = n > 0 ? static_cast<float>(d) / static_cast<float>(n) : 0.0f;
        const float gainAt = gainFrom * (1.0f - a) + gainTo * a;
        play(channels, 0, d, gainFrom, gainAt);
        position_ = 0;
        playing_ = true;
        restartPending_ = false;
        play(channels, d, n - d, gainAt, gainTo);
        return;
    }
    if (restartPending_) framesToRestart_ -= n;
    play(channels, 0, n, gainFrom, gainTo);
}

void UnitSample::play(float* const* channels, std::int32_t start, std::int32_t n, float gainFrom, float gainTo) {
    if (n > maximumBlock) fatalError("Block too big.", __FILE__, __LINE__);
    if (!playing_ || n <= 0) return;
    const std::int32_t length = sample_->length();
    for (std::int32_t j = 0; j < n; ++j) {
        if (position_ >= length) {
            if (!looping_ || length == 0) {
                playing_ = false;
                return;
            }
            position_ = 0;
        }
        const float a = static_cast<float>(j) / static_cast<float>(n);
        const float gain = gainFrom * (1.0f - a) + gainTo * a;
        for (std::int32_t c = 0; c < sample_->channelCount(); ++c) {
            channels[c][start + j] += sample_->channel(c)[position_] * gain;
        }
        ++position_;
    }
    if (position_ >= length && !looping_) playing_ = false;
}
