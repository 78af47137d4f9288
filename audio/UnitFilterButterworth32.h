// Butterworth low-pass or high-pass of 2N poles as N second-order stages
// in series, in single precision.
#ifndef VELKARN_AUDIO_UNITFILTERBUTTERWORTH32_H
#define VELKARN_AUDIO_UNITFILTERBUTTERWORTH32_H

#include "audio/FormatAudio.h"
#include "audio/UnitFilter.h"

#include <array>
#include <cstdint>

class UnitFilterButterworth32 : public UnitFilter {
public:
    static constexpr std::int32_t lowPass = 0;
    static constexpr std::int32_t highPass = 1;
    // Stages are made for the largest order the settings offer, so that a
    // change of order never allocates.
    static constexpr std::int32_t maximumStages = 8;
    // A high-pass pulled below this glides down at most glideHzPerSecond.
    static constexpr float glideBelowHz = 20.0f;
    static constexpr float glideHzPerSecond = 100.0f;
    static constexpr float lowestHighPassHz = 1.0f;

    // type 0 or 1 (else a fatal stop); stages >= 1 (else a fatal stop);
    // the format's channels 1 or 2 (else a fatal stop).
    UnitFilterButterworth32(const FormatAudio& format, std::int32_t type, std::int32_t stages);

    // 0 or less is a fatal stop; above maximumStages is refused with a log
    // line. A new count clears the state and the current cutoff.
    void setOrder(std::int32_t stages) override;
    // With both cutoffs equal to the current one, the stored coefficients
    // serve the whole block; otherwise they are recomputed per frame, omega
    // moving linearly from the first frame to the last.
    void process(float* const* channels, std::int32_t start, std::int32_t n, float cutoffFrom,
                 float cutoffTo) override;
    // Clears the state and the current cutoff.
    void reset() override;

    std::int32_t stages() const { return stageCount_; }
    float currentCutoff() const { return currentCutoff_; }

private:
    struct State {
        float x1 = 0.0f, x2 = 0.0f, y1 = 0.0f, y2 = 0.0f;
    };
    struct Stage {
        float poleSine = 0.0f;  // sin((2k - 1) pi / 4N)
        float alpha = 0.0f, beta = 0.0f, gamma = 0.0f;
        State state[2];
    };

    void setCoefficients(Stage& stage, float omega) const;
    float runStages(std::int32_t channel, float x);

    FormatAudio format_;
    std::int32_t type_;
    float b1_;
    float s_;
    float omegaPerHz_;
    float currentCutoff_ = 0.0f;
    std::int32_t stageCount_ = 0;
    std::array<Stage, maximumStages> stages_{};
};

#endif
