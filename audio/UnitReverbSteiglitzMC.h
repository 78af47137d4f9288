// The deck reverb: one mono reverberator per channel, mixed into the
// channel at a ramped level.
#ifndef VELKARN_AUDIO_UNITREVERBSTEIGLITZMC_H
#define VELKARN_AUDIO_UNITREVERBSTEIGLITZMC_H

#include "audio/FormatAudio.h"
#include "audio/UnitReverbSteiglitz.h"

#include <cstdint>
#include <memory>
#include <vector>

class UnitReverbSteiglitzMC {
public:
    explicit UnitReverbSteiglitzMC(const FormatAudio& format);
    virtual ~UnitReverbSteiglitzMC();
    UnitReverbSteiglitzMC(const UnitReverbSteiglitzMC&) = delete;
    UnitReverbSteiglitzMC& operator=(const UnitReverbSteiglitzMC&) = delete;

    // channel += level x reverb(channel) over frames [start, start + n),
    // the level ramped from levelFrom to levelTo. When scaleTo differs from
    // the current scale every reverberator is re-lengthed for it first (its
    // state is lost); scales above 1.5 are clamped, logged once. Never
    // allocates. n <= 44100, else a fatal stop.
    void process(float* const* channels, std::int32_t start, std::int32_t n, float scaleFrom,
                 float scaleTo, float levelFrom, float levelTo);
    void reset();

    float scale() const { return scale_; }

private:
    FormatAudio format_;
    float scale_ = 1.0f;
    bool clampLogged_ = false;
    std::vector<std::unique_ptr<UnitReverbSteiglitz>> reverbs_;
    float* wet_;
};

#endif
