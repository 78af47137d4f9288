// Changes the length of a block of mono audio without changing its pitch.
// One object serves one render thread at a time.
#ifndef VELKARN_AUDIO_TIMESCALER_H
#define VELKARN_AUDIO_TIMESCALER_H

#include <cstdint>

class TimeScaler {
public:
    virtual ~TimeScaler() = default;

    // Both rebuild the analysis set-up; not while process runs.
    virtual void setFrameSize(std::int32_t frameSize) = 0;
    virtual void setOverlap(std::int32_t overlap) = 0;
    virtual std::int32_t frameSize() const = 0;
    virtual std::int32_t overlap() const = 0;

    // Writes trunc(inCount x ratio) samples to out for the inCount samples
    // of in; a ratio above 1 lengthens. No state carries from one call to
    // the next.
    virtual void process(const float* in, float* out, std::int32_t inCount, float ratio) = 0;
};

#endif
