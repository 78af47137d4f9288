// The deck filters' interface: a cutoff ramped per block, in place.
#ifndef VELKARN_AUDIO_UNITFILTER_H
#define VELKARN_AUDIO_UNITFILTER_H

#include <cstdint>

class UnitFilter {
public:
    virtual ~UnitFilter() = default;
    // A new stage count rebuilds the stages with cleared state.
    virtual void setOrder(std::int32_t stages) = 0;
    // Filters frames [start, start + n) of each channel, the cutoff (Hz)
    // moving from cutoffFrom at the first frame to cutoffTo at the last.
    virtual void process(float* const* channels, std::int32_t start, std::int32_t n,
                         float cutoffFrom, float cutoffTo) = 0;
    virtual void reset() = 0;
};

#endif
