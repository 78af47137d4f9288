// The deck echo: a fractional tap on a per-channel line with feedback.
#ifndef VELKARN_AUDIO_UNITDELAY_H
#define VELKARN_AUDIO_UNITDELAY_H

#include "audio/FormatAudio.h"
#include "audio/UnitNoise.h"

#include <cstdint>
#include <vector>

class UnitDelay {
public:
    // Each line holds ceil(rate x maximumSeconds) + 1 frames.
    UnitDelay(float maximumSeconds, const FormatAudio& format);
    virtual ~UnitDelay();
    UnitDelay(const UnitDelay&) = delete;
    UnitDelay& operator=(const UnitDelay&) = delete;

    // Every parameter ramps from its first to its second value (a = j / n).
    // Per frame: line = input level x x + noise; tap = the line read delay
    // x rate frames back, linearly between its two neighbours; x = wet x
    // tap + dry x x; line += feedback x tap. A delay above the maximum is
    // clamped, and logged once until a block is within it again. n <= 44100,
    // else a fatal stop.
    void process(float* const* channels, std::int32_t start, std::int32_t n, float delayFrom,
                 float delayTo, float feedbackFrom, float feedbackTo, float dryFrom, float dryTo,
                 float wetFrom, float wetTo, float inputFrom, float inputTo);
    void reset();

    std::int32_t lineLength() const { return length_; }

private:
    FormatAudio format_;
    float maximumSeconds_;
    std::int32_t length_;
    std::int32_t index_ = 0;
    bool tooLong_ = false;
    std::vector<float*> lines_;
    UnitNoise noise_;
    float* noiseBlock_;
};

#endif
