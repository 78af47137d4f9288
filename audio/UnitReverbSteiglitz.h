// Mono reverberator: six damped combs in parallel, averaged, then one
// all-pass. The output holds only the reverberated signal.
#ifndef VELKARN_AUDIO_UNITREVERBSTEIGLITZ_H
#define VELKARN_AUDIO_UNITREVERBSTEIGLITZ_H

#include "audio/FormatAudio.h"
#include "audio/UnitAllPass.h"
#include "audio/UnitCombLP.h"

#include <cstdint>
#include <memory>

class UnitReverbSteiglitz {
public:
    // Every delay is multiplied by scale. The lines are made long enough
    // for maximumScale, so setScale never allocates.
    static constexpr float maximumScale = 1.5f;
    static constexpr std::int32_t combCount = 6;

    UnitReverbSteiglitz(const FormatAudio& format, float scale);
    virtual ~UnitReverbSteiglitz();
    UnitReverbSteiglitz(const UnitReverbSteiglitz&) = delete;
    UnitReverbSteiglitz& operator=(const UnitReverbSteiglitz&) = delete;

    // n <= 44100, else a fatal stop. in and out may be the same buffer.
    void process(const float* in, float* out, std::int32_t n);
    void reset();
    // Re-lengths every line for scale (clamped to (0, maximumScale]) and
    // clears the state.
    void setScale(float scale);

    // The (delay ms at scale 1, feedback, damping) of comb i, and the
    // all-pass's delay and gain.
    struct CombSetting {
        float delayMs;
        float feedback;
        float damping;
    };
    static const CombSetting combSettings[combCount];
    static constexpr float allPassDelayMs = 6.0f;
    static constexpr float allPassGain = 0.7f;

private:
    std::unique_ptr<UnitCombLP> combs_[combCount];
    std::unique_ptr<UnitAllPass> allPass_;
    float* sum_;
    float* scratch_;
};

#endif
